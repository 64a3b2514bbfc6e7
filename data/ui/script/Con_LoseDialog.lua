-- The clock ran out on the card game; a fresh deal already waits behind this card.
dofile("UiKit.lua")
local dialog = root.dialogs.Con_LoseDialog

function dialog:Init()
    UiKit.Modal("Con_LoseDialog")
    UiKit.SetText(self.body, "The clock won this round. The cards have been shuffled: try again!")
    UiKit.CloseButton(self.okButton, "Deal again", "Con_LoseDialog")
end
