#include "game/app/Game.h"

#include <algorithm>

#include "engine/app/ScriptBridge.h"
#include "engine/core/EngineRand.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/script/LuaValueRef.h"
#include "game/board/Board.h"
#include "game/board/dialogs/UIISpyPanel.h"
#include "game/book/Book.h"
#include "game/cards/ConBoard.h"
#include "game/cards/dialogs/ConDialogs.h"
#include "game/intro/Intro.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"
#include "game/screens/menus/MenuDialogs.h"
#include "game/story/StoryMiniGame.h"

using namespace QuillEngine;

namespace {

constexpr uint32_t kKeyEscape = 27;
constexpr uint32_t kKeySpace = 32;

InstanceHandle RootHandle()
{
    UserInterface* ui = UserInterface::Instance();
    return ui ? ui->GetRootHandle() : InstanceHandle();
}

} // namespace

Game::Game() : Game(EngineLinks{}) {}

Game::Game(EngineLinks links) : m_links(std::move(links)), m_musicRandom(static_cast<uint_fast32_t>(Rand()) + 1)
{
    const InstanceHandle root = RootHandle();
    if (Instance_Movie* movie = HandleEx::ResolveMovie(root)) {
        movie->SetEventHandler(this);
        UserInterface::Instance()->AddGlobalHandler(root);
    }
    m_screenMgr = std::make_unique<UIScreenMgr>(this, m_links.console);
    m_screenMgr->SetScreenMaker(MakeMenuScreen);
    m_profileMgr = std::make_unique<ProfileMgr>(m_links.console);
    m_profileMgr->Load();
    m_conBoard = std::make_unique<ConBoard>(this);
    m_storyGame = std::make_unique<StoryMiniGame>(this, m_links.console);
    if (Audio* audio = Audio::Instance())
        audio->SetCallbackHandler(this);
    PlayNextMusic();
    SetState(GameState_Intro);
}

IScreenHost* Game::Screens() const
{
    return m_screenMgr.get();
}

Game::~Game()
{
    m_profileMgr->Save();
    if (Audio* audio = Audio::Instance())
        audio->SetCallbackHandler(nullptr);
    // The root outlives the game: it must not keep calling a deleted handler.
    const InstanceHandle root = RootHandle();
    if (Instance_Movie* movie = HandleEx::ResolveMovie(root)) {
        if (movie->GetEventHandler() == this)
            movie->SetEventHandler(nullptr);
        UserInterface::Instance()->RemoveGlobalHandler(root);
    }
    m_board = nullptr;
    m_boards.clear();
    m_book.reset();
    m_conBoard.reset();
    m_storyGame.reset();
    m_screenMgr.reset();
    m_profileMgr.reset();
    m_intro.reset();
    if (HandleEx::ResolveMovie(m_pauseOverlay))
        m_pauseOverlay.Delete(true);
}

void Game::OnEnter(int32_t state)
{
    const InstanceHandle root = RootHandle();
    switch (state) {
    case GameState_Intro:
        if (m_intro) {
            m_intro->SetActive(true);
        } else {
            m_intro = std::make_unique<Intro>(this);
            m_intro->Start(root);
        }
        break;
    case GameState_Book:
        if (m_book) {
            m_book->SetActive(true);
        } else {
            m_book = std::make_unique<Book>(this, this);
            m_book->Start(root);
        }
        break;
    case GameState_Board:
        if (m_board)
            m_board->SetActive(true);
        break;
    case GameState_Concentration:
        m_conBoard->Start(root);
        break;
    case GameState_StoryGame:
        m_storyGame->Start(root);
        break;
    default:
        break;
    }
}

void Game::OnExit(int32_t state)
{
    switch (state) {
    case GameState_Intro:
        if (m_intro)
            m_intro->SetActive(false);
        break;
    case GameState_Book:
        if (m_book)
            m_book->SetActive(false);
        break;
    case GameState_Board:
        if (m_board)
            m_board->SetActive(false);
        break;
    case GameState_Concentration:
        // A card game under way is kept in the current profile; the next entry takes it up.
        if (Profile* profile = m_profileMgr->CurrentProfile())
            m_conBoard->StoreInto(*profile);
        m_conBoard->Reset();
        break;
    case GameState_StoryGame:
        if (Profile* profile = m_profileMgr->CurrentProfile())
            StoreStoryGame(*profile);
        m_storyGame->Reset();
        break;
    default:
        break;
    }
}

