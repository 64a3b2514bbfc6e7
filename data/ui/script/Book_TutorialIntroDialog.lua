-- A tutorial card, shown once per player; closing it lets the game go on.
dofile("UiKit.lua")
local dialog = root.dialogs.Book_TutorialIntroDialog

function dialog:Init()
    UiKit.Modal("Book_TutorialIntroDialog")
    UiKit.SetText(self.title, "Your wedding album")
    UiKit.SetText(self.body, "Each page of this album is a step towards the wedding. Click a photo to play its scene.")
    UiKit.CloseButton(self.okButton, "Got it", "Book_TutorialIntroDialog")
end
