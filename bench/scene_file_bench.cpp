// Saving and loading a scene that holds one million-triangle mesh (a grid
// torus placed once as an object and once as a template sharing it),
// against the floor of a load: reading the same file's bytes and building
// and initialising the same mesh from its record.
//
//   Scene/Save                 the whole scene file, written atomically
//   Scene/Load                 Scene::load of that file into a fresh scene
//   Floor/ReadAndInitialize    file bytes + Mesh(buffer&) + initialize(0)

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "scene/buffer.h"
#include "scene/scene.h"

namespace {

// A torus of U x V quads, two triangles each: 1,001,112 triangles.
qel::Mesh* torus() {
    const int U = 708, V = 707;
    auto* m = new qel::Mesh();
    const double pi2 = 6.283185307179586;
    for (int i = 0; i < U; ++i)
        for (int j = 0; j < V; ++j) {
            const double a = pi2 * i / U, b = pi2 * j / V;
            m->vertexAdd(qel::vec3(float((2 + std::cos(b)) * std::cos(a)), float((2 + std::cos(b)) * std::sin(a)),
                                   float(std::sin(b))));
        }
    for (int i = 0; i < U; ++i)
        for (int j = 0; j < V; ++j) {
            const int a = i * V + j, b = ((i + 1) % U) * V + j;
            const int c = ((i + 1) % U) * V + (j + 1) % V, d = i * V + (j + 1) % V;
            m->faceAdd(a, b, c);
            m->faceAdd(a, c, d);
        }
    m->initialize(qel::Element::ResizeMean);
    return m;
}

struct Fixture {
    QTemporaryDir dir;
    std::string path;
    Fixture() : path(dir.filePath("torus.tl").toStdString()) {
        qel::Scene scene;
        qel::Mesh* mesh = torus();
        qel::Tool* tmpl = scene.addTool(new qel::Tool(mesh, qel::mat4::Identity(), qel::pbr(), false));
        scene.addObject(tmpl, qel::mat4::Translation(1, 0, 0), qel::Scene::HangTop, true);
        scene.save(path);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void SceneSave(benchmark::State& state) {
    qel::Scene scene;
    scene.load(fixture().path);
    const std::string out = fixture().dir.filePath("saved.tl").toStdString();
    for (auto _ : state) benchmark::DoNotOptimize(scene.save(out));
}

void SceneLoad(benchmark::State& state) {
    for (auto _ : state) {
        qel::Scene scene;
        benchmark::DoNotOptimize(scene.load(fixture().path));
        state.PauseTiming();
        scene.init();  // the freeing is not part of the load
        state.ResumeTiming();
    }
}

void FloorReadAndInitialize(benchmark::State& state) {
    for (auto _ : state) {
        QFile f(QString::fromStdString(fixture().path));
        f.open(QIODevice::ReadOnly);
        std::vector<std::uint8_t> bytes(std::size_t(f.size()));
        f.read(reinterpret_cast<char*>(bytes.data()), qint64(bytes.size()));
        qel::buffer b(std::move(bytes));
        // Past the header and the tools chunks to the one mesh record.
        std::uint32_t tag = 0, length = 0;
        b.readRecordHeader(tag, length);
        qel::FILE_VERSION = std::int32_t(length);
        while (b.readRecordHeader(tag, length) && tag != 0xEEEEEEEEu) b.skip(length);
        b.readRecordHeader(tag, length);
        auto* mesh = new qel::Mesh(b);
        mesh->initialize(qel::Element::ResizeKeep);
        benchmark::DoNotOptimize(mesh->faceCount());
        state.PauseTiming();
        delete mesh;
        state.ResumeTiming();
    }
}

BENCHMARK(SceneSave)->Name("Scene/Save")->Unit(benchmark::kMillisecond);
BENCHMARK(SceneLoad)->Name("Scene/Load")->Unit(benchmark::kMillisecond);
BENCHMARK(FloorReadAndInitialize)->Name("Floor/ReadAndInitialize")->Unit(benchmark::kMillisecond);

}  // namespace
