#pragma once
// The clock the frame and stamp goals read, and the best-of statistics that
// keep a busy machine from deciding them.
//
// A goal stated in milliseconds holds for what the program's own thread
// does: the calling thread's processor time, which does not run while the
// thread waits for a core that other processes hold. Where what could go
// wrong is a wait (a frame blocked on a worker thread), the waits count
// too, less the time the thread waited for a core that other processes
// held: a wait on a lock or a join counts, and so does a wait for the core
// a worker of the process holds, a busy machine's queue does not. Each
// frame of a stroke is taken at its best over the strokes timed (a frame
// that another process slowed in one stroke runs unhindered in another),
// and a stamp is held against its floor timed in alternation with it, pair
// by pair, so that both see the same machine.

#include <fcntl.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <vector>

namespace benchclock {

// The calling thread's processor time in milliseconds.
inline double threadMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

// The time of the wall clock in milliseconds (steady).
inline double realMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

// The processor time of every thread of the process in milliseconds.
inline double processMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

// The time a thread has waited, ready to run, for a core, in milliseconds,
// read from its open scheduler statistics (processor time, time waited
// and time slices, in ns); 0 when they cannot be read.
inline double waitedForCoreMs(int statsFd) {
    char text[96];
    const ssize_t n = statsFd >= 0 ? pread(statsFd, text, sizeof text - 1, 0) : -1;
    if (n <= 0) return 0;
    text[n] = 0;
    char* end = nullptr;
    std::strtoull(text, &end, 10);
    return double(std::strtoull(end, nullptr, 10)) * 1e-6;
}

// The time the calling thread has waited, ready to run, for a core, in
// milliseconds; 0 where the system keeps no scheduler statistics.
inline double runQueueMs() {
    struct Stats {
        int fd = open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
        ~Stats() {
            if (fd >= 0) close(fd);
        }
    };
    thread_local Stats stats;
    return waitedForCoreMs(stats.fd);
}

// The calling thread's own wall time in milliseconds: the wall clock less
// the time the thread waited for a core. A span of it counts the thread's
// processor time and every wait on something else (a lock, a join, a
// sleep).
inline double ownWallMs() { return realMs() - runQueueMs(); }

// The number of cores the calling thread may run on.
inline int coresAllowed() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
    return std::max(1, int(sysconf(_SC_NPROCESSORS_ONLN)));
}

// What a call took on the calling thread: its processor time, and its
// waits on other threads (a lock, a join, a sleep) and for a core that the
// process's own threads held, but not for a core that other processes held.
//
// A wait for a core is the process's own where its threads wanted more
// than the cores they may run on: the other threads' processor time beyond
// what the caller's other cores could have given them in the call's wall
// time was taken on the caller's core, and the caller's waits for a core
// count up to it (on one core, a worker working while the caller waits for
// the core is the worker's time in the caller's wall time, whichever of
// the two the scheduler runs first). The rest of the caller's waits for a
// core are the machine's. A wait on a thread that itself waits for a core
// counts whole: that core may be the one the caller held.
struct Waited {
    double cpuMs = 0;
    double waitMs = 0;
    double ms() const { return cpuMs + waitMs; }
};
template <class Work>
Waited timedWithWaits(Work&& work) {
    const int cores = coresAllowed();
    const double wall0 = realMs();
    const double queued0 = runQueueMs();
    // The thread's clock read first: the process's counts it.
    const double cpu0 = threadMs();
    const double process0 = processMs();
    work();
    Waited w;
    w.cpuMs = threadMs() - cpu0;
    const double others = std::max(0.0, processMs() - process0 - w.cpuMs);
    const double queued = runQueueMs() - queued0;
    const double wall = realMs() - wall0;
    const double crowded = std::min(queued, std::max(0.0, others - double(cores - 1) * wall));
    w.waitMs = std::max(0.0, wall - (queued - crowded) - w.cpuMs);
    return w;
}

// The time a call takes on the clock (the thread's processor time by
// default), in milliseconds.
template <class Work>
double timed(Work&& work, double (*clock)() = threadMs) {
    const double t0 = clock();
    work();
    return clock() - t0;
}

// The least of the values added; 0 before any.
class Best {
public:
    void add(double ms) { best_ = std::min(best_, ms); }
    bool empty() const { return best_ == std::numeric_limits<double>::infinity(); }
    double ms() const { return empty() ? 0 : best_; }

private:
    double best_ = std::numeric_limits<double>::infinity();
};

// Adds the time of the clock (the thread's by default) from its making to
// its end to a Best: the rest of a benchmark's iteration, made after its
// ResumeTiming.
class TimedScope {
public:
    explicit TimedScope(Best& best, double (*clock)() = threadMs) : best_(best), clock_(clock), t0_(clock()) {}
    ~TimedScope() { best_.add(clock_() - t0_); }
    TimedScope(const TimedScope&) = delete;
    TimedScope& operator=(const TimedScope&) = delete;

private:
    Best& best_;
    double (*clock_)();
    double t0_;
};

// The frames of repeated strokes, each frame slot at its best over the
// strokes: worst() is the slowest slot, a frame every stroke makes that
// slow; a slot that one stroke alone made slow is not.
class BestFrames {
public:
    // Frame `slot` of a stroke took ms.
    void add(std::size_t slot, double ms) {
        if (slot >= best_.size()) best_.resize(slot + 1);
        best_[slot].add(ms);
    }
    // A stroke's frames, from slot 0.
    void addStroke(const std::vector<double>& ms) {
        for (std::size_t i = 0; i < ms.size(); ++i) add(i, ms[i]);
    }
    double at(std::size_t slot) const { return slot < best_.size() ? best_[slot].ms() : 0; }
    double worst() const {
        double w = 0;
        for (const Best& b : best_) w = std::max(w, b.ms());
        return w;
    }

private:
    std::vector<Best> best_;
};

// A subject timed in alternation with its floor: each at its best, and the
// median of the subject over the floor timed next to it (a pair shares
// the machine's state, which a busy machine changes from moment to moment).
class Paired {
public:
    // One subject and the floor timed next to it.
    void add(double subjectMs, double floorMs) {
        subject_.add(subjectMs);
        floor_.add(floorMs);
        if (floorMs > 0) ratios_.push_back(subjectMs / floorMs);
    }
    double floorMs() const { return floor_.ms(); }
    double ratio() const {
        if (ratios_.empty()) return 0;
        std::vector<double> r = ratios_;
        std::nth_element(r.begin(), r.begin() + std::ptrdiff_t(r.size() / 2), r.end());
        return r[r.size() / 2];
    }
    // Counters best_ms, floor_ms and over_floor (the goal's) of a
    // benchmark::State.
    template <class State>
    void report(State& state) const {
        state.counters["best_ms"] = subject_.ms();
        state.counters["floor_ms"] = floor_.ms();
        state.counters["over_floor"] = ratio();
    }

private:
    Best subject_, floor_;
    std::vector<double> ratios_;
};

}  // namespace benchclock
