#include "game/intro/Intro.h"

#include "engine/graphics/scene/Instance_Movie.h"
#include "game/states/GameServices.h"
#include "game/states/GameState.h"

using namespace QuillEngine;

namespace {
constexpr const char16_t* kSceneName = u"Intro";
constexpr const char16_t* kWhiteLayerName = u"whitePlane";
} // namespace

Intro::~Intro()
{
    // The scene stays under the root; it must not call back into a deleted intro.
    const InstanceHandle scene = m_scene.IsEmpty() ? m_created : m_scene;
    if (Instance_Movie* movie = HandleEx::ResolveMovie(scene)) {
        if (movie->GetEventHandler() == this)
            movie->SetEventHandler(nullptr);
    }
}

void Intro::Start(const InstanceHandle& root)
{
    m_created = root.CreateChild(kSceneName, kSceneName);
    Instance_Movie* movie = HandleEx::ResolveMovie(m_created);
    if (!movie)
        return;
    movie->SetVisible(false);
    movie->SetPlaying(false);
    movie->SetInputEnabled(false);
    movie->SetPosition(0, 0);
    movie->SetEventHandler(this);
}

void Intro::SetActive(bool on)
{
    m_scene.SetVisible(on);
    m_scene.SetInputEnabled(on);
}

void Intro::OnLoad(const InstanceHandle& handle)
{
    const Instance_Base* instance = handle.Resolve();
    if (!instance || instance->GetName() != kSceneName)
        return;
    m_scene = handle;
    if (const Instance_Movie* movie = HandleEx::ResolveMovie(handle))
        m_whiteLayer = movie->FindChild(kWhiteLayerName).AsMovie();
    m_whiteLayer.SetVisible(false);
    m_whiteLayer.SetOpacity(0);
    SetActive(true);
    SetState(State_Showing);
}

void Intro::OnEnter(int32_t state)
{
    if (state == State_Showing) {
        m_shownTime = 0;
    } else if (state == State_Fading) {
        m_fadeCounter = -kFadeWait;
        m_whiteLayer.SetVisible(true);
    }
}

void Intro::OnUpdate(int32_t state)
{
    if (state == State_Showing) {
        if (m_shownTime > kShowSteps)
            SetState(State_Fading);
        return;
    }
    if (state != State_Fading)
        return;
    ++m_fadeCounter;
    if (m_fadeCounter < 0)
        return;
    m_whiteLayer.SetOpacity(static_cast<float>(m_fadeCounter) / kFadeSteps);
    // Only once: the game leaves the intro state here, and a stray update after it moves nothing.
    if (m_fadeCounter == kFadeSteps && m_services)
        m_services->SwitchGameState(GameState_Book);
}
