#pragma once
// One player's progress: the scene and level records, the counters, the sound volumes, the
// tutorial flags and the saved state of an unfinished card or story game.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/strings/EngineString.h"
#include "game/profile/LevelRecord.h"
#include "game/profile/ProfileTutorialFlags.h"
#include "game/profile/SceneRecord.h"

namespace QuillEngine {
class XmlNode;
}

// The level number whose crisis the board dialogs show: 0 for 11, 2 for 17, 3 for 19, else 1.
int32_t CrisisIndexForLevel(int32_t level);

class Profile {
public:
    // A profile never holds more scene or level records than this; a file asking for more is
    // refused.
    static constexpr size_t kMaxRecords = 1024;

    explicit Profile(QuillEngine::String name);
    ~Profile();
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    // Every attribute of the "profile" element is required. The volumes go to the audio classes
    // at once; any failing scene or level record fails the profile.
    bool Load(const QuillEngine::XmlNode* element);
    // Appends a "profile" element.
    void Save(QuillEngine::XmlNode* parent) const;
    // Sets the audio classes to this profile's music, ambient and effects volumes.
    void ApplyVolumes() const;

    SceneRecord* FindScene(int32_t number) const;
    LevelRecord* FindLevel(int32_t number) const;
    // The level record numbered page / 2, or null.
    LevelRecord* CurrentLevel() const;
    int32_t CurrentLevelNumber() const { return static_cast<int32_t>(page / 2); }

    // Codes 0 (intro seen), 6 and 12 (always), 18 (tableaux seen); any other code is a level
    // number, done when every scene of it is complete and its crisis or bonus game is over.
    bool IsDone(int32_t code) const;
    // Marks the current level's scenes complete when its item target is reached.
    bool CompleteScene();
    // Starts a level again: its scenes open with empty lists, its clock and hints full.
    void ResetLevel(int32_t number);
    // Opens the scenes of the next level; when it was not open yet the saved sub-games are
    // dropped and the answer is true (the owner then saves and updates the book).
    bool OpenNextLevel();
    // Opens every locked scene.
    void UnlockBook();
    // Runs the level's clock down unless this profile plays relaxed.
    void SpendTime(LevelRecord& level, float seconds) const { level.SpendTime(seconds, relaxed); }
    // The play time spent over all levels, in seconds.
    float TotalTimeUsed() const;
    int32_t MaxSceneNumber(int32_t level) const;
    // The clock never plays while the profile is relaxed.
    void SetClockPlaying(bool on) { clockPlaying = on && !relaxed; }

    // Keep (and own) the saved card-game or story-game element, freeing the one held before.
    void SetConcentrationState(std::unique_ptr<QuillEngine::XmlNode> element);
    void SetStoryState(std::unique_ptr<QuillEngine::XmlNode> element);
    QuillEngine::XmlNode* ConcentrationState() const { return concentration.get(); }
    QuillEngine::XmlNode* StoryState() const { return storyGame.get(); }

    // Adds a record unless one of that number exists; the profile owns it. False when refused.
    bool AddSceneRecord(std::unique_ptr<SceneRecord> record);
    bool AddLevelRecord(std::unique_ptr<LevelRecord> record);

    QuillEngine::String name;
    std::vector<std::unique_ptr<SceneRecord>> scenes;
    std::vector<std::unique_ptr<LevelRecord>> levels;
    bool bookUnlocked = false;
    uint32_t page = 0;
    bool introSeen = false;
    bool tableauxSeen = false;
    int32_t bouquet = 0;
    int32_t cake = 0;
    int32_t gown = 0;
    int32_t gift = 0;
    std::unique_ptr<QuillEngine::XmlNode> concentration;
    std::unique_ptr<QuillEngine::XmlNode> storyGame;
    int32_t bluebirds = 0;
    TutorialFlags tutorial;
    int32_t honeymoonItems = 0;
    double musicVolume = 0.75;
    double ambientVolume = 0.5;
    double effectsVolume = 0.5;
    bool relaxed = false;
    bool clockPlaying = false;
};
