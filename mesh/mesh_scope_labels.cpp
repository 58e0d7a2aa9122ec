// The component and patch labels of the faces (see mesh_scope_labels.h).

#include "mesh/mesh_scope_labels.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

#include "mesh/mesh.h"

namespace qel {

namespace {

// Faces per run of a step, between looks at the clock: on a mesh whose
// faces lie scattered a run of the join waits on memory for every link, so
// that runs much longer than this overrun the step's budget several times.
constexpr int RunLength = 4096;

// The root of x's set, halving the path on the way.
std::int32_t root(std::vector<std::int32_t>& parent, std::int32_t x) {
    while (parent[std::size_t(x)] != x) {
        const std::int32_t up = parent[std::size_t(parent[std::size_t(x)])];
        parent[std::size_t(x)] = up;
        x = up;
    }
    return x;
}

// Joins the sets of a and b under the lower root.
void join(std::vector<std::int32_t>& parent, std::int32_t a, std::int32_t b) {
    a = root(parent, a);
    b = root(parent, b);
    if (a == b) return;
    if (a < b) std::swap(a, b);
    parent[std::size_t(a)] = b;
}

}  // namespace

bool MeshScopeLabels::found(const Mesh& m) const {
    return found_ && vertexCount_ == m.vertexCount() && faceCount_ == m.faceCount();
}

bool MeshScopeLabels::current(const Mesh& m) const { return found(m) && usable_; }

void MeshScopeLabels::drop() {
    found_ = false;
    phase_ = Idle;
    links_ = {};
    flags_ = {};
}

void MeshScopeLabels::find(const Mesh& m) {
    while (!step(m, std::numeric_limits<double>::infinity())) {
    }
}

bool MeshScopeLabels::active(std::int32_t g) const {
    return g >= 0 && g < faceCount_ && (flags_[std::size_t(g)] & MeshFace::ActiveBit);
}

bool MeshScopeLabels::finish(bool usable) {
    usable_ = usable;
    if (!usable) {
        component_ = {};
        patch_ = {};
    }
    phase_ = Idle;
    found_ = true;
    links_ = {};
    flags_ = {};
    return true;
}

bool MeshScopeLabels::step(const Mesh& m, double budgetMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point t0 = Clock::now();
    if (found(m)) return true;
    const int nF = m.faceCount();
    if (phase_ == Idle || faceCount_ != nF || vertexCount_ != m.vertexCount()) {
        found_ = false;
        vertexCount_ = m.vertexCount();
        faceCount_ = nF;
        usable_ = true;
        phase_ = Copy;
        next_ = 0;
        // The per-face lists grow run by run as the copy fills them: their
        // memory is first touched a run at a time, not all in the first
        // step (tens of megabytes on a million faces).
        for (auto* list : {&links_, &component_, &patch_}) list->clear();
        flags_.clear();
        links_.reserve(3 * std::size_t(nF));
        flags_.reserve(std::size_t(nF));
        component_.reserve(std::size_t(nF));
        patch_.reserve(std::size_t(nF));
        holding_.assign(std::size_t(vertexCount_), 0);
    }
    for (;;) {
        if (next_ >= nF) {
            next_ = 0;
            if (phase_ == Copy) {
                phase_ = Join;
            } else if (phase_ == Join) {
                phase_ = Flatten;
            } else {
                return finish(true);
            }
        } else {
            const int to = std::min(nF, next_ + RunLength);
            if (phase_ == Copy) {
                copyRun(m, next_, to);
            } else if (phase_ == Join) {
                // Links the walks cross one way only: no labels.
                if (!joinRun(next_, to)) return finish(false);
            } else {
                flattenRun(next_, to);
            }
            next_ = to;
        }
        if (std::chrono::duration<double, std::milli>(Clock::now() - t0).count() >= budgetMs) return false;
    }
}

void MeshScopeLabels::copyRun(const Mesh& m, int from, int to) {
    links_.resize(3 * std::size_t(to), -1);
    flags_.resize(std::size_t(to));
    component_.resize(std::size_t(to));
    patch_.resize(std::size_t(to));
    std::int32_t f = from;
    m.faces.forRange(std::size_t(from), std::size_t(to), [&](const MeshFace& F) {
        const std::size_t i = std::size_t(f);
        component_[i] = patch_[i] = f++;
        flags_[i] = F.flags;
        if (!F.isActive()) return;
        for (int k = 0; k < 3; ++k) {
            links_[3 * i + std::size_t(k)] = F.f[k];
            const int v = F.v[k];
            if (m.validVertex(v) && holding_[std::size_t(v)] < 255) ++holding_[std::size_t(v)];
        }
    });
}

bool MeshScopeLabels::joinRun(int from, int to) {
    // The faces across the edges lie anywhere in a scattered mesh: their
    // links and sets are asked for some faces ahead.
    constexpr std::int32_t Ahead = 8;
    const std::int32_t n = std::int32_t(flags_.size());
    for (std::int32_t i = from; i < to; ++i) {
        if (i + Ahead < n)
            for (int k = 0; k < 3; ++k) {
                const std::int32_t g = links_[3 * std::size_t(i + Ahead) + std::size_t(k)];
                if (g < 0 || g >= n) continue;
                __builtin_prefetch(&links_[3 * std::size_t(g)]);
                __builtin_prefetch(&flags_[std::size_t(g)]);
                __builtin_prefetch(&component_[std::size_t(g)]);
                __builtin_prefetch(&patch_[std::size_t(g)]);
            }
        if (!active(i)) continue;
        for (int k = 0; k < 3; ++k) {
            const std::int32_t g = links_[3 * std::size_t(i) + std::size_t(k)];
            if (!active(g)) continue;
            // A walk crosses the edge both ways, or the labels cannot stand
            // for what it reaches.
            const std::int32_t* back = &links_[3 * std::size_t(g)];
            const int e = back[0] == i ? 0 : back[1] == i ? 1 : back[2] == i ? 2 : -1;
            const bool sharp = flags_[std::size_t(i)] & MeshFace::SHARP[k];
            if (e < 0 || sharp != bool(flags_[std::size_t(g)] & MeshFace::SHARP[e])) return false;
            if (g > i) continue;  // joined from g's side
            join(component_, i, g);
            if (!sharp) join(patch_, i, g);
        }
    }
    return true;
}

void MeshScopeLabels::flattenRun(int from, int to) {
    // Roots are the lowest face of their set: a face's root is found (and
    // written) before any face above it asks for it.
    for (std::int32_t i = from; i < to; ++i) {
        const bool on = active(i);
        component_[std::size_t(i)] = on ? root(component_, i) : -1;
        patch_[std::size_t(i)] = on ? root(patch_, i) : -1;
    }
}

}  // namespace qel
