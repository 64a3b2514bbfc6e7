#pragma once
// Where a run of UTF-16 text may be broken into lines. The answer is per code unit: whether a
// line may start at that unit (a soft break before it) and whether the unit is white space.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace QuillLineBreak {

struct BreakAttributes {
    static constexpr uint8_t kSoftBreak = 0x01; // a line may begin at this unit
    static constexpr uint8_t kWhiteSpace = 0x02;
};

class ILineBreaker {
public:
    virtual ~ILineBreaker() = default;
    // Fills `attributes` with one BreakAttributes bit set per unit of text[0..length). The first
    // unit never carries a soft break; the second half of a surrogate pair never does either.
    virtual void Analyse(const char16_t* text, size_t length, std::vector<uint8_t>& attributes) = 0;
};

// The process-wide breaker over the Unicode line breaking rules.
ILineBreaker& DefaultLineBreaker();

// True for the units the layout treats as white space when it trims lines (Unicode White_Space in
// the Basic Multilingual Plane).
bool IsWhiteSpace(char16_t unit);

} // namespace QuillLineBreak
