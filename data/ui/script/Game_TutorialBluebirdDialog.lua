-- A tutorial card, shown once per player; closing it lets the game go on.
dofile("UiKit.lua")
local dialog = root.dialogs.Game_TutorialBluebirdDialog

function dialog:Init()
    UiKit.Modal("Game_TutorialBluebirdDialog")
    UiKit.SetText(self.title, "Bluebirds")
    UiKit.SetText(self.body, "Little bluebirds hide in every scene. They are not on your list, but each one you find brings good luck.")
    UiKit.CloseButton(self.okButton, "Got it", "Game_TutorialBluebirdDialog")
end
