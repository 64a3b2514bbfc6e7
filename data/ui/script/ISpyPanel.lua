-- The board's side panel. The game refreshes the values in this table every step: Time,
-- hintcount, totalItems, ClockPlaying, Relaxed, findItemName<i>/findItemStatus<i> (from 0) and
-- flashTime after a costly miss. The panel shows them and sends the player's choices back.
dofile("UiKit.lua")
local panel = root.dialogs.ISpyPanel
local kRows = 12

function panel:Refresh()
    if self.Relaxed then
        UiKit.SetText(self.clock, "Relaxed")
    else
        UiKit.SetText(self.clock, UiKit.Clock(self.Time))
    end
    -- After a costly miss the clock blinks red for a while.
    local flash = self.flashTime or 0
    if flash > 0 then
        self.flashTime = flash - 1
        if math.floor(flash / 10) - 2 * math.floor(flash / 20) == 0 then
            self.clock:SetColor(13189483)
        else
            self.clock:SetColor(3878703)
        end
    else
        self.clock:SetColor(3878703)
    end
    UiKit.SetText(self.hintCount, "Hints: " .. (self.hintcount or 0))
    for i = 0, kRows - 1 do
        local row = self["item" .. i]
        local strike = self["strike" .. i]
        local name = self["findItemName" .. i]
        if name ~= nil then
            row:SetText(name)
            row:SetVisible(true)
            if self["findItemStatus" .. i] then
                row:SetOpacity(0.45)
                strike:SetVisible(true)
            else
                row:SetOpacity(1)
                strike:SetVisible(false)
            end
        else
            row:SetVisible(false)
            strike:SetVisible(false)
        end
    end
    -- A reminder that a hint is waiting: the hint button breathes for a few seconds.
    local pulse = self.hintPulse or 0
    if pulse > 0 then
        self.hintPulse = pulse - 1
        local s = 1 + 0.08 * math.sin(pulse / 6)
        self.hintButton:SetScale(s, s)
    else
        self.hintButton:SetScale(1, 1)
    end
end

function panel:Init()
    UiKit.Button(self.hintButton, nil, function() ScreenEvent("hint", "ISpyPanel") end)
    UiKit.Button(self.menuButton, nil, function() ScreenEvent("GameMenu", "ISpyPanel") end)
    UiKit.Button(self.pauseButton, "Pause", function() ScreenEvent("PauseGame", "ISpyPanel") end)
    UiKit.Button(self.albumButton, "Album", function() ScreenEvent("Albumn", "ISpyPanel") end)
    self:Refresh()
end

function panel:OnUpdate()
    self:Refresh()
end

-- Called by the board when the player has not found anything for a while.
function panel:HintHint()
    self.hintPulse = 240
end
