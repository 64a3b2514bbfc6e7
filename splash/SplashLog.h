#pragma once
// The splash library's log: UTF-16LE text with a byte-order mark, one "\r\n"-ended line per
// entry, written to the file at once. The file is created anew by the first line of a call.

#include <string>
#include <string_view>

namespace QuillonSplash {

class SplashLog {
public:
    static constexpr const char* kDefaultPath = "QuillonSplash.log";

    explicit SplashLog(std::string path = kDefaultPath);
    ~SplashLog();
    SplashLog(const SplashLog&) = delete;
    SplashLog& operator=(const SplashLog&) = delete;

    // printf-style; the format is always a literal of the library. False when the line could not
    // be written; the next line tries again (a file that was created by this log is then
    // reopened for appending, so earlier lines are kept).
    bool Write(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool WriteLine(std::string_view utf8);

    // Writes the closing line and closes the file when it is open.
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // UTF-8 to UTF-16LE bytes; malformed input becomes U+FFFD.
    static std::string ToUtf16Le(std::string_view utf8);
    // The local time as `"date @ time"` (strftime "%x @ %X" in the C locale), quotes included.
    static std::string QuotedLocalTime();

private:
    bool Open();
    bool WriteAll(std::string_view bytes);

    std::string m_path;
    int m_fd = -1;
    bool m_created = false; // the file of this log exists (created anew once)
    std::string m_encoded;  // reused for each line
};

} // namespace QuillonSplash
