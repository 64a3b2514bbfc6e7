// The software renderer under a real X server brings no GL driver into the process. The check runs
// in a child of its own (this program again, asked for the one case): a process that ran other
// tests may have loaded a driver already, and the loader keeps it.

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "engine/app/EngineManager.h"
#include "engine/graphics/render/RenderManager.h"
#include "game/app/SimpleGame.h"
#include "platform/d3d/D3dFactory.h"
#include "platform/process/VirtualDisplay.h"
#include "platform/system/Process.h"
#include "tests/support/TestEnvironment.h"

extern char** environ;

using namespace QuillEngine;

namespace {

constexpr const char* kChildMarker = "QUILL_TEST_NO_GL_CHILD";

// The files mapped into this process that are a GL, EGL or GLX library, one of Mesa's drivers or
// LLVM.
std::set<std::string> GlMappings()
{
    static const char* const kNames[] = {"libGL", "libEGL", "libGLX", "libgallium", "libLLVM", "swrast", "_dri.so"};
    std::set<std::string> found;
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        const size_t path = line.find('/');
        for (const char* name : kNames)
            if (path != std::string::npos && line.find(name, path) != std::string::npos) {
                found.insert(line.substr(path));
                break;
            }
    }
    return found;
}

// Started in the child: the game on the software renderer, a few frames presented to the window.
// `before` is what was mapped when the case began: what the program links by itself (a sanitizer
// build keeps the GL dispatch libraries it links). A software run must add nothing to it.
void RunSoftwareGame(bool software, const std::set<std::string>& before)
{
    const auto loaded = [&] {
        std::set<std::string> added;
        for (const std::string& file : GlMappings())
            if (!before.count(file))
                added.insert(file);
        return added;
    };
    EngineManager engine;
    SimpleGame simple(&engine);
    const char* arguments[] = {"VelvetAisle", software ? "-software" : "-windowed"};
    ASSERT_TRUE(engine.Init(VelvetAisle::MakeSettings(2, arguments), &simple));
    for (int i = 0; i < 3; ++i)
        engine.Renderer()->RenderFrame(true);
    ASSERT_EQ(engine.Renderer()->IsSoftwareDevice(), software);
    if (software)
        EXPECT_EQ(loaded(), std::set<std::string>{});
    else
        EXPECT_NE(loaded(), std::set<std::string>{}) << "the check sees a driver where there is one";
    engine.SaveAndShutdown();
}

// Runs this program again for `test` alone on `display`; true when it passed.
bool PassesInChild(const std::string& test, const std::string& display)
{
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("SDL_VIDEODRIVER=", 0) != 0 && entry.rfind("DISPLAY=", 0) != 0)
            env.push_back(entry);
    }
    env.push_back("SDL_VIDEODRIVER=x11");
    env.push_back("DISPLAY=" + display);
    env.push_back(std::string(kChildMarker) + "=1");
    const pid_t pid = QuillTest::Spawn({QuillPlatform::ProgramPath(), "--gtest_filter=" + test}, std::move(env));
    if (pid < 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class SoftwareWithoutGl : public ::testing::Test {
protected:
    // In the child: true, and the case runs. In the parent: runs the case in a child under a
    // private X server and reports its outcome.
    bool InChild()
    {
        if (std::getenv(kChildMarker))
            return true;
        QuillPlatform::VirtualDisplay display;
        std::string why;
        if (!display.Start(1280, 1024, &why)) {
            skipped = "no X server here: " + why;
            return false;
        }
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        EXPECT_TRUE(PassesInChild(std::string(info->test_suite_name()) + "." + info->name(), display.Name()));
        return false;
    }
    std::string skipped;
};

TEST_F(SoftwareWithoutGl, ASoftwareRunMapsNoGlLibrary)
{
    if (InChild())
        RunSoftwareGame(true, GlMappings());
    else if (!skipped.empty())
        GTEST_SKIP() << skipped;
}

TEST_F(SoftwareWithoutGl, AHardwareRunMapsTheDriverTheCheckLooksFor)
{
    if (!InChild()) {
        if (!skipped.empty())
            GTEST_SKIP() << skipped;
        return;
    }
    const std::set<std::string> before = GlMappings();
    if (!QuillD3D::IsBackendAvailable(QuillD3D::Backend::Gl))
        GTEST_SKIP() << "no OpenGL here";
    RunSoftwareGame(false, before);
}

} // namespace
