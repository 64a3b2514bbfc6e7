#include "platform/linebreak/LineBreaker.h"

#include <linebreak.h>

#include <mutex>

namespace QuillLineBreak {

namespace {

class UnicodeLineBreaker final : public ILineBreaker {
public:
    UnicodeLineBreaker()
    {
        static std::once_flag once;
        std::call_once(once, [] { init_linebreak(); });
    }

    void Analyse(const char16_t* text, size_t length, std::vector<uint8_t>& attributes) override
    {
        attributes.assign(length, 0);
        if (!text || length == 0)
            return;
        // The library reports the opportunity after each unit; a line may begin at unit i when a
        // break is allowed (or required) after unit i - 1.
        breaks_.resize(length);
        set_linebreaks_utf16(reinterpret_cast<const utf16_t*>(text), length, nullptr, breaks_.data());
        for (size_t i = 0; i < length; ++i) {
            if (i > 0 && (breaks_[i - 1] == LINEBREAK_ALLOWBREAK || breaks_[i - 1] == LINEBREAK_MUSTBREAK))
                attributes[i] |= BreakAttributes::kSoftBreak;
            if (IsWhiteSpace(text[i]))
                attributes[i] |= BreakAttributes::kWhiteSpace;
        }
    }

private:
    std::vector<char> breaks_;
};

} // namespace

ILineBreaker& DefaultLineBreaker()
{
    static UnicodeLineBreaker breaker;
    return breaker;
}

bool IsWhiteSpace(char16_t c)
{
    switch (c) {
    case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x20: case 0x85: case 0xA0:
    case 0x1680: case 0x2028: case 0x2029: case 0x202F: case 0x205F: case 0x3000:
        return true;
    default:
        return c >= 0x2000 && c <= 0x200A;
    }
}

} // namespace QuillLineBreak
