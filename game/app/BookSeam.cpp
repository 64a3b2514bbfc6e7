#include "game/app/BookSeam.h"

#include "game/app/Game.h"
#include "game/board/Board.h"
#include "game/profile/Profile.h"

using namespace QuillEngine;

BookSeam::BookSeam(ProfileMgr& profiles) : m_profiles(profiles)
{
    LevelCatalogue::LoadFile(m_profiles, m_photos);
    for (const CataloguePhoto& photo : m_photos) {
        if (!photo.miniGame)
            m_boards.push_back(std::make_unique<Board>(this, photo.number, photo.scene, photo.sound));
    }
    m_profiles.SetBookLink(this);
}

BookSeam::~BookSeam()
{
    if (m_profiles.BookLink() == this)
        m_profiles.SetBookLink(nullptr);
}

Board* BookSeam::NextBoard(Profile& profile)
{
    for (const auto& board : m_boards) {
        const SceneRecord* record = profile.FindScene(board->SceneNumber());
        if (record && record->level == profile.CurrentLevelNumber() && record->status != SceneRecord::Complete)
            return board.get();
    }
    return nullptr;
}

void BookSeam::Enter(Game& game)
{
    Profile* profile = m_profiles.CurrentProfile();
    if (!profile || m_boards.empty())
        return;
    // The letter of the first spread is the book's; the seam starts at the first level.
    if (profile->page < 2)
        profile->page = 2;
    if (m_lostLevel >= 0) {
        profile->ResetLevel(m_lostLevel);
        for (const auto& board : m_boards) {
            const SceneRecord* record = profile->FindScene(board->SceneNumber());
            if (record && record->level == m_lostLevel)
                board->Unload();
        }
        m_lostLevel = -1;
    }
    for (;;) {
        if (Board* board = NextBoard(*profile)) {
            for (const CataloguePhoto& photo : m_photos) {
                if (photo.number == board->SceneNumber())
                    game.MountPackageOnce(photo.package);
            }
            game.SetBoard(board);
            game.SetState(GameState_Board);
            return;
        }
        // Every scene of this level is complete (or it has none): its story photo is played once,
        // then on to the next level, if any.
        LevelRecord* level = profile->CurrentLevel();
        if (level && !level->bonusPlayed && EnterStory(game, level->number))
            return;
        if (!level || !profile->FindLevel(level->number + 1))
            return;
        level->bonusPlayed = true;
        m_profiles.OpenNextLevel();
        profile->page += 2;
    }
}

bool BookSeam::EnterStory(Game& game, int32_t level)
{
    for (const CataloguePhoto& photo : m_photos) {
        if (photo.level == level && photo.miniGame && !photo.cardGame) {
            game.MountPackageOnce(photo.package);
            game.SetState(GameState_StoryGame);
            return true;
        }
    }
    return false;
}

void BookSeam::OnBoardFinished(bool won)
{
    const Profile* profile = m_profiles.CurrentProfile();
    if (!won && profile)
        m_lostLevel = profile->CurrentLevelNumber();
}

void BookSeam::SubmitHighScore()
{
    const Profile* profile = m_profiles.CurrentProfile();
    if (profile)
        m_profiles.GetHighScores().Insert(profile->name, static_cast<uint32_t>(profile->TotalTimeUsed()));
}

void BookSeam::ResetBoards()
{
    for (const auto& board : m_boards)
        board->Unload();
}
