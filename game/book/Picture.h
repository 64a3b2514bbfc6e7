#pragma once
// One photo of the album: a clickable movie on a page of the open spread. A scene photo pulses a
// glow while its scene can be played, shows its "complete" overlay once done and the number of
// items still to find; a mini-game photo shows its logo instead while the game cannot be played.
// A click on an open photo starts the book's transition into its scene or mini-game.

#include <cstdint>

#include "engine/core/strings/EngineString.h"
#include "engine/graphics/scene/InstanceTree.h"
#include "game/states/StateMachine.h"

class IAlbum;
class Profile;

class Picture : public StateMachine, public QuillEngine::IInstanceEventHandler {
public:
    enum State : int32_t { State_Open = 0, State_Locked = 1, State_Complete = 2, State_Unbound = 3 };
    static constexpr float kGlowStep = 0.017f;

    // A mini-game photo: the card game when `cardGame`, else the story game.
    Picture(IAlbum* book, QuillEngine::String package, QuillEngine::String symbol, bool cardGame, int32_t sceneNumber,
            int32_t levelNumber);
    // A scene photo.
    Picture(IAlbum* book, QuillEngine::String package, QuillEngine::String symbol, int32_t sceneNumber,
            int32_t levelNumber);
    ~Picture() override;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Finds this photo's movie (and, for a scene, its "%sComplete" movie and "%sCount" text) on
    // a page movie.
    void BindToPage(const QuillEngine::InstanceHandle& page);
    void Bind(const QuillEngine::InstanceHandle& movie, const QuillEngine::InstanceHandle& complete);
    // Once per tick while the album is browsed: follows the status of the scene or mini-game.
    void UpdateState();

    QuillEngine::String GetPackage() const { return m_package; }
    const QuillEngine::String& Symbol() const { return m_symbol; }
    int32_t SceneNumber() const { return m_sceneNumber; }
    int32_t LevelNumber() const { return m_levelNumber; }
    bool IsMiniGame() const { return m_isMiniGame; }
    bool IsCardGame() const { return m_cardGame; }
    const QuillEngine::InstanceHandle& Movie() const { return m_movie; }
    const QuillEngine::InstanceHandle& Glow() const { return m_glow; }
    const QuillEngine::InstanceHandle& Complete() const { return m_complete; }

    // The state a mini-game photo takes for `profile` (its saved story, the current level's items
    // and bonus game), and the one a scene photo takes for a scene status (-1: no change).
    static int32_t MiniGameState(const Profile& profile, int32_t levelNumber);
    static int32_t SceneState(int32_t sceneStatus);

    using QuillEngine::IInstanceEventHandler::OnUpdate;
    void OnFrameChanged(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseEnter(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseLeave(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseUp(const QuillEngine::InstanceHandle& handle, bool notLeft) override;
    void OnTimelineStop(const QuillEngine::InstanceHandle& handle) override;

protected:
    void OnEnter(int32_t state) override;
    void OnExit(int32_t) override {}
    void OnUpdate(int32_t state) override;

private:
    QuillEngine::InstanceHandle Logo() const;

    QuillEngine::InstanceHandle m_movie;
    QuillEngine::InstanceHandle m_complete;
    QuillEngine::InstanceHandle m_glow;
    IAlbum* m_book;
    QuillEngine::String m_symbol;
    QuillEngine::String m_package;
    float m_glowPhase = 0.0f;
    int32_t m_sceneNumber;
    int32_t m_levelNumber;
    bool m_isMiniGame;
    bool m_cardGame;
};
