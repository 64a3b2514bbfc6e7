-- Asked before a player is deleted. The game fills profileName.
dofile("UiKit.lua")
local dialog = root.dialogs.Menu_ConfirmDeleteDialog

function dialog:Init()
    UiKit.Modal("Menu_ConfirmDeleteDialog")
    UiKit.SetText(self.body, "Delete " .. (self.profileName or "") .. " and all of their progress?")
    UiKit.Button(self.deleteButton, "Delete", function()
        CloseAndSave("Menu_ConfirmDeleteDialog")
        ScreenEvent("Delete Profile", self.profileName or "")
    end)
    UiKit.Button(self.keepButton, "Keep", function() CloseAndCancel("Menu_ConfirmDeleteDialog") end)
end
