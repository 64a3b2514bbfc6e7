#pragma once
// The game's top-level state machine.
//
// Seam: an empty state machine until the game states land; it only counts its steps and
// remembers whether it is paused.

#include <cstdint>

class Game {
public:
    void Update() { ++steps_; }
    void Pause() { paused_ = true; }
    void Resume() { paused_ = false; }
    bool Paused() const { return paused_; }
    uint64_t Steps() const { return steps_; }

private:
    uint64_t steps_ = 0;
    bool paused_ = false;
};
