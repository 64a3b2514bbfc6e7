-- A tutorial card, shown once per player; closing it lets the game go on.
dofile("UiKit.lua")
local dialog = root.dialogs.Book_TutorialCrisisDialog

function dialog:Init()
    UiKit.Modal("Book_TutorialCrisisDialog")
    UiKit.SetText(self.title, "A crisis!")
    UiKit.SetText(self.body, "Something has gone wrong with the wedding plans. Find everything in time to save the day!")
    UiKit.CloseButton(self.okButton, "Got it", "Book_TutorialCrisisDialog")
end
