// Feeds arbitrary bytes to the game as its save file "velv.save" and loads it the way the game
// does at start-up: the user-data container (checksum, cipher, UTF-16 text) and every loader of
// the document (profiles, scene and level records with their find lists, high scores, tutorial
// flags). With the first byte odd the rest is first packed as the game would write it, so the
// loaders behind the cipher are reached too. Afterwards there must be a current profile, and a
// save of what was loaded must load again.

#include "engine/core/files/MemoryStream.h"
#include "engine/core/prefs/UserData.h"
#include "engine/core/strings/EngineString.h"
#include "engine/core/xml/XmlNode.h"
#include "fuzz/FuzzFolder.h"
#include "game/profile/ProfileMgr.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace QuillEngine;
namespace fs = std::filesystem;

namespace {

UserDataFolders* g_store = nullptr;
fs::path g_folder;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::string folder = QuillFuzz::MakeRunFolder("save");
    const char* root = folder.c_str();
    setenv("XDG_DATA_HOME", root, 1);
    setenv("XDG_CONFIG_HOME", root, 1);
    g_store = new UserDataFolders(u"Fuzz", u"Velvet Aisle");
    if (!g_store->GetSavedGamesFolder(false))
        std::abort();
    g_folder = fs::path(ToUtf8(g_store->SavedGamesFolder()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(g_folder, ignored))
        fs::remove_all(entry.path(), ignored);

    MemoryStream file;
    if (size > 0 && (data[0] & 1) != 0) {
        uint8_t key[16];
        UserDataFolders::BuildKey(u"Velvet Aisle", key);
        file = UserDataFolders::EncodeContainer(
            FromUtf8(std::string(reinterpret_cast<const char*>(data + 1), size - 1)), key);
    } else {
        file.Write(data, static_cast<uint32_t>(size));
        file.Seek(0, 0);
    }
    if (!g_store->SafeWrite(ProfileMgr::kSaveFileName, false, file))
        std::abort();

    ProfileMgr mgr(nullptr);
    mgr.SetNoticeFunction([](const std::string&, const std::string&) {});
    mgr.Load();
    if (!mgr.CurrentProfile() || mgr.SavingDisabled())
        std::abort();
    if (!mgr.Save())
        std::abort();
    const size_t count = mgr.GetProfiles().size();

    ProfileMgr again(nullptr);
    again.SetNoticeFunction([](const std::string&, const std::string&) {});
    again.Load();
    if (again.GetProfiles().size() != count || fs::exists(g_folder / "velv.save.damaged.2"))
        std::abort();
    return 0;
}
