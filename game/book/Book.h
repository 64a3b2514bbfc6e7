#pragma once
// The album: the game's hub. Each two-page spread is one level; its photos lead into the
// hidden-object scenes and the mini-games of that level. The book reads the level catalogue,
// asks the game for a board and makes a picture per scene photo and a picture per mini-game photo, shows the spread
// of the current profile's page, turns pages, runs the transitions into scenes ("Transitions.lua"
// calls back "TransitionDone"), and plays the opening letter, the crisis splash and, once, the
// closing tableaux. Book.cpp holds the album scene, its pages and controls and its input;
// BookFlow.cpp the transitions and the level flow.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/audio/Audio.h"
#include "engine/core/console/ConsoleCommands.h"
#include "engine/core/strings/EngineString.h"
#include "engine/graphics/particles/ParticleHandle.h"
#include "engine/graphics/scene/InstanceTree.h"
#include "game/book/Album.h"
#include "game/profile/ProfileMgr.h"
#include "game/states/BoardOwner.h"
#include "game/states/GameServices.h"
#include "game/states/StateMachine.h"
#include "game/states/SubGames.h"

namespace QuillEngine {
class XmlNode;
}
class PageTurner;
class Picture;
class Profile;
class Tableaux;
class LevelRecord;
struct CataloguePhoto;

