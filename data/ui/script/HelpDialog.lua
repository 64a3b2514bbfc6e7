-- How to play.
dofile("UiKit.lua")
local dialog = root.dialogs.HelpDialog

function dialog:Init()
    UiKit.Modal("HelpDialog")
    UiKit.SetText(self.body,
        "Plan a wedding, one page of the album at a time.\n\n"
        .. "Scenes: everything on the list at the left is hidden in the picture. Click an item to collect it. "
        .. "Clicking at random costs time. The magnifier sends an arrow to a hidden item.\n\n"
        .. "Bluebirds hide in every scene: find them for a surprise.\n\n"
        .. "Memory game: turn two cards at a time and match the pairs.\n"
        .. "Story: read on and choose how the story goes.\n\n"
        .. "Space or Escape pauses the game; M opens this menu.")
    UiKit.CloseButton(self.closeButton, "Close", "HelpDialog")
end
