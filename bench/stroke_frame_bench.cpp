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
//                             next draw, glFinish; over_floor, the frame
//                             over the floor of Stroke's timed after it
//                             (median): the frame is mostly its buffer
//                             update, which a floor of the stamp alone
//                             (a tenth of a millisecond for a Deform
//                             stamp) leaves out
//   Stamp/<action>/<order>    the stamp alone: the frame's peer, so that the
//                             frame minus the stamp is the buffer update;
//                             over_floor, the stamp over the floor timed
//                             after it (median)
//   Stroke/<scope>/<order>    whole Deform strokes as a user makes them: the
//                             first step, eight later steps and the ended
//                             step, each followed by its buildVBO and
//                             glFinish (Element, Patch and Component scope;
//                             the sphere is one patch and one component).
//                             Counters: first_frame_ms, the first step's
//                             frame, worst_frame_ms, the slowest frame of a
//                             stroke before its end, and end_frame_ms, the
//                             ended step's (each frame of the stroke at its
//                             best over the strokes timed, after one
//                             untimed stroke: the first stroke on a mesh
//                             bins its vertices); first_upload_ms and
//                             worst_upload_ms, the share of the buffer
//                             update and glFinish in the first and the
//                             slowest frame; floor_ms, the floor of a
//                             scoped Deform stamp (its normals made again;
//                             bench_record_floors.h, on the same mesh: its
//                             records in the same order) timed after each
//                             stroke, at its best; first_step_over_floor,
//                             worst_step_over_floor and
//                             end_step_over_floor, the sculpt call of the
//                             first, the slowest and the ended frame (each
//                             at its best over the strokes) over it
//   Drag/Deform/<order>       Deform drags of 40 stamps over 10 brush radii
//                             along a great circle, there and back in turn,
//                             on the mesh whose grid strokes before built.
//                             Counters: worst_frame_ms (before the end),
//                             median_frame_ms, frames_over_16, end_frame_ms
//                             (each frame of a drag at its best over the
//                             drags the same way); worst_over_floor, the
//                             slowest frame of a drag over the floor of
//                             Stroke's timed after it (program and shuffled)
//   End/Deform/<order>        the stroke's ended step (the last sculpt call,
//                             the gesture ended) and its buildVBO, glFinish;
//                             four frames of the stroke run untimed before
//                             it; over_floor, the end over the floor of
//                             Stroke's timed after it (median);
//                             step_over_floor, its sculpt call at its best
//                             over that floor at its best
//   Refill/Positions/<order>  the whole position array refilled (its flag
//                             raised alone, buildVBO, glFinish), each
//                             followed by its floor: over_floor, the median
//                             of the refill over the floor timed after it
//   Floor/Positions/<order>   the same bytes read where the mesh keeps them
//                             (face records' indices, vertex records'
//                             positions) in face order and written into a
//                             mapped buffer, glFinish
//
// Actions: Deform, Smooth and Paint, each scoped to the element. Goals, in
// program order (and the loaded drag's, as a user opens a scattered file): a
// frame at most 16 ms (every frame of a whole stroke too, its first
// included; every frame of a drag before its end),
// an end at most 30 ms (a whole stroke's too). The shuffled mesh, which no
// way in leaves (an import puts a scattered file in space order), is the
// worst case: its stamps, and the sculpt calls of its strokes' frames, are
// held to the floor of the same work on the same scattered records
// (figures by the goals). Their buffer updates, some thousands of
// scattered spans mapped where the program order maps a few, wait on
// memory unlike any stamp's floor (they took 1.4 ms on a quiet machine and
// 4.5 ms where other processes loaded its memory, the floor 0.6 and 1.0
// ms): they are held to a floor of the same spans mapped and written
// (entry_order_bench). The whole position
// refill at most 2 x its floor timed after it, which reads and writes the
// same bytes in the same order (a floor of flat arrays fitted
// the caches where the records do not, and so held on one machine and not
// another). Times are the thread's own
// clock (bench_clock.h): the software renderer's copies, made on the
// calling thread, count; the time the thread waits for a core that other
// processes hold does not, and a frame of a stroke is taken at its best
// over the strokes, so that a busy machine does not decide the goals.
//
// Successive stamps step back and forth so that the surface stays put.
// Needs an X display and an OpenGL 4.0 core context (scripts/bench runs it
// on the software renderer).

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/bench_drawn_mesh.h"
#include "bench/bench_goals.h"
#include "bench/bench_meshes.h"
#include "bench/bench_record_floors.h"
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

