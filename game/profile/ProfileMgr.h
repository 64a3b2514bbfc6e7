#pragma once
// Every player profile of the installation, the current one, the level and scene templates the
// book registers, and the high-score table, all kept in the save file "velv.save" in the Saved
// Games folder.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/Singleton.h"
#include "engine/core/console/Console.h"
#include "engine/core/console/ConsoleCommands.h"
#include "engine/core/strings/EngineString.h"
#include "game/profile/HighScores.h"
#include "game/profile/LevelRecord.h"
#include "game/profile/Profile.h"
#include "game/profile/SceneRecord.h"

// What the profiles ask of the album and the running sub-games (the book answers). Without a link
// these steps are skipped.
class IProfileBookLink {
public:
    virtual ~IProfileBookLink() = default;
    // Before another profile becomes current: a board, card game or story under way ends as if
    // the player left it (its state kept for the profile still current), back at the album.
    virtual void LeaveRunningGame() = 0;
    virtual void ResetBoards() = 0;
    // The current profile changed: the book sets up its pages again. A new profile also sends
    // the book back to browsing.
    virtual void OnProfileChanged(bool newProfile) = 0;
    virtual void UpdatePageControls() = 0;
    // Before a save: a card or story game in progress stores its state into the profile.
    virtual void StoreRunningGames(Profile& current) = 0;
};

class ProfileMgr : public QuillEngine::IConsoleHandler, public QuillEngine::Singleton<ProfileMgr> {
public:
    static constexpr const char16_t* kSaveFileName = u"velv.save";
    // Where a save file that could not be taken in is kept before it is written over; later
    // incidents use "velv.save.damaged.2", ".3" ... so no kept copy is ever replaced.
    static constexpr const char16_t* kDamagedFileName = u"velv.save.damaged";
    static constexpr uint32_t kVersion = 26;
    static constexpr size_t kMaxProfiles = 64;
    static constexpr size_t kMaxTemplates = Profile::kMaxRecords;

    // Registers "profile.unlockbook", "profile.new" and "profile.switch" when given a console.
    explicit ProfileMgr(QuillEngine::Console* console = nullptr);
    ~ProfileMgr() override;

    // Reads the save file. Whatever it holds, afterwards there is a current profile. When the
    // file exists but some of it could not be taken in (damaged, another version, a profile that
    // fails), the file as it was is kept under a new damaged-copy name first, so the next save
    // cannot lose it. When the file exists but cannot be read at all, or its copy cannot be
    // written, saving is turned off for this run (the file stays as it is) and the player is
    // told once, through the notice function; a kept copy is told too, with where it is.
    bool Load();
    bool SavingDisabled() const { return m_savingDisabled; }
    // Shows a notice to the player; by default the platform's message box (stderr when headless).
    using NoticeFunction = std::function<void(const std::string& captionUtf8, const std::string& textUtf8)>;
    void SetNoticeFunction(NoticeFunction fn) { m_notice = std::move(fn); }
    // Writes every profile and the high scores; true when the file was written. A save asked for
    // while one is being written runs once the first is done (this call gives false). The first
    // write that fails is told to the player, with the file and the reason.
    bool Save();
    // Saves now, or at the end of the open update scope.
    void RequestSave();

    // While a scope is open (the game's step), RequestSave waits for its end so the file never
    // holds a half-finished step.
    void BeginUpdate() { ++m_updateDepth; }
    void EndUpdate();
    class UpdateScope {
    public:
        explicit UpdateScope(ProfileMgr& mgr) : m_mgr(mgr) { m_mgr.BeginUpdate(); }
        ~UpdateScope() { m_mgr.EndUpdate(); }
        UpdateScope(const UpdateScope&) = delete;
        UpdateScope& operator=(const UpdateScope&) = delete;

    private:
        ProfileMgr& m_mgr;
    };
    bool SavePending() const { return m_savePending; }

    // False, changing nothing, for an empty name, a name a profile has already, a full profile
    // list or a failed save. The profiles are saved before a running game is left for the album,
    // so a save that fails leaves the player where they were (one that fails only after the game
    // was left leaves them at the album, the game's state kept for the current profile). Each
    // refusal for a failed save is told to the player, with the file and the reason.
    bool NewProfile(const QuillEngine::String& name);
    // False when no profile has the name or the save fails (told as for NewProfile). Switching to
    // the current profile changes nothing.
    bool SwitchProfile(const QuillEngine::String& name);
    // The current profile is never deleted.
    bool DeleteProfile(const QuillEngine::String& name);
    std::vector<Profile*> GetProfiles() const;

    void AddSceneTemplate(int32_t number, int32_t level, const QuillEngine::String& title, int32_t items,
                          float difficulty);
    void AddLevelTemplate(const QuillEngine::String& key, float time, float bonusTime, int32_t maxItems, int32_t number,
                          bool crisis);
    LevelRecord* FindLevelTemplate(int32_t number) const;
    // Once the catalogue is registered: a profile's page beyond the last level's spread is taken
    // back to that spread (a hand-edited file would open on a blank page that never turns back).
    void FitToCatalogue();
    size_t LevelTemplateCount() const { return m_levelTemplates.size(); }
    void OpenNextLevel();

    Profile* CurrentProfile() const { return m_current; }
    HighScores& GetHighScores() { return m_highScores; }
    const HighScores& GetHighScores() const { return m_highScores; }

    void SetBookLink(IProfileBookLink* link) { m_book = link; }
    IProfileBookLink* BookLink() const { return m_book; }

    void OnConsoleCommand(const std::vector<QuillEngine::String>& arguments,
                          const QuillEngine::Handle& instance) override;

private:
    void AddDefaultProfile();
    void FillFromTemplates(Profile& profile) const;
    Profile* FindProfile(QuillEngine::StringView name) const;
    bool WriteFile();
    // Saves before another profile becomes current; on failure tells the player that `refused`
    // (what cannot be done now) and why, and gives false.
    bool SaveBeforeChange(const std::string& refused);
    // Saves, leaves the running game for the album and saves again, before another profile becomes
    // current; false (told as by SaveBeforeChange) when either save fails.
    bool LeaveForChange(const std::string& refused);
    void DisableSaving(const std::string& reason);
    void Tell(const std::string& text) const;

    std::vector<std::unique_ptr<Profile>> m_profiles;
    Profile* m_current = nullptr;
    std::vector<std::unique_ptr<SceneRecord>> m_sceneTemplates;
    std::vector<std::unique_ptr<LevelRecord>> m_levelTemplates;
    HighScores m_highScores;
    IProfileBookLink* m_book = nullptr;
    QuillEngine::ConsoleCommands m_commands;
    int m_updateDepth = 0;
    bool m_saving = false;
    bool m_savePending = false;
    bool m_savingDisabled = false;
    bool m_writeFailureTold = false;
    bool m_changingPlayer = false;
    // The file and the reason of the last failed write, as told to the player.
    std::string m_lastWriteFailure;
    NoticeFunction m_notice;
};
