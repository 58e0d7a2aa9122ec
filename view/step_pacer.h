#pragma once
// qel::StepPacer, the plan of a frame's gesture steps. The frame loop takes
// the pointer motions latched since the last frame one by one (InputLatch)
// and asks the pacer, at each, whether the motion takes a step of the
// gesture under way; the steps are timed, and once they pass the frame's
// budget the motions still waiting are left for the next frames. While the
// steps keep up, every motion of a transform is a step and a sculpt stroke
// is sampled every StrokeSpacing along the pointer's path, the same path at
// every frame rate. When they cannot keep up, the pacer plans the frame at
// its first motion from the run of motions waiting, the budget the frame
// has left and what the last step cost: a transform whose result depends
// only on where the pointer ends takes the run as one step to its latest
// motion, and a sculpt stroke spaces its samples wider, up to
// WidestSpacing, so that the run's samples fit into the frame. The samples
// still fall on the path's points, and a frame that cannot take them all
// leaves the rest, with the stroke marked behind, for the next. When even
// the widest spacing cannot take the run within the frame, the stroke does
// not retrace a path that may fold back on itself: it goes the shortest way
// toward the latest motion waiting (the run's motions are taken from the
// latch at once), a sample every widest spacing, and the next frames go on
// toward wherever the hand has got to by then. What a stroke leaves after
// its release is then bounded by how far the hand got ahead of it, not by
// the length of its path, and no sample jumps further than the widest
// spacing from the one before.
//
// The pacer knows the gesture only by what the view tells it at each motion
// (Gesture); it works on the latch it is given, so that a recorded run can
// be played through it without a view.

#include <functional>

#include "core/vec.h"

namespace qel {

class InputLatch;

class StepPacer {
public:
    // What the view tells of the gesture under way at a motion.
    struct Gesture {
        // A sculpt stroke under way with the left button held: its samples
        // are spaced along the pointer's path.
        bool stroke = false;
        // A gesture under way with the left button held whose steps end
        // where the pointer ends, whatever path it took: its waiting
        // motions may be taken as one step.
        bool folds = false;
        // The brush radius in pixels.
        float brushSize = 0.0f;
        // Whether a pointer position lies inside the view.
        std::function<bool(const vec2&)> inside;
    };

    // The time a frame's steps may take at least, in milliseconds.
    static double BudgetMs;
    // The clock the steps and the drawing are timed by, in milliseconds (the
    // steady clock; a test may count a step's cost instead).
    static double (*Clock)();

    // ---- Timing ----
    // A new frame: no step taken yet, nothing planned.
    void startFrame() {
        stepsMs_ = 0.0;
        planned_ = false;
    }
    // The frame's drawing starts and ends; the steps taken within it (the
    // motions that follow the frame's pickings) are left out of its time.
    void drawingStarts();
    void drawingEnds();
    // The last frame's drawing took `ms`, its steps left out.
    void drawingTook(double ms) { drawMs_ = ms; }
    // A step of the input state machine took `ms`; `gesture`: the step of a
    // gesture under way (its press and its release included), whose cost is
    // what the frame expects of its next steps.
    void stepTaken(double ms, bool gesture);
    // The time the frame's steps may take: BudgetMs, or the drawing's time
    // when that is longer, so that a backlog behind a heavy scene drains in
    // at least half of each frame.
    double budget() const;
    // The frame's steps have used up the budget.
    bool spent() const { return stepsMs_ > budget(); }
    double stepsMs() const { return stepsMs_; }
    double drawMs() const { return drawMs_; }
    double stepMs() const { return stepMs_; }

