-- The best times. The game fills entry<n> ("n - name") and entryTime<n> ("Xhrs Ymins").
dofile("UiKit.lua")
local dialog = root.dialogs.Menu_HighScoresDialog

function dialog:Init()
    UiKit.Modal("Menu_HighScoresDialog")
    for i = 1, 10 do
        UiKit.SetText(self["name" .. i], self["entry" .. i] or "")
        UiKit.SetText(self["time" .. i], self["entryTime" .. i] or "")
    end
    -- An empty table shows the album's keepsakes where the names would be.
    if self.entry1 == nil then
        UiKit.SetText(self.empty, "No weddings planned yet.\nFinish the album to see your time here.")
    else
        UiKit.SetText(self.empty, "")
    end
    local keepsakes = self.keepsakes
    if keepsakes ~= nil then
        keepsakes:SetVisible(self.entry1 == nil)
        for _, name in ipairs({ "flowers", "cakes", "dresses", "gifts" }) do
            local keepsake = keepsakes[name]
            if keepsake ~= nil then
                keepsake:SetPlaying(false)
                keepsake:SetFrame(0)
                if keepsake.glow ~= nil then
                    keepsake.glow:SetVisible(false)
                end
            end
        end
    end
    UiKit.CloseButton(self.closeButton, "Close", "Menu_HighScoresDialog")
end
