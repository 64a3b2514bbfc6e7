-- The in-game menu: carry on, options, help, credits, or leave.
dofile("UiKit.lua")
local menu = root.dialogs.GameMenuDialog

function menu:Init()
    UiKit.Modal("GameMenuDialog")
    UiKit.CloseButton(self.resumeButton, "Back to the game", "GameMenuDialog")
    UiKit.Button(self.optionsButton, "Options", function() ScreenEvent("Options", "GameMenuDialog") end)
    UiKit.Button(self.helpButton, "How to play", function() ScreenEvent("Help", "GameMenuDialog") end)
    UiKit.Button(self.creditsButton, "Credits", function() ScreenEvent("Credits", "GameMenuDialog") end)
    UiKit.Button(self.quitButton, "Quit", function() ScreenEvent("Confirm InGame Quit", "GameMenuDialog") end)
end