void Game::OnUpdate(int32_t state)
{
    UpdatePointer();
    if (m_paused)
        return;
    switch (state) {
    case GameState_Intro:
        if (m_intro) {
            m_intro->Update();
            m_intro->AddShownTime(1.0f);
        }
        break;
    case GameState_Book:
        if (m_book)
            m_book->Update();
        break;
    case GameState_Board:
        if (m_board && !m_board->IsInactive() && !HeldByModal(m_board->GetState(), {Board::State_Playing}))
            m_board->Tick();
        break;
    case GameState_Concentration:
        if (!m_conBoard->IsInactive() &&
            !HeldByModal(m_conBoard->GetState(), {ConBoard::State_Playing, ConBoard::State_HintShown}))
            m_conBoard->Tick();
        break;
    case GameState_StoryGame:
        m_storyGame->Update();
        break;
    default:
        break;
    }
}

bool Game::HeldByModal(int32_t state, std::initializer_list<int32_t> running) const
{
    return m_screenMgr && m_screenMgr->ModalOpen() && std::find(running.begin(), running.end(), state) != running.end();
}

void Game::StoreStoryGame(Profile& profile) const
{
    if (m_storyGame && m_storyGame->HasStoryUnderWay())
        profile.SetStoryState(m_storyGame->SaveState());
}

void Game::AddBoards(IBoardOwner* owner, const std::vector<SceneBoardSpec>& scenes)
{
    for (const SceneBoardSpec& scene : scenes)
        m_boards.push_back(std::make_unique<Board>(owner, this, scene.number, scene.scene, scene.ambientSound));
}

void Game::DropBoards()
{
    if (m_board && std::any_of(m_boards.begin(), m_boards.end(), [this](const auto& b) { return b.get() == m_board; }))
        m_board = nullptr;
    m_boards.clear();
}

bool Game::OpenBoard(int32_t sceneNumber)
{
    for (const auto& board : m_boards) {
        if (board->SceneNumber() != sceneNumber)
            continue;
        // A scene whose list of items cannot be read would open with nothing to find and its clock
        // running: it is refused like a scene whose package is missing, and nothing of the player's
        // records changes.
        if (!board->ItemDocument()) {
            ReportUnplayableScene(board->SceneName(), "its list of items \"" + ToUtf8(board->ItemFileName()) +
                                                          "\" is missing or damaged");
            return false;
        }
        // So would a list that names nothing the scene shows (empty, another scene's, or only
        // items without a picture to click).
        if (!board->Load()) {
            ReportUnplayableScene(board->SceneName(), "its list of items \"" + ToUtf8(board->ItemFileName()) +
                                                          "\" names nothing that can be found in it");
            return false;
        }
        SetBoard(board.get());
        SetState(GameState_Board);
        return true;
    }
    return false;
}

void Game::OpenMiniGame(bool cardGame)
{
    SetState(cardGame ? GameState_Concentration : GameState_StoryGame);
}

void Game::LeaveSubGame()
{
    // Each panel's album button: its close asks for the album (the board's also binds the album's
    // pages again).
    switch (GetState()) {
    case GameState_Board:
        if (m_board)
            m_board->RebindAlbum();
        m_screenMgr->CloseAndSave(UIISpyPanel::kName);
        break;
    case GameState_Concentration:
        m_screenMgr->CloseAndSave(UIConPanel::kName);
        break;
    case GameState_StoryGame:
        break;
    default:
        return;
    }
    if (GetState() != GameState_Book)
        SetState(GameState_Book);
}

void Game::UnloadBoards()
{
    for (const auto& board : m_boards)
        board->Unload();
}

void Game::StoreMiniGames(Profile& profile) const
{
    if (m_conBoard)
        m_conBoard->StoreInto(profile);
    StoreStoryGame(profile);
}

