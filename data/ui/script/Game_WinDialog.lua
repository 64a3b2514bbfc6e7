-- A scene is won. The game fills: complete (1 when the level has all it needs), bonusType,
-- totalTime (on the last level), crisis, profile, scene (the scene's name: its photo shows) and
-- sceneTime (the seconds the chapter's clock has run; absent for a relaxed player).
dofile("UiKit.lua")
local dialog = root.dialogs.Game_WinDialog

function dialog:Init()
    UiKit.Modal("Game_WinDialog")
    local name = self.profile or ""
    local text
    if self.totalTime ~= nil then
        text = "Everything is ready for the big day, " .. name .. "! You planned the whole wedding in "
            .. UiKit.Duration(self.totalTime) .. "."
    elseif self.complete == 1 then
        text = "Well done, " .. name .. "! This page of the album is complete."
    else
        text = "Well found, " .. name .. "! There is more to find for this page of the album."
    end
    UiKit.SetText(self.body, text)
    local photo = self.photo
    if photo ~= nil then
        photo:SetPlaying(false)
        photo:SetVisible(self.scene ~= nil and photo:SetFrameFromLabel(self.scene))
    end
    if self.sceneTime ~= nil then
        UiKit.SetText(self.time, "Time: " .. UiKit.Clock(self.sceneTime))
    else
        UiKit.SetText(self.time, "")
    end
    UiKit.CloseButton(self.okButton, "Continue", "Game_WinDialog")
end
