#pragma once
// The game's top-level states and the stand-in for the content each of them runs.

#include <cstdint>

#include "engine/graphics/scene/InstanceTree.h"
#include "game/states/StateMachine.h"

enum GameState : int32_t {
    GameState_None = 0,
    GameState_Intro = 1,
    GameState_Book = 2,
    GameState_Board = 3,
    GameState_Concentration = 4,
    GameState_StoryGame = 5,
};

// Seam: stands in for the book, a scene board, the card game and the story game until
// each of them lands. It keeps what the game does to its content (started under the root,
// (de)activated, ticked, its running game saved and reset) so that the game's state changes can
// be followed; it shows nothing and never asks the game for another state by itself.
class GameStateSeam : public StateMachine {
public:
    // The state the board and the card game sit in while they are not played.
    static constexpr int32_t kInactiveState = 3;

    void Start(const QuillEngine::InstanceHandle& root)
    {
        ++starts;
        startRoot = root;
        active = true;
    }
    void SetActive(bool on) { active = on; }
    void Reset()
    {
        ++resets;
        active = false;
        inProgress = false;
    }
    // The board's per-step tick (the board is not itself updated as a state machine).
    void Tick() { ++ticks; }
    void SetInactive() { SetState(kInactiveState); }
    bool IsInactive() const { return GetState() == kInactiveState; }

    bool active = false;
    // A card or story game that is under way, whose state the game keeps when it leaves it.
    bool inProgress = false;
    int32_t starts = 0;
    int32_t resets = 0;
    int32_t ticks = 0;
    int32_t updates = 0;
    QuillEngine::InstanceHandle startRoot;

protected:
    void OnEnter(int32_t) override {}
    void OnExit(int32_t) override {}
    void OnUpdate(int32_t) override { ++updates; }
};
