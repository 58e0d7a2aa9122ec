// Quick Deform strokes on heavy meshes whose stamps cost more than the
// frames have for them, through the view's whole frames (MainLoop). The
// drawing is a stand-in that takes its time on the step clock and then runs
// the frame's pickings and the motions that follow them, as render() does
// once the layers are drawn; the pickings read a stand-in for the ID buffer
// that puts every pixel on the mesh's front. The step clock is counted, not
// timed: a stamp costs a fixed time of it and a frame's drawing another, so
// that how a stroke is paced, and so its release, does not depend on the
// host. What is timed is the input work a frame adds to its drawing, on the
// thread's own clock.
//
//   SlowStroke/Deform   the smooth sphere of 1,310,720 faces of the stamp
//                       benchmarks; 12 s of pointer motions at 200 a second
//                       arrive in batches of 140, one batch for each frame
//                       of 0.7 s that drawing the scene takes; a stamp
//                       costs 20 ms. Counters: worst_frame_ms, the input
//                       work of the busiest frame; release_frames, the
//                       frames from the release until the view is idle;
//                       release_step_ms, their stamps' time on the step
//                       clock; release_ms, their input work; samples, the
//                       stroke's samples (2,400 motions, a sample at most
//                       every spacing of the path)
//   SlowStroke/TorusZigzag
//                       the torus of 1,001,112 triangles, its tube across
//                       the view; a zigzag of 2.4 s (300 motions a pixel
//                       to the right and three up or down, turning every
//                       six) with stamps of 40 ms and frames of 30 ms of
//                       drawing, the motions arriving at 125 a second on
//                       the step clock, against the same motions a frame
//                       apart with stamps that cost nothing. Counters:
//                       largest_difference, the largest distance between a
//                       vertex of the two strokes, in brush radii; folded,
//                       the faces folded over (facing against a neighbour)
//                       where the other stroke leaves the surface unfolded;
//                       release_frames; samples and samples_paced; and the
//                       same with every motion latched during one long
//                       frame (latched_...), the stroke going the shortest
//                       way to the last motion at its widest spacing.
//                       The same motions at a hand's pace with stamps that
//                       cost what this host's stamps on the torus cost
//                       (stamp_ms, timed on the fast frames) give real_...:
//                       the stroke as the program paces it on this mesh
//
// Goals: the busiest frame at most 200 ms; the view idle within two frames
// of the release and half a second of stamps; at the stamps' own cost the
// zigzag within a tenth of the brush radius of the same motions on fast
// frames, folding nothing they leave unfolded. With 40 ms stamps the steps
// cannot keep up with the hand, the samples are spaced up to half the brush
// radius apart and the zigzag, whose turns are closer than that, is not the
// same stroke: its figures are reported, not held to the goal.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/bench_goals.h"
#include "bench/bench_meshes.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/sculptor.h"
#include "scene/tool.h"
#include "view/glview.h"
#include "view/id_reader.h"
#include "view/input_latch.h"
#include "view/keyboard.h"
#include "view/mouse.h"
#include "view/step_pacer.h"

BENCH_GOAL(benchgoals::counterAtMost("SlowStroke/Deform", "worst_frame_ms", 200));
BENCH_GOAL(benchgoals::counterAtMost("SlowStroke/Deform", "release_frames", 2));
BENCH_GOAL(benchgoals::counterAtMost("SlowStroke/Deform", "release_step_ms", 500));
BENCH_GOAL(benchgoals::counterAtMost("SlowStroke/TorusZigzag", "release_frames", 2));
BENCH_GOAL(benchgoals::counterAtMost("SlowStroke/TorusZigzag", "real_largest_difference", 0.1));
BENCH_GOAL(benchgoals::counterAtMost("SlowStroke/TorusZigzag", "real_folded", 0));
BENCH_GOAL(benchgoals::counterAtMost("SlowStroke/TorusZigzag", "real_release_frames", 2));

