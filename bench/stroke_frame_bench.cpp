// One frame of a brush stroke, what its end costs, and the position refill,
// on the smooth sphere of 1,310,720 faces of sculpt_stamp_bench (brush
// radius 0.2 x the sphere's radius), on a GL context, in two orders:
// program (as the refinement makes the records) and shuffled (vertices and
// faces in a random order, as an OBJ import may hold them); the drag
// also in a third, loaded (the shuffled mesh written to an OBJ file and
// loaded). The first stroke on a mesh opened from a file, each in a process
// of its own, is first_stroke_bench's.
//
//   Frame/<action>/<order>    one stamp (a sculpt call on a later step of a
//                             running stroke, three samples) and the buildVBO
//                             that brings the buffers up to date for the
//                             next draw, glFinish
//   Stamp/<action>/<order>    the stamp alone: the frame's peer, so that the
//                             frame minus the stamp is the buffer update
//   Stroke/<scope>/<order>    whole Deform strokes as a user makes them: the
//                             first step, eight later steps and the ended
//                             step, each followed by its buildVBO and
//                             glFinish (Element, Patch and Component scope;
//                             the sphere is one patch and one component).
//                             Counters: first_frame_ms, the first step's
//                             frame, worst_frame_ms, the slowest frame of a
//                             stroke before its end, and end_frame_ms, the
//                             ended step's (medians over the strokes timed,
//                             after one untimed stroke: the first stroke
//                             on a mesh bins its vertices); first_upload_ms
//                             and worst_upload_ms, the share of the buffer
//                             update and glFinish in the first and the
//                             slowest frame
//   Drag/Deform/<order>       Deform drags of 40 stamps over 10 brush radii
//                             along a great circle, there and back in turn,
//                             on the mesh whose grid strokes before built.
//                             Counters: worst_frame_ms (before the end),
//                             median_frame_ms, frames_over_16, end_frame_ms
//                             (medians over the strokes)
//   End/Deform/<order>        the stroke's ended step (the last sculpt call,
//                             the gesture ended) and its buildVBO, glFinish;
//                             four frames of the stroke run untimed before it
//   Refill/Positions/<order>  the whole position array refilled (its flag
//                             raised alone, buildVBO, glFinish)
//   Floor/Positions/<order>   the same bytes read where the mesh keeps them
//                             (face records' indices, vertex records'
//                             positions) in face order and written into the
//                             mapped buffer, glFinish
//
// Actions: Deform, Smooth and Paint, each scoped to the element. Goals: a
// frame at most 16 ms (every frame of a whole stroke too, its first
// included; every frame of a drag before its end),
// an end at most 30 ms (a whole stroke's too), the whole position refill at
// most 2 x its floor, which reads and writes the same bytes in the same
// order (a floor of flat arrays fitted the caches where the records do not,
// and so held on one machine and not another). Times are real time: the
// software renderer's copies count.
//
// Successive stamps step back and forth so that the surface stays put.
// Needs an X display and an OpenGL 4.0 core context (scripts/bench runs it
// on the software renderer).

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_drawn_mesh.h"
#include "bench/bench_goals.h"
#include "bench/bench_meshes.h"
#include "gl/gl.h"
#include "mesh/mesh.h"

