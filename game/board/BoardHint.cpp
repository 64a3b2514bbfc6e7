// The board's hints: spending one, the arrow that flies to the chosen item along a curve with its
// trail, and the reminder the panel shows when the player has found nothing for a while.

#include <cmath>

#include "engine/core/EngineRand.h"
#include "engine/core/audio/Audio.h"
#include "engine/core/strings/Format.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "game/board/Board.h"
#include "game/board/Item.h"
#include "game/board/dialogs/UIISpyPanel.h"
#include "game/feedback/FeedbackReporter.h"
#include "game/profile/Profile.h"
#include "game/screens/UIScreenMgr.h"
#include "game/states/GameServices.h"

using namespace QuillEngine;

namespace {

// Hint arrow: from the top of the panel, bending at most this far right, over two seconds.
constexpr BezierPoint kArrowStart{160.0f, 20.0f};
constexpr float kArrowMaxControlX = 260.0f;
constexpr float kArrowSeconds = 2.0f;

void PlayEffect(const char16_t* name)
{
    if (Audio* audio = Audio::Instance())
        audio->PlaySound(name, false);
}

} // namespace

void Board::UseHint()
{
    // Only a board in play spends a hint: a won or lost board must not fly an arrow and return
    // to play.
    if (GetState() != State_Playing)
        return;
    LevelRecord* level = CurrentLevel();
    SceneRecord* record = Record();
    if (!level || level->hints <= 0)
        return;
    --level->hints;
    FeedbackReporter::ReportCountEvent("itemhint", Format(u"%d", {level->hints}));
    if (!record)
        return;
    std::vector<const FindListEntry*> unfound;
    for (const auto& entry : record->findList) {
        if (!entry->found)
            unfound.push_back(entry.get());
    }
    if (unfound.empty())
        return;
    const FindListEntry* chosen = unfound[RandomInt(unfound.size())];
    for (const auto& item : m_items) {
        if (item->IsVisible() && item->CompareName(chosen->group) == chosen->name) {
            m_hintTarget = item.get();
            SetState(State_HintFlying);
            return;
        }
    }
}

void Board::ShowHintPrompt()
{
    if (IScreenHost* screens = ScreensOf(m_services))
        screens->CallInScreen(UIISpyPanel::kName, u"HintHint");
}

void Board::EnterHintFlight()
{
    PlayEffect(u"HintStart");
    Instance_Movie* root = HandleEx::ResolveMovie(m_root);
    if (root)
        m_hintTrail = root->CreateParticleEmitter(u"hinttrail.xml", u"hinttrail", 170, 30);
    const InstanceHandle arrow = m_root.CreateChild(u"HintArrowSprite", u"hinter");
    Instance_Base* target = m_hintTarget ? HandleEx::ResolveInstance(m_hintTarget->GetInstance()) : nullptr;
    if (!HandleEx::ResolveInstance(arrow) || !target) {
        SetState(State_Playing);
        return;
    }
    float left = 0, top = 0, right = 0, bottom = 0;
    target->GetBounds(left, top, right, bottom);
    const BezierPoint end{(left + right) * 0.5f, (top + bottom) * 0.5f};
    const float controlX = std::min(kArrowStart.x - (kArrowStart.x - end.x) * 0.5f, kArrowMaxControlX);
    m_hintPath = std::make_unique<BezierPath>(kArrowStart, BezierPoint{controlX, 0.0f}, end, kArrowSeconds);
    m_hintScalePath =
        std::make_unique<BezierPath>(BezierPoint{1, 1}, BezierPoint{1, 1}, BezierPoint{1, 1}, kArrowSeconds);
    arrow.SetPosition(kArrowStart.x, kArrowStart.y);
    arrow.SetScale(0.01f, 0.01f);
    m_hintTrail.SetPosition(170.0f, 30.0f);
    m_arrowPrevious = kArrowStart;
}

void Board::StepHintFlight()
{
    Instance_Movie* root = HandleEx::ResolveMovie(m_root);
    const InstanceHandle arrow = root ? root->FindChild(u"hinter") : InstanceHandle();
    if (!HandleEx::ResolveInstance(arrow) || !m_hintPath) {
        SetState(State_Playing);
        return;
    }
    BezierPoint p;
    if (m_hintPath->Step(p)) {
        BezierPoint scale{1, 1};
        if (!m_hintScalePath->Step(scale))
            scale = {1, 1};
        arrow.SetPosition(p.x, p.y);
        arrow.SetScale(scale.x, scale.y);
        arrow.SetRotation(std::atan2(p.y - m_arrowPrevious.y, p.x - m_arrowPrevious.x) - 3.14f);
        m_hintTrail.SetPosition(p.x + 5.0f, p.y - 5.0f);
        m_arrowPrevious = p;
        return;
    }
    if (m_hintTarget)
        m_hintTarget->StartSparkle();
    SetState(State_Playing);
}

void Board::LeaveHintFlight()
{
    PlayEffect(u"HintEnd");
    m_hintPath.reset();
    m_hintScalePath.reset();
    m_hintTarget = nullptr;
    if (Instance_Movie* root = HandleEx::ResolveMovie(m_root)) {
        const InstanceHandle arrow = root->FindChild(u"hinter");
        if (HandleEx::ResolveInstance(arrow))
            arrow.Delete(true);
    }
    m_hintTrail.Stop();
}