namespace {

constexpr int Width = 800, Height = 600;

// The step clock, what a stamp costs of it, and the stamps made.
double countedMs = 0.0;
double stampMs = 0.0;
int stamps = 0;
double countedClock() { return countedMs; }

// A mesh whose every sculpt step costs stampMs of the step clock.
class CountedMesh : public qel::Mesh {
public:
    explicit CountedMesh(const qel::Mesh& m) : qel::Mesh(m) {}
    void sculpt(std::vector<qel::Sculptor*>& sculptors) override {
        countedMs += stampMs;
        ++stamps;
        qel::Mesh::sculpt(sculptors);
    }
    qel::Mesh* clone() override { return new CountedMesh(*this); }
};

// A view past its start-up whose drawing takes drawMs of the step clock.
class StandInView : public qel::GLView {
public:
    StandInView() : qel::GLView(Width, Height) {
        startupStep = 4;
        animate = 0;
        showText = 0;
    }
    qel::Texture2D* render() override {
        if (!redraw) return nullptr;
        countedMs += drawMs_;
        framePicksAndMotions();
        redraw = 0;
        return nullptr;
    }
    double drawMs_ = 0.0;
};

// Every pixel on the front of a mesh given by its distance function in the
// mesh's own coordinates (negative inside): the object, its first face, the
// depth of the cursor ray's first hit (the view's middle depth beside the
// mesh) and a normal facing the eye.
class SurfaceFront : public qel::IdReader {
public:
    using Distance = double (*)(const qel::vec3&);
    // `toWorld` takes the mesh's coordinates to the world's, a uniform scale
    // times a turn and a shift.
    SurfaceFront(const qel::GLView& view, int objectId, const qel::mat4& toWorld, Distance distance)
        : view_(view),
          id_(std::uint32_t(objectId)),
          toMesh_(qel::mat4::inverse(toWorld)),
          scale_(length(toWorld.transformVector(qel::vec3(1, 0, 0)))),
          distance_(distance) {}
    bool enable(TTarget) override { return true; }
    void disable(TTarget) override {}
    std::uint8_t layer(TTarget target) const override { return target == Opaque ? 1 : 2; }
    std::uint8_t stencil(int, int) override { return 1; }
    float depth(int x, int y) override {
        const qel::vec3 a = view_.unproject(float(x), float(y), 0.0f), b = view_.unproject(float(x), float(y), 1.0f);
        const double far = length(b - a);
        const qel::vec3 d = (b - a) * float(1.0 / far);
        // Sphere tracing: steps of the distance to the surface.
        double t = 0.0;
        for (int k = 0; k < 200 && t < far; ++k) {
            const qel::vec3 p = a + d * float(t);
            const double r = distance_(toMesh_.transformProject(p)) * scale_;
            if (r < 1e-6) return (qel::GLView::project_World_To_Normalized(p).z + 1.0f) * 0.5f;
            t += r;
        }
        return 0.5f;
    }
    std::array<std::uint32_t, 3> ids(int, int) override { return {id_, 0, 0}; }
    qel::vec3 normal(int, int) override { return qel::vec3(0, 0, 1); }
    std::array<float, 9> depthBlock(int x, int y) override {
        std::array<float, 9> block{};
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i) block[std::size_t(3 * j + i)] = depth(x + i - 1, y + j - 1);
        return block;
    }

private:
    const qel::GLView& view_;
    std::uint32_t id_;
    qel::mat4 toMesh_;
    double scale_;
    Distance distance_;
};

struct NoKeys : qel::KeySource {
    bool active() override { return false; }
    bool down(int) override { return false; }
};

// A view on one counted mesh placed at `place`, sculpting Deform with a
// brush of 60 pixels, its frames on the step clock.
struct Stage {
    Stage(const qel::Mesh& mesh, const qel::mat4& place, SurfaceFront::Distance distance) : saved(qel::keys.source) {
        qel::inputLatch.clear();
        qel::mouseRead = qel::mouse = qel::MouseState();
        view.buildMatrices();
        view.setSymmetry(false, false, false, false, false, false, 6);
        qel::Tool source(new CountedMesh(mesh), qel::mat4::Identity(), qel::pbr(), false);
        tool = view.scene->addObject(&source, place, qel::Scene::HangTop, false);
        view.scene->toList();
        const qel::mat4 toWorld = tool->matrix() * tool->element->localMatrix();
        view.idReader.reset(new SurfaceFront(view, view.scene->findID(tool), toWorld, distance));
        qel::keys.source = &keys;
        view.setActionMode(qel::GLView::ModeSculpt);
        view.setSculptAction(qel::Sculptor::Deform);
        view.setBrushSize(60.0f);
        view.enterEvent();
        qel::StepPacer::Clock = countedClock;
    }
    ~Stage() { qel::keys.source = saved; }
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;
    // One frame, its input work timed in milliseconds on the thread's own
    // clock (bench_clock.h): not the time it waits for a core that other
    // processes hold.
    double frame() { return benchclock::timed([&] { view.MainLoop(); }); }
    bool stroking() const { return !view.idle() || !qel::inputLatch.empty() || qel::mouse.left; }
    qel::Mesh& mesh() const { return *static_cast<qel::Mesh*>(tool->element); }

    StandInView view;
    NoKeys keys;
    qel::KeySource* saved;
    qel::Tool* tool = nullptr;
};