namespace {

enum Order { Program, Shuffled, Loaded };

using Scene = benchmeshes::BrushScene;

// The brush on the program-order sphere's vertex 0, in both orders.
Scene make(qel::Mesh* mesh, const qel::vec3& p) { return benchmeshes::brushScene(std::unique_ptr<qel::Mesh>(mesh), p); }

// The scenes live as long as the process, as the GL context does: their
// buffers are not released at exit.
Scene& scene(Order order) {
    static Scene* program = [] {
        qel::Mesh* m = benchmeshes::stampSphere();
        return new Scene(make(m, m->vertices[0].position));
    }();
    if (order == Program) return *program;
    static Scene* shuffled = new Scene(make(benchmeshes::shuffledCopy(*program->mesh), program->centre));
    if (order == Shuffled) return *shuffled;
    // The shuffled mesh written to an OBJ file and loaded, as a user opens it.
    static Scene* loaded = [] {
        QTemporaryDir dir;
        const std::string path = dir.filePath("shuffled.obj").toStdString();
        shuffled->mesh->saveOBJ(path);
        auto* m = new qel::Mesh();
        m->load(path);
        return new Scene(make(m, program->centre));
    }();
    return *loaded;
}

using Stroke = benchmeshes::BrushStroke;

// The scene with its buffers built; null (the state told why) without a
// context or when the build fails.
Scene* drawnScene(benchmark::State& state, Order order) {
    Scene& s = scene(order);
    return benchgl::drawMesh(state, *s.mesh) ? &s : nullptr;
}

bool update(benchmark::State& state, Scene& s) { return benchgl::updateMesh(state, *s.mesh); }

void frame(benchmark::State& state, Order order, qel::Sculptor::TAction action, bool build) {
    Scene* s = drawnScene(state, order);
    if (!s) return;
    Stroke stroke(*s, action);
    for (auto _ : state) {
        stroke.stamp();
        if (build && !update(state, *s)) break;
        gl->glFinish();
    }
    stroke.end();
    update(state, *s);
    gl->glFinish();
    state.counters["faces"] = double(s->mesh->faceCount());
}

// Whole strokes, every frame timed on its own as well.
void wholeStroke(benchmark::State& state, Order order, qel::Sculptor::TSelect select) {
    Scene* s = drawnScene(state, order);
    if (!s) return;
    // One stroke untimed: the first stroke on a mesh bins its vertices.
    {
        Stroke warm(*s, qel::Sculptor::Deform, select);
        warm.end();
        if (!update(state, *s)) return;
    }
    using Clock = std::chrono::steady_clock;
    std::vector<double> firsts, worsts, ends, firstUploads, worstUploads;
    bool failed = false;
    for (auto _ : state) {
        double worst = 0, upload = 0, worstUpload = 0;
        // One frame: the step and the buffer update of the next draw (the
        // update's share noted apart).
        auto frame = [&](auto&& step) {
            const Clock::time_point t0 = Clock::now();
            step();
            const Clock::time_point t1 = Clock::now();
            failed = failed || !update(state, *s);
            gl->glFinish();
            const Clock::time_point t2 = Clock::now();
            const double ms = std::chrono::duration<double, std::milli>(t2 - t0).count();
            upload = std::chrono::duration<double, std::milli>(t2 - t1).count();
            if (ms > worst) {
                worst = ms;
                worstUpload = upload;
            }
            return ms;
        };
        std::unique_ptr<Stroke> stroke;
        firsts.push_back(frame([&] { stroke = std::make_unique<Stroke>(*s, qel::Sculptor::Deform, select); }));
        firstUploads.push_back(upload);
        for (int i = 0; i < 8 && !failed; ++i) frame([&] { stroke->stamp(); });
        worsts.push_back(worst);
        worstUploads.push_back(worstUpload);
        if (!failed) ends.push_back(frame([&] { stroke->end(); }));
        if (failed) break;
    }
    auto median = [](std::vector<double> v) {
        if (v.empty()) return 0.0;
        std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    state.counters["first_frame_ms"] = median(firsts);
    state.counters["worst_frame_ms"] = median(worsts);
    state.counters["end_frame_ms"] = median(ends);
    state.counters["first_upload_ms"] = median(firstUploads);
    state.counters["worst_upload_ms"] = median(worstUploads);
}

using Clock = std::chrono::steady_clock;

// One frame: the step and the buffer update of the next draw, glFinish; its
// milliseconds, negative when the update failed (the state told).
template <class Step>
double timedFrame(benchmark::State& state, Scene& s, Step&& step) {
    const Clock::time_point t0 = Clock::now();
    step();
    if (!update(state, s)) return -1;
    gl->glFinish();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The frames of whole strokes: of each its worst and median frame
// before its end, how many of those exceed 16 ms, and its end; reported as
// medians over the strokes.
struct StrokeFrames {
    std::vector<double> worsts, medians, overs, ends;
    // One stroke's frames before its end and its end; false (nothing kept)
    // when one of them failed.
    bool add(const std::vector<double>& ms, double end) {
        if (ms.empty() || end < 0 || *std::min_element(ms.begin(), ms.end()) < 0) return false;
        worsts.push_back(*std::max_element(ms.begin(), ms.end()));
        medians.push_back(benchgoals::median(ms));
        overs.push_back(double(std::count_if(ms.begin(), ms.end(), [](double t) { return t > 16; })));
        ends.push_back(end);
        return true;
    }
    void report(benchmark::State& state) const {
        state.counters["worst_frame_ms"] = benchgoals::median(worsts);
        state.counters["median_frame_ms"] = benchgoals::median(medians);
        state.counters["frames_over_16"] = benchgoals::median(overs);
        state.counters["end_frame_ms"] = benchgoals::median(ends);
    }
};

// Deform drags as a user makes them on the scene's mesh, its grid kept: 40
// stamps over 10 brush radii along a great circle of the sphere through the
// brush, there and back in turn, every frame timed.
void drag(benchmark::State& state, Order order) {
    Scene* s = drawnScene(state, order);
    if (!s) return;
    // Strokes untimed until the grid is built (its build takes a step per
    // frame).
    for (int k = 0; k < 4; ++k) {
        Stroke warm(*s, qel::Sculptor::Deform);
        for (int i = 0; i < 12; ++i) warm.stamp();
        warm.end();
        if (!update(state, *s)) return;
    }
    const qel::vec3 c = s->mesh->centre, u = normalize(s->centre - c), t = normalize(s->step);
    const float R = length(s->centre - c);
    const double arc = 10.0 * double(s->radius) / double(R);
    auto at = [&](int i, bool back) {
        const double a = arc * (back ? 40 - i : i) / 40.0;
        return c + (u * float(std::cos(a)) + t * float(std::sin(a))) * R;
    };
    StrokeFrames frames;
    bool back = false;
    for (auto _ : state) {
        std::vector<double> ms;
        std::unique_ptr<Stroke> stroke;
        ms.push_back(timedFrame(state, *s, [&] {
            stroke = std::make_unique<Stroke>(*s, qel::Sculptor::Deform, qel::Sculptor::SelectElement, false);
            stroke->begin(at(0, back), at(1, back));
        }));
        for (int i = 1; i < 40; ++i)
            ms.push_back(timedFrame(state, *s, [&] { stroke->stampAlong(at(i, back), at(i + 1, back)); }));
        if (!frames.add(ms, timedFrame(state, *s, [&] { stroke->endAt(at(40, back)); }))) break;
        back = !back;
    }
    frames.report(state);
}

void end(benchmark::State& state, Order order) {
    Scene* s = drawnScene(state, order);
    if (!s) return;
    Stroke stroke(*s, qel::Sculptor::Deform);
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < 4; ++i) {
            stroke.stamp();
            update(state, *s);
        }
        gl->glFinish();
        state.ResumeTiming();
        stroke.end();
        if (!update(state, *s)) break;
        gl->glFinish();
        state.PauseTiming();
        stroke.begin();
        update(state, *s);
        state.ResumeTiming();
    }
}

void refillPositions(benchmark::State& state, Order order) {
    Scene* s = drawnScene(state, order);
    if (!s) return;
    for (auto _ : state) {
        s->mesh->refill[0] = 1;
        if (!update(state, *s)) break;
        gl->glFinish();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * 12 * std::int64_t(s->mesh->drawCount));
}

// The corner positions read where the mesh keeps them (each face record's
// vertex indices, each vertex record's position) in face order and written
// straight into the mapped buffer: the bytes the refill reads and writes,
// in its order, so that the floor outgrows a machine's caches where the
// refill does (a shuffled mesh reads its vertex records scattered).
void floorPositions(benchmark::State& state, Order order) {
    Scene* s = drawnScene(state, order);
    if (!s) return;
    const qel::Mesh& m = *s->mesh;
    std::size_t corners = 0;
    for (int f = 0; f < m.faceCount(); ++f) corners += m.faces[f].isActive() ? 3 : 0;
    GLuint buffer = 0;
    gl->glGenBuffers(1, &buffer);
    gl->glBindBuffer(GL_ARRAY_BUFFER, buffer);
    const GLsizeiptr bytes = GLsizeiptr(corners * sizeof(qel::vec3));
    gl->glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_DYNAMIC_DRAW);
    for (auto _ : state) {
        auto* out = static_cast<qel::vec3*>(
            gl->glMapBufferRange(GL_ARRAY_BUFFER, 0, bytes, GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT));
        if (!out) {
            state.SkipWithError("map refused");
            break;
        }
        for (int f = 0; f < m.faceCount(); ++f) {
            const qel::MeshFace& face = m.faces[f];
            if (!face.isActive()) continue;
            for (const std::int32_t v : face.v) *out++ = m.vertices[v].position;
        }
        gl->glUnmapBuffer(GL_ARRAY_BUFFER);
        gl->glFinish();
    }
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    gl->glDeleteBuffers(1, &buffer);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

using qel::Sculptor;

void FrameDeformProgram(benchmark::State& st) { frame(st, Program, Sculptor::Deform, true); }
void FrameDeformShuffled(benchmark::State& st) { frame(st, Shuffled, Sculptor::Deform, true); }
void StampDeformProgram(benchmark::State& st) { frame(st, Program, Sculptor::Deform, false); }
void StampDeformShuffled(benchmark::State& st) { frame(st, Shuffled, Sculptor::Deform, false); }
void FrameSmoothProgram(benchmark::State& st) { frame(st, Program, Sculptor::Smooth, true); }
void FrameSmoothShuffled(benchmark::State& st) { frame(st, Shuffled, Sculptor::Smooth, true); }
void StampSmoothProgram(benchmark::State& st) { frame(st, Program, Sculptor::Smooth, false); }
void StampSmoothShuffled(benchmark::State& st) { frame(st, Shuffled, Sculptor::Smooth, false); }
void FramePaintProgram(benchmark::State& st) { frame(st, Program, Sculptor::PaintMaterial, true); }
void FramePaintShuffled(benchmark::State& st) { frame(st, Shuffled, Sculptor::PaintMaterial, true); }
void StampPaintProgram(benchmark::State& st) { frame(st, Program, Sculptor::PaintMaterial, false); }
void StampPaintShuffled(benchmark::State& st) { frame(st, Shuffled, Sculptor::PaintMaterial, false); }
void StrokeElementProgram(benchmark::State& st) { wholeStroke(st, Program, Sculptor::SelectElement); }
void StrokeElementShuffled(benchmark::State& st) { wholeStroke(st, Shuffled, Sculptor::SelectElement); }
void StrokePatchProgram(benchmark::State& st) { wholeStroke(st, Program, Sculptor::SelectPatch); }
void StrokePatchShuffled(benchmark::State& st) { wholeStroke(st, Shuffled, Sculptor::SelectPatch); }
void StrokeComponentProgram(benchmark::State& st) { wholeStroke(st, Program, Sculptor::SelectComponent); }
void StrokeComponentShuffled(benchmark::State& st) { wholeStroke(st, Shuffled, Sculptor::SelectComponent); }
void EndDeformProgram(benchmark::State& st) { end(st, Program); }
void EndDeformShuffled(benchmark::State& st) { end(st, Shuffled); }
void DragProgram(benchmark::State& st) { drag(st, Program); }
void DragShuffled(benchmark::State& st) { drag(st, Shuffled); }
void DragLoaded(benchmark::State& st) { drag(st, Loaded); }
void RefillPositionsProgram(benchmark::State& st) { refillPositions(st, Program); }
void RefillPositionsShuffled(benchmark::State& st) { refillPositions(st, Shuffled); }
void FloorPositionsProgram(benchmark::State& st) { floorPositions(st, Program); }
void FloorPositionsShuffled(benchmark::State& st) { floorPositions(st, Shuffled); }

}  // namespace

