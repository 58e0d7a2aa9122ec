// Brush stamps and the end of a stroke on the sculpting sphere of 1,310,720
// faces, in the order the program makes it (/program) and with its vertices
// and faces shuffled (/shuffled), as a file written by another program may
// hold them. Every stamp is a later step of a running stroke (three
// samples) after the stroke's first step, brush radius 0.2 x the sphere's
// radius; successive stamps step back and forth so that the surface stays
// put.
//
//   DeformStamp          the whole-mesh deform: the peer of the others
//   SmoothStamp          goal: at most 2 ms in program order, 4 ms shuffled
//   PaintStamp           the same goal
//   DeformPatchStamp, DeformComponentStamp, SmoothComponentStamp,
//   PaintPatchStamp      the scoped stamps (the sphere is one patch and one
//                        component): goal at most 2 x DeformStamp
//   StrokeEnd            the ended step of a stroke of eight stamps (the
//                        normals of what the stroke moved): goal at most
//                        30 ms and at most 3 x StampNormals
//   StampNormals         the normal refresh of one stamp (selectV, the
//                        one-ring margin, the selected normals): the peer of
//                        StrokeEnd
//   WholeNormals         calculateNormals(2), what the ended step ran before
//
// Each goal is a counter: goal_ms (absolute, per iteration) and goal_ratio
// against the peer the counter `peer` names (by its position in this list:
// 1 DeformStamp, 2 StampNormals).

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/bench_meshes.h"
#include "mesh/mesh.h"

namespace {

enum Order { Program = 0, Shuffled = 1 };
enum Peer { DeformPeer = 1, StampNormalsPeer = 2 };

struct Scene {
    std::unique_ptr<qel::Mesh> mesh;
    qel::vec3 centre;  // the brush centre, a point of the surface
    qel::vec3 step;    // one stroke step, along the surface
    float radius = 0;  // the brush radius
    int face = -1;     // the face under the brush
};

Scene make(std::unique_ptr<qel::Mesh> mesh, const qel::vec3& p) {
    Scene r;
    r.mesh = std::move(mesh);
    const float R = float(qel::length(p - r.mesh->centre));
    r.centre = p;
    r.radius = 0.2f * R;
    r.step = qel::normalize(qel::cross(p - r.mesh->centre, qel::vec3(0.3f, 1, 0.1f))) * (0.01f * R);
    r.face = r.mesh->findFirstFace(p);
    return r;
}

Scene& scene(Order order) {
    static Scene program = [] {
        std::unique_ptr<qel::Mesh> m(benchmeshes::sculptSphere());
        const qel::vec3 p = m->vertices[0].position;
        return make(std::move(m), p);
    }();
    if (order == Program) return program;
    static Scene shuffled = make(std::unique_ptr<qel::Mesh>(benchmeshes::shuffledCopy(*program.mesh)), program.centre);
    return shuffled;
}

// A stroke on the scene: one Sculptor whose steps go back and forth.
class Stroke {
public:
    Stroke(Scene& s, qel::Sculptor::TAction action, qel::Sculptor::TSelect select) : s_(s) {
        sculptor_.action = action;
        sculptor_.select = select;
        sculptor_.viewDirection = qel::normalize(s.centre - s.mesh->centre);
        qel::SBrush b;
        b.point = s.centre;
        b.radius = s.radius;
        b.itemId = s.face;
        b.material = qel::pbr(qel::wvec4(65535, 0, 0, 65535), qel::wvec4(0, 0, 0, 65535), 0, 0);
        brush_ = b;
    }
    // The press and the first step (two samples).
    void press() {
        sculptor_.begin();
        sculptor_.samples.assign(1, brush_);
        run();
        sculptor_.move();
        sculptor_.samples.push_back(brush_);
        sculptor_.samples.back().point = s_.centre + s_.step;
        forward_ = false;
        run();
    }
    // One later step (three samples kept).
    void step() {
        sculptor_.samples.resize(3, brush_);
        sculptor_.samples[1].point = forward_ ? s_.centre : s_.centre + s_.step;
        sculptor_.samples[2].point = forward_ ? s_.centre + s_.step : s_.centre;
        forward_ = !forward_;
        run();
    }
    // The release: the last step with the gesture ended.
    void end() {
        sculptor_.end();
        step();
    }

private:
    void run() {
        std::vector<qel::Sculptor*> list{&sculptor_};
        s_.mesh->sculpt(list);
    }

