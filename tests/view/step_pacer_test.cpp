// The pace of a gesture's steps, played on recorded runs of motions without a
// view: each frame takes the motions waiting in a latch through the pacer as
// the frame loop does, and a step costs what the test says.

#include "view/step_pacer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "view/input_latch.h"
#include "view/keyboard.h"

using namespace qel;

namespace {

constexpr float Brush = 160.0f;  // spacing 20, widest 80

StepPacer::Gesture stroke(float brush = Brush) {
    StepPacer::Gesture g;
    g.stroke = true;
    g.brushSize = brush;
    g.inside = [](const vec2& p) { return p.x > 0.0f && p.x < 800.0f && p.y > 0.0f && p.y < 600.0f; };
    return g;
}

StepPacer::Gesture transform() {
    StepPacer::Gesture g = stroke();
    g.stroke = false;
    g.folds = true;
    return g;
}

// A pacer that has seen a gesture's step cost `stepMs` and a drawing of
// `drawMs`, at the start of a frame.
StepPacer pacerAt(double stepMs, double drawMs = 0.0) {
    StepPacer p;
    p.drawingTook(drawMs);
    p.stepTaken(stepMs, true);
    p.startFrame();
    return p;
}

// What the frames made of a run.
struct Played {
    std::vector<vec2> steps;         // where each step was taken
    std::vector<int> stepsPerFrame;  // the steps of each frame
    vec2 pointer;                    // where the pointer was left
};

// Plays the motions waiting in `latch` from `at` through `pacer` for at
// most `frames` frames, each step costing `stepMs`: a frame takes the
// motions the pacer gives it, and each that takes a step costs its time.
Played play(StepPacer& pacer, InputLatch& latch, const StepPacer::Gesture& g, vec2 at, double stepMs, int frames = 1) {
    Played p;
    for (int f = 0; f < frames && (latch.motionWaits() || pacer.chasing()); ++f) {
        pacer.startFrame();
        int steps = 0;
        vec2 to;
        while (pacer.next(g, latch, at, to)) {
            const bool follows = pacer.follows(latch);
            if (!pacer.skips(g, latch, at, to, follows)) {
                p.steps.push_back(to);
                pacer.stepTaken(stepMs, true);
                ++steps;
            }
            at = to;
        }
        p.stepsPerFrame.push_back(steps);
    }
    p.pointer = at;
    return p;
}

// `n` motions `step` pixels apart to the right of `from`.
void straight(InputLatch& latch, vec2 from, int n, float step) {
    for (int k = 1; k <= n; ++k) latch.motion(vec2(from.x + step * float(k), from.y));
}

}  // namespace

// Steps that keep up: a stroke is sampled every eighth of the brush radius
// along its path, a transform at every motion, whatever the frame's budget.
TEST(StepPacer, StepsThatKeepUpTakeTheUsualPace) {
    InputLatch latch;
    straight(latch, vec2(100, 100), 20, 5.0f);
    StepPacer pacer = pacerAt(10.0);
    const Played p = play(pacer, latch, stroke(), vec2(100, 100), 10.0);
    EXPECT_EQ(pacer.spacing(), 20.0f);
    ASSERT_EQ(p.steps.size(), 5u);
    for (std::size_t k = 0; k < p.steps.size(); ++k) EXPECT_EQ(p.steps[k].x, 100.0f + 20.0f * float(k + 1));

    straight(latch, vec2(100, 100), 9, 5.0f);
    StepPacer moving = pacerAt(10.0);
    const Played m = play(moving, latch, transform(), vec2(100, 100), 10.0);
    EXPECT_FALSE(moving.folding());
    EXPECT_EQ(m.steps.size(), 9u);
}

// The budget: 100 ms, or the drawing's time when that is longer; a step
// starts while the steps so far are within it.
TEST(StepPacer, TheBudgetIsTheLongerOfItsOwnAndTheDrawingsTime) {
    EXPECT_EQ(StepPacer::BudgetMs, 100.0);
    StepPacer pacer = pacerAt(40.0, 30.0);
    EXPECT_EQ(pacer.budget(), 100.0);
    pacer.drawingTook(250.0);
    EXPECT_EQ(pacer.budget(), 250.0);
    pacer.drawingTook(30.0);
    for (int k = 0; k < 2; ++k) pacer.stepTaken(40.0, true);
    EXPECT_FALSE(pacer.spent());
    pacer.stepTaken(40.0, true);
    EXPECT_TRUE(pacer.spent());
    // A hovering step counts in the frame but says nothing of a gesture's
    // cost.
    pacer.stepTaken(1.0, false);
    EXPECT_EQ(pacer.stepMs(), 40.0);
    EXPECT_EQ(pacer.stepsMs(), 121.0);
}