class Book : public StateMachine,
             public IAlbum,
             public QuillEngine::IInstanceEventHandler,
             public QuillEngine::IConsoleHandler,
             public IBoardOwner,
             public IProfileBookLink {
public:
    enum State : int32_t {
        State_FadeIn = 1,
        State_Browsing = 2,
        State_BoardLost = 3,
        State_ResetLevel = 4,
        State_BoardWon = 5,
        State_LevelWon = 6,
        State_MiniGameTransition = 9,
        State_SceneTransition = 10,
        State_IntroAnimation = 11,
        State_TableauxDisplay = 12,
    };
    static constexpr int32_t kFadeTicks = 100;
    static constexpr int32_t kSparkles = 10;
    static constexpr int32_t kTableauxLevel = 18;
    static constexpr const char16_t* kSceneName = u"Book";
    static constexpr const char16_t* kTransitionScript = u"Transitions.lua";

    Book(IGameServices* services, ISubGames* subGames);
    ~Book() override;
    Book(const Book&) = delete;
    Book& operator=(const Book&) = delete;

    // Creates the album scene under `root` and reads the level catalogue.
    void Start(const QuillEngine::InstanceHandle& root);
    void SetActive(bool on);
    // Reads "Levels\levels.xml" (or a catalogue already parsed); false on a missing file or
    // attribute, keeping what was read before the fault.
    bool LoadLevels();
    bool LoadLevels(const QuillEngine::XmlNode& catalogue);

    void SetUpPages();
    void BindPage(const QuillEngine::InstanceHandle& page);
    void FillPageTexts(const QuillEngine::InstanceHandle& page);
    // A page's "Click the photo" shows only while a photo on it takes the click (a finished
    // chapter's photos, or another chapter's, do not).
    void ShowPhotoHint(const QuillEngine::InstanceHandle& page);
    void ShowPhotoHints();
    void ShowTableauxItems(const QuillEngine::InstanceHandle& movie, bool onlyIfSeen) override;
    void FinishTableaux() override;
    void PlayTransition(Picture* picture) override;
    void StartTransition(int32_t miniGameKind) override;
    void OnTransitionDone();
    // False when no board plays that scene.
    bool EnterScene(int32_t sceneNumber);
    void OnPageTurnStart(int32_t direction) override;
    void OnPageTurnEnd() override;
    void CheckAutoTurn();

    bool IsTurning() const override { return m_turning; }
    bool IsBrowsing() const override { return GetState() == State_Browsing; }

    // Whether a page turn in `direction` (+1 forward, -1 back) may start: never while one runs, and

    // never back from the first spread.

    bool CanTurn(int32_t direction) const override;
    QuillEngine::InstanceHandle GetPageLayout() const override;
    const QuillEngine::InstanceHandle& Scene() const { return m_bookScene; }
    PageTurner* NextControl() const { return m_nextControl.get(); }
    PageTurner* PrevControl() const { return m_prevControl.get(); }
    const std::vector<std::unique_ptr<Picture>>& Pictures() const { return m_pictures; }
    Tableaux* RunningTableaux() const { return m_tableaux.get(); }
    int32_t TransitionScene() const { return m_transitionScene; }
    int32_t MiniGameKind() const { return m_miniGameKind; }
    uint32_t HighestPage() const { return m_highestPage; }
    const QuillEngine::SoundPlayResult& MarchChannel() const { return m_marchChannel; }

    // IBoardOwner
    void OnBoardFinished(bool won) override;
    void SubmitHighScore() override;
    void RebindPages() override;
    // IProfileBookLink
    void LeaveRunningGame() override;
    void ResetBoards() override;
    void OnProfileChanged(bool newProfile) override;
    void UpdatePageControls() override;
    void StoreRunningGames(Profile& current) override;

    // IInstanceEventHandler
    using QuillEngine::IInstanceEventHandler::OnUpdate;
    void OnFrameChanged(const QuillEngine::InstanceHandle& handle) override;
    void OnKeyDown(const QuillEngine::InstanceHandle& handle, uint32_t key) override;
    void OnLoad(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseDown(const QuillEngine::InstanceHandle& handle, bool notLeft) override;
    void OnMouseEnter(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseLeave(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseUp(const QuillEngine::InstanceHandle& handle, bool notLeft) override;
    void OnTimelineStop(const QuillEngine::InstanceHandle& handle) override;
    // IConsoleHandler: "book.winLevel"; "book.debugKeys" turns the arrow keys' page rotation on
    // and off (off at start).
    void OnConsoleCommand(const std::vector<QuillEngine::String>& arguments,
                          const QuillEngine::Handle& instance) override;

protected:
    void OnEnter(int32_t state) override;
    void OnExit(int32_t state) override;
    void OnUpdate(int32_t state) override;

private:
    void TakePhotos(const std::vector<CataloguePhoto>& photos);
    void Browse();
    void EnterLevelWon();
    void EnterIntroAnimation();
    void LeaveIntroAnimation();
    void EnterTableaux();
    void EndWeddingMarch();
    void MakeSparkles(const QuillEngine::InstanceHandle& along, bool keepFirst);
    void RunTransitionScript();
    void SetPageFrames(int32_t left);
    QuillEngine::InstanceHandle LayoutChild(QuillEngine::StringView name) const;
    static Profile* CurrentProfile();
    static LevelRecord* CurrentLevel();

    IGameServices* m_services;
    ISubGames* m_subGames;
    // Whether the catalogue made boards through the game, which the book drops when it goes.
    bool m_madeBoards = false;
    int32_t m_transitionScene = -1;
    QuillEngine::String m_transitionPackage;
    int32_t m_miniGameKind = 0;
    Picture* m_selectedPicture = nullptr;
    QuillEngine::InstanceHandle m_created;
    QuillEngine::InstanceHandle m_bookScene;
    QuillEngine::InstanceHandle m_whitePlane;
    QuillEngine::InstanceHandle m_bluebirdsRollover;
    int32_t m_fadeTicks = 0;
    uint32_t m_highestPage = 0;
    std::unique_ptr<PageTurner> m_nextControl;
    std::unique_ptr<PageTurner> m_prevControl;
    bool m_turning = false;
    std::vector<std::unique_ptr<Picture>> m_pictures;
    QuillEngine::SoundPlayResult m_marchChannel;
    QuillEngine::EmitterHandle m_introSparkle;
    QuillEngine::InstanceHandle m_letterAnimation;
    std::unique_ptr<Tableaux> m_tableaux;
    // A tableaux that ended inside its own update; freed once that update has returned.
    std::unique_ptr<Tableaux> m_finishedTableaux;
    float m_debugRotation = 0.0f;
    bool m_debugKeys = false;
    QuillEngine::ConsoleCommands m_commands;
    bool m_scriptBound = false;
};
