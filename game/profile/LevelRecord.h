#pragma once
// One level of one player's profile: its clocks, its item and hint counts and its flags.

#include <cstdint>
#include <memory>

#include "engine/core/strings/EngineString.h"

namespace QuillEngine {
class XmlNode;
}

class LevelRecord {
public:
    static constexpr int32_t kStartHints = 3;

    LevelRecord() = default;
    // A template as the level catalogue registers it: times in seconds.
    LevelRecord(QuillEngine::String key, float time, float bonusTime, int32_t maxItems, int32_t number, bool crisis);
    // A fresh record for a profile from this template: full clocks, no items, three hints.
    std::unique_ptr<LevelRecord> MakeFromTemplate() const;

    // All thirteen attributes are required.
    bool Load(const QuillEngine::XmlNode* element);
    // Appends a "level" element.
    void Save(QuillEngine::XmlNode* parent) const;

    // Runs the level clock down, except while the profile the record belongs to plays relaxed.
    void SpendTime(float seconds, bool relaxed);

    QuillEngine::String key;
    float timeLeft = 0.0f;
    float maxTime = 0.0f;
    float bonusTimeLeft = 0.0f;
    float bonusMaxTime = 0.0f;
    int32_t maxItems = 0;
    int32_t items = 0;
    int32_t hints = kStartHints;
    int32_t maxHints = kStartHints;
    bool crisis = false;
    bool crisisSound = false;
    int32_t number = 0;
    bool bonusPlayed = false;
    bool firstTimeSeen = true;
    // Templates only, set by the book: 1 card game, 2 story game, 0 none. Not saved.
    int32_t miniGameKind = 0;
};
