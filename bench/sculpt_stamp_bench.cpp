// One brush stamp on a smooth sphere of 1,310,720 faces (the icosahedron
// refined 8 times): one sculpt call with one Sculptor on a later step of a
// running stroke (three samples), brush radius 0.2 x the sphere's radius.
//
// The whole-mesh stamps (Deform, Smooth, PaintMaterial, Pinch, Twist,
// DeformVolume) each have the goal: at most 5 times the floor of the same
// result, measured in the same run (a stamp is a part of a frame; the frames
// a user waits for are bounded in milliseconds by the stroke benchmarks). The vertices in the brush ball are
// listed once outside the clock in every floor. DeformFloor, the floor of
// the moving stamps: those vertices moved in a flat array by the
// falloff-weighted step and the normals of the faces round them made
// again. SmoothFloor: each moved half way to the mean of its ring, read
// from flat neighbour lists, then the face normals round them and the
// corner normals of those faces' vertices made again (the Smooth stamp
// refreshes both; the others leave the normals to the stroke's end).
// PaintFloor: the stamp's paint channels of one corner of each blended and
// written to all its corners, laid out in one flat run (painting moves
// nothing). SelectVScan is selectV alone with the same ball (and the
// deselectAll that ends it): its share of each stamp is the scan's. Deform
// within the patch and within the component (the sphere is one patch and
// one component; their goals are in sculpt_order_bench) and one Relax step
// have no goal.
//
// Successive stamps step back and forth so that the surface stays put; the
// twist turns about the axis through a first sample a little to the side.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "bench/bench_goals.h"
#include "bench/bench_meshes.h"
#include "mesh/mesh.h"

