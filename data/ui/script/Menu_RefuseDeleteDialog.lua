-- The player who is playing cannot be deleted.
dofile("UiKit.lua")
local dialog = root.dialogs.Menu_RefuseDeleteDialog

function dialog:Init()
    UiKit.Modal("Menu_RefuseDeleteDialog")
    UiKit.SetText(self.body, "This player is playing now. Choose another player first, then delete this one.")
    UiKit.CloseButton(self.okButton, "OK", "Menu_RefuseDeleteDialog")
end
