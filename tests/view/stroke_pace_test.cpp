// Strokes whose steps cost more than the frames have for them: a transform
// takes the motions waiting for it as one step to the latest, a sculpt
// stroke spaces its samples wider, up to half the brush radius, and goes
// the shortest way toward the latest motion when even that cannot take its
// path, so that a stroke ends within a frame or two of its release however
// long it went on, and keys pressed after the release act right after it. The frames run
// the whole frame loop, with the drawing and each step counted on the step
// clock, not timed.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/sculptor.h"
#include "scene/tool.h"
#include "view/fake_id_reader_util.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/input_latch.h"
#include "view/keyboard.h"
#include "view/mouse.h"
#include "view/step_pacer.h"
#include "view/stroke_path_util.h"

using namespace qel;
using test::largestDifference;
using test::zigzag;

namespace {

constexpr int X = 400, Y = 300;

}  // namespace

namespace {

// What each sculpt step on the ball costs of the counted clock, as a stamp
// on a heavy mesh does; the steps taken, the longest step between two
// samples of the first gesture, over the brush radius, and the pixels of
// its samples.
double stepCostMs = 0.0;
int sculptSteps = 0;
double widestStep = 0.0;
std::vector<vec2> samplePixels;

// A mesh whose every sculpt step costs stepCostMs: counted, not timed.
class CostlyMesh : public Mesh {
public:
    explicit CostlyMesh(const Mesh& m) : Mesh(m) {}
    void sculpt(std::vector<Sculptor*>& sculptors) override {
        test::CountedClock::nowMs += stepCostMs;
        ++sculptSteps;
        if (!sculptors.empty() && sculptors[0]->samples.size() >= 2) {
            const std::vector<SBrush>& s = sculptors[0]->samples;
            const SBrush &P = s[s.size() - 2], &L = s.back();
            widestStep = std::max(widestStep, length(L.point - P.point) / double(P.radius));
            samplePixels.emplace_back(L.screen.x, L.screen.y);
        }
        Mesh::sculpt(sculptors);
    }
    Mesh* clone() override { return new CostlyMesh(*this); }
};

std::unique_ptr<Mesh> plainBall() {
    std::unique_ptr<Mesh> seed(Mesh::Icosahedron());
    return std::unique_ptr<Mesh>(Mesh::Sphere(seed.get(), 3, false, true));
}

// A sculpt stroke on a ball 80 pixels across its radius, its front under
// (X, Y), with a brush of `brush` pixels, pressed at (X, Y) (with Control
// held for `control`), through whole frames (MainLoop) whose drawing takes
// `drawMs` of the counted clock, its stamps placed by `projection`.
class BallStroke {
public:
    BallStroke(Sculptor::TAction action, bool control, double drawMs, float brush = 160.0f,
               ABrush::TSelection projection = ABrush::SameDepth) {
        view.buildMatrices();
        view.brushProjection = projection;
        view.setSymmetry(false, false, false, false, false, false, 6);
        view.drawCostMs = drawMs;
        drive = std::make_unique<test::FrameDriver>(view);
        view.setActionMode(GLView::ModeSculpt);
        view.setSculptAction(action);
        view.setBrushSize(brush);
        const vec3 front = view.unproject(float(X), float(Y), 0.5f);
        const float r = length(view.unproject(float(X + 80), float(Y), 0.5f) - front);
        const vec3 c = front + normalize(view.unproject(float(X), float(Y), 1.0f) - front) * r;
        Tool source(new CostlyMesh(*plainBall()), mat4::Identity(), pbr(), false);
        ball = view.scene->addObject(&source, mat4::Translation(c.x, c.y, c.z) * mat4::Scale(r, r, r), Scene::HangTop,
                                     false);
        view.scene->toList();
        fakeid::Pixel& pixel = drive->reader->pixels[{X, Y}];
        pixel.stencil = 1;
        pixel.depth = 0.5f;
        pixel.ids[0] = {std::uint32_t(view.scene->findID(ball)), 0u, 0};
        pixel.normal[0] = vec3(0, 0, 1);
        if (control) drive->hold({Keyboard::KeyControl});
        for (const vec2 at : {vec2(X - 5, Y), vec2(X, Y)}) {
            drive->move(at);
            drive->frame();
        }
        firstStep = sculptSteps;
        widestStep = 0.0;
        samplePixels.clear();
        drive->buttonEvent(vec2(X, Y), true, false);
        frame();
        if (!view.sculptors.empty() && !view.sculptors[0]->samples.empty())
            brushRadius = view.sculptors[0]->samples[0].radius;
    }
    // One frame; the step time it took.
    double frame() {
        const int before = sculptSteps;
        drive->frame();
        return stepCostMs * (sculptSteps - before);
    }
    bool ended() const { return view.sculptors.empty(); }
    const Mesh& mesh() const { return *static_cast<const Mesh*>(ball->element); }

