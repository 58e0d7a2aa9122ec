// The work a first stroke leaves behind it on a large mesh: the vertex grid
// of the stamps and the component and patch labels of the scoped stamps.
// On the torus of 4,001,620 faces (1,415 x 1,414 quads), in program order
// (as built) and shuffled (vertices and faces in a random order, as a file
// of another program may hold them), three sessions of each repetition,
// each on a fresh copy: Deform strokes scoped to the patch as a user makes
// them (a press, twenty steps back and forth over two brush radii, the
// last one the release), one sculpt call per frame of the view's 16 ms
// timer, strokes after strokes until both are kept or 20 s have passed.
//
//   Behind/Deform/<order>   Counters: ready_ms, the wall time from the
//                           first press until the grid and the labels are
//                           both kept; ready_cpu_ms, the processor time
//                           of every thread of the process meanwhile (the
//                           frames' and the work behind them); behind_ms,
//                           that of the threads behind the frames alone
//                           (the process's less the calling thread's: the
//                           binning and the joining), at its least over
//                           the sessions; floor_ms, the floor of that work
//                           on the calling thread's clock, over the same
//                           mesh: one pass binning flat copies of the
//                           positions by a counting sort and one giving
//                           each face the least label of its own and its
//                           neighbours', timed before each session and
//                           after the last, at its least;
//                           over_floor, behind_ms over floor_ms;
//                           worst_frame_ms, the longest sculpt call
//                           meanwhile; first_frame_ms, the first step's
//                           (the stroke's own work is largest there);
//                           worst_wait_ms, the longest time a sculpt call
//                           spent waiting (on the worker's end, a lock);
//                           frames, how many ran; frames_over_16; these
//                           and the wall and processor times of a session
//                           the median over the sessions. A sculpt
//                           call's time is its processor time and its
//                           waits on other threads and on the cores they
//                           hold (bench_clock.h), less its waits for a
//                           core that other processes held: a frame
//                           blocked on the work behind it counts whole,
//                           on one core too, a busy machine's queue does
//                           not.
//
// Goals: the work behind the frames within a multiple of its floor, no
// frame over 16 ms meanwhile (its waits on the work behind it included),
// in program order; the shuffled order is measured beside it (each stamp
// there waits on memory for every record it reads). The wall time and
// ready_cpu_ms are reported, not bounded: on a machine whose cores other
// processes hold, the work behind the frames waits for one, and both the
// wall time and the number of frames run meanwhile (whose stamps
// ready_cpu_ms counts) are the machine's.
//
// The processor time of the same work moves with the host, not only with
// the work: what shares the cores' caches and the memory, and the fresh
// pages the work's arrays take, which a host that took the machine's free
// memory back fills anew. From one session to the next the work behind
// the frames took 143 to 250 ms, and a floor pass 33 to 76 ms, each
// independently of the other, the two even apart within a second: a
// ratio of one session to one floor pass read 2.8 to 6.0. Each is taken
// at its least over the same stretch of time, its passes alternating
// with the sessions: a session or a pass that the host slowed is outrun
// by one it did not.
//
// Each frame sleeps out the rest of its 16 ms, as the view waits for its
// timer: the wall time counts what runs behind the frames, not only in
// them.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/bench_goals.h"
#include "bench/bench_meshes.h"
#include "mesh/mesh.h"
#include "scene/sculptor.h"

// The bound of over_floor, pinned to two cores of the 8-core host at load
// 7-18, medians of three repetitions: 3.47-4.41 with those two cores
// otherwise idle (8 runs); 3.12-4.50 with a parallel build, `yes` or
// processes streaming memory and faulting fresh pages on them (16 runs);
// 3.85-5.12 beside a process taking and freeing 4 GB every 2.5 s. With the
// grid and the labels each built twice behind the strokes (the work's page
// faults not doubled): 6.35-8.14 idle (8 runs), 5.80-7.63 loaded (21
// runs); built twice into fresh arrays, 6.71-7.90 loaded. (Before, one
// session against the best of three floor passes after it: 3.93-5.31 and
// 3.96-4.26, and with the work twice 7.88-8.52 and 6.00-7.18, which a
// bound of 8 let pass.) Held to 5.5, between the two.
BENCH_GOAL(benchgoals::counterAtMost("Behind/Deform/program", "over_floor", 5.5));
BENCH_GOAL(benchgoals::counterAtMost("Behind/Deform/program", "worst_frame_ms", 16));

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

enum Order { Program, Shuffled };

const qel::Mesh& torus4M(Order order) {
    static const qel::Mesh* program = benchmeshes::torus(1415, 1414);
    if (order == Program) return *program;
    static const qel::Mesh* shuffled = benchmeshes::shuffledCopy(*program);
    return *shuffled;
}