    // ---- The motions ----
    // Where the pointer, at `pointer`, goes next in the frame's run of
    // motions for the gesture `g`: the next point on its way toward the
    // latest motion while a stroke goes the shortest way there (the frame's
    // first call plans the frame), else the motion at the front of `latch`,
    // taken from it. False when none is left, or when the frame's steps
    // have used up the budget (the motions then wait, in order, for the next
    // frames, and the stroke is behind). What is left of the run when it
    // takes no sample (restIsFree) is still gone, so that what waits behind
    // it (a release, a key) is next.
    bool next(const Gesture& g, InputLatch& latch, vec2 pointer, vec2& to);
    // Whether the pointer has more of the run to go after the position
    // next() gave: a motion waits in `latch`, or the stroke is on its way.
    bool follows(const InputLatch& latch) const;
    // The stroke is on its way toward a motion taken from the latch: the
    // frames go on there before they take anything else from it.
    bool chasing() const { return chase_; }
    // A step that was no motion of the pointer alone (a key, a button, the
    // wheel) sampled the stroke: its next spacing starts there.
    void sampled() { travel_ = 0.0f; }
    // Whether the motion that moved the pointer from `from` to `to` takes
    // no step of the gesture `g`, at the frame's pace (planned at the first
    // such motion of the frame): a sculpt stroke's motion that leaves the
    // pointer less than spacing() along its path from the stroke's last
    // sample (a widened spacing looks at the motion right behind,
    // `follows`, and samples the last point within it; a motion that would
    // carry a paced stroke's sample past the widest spacing stops `to`
    // there, and the pointer goes on to the motion afterwards). While the
    // frame folds a transform's motions, `to` first goes on to the latest
    // motion of the run waiting in `latch` (short of one outside the view),
    // which then takes the step.
    bool skips(const Gesture& g, InputLatch& latch, vec2 from, vec2& to, bool follows);

    // ---- The frame's plan ----
    // The pointer's travel between two samples of the stroke this frame.
    float spacing() const { return spacing_; }
    // The frame takes a transform's waiting motions as one step.
    bool folding() const { return fold_; }
    // The last frame left motions of the gesture waiting: a stroke catching
    // up keeps its widest spacing to the end of the backlog.
    bool behind() const { return behind_; }

    // The pointer's travel between two samples of a sculpt stroke whose
    // steps keep up: an eighth of the brush radius, at least one pixel. A
    // stroke samples the same path at every frame rate, and a slow frame
    // follows a quick stroke with a few samples instead of a pick and a step
    // per motion.
    static float StrokeSpacing(float brushSize);
    // The widest travel between two samples of a stroke whose steps cannot
    // keep up: half the brush radius R. A Deform stamp moves each point by
    // w(t) d, d the step and w(t) = 1 - 3t^2 + 2t^3 the falloff at t, the
    // point's distance from the stamp over R; w falls at most 1.5 / R (at
    // t = 1/2), so the map stays one to one, and folds nothing over, while
    // |d| < 2R/3. A step of R/2 keeps its volume factor at 1/4 or more,
    // leaving room for pixels at the stroke's depth that span more than
    // those of the radius.
    static float WidestSpacing(float brushSize);

private:
    // The frame's pace for the gesture, from the motions waiting in the run
    // behind the pointer (at `to`, come from `from`), the budget the frame
    // has left and the last step's cost. When the steps at the usual pace
    // fit, nothing changes. Otherwise a gesture that folds takes the run as
    // one step to its latest motion, and a sculpt stroke widens its spacing
    // so that the run's samples fit, up to WidestSpacing. A cost not yet
    // seen leaves the plan to the next motion. A stroke that cannot take the
    // run at the widest spacing within the frame goes the shortest way to
    // its latest motion (absorb).
    void plan(const Gesture& g, InputLatch& latch, vec2 from, vec2 to);
    // The run's motions inside the view taken from `latch`: the stroke goes
    // on toward the latest of them.
    void absorb(const Gesture& g, InputLatch& latch);
    // The next point on the stroke's way toward target_ from `pointer`
    // (next()).
    bool chase(const Gesture& g, InputLatch& latch, vec2 pointer, vec2& to);
    // The rest of the stroke's run from `pointer`, on its way and through
    // the motions waiting, is shorter than what is left of the spacing: it
    // takes no sample, and costs no step.
    bool restIsFree(const Gesture& g, const InputLatch& latch, vec2 pointer) const;

    double stepsMs_ = 0.0;  // the frame's steps so far
    double drawMs_ = 0.0;   // the last frame's drawing, its steps left out
    double stepMs_ = 0.0;   // the last step of a gesture under way
    double drawStart_ = 0.0, drawSteps_ = 0.0;
    // The pointer's path since the stroke's last sample, in pixels.
    float travel_ = 0.0f;
    bool planned_ = false;
    float spacing_ = 0.0f;
    bool fold_ = false;
    bool behind_ = false;
    // The stroke goes the shortest way toward target_, the latest motion it
    // took from the latch; sample_: the point next() gave is a sample.
    bool chase_ = false;
    vec2 target_{0, 0};
    bool sample_ = false;
};

}  // namespace qel
