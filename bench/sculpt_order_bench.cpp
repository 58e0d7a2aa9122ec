// Brush stamps and the end of a stroke on the sculpting sphere of 1,310,720
// faces, in the order the program makes it (program), with its vertices
// and faces shuffled (shuffled), as a file written by another program may
// hold them, and that shuffled mesh written to an OBJ file and imported
// (imported: the import puts a scattered file's records in space order).
// Every stamp is a later step of a running stroke (three samples) after
// the stroke's first step, brush radius 0.2 x the sphere's radius;
// successive stamps step back and forth so that the surface stays put.
//
// Each stamp is timed in alternation with its floor on the same mesh
// (bench_record_floors.h: the least work that does what the stamp does,
// over the same records in the same order), both on the thread's own
// clock (bench_clock.h), so that a busy machine slows both alike and the
// goal is the stamp's own. Counters: best_ms, the stamp at its best;
// floor_ms, its floor at its best; over_floor, the median over the
// iterations of the stamp over the floor timed next to it. The time
// reported is the stamp's mean on the thread's clock.
//
//   Stamp/Deform/<order>      the whole-mesh deform, against the deform floor
//   Stamp/Smooth/<order>      against the smooth floor
//   Stamp/Paint/<order>       against the paint floor
//   Scoped/DeformPatch/<order>, Scoped/DeformComponent/<order>,
//   Scoped/SmoothComponent/<order>, Scoped/PaintPatch/<order>
//                             the scoped stamps (the sphere is one patch and
//                             one component), against the floor of their
//                             action
//   First/<scoped>/<order>    the first frame of the same strokes: the press
//                             and the first step (what each stroke starts
//                             with), the rest of the stroke untimed, after
//                             one whole stroke untimed; against the floor
//                             of one stamp of the action
//   End/Deform/<order>        the ended step of a Deform stroke of eight
//                             stamps (the normals of what the stroke moved),
//                             on the thread's clock, against the floor of a
//                             scoped Deform stamp (its normals made again)
//   Normals/Stamp/<order>     the normal refresh of one stamp (selectV, the
//                             one-ring margin, the selected normals)
//   Normals/Whole/<order>     calculateNormals(2), what the ended step ran before
//   Import/Shuffled           the import of the shuffled mesh's OBJ file
//                             (Mesh::load: read, parse, space order, rebuild)
//   Import/InFileOrder        its peer: the same without the space order
//                             (read, parse, rebuild)
//
// Goals: every stamp, whole-mesh or scoped, at most a few times its floor
// in every order (the factors below, each about 1.6 x the ratio measured);
// the first frame of a scoped stroke, what a user waits for, at most a few
// times one stamp's floor, and at most 16 ms at its best on the thread's
// clock in the program and imported orders (the shuffled mesh, which no way
// in leaves, is the worst case its floor bounds); the ended step at most
// 30 ms on the thread's clock in program order, and held to its floor in
// the shuffled one.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/bench_goals.h"
#include "bench/bench_meshes.h"
#include "bench/bench_record_floors.h"
#include "mesh/mesh.h"