// Points on the torus's outer equator over two brush radii, with their
// faces (picked once: a pick scans every face).
struct Path {
    std::vector<qel::vec3> points;
    std::vector<int> faces;
};

constexpr float Radius = 0.1f;

Path makePath(Order order) {
    Path out;
    const qel::Mesh& m = torus4M(order);
    for (int i = 0; i < 8; ++i) {
        // Two radii along the outer side, off the rings of vertices.
        const double a = 0.3 + 0.2 * double(i) / 7 / 3, b = 0.2;
        const qel::vec3 at(float((2 + std::cos(b)) * std::cos(a)), float((2 + std::cos(b)) * std::sin(a)),
                           float(std::sin(b)));
        // The torus's own frame: the mesh keeps its vertices in place.
        out.points.push_back(at);
        out.faces.push_back(m.findFirstFace(at));
    }
    return out;
}

const Path& path(Order order) {
    static const Path program = makePath(Program);
    if (order == Program) return program;
    static const Path shuffled = makePath(Shuffled);
    return shuffled;
}

qel::SBrush sample(const Path& p, int k) {
    // There and back along the points.
    const int n = int(p.points.size());
    const int leg = (k / (n - 1)) % 2 ? n - 1 - k % (n - 1) : k % (n - 1);
    qel::SBrush b;
    b.point = p.points[std::size_t(leg)];
    b.radius = Radius;
    b.itemId = p.faces[std::size_t(leg)];
    b.strength = 1;
    return b;
}

// The floor of the work behind the frames, over flat copies of what the
// workers read (the positions, the face links), made outside the clock.
class BehindFloor {
public:
    explicit BehindFloor(const qel::Mesh& m) {
        positions_.reserve(std::size_t(m.vertexCount()));
        for (int v = 0; v < m.vertexCount(); ++v) positions_.push_back(m.vertices[v].position);
        links_.reserve(std::size_t(m.faceCount()) * 3);
        for (int f = 0; f < m.faceCount(); ++f)
            for (int k = 0; k < 3; ++k) links_.push_back(m.faces[f].f[k]);
        cellOf_.resize(positions_.size());
        order_.resize(positions_.size());
        // About two cells per vertex, as the grid lays them at most.
        cells_ = 1;
        while (cells_ < 2 * positions_.size()) cells_ *= 2;
        start_.resize(cells_ + 1);
        label_.resize(std::size_t(m.faceCount()));
    }

    // One pass of each; the calling thread's processor time in ms.
    double timed(float radius) {
        return benchclock::timed([&] {
            bin(radius);
            label();
        });
    }

private:
    // Each position's cell of width radius / 2, counted, then the vertices
    // placed cell by cell.
    void bin(float radius) {
        const float inv = 2 / radius;
        std::fill(start_.begin(), start_.end(), 0u);
        for (std::size_t v = 0; v < positions_.size(); ++v) {
            const qel::vec3& p = positions_[v];
            const std::uint32_t c = (std::uint32_t(std::int32_t(std::floor(p.x * inv))) * 73856093u ^
                                     std::uint32_t(std::int32_t(std::floor(p.y * inv))) * 19349663u ^
                                     std::uint32_t(std::int32_t(std::floor(p.z * inv))) * 83492791u) &
                                    std::uint32_t(cells_ - 1);
            cellOf_[v] = c;
            ++start_[c + 1];
        }
        for (std::size_t c = 0; c < cells_; ++c) start_[c + 1] += start_[c];
        for (std::size_t v = 0; v < positions_.size(); ++v) order_[start_[cellOf_[v]]++] = std::int32_t(v);
        benchmark::DoNotOptimize(order_.data());
    }

    // Each face's label the least of its own index and its neighbours'
    // labels as they stand.
    void label() {
        for (std::size_t f = 0; f < label_.size(); ++f) label_[f] = std::int32_t(f);
        for (std::size_t f = 0; f < label_.size(); ++f) {
            std::int32_t l = label_[f];
            for (int k = 0; k < 3; ++k) {
                const std::int32_t g = links_[3 * f + std::size_t(k)];
                if (g >= 0) l = std::min(l, label_[std::size_t(g)]);
            }
            label_[f] = l;
        }
        benchmark::DoNotOptimize(label_.data());
    }

    std::vector<qel::vec3> positions_;
    std::vector<std::int32_t> links_;
    std::vector<std::uint32_t> cellOf_;
    std::vector<std::int32_t> order_;
    std::size_t cells_ = 1;
    std::vector<std::uint32_t> start_;
    std::vector<std::int32_t> label_;
};