    test::DrivenView view{800, 600};
    std::unique_ptr<test::FrameDriver> drive;
    Tool* ball = nullptr;
    float brushRadius = 0.0f;  // in the ball's element coordinates
    int firstStep = 0;         // sculptSteps before the press
};

// A face's corners.
using Face = std::array<std::int32_t, 3>;

// How a stroke went after its release, and what it left.
struct Ending {
    int frames = 0;             // from the first frame after the release until the stroke has ended
    double stepsMs = 0.0;       // the step time of those frames
    double releaseMs = 0.0;     // the counted time from the release until the stroke has ended
    int steps = 0;              // the stroke's steps, press and release included
    double mostFrameMs = 0.0;   // the most step time one frame took
    double widestStep = 0.0;    // over the brush radius
    std::vector<vec2> samples;  // the pixels of the samples after the press's
    std::vector<vec3> ball;
    std::vector<Face> faces;
};

// Motions along `path` from the press: each latched once the counted clock
// has passed its time (`interval` ms apart), every one latched before the
// next frame when `interval` is 0, or each followed by a frame of its own
// when it is negative; the release follows the last motion. Frames then run
// until the stroke has ended.
Ending stroke(BallStroke& b, const std::vector<vec2>& path, double interval, int keyAfterRelease = 0) {
    Ending e;
    const auto frame = [&] {
        const double ms = b.frame();
        e.mostFrameMs = std::max(e.mostFrameMs, ms);
        return ms;
    };
    const double start = test::CountedClock::nowMs;
    for (std::size_t next = 0; next < path.size();) {
        if (interval > 0.0) {
            for (; next < path.size() && start + interval * double(next + 1) <= test::CountedClock::nowMs; ++next)
                b.drive->motionEvent(path[next]);
            if (next == path.size()) break;
            const double before = test::CountedClock::nowMs;
            frame();
            // A frame with nothing to draw waits for the next motion.
            if (test::CountedClock::nowMs == before)
                test::CountedClock::nowMs = std::max(before, start + interval * double(next + 1));
            continue;
        }
        b.drive->motionEvent(path[next++]);
        if (interval < 0.0) frame();
    }
    b.drive->buttonEvent(path.back(), false, false);
    if (keyAfterRelease) b.drive->keyEvent(keyAfterRelease, true);
    const double released = test::CountedClock::nowMs;
    for (; e.frames < 2000 && !b.ended(); ++e.frames) e.stepsMs += frame();
    e.releaseMs = test::CountedClock::nowMs - released;
    e.steps = sculptSteps - b.firstStep;
    e.widestStep = widestStep;
    e.samples = samplePixels;
    for (const MeshVertex& v : b.mesh().vertices) e.ball.push_back(v.position);
    for (const MeshFace& f : b.mesh().faces) e.faces.push_back({f.v[0], f.v[1], f.v[2]});
    return e;
}

// `n` motions three pixels apart round a circle of radius 100 through
// (X, Y).
std::vector<vec2> circle(int n) {
    std::vector<vec2> path;
    for (int k = 1; k <= n; ++k) {
        const double a = 3.0 * k / 100.0;
        path.emplace_back(float(X + 100.0 * std::sin(a)), float(Y - 100.0 + 100.0 * std::cos(a)));
    }
    return path;
}

// A zigzag of `n` motions from (X, Y) at a hand's pace, 60 pixels up and
// down: ten pixels up or down a motion, turning every 12, while drifting a
// pixel a motion to the right and back, turning every 60.
std::vector<vec2> wideZigzag(int n) {
    std::vector<vec2> path;
    for (int k = 1; k <= n; ++k) {
        const int t = (k + 6) % 24, s = (k + 30) % 120;
        const float y = t < 12 ? float(10 * t - 60) : float(60 - 10 * (t - 12));
        const float x = s < 60 ? float(s - 30) : float(30 - (s - 60));
        path.emplace_back(float(X) + x, float(Y) + y);
    }
    return path;
}

// `n` motions three pixels apart to the left of (X, Y).
std::vector<vec2> straightLeft(int n) {
    std::vector<vec2> path;
    for (int k = 1; k <= n; ++k) path.emplace_back(float(X - 3 * k), float(Y));
    return path;
}

// The samples a stroke along `path` takes between its press and its
// release when `spacing` pixels of the path are the most between two: one
// at each point that the next would take past the spacing.
int samplesWithin(const std::vector<vec2>& path, double spacing) {
    int samples = 0;
    double travel = 0.0;
    vec2 at(X, Y);
    for (std::size_t k = 0; k < path.size(); ++k) {
        travel += length(path[k] - at);
        at = path[k];
        const bool last = k + 1 == path.size();
        if (last ? travel >= spacing : travel + length(path[k + 1] - at) > spacing) {
            ++samples;
            travel = 0.0;
        }
    }
    return samples;
}

vec3 unitNormal(const std::vector<vec3>& p, const Face& f) {
    return normalize(cross(p[std::size_t(f[1])] - p[std::size_t(f[0])], p[std::size_t(f[2])] - p[std::size_t(f[0])]));
}

// The faces `slow` turned over, facing back from where the untouched ball's
// faced, where `fast` leaves them upright. A face within a fifth (about 12
// degrees) of edge-on counts as neither: the ball is coarse.
int turnedOver(const Ending& slow, const Ending& fast) {
    const std::unique_ptr<Mesh> ball = plainBall();
    std::vector<vec3> untouched;
    for (const MeshVertex& v : ball->vertices) untouched.push_back(v.position);
    int turned = 0;
    for (std::size_t f = 0; f < ball->faces.size(); ++f) {
        const MeshFace& face = ball->faces[f];
        const vec3 n = unitNormal(untouched, {face.v[0], face.v[1], face.v[2]});
        if (dot(unitNormal(fast.ball, fast.faces[f]), n) > 0.2 && dot(unitNormal(slow.ball, slow.faces[f]), n) < -0.2)
            ++turned;
    }
    return turned;
}

Ending fastFrames(Sculptor::TAction action, bool control, const std::vector<vec2>& path, float brush = 160.0f) {
    stepCostMs = 0.0;
    BallStroke b(action, control, 0.0, brush);
    return stroke(b, path, -1.0);
}

}  // namespace

