#pragma once
// One scene of one player's profile, with the find-list and bluebird entries of a scene in
// progress.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/strings/EngineString.h"

namespace QuillEngine {
class XmlNode;
}

// One line of a scene's find list (or one hidden bluebird). The board creates and matches the
// entries; the scene record saves and loads them.
class FindListEntry {
public:
    FindListEntry(QuillEngine::String name, QuillEngine::String plural);

    // The shown text: a group entry with two or more items left shows "%d %s" with the plural.
    void UpdateText();

    // Appends a "findlist" element (or "bluebird") to the parent.
    void Save(QuillEngine::XmlNode* parent, bool bluebird) const;
    // Needs all seven attributes; false (the entry partly filled) when one is missing.
    bool Load(const QuillEngine::XmlNode* element);

    QuillEngine::String name;
    QuillEngine::String plural;
    bool found = false;
    bool group = false;
    int32_t count = 1;
    int32_t maxcount = 1;
    QuillEngine::String text;
};

class SceneRecord {
public:
    enum Status : int32_t { Open = 0, InProgress = 1, Locked = 2, Complete = 3 };
    // A scene never holds more entries than this; a file asking for more is refused.
    static constexpr size_t kMaxEntries = 256;

    SceneRecord() = default;
    SceneRecord(int32_t status, int32_t number, int32_t level, QuillEngine::String title, int32_t items,
                float difficulty);
    std::unique_ptr<SceneRecord> Clone() const;

    // Needs "status" (below 4), "number", "level", "title", "items", "difficulty" and "replay"; a
    // scene in progress also reads its entries, any failing entry failing the scene.
    bool Load(const QuillEngine::XmlNode* element);
    // Appends a "scene" element; only a scene in progress writes its entries.
    void Save(QuillEngine::XmlNode* parent) const;

    // Items still to find: all of them while open or locked, none when complete, else the sum of
    // the find-list counts.
    int32_t ItemsLeft() const;
    void ClearEntries()
    {
        findList.clear();
        bluebirds.clear();
    }

    int32_t status = Locked;
    int32_t number = 0;
    int32_t level = 0;
    QuillEngine::String title;
    int32_t items = 0;
    float difficulty = 0.0f;
    std::vector<std::unique_ptr<FindListEntry>> findList;
    std::vector<std::unique_ptr<FindListEntry>> bluebirds;
    bool replay = false;
};

// An unsigned decimal number of the save file; a negative one reads as 0.
uint32_t ParseSaveUInt(QuillEngine::StringView text);
// Shared by the record loaders: the attribute as an unsigned decimal number, a negative one as 0
// (false when absent).
bool ReadSaveUInt(const QuillEngine::XmlNode* element, QuillEngine::StringView name, uint32_t& out);
// A real: false when absent; values that are not finite, and negative ones, read as 0.
bool ReadSaveReal(const QuillEngine::XmlNode* element, QuillEngine::StringView name, double& out);
// A flag: any non-zero number is true; `isSigned` selects signed conversion.
bool ReadSaveFlag(const QuillEngine::XmlNode* element, QuillEngine::StringView name, bool& out, bool isSigned = false);
// A 32-bit field read unsigned: values above INT32_MAX saturate there rather than turning negative.
int32_t SaveUIntToField(uint32_t value);
