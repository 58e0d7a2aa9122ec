// What a sculpt stroke keeps on a mesh between its steps: the vertices it
// moved, for the normals at its end, and the patch or component of its
// scoped stamps (see mesh_stroke.h).

#include "mesh/mesh_stroke.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "mesh/mesh.h"

namespace qel {

namespace {

// Past this share of the vertices the end takes the whole-mesh pass.
constexpr int OverflowShare = 8;

std::size_t words(int bits) { return (std::size_t(bits) + 63) / 64; }

}  // namespace

// ---------------------------------------------------------------------------
// Kept scopes

void MeshStrokeScope::keep(const Mesh& m, const std::vector<int>& walked) {
    vertexCount = m.vertexCount();
    faceCount = m.faceCount();
    faces.assign(words(faceCount), 0);
    holding.assign(std::size_t(vertexCount), 0);
    for (const int f : walked) {
        faces[std::size_t(f) >> 6] |= std::uint64_t(1) << (f & 63);
        for (const int v : m.faces[f].v)
            if (m.validVertex(v) && holding[std::size_t(v)] < 255) ++holding[std::size_t(v)];
    }
    kept = true;
}

bool MeshStrokeScope::holds(const Mesh& m, int f) const {
    return kept && vertexCount == m.vertexCount() && faceCount == m.faceCount() && m.validFace(f) && hasFace(f);
}

// ---------------------------------------------------------------------------
// The vertex grid

int MeshStrokeGrid::index(int a, double x) const {
    const double i = std::floor((x - origin_[a]) * perCell_);
    return int(std::clamp(i, -1073741824.0, 1073741824.0));
}

void MeshStrokeGrid::build(const Mesh& m, float radius) {
    vertexCount_ = m.vertexCount();
    radius_ = radius;
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    m.vertices.forRange(0, m.vertices.size(), [&](const MeshVertex& r) {
        const double p[3] = {r.position.x, r.position.y, r.position.z};
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2])) return;
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], p[a]);
            hi[a] = std::max(hi[a], p[a]);
        }
    });
    if (!(lo[0] <= hi[0])) lo[0] = lo[1] = lo[2] = hi[0] = hi[1] = hi[2] = 0;
    const double extent = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
    cell_ = std::max(0.5 * double(radius), extent * 1e-6);
    if (!(cell_ > 0) || !std::isfinite(cell_)) cell_ = 1;
    const double limit = std::max(65536.0, 2.0 * vertexCount_);
    for (;;) {
        double cells = 1;
        for (int a = 0; a < 3; ++a) {
            origin_[a] = lo[a];
            n_[a] = int(std::min((hi[a] - lo[a]) / cell_, 1e9)) + 1;
            cells *= n_[a];
        }
        if (cells <= limit) break;
        cell_ *= std::max(1.01, std::cbrt(cells / limit));
    }
    perCell_ = 1.0 / cell_;
    const std::size_t cells = std::size_t(n_[0]) * std::size_t(n_[1]) * std::size_t(n_[2]);
    held_.assign(std::size_t(vertexCount_), Held());
    start_.assign(cells + 1, 0);
    int v = 0;
    m.vertices.forRange(0, m.vertices.size(), [&](const MeshVertex& r) {
        const int i = v++;
        held_[std::size_t(i)].position = r.position;
        const double p[3] = {r.position.x, r.position.y, r.position.z};
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2])) return;
        const std::size_t c =
            (std::size_t(index(2, p[2])) * std::size_t(n_[1]) + std::size_t(index(1, p[1]))) * std::size_t(n_[0]) +
            std::size_t(index(0, p[0]));
        held_[std::size_t(i)].cell = std::int32_t(c);
        ++start_[c + 1];
    });
    for (std::size_t c = 0; c < cells; ++c) start_[c + 1] += start_[c];
    order_.resize(start_[cells]);
    at_.resize(start_[cells]);
    std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
    for (int i = 0; i < vertexCount_; ++i) {
        Held& h = held_[std::size_t(i)];
        const std::int32_t c = h.cell;
        if (c < 0) continue;
        const std::uint32_t slot = fill[std::size_t(c)]++;
        order_[slot] = i;
        at_[slot] = h.position;
        h.slot = slot;
    }
    reach_ = 0;
    built_ = true;
}

