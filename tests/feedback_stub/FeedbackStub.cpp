// A stand-in feedback client for the binding tests. It exports a few entries and records what
// they received; the query functions let a test read the records back.

#include <cstring>
#include <string>

#include "engine/core/FeedbackClient.h"

#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
int g_calls[28];
uint32_t g_lastFlags = 0;
double g_lastClock = 0;
std::u16string g_lastName;
int32_t g_lastCount = -1;
} // namespace

// Accepts a start record whose flags word (offset 0x0C) is 0x1000a.
STUB_EXPORT int32_t QGFBClient_1(const void* startRecord)
{
    ++g_calls[1];
    std::memcpy(&g_lastFlags, static_cast<const char*>(startRecord) + 0x0C, 4);
    return g_lastFlags == 0x1000a ? 1 : 0;
}

STUB_EXPORT void QGFBClient_5(double clock, const char16_t* name)
{
    ++g_calls[5];
    g_lastClock = clock;
    g_lastName = name ? name : u"";
}

STUB_EXPORT void QGFBClient_22(const char16_t* const* keys, const char16_t* const*, int32_t count)
{
    ++g_calls[22];
    g_lastCount = count;
    g_lastName = count > 0 && keys[0] ? keys[0] : u"";
}

STUB_EXPORT int QGFBStub_Calls(int ordinal)
{
    return ordinal >= 0 && ordinal < 28 ? g_calls[ordinal] : -1;
}
STUB_EXPORT double QGFBStub_LastClock()
{
    return g_lastClock;
}
STUB_EXPORT const char16_t* QGFBStub_LastName()
{
    return g_lastName.c_str();
}
STUB_EXPORT int32_t QGFBStub_LastCount()
{
    return g_lastCount;
}
