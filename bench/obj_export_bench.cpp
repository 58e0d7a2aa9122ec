// The whole-scene Wavefront export of one million-triangle object (the grid
// torus, placed once), split into its two parts, side by side with the
// floor of the geometry part:
//
//   Export/Scene      Scene::save to an ".obj" path: the six files, complete
//   Export/Geometry   the OBJ text of the object (ObjMtlTexWriter through an
//                     ExportStream into a file; the atlas cells are painted
//                     on the way, the maps not encoded)
//   Export/Maps       the four atlas maps: the cells painted and each map
//                     encoded as PNG into a file
//   Floor/PlainWriter the same OBJ lines ("v", "vt", "vn", "f") written from
//                     flat arrays with std::to_chars into a file
//
// Goal: Export/Geometry at most 2 x Floor/PlainWriter. The plain writer's
// bytes are the geometry's own (checked once, before timing).

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_goals.h"
#include "bench/bench_meshes.h"
#include "mesh/export_stream.h"
#include "mesh/mesh.h"
#include "mesh/obj_mtl_tex_writer.h"
#include "mesh/texture_atlas.h"
#include "scene/scene.h"

namespace {

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<qel::Mesh> mesh{benchmeshes::torus()};
    std::string out(const char* name) const { return dir.filePath(name).toStdString(); }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// The object's OBJ text as the geometry part writes it.
std::string geometryText(qel::TextureAtlas& atlas) {
    std::ostringstream obj, mtl;
    qel::ExportStream o(obj), m(mtl);
    qel::ObjMtlTexWriter writer(o, m, atlas, 1);
    writer.appendOBJ_MTL_TEX(*fixture().mesh, qel::mat4::Identity(), qel::pbr());
    o.flush();
    return obj.str();
}

// The lines of the geometry as flat arrays: the floor's input.
struct Lines {
    std::string head;                 // the text before the first "v " line
    std::vector<float> v, vt, vn;     // 3, 2 and 3 numbers a line
    std::vector<std::int64_t> f;      // 9 numbers a face
};

const char* skipTo(const char* p, char c) {
    while (*p != c) ++p;
    return p;
}

Lines parse(const std::string& text) {
    Lines r;
    const char* p = text.c_str();
    const char* first = std::strstr(p, "\nv ");
    r.head.assign(p, first + 1);
    p = first + 1;
    const char* end = text.c_str() + text.size();
    auto number = [&](float& x) {
        while (*p == ' ' || *p == '/') ++p;
        const std::from_chars_result res = std::from_chars(p, end, x);
        p = res.ptr;
    };
    auto integer = [&](std::int64_t& x) {
        while (*p == ' ' || *p == '/') ++p;
        const std::from_chars_result res = std::from_chars(p, end, x);
        p = res.ptr;
    };
    while (p < end) {
        if (p[0] == 'v' && p[1] == ' ') {
            p += 2;
            for (int i = 0; i < 3; ++i) number(r.v.emplace_back());
        } else if (p[0] == 'v' && p[1] == 't') {
            p += 3;
            for (int i = 0; i < 2; ++i) number(r.vt.emplace_back());
        } else if (p[0] == 'v' && p[1] == 'n') {
            p += 3;
            for (int i = 0; i < 3; ++i) number(r.vn.emplace_back());
        } else if (p[0] == 'f') {
            p += 1;
            for (int i = 0; i < 9; ++i) integer(r.f.emplace_back());
        }
        p = skipTo(p, '\n') + 1;
    }
    return r;
}

// The plain writer: to_chars into one buffer flushed to the file per megabyte.
class PlainWriter {
public:
    explicit PlainWriter(std::FILE* f) : f_(f) { buffer_.resize(Capacity + 256); }
    ~PlainWriter() { flush(); }
    void text(const char* s, std::size_t n) {
        std::memcpy(buffer_.data() + n_, s, n);
        n_ += n;
    }
    void number(float x) { n_ = std::size_t(std::to_chars(at(), at() + 32, x).ptr - buffer_.data()); }
    void integer(std::int64_t x) { n_ = std::size_t(std::to_chars(at(), at() + 24, x).ptr - buffer_.data()); }
    void endLine() {
        buffer_[n_++] = '\n';
        if (n_ >= Capacity) flush();
    }
    void flush() {
        std::fwrite(buffer_.data(), 1, n_, f_);
        n_ = 0;
    }

private:
    static constexpr std::size_t Capacity = std::size_t(1) << 20;
    char* at() { return buffer_.data() + n_; }
    std::FILE* f_;
    std::vector<char> buffer_;
    std::size_t n_ = 0;
};

void writePlain(const Lines& l, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    {
        PlainWriter w(file);
        w.text(l.head.data(), l.head.size());
        auto vectors = [&w](const std::vector<float>& xs, const char* prefix, std::size_t n) {
            for (std::size_t i = 0; i < xs.size(); i += n) {
                w.text(prefix, std::strlen(prefix));
                for (std::size_t j = 0; j < n; ++j) {
                    if (j) w.text(" ", 1);
                    w.number(xs[i + j]);
                }
                w.endLine();
            }
        };
        vectors(l.v, "v ", 3);
        vectors(l.vt, "vt ", 2);
        vectors(l.vn, "vn ", 3);
        for (std::size_t i = 0; i < l.f.size(); i += 9) {
            w.text("f", 1);
            for (int c = 0; c < 3; ++c) {
                w.text(" ", 1);
                w.integer(l.f[i + 3 * c]);
                w.text("/", 1);
                w.integer(l.f[i + 3 * c + 1]);
                w.text("/", 1);
                w.integer(l.f[i + 3 * c + 2]);
            }
            w.endLine();
        }
    }
    std::fclose(file);
}

std::string readAll(const std::string& path) {
    std::string s;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[1 << 16];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) s.append(chunk, n);
        std::fclose(f);
    }
    return s;
}

