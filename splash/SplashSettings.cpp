#include "splash/SplashSettings.h"

#include <climits>
#include <sys/stat.h>

#include "platform/ini/IniFile.h"
#include "splash/SplashLog.h"
#include "splash/SplashPaths.h"

namespace QuillonSplash {

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Times are lengths: a negative value would make a timer run for ever, so it counts as 0.
int ParseTime(std::string_view text)
{
    const int v = ParseSplashInt(text);
    return v < 0 ? 0 : v;
}

} // namespace

SplashSettings SplashSettings::ForSection(std::string name)
{
    SplashSettings s;
    s.IsQuillon = name == kBuiltInSection;
    s.UseFlash = s.IsQuillon;
    s.name = std::move(name);
    return s;
}

void SplashSettings::Dump(SplashLog& log) const
{
    log.Write("[SplashSettings] for %s", name.c_str());
    log.Write("[ ] FadeTime = %d", FadeTime);
    log.Write("[ ] FadeInColor = %d", static_cast<int>(FadeInColor));
    log.Write("[ ] FadeOutColor = %d", static_cast<int>(FadeOutColor));
    log.Write("[ ] UseFlash = %d", UseFlash ? 1 : 0);
    log.Write("[ ] IsQuillon = %d", IsQuillon ? 1 : 0);
    log.Write("[ ] VideoWidth = %d", VideoWidth);
    log.Write("[ ] VideoHeight = %d", VideoHeight);
    log.Write("[ ] VideoBackground = %d", static_cast<int>(VideoBackground));
    log.Write("[ ] VideoTime = %d", VideoTime);
    log.Write("[ ] StaticTime = %d", StaticTime);
}

bool ParseSplashColor(std::string_view text, SplashColor& color)
{
    if (text.size() != 6)
        return false;
    uint32_t rgb = 0;
    for (char c : text) {
        const int d = HexDigit(c);
        if (d < 0)
            return false;
        rgb = (rgb << 4) | static_cast<uint32_t>(d);
    }
    color = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    return true;
}

int ParseSplashInt(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(INT_MAX) + 1)
            value = int64_t(INT_MAX) + 1;
    }
    if (negative)
        return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

void SplashSettingsArray::ParseIni(const std::string& folder, SplashLog& log)
{
    m_records.clear();
    m_position = 0;
    const std::string file = folder + "Splash.ini";
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return;
    const std::optional<QuillPlatform::IniFile> ini = QuillPlatform::IniFile::Load(file);
    if (!ini) {
        log.Write("[SplashSettingsArray::ParseIni] Cannot read %s", file.c_str());
        return;
    }
    for (const std::string& section : ini->SectionNames()) {
        if (m_records.size() >= kMaxSections)
            break;
        auto s = std::make_unique<SplashSettings>(SplashSettings::ForSection(section));
        // Each key is optional; an empty or missing value keeps the default.
        auto value = [&](std::string_view key) { return ini->GetString(section, key); };
        std::string v;
        if (!(v = value("FadeTime")).empty())
            s->FadeTime = ParseTime(v);
        if (!(v = value("FadeInColor")).empty())
            ParseSplashColor(v, s->FadeInColor);
        if (!(v = value("FadeOutColor")).empty())
            ParseSplashColor(v, s->FadeOutColor);
        if (!(v = value("FlashVideoPath")).empty() && !s->IsQuillon) {
            s->FlashVideoPath = JoinSettingsPath(folder, v);
            s->UseFlash = true;
        }
        if (!(v = value("UseFlash")).empty())
            s->UseFlash = v.front() != '0';
        if (!(v = value("VideoWidth")).empty())
            s->VideoWidth = ParseSplashInt(v);
        if (!(v = value("VideoHeight")).empty())
            s->VideoHeight = ParseSplashInt(v);
        if (!(v = value("VideoBackground")).empty())
            ParseSplashColor(v, s->VideoBackground);
        if (!(v = value("VideoTime")).empty())
            s->VideoTime = ParseTime(v);
        if (!(v = value("StaticPath")).empty() && !s->IsQuillon)
            s->StaticPath = JoinSettingsPath(folder, v);
        if (!(v = value("StaticTime")).empty())
            s->StaticTime = ParseTime(v);
        m_records.push_back(std::move(s));
    }
}

const SplashSettings* SplashSettingsArray::First()
{
    m_position = 0;
    return Next();
}

const SplashSettings* SplashSettingsArray::Next()
{
    if (m_position >= m_records.size())
        return nullptr;
    return m_records[m_position++].get();
}

} // namespace QuillonSplash
