-- The main menu: back to the game, players, options, scores, help, credits, or leave.
dofile("UiKit.lua")
local menu = root.dialogs.MainMenuDialog

function menu:Init()
    UiKit.Modal("MainMenuDialog")
    UiKit.CloseButton(self.backButton, "Back to the game", "MainMenuDialog")
    UiKit.Button(self.profileButton, "Change player", function() ScreenEvent("Switch Profile", "MainMenuDialog") end)
    UiKit.Button(self.optionsButton, "Options", function() ScreenEvent("Options", "MainMenuDialog") end)
    UiKit.Button(self.scoresButton, "Best weddings", function() ScreenEvent("High Scores", "MainMenuDialog") end)
    UiKit.Button(self.helpButton, "How to play", function() ScreenEvent("Help", "MainMenuDialog") end)
    UiKit.Button(self.creditsButton, "Credits", function() ScreenEvent("Credits", "MainMenuDialog") end)
    UiKit.Button(self.quitButton, "Quit", function() ScreenEvent("Confirm Quit", "MainMenuDialog") end)
end
