#pragma once
// The game's reports to the optional feedback client: its start, its end, every screen opened and
// the play events. Each report stamps the game clock and makes one call through the client's
// entry table; without the client library every entry is a do-nothing default, so every report is
// always safe to call.
//
// Once "Game_Closed" has gone out, only the teardown call may follow, and nothing after that: a
// client that has closed its session never sees a stray event from the objects the game deletes
// while it shuts down.

#include <array>
#include <cstdint>
#include <string>

#include "engine/core/FeedbackClient.h"
#include "engine/core/strings/EngineString.h"

class FeedbackReporter {
public:
    static constexpr size_t kStartRecordSize = 56;
    static constexpr uint32_t kStartFlags = 0x1000a;
    using StartRecord = std::array<uint8_t, kStartRecordSize>;

    // The record handed to the client when it starts: zero but for the flags word at 0x0C and
    // the build number (the low 16 bits of `fileVersionLS`) at 0x20, both little-endian.
    static StartRecord MakeStartRecord(uint32_t fileVersionLS);
    // The least-significant word of the program's file version. An ELF program carries no
    // version resource, so this is 0 unless the build defines VELVET_FILE_VERSION_LS.
    static uint32_t ProgramFileVersionLS();

    // Starts the client from the program folder with the start record; true when the client took
    // over error reporting. Also opens a new reporting session (level name empty, not closed).
    static bool Start();
    // The same with the client looked for in `folder` (ending in '/'); for tests.
    static bool StartFromFolder(const std::string& folder);

    // Game time in seconds (the frame timer's), 0 without a frame timer.
    static double Clock();

    // "game" started.
    static void ReportGameEvent();
    // "Game_Closed": the last report of the session but for the teardown call.
    static void ReportGameClosed();
    // The teardown call with "ui"; nothing more is reported afterwards.
    static void ReportTeardown();

    // A level of `kind` ("ispy", "concentration") starts; later level events carry its name.
    static void SetLevel(const QuillEngine::String& level, const QuillEngine::String& kind);
    static void ReportLevelEvent(const char* event);
    static void ReportScreenOpened(const QuillEngine::String& screen);
    // Events with one parameter "p0" = `value`: found items and matches, bad clicks and
    // mismatches, hints and time pick-ups.
    static void ReportItemEvent(const char* event, const QuillEngine::String& value);
    static void ReportItemEventAlt(const char* event, const QuillEngine::String& value);
    static void ReportCountEvent(const char* event, const QuillEngine::String& value);
    // Named parameters for the next report: `count` keys and `count` values. A negative count, or
    // missing arrays with a positive count, sends nothing.
    static void SetEventParameters(const QuillEngine::String* keys, const QuillEngine::String* values, int count);

    static const QuillEngine::String& CurrentLevel() { return s_level; }
    static bool IsClosed() { return s_phase != Phase::Open; }

    // Tests: report through `table` instead of the client's (null: back to the client's).
    static void UseEntries(const QuillEngine::FeedbackTable* table) { s_entries = table; }
    // Tests: a fresh session without starting the client.
    static void ResetSession();

private:
    enum class Phase { Open, Closed, TornDown };

    static const QuillEngine::FeedbackTable& Entries()
    {
        return s_entries ? *s_entries : QuillEngine::FeedbackClient::Entries();
    }
    static bool CanReport() { return s_phase == Phase::Open; }

    static inline const QuillEngine::FeedbackTable* s_entries = nullptr;
    static inline QuillEngine::String s_level;
    static inline Phase s_phase = Phase::Open;
};
