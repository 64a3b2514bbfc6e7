#include "engine/script/LuaOutFile.h"

#include <cstdarg>
#include <cstdlib>
#include <string>

namespace QuillLua {
namespace {

std::string FormatV(const char* format, va_list args)
{
    char stack[512];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(stack, sizeof(stack), format, copy);
    va_end(copy);
    if (n < 0) {
        return {};
    }
    if (size_t(n) < sizeof(stack)) {
        return std::string(stack, size_t(n));
    }
    std::string out(size_t(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(size_t(n));
    return out;
}

} // namespace

void DebugOutput(std::string_view text)
{
    const char* flag = std::getenv("QUILL_DEBUG_OUTPUT");
    if (flag && *flag) {
        std::fwrite(text.data(), 1, text.size(), stderr);
    }
}

LuaOutFile::~LuaOutFile()
{
    if (file_) {
        std::fclose(file_);
    }
}

bool LuaOutFile::Open(const char* name)
{
    Close();
    file_ = std::fopen(name, "wb");
    return file_ != nullptr;
}

void LuaOutFile::Close()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

void LuaOutFile::Print(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    Write(text);
}

void LuaOutFile::Write(std::string_view text)
{
    if (file_) {
        std::fwrite(text.data(), 1, text.size(), file_);
    }
}

bool LuaDebugOutFile::Open(const char*)
{
    return true;
}
void LuaDebugOutFile::Close() {}

void LuaDebugOutFile::Print(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    DebugOutput(text);
}

void LuaDebugOutFile::Write(std::string_view text)
{
    DebugOutput(text);
}

} // namespace QuillLua