// A quick Deform stroke whose motions all wait behind one frame, on a mesh
// whose every step costs 40 ms. While the drawing takes 200 ms the frames
// have time for six steps, and the samples are spaced further apart along
// the path to take them, never more than half the brush radius: the ball
// keeps the shape the same stroke on fast frames gives it within a tenth of
// the brush radius. With 30 ms of drawing the frames have the 100 ms budget
// for three steps, too few for the path even at half the brush radius: the
// stroke goes the shortest way to the last motion, a sample every half
// radius on the straight line there. Neither turns the ball over anywhere
// the fast stroke leaves it upright. (One step to the last waiting motion
// once the budget is spent jumps twice the radius and turns the front of
// the ball over.)
TEST(StrokePace, AStrokeWhoseStepsCannotKeepUpSpacesItsSamplesWiderAndTurnsNoFaceOver) {
    const std::vector<vec2> path = zigzag(vec2(X, Y), 60);
    const float brush = 80.0f;
    ASSERT_EQ(StepPacer::BudgetMs, 100.0);
    const Ending fast = fastFrames(Sculptor::Deform, false, path, brush);
    stepCostMs = 40.0;
    BallStroke quick(Sculptor::Deform, false, 30.0, brush);
    const Ending slow = stroke(quick, path, 0.0);
    BallStroke heavyScene(Sculptor::Deform, false, 200.0, brush);
    const Ending heavy = stroke(heavyScene, path, 0.0);
    stepCostMs = 0.0;
    // A sample every 10 pixels on fast frames (each third motion); one
    // every 40 at most on frames of six steps: with the press and the
    // release, as many steps as the path needs at that spacing.
    EXPECT_GE(fast.steps, int(path.size() / 3));
    EXPECT_EQ(heavy.steps, samplesWithin(path, 40.0) + 2);
    EXPECT_EQ(slow.mostFrameMs, 3 * 40.0);
    EXPECT_EQ(heavy.mostFrameMs, 6 * 40.0);
    // The straight way from the first motion to the last, 177 pixels: four
    // samples (on whole pixels, a little short of 40 apart), the rest of the
    // way with the release.
    ASSERT_EQ(slow.samples.size(), 5u);
    const vec2 from = path.front(), to = path.back();
    const vec2 along = (to - from) * (1.0f / length(to - from));
    vec2 last(X, Y);
    for (const vec2& p : slow.samples) {
        const vec2 off = p - from;
        EXPECT_LE(std::fabs(along.x * off.y - along.y * off.x), 1.5f) << p.x << " " << p.y;
        EXPECT_LE(length(p - last), 40.0f) << p.x << " " << p.y;
        last = p;
    }
    EXPECT_EQ(slow.samples.back(), to);
    // One frame of samples, one for the rest of the way and one for the
    // release; or one while the drawing takes 200 ms and one for the
    // release.
    EXPECT_LE(slow.frames, 3);
    EXPECT_LE(heavy.frames, 2);
    EXPECT_LE(slow.widestStep, 0.5);
    EXPECT_LE(heavy.widestStep, 0.5);
    ASSERT_EQ(slow.ball.size(), fast.ball.size());
    const std::unique_ptr<Mesh> ball = plainBall();
    double moved = 0.0;
    for (std::size_t v = 0; v < fast.ball.size(); ++v)
        moved = std::max(moved, length(fast.ball[v] - ball->vertices[v].position));
    EXPECT_GT(moved, 0.4 * quick.brushRadius);
    EXPECT_EQ(turnedOver(slow, fast), 0);
    EXPECT_EQ(turnedOver(heavy, fast), 0);
    EXPECT_LT(largestDifference(heavy.ball, fast.ball), 0.1 * quick.brushRadius);
}

