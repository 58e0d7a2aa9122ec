// The view widget shown as a top-level window on an X display, its frames
// driven by its own timer. The engine keeps GL objects of one context in
// globals (the compiled programs, the unit quad's vertex array), so the
// binary has one widget, whose context is its only one: the first test makes
// it, the test of its deletion comes last.
//
// With the argument --show the program only shows a widget, as the program
// does, until it is stopped: on a context below OpenGL 4.0 the widget must
// end it with exit code 40 before its first frame.

#include "app/gl_widget.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLFunctions>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <future>
#include <string>
#include <vector>

#include "tests/app/window_app.h"
#include "curves/curve.h"
#include "elements/tube.h"
#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/glatom.h"
#include "gl/resources.h"
#include "mesh/mesh.h"
#include "scene/element.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tests/app/gl_widget/x_pointer.h"
#include "tests/app/mouse_util.h"
#include "view/act.h"
#include "view/camera.h"
#include "view/glview.h"
#include "view/input_latch.h"
#include "view/keyboard.h"
#include "view/mouse.h"

using namespace qel;

namespace {

using tltest::waitFor;

// While valid, a frame lasts until the stroke being sent has been sent
// whole, as a frame of a heavy scene outlasts a quick stroke: the window
// system queues all of its input meanwhile, however quick the machine is.
std::shared_future<void> strokeOutlasted;
// The frames the widget has run.
int framesRun = 0;

class SlowWidget : public GLWidget {
public:
    using GLWidget::GLWidget;

protected:
    void timerEvent(QTimerEvent* event) override {
        if (strokeOutlasted.valid()) strokeOutlasted.wait();
        GLWidget::timerEvent(event);
        ++framesRun;
    }
};

GLWidget* theWidget = nullptr;

// 400 x 300, past the view's start-up, no animation, its first frame shown.
GLWidget* widget() {
    if (theWidget) return theWidget;
    theWidget = new SlowWidget(nullptr);
    EXPECT_TRUE(tltest::showPastStartup(*theWidget));
    return theWidget;
}

}  // namespace

TEST(GLWidget, HiResDoublesTheViewAndItsMeasuresAndOffHalvesThem) {
    GLView* view = widget()->view;
    const vec3 eye = view->camera->position;
    view->camera->position = vec3(10, 20, 30);
    const float brush = view->brushSize, nearPlane = view->nearPlane, farPlane = view->farPlane;
    widget()->setScale(2.0f);
    EXPECT_TRUE(view->width == 800 && view->height == 600 && view->hiDpi && view->brushSize == 2 * brush);
    EXPECT_TRUE(view->camera->position == vec3(20, 40, 60) && view->farPlane == 2 * farPlane);
    tltest::sendMouse(widget(), QEvent::MouseButtonPress, QPointF(10, 20));
    EXPECT_TRUE(mouseRead.position == vec2(20, 40) && mouseRead.left == 1);
    widget()->setScale(1.0f);
    EXPECT_TRUE(view->width == 400 && !view->hiDpi && view->brushSize == brush && view->nearPlane == nearPlane);
    EXPECT_EQ(view->camera->position, vec3(10, 20, 30));
    view->camera->position = eye;
}

// The clear colour turns red behind the shown frame: a repaint without a
// new frame must show the frame in the view's grey.
TEST(GLWidget, ARepaintWithoutANewFrameShowsTheLastOne) {
    const wvec4 grey = widget()->view->background;
    widget()->view->background = wvec4(65535, 0, 0, 0);
    ASSERT_TRUE(waitFor([] { return widget()->frame == nullptr; }));
    EXPECT_EQ(widget()->grabFramebuffer().pixelColor(200, 150), QColor(0x22, 0x22, 0x22));
    widget()->view->background = grey;
}

