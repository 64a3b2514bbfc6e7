-- A tutorial card, shown once per player; closing it lets the game go on.
dofile("UiKit.lua")
local dialog = root.dialogs.Con_TutorialDialog

function dialog:Init()
    UiKit.Modal("Con_TutorialDialog")
    UiKit.SetText(self.title, "A memory game")
    UiKit.SetText(self.body, "Turn over two cards at a time and find the matching pairs before the clock runs out.")
    UiKit.CloseButton(self.okButton, "Got it", "Con_TutorialDialog")
end