#define STROKE_BENCH(fn, name) BENCHMARK(fn)->Name(name)->Unit(benchmark::kMillisecond)->UseRealTime()
STROKE_BENCH(FrameDeformProgram, "Frame/Deform/program");
STROKE_BENCH(StampDeformProgram, "Stamp/Deform/program");
STROKE_BENCH(FrameSmoothProgram, "Frame/Smooth/program");
STROKE_BENCH(StampSmoothProgram, "Stamp/Smooth/program");
STROKE_BENCH(FramePaintProgram, "Frame/Paint/program");
STROKE_BENCH(StampPaintProgram, "Stamp/Paint/program");
STROKE_BENCH(StrokeElementProgram, "Stroke/Element/program");
STROKE_BENCH(StrokePatchProgram, "Stroke/Patch/program");
STROKE_BENCH(StrokeComponentProgram, "Stroke/Component/program");
STROKE_BENCH(EndDeformProgram, "End/Deform/program");
STROKE_BENCH(RefillPositionsProgram, "Refill/Positions/program");
STROKE_BENCH(FloorPositionsProgram, "Floor/Positions/program");
STROKE_BENCH(FrameDeformShuffled, "Frame/Deform/shuffled");
STROKE_BENCH(StampDeformShuffled, "Stamp/Deform/shuffled");
STROKE_BENCH(FrameSmoothShuffled, "Frame/Smooth/shuffled");
STROKE_BENCH(StampSmoothShuffled, "Stamp/Smooth/shuffled");
STROKE_BENCH(FramePaintShuffled, "Frame/Paint/shuffled");
STROKE_BENCH(StampPaintShuffled, "Stamp/Paint/shuffled");
STROKE_BENCH(StrokeElementShuffled, "Stroke/Element/shuffled");
STROKE_BENCH(StrokePatchShuffled, "Stroke/Patch/shuffled");
STROKE_BENCH(StrokeComponentShuffled, "Stroke/Component/shuffled");
STROKE_BENCH(EndDeformShuffled, "End/Deform/shuffled");
STROKE_BENCH(RefillPositionsShuffled, "Refill/Positions/shuffled");
STROKE_BENCH(FloorPositionsShuffled, "Floor/Positions/shuffled");
// Whole drags: a few iterations.
#define DRAG_BENCH(fn, name) STROKE_BENCH(fn, name)->Iterations(4)
DRAG_BENCH(DragProgram, "Drag/Deform/program");
DRAG_BENCH(DragShuffled, "Drag/Deform/shuffled");
DRAG_BENCH(DragLoaded, "Drag/Deform/loaded");

