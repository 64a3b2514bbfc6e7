#pragma once
// A private X server (Xvfb) on a free display number, for tests and benchmarks that need a real
// window system. The server ends with the object.

#include <string>
#include <sys/types.h>

namespace QuillPlatform {

class VirtualDisplay {
public:
    VirtualDisplay() = default;
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    ~VirtualDisplay();

    // Starts the server on a display number it picks itself, with one screen of the given size
    // (24-bit), and waits until it accepts clients. The server does not reset when its last client
    // leaves. False, with the reason in `why`, when it cannot (e.g. Xvfb is not installed).
    bool Start(int width, int height, std::string* why);
    // ":<n>", the value for DISPLAY.
    const std::string& Name() const { return m_name; }

private:
    pid_t m_pid = 0;
    std::string m_name;
};

} // namespace QuillPlatform
