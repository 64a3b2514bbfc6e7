#include "game/book/Tableaux.h"

#include <cmath>

#include "engine/core/strings/Format.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "game/book/Album.h"
#include "game/book/BookArt.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"

using namespace QuillEngine;

namespace {

constexpr uint32_t kMaskLayer = 4;
constexpr uint32_t kMaskedAlpha = 0x10001;
constexpr BezierPoint kFlightStart{245.0f, 98.0f};
constexpr BezierPoint kFlightControl{330.0f, 115.0f};
constexpr BezierPoint kFlightEnd{415.0f, 132.0f};
constexpr float kFlightSeconds = 1.5f;

Profile* CurrentProfile()
{
    ProfileMgr* profiles = ProfileMgr::Instance();
    return profiles ? profiles->CurrentProfile() : nullptr;
}

// The time a crisis level took, as "m:ss" after `prefix`.
String CrisisTime(const Profile& profile, const char16_t* prefix, int32_t level)
{
    const LevelRecord* record = profile.FindLevel(level);
    const int32_t used = record ? static_cast<int32_t>(record->maxTime - record->timeLeft) : 0;
    return Format(String(prefix) + u"%d:%02d", {used / 60, used % 60});
}

} // namespace

Tableaux::Tableaux(const InstanceHandle& display, IAlbum* book, const InstanceHandle& bookScene)
    : m_display(display), m_book(book), m_bookScene(bookScene)
{
    m_display.SetPosition(50, 25);
    m_resultText = BookArt::Child(display, u"resultText");
    m_textMask = BookArt::Child(display, u"textMask");
    BookArt::SetMaterial(m_textMask, kMaskLayer);
    BookArt::SetMaterial(m_resultText, kMaskedAlpha);
    if (m_book)
        m_book->ShowTableauxItems(BookArt::Child(display, u"tableaux"), false);
    m_display.SetEventHandler(this);
    SetState(State_NextResult);
}

Tableaux::~Tableaux()
{
    if (BookArt::Valid(m_flying))
        m_flying.Delete(true);
    if (BookArt::Valid(m_display))
        m_display.Delete(true);
}

String Tableaux::ResultText(const Profile& profile, int32_t step)
{
    switch (step) {
    case 11:
        return CrisisTime(profile, u"Cake Crisis Solved in ", 11);
    case 17:
        return CrisisTime(profile, u"Gown Crisis Solved in ", 17);
    case 23:
        if (profile.bluebirds < kGiftBluebirds)
            return String();
        return Format(u"Bluebirds of Happiness Found: %d", {profile.bluebirds});
    default:
        return CrisisTime(profile, u"Flower Crisis Solved in ", 5);
    }
}

const char16_t* Tableaux::ResultItem(const Profile& profile, int32_t step)
{
    switch (step) {
    case 11:
        return u"cakes";
    case 17:
        return u"dresses";
    case 23:
        return profile.bluebirds < kGiftBluebirds ? u"" : u"gifts";
    default:
        return u"flowers";
    }
}

void Tableaux::OnEnter(int32_t state)
{
    const Profile* profile = CurrentProfile();
    switch (state) {
    case State_NextResult:
        SetState(m_step > kLastStep ? State_FlyAway : State_ShowResult);
        break;
    case State_ShowResult: {
        m_ticks = 0;
        m_glow.SetOpacity(0);
        const String item = profile ? String(ResultItem(*profile, m_step)) : String();
        m_glow = item.empty() ? InstanceHandle()
                              : BookArt::Child(BookArt::Child(BookArt::Child(m_display, u"tableaux"), item), u"glow");
        m_glow.SetVisible(true);
        BookArt::SetText(BookArt::Child(m_resultText, u"text"), profile ? ResultText(*profile, m_step) : String());
        m_textMask.SetScale(1, 1);
        m_resultText.SetOpacity(1);
        if (m_step == kLastStep && (!profile || profile->bluebirds < kGiftBluebirds))
            SetState(State_FlyAway);
        break;
    }
    case State_FlyAway:
        m_flying = m_bookScene.CreateChild(u"tableaux", u"animTableaux");
        if (m_book)
            m_book->ShowTableauxItems(m_flying, false);
        m_flying.SetPosition(kFlightStart.x, kFlightStart.y);
        m_path = std::make_unique<BezierPath>(kFlightStart, kFlightControl, kFlightEnd, kFlightSeconds);
        m_ticks = 0;
        break;
    case State_Done:
        if (m_book)
            m_book->FinishTableaux();
        break;
    default:
        break;
    }
}

void Tableaux::OnExit(int32_t state)
{
    if (state != State_ShowResult)
        return;
    m_step += kStepIncrement;
    m_glow.SetOpacity(0);
    m_glow.SetVisible(false);
}

void Tableaux::OnUpdate(int32_t state)
{
    if (state == State_ShowResult) {
        m_ticks += 1;
        m_glow.SetOpacity(std::fabs(std::sin(m_ticks / 30.0f)));
        if (m_ticks < 240)
            m_textMask.SetScale(m_ticks / 120.0f * 20.0f + 1.0f, 1);
        else if (m_ticks < kResultTicks)
            m_resultText.SetOpacity((kResultTicks - m_ticks) / 60.0f);
        else
            SetState(State_NextResult);
        return;
    }
    if (state != State_FlyAway)
        return;
    if (m_ticks < kFadeTicks) {
        m_display.SetOpacity(1.0f - m_ticks / kFadeTicks);
    } else {
        if (m_ticks == kFadeTicks)
            m_display.SetVisible(false);
        BezierPoint point;
        const bool running = m_path && m_path->Step(point);
        m_flying.SetPosition(point.x, point.y);
        if (!running)
            SetState(State_Done);
    }
    m_ticks += 1;
}