BENCH_GOAL(benchgoals::limitMs("Frame/Deform/program", 16));
BENCH_GOAL(benchgoals::limitMs("Frame/Deform/shuffled", 16));
BENCH_GOAL(benchgoals::limitMs("Frame/Smooth/program", 16));
BENCH_GOAL(benchgoals::limitMs("Frame/Smooth/shuffled", 16));
BENCH_GOAL(benchgoals::limitMs("Frame/Paint/program", 16));
BENCH_GOAL(benchgoals::limitMs("Frame/Paint/shuffled", 16));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Element/program", "first_frame_ms", 16));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Element/shuffled", "first_frame_ms", 16));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Patch/program", "first_frame_ms", 16));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Patch/shuffled", "first_frame_ms", 16));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Component/program", "first_frame_ms", 16));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Component/shuffled", "first_frame_ms", 16));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Element/program", "worst_frame_ms", 16));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Element/program", "end_frame_ms", 30));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Element/shuffled", "worst_frame_ms", 16));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Element/shuffled", "end_frame_ms", 30));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Patch/program", "worst_frame_ms", 16));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Patch/program", "end_frame_ms", 30));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Patch/shuffled", "worst_frame_ms", 16));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Patch/shuffled", "end_frame_ms", 30));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Component/program", "worst_frame_ms", 16));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Component/program", "end_frame_ms", 30));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Component/shuffled", "worst_frame_ms", 16));
BENCH_GOAL(benchgoals::counterAtMost("Stroke/Component/shuffled", "end_frame_ms", 30));
BENCH_GOAL(benchgoals::limitMs("End/Deform/program", 30));
BENCH_GOAL(benchgoals::limitMs("End/Deform/shuffled", 30));
BENCH_GOAL(benchgoals::ratio("Refill/Positions/program", 2, "Floor/Positions/program"));
BENCH_GOAL(benchgoals::ratio("Refill/Positions/shuffled", 2, "Floor/Positions/shuffled"));
BENCH_GOAL(benchgoals::counterAtMost("Drag/Deform/program", "worst_frame_ms", 16));
BENCH_GOAL(benchgoals::counterAtMost("Drag/Deform/shuffled", "worst_frame_ms", 16));
BENCH_GOAL(benchgoals::counterAtMost("Drag/Deform/loaded", "worst_frame_ms", 16));
