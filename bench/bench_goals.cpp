// Goal registration and the check of goals against a run's results.

#include "bench/bench_goals.h"

#include <algorithm>
#include <cstdio>

namespace benchgoals {

namespace {

std::vector<Goal>& registry() {
    static std::vector<Goal> goals;
    return goals;
}

const Measured* find(const Results& results, const std::string& name) {
    for (const auto& r : results)
        if (r.first == name) return &r.second;
    return nullptr;
}

const double* findCounter(const Measured& m, const std::string& name) {
    for (const auto& c : m.counters)
        if (c.first == name) return &c.second;
    return nullptr;
}

// A number as the verdicts print it.
std::string num(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

Verdict checkCounterRatio(const Goal& g, const Measured& subject, const Results& results) {
    Verdict v;
    const std::string name = g.subject + " / " + g.floor + " " + g.counter;
    const Measured* floor = find(results, g.floor);
    const double* value = findCounter(subject, g.counter);
    const double* base = floor ? findCounter(*floor, g.counter) : nullptr;
    if (!value || !base || !(*base > 0)) {
        v.line = name + ": not measured";
        return v;
    }
    const double r = *value / *base;
    v.met = r <= g.most;
    v.line = name + " = " + num(r) + (v.met ? " <= " : " > ") + num(g.most) + " (" + num(*value) + " / " +
             num(*base) + ")";
    return v;
}

Verdict checkOne(const Goal& g, const Results& results) {
    Verdict v;
    const Measured* subject = find(results, g.subject);
    if (!subject) {
        v.line = g.subject + ": not measured";
        return v;
    }
    if (!g.counter.empty() && !g.floor.empty()) return checkCounterRatio(g, *subject, results);
    if (!g.counter.empty()) {
        const double* value = findCounter(*subject, g.counter);
        if (!value) {
            v.line = g.subject + " " + g.counter + ": not measured";
            return v;
        }
        v.met = *value <= g.most;
        v.line = g.subject + " " + g.counter + " = " + num(*value) + (v.met ? " <= " : " > ") + num(g.most);
        return v;
    }
    if (g.floor.empty()) {
        v.met = subject->ms <= g.most;
        v.line = g.subject + " = " + num(subject->ms) + " ms" + (v.met ? " <= " : " > ") + num(g.most) + " ms (" +
                 num(subject->ms / g.most) + " x its goal)";
        return v;
    }
    const Measured* floor = find(results, g.floor);
    if (!floor || !(floor->ms > 0)) {
        v.line = g.subject + " / " + g.floor + ": " + g.floor + " not measured";
        return v;
    }
    const double r = subject->ms / floor->ms;
    v.met = r <= g.most;
    v.line = g.subject + " / " + g.floor + " = " + num(r) + (v.met ? " <= " : " > ") + num(g.most) + " (" +
             num(subject->ms) + " ms / " + num(floor->ms) + " ms)";
    return v;
}

// The name with every character that a regular expression reads specially
// escaped.
std::string escaped(const std::string& name) {
    std::string out;
    for (const char c : name) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

Goal ratio(const std::string& subject, double factor, const std::string& floor) {
    return Goal{subject, floor, std::string(), factor};
}

Goal limitMs(const std::string& subject, double ms) { return Goal{subject, std::string(), std::string(), ms}; }

Goal counterAtMost(const std::string& subject, const std::string& counter, double most) {
    return Goal{subject, std::string(), counter, most};
}

Goal counterRatio(const std::string& subject, const std::string& counter, double factor, const std::string& floor) {
    return Goal{subject, floor, counter, factor};
}

int add(const Goal& goal) {
    registry().push_back(goal);
    return int(registry().size());
}

const std::vector<Goal>& all() { return registry(); }

std::vector<Verdict> check(const std::vector<Goal>& goals, const Results& results) {
    std::vector<Verdict> verdicts;
    for (const Goal& g : goals) verdicts.push_back(checkOne(g, results));
    return verdicts;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

std::string filterFor(const std::vector<Goal>& goals) {
    std::vector<std::string> names;
    for (const Goal& g : goals)
        for (const std::string* n : {&g.subject, &g.floor})
            if (!n->empty() && std::find(names.begin(), names.end(), *n) == names.end()) names.push_back(*n);
    std::string pattern = "^(";
    for (std::size_t i = 0; i < names.size(); ++i) pattern += (i ? "|" : "") + escaped(names[i]);
    return pattern + ")(/|$)";
}

}  // namespace benchgoals