namespace {

enum Order { Program = 0, Shuffled = 1, Imported = 2 };

using Scene = benchmeshes::BrushScene;
using benchmeshes::brushScene;

Scene& scene(Order order);

// The shuffled sphere written as an OBJ file, once.
const std::string& shuffledFile() {
    static QTemporaryDir dir;
    static const std::string path = [] {
        const std::string p = dir.filePath("shuffled.obj").toStdString();
        scene(Shuffled).mesh->saveOBJ(p);
        return p;
    }();
    return path;
}

Scene& scene(Order order) {
    static Scene program = [] {
        std::unique_ptr<qel::Mesh> m(benchmeshes::stampSphere());
        const qel::vec3 p = m->vertices[0].position;
        return brushScene(std::move(m), p);
    }();
    if (order == Program) return program;
    static Scene shuffled =
        brushScene(std::unique_ptr<qel::Mesh>(benchmeshes::shuffledCopy(*program.mesh)), program.centre);
    if (order == Shuffled) return shuffled;
    static Scene imported = [] {
        std::unique_ptr<qel::Mesh> m(new qel::Mesh());
        m->load(shuffledFile());
        return brushScene(std::move(m), scene(Program).centre);
    }();
    return imported;
}

// The stamp floors of each order's mesh, listed once.
benchfloors::StampFloor& floorOf(Order order) {
    static benchfloors::StampFloor program(scene(Program));
    if (order == Program) return program;
    static benchfloors::StampFloor shuffled(scene(Shuffled));
    if (order == Shuffled) return shuffled;
    static benchfloors::StampFloor imported(scene(Imported));
    return imported;
}

using Stroke = benchmeshes::PressStroke;

void faces(benchmark::State& state, Order order) {
    state.counters["faces"] = double(scene(order).mesh->faceCount());
}

// Later stamps of a stroke, each followed by its floor.
void stamps(benchmark::State& state, Order order, qel::Sculptor::TAction action, qel::Sculptor::TSelect select) {
    benchfloors::StampFloor& floor = floorOf(order);
    Stroke stroke(scene(order), action, select);
    stroke.press();
    benchclock::Paired paired;
    for (auto _ : state) {
        const double ms = benchclock::timed([&] { stroke.step(); });
        state.SetIterationTime(ms * 1e-3);
        paired.add(ms, benchclock::timed([&] { floor.pass(action, select); }));
    }
    stroke.end();
    benchmark::DoNotOptimize(scene(order).mesh->vertices[0].position);
    paired.report(state);
    faces(state, order);
}

// The press and first step of strokes, each followed by the floor of one
// stamp, the rest of each stroke untimed.
void firstSteps(benchmark::State& state, Order order, qel::Sculptor::TAction action, qel::Sculptor::TSelect select) {
    benchfloors::StampFloor& floor = floorOf(order);
    {
        Stroke warm(scene(order), action, select);
        warm.press();
        warm.end();
    }
    benchclock::Paired paired;
    for (auto _ : state) {
        Stroke stroke(scene(order), action, select);
        const double ms = benchclock::timed([&] { stroke.press(); });
        state.SetIterationTime(ms * 1e-3);
        const double floorMs = benchclock::timed([&] { floor.pass(action, select); });
        paired.add(ms, floorMs);
        stroke.end();
    }
    paired.report(state);
    faces(state, order);
}

// The ended step of a Deform stroke of eight stamps, alone timed.
void end(benchmark::State& state, Order order) {
    Scene& s = scene(order);
    benchfloors::StampFloor& floor = floorOf(order);
    benchclock::Paired paired;
    for (auto _ : state) {
        Stroke stroke(s, qel::Sculptor::Deform, qel::Sculptor::SelectElement);
        stroke.press();
        for (int i = 0; i < 8; ++i) stroke.step();
        const double ms = benchclock::timed([&] { stroke.end(); });
        state.SetIterationTime(ms * 1e-3);
        // The end refreshes the normals round what the stroke moved: the
        // floor of a stamp that does so.
        paired.add(ms, benchclock::timed([&] { floor.pass(qel::Sculptor::Deform, qel::Sculptor::SelectPatch); }));
    }
    paired.report(state);
    benchmark::DoNotOptimize(s.mesh->faces[0].normals[0]);
    faces(state, order);
}

// One stamp's normal refresh: the stamp's vertices, the faces round them
// with their other vertices, the normals of those.
void stampNormals(benchmark::State& state, Order order) {
    Scene& s = scene(order);
    for (auto _ : state) {
        s.mesh->selectV(s.centre, s.radius, true);
        s.mesh->selectMarginal();
        s.mesh->calculateSelectedNormals();
        s.mesh->deselectAll();
    }
    faces(state, order);
}

void wholeNormals(benchmark::State& state, Order order) {
    for (auto _ : state) scene(order).mesh->calculateNormals(2);
    faces(state, order);
}

void importShuffled(benchmark::State& state, bool spaceOrder) {
    const std::string& path = shuffledFile();
    for (auto _ : state) {
        qel::Mesh m;
        if (spaceOrder) {
            m.load(path);
        } else {
            m.loadOBJ(path);
            m.initializeReconstructSharp(qel::Element::ResizeMean);
        }
        benchmark::DoNotOptimize(m.faceCount());
        state.PauseTiming();
        m.init();
        state.ResumeTiming();
    }
}

using A = qel::Sculptor;

}  // namespace

#define ORDERS(name, call)                                                                              \
    BENCHMARK_CAPTURE(call, program, Program)->Name(name "/program")->Unit(benchmark::kMillisecond);    \
    BENCHMARK_CAPTURE(call, shuffled, Shuffled)->Name(name "/shuffled")->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(call, imported, Imported)->Name(name "/imported")->Unit(benchmark::kMillisecond)

// A benchmark of an action and scope in every order, timed on the thread's
// clock.
#define ACTION_ORDERS(call, name, action, select)                                                \
    BENCHMARK_CAPTURE(call, program, Program, action, select)                                   \
        ->Name(name "/program")                                                                 \
        ->Unit(benchmark::kMillisecond)                                                         \
        ->UseManualTime();                                                                      \
    BENCHMARK_CAPTURE(call, shuffled, Shuffled, action, select)                                 \
        ->Name(name "/shuffled")                                                                \
        ->Unit(benchmark::kMillisecond)                                                         \
        ->UseManualTime();                                                                      \
    BENCHMARK_CAPTURE(call, imported, Imported, action, select)                                 \
        ->Name(name "/imported")                                                                \
        ->Unit(benchmark::kMillisecond)                                                         \
        ->UseManualTime()
#define STAMPS(name, action, select) ACTION_ORDERS(stamps, name, action, select)
#define FIRSTS(name, action, select) ACTION_ORDERS(firstSteps, name, action, select)