// ---- SlowStroke/Deform ----

// The sphere's radius in its own coordinates.
double sphereRadius = 1.0;
double sphereDistance(const qel::vec3& p) { return length(p) - sphereRadius; }

// A zigzag over the sphere's middle: 4 pixels a motion, turning every 40.
qel::vec2 along(int k) {
    const int leg = (k / 40) % 2 ? 40 - k % 40 : k % 40;
    return qel::vec2(float(Width / 2 - 80 + 4 * leg), float(Height / 2 - 60 + (k / 4) % 120));
}

void slowStroke(benchmark::State& state) {
    static const std::unique_ptr<qel::Mesh> sphere(benchmeshes::stampSphere());
    sphereRadius = length(sphere->vertices[0].position);
    static Stage* stage = new Stage(*sphere, qel::mat4::Identity(), sphereDistance);
    // Each repetition sculpts the sphere as it was made.
    stage->tool->setElement(new CountedMesh(*sphere));
    qel::Mesh& m = stage->mesh();
    stage->view.drawMs_ = 700.0;
    stampMs = 20.0;
    constexpr int Motions = 2400, Batch = 140;
    double worst = 0, release = 0, releaseSteps = 0;
    int releaseFrames = 0, samples = 0;
    for (auto _ : state) {
        qel::recordMotion(along(0));
        stage->frame();
        qel::recordButtons(along(0), 1);
        stage->frame();
        worst = 0;
        for (int k = 1; k <= Motions;) {
            for (int n = 0; n < Batch && k <= Motions; ++n, ++k) qel::recordMotion(along(k));
            worst = std::max(worst, stage->frame());
            if (!stage->view.sculptors.empty()) samples = int(stage->view.sculptors[0]->samples.size());
        }
        qel::recordButtons(along(Motions), 0);
        release = 0;
        releaseFrames = 0;
        const int stampsBefore = stamps;
        while (releaseFrames < 1000 && stage->stroking()) {
            release += stage->frame();
            ++releaseFrames;
        }
        releaseSteps = (stamps - stampsBefore) * stampMs;
    }
    state.counters["worst_frame_ms"] = worst;
    state.counters["release_ms"] = release;
    state.counters["release_frames"] = releaseFrames;
    state.counters["release_step_ms"] = releaseSteps;
    state.counters["samples"] = samples;
    int moved = 0;
    for (const auto& v : m.vertices)
        moved += std::fabs(length(v.position) - sphereRadius) > 1e-4 * sphereRadius ? 1 : 0;
    state.counters["moved"] = moved;
}

// ---- SlowStroke/TorusZigzag ----

// The torus turned to show its outer equator along the view's x axis, its
// tube (90 pixels across its radius) running across the middle of the view.
const qel::mat4& torusPlace() {
    static const qel::mat4 m = qel::mat4::Scale(0.9f) * qel::mat4::Rotation(qel::vec3(0, 0, 1), qel::vec3(0, 1, 0));
    return m;
}
// The torus of radii 2 and 1 about the z axis.
double torusDistance(const qel::vec3& q) {
    const double ring = std::sqrt(double(q.x) * q.x + double(q.y) * q.y) - 2.0;
    return std::sqrt(ring * ring + double(q.z) * q.z) - 1.0;
}

// The zigzag across the tube's front: a pixel to the right a motion, three
// up or down, turning every six.
qel::vec2 zigzag(int k) {
    const int phase = k % 12;
    const int up = phase < 6 ? phase : 12 - phase;
    return qel::vec2(float(Width / 2 - 150 + k), float(Height / 2 - 9 + 3 * up));
}

struct Zigzag {
    std::vector<qel::vec3> positions;
    int samples = 0;
    int releaseFrames = 0;
    float radius = 0.0f;  // the brush's, in the mesh's coordinates
    // The input work of the stroke's frames and the stamps it made.
    double inputMs = 0.0;
    int stamps = 0;
};

enum class Pace { FastFrames, HandsPace, OneFrame };

