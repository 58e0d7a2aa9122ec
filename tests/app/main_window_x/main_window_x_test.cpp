// The main window shown on an X display, its frames made slow, driven by
// keys and buttons sent through the X test extension as a hand's are: the
// program receives them through Qt's X11 platform and polls the keyboard
// from the X server, as it does for a person. One window for the binary
// (the engine keeps GL names of one context in globals).

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimerEvent>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "app/startup.h"
#include "gl/resources.h"
#include "mesh/mesh.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tests/app/gl_widget/x_pointer.h"
#include "tests/app/window_app.h"
#include "view/asker.h"
#include "view/camera.h"
#include "view/glview.h"
#include "view/input_latch.h"
#include "view/keyboard.h"
#include "view/mouse.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

using tltest::waitFor;

// Makes each frame of the view widget sleep before it runs, as a heavy scene
// takes its time: the window system queues the input meanwhile. Each sleep's
// start is told to the thread that sends the input, which times its keys
// and buttons from there.
class SlowFrames : public QObject {
public:
    explicit SlowFrames(GLWidget* w) : widget(w) { widget->installEventFilter(this); }
    ~SlowFrames() override { widget->removeEventFilter(this); }
    SlowFrames(const SlowFrames&) = delete;
    SlowFrames& operator=(const SlowFrames&) = delete;

    // The start of the next frame's sleep (or now, when none comes within
    // 5 s).
    Clock::time_point nextSleep() {
        const int seen = sleeps;
        for (int ms = 0; sleeps == seen && ms < 5000; ++ms) std::this_thread::sleep_for(milliseconds(1));
        return sleeps == seen ? Clock::now() : Clock::time_point(Clock::duration(sleepStart.load()));
    }

    std::atomic<int> sleepMs{0};

private:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget && event->type() == QEvent::Timer && sleepMs > 0 &&
            static_cast<QTimerEvent*>(event)->timerId() == widget->timerId) {
            sleepStart = Clock::now().time_since_epoch().count();
            ++sleeps;
            std::this_thread::sleep_for(milliseconds(sleepMs.load()));
        }
        return false;
    }

    GLWidget* widget;
    std::atomic<int> sleeps{0};
    std::atomic<Clock::rep> sleepStart{0};
};

}  // namespace

// A tube axis drawn and ended with Return on slow frames, then Control held
// 0.95 s over a ball while the right button clicks: the frame that takes the
// click reads Control as held, as it was at the click, and the ball's menu
// opens. Polled, Control read as released (the keyboard as it was when that
// frame ran, after the release) and the click became a pan with no menu.
TEST(MainWindowX, ControlRightClickRightAfterADrawingOpensTheObjectMenuOnSlowFrames) {
    tltest::XPointer x;
    ASSERT_TRUE(x.ok()) << "no X display with the test extension";
    qel::DecliningAsker asker;
    MainWindow window;
    window.asker = &asker;
    qel::GLView* view = window.view();
    view->asker = &asker;
    view->startupStep = 4;
    view->animate = 0;
    window.resize(640, 480);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(waitFor([&] { return window.glWidget->lastFrame && window.isActiveWindow(); }));
    GLWidget* widget = window.glWidget;

    qel::Mesh* seed = qel::Mesh::Icosahedron();
    qel::Tool ball(qel::Mesh::Sphere(seed, 3, false, true), qel::mat4(), qel::pbr(), false);
    delete seed;
    view->camera->position = qel::vec3(0, 0, 0);
    view->scene->addObject(&ball, qel::mat4::Scale(0.3f, 0.3f, 0.3f), qel::Scene::HangTop, false);
    view->redraw = 1;
    ASSERT_TRUE(waitFor([&] { return view->redraw == 0; }));
    const auto placed = [&] { return view->scene->objectsRoot->children.size(); };
    const qel::vec3 c = view->project_World_To_Screen(qel::vec3(0, 0, 0));
    const QPoint onBall(int(c.x), view->height - int(c.y));
    const QPoint start(20, onBall.y() + 60);
    window.ui->actionTube->trigger();
    ASSERT_EQ(view->iassemblyAction(), qel::GLView::ActionDraw);
    x.moveTo(widget->mapToGlobal(start));
    ASSERT_TRUE(waitFor([&] {
        return qel::inputLatch.empty() && qel::mouse.position == qel::vec2(float(start.x()), float(start.y()));
    }));

    SlowFrames slow(widget);
    // The drawing on frames of 0.35 s, the click on frames of 0.7 s.
    slow.sleepMs = 350;
    std::atomic<bool> drawn{false};
    std::future<void> hand = std::async(std::launch::async, [&] {
        Clock::time_point t = Clock::now();
        const auto at = [&](int ms) { std::this_thread::sleep_until(t + milliseconds(ms)); };
        at(50);
        x.left(true);
        for (int k = 1; k <= 8; ++k) {
            at(50 + 16 * k);
            x.moveTo(widget->mapToGlobal(start + QPoint(6 * k, 0)));
        }
        x.left(false);
        at(300);
        x.key(XK_Return, true);
        at(400);
        x.key(XK_Return, false);
        const QPoint from = start + QPoint(48, 0);
        for (int k = 1; k <= 6; ++k) {
            at(400 + 16 * k);
            x.moveTo(widget->mapToGlobal(from + (onBall - from) * k / 6));
        }
        // Once the frames have taken all of that, Control goes down during
        // one frame's sleep; the click and Control's release come during the
        // next one's, so the frame after it takes the click while the
        // release still waits.
        for (int ms = 0; !drawn && ms < 20000; ++ms) std::this_thread::sleep_for(milliseconds(1));
        if (!drawn) return;
        slow.sleepMs = 700;
        t = slow.nextSleep();
        at(200);
        x.key(XK_Control_L, true);
        at(950);
        x.right(true);
        at(1050);
        x.right(false);
        at(1150);
        x.key(XK_Control_L, false);
    });
    const qel::vec2 ballPixel(float(onBall.x()), float(onBall.y()));
    ASSERT_TRUE(waitFor([&] {
        // The cursor is polled as it is now: the drawing has ended when its
        // tube is placed and nothing waits.
        drawn = drawn || (placed() > 1 && qel::inputLatch.empty() && qel::mouse.position == ballPixel);
        return hand.wait_for(milliseconds(0)) == std::future_status::ready;
    }));
    // The frame that takes the click.
    ASSERT_TRUE(waitFor([&] { return qel::mouse.right != 0; }));
    slow.sleepMs = 0;
    EXPECT_TRUE(window.ui->menuObject->isVisible());
    EXPECT_EQ(window.ui->actionType->text(), "TRI-MESH");
    EXPECT_FALSE(window.ui->menuRender->isVisible());
    EXPECT_TRUE(view->idle());
    window.ui->menuObject->close();
}
