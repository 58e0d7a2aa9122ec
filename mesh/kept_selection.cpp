#include "mesh/kept_selection.h"

#include "mesh/mesh.h"

namespace qel {
namespace keptselection {

namespace {

constexpr std::uint8_t FaceSelectionBits = MeshFace::SelectedBit | MeshFace::VisitedBit;

int mapped(const std::vector<std::int32_t>& to, int i) {
    return i >= 0 && std::size_t(i) < to.size() ? to[std::size_t(i)] : -1;
}

void unselect(MeshVertex& r) {
    r.selection = -1;
    r.flags = std::uint8_t(r.flags & ~MeshVertex::SelectedBit);
}

}  // namespace

void dropStampLists(Mesh& m) {
    m.influences.clear();
    m.sectorInfluences.clear();
    m.sectorHeads.clear();
    m.displacements.clear();
}

void renumber(Mesh& m, const std::vector<std::int32_t>& vertexTo, const std::vector<std::int32_t>& faceTo) {
    std::vector<std::int32_t>& listedV = m.selectedVertices;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < listedV.size(); ++i) {
        const int v = mapped(vertexTo, listedV[i]);
        if (v < 0) continue;
        m.vertices[v].selection = std::int32_t(kept);
        listedV[kept++] = v;
    }
    listedV.resize(kept);
    std::vector<std::int32_t>& listedF = m.selectedFaces;
    kept = 0;
    for (std::size_t i = 0; i < listedF.size(); ++i) {
        const int f = mapped(faceTo, listedF[i]);
        if (f >= 0) listedF[kept++] = f;
    }
    listedF.resize(kept);
}

std::vector<std::uint8_t> faceBits(const Mesh& m) {
    std::vector<std::uint8_t> bits;
    bits.reserve(m.selectedFaces.size());
    for (const std::int32_t f : m.selectedFaces)
        bits.push_back(m.validFace(f) ? std::uint8_t(m.faces[f].flags & FaceSelectionBits) : 0);
    return bits;
}

void setFaceBits(Mesh& m, const std::vector<std::uint8_t>& bits) {
    for (std::size_t j = 0; j < m.selectedFaces.size() && j < bits.size(); ++j) {
        if (!m.validFace(m.selectedFaces[j])) continue;
        MeshFace& F = m.faces[m.selectedFaces[j]];
        F.flags = std::uint8_t(F.flags | bits[j]);
    }
}

bool settleAfterRebuild(Mesh& m, int firstNew, int nF) {
    bool kept = m.faceCount() == nF;
    for (std::size_t i = 0; kept && i < m.selectedVertices.size(); ++i) {
        const int v = m.selectedVertices[i];
        kept = m.validVertex(v) && m.vertices[v].selection == std::int32_t(i);
    }
    if (!kept) {
        m.vertices.forRange(0, m.vertices.size(), [](MeshVertex& r) { unselect(r); });
        m.faces.forRange(0, m.faces.size(), [](MeshFace& F) { F.flags = std::uint8_t(F.flags & ~FaceSelectionBits); });
        m.selectedVertices.clear();
        m.selectedFaces.clear();
        return false;
    }
    for (int v = firstNew; v < m.vertexCount(); ++v) unselect(m.vertices[v]);
    return true;
}

}  // namespace keptselection
}  // namespace qel
