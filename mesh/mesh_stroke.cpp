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

// The copies that the work behind the strokes reads (the positions for the
// grid, then the faces for the scope labels) take the time a sculpt call
// leaves of this share of its frame, in milliseconds, the grid's at most
// GridSliceMs: the stamps scan every vertex until the grid is in. A 4M-face
// mesh's take some twenty calls.
constexpr double CallShareMs = 6.0;
constexpr double GridSliceMs = 3.0;

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
// The stroke

void MeshStroke::begin(const Mesh& m, bool press) {
    open_ = true;
    press_ = press;
    steps_ = 0;
    overflow_ = reshaped_ = false;
    vertexCount_ = m.vertexCount();
    faceCount_ = m.faceCount();
    noted_.assign(words(vertexCount_), 0);
    moved_.clear();
    patch_.kept = false;
    component_.kept = false;
    fans_.reset(-1, -1);
}

const MeshStrokeGrid* MeshStroke::grid(const Mesh& m, float radius) {
    if (stale_) {
        grid_.follow(m);
        stale_ = false;
    }
    const int n = m.vertexCount();
    // A grid that does not fit the radius, or is crowded with moved
    // vertices, is built again aside, a step per sculpt call, and takes
    // over when done; the one held serves meanwhile (a crowded one whole, one
    // for another radius while the vertex count holds).
    if ((!grid_.built(n, radius) || grid_.crowded()) && !stepped_) {
        stepped_ = true;
        next_.step(m, radius, std::min(GridSliceMs, sliceLeftMs()), grid_);
    }
    return grid_.built(n) ? &grid_ : nullptr;
}

void MeshStroke::run(bool running, bool recording, bool stamping) {
    if (running) {
        stepped_ = labelsStepped_ = false;
        callStart_ = std::chrono::steady_clock::now();
    }
    if (running && open_ && steps_ < 3) ++steps_;
    running_ = running;
    recording_ = recording && open_;
    stamping_ = stamping && open_;
}

double MeshStroke::sliceLeftMs() const {
    return CallShareMs -
           std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - callStart_).count();
}

void MeshStroke::moved(const Mesh& m, const std::int32_t* list, std::size_t n) {
    if (grid_.built())
        for (std::size_t i = 0; i < n; ++i) {
            if (i + 8 < n) grid_.prefetch(list[i + 8]);
            const int v = list[i];
            if (m.validVertex(v)) grid_.moved(v, m.vertices[v].position);
        }
    // A grid being built notes them for when it takes over.
    if (next_.building())
        for (std::size_t i = 0; i < n; ++i) next_.moved(list[i]);
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
            // A stroke whose counts held moved vertices through its stamps
            // alone, which the grid followed: the whole pass leaves the grid
            // as it is, so that the next stroke need not compare every
            // position, nor a build under way start anew.
            if (open_ && m.vertexCount() == vertexCount_ && m.faceCount() == faceCount_)
                m.strokeNormalPass();
            else
                m.calculateNormals(2);
            m.bufferState.refillWhole(Mesh::RefillNormals);
        }
    }
    if (reshaped_) m.deselectAll();
    // The grid stays for the next stroke; the rest is let go.
    open_ = recording_ = stamping_ = overflow_ = reshaped_ = false;
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

bool Mesh::strokeLabelsKept() const { return stroke_ && stroke_->labelsKept(*this); }

void Mesh::positionsEdited() {
    if (stroke_) stroke_->gridStale();
}

void Mesh::topologyEdited() {
    if (stroke_) stroke_->labelsStale();
}

}  // namespace qel
