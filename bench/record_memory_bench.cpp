// The memory that mesh records hold, and the time to fill fresh memory with
// them.
//
//   Resident/<faces>   meshes of about <faces> faces each (grid tori, built
//                      record by record and rebuilt), as many as make about
//                      two million faces in all, alive at once: the
//                      resident memory they added (the freed heap handed
//                      back first), over the bytes their vertex and face
//                      records take (counters resident_mb, records_mb and
//                      their ratio resident_ratio; the chunks freed
//                      meshes leave kept for reuse are given back
//                      before). Goal: resident_ratio at most 1.05 at
//                      every size (memory held in pieces larger than what
//                      is written to them, such as huge pages backed whole
//                      from their first write, takes up to twice the
//                      records at some of these sizes)
//   Clone/Large        a copy of a torus of 2,000,000 faces into fresh
//                      memory (the copy freed untimed, and the chunks it
//                      leaves kept given back)
//   Floor/Clone        the same bytes as its vertex and face records copied
//                      into fresh memory of their size, page by page as the
//                      system hands it over. Goal: Clone/Large at most
//                      1.5 x the floor (a copy that waits on the system
//                      page by page, or for pages it must first gather,
//                      costs more)

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_goals.h"
#include "bench/bench_meshes.h"
#include "mesh/mesh.h"
#include "mesh/record_vector.h"

namespace {

// A torus of U x V quads, two triangles each, in grid order, rebuilt.
std::unique_ptr<qel::Mesh> torus(int U, int V) { return std::unique_ptr<qel::Mesh>(benchmeshes::torus(U, V)); }

// The resident set of the process in MB.
double residentMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

double recordBytes(const qel::Mesh& m) {
    return double(m.faceCount()) * sizeof(qel::MeshFace) + double(m.vertexCount()) * sizeof(qel::MeshVertex);
}

void Resident(benchmark::State& state) {
    const int faces = int(state.range(0));
    const int U = 64, V = faces / (2 * U);
    const int count = 2000000 / (2 * U * V);
    double resident = 0, records = 0;
    for (auto _ : state) {
        malloc_trim(0);
        qel::releaseKeptChunks();
        const double before = residentMb();
        std::vector<std::unique_ptr<qel::Mesh>> meshes;
        records = 0;
        for (int i = 0; i < count; ++i) {
            meshes.push_back(torus(U, V));
            records += recordBytes(*meshes.back());
        }
        resident = residentMb() - before;
        records /= 1024.0 * 1024.0;
    }
    state.counters["meshes"] = count;
    state.counters["resident_mb"] = resident;
    state.counters["records_mb"] = records;
    state.counters["resident_ratio"] = records > 0 ? resident / records : 0;
}
BENCHMARK(Resident)
    ->Name("Resident")
    ->Arg(8704)
    ->Arg(12288)
    ->Arg(20480)
    ->Arg(49152)
    ->Arg(100096)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

const qel::Mesh& large() {
    static const std::unique_ptr<qel::Mesh> m = torus(1000, 1000);
    return *m;
}

void CloneLarge(benchmark::State& state) {
    const qel::Mesh& source = large();
    qel::releaseKeptChunks();
    for (auto _ : state) {
        std::unique_ptr<qel::Mesh> copy(new qel::Mesh(source));
        benchmark::DoNotOptimize(copy->faceCount());
        state.PauseTiming();
        copy.reset();
        malloc_trim(0);
        qel::releaseKeptChunks();
        state.ResumeTiming();
    }
}
BENCHMARK(CloneLarge)->Name("Clone/Large")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The records' bytes copied into fresh memory: std::malloc hands a request
// this large over as a mapping of its own, backed page by page as written.
void FloorClone(benchmark::State& state) {
    const qel::Mesh& source = large();
    const std::size_t faceBytes = std::size_t(source.faceCount()) * sizeof(qel::MeshFace);
    const std::size_t vertexBytes = std::size_t(source.vertexCount()) * sizeof(qel::MeshVertex);
    std::vector<std::uint8_t> flatFaces(faceBytes, 1), flatVertices(vertexBytes, 2);
    for (auto _ : state) {
        std::uint8_t* faces = static_cast<std::uint8_t*>(std::malloc(faceBytes));
        std::uint8_t* vertices = static_cast<std::uint8_t*>(std::malloc(vertexBytes));
        if (!faces || !vertices) state.SkipWithError("out of memory");
        if (faces) std::memcpy(faces, flatFaces.data(), faceBytes);
        if (vertices) std::memcpy(vertices, flatVertices.data(), vertexBytes);
        benchmark::DoNotOptimize(faces);
        benchmark::DoNotOptimize(vertices);
        benchmark::ClobberMemory();
        state.PauseTiming();
        std::free(faces);
        std::free(vertices);
        state.ResumeTiming();
    }
}
BENCHMARK(FloorClone)->Name("Floor/Clone")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCH_GOAL(benchgoals::counterAtMost("Resident/8704", "resident_ratio", 1.05));
BENCH_GOAL(benchgoals::counterAtMost("Resident/12288", "resident_ratio", 1.05));
BENCH_GOAL(benchgoals::counterAtMost("Resident/20480", "resident_ratio", 1.05));
BENCH_GOAL(benchgoals::counterAtMost("Resident/49152", "resident_ratio", 1.05));
BENCH_GOAL(benchgoals::counterAtMost("Resident/100096", "resident_ratio", 1.05));
BENCH_GOAL(benchgoals::ratio("Clone/Large", 1.5, "Floor/Clone"));
