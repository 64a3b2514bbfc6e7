#pragma once
// The high-score table: the best finished games of every player of the installation, fastest
// first, at most ten lines. Stored in the save file as "highscores" with one "score" per line.

#include <cstdint>
#include <vector>

#include "engine/core/strings/EngineString.h"

namespace QuillEngine {
class XmlNode;
}

struct HighScoreEntry {
    QuillEngine::String name;
    uint32_t time = 0; // whole seconds of play time
};

class HighScores {
public:
    static constexpr size_t kMaxEntries = 10;

    // Keeps the entry when it beats a line of the table or the table has room; equal times go
    // after the ones already there. The slowest line of a full table drops out.
    bool Insert(const QuillEngine::String& name, uint32_t time);
    // Ten made-up lines from one to five hours.
    void Defaults();
    // Null gives the defaults. Otherwise every "score" child needs "name" and "time"; the first
    // that lacks one stops the load (false), keeping what was read before it.
    bool Load(const QuillEngine::XmlNode* element);
    // Appends "highscores" to the parent.
    void Save(QuillEngine::XmlNode* parent) const;

    void Clear() { m_entries.clear(); }
    const std::vector<HighScoreEntry>& Entries() const { return m_entries; }
    size_t Count() const { return m_entries.size(); }

private:
    std::vector<HighScoreEntry> m_entries;
};
