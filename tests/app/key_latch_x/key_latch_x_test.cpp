// The keys of the view widget shown as a top-level window, as its frames
// read them. Keys sent through the X test extension reach it through Qt's
// X11 platform as a hand's do (with the key symbols a modifier gives them),
// and the frames poll the keyboard from the X server; window and pointer
// changes are sent as Qt events where only the widget's handling of them is
// in question. One widget for the binary (the engine keeps GL names of one
// context in globals).

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QTimerEvent>
#include <SFML/Window/Keyboard.hpp>
#include <algorithm>
#include <memory>
#include <vector>

#include "app/gl_widget.h"
#include "gl/resources.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tests/app/gl_widget/x_pointer.h"
#include "tests/app/window_app.h"
#include "view/camera.h"
#include "view/glview.h"
#include "view/input_latch.h"
#include "view/keyboard.h"
#include "view/mouse.h"

using namespace qel;

namespace {

using tltest::waitFor;

GLWidget* theWidget = nullptr;

// 400 x 300, past the view's start-up, no animation, its first frame shown,
// its window active.
GLWidget* widget() {
    if (theWidget) return theWidget;
    theWidget = new GLWidget(nullptr);
    EXPECT_TRUE(tltest::showPastStartup(*theWidget));
    return theWidget;
}

// The window active in Qt and holding the keyboard at the X server, so
// that keys sent next go to it.
bool activate(QWidget* w, tltest::XPointer& x) {
    w->activateWindow();
    return waitFor([&] { return w->isActiveWindow() && x.focus() == w->winId(); });
}

// Counts the key presses a widget receives.
struct Presses : QObject {
    explicit Presses(QObject* watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) ++count;
        return false;
    }
    int count = 0;
};

// Counts the times the pointer leaves a widget.
struct Leaves : QObject {
    explicit Leaves(QObject* watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Leave) ++count;
        return false;
    }
    int count = 0;
};

// While `held`, the widget's frames do not run: the window system's input
// waits in the latch, as behind a long frame.
struct HeldFrames : QObject {
    explicit HeldFrames(GLWidget* w) : widget(w) { w->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        return held && watched == widget && event->type() == QEvent::Timer &&
               static_cast<QTimerEvent*>(event)->timerId() == widget->timerId;
    }
    GLWidget* widget;
    bool held = false;
};

// The frames have taken every key change the window system delivered.
bool reads(std::uint8_t code, bool held) {
    return waitFor([=] { return inputLatch.empty() && keys.held(code) == held; });
}

// Reads every key up, as the poll of an inactive window does, or Alt down.
struct AltPoll : KeySource {
    bool active() override { return true; }
    bool down(int key) override { return altDown && key == sf::Keyboard::LAlt; }
    bool altDown = false;
};

// Qt key events sent to a widget, read by a keyboard of the test's own
// whose poll reads every key up (unless told otherwise): what a key reads comes from the recorded
// changes alone. No frame of the widget runs in between (nothing runs the
// event loop).
class SentKeys : public ::testing::Test {
protected:
    SentKeys() : keyboard(&poll) {
        widget();
        inputLatch.clear();
    }
    void send(QWidget* to, QEvent::Type type, int key) {
        QKeyEvent event(type, key, Qt::NoModifier);
        QCoreApplication::sendEvent(to, &event);
    }
    void send(QWidget* to, QEvent::Type type) {
        QEvent event(type);
        QCoreApplication::sendEvent(to, &event);
    }
    bool altHeld() {
        keyboard.read(inputLatch.take(keyboard, last).keys);
        return keyboard.held(Keyboard::KeyAlt);
    }

    AltPoll poll;
    Keyboard keyboard;
    MouseState last;
};

}  // namespace

// 5 pressed, Shift pressed, 5 released, Shift released: the release of 5
// comes as % (Shift changes its symbol), and 5 reads up once it is taken.
TEST(KeyLatchX, ADigitReleasedWhileShiftIsHeldReadsUp) {
    tltest::XPointer x;
    ASSERT_TRUE(x.ok()) << "no X display with the test extension";
    ASSERT_TRUE(activate(widget(), x));
    x.moveTo(widget()->mapToGlobal(QPoint(200, 150)));
    x.key(XK_5, true);
    ASSERT_TRUE(reads('5', true));
    x.key(XK_Shift_L, true);
    ASSERT_TRUE(reads(Keyboard::KeyShift, true));
    x.key(XK_5, false);
    x.key(XK_Shift_L, false);
    // The release of 5 came before Shift's.
    ASSERT_TRUE(reads(Keyboard::KeyShift, false));
    EXPECT_FALSE(keys.held('5'));
}