namespace {

using Scene = benchmeshes::BrushScene;

Scene& scene() {
    static Scene s = [] {
        std::unique_ptr<qel::Mesh> m(benchmeshes::stampSphere());
        const qel::vec3 p = m->vertices[0].position;
        return benchmeshes::brushScene(std::move(m), p);
    }();
    return s;
}

// After the stroke's first step, one sculpt call with three samples: the
// step from sample 1 to sample 2, forward on even iterations and back on odd
// ones.
void stamp(benchmark::State& state, qel::Sculptor::TAction action, qel::Sculptor::TSelect select,
           const qel::vec3& firstOffset = qel::vec3(0, 0, 0)) {
    Scene& s = scene();
    qel::Sculptor sculptor;
    qel::SBrush b;
    benchmeshes::brushSculptor(s, action, select, sculptor, b);
    // The stroke's first step (two samples), untimed: what a stroke keeps
    // for its later steps is made there.
    sculptor.samples.assign(2, b);
    sculptor.samples[0].point += firstOffset;
    sculptor.state = qel::Gesture::Moving;
    std::vector<qel::Sculptor*> list{&sculptor};
    s.mesh->sculpt(list);
    sculptor.samples.push_back(b);
    bool forward = true;
    for (auto _ : state) {
        sculptor.samples[1].point = forward ? s.centre : s.centre + s.step;
        sculptor.samples[2].point = forward ? s.centre + s.step : s.centre;
        forward = !forward;
        s.mesh->sculpt(list);
        benchmark::DoNotOptimize(s.mesh->vertices[0].position);
    }
    state.counters["faces"] = double(s.mesh->faceCount());
}

void DeformStamp(benchmark::State& st) { stamp(st, qel::Sculptor::Deform, qel::Sculptor::SelectElement); }
void SmoothStamp(benchmark::State& st) { stamp(st, qel::Sculptor::Smooth, qel::Sculptor::SelectElement); }
void PaintStamp(benchmark::State& st) { stamp(st, qel::Sculptor::PaintMaterial, qel::Sculptor::SelectElement); }
void PinchStamp(benchmark::State& st) { stamp(st, qel::Sculptor::Pinch, qel::Sculptor::SelectElement); }
void TwistStamp(benchmark::State& st) {
    // The first sample five steps to the side across the stroke: the step
    // turns by about 0.05 radians.
    const Scene& s = scene();
    const qel::vec3 side = qel::cross(qel::normalize(s.centre - s.mesh->centre), s.step);
    stamp(st, qel::Sculptor::Twist, qel::Sculptor::SelectElement, side * 5.0f);
}
void DeformVolumeStamp(benchmark::State& st) { stamp(st, qel::Sculptor::DeformVolume, qel::Sculptor::SelectElement); }
void DeformPatchStamp(benchmark::State& st) { stamp(st, qel::Sculptor::Deform, qel::Sculptor::SelectPatch); }
void DeformComponentStamp(benchmark::State& st) { stamp(st, qel::Sculptor::Deform, qel::Sculptor::SelectComponent); }
void RelaxStep(benchmark::State& st) { stamp(st, qel::Sculptor::Relax, qel::Sculptor::SelectElement); }

// The floor of the stamps: the vertices a stamp moves, found once outside
// the clock, moved in a flat array of positions by the falloff-weighted step
// (their offsets and weights computed again each time, as a stamp must),
// and the normals of the faces round them made again from flat corners.
void DeformFloor(benchmark::State& state) {
    Scene& s = scene();
    std::vector<qel::vec3> points;
    points.reserve(std::size_t(s.mesh->vertexCount()));
    for (int v = 0; v < s.mesh->vertexCount(); ++v) points.push_back(s.mesh->vertices[v].position);
    const float r = s.radius, r2 = r * r;
    std::vector<std::int32_t> inside;
    for (std::size_t v = 0; v < points.size(); ++v) {
        const qel::vec3 o = points[v] - s.centre;
        if (double(o.x) * o.x + double(o.y) * o.y + double(o.z) * o.z < double(r2)) inside.push_back(std::int32_t(v));
    }
    // The corners of the faces round them, three by three, and their normals.
    std::vector<char> moves(points.size(), 0);
    for (const std::int32_t v : inside) moves[std::size_t(v)] = 1;
    std::vector<std::int32_t> corners;
    for (int f = 0; f < s.mesh->faceCount(); ++f) {
        const qel::MeshFace& F = s.mesh->faces[f];
        if (moves[std::size_t(F.v[0])] || moves[std::size_t(F.v[1])] || moves[std::size_t(F.v[2])])
            corners.insert(corners.end(), F.v, F.v + 3);
    }
    std::vector<qel::vec3> normals(corners.size() / 3);
    bool forward = true;
    for (auto _ : state) {
        const qel::vec3 c = forward ? s.centre : s.centre + s.step;
        const qel::vec3 d = forward ? s.step : -s.step;
        forward = !forward;
        for (const std::int32_t v : inside) {
            qel::vec3& p = points[std::size_t(v)];
            const qel::vec3 o = p - c;
            const double q = double(o.x) * o.x + double(o.y) * o.y + double(o.z) * o.z;
            if (q >= double(r2)) continue;
            p += d * float(qel::Mesh::falloff(std::sqrt(q / double(r2))));
        }
        for (std::size_t i = 0; i < normals.size(); ++i) {
            const qel::vec3& a = points[std::size_t(corners[3 * i])];
            normals[i] = qel::normalize(qel::cross(points[std::size_t(corners[3 * i + 1])] - a,
                                                   points[std::size_t(corners[3 * i + 2])] - a));
        }
        benchmark::DoNotOptimize(points.data());
        benchmark::DoNotOptimize(normals.data());
    }
    state.counters["vertices"] = double(inside.size());
}

// The sphere's corners round the vertices of the ball, laid flat outside
// the clock: the ball's vertices, the faces holding them (first) and the
// further faces round their other vertices, and for each vertex of those
// faces its corners (face slot x 3 + corner) and, for a ball vertex, its
// ring: the vertex across each face's forward edge.
struct FlatRound {
    std::vector<qel::vec3> points;        // every vertex's position
    std::vector<std::int32_t> inside;     // the ball's vertices
    std::vector<std::int32_t> faces;      // per face slot: the face
    std::vector<std::int32_t> corners;    // per face slot: its three vertices
    std::size_t moved = 0;                // slots [0, moved): faces holding a ball vertex
    std::vector<std::int32_t> round;      // the vertices of those faces
    std::vector<std::uint32_t> slotFirst; // per round vertex: its run in slots
    std::vector<std::uint32_t> slots;     // face slot x 3 + corner
    std::vector<std::uint32_t> ringFirst; // per ball vertex: its run in ring
    std::vector<std::int32_t> ring;

