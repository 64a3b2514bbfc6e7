#pragma once
// What the album asks of the game object about the games it opens: the scene boards of the
// catalogue, the way into a board or a mini-game, and the mini-games' state under way.

#include <cstdint>
#include <vector>

#include "engine/core/strings/EngineString.h"

class IBoardOwner;
class Profile;

struct SceneBoardSpec {
    int32_t number = 0;
    QuillEngine::String scene;
    QuillEngine::String ambientSound;
};

class ISubGames {
public:
    // Adds one board per scene, each reporting to `owner`.
    virtual void AddBoards(IBoardOwner* owner, const std::vector<SceneBoardSpec>& scenes) = 0;
    // Drops every board (their owner goes).
    virtual void DropBoards() = 0;
    // Enters the board state on the board of `sceneNumber`; false when no board plays that scene
    // or the game refuses it (its item file is missing or names nothing to find), with a word to
    // the player and nothing of the profile changed.
    virtual bool OpenBoard(int32_t sceneNumber) = 0;
    // Enters the card game (`cardGame`) or the story game.
    virtual void OpenMiniGame(bool cardGame) = 0;
    // Leaves a board, the card game or the story under way as the player would, back to the
    // album; its state stays with the current profile. Nothing happens outside those states.
    virtual void LeaveSubGame() = 0;
    // Unloads every board (a level played again, another player).
    virtual void UnloadBoards() = 0;
    // Stores a card game or story under way into `profile`.
    virtual void StoreMiniGames(Profile& profile) const = 0;

protected:
    ~ISubGames() = default;
};
