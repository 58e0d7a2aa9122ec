// The keys of the commands that the gesture lock holds, pressed on the
// offscreen main window while the hand holds a stroke in the view or
// between the clicks of a drawing: each is told in the status bar, naming
// its command, and does nothing. And the status text over the view after a
// command given by its key: it shows what the command chose in the next
// frame drawn, without waiting for the pointer to move.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tests/app/shown_window_util.h"
#include "tests/app/locked_keys_util.h"
#include "view/fake_id_reader_util.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/status_text.h"
#include "view/step_pacer.h"

namespace {

using GLView = qel::GLView;

// The window shown and active (its view hidden: this platform has no
// OpenGL 4.0 for it) with a cube under the middle of the view; the view's
// frames run through the frame driver, each followed by the gesture lock's
// update as the widget's tick does; the mouse and the keys are Qt's events.
class LockedKeysTold : public ::testing::Test {
public:
    LockedKeysTold() {
        window.asker = &asker;
        view()->asker = &asker;
        drive = shownForFrames(window, active);
        cubeUnder(*view(), *drive->reader, centre);
        frames(1);
    }
    ~LockedKeysTold() override {
        drive.reset();
        qel::StepPacer::Clock = savedClock;
    }
    GLView* view() { return window.view(); }
    Ui_MainWindow& ui() { return *window.ui; }
    std::string notice() { return tltest::notice(window); }
    void mouse(QEvent::Type type, Qt::MouseButtons held) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(double(centre.x), double(centre.y)), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(window.glWidget, &event);
    }
    void frames(int n) {
        for (int frame = 0; frame < n; ++frame) {
            drive->frame();
            window.glWidget->followGesture();
        }
    }
    // The key pressed and released on the window, the status bar cleared
    // before: what it says after.
    std::string told(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        window.showNotice("");
        QTest::keyClick(&window, key, modifiers);
        return notice();
    }
    std::string told(const QAction& a) {
        const int key = a.shortcut()[0];
        return told(Qt::Key(key & ~int(Qt::KeyboardModifierMask)),
                    Qt::KeyboardModifiers(key & int(Qt::KeyboardModifierMask)));
    }
    // Assembly in simple mode (0) and in full mode (1), Sculpt (2).
    void enter(int setting) {
        window.SetMode(setting == 0);
        if (setting == 2)
            window.Sculpt(true);
        else
            window.Assembly(true);
    }

    tltest::SaveCount asker;
    MainWindow window;
    bool active = false;
    double (*savedClock)() = qel::StepPacer::Clock;
    std::unique_ptr<qel::test::FrameDriver> drive;
    const qel::vec2 centre{float(window.view()->width / 2), float(window.view()->height / 2)};
};

}  // namespace

// With a sculpt stroke held, Ctrl+S, Q and Alt+Shift+F6 are told, each by
// its command's name, and none acts: no Save asks, the scope and the
// projection stay, the menus stay disabled. Keys of no locked command (a
// digit, Undo with the history the stroke emptied) say nothing.
TEST_F(LockedKeysTold, LockedKeysAreToldWhileTheHandHoldsAStroke) {
    ASSERT_TRUE(active);
    ui().actionSculpt->trigger();
    ui().actionMove->trigger();
    mouse(QEvent::MouseButtonPress, Qt::LeftButton);
    frames(1);
    ASSERT_FALSE(view()->idle());
    ASSERT_TRUE(window.glWidget->inAction);

    EXPECT_EQ(told(Qt::Key_S, Qt::ControlModifier), tltest::refused("Save"));
    EXPECT_EQ(told(Qt::Key_Q), tltest::refused("Element"));
    EXPECT_EQ(told(Qt::Key_F6, Qt::AltModifier | Qt::ShiftModifier), tltest::refused("Perspective"));
    EXPECT_EQ(told(Qt::Key_1), "");
    ui().actionUndo->setEnabled(false);  // as the emptied history has it
    EXPECT_EQ(told(Qt::Key_Z, Qt::ControlModifier), "");
    EXPECT_FALSE(ui().actionSave->isEnabled() || ui().actionSelect_Element->isEnabled());

    mouse(QEvent::MouseButtonRelease, Qt::NoButton);
    frames(12);
    EXPECT_TRUE(view()->idle());
    EXPECT_EQ(asker.asked, 0);
    EXPECT_EQ(view()->selectedSculptSelect, qel::Sculptor::SelectElement);
    EXPECT_EQ(view()->sculptAction, qel::Sculptor::Move);
    EXPECT_EQ(view()->viewType, GLView::ViewOrthogonal);
}

