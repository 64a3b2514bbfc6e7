#pragma once
// The window-message record the engine's window code handles. The ids and flag bits are the
// classic desktop values, so handlers read like the design they implement; the SDL layer
// (MessageQueue.cpp) translates its events into these records.

#include <cstdint>

namespace QuillPlatform {

struct WindowMessage {
    uint32_t windowId = 0;   // the platform window the message is for (0: the thread)
    uint32_t message = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
};

// Message ids.
constexpr uint32_t WM_CREATE = 0x0001;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_ERASEBKGND = 0x0014;
constexpr uint32_t WM_ACTIVATEAPP = 0x001C;
constexpr uint32_t WM_SETCURSOR = 0x0020;
constexpr uint32_t WM_MOUSEACTIVATE = 0x0021;
constexpr uint32_t WM_DISPLAYCHANGE = 0x007E;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;
constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr uint32_t WM_SYSKEYUP = 0x0105;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_ENTERMENULOOP = 0x0211;
constexpr uint32_t WM_EXITMENULOOP = 0x0212;
constexpr uint32_t WM_ENTERSIZEMOVE = 0x0231;
constexpr uint32_t WM_EXITSIZEMOVE = 0x0232;
constexpr uint32_t WM_MOUSELEAVE = 0x02A3;
constexpr uint32_t WM_WTSSESSION_CHANGE = 0x02B1;

// WM_SIZE kinds.
constexpr uint64_t SIZE_RESTORED = 0;
constexpr uint64_t SIZE_MINIMIZED = 1;
constexpr uint64_t SIZE_MAXIMIZED = 2;

// WM_SYSCOMMAND: the keyboard-menu command range (Alt+key); lParam holds the character.
constexpr uint64_t SC_KEYMENU = 0xF100;

// WM_MOUSEACTIVATE answers and the client-area hit-test code.
constexpr int64_t MA_ACTIVATE = 1;
constexpr int64_t MA_ACTIVATEANDEAT = 2;
constexpr int64_t HTCLIENT = 1;

// Session notifications (WM_WTSSESSION_CHANGE wParam).
constexpr uint64_t WTS_CONSOLE_CONNECT = 1;
constexpr uint64_t WTS_CONSOLE_DISCONNECT = 2;
constexpr uint64_t WTS_SESSION_LOCK = 7;
constexpr uint64_t WTS_SESSION_UNLOCK = 8;

// Mouse-message key flags (wParam).
constexpr uint64_t MK_LBUTTON = 0x0001;
constexpr uint64_t MK_RBUTTON = 0x0002;
constexpr uint64_t MK_SHIFT = 0x0004;
constexpr uint64_t MK_CONTROL = 0x0008;
constexpr uint64_t MK_MBUTTON = 0x0010;

// Key-message lParam bits.
constexpr int64_t KF_ALTDOWN_BIT = int64_t(1) << 29;
constexpr int64_t KF_REPEAT_BIT = int64_t(1) << 30;   // key was already down (auto-repeat)
constexpr int64_t KF_UP_BIT = int64_t(1) << 31;

inline int64_t MakeLParam(int32_t lo, int32_t hi)
{
    return static_cast<int64_t>((static_cast<uint32_t>(hi & 0xFFFF) << 16) | static_cast<uint32_t>(lo & 0xFFFF));
}
// Signed 16-bit client coordinates packed in a mouse message's lParam.
inline int32_t GetXParam(int64_t lParam) { return static_cast<int16_t>(lParam & 0xFFFF); }
inline int32_t GetYParam(int64_t lParam) { return static_cast<int16_t>((lParam >> 16) & 0xFFFF); }

} // namespace QuillPlatform