void ExportScene(benchmark::State& state) {
    qel::Scene scene;
    qel::Tool* tmpl = scene.addTool(new qel::Tool(fixture().mesh->clone(), qel::mat4::Identity(), qel::pbr(), false));
    scene.addObject(tmpl, qel::mat4::Identity(), qel::Scene::HangTop, true);
    const std::string out = fixture().out("scene.obj");
    for (auto _ : state) benchmark::DoNotOptimize(scene.save(out));
    state.counters["faces"] = double(fixture().mesh->faceCount());
}

void ExportGeometry(benchmark::State& state) {
    const qel::Mesh& mesh = *fixture().mesh;
    qel::TextureAtlas atlas;
    atlas.create(mesh.faceCount());
    const std::string out = fixture().out("geometry.obj");
    for (auto _ : state) {
        QFile obj(QString::fromStdString(out));
        obj.open(QIODevice::WriteOnly);
        std::ostringstream mtl;
        qel::ExportStream o(obj), m(mtl);
        qel::ObjMtlTexWriter writer(o, m, atlas, 1);
        writer.appendOBJ_MTL_TEX(mesh, qel::mat4::Identity(), qel::pbr());
        benchmark::DoNotOptimize(o.flush());
    }
    state.counters["faces"] = double(mesh.faceCount());
}

void ExportMaps(benchmark::State& state) {
    const qel::Mesh& mesh = *fixture().mesh;
    const std::string out = fixture().out("map.png");
    for (auto _ : state) {
        qel::TextureAtlas atlas;
        atlas.create(mesh.faceCount());
        std::int64_t cell = 0;
        for (int f = 0; f < mesh.faceCount(); ++f) {
            const qel::MeshFace& F = mesh.faces[f];
            if (F.isActive()) atlas.paintCell(cell++, F.material[0], F.material[1], F.material[2]);
        }
        for (int m = 0; m < qel::TextureAtlas::MapCount; ++m) {
            QFile file(QString::fromStdString(out));
            file.open(QIODevice::WriteOnly);
            benchmark::DoNotOptimize(atlas.save(qel::TextureAtlas::TMap(m), file));
        }
    }
}

void FloorPlainWriter(benchmark::State& state) {
    qel::TextureAtlas atlas;
    atlas.create(fixture().mesh->faceCount());
    const std::string text = geometryText(atlas);
    const Lines lines = parse(text);
    const std::string out = fixture().out("plain.obj");
    writePlain(lines, out);
    if (readAll(out) != text) {
        state.SkipWithError("the plain writer's bytes differ from the export's");
        return;
    }
    for (auto _ : state) writePlain(lines, out);
    state.counters["bytes"] = double(text.size());
}

}  // namespace

BENCHMARK(ExportScene)->Name("Export/Scene")->Unit(benchmark::kMillisecond);
BENCHMARK(ExportGeometry)->Name("Export/Geometry")->Unit(benchmark::kMillisecond);
BENCHMARK(ExportMaps)->Name("Export/Maps")->Unit(benchmark::kMillisecond);
BENCHMARK(FloorPlainWriter)->Name("Floor/PlainWriter")->Unit(benchmark::kMillisecond);

BENCH_GOAL(benchgoals::ratio("Export/Geometry", 2, "Floor/PlainWriter"));
