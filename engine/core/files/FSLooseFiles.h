#pragma once
// File source over a folder of loose files. Data names use '\' and any case ("Audio\Audio.xml");
// when the exact path does not exist, each component is matched ignoring ASCII case. Names with
// a ".." component and absolute names are refused. A folder's listing for the case-blind match is
// kept while the folder's entries stay the same, so that asking for a missing name (as the
// picture loader does for every picture's alpha pair) does not list the folder every time.

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/core/files/FileManager.h"

namespace QuillEngine {

class FSLooseFiles : public FileManager::IFSSource {
public:
    // Files above this size are not read.
    static constexpr size_t MaxFileSize = size_t(512) << 20;

    // `folder` is a prefix such as "input\" (relative to the working folder, or absolute).
    FSLooseFiles(const String& folder, const String& group);

    bool Open() override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    bool ReadFile(const String& name, std::unique_ptr<uint8_t[]>& data, size_t& size) override;
    bool Exists(const String& name) override;
    String GetGroupName() const override { return m_group; }

    // The path a data name maps to when such a regular file exists; exposed for tests and tools.
    std::optional<std::string> Resolve(const String& name) const;

private:
    // The entry of `dir` whose name equals `part` ignoring ASCII case; the smallest such name
    // when several do, so the choice does not depend on directory order.
    std::optional<std::string> FindIgnoringCase(const std::string& dir, const std::string& part) const;

    struct Listing {
        uint64_t stamp = 0;
        std::vector<std::string> entries;
    };

    std::string m_folder; // UTF-8, '/'-separated, ends with '/' unless empty
    String m_group;
    mutable std::mutex m_listingsMutex;
    mutable std::unordered_map<std::string, Listing> m_listings; // by folder path
};

} // namespace QuillEngine
