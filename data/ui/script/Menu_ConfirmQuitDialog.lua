-- Asked before the game closes from the main menu.
dofile("UiKit.lua")
local dialog = root.dialogs.Menu_ConfirmQuitDialog

function dialog:Init()
    UiKit.Modal("Menu_ConfirmQuitDialog")
    UiKit.SetText(self.body, "Your progress is saved. See you soon!")
    UiKit.Button(self.quitButton, "Quit", function()
        CloseAndCancel("Menu_ConfirmQuitDialog")
        ScreenEvent("Quit Game", "Menu_ConfirmQuitDialog")
    end)
    UiKit.Button(self.stayButton, "Keep planning", function() CloseAndCancel("Menu_ConfirmQuitDialog") end)
end