bool MeshStrokeGrid::near(const vec3& centre, float radius, bool closed, std::vector<std::int32_t>& out) const {
    out.clear();
    const double c[3] = {centre.x, centre.y, centre.z};
    if (!std::isfinite(c[0]) || !std::isfinite(c[1]) || !std::isfinite(c[2]) || !std::isfinite(radius)) return false;
    int from[3], to[3];
    for (int a = 0; a < 3; ++a) {
        // A box coordinate maps to a cell no lower (higher) than the
        // vertex's own at most reach_ cells away.
        from[a] = std::max(index(a, c[a] - std::fabs(double(radius))) - reach_, 0);
        to[a] = std::min(index(a, c[a] + std::fabs(double(radius))) + reach_, n_[a] - 1);
        if (from[a] > to[a]) return true;
    }
    // The box test of the selections (single-precision offsets).
    auto inBox = [&](const vec3& p) {
        const float x = std::fabs(p.x - centre.x), y = std::fabs(p.y - centre.y), z = std::fabs(p.z - centre.z);
        return closed ? (x <= radius) & (y <= radius) & (z <= radius) : (x < radius) & (y < radius) & (z < radius);
    };
    for (int z = from[2]; z <= to[2]; ++z)
        for (int y = from[1]; y <= to[1]; ++y) {
            const std::size_t row = (std::size_t(z) * std::size_t(n_[1]) + std::size_t(y)) * std::size_t(n_[0]);
            const std::uint32_t end = start_[row + std::size_t(to[0]) + 1];
            for (std::uint32_t i = start_[row + std::size_t(from[0])]; i < end; ++i)
                if (inBox(at_[i])) out.push_back(order_[i]);
        }
    return true;
}

void MeshStrokeGrid::moved(int v, const vec3& p) {
    if (!built_) return;
    Held* h = v >= 0 && v < vertexCount_ ? &held_[std::size_t(v)] : nullptr;
    const std::int32_t c = h ? h->cell : -1;
    if (c < 0 || !std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
        built_ = false;
        return;
    }
    at_[h->slot] = p;
    h->position = p;
    const int own[3] = {int(c % n_[0]), int((c / n_[0]) % n_[1]), int(c / (std::int64_t(n_[0]) * n_[1]))};
    const double q[3] = {p.x, p.y, p.z};
    for (int a = 0; a < 3; ++a) reach_ = std::max(reach_, std::abs(index(a, q[a]) - own[a]));
    if (reach_ > 2) built_ = false;
}

void MeshStrokeGrid::follow(const Mesh& m) {
    if (!built_) return;
    if (m.vertexCount() != vertexCount_) {
        built_ = false;
        return;
    }
    // Compared bit for bit: a position that is not a number equals itself.
    int v = 0;
    m.vertices.forRange(0, m.vertices.size(), [&](const MeshVertex& r) {
        const int i = v++;
        if (built_ && std::memcmp(&r.position, &held_[std::size_t(i)].position, sizeof(vec3)) != 0)
            moved(i, r.position);
    });
}

// ---------------------------------------------------------------------------
// The stroke

void MeshStroke::begin(const Mesh& m, bool press) {
    open_ = true;
    press_ = press;
    steps_ = 0;
    overflow_ = false;
    vertexCount_ = m.vertexCount();
    faceCount_ = m.faceCount();
    noted_.assign(words(vertexCount_), 0);
    moved_.clear();
    patch_.kept = false;
    component_.kept = false;
    fans_.reset(-1, -1);
}

MeshStrokeGrid& MeshStroke::grid(const Mesh& m, float radius) {
    if (stale_) grid_.follow(m);
    if (!grid_.built(m.vertexCount(), radius)) grid_.build(m, radius);
    stale_ = false;
    return grid_;
}

void MeshStroke::run(bool running, bool recording, bool stamping) {
    if (running && open_ && steps_ < 2) ++steps_;
    running_ = running;
    recording_ = recording && open_;
    stamping_ = stamping && open_;
}

