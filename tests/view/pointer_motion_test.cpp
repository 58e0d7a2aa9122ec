// Pointer motions between frames: every motion event of a stroke reaches its
// gesture in order, so that a stroke whose events all arrive inside one slow
// frame draws the same curve, and sculpts with the same samples, as the same
// events spread over one frame each, while its steps keep up (when they do
// not: stroke_pace_test.cpp).

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "curves/curve.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/fake_id_reader_util.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/input_latch.h"
#include "view/mouse.h"
#include "view/step_pacer.h"
#include "view/stroke_path_util.h"

using namespace qel;
using test::largestDifference;
using test::zigzag;

namespace {

constexpr int X = 400, Y = 300;

// A stroke of motion events from (X, Y) to the right and down, one pixel
// step apart as a quick hand gives them.
std::vector<vec2> strokePath(int n) {
    std::vector<vec2> path;
    for (int k = 1; k <= n; ++k) path.emplace_back(float(X + 3 * k), float(Y + k));
    return path;
}

// Delivers the motions of a pressed stroke and releases it: all inside one
// frame, or a frame after each.
void deliver(test::FrameDriver& drive, const std::vector<vec2>& path, bool oneFrame) {
    drive.buttonEvent(vec2(X, Y), true, false);
    drive.frame();
    for (const vec2& p : path) {
        drive.motionEvent(p);
        if (!oneFrame) drive.frame();
    }
    if (oneFrame) drive.frame();
}

void release(test::FrameDriver& drive, const std::vector<vec2>& path) {
    drive.buttonEvent(path.back(), false, false);
    drive.frame();
    drive.frame();
}

using Release = void (*)(test::FrameDriver&, const std::vector<vec2>&);

// What a drawn stroke left: its stamps' pixels and the points of the curve
// of the tool under creation.
struct Drawing {
    std::vector<std::pair<int, int>> stamps;
    std::vector<vec3> curve;
};

template <typename R = Release>
Drawing draw(const std::vector<vec2>& path, bool oneFrame, R finish = release) {
    GLView view(800, 600);
    view.buildMatrices();
    view.setSymmetry(false, false, false, false, false, false, 6);
    test::FrameDriver drive(view);
    view.setActiveTool(GLView::CreateTube, true);
    view.setActionMode(GLView::ModeAssembly);
    view.setAssemblyAction(GLView::ActionDraw);
    drive.move(vec2(X, Y));
    drive.frame();
    deliver(drive, path, oneFrame);
    finish(drive, path);
    Drawing d;
    for (const AStroke& s : view.assemblor.strokes)
        for (const ABrush& b : s.stamps) d.stamps.emplace_back(b.x, b.y);
    const auto* tube = view.activeTool ? dynamic_cast<const Tube*>(view.activeTool->element) : nullptr;
    if (tube && tube->path)
        for (const CurveVertex& v : tube->path->vertices) d.curve.push_back(v.position);
    return d;
}

// The samples of a Move stroke pressed on a curve under (X, Y), read before
// its release, and the curve it left.
struct Sculpted {
    std::vector<vec3> samples;
    std::vector<vec3> curve;
};

// The pointer rests at (X, Y) before the press, or where `polled` says the
// cursor's last poll found it.
template <typename R = Release>
Sculpted sculpt(const std::vector<vec2>& path, bool oneFrame, float brush, R finish = release,
                vec2 polled = vec2(X, Y)) {
    GLView view(800, 600);
    view.buildMatrices();
    view.setSymmetry(false, false, false, false, false, false, 6);
    test::FrameDriver drive(view);
    view.setActionMode(GLView::ModeSculpt);
    view.setSculptAction(Sculptor::Move);
    view.setBrushSize(brush);
    const vec3 p = view.unproject(float(X), float(Y), 0.5f);
    Curve* c = new Curve({p - vec3(1, 0, 0), p, p + vec3(1, 0, 0)}, false);
    c->initialize(Element::ResizeKeep);
    c->centre = vec3(0, 0, 0);
    c->setSize(1.0f);
    for (CurveVertex& v : c->vertices) v.radius = 0.25f;
    Tool source(c, mat4::Identity(), pbr(), false);
    Tool* t = view.scene->addObject(&source, mat4::Identity(), Scene::HangTop, false);
    view.scene->toList();
    fakeid::Pixel& pixel = drive.reader->pixels[{X, Y}];
    pixel.stencil = 1;
    pixel.depth = 0.5f;
    pixel.ids[0] = {std::uint32_t(view.scene->findID(t)), 0xffffffffu, 0};
    pixel.normal[0] = vec3(0, 0, 1);
    for (const vec2 at : {vec2(X - 5, Y), polled}) {
        drive.move(at);
        drive.frame();
    }
    deliver(drive, path, oneFrame);
    Sculpted s;
    EXPECT_EQ(view.sculptors.size(), 1u);
    if (!view.sculptors.empty())
        for (const SBrush& b : view.sculptors[0]->samples) s.samples.push_back(b.point);
    finish(drive, path);
    for (const CurveVertex& v : static_cast<const Curve*>(t->element)->vertices) s.curve.push_back(v.position);
    return s;
}

void expectSame(const std::vector<vec3>& a, const std::vector<vec3>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_LE(length(a[i] - b[i]), 1e-5f) << i;
}

}  // namespace