// At a hand's pace, the motions arriving in the frames' own time, a stroke
// whose steps cost more than a frame has (40 ms steps, 30 ms of drawing a
// frame) ends within two frames and half a second of steps after its
// release, however long it went on: a Move or Copy Move takes the motions
// waiting for it as one step, a Deform spaces its samples to take them
// within the frame. The Move ends where the same motions on fast frames
// end.
TEST(StrokePace, AStrokeAtAHandsPaceEndsWithinTwoFramesOfItsRelease) {
    for (const Sculptor::TAction action : {Sculptor::Move, Sculptor::CopyMove, Sculptor::Deform}) {
        const bool copy = action == Sculptor::CopyMove;
        const Sculptor::TAction selected = copy ? Sculptor::Move : action;
        for (const double speed : {600.0, 1200.0}) {
            for (const double seconds : {2.0, 10.0}) {
                const std::vector<vec2> path = circle(int(speed * seconds / 3.0));
                const Ending fast = fastFrames(selected, copy, path);
                stepCostMs = 40.0;
                BallStroke b(selected, copy, 30.0);
                const Ending paced = stroke(b, path, 3000.0 / speed);
                stepCostMs = 0.0;
                const std::string what = "action " + std::to_string(int(action)) + " at " + std::to_string(int(speed)) +
                                         " px/s for " + std::to_string(int(seconds)) + " s";
                EXPECT_LE(paced.frames, 2) << what;
                EXPECT_LE(paced.stepsMs, 500.0) << what;
                ASSERT_EQ(paced.ball.size(), fast.ball.size()) << what;
                if (action == Sculptor::Deform) {
                    EXPECT_LE(paced.widestStep, 0.5) << what;
                } else {
                    EXPECT_LE(largestDifference(paced.ball, fast.ball), 1e-4 * b.brushRadius) << what;
                }
            }
        }
    }
}

