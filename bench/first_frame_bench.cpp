// The first frame of the generated small files (tests/files/slow_scenes_util:
// files under 10 KB asking for resampled curves, nested arrays, swept
// surfaces and huge GIF screens), each opened from its file as the program
// opens it and its first frame built as the view builds it:
//
//   FirstFrame/SlowestSmallFile  the processor time (every thread of the
//                        process: the software renderer's too) of the load
//                        and the first frame of the slowest of those files,
//                        each file at its best over three passes; its name
//                        is the benchmark's label
//
// Goal: FirstFrame/SlowestSmallFile <= 2000 ms. Each pass opens every file
// once in a fresh scene: a first frame is measured, never a warm one. A
// file is taken at its best over the passes, so that a pass in which other
// processes held the caches and the memory (the slowest file took 1.8 s on
// a quiet machine and 2.01 s on a busy one) does not decide the goal.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstddef>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "bench/bench_gl_context.h"
#include "bench/bench_goals.h"
#include "files/first_frame_util.h"
#include "files/slow_scenes_util.h"
#include "scene/scene.h"

namespace {

BENCH_GOAL(benchgoals::limitMs("FirstFrame/SlowestSmallFile", 2000));

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

// Opens the file and builds its first frame (first_frame_util.h), the GL
// work finished. The processor seconds that took (the scene's freeing not
// counted); negative when the file was refused.
double firstFrame(const std::string& path) {
    qel::Scene scene;
    const double start = firstframe::processorSeconds();
    if (!scene.load(path)) return -1;
    firstframe::buildFirstFrame(scene);
    gl->glFinish();
    return firstframe::processorSeconds() - start;
}

constexpr int Passes = 3;

void BM_FirstFrameSlowestSmallFile(benchmark::State& state) {
    if (!benchgl::makeContext()) {
        state.SkipWithError("no OpenGL 4.0 core context");
        return;
    }
    const SmallFiles& files = smallFiles();
    for (auto _ : state) {
        std::vector<double> best(files.paths.size(), std::numeric_limits<double>::infinity());
        for (int pass = 0; pass < Passes; ++pass)
            for (std::size_t i = 0; i < files.paths.size(); ++i) {
                const double seconds = firstFrame(files.paths[i]);
                if (seconds < 0) {
                    state.SkipWithError(("refused: " + files.names[i]).c_str());
                    return;
                }
                best[i] = std::min(best[i], seconds);
            }
        double slowest = 0;
        std::size_t which = 0;
        for (std::size_t i = 0; i < best.size(); ++i)
            if (best[i] > slowest) {
                slowest = best[i];
                which = i;
            }
        state.SetIterationTime(slowest);
        state.SetLabel(files.names[which]);
    }
}

}  // namespace

BENCHMARK(BM_FirstFrameSlowestSmallFile)
    ->Name("FirstFrame/SlowestSmallFile")
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
