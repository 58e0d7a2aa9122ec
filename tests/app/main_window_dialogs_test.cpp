// Every command of the window that may open a dialog (through the asking
// seam or on its own: the colour and material dialogs, the licence), given
// by its key, from its entry where it has none, or by its button, with
// Control held (the settings dialogs of the switches and shapes), on the
// offscreen main window: its dialog never opens while the hand holds a
// button in the view. Given between two strokes, it keeps its place and
// asks once the hand has let go of the second; given during a stroke, it is
// not taken and the status bar names it.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QTest>
#include <memory>
#include <string>

#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "tests/app/locked_keys_util.h"
#include "tests/app/shown_window_util.h"
#include "view/asker.h"
#include "view/glview.h"
#include "view/input_latch.h"
#include "view/mouse.h"
#include "view/step_pacer.h"

namespace {

using GLView = qel::GLView;

// Counts every question asked through the seam, and those asked while the
// hand held a button or the view was in a gesture; declines each.
struct Watch : qel::DecliningAsker {
    const GLView* view = nullptr;
    int asked = 0, underHand = 0, midGesture = 0;
    void ask() {
        ++asked;
        underHand += qel::mouseRead.left || qel::mouseRead.right;
        midGesture += !view->idle();
    }
    bool yes(QWidget*, const QString&, const QString&) override { return ask(), false; }
    bool getInt(QWidget*, const QString&, const QString&, int*, int, int, int) override { return ask(), false; }
    bool getDouble(QWidget*, const QString&, const QString&, double*, double, double, int) override {
        return ask(), false;
    }
    QString openFileName(QWidget*, const QString&, const QString&) override { return ask(), QString(); }
    QStringList openFileNames(QWidget*, const QString&, const QString&) override { return ask(), QStringList(); }
    QString saveFileName(QWidget*, const QString&, const QString&) override { return ask(), QString(); }
    QString saveFileNameIn(QWidget*, const QString&, const QString&, const QString&) override {
        return ask(), QString();
    }
    void warn(QWidget*, const QString&, const QString&) override { ask(); }
    void inform(QWidget*, const QString&, const QString&) override { ask(); }
    int run(QDialog*) override { return ask(), int(QDialog::Rejected); }
};

// A command that may open a dialog: the name the status bar gives it, the
// mode it is given in (sculpt or assembly), how it is given (its action's
// key or its entry, `byKey` off, or a slot of the window: the "..." buttons
// of the Background menu, the window's close), and whether it replaces the
// scene or ends the program (it refuses a click given after it).
struct Command {
    const char* name;
    bool sculpt;
    QAction* Ui_MainWindow::*action;
    bool byKey;
    const char* slot;
    bool replaces;
};

// The dialogs shown on their own rather than through the seam (the colour
// and material dialogs, the licence).
int shownDialogs() {
    int shown = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) shown += qobject_cast<QDialog*>(w) && w->isVisible();
    return shown;
}

