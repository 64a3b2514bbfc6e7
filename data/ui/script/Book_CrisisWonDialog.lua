-- A crisis is averted (or every bluebird found): the player picks one of three replacements.
-- tileset: 0 the cake, 1 the bouquet, 2 the gown, 3 the bluebirds' gift. The question and the three
-- choices of tileset t are the string table's ids 1100 + 10t (question) and the three after it.
dofile("UiKit.lua")
local dialog = root.dialogs.Book_CrisisWonDialog

function dialog:Init()
    UiKit.Modal("Book_CrisisWonDialog")
    local tileset = self.tileset or 1
    if tileset < 0 or tileset > 3 then
        tileset = 1
    end
    local first = 1100 + 10 * tileset
    UiKit.SetText(self.body, string.format("|%d", first))
    -- Each choice shows its keepsake (frame = the choice) above its button.
    local kinds = { [0] = "cake", [1] = "flowers", [2] = "dress", [3] = "gift" }
    for i = 1, 3 do
        for k = 0, 3 do
            local picture = self[kinds[k] .. i]
            if picture ~= nil then
                picture:SetPlaying(false)
                picture:SetFrame(i - 1)
                picture:SetVisible(k == tileset)
                if picture.glow ~= nil then
                    picture.glow:SetVisible(false)
                end
            end
        end
    end
    for i = 1, 3 do
        local event = "button" .. i
        UiKit.Button(self["button" .. i], string.format("|%d", first + i), function()
            ScreenEvent(event, "Book_CrisisWonDialog")
            CloseAndSave("Book_CrisisWonDialog")
        end)
    end
end