STAMPS("Stamp/Deform", A::Deform, A::SelectElement);
STAMPS("Stamp/Smooth", A::Smooth, A::SelectElement);
STAMPS("Stamp/Paint", A::PaintMaterial, A::SelectElement);
STAMPS("Scoped/DeformPatch", A::Deform, A::SelectPatch);
STAMPS("Scoped/DeformComponent", A::Deform, A::SelectComponent);
STAMPS("Scoped/SmoothComponent", A::Smooth, A::SelectComponent);
STAMPS("Scoped/PaintPatch", A::PaintMaterial, A::SelectPatch);
FIRSTS("First/DeformPatch", A::Deform, A::SelectPatch);
FIRSTS("First/DeformComponent", A::Deform, A::SelectComponent);
FIRSTS("First/SmoothComponent", A::Smooth, A::SelectComponent);
FIRSTS("First/PaintPatch", A::PaintMaterial, A::SelectPatch);
ORDERS("Normals/Stamp", stampNormals);
BENCHMARK_CAPTURE(end, program, Program)->Name("End/Deform/program")->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(end, shuffled, Shuffled)->Name("End/Deform/shuffled")->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(end, imported, Imported)->Name("End/Deform/imported")->Unit(benchmark::kMillisecond)->UseManualTime();
ORDERS("Normals/Whole", wholeNormals);
BENCHMARK_CAPTURE(importShuffled, spaceOrder, true)->Name("Import/Shuffled")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(importShuffled, fileOrder, false)->Name("Import/InFileOrder")->Unit(benchmark::kMillisecond);

// The factors over the floors, each about 1.6 x the ratio measured.
#define FLOOR_GOALS(name, program, shuffled, imported)                                   \
    BENCH_GOAL(benchgoals::counterAtMost(name "/program", "over_floor", program));   \
    BENCH_GOAL(benchgoals::counterAtMost(name "/shuffled", "over_floor", shuffled)); \
    BENCH_GOAL(benchgoals::counterAtMost(name "/imported", "over_floor", imported))
// The first frame of a stroke: at most 16 ms at its best in the orders a
// mesh comes in (as the program makes it, as an import leaves it); the
// shuffled mesh, which no way in leaves, is held to its floor alone.
#define FIRST_FRAME_GOALS(name)                                                \
    BENCH_GOAL(benchgoals::counterAtMost(name "/program", "best_ms", 16)); \
    BENCH_GOAL(benchgoals::counterAtMost(name "/imported", "best_ms", 16))

// Measured under load 20-50 on 8 cores (program, shuffled, imported):
// Deform 9.8, 9.4, 9.5; Smooth 3.5, 2.8-3.7, 3.0-3.4; Paint 2.4, 1.9-2.2,
// 2.0-2.3; DeformPatch 4.9, 5.1, 4.7; DeformComponent 4.2, 3.4, 4.2;
// SmoothComponent 4.3, 3.6, 4.1; PaintPatch 5.2, 5.9, 5.2; the first frames
// 7.2, 4.6, 7.0 (DeformPatch), 6.5, 3.8, 6.1 (DeformComponent), 5.7, 5.5,
// 5.2 (SmoothComponent), 12.8, 19, 11.7 (PaintPatch). A stamp doing its
// work twice doubles its ratio, past its factor; the Smooth stamp run twice
// took 5.1-6.0 x its floor (its floor's share of the stamp is larger), so
// its factor lies between that and 3.7. The first Paint frame on the
// shuffled mesh took 13.3-15.5 x its floor on a shared host and up to 19
// x on one whose memory other processes loaded; with the Paint stamp run
// twice, 27.1-27.8 x and 30.5-34.3 x: its factor lies between.
FLOOR_GOALS("Stamp/Deform", 15, 15, 15);
FLOOR_GOALS("Stamp/Smooth", 4.5, 4.5, 4.5);
FLOOR_GOALS("Stamp/Paint", 4, 4, 4);
FLOOR_GOALS("Scoped/DeformPatch", 8, 8, 8);
FLOOR_GOALS("Scoped/DeformComponent", 7, 7, 7);
FLOOR_GOALS("Scoped/SmoothComponent", 7, 7, 7);
FLOOR_GOALS("Scoped/PaintPatch", 9, 9.5, 9);
FLOOR_GOALS("First/DeformPatch", 11.5, 11.5, 11.5);
FLOOR_GOALS("First/DeformComponent", 10, 10, 10);
FLOOR_GOALS("First/SmoothComponent", 9, 9, 9);
FLOOR_GOALS("First/PaintPatch", 20, 22, 20);
FIRST_FRAME_GOALS("First/DeformPatch");
FIRST_FRAME_GOALS("First/DeformComponent");
FIRST_FRAME_GOALS("First/SmoothComponent");
FIRST_FRAME_GOALS("First/PaintPatch");
BENCH_GOAL(benchgoals::limitMs("End/Deform/program", 30));
BENCH_GOAL(benchgoals::counterAtMost("End/Deform/shuffled", "over_floor", 10));
