#include "engine/script/dialect/WidePattern.h"

namespace QuillLua {
namespace {

constexpr ptrdiff_t kUnfinished = -1;
constexpr int kMaxDepth = 200;
constexpr char16_t kEscape = u'%';

char16_t AsciiLower(char16_t c)
{
    return (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : c;
}

} // namespace

WidePattern::WidePattern(std::u16string_view subject, std::u16string_view pattern)
    : srcInit_(subject.data()), srcEnd_(subject.data() + subject.size()), patBegin_(pattern.data()),
      patEnd_(pattern.data() + pattern.size())
{
}

bool WidePattern::IsPlain(std::u16string_view pattern)
{
    return pattern.find_first_of(u"^$*+?.([%-") == std::u16string_view::npos;
}

bool WidePattern::MatchClass(char16_t c, char16_t cls)
{
    bool r;
    switch (AsciiLower(cls)) {
    case 'a':
        r = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        break;
    case 'c':
        r = c < 32 || c == 127;
        break;
    case 'd':
        r = c >= '0' && c <= '9';
        break;
    case 'l':
        r = c >= 'a' && c <= 'z';
        break;
    case 'p':
        r = (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) || (c >= 123 && c <= 126);
        break;
    case 's':
        r = c == ' ' || (c >= 9 && c <= 13);
        break;
    case 'u':
        r = c >= 'A' && c <= 'Z';
        break;
    case 'w':
        r = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        break;
    case 'x':
        r = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        break;
    case 'z':
        r = c == 0;
        break;
    default:
        return cls == c;
    }
    return (cls >= 'A' && cls <= 'Z') ? !r : r;
}

const char16_t* WidePattern::ClassEnd(const char16_t* p) const
{
    char16_t c = *p++;
    if (c == kEscape) {
        if (p >= patEnd_) {
            throw PatternError("malformed pattern (ends with `%')");
        }
        return p + 1;
    }
    if (c == '[') {
        if (p < patEnd_ && *p == '^') {
            ++p;
        }
        do { // the first ']' right after '[' or '[^' is a member
            if (p >= patEnd_) {
                throw PatternError("malformed pattern (missing `]')");
            }
            c = *p++;
            if (c == kEscape) {
                if (p >= patEnd_) {
                    throw PatternError("malformed pattern (missing `]')");
                }
                ++p;
            }
        } while (p >= patEnd_ || *p != ']');
        return p + 1;
    }
    return p;
}

// p points at '[', ec at the closing ']'.
bool WidePattern::MatchBracket(char16_t c, const char16_t* p, const char16_t* ec) const
{
    bool negate = false;
    if (p[1] == '^') {
        negate = true;
        ++p;
    }
    while (++p < ec) {
        if (*p == kEscape) {
            ++p;
            if (MatchClass(c, *p)) {
                return !negate;
            }
        } else if (p + 2 < ec && p[1] == '-') {
            if (p[0] <= c && c <= p[2]) {
                return !negate;
            }
            p += 2;
        } else if (*p == c) {
            return !negate;
        }
    }
    return negate;
}

bool WidePattern::SingleMatch(char16_t c, const char16_t* p, const char16_t* ep) const
{
    switch (*p) {
    case '.':
        return true;
    case kEscape:
        return MatchClass(c, p[1]);
    case '[':
        return MatchBracket(c, p, ep - 1);
    default:
        return *p == c;
    }
}

const char16_t* WidePattern::MatchBalance(const char16_t* s, const char16_t* p) const
{
    if (p + 1 >= patEnd_) {
        throw PatternError("unbalanced pattern");
    }
    if (s >= srcEnd_ || *s != p[0]) {
        return nullptr;
    }
    char16_t open = p[0], close = p[1];
    int count = 1;
    while (++s < srcEnd_) {
        if (*s == close) {
            if (--count == 0) {
                return s + 1;
            }
        } else if (*s == open) {
            ++count;
        }
    }
    return nullptr;
}

const char16_t* WidePattern::MaxExpand(const char16_t* s, const char16_t* p, const char16_t* ep)
{
    ptrdiff_t i = 0;
    while (s + i < srcEnd_ && SingleMatch(s[i], p, ep)) {
        ++i;
    }
    while (i >= 0) {
        if (const char16_t* r = Match(s + i, ep + 1)) {
            return r;
        }
        --i;
    }
    return nullptr;
}

const char16_t* WidePattern::MinExpand(const char16_t* s, const char16_t* p, const char16_t* ep)
{
    for (;;) {
        if (const char16_t* r = Match(s, ep + 1)) {
            return r;
        }
        if (s < srcEnd_ && SingleMatch(*s, p, ep)) {
            ++s;
        } else {
            return nullptr;
        }
    }
}

const char16_t* WidePattern::StartCapture(const char16_t* s, const char16_t* p, ptrdiff_t what)
{
    if (level_ >= kMaxCaptures) {
        throw PatternError("too many captures");
    }
    capture_[level_].init = s;
    capture_[level_].length = what;
    ++level_;
    const char16_t* r = Match(s, p);
    if (!r) {
        --level_;
    }
    return r;
}

int WidePattern::CaptureToClose() const
{
    for (int l = level_ - 1; l >= 0; --l) {
        if (capture_[l].length == kUnfinished) {
            return l;
        }
    }
    throw PatternError("invalid pattern capture");
}

const char16_t* WidePattern::EndCapture(const char16_t* s, const char16_t* p)
{
    int l = CaptureToClose();
    capture_[l].length = s - capture_[l].init;
    const char16_t* r = Match(s, p);
    if (!r) {
        capture_[l].length = kUnfinished;
    }
    return r;
}

const char16_t* WidePattern::MatchBackReference(const char16_t* s, char16_t c) const
{
    int l = int(c) - '1';
    if (l < 0 || l >= level_ || capture_[l].length == kUnfinished) {
        throw PatternError("invalid capture index");
    }
    ptrdiff_t len = capture_[l].length;
    if (len < 0) {
        len = 0;
    }
    if (srcEnd_ - s >= len &&
        std::u16string_view(capture_[l].init, size_t(len)) == std::u16string_view(s, size_t(len))) {
        return s + len;
    }
    return nullptr;
}

const char16_t* WidePattern::MatchAt(const char16_t* start)
{
    level_ = 0;
    depth_ = 0;
    return Match(start, patBegin_);
}

const char16_t* WidePattern::Match(const char16_t* s, const char16_t* p)
{
    if (++depth_ > kMaxDepth) {
        throw PatternError("pattern too complex");
    }
    struct DepthGuard {
        int& d;
        ~DepthGuard() { --d; }
    } guard{depth_};
    for (;;) {
        if (p >= patEnd_) {
            return s;
        }
        switch (*p) {
        case '(':
            if (p + 1 < patEnd_ && p[1] == ')') {
                return StartCapture(s, p + 2, kPosition);
            }
            return StartCapture(s, p + 1, kUnfinished);
        case ')':
            return EndCapture(s, p + 1);
        case kEscape:
            if (p + 1 < patEnd_ && p[1] == 'b') {
                s = MatchBalance(s, p + 2);
                if (!s) {
                    return nullptr;
                }
                p += 4;
                continue;
            }
            if (p + 1 < patEnd_ && p[1] >= '0' && p[1] <= '9') {
                s = MatchBackReference(s, p[1]);
                if (!s) {
                    return nullptr;
                }
                p += 2;
                continue;
            }
            break;
        case '$':
            if (p + 1 == patEnd_) {
                return s == srcEnd_ ? s : nullptr;
            }
            break;
        default:
            break;
        }
        const char16_t* ep = ClassEnd(p);
        bool m = s < srcEnd_ && SingleMatch(*s, p, ep);
        char16_t q = ep < patEnd_ ? *ep : 0;
        switch (q) {
        case '?': {
            if (m) {
                if (const char16_t* r = Match(s + 1, ep + 1)) {
                    return r;
                }
            }
            p = ep + 1;
            continue;
        }
        case '*':
            return MaxExpand(s, p, ep);
        case '+':
            return m ? MaxExpand(s + 1, p, ep) : nullptr;
        case '-':
            return MinExpand(s, p, ep);
        default:
            if (!m) {
                return nullptr;
            }
            ++s;
            p = ep;
            continue;
        }
    }
}

} // namespace QuillLua