TEST(GLWidget, UndoAndRedoFollowTheHistory) {
    struct NoAct : Act {
        void apply() override {}
    };
    QAction undo(nullptr), redo(nullptr);
    widget()->undoAction = &undo;
    widget()->redoAction = &redo;
    std::vector<Act*>& history = widget()->view->undoHistory;
    for (const int index : {1, 0, -1}) {
        if (history.empty()) history = {new NoAct, new NoAct};
        widget()->view->historyIndex = index;
        undo.setEnabled(index < 0);
        redo.setEnabled(index == 1);
        EXPECT_TRUE(waitFor([&] { return undo.isEnabled() == (index >= 0) && redo.isEnabled() == (index < 1); }))
            << index;
    }
    widget()->undoAction = widget()->redoAction = nullptr;
}

// Crossing the widget's border tells the view, which then counts the
// pointer as outside or in and restores the selected actions.
TEST(GLWidget, EnterAndLeaveReachTheView) {
    GLView* view = widget()->view;
    view->setSculptAction(Sculptor::Move);
    view->sculptAction = Sculptor::Scale;
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(widget(), &leave);
    EXPECT_TRUE(view->outside);
    EXPECT_EQ(view->actionMode, GLView::ModeIdle);
    EXPECT_EQ(view->sculptAction, Sculptor::Move);
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(widget(), &enter);
    EXPECT_FALSE(view->outside);
    EXPECT_EQ(view->actionMode, view->selectedActionMode);
}

// A key tap and a click that both begin and end between two frames reach
// the frames in order, one change at a time; keys typed into another window
// and a key's repeats are not the view's.
TEST(GLWidget, KeysAndClicksBetweenTwoFramesAreKeptInOrder) {
    struct NoKeys : KeySource {
        bool active() override { return true; }
        bool down(int) override { return false; }
    } none;
    Keyboard keys(&none);
    MouseState last;
    QWidget other;
    const auto key = [](QWidget* to, QEvent::Type type, int k, bool repeat = false) {
        QKeyEvent event(type, k, Qt::NoModifier, QString(), repeat);
        QCoreApplication::sendEvent(to, &event);
    };
    const auto button = [](QEvent::Type type, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(10, 20), Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(widget(), &event);
    };
    inputLatch.clear();
    key(&other, QEvent::KeyPress, Qt::Key_Escape);
    key(widget(), QEvent::KeyPress, Qt::Key_Return);
    key(widget(), QEvent::KeyPress, Qt::Key_Return, true);
    key(widget(), QEvent::KeyRelease, Qt::Key_Return);
    button(QEvent::MouseButtonPress, Qt::LeftButton);
    button(QEvent::MouseButtonRelease, Qt::NoButton);
    InputLatch::Frame f = inputLatch.take(keys, last);
    keys.read(f.keys);
    EXPECT_TRUE(keys.pressed(Keyboard::KeyReturn) && !keys.held(Keyboard::KeyEscape) && f.buttonsWait);
    f = inputLatch.take(keys, last);
    keys.read(f.keys);
    EXPECT_TRUE(!keys.held(Keyboard::KeyReturn) && f.buttons && f.left == 1 && f.position == vec2(10, 20));
    last.left = 1;
    f = inputLatch.take(keys, last);
    EXPECT_TRUE(f.buttons && f.left == 0 && inputLatch.empty());
}

