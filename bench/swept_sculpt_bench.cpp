// Swept element symmetries and sculpting against their floors, each case
// timing its parts side by side in one loop and reporting the ratios as
// counters (times in milliseconds on the thread's own clock: means over the
// iterations for the symmetries, each part at its best for the Deform
// step).
//
//   Ratios/SectionSymmetries   one symmetries call in section mode, no stroke
//                              under way (the 512 x 512 cell search runs), of
//                              a tube (tube_ms) and of a revoluton (rev_ms),
//                              against the floor of one flat-array pass
//                              keeping the nearest of 262,144 stored points
//                              to the point (floor_ms).
//                              Goal: tube_ms, rev_ms <= 2 and
//                              tube_ratio, rev_ratio <= 4.
//   Ratios/SectionDeformStep   one cross-section Deform step of a whole
//                              stroke (working curve made, sculpted, copied
//                              back and mapped, dropped) on a tube whose
//                              profile has 100,000 vertices (step_ms),
//                              beside the profile's own Deform step
//                              (own_ms) and a raw copy of the profile's
//                              vertex and edge arrays (copy_ms).
//                              Goal: extra_ratio = (step - own) / copy <= 4.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/bench_goals.h"
#include "curves/curve.h"
#include "elements/revoluton.h"
#include "elements/swept_anchor.h"
#include "elements/swept_fill.h"
#include "elements/tube.h"
#include "scene/sculptor.h"

namespace {

// The thread's own clock (bench_clock.h): the time it waits for a core
// that other processes hold is no part's.
struct Clock {
    static double now() { return benchclock::threadMs(); }
};

double millis(double a, double b) { return b - a; }

constexpr int Item = (3 << 16) + 5;  // carrier edge 3, cross-section edge 5

struct SymmetryLists {
    std::vector<qel::symmetry::TSymmetry> list;
    std::vector<qel::vec3> points;
    std::vector<qel::mat3> frames;
    std::vector<float> scales;
    void clear() {
        points.clear();
        frames.clear();
        scales.clear();
    }
};

void sectionSymmetries(qel::Element& e, SymmetryLists& l, const qel::vec3& p) {
    l.clear();
    e.symmetries(l.list, p, qel::vec3(0, 0, 1), true, false, false, false, false, false, 2, l.points, l.frames,
                 l.scales, Item, true);
    benchmark::DoNotOptimize(l.points.data());
}

// The floor: the nearest of the stored points, kept as the cell search
// keeps it (strictly nearer replaces).
std::size_t nearestStored(const std::vector<qel::vec3>& stored, const qel::vec3& p) {
    float best = 0.0f;
    std::size_t at = 0;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const float dx = stored[i].x - p.x, dy = stored[i].y - p.y, dz = stored[i].z - p.z;
        const float d = dx * dx + dy * dy + dz * dz;
        if (i == 0 || d < best) {
            best = d;
            at = i;
        }
    }
    return at;
}

void SectionSymmetries(benchmark::State& state) {
    auto* tube = new qel::Tube(qel::Curve::Circle(64, false), qel::Curve::Circle(32, false));
    auto* rev = new qel::Revoluton(qel::Curve::Segment(16, qel::Element::ResizeMean), qel::Curve::Circle(32, false));
    tube->copy(1);
    rev->copy(1);
    // The profile off the axis.
    for (qel::CurveVertex& v : rev->profile->vertices) v.position = v.position + qel::vec3(0.5f, 0, 0);
    std::vector<qel::vec3> stored(std::size_t(qel::SweptCellSteps) * qel::SweptCellSteps);
    for (std::size_t i = 0; i < stored.size(); ++i)
        stored[i] = qel::vec3(float(i % 512) / 511.0f, float(i / 512) / 511.0f, 0.25f);
    const qel::vec3 p(0.3f, 0.4f, 0.1f);
    SymmetryLists l;
    double tubeMs = 0, revMs = 0, floorMs = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        sectionSymmetries(*tube, l, p);
        const auto t1 = Clock::now();
        sectionSymmetries(*rev, l, p);
        const auto t2 = Clock::now();
        benchmark::DoNotOptimize(nearestStored(stored, p));
        const auto t3 = Clock::now();
        tubeMs += millis(t0, t1);
        revMs += millis(t1, t2);
        floorMs += millis(t2, t3);
    }
    const double n = double(state.iterations());
    state.counters["tube_ms"] = tubeMs / n;
    state.counters["rev_ms"] = revMs / n;
    state.counters["floor_ms"] = floorMs / n;
    state.counters["tube_ratio"] = tubeMs / floorMs;
    state.counters["rev_ratio"] = revMs / floorMs;
    qel::Element::drop(tube);
    qel::Element::drop(rev);
}

