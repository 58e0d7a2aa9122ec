// The brush selections of qel::Mesh: the vertices one stamp reaches, over
// the whole mesh (selectV), over the connected component (selectVG) or the
// sharp-bounded patch (selectVG_) of the picked face; the selection of every
// vertex (and face); the one-ring margin added before normals are refreshed; and the
// pass that adds the displacements to the positions.
//
// A vertex is selected when its selection index names its own entry on
// selectedVertices; the selected bit is set with it (selectAllV alone lists
// vertices without the bit). Squared distances and t are formed in double
// and stored as float.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <vector>

#include "mesh/fan_prefetch.h"
#include "mesh/mesh.h"
#include "mesh/mesh_stroke.h"
#include "mesh/normal_math.h"
#include "mesh/selection_walks.h"
#include "mesh/vertex_fans.h"

namespace qel {

using namespace selection;

// ---------------------------------------------------------------------------
// Selections

void Mesh::selectV(const vec3& centre, float radius, bool clear) {
    if (clear) deselectAll();
    influences.clear();
    if (stroke_ && stroke_->stamping() && stroke_->selectV(*this, centre, radius)) return;
    const float r2 = radius * radius;
    forBoxCandidates(vertices, BoxTest(centre, radius), [&](int v, const MeshVertex& r) {
        const vec3 d = r.position - centre;
        const double q = squared(d);
        if (!(q < double(r2))) return;
        influences.push_back({v, relativeDistance(q, r2), d});
        if (!listed(*this, v)) appendSelectedVertex(v);
    });
}

void Mesh::selectVG(const vec3& centre, float radius, bool clear, int face) {
    selectVGWalk(centre, radius, clear, face, nullptr);
}

void Mesh::selectVG_(const vec3& centre, float radius, bool clear, int face) {
    selectVG_Walk(centre, radius, clear, face, nullptr);
}

void Mesh::selectVGWalk(const vec3& centre, float radius, bool clear, int face, std::vector<int>* walked) {
    const int seed = seedFace(*this, centre, face);
    if (seed < 0) return;
    if (clear) deselectAll();
    influences.clear();
    // record[s]: this walk's influence record of the vertex with selection
    // index s, -1 while it has none.
    std::vector<int> record(selectedVertices.size(), -1);
    const float r2 = radius * radius;
    walkFaces(*this, seed, true, [&](int f) {
        if (walked) walked->push_back(f);
        listFace(*this, f);
        cornersInBall(*this, f, centre, radius, [&](int v, const vec3& d, double q) {
            const float t = relativeDistance(q, r2);
            if (!listed(*this, v)) {
                appendSelectedVertex(v);
                record.push_back(-1);
            }
            int& k = record[std::size_t(vertices[v].selection)];
            if (k < 0) {
                k = int(influences.size());
                influences.push_back({v, t, d});
            } else if (t < influences[std::size_t(k)].t) {
                influences[std::size_t(k)].t = t;
            }
        });
    });
}

void Mesh::selectVG_Walk(const vec3& centre, float radius, bool clear, int face, std::vector<int>* walked) {
    const int seed = seedFace(*this, centre, face);
    if (seed < 0) return;
    if (clear) deselectAll();
    sectorInfluences.clear();
    sectorHeads.assign(selectedVertices.size(), -1);
    const float r2 = radius * radius;
    walkFaces(*this, seed, false, [&](int f) {
        if (walked) walked->push_back(f);
        listFace(*this, f);
        cornersInBall(*this, f, centre, radius, [&](int v, const vec3&, double q) {
            if (!listed(*this, v)) {
                appendSelectedVertex(v);
                sectorHeads.push_back(-1);
            }
            addSectorRecord(*this, v, findStartRegion(v, f), relativeDistance(q, r2));
        });
    });
}

void Mesh::selectAllV() {
    deselectAll();
    const int n = vertexCount();
    selectedVertices.resize(std::size_t(n));
    influences.resize(std::size_t(n));
    for (int i = 0; i < n; ++i) {
        selectedVertices[std::size_t(i)] = i;
        influences[std::size_t(i)] = {i, 0.0f, vec3(0, 0, 0)};
        vertices[i].selection = i;
    }
}

void Mesh::selectAll() {
    selectAllV();
    selectedFaces.resize(std::size_t(faceCount()));
    std::iota(selectedFaces.begin(), selectedFaces.end(), 0);
}

void Mesh::selectMarginal() {
    VertexFans fans;
    fans.gather(*this, selectedVertices.data(), selectedVertices.size());
    selectMarginal(fans);
}

void Mesh::selectMarginal(const VertexFans& selected) {
    if (!selected.lists(selectedVertices.data(), selectedVertices.size())) {
        selectMarginal();
        return;
    }
    // Each face round a moved vertex is listed with its other vertices as
    // it is found, which lists them in the order of a second pass over the
    // new faces.
    const std::size_t moved = selectedVertices.size();
    if (moved == 0) return;
    // The fans lie one after the other: the face records some entries
    // ahead are asked for while the current ones are read.
    const FanFace* ahead = selected.begin(0);
    const FanFace* const last = selected.end(moved - 1);
    auto fetch = [&]() {
        if (ahead != last) prefetchFace(faces[(ahead++)->face]);
    };
    for (int i = 0; i < 16; ++i) fetch();
    for (std::size_t i = 0; i < moved; ++i) {
        if (!activeVertex(selected.vertex(i))) {
            for (const FanFace* x = selected.begin(i); x != selected.end(i); ++x) fetch();
            continue;
        }
        for (const FanFace* x = selected.begin(i); x != selected.end(i); ++x) {
            fetch();
            MeshFace& F = faces[x->face];
            if (F.flags & (MeshFace::SelectedBit | MeshFace::VisitedBit)) continue;
            F.flags = std::uint8_t(F.flags | MeshFace::SelectedBit);
            selectedFaces.push_back(x->face);
            for (const int w : F.v)
                if (validVertex(w) && !listed(*this, w)) appendSelectedVertex(w);
        }
    }
}

void Mesh::gatherFans(VertexFans& fans, const std::int32_t* list, std::size_t n) {
    if (stroke_)
        stroke_->gatherFans(*this, fans, list, n);
    else
        fans.gather(*this, list, n);
}

void Mesh::refreshMarginAndDeselect() {
    VertexFans fans;
    gatherFans(fans, selectedVertices.data(), selectedVertices.size());
    refreshMarginAndDeselect(fans);
}

void Mesh::refreshMarginAndDeselect(const VertexFans& selected) {
    if (!selected.lists(selectedVertices.data(), selectedVertices.size())) {
        refreshMarginAndDeselect();
        return;
    }
    // A bit per face selected or listed in the margin, clear between calls.
    static thread_local std::vector<std::uint64_t> seen;
    if (seen.size() * 64 < faces.size()) seen.resize((faces.size() + 63) / 64, 0);
    for (const int f : selectedFaces)
        if (validFace(f)) seen[std::size_t(f) >> 6] |= std::uint64_t(1) << (f & 63);
    // The margin as selectMarginal lists it: each face round a moved vertex
    // that was not selected as it is found, with its other vertices.
    std::vector<int> margin;
    const std::size_t moved = selectedVertices.size();
    // The fans lie one after the other: the corners of the faces some
    // entries ahead are asked for while the current ones are read.
    const FanFace* ahead = moved ? selected.begin(0) : nullptr;
    const FanFace* const last = moved ? selected.end(moved - 1) : nullptr;
    for (int i = 0; i < 16 && ahead != last; ++i) __builtin_prefetch(faces[(ahead++)->face].v);
    for (std::size_t i = 0; i < moved; ++i) {
        const bool active = activeVertex(selected.vertex(i));
        for (const FanFace* x = selected.begin(i); x != selected.end(i); ++x) {
            if (ahead != last) __builtin_prefetch(faces[(ahead++)->face].v);
            if (!active) continue;
            std::uint64_t& word = seen[std::size_t(x->face) >> 6];
            const std::uint64_t bit = std::uint64_t(1) << (x->face & 63);
            if (word & bit) continue;
            word |= bit;
            margin.push_back(x->face);
            for (const int w : faces[x->face].v)
                if (validVertex(w) && !listed(*this, w)) appendSelectedVertex(w);
        }
    }
    // The positions have moved: the margin faces' normals are made again,
    // in a pass of their own, so that their square roots and divisions
    // overlap instead of waiting behind the walk's branches.
    for (std::size_t i = 0; i < margin.size(); ++i) {
        if (i + 8 < margin.size()) __builtin_prefetch(&faces[margin[i + 8]].normal, 1);
        MeshFace& F = faces[margin[i]];
        if (validVertex(F.v[0]) && validVertex(F.v[1]) && validVertex(F.v[2]))
            F.normal = triangleNormal(vertices[F.v[0]].position, vertices[F.v[1]].position,
                                      vertices[F.v[2]].position);
    }
    for (const int f : margin) seen[std::size_t(f) >> 6] = 0;
    for (const int f : selectedFaces)
        if (validFace(f)) seen[std::size_t(f) >> 6] = 0;
    // The selected faces' normals and the corner normals round every listed
    // vertex.
    calculateSelectedNormals(selected);
    deselectAll();
}

void Mesh::applyDisplacement() {
    const std::size_t n = std::min(selectedVertices.size(), displacements.size());
    // Marks the faces round the moved vertices for the position refill.
    bufferState.displace(selectedVertices.data(), displacements.data(), n);
    if (stroke_) stroke_->moved(*this, selectedVertices.data(), n);
}

}  // namespace qel