// The window shown and active (its view hidden: this platform has no
// OpenGL 4.0 for it) with a cube under the middle of the view, every
// question watched; the view's frames run through the frame driver, each
// followed by the gesture lock's update as the widget's tick does; the
// mouse and the keys are Qt's events.
class DialogsWait : public ::testing::Test {
public:
    DialogsWait() {
        watch.view = view();
        window.asker = &watch;
        window.openDocument = [](const QUrl&) { return false; };
        drive = shownForFrames(window, active);
        cubeUnder(*view(), *drive->reader, centre);
        frames(1);
    }
    ~DialogsWait() override {
        drive.reset();
        qel::StepPacer::Clock = savedClock;
    }
    GLView* view() { return window.view(); }
    void mouse(QEvent::Type type, Qt::MouseButton button, qel::vec2 at, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(double(at.x), double(at.y)), type == QEvent::MouseMove ? Qt::NoButton : button,
                          held, QGuiApplication::keyboardModifiers());
        QCoreApplication::sendEvent(window.glWidget, &event);
    }
    void frames(int n) {
        for (int frame = 0; frame < n; ++frame) {
            drive->frame();
            window.glWidget->followGesture();
        }
    }
    // Move chosen in the command's mode; Control held, and taken by a frame,
    // so that the commands whose dialog Control opens ask.
    void prepare(const Command& c) {
        window.showNotice("");
        watch.asked = watch.underHand = watch.midGesture = 0;
        if (c.sculpt) {
            window.ui->actionSculpt->trigger();
            window.ui->actionMove->trigger();
        } else {
            // The creation commands choose a tool to place or draw.
            window.ui->actionAssembly->trigger();
            view()->setAssemblyAction(GLView::ActionMove);
        }
        QTest::keyPress(&window, Qt::Key_Control);
        frames(1);
    }
    void give(const Command& c) {
        if (c.slot) {
            QMetaObject::invokeMethod(&window, c.slot);
            return;
        }
        QAction* a = (*window.ui).*c.action;
        // A disabled entry takes no click (the lock's).
        if (!c.byKey) {
            if (a->isEnabled()) a->trigger();
            return;
        }
        const int key = a->shortcut()[0];
        QTest::keyClick(&window, Qt::Key(key & ~int(Qt::KeyboardModifierMask)),
                        Qt::KeyboardModifiers(key & int(Qt::KeyboardModifierMask)));
    }
    // Whatever opened closed, a placement the command chose cancelled,
    // Control let go, the window active again.
    void finish() {
        view()->resetState(true);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QDialog*>(w) && w->isVisible()) w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::keyRelease(&window, Qt::Key_Control);
        QApplication::setActiveWindow(&window);
        frames(3);
    }
    // A press on the cube and motions along x, held, `dy` pixels down.
    void stroke(float dy) {
        mouse(QEvent::MouseButtonPress, Qt::LeftButton, centre + qel::vec2(0, dy), Qt::LeftButton);
        for (int step = 1; step <= 5; ++step)
            mouse(QEvent::MouseMove, Qt::NoButton, centre + qel::vec2(2.0f * float(step), dy), Qt::LeftButton);
    }
    int opened() const { return watch.asked + shownDialogs(); }
    std::string notice() const { return tltest::notice(window); }

    Watch watch;
    MainWindow window;
    bool active = false;
    double (*savedClock)() = qel::StepPacer::Clock;
    std::unique_ptr<qel::test::FrameDriver> drive;
    const qel::vec2 centre{float(window.view()->width / 2), float(window.view()->height / 2)};
    using U = Ui_MainWindow;
    const std::vector<Command> commands = {
        {"Save", false, &U::actionSave, true, nullptr, false},
        {"Open", false, &U::actionOpen, true, nullptr, true},
        {"New", false, &U::actionNew, true, nullptr, true},
        {"Test", false, &U::actionTest, false, nullptr, true},
        {"Exit", false, &U::actionExit, false, nullptr, true},
        {"Exit", false, nullptr, false, "close", true},
        {"Perspective", false, &U::actionPerspective, true, nullptr, false},
        {"Lens Chromatism", false, &U::actionLens_Chromatism, true, nullptr, false},
        {"Objects Chromatism", false, &U::actionObjects_Chromatism, true, nullptr, false},
        {"Contour", false, &U::actionContour, false, nullptr, false},
        {"Material", true, &U::actionMaterial_2, false, nullptr, false},
        {"Array", false, &U::actionArray, false, nullptr, false},
        {"N-Gon", false, &U::actionAxisNGon, false, nullptr, false},
        {"Circle", false, &U::actionAxisCircle, false, nullptr, false},
        {"Trefoil", false, &U::actionAxisTrefoilKnot, false, nullptr, false},
        {"N-Gon", false, &U::actionSectionNGon, false, nullptr, false},
        {"Circle", false, &U::actionSectionCircle, false, nullptr, false},
        {"Rotation Items", false, &U::actionRotation_Items, true, nullptr, false},
        {"Snap Grid", false, &U::actionSnap_Grid, true, nullptr, false},
        {"Snap Symmetry", false, &U::actionSnap_Symmetry, true, nullptr, false},
        {"Environment Blur", false, &U::actionEnvironment_Blur, false, nullptr, false},
        {"Background Color", false, nullptr, false, "loadBackgroundColor_triggered", false},
        {"Background Image", false, nullptr, false, "loadBackgroundImage_triggered", false},
        {"Environment Image", false, nullptr, false, "loadEnvironment_triggered", false},
        {"Help", false, &U::actionOnline_help, true, nullptr, false},
        {"License", false, &U::actionLicense, false, nullptr, false},
    };
};

}  // namespace

// Each command given right after a stroke's release, while the frames have
// not taken its end, then a second stroke pressed and held before they
// reach the command: the command asks nothing until the hand has let go of
// the second, then asks once, the view idle. One that replaces the scene
// refuses the stroke given after it, with a word, and asks nothing.
TEST_F(DialogsWait, ACommandGivenBetweenTwoStrokesAsksOnceTheHandHasLetGoOfTheSecond) {
    ASSERT_TRUE(active);
    for (const Command& c : commands) {
        SCOPED_TRACE(c.name);
        prepare(c);
        stroke(0);
        mouse(QEvent::MouseButtonRelease, Qt::LeftButton, centre + qel::vec2(10, 0), Qt::NoButton);
        give(c);
        stroke(10);
        frames(8);
        EXPECT_EQ(opened(), 0) << "asked under the hand";
        mouse(QEvent::MouseButtonRelease, Qt::LeftButton, centre + qel::vec2(10, 10), Qt::NoButton);
        frames(8);
        EXPECT_TRUE(qel::inputLatch.empty());
        EXPECT_EQ(opened(), c.replaces ? 0 : 1);
        EXPECT_EQ(watch.underHand + watch.midGesture, 0);
        if (c.replaces) {
            EXPECT_EQ(notice().rfind(c.name + std::string(": not taken, a click or drag"), 0), 0u) << notice();
        }
        finish();
    }
}

// Each command given while the hand holds a stroke on the cube asks
// nothing, then or after the release, and the status bar names it (a
// locked entry's key is told; its entry, disabled, gives nothing); the
// stroke runs to its release.
TEST_F(DialogsWait, ACommandGivenDuringAHeldStrokeIsNotTakenAndAsksNothing) {
    ASSERT_TRUE(active);
    for (const Command& c : commands) {
        SCOPED_TRACE(c.name);
        prepare(c);
        stroke(0);
        frames(1);
        ASSERT_FALSE(view()->idle());
        const bool silent = c.action && !c.byKey && !((*window.ui).*c.action)->isEnabled();
        give(c);
        mouse(QEvent::MouseMove, Qt::NoButton, centre + qel::vec2(10, 10), Qt::LeftButton);
        frames(3);
        EXPECT_EQ(opened(), 0);
        if (!silent) {
            EXPECT_EQ(notice(), tltest::refused(c.name));
        }
        mouse(QEvent::MouseButtonRelease, Qt::LeftButton, centre + qel::vec2(10, 0), Qt::NoButton);
        frames(4);
        EXPECT_EQ(opened(), 0);
        EXPECT_TRUE(view()->idle() && qel::inputLatch.empty());
        finish();
    }
}
