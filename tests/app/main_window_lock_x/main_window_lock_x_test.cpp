// The main window shown on an X display, its frames made slow, and File
// commands given by key between two strokes sent through the X test
// extension, as a hand gives them: the frames reach the command after the
// second stroke has begun. One window for the binary (the engine keeps GL
// names of one context in globals).

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimerEvent>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
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
#include "view/mouse.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using tltest::waitFor;

// Each tick of the view widget sleeps `ms` first, as a heavy scene's frame
// takes its time: the window system queues the hand's input meanwhile.
struct SlowTicks : QObject {
    explicit SlowTicks(GLWidget* w) : widget(w) { widget->installEventFilter(this); }
    ~SlowTicks() override { widget->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget && event->type() == QEvent::Timer && ms > 0 &&
            static_cast<QTimerEvent*>(event)->timerId() == widget->timerId)
            std::this_thread::sleep_for(milliseconds(ms.load()));
        return false;
    }
    GLWidget* widget;
    std::atomic<int> ms{0};
};

// Counts the File commands' dialogs, and those opened while the server held
// a pointer button or the view was in a gesture; cancels Save, answers Open
// with `open` and every question with Yes.
struct Watch : qel::DecliningAsker {
    tltest::XPointer probe;
    qel::GLView* view = nullptr;
    QStringList open;
    int asked = 0, underHand = 0;
    void ask() {
        ++asked;
        underHand += probe.buttonHeld() || qel::mouseRead.left || !view->idle();
    }
    QString saveFileName(QWidget*, const QString&, const QString&) override { return ask(), QString(); }
    QStringList openFileNames(QWidget*, const QString&, const QString&) override { return ask(), open; }
    bool yes(QWidget*, const QString&, const QString&) override { return ask(), true; }
};

// The window, past its start-up, with a ball in the middle of the view under
// assembly Move.
class Between : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        window = new MainWindow;
        window->asker = &watch;
        qel::GLView* v = window->view();
        v->asker = &watch;
        watch.view = v;
        v->startupStep = 4;
        v->animate = 0;
        window->resize(640, 480);
        window->show();
        window->activateWindow();
        waitFor([] { return window->glWidget->lastFrame && window->isActiveWindow(); });
        qel::Mesh* seed = qel::Mesh::Icosahedron();
        qel::Tool ball(qel::Mesh::Sphere(seed, 3, false, true), qel::mat4(), qel::pbr(), false);
        delete seed;
        v->camera->position = qel::vec3(0, 0, 0);
        v->scene->addObject(&ball, qel::mat4::Scale(0.3f, 0.3f, 0.3f), qel::Scene::HangTop, false);
        window->ui->actionAsmMove->trigger();
        v->redraw = 1;
        waitFor([v] { return v->redraw == 0; });
    }
    static void TearDownTestSuite() { delete window; }

protected:
    void SetUp() override {
        ASSERT_TRUE(window->glWidget->lastFrame && window->isActiveWindow());
        ASSERT_TRUE(x.ok()) << "no X display with the test extension";
        watch.asked = watch.underHand = 0;
        qel::GLView* v = window->view();
        const qel::vec3 c = v->project_World_To_Screen(qel::vec3(0, 0, 0));
        onBall = window->glWidget->mapToGlobal(QPoint(int(c.x), v->height - int(c.y)));
        x.moveTo(onBall);
        ASSERT_TRUE(waitFor([v] { return qel::inputLatch.empty() && v->idle(); }));
    }
    // A drag from `from` to 60 pixels right of it, 16 ms a motion.
    void drag(QPoint from, std::chrono::steady_clock::time_point& t) {
        x.moveTo(from);
        x.left(true);
        for (int k = 1; k <= 20; ++k) {
            t += milliseconds(16);
            std::this_thread::sleep_until(t);
            x.moveTo(from + QPoint(3 * k, 0));
        }
        x.left(false);
    }
    void ctrlKey(unsigned long keysym) {
        x.key(XK_Control_L, true);
        x.key(keysym, true);
        x.key(keysym, false);
        x.key(XK_Control_L, false);
    }
    // Runs the hand on slow ticks until it is done and the view has taken
    // all it gave.
    bool run(const std::function<void()>& hand) {
        SlowTicks slow(window->glWidget);
        slow.ms = 300;
        std::future<void> done = std::async(std::launch::async, hand);
        const bool handDone = waitFor([&done] { return done.wait_for(milliseconds(0)) == std::future_status::ready; });
        slow.ms = 0;
        return handDone && waitFor([] { return qel::inputLatch.empty() && window->view()->idle(); });
    }
    QString notice() const {
        const QLabel* label = window->ui->statusBar->findChild<QLabel*>();
        return label ? label->text() : QString();
    }

    static MainWindow* window;
    static Watch watch;
    tltest::XPointer x;
    QPoint onBall;
};

MainWindow* Between::window = nullptr;
Watch Between::watch;

}  // namespace

// Ctrl+S right after a drag's release, then a second drag pressed and held
// before the slow frames reach the Save: the Save asks once the hand has let
// go of the second, never under it.
TEST_F(Between, ASaveBetweenTwoStrokesNeverAsksUnderTheSecond) {
    ASSERT_TRUE(run([this] {
        Clock::time_point t = Clock::now();
        drag(onBall, t);
        ctrlKey(XK_s);
        std::this_thread::sleep_until(t += milliseconds(60));
        x.moveTo(onBall + QPoint(0, 40));
        x.left(true);
        for (int k = 1; k <= 40; ++k) {
            std::this_thread::sleep_until(t += milliseconds(40));
            x.moveTo(onBall + QPoint(0, 40 + k));
        }
        x.left(false);
    }));
    EXPECT_EQ(watch.asked, 1);
    EXPECT_EQ(watch.underHand, 0);
}

// Ctrl+O right after a drag's release, then a whole second drag before the
// slow frames reach the Open: the drag was made on the scene shown, so the
// Open is not taken, asks nothing and says so; the scene stays.
TEST_F(Between, ADragGivenAfterOpenNeverLandsOnTheOpenedFile) {
    QTemporaryDir dir;
    const QString file = dir.filePath("opened.tl");
    ASSERT_TRUE(window->view()->save(file.toStdString()));
    watch.open = QStringList{file};
    const qel::Tool* before = window->view()->scene->objectsRoot->children.back();
    ASSERT_TRUE(run([this] {
        Clock::time_point t = Clock::now();
        drag(onBall, t);
        ctrlKey(XK_o);
        drag(onBall + QPoint(60, 0), t);
    }));
    EXPECT_EQ(watch.asked, 0);
    EXPECT_TRUE(notice().startsWith("Open: not taken, a click or drag given after it")) << notice().toStdString();
    EXPECT_EQ(window->view()->scene->objectsRoot->children.back(), before);
}