TEST(PointerMotion, AStrokeInsideOneFrameDrawsTheCurveOfTheSameStrokeOverManyFrames) {
    const std::vector<vec2> path = strokePath(30);
    const Drawing spread = draw(path, false);
    const Drawing packed = draw(path, true);
    ASSERT_GE(spread.stamps.size(), path.size());
    EXPECT_EQ(packed.stamps, spread.stamps);
    ASSERT_GE(spread.curve.size(), 3u);
    expectSame(packed.curve, spread.curve);
}

TEST(PointerMotion, ASculptStrokeInsideOneFrameTakesTheSamplesOfTheSameStrokeOverManyFrames) {
    const std::vector<vec2> path = strokePath(20);
    // A brush small enough to take a sample at every motion.
    const Sculpted spread = sculpt(path, false, 8.0f);
    const Sculpted packed = sculpt(path, true, 8.0f);
    ASSERT_GE(spread.samples.size(), path.size());
    expectSame(packed.samples, spread.samples);
    expectSame(packed.curve, spread.curve);
}

// Quick motions come faster than any frame: a stroke samples its path once
// per spacing (an eighth of the brush radius) whatever the frames are, so a
// slow frame sculpts as a fast one does, with a handful of samples.
TEST(PointerMotion, ASculptStrokeSamplesItsPathByTheBrushSpacingAtAnyFrameRate) {
    const std::vector<vec2> path = strokePath(60);  // 3.16 pixels a motion
    const float brush = 80.0f;                      // 10 pixels apart
    const Sculpted spread = sculpt(path, false, brush);
    const Sculpted packed = sculpt(path, true, brush);
    // The press's sample, then one each 4 motions.
    EXPECT_EQ(spread.samples.size(), 1u + path.size() / 4);
    expectSame(packed.samples, spread.samples);
    expectSame(packed.curve, spread.curve);
}

// The window system merged a stroke's motions into one, and the release
// came further on: the gesture still follows the pointer to the merged
// motion and to the release, as it does when the same points come a frame
// apart.
TEST(PointerMotion, AStrokeKeepsItsMergedMotionAndItsReleasePosition) {
    const vec2 merged(X + 90, Y + 30), end(X + 150, Y + 50);
    const auto stroke = [&](bool oneFrame) {
        return oneFrame ? std::vector<vec2>{merged} : std::vector<vec2>{merged, end};
    };
    const auto releaseAt = [&](test::FrameDriver& drive, const std::vector<vec2>&) {
        drive.buttonEvent(end, false, false);
        drive.frame();
        drive.frame();
    };
    const Drawing drawn = draw(stroke(true), true, releaseAt);
    std::vector<int> xs;
    for (const auto& stamp : drawn.stamps) xs.push_back(stamp.first);
    EXPECT_EQ(xs, (std::vector<int>{X, X + 90, X + 150}));
    const Sculpted packed = sculpt(stroke(true), true, 8.0f, releaseAt);
    const Sculpted spread = sculpt(stroke(false), false, 8.0f, releaseAt);
    ASSERT_GE(packed.samples.size(), 2u);
    expectSame(packed.curve, spread.curve);
}

// A slow frame polled the cursor further along the stroke before the press
// reached the view, and picked there: the stroke still starts with the
// pickings where it was pressed, as when the pointer rested there.
TEST(PointerMotion, APressBehindThePolledPointerStartsItsStrokeWhereItWasPressed) {
    const std::vector<vec2> path = strokePath(20);
    const Sculpted rested = sculpt(path, true, 8.0f);
    const Sculpted polledAhead = sculpt(path, true, 8.0f, release, path[12]);
    ASSERT_GE(rested.samples.size(), path.size());
    expectSame(polledAhead.samples, rested.samples);
    expectSame(polledAhead.curve, rested.curve);
}