// The status bar tells the drawing keys while Assembly draws and drops them
// when Sculpt or Place is chosen, though Draw stays the assembly action; the
// pointer rests on the view all the while, so the bar shows each tip as it
// changes, not only when the pointer enters.
TEST(GLWidget, TheDrawingKeysAreToldOnlyWhileAssemblyDraws) {
    GLView* view = widget()->view;
    struct Shown : QObject {
        QString tip;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::StatusTip) tip = static_cast<QStatusTipEvent*>(e)->tip();
            return false;
        }
    } shown;
    widget()->installEventFilter(&shown);
    QCursor::setPos(widget()->mapToGlobal(widget()->rect().center()));
    EXPECT_TRUE(waitFor([] { return widget()->underMouse(); }));
    const auto told = [&] { return shown.tip.contains("Esc (cancel)"); };
    view->setActionMode(GLView::ModeAssembly);
    view->setAssemblyAction(GLView::ActionDraw);
    EXPECT_TRUE(waitFor(told));
    view->setActionMode(GLView::ModeSculpt);
    EXPECT_TRUE(waitFor([&] { return !told() && !shown.tip.isEmpty(); }));
    EXPECT_EQ(view->iassemblyAction(), GLView::ActionDraw);
    view->setActionMode(GLView::ModeAssembly);
    EXPECT_TRUE(waitFor(told));
    view->setAssemblyAction(GLView::ActionPlace);
    EXPECT_TRUE(waitFor([&] { return !told() && !shown.tip.isEmpty(); }));
    EXPECT_EQ(shown.tip, widget()->statusTip());
    widget()->removeEventFilter(&shown);
}

// A drawn stroke whose press, motions and release all arrive before the next
// frame, as on a slow scene, keeps every point: the frame follows each
// motion with its own pickings on the frame's own layers.
TEST(GLWidget, AStrokeBetweenTwoFramesKeepsEveryPoint) {
    GLView* view = widget()->view;
    view->setActiveTool(GLView::CreateTube, true);
    view->setActionMode(GLView::ModeAssembly);
    view->setAssemblyAction(GLView::ActionDraw);
    QCursor::setPos(widget()->mapToGlobal(QPoint(100, 150)));
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(widget(), &enter);
    const auto hover = [](QPointF at) {
        QMouseEvent event(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget(), &event);
    };
    hover(QPointF(100, 150));
    ASSERT_TRUE(waitFor([&] { return inputLatch.empty() && view->pickBrush.placed(); }));
    constexpr int Motions = 40;
    QCursor::setPos(widget()->mapToGlobal(QPoint(100 + 4 * Motions, 150)));
    tltest::sendMouse(widget(), QEvent::MouseButtonPress, QPointF(100, 150));
    for (int k = 1; k <= Motions; ++k) tltest::sendMouse(widget(), QEvent::MouseMove, QPointF(100 + 4 * k, 150));
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(100 + 4 * Motions, 150), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(widget(), &release);
    ASSERT_TRUE(waitFor([&] { return inputLatch.empty() && !mouse.left; }));
    // One point a motion, each at its own pixel along the stroke.
    std::vector<int> xs;
    for (const AStroke& stroke : view->assemblor.strokes)
        for (const ABrush& b : stroke.stamps) xs.push_back(b.x);
    EXPECT_GE(xs.size(), std::size_t(Motions));
    for (std::size_t i = 1; i < xs.size(); ++i) EXPECT_EQ(xs[i], xs[i - 1] + 4) << i;
    // Escape ends the drawing.
    view->resetState(true);
    view->setActionMode(GLView::ModeIdle);
}

namespace {

// Counts the widget's button releases.
struct Releases : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease) ++count;
        return false;
    }
};

