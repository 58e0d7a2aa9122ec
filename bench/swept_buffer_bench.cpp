// The swept surface's buffers, side by side with their floors: a tube of
// 1,048,576 triangles (path Circle(8192), profile Circle(64)).
//
//   Swept/Fill                the whole processor fill (grid, normals,
//                             materials, ids, feature lines) into an array
//                             of 34 n bytes, scratch kept between calls
//   Floor/SweptCopy           std::memcpy of the same 34 n bytes from a
//                             filled array
//   Swept/FillMaterials       the materials-only refill a paint stroke runs
//                             every frame (colour, light, material blocks)
//   Floor/SweptWriteMaterials std::memset of those three blocks (12 n bytes):
//                             the refill writes them without reading a
//                             source, so a copy (reading as much as it
//                             writes) is no floor
//
// Goals: Swept/Fill <= 8 x Floor/SweptCopy, Swept/FillMaterials <= 4 x
// Floor/SweptWriteMaterials.
//
// With a GL context (made as render_bench makes one; scripts/bench runs it
// on the software renderer), reported, no goal:
//   Swept/Upload, Swept/UploadMaterials  buildVBO after raising all four
//                             refill flags or only the materials flag,
//                             glFinish
//   Curve/Upload, Floor/CurveCopy  a 100,000-edge curve's line buffer
//                             built again (positions modified), beside
//                             std::memcpy of its 2.4 MB

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench/bench_gl_context.h"
#include "bench/bench_goals.h"
#include "bench/bench_meshes.h"
#include "curves/curve.h"
#include "elements/swept_fill.h"
#include "elements/tube.h"
#include "gl/gl.h"
#include "gl/resources.h"

namespace {

using benchmeshes::tube;

qel::SweptShape shape() { return {qel::SweptKind::Tube, tube().path, tube().profile}; }

std::uint32_t vertexCount() {
    std::uint32_t n = 0;
    qel::sweptSurfaceSize(shape(), n);
    return n;
}

void fill(benchmark::State& state, bool materialsOnly) {
    const std::uint32_t n = vertexCount();
    std::vector<std::uint8_t> bytes(qel::SweptVertexBytes * n);
    qel::SweptScratch scratch;
    qel::SweptRefill all, materials;
    materials.positions = materials.normals = materials.ids = false;
    qel::fillSweptSurface(shape(), n, all, scratch, bytes.data(), 0);
    const qel::SweptRefill& refill = materialsOnly ? materials : all;
    for (auto _ : state) {
        qel::fillSweptSurface(shape(), n, refill, scratch, bytes.data(), 0);
        benchmark::DoNotOptimize(bytes.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) *
                            std::int64_t((materialsOnly ? 12 : qel::SweptVertexBytes) * n));
}

void copy(benchmark::State& state, std::uint64_t bytesPerVertex) {
    const std::uint32_t n = vertexCount();
    std::vector<std::uint8_t> filled(qel::SweptVertexBytes * n);
    qel::SweptScratch scratch;
    qel::fillSweptSurface(shape(), n, qel::SweptRefill(), scratch, filled.data(), 0);
    const std::uint64_t bytes = bytesPerVertex * n;
    std::vector<std::uint8_t> target(bytes);
    for (auto _ : state) {
        std::memcpy(target.data(), filled.data(), bytes);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

// Writes the bytes without reading any.
void write(benchmark::State& state, std::uint64_t bytesPerVertex) {
    const std::uint64_t bytes = bytesPerVertex * vertexCount();
    std::vector<std::uint8_t> target(bytes);
    int value = 0;
    for (auto _ : state) {
        std::memset(target.data(), ++value & 0xff, bytes);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

void BM_SweptFill(benchmark::State& state) { fill(state, false); }
void BM_FloorSweptCopy(benchmark::State& state) { copy(state, qel::SweptVertexBytes); }
void BM_SweptFillMaterials(benchmark::State& state) { fill(state, true); }
void BM_FloorSweptWriteMaterials(benchmark::State& state) { write(state, 12); }

void upload(benchmark::State& state, bool materialsOnly) {
    if (!benchgl::makeContext()) {
        state.SkipWithError("no OpenGL 4.0 core context");
        return;
    }
    qel::Tube& t = tube();
    if (!t.buildVBO()) {
        state.SkipWithError("the tube's buffers cannot be built");
        return;
    }
    for (auto _ : state) {
        for (int k = 0; k < 4; ++k) t.vbo.refill[k] = (!materialsOnly || k == qel::SweptBuffers::RefillMaterials);
        if (!t.buildVBO()) state.SkipWithError("build failed");
        gl->glFinish();
    }
}

void BM_SweptUpload(benchmark::State& state) { upload(state, false); }
void BM_SweptUploadMaterials(benchmark::State& state) { upload(state, true); }

// A closed curve of 100,000 edges.
qel::Curve& bigCurve() {
    static qel::Curve* c = qel::Curve::Circle(100000, false);
    return *c;
}

void BM_CurveUpload(benchmark::State& state) {
    if (!benchgl::makeContext()) {
        state.SkipWithError("no OpenGL 4.0 core context");
        return;
    }
    qel::Curve& c = bigCurve();
    if (!c.buildVBO()) {
        state.SkipWithError("the curve's buffer cannot be built");
        return;
    }
    for (auto _ : state) {
        c.modified = 1;
        if (!c.buildVBO()) state.SkipWithError("build failed");
        gl->glFinish();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(12 * c.lineVertexCount));
}

void BM_FloorCurveCopy(benchmark::State& state) {
    const qel::Curve& c = bigCurve();
    std::vector<qel::vec3> filled;
    for (const qel::CurveEdge& e : c.edges) {
        filled.push_back(c.vertices[std::size_t(e.v[0])].position);
        filled.push_back(c.vertices[std::size_t(e.v[1])].position);
    }
    std::vector<qel::vec3> target(filled.size());
    for (auto _ : state) {
        std::memcpy(target.data(), filled.data(), filled.size() * sizeof(qel::vec3));
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(filled.size() * sizeof(qel::vec3)));
}

}  // namespace

BENCHMARK(BM_SweptFill)->Name("Swept/Fill")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorSweptCopy)->Name("Floor/SweptCopy")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SweptFillMaterials)->Name("Swept/FillMaterials")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorSweptWriteMaterials)->Name("Floor/SweptWriteMaterials")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SweptUpload)->Name("Swept/Upload")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SweptUploadMaterials)->Name("Swept/UploadMaterials")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurveUpload)->Name("Curve/Upload")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloorCurveCopy)->Name("Floor/CurveCopy")->Unit(benchmark::kMicrosecond);

BENCH_GOAL(benchgoals::ratio("Swept/Fill", 8, "Floor/SweptCopy"));
BENCH_GOAL(benchgoals::ratio("Swept/FillMaterials", 4, "Floor/SweptWriteMaterials"));