// Control tapped over the view, then pressed in another window and held
// while the view's window gets the keyboard back: it reads held, as the X
// server holds it, and up again at its release.
TEST(KeyLatchX, AKeyHeldSinceBeforeTheWindowHadTheKeyboardReadsAsTheServerHoldsIt) {
    tltest::XPointer x;
    ASSERT_TRUE(x.ok()) << "no X display with the test extension";
    ASSERT_TRUE(activate(widget(), x));
    x.moveTo(widget()->mapToGlobal(QPoint(200, 150)));
    x.key(XK_Control_L, true);
    ASSERT_TRUE(reads(Keyboard::KeyControl, true));
    x.key(XK_Control_L, false);
    ASSERT_TRUE(reads(Keyboard::KeyControl, false));

    QWidget other;
    other.resize(100, 100);
    other.show();
    ASSERT_TRUE(activate(&other, x));
    Presses pressed(&other);
    x.key(XK_Control_L, true);
    ASSERT_TRUE(waitFor([&] { return pressed.count == 1; }));
    ASSERT_TRUE(activate(widget(), x));
    EXPECT_TRUE(reads(Keyboard::KeyControl, true));
    x.key(XK_Control_L, false);
    EXPECT_TRUE(reads(Keyboard::KeyControl, false));
}

// A Copy Move on a ball (Control held at the press): once its press is
// taken, its motions, its release and Control's release wait behind held
// frames while a window that takes the keyboard appears under the pointer.
// The window system tells the view of the pointer leaving before the window
// losing the keyboard; the stroke still takes its motions and its release
// as they were recorded, and the ball ends as the same stroke leaves it on
// frames that keep up. (The leave, taken at once, put the waiting motions
// outside the view: they took no step and the moved part stayed behind.)
TEST(KeyLatchX, AWindowTakingTheKeyboardUnderThePointerLeavesAWaitingStrokeWhole) {
    tltest::XPointer x;
    ASSERT_TRUE(x.ok()) << "no X display with the test extension";
    GLView* view = widget()->view;
    view->setSymmetry(false, false, false, false, false, false, 6);
    view->camera->position = vec3(0, 0, 0);
    std::unique_ptr<Mesh> seed(Mesh::Icosahedron());
    const auto ball = [&seed] { return Mesh::Sphere(seed.get(), 3, false, true); };
    Tool source(ball(), mat4(), pbr(), false);
    Tool* placed = view->scene->addObject(&source, mat4::Scale(0.3f, 0.3f, 0.3f), Scene::HangTop, false);
    view->setActionMode(GLView::ModeSculpt);
    view->setSculptAction(Sculptor::Move);
    view->redraw = 1;
    ASSERT_TRUE(waitFor([&] { return view->redraw == 0; }));
    const vec3 c = view->project_World_To_Screen(vec3(0, 0, 0));
    const QPoint onBall(int(c.x), view->height - int(c.y));
    HeldFrames frames(widget());
    const auto stroke = [&](bool windowChange) {
        placed->setElement(ball());
        view->redraw = 1;
        EXPECT_TRUE(activate(widget(), x));
        // The pointer comes in from outside the view, whatever left it where.
        x.moveTo(widget()->mapToGlobal(QPoint(-20, -20)));
        x.moveTo(widget()->mapToGlobal(onBall));
        x.key(XK_Control_L, true);
        EXPECT_TRUE(waitFor([&] {
            return inputLatch.empty() && view->redraw == 0 && view->sculptAction == Sculptor::CopyMove &&
                   mouse.position == vec2(float(onBall.x()), float(onBall.y())) && view->pickBrush.pickedTool == placed;
        }));
        x.left(true);
        EXPECT_TRUE(waitFor([&] { return !view->sculptors.empty(); }));
        frames.held = windowChange;
        for (int k = 1; k <= 40; ++k) x.moveTo(widget()->mapToGlobal(onBall + QPoint(2 * k, k)));
        x.left(false);
        x.key(XK_Control_L, false);
        QWidget other;
        Leaves left(widget());
        if (windowChange) {
            EXPECT_TRUE(waitFor([&] { return mouseRead.left == 0 && inputLatch.motions() == 40; }));
            other.setGeometry(QRect(QCursor::pos() - QPoint(50, 50), QSize(100, 100)));
            other.show();
            EXPECT_TRUE(activate(&other, x));
            EXPECT_TRUE(waitFor([&] { return left.count == 1; }));
            frames.held = false;
        }
        EXPECT_TRUE(waitFor([&] { return view->sculptors.empty() && inputLatch.empty(); }));
        std::vector<vec3> result;
        for (const MeshVertex& v : static_cast<const Mesh*>(placed->element)->vertices) result.push_back(v.position);
        return result;
    };
    const std::vector<vec3> kept = stroke(false), changed = stroke(true);
    EXPECT_TRUE(view->outside);
    view->setActionMode(GLView::ModeAssembly);
    view->scene->removeObject(placed, false);
    const std::unique_ptr<Mesh> first(ball());
    ASSERT_EQ(kept.size(), 2 * first->vertices.size()) << "the copy";
    EXPECT_GT(length(kept[0] - first->vertices[0].position), 0.05f) << "the moved part";
    ASSERT_EQ(changed.size(), kept.size());
    double apart = 0.0;
    for (std::size_t v = 0; v < kept.size(); ++v) apart = std::max(apart, double(length(changed[v] - kept[v])));
    EXPECT_LE(apart, 1e-5);
}

