#pragma once
// The branching picture story, one of the two mini-games of the book. The story is read from
// "Story\story.xml": each segment shows its text, then offers three choices (a picture and a
// teaser each); the chosen one leads to the next segment after a heart arrow flies to it and the
// script "StoryTransitions.lua" has covered the page. A segment without choices ends the story
// with a closing text that depends on the level.
//
// The object lives as long as the game. A run lasts from Start (the game enters its story state)
// to Reset (the game leaves it); a story left before its end is saved into the profile by the game
// (SaveState) and continues there on the next Start.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "engine/core/console/ConsoleCommands.h"
#include "engine/core/strings/EngineString.h"
#include "engine/graphics/particles/ParticleHandle.h"
#include "engine/graphics/scene/InstanceTree.h"
#include "game/curves/BezierPath.h"
#include "game/screens/UICheckBox.h"
#include "game/states/StateMachine.h"

namespace QuillEngine {
class Console;
class XmlNode;
} // namespace QuillEngine
class IGameServices;

// One segment of the story.
struct StorySegment {
    QuillEngine::String id;
    // Shown under this segment's picture when it is offered as a choice.
    QuillEngine::String teaser;
    // Frame of the choice picture, counted from 1.
    int32_t image = 0;
    QuillEngine::String text;
    // The ids of the three segments that can follow, or none at the end of the story.
    std::vector<QuillEngine::String> choices;
};

using StorySegments = std::map<QuillEngine::String, std::unique_ptr<StorySegment>>;

