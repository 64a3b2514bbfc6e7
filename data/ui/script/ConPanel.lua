-- The card game's side panel. The game refreshes Time, hintcount, ClockPlaying and Relaxed every
-- step, and honeymoonitems (the prizes won before this game) once at the start. The board calls
-- DoItem when a won game's prize has risen: the panel sends the sparks to the prize's place on the
-- shelf and, once they have landed, asks for the win dialog.
dofile("UiKit.lua")
local panel = root.dialogs.ConPanel
local kSlots = 3 -- one place on the shelf per card game of the album
local kShelfTop = 160
local kShelfStep = 55
local kLandingSteps = 75

function panel:Refresh()
    if self.Relaxed then
        UiKit.SetText(self.clock, "Relaxed")
    else
        UiKit.SetText(self.clock, UiKit.Clock(self.Time))
    end
    UiKit.SetText(self.hintCount, "Hints: " .. (self.hintcount or 0))
    local shown = self.shelved or 0
    for k = 0, kSlots - 1 do
        local prize = self["prize" .. k]
        if prize ~= nil then
            prize:SetVisible(k < shown)
        end
    end
    local wait = self.landing or 0
    if wait > 0 then
        self.landing = wait - 1
        if wait == 1 then
            self.shelved = (self.honeymoonitems or 0) + 1
            ScreenEvent("ShowWinDialog", "ConPanel")
        end
    end
end

function panel:Init()
    UiKit.Button(self.hintButton, nil, function() ScreenEvent("hint", "ConPanel") end)
    UiKit.Button(self.menuButton, nil, function() ScreenEvent("Menu", "ConPanel") end)
    UiKit.Button(self.pauseButton, "Pause", function() ScreenEvent("PauseGame", "ConPanel") end)
    UiKit.Button(self.albumButton, "Album", function() ScreenEvent("Albumn", "ConPanel") end)
    self.shelved = self.honeymoonitems or 0
    self.landing = 0
    self:Refresh()
end

function panel:OnUpdate()
    self:Refresh()
end

-- The won game's prize: its sparks fly to the next free place on the shelf.
function panel:DoItem()
    local index = self.honeymoonitems or 0
    local slot = index
    if slot > kSlots - 1 then
        slot = kSlots - 1
    end
    ScreenEvent("WinAnim", index .. "," .. (kShelfTop + kShelfStep * slot - 32))
    self.landing = kLandingSteps
end