// Motions latched during one long frame, 3,200 and 12,800 of them round a
// circle (more than the latch keeps: those are thinned): a Move or Copy
// Move takes them as one step, a Deform, whose steps cannot take the path
// within the frame even at its widest spacing, half the brush radius, as
// many steps as the straight way to the last motion needs at that spacing.
TEST(StrokePace, MotionsLatchedDuringOneLongFrameCostATransformOneStep) {
    for (const int n : {3200, 12800}) {
        const std::vector<vec2> path = circle(n);
        for (const Sculptor::TAction action : {Sculptor::Move, Sculptor::CopyMove, Sculptor::Deform}) {
            const bool copy = action == Sculptor::CopyMove;
            const Ending fast = action == Sculptor::Deform ? Ending() : fastFrames(Sculptor::Move, copy, path);
            stepCostMs = 40.0;
            BallStroke b(copy ? Sculptor::Move : action, copy, 30.0);
            const Ending latched = stroke(b, path, 0.0);
            stepCostMs = 0.0;
            const std::string what = std::to_string(n) + " motions, action " + std::to_string(int(action));
            if (action == Sculptor::Deform) {
                // The press, the samples, the release.
                const double way = length(path.front() - vec2(X, Y)) + length(path.back() - path.front());
                EXPECT_GE(latched.steps, 2) << what;
                EXPECT_LE(latched.steps, int(std::ceil(way / 79.0)) + 2) << what;
                EXPECT_LE(latched.frames, 2) << what;
                EXPECT_LE(latched.widestStep, 0.5) << what;
                continue;
            }
            // The press, the step to the last motion, the release.
            EXPECT_EQ(latched.steps, 3) << what;
            EXPECT_LE(latched.frames, 2) << what;
            EXPECT_LE(largestDifference(latched.ball, fast.ball), 1e-4 * b.brushRadius) << what;
        }
    }
}

namespace {

// A step clock on which each step costs readCostMs: every read moves it on
// by that much, and a step reads it twice.
double readCostMs = 0.0;
double readClockMs = 0.0;
double readClock() { return readClockMs += readCostMs; }

// How an assembly drag is made: its action, its stamps' projection, and
// whether the grid snaps.
struct AssemblyDrag {
    GLView::TAssemblyAction action = GLView::ActionMove;
    ABrush::TSelection projection = ABrush::SameDepth;
    bool grid = false;
};

// An assembly drag (a Move unless `how` says otherwise) of the ball under
// (X, Y) along `path`, every motion latched before one frame or each
// followed by a frame of its own, each step costing `stepMs`: the ball's
// matrix at the release, and the steps from the press to the release.
std::pair<mat4, int> assemblyMove(const std::vector<vec2>& path, bool oneFrame, double stepMs,
                                  const AssemblyDrag& how = AssemblyDrag()) {
    GLView view(800, 600);
    view.buildMatrices();
    view.setSymmetry(false, false, false, false, false, false, 6);
    test::FrameDriver drive(view);
    view.setActionMode(GLView::ModeAssembly);
    view.setAssemblyAction(how.action);
    view.brushProjection = how.projection;
    view.setSnapGrid(how.grid);
    Tool source(plainBall().release(), mat4::Identity(), pbr(), false);
    const vec3 p = view.unproject(float(X), float(Y), 0.5f);
    Tool* ball = view.scene->addObject(&source, mat4::Translation(p.x, p.y, p.z), Scene::HangTop, false);
    view.scene->toList();
    drive.reader->pixels[{X, Y}] = {
        1, 0.5f, {{{std::uint32_t(view.scene->findID(ball)), 0, 0}, {}}}, {vec3(0, 0, 1), vec3()}};
    for (const vec2 at : {vec2(X - 5, Y), vec2(X, Y)}) {
        drive.move(at);
        drive.frame();
    }
    const auto saved = StepPacer::Clock;
    StepPacer::Clock = readClock;
    readCostMs = stepMs;
    readClockMs = 0.0;
    drive.buttonEvent(vec2(X, Y), true, false);
    drive.frame();
    for (const vec2& q : path) {
        drive.motionEvent(q);
        if (!oneFrame) drive.frame();
    }
    drive.buttonEvent(path.back(), false, false);
    for (int frame = 0; frame < 100 && !view.idle(); ++frame) drive.frame();
    const int steps = stepMs > 0.0 ? int(readClockMs / (2 * stepMs) + 0.5) : 0;
    readCostMs = 0.0;
    StepPacer::Clock = saved;
    return {ball->matrix(), steps};
}

}  // namespace

