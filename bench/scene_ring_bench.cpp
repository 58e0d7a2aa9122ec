// Loading and deleting a scene of n placed objects that form one instance
// ring (placed by Scene::addObject and saved by Scene::save, so the ring is
// in the order the program itself writes), beside a scene of the same n
// objects without rings. Both costs must grow linearly with n.
//
//   Ring/Load/n       Scene::load of the ring scene into a fresh scene
//   NoRing/Load/n     the same for the scene without rings
//   Ring/Delete/n     deleting the loaded ring scene
//   NoRing/Delete/n   deleting the loaded scene without rings
//   Floor/Load/n      the least work of a load of either file: fread of its
//                     bytes and one pass over its tool records, decoding
//                     every field into one flat array (no object made)
//   Floor/Delete/n    the least work of deleting n loaded tools: one walk
//                     along the loaded ring scene's ring and one free per
//                     tool of a block of a tool's size, allocated in order
//   Templates/SharedRing/Delete/n  deleting n placed copies of one array,
//                     their templates in one ring
//   Templates/LoneRings/Delete/n   the same, each template alone in its ring
//
// Goals: Load and Delete within a stated factor of their floors at every
// size (a delete's growth held to its floor's), and the templates of a shared
// ring deleted within 8 x the lone ones.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/bench_files.h"
#include "bench/bench_goals.h"
#include "gl/buffer.h"
#include "mesh/mesh.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tools/array.h"

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
    benchclock::Best best;
    for (auto _ : state) {
        state.PauseTiming();
        auto scene = std::make_unique<qel::Scene>();
        scene->load(path);
        state.ResumeTiming();
        const benchclock::TimedScope timing(best);
        scene.reset();
    }
    state.counters["best_ms"] = best.ms();
}

// A tool record's fields, decoded.
struct FlatTool {
    float transform[16], pivot[16], axes[6];
    std::uint8_t material[20];
    std::uint8_t flags;
    std::uint32_t firstChild, children;
    std::int32_t ring, element;
    float rotationMultiplicity, speed, delay;
};

float f32At(const std::uint8_t* p) { return qel::buffer::loadF32(p); }

// Decodes one tool record body at p (its length n) into out and its child
// ids onto ids; false when it is short.
bool decodeTool(const std::uint8_t* p, std::uint32_t n, FlatTool& out, std::vector<std::int32_t>& ids) {
    constexpr std::uint32_t Head = 64 + 64 + 24 + 20 + 1 + 4;
    if (n < Head + 20) return false;
    for (int i = 0; i < 16; ++i) out.transform[i] = f32At(p + 4 * i);
    for (int i = 0; i < 16; ++i) out.pivot[i] = f32At(p + 64 + 4 * i);
    for (int i = 0; i < 6; ++i) out.axes[i] = f32At(p + 128 + 4 * i);
    std::memcpy(out.material, p + 152, 20);
    out.flags = p[172];
    out.children = qel::buffer::loadU32(p + 173);
    if (out.children > (n - Head - 20) / 4) return false;
    out.firstChild = std::uint32_t(ids.size());
    const std::uint8_t* q = p + Head;
    for (std::uint32_t i = 0; i < out.children; ++i, q += 4) ids.push_back(std::int32_t(qel::buffer::loadU32(q)));
    out.ring = std::int32_t(qel::buffer::loadU32(q));
    out.element = std::int32_t(qel::buffer::loadU32(q + 4));
    out.rotationMultiplicity = f32At(q + 8);
    out.speed = f32At(q + 12);
    out.delay = f32At(q + 16);
    return true;
}

// The file read whole, its tool records decoded into flat arrays.
std::size_t floorLoad(const std::string& path, std::vector<FlatTool>& tools, std::vector<std::int32_t>& ids) {
    const std::vector<std::uint8_t> bytes = benchfiles::readAll(path);
    const auto u32 = [&bytes](std::size_t at) { return qel::buffer::loadU32(bytes.data() + at); };
    for (std::size_t at = 8; at + 8 <= bytes.size();) {
        const std::size_t end = std::min(bytes.size(), at + 8 + u32(at + 4));
        if (u32(at) == 0xABCDEF01u)
            for (std::size_t r = at + 8; r + 8 <= end; r += 8 + u32(r + 4)) {
                if (u32(r) != qel::Tool::RecordTag) continue;
                tools.emplace_back();
                if (!decodeTool(bytes.data() + r + 8, u32(r + 4), tools.back(), ids)) tools.pop_back();
            }
        at = end;
    }
    return tools.size();
}

void FloorLoad(benchmark::State& state) {
    const int n = int(state.range(0));
    const std::string& path = sceneFile(n, true);
    for (auto _ : state) {
        std::vector<FlatTool> tools;
        std::vector<std::int32_t> ids;
        if (floorLoad(path, tools, ids) < std::size_t(n)) state.SkipWithError("tools missing");
        benchmark::DoNotOptimize(tools.data());
        state.PauseTiming();
        tools = {};
        ids = {};
        state.ResumeTiming();
    }
}

