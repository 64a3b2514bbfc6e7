-- The story's page turn: a blush veil with a growing heart covers the page while the game sets up
-- the next part of the story, then lifts again.
-- In:  transitionScene (1..3, the choice taken), fadeTransitionOut (set by the game once the page
--      under the veil is ready).
-- Out: transitionDone = true once the page is covered.
local veil = root.storyVeil
if veil ~= nil then
    veil:DeleteSelf()
end
fadeTransitionOut = false
veil = root:CreateInstance("heartMovie", "storyVeil")
if veil == nil then
    transitionDone = true
    return
end
veil:SetPosition(0, 0)
veil:SetPlaying(true)
veil.lift = 1
-- The heart of the chosen picture lights up where the arrow landed, and the choice sounds its own
-- chime as the veil falls.
local page = root.StoryMiniGame
local heart = page and page["heart" .. (transitionScene or 1)]
if heart ~= nil then
    heart:SetOpacity(1)
end
PlaySound("Choice" .. (transitionScene or 1))

function veil:OnTimelineStop()
    transitionDone = true
end

function veil:OnUpdate()
    if not fadeTransitionOut then
        return
    end
    self.lift = self.lift - 0.04
    if self.lift <= 0 then
        fadeTransitionOut = false
        self:DeleteSelf()
    else
        self:SetOpacity(self.lift)
    end
end
