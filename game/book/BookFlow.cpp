// The album's level flow: the transitions into a scene or a mini-game, the end of a board, and
// the states the album passes through between browsing, a level won and the closing tableaux.

#include "game/book/Book.h"

#include "engine/core/strings/Format.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaValueRef.h"
#include "game/book/BookArt.h"
#include "game/book/PageTurner.h"
#include "game/book/Picture.h"
#include "game/book/Tableaux.h"
#include "game/feedback/FeedbackReporter.h"
#include "game/profile/HighScores.h"
#include "game/profile/Profile.h"
#include "game/screens/UIScreenMgr.h"
#include "game/screens/menus/MenuDialogs.h"

using namespace QuillEngine;

// --- transitions ---

void Book::RunTransitionScript()
{
    m_bookScene.SetInputEnabled(false);
    LuaMgr* lua = LuaMgr::Instance();
    // Without its script nothing would ever call back: the player would face a dead album.
    if (!lua || !lua->DoFile(kTransitionScript))
        OnTransitionDone();
}

void Book::PlayTransition(Picture* picture)
{
    if (!picture || GetState() != State_Browsing)
        return;
    m_selectedPicture = picture;
    const Profile* profile = CurrentProfile();
    const SceneRecord* record = profile ? profile->FindScene(picture->SceneNumber()) : nullptr;
    const String replay = record && record->replay ? u"1" : u"0";
    if (LuaMgr* lua = LuaMgr::Instance())
        lua->SetGlobalString("replay", ToUtf8(replay).c_str());
    const String replayKey = u"replay";
    FeedbackReporter::SetEventParameters(&replayKey, &replay, 1);
    FeedbackReporter::SetLevel(Format(u"%d", {picture->SceneNumber()}), u"ispy");
    m_transitionScene = picture->SceneNumber();
    m_transitionPackage = picture->GetPackage();
    if (LuaMgr* lua = LuaMgr::Instance())
        lua->SetGlobalNumber("transitionScene", m_transitionScene);
    BookArt::PlayEffect(u"LevelStart");
    SetState(State_SceneTransition);
    RunTransitionScript();
}

void Book::StartTransition(int32_t miniGameKind)
{
    m_miniGameKind = miniGameKind;
    if (LuaMgr* lua = LuaMgr::Instance())
        lua->SetGlobalNumber("transitionScene", 3);
    m_transitionScene = -1;
    m_transitionPackage.clear();
    SetState(State_MiniGameTransition);
    RunTransitionScript();
}

void Book::OnTransitionDone()
{
    // A scene whose package cannot be mounted is not entered: the game has told the player which
    // file is missing, and the album stays open.
    const bool mounted =
        m_transitionPackage.empty() || !m_services || m_services->MountPackageOnce(m_transitionPackage);
    QuillLua::LuaValueRef globals = BookArt::ScriptGlobals();
    if (!mounted) {
        m_bookScene.SetInputEnabled(true);
        SetState(State_Browsing);
        if (globals.IsTable())
            globals.SetBoolean("fadeTransitionOut", true);
        return;
    }
    if (m_transitionScene < 0) {
        SetState(State_Browsing);
        // The mini-games start from their game states and read their own entry (a saved game to
        // resume, the level to play) from the profile.
        if (m_subGames)
            m_subGames->OpenMiniGame(m_miniGameKind == 1);
    } else {
        // A scene without a board (or one the game refuses) leaves the player in the album, which
        // must take clicks again; its photo stays as it was.
        if (!EnterScene(m_transitionScene)) {
            m_bookScene.SetInputEnabled(true);
        } else if (Profile* profile = CurrentProfile()) {
            if (SceneRecord* record = profile->FindScene(m_transitionScene);
                record && record->status == SceneRecord::Open)
                record->status = SceneRecord::InProgress;
        }
        SetState(State_Browsing);
    }
    if (globals.IsTable())
        globals.SetBoolean("fadeTransitionOut", true);
}

bool Book::EnterScene(int32_t sceneNumber)
{
    return m_subGames && m_subGames->OpenBoard(sceneNumber);
}

// --- boards ---

void Book::OnBoardFinished(bool won)
{
    if (won) {
        Profile* profile = CurrentProfile();
        SetState(profile && profile->CompleteScene() ? State_BoardWon : State_Browsing);
    } else {
        SetState(State_BoardLost);
    }
    RebindPages();
}

void Book::SubmitHighScore()
{
    ProfileMgr* profiles = ProfileMgr::Instance();
    const Profile* profile = CurrentProfile();
    if (profiles && profile)
        profiles->GetHighScores().Insert(profile->name, static_cast<uint32_t>(profile->TotalTimeUsed()));
}

void Book::RebindPages()
{
    if (!BookArt::Valid(GetPageLayout()))
        return;
    BindPage(LayoutChild(u"pageLeft"));
    BindPage(LayoutChild(u"pageRight"));
}

void Book::LeaveRunningGame()
{
    if (m_subGames)
        m_subGames->LeaveSubGame();
}

void Book::ResetBoards()
{
    if (m_subGames)
        m_subGames->UnloadBoards();
}

void Book::OnProfileChanged(bool newProfile)
{
    if (const Profile* profile = CurrentProfile())
        m_highestPage = profile->page;
    m_introSparkle = {};
    SetUpPages();
    if (newProfile && GetState() != State_FadeIn)
        SetState(State_Browsing);
}

void Book::StoreRunningGames(Profile& current)
{
    // A card game under way keeps its cards in the profile, a story under way its page; the book
    // itself keeps nothing that is not saved already.
    if (m_subGames)
        m_subGames->StoreMiniGames(current);
}

// --- states ---

