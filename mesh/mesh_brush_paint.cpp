// The paint brush of qel::Mesh and the patch eraser: blending the corner
// materials round each vertex inside the brush towards the brush material,
// filling a component or a patch with it, and erasing a patch.
//
// A vertex on a crease holds one material per sharp-bounded sector; each
// sector is blended from its own material, so a stroke across a crease
// keeps the two sides apart.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "mesh/fan_prefetch.h"
#include "mesh/mesh.h"
#include "mesh/vertex_fans.h"

namespace qel {

namespace {

// The paint weight s (1 - t)^2; not the deformers' falloff.
double paintWeight(float t, float s) {
    const double tt = t;
    return double(s) * ((tt - 2.0) * tt + 1.0);
}

// (old - P) a + P, the difference taken in integers, truncated toward zero
// and clamped into [lo, hi].
long blendChannel(long old, long target, float a, long lo, long hi) {
    const float v = float(old - target) * a + float(target);
    const double clamped = std::clamp(double(v), double(lo), double(hi));
    return long(clamped);
}

// The masked channels of `old` blended towards P with keep factor a.
pbr blend(const pbr& old, const pbr& P, unsigned char mask, float a) {
    pbr r = old;
    const auto channel = [&](std::uint16_t o, std::uint16_t t) {
        return std::uint16_t(blendChannel(o, t, a, 0, 65535));
    };
    for (int i = 0; i < 3; ++i) {
        if (mask & pbr::MaskColour) r.colour[i] = channel(old.colour[i], P.colour[i]);
        if (mask & pbr::MaskLight) r.light[i] = channel(old.light[i], P.light[i]);
    }
    if (mask & pbr::MaskOpacity) r.colour[3] = channel(old.colour[3], P.colour[3]);
    if (mask & pbr::MaskThickness) r.light[3] = channel(old.light[3], P.light[3]);
    if (mask & pbr::MaskRoughness)
        r.roughness = std::int16_t(blendChannel(old.roughness, P.roughness, a, pbr::SignedMin, pbr::SignedMax));
    if (mask & pbr::MaskMetalness)
        r.metalness = std::int16_t(blendChannel(old.metalness, P.metalness, a, pbr::SignedMin, pbr::SignedMax));
    return r;
}

// Blends the sector of v that starts at face g by weight w, from the
// material of v's corner in g; marks v for the paint refill when a channel
// changed.
void blendSector(Mesh& m, int v, int g, const pbr& P, unsigned char mask, double w) {
    if (!m.activeFace(g)) return;
    const int k = m.faces[g].corner(v);
    if (k < 0) return;
    const pbr mixed = blend(m.faces[g].material[k], P, mask, float(1.0 - w));
    m.bufferState.paintSector(v, g, mixed, mask);
}

// Sets the masked channels of every corner of the selected faces, then
// ends the selection.
void fillSelected(Mesh& m, const pbr& P, unsigned char mask) {
    for (const int f : m.selectedFaces) m.bufferState.paintFace(f, P, mask);
    m.deselectAll();
}

}  // namespace

void Mesh::_material(const pbr& material, unsigned char mask, float s) {
    if ((mask & pbr::MaskAll) == 0) return;
    // The fans of the influenced vertices, gathered once (while a stroke
    // runs, copied from those its earlier steps gathered): a vertex on no
    // sharp edge is one sector, the fan from its stored face, and is painted
    // from the flat list instead of walked twice.
    const std::size_t n = influences.size();
    std::vector<std::int32_t> listed;
    const std::int32_t* list = selectedVertices.data();
    bool same = selectedVertices.size() == n;
    for (std::size_t i = 0; same && i < n; ++i) same = selectedVertices[i] == influences[i].vertex;
    if (!same) {
        listed.resize(n);
        for (std::size_t i = 0; i < n; ++i) listed[i] = influences[i].vertex;
        list = listed.data();
    }
    VertexFans fans;
    gatherFans(fans, list, n);
    std::vector<int> sectors;  // reused for every vertex on a sharp edge
    // The fan faces some vertices ahead are asked for while the current
    // ones are painted.
    constexpr std::size_t Ahead = 8;
    for (std::size_t i = 0; i < n; ++i) {
        if (i + Ahead < n)
            for (const FanFace* x = fans.begin(i + Ahead); x != fans.end(i + Ahead); ++x)
                __builtin_prefetch(&faces[x->face].material[x->k], 1);
        const MeshInfluence& r = influences[i];
        const double w = paintWeight(r.t, s);
        const FanFace* first = fans.begin(i);
        const FanFace* const end = fans.end(i);
        if (first == end) continue;  // no active vertex with a fan: nothing to paint
        if (vertices[r.vertex].isSharp()) {
            findRegions(r.vertex, sectors);
            for (const int g : sectors) blendSector(*this, r.vertex, g, material, mask, w);
            continue;
        }
        // The sector of materialRegion from the stored face: forward until
        // a sharp forward edge (the face before it included), an open one
        // or the fan's close.
        const FanFace* last = first;
        while (last != end && !(last++)->forwardSharp()) {
        }
        const pbr mixed = blend(faces[first->face].material[first->k], material, mask, float(1.0 - w));
        bufferState.paintFan(fans, i, std::size_t(last - first), mixed, mask);
    }
}

void Mesh::material(const vec3& centre, float radius, const pbr& P, unsigned char mask, float s) {
    selectV(centre, radius, true);
    _material(P, mask, s);
    deselectAll();
}

void Mesh::materialG(const vec3& centre, float radius, int face, const pbr& P, unsigned char mask, float s) {
    // A face that cannot be picked leaves the selection as it was: start
    // from none so that nothing stale is painted.
    deselectAll();
    selectInScope(centre, radius, face, false);
    _material(P, mask, s);
    deselectAll();
}

void Mesh::materialG_(const vec3& centre, float radius, int face, const pbr& material, unsigned char mask, float s) {
    // A face that cannot be picked leaves the selection as it was: start
    // from none so that nothing stale is painted.
    deselectAll();
    selectInScope(centre, radius, face, true);
    if (mask & pbr::MaskAll)
        writeFacesAhead(
            *this, sectorInfluences.size(), [&](std::size_t i) { return sectorInfluences[i].sector; },
            [&](std::size_t i) {
                const MeshSectorInfluence& r = sectorInfluences[i];
                blendSector(*this, r.vertex, r.sector, material, mask, paintWeight(r.t, s));
            });
    deselectAll();
}

void Mesh::materialF(const vec3& point, int face, const pbr& material, unsigned char mask) {
    deselectAll();  // a refused pick must not paint an older selection
    selectF(point, true, face);
    fillSelected(*this, material, mask);
}

void Mesh::materialF_(const vec3& point, int face, const pbr& material, unsigned char mask) {
    deselectAll();
    selectF_(point, true, face);
    fillSelected(*this, material, mask);
}

void Mesh::eraseF_(const vec3& point, int face) {
    deselectAll();  // a refused pick must not erase an older selection
    selectF_(point, true, face);
    const std::vector<int> patch = selectedFaces;
    deselectAll();
    if (patch.empty()) return;
    for (const int f : patch) faceErase(f);
    removeInactive(false);
    // The fans round the hole lost faces, and the compaction moved faces
    // into the holes of the lists (the whole-mesh pass sums a vertex's
    // faces in list order): the corner normals are formed again.
    calculateNormals(1);
}

}  // namespace qel
