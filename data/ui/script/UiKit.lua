-- Shared behaviour of the interface: three-frame buttons, texts and the clock format.
-- Every screen script runs this file first (dofile), so each screen sees the same kit.
UiKit = UiKit or {}

-- A button movie with frames 0 (normal), 1 (under the pointer) and 2 (pressed). onClick runs
-- when the button is released over itself; a release elsewhere only restores its look.
function UiKit.Button(button, label, onClick)
    if button == nil then
        return
    end
    button:SetPlaying(false)
    button:SetFrame(0)
    if label ~= nil and button.label ~= nil then
        button.label:SetText(label)
    end
    button.OnMouseEnter = function(self) self:SetFrame(1) end
    button.OnMouseLeave = function(self) self:SetFrame(0) end
    button.OnLeftMouseDown = function(self) self:SetFrame(2) end
    button.OnLeftMouseUpOutside = function(self) self:SetFrame(0) end
    button.OnLeftMouseUp = function(self)
        self:SetFrame(1)
        PlaySound("Click")
        onClick(self)
    end
end

-- A button that closes its screen, keeping what the screen changed.
function UiKit.CloseButton(button, label, screenName)
    UiKit.Button(button, label, function() CloseAndSave(screenName) end)
end

-- Shows the shade a modal screen gets behind it, so the pointer cannot reach what lies below.
function UiKit.Modal(screenName)
    local shade = root.dialogs[screenName .. "_ModalBkg"]
    if shade ~= nil then
        shade:SetVisible(true)
    end
end

function UiKit.SetText(text, value)
    if text ~= nil then
        text:SetText(value)
    end
end

-- Seconds as "m:ss"; never negative.
function UiKit.Clock(seconds)
    local s = math.floor(seconds or 0)
    if s < 0 then
        s = 0
    end
    return string.format("%d:%02d", math.floor(s / 60), s - 60 * math.floor(s / 60))
end

-- Seconds as "1 hour 5 minutes" / "12 minutes" for the closing dialogs.
function UiKit.Duration(seconds)
    local minutes = math.floor((seconds or 0) / 60)
    local hours = math.floor(minutes / 60)
    minutes = minutes - hours * 60
    local function unit(n, one, many)
        if n == 1 then
            return "1 " .. one
        end
        return n .. " " .. many
    end
    if hours > 0 then
        return unit(hours, "hour", "hours") .. " " .. unit(minutes, "minute", "minutes")
    end
    return unit(minutes, "minute", "minutes")
end
