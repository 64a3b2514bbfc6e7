-- The best times. The game fills entry<n> ("n - name") and entryTime<n> ("Xhrs Ymins").
dofile("UiKit.lua")
local dialog = root.dialogs.Menu_HighScoresDialog

function dialog:Init()
    UiKit.Modal("Menu_HighScoresDialog")
    for i = 1, 10 do
        local entry = self["entry" .. i]
        if entry == nil and i == 1 then
            entry = "No weddings planned yet"
        end
        UiKit.SetText(self["name" .. i], entry or "")
        UiKit.SetText(self["time" .. i], self["entryTime" .. i] or "")
    end
    UiKit.CloseButton(self.closeButton, "Close", "Menu_HighScoresDialog")
end
