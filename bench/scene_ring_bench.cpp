// Loading and deleting a scene of n placed objects that form one instance
// ring (placed by Scene::addObject and saved by Scene::save, so the ring is
// in the order the program itself writes), beside a scene of the same n
// objects without rings. Both costs must grow linearly with n.
//
//   Ring/Load/n       Scene::load of the ring scene into a fresh scene
//   NoRing/Load/n     the same for the scene without rings
//   Ring/Delete/n     deleting the loaded ring scene
//   NoRing/Delete/n   deleting the loaded scene without rings

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_goals.h"
#include "mesh/mesh.h"
#include "scene/scene.h"

namespace {

QTemporaryDir& folder() {
    static QTemporaryDir dir;
    return dir;
}

// The file of n objects showing one cube, in one ring or each alone; made
// once per size.
const std::string& sceneFile(int n, bool ring) {
    static std::map<std::pair<int, bool>, std::string> files;
    std::string& path = files[{n, ring}];
    if (!path.empty()) return path;
    path = folder().filePath(QString("scene_%1_%2.tl").arg(n).arg(ring ? "ring" : "alone")).toStdString();
    qel::Scene scene;
    qel::Tool* tmpl = scene.addTool(new qel::Tool(qel::Mesh::Cube(), qel::mat4::Identity(), qel::pbr(), false));
    std::vector<qel::mat4> ms;
    for (int i = 0; i < n; ++i) ms.push_back(qel::mat4::Translation(float(i % 256), float(i / 256), 0));
    if (ring) {
        scene.addObject(tmpl, ms, qel::Scene::HangTop, false, false);
    } else {
        for (const qel::mat4& m : ms) scene.objectsRoot->addChild(tmpl->cloneObject(m, false, false), false);
    }
    scene.save(path);
    return path;
}

void Load(benchmark::State& state, bool ring) {
    const std::string& path = sceneFile(int(state.range(0)), ring);
    for (auto _ : state) {
        auto scene = std::make_unique<qel::Scene>();
        benchmark::DoNotOptimize(scene->load(path));
        state.PauseTiming();
        scene.reset();  // the freeing is measured by Delete
        state.ResumeTiming();
    }
}

void Delete(benchmark::State& state, bool ring) {
    const std::string& path = sceneFile(int(state.range(0)), ring);
    for (auto _ : state) {
        state.PauseTiming();
        auto scene = std::make_unique<qel::Scene>();
        scene->load(path);
        state.ResumeTiming();
        scene.reset();
    }
}

void RingLoad(benchmark::State& state) { Load(state, true); }
void NoRingLoad(benchmark::State& state) { Load(state, false); }
void RingDelete(benchmark::State& state) { Delete(state, true); }
void NoRingDelete(benchmark::State& state) { Delete(state, false); }

BENCHMARK(RingLoad)->Name("Ring/Load")->Arg(16384)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(NoRingLoad)->Name("NoRing/Load")->Arg(16384)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(RingDelete)->Name("Ring/Delete")->Arg(16384)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(NoRingDelete)->Name("NoRing/Delete")->Arg(16384)->Arg(65536)->Unit(benchmark::kMillisecond);

}  // namespace

// Linear growth: four times the objects cost four times as much; the check
// allows 6, for the caches the larger scene outgrows (a quadratic cost
// shows 16).
BENCH_GOAL(benchgoals::ratio("Ring/Load/65536", 6, "Ring/Load/16384"));
BENCH_GOAL(benchgoals::ratio("NoRing/Load/65536", 6, "NoRing/Load/16384"));
BENCH_GOAL(benchgoals::ratio("Ring/Delete/65536", 6, "Ring/Delete/16384"));
BENCH_GOAL(benchgoals::ratio("NoRing/Delete/65536", 6, "NoRing/Delete/16384"));
