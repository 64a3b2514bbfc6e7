#pragma once
// The opening: the "Intro" movie is shown for about a second, then, after a short wait, covered
// by its white layer fading in; when the white is opaque the game moves on to the book.

#include <cstdint>

#include "engine/graphics/scene/InstanceTree.h"
#include "game/states/StateMachine.h"

class IGameServices;

class Intro : public StateMachine, public QuillEngine::IInstanceEventHandler {
public:
    enum State : int32_t { State_Showing = 1, State_Fading = 2 };

    // Steps the scene is shown before the fade begins.
    static constexpr float kShowSteps = 60.0f;
    // The fade counter starts this far below zero: the wait before the white layer appears.
    static constexpr int32_t kFadeWait = 50;
    // Steps the white layer takes from clear to opaque.
    static constexpr int32_t kFadeSteps = 60;

    explicit Intro(IGameServices* services) : m_services(services) {}
    ~Intro() override;
    Intro(const Intro&) = delete;
    Intro& operator=(const Intro&) = delete;

    // Creates the (hidden, input-dead) scene under `root`; it comes alive when it loads.
    void Start(const QuillEngine::InstanceHandle& root);
    void SetActive(bool on);

    // The game adds one step after each update while it is in the intro state and not paused.
    void AddShownTime(float steps) { m_shownTime += steps; }
    float ShownTime() const { return m_shownTime; }
    int32_t FadeCounter() const { return m_fadeCounter; }
    const QuillEngine::InstanceHandle& Scene() const { return m_scene; }
    const QuillEngine::InstanceHandle& WhiteLayer() const { return m_whiteLayer; }

    using QuillEngine::IInstanceEventHandler::OnUpdate;
    void OnLoad(const QuillEngine::InstanceHandle& handle) override;

protected:
    void OnEnter(int32_t state) override;
    void OnExit(int32_t) override {}
    void OnUpdate(int32_t state) override;

private:
    QuillEngine::InstanceHandle m_created;
    QuillEngine::InstanceHandle m_scene;
    QuillEngine::InstanceHandle m_whiteLayer;
    float m_shownTime = 0;
    int32_t m_fadeCounter = 0;
    IGameServices* m_services = nullptr;
};
