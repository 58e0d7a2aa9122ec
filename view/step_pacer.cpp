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

// A point on the way from `from` to `ideal`, no further than it: its offset
// from `from` cut to whole pixels, so that the pixel the pickings read is
// no further than the way's length from the one they read at `from` (both
// on whole pixels, as the window system gives motions); `ideal` itself when
// the way is shorter than a pixel.
vec2 toward(vec2 from, vec2 ideal) {
    const vec2 whole(std::trunc(ideal.x - from.x), std::trunc(ideal.y - from.y));
    return whole == vec2(0, 0) ? ideal : from + whole;
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

bool StepPacer::next(const Gesture& g, InputLatch& latch, vec2 pointer, vec2& to) {
    sample_ = false;
    if (spent() && !restIsFree(g, latch, pointer)) {
        behind_ = chase_ || latch.motionWaits();
        return false;
    }
    if (chase_) return chase(g, latch, pointer, to);
    if (!latch.takeMotion(to)) {
        behind_ = false;
        return false;
    }
    return true;
}

bool StepPacer::restIsFree(const Gesture& g, const InputLatch& latch, vec2 pointer) const {
    if (!g.stroke || !planned_ || fold_) return false;
    const vec2 end = chase_ ? target_ : pointer;
    return double(travel_) + length(end - pointer) + latch.run(end).length < double(spacing_);
}

bool StepPacer::follows(const InputLatch& latch) const { return chase_ || latch.motionWaits(); }

bool StepPacer::chase(const Gesture& g, InputLatch& latch, vec2 pointer, vec2& to) {
    // A gesture that is no stroke any more goes straight where the hand
    // went.
    if (!g.stroke) {
        chase_ = false;
        to = target_;
        return true;
    }
    if (!planned_) plan(g, latch, pointer, pointer);
    const double way = length(target_ - pointer);
    const double room = std::max(double(spacing_) - double(travel_), 1e-2);
    if (way <= room) {
        chase_ = false;
        to = target_;
        return true;
    }
    to = toward(pointer, pointer + (target_ - pointer) * float(room / way));
    sample_ = true;
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
    // A point of the way toward the latest motion is a sample.
    if (sample_) {
        sample_ = false;
        travel_ = 0.0f;
        return false;
    }
    const float d = float(length(to - from));
    const float usual = StrokeSpacing(g.brushSize), widest = WidestSpacing(g.brushSize);
    // A paced stroke's sample never jumps further than the widest spacing:
    // a motion that would carry it past is sampled where the spacing ends,
    // and the pointer goes on to the motion (or on its way) afterwards. (At
    // the usual pace a sample falls on the motion that passes the spacing.)
    if (travel_ + d > widest && (spacing_ > usual || travel_ >= usual)) {
        if (!chase_) {
            chase_ = true;
            target_ = to;
        }
        to = toward(from, from + (to - from) * ((widest - travel_) / d));
        travel_ = 0.0f;
        return false;
    }
    travel_ += d;
    bool skip = travel_ < spacing_;
    // A widened spacing is never overshot while the path's points allow:
    // the sample falls on the last point within it.
    vec2 next;
    if (spacing_ > usual && follows && !chase_ && latch.peekMotion(next))
        skip = double(travel_) + length(next - to) <= double(spacing_);
    if (!skip) travel_ = 0.0f;
    return skip;
}

void StepPacer::plan(const Gesture& g, InputLatch& latch, vec2 from, vec2 to) {
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
    // pointer (and on its way toward the latest motion it took) to the
    // latest motion waiting behind it.
    const vec2 end = chase_ ? target_ : to;
    const InputLatch::Run run = latch.run(end);
    const double path = double(travel_) + length(to - from) + length(end - to) + run.length;
    const double steps = g.stroke ? std::floor(path / double(spacing_)) : double(run.motions) + 1.0;
    if (steps <= affordable && !behind && !chase_) return;
    if (g.folds) {
        fold_ = true;
        return;
    }
    if (!g.stroke) return;
    // A stroke on its way, or catching up, keeps its widest spacing to the
    // end of the backlog; else the spacing is just wide enough for the run.
    const double widest = WidestSpacing(g.brushSize);
    spacing_ = float(behind || chase_ ? widest : std::min(widest, path / affordable));
    if (std::floor(path / widest) > affordable) absorb(g, latch);
}

void StepPacer::absorb(const Gesture& g, InputLatch& latch) {
    vec2 next;
    while (latch.peekMotion(next) && g.inside(next)) {
        latch.takeMotion(target_);
        chase_ = true;
    }
}

float StepPacer::StrokeSpacing(float brushSize) { return std::max(1.0f, brushSize / 8.0f); }

float StepPacer::WidestSpacing(float brushSize) { return std::max(StrokeSpacing(brushSize), brushSize / 2.0f); }

}  // namespace qel
