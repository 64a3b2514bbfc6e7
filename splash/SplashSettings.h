#pragma once
// The settings of one splash screen (one section of "Splash.ini") and the list read from the file.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace QuillonSplash {

class SplashLog;

// Colours are 0x00BBGGRR values.
using SplashColor = uint32_t;

constexpr std::string_view kBuiltInSection = "Quillon";

struct SplashSettings {
    int FadeTime = 1000;
    SplashColor FadeInColor = 0;
    SplashColor FadeOutColor = 0;
    bool IsQuillon = false;
    std::string name;
    bool UseFlash = false;
    std::string FlashVideoPath;
    int VideoWidth = 800;
    int VideoHeight = 600;
    SplashColor VideoBackground = 0xFEFEFE;
    int VideoTime = 7500;
    std::string StaticPath;
    int StaticTime = 2000;

    // The defaults for a section of that name: the built-in section ("Quillon", exactly) uses
    // the built-in movie and picture.
    static SplashSettings ForSection(std::string name);

    void Dump(SplashLog& log) const;
};

// "RRGGBB", exactly six hexadecimal digits, as a colour value; false for anything else.
bool ParseSplashColor(std::string_view text, SplashColor& color);
// Leading blanks, an optional sign and decimal digits; anything else gives 0. Saturates at the
// 32-bit range.
int ParseSplashInt(std::string_view text);

class SplashSettingsArray {
public:
    static constexpr size_t kMaxSections = 10;

    // Reads `folder` + "Splash.ini" (`folder` ends with a separator). A missing file, or one with
    // no section, makes no record; at most the first kMaxSections sections are kept.
    void ParseIni(const std::string& folder, SplashLog& log);

    const SplashSettings* First();
    const SplashSettings* Next();
    size_t Count() const { return m_records.size(); }
    const SplashSettings& operator[](size_t i) const { return *m_records[i]; }

private:
    std::vector<std::unique_ptr<SplashSettings>> m_records;
    size_t m_position = 0;
};

} // namespace QuillonSplash
