// The space order of a large Pattern result, against opening that result
// from a scene file. Two results of about 2.3 million faces, each the whole
// mesh of a Pattern 0 stroke (every face replaced by its panel of seven):
//
//   Plate   a flat square plate of 405 x 405 quads, 2 across, with a relief
//           of a thousandth of its width (2,296,350 faces, 1,148,986
//           vertices)
//   Band    two rings of 164,000 vertices, 10 apart and 2 across, joined
//           by faces 10 long (2,296,000 faces, 1,312,000 vertices): faces
//           long against the spacing of their vertices, whose space order
//           is itself scattered by the count of jumps
//
//   Reorder/<mesh>          the space order a stroke's end gives the result
//                           as the stroke left it (orderInSpace, linked:
//                           its links carried), on a copy made untimed
//   ReorderRebuilt/<mesh>   the same with the rebuild after it, as the
//                           builders that end with one order (a pattern,
//                           a subdivision, a conversion)
//   Open/<mesh>             Scene::load of a scene file holding the result
//                           (the scene freed untimed)
//   OrderIfScattered/<mesh> what each later stroke end of the Release,
//                           ReleaseTwoSamples and TopologyStroke groups
//                           asks of the result: counter reorders, the
//                           reorders it made per call; over_floor, the
//                           median of each call over the count of jumps
//                           timed after it
//   Check/<mesh>            importScattered, the count of jumps every such
//                           stroke end made before deciding
//
// Goals: a reorder at most the time of opening the same mesh; a later
// stroke end's question at most 1.5 x the count of jumps timed next to it,
// with no reorder.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <cmath>
#include <memory>
#include <string>

#include "bench/bench_clock.h"
#include "bench/bench_goals.h"
#include "bench/bench_meshes.h"
#include "mesh/mesh.h"
#include "scene/scene.h"

namespace {

enum Shape { Plate, Band };

qel::Mesh* plate(int n = 405) {
    auto* m = new qel::Mesh();
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
            m->vertexAdd(qel::vec3(2.0f * float(i) / float(n) - 1, 2.0f * float(j) / float(n) - 1,
                                   0.002f * float((7 * i + 13 * j) % 5) / 5));
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int a = j * (n + 1) + i;
            m->faceAdd(a, a + 1, a + n + 2);
            m->faceAdd(a, a + n + 2, a + n + 1);
        }
    return m;
}

qel::Mesh* band(int n = 164000) {
    auto* m = new qel::Mesh();
    for (const float z : {5.0f, -5.0f})
        for (int i = 0; i < n; ++i) {
            const double a = 6.283185307179586 * i / n;
            m->vertexAdd(qel::vec3(float(std::cos(a)), float(std::sin(a)), z));
        }
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        m->faceAdd(i, n + i, j);
        m->faceAdd(n + i, n + j, j);
    }
    return m;
}

// The Pattern 0 result of the shape, made once: the panel replacement of
// the stroke, its own order and rebuild included.
qel::Mesh& result(Shape shape) {
    static qel::Mesh* made[2] = {nullptr, nullptr};
    qel::Mesh*& m = made[shape];
    if (!m) {
        m = shape == Plate ? plate() : band();
        m->initialize(qel::Element::ResizeKeep);
        const std::unique_ptr<qel::Mesh> panel(qel::Mesh::TrianglePattern1(0.7f, false));
        m->replaceFaces(panel.get());
    }
    return *m;
}

// The result saved in a scene file, once per shape, in a directory that
// lives as long as the process.
const std::string& sceneFile(Shape shape) {
    static QTemporaryDir dir;
    static std::string paths[2];
    std::string& path = paths[shape];
    if (path.empty()) {
        path = dir.filePath(shape == Plate ? "plate.tl" : "band.tl").toStdString();
        benchmeshes::saveOneMeshScene(result(shape).clone(), path);
    }
    return path;
}