// The stamp floors of the program and shuffled meshes, listed once (the
// drags'). The frames, strokes and ends list theirs from the records as the
// benchmarks before them left them: a thousand Smooth stamps move the
// vertices round the brush, which the stamps then reach and a floor listed
// before them does not.
benchfloors::StampFloor& floorOf(Order order) {
    static benchfloors::StampFloor program(scene(Program));
    if (order == Program) return program;
    static benchfloors::StampFloor shuffled(scene(Shuffled));
    return shuffled;
}

// One pass of the floor of a scoped Deform stamp, in milliseconds of the
// thread's clock: the second of two, the first untimed. The first brings
// the records the floor reads into the caches, as the stamps of a stroke
// find theirs there: a first pass after a buffer update or a stroke's end
// waits on memory as long as other processes' use of it decides (its best
// over 30 strokes went 0.52-1.57 ms from run to run, the second pass's
// 0.51-0.66 ms).
double timedFloor(benchfloors::StampFloor& floor) {
    floor.pass(qel::Sculptor::Deform, qel::Sculptor::SelectPatch);
    return benchclock::timed([&] { floor.pass(qel::Sculptor::Deform, qel::Sculptor::SelectPatch); });
}

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
    benchfloors::StampFloor floor(*s);
    benchclock::Paired paired;
    for (auto _ : state) {
        bool failed = false;
        const double ms = benchclock::timed([&] {
            stroke.stamp();
            failed = build && !update(state, *s);
            if (!failed) gl->glFinish();
        });
        if (failed) break;
        state.SetIterationTime(1e-3 * ms);
        paired.add(ms, timedFloor(floor));
    }
    stroke.end();
    update(state, *s);
    gl->glFinish();
    paired.report(state);
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
    // Each frame slot at its best over the strokes, with the update's share
    // of that best, and its step (the sculpt call) at its best apart; the
    // floor of a scoped Deform stamp timed after each stroke, at its best.
    benchclock::BestFrames frames, steps;
    std::vector<double> uploads;
    benchfloors::StampFloor floor(*s);
    benchclock::Best floorBest;
    bool failed = false;
    for (auto _ : state) {
        double total = 0;
        std::size_t slot = 0;
        // One frame: the step and the buffer update of the next draw (the
        // update's share noted apart).
        auto frame = [&](auto&& step) {
            const double t0 = benchclock::threadMs();
            step();
            const double t1 = benchclock::threadMs();
            failed = failed || !update(state, *s);
            gl->glFinish();
            const double t2 = benchclock::threadMs();
            if (slot >= uploads.size()) uploads.resize(slot + 1, 0);
            if (frames.at(slot) == 0 || t2 - t0 < frames.at(slot)) uploads[slot] = t2 - t1;
            frames.add(slot, t2 - t0);
            steps.add(slot, t1 - t0);
            total += t2 - t0;
            ++slot;
        };
        std::unique_ptr<Stroke> stroke;
        frame([&] { stroke = std::make_unique<Stroke>(*s, qel::Sculptor::Deform, select); });
        for (int i = 0; i < 8 && !failed; ++i) frame([&] { stroke->stamp(); });
        if (!failed) frame([&] { stroke->end(); });
        if (failed) break;
        floorBest.add(timedFloor(floor));
        state.SetIterationTime(1e-3 * total);
    }
    // Slots 0..8 run before the end, slot 9 is the end.
    constexpr std::size_t EndSlot = 9;
    std::size_t worst = 0, worstStep = 0;
    for (std::size_t i = 0; i < EndSlot; ++i) {
        if (frames.at(i) > frames.at(worst)) worst = i;
        if (steps.at(i) > steps.at(worstStep)) worstStep = i;
    }
    state.counters["first_frame_ms"] = frames.at(0);
    state.counters["worst_frame_ms"] = frames.at(worst);
    state.counters["end_frame_ms"] = frames.at(EndSlot);
    state.counters["first_upload_ms"] = uploads.empty() ? 0 : uploads[0];
    state.counters["worst_upload_ms"] = worst < uploads.size() ? uploads[worst] : 0;
    const double f = floorBest.ms();
    state.counters["floor_ms"] = f;
    state.counters["first_step_over_floor"] = f > 0 ? steps.at(0) / f : 0;
    state.counters["worst_step_over_floor"] = f > 0 ? steps.at(worstStep) / f : 0;
    state.counters["end_step_over_floor"] = f > 0 ? steps.at(EndSlot) / f : 0;
}