// The zigzag on a fresh torus: a frame after each motion with stamps that
// cost nothing; or with stamps of 40 ms and frames of 30 ms of drawing, the
// motions arriving at 125 a second on the step clock, or all of them
// during one long frame.
Zigzag zigzagStroke(const qel::Mesh& torus, Pace pace, double stampCost = 40.0) {
    constexpr int Motions = 300;
    constexpr double Interval = 8.0;
    Stage stage(torus, torusPlace(), torusDistance);
    const bool slow = pace != Pace::FastFrames;
    stage.view.drawMs_ = slow ? 30.0 : 0.0;
    stampMs = slow ? stampCost : 0.0;
    Zigzag z;
    const int stampsBefore = stamps;
    const auto frame = [&] {
        z.inputMs += stage.frame();
        z.stamps = stamps - stampsBefore;
        if (!stage.view.sculptors.empty()) z.samples = int(stage.view.sculptors[0]->samples.size());
    };
    qel::recordMotion(zigzag(0));
    frame();
    qel::recordButtons(zigzag(0), 1);
    frame();
    if (!stage.view.sculptors.empty()) z.radius = stage.view.sculptors[0]->samples[0].radius;
    const double start = countedMs;
    for (int k = 1; k <= Motions;) {
        if (pace != Pace::HandsPace) {
            qel::recordMotion(zigzag(k++));
            if (pace == Pace::FastFrames) frame();
            continue;
        }
        for (; k <= Motions && start + Interval * k <= countedMs; ++k) qel::recordMotion(zigzag(k));
        const double before = countedMs;
        frame();
        // A frame with nothing to draw waits for the next motion.
        if (countedMs == before) countedMs = std::max(before, start + Interval * k);
    }
    qel::recordButtons(zigzag(Motions), 0);
    for (; z.releaseFrames < 100 && stage.stroking(); ++z.releaseFrames) frame();
    for (const auto& v : stage.mesh().vertices) z.positions.push_back(v.position);
    return z;
}

qel::vec3 faceNormal(const std::vector<qel::vec3>& p, const qel::MeshFace& f) {
    return cross(p[std::size_t(f.v[1])] - p[std::size_t(f.v[0])], p[std::size_t(f.v[2])] - p[std::size_t(f.v[0])]);
}

// Face f faces against one of its neighbours: the surface is folded over
// there.
bool foldedAt(const qel::Mesh& m, const std::vector<qel::vec3>& p, std::size_t f) {
    const qel::MeshFace& F = m.faces[f];
    const qel::vec3 n = faceNormal(p, F);
    for (int k = 0; k < 3; ++k)
        if (F.f[k] >= 0 && dot(n, faceNormal(p, m.faces[std::size_t(F.f[k])])) < 0.0) return true;
    return false;
}

// How far `slow` left the torus from `fast`: the largest distance between a
// vertex of the two, in brush radii, and the faces folded over in `slow`
// where `fast` leaves the surface unfolded.
std::pair<double, int> apart(const qel::Mesh& torus, const Zigzag& slow, const Zigzag& fast) {
    double largest = 0.0;
    for (std::size_t v = 0; v < fast.positions.size(); ++v)
        largest = std::max(largest, length(slow.positions[v] - fast.positions[v]));
    int folded = 0;
    for (std::size_t f = 0; f < torus.faces.size(); ++f)
        folded += foldedAt(torus, slow.positions, f) && !foldedAt(torus, fast.positions, f) ? 1 : 0;
    return {fast.radius > 0.0f ? largest / fast.radius : 1e9, folded};
}

void torusZigzag(benchmark::State& state) {
    const std::unique_ptr<qel::Mesh> torus(benchmeshes::torus());
    Zigzag fast, paced, latched, real;
    double stampCost = 0.0;
    for (auto _ : state) {
        fast = zigzagStroke(*torus, Pace::FastFrames);
        // What a frame of the fast stroke took of input work, per stamp: the
        // cost of a stamp on this mesh, its pickings included.
        stampCost = fast.stamps > 0 ? fast.inputMs / fast.stamps : 0.0;
        paced = zigzagStroke(*torus, Pace::HandsPace);
        latched = zigzagStroke(*torus, Pace::OneFrame);
        real = zigzagStroke(*torus, Pace::HandsPace, stampCost);
    }
    const auto p = apart(*torus, paced, fast), l = apart(*torus, latched, fast);
    state.counters["largest_difference"] = p.first;
    state.counters["folded"] = p.second;
    state.counters["release_frames"] = paced.releaseFrames;
    state.counters["samples"] = fast.samples;
    state.counters["samples_paced"] = paced.samples;
    state.counters["latched_largest_difference"] = l.first;
    state.counters["latched_folded"] = l.second;
    state.counters["latched_release_frames"] = latched.releaseFrames;
    state.counters["samples_latched"] = latched.samples;
    const auto r = apart(*torus, real, fast);
    state.counters["stamp_ms"] = stampCost;
    state.counters["real_largest_difference"] = r.first;
    state.counters["real_folded"] = r.second;
    state.counters["real_release_frames"] = real.releaseFrames;
    state.counters["samples_real"] = real.samples;
}

}  // namespace

BENCHMARK(slowStroke)->Name("SlowStroke/Deform")->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(torusZigzag)->Name("SlowStroke/TorusZigzag")->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