// A whole stroke in one step: the gesture ends, so the working curve is
// made and dropped within the call.
struct Stroke {
    qel::Sculptor s;
    std::vector<qel::Sculptor*> list{&s};
    Stroke(int onSection, float radius) {
        s.action = qel::Sculptor::Deform;
        s.select = qel::Sculptor::SelectElement;
        s.onSection = std::uint8_t(onSection);
        s.state = qel::Gesture::Ended;
        s.samples.resize(2);
        for (qel::SBrush& b : s.samples) {
            b.radius = radius;
            b.itemId = Item;
        }
    }
    // From a towards b on even runs, back on odd ones.
    void aim(const qel::vec3& a, const qel::vec3& b, bool back) {
        s.samples[0].point = back ? b : a;
        s.samples[1].point = back ? a : b;
    }
};

void SectionDeformStep(benchmark::State& state) {
    auto* tube = new qel::Tube(qel::Curve::Circle(16, false), qel::Curve::Circle(100000, false));
    tube->copy(1);
    qel::Curve& profile = *tube->profile;
    // Fix the anchor on cell (3, 5), as the view's symmetries call does.
    SymmetryLists l;
    sectionSymmetries(*tube, l, qel::vec3(0, 0, 0));
    const qel::vec3 v0 = profile.vertices[0].position;
    const qel::vec3 laid = qel::tubeGridPoint(tube->anchorFrame, tube->anchor, profile.toLocal(v0));
    const float r = 1e-3f;
    Stroke onTube(1, r), own(1, r / float(qel::length(tube->anchorFrame.column(0))));
    std::vector<qel::CurveVertex> vertices(profile.vertices.size());
    std::vector<qel::CurveEdge> edges(profile.edges.size());
    // Each part at its best over the iterations: a part that another
    // process slowed (or whose memory it contended for) in one iteration
    // runs unhindered in another.
    benchclock::Best step, ownStep, copy;
    bool back = false;
    for (auto _ : state) {
        onTube.aim(laid, laid + qel::vec3(0, 2e-4f, 0), back);
        own.aim(v0, v0 + qel::vec3(0, 2e-4f, 0), back);
        back = !back;
        const auto t0 = Clock::now();
        tube->sculpt(onTube.list);
        const auto t1 = Clock::now();
        profile.sculpt(own.list);
        const auto t2 = Clock::now();
        std::copy(profile.vertices.begin(), profile.vertices.end(), vertices.begin());
        std::copy(profile.edges.begin(), profile.edges.end(), edges.begin());
        benchmark::DoNotOptimize(vertices.data());
        benchmark::DoNotOptimize(edges.data());
        benchmark::ClobberMemory();
        const auto t3 = Clock::now();
        step.add(millis(t0, t1));
        ownStep.add(millis(t1, t2));
        copy.add(millis(t2, t3));
    }
    state.counters["step_ms"] = step.ms();
    state.counters["own_ms"] = ownStep.ms();
    state.counters["copy_ms"] = copy.ms();
    state.counters["extra_ratio"] = (step.ms() - ownStep.ms()) / copy.ms();
    state.counters["vertices"] = double(profile.vertices.size());
    qel::Element::drop(tube);
}

}  // namespace

BENCHMARK(SectionSymmetries)->Name("Ratios/SectionSymmetries")->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(SectionDeformStep)->Name("Ratios/SectionDeformStep")->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCH_GOAL(benchgoals::counterAtMost("Ratios/SectionSymmetries", "tube_ms", 2));
BENCH_GOAL(benchgoals::counterAtMost("Ratios/SectionSymmetries", "rev_ms", 2));
BENCH_GOAL(benchgoals::counterAtMost("Ratios/SectionSymmetries", "tube_ratio", 4));
BENCH_GOAL(benchgoals::counterAtMost("Ratios/SectionSymmetries", "rev_ratio", 4));
BENCH_GOAL(benchgoals::counterAtMost("Ratios/SectionDeformStep", "extra_ratio", 4));
