-- Shown when the bluebirds found so far reach 1, 5, 10 or 25.
dofile("UiKit.lua")
local dialog = root.dialogs.Game_BluebirdDialog

function dialog:Init()
    UiKit.Modal("Game_BluebirdDialog")
    local count = self.bluebirds or 1
    if count == 1 then
        UiKit.SetText(self.body, "You spotted a bluebird! They hide in every scene. Find them all for a surprise.")
    else
        UiKit.SetText(self.body, "That makes " .. count .. " bluebirds! Keep an eye out for more.")
    end
    UiKit.CloseButton(self.okButton, "Lovely!", "Game_BluebirdDialog")
    PlaySound("BluebirdThreshold")
end