    explicit FlatRound(const benchmeshes::BrushScene& s) {
        const qel::Mesh& m = *s.mesh;
        points.reserve(std::size_t(m.vertexCount()));
        for (int v = 0; v < m.vertexCount(); ++v) points.push_back(m.vertices[v].position);
        const float r2 = s.radius * s.radius;
        std::vector<std::int32_t> at(points.size(), -1);  // a ball vertex's entry in inside
        for (std::size_t v = 0; v < points.size(); ++v) {
            const qel::vec3 o = points[v] - s.centre;
            if (double(o.x) * o.x + double(o.y) * o.y + double(o.z) * o.z < double(r2)) {
                at[v] = std::int32_t(inside.size());
                inside.push_back(std::int32_t(v));
            }
        }
        // Faces holding a ball vertex first, then those holding a vertex of
        // theirs; the round vertices are the vertices of the first.
        std::vector<std::int32_t> roundAt(points.size(), -1);
        std::vector<std::int32_t> order;
        auto holds = [&](const qel::MeshFace& F, const std::vector<std::int32_t>& mark) {
            return mark[std::size_t(F.v[0])] >= 0 || mark[std::size_t(F.v[1])] >= 0 || mark[std::size_t(F.v[2])] >= 0;
        };
        for (int f = 0; f < m.faceCount(); ++f)
            if (holds(m.faces[f], at)) {
                order.push_back(f);
                for (const int v : m.faces[f].v)
                    if (roundAt[std::size_t(v)] < 0) {
                        roundAt[std::size_t(v)] = std::int32_t(round.size());
                        round.push_back(v);
                    }
            }
        moved = order.size();
        for (int f = 0; f < m.faceCount(); ++f)
            if (!holds(m.faces[f], at) && holds(m.faces[f], roundAt)) order.push_back(f);
        std::vector<std::vector<std::uint32_t>> byVertex(round.size());
        std::vector<std::vector<std::int32_t>> ringOf(inside.size());
        faces = order;
        for (std::size_t j = 0; j < order.size(); ++j) {
            const qel::MeshFace& F = m.faces[order[j]];
            corners.insert(corners.end(), F.v, F.v + 3);
            for (int k = 0; k < 3; ++k) {
                const std::size_t v = std::size_t(F.v[k]);
                if (roundAt[v] >= 0) byVertex[std::size_t(roundAt[v])].push_back(std::uint32_t(3 * j + std::size_t(k)));
                if (at[v] >= 0) ringOf[std::size_t(at[v])].push_back(F.v[(k + 1) % 3]);
            }
        }
        for (const auto& list : byVertex) {
            slotFirst.push_back(std::uint32_t(slots.size()));
            slots.insert(slots.end(), list.begin(), list.end());
        }
        slotFirst.push_back(std::uint32_t(slots.size()));
        for (const auto& list : ringOf) {
            ringFirst.push_back(std::uint32_t(ring.size()));
            ring.insert(ring.end(), list.begin(), list.end());
        }
        ringFirst.push_back(std::uint32_t(ring.size()));
    }
};

// The floor of the Smooth stamp: each vertex of the ball (listed once
// outside the clock) moved half way towards the mean of its ring, read from
// a flat neighbour list, by the falloff weight (the offsets and weights
// computed again each time, all means read before any vertex moves); then
// the normals of the faces round them made again from flat corners, and
// the corner normals of every vertex of those faces, each the normalised
// sum of its faces' normals.
void SmoothFloor(benchmark::State& state) {
    Scene& s = scene();
    FlatRound flat(s);
    const float r2 = s.radius * s.radius;
    const std::size_t faceSlots = flat.corners.size() / 3;
    std::vector<qel::vec3> normals(faceSlots), cornerNormals(3 * faceSlots), steps(flat.inside.size());
    for (std::size_t j = 0; j < faceSlots; ++j) {
        const qel::vec3& a = flat.points[std::size_t(flat.corners[3 * j])];
        normals[j] = qel::normalize(qel::cross(flat.points[std::size_t(flat.corners[3 * j + 1])] - a,
                                               flat.points[std::size_t(flat.corners[3 * j + 2])] - a));
    }
    bool forward = true;
    for (auto _ : state) {
        const qel::vec3 c = forward ? s.centre : s.centre + s.step;
        forward = !forward;
        for (std::size_t i = 0; i < flat.inside.size(); ++i) {
            const qel::vec3 p = flat.points[std::size_t(flat.inside[i])];
            const qel::vec3 o = p - c;
            const double q = double(o.x) * o.x + double(o.y) * o.y + double(o.z) * o.z;
            steps[i] = qel::vec3(0, 0, 0);
            if (q >= double(r2)) continue;
            qel::vec3 sum(0, 0, 0);
            for (std::uint32_t j = flat.ringFirst[i]; j < flat.ringFirst[i + 1]; ++j)
                sum += flat.points[std::size_t(flat.ring[j])];
            const float n = float(flat.ringFirst[i + 1] - flat.ringFirst[i]);
            steps[i] = (sum / n - p) * float(0.5 * qel::Mesh::falloff(std::sqrt(q / double(r2))));
        }
        for (std::size_t i = 0; i < flat.inside.size(); ++i) flat.points[std::size_t(flat.inside[i])] += steps[i];
        for (std::size_t j = 0; j < flat.moved; ++j) {
            const qel::vec3& a = flat.points[std::size_t(flat.corners[3 * j])];
            normals[j] = qel::normalize(qel::cross(flat.points[std::size_t(flat.corners[3 * j + 1])] - a,
                                                   flat.points[std::size_t(flat.corners[3 * j + 2])] - a));
        }
        for (std::size_t i = 0; i + 1 < flat.slotFirst.size(); ++i) {
            qel::vec3 sum(0, 0, 0);
            for (std::uint32_t j = flat.slotFirst[i]; j < flat.slotFirst[i + 1]; ++j) sum += normals[flat.slots[j] / 3];
            const qel::vec3 n = qel::normalize(sum);
            for (std::uint32_t j = flat.slotFirst[i]; j < flat.slotFirst[i + 1]; ++j) cornerNormals[flat.slots[j]] = n;
        }
        benchmark::DoNotOptimize(flat.points.data());
        benchmark::DoNotOptimize(cornerNormals.data());
    }
    state.counters["vertices"] = double(flat.inside.size());
}

// One channel of the paint blend, (old - P) a + P truncated and clamped.
long blendChannel(long old, long target, float a, long lo, long hi) {
    return long(std::clamp(double(float(old - target) * a + float(target)), double(lo), double(hi)));
}

// The floor of the Paint stamp: the corners of each vertex of the ball in
// one flat run of materials; the vertex's weight from its offset, one
// corner's material blended towards the brush's in the stamp's channels
// (colour, roughness, metalness) and those channels written to all its
// corners.
void PaintFloor(benchmark::State& state) {
    Scene& s = scene();
    const qel::Mesh& m = *s.mesh;
    FlatRound flat(s);
    // The ball vertices' corners, vertex by vertex: flat.slots lists the
    // round vertices' corners, and every ball vertex is a round vertex.
    std::vector<std::uint32_t> first{0};
    std::vector<qel::pbr> paint;
    {
        std::vector<std::int32_t> roundAt(flat.points.size(), -1);
        for (std::size_t i = 0; i < flat.round.size(); ++i) roundAt[std::size_t(flat.round[i])] = std::int32_t(i);
        for (const std::int32_t v : flat.inside) {
            const std::size_t i = std::size_t(roundAt[std::size_t(v)]);
            for (std::uint32_t j = flat.slotFirst[i]; j < flat.slotFirst[i + 1]; ++j) {
                const std::uint32_t slot = flat.slots[j];
                paint.push_back(m.faces[flat.faces[slot / 3]].material[slot % 3]);
            }
            first.push_back(std::uint32_t(paint.size()));
        }
    }
    const qel::pbr P(qel::wvec4(65535, 0, 0, 65535), qel::wvec4(0, 0, 0, 65535), 0, 0);
    const unsigned char mask = qel::pbr::MaskColour | qel::pbr::MaskRoughness | qel::pbr::MaskMetalness;
    const float r2 = s.radius * s.radius, strength = 0.5f;
    bool forward = true;
    for (auto _ : state) {
        const qel::vec3 c = forward ? s.centre : s.centre + s.step;
        forward = !forward;
        for (std::size_t i = 0; i < flat.inside.size(); ++i) {
            const qel::vec3 o = flat.points[std::size_t(flat.inside[i])] - c;
            const double q = double(o.x) * o.x + double(o.y) * o.y + double(o.z) * o.z;
            if (q >= double(r2)) continue;
            const double t = std::sqrt(q / double(r2));
            const float a = float(1.0 - double(strength) * ((t - 2.0) * t + 1.0));
            const qel::pbr& old = paint[first[i]];
            qel::pbr mixed = old;
            for (int k = 0; k < 3; ++k)
                mixed.colour[k] = std::uint16_t(blendChannel(old.colour[k], P.colour[k], a, 0, 65535));
            mixed.roughness = std::int16_t(
                blendChannel(old.roughness, P.roughness, a, qel::pbr::SignedMin, qel::pbr::SignedMax));
            mixed.metalness = std::int16_t(
                blendChannel(old.metalness, P.metalness, a, qel::pbr::SignedMin, qel::pbr::SignedMax));
            for (std::uint32_t j = first[i]; j < first[i + 1]; ++j) paint[j].assign(mixed, mask);
        }
        benchmark::DoNotOptimize(paint.data());
    }
    state.counters["vertices"] = double(flat.inside.size());
}

// The scan of selectV alone, with the deselectAll that ends it.
void SelectVScan(benchmark::State& state) {
    Scene& s = scene();
    std::size_t reached = 0;
    for (auto _ : state) {
        s.mesh->selectV(s.centre, s.radius, true);
        reached = s.mesh->influences.size();
        s.mesh->deselectAll();
    }
    state.counters["reached"] = double(reached);
}

}  // namespace

BENCHMARK(DeformStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(DeformFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(SmoothStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(SmoothFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(PaintStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(PaintFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(PinchStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(TwistStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(DeformVolumeStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(SelectVScan)->Unit(benchmark::kMillisecond);
BENCHMARK(DeformPatchStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(DeformComponentStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(RelaxStep)->Unit(benchmark::kMillisecond)->Iterations(5);

// Each whole-mesh stamp: at most 5 x its floor (Smooth and Paint their own,
// the others DeformFloor).
BENCH_GOAL(benchgoals::ratio("DeformStamp", 5, "DeformFloor"));
BENCH_GOAL(benchgoals::ratio("SmoothStamp", 5, "SmoothFloor"));
BENCH_GOAL(benchgoals::ratio("PaintStamp", 5, "PaintFloor"));
BENCH_GOAL(benchgoals::ratio("PinchStamp", 5, "DeformFloor"));
BENCH_GOAL(benchgoals::ratio("TwistStamp", 5, "DeformFloor"));
BENCH_GOAL(benchgoals::ratio("DeformVolumeStamp", 5, "DeformFloor"));