// A stroke of the left button through the X server along `path` (widget
// pixels), one point each `intervalMs`, on fast frames or on a frame that
// outlasts it (`slow`); returns once the release has reached the view and
// every input is taken.
void strokeThroughX(const std::vector<QPoint>& path, int intervalMs, bool slow) {
    tltest::XPointer pointer;
    ASSERT_TRUE(pointer.ok()) << "no X display with the test extension";
    // The pointer rests at the start until the view has picked there.
    pointer.moveTo(widget()->mapToGlobal(path.front()));
    const vec2 start(float(path.front().x()), float(path.front().y()));
    ASSERT_TRUE(waitFor([&] { return inputLatch.empty() && mouse.position == start; }));
    // In sculpt mode the pick follows the pointer a frame behind: a press
    // before it reached the start would stroke from where the pointer came
    // from (on a loaded machine, from nothing at all).
    const ABrush& picked = widget()->view->pickBrush;
    const bool sculpting = widget()->view->actionMode == GLView::ModeSculpt;
    ASSERT_TRUE(waitFor([&] {
        return (!sculpting || (picked.x == path.front().x() && picked.y == path.front().y())) &&
               widget()->frame == nullptr && widget()->view->redraw == 0;
    }));
    std::vector<QPoint> screen;
    for (const QPoint& p : path) screen.push_back(widget()->mapToGlobal(p));
    Releases releases;
    widget()->installEventFilter(&releases);
    std::shared_future<void> sent = pointer.stroke(screen, intervalMs).share();
    if (slow) strokeOutlasted = sent;
    EXPECT_TRUE(waitFor([&] { return sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_TRUE(waitFor([&] { return releases.count == 1 && inputLatch.empty() && !mouse.left; }));
    strokeOutlasted = std::shared_future<void>();
    widget()->removeEventFilter(&releases);
}

// A quick arc: `n` motions after the press, from the left of the view over
// its top to the right.
std::vector<QPoint> arc(int n) {
    std::vector<QPoint> path;
    for (int k = 0; k <= n; ++k) {
        const double a = M_PI * k / n;
        path.emplace_back(int(std::lround(200 - 150 * std::cos(a))), int(std::lround(200 - 150 * std::sin(a))));
    }
    return path;
}

}  // namespace

// A one-second drawing of 60 motions while one frame outlasts it: the
// window system delivers every motion, and the curve keeps a point for
// each, not one for the frame.
TEST(GLWidget, AQuickDrawingOnSlowFramesKeepsThePathThePointerTook) {
    GLView* view = widget()->view;
    view->setActiveTool(GLView::CreateTube, true);
    view->setActionMode(GLView::ModeAssembly);
    view->setAssemblyAction(GLView::ActionDraw);
    strokeThroughX(arc(60), 1000 / 60, true);
    const auto* tube = view->activeTool ? dynamic_cast<const Tube*>(view->activeTool->element) : nullptr;
    ASSERT_TRUE(tube && tube->path);
    EXPECT_GE(tube->path->vertices.size(), 50u);
    view->resetState(true);
    view->setActionMode(GLView::ModeIdle);
}

// A one-second zigzag Deform stroke of 60 motions sculpts a ball on a frame
// that outlasts it as the same stroke sculpts its twin on fast frames: the
// stroke takes its samples along the path the pointer took, not one a
// frame, within the frames' step budget as the program has it.
TEST(GLWidget, ADeformStrokeOnSlowFramesSculptsAsOnFastOnes) {
    GLView* view = widget()->view;
    // Two balls of their own, side by side in the orthogonal view.
    Tool* balls[2] = {};
    for (int i = 0; i < 2; ++i) {
        Mesh* seed = Mesh::Icosahedron();
        Tool ball(Mesh::Sphere(seed, 4, false, true), mat4(), pbr(), false);
        delete seed;
        const mat4 at = mat4::Translation(i == 0 ? -0.25f : 0.25f, 0, 0) * mat4::Scale(0.4f, 0.4f, 0.4f);
        balls[i] = view->scene->addObject(&ball, at, Scene::HangTop, false);
    }
    view->camera->position = vec3(0, 0, 0);
    view->setActionMode(GLView::ModeSculpt);
    view->setSculptAction(Sculptor::Deform);
    const float brush = view->brushSize;
    view->setBrushSize(20.0f);
    view->setSymmetry(false, false, false, false, false, false, 6);
    view->redraw = 1;
    ASSERT_TRUE(waitFor([&] { return view->redraw == 0; }));
    std::vector<vec3> original;
    for (const auto& v : static_cast<const Mesh*>(balls[0]->element)->vertices) original.push_back(v.position);
    for (int i = 0; i < 2; ++i) {
        // Across the ball's centre (the screen's y counts from the bottom).
        const vec3 c = view->project_World_To_Screen(vec3(i == 0 ? -0.25f : 0.25f, 0, 0));
        const QPoint centre(int(c.x), view->height - int(c.y));
        std::vector<QPoint> zigzag;
        for (int k = 0; k <= 60; ++k) zigzag.push_back(centre + QPoint(k - 30, (k / 6) % 2 ? 15 : -15));
        strokeThroughX(zigzag, 1000 / 60, i == 0);
    }
    const Mesh& slow = *static_cast<const Mesh*>(balls[0]->element);
    const Mesh& fast = *static_cast<const Mesh*>(balls[1]->element);
    double moved = 0, apart = 0;
    ASSERT_TRUE(&slow != &fast && fast.vertices.size() == original.size());
    for (std::size_t v = 0; v < original.size(); ++v) {
        moved = std::max(moved, length(fast.vertices[v].position - original[v]));
        apart = std::max(apart, length(slow.vertices[v].position - fast.vertices[v].position));
    }
    EXPECT_GT(moved, 0.01);
    EXPECT_LT(apart, 0.1 * moved);
    for (Tool* t : balls) view->scene->removeObject(t, false);
    view->setBrushSize(brush);
    view->setActionMode(GLView::ModeIdle);
}

// A press the window system has delivered while the cursor rests
// elsewhere, as when motions after it are still on their way: while the
// button is held, the frames keep the pointer where the delivered events
// put it instead of jumping ahead to the cursor's poll.
TEST(GLWidget, WhileAButtonIsHeldTheFramesFollowTheEventsNotTheCursorsPoll) {
    GLView* view = widget()->view;
    view->setActionMode(GLView::ModeIdle);
    QCursor::setPos(widget()->mapToGlobal(QPoint(300, 150)));
    // The pointer has entered (an entry records the buttons up).
    ASSERT_TRUE(
        waitFor([] { return widget()->underMouse() && inputLatch.empty() && mouse.position == vec2(300, 150); }));
    tltest::sendMouse(widget(), QEvent::MouseButtonPress, QPointF(100, 150));
    ASSERT_TRUE(waitFor([] { return inputLatch.empty() && mouse.left; }));
    // A few frames with nothing latched, each polling the cursor.
    const int taken = framesRun;
    ASSERT_TRUE(waitFor([&] { return framesRun >= taken + 5; }));
    EXPECT_EQ(mouseRead.position, vec2(100, 150));
    EXPECT_EQ(mouse.position, vec2(100, 150));
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(100, 150), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget(), &release);
    EXPECT_TRUE(waitFor([] { return inputLatch.empty() && !mouse.left; }));
    // Without a button the poll follows the cursor again.
    EXPECT_TRUE(waitFor([] { return mouse.position == vec2(300, 150); }));
}

// A key held down repeats as release and press pairs marked as repeats: the
// frames see one press, the key held throughout, and the real release.
TEST(GLWidget, AHeldKeysRepeatsAreNeitherReleasesNorPresses) {
    // The poll sees the key (and every other) down until its real release.
    struct HeldKeys : KeySource {
        bool isDown = true;
        bool active() override { return true; }
        bool down(int) override { return isDown; }
    } source;
    Keyboard keys(&source);
    MouseState last;
    const auto key = [](QEvent::Type type, bool repeat) {
        QKeyEvent event(type, Qt::Key_Return, Qt::NoModifier, QString(), repeat);
        QCoreApplication::sendEvent(widget(), &event);
    };
    inputLatch.clear();
    key(QEvent::KeyPress, false);
    for (int i = 0; i < 3; ++i) {
        key(QEvent::KeyRelease, true);
        key(QEvent::KeyPress, true);
    }
    InputLatch::Frame f = inputLatch.take(keys, last);
    keys.read(f.keys);
    EXPECT_TRUE(keys.pressed(Keyboard::KeyReturn));
    for (int frame = 0; frame < 4; ++frame) {
        f = inputLatch.take(keys, last);
        keys.read(f.keys);
        EXPECT_TRUE(keys.held(Keyboard::KeyReturn) && !keys.pressed(Keyboard::KeyReturn)) << "frame " << frame;
    }
    EXPECT_TRUE(inputLatch.empty());
    key(QEvent::KeyRelease, false);
    source.isDown = false;
    f = inputLatch.take(keys, last);
    keys.read(f.keys);
    EXPECT_FALSE(keys.held(Keyboard::KeyReturn));
}

// A command given while input waits runs at the tick after the frame that
// takes that input; a dialog it opens (an event loop of its own, through
// which the widget's ticks come again once a repaint has restarted its
// timer) holds the frames, so that the input given after the command is
// taken only once it has returned.
TEST(GLWidget, ACommandsDialogHoldsTheFramesUntilItHasReturned) {
    struct TickCount : QObject {
        int ticks = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            ticks += e->type() == QEvent::Timer;
            return false;
        }
    } count;
    ASSERT_TRUE(waitFor([] { return inputLatch.empty() && widget()->view->idle(); }));
    bool ran = false, afterWaits = false;
    inputLatch.key('x', true);
    inputLatch.command([&] {
        ran = true;
        widget()->installEventFilter(&count);
        widget()->update();
        QEventLoop dialog;
        QTimer poll;
        QElapsedTimer bound;  // no verdict: only that a failure ends
        bound.start();
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (count.ticks >= 3 || bound.elapsed() > 20000) dialog.quit();
        });
        poll.start(1);
        dialog.exec();
        widget()->removeEventFilter(&count);
        afterWaits = !inputLatch.empty();
    });
    inputLatch.key('x', false);
    EXPECT_FALSE(ran) << "the key given before it waits";
    ASSERT_TRUE(waitFor([] { return inputLatch.empty(); }));
    EXPECT_TRUE(ran && afterWaits && count.ticks >= 3);
}

