#include "gl/progress.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressBar>

#include "gl/glatom.h"

TEST(Progress, DoesNothingWithoutABarThenRunsFromZeroToTheLastStepAndHidesThere) {
    ASSERT_TRUE(qel::Progress::bar.isNull());
    qel::Progress::start("Building", 10, true);
    qel::Progress::set(9, true);
    // Widgets need an application; the offscreen platform needs no display.
    // It lives until the process ends (the platform does not free its screen).
    static int argc = 1;
    static char name[] = "progress_test";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(argc, argv);
    ASSERT_EQ(qel::GLAtom::screen, nullptr);
    QProgressBar bar;
    bar.hide();
    qel::Progress::bar = &bar;
    qel::Progress::start("Building environment map", 64, true);
    EXPECT_EQ(bar.format(), QString("Building environment map"));
    EXPECT_TRUE(bar.minimum() == 0 && bar.maximum() == 63 && bar.value() == 0 && !bar.isHidden());
    qel::Progress::set(62, false);
    EXPECT_TRUE(bar.value() == 62 && !bar.isHidden());
    qel::Progress::set(63, true);
    EXPECT_TRUE(bar.isHidden());
    qel::Progress::bar = nullptr;
}
