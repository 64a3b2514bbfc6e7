#include "engine/app/PlayFeedbackSink.h"

#include <cstdio>
#include <string>

#include "engine/core/FeedbackClient.h"
#include "engine/core/strings/EngineString.h"

namespace QuillEngine {

namespace {

using namespace FeedbackEntry;

FILE* g_file = nullptr;

std::string Wide(const char16_t* text)
{
    return text ? ToUtf8(StringView(text)) : std::string();
}

std::string Narrow(const char* text)
{
    return text ? std::string(text) : std::string();
}

std::string Number(const char* format, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string Clock(double clock)
{
    return Number("%.3f", clock);
}

void Write(std::initializer_list<std::string> fields)
{
    if (!g_file)
        return;
    std::string line;
    for (const std::string& field : fields) {
        if (!line.empty())
            line += '\t';
        line += field;
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), g_file);
    std::fflush(g_file);
}

template <int N> void Unused()
{
    Write({"entry" + std::to_string(N)});
}

int32_t Start(const void*)
{
    Write({"start"});
    return 0;
}
template <int N> int32_t Query()
{
    Unused<N>();
    return 0;
}
template <int N> void Call0()
{
    Unused<N>();
}
template <int N> void Call1(Arg)
{
    Unused<N>();
}
template <int N> void Call2(Arg, Arg)
{
    Unused<N>();
}
template <int N> void Call5(Arg, Arg, Arg, Arg, Arg)
{
    Unused<N>();
}
template <int N> void Call6(Arg, Arg, Arg, Arg, Arg, Arg)
{
    Unused<N>();
}
template <int N> void Call7(Arg, Arg, Arg, Arg, Arg, Arg, Arg)
{
    Unused<N>();
}
template <int N> void Call8(Arg, Arg, Arg, Arg, Arg, Arg, Arg, Arg)
{
    Unused<N>();
}
template <int N> void Call9(Arg, Arg, Arg, Arg, Arg, Arg, Arg, Arg, Arg)
{
    Unused<N>();
}

void Teardown(const char16_t* name)
{
    Write({"teardown", Wide(name)});
}
void GameEvent(double clock, const char16_t* name)
{
    Write({"game", Clock(clock), Wide(name)});
}
void GameClosed(double clock, const char16_t* name, double value, const char* event)
{
    Write({"closed", Clock(clock), Wide(name), Number("%g", value), Narrow(event)});
}
void SetLevel(double clock, const char16_t* level, const char16_t* kind)
{
    Write({"level", Clock(clock), Wide(level), Wide(kind)});
}
void LevelEvent(double clock, const char16_t* level, const char16_t* name, double value, const char* event)
{
    Write({"levelevent", Clock(clock), Wide(level), Wide(name), Number("%g", value), Narrow(event)});
}
void Screen(double clock, const char16_t* screen)
{
    Write({"screen", Clock(clock), Wide(screen)});
}
template <int N> void Item(double clock, const char16_t* key, const char* event, const char16_t* value, int32_t end)
{
    const char* kind = N == 13 ? "item" : N == 14 ? "itemalt" : "count";
    Write({kind, Clock(clock), Wide(key), Narrow(event), Wide(value), std::to_string(end)});
}
void Parameters(const char16_t* const* keys, const char16_t* const* values, int32_t count)
{
    if (!g_file)
        return;
    std::string line = "params";
    for (int32_t i = 0; i < count && keys && values; ++i)
        line += '\t' + Wide(keys[i]) + '=' + Wide(values[i]);
    Write({line});
}

const FeedbackTable kSink = {
    Start,     Query<2>,  Call2<3>,  Teardown,   GameEvent, GameClosed, SetLevel,  LevelEvent, Screen,
    Call5<10>, Call8<11>, Call6<12>, Item<13>,   Item<14>,  Call6<15>,  Item<16>,  Call7<17>,  Call9<18>,
    Call7<19>, Call1<20>, Call1<21>, Parameters, Call0<23>, Query<24>,  Call0<25>, Query<26>,  Call0<27>,
};

} // namespace

bool PlayFeedbackSink::Open(const std::string& path)
{
    Close();
    g_file = std::fopen(path.c_str(), "wb");
    if (!g_file)
        return false;
    FeedbackClient::SetSink(&kSink);
    return true;
}

void PlayFeedbackSink::Close()
{
    FeedbackClient::SetSink(nullptr);
    if (g_file) {
        std::fclose(g_file);
        g_file = nullptr;
    }
}

bool PlayFeedbackSink::IsOpen()
{
    return g_file != nullptr;
}

} // namespace QuillEngine
