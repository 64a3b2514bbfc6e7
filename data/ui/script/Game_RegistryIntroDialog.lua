-- A tutorial card, shown once per player; closing it lets the game go on.
dofile("UiKit.lua")
local dialog = root.dialogs.Game_RegistryIntroDialog

function dialog:Init()
    UiKit.Modal("Game_RegistryIntroDialog")
    UiKit.SetText(self.title, "Your first scene")
    UiKit.SetText(self.body, "Everything on the list at the left is hidden somewhere in the picture. Click an item when you spot it. Stuck? The magnifier button sends a hint arrow to one of them.")
    UiKit.CloseButton(self.okButton, "Got it", "Game_RegistryIntroDialog")
end