    Scene& s_;
    qel::Sculptor sculptor_;
    qel::SBrush brush_;
    bool forward_ = true;
};

void counters(benchmark::State& state, Order order, double goalMs, double goalRatio = 0, Peer peer = Peer(0)) {
    state.counters["faces"] = double(scene(order).mesh->faceCount());
    if (goalMs > 0) state.counters["goal_ms"] = goalMs;
    if (goalRatio > 0) {
        state.counters["goal_ratio"] = goalRatio;
        state.counters["peer"] = double(peer);
    }
}

void stamps(benchmark::State& state, qel::Sculptor::TAction action, qel::Sculptor::TSelect select) {
    const Order order = Order(state.range(0));
    Stroke stroke(scene(order), action, select);
    stroke.press();
    for (auto _ : state) stroke.step();
    benchmark::DoNotOptimize(scene(order).mesh->vertices[0].position);
}

void DeformStamp(benchmark::State& st) {
    stamps(st, qel::Sculptor::Deform, qel::Sculptor::SelectElement);
    counters(st, Order(st.range(0)), 0);
}
void SmoothStamp(benchmark::State& st) {
    stamps(st, qel::Sculptor::Smooth, qel::Sculptor::SelectElement);
    counters(st, Order(st.range(0)), st.range(0) == Program ? 2 : 4);
}
void PaintStamp(benchmark::State& st) {
    stamps(st, qel::Sculptor::PaintMaterial, qel::Sculptor::SelectElement);
    counters(st, Order(st.range(0)), st.range(0) == Program ? 2 : 4);
}
void DeformPatchStamp(benchmark::State& st) {
    stamps(st, qel::Sculptor::Deform, qel::Sculptor::SelectPatch);
    counters(st, Order(st.range(0)), 0, 2, DeformPeer);
}
void DeformComponentStamp(benchmark::State& st) {
    stamps(st, qel::Sculptor::Deform, qel::Sculptor::SelectComponent);
    counters(st, Order(st.range(0)), 0, 2, DeformPeer);
}
void SmoothComponentStamp(benchmark::State& st) {
    stamps(st, qel::Sculptor::Smooth, qel::Sculptor::SelectComponent);
    counters(st, Order(st.range(0)), 0, 2, DeformPeer);
}
void PaintPatchStamp(benchmark::State& st) {
    stamps(st, qel::Sculptor::PaintMaterial, qel::Sculptor::SelectPatch);
    counters(st, Order(st.range(0)), 0, 2, DeformPeer);
}

// The ended step of a Deform stroke of eight stamps, alone timed.
void StrokeEnd(benchmark::State& state) {
    const Order order = Order(state.range(0));
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
    counters(state, order, 30, 3, StampNormalsPeer);
}

// One stamp's normal refresh: the stamp's vertices, the faces round them
// with their other vertices, the normals of those.
void StampNormals(benchmark::State& state) {
    const Order order = Order(state.range(0));
    Scene& s = scene(order);
    for (auto _ : state) {
        s.mesh->selectV(s.centre, s.radius, true);
        s.mesh->selectMarginal();
        s.mesh->calculateSelectedNormals();
        s.mesh->deselectAll();
    }
    counters(state, order, 0);
}

void WholeNormals(benchmark::State& state) {
    const Order order = Order(state.range(0));
    for (auto _ : state) scene(order).mesh->calculateNormals(2);
    counters(state, order, 0);
}

void orders(benchmark::internal::Benchmark* b) {
    b->ArgName("shuffled")->Arg(Program)->Arg(Shuffled)->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(DeformStamp)->Apply(orders);
BENCHMARK(SmoothStamp)->Apply(orders);
BENCHMARK(PaintStamp)->Apply(orders);
BENCHMARK(DeformPatchStamp)->Apply(orders);
BENCHMARK(DeformComponentStamp)->Apply(orders);
BENCHMARK(SmoothComponentStamp)->Apply(orders);
BENCHMARK(PaintPatchStamp)->Apply(orders);
BENCHMARK(StampNormals)->Apply(orders);
BENCHMARK(StrokeEnd)->Apply(orders);
BENCHMARK(WholeNormals)->Apply(orders);
