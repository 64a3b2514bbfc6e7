// Test main shared by every test program: the environment is set before GoogleTest (or any
// static initialiser that reads it) runs a test. CTest's ENVIRONMENT property splits lists
// badly, so this is done here rather than in CMake.

#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"

int main(int argc, char** argv)
{
    QuillTest::PrepareEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    // Death tests fork; "threadsafe" re-executes the binary so SDL or audio threads are safe.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const int rc = RUN_ALL_TESTS();
    QuillTest::CleanEnvironment();
    return rc;
}
