// Test main shared by every test program: the environment is set before GoogleTest (or any
// static initialiser that reads it) runs a test. CTest's ENVIRONMENT property splits lists
// badly, so this is done here rather than in CMake.

#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"

int main(int argc, char** argv)
{
    // The engine's crash handler starts the program again with this argument to show its
    // message. A test program started that way must only show it, never run the tests again
    // (which, with the fault repeated, would start copies of itself without end).
    if (argc > 1 && std::strcmp(argv[1], "--quill-crash-message") == 0) {
        std::fprintf(stderr, "%s: %s\n", argc > 3 ? argv[3] : "Critical Error", argc > 2 ? argv[2] : "");
        return 0;
    }
    QuillTest::PrepareEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    // Death tests fork; "threadsafe" re-executes the binary so SDL or audio threads are safe.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const int rc = RUN_ALL_TESTS();
    QuillTest::CleanEnvironment();
    return rc;
}
