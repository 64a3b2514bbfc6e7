#pragma once
// The twelve still-to-show tutorial flags of a profile, saved as the "tutorial" element.

#include <array>

namespace QuillEngine {
class XmlNode;
}

class TutorialFlags {
public:
    enum Index {
        GameBegun,
        LevelBegun,
        SceneBegun,
        ItemFound,
        TimeLost,
        SceneEnded,
        LevelEnded,
        ConcentrationBegun,
        StorygameBegun,
        CrisisLevel,
        HintPrompt,
        BluebirdPrompt,
        kCount
    };

    static const char16_t* const kAttributeNames[kCount];

    TutorialFlags() { m_flags.fill(true); }

    bool Get(int index) const { return index >= 0 && index < kCount && m_flags[index]; }
    void Set(int index, bool value)
    {
        if (index >= 0 && index < kCount)
            m_flags[index] = value;
    }

    // False without a parent; otherwise appends "tutorial" with the flags as 0 or 1.
    bool Save(QuillEngine::XmlNode* parent) const;
    // Reads the flags in order (non-zero is set); stops with false at the first missing one,
    // keeping the flags read before it.
    bool Load(const QuillEngine::XmlNode* element);

private:
    std::array<bool, kCount> m_flags{};
};
