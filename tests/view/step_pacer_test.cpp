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

// A transform whose steps cannot keep up takes the waiting run as one step
// to its latest motion inside the view: the motions past the view's border
// stay in the latch, in order, for the steps after it.
TEST(StepPacer, TheFoldStopsAtTheLastMotionInsideTheView) {
    InputLatch latch;
    straight(latch, vec2(700, 100), 40, 5.0f);  // x 705 .. 900, the border at 800
    StepPacer pacer = pacerAt(40.0);
    vec2 to;
    ASSERT_TRUE(pacer.next(transform(), latch, vec2(700, 100), to));
    EXPECT_FALSE(pacer.skips(transform(), latch, vec2(700, 100), to, pacer.follows(latch)));
    EXPECT_TRUE(pacer.folding());
    EXPECT_EQ(to, vec2(795, 100));
    ASSERT_TRUE(latch.peekMotion(to));
    EXPECT_EQ(to, vec2(800, 100));
    EXPECT_EQ(latch.motions(), 21u);
}

// A stroke whose steps cannot take the run at the usual spacing within the
// frame's budget spaces its samples just wide enough for it: 150 pixels of
// path at three 40 ms steps to the 100 ms budget, a sample every 50, the
// last where the run ends.
TEST(StepPacer, TheWidenedSpacingIsJustWideEnoughForTheWaitingRun) {
    InputLatch latch;
    straight(latch, vec2(100, 100), 30, 5.0f);
    StepPacer pacer = pacerAt(40.0);
    const Played p = play(pacer, latch, stroke(), vec2(100, 100), 40.0);
    EXPECT_EQ(pacer.spacing(), 50.0f);
    ASSERT_EQ(p.steps.size(), 3u);
    EXPECT_EQ(p.steps[0], vec2(150, 100));
    EXPECT_EQ(p.steps[2], vec2(250, 100));
    EXPECT_FALSE(latch.motionWaits());
    EXPECT_FALSE(pacer.behind());
}

// The run a frame plans by ends at the next key or button change: the
// motions behind it belong to later frames. Five motions before a key
// change fit at the usual spacing, whatever waits after it.
TEST(StepPacer, TheWaitingRunStopsAtTheNextKeyOrButtonChange) {
    for (const bool key : {true, false}) {
        InputLatch latch;
        straight(latch, vec2(100, 100), 5, 5.0f);
        if (key)
            latch.key(std::uint8_t('z'), true);
        else
            latch.buttons(vec2(125, 100), true, true);
        straight(latch, vec2(125, 100), 100, 5.0f);
        StepPacer pacer = pacerAt(40.0);
        const Played p = play(pacer, latch, stroke(), vec2(100, 100), 40.0);
        EXPECT_EQ(pacer.spacing(), 20.0f) << key;
        EXPECT_FALSE(pacer.chasing()) << key;
        EXPECT_EQ(p.steps.size(), 1u) << key;
        EXPECT_EQ(p.pointer, vec2(125, 100)) << key;
        EXPECT_FALSE(latch.motionWaits()) << key;
    }
}

// A stroke that fell behind keeps its widest spacing until its backlog is
// taken; a stroke after it starts again at the usual spacing.
TEST(StepPacer, AStrokeAfterOneThatFellBehindStartsAtTheUsualSpacing) {
    InputLatch latch;
    // 400 pixels at three steps a frame: more than the widest spacing takes
    // within the frame's budget.
    straight(latch, vec2(100, 100), 80, 5.0f);
    StepPacer pacer = pacerAt(40.0);
    Played p = play(pacer, latch, stroke(), vec2(100, 100), 40.0);
    EXPECT_EQ(pacer.spacing(), 80.0f);
    EXPECT_TRUE(pacer.behind());
    p = play(pacer, latch, stroke(), p.pointer, 40.0);
    EXPECT_FALSE(latch.motionWaits());
    EXPECT_FALSE(pacer.behind());
    // The next stroke, a few motions a frame from its press.
    pacer.sampled();
    straight(latch, vec2(100, 300), 6, 5.0f);
    p = play(pacer, latch, stroke(), vec2(100, 300), 40.0);
    EXPECT_EQ(pacer.spacing(), 20.0f);
    EXPECT_EQ(p.steps.size(), 1u);
}

