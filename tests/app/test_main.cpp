// Entry point of the widget tests: the exact predicates are set up and a
// QApplication on the offscreen platform exists before any test runs, so no
// window reaches a screen.

#include <gtest/gtest.h>

#include <QApplication>

#include "core/geometry.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    qel::InitExactPredicates();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
