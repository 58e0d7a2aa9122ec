// The main of every benchmark binary: Google Benchmark's own, plus --check.
//
// With --check the binary runs only the benchmarks its goals name (unless a
// filter is given: then the goals of what it runs), three repetitions each
// (unless given, or set by the benchmark itself), then prints one line per
// goal and exits with 1 when a goal is missed or could not be measured. A
// binary without goals runs nothing under --check.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_goals.h"

namespace {

// The console output, with every run kept for the check.
class KeepingReporter : public benchmark::ConsoleReporter {
public:
    explicit KeepingReporter(OutputOptions options) : ConsoleReporter(options) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) keep(r);
        ConsoleReporter::ReportRuns(runs);
    }

    // The medians of what was kept, by name.
    benchgoals::Results results() const {
        benchgoals::Results out;
        for (const Kept& k : kept_) {
            benchgoals::Measured m;
            if (k.hasMedian) {
                m = k.median;
            } else {
                m.ms = benchgoals::median(k.times);
                for (const auto& c : k.counters) m.counters.emplace_back(c.first, benchgoals::median(c.second));
            }
            out.emplace_back(k.name, m);
        }
        return out;
    }

private:
    struct Kept {
        std::string name;
        std::vector<double> times;
        std::vector<std::pair<std::string, std::vector<double>>> counters;
        bool hasMedian = false;
        benchgoals::Measured median;  // the library's median aggregate, when reported
    };

    static double toMs(double t, benchmark::TimeUnit unit) {
        switch (unit) {
            case benchmark::kNanosecond:
                return t * 1e-6;
            case benchmark::kMicrosecond:
                return t * 1e-3;
            case benchmark::kMillisecond:
                return t;
            case benchmark::kSecond:
                return t * 1e3;
        }
        return t;
    }

    // The benchmark's own time: real time when it is timed with UseRealTime,
    // the time it reports itself when timed with UseManualTime.
    static double ownMs(const Run& r) {
        const std::string& type = r.run_name.time_type;
        const bool real = type.find("real_time") != std::string::npos || type.find("manual_time") != std::string::npos;
        return toMs(real ? r.GetAdjustedRealTime() : r.GetAdjustedCPUTime(), r.time_unit);
    }

    Kept& entry(const std::string& name) {
        for (Kept& k : kept_)
            if (k.name == name) return k;
        kept_.push_back(Kept());
        kept_.back().name = name;
        return kept_.back();
    }

    void keep(const Run& r) {
        if (r.error_occurred || r.report_big_o || r.report_rms) return;
        std::string name = r.run_name.function_name;
        if (!r.run_name.args.empty()) name += "/" + r.run_name.args;
        Kept& k = entry(name);
        if (r.run_type == Run::RT_Aggregate) {
            if (r.aggregate_name != "median") return;
            k.hasMedian = true;
            k.median.ms = ownMs(r);
            for (const auto& c : r.counters) k.median.counters.emplace_back(c.first, double(c.second));
            return;
        }
        k.times.push_back(ownMs(r));
        for (const auto& c : r.counters) {
            auto it = k.counters.begin();
            while (it != k.counters.end() && it->first != c.first) ++it;
            if (it == k.counters.end()) it = k.counters.insert(it, {c.first, {}});
            it->second.push_back(double(c.second));
        }
    }

    std::vector<Kept> kept_;
};

bool given(const std::vector<char*>& args, const char* flag) {
    for (const char* a : args)
        if (std::strncmp(a, flag, std::strlen(flag)) == 0) return true;
    return false;
}

// The console options the library's own reporter would take from the
// flags: colour on a terminal unless turned off, counters in columns only
// when asked.
benchmark::ConsoleReporter::OutputOptions consoleOptions(const std::vector<char*>& args) {
    int options = benchmark::ConsoleReporter::OO_None;
    const bool noColour = given(args, "--benchmark_color=false") || given(args, "--benchmark_color=no") ||
                          given(args, "--benchmark_color=0");
    if (isatty(fileno(stdout)) && !noColour) options |= benchmark::ConsoleReporter::OO_Color;
    if (given(args, "--benchmark_counters_tabular=true")) options |= benchmark::ConsoleReporter::OO_Tabular;
    return benchmark::ConsoleReporter::OutputOptions(options);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args;
    bool check = false;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--check") == 0)
            check = true;
        else
            args.push_back(argv[i]);
    }
    const std::vector<benchgoals::Goal>& goals = benchgoals::all();
    if (check && goals.empty()) {
        std::printf("(no goals)\n");
        return 0;
    }
    std::string filter = "--benchmark_filter=" + benchgoals::filterFor(goals);
    std::string repetitions = "--benchmark_repetitions=3";
    const bool narrowed = given(args, "--benchmark_filter");
    if (check && !narrowed) args.push_back(&filter[0]);
    if (check && !given(args, "--benchmark_repetitions")) args.push_back(&repetitions[0]);
    const benchmark::ConsoleReporter::OutputOptions options = consoleOptions(args);
    int count = int(args.size());
    args.push_back(nullptr);

    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    KeepingReporter reporter(options);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (!check) return 0;

    // A filter of the caller's leaves out the goals of what it did not run.
    const benchgoals::Results results = reporter.results();
    std::vector<benchgoals::Goal> judged;
    for (const benchgoals::Goal& g : goals) {
        bool ran = !narrowed;
        for (const auto& r : results) ran = ran || r.first == g.subject;
        if (ran) judged.push_back(g);
    }
    bool missed = false;
    std::printf("\nGoals:\n");
    for (const benchgoals::Verdict& v : benchgoals::check(judged, results)) {
        std::printf("  %s %s\n", v.met ? "met   " : "MISSED", v.line.c_str());
        missed = missed || !v.met;
    }
    std::fflush(stdout);
    return missed ? 1 : 0;
}
