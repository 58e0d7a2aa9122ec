// The component and patch labels of the faces (see mesh_scope_labels.h).

#include "mesh/mesh_scope_labels.h"

#include <utility>

#include "mesh/mesh.h"

namespace qel {

namespace {

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

void MeshScopeLabels::find(const Mesh& m) {
    const int nF = m.faceCount(), nV = m.vertexCount();
    vertexCount_ = nV;
    faceCount_ = nF;
    found_ = true;
    usable_ = true;
    // What the walks read of the faces, flat: the links that lead to an
    // active face (else -1) and the sharp marks; and the faces per vertex.
    std::vector<std::int32_t> links(3 * std::size_t(nF), -1);
    std::vector<std::uint8_t> flags(std::size_t(nF), 0);
    holding_.assign(std::size_t(nV), 0);
    std::int32_t f = 0;
    m.faces.forRange(0, m.faces.size(), [&](const MeshFace& F) {
        const std::size_t i = std::size_t(f++);
        flags[i] = F.flags;
        if (!F.isActive()) return;
        for (int k = 0; k < 3; ++k) {
            links[3 * i + std::size_t(k)] = F.f[k];
            const int v = F.v[k];
            if (m.validVertex(v) && holding_[std::size_t(v)] < 255) ++holding_[std::size_t(v)];
        }
    });
    auto active = [&](std::int32_t g) { return g >= 0 && g < nF && (flags[std::size_t(g)] & MeshFace::ActiveBit); };
    component_.resize(std::size_t(nF));
    patch_.resize(std::size_t(nF));
    for (std::int32_t i = 0; i < nF; ++i) component_[std::size_t(i)] = patch_[std::size_t(i)] = i;
    for (std::int32_t i = 0; i < nF && usable_; ++i) {
        if (!active(i)) continue;
        for (int k = 0; k < 3; ++k) {
            const std::int32_t g = links[3 * std::size_t(i) + std::size_t(k)];
            if (!active(g)) continue;
            // A walk crosses the edge both ways, or the labels cannot stand
            // for what it reaches.
            const std::int32_t* back = &links[3 * std::size_t(g)];
            const int e = back[0] == i ? 0 : back[1] == i ? 1 : back[2] == i ? 2 : -1;
            const bool sharp = flags[std::size_t(i)] & MeshFace::SHARP[k];
            if (e < 0 || sharp != bool(flags[std::size_t(g)] & MeshFace::SHARP[e])) {
                usable_ = false;
                break;
            }
            if (g > i) continue;  // joined from g's side
            join(component_, i, g);
            if (!sharp) join(patch_, i, g);
        }
    }
    if (!usable_) {
        component_ = {};
        patch_ = {};
        return;
    }
    for (std::int32_t i = 0; i < nF; ++i) {
        const bool on = active(i);
        component_[std::size_t(i)] = on ? root(component_, i) : -1;
        patch_[std::size_t(i)] = on ? root(patch_, i) : -1;
    }
}

}  // namespace qel
