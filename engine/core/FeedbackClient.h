#pragma once
// The engine side of the optional feedback client: a table of 27 entry points that always holds
// callable functions. Each starts as a do-nothing default and is replaced by the client
// library's export "QGFBClient_<n>" when the library is present in the program folder.
//
// Clocks are game seconds (double); keys, levels, kinds and screen names are UTF-16 texts
// (char16_t, zero-terminated); event names are narrow texts. Entries whose arguments the game
// never passes take pointer-sized integers.

#include <cstdint>
#include <string>

namespace QuillEngine {

namespace FeedbackEntry {
// The signature of each entry; the ordinals that use it follow in the comment.
using Arg = intptr_t;
using Start = int32_t (*)(const void* startRecord); // 1
using Query = int32_t (*)();                        // 2, 24, 26
using Notify0 = void (*)();                         // 23, 25, 27
using Notify1 = void (*)(Arg);                      // 20, 21
using Notify2 = void (*)(Arg, Arg);                 // 3
using Teardown = void (*)(const char16_t* name);    // 4
// 5
using GameEvent = void (*)(double clock, const char16_t* name);
// 6
using GameClosed = void (*)(double clock, const char16_t* name, double value, const char* event);
// 7
using SetLevel = void (*)(double clock, const char16_t* level, const char16_t* kind);
// 8
using LevelEvent = void (*)(double clock, const char16_t* level, const char16_t* name, double value, const char* event);
// 9
using Screen = void (*)(double clock, const char16_t* screen);
// 13, 14, 16
using ItemEvent = void (*)(double clock, const char16_t* key, const char* event, const char16_t* value, int32_t end);
// 22
using Parameters = void (*)(const char16_t* const* keys, const char16_t* const* values, int32_t count);
// Entries the game never calls: pointer-sized integers.
using Notify5 = void (*)(Arg, Arg, Arg, Arg, Arg);                     // 10
using Notify6 = void (*)(Arg, Arg, Arg, Arg, Arg, Arg);                // 12, 15
using Notify7 = void (*)(Arg, Arg, Arg, Arg, Arg, Arg, Arg);           // 17, 19
using Notify8 = void (*)(Arg, Arg, Arg, Arg, Arg, Arg, Arg, Arg);      // 11
using Notify9 = void (*)(Arg, Arg, Arg, Arg, Arg, Arg, Arg, Arg, Arg); // 18
} // namespace FeedbackEntry

struct FeedbackTable {
    FeedbackEntry::Start e1;
    FeedbackEntry::Query e2;
    FeedbackEntry::Notify2 e3;
    FeedbackEntry::Teardown e4;
    FeedbackEntry::GameEvent e5;
    FeedbackEntry::GameClosed e6;
    FeedbackEntry::SetLevel e7;
    FeedbackEntry::LevelEvent e8;
    FeedbackEntry::Screen e9;
    FeedbackEntry::Notify5 e10;
    FeedbackEntry::Notify8 e11;
    FeedbackEntry::Notify6 e12;
    FeedbackEntry::ItemEvent e13;
    FeedbackEntry::ItemEvent e14;
    FeedbackEntry::Notify6 e15;
    FeedbackEntry::ItemEvent e16;
    FeedbackEntry::Notify7 e17;
    FeedbackEntry::Notify9 e18;
    FeedbackEntry::Notify7 e19;
    FeedbackEntry::Notify1 e20;
    FeedbackEntry::Notify1 e21;
    FeedbackEntry::Parameters e22;
    FeedbackEntry::Notify0 e23;
    FeedbackEntry::Query e24;
    FeedbackEntry::Notify0 e25;
    FeedbackEntry::Query e26;
    FeedbackEntry::Notify0 e27;
};

class FeedbackClient {
public:
    static constexpr int kEntryCount = 27;

    // The table every report calls through; always complete. A sink, while one is set, takes
    // the place of the client's table.
    static const FeedbackTable& Entries() { return s_sink ? *s_sink : s_table; }

    // Test support: every report goes to `sink` (a complete table) instead of the client, whether
    // or not a client library was loaded; null goes back to the client's table.
    static void SetSink(const FeedbackTable* sink) { s_sink = sink; }

    // Loads "libQGFBClientD.so", else "libQGFBClient.so", from the program folder only, binds the
    // exports it has and returns entry 1's answer for `startRecord` (true: the client took over
    // error reporting). False without the library, which is the normal case. The library is never
    // unloaded.
    static bool Load(const void* startRecord);
    // The same from another folder (ending in '/'); for tests.
    static bool LoadFromFolder(const void* startRecord, const std::string& folder);

    // Puts every entry back to its default (a loaded library stays loaded).
    static void ResetToDefaults();

private:
    static FeedbackTable s_table;
    static inline const FeedbackTable* s_sink = nullptr;
};

} // namespace QuillEngine
