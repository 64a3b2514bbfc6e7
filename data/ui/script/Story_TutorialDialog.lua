-- A tutorial card, shown once per player; closing it lets the game go on.
dofile("UiKit.lua")
local dialog = root.dialogs.Story_TutorialDialog

function dialog:Init()
    UiKit.Modal("Story_TutorialDialog")
    UiKit.SetText(self.title, "Tell the story")
    UiKit.SetText(self.body, "Read each part of the couple's story, then choose how it goes on. Every choice leads somewhere new.")
    UiKit.CloseButton(self.okButton, "Got it", "Story_TutorialDialog")
end
