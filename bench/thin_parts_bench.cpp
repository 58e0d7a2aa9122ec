// The first frame of scoped strokes on thin parts of about 1.31 million
// faces, where the brush ball on one side holds vertices of the other side
// that the faces inside the ball do not reach:
//
//   Shell   the stamp sphere squashed to a shell a tenth of its radius
//           thick; brush radius 0.2 x the sphere's radius, on its flat top
//   Plate   a closed square plate 2 wide, 0.02 thick, rims sharp (top,
//           bottom and walls are patches); brush radius 0.2 on the top
//   Tube    a closed tube 20 long, 0.2 across, caps with sharp rims; brush
//           radius 0.2 on its side (the ball holds the whole section)
//
// in three orders: program (as built), shuffled (vertices and faces in a
// random order) and loaded (the shuffled mesh written to an OBJ file and
// loaded, as a user opens it).
//
//   First/<shape>/<scoped>/<order>   the press and the first step of a
//                                    scoped stroke (Deform in the patch and
//                                    in the component, Smooth in the
//                                    component, Paint in the patch: its
//                                    press paints), the rest of the stroke
//                                    untimed, after one whole stroke
//                                    untimed. Counter best_ms: the press
//                                    and first step at their best on the
//                                    thread's own clock (bench_clock.h).
//                                    Goal: best_ms at most 16 ms in program
//                                    and loaded order.
//
// One mesh is held at a time: the benchmarks of one shape and order run one
// after the other.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <memory>
#include <string>

#include "bench/bench_clock.h"
#include "bench/bench_goals.h"
#include "bench/bench_meshes.h"
#include "mesh/mesh.h"

namespace {

enum Shape { Shell, Plate, Tube };
enum Order { Program, Shuffled, Loaded };

using Scene = benchmeshes::BrushScene;

qel::Mesh* build(Shape shape) {
    switch (shape) {
        case Shell:
            return benchmeshes::thinShell();
        case Plate:
            return benchmeshes::thinPlate();
        default:
            return benchmeshes::thinTube();
    }
}

// The brush of the shape's program-order mesh.
Scene place(Shape shape, std::unique_ptr<qel::Mesh> m) {
    if (shape == Shell) {
        // On the flat top, a third of the way out.
        const float R = 0.5f * m->size();
        int top = 0;
        const qel::vec3 aim = m->centre + qel::vec3(0.3f * R, 0.1f * R, 0.05f * R);
        for (int v = 0; v < m->vertexCount(); ++v)
            if (qel::length(m->vertices[v].position - aim) < qel::length(m->vertices[top].position - aim)) top = v;
        const qel::vec3 p = m->vertices[top].position;
        return benchmeshes::brushScene(std::move(m), p, 0.2f * R, qel::vec3(1, 0.3f, 0));
    }
    if (shape == Plate) return benchmeshes::brushScene(std::move(m), qel::vec3(0.1f, 0.05f, 0.01f), 0.2f, qel::vec3(1, 0.3f, 0));
    return benchmeshes::brushScene(std::move(m), qel::vec3(0.05f, 0, 0.1f), 0.2f, qel::vec3(1, 0, 0));
}

// The scene of the shape in the order; the one held before is let go.
Scene& scene(Shape shape, Order order) {
    static std::unique_ptr<Scene> held;
    static int heldKey = -1;
    const int key = int(shape) * 3 + int(order);
    if (heldKey == key) return *held;
    held.reset();
    std::unique_ptr<qel::Mesh> m(build(shape));
    Scene program = place(shape, std::move(m));
    const qel::vec3 centre = program.centre, dir = program.step;
    const float radius = program.radius;
    if (order == Program) {
        held = std::make_unique<Scene>(std::move(program));
    } else {
        std::unique_ptr<qel::Mesh> shuffled(benchmeshes::shuffledCopy(*program.mesh));
        if (order == Loaded) {
            QTemporaryDir dir;
            const std::string path = dir.filePath("thin.obj").toStdString();
            shuffled->saveOBJ(path);
            shuffled = std::make_unique<qel::Mesh>();
            shuffled->load(path);
        }
        held = std::make_unique<Scene>(benchmeshes::brushScene(std::move(shuffled), centre, radius, dir));
    }
    heldKey = key;
    return *held;
}

// The press and first step of strokes, the rest of each untimed.
void firstSteps(benchmark::State& state, Shape shape, Order order, qel::Sculptor::TAction action,
                qel::Sculptor::TSelect select) {
    Scene& s = scene(shape, order);
    {
        benchmeshes::PressStroke warm(s, action, select);
        warm.press();
        warm.end();
    }
    benchclock::Best best;
    for (auto _ : state) {
        benchmeshes::PressStroke stroke(s, action, select);
        best.add(benchclock::timed([&] { stroke.press(); }));
        state.PauseTiming();
        stroke.end();
        state.ResumeTiming();
    }
    state.counters["faces"] = double(s.mesh->faceCount());
    state.counters["best_ms"] = best.ms();
}

// Every shape, order and scoped stroke, each with its goal.
[[maybe_unused]] const int registered = [] {
    using A = qel::Sculptor;
    struct Scoped {
        const char* name;
        A::TAction action;
        A::TSelect select;
    };
    const Scoped strokes[] = {{"DeformPatch", A::Deform, A::SelectPatch},
                              {"DeformComponent", A::Deform, A::SelectComponent},
                              {"SmoothComponent", A::Smooth, A::SelectComponent},
                              {"PaintPatch", A::PaintMaterial, A::SelectPatch}};
    const char* shapes[] = {"Shell", "Plate", "Tube"};
    const char* orders[] = {"program", "shuffled", "loaded"};
    int n = 0;
    for (int shape = 0; shape < 3; ++shape)
        for (int order = 0; order < 3; ++order)
            for (const Scoped& k : strokes) {
                const std::string name = std::string("First/") + shapes[shape] + "/" + k.name + "/" + orders[order];
                benchmark::RegisterBenchmark(name.c_str(),
                                             [=](benchmark::State& st) {
                                                 firstSteps(st, Shape(shape), Order(order), k.action, k.select);
                                             })
                    ->Unit(benchmark::kMillisecond);
                // The shuffled order is measured beside them without a goal:
                // its frame is a scattered mesh's stamp over twice the
                // vertices (both sides in the ball), not a walk.
                if (order != Shuffled) n = benchgoals::add(benchgoals::counterAtMost(name, "best_ms", 16));
            }
    return n;
}();

}  // namespace