// A key recorded as down whose release may go elsewhere: once the window
// loses the keyboard, it reads as polled (here up).
TEST_F(SentKeys, KeysRecordedDownReadAsPolledOnceTheWindowIsDeactivated) {
    send(widget(), QEvent::KeyPress, Qt::Key_Alt);
    ASSERT_TRUE(altHeld());
    send(widget()->window(), QEvent::WindowDeactivate);
    EXPECT_FALSE(altHeld());
}

// The same once the pointer leaves the view.
TEST_F(SentKeys, KeysRecordedDownReadAsPolledOnceThePointerLeaves) {
    send(widget(), QEvent::KeyPress, Qt::Key_Alt);
    ASSERT_TRUE(altHeld());
    send(widget(), QEvent::Leave);
    EXPECT_FALSE(altHeld());
    send(widget(), QEvent::Enter);
}

// A key pressed over the view and released in another window of the
// program (a dialog, a popup menu): the release is the view's too.
TEST_F(SentKeys, AReleaseInAnotherWindowOfTheProgramIsRecorded) {
    QWidget other;
    send(widget(), QEvent::KeyPress, Qt::Key_Alt);
    ASSERT_TRUE(altHeld());
    send(&other, QEvent::KeyRelease, Qt::Key_Alt);
    EXPECT_FALSE(altHeld());
}

// Once the window has the keyboard again, or the pointer is back, a key
// recorded as up reads as polled: it may have gone down elsewhere.
TEST_F(SentKeys, KeysReadAsPolledOnceTheWindowIsActivatedOrThePointerEnters) {
    for (const QEvent::Type back : {QEvent::WindowActivate, QEvent::Enter}) {
        SCOPED_TRACE(back == QEvent::Enter ? "enter" : "activate");
        poll.altDown = false;
        ASSERT_FALSE(altHeld());
        send(widget(), QEvent::KeyPress, Qt::Key_Alt);
        send(widget(), QEvent::KeyRelease, Qt::Key_Alt);
        ASSERT_TRUE(altHeld());
        ASSERT_FALSE(altHeld());
        // Pressed elsewhere, held at the return.
        poll.altDown = true;
        EXPECT_FALSE(altHeld());
        send(back == QEvent::WindowActivate ? widget()->window() : widget(), back);
        EXPECT_TRUE(altHeld());
    }
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    QApplication* app = tltest::makeWindowApplication(argc, argv);
    (void)app;
    initShaderResources();
    initIconResources();
    const int result = RUN_ALL_TESTS();
    delete theWidget;
    return result;
}
