// Brush stamps and the end of a stroke on the sculpting sphere of 1,310,720
// faces, in the order the program makes it (program), with its vertices
// and faces shuffled (shuffled), as a file written by another program may
// hold them, and that shuffled mesh written to an OBJ file and imported
// (imported: the import puts a scattered file's records in space order). Every stamp is a later step of a running stroke (three
// samples) after the stroke's first step, brush radius 0.2 x the sphere's
// radius; successive stamps step back and forth so that the surface stays
// put.
//
//   Stamp/Deform/<order>      the whole-mesh deform: the peer of the others
//   Stamp/Smooth/<order>      goal: at most 2 ms in program order, 4 ms shuffled
//   Stamp/Paint/<order>       the same goal
//   Scoped/DeformPatch/<order>, Scoped/DeformComponent/<order>,
//   Scoped/SmoothComponent/<order>, Scoped/PaintPatch/<order>
//                             the scoped stamps (the sphere is one patch and
//                             one component): goal at most 4 ms in program
//                             order, 8 ms in the others
//   First/<scoped>/<order>    the first frame of the same strokes: the press
//                             and the first step (what each stroke starts
//                             with), the rest of the stroke untimed, after
//                             one whole stroke untimed: goal at most 16 ms
//   End/Deform/<order>        the ended step of a Deform stroke of eight
//                             stamps (the normals of what the stroke moved):
//                             goal at most 30 ms
//   Normals/Stamp/<order>     the normal refresh of one stamp (selectV, the
//                             one-ring margin, the selected normals)
//   Normals/Whole/<order>     calculateNormals(2), what the ended step ran before
//   Import/Shuffled           the import of the shuffled mesh's OBJ file
//                             (Mesh::load: read, parse, space order, rebuild)
//   Import/InFileOrder        its peer: the same without the space order
//                             (read, parse, rebuild)
//
// Goals are declared for scripts/bench --check where the goal registry is
// built in.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_goals.h"
#include "bench/bench_meshes.h"
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

using Stroke = benchmeshes::PressStroke;

void faces(benchmark::State& state, Order order) {
    state.counters["faces"] = double(scene(order).mesh->faceCount());
}

void stamps(benchmark::State& state, Order order, qel::Sculptor::TAction action, qel::Sculptor::TSelect select) {
    Stroke stroke(scene(order), action, select);
    stroke.press();
    for (auto _ : state) stroke.step();
    benchmark::DoNotOptimize(scene(order).mesh->vertices[0].position);
    faces(state, order);
}

// The press and first step of strokes, the rest of each untimed.
void firstSteps(benchmark::State& state, Order order, qel::Sculptor::TAction action, qel::Sculptor::TSelect select) {
    {
        Stroke warm(scene(order), action, select);
        warm.press();
        warm.end();
    }
    for (auto _ : state) {
        Stroke stroke(scene(order), action, select);
        stroke.press();
        state.PauseTiming();
        stroke.end();
        state.ResumeTiming();
    }
    faces(state, order);
}

// The ended step of a Deform stroke of eight stamps, alone timed.
void end(benchmark::State& state, Order order) {
    Scene& s = scene(order);
    for (auto _ : state) {
        state.PauseTiming();
        Stroke stroke(s, qel::Sculptor::Deform, qel::Sculptor::SelectElement);
        stroke.press();
        for (int i = 0; i < 8; ++i) stroke.step();
        state.ResumeTiming();
        stroke.end();
    }
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

// A benchmark of an action and scope in every order.
#define ACTION_ORDERS(call, name, action, select)                                                \
    BENCHMARK_CAPTURE(call, program, Program, action, select)                                   \
        ->Name(name "/program")                                                                 \
        ->Unit(benchmark::kMillisecond);                                                        \
    BENCHMARK_CAPTURE(call, shuffled, Shuffled, action, select)                                 \
        ->Name(name "/shuffled")                                                                \
        ->Unit(benchmark::kMillisecond);                                                        \
    BENCHMARK_CAPTURE(call, imported, Imported, action, select)                                 \
        ->Name(name "/imported")                                                                \
        ->Unit(benchmark::kMillisecond)
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
ORDERS("End/Deform", end);
ORDERS("Normals/Whole", wholeNormals);
BENCHMARK_CAPTURE(importShuffled, spaceOrder, true)->Name("Import/Shuffled")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(importShuffled, fileOrder, false)->Name("Import/InFileOrder")->Unit(benchmark::kMillisecond);

BENCH_GOAL(benchgoals::limitMs("Stamp/Smooth/program", 2));
BENCH_GOAL(benchgoals::limitMs("Stamp/Smooth/shuffled", 4));
BENCH_GOAL(benchgoals::limitMs("Stamp/Paint/program", 2));
BENCH_GOAL(benchgoals::limitMs("Stamp/Paint/shuffled", 4));
BENCH_GOAL(benchgoals::limitMs("Stamp/Smooth/imported", 4));
BENCH_GOAL(benchgoals::limitMs("Stamp/Paint/imported", 4));
BENCH_GOAL(benchgoals::limitMs("Scoped/DeformPatch/program", 4));
BENCH_GOAL(benchgoals::limitMs("Scoped/DeformPatch/shuffled", 8));
BENCH_GOAL(benchgoals::limitMs("Scoped/DeformPatch/imported", 8));
BENCH_GOAL(benchgoals::limitMs("First/DeformPatch/program", 16));
BENCH_GOAL(benchgoals::limitMs("First/DeformPatch/shuffled", 16));
BENCH_GOAL(benchgoals::limitMs("First/DeformPatch/imported", 16));
BENCH_GOAL(benchgoals::limitMs("Scoped/DeformComponent/program", 4));
BENCH_GOAL(benchgoals::limitMs("Scoped/DeformComponent/shuffled", 8));
BENCH_GOAL(benchgoals::limitMs("Scoped/DeformComponent/imported", 8));
BENCH_GOAL(benchgoals::limitMs("First/DeformComponent/program", 16));
BENCH_GOAL(benchgoals::limitMs("First/DeformComponent/shuffled", 16));
BENCH_GOAL(benchgoals::limitMs("First/DeformComponent/imported", 16));
BENCH_GOAL(benchgoals::limitMs("Scoped/SmoothComponent/program", 4));
BENCH_GOAL(benchgoals::limitMs("Scoped/SmoothComponent/shuffled", 8));
BENCH_GOAL(benchgoals::limitMs("Scoped/SmoothComponent/imported", 8));
BENCH_GOAL(benchgoals::limitMs("First/SmoothComponent/program", 16));
BENCH_GOAL(benchgoals::limitMs("First/SmoothComponent/shuffled", 16));
BENCH_GOAL(benchgoals::limitMs("First/SmoothComponent/imported", 16));
BENCH_GOAL(benchgoals::limitMs("Scoped/PaintPatch/program", 4));
BENCH_GOAL(benchgoals::limitMs("Scoped/PaintPatch/shuffled", 8));
BENCH_GOAL(benchgoals::limitMs("Scoped/PaintPatch/imported", 8));
BENCH_GOAL(benchgoals::limitMs("First/PaintPatch/program", 16));
BENCH_GOAL(benchgoals::limitMs("First/PaintPatch/shuffled", 16));
BENCH_GOAL(benchgoals::limitMs("First/PaintPatch/imported", 16));
BENCH_GOAL(benchgoals::limitMs("End/Deform/program", 30));
BENCH_GOAL(benchgoals::limitMs("End/Deform/shuffled", 30));