void MeshStroke::moved(const Mesh& m, const std::int32_t* list, std::size_t n) {
    if (grid_.built())
        for (std::size_t i = 0; i < n; ++i) {
            if (i + 8 < n) grid_.prefetch(list[i + 8]);
            const int v = list[i];
            if (m.validVertex(v)) grid_.moved(v, m.vertices[v].position);
        }
    if (!recording_ || overflow_) return;
    if (m.vertexCount() != vertexCount_) {
        overflow_ = true;
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const int v = list[i];
        if (!m.validVertex(v)) continue;
        std::uint64_t& word = noted_[std::size_t(v) >> 6];
        const std::uint64_t bit = std::uint64_t(1) << (v & 63);
        if (word & bit) continue;
        word |= bit;
        moved_.push_back(v);
    }
    if (moved_.size() > std::size_t(vertexCount_ / OverflowShare)) {
        overflow_ = true;
        moved_ = {};
        noted_ = {};
    }
}

void MeshStroke::end(Mesh& m, bool normals) {
    if (normals) {
        const bool kept = open_ && !overflow_ && m.vertexCount() == vertexCount_ && m.faceCount() == faceCount_;
        if (kept) {
            m.calculateNormalsRound(moved_);
        } else {
            m.calculateNormals(2);
            m.bufferState.refillWhole(Mesh::RefillNormals);
        }
    }
    // The grid stays for the next stroke; the rest is let go.
    open_ = recording_ = stamping_ = overflow_ = false;
    noted_ = {};
    moved_ = {};
    patch_ = {};
    component_ = {};
    fans_.reset(-1, -1);
}

// ---------------------------------------------------------------------------
// The mesh's stroke

MeshStroke& Mesh::stroke() {
    if (!stroke_) stroke_ = std::make_unique<MeshStroke>();
    return *stroke_;
}

namespace {

// The mesh whose stroke is open, if any: one hand strokes one mesh at a
// time, so a stroke beginning elsewhere ends it (its release never came).
// GUI thread only.
Mesh* openStrokeMesh = nullptr;

}  // namespace

void Mesh::strokeBegin(bool firstStep) {
    if (firstStep && openStrokeMesh == this && stroke_ && stroke_->pressOnly() && !stroke_->movedAny()) {
        stroke_->goOn();
        return;
    }
    // A press while a stroke is open, here or on another mesh: that
    // stroke's release never came, and what it moved still has its old
    // normals.
    if (openStrokeMesh && openStrokeMesh != this) openStrokeMesh->clearStroke();
    if (stroke_ && stroke_->open()) clearStroke();
    stroke().begin(*this, !firstStep);
    openStrokeMesh = this;
}

void Mesh::strokeEnd(bool normals) {
    if (openStrokeMesh == this) openStrokeMesh = nullptr;
    if (stroke_)
        stroke_->end(*this, normals);
    else if (normals)
        MeshStroke().end(*this, true);
}

void Mesh::forgetOpenStroke() {
    if (openStrokeMesh == this) openStrokeMesh = nullptr;
}

void Mesh::selectInScope(const vec3& centre, float radius, int face, bool patch) {
    const int seed = face < 0 ? findFirstFace(centre) : face;
    if (!activeFace(seed)) return;
    if (stroke_)
        stroke_->selectInScope(*this, centre, radius, seed, patch);
    else if (patch)
        selectVG_Walk(centre, radius, true, seed, nullptr);
    else
        selectVGWalk(centre, radius, true, seed, nullptr);
}

void Mesh::clearStroke() {
    forgetOpenStroke();
    if (!stroke_) return;
    const bool moved = stroke_->movedAny();
    stroke_->end(*this, moved);
    if (moved) refillMarked(RefillNormals);
}

bool Mesh::strokeGridKept() const { return stroke_ && stroke_->gridKept(); }

void Mesh::positionsEdited() {
    if (stroke_) stroke_->gridStale();
}

void Mesh::topologyEdited() {
    if (stroke_) stroke_->labelsStale();
}

}  // namespace qel