// One frame: the step and the buffer update of the next draw, glFinish; its
// milliseconds on the thread's clock, negative when the update failed (the
// state told).
template <class Step>
double timedFrame(benchmark::State& state, Scene& s, Step&& step) {
    bool failed = false;
    const double ms = benchclock::timed([&] {
        step();
        failed = !update(state, s);
        if (!failed) gl->glFinish();
    });
    return failed ? -1 : ms;
}

// The frames of whole drags, each frame at its best over the drags the same
// way: the worst and median of those before the end, how many of them
// exceed 16 ms, and the end.
struct StrokeFrames {
    benchclock::BestFrames ways[2];  // there, back
    // One drag's frames before its end and its end; false (nothing kept)
    // when one of them failed.
    bool add(bool back, std::vector<double> ms, double end) {
        if (ms.empty() || end < 0 || *std::min_element(ms.begin(), ms.end()) < 0) return false;
        ms.push_back(end);
        ways[back ? 1 : 0].addStroke(ms);
        frames_ = ms.size();
        return true;
    }
    void report(benchmark::State& state) const {
        std::vector<double> before;
        double end = 0;
        for (const benchclock::BestFrames& w : ways) {
            for (std::size_t i = 0; i + 1 < frames_; ++i) before.push_back(w.at(i));
            end = std::max(end, frames_ ? w.at(frames_ - 1) : 0);
        }
        state.counters["worst_frame_ms"] = before.empty() ? 0 : *std::max_element(before.begin(), before.end());
        state.counters["median_frame_ms"] = benchgoals::median(before);
        state.counters["frames_over_16"] = double(std::count_if(before.begin(), before.end(), [](double t) { return t > 16; }));
        state.counters["end_frame_ms"] = end;
    }

private:
    std::size_t frames_ = 0;  // a drag's frames, its end the last
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
    benchfloors::StampFloor& floor = floorOf(order == Loaded ? Shuffled : order);
    benchclock::Paired worstOverFloor;
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
        if (!frames.add(back, ms, timedFrame(state, *s, [&] { stroke->endAt(at(40, back)); }))) break;
        if (order != Loaded)
            worstOverFloor.add(*std::max_element(ms.begin(), ms.end()),
                               benchclock::timed([&] { floor.pass(qel::Sculptor::Deform, qel::Sculptor::SelectPatch); }));
        double total = 0;
        for (const double t : ms) total += t;
        state.SetIterationTime(1e-3 * total);
        back = !back;
    }
    frames.report(state);
    if (order != Loaded) {
        state.counters["floor_ms"] = worstOverFloor.floorMs();
        state.counters["worst_over_floor"] = worstOverFloor.ratio();
    }
}