void Book::OnEnter(int32_t state)
{
    switch (state) {
    case State_FadeIn:
        m_fadeTicks = 0;
        break;
    case State_ResetLevel:
        if (Profile* profile = CurrentProfile())
            profile->ResetLevel(profile->CurrentLevelNumber());
        ResetBoards();
        UpdatePageControls();
        SetUpPages();
        SetState(State_Browsing);
        break;
    case State_LevelWon:
        EnterLevelWon();
        break;
    case State_IntroAnimation:
        EnterIntroAnimation();
        break;
    case State_TableauxDisplay:
        EnterTableaux();
        break;
    default:
        break;
    }
}

void Book::OnExit(int32_t state)
{
    if (state == State_IntroAnimation)
        LeaveIntroAnimation();
}

void Book::OnUpdate(int32_t state)
{
    switch (state) {
    case State_FadeIn:
        ++m_fadeTicks;
        m_whitePlane.SetOpacity(1.0f - static_cast<float>(m_fadeTicks) / kFadeTicks);
        if (m_fadeTicks >= kFadeTicks) {
            m_whitePlane.SetVisible(false);
            m_whitePlane.SetInputEnabled(false);
            SetState(State_Browsing);
        }
        Browse();
        break;
    case State_Browsing:
        Browse();
        break;
    case State_BoardLost:
        SetState(State_ResetLevel);
        break;
    case State_BoardWon:
        SetState(State_LevelWon);
        break;
    case State_TableauxDisplay:
        if (m_tableaux)
            m_tableaux->Update();
        m_finishedTableaux.reset();
        break;
    default:
        break;
    }
}

void Book::Browse()
{
    // A march that has played out gives the album its background music back.
    if (!m_marchChannel.handle.IsEmpty() && !m_marchChannel.IsValid())
        EndWeddingMarch();
    for (const auto& picture : m_pictures)
        picture->UpdateState();
    ShowPhotoHints();
    const Profile* profile = CurrentProfile();
    if (m_nextControl) {
        const bool hint = profile && profile->IsDone(profile->CurrentLevelNumber()) && profile->page == m_highestPage;
        m_nextControl->Update(hint);
    }
    if (m_prevControl)
        m_prevControl->Update(false);
    if (BookArt::Visible(m_bookScene))
        CheckAutoTurn();
}

void Book::EnterLevelWon()
{
    Profile* profile = CurrentProfile();
    LevelRecord* level = CurrentLevel();
    ProfileMgr* profiles = ProfileMgr::Instance();
    if (level && level->crisis) {
        if (profile && static_cast<int32_t>(profile->page / 2) == static_cast<int32_t>(profile->levels.size()) - 1)
            SubmitHighScore();
    } else if (level) {
        const LevelRecord* levelTemplate = profiles ? profiles->FindLevelTemplate(level->number) : nullptr;
        const int32_t kind = levelTemplate ? levelTemplate->miniGameKind : 0;
        if (kind == 2 || kind == 1) {
            StartTransition(kind == 1 ? 1 : 0);
            BookArt::PlayEffect(u"LevelStart");
        } else {
            level->bonusPlayed = true;
            if (profiles)
                profiles->OpenNextLevel();
        }
    }
    UpdatePageControls();
    SetState(State_Browsing);
}

void Book::EnterIntroAnimation()
{
    const InstanceHandle left = LayoutChild(u"pageLeft");
    const InstanceHandle right = LayoutChild(u"pageRight");
    const InstanceHandle envelope = BookArt::Child(left, u"envelope");
    m_letterAnimation = m_bookScene.CreateChild(u"intro_animation", u"letterAnimation");
    if (Instance_Movie* animation = HandleEx::ResolveMovie(m_letterAnimation)) {
        animation->SetPosition(400, 300);
        animation->SetFrameMultiplier(0.5f);
        animation->SetEventHandler(this);
        animation->SetPlaying(true);
    }
    // The letter that flies out is the one the player has just read: it greets them by name too.
    if (const Profile* profile = CurrentProfile())
        BookArt::SetText(BookArt::Child(BookArt::Child(m_letterAnimation, u"letter"), u"textPlayerName"),
                         Format(u"Dear %s,", {profile->name}));
    BookArt::Child(right, u"introLetter").SetVisible(false);
    BookArt::Child(right, u"introPlayButton").SetVisible(false);
    envelope.SetFrame(1);
    BookArt::PlayEffect(u"LevelStart");
    MakeSparkles(envelope, false);
}

void Book::LeaveIntroAnimation()
{
    if (BookArt::Valid(m_letterAnimation))
        m_letterAnimation.Delete(true);
    m_letterAnimation = {};
    if (Profile* profile = CurrentProfile())
        profile->introSeen = true;
    if (m_services)
        m_services->ShowTutorialIntro();
    UpdatePageControls();
}

void Book::EnterTableaux()
{
    const InstanceHandle display = m_bookScene.CreateChild(u"WeddingDisplay", u"testfoo");
    if (!BookArt::Valid(display)) {
        // Nothing to show: the display counts as seen and the album goes on rather than wait
        // in this state for an end that cannot come.
        FinishTableaux();
        return;
    }
    m_tableaux = std::make_unique<Tableaux>(display, this, m_bookScene);
    if (m_services)
        m_services->CurrentMusic().Pause();
    if (Audio* audio = Audio::Instance())
        m_marchChannel = audio->PlaySound(u"WeddingMarch", false);
}

void Book::FinishTableaux()
{
    if (Profile* profile = CurrentProfile())
        profile->tableauxSeen = true;
    RebindPages();
    // The tableaux calls this from inside its own update: it is freed once that update returns.
    m_finishedTableaux = std::move(m_tableaux);
    UpdatePageControls();
    if (ProfileMgr* profiles = ProfileMgr::Instance())
        profiles->OpenNextLevel();
    SetState(State_Browsing);
}
