// The graphics driver's modules, once loaded, stay for the life of the process.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include "platform/system/GraphicsDriver.h"

namespace {

TEST(GraphicsDriver, AModuleWithThreadLocalStorageOutlivesItsLastUser)
{
    // The OpenGL dispatcher keeps thread-local state and is loaded only with OpenGL: unloaded
    // under live threads, it left their records pointing at freed memory.
    const char* const module = "libGLdispatch.so.0";
    if (dlopen(module, RTLD_NOW | RTLD_NOLOAD) != nullptr)
        GTEST_SKIP() << module << " is loaded before the test: it would stay either way";
    void* handle = dlopen(module, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        GTEST_SKIP() << module << " is not installed";
    QuillPlatform::KeepGraphicsDriverLoaded();
    dlclose(handle);
    EXPECT_NE(dlopen(module, RTLD_NOW | RTLD_NOLOAD), nullptr);
}

} // namespace