void end(benchmark::State& state, Order order) {
    Scene* s = drawnScene(state, order);
    if (!s) return;
    Stroke stroke(*s, qel::Sculptor::Deform);
    benchfloors::StampFloor floor(*s);
    benchclock::Paired paired;
    benchclock::Best step;
    for (auto _ : state) {
        for (int i = 0; i < 4; ++i) {
            stroke.stamp();
            update(state, *s);
        }
        gl->glFinish();
        double stepMs = 0;
        const double ms = timedFrame(state, *s, [&] { stepMs = benchclock::timed([&] { stroke.end(); }); });
        if (ms < 0) break;
        step.add(stepMs);
        state.SetIterationTime(1e-3 * ms);
        // The end refreshes the normals round what the stroke moved: the
        // floor of a stamp that does so.
        paired.add(ms, timedFloor(floor));
        stroke.begin();
        update(state, *s);
    }
    paired.report(state);
    state.counters["step_over_floor"] = paired.floorMs() > 0 ? step.ms() / paired.floorMs() : 0;
}

// The corner positions read where the mesh keeps them (each face record's
// vertex indices, each vertex record's position) in face order and written
// straight into a mapped buffer of its own: the bytes the refill reads and
// writes, in its order, so that the floor outgrows a machine's caches
// where the refill does (a shuffled mesh reads its vertex records
// scattered).
class PositionsFloor {
public:
    explicit PositionsFloor(const qel::Mesh& m) : m_(m) {
        std::size_t corners = 0;
        for (int f = 0; f < m.faceCount(); ++f) corners += m.faces[f].isActive() ? 3 : 0;
        bytes_ = GLsizeiptr(corners * sizeof(qel::vec3));
        gl->glGenBuffers(1, &buffer_);
        gl->glBindBuffer(GL_ARRAY_BUFFER, buffer_);
        gl->glBufferData(GL_ARRAY_BUFFER, bytes_, nullptr, GL_DYNAMIC_DRAW);
        gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    }
    ~PositionsFloor() { gl->glDeleteBuffers(1, &buffer_); }
    PositionsFloor(const PositionsFloor&) = delete;
    PositionsFloor& operator=(const PositionsFloor&) = delete;

    // One pass, glFinish included, in milliseconds of the thread's clock;
    // negative when the buffer could not be mapped.
    double pass() {
        const double t0 = benchclock::threadMs();
        gl->glBindBuffer(GL_ARRAY_BUFFER, buffer_);
        auto* out = static_cast<qel::vec3*>(
            gl->glMapBufferRange(GL_ARRAY_BUFFER, 0, bytes_, GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT));
        if (out) {
            for (int f = 0; f < m_.faceCount(); ++f) {
                const qel::MeshFace& face = m_.faces[f];
                if (!face.isActive()) continue;
                for (const std::int32_t v : face.v) *out++ = m_.vertices[v].position;
            }
            gl->glUnmapBuffer(GL_ARRAY_BUFFER);
        }
        gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
        gl->glFinish();
        return out ? benchclock::threadMs() - t0 : -1;
    }
    GLsizeiptr bytes() const { return bytes_; }

private:
    const qel::Mesh& m_;
    GLuint buffer_ = 0;
    GLsizeiptr bytes_ = 0;
};

// The whole refill, each followed by its floor (paired: best_ms, floor_ms,
// over_floor).
void refillPositions(benchmark::State& state, Order order) {
    Scene* s = drawnScene(state, order);
    if (!s) return;
    PositionsFloor floor(*s->mesh);
    benchclock::Paired paired;
    for (auto _ : state) {
        const double ms = timedFrame(state, *s, [&] { s->mesh->refill[0] = 1; });
        if (ms < 0) break;
        state.SetIterationTime(1e-3 * ms);
        const double floorMs = floor.pass();
        if (floorMs < 0) {
            state.SkipWithError("map refused");
            break;
        }
        paired.add(ms, floorMs);
    }
    paired.report(state);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * 12 * std::int64_t(s->mesh->drawCount));
}

