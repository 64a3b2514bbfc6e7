#pragma once
// A file source that serves files held in memory under exact names, for file managers in tests.
// Header-only: tests/support does not link the engine, the test programs that include this do.

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "engine/core/files/FileManager.h"

namespace QuillTest {

class MemoryFileSource : public QuillEngine::FileManager::IFSSource {
public:
    using Files = std::map<QuillEngine::String, std::string>;

    // `files` (optional) is read at every call, so a test may change it after mounting; without
    // it the source serves what Put stores.
    explicit MemoryFileSource(Files* files = nullptr, QuillEngine::String group = u"data")
        : files_(files ? files : &own_), group_(std::move(group))
    {
    }

    void Put(const QuillEngine::String& name, std::string_view bytes) { (*files_)[name] = std::string(bytes); }

    bool Open() override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    // Every call counts as a read of its name, found or not.
    bool ReadFile(const QuillEngine::String& name, std::unique_ptr<uint8_t[]>& data, size_t& size) override
    {
        ++reads[name];
        const auto it = files_->find(name);
        if (it == files_->end())
            return false;
        size = it->second.size();
        data = std::make_unique<uint8_t[]>(size + 1);
        std::memcpy(data.get(), it->second.data(), size);
        return true;
    }
    bool Exists(const QuillEngine::String& name) override { return files_->count(name) != 0; }
    QuillEngine::String GetGroupName() const override { return group_; }

    std::map<QuillEngine::String, int> reads;

private:
    Files own_;
    Files* files_;
    QuillEngine::String group_;
};

} // namespace QuillTest