namespace {

// Each gesture step costs this many milliseconds of the steps' clock, as a
// stamp on a heavy mesh does: counted, not timed.
double stepCostMs = 0.0;
double countedMs = 0.0;
double countedClock() { return countedMs += stepCostMs; }

// What a Deform stroke on a ball left, and the frames that took it.
struct Deformed {
    std::vector<vec3> ball;
    int frames = 0;
    // The most step time one frame took.
    double frameStepsMs = 0.0;
    bool endedBeforeItsMotions = false;
};

// How a stroke on the ball is given.
struct BallStroke {
    Sculptor::TAction action = Sculptor::Deform;
    // Its motions and its release all latched before one frame, else a
    // frame after each.
    bool oneFrame = false;
    // What the frames' drawing takes.
    double drawMs = 0.0;
    // Control held from before the press, released after the release.
    bool control = false;
    // Once the press is taken and the rest latched, a window that takes
    // the keyboard appears under the pointer: the pointer leaves the view,
    // the keys are forgotten and the poll reads every key up.
    bool windowChange = false;
    // What the view was left with.
    bool outside = false;
};

// A stroke pressed on the ball under (X, Y) along `path`: its motions a
// frame apart, or all of them and the release latched before one frame,
// after which frames run until the stroke has ended.
Deformed deformBall(const std::vector<vec2>& path, BallStroke& how) {
    GLView view(800, 600);
    view.buildMatrices();
    view.setSymmetry(false, false, false, false, false, false, 6);
    test::FrameDriver drive(view);
    view.setActionMode(GLView::ModeSculpt);
    view.setSculptAction(how.action);
    view.setBrushSize(160.0f);
    // A ball 80 pixels across its radius, its centre under (X, Y).
    const vec3 p = view.unproject(float(X), float(Y), 0.5f);
    const float r = length(view.unproject(float(X + 80), float(Y), 0.5f) - p);
    Mesh* seed = Mesh::Icosahedron();
    Tool source(Mesh::Sphere(seed, 3, false, true), mat4::Identity(), pbr(), false);
    delete seed;
    Tool* t =
        view.scene->addObject(&source, mat4::Translation(p.x, p.y, p.z) * mat4::Scale(r, r, r), Scene::HangTop, false);
    view.scene->toList();
    fakeid::Pixel& pixel = drive.reader->pixels[{X, Y}];
    pixel.stencil = 1;
    pixel.depth = 0.5f;
    pixel.ids[0] = {std::uint32_t(view.scene->findID(t)), 0u, 0};
    pixel.normal[0] = vec3(0, 0, 1);
    if (how.control) {
        drive.keyEvent(Keyboard::KeyControl, true);
        drive.hold({Keyboard::KeyControl});
    }
    for (const vec2 at : {vec2(X - 5, Y), vec2(X, Y)}) {
        drive.move(at);
        drive.frame();
    }
    const auto saved = StepPacer::Clock;
    StepPacer::Clock = countedClock;
    Deformed d;
    view.pacer.drawingTook(how.drawMs);
    drive.buttonEvent(vec2(X, Y), true, false);
    drive.frame();
    for (const vec2& q : path) {
        drive.motionEvent(q);
        if (!how.oneFrame) drive.frame();
    }
    drive.buttonEvent(path.back(), false, false);
    if (how.control) drive.keyEvent(Keyboard::KeyControl, false);
    drive.hold({});
    if (how.windowChange) {
        view.leaveEvent();
        inputLatch.forgetKeys();
    }
    for (; d.frames < 1000 && !(inputLatch.empty() && view.sculptors.empty()); ++d.frames) {
        const double before = countedMs;
        drive.frame();
        // The steps' clock is read twice a step.
        d.frameStepsMs = std::max(d.frameStepsMs, (countedMs - before) / 2);
        if (view.sculptors.empty() && inputLatch.motions() != 0) d.endedBeforeItsMotions = true;
    }
    StepPacer::Clock = saved;
    for (const MeshVertex& v : static_cast<const Mesh*>(t->element)->vertices) d.ball.push_back(v.position);
    how.outside = view.outside;
    return d;
}

}  // namespace

// A Copy Move whose motions and release still wait, its steps 40 ms each,
// when a window that takes the keyboard appears under the pointer: the
// stroke takes the motions and the release recorded before the pointer left
// as they were recorded, and ends where the same stroke ends on fast frames;
// the view counts the pointer outside once they are taken. (Taken as outside
// the view, the waiting motions took no step and the copy stayed in the
// middle of the path.)
TEST(PointerMotion, AWindowChangeLeavesTheMotionsWaitingBeforeItToTheirStroke) {
    const std::vector<vec2> path = zigzag(vec2(X, Y), 60);
    BallStroke fast, changed;
    fast.action = changed.action = Sculptor::CopyMove;
    fast.control = changed.control = true;
    changed.oneFrame = changed.windowChange = true;
    stepCostMs = 0.0;
    const Deformed spread = deformBall(path, fast);
    stepCostMs = 40.0;
    const Deformed left = deformBall(path, changed);
    stepCostMs = 0.0;
    EXPECT_FALSE(left.endedBeforeItsMotions);
    EXPECT_TRUE(changed.outside);
    Mesh* seed = Mesh::Icosahedron();
    std::unique_ptr<Mesh> ball(Mesh::Sphere(seed, 3, false, true));
    delete seed;
    // The copy stays, appended to the ball's own vertices, which moved.
    const std::size_t n = ball->vertices.size();
    ASSERT_EQ(spread.ball.size(), 2 * n);
    ASSERT_EQ(left.ball.size(), spread.ball.size());
    EXPECT_GT(length(spread.ball[0] - ball->vertices[0].position), 0.05f);
    EXPECT_LE(largestDifference(left.ball, spread.ball), 1e-5);
}
