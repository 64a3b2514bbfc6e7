#pragma once
// The string library's pattern language over 16-bit units: classes %a %c %d %l %p %s %u %w %x %z
// (ASCII meanings; their capitals are complements), sets [...], quantifiers * + - ?, anchors,
// captures (with position captures ()), %b and back-references %1-%9.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace QuillLua {

// A malformed pattern; the message is the script-facing text.
struct PatternError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class WidePattern {
public:
    static constexpr int kMaxCaptures = 32;
    static constexpr ptrdiff_t kPosition = -2; // length of a position capture

    struct Capture {
        const char16_t* init;
        ptrdiff_t length;
    };

    WidePattern(std::u16string_view subject, std::u16string_view pattern);

    // Tries to match at `start` (a position in the subject); returns the end of the match or
    // null. Throws PatternError.
    const char16_t* MatchAt(const char16_t* start);

    int CaptureCount() const { return level_; }
    const Capture& CaptureAt(int i) const { return capture_[i]; }
    const char16_t* SubjectBegin() const { return srcInit_; }
    const char16_t* SubjectEnd() const { return srcEnd_; }

    // True when the pattern holds none of the special characters ^$*+?.([%-.
    static bool IsPlain(std::u16string_view pattern);
    static bool MatchClass(char16_t c, char16_t cls);

private:
    const char16_t* Match(const char16_t* s, const char16_t* p);
    const char16_t* ClassEnd(const char16_t* p) const;
    bool SingleMatch(char16_t c, const char16_t* p, const char16_t* ep) const;
    bool MatchBracket(char16_t c, const char16_t* p, const char16_t* ec) const;
    const char16_t* MaxExpand(const char16_t* s, const char16_t* p, const char16_t* ep);
    const char16_t* MinExpand(const char16_t* s, const char16_t* p, const char16_t* ep);
    const char16_t* StartCapture(const char16_t* s, const char16_t* p, ptrdiff_t what);
    const char16_t* EndCapture(const char16_t* s, const char16_t* p);
    const char16_t* MatchBalance(const char16_t* s, const char16_t* p) const;
    const char16_t* MatchBackReference(const char16_t* s, char16_t l) const;
    int CaptureToClose() const;

    const char16_t* srcInit_;
    const char16_t* srcEnd_;
    const char16_t* patBegin_;
    const char16_t* patEnd_;
    int level_ = 0;
    int depth_ = 0;
    Capture capture_[kMaxCaptures];
};

} // namespace QuillLua
