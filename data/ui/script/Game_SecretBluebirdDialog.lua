-- Shown once every bluebird of the wedding has been found.
dofile("UiKit.lua")
local dialog = root.dialogs.Game_SecretBluebirdDialog

function dialog:Init()
    UiKit.Modal("Game_SecretBluebirdDialog")
    UiKit.SetText(self.body, "Every bluebird is found! They will bring the happy couple a gift of their own.")
    UiKit.CloseButton(self.okButton, "Wonderful", "Game_SecretBluebirdDialog")
    PlaySound("BluebirdThreshold")
end