// An assembly Move is a translation by where the pointer went: motions that
// the steps cannot keep up with are one step to the latest of them, which
// leaves the object where the same motions on fast frames do.
TEST(StrokePace, AnAssemblyMoveTakesTheMotionsWaitingForItAsOneStep) {
    const std::vector<vec2> path = circle(3200);
    const auto fast = assemblyMove(path, false, 0.0);
    const auto slow = assemblyMove(path, true, 40.0);
    // The press, the step to the last motion, the release.
    EXPECT_EQ(slow.second, 3);
    for (int k = 0; k < 16; ++k) EXPECT_NEAR(slow.first[k], fast.first[k], 1e-4f) << k;
    EXPECT_GT(length(fast.first.translation()), 0.1);
}

// Only a drag whose result depends on where the pointer ends, not on its
// path, takes the motions its steps cannot keep up with as one step: an
// assembly or sculpt Move at Same Depth without grid snapping. A Rotate,
// Scale or Rotate-Scale works about a centre that moves with the part or
// refuses steps that jump, a Move on another projection places each step
// from the one before, a Move snapped to the grid rounds each step: each
// follows the path.
TEST(StrokePace, OnlyAMoveAtSameDepthWithoutGridSnappingIsFolded) {
    const std::vector<vec2> path = circle(30);
    const int everyMotion = int(path.size()) + 2;
    EXPECT_EQ(assemblyMove(path, true, 40.0).second, 3);
    for (const GLView::TAssemblyAction action :
         {GLView::ActionRotate, GLView::ActionScale, GLView::ActionRotateScale}) {
        AssemblyDrag how;
        how.action = action;
        EXPECT_EQ(assemblyMove(path, true, 40.0, how).second, everyMotion) << action;
    }
    for (const ABrush::TSelection projection :
         {ABrush::Screen, ABrush::OnObject, ABrush::OnNormal, ABrush::NormalPlane, ABrush::TangentPlane}) {
        AssemblyDrag how;
        how.projection = projection;
        EXPECT_EQ(assemblyMove(path, true, 40.0, how).second, everyMotion) << projection;
    }
    AssemblyDrag snapped;
    snapped.grid = true;
    EXPECT_EQ(assemblyMove(path, true, 40.0, snapped).second, everyMotion);
    // The same for a sculpt Move: the press, the step to the last motion
    // and the release at Same Depth; on the others a stroke spaced along
    // its path, 90 pixels for the frame's three steps.
    for (const ABrush::TSelection projection : {ABrush::SameDepth, ABrush::OnObject, ABrush::TangentPlane}) {
        stepCostMs = 40.0;
        BallStroke b(Sculptor::Move, false, 30.0, 160.0f, projection);
        const Ending e = stroke(b, path, 0.0);
        stepCostMs = 0.0;
        EXPECT_EQ(e.steps, projection == ABrush::SameDepth ? 3 : 5) << projection;
    }
}

// A sculpt Rotate or Scale turns or scales its part by each step from the
// sample before, and a Smooth or Pinch acts where each sample lands: what
// they leave depends on the path, so at Same Depth too their waiting
// motions are never taken as one step to the latest, but spaced along the
// path as a Move on another projection is, 90 pixels for the frame's three
// steps.
TEST(StrokePace, ASculptRotateScaleSmoothOrPinchAtSameDepthIsNotFolded) {
    const std::vector<vec2> path = circle(30);
    for (const Sculptor::TAction action : {Sculptor::Rotate, Sculptor::Scale, Sculptor::Smooth, Sculptor::Pinch}) {
        stepCostMs = 40.0;
        BallStroke b(action, false, 30.0);
        const Ending e = stroke(b, path, 0.0);
        stepCostMs = 0.0;
        EXPECT_EQ(e.steps, 5) << action;
        EXPECT_LE(e.frames, 2) << action;
    }
}

