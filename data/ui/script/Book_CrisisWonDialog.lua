-- A crisis is averted (or every bluebird found): the player picks one of three replacements.
-- tileset: 0 the cake, 1 the bouquet, 2 the gown, 3 the bluebirds' gift.
dofile("UiKit.lua")
local dialog = root.dialogs.Book_CrisisWonDialog

local kChoices = {
    [0] = { "The cake is saved! Which cake will the guests see?", "Three tiers with roses", "Lemon and lavender", "Chocolate and gold" },
    [1] = { "The flowers arrived in time! Which bouquet will the bride carry?", "Blush roses", "White peonies", "Wild garden posy" },
    [2] = { "The dress is mended! Which gown will it be?", "Lace and pearls", "Silk with a long train", "Tea-length tulle" },
    [3] = { "The bluebirds brought a gift! Which one will the couple open?", "A music box", "A silver frame", "A quilt of blue hearts" },
}

function dialog:Init()
    UiKit.Modal("Book_CrisisWonDialog")
    local choice = kChoices[self.tileset or 1] or kChoices[1]
    UiKit.SetText(self.body, choice[1])
    for i = 1, 3 do
        local event = "button" .. i
        UiKit.Button(self["button" .. i], choice[i + 1], function()
            ScreenEvent(event, "Book_CrisisWonDialog")
            CloseAndSave("Book_CrisisWonDialog")
        end)
    end
end
