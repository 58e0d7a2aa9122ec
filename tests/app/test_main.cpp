// Entry point of the widget tests: the exact predicates are set up, the
// "icons" bundle registered and a QApplication on the offscreen platform
// exists before any test runs, so no window reaches a screen.

#include <gtest/gtest.h>

#include <QApplication>

#include "core/geometry.h"

// The macro declares the bundle's initialiser at the enclosing scope: it is
// used outside any namespace.
static void initIcons() { Q_INIT_RESOURCE(icons); }

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    qel::InitExactPredicates();
    initIcons();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
