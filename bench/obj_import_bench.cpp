// OBJ import of a million-triangle file: the mesh's whole load (read, parse,
// connectivity, orientation, sharp edges from the normal numbers, normals,
// size) against tinyobjloader parsing the same file.
//
// The file is generated once per run in the temporary folder: a wavy grid of
// 1001 x 501 vertices (1,000,000 triangles), one normal per vertex, faces
// written as "f v//n v//n v//n" like the program's own export.

#include <benchmark/benchmark.h>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

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

std::string gridText() {
    std::string out;
    out.reserve(std::size_t(80) << 20);
    out += "# wavy grid\n";
    for (int pass = 0; pass < 2; ++pass) {
        for (int j = 0; j < Rows; ++j)
            for (int i = 0; i < Columns; ++i) {
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
    auto corner = [&out](int v) {
        out += ' ';
        appendInt(out, v);
        out += "//";
        appendInt(out, v);
    };
    for (int j = 0; j + 1 < Rows; ++j)
        for (int i = 0; i + 1 < Columns; ++i) {
            const int a = j * Columns + i + 1, b = a + 1, c = a + Columns + 1, d = a + Columns;
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
    GridFile()
        : path_((std::filesystem::temp_directory_path() / ("tl_grid_" + std::to_string(::getpid()) + ".obj")).string()) {
        const std::string text = gridText();
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
