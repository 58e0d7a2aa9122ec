// Entry point of the widget tests: the exact predicates are set up, the
// "icons" bundle registered and a QApplication on the offscreen platform
// exists before any test runs, so no window reaches a screen.

#include <gtest/gtest.h>

#include <QApplication>

#include "app/startup.h"
#include "core/geometry.h"
#include "gl/resources.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    qel::InitExactPredicates();
    qel::initIconResources();
    QApplication app(argc, argv);
    qel::deliverEveryMotion();
    return RUN_ALL_TESTS();
}
