-- A tutorial card, shown once per player; closing it lets the game go on.
dofile("UiKit.lua")
local dialog = root.dialogs.Game_BadClickDialog

function dialog:Init()
    UiKit.Modal("Game_BadClickDialog")
    UiKit.SetText(self.title, "Careful clicking!")
    UiKit.SetText(self.body, "Clicking around at random costs time: every third quick miss takes a minute off the clock. Look first, then click.")
    UiKit.CloseButton(self.okButton, "Got it", "Game_BadClickDialog")
end
