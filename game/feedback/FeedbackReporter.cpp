#include "game/feedback/FeedbackReporter.h"

#include <vector>

#include "engine/core/FrameTimer.h"

using namespace QuillEngine;

namespace {

// The parameter key of a single-parameter event, and the mark that closes its parameter list.
constexpr const char16_t* kSingleKey = u"p0";
constexpr int32_t kEndOfParameters = -1;

void PutLE32(FeedbackReporter::StartRecord& record, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Event names come from the game's own code; a null one goes out as an empty text rather than
// reaching the client as a null pointer.
const char* Narrow(const char* event)
{
    return event ? event : "";
}

} // namespace

FeedbackReporter::StartRecord FeedbackReporter::MakeStartRecord(uint32_t fileVersionLS)
{
    StartRecord record{};
    PutLE32(record, 0x0C, kStartFlags);
    PutLE32(record, 0x20, fileVersionLS & 0xFFFFu);
    return record;
}

uint32_t FeedbackReporter::ProgramFileVersionLS()
{
#ifdef VELVET_FILE_VERSION_LS
    return static_cast<uint32_t>(VELVET_FILE_VERSION_LS);
#else
    return 0;
#endif
}

void FeedbackReporter::ResetSession()
{
    s_level.clear();
    s_phase = Phase::Open;
}

bool FeedbackReporter::Start()
{
    ResetSession();
    const StartRecord record = MakeStartRecord(ProgramFileVersionLS());
    return FeedbackClient::Load(record.data());
}

bool FeedbackReporter::StartFromFolder(const std::string& folder)
{
    ResetSession();
    const StartRecord record = MakeStartRecord(ProgramFileVersionLS());
    return FeedbackClient::LoadFromFolder(record.data(), folder);
}

double FeedbackReporter::Clock()
{
    const FrameTimer* timer = FrameTimer::Instance();
    return timer ? static_cast<double>(timer->GetTime()) : 0.0;
}

void FeedbackReporter::ReportGameEvent()
{
    if (!CanReport())
        return;
    const double clock = Clock();
    Entries().e5(clock, u"game");
}

void FeedbackReporter::ReportGameClosed()
{
    if (!CanReport())
        return;
    const double clock = Clock();
    s_phase = Phase::Closed;
    Entries().e6(clock, u"game", 0.0, "Game_Closed");
}

void FeedbackReporter::ReportTeardown()
{
    if (s_phase == Phase::TornDown)
        return;
    s_phase = Phase::TornDown;
    Entries().e4(u"ui");
}

void FeedbackReporter::SetLevel(const String& level, const String& kind)
{
    if (!CanReport())
        return;
    const double clock = Clock();
    s_level = level;
    Entries().e7(clock, s_level.c_str(), kind.c_str());
}

void FeedbackReporter::ReportLevelEvent(const char* event)
{
    if (!CanReport())
        return;
    const double clock = Clock();
    Entries().e8(clock, s_level.c_str(), u"game", 0.0, Narrow(event));
}

void FeedbackReporter::ReportScreenOpened(const String& screen)
{
    if (!CanReport())
        return;
    const double clock = Clock();
    Entries().e9(clock, screen.c_str());
}

void FeedbackReporter::ReportItemEvent(const char* event, const String& value)
{
    if (!CanReport())
        return;
    const double clock = Clock();
    Entries().e13(clock, kSingleKey, Narrow(event), value.c_str(), kEndOfParameters);
}

void FeedbackReporter::ReportItemEventAlt(const char* event, const String& value)
{
    if (!CanReport())
        return;
    const double clock = Clock();
    Entries().e14(clock, kSingleKey, Narrow(event), value.c_str(), kEndOfParameters);
}

void FeedbackReporter::ReportCountEvent(const char* event, const String& value)
{
    if (!CanReport())
        return;
    const double clock = Clock();
    Entries().e16(clock, kSingleKey, Narrow(event), value.c_str(), kEndOfParameters);
}

void FeedbackReporter::SetEventParameters(const String* keys, const String* values, int count)
{
    if (!CanReport() || count < 0 || (count > 0 && (!keys || !values)))
        return;
    std::vector<const char16_t*> keyTexts(static_cast<size_t>(count));
    std::vector<const char16_t*> valueTexts(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        keyTexts[static_cast<size_t>(i)] = keys[i].c_str();
        valueTexts[static_cast<size_t>(i)] = values[i].c_str();
    }
    Entries().e22(keyTexts.data(), valueTexts.data(), count);
}