// A key pressed right after a stroke's release waits behind the stroke's
// motions, and acts in the first frame after the stroke has ended, with the
// view idle (where Undo acts too): here 1, which turns the sculpt action
// into Smooth while it is held.
TEST(StrokePace, AKeyPressedAfterTheReleaseActsInTheFirstFrameAfterTheStrokeEnds) {
    for (const Sculptor::TAction action : {Sculptor::Move, Sculptor::Deform}) {
        stepCostMs = 40.0;
        BallStroke b(action, false, 30.0);
        const Ending e = stroke(b, circle(4000), 2.5, '1');
        EXPECT_LE(e.frames, 2) << action;
        EXPECT_EQ(b.view.sculptAction, action);
        b.frame();
        stepCostMs = 0.0;
        EXPECT_EQ(b.view.sculptAction, Sculptor::Smooth) << action;
        EXPECT_TRUE(b.view.idle());
    }
}

// The drawing time the step budget reads is what the frame loop measured
// of its drawing alone: the steps taken within the drawing (the motions
// that follow the frame's pickings) are left out, so a frame's budget does
// not grow with the steps of the one before.
TEST(StrokePace, TheFrameLoopTimesTheDrawingWithoutTheStepsTakenWithinIt) {
    stepCostMs = 40.0;
    BallStroke b(Sculptor::Deform, false, 30.0);
    for (const vec2& p : straightLeft(120)) b.drive->motionEvent(p);
    int frames = 0;
    for (; frames < 20 && (inputLatch.motionWaits() || b.view.pacer.chasing()); ++frames) {
        const double steps = b.frame();
        EXPECT_EQ(b.view.pacer.drawMs(), 30.0) << frames;
        EXPECT_LE(steps, 3 * 40.0) << frames;
    }
    stepCostMs = 0.0;
    // 360 pixels at 80 a sample: three samples a frame.
    EXPECT_EQ(frames, 2);
}

// A Deform zigzag at a hand's pace, 60 pixels up and down, turning every
// 12 motions, at 1,200 pixels a second for 10 s, with stamps that cost
// more than the frames (30 ms of drawing) have for the path even at the
// widest spacing: the stroke goes the shortest way toward where the hand
// has got to instead of retracing the zigzag, and ends within two frames
// and half a second of stamps after its release, no sample further than
// half the brush radius from the one before. (Along the path, 80 ms stamps
// ended 6.4 s after the release, 160 ms stamps 22.6 s.) A straight stroke
// of 0.3 s at the same speed has no shorter way: what is left after its
// release is how far the hand got ahead.
TEST(StrokePace, AZigzagWhoseStepsCannotKeepUpEndsWithinTwoFramesOfItsRelease) {
    const std::vector<vec2> path = wideZigzag(1200);
    for (const double cost : {40.0, 80.0, 160.0}) {
        stepCostMs = cost;
        BallStroke b(Sculptor::Deform, false, 30.0);
        const Ending e = stroke(b, path, 25.0 / 3.0);
        BallStroke s(Sculptor::Deform, false, 30.0);
        const Ending straight = stroke(s, straightLeft(120), 2.5);
        stepCostMs = 0.0;
        EXPECT_LE(e.frames, 2) << cost;
        EXPECT_LE(e.stepsMs, 500.0) << cost;
        // A sample falls at the widest spacing at most (1e-5: the rounding
        // of the samples' points).
        EXPECT_LE(e.widestStep, 0.5 + 1e-5) << cost;
        EXPECT_LE(straight.widestStep, 0.5 + 1e-5) << cost;
        EXPECT_LE(straight.frames, cost < 100.0 ? 2 : 4) << cost;
    }
}
