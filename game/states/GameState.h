#pragma once
// The game's top-level states.

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
