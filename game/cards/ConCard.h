#pragma once
// One card of the card memory game: its face, back and highlighted back (three movies under the
// board), its flip, and the part of the matching rules that each card runs for itself.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/strings/EngineString.h"
#include "engine/graphics/scene/InstanceTree.h"
#include "game/states/StateMachine.h"

namespace QuillEngine {
class XmlNode;
}

class ConCard;

// What the cards ask of the table that deals them.
class ICardTable {
public:
    virtual bool IsVisible() const = 0;
    // A fresh deal waits for its first click, which starts the game.
    virtual bool AwaitsFirstMove() const = 0;
    virtual void Begin() = 0;
    // While blocked (two cards face up, a match being checked) no card turns.
    virtual bool IsBlocked() const = 0;
    virtual void SetBlocked(bool block) = 0;
    virtual ConCard* FirstFaceUp() const = 0;
    virtual void SetFirstFaceUp(ConCard* card) = 0;
    // `card` is the second card turned, `other` the first; true when they go together.
    virtual bool CheckMatch(ConCard* card, ConCard* other) = 0;
    virtual void CardGone(ConCard* card) = 0;
    virtual const std::vector<std::unique_ptr<ConCard>>& Cards() const = 0;

protected:
    ~ICardTable() = default;
};

// One "card" entry of the card table: a face of a card set, the clock card or the joker.
struct ConCardDef {
    int32_t kind = 0;
    int32_t set = -1;
    uint32_t frame = 0;
};

class ConCard : public StateMachine, public QuillEngine::IInstanceEventHandler {
public:
    enum State : int32_t {
        State_Constructed = 0,
        State_Appear = 1,
        State_FaceDown = 2,
        State_TurningUp = 3,
        State_TurningDown = 4,
        State_FaceUp = 5,
        State_Matched = 6,
        State_Gone = 7,
        State_MatchedByJoker = 8
    };
    enum CardKind : int32_t { Kind_Face = 0, Kind_Clock = 1, Kind_Joker = 2 };

    static constexpr double kStepSeconds = 1.0 / 60.0;
    static constexpr double kFlipSeconds = 0.35;
    static constexpr double kHalfFlipSeconds = 0.175;
    // A second card is compared this many steps (0.2 s) after it is fully face up.
    static constexpr int32_t kFaceUpSteps = 12;
    static constexpr int32_t kMatchSteps = 30;

    ConCard(const ConCardDef* definition, ICardTable* board);
    ~ConCard() override;
    ConCard(const ConCard&) = delete;
    ConCard& operator=(const ConCard&) = delete;

    // Makes the three movies under the board instance for the rectangle (top-left corner, size);
    // they stay hidden until the card appears.
    void Bind(const QuillEngine::InstanceHandle& boardInstance, float x, float y, float width, float height);

    // The "card" element of a saved game.
    void Save(QuillEngine::XmlNode& parent) const;
    // False when an attribute is missing; the saved state is entered once the card has appeared.
    bool Load(const QuillEngine::XmlNode& element);

    // A click on one of the card's movies (any button).
    void Click();

    int32_t GetKind() const { return m_kind; }
    bool IsJoker() const { return m_kind == Kind_Joker; }
    int32_t Frame() const { return m_frame; }
    float X() const { return m_x; }
    float Y() const { return m_y; }
    float Width() const { return m_width; }
    float Height() const { return m_height; }
    ConCard* Partner() const { return m_partner; }
    void SetPartner(ConCard* partner) { m_partner = partner; }
    int32_t NextState() const { return m_nextState; }
    const QuillEngine::InstanceHandle& Face() const { return m_face; }
    const QuillEngine::InstanceHandle& Back() const { return m_back; }
    const QuillEngine::InstanceHandle& Highlight() const { return m_highlight; }
    // The flip's scale at `seconds` into it, for a card whose resting scale is (sx, sy).
    static void FlipScale(double seconds, float sx, float sy, float& outX, float& outY);

    // IInstanceEventHandler (its per-step OnUpdate is not the state hook of that name)
    using QuillEngine::IInstanceEventHandler::OnUpdate;
    bool ConsumesMouse(const QuillEngine::InstanceHandle&) override { return true; }
    void OnLoad(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseDown(const QuillEngine::InstanceHandle& handle, bool notLeft) override;
    void OnMouseEnter(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseLeave(const QuillEngine::InstanceHandle& handle) override;

protected:
    void OnEnter(int32_t state) override;
    void OnExit(int32_t state) override;
    void OnUpdate(int32_t state) override;

private:
    void EnterAppear();
    void StepFlip(bool up);
    void StepFaceUp();
    void EnterMatched();
    void EnterGone();
    void StepJoker();

    QuillEngine::InstanceHandle m_face;
    QuillEngine::InstanceHandle m_back;
    QuillEngine::InstanceHandle m_highlight;
    ICardTable* m_board;
    int32_t m_kind = Kind_Face;
    int32_t m_frame = 0;
    float m_x = 0.0f;
    float m_y = 0.0f;
    float m_width = 0.0f;
    float m_height = 0.0f;
    float m_baseX = 1.0f;
    float m_baseY = 1.0f;
    // Steps into the current flip, and steps left before a face-up card is compared.
    int32_t m_flipSteps = 0;
    int32_t m_faceUpSteps = 0;
    ConCard* m_partner = nullptr;
    int32_t m_nextState = State_FaceDown;
    int32_t m_countdown = 0;

    // Card movies are numbered for the life of the process, so their names never repeat.
    static inline int32_t s_cardCounter = 0;
};
