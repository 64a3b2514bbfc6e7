#pragma once
// Text sinks for the script value writer: a file, or the debug output.

#include <cstdio>
#include <string_view>

namespace QuillLua {

class LuaOutFile {
public:
    LuaOutFile() = default;
    LuaOutFile(const LuaOutFile&) = delete;
    LuaOutFile& operator=(const LuaOutFile&) = delete;
    virtual ~LuaOutFile();

    // Opens the file with mode "wb"; true on success.
    virtual bool Open(const char* name);
    // Closes a file this sink opened.
    virtual void Close();
    // printf-style formatting of any length; the format must come from code, never from data.
    virtual void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Writes text as it is.
    virtual void Write(std::string_view text);

private:
    FILE* file_ = nullptr;
};

// Sends the text to the debug output: standard error when QUILL_DEBUG_OUTPUT is set to a non-empty
// value, nowhere otherwise.
class LuaDebugOutFile : public LuaOutFile {
public:
    bool Open(const char* name) override;
    void Close() override;
    void Print(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    void Write(std::string_view text) override;
};

// The debug output (see LuaDebugOutFile).
void DebugOutput(std::string_view text);

} // namespace QuillLua
