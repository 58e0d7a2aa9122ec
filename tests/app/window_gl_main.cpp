// Entry point of the tests that show the main window on a real display with
// an OpenGL 4.0 core context: the default surface format set, a
// QApplication on the display (pointer motions delivered unmerged, as the
// program has them) and the resource bundles registered before any test
// runs.

#include <gtest/gtest.h>

#include "tests/app/window_app.h"
#include "gl/resources.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    tltest::makeWindowApplication(argc, argv);
    qel::initShaderResources();
    qel::initIconResources();
    return RUN_ALL_TESTS();
}
