-- The transition from the album into a scene or a mini-game: a cream cover fades in over the
-- screen; once it covers everything the game is told (TransitionDone) and enters the scene behind
-- it; when the game sets fadeTransitionOut the cover fades away again and removes itself.
-- Reads the globals transitionScene (the scene number, 3 for a mini-game) and replay ("1"/"0").
local kFadeSteps = 24

fadeTransitionOut = false
local cover = root:CreateInstance("BookTransition", "bookTransition")
if cover == nil then
    -- A cover still fading from the last transition: go on without one.
    TransitionDone()
    return
end
cover:SetOpacity(0)
cover:SetInputEnabled(true)
cover.step = 0
cover.done = false

function cover:OnUpdate()
    if not self.done then
        self.step = self.step + 1
        self:SetOpacity(math.min(1, self.step / kFadeSteps))
        if self.step >= kFadeSteps then
            self.done = true
            TransitionDone()
        end
        return
    end
    if fadeTransitionOut then
        if not self.fading then
            -- Over whatever the game has opened meanwhile, and no longer in the pointer's way.
            self.fading = true
            self:MoveToFront()
            self:SetInputEnabled(false)
        end
        self.step = self.step - 1
        self:SetOpacity(math.max(0, self.step / kFadeSteps))
        if self.step <= 0 then
            self:DeleteSelf()
        end
    end
end
