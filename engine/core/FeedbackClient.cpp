#include "engine/core/FeedbackClient.h"

#include <string>

#include "platform/system/DynamicLibrary.h"
#include "platform/system/Process.h"

namespace QuillEngine {

namespace {

using namespace FeedbackEntry;

// The do-nothing defaults, each with its entry's signature.
int32_t DefaultStart(const void*)
{
    return 0;
}
int32_t DefaultQuery()
{
    return 0;
}
void Default0() {}
void Default1(Arg) {}
void Default2(Arg, Arg) {}
void DefaultTeardown(const char16_t*) {}
void DefaultGameEvent(double, const char16_t*) {}
void DefaultGameClosed(double, const char16_t*, double, const char*) {}
void DefaultSetLevel(double, const char16_t*, const char16_t*) {}
void DefaultLevelEvent(double, const char16_t*, const char16_t*, double, const char*) {}
void DefaultScreen(double, const char16_t*) {}
void Default5(Arg, Arg, Arg, Arg, Arg) {}
void Default6(Arg, Arg, Arg, Arg, Arg, Arg) {}
void Default7(Arg, Arg, Arg, Arg, Arg, Arg, Arg) {}
void Default8(Arg, Arg, Arg, Arg, Arg, Arg, Arg, Arg) {}
void Default9(Arg, Arg, Arg, Arg, Arg, Arg, Arg, Arg, Arg) {}
void DefaultItemEvent(double, const char16_t*, const char*, const char16_t*, int32_t) {}
void DefaultParameters(const char16_t* const*, const char16_t* const*, int32_t) {}

constexpr FeedbackTable kDefaults = {
    DefaultStart,     DefaultQuery,      Default2,      DefaultTeardown,   DefaultGameEvent, DefaultGameClosed,
    DefaultSetLevel,  DefaultLevelEvent, DefaultScreen, Default5,          Default8,         Default6,
    DefaultItemEvent, DefaultItemEvent,  Default6,      DefaultItemEvent,  Default7,         Default9,
    Default7,         Default1,          Default1,      DefaultParameters, Default0,         DefaultQuery,
    Default0,         DefaultQuery,      Default0,
};

template <class Fn> void Bind(QuillPlatform::DynamicLibrary& library, int ordinal, Fn& entry, int& bound)
{
    const std::string name = "QGFBClient_" + std::to_string(ordinal);
    if (void* symbol = library.Symbol(name.c_str())) {
        entry = reinterpret_cast<Fn>(symbol);
        ++bound;
    }
}

} // namespace

FeedbackTable FeedbackClient::s_table = kDefaults;
int FeedbackClient::s_bound = 0;

void FeedbackClient::ResetToDefaults()
{
    s_table = kDefaults;
    s_bound = 0;
}

bool FeedbackClient::Load(const void* startRecord)
{
    const std::string folder = QuillPlatform::ProgramFolder();
    if (folder.empty())
        return false;
    return LoadFromFolder(startRecord, folder + "/");
}

bool FeedbackClient::LoadFromFolder(const void* startRecord, const std::string& folder)
{
    std::unique_ptr<QuillPlatform::DynamicLibrary> library;
    for (const char* name : {"libQGFBClientD.so", "libQGFBClient.so"}) {
        library = QuillPlatform::DynamicLibrary::Open(folder + name);
        if (library)
            break;
    }
    if (!library)
        return false;
    library->Keep();

    int bound = 0;
    FeedbackTable& t = s_table;
    Bind(*library, 1, t.e1, bound);
    Bind(*library, 2, t.e2, bound);
    Bind(*library, 3, t.e3, bound);
    Bind(*library, 4, t.e4, bound);
    Bind(*library, 5, t.e5, bound);
    Bind(*library, 6, t.e6, bound);
    Bind(*library, 7, t.e7, bound);
    Bind(*library, 8, t.e8, bound);
    Bind(*library, 9, t.e9, bound);
    Bind(*library, 10, t.e10, bound);
    Bind(*library, 11, t.e11, bound);
    Bind(*library, 12, t.e12, bound);
    Bind(*library, 13, t.e13, bound);
    Bind(*library, 14, t.e14, bound);
    Bind(*library, 15, t.e15, bound);
    Bind(*library, 16, t.e16, bound);
    Bind(*library, 17, t.e17, bound);
    Bind(*library, 18, t.e18, bound);
    Bind(*library, 19, t.e19, bound);
    Bind(*library, 20, t.e20, bound);
    Bind(*library, 21, t.e21, bound);
    Bind(*library, 22, t.e22, bound);
    Bind(*library, 23, t.e23, bound);
    Bind(*library, 24, t.e24, bound);
    Bind(*library, 25, t.e25, bound);
    Bind(*library, 26, t.e26, bound);
    Bind(*library, 27, t.e27, bound);
    s_bound = bound;
    return t.e1(startRecord) != 0;
}

} // namespace QuillEngine
