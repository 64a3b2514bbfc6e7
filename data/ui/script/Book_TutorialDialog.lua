-- A tutorial card, shown once per player; closing it lets the game go on.
dofile("UiKit.lua")
local dialog = root.dialogs.Book_TutorialDialog

function dialog:Init()
    UiKit.Modal("Book_TutorialDialog")
    UiKit.SetText(self.title, "Turning the pages")
    UiKit.SetText(self.body, "Click the corners of the album to turn its pages. Finished photos keep their place.")
    UiKit.CloseButton(self.okButton, "Got it", "Book_TutorialDialog")
end