BehindFloor& behindFloor(Order order) {
    static BehindFloor program(torus4M(Program));
    if (order == Program) return program;
    static BehindFloor shuffled(torus4M(Shuffled));
    return shuffled;
}

// What one stroke session measured (see the counters above).
struct Session {
    double ready = 0, readyCpu = 0, behindCpu = 0, worst = 0, first = 0, worstWait = 0;
    int frames = 0, over = 0;
};

constexpr double LimitMs = 20000;

// Strokes on the mesh until its grid and labels are both kept, or the
// limit has passed (every time of the session then LimitMs * 10).
Session strokeSession(qel::Mesh& m, const Path& p) {
    constexpr double FrameMs = 16;
    constexpr int Steps = 20;
    Session out;
    const Clock::time_point t0 = Clock::now();
    // The calling thread's clock read first: the process's counts it.
    const double own0 = benchclock::threadMs();
    const double cpu0 = benchclock::processMs();
    auto kept = [&] { return m.strokeGridKept() && m.strokeLabelsKept(); };
    // One sculpt call, then the rest of the frame slept out.
    auto frame = [&](std::vector<qel::Sculptor*>& list) {
        const Clock::time_point f0 = Clock::now();
        const benchclock::Waited call = benchclock::timedWithWaits([&] { m.sculpt(list); });
        const double ms = call.ms();
        if (out.ready == 0 && kept()) {
            out.ready = msSince(t0);
            const double own = benchclock::threadMs() - own0;
            out.readyCpu = benchclock::processMs() - cpu0;
            out.behindCpu = out.readyCpu - own;
        }
        if (out.ready > 0) return;
        out.worst = std::max(out.worst, ms);
        out.worstWait = std::max(out.worstWait, call.waitMs);
        if (out.frames == 1) out.first = ms;
        out.over += ms > 16;
        ++out.frames;
        const double left = FrameMs - msSince(f0);
        if (left > 0) std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(left));
    };
    for (int k = 0; out.ready == 0 && msSince(t0) < LimitMs;) {
        qel::Sculptor s;
        s.action = qel::Sculptor::Deform;
        s.select = qel::Sculptor::SelectPatch;
        s.viewDirection = qel::vec3(1, 0, 0);
        std::vector<qel::Sculptor*> list{&s};
        s.begin();
        s.samples.push_back(sample(p, k));
        frame(list);
        for (int i = 1; i <= Steps; ++i) {
            s.move();
            if (i == Steps) s.end();
            s.samples.push_back(sample(p, ++k));
            frame(list);
        }
    }
    if (out.ready == 0) out.ready = out.readyCpu = out.behindCpu = LimitMs * 10;
    return out;
}

void behind(benchmark::State& state, Order order) {
    constexpr int Sessions = 3;
    std::vector<Session> sessions;
    benchclock::Best floorBest;
    for (auto _ : state) {
        state.PauseTiming();
        sessions.clear();
        floorBest = benchclock::Best();
        const Path& p = path(order);
        BehindFloor& floorPass = behindFloor(order);
        // A floor pass before each session and one after the last.
        for (int i = 0; i < Sessions; ++i) {
            floorBest.add(floorPass.timed(Radius));
            const std::unique_ptr<qel::Mesh> m(new qel::Mesh(torus4M(order)));
            state.ResumeTiming();
            sessions.push_back(strokeSession(*m, p));
            state.PauseTiming();
        }
        floorBest.add(floorPass.timed(Radius));
        state.ResumeTiming();
    }
    benchclock::Best behindBest;
    for (const Session& s : sessions) behindBest.add(s.behindCpu);
    // The median over the sessions of a session's counter.
    auto median = [&](auto Session::*of) {
        std::vector<double> v;
        for (const Session& s : sessions) v.push_back(double(s.*of));
        return benchgoals::median(v);
    };
    const double floor = floorBest.ms();
    state.counters["ready_ms"] = median(&Session::ready);
    state.counters["ready_cpu_ms"] = median(&Session::readyCpu);
    state.counters["behind_ms"] = behindBest.ms();
    state.counters["floor_ms"] = floor;
    state.counters["over_floor"] = floor > 0 ? behindBest.ms() / floor : 0;
    state.counters["worst_frame_ms"] = median(&Session::worst);
    state.counters["first_frame_ms"] = median(&Session::first);
    state.counters["worst_wait_ms"] = median(&Session::worstWait);
    state.counters["frames"] = median(&Session::frames);
    state.counters["frames_over_16"] = median(&Session::over);
}

void behindProgram(benchmark::State& state) { behind(state, Program); }
void behindShuffled(benchmark::State& state) { behind(state, Shuffled); }

}  // namespace

BENCHMARK(behindProgram)->Name("Behind/Deform/program")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(behindShuffled)->Name("Behind/Deform/shuffled")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
