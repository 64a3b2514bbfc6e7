#pragma once
// Seam: stands in for the story book until it lands. It reads the level catalogue, makes one board
// per scene photo and, whenever the game is in its book state, takes the player into the first
// scene of the current level that is not complete; a level whose scenes are all complete opens the
// next one once the level's story photo, if it has one, was played (card-game photos are passed
// over). A lost scene is played again from the start.

#include <memory>
#include <vector>

#include "game/board/BoardOwner.h"
#include "game/book/LevelCatalogue.h"
#include "game/profile/ProfileMgr.h"

class Board;
class Game;

class BookSeam : public IBoardOwner, public IProfileBookLink {
public:
    explicit BookSeam(ProfileMgr& profiles);
    ~BookSeam();
    BookSeam(const BookSeam&) = delete;
    BookSeam& operator=(const BookSeam&) = delete;

    // From the game's book state: enters the next scene to play, if any.
    void Enter(Game& game);

    // IBoardOwner
    void OnBoardFinished(bool won) override;
    void SubmitHighScore() override;
    void RebindPages() override {}
    // IProfileBookLink
    void ResetBoards() override;
    void OnProfileChanged(bool) override {}
    void UpdatePageControls() override {}
    void StoreRunningGames(Profile&) override {}

    const std::vector<std::unique_ptr<Board>>& Boards() const { return m_boards; }

private:
    Board* NextBoard(Profile& profile);
    // Enters the story game of `level` when the level has a story photo.
    bool EnterStory(Game& game, int32_t level);

    ProfileMgr& m_profiles;
    std::vector<CataloguePhoto> m_photos;
    std::vector<std::unique_ptr<Board>> m_boards;
    // Level to start again before the next scene is entered, or -1.
    int32_t m_lostLevel = -1;
};
