// The component and patch labels of the faces (see mesh_scope_labels.h).

#include "mesh/mesh_scope_labels.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "mesh/mesh.h"

namespace qel {

namespace {

// Faces per run of a step, between looks at the clock (or, on the worker,
// at the cancel flag): on a mesh whose faces lie scattered a run of the
// join waits on memory for every link.
constexpr int RunLength = 4096;

// The root of x's set in forest w of the pairs, halving the path on the way.
template <class Sets>
std::int32_t root(Sets* s, int w, std::int32_t x) {
    while (s[x].of[w] != x) {
        const std::int32_t up = s[s[x].of[w]].of[w];
        s[x].of[w] = up;
        x = up;
    }
    return x;
}

// Joins the sets of a and b in forest w under the lower root.
template <class Sets>
void join(Sets* s, int w, std::int32_t a, std::int32_t b) {
    a = root(s, w, a);
    b = root(s, w, b);
    if (a == b) return;
    if (a < b) std::swap(a, b);
    s[a].of[w] = b;
}

}  // namespace

bool MeshScopeLabels::found(const Mesh& m) const {
    return found_ && vertexCount_ == m.vertexCount() && faceCount_ == m.faceCount();
}

// Labels found unusable leave no sets.
bool MeshScopeLabels::current(const Mesh& m) const { return found(m) && sets_ != nullptr; }

void MeshScopeLabels::drop() {
    job_.cancel();
    found_ = false;
    phase_ = Idle;
    search_.reset();
}

void MeshScopeLabels::find(const Mesh& m) {
    if (found(m)) return;
    beginUnlessUnderWay(m);
    // The rest of the copy, or the search taken back from the worker (joined
    // within one of its runs), then made here unless the worker finished it.
    if (phase_ == Copying) {
        copyRun(m, next_, faceCount_);
        next_ = faceCount_;
    } else {
        job_.cancel();
    }
    if (search_->faces) {
        const std::atomic<bool> never(false);
        search_->run(never);
    }
    finish();
}

void MeshScopeLabels::begin(const Mesh& m) {
    drop();
    vertexCount_ = m.vertexCount();
    faceCount_ = m.faceCount();
    phase_ = Copying;
    next_ = 0;
    search_ = std::make_unique<Search>();
    search_->faceCount = faceCount_;
    // Left unset: their memory is first touched by the copy, a run at a
    // time, not all in the first step (tens of megabytes on a million
    // faces), and the sets are set up by the worker.
    const std::size_t nF = std::size_t(faceCount_);
    search_->faces.reset(new FaceCopy[nF]);
    search_->sets.reset(new Sets[nF]);
    holding_.assign(std::size_t(vertexCount_), 0);
}

void MeshScopeLabels::beginUnlessUnderWay(const Mesh& m) {
    if (phase_ == Idle || faceCount_ != m.faceCount() || vertexCount_ != m.vertexCount()) begin(m);
}

bool MeshScopeLabels::Search::active(std::int32_t g) const {
    return g >= 0 && g < faceCount && (faces[std::size_t(g)].flags & MeshFace::ActiveBit);
}

bool MeshScopeLabels::finish() {
    sets_ = std::move(search_->sets);
    search_.reset();
    phase_ = Idle;
    found_ = true;
    return true;
}

bool MeshScopeLabels::step(const Mesh& m, double budgetMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point t0 = Clock::now();
    if (found(m)) return true;
    const int nF = m.faceCount();
    beginUnlessUnderWay(m);
    if (phase_ == Copying) {
        while (next_ < nF) {
            const int to = std::min(nF, next_ + RunLength);
            copyRun(m, next_, to);
            next_ = to;
            if (std::chrono::duration<double, std::milli>(Clock::now() - t0).count() >= budgetMs) break;
        }
        if (next_ < nF) return false;
        phase_ = Joining;
        Search* search = search_.get();
        job_.start([search](const std::atomic<bool>& cancelled) { search->run(cancelled); });
        return false;
    }
    return job_.done() && finish();
}

void MeshScopeLabels::copyRun(const Mesh& m, int from, int to) {
    Search& s = *search_;
    std::size_t i = std::size_t(from);
    m.faces.forRange(std::size_t(from), std::size_t(to), [&](const MeshFace& F) {
        const std::size_t f = i++;
        FaceCopy& c = s.faces[f];
        c.flags = F.flags;
        for (int k = 0; k < 3; ++k) c.f[k] = F.isActive() ? F.f[k] : -1;
        if (!F.isActive()) return;
        for (int k = 0; k < 3; ++k) {
            const int v = F.v[k];
            if (m.validVertex(v) && holding_[std::size_t(v)] < 255) ++holding_[std::size_t(v)];
        }
    });
}

void MeshScopeLabels::Search::run(const std::atomic<bool>& cancelled) {
    // Every face a set of its own.
    for (std::int32_t f = 0; f < faceCount; ++f) sets[std::size_t(f)] = Sets{{f, f}};
    for (int pass = 0; pass < 2 && usable; ++pass)
        for (int from = 0; from < faceCount; from += RunLength) {
            if (cancelled.load(std::memory_order_relaxed)) return;
            const int to = std::min(faceCount, from + RunLength);
            if (pass == 1) {
                flattenRun(from, to);
            } else if (!joinRun(from, to)) {
                // Links the walks cross one way only: no labels.
                usable = false;
                break;
            }
        }
    // The copy goes here, not in a frame.
    faces.reset();
    if (!usable) sets.reset();
}

bool MeshScopeLabels::Search::joinRun(int from, int to) {
    // The faces across the edges lie anywhere in a scattered mesh: their
    // links and sets are asked for some faces ahead.
    constexpr std::int32_t Ahead = 8;
    const std::int32_t n = faceCount;
    for (std::int32_t i = from; i < to; ++i) {
        if (i + Ahead < n)
            for (int k = 0; k < 3; ++k) {
                const std::int32_t g = faces[std::size_t(i + Ahead)].f[k];
                if (g < 0 || g >= n) continue;
                __builtin_prefetch(&faces[std::size_t(g)]);
                __builtin_prefetch(&sets[std::size_t(g)]);
            }
        if (!active(i)) continue;
        const FaceCopy& F = faces[std::size_t(i)];
        for (int k = 0; k < 3; ++k) {
            const std::int32_t g = F.f[k];
            if (!active(g)) continue;
            // A walk crosses the edge both ways, or the labels cannot stand
            // for what it reaches.
            const FaceCopy& G = faces[std::size_t(g)];
            const int e = G.f[0] == i ? 0 : G.f[1] == i ? 1 : G.f[2] == i ? 2 : -1;
            const bool sharp = F.flags & MeshFace::SHARP[k];
            if (e < 0 || sharp != bool(G.flags & MeshFace::SHARP[e])) return false;
            if (g > i) continue;  // joined from g's side
            join(sets.get(), 0, i, g);
            if (!sharp) join(sets.get(), 1, i, g);
        }
    }
    return true;
}

void MeshScopeLabels::Search::flattenRun(int from, int to) {
    // Roots are the lowest face of their set: a face's root is found (and
    // written) before any face above it asks for it.
    for (std::int32_t i = from; i < to; ++i) {
        const bool on = active(i);
        Sets& own = sets[std::size_t(i)];
        own.of[0] = on ? root(sets.get(), 0, i) : -1;
        own.of[1] = on ? root(sets.get(), 1, i) : -1;
    }
}

}  // namespace qel