// `n` motions of a zigzag from `from`, ten pixels up or down a motion,
// turning every 12, two pixels to the right each; the last.
vec2 zigzag(InputLatch& latch, vec2 from, int n) {
    vec2 at = from;
    for (int k = 1; k <= n; ++k) {
        const int t = (k + 6) % 24;
        const float y = t < 12 ? float(10 * t - 60) : float(60 - 10 * (t - 12));
        at = vec2(from.x + float(2 * k), from.y + y);
        latch.motion(at);
    }
    return at;
}

// A stroke that cannot take the waiting run within the frame even at its
// widest spacing goes the shortest way toward the run's latest motion: its
// samples lie on the straight line there, on whole pixels, no further
// apart than the widest spacing. The frames after go on toward where the
// hand has got to by then; what is left of the way that takes no sample
// costs no step and is gone even once the budget is spent.
TEST(StepPacer, AStrokeThatCannotTakeTheRunAtTheWidestSpacingGoesTheShortestWay) {
    InputLatch latch;
    const vec2 start(100, 300);
    ASSERT_EQ(zigzag(latch, start, 240), vec2(580, 300));  // 2,400 pixels of path
    StepPacer pacer = pacerAt(40.0);
    Played p = play(pacer, latch, stroke(), start, 40.0);
    EXPECT_TRUE(pacer.chasing());
    EXPECT_FALSE(latch.motionWaits());
    ASSERT_EQ(p.steps.size(), 3u);
    vec2 last = start;
    for (const vec2& s : p.steps) {
        EXPECT_EQ(s.x, std::trunc(s.x));
        EXPECT_EQ(s.y, std::trunc(s.y));
        EXPECT_LE(length(s - last), 80.0f);
        EXPECT_LE(std::fabs(s.y - 300.0f), 12.0f) << s.x;
        last = s;
    }
    EXPECT_GT(p.steps.back().x, 320.0f);
    // Meanwhile the hand went on: the next frames head for where it got.
    const vec2 latest = zigzag(latch, vec2(580, 300), 30);
    p = play(pacer, latch, stroke(), p.pointer, 40.0, 3);
    EXPECT_FALSE(pacer.chasing());
    EXPECT_EQ(p.pointer, latest);
    // Three samples and the rest of the way, in one frame.
    EXPECT_EQ(p.stepsPerFrame, std::vector<int>{3});
    for (const vec2& s : p.steps) {
        EXPECT_LE(length(s - last), 80.0f);
        last = s;
    }
}

// A motion that would carry a paced stroke's sample past the widest
// spacing is sampled where that spacing ends, and the pointer goes on to
// the motion afterwards.
TEST(StepPacer, APacedSampleNeverJumpsPastTheWidestSpacing) {
    InputLatch latch;
    // 238 pixels in steps of 7 at three steps a frame: samples 77 pixels
    // apart, the last at 231, the rest of the way taking none.
    straight(latch, vec2(100, 100), 34, 7.0f);
    StepPacer pacer = pacerAt(40.0);
    Played p = play(pacer, latch, stroke(), vec2(100, 100), 40.0);
    ASSERT_EQ(p.steps.size(), 3u);
    EXPECT_GT(pacer.spacing(), 79.0f);
    const vec2 sampled = p.steps.back();
    EXPECT_EQ(sampled, vec2(331, 100));
    EXPECT_EQ(p.pointer, vec2(338, 100));
    // A motion far beyond.
    latch.motion(vec2(600, 100));
    p = play(pacer, latch, stroke(), p.pointer, 40.0);
    EXPECT_EQ(p.steps, (std::vector<vec2>{vec2(411, 100), vec2(491, 100), vec2(571, 100)}));
    EXPECT_EQ(p.pointer, vec2(600, 100));
}
