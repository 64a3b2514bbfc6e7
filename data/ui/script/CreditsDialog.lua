-- Who made the game.
dofile("UiKit.lua")
local dialog = root.dialogs.CreditsDialog

function dialog:Init()
    UiKit.Modal("CreditsDialog")
    UiKit.SetText(self.body,
        "Velvet Aisle\n\n"
        .. "Made by the Velvet Aisle team on the QuillEngine.\n\n"
        .. "Pictures drawn as SVG and rendered with librsvg; sounds and music made by our own generators; "
        .. "text set in the TeX Gyre and DejaVu typefaces.\n\n"
        .. "Thank you for playing.")
    UiKit.CloseButton(self.closeButton, "Close", "CreditsDialog")
end
