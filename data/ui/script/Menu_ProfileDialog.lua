-- The players. The game fills text1..text6, profileStatus1..6 (1: a player, 0: an empty row),
-- selectedIndex and, while a name is typed, cursorX. Clicking a player selects them; clicking an
-- empty row starts a new name; Add creates the typed player.
dofile("UiKit.lua")
local dialog = root.dialogs.Menu_ProfileDialog

function dialog:Select(index)
    self.selectedIndex = index
    for i = 1, 6 do
        local row = self["profile" .. i]
        if row ~= nil then
            if i == index then
                row:SetFrame(1)
            else
                row:SetFrame(0)
            end
        end
    end
end

function dialog:Init()
    UiKit.Modal("Menu_ProfileDialog")
    self.caret:SetVisible(false)
    for i = 1, 6 do
        local row = self["profile" .. i]
        local index = i
        row:SetPlaying(false)
        UiKit.SetText(row.profileName, self["text" .. i] or "")
        row.OnLeftMouseUp = function(r)
            PlaySound("Click")
            if self["profileStatus" .. index] == 1 then
                self.editing = false
                ScreenEvent("Profile Switch", tostring(index))
            else
                self.editing = true
                ScreenEvent("New Entry Profile Entry", tostring(index))
            end
            self:Select(index)
        end
    end
    self:Select(self.selectedIndex or 1)
    UiKit.Button(self.playButton, "Play", function() CloseAndSave("Menu_ProfileDialog") end)
    UiKit.Button(self.addButton, "Add", function()
        if self.editing then
            self.editing = false
            ScreenEvent("AddNewProfile", "")
        end
    end)
    UiKit.Button(self.deleteButton, "Delete", function()
        local index = self.selectedIndex or 1
        if self["profileStatus" .. index] == 1 then
            ScreenEvent("Confirm Delete Prompt", self["text" .. index] or "")
        end
    end)
    UiKit.Button(self.backButton, "Back", function() CloseAndCancel("Menu_ProfileDialog") end)
end

-- The typing caret sits after the typed letters while a name is entered.
function dialog:OnUpdate()
    local index = self.selectedIndex or 1
    local row = self["profile" .. index]
    if self.editing and row ~= nil then
        local blink = math.floor((self.blink or 0) / 30)
        self.blink = (self.blink or 0) + 1
        self.caret:SetVisible(blink - 2 * math.floor(blink / 2) == 0)
        self.caret:SetPosition(row:GetX() + 14 + (self.cursorX or 0), row:GetY() + 6)
    else
        self.caret:SetVisible(false)
    end
end