// The least work of deleting the n tools of a loaded ring scene, in the
// memory they take: one walk along the ring through the loaded tools
// themselves (each reached through a link, as any delete reaches them) and
// one free per tool of a block of a tool's size, allocated in order. The
// walk reads the scene as loaded, so the floor outgrows the caches at the
// size the delete does, on any machine.
void FloorDelete(benchmark::State& state) {
    const std::size_t n = std::size_t(state.range(0));
    const std::string& path = sceneFile(int(n), true);
    std::vector<void*> blocks(n);
    std::size_t reached = 0;
    benchclock::Best best;
    for (auto _ : state) {
        state.PauseTiming();
        auto scene = std::make_unique<qel::Scene>();
        scene->load(path);
        qel::Tool* first = scene->objectsRoot->children.empty() ? nullptr : scene->objectsRoot->children.front();
        for (void*& p : blocks) p = ::operator new(sizeof(qel::Tool));
        state.ResumeTiming();
        {
            const benchclock::TimedScope timing(best);
            reached = 0;
            if (first) {
                const qel::Tool* x = first;
                do {
                    ++reached;
                    x = x->nextInstance;
                } while (x != first);
            }
            for (void* p : blocks) ::operator delete(p);
            benchmark::ClobberMemory();
        }
        state.PauseTiming();
        scene.reset();
        state.ResumeTiming();
    }
    state.counters["best_ms"] = best.ms();
    if (reached < n) state.SkipWithError("ring shorter than the scene");
}

// Deleting n placed copies of one array of one template, the copies'
// templates in one ring or each alone in its own.
void TemplatesDelete(benchmark::State& state, bool shared) {
    const int n = int(state.range(0));
    qel::Tool item(nullptr, qel::mat4::Identity(), qel::pbr(), false);
    qel::Array source(nullptr, {&item}, {0x8001}, qel::Array::Simple, qel::mat4::Identity(), qel::mat4::Identity(),
                      qel::pbr(), false);
    for (auto _ : state) {
        state.PauseTiming();
        auto* root = new qel::Root();
        for (int i = 0; i < n; ++i) {
            auto* copy = static_cast<qel::Array*>(source.cloneObject(qel::mat4::Identity(), false, false));
            if (!shared) copy->items[0]->removeInstance();
            root->addChild(copy, false);
        }
        state.ResumeTiming();
        delete root;
    }
}

void RingLoad(benchmark::State& state) { Load(state, true); }
void NoRingLoad(benchmark::State& state) { Load(state, false); }
void RingDelete(benchmark::State& state) { Delete(state, true); }
void NoRingDelete(benchmark::State& state) { Delete(state, false); }

BENCHMARK(RingLoad)->Name("Ring/Load")->Arg(16384)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(NoRingLoad)->Name("NoRing/Load")->Arg(16384)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(RingDelete)->Name("Ring/Delete")->Arg(1024)->Arg(4096)->Arg(16384)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(NoRingDelete)->Name("NoRing/Delete")->Arg(1024)->Arg(4096)->Arg(16384)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(FloorLoad)->Name("Floor/Load")->Arg(16384)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(FloorDelete)->Name("Floor/Delete")->Arg(1024)->Arg(4096)->Arg(16384)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TemplatesDelete, SharedRing, true)
    ->Name("Templates/SharedRing/Delete")
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TemplatesDelete, LoneRings, false)
    ->Name("Templates/LoneRings/Delete")
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

// Against the floors: a load makes, links and numbers an object per record
// (and checks the file), at both sizes, so that growth is held to the
// floor's growth too.
BENCH_GOAL(benchgoals::ratio("Ring/Load/16384", 8, "Floor/Load/16384"));
BENCH_GOAL(benchgoals::ratio("NoRing/Load/16384", 8, "Floor/Load/16384"));
BENCH_GOAL(benchgoals::ratio("Ring/Load/65536", 8, "Floor/Load/65536"));
BENCH_GOAL(benchgoals::ratio("NoRing/Load/65536", 8, "Floor/Load/65536"));
// A delete within 4 x its floor at every size (5 x at the largest), so that its growth with n is
// held to the floor's: both outgrow the caches as the scene does (from
// 16,384 to 65,536 objects the floor grows 6 to 7.5 times on a 32 MB cache,
// the delete with it), which a fixed bound on the delete's own growth would
// count against it on one machine and not on another. Both at their best
// over the iterations on the thread's own clock (best_ms, bench_clock.h):
// the median ratio at 65,536, 3.6 on a quiet machine, went to 4.31 while
// another copy of the benchmarks ran beside it, as both outgrow the caches
// the other copy shares; there the bound is 5, between that and a delete
// doing its work twice (7 x and more). That no ring is walked per member
// is held by the scene file tests.
BENCH_GOAL(benchgoals::counterRatio("Ring/Delete/1024", "best_ms", 4, "Floor/Delete/1024"));
BENCH_GOAL(benchgoals::counterRatio("NoRing/Delete/1024", "best_ms", 4, "Floor/Delete/1024"));
BENCH_GOAL(benchgoals::counterRatio("Ring/Delete/4096", "best_ms", 4, "Floor/Delete/4096"));
BENCH_GOAL(benchgoals::counterRatio("NoRing/Delete/4096", "best_ms", 4, "Floor/Delete/4096"));
BENCH_GOAL(benchgoals::counterRatio("Ring/Delete/16384", "best_ms", 4, "Floor/Delete/16384"));
BENCH_GOAL(benchgoals::counterRatio("NoRing/Delete/16384", "best_ms", 4, "Floor/Delete/16384"));
BENCH_GOAL(benchgoals::counterRatio("Ring/Delete/65536", "best_ms", 5, "Floor/Delete/65536"));
BENCH_GOAL(benchgoals::counterRatio("NoRing/Delete/65536", "best_ms", 5, "Floor/Delete/65536"));
// The templates of many arrays sharing one ring leave it together: a
// deletion costs about what it costs with each template alone (a walk along
// the ring per template made it about twenty times as much).
BENCH_GOAL(benchgoals::ratio("Templates/SharedRing/Delete/20000", 8, "Templates/LoneRings/Delete/20000"));
