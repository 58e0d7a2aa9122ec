// The first frame of the generated small files (tests/files/slow_scenes_util:
// files under 10 KB asking for resampled curves, nested arrays, swept
// surfaces and huge GIF screens), each opened from its file as the program
// opens it and its first frame built as the view builds it:
//
//   FirstFrame/SlowestSmallFile  the user processor time (every thread of
//                        the process: the software renderer's too) of the
//                        load and the first frame of the slowest of those
//                        files, each file at its best over three passes;
//                        its name is the benchmark's label. Counters:
//                        most_pages, the most fresh memory pages any file's
//                        first frame touched (each file at its fewest);
//                        sys_ms, the kernel's time for the slowest file as
//                        measured (reported, not held)
//
// Goals: FirstFrame/SlowestSmallFile <= 750 ms and most_pages <= 400,000
// (1.6 GB). Each pass opens every file once in a fresh scene: a first frame
// is measured, never a warm one. The kernel's time is not held: the file
// with an 8000 x 8000 screen spends 1.2 s to 1.7 s of it handing over 1.2
// GB of fresh pages, as other processes on the machine contend for its
// memory, while the pages stay the same (312,500). So the program's work is
// held in the time it spends itself (0.38 s to 0.52 s for that file), and
// its memory in the pages it touches: a first frame that does its work
// twice or touches a third more memory misses.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <sys/resource.h>

#include <algorithm>
#include <cstddef>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_gl_context.h"
#include "bench/bench_goals.h"
#include "files/first_frame_util.h"
#include "files/slow_scenes_util.h"
#include "scene/scene.h"

namespace {

BENCH_GOAL(benchgoals::limitMs("FirstFrame/SlowestSmallFile", 750));
BENCH_GOAL(benchgoals::counterAtMost("FirstFrame/SlowestSmallFile", "most_pages", 400000));

// The small files, written once into a folder that lives as long as the
// process (the GIF scenes name images beside them).
struct SmallFiles {
    QTemporaryDir dir;
    std::vector<std::string> names, paths;
    SmallFiles() {
        const std::vector<slowscenes::Case> cases = slowscenes::firstFrameCases(dir.path().toStdString());
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const std::string path = dir.filePath(QString("case%1.tl").arg(i)).toStdString();
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(cases[i].bytes.data()), std::streamsize(cases[i].bytes.size()));
            names.push_back(cases[i].name);
            paths.push_back(path);
        }
    }
};

SmallFiles& smallFiles() {
    static SmallFiles* files = new SmallFiles();
    return *files;
}

// What the process used: user and kernel seconds, and fresh pages.
struct Usage {
    double user = 0, sys = 0;
    long pages = 0;
    static Usage now() {
        rusage r{};
        getrusage(RUSAGE_SELF, &r);
        Usage u;
        u.user = double(r.ru_utime.tv_sec) + 1e-6 * double(r.ru_utime.tv_usec);
        u.sys = double(r.ru_stime.tv_sec) + 1e-6 * double(r.ru_stime.tv_usec);
        u.pages = r.ru_minflt;
        return u;
    }
    Usage operator-(const Usage& o) const { return {user - o.user, sys - o.sys, pages - o.pages}; }
};

// Opens the file and builds its first frame (first_frame_util.h), the GL
// work finished. What that used (the scene's freeing not counted); false
// when the file was refused.
bool firstFrame(const std::string& path, Usage& used) {
    qel::Scene scene;
    const Usage before = Usage::now();
    if (!scene.load(path)) return false;
    firstframe::buildFirstFrame(scene);
    gl->glFinish();
    used = Usage::now() - before;
    return true;
}

constexpr int Passes = 3;

void BM_FirstFrameSlowestSmallFile(benchmark::State& state) {
    if (!benchgl::makeContext()) {
        state.SkipWithError("no OpenGL 4.0 core context");
        return;
    }
    const SmallFiles& files = smallFiles();
    for (auto _ : state) {
        // Each file at its best: its least user time and fewest pages.
        std::vector<Usage> best(files.paths.size());
        for (int pass = 0; pass < Passes; ++pass)
            for (std::size_t i = 0; i < files.paths.size(); ++i) {
                Usage used;
                if (!firstFrame(files.paths[i], used)) {
                    state.SkipWithError(("refused: " + files.names[i]).c_str());
                    return;
                }
                if (pass == 0 || used.user < best[i].user) {
                    best[i].user = used.user;
                    best[i].sys = used.sys;
                }
                best[i].pages = pass == 0 ? used.pages : std::min(best[i].pages, used.pages);
            }
        std::size_t slowest = 0;
        long mostPages = 0;
        for (std::size_t i = 0; i < best.size(); ++i) {
            if (best[i].user > best[slowest].user) slowest = i;
            mostPages = std::max(mostPages, best[i].pages);
        }
        state.SetIterationTime(best[slowest].user);
        state.SetLabel(files.names[slowest]);
        state.counters["sys_ms"] = 1e3 * best[slowest].sys;
        state.counters["most_pages"] = double(mostPages);
    }
}

}  // namespace

BENCHMARK(BM_FirstFrameSlowestSmallFile)
    ->Name("FirstFrame/SlowestSmallFile")
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