void Game::Pause()
{
    if (m_paused)
        return;
    m_paused = true;
    if (Audio* audio = Audio::Instance())
        audio->PauseAll(true);

    const InstanceHandle root = RootHandle();
    Instance_Movie* rootMovie = HandleEx::ResolveMovie(root);
    m_pausedInputs.clear();
    if (rootMovie) {
        std::vector<InstanceHandle> children;
        rootMovie->CollectChildren(children, false);
        for (const InstanceHandle& child : children) {
            Instance_Base* movie = HandleEx::ResolveMovie(child);
            if (!movie)
                continue;
            const bool wasEnabled = movie->GetInputEnabled();
            QuillLua::LuaValueRef table = ScriptBridge::TableOf(child);
            if (table.IsTable())
                table.SetBoolean("wasEnabled", wasEnabled);
            if (wasEnabled) {
                movie->SetInputEnabled(false);
                m_pausedInputs.push_back(child);
            }
        }
    }

    // Whatever the game shows, a pause that holds its input says so and how to go on.
    if (rootMovie) {
        m_pauseOverlay = root.CreateChild(u"Pause_Overlay", u"Pause_Overlay");
        if (Instance_Movie* overlay = HandleEx::ResolveMovie(m_pauseOverlay)) {
            overlay->SetEventHandler(this);
            overlay->SetPlaying(true);
        }
    }
}

void Game::Resume()
{
    if (!m_paused)
        return;
    m_paused = false;
    if (Audio* audio = Audio::Instance())
        audio->PauseAll(false);
    // Only movies whose input the pause switched off get it back; a movie deleted meanwhile is
    // skipped.
    for (const InstanceHandle& handle : m_pausedInputs)
        handle.SetInputEnabled(true);
    m_pausedInputs.clear();
    if (HandleEx::ResolveMovie(m_pauseOverlay))
        m_pauseOverlay.Delete(true);
    m_pauseOverlay = {};
}

void Game::OnKeyDown(const InstanceHandle&, uint32_t key)
{
    if (key != kKeyEscape && key != kKeySpace)
        return;
    // A name being typed keeps its keys; a menu that holds the game already is not paused over.
    if (m_screenMgr && (m_screenMgr->KeyboardTaken() || (!m_paused && m_screenMgr->ModalOpen())))
        return;
    if (m_paused)
        Resume();
    else
        Pause();
}

void Game::OnMouseDown(const InstanceHandle&, bool)
{
    if (m_paused)
        Resume();
}

void Game::OnSoundEnded(const Handle& handle)
{
    if (!m_music.handle.IsEmpty() && handle == m_music.handle)
        PlayNextMusic();
}

void Game::PlayNextMusic()
{
    const Profile* profile = m_profileMgr ? m_profileMgr->CurrentProfile() : nullptr;
    int32_t track = kFirstTrack;
    if (profile && profile->IsDone(0)) {
        do {
            track = static_cast<int32_t>(m_musicRandom() % 4);
        } while (track == m_lastTrack);
    }
    m_lastTrack = track;
    Audio* audio = Audio::Instance();
    if (!audio) {
        m_music = {};
        return;
    }
    m_music = audio->PlaySound(kMusicTracks[track], false);
    const double volume = profile ? profile->musicVolume : 0.0;
    m_music.SetVolume(static_cast<float>(volume * 0.1));
}

bool Game::MountPackageOnce(const String& name)
{
    if (m_mountedPackages.count(name))
        return true;
    if (!m_links.mountPackage || !m_links.mountPackage(name, name)) {
        ReportUnplayableScene(name, "the file \"" + ToUtf8(name) + ".dat\" beside the program is missing or damaged");
        return false;
    }
    m_mountedPackages.emplace(name, true);
    return true;
}

void Game::ReportUnplayableScene(const String& scene, const std::string& why)
{
    if (!m_links.showMessage || m_reportedPackages.count(scene))
        return;
    m_reportedPackages.emplace(scene, true);
    m_links.showMessage("Velvet Aisle", "The scene \"" + ToUtf8(scene) + "\" cannot be played: " + why +
                                            ", so that page of the album cannot be played. Installing the game "
                                            "again restores it.");
}
