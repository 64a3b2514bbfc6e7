-- The clock ran out. crisis is the crisis this level belongs to, or -1.
dofile("UiKit.lua")
local dialog = root.dialogs.Game_LoseDialog

function dialog:Init()
    UiKit.Modal("Game_LoseDialog")
    if (self.crisis or -1) >= 0 then
        UiKit.SetText(self.body, "The clock beat you, and the crisis is still waiting. Take a breath and try again.")
    else
        UiKit.SetText(self.body, "The clock beat you. What you found stays marked in the album: try again!")
    end
    UiKit.CloseButton(self.okButton, "Try again", "Game_LoseDialog")
end
