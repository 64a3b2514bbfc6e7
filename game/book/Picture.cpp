#include "game/book/Picture.h"

#include <cmath>

#include "engine/core/strings/Format.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "game/book/Album.h"
#include "game/book/BookArt.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"

using namespace QuillEngine;

namespace {

Profile* CurrentProfile()
{
    ProfileMgr* profiles = ProfileMgr::Instance();
    return profiles ? profiles->CurrentProfile() : nullptr;
}

} // namespace

Picture::Picture(IAlbum* book, String package, String symbol, bool cardGame, int32_t sceneNumber, int32_t levelNumber)
    : m_book(book), m_symbol(std::move(symbol)), m_package(std::move(package)), m_sceneNumber(sceneNumber),
      m_levelNumber(levelNumber), m_isMiniGame(true), m_cardGame(cardGame)
{
    SetState(State_Unbound);
}

Picture::Picture(IAlbum* book, String package, String symbol, int32_t sceneNumber, int32_t levelNumber)
    : m_book(book), m_symbol(std::move(symbol)), m_package(std::move(package)), m_sceneNumber(sceneNumber),
      m_levelNumber(levelNumber), m_isMiniGame(false), m_cardGame(false)
{
    SetState(State_Unbound);
}

Picture::~Picture()
{
    if (Instance_Movie* movie = HandleEx::ResolveMovie(m_movie)) {
        if (movie->GetEventHandler() == this)
            movie->SetEventHandler(nullptr);
    }
}

void Picture::BindToPage(const InstanceHandle& page)
{
    const InstanceHandle candidate = BookArt::Child(page, m_symbol);
    if (m_isMiniGame) {
        if (HandleEx::ResolveMovie(candidate)) {
            m_movie = candidate;
            candidate.SetEventHandler(this);
        }
        return;
    }
    const InstanceHandle complete = BookArt::Child(page, m_symbol + u"Complete");
    if (HandleEx::ResolveMovie(candidate) && BookArt::Valid(complete))
        Bind(candidate, complete);
    else
        SetState(State_Unbound);
    const InstanceHandle count = BookArt::Child(page, m_symbol + u"Count");
    const Profile* profile = CurrentProfile();
    const SceneRecord* record = profile ? profile->FindScene(m_sceneNumber) : nullptr;
    if (record)
        BookArt::SetText(count, Format(u"%d", {record->ItemsLeft()}));
}

void Picture::Bind(const InstanceHandle& movie, const InstanceHandle& complete)
{
    m_movie = movie;
    m_complete = complete;
    movie.SetEventHandler(this);
    m_glow = BookArt::Child(movie, u"glow");
    SetState(State_Open);
}

int32_t Picture::MiniGameState(const Profile& profile, int32_t levelNumber)
{
    if (profile.StoryState())
        return State_Open;
    const LevelRecord* level = profile.CurrentLevel();
    if (!level)
        return State_Locked;
    if (level->bonusPlayed || level->maxItems - level->items > 0)
        return State_Locked;
    return levelNumber == level->number ? State_Open : State_Locked;
}

int32_t Picture::SceneState(int32_t sceneStatus)
{
    switch (sceneStatus) {
    case SceneRecord::Open:
    case SceneRecord::InProgress:
        return State_Open;
    case SceneRecord::Locked:
        return State_Locked;
    case SceneRecord::Complete:
        return State_Complete;
    default:
        return -1;
    }
}

void Picture::UpdateState()
{
    if (!HandleEx::ResolveMovie(m_movie))
        return;
    Update();
    const Profile* profile = CurrentProfile();
    if (!profile)
        return;
    if (m_isMiniGame) {
        SetState(MiniGameState(*profile, m_levelNumber));
        return;
    }
    const SceneRecord* record = profile->FindScene(m_sceneNumber);
    if (!record)
        return;
    const int32_t state = SceneState(record->status);
    if (state >= 0 && state != GetState())
        SetState(state);
}

InstanceHandle Picture::Logo() const
{
    return BookArt::Child(m_movie.GetParent(), u"logo");
}

void Picture::OnEnter(int32_t state)
{
    if (state == State_Unbound)
        return;
    const bool open = state == State_Open;
    if (m_isMiniGame) {
        Logo().SetVisible(!open);
        m_movie.SetVisible(open);
        return;
    }
    m_complete.SetVisible(state == State_Complete);
    m_glow.SetVisible(open);
}

void Picture::OnUpdate(int32_t state)
{
    if (state != State_Open || m_isMiniGame)
        return;
    m_glowPhase += kGlowStep;
    m_glow.SetOpacity(std::fabs(std::sin(m_glowPhase)));
}

void Picture::OnFrameChanged(const InstanceHandle& handle)
{
    m_movie = handle;
    m_glow = BookArt::Child(handle, u"glow");
}

void Picture::OnMouseEnter(const InstanceHandle&)
{
    if (GetState() == State_Open && HandleEx::ResolveMovie(m_movie))
        m_movie.SetFrame(1);
}

void Picture::OnMouseLeave(const InstanceHandle&)
{
    if (GetState() == State_Open)
        m_movie.SetFrame(0);
}

void Picture::OnMouseUp(const InstanceHandle&, bool)
{
    if (!m_book || m_book->IsTurning() || GetState() != State_Open)
        return;
    if (m_isMiniGame) {
        if (m_book->IsBrowsing())
            m_book->StartTransition(m_cardGame ? 1 : 0);
        return;
    }
    m_book->PlayTransition(this);
}

void Picture::OnTimelineStop(const InstanceHandle& handle)
{
    m_movie = handle;
}
