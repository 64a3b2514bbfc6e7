// The exported entry as a host written without SDL calls it: a window made with plain Xlib on
// an X server of the test's own (Xvfb), passed by its window id, gets the splash painted in.

#include <dlfcn.h>

#include <SDL.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

// After the test framework: Xlib defines macros (None, Bool, Status) that its headers use.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/process/VirtualDisplay.h"
#include "platform/system/Process.h"
#include "splash/HostWindowCheck.h"
#include "tests/splash/SplashTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;

namespace {

using QuillTest::ScopedEnv;

// The library, a short Splash.ini showing a red picture for `staticMs` and the picture, in a folder of
// their own; empty when the built library is missing.
fs::path SplashFolder(const char* name, int staticMs)
{
    const fs::path dir = QuillTest::MakeTempDir(name);
    const fs::path bin = fs::path(QuillPlatform::ProgramPath()).parent_path();
    if (!fs::exists(bin / "libQuillonSplash.so"))
        return {};
    fs::copy_file(bin / "libQuillonSplash.so", dir / "libQuillonSplash.so");
    QuillTest::WriteFile(dir / "red.bmp", SplashTest::SolidBmp(32, 24, 0xFF0000));
    QuillTest::WriteFile(dir / "Splash.ini",
                         "[Red]\nStaticPath=red.bmp\nFadeTime=100\nStaticTime=" + std::to_string(staticMs) + "\n");
    return dir;
}

// A private X server and a copy of the library in a folder of its own, loaded.
class SplashHostWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (SDL_WasInit(SDL_INIT_VIDEO))
            GTEST_SKIP() << "SDL video is already up in this process with another driver";
        XInitThreads();
        std::string why;
        if (!server.Start(320, 240, &why))
            GTEST_SKIP() << why;
    }
    void TearDown() override
    {
        if (library)
            dlclose(library);
    }
    // Loads the library from a folder whose Splash.ini shows a red picture for `staticMs`.
    void Load(const char* name, int staticMs)
    {
        dir = SplashFolder(name, staticMs);
        ASSERT_FALSE(dir.empty());
        library = dlopen((dir / "libQuillonSplash.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        show = reinterpret_cast<int (*)(uintptr_t)>(dlsym(library, "ShowSplash"));
        ASSERT_NE(show, nullptr);
    }
    // Calls the library for `window` on the private server, from the library's folder (where its
    // log goes), as the host would.
    int ShowInto(Window window)
    {
        ScopedEnv display("DISPLAY", server.Name());
        ScopedEnv driver("SDL_VIDEODRIVER", "x11");
        const fs::path before = fs::current_path();
        fs::current_path(dir);
        const int result = show(static_cast<uintptr_t>(window));
        fs::current_path(before);
        return result;
    }

    QuillPlatform::VirtualDisplay server;
    fs::path dir;
    void* library = nullptr;
    int (*show)(uintptr_t) = nullptr;
};

} // namespace

TEST_F(SplashHostWindow, AnXlibWindowPassedByItsIdGetsThePicturePainted)
{
    Load("splash-host", 600);
    if (HasFatalFailure())
        return;

    // The host: a plain Xlib window with a green background.
    Display* host = XOpenDisplay(server.Name().c_str());
    ASSERT_NE(host, nullptr);
    const int screen = DefaultScreen(host);
    const Window window = XCreateSimpleWindow(host, RootWindow(host, screen), 0, 0, 160, 120, 0, 0, 0x00FF00);
    XMapWindow(host, window);
    XSync(host, False);

    // A second connection watches the window's centre while the call runs.
    std::atomic<bool> done{false};
    std::atomic<bool> sawRed{false};
    std::thread watcher([&] {
        Display* eye = XOpenDisplay(server.Name().c_str());
        while (eye && !done) {
            if (XImage* image = XGetImage(eye, window, 80, 60, 1, 1, AllPlanes, ZPixmap)) {
                const unsigned long pixel = XGetPixel(image, 0, 0);
                XDestroyImage(image);
                if ((pixel & 0xFFFFFF) == 0xFF0000)
                    sawRed = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (eye)
            XCloseDisplay(eye);
    });

    const int result = ShowInto(window);
    done = true;
    watcher.join();

    EXPECT_EQ(result, 0);
    EXPECT_TRUE(sawRed) << "the picture never reached the host's window";
    // The log names the window by the id the host passed.
    char id[32];
    std::snprintf(id, sizeof id, "HWND = 0x%lx", static_cast<unsigned long>(window));
    const std::string log = SplashTest::ReadLogText(dir / "QuillonSplash.log");
    EXPECT_NE(log.find(id), std::string::npos) << log;
    // The host's window outlives the call.
    XWindowAttributes attributes;
    EXPECT_NE(XGetWindowAttributes(host, window, &attributes), 0);
    EXPECT_EQ(show(0), 1) << "no window, nothing shown";
    XDestroyWindow(host, window);
    XCloseDisplay(host);
}

// A host that passes a window it has already destroyed gets result 1 and goes on running: the
// library asks the server first instead of letting Xlib's default error handler end the process.
TEST_F(SplashHostWindow, AWindowThatNoLongerExistsIsRefusedAndTheHostLivesOn)
{
    Load("splash-gone", 300);
    if (HasFatalFailure())
        return;

    Display* host = XOpenDisplay(server.Name().c_str());
    ASSERT_NE(host, nullptr);
    const Window window = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 160, 120, 0, 0, 0);
    XDestroyWindow(host, window);
    XSync(host, False);

    EXPECT_EQ(ShowInto(window), 1);
    char id[32];
    std::snprintf(id, sizeof id, "0x%lx does not exist", static_cast<unsigned long>(window));
    const std::string log = SplashTest::ReadLogText(dir / "QuillonSplash.log");
    EXPECT_NE(log.find(id), std::string::npos) << log;
    // The host's own connection is untouched and still answers.
    const Window other = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 10, 10, 0, 0, 0);
    XWindowAttributes attributes;
    EXPECT_NE(XGetWindowAttributes(host, other, &attributes), 0);
    XDestroyWindow(host, other);
    XCloseDisplay(host);
}

// When the library's own connection to the server cannot be made, the window is unchecked, not
// missing: a host whose window is alive must not be refused because a second connection failed.
// Window 0 is no window whatever the server.
TEST(SplashHostWindowCheck, AServerThatCannotBeReachedLeavesTheWindowUnchecked)
{
    XInitThreads(); // as the other cases, should they share this process
    int number = 4000;
    while (fs::exists("/tmp/.X11-unix/X" + std::to_string(number)))
        ++number;
    const std::string nowhere = ":" + std::to_string(number);
    std::string why;
    EXPECT_EQ(QuillonSplash::CheckHostWindow(0x400001, nowhere, &why), QuillonSplash::HostWindowState::Unchecked);
    EXPECT_EQ(why, "");
    EXPECT_EQ(QuillonSplash::CheckHostWindow(0, nowhere), QuillonSplash::HostWindowState::Missing);
}
