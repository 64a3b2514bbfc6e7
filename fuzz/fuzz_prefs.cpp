// Arbitrary bytes as the user's preference files, read through the same calls the engine makes at
// start-up: the first byte picks "System.prefs" or "Window.prefs" and whether the rest is first
// packed in the user-data container (so the parsers behind the checksum and the cipher are
// reached), then the file is written to a private folder and loaded.

#include "engine/core/files/MemoryStream.h"
#include "engine/core/prefs/SystemPrefs.h"
#include "engine/core/prefs/UserData.h"
#include "engine/core/strings/EngineString.h"
#include "engine/core/xml/XmlNode.h"
#include "fuzz/FuzzFolder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

using namespace QuillEngine;

namespace {

UserDataFolders* g_store = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::string folder = QuillFuzz::MakeRunFolder("prefs");
    const char* root = folder.c_str();
    setenv("XDG_DATA_HOME", root, 1);
    setenv("XDG_CONFIG_HOME", root, 1);
    g_store = new UserDataFolders(u"Fuzz", u"Velvet Aisle");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t mode = data[0];
    ++data;
    --size;
    MemoryStream file;
    if ((mode & 1) != 0) {
        uint8_t key[16];
        UserDataFolders::BuildKey(u"Velvet Aisle", key);
        file = UserDataFolders::EncodeContainer(FromUtf8(std::string(reinterpret_cast<const char*>(data), size)), key);
    } else {
        file.Write(data, static_cast<uint32_t>(size));
        file.Seek(0, 0);
    }
    const bool window = (mode & 2) != 0;
    if (!g_store->SafeWrite(window ? kWindowPrefsName : kSystemPrefsName, true, file))
        std::abort();
    if (window) {
        int32_t x = 0, y = 0;
        LoadWindowPosition(*g_store, x, y);
        return 0;
    }
    SystemPrefs prefs{};
    const PrefsSource source = LoadSystemPrefs(
        *g_store, [] { return nullptr; }, prefs);
    // A file that was accepted must read back the same once written out again.
    if (source == PrefsSource::UserFile) {
        std::unique_ptr<XmlNode> built = BuildPrefs(prefs);
        SystemPrefs again{};
        if (!ParsePrefs(again, built.get()) || again.Fullscreen != prefs.Fullscreen ||
            again.AudioEnabled != prefs.AudioEnabled || again.SoftwareDevice != prefs.SoftwareDevice)
            std::abort();
    }
    return 0;
}