// Between the clicks of a drawing the lock holds the same keys with no
// button down: they are told, but not the key of an entry simple mode
// hides, which is no command's key there. Once the drawing is cancelled,
// Ctrl+S is taken and says nothing.
TEST_F(LockedKeysTold, LockedKeysAreToldBetweenTheClicksOfADrawing) {
    ASSERT_TRUE(active);
    ui().actionTube->trigger();
    ASSERT_EQ(view()->iassemblyAction(), GLView::ActionDraw);
    mouse(QEvent::MouseButtonPress, Qt::LeftButton);
    frames(1);
    mouse(QEvent::MouseButtonRelease, Qt::NoButton);
    frames(2);
    ASSERT_FALSE(view()->idle()) << "the drawing goes on";
    ASSERT_TRUE(window.glWidget->inAction);

    EXPECT_EQ(told(Qt::Key_S, Qt::ControlModifier), tltest::refused("Save"));
    EXPECT_EQ(told(Qt::Key_F6, Qt::AltModifier | Qt::ShiftModifier), tltest::refused("Perspective"));
    ASSERT_TRUE(view()->simple() && !ui().actionLink->isVisible());
    EXPECT_EQ(told(Qt::Key_F7), "") << "Link's key, which simple mode hides";
    EXPECT_EQ(asker.asked, 0);

    view()->resetState(true);
    frames(1);
    ASSERT_FALSE(window.glWidget->inAction);
    EXPECT_EQ(told(Qt::Key_S, Qt::ControlModifier), "");
    frames(4);
    EXPECT_EQ(asker.asked, 1);
}

// Under the lock, in Assembly (simple and full) and in Sculpt, the key of
// every entry the lock disables and the mode shows is told by its entry's
// name (8, 15 and 13 keys as the menus stand).
TEST_F(LockedKeysTold, EveryLockedKeyIsToldInEveryMode) {
    ASSERT_TRUE(active);
    for (int setting = 0; setting < 3; ++setting) {
        enter(setting);
        window.glWidget->inAction = true;
        window.setInAction(true);
        int keys = 0;
        for (QAction* a : window.actions()) {
            if (a->shortcut().isEmpty() || a->isEnabled() || !a->isVisible()) continue;
            SCOPED_TRACE(std::to_string(setting) + " " + a->shortcut().toString().toStdString());
            EXPECT_EQ(told(*a), tltest::refused(a->text().toStdString()));
            ++keys;
        }
        EXPECT_GT(keys, 0);
        window.glWidget->inAction = false;
        window.setInAction(false);
    }
}

// Every command with a key, in Assembly (simple and full) and in Sculpt:
// the status text drawn in the frames after it is the one a later motion of
// the pointer shows (Q's scope among them). Without a new frame the text
// drawn before stands.
TEST_F(LockedKeysTold, EveryKeyedCommandShowsInTheStatusTextOfTheNextFrame) {
    ASSERT_TRUE(active);
    window.openDocument = [](const QUrl&) { return true; };
    const auto pieces = [this] {
        std::vector<std::string> out;
        for (const qel::StatusPiece& p : qel::statusText(*view())) out.push_back(p.text);
        return out;
    };
    // Commands whose keys leave the window or change its size.
    const std::vector<QAction*> skipped = {ui().actionFull_Screen, ui().actionHi_res};
    for (int setting = 0; setting < 3; ++setting) {
        enter(setting);
        for (QAction* a : window.actions()) {
            if (a->shortcut().isEmpty() || std::count(skipped.begin(), skipped.end(), a)) continue;
            SCOPED_TRACE(std::to_string(setting) + " " + a->text().toStdString() + " " +
                         a->shortcut().toString().toStdString());
            frames(1);
            view()->redraw = 0;
            std::vector<std::string> shown = pieces();
            told(*a);
            // The frames that take the key and its modifiers, and the
            // command in its place among them, each drawing what it shows
            // when asked to.
            for (int frame = 0; frame < 6; ++frame) {
                frames(1);
                if (view()->redraw) shown = pieces();
                view()->redraw = 0;
            }
            drive->move(centre + qel::vec2(1, 0));
            frames(1);
            drive->move(centre);
            frames(1);
            EXPECT_EQ(shown, pieces());
        }
    }
}

// A word longer than the window is wide changes neither the window's size
// nor the view's: a view resized under a held stroke would take its button
// as released.
TEST_F(LockedKeysTold, ALongWordLeavesTheViewsSizeAsItIs) {
    ASSERT_TRUE(active);
    window.resize(400, 300);
    QApplication::processEvents();
    const QSize size = window.size(), viewSize = window.glWidget->size();
    window.showNotice(QString(200, QChar('w')));
    QApplication::processEvents();
    EXPECT_EQ(window.size(), size);
    EXPECT_EQ(window.glWidget->size(), viewSize);
}
