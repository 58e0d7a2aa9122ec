// OBJ import of a million-triangle file: the mesh's whole load (read, parse,
// connectivity, orientation, sharp edges from the normal numbers, normals,
// size) against tinyobjloader parsing the same file.
//
// The file is generated once per run in the temporary folder: a wavy grid of
// 1001 x 501 vertices (1,000,000 triangles), one normal per vertex, faces
// written as "f v//n v//n v//n" like the program's own export. The same
// grid is also written scattered: vertices and faces in a random order.
//
//   Peak/InSurfaceOrder, Peak/Scattered   the memory an import of each file
//       takes at its peak (above what the process held before), beside
//       tinyobjloader's peak on the same file; counters peak_mb, peer_mb
//       and their ratio peak_ratio. Goal: peak_ratio <= 1.2 for both.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_goals.h"
#include "mesh/mesh.h"

namespace {

constexpr int Columns = 1001;
constexpr int Rows = 501;

void appendNumber(std::string& out, double v) {
    char text[32];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, v, std::chars_format::general, 6);
    out.append(text, r.ptr);
}

void appendInt(std::string& out, int v) {
    char text[16];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, v);
    out.append(text, r.ptr);
}

// The grid's text; scattered: its vertices (with their normals) numbered
// in a random order and its faces listed in a random order.
std::string gridText(bool scattered = false) {
    const int nV = Columns * Rows;
    std::vector<int> number(static_cast<std::size_t>(nV));  // file number - 1 of grid vertex i
    std::iota(number.begin(), number.end(), 0);
    std::mt19937 random(7);
    if (scattered) std::shuffle(number.begin(), number.end(), random);
    std::vector<int> at(number.size());  // grid vertex of file number - 1
    for (int i = 0; i < nV; ++i) at[std::size_t(number[std::size_t(i)])] = i;
    std::string out;
    out.reserve(std::size_t(80) << 20);
    out += "# wavy grid\n";
    for (int pass = 0; pass < 2; ++pass) {
        for (int n = 0; n < nV; ++n) {
            const int i = at[std::size_t(n)] % Columns, j = at[std::size_t(n)] / Columns;
            const double x = i * 0.01, y = j * 0.01;
            const double z = 0.1 * std::sin(3.0 * x) * std::cos(2.0 * y);
            if (pass == 0) {
                out += "v ";
                appendNumber(out, x);
                out += ' ';
                appendNumber(out, y);
                out += ' ';
                appendNumber(out, z);
            } else {
                const double nx = -0.3 * std::cos(3.0 * x) * std::cos(2.0 * y);
                const double ny = 0.2 * std::sin(3.0 * x) * std::sin(2.0 * y);
                const double l = std::sqrt(nx * nx + ny * ny + 1.0);
                out += "vn ";
                appendNumber(out, nx / l);
                out += ' ';
                appendNumber(out, ny / l);
                out += ' ';
                appendNumber(out, 1.0 / l);
            }
            out += '\n';
        }
    }
    auto corner = [&out, &number](int v) {
        const int n = number[std::size_t(v)] + 1;
        out += ' ';
        appendInt(out, n);
        out += "//";
        appendInt(out, n);
    };
    std::vector<int> quads(static_cast<std::size_t>((Rows - 1) * (Columns - 1)));
    std::iota(quads.begin(), quads.end(), 0);
    if (scattered) std::shuffle(quads.begin(), quads.end(), random);
    for (const int q : quads) {
        const int j = q / (Columns - 1), i = q % (Columns - 1);
        const int a = j * Columns + i, b = a + 1, c = a + Columns + 1, d = a + Columns;
        out += 'f';
        corner(a);
        corner(b);
        corner(c);
        out += "\nf";
        corner(a);
        corner(c);
        corner(d);
        out += '\n';
    }
    return out;
}

// The generated file, removed when the run ends.
class GridFile {
public:
    explicit GridFile(bool scattered = false)
        : path_((std::filesystem::temp_directory_path() /
                 ((scattered ? "tl_grid_scattered_" : "tl_grid_") + std::to_string(::getpid()) + ".obj"))
                    .string()) {
        const std::string text = gridText(scattered);
        if (std::FILE* f = std::fopen(path_.c_str(), "wb")) {
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
    }
    ~GridFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

const std::string& gridPath() {
    static const GridFile file;
    return file.path();
}

const std::string& scatteredGridPath() {
    static const GridFile file(true);
    return file.path();
}

// A field of /proc/self/status in kB ("VmRSS:", "VmHWM:"), 0 when unknown.
double statusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, field.size(), field) == 0) return std::atof(line.c_str() + field.size());
    return 0;
}

// The most memory fn held at once beyond what the process held before, in
// MB: the freed heap is handed back first, and the high-water mark is reset
// to the resident set.
template <class Fn>
double peakMb(Fn fn) {
    malloc_trim(0);
    { std::ofstream("/proc/self/clear_refs") << "5"; }
    const double before = statusKb("VmRSS:");
    fn();
    return (statusKb("VmHWM:") - before) / 1024.0;
}

bool loadTiny(const std::string& path) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    return tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(), nullptr, true);
}

void Peak(benchmark::State& state, bool scattered) {
    const std::string& path = scattered ? scatteredGridPath() : gridPath();
    double peak = 0, peer = 0;
    for (auto _ : state) {
        peak = peakMb([&] {
            qel::Mesh m(path, false);
            if (m.status != 0 || m.faceCount() != 2 * (Columns - 1) * (Rows - 1)) state.SkipWithError("import failed");
        });
        peer = peakMb([&] {
            if (!loadTiny(path)) state.SkipWithError("tinyobjloader failed");
        });
    }
    state.counters["peak_mb"] = peak;
    state.counters["peer_mb"] = peer;
    state.counters["peak_ratio"] = peer > 0 ? peak / peer : 0;
}
BENCHMARK_CAPTURE(Peak, surface, false)->Name("Peak/InSurfaceOrder")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(Peak, scattered, true)->Name("Peak/Scattered")->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_MeshLoadObj(benchmark::State& state) {
    const std::string& path = gridPath();
    for (auto _ : state) {
        qel::Mesh m(path, false);
        if (m.status != 0 || m.faceCount() != 2 * (Columns - 1) * (Rows - 1)) state.SkipWithError("import failed");
        benchmark::DoNotOptimize(m.faces.size());
    }
}
BENCHMARK(BM_MeshLoadObj)->Unit(benchmark::kMillisecond)->Iterations(5);

// Reading and parsing only, without the rebuild.
void BM_MeshParseObj(benchmark::State& state) {
    const std::string& path = gridPath();
    for (auto _ : state) {
        qel::Mesh m;
        m.loadOBJ(path);
        benchmark::DoNotOptimize(m.faces.size());
    }
}
BENCHMARK(BM_MeshParseObj)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_TinyObjLoader(benchmark::State& state) {
    const std::string& path = gridPath();
    for (auto _ : state) {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(), nullptr, true))
            state.SkipWithError("tinyobjloader failed");
        benchmark::DoNotOptimize(attrib.vertices.data());
    }
}
BENCHMARK(BM_TinyObjLoader)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCH_GOAL(benchgoals::counterAtMost("Peak/InSurfaceOrder", "peak_ratio", 1.2));
BENCH_GOAL(benchgoals::counterAtMost("Peak/Scattered", "peak_ratio", 1.2));
