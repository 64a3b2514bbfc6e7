-- Asked before the game closes from the in-game menu.
dofile("UiKit.lua")
local dialog = root.dialogs.Menu_ConfirmInGameQuitDialog

function dialog:Init()
    UiKit.Modal("Menu_ConfirmInGameQuitDialog")
    UiKit.SetText(self.body, "Your progress is saved. Close Velvet Aisle now?")
    UiKit.Button(self.quitButton, "Quit", function() ScreenEvent("InGame Quit", "Menu_ConfirmInGameQuitDialog") end)
    UiKit.Button(self.stayButton, "Keep playing", function() CloseAndCancel("Menu_ConfirmInGameQuitDialog") end)
end