// The floor alone.
void floorPositions(benchmark::State& state, Order order) {
    Scene* s = drawnScene(state, order);
    if (!s) return;
    PositionsFloor floor(*s->mesh);
    for (auto _ : state) {
        const double ms = floor.pass();
        if (ms < 0) {
            state.SkipWithError("map refused");
            break;
        }
        state.SetIterationTime(1e-3 * ms);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(floor.bytes()));
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

#define STROKE_BENCH(fn, name) BENCHMARK(fn)->Name(name)->Unit(benchmark::kMillisecond)->UseManualTime()
// Whole strokes: enough of them that each frame has a best.
#define WHOLE_STROKE_BENCH(fn, name) STROKE_BENCH(fn, name)->Iterations(30)
STROKE_BENCH(FrameDeformProgram, "Frame/Deform/program");
STROKE_BENCH(StampDeformProgram, "Stamp/Deform/program");
STROKE_BENCH(FrameSmoothProgram, "Frame/Smooth/program");
STROKE_BENCH(StampSmoothProgram, "Stamp/Smooth/program");
STROKE_BENCH(FramePaintProgram, "Frame/Paint/program");
STROKE_BENCH(StampPaintProgram, "Stamp/Paint/program");
WHOLE_STROKE_BENCH(StrokeElementProgram, "Stroke/Element/program");
WHOLE_STROKE_BENCH(StrokePatchProgram, "Stroke/Patch/program");
WHOLE_STROKE_BENCH(StrokeComponentProgram, "Stroke/Component/program");
STROKE_BENCH(EndDeformProgram, "End/Deform/program");
STROKE_BENCH(RefillPositionsProgram, "Refill/Positions/program");
STROKE_BENCH(FloorPositionsProgram, "Floor/Positions/program");
STROKE_BENCH(FrameDeformShuffled, "Frame/Deform/shuffled");
STROKE_BENCH(StampDeformShuffled, "Stamp/Deform/shuffled");
STROKE_BENCH(FrameSmoothShuffled, "Frame/Smooth/shuffled");
STROKE_BENCH(StampSmoothShuffled, "Stamp/Smooth/shuffled");
STROKE_BENCH(FramePaintShuffled, "Frame/Paint/shuffled");
STROKE_BENCH(StampPaintShuffled, "Stamp/Paint/shuffled");
WHOLE_STROKE_BENCH(StrokeElementShuffled, "Stroke/Element/shuffled");
WHOLE_STROKE_BENCH(StrokePatchShuffled, "Stroke/Patch/shuffled");
WHOLE_STROKE_BENCH(StrokeComponentShuffled, "Stroke/Component/shuffled");
STROKE_BENCH(EndDeformShuffled, "End/Deform/shuffled");
STROKE_BENCH(RefillPositionsShuffled, "Refill/Positions/shuffled");
STROKE_BENCH(FloorPositionsShuffled, "Floor/Positions/shuffled");
// Whole drags: a few each way.
#define DRAG_BENCH(fn, name) STROKE_BENCH(fn, name)->Iterations(8)
DRAG_BENCH(DragProgram, "Drag/Deform/program");
DRAG_BENCH(DragShuffled, "Drag/Deform/shuffled");
DRAG_BENCH(DragLoaded, "Drag/Deform/loaded");

BENCH_GOAL(benchgoals::limitMs("Frame/Deform/program", 16));
BENCH_GOAL(benchgoals::limitMs("Frame/Smooth/program", 16));
BENCH_GOAL(benchgoals::limitMs("Frame/Paint/program", 16));
// On the shuffled mesh, medians of three repetitions over 7-14 runs on a
// shared host, some beside another run of these benchmarks, and with the
// step of the stamp's action run twice (the Deform, Smooth or Paint step):
// the stamps alone over their floor 0.66-0.88 (Deform), doubled 1.27-1.29;
// 2.42-2.91 (Smooth), doubled 4.80-5.41, and on a host at load 5-14
// 2.57-3.99, doubled 4.98-6.04; 1.19-1.34 (Paint), doubled 2.44-2.53. The
// sculpt calls of whole strokes, each after the buffer update of the frame
// before it, move with the machine: the first and slowest 1.19-1.88
// (Element), doubled 1.85-2.81 (10 of 14 runs over 2.1); 7.2-9.7 (Patch),
// doubled 10.6-13.5; 6.2-8.0 (Component), doubled 9.3-11.4. With the whole
// step run twice (the search for the brush's vertices, the move and the
// normals) on a host at load 7-14: 2.45-3.00 (Element) against 1.73-1.86
// undoubled beside it; 12.8-16.1 (Patch) against 7.2-9.6; 11.2 (Component)
// against 7.3-7.9. The ended steps are mostly the normals round what the
// stroke moved, which a doubled stamp barely touches: 7.5-10.9 (Element),
// 7.2-9.6 (Patch), 6.2-8.4 (Component), 6.2-10.4 (End): held within about
// 1.5 x those, below that work done twice. The Element strokes again,
// pinned to two cores of a host at load 6-9 (three more processes working
// on those two cores or not), medians of three repetitions: the first and
// slowest 1.16-1.43, and with the Deform step run twice 1.60-2.23 (the
// sculpt call itself 1.19-1.42 ms against 1.92-2.56 ms; its floor, timed
// apart, moves between 0.86 and 1.72 ms from one repetition to the next):
// held to 1.55, between the two.
BENCH_GOAL(benchgoals::counterAtMost("Stamp/Deform/shuffled", "over_floor", 1.05));
BENCH_GOAL(benchgoals::counterAtMost("Stamp/Smooth/shuffled", "over_floor", 4.5));
BENCH_GOAL(benchgoals::counterAtMost("Stamp/Paint/shuffled", "over_floor", 1.9));
#define STROKE_GOALS(scope)                                                                 \
    BENCH_GOAL(benchgoals::counterAtMost("Stroke/" scope "/program", "first_frame_ms", 16)); \
    BENCH_GOAL(benchgoals::counterAtMost("Stroke/" scope "/program", "worst_frame_ms", 16)); \
    BENCH_GOAL(benchgoals::counterAtMost("Stroke/" scope "/program", "end_frame_ms", 30))
#define SHUFFLED_STROKE_GOALS(scope, steps, end)                                                        \
    BENCH_GOAL(benchgoals::counterAtMost("Stroke/" scope "/shuffled", "first_step_over_floor", steps)); \
    BENCH_GOAL(benchgoals::counterAtMost("Stroke/" scope "/shuffled", "worst_step_over_floor", steps)); \
    BENCH_GOAL(benchgoals::counterAtMost("Stroke/" scope "/shuffled", "end_step_over_floor", end))
STROKE_GOALS("Element");
STROKE_GOALS("Patch");
STROKE_GOALS("Component");
SHUFFLED_STROKE_GOALS("Element", 1.55, 16);
SHUFFLED_STROKE_GOALS("Patch", 11, 14);
SHUFFLED_STROKE_GOALS("Component", 9, 12);
BENCH_GOAL(benchgoals::limitMs("End/Deform/program", 30));
BENCH_GOAL(benchgoals::counterAtMost("End/Deform/shuffled", "step_over_floor", 15));
BENCH_GOAL(benchgoals::counterAtMost("Refill/Positions/program", "over_floor", 2));
BENCH_GOAL(benchgoals::counterAtMost("Refill/Positions/shuffled", "over_floor", 2));
BENCH_GOAL(benchgoals::counterAtMost("Drag/Deform/program", "worst_frame_ms", 16));
BENCH_GOAL(benchgoals::counterAtMost("Drag/Deform/shuffled", "worst_over_floor", 8));
BENCH_GOAL(benchgoals::counterAtMost("Drag/Deform/loaded", "worst_frame_ms", 16));
