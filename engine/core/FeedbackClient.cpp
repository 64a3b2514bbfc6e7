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

template <class Fn> void Bind(QuillPlatform::DynamicLibrary& library, int ordinal, Fn& entry)
{
    const std::string name = "QGFBClient_" + std::to_string(ordinal);
    if (void* symbol = library.Symbol(name.c_str())) {
        entry = reinterpret_cast<Fn>(symbol);
    }
}

} // namespace

FeedbackTable FeedbackClient::s_table = kDefaults;

void FeedbackClient::ResetToDefaults()
{
    s_table = kDefaults;
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

    FeedbackTable& t = s_table;
    Bind(*library, 1, t.e1);
    Bind(*library, 2, t.e2);
    Bind(*library, 3, t.e3);
    Bind(*library, 4, t.e4);
    Bind(*library, 5, t.e5);
    Bind(*library, 6, t.e6);
    Bind(*library, 7, t.e7);
    Bind(*library, 8, t.e8);
    Bind(*library, 9, t.e9);
    Bind(*library, 10, t.e10);
    Bind(*library, 11, t.e11);
    Bind(*library, 12, t.e12);
    Bind(*library, 13, t.e13);
    Bind(*library, 14, t.e14);
    Bind(*library, 15, t.e15);
    Bind(*library, 16, t.e16);
    Bind(*library, 17, t.e17);
    Bind(*library, 18, t.e18);
    Bind(*library, 19, t.e19);
    Bind(*library, 20, t.e20);
    Bind(*library, 21, t.e21);
    Bind(*library, 22, t.e22);
    Bind(*library, 23, t.e23);
    Bind(*library, 24, t.e24);
    Bind(*library, 25, t.e25);
    Bind(*library, 26, t.e26);
    Bind(*library, 27, t.e27);
    return t.e1(startRecord) != 0;
}

} // namespace QuillEngine
