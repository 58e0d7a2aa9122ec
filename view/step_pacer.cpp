#include "view/step_pacer.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "view/input_latch.h"

namespace qel {

namespace {

double steadyMilliseconds() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

double StepPacer::BudgetMs = 100.0;
double (*StepPacer::Clock)() = steadyMilliseconds;

void StepPacer::drawingStarts() {
    drawStart_ = Clock();
    drawSteps_ = stepsMs_;
}

void StepPacer::drawingEnds() { drawMs_ = std::max(0.0, Clock() - drawStart_ - (stepsMs_ - drawSteps_)); }

void StepPacer::stepTaken(double ms, bool gesture) {
    stepsMs_ += ms;
    // A hovering pointer's steps say nothing of a gesture's.
    if (gesture) stepMs_ = ms;
}

double StepPacer::budget() const { return std::max(BudgetMs, drawMs_); }

bool StepPacer::next(InputLatch& latch, vec2& to) {
    if (spent()) {
        behind_ = latch.motionWaits();
        return false;
    }
    if (!latch.takeMotion(to)) {
        behind_ = false;
        return false;
    }
    return true;
}

bool StepPacer::skips(const Gesture& g, InputLatch& latch, vec2 from, vec2& to, bool follows) {
    if (!g.stroke && !g.folds) {
        travel_ = 0.0f;
        return false;
    }
    if (!planned_) plan(g, latch, from, to);
    if (fold_) {
        // The pointer goes on to the latest motion of the run, or the last
        // before it leaves the view, and the step is taken there: the
        // pickings the frame runs in between see it where the step left it.
        vec2 next;
        while (follows && latch.peekMotion(next) && g.inside(next)) latch.takeMotion(to);
        travel_ = 0.0f;
        return false;
    }
    travel_ += float(length(to - from));
    bool skip = travel_ < spacing_;
    // A widened spacing is never overshot while the path's points allow:
    // the sample falls on the last point within it.
    vec2 next;
    if (spacing_ > StrokeSpacing(g.brushSize) && follows && latch.peekMotion(next))
        skip = double(travel_) + length(next - to) <= double(spacing_);
    if (!skip) travel_ = 0.0f;
    return skip;
}

void StepPacer::plan(const Gesture& g, const InputLatch& latch, vec2 from, vec2 to) {
    const bool behind = behind_;
    fold_ = false;
    spacing_ = g.stroke ? StrokeSpacing(g.brushSize) : 0.0f;
    // Steps that cost nothing keep up with anything; a cost not yet seen
    // is looked at again after the next step.
    planned_ = stepMs_ > 0.0;
    if (!planned_) return;
    // The steps the frame may still take: one more starts while the steps
    // so far are within the budget.
    const double left = budget() - stepsMs_;
    const double affordable = left < 0.0 ? 1.0 : std::floor(left / stepMs_) + 1.0;
    // The path still to follow: from the stroke's last sample through the
    // pointer to the latest motion waiting behind it.
    const InputLatch::Run run = latch.run(to);
    const double path = double(travel_) + length(to - from) + run.length;
    const double steps = g.stroke ? std::floor(path / double(spacing_)) : double(run.motions) + 1.0;
    if (steps <= affordable && !behind) return;
    if (g.folds) {
        fold_ = true;
        return;
    }
    if (!g.stroke) return;
    const double widest = WidestSpacing(g.brushSize);
    spacing_ = float(behind ? widest : std::min(widest, path / affordable));
}

float StepPacer::StrokeSpacing(float brushSize) { return std::max(1.0f, brushSize / 8.0f); }

float StepPacer::WidestSpacing(float brushSize) { return std::max(StrokeSpacing(brushSize), brushSize / 2.0f); }

}  // namespace qel
