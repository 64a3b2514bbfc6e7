#pragma once
// The closing display the album plays once, when the player first reaches the last chapter: how
// fast each of the three crises was solved and how many bluebirds were found, each with its item
// glowing; then the display fades and the group of items flies onto the album's page.

#include <cstdint>
#include <memory>

#include "engine/core/strings/EngineString.h"
#include "engine/graphics/scene/InstanceTree.h"
#include "game/curves/BezierPath.h"
#include "game/states/StateMachine.h"

class IAlbum;
class Profile;

class Tableaux : public StateMachine, public QuillEngine::IInstanceEventHandler {
public:
    enum State : int32_t { State_NextResult = 1, State_ShowResult = 2, State_FlyAway = 3, State_Done = 4 };
    static constexpr int32_t kFirstStep = 5;
    static constexpr int32_t kStepIncrement = 6;
    static constexpr int32_t kLastStep = 23;
    static constexpr int32_t kResultTicks = 300;
    static constexpr int32_t kFadeTicks = 60;
    static constexpr int32_t kGiftBluebirds = 50;

    Tableaux(const QuillEngine::InstanceHandle& display, IAlbum* book, const QuillEngine::InstanceHandle& bookScene);
    ~Tableaux() override;
    Tableaux(const Tableaux&) = delete;
    Tableaux& operator=(const Tableaux&) = delete;

    // The text a result step shows for `profile`, and the item that glows with it (empty: none).
    static QuillEngine::String ResultText(const Profile& profile, int32_t step);
    static const char16_t* ResultItem(const Profile& profile, int32_t step);

    int32_t Step() const { return m_step; }
    float Ticks() const { return m_ticks; }
    const QuillEngine::InstanceHandle& Display() const { return m_display; }
    const QuillEngine::InstanceHandle& FlyingGroup() const { return m_flying; }

    bool ConsumesMouse(const QuillEngine::InstanceHandle&) override { return true; }
    using QuillEngine::IInstanceEventHandler::OnUpdate;

protected:
    void OnEnter(int32_t state) override;
    void OnExit(int32_t state) override;
    void OnUpdate(int32_t state) override;

private:
    QuillEngine::InstanceHandle m_display;
    IAlbum* m_book;
    QuillEngine::InstanceHandle m_bookScene;
    QuillEngine::InstanceHandle m_resultText;
    QuillEngine::InstanceHandle m_textMask;
    int32_t m_step = kFirstStep;
    float m_ticks = 0.0f;
    QuillEngine::InstanceHandle m_glow;
    QuillEngine::InstanceHandle m_flying;
    std::unique_ptr<BezierPath> m_path;
};
