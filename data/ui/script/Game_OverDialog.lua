-- The last scene of the wedding is done. The game fills profile and totalTime.
dofile("UiKit.lua")
local dialog = root.dialogs.Game_OverDialog

function dialog:Init()
    UiKit.Modal("Game_OverDialog")
    UiKit.SetText(self.body, "Congratulations, " .. (self.profile or "") .. "! The wedding went without a hitch. "
        .. "Planning it took you " .. UiKit.Duration(self.totalTime) .. ".")
    UiKit.CloseButton(self.okButton, "The end", "Game_OverDialog")
end
