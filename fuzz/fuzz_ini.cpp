// Arbitrary bytes as an INI file: the reader itself, then the same bytes as "Splash.ini" read by
// the splash library's settings (colours, numbers, the section cap).

#include "fuzz/FuzzFolder.h"
#include "platform/ini/IniFile.h"
#include "splash/SplashLog.h"
#include "splash/SplashSettings.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string g_folder;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::string folder = QuillFuzz::MakeRunFolder("ini");
    const char* root = folder.c_str();
    g_folder = std::string(root) + "/";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const QuillPlatform::IniFile ini = QuillPlatform::IniFile::Parse(text);
    for (const std::string& section : ini.SectionNames()) {
        if (!ini.HasSection(section))
            std::abort();
        (void)ini.GetString(section, "Picture", "none");
    }

    FILE* file = std::fopen((g_folder + "Splash.ini").c_str(), "wb");
    if (!file)
        std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    QuillonSplash::SplashLog log(g_folder + "splash.log");
    QuillonSplash::SplashSettingsArray settings;
    settings.ParseIni(g_folder, log);
    if (settings.Count() > QuillonSplash::SplashSettingsArray::kMaxSections)
        std::abort();
    for (const QuillonSplash::SplashSettings* s = settings.First(); s; s = settings.Next()) {
    }
    std::remove((g_folder + "splash.log").c_str());
    return 0;
}
