-- The card game won. lastLevel is 1 when this was the album's last card game.
dofile("UiKit.lua")
local dialog = root.dialogs.Con_WinDialog

function dialog:Init()
    UiKit.Modal("Con_WinDialog")
    if (self.lastLevel or 0) == 1 then
        UiKit.SetText(self.body, "The album's last card game is won: the honeymoon case holds all three keepsakes.")
    else
        UiKit.SetText(self.body, "A keepsake for the honeymoon joins your case. The album has a new chapter waiting.")
    end
    UiKit.CloseButton(self.okButton, "To the album", "Con_WinDialog")
end
