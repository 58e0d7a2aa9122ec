// Entry point of the GL test binaries: the context exists before any test
// runs, and a missing 4.0 core context fails the whole binary.

#include "support/gl_fixture.h"

#include <gtest/gtest.h>


int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const bool listing = testing::GTEST_FLAG(list_tests);
    if (!listing && !tltest::initGLContext(argc, argv)) return 1;
    const int result = RUN_ALL_TESTS();
    tltest::shutdownGLContext();
    return result;
}