void faces(benchmark::State& state, const qel::Mesh& m) {
    state.counters["faces"] = double(m.faceCount());
    state.counters["vertices"] = double(m.vertexCount());
}

void reorder(benchmark::State& state, Shape shape, bool linked) {
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<qel::Mesh> m(result(shape).clone());
        state.ResumeTiming();
        m->orderInSpace(linked);
        benchmark::DoNotOptimize(m->faces[0].v[0]);
        state.PauseTiming();
        m.reset();  // the freeing is not part of the reorder
        state.ResumeTiming();
    }
    faces(state, result(shape));
}

void open(benchmark::State& state, Shape shape) {
    const std::string& path = sceneFile(shape);
    for (auto _ : state) {
        qel::Scene scene;
        benchmark::DoNotOptimize(scene.load(path));
        state.PauseTiming();
        scene.init();  // the freeing is not part of the load
        state.ResumeTiming();
    }
    faces(state, result(shape));
}

// Each question followed by the count of jumps, both on the thread's own
// clock, so that the two see the machine alike (paired: best_ms, floor_ms,
// over_floor).
void orderIfScattered(benchmark::State& state, Shape shape) {
    qel::Mesh& m = result(shape);
    double reorders = 0;
    benchclock::Paired paired;
    for (auto _ : state) {
        bool reordered = false;
        const double ms = benchclock::timed([&] { reordered = m.orderIfScattered(true); });
        reorders += reordered ? 1 : 0;
        paired.add(ms, benchclock::timed([&] { benchmark::DoNotOptimize(m.importScattered()); }));
    }
    paired.report(state);
    state.counters["reorders"] = benchmark::Counter(reorders, benchmark::Counter::kAvgIterations);
    faces(state, m);
}

void check(benchmark::State& state, Shape shape) {
    const qel::Mesh& m = result(shape);
    for (auto _ : state) benchmark::DoNotOptimize(m.importScattered());
    faces(state, m);
}

}  // namespace

#define ORDER_BENCHMARKS(shape, label)                       \
    BENCHMARK_CAPTURE(reorder, shape, shape, true)           \
        ->Name("Reorder/" label)                             \
        ->Unit(benchmark::kMillisecond)                      \
        ->UseRealTime()                                      \
        ->Iterations(3);                                     \
    BENCHMARK_CAPTURE(reorder, shape##Rebuilt, shape, false) \
        ->Name("ReorderRebuilt/" label)                      \
        ->Unit(benchmark::kMillisecond)                      \
        ->UseRealTime()                                      \
        ->Iterations(3);                                     \
    BENCHMARK_CAPTURE(open, shape, shape)                    \
        ->Name("Open/" label)                                \
        ->Unit(benchmark::kMillisecond)                      \
        ->UseRealTime()                                      \
        ->Iterations(3);                                     \
    BENCHMARK_CAPTURE(orderIfScattered, shape, shape)        \
        ->Name("OrderIfScattered/" label)                    \
        ->Unit(benchmark::kMillisecond)                      \
        ->UseRealTime()                                      \
        ->Iterations(5);                                     \
    BENCHMARK_CAPTURE(check, shape, shape)->Name("Check/" label)->Unit(benchmark::kMillisecond)->UseRealTime()

ORDER_BENCHMARKS(Plate, "Plate");
ORDER_BENCHMARKS(Band, "Band");

BENCH_GOAL(benchgoals::ratio("Reorder/Plate", 1.0, "Open/Plate"));
BENCH_GOAL(benchgoals::ratio("Reorder/Band", 1.0, "Open/Band"));
BENCH_GOAL(benchgoals::counterAtMost("OrderIfScattered/Plate", "over_floor", 1.5));
BENCH_GOAL(benchgoals::counterAtMost("OrderIfScattered/Band", "over_floor", 1.5));
BENCH_GOAL(benchgoals::counterAtMost("OrderIfScattered/Plate", "reorders", 0));
BENCH_GOAL(benchgoals::counterAtMost("OrderIfScattered/Band", "reorders", 0));
