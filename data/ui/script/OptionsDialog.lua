-- Options. The game fills FullScreen, Software, Relaxed and the three volumes (0..1) and reads
-- them back: the volumes every step (so a slider is heard at once), the rest when Save closes.
dofile("UiKit.lua")
local dialog = root.dialogs.OptionsDialog
local kTrack = 240

-- A slider over `key` of the dialog's table: drag the knob or click the track.
local function Slider(slider, key)
    local knob = slider.knob
    local function place()
        knob:SetX(-13 + kTrack * (dialog[key] or 0))
    end
    local function follow()
        local v = (GetMouseX() - slider:GetX() - dialog:GetX()) / kTrack
        if v < 0 then v = 0 end
        if v > 1 then v = 1 end
        dialog[key] = v
        place()
    end
    knob:SetPlaying(false)
    knob:SetFrame(0)
    knob.OnLeftMouseDown = function(k) k:SetFrame(2) slider.dragging = true end
    slider.OnLeftMouseDown = function(s) s.dragging = true follow() end
    slider.OnUpdate = function(s)
        if s.dragging then
            if GetMouseButtonDownL() then
                follow()
            else
                s.dragging = false
                knob:SetFrame(0)
                PlaySound("Click")
            end
        end
    end
    place()
end

-- A check box over the boolean `key` of the dialog's table.
local function Check(box, key)
    box:SetPlaying(false)
    box:SetFrame(0)
    box.tick:SetVisible(dialog[key] == true)
    box.OnMouseEnter = function(b) b:SetFrame(1) end
    box.OnMouseLeave = function(b) b:SetFrame(0) end
    box.OnLeftMouseUp = function(b)
        dialog[key] = not dialog[key]
        b.tick:SetVisible(dialog[key] == true)
        PlaySound("Click")
    end
end

function dialog:Init()
    UiKit.Modal("OptionsDialog")
    Slider(self.musicSlider, "MusicVolume")
    Slider(self.effectsSlider, "EffectsVolume")
    Slider(self.ambientSlider, "AmbientVolume")
    Check(self.fullScreenBox, "FullScreen")
    Check(self.softwareBox, "Software")
    Check(self.relaxedBox, "Relaxed")
    UiKit.CloseButton(self.saveButton, "Save", "OptionsDialog")
    UiKit.Button(self.cancelButton, "Cancel", function() CloseAndCancel("OptionsDialog") end)
end