// A resize runs a frame of its own (Hi-res's, the window's). Outside a tick
// it takes the input up to a waiting command and runs no command: the
// command's dialog would open inside that frame. Inside the tick, while a
// command runs, it takes nothing: the input given after the command waits
// until the command has returned.
TEST(GLWidget, AResizesFrameRunsNoCommandAndTakesNoInputBehindOne) {
    ASSERT_TRUE(waitFor([] { return inputLatch.empty() && widget()->view->idle(); }));
    const auto resize = [] {
        widget()->setScale(2.0f);
        widget()->setScale(1.0f);
    };
    bool ran = false, behindWaited = false;
    inputLatch.key('x', true);
    inputLatch.command([&] {
        ran = true;
        resize();
        behindWaited = !inputLatch.empty();
    });
    inputLatch.key('x', false);
    resize();
    EXPECT_FALSE(ran) << "run from a resize's frame";
    ASSERT_TRUE(waitFor([&] { return ran && inputLatch.empty(); }));
    EXPECT_TRUE(behindWaited);
}

// A resize while the hand holds a pan (a window manager's, a word that
// widened the window) leaves the stroke going: the view's input keeps the
// button held, and the frames end the pan only at its release.
TEST(GLWidget, AResizeDuringAHeldStrokeLeavesItGoing) {
    GLView* view = widget()->view;
    // The pointer over the view (an entry records the buttons up).
    QCursor::setPos(widget()->mapToGlobal(QPoint(200, 150)));
    ASSERT_TRUE(waitFor([view] {
        return widget()->underMouse() && inputLatch.empty() && view->idle() && mouse.position == vec2(200, 150);
    }));
    const auto right = [](QEvent::Type type, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(200, 150), Qt::RightButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(widget(), &event);
    };
    right(QEvent::MouseButtonPress, Qt::RightButton);
    ASSERT_TRUE(waitFor([view] { return inputLatch.empty() && mouse.right && !view->idle(); }));
    widget()->resize(420, 300);
    ASSERT_TRUE(waitFor([view] { return view->width == 420; }));
    EXPECT_TRUE(mouseRead.right && inputLatch.empty()) << "the resize recorded the button up";
    ASSERT_TRUE(waitFor([] { return inputLatch.empty(); }));
    EXPECT_TRUE(mouse.right && !view->idle());
    right(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_TRUE(waitFor([view] { return inputLatch.empty() && view->idle(); }));
    widget()->resize(400, 300);
    EXPECT_TRUE(waitFor([view] { return view->width == 400; }));
}

// Scenes replaced outside the frame loop (no context current) free their
// GPU objects in the view's context: five loads of a drawn scene leave no
// more live buffer and texture names than one.
TEST(GLWidget, ReplacedScenesFreeTheirGpuObjects) {
    GLView* view = widget()->view;
    QTemporaryDir dir;
    const std::string file = dir.filePath("spheres.tl").toStdString();
    Mesh* seed = Mesh::Icosahedron();
    Tool sphere(Mesh::Sphere(seed, 3, false, true), mat4(), pbr(), false);
    delete seed;
    for (int i = 0; i < 3; ++i)
        view->scene->addObject(&sphere, mat4::Translation(float(i), 0, 0), Scene::HangTop, false);
    ASSERT_TRUE(view->save(file));
    const auto loadAndDraw = [&] {
        widget()->doneCurrent();
        ASSERT_TRUE(view->load(file));
        view->redraw = 1;
        const std::uint32_t drawn = Element::GlobalUpdate;
        ASSERT_TRUE(waitFor([&] { return Element::GlobalUpdate != drawn; }));
    };
    const auto liveNames = [] {
        widget()->makeCurrent();
        QOpenGLFunctions* f = widget()->context()->functions();
        int n = 0;
        for (GLuint name = 1; name < 4096; ++name) n += f->glIsBuffer(name) + f->glIsTexture(name);
        widget()->doneCurrent();
        return n;
    };
    loadAndDraw();
    const int once = liveNames();
    for (int i = 0; i < 4; ++i) loadAndDraw();
    EXPECT_LE(liveNames(), once);
}

// Deleted while no context is current, the widget must still free the
// view's framebuffers in its own context and leave no GL error there.
TEST(GLWidget, DeletingAWidgetThatRenderedFreesItsObjectsInItsContext) {
    QOpenGLContext* context = widget()->context();
    const GLuint framebuffer = widget()->view->fboScene->name();
    QOffscreenSurface surface;
    surface.setFormat(context->format());
    surface.create();
    GLenum error = GL_INVALID_OPERATION;
    GLboolean framebufferLeft = GL_TRUE;
    QObject::connect(context, &QOpenGLContext::aboutToBeDestroyed, [&] {
        ASSERT_TRUE(context->makeCurrent(&surface));
        error = context->functions()->glGetError();
        framebufferLeft = context->functions()->glIsFramebuffer(framebuffer);
        context->doneCurrent();
    });
    widget()->doneCurrent();
    delete theWidget;
    theWidget = nullptr;
    EXPECT_TRUE(error == GL_NO_ERROR && !framebufferLeft && framebuffer != 0);
    EXPECT_TRUE(GLAtom::screen == nullptr && gl == nullptr);
}

int main(int argc, char** argv) {
    const bool showOnly = argc == 2 && QByteArray(argv[1]) == "--show";
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    QApplication* app = tltest::makeWindowApplication(argc, argv);
    if (showOnly) {
        GLWidget shown(nullptr);
        shown.show();
        return app->exec();
    }
    initShaderResources();
    qel::initIconResources();
    const int result = RUN_ALL_TESTS();
    delete theWidget;
    return result;
}