class StoryMiniGame : public StateMachine,
                      public QuillEngine::IInstanceEventHandler,
                      public QuillEngine::IConsoleHandler,
                      public ICheckBoxOwner {
public:
    enum State : int32_t {
        State_Idle = 0,
        State_RevealChoices = 1,
        State_Choosing = 2,
        State_Reading = 3,
        State_HintFlying = 4,
        State_HeartFade = 5,
        State_Finished = 6,
        State_AwaitTransition = 8,
    };

    static constexpr const char16_t* kFileName = u"Story\\story.xml";
    static constexpr const char16_t* kLayoutName = u"StoryMiniGame";
    static constexpr const char16_t* kFirstSegment = u"intro";
    static constexpr int32_t kChoices = 3;
    // Steps each choice takes to fade in, one after the other.
    static constexpr int32_t kRevealSteps = 25;
    // The heart arrow starts at the top left of the page and lands on the chosen picture.
    static constexpr BezierPoint kArrowStart{105.0f, 60.0f};
    static constexpr BezierPoint kArrowTargets[kChoices] = {{642.0f, 116.0f}, {589.0f, 301.0f}, {626.0f, 487.0f}};
    static constexpr float kArrowSeconds = 2.0f;

    // Reads the story; registers "storygame.win" when given a console.
    // `services` may be null (no game around it).
    explicit StoryMiniGame(IGameServices* services, QuillEngine::Console* console = nullptr);
    ~StoryMiniGame() override;
    StoryMiniGame(const StoryMiniGame&) = delete;
    StoryMiniGame& operator=(const StoryMiniGame&) = delete;

    // Reads "Story\story.xml" from the document cache; false when it is absent or malformed.
    bool LoadStory();
    // Adds the segments of `document` to the story. A malformed segment (a missing attribute, a
    // choice count other than 0 or 3, a choice without its id) ends the load with false; the
    // segments read before it stay. A later segment with the same id replaces the earlier one.
    bool LoadStory(const QuillEngine::XmlNode& document);
    // Where the story of `level` begins: the start node of the last LEVEL entry for it, else
    // "intro". The scan stops at the first LEVEL entry that lacks either attribute.
    static QuillEngine::String StartSegmentFor(const QuillEngine::XmlNode* document, int32_t level);

    // Creates the layout under `root`; the run begins when it has loaded. A story saved in the
    // current profile continues where it was left, else the level's story starts.
    void Start(const QuillEngine::InstanceHandle& root);
    // Ends the run: forgets the segment, drops the check boxes and the layout.
    void Reset();
    // The element the profile keeps for a story under way: "storygame" with the shown segment.
    std::unique_ptr<QuillEngine::XmlNode> SaveState() const;
    // Takes the segment to continue from; false without the element or its attribute.
    bool RestoreState(const QuillEngine::XmlNode* element);

    void ShowSegment(const QuillEngine::String& id);
    void ShowConclusion();

    // A story is open and a segment was shown: what the game saves when the player leaves.
    bool HasStoryUnderWay() const { return m_inProgress && m_currentSegment; }
    bool InProgress() const { return m_inProgress; }
    const QuillEngine::String& CurrentId() const { return m_currentId; }
    const StorySegment* CurrentSegment() const { return m_currentSegment; }
    const StorySegment* FindSegment(const QuillEngine::String& id) const;
    const StorySegments& Segments() const { return m_segments; }
    const QuillEngine::InstanceHandle& Layout() const { return m_layout; }
    const std::vector<std::unique_ptr<UICheckBox>>& CheckBoxes() const { return m_checkBoxes; }
    int32_t ChosenIndex() const { return m_chosenIndex; }
    float RevealTicks() const { return m_revealTicks; }
    // The sound that starts a choice's fade on reveal step `tick`: one per choice, on the first step
    // of its window; none on the others.
    static const char16_t* RevealSound(int32_t tick);
    // The closing text shown at the end of the story of `level`.
    static const char16_t* ClosingText(int32_t level);
    // The subtitle frame of the story of `level`.
    static int32_t SubtitleFrame(int32_t level);

    // ICheckBoxOwner: a choice was clicked.
    void ChoiceMade(UICheckBox& box) override;

    // IInstanceEventHandler
    using QuillEngine::IInstanceEventHandler::OnUpdate;
    void OnLoad(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseEnter(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseLeave(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseUp(const QuillEngine::InstanceHandle& handle, bool notLeft) override;
    void OnMouseUpOutside(const QuillEngine::InstanceHandle& handle, bool notLeft) override;
    // IConsoleHandler: "storygame.win".
    void OnConsoleCommand(const std::vector<QuillEngine::String>& arguments,
                          const QuillEngine::Handle& instance) override;

protected:
    void OnEnter(int32_t state) override;
    void OnExit(int32_t state) override;
    void OnUpdate(int32_t state) override;

private:
    QuillEngine::InstanceHandle Child(const QuillEngine::String& name) const;
    QuillEngine::InstanceHandle Child(const char16_t* pattern, int32_t index) const;
    QuillEngine::InstanceHandle Root() const;
    void SetText(const QuillEngine::InstanceHandle& text, const QuillEngine::String& value) const;
    bool IsButton(const QuillEngine::InstanceHandle& handle) const;

    void LeaveUnreadableStory();
    void StepReveal();
    void EnterFlight();
    void StepFlight();
    void LeaveFlight();
    void EnterFinished();

    IGameServices* m_services;
    QuillEngine::InstanceHandle m_layout;
    QuillEngine::InstanceHandle m_root;
    QuillEngine::String m_currentId;
    std::vector<std::unique_ptr<UICheckBox>> m_checkBoxes;
    std::vector<int32_t> m_boxOptions; // the option number (1-3) of each check box
    StorySegments m_segments;
    const StorySegment* m_currentSegment = nullptr;
    std::unique_ptr<BezierPath> m_positionPath;
    std::unique_ptr<BezierPath> m_scalePath;
    QuillEngine::EmitterHandle m_trail;
    BezierPoint m_last;
    UICheckBox* m_chosenBox = nullptr;
    int32_t m_chosenIndex = 0;
    bool m_inProgress = false;
    bool m_toldUnreadable = false;
    float m_revealTicks = 0.0f;
    QuillEngine::ConsoleCommands m_commands;
};
