#include "splash/SplashLog.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace QuillonSplash {

namespace {

void AppendUnit(std::string& out, uint32_t unit)
{
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
}

void AppendCodePoint(std::string& out, uint32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        AppendUnit(out, 0xD800 + (cp >> 10));
        AppendUnit(out, 0xDC00 + (cp & 0x3FF));
    } else {
        AppendUnit(out, cp);
    }
}

} // namespace

SplashLog::SplashLog(std::string path) : m_path(std::move(path)) {}

SplashLog::~SplashLog()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string SplashLog::ToUtf16Le(std::string_view s)
{
    std::string out;
    out.reserve(s.size() * 2);
    size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        if (b0 < 0x80) {
            AppendUnit(out, b0);
            ++i;
            continue;
        }
        const int len = (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
        uint32_t cp = len == 2 ? (b0 & 0x1Fu) : len == 3 ? (b0 & 0x0Fu) : (b0 & 0x07u);
        bool ok = len != 0 && i + static_cast<size_t>(len) <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            const auto b = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            ok = (b & 0xC0) == 0x80;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        ok = ok && cp >= kMin[len] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        if (!ok) {
            AppendUnit(out, 0xFFFD);
            ++i;
            continue;
        }
        AppendCodePoint(out, cp);
        i += static_cast<size_t>(len);
    }
    return out;
}

std::string SplashLog::QuotedLocalTime()
{
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char text[128];
    const size_t n = std::strftime(text, sizeof text, "%x @ %X", &local);
    return "\"" + std::string(text, n) + "\"";
}

bool SplashLog::WriteAll(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool SplashLog::Open()
{
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (m_created ? O_APPEND : O_TRUNC);
    m_fd = ::open(m_path.c_str(), flags, 0644);
    if (m_fd < 0)
        return false;
    const bool fresh = !m_created;
    m_created = true;
    if (fresh) {
        const std::string first = "[Creating log file] Created at: LocalTime=" + QuotedLocalTime() + "\r\n";
        if (!WriteAll("\xFF\xFE") || !WriteAll(ToUtf16Le(first))) {
            ::close(m_fd);
            m_fd = -1;
            m_created = false; // the next attempt starts the file over
            return false;
        }
    }
    return true;
}

bool SplashLog::WriteLine(std::string_view utf8)
{
    if (m_fd < 0 && !Open())
        return false;
    m_encoded = ToUtf16Le(utf8);
    m_encoded.append("\r\0\n\0", 4);
    if (WriteAll(m_encoded))
        return true;
    ::close(m_fd);
    m_fd = -1;
    return false;
}

bool SplashLog::Write(const char* format, ...)
{
    char small[256];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    bool written = false;
    if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
        written = WriteLine(std::string_view(small, static_cast<size_t>(n)));
    } else if (n >= 0) {
        std::vector<char> big(static_cast<size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, copy);
        written = WriteLine(std::string_view(big.data(), static_cast<size_t>(n)));
    }
    va_end(copy);
    return written;
}

void SplashLog::Close()
{
    if (m_fd < 0)
        return;
    const std::string last = "[Closing log file] Closed at: LocalTime=" + QuotedLocalTime() + "\r\n";
    WriteAll(ToUtf16Le(last));
    ::fsync(m_fd);
    ::close(m_fd);
    m_fd = -1;
    m_created = false; // the next call creates the file anew
}

} // namespace QuillonSplash
