// Local edits on one face or on the fan of one vertex of qel::Mesh: face
// erase, face split (centroid, at a point, cut form), vertex divide and
// vertex split.
//
// Circling conventions as in mesh_topology.cpp: round v at corner k, the
// backward edge (k+2)%3 joins v to v[(k+1)%3], the forward edge (k+1)%3
// joins it to v[(k+2)%3]; a border vertex stores the face whose backward
// edge is open. Links are rewritten by edge (relinkEdge), and scratch lists
// are kept per thread so that an edit allocates nothing once they have
// grown.

#include <utility>
#include <vector>

#include "mesh/mesh.h"

namespace qel {

namespace {

// Scratch lists: the three corner fans of an erase, a sector, a run of faces.
struct FaceEditScratch {
    std::vector<int> fan[3];
    std::vector<int> sector;
    std::vector<int> run;
};
FaceEditScratch& scratch() {
    static thread_local FaceEditScratch s;
    return s;
}

int indexOf(const std::vector<int>& list, int x) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == x) return int(i);
    return -1;
}

// Every listed face that holds `from` gets `to` in that corner.
void replaceCorner(Mesh& m, const std::vector<int>& list, std::size_t count, int from, int to) {
    for (std::size_t i = 0; i < count && i < list.size(); ++i) {
        if (!m.validFace(list[i])) continue;
        MeshFace& F = m.faces[list[i]];
        const int c = F.corner(from);
        if (c >= 0) F.v[c] = to;
    }
}

constexpr std::uint8_t kSharp = MeshVertex::SharpBit;
constexpr std::uint8_t kBorder = MeshVertex::BorderBit;
constexpr std::uint8_t kActive = MeshVertex::ActiveBit;

}  // namespace

// The steps of the face and vertex edits of a mesh: vertex copies, the
// face split, and the sectors that vertex divides and splits tear off.
class FaceEdit {
public:
    // Appends a copy of v's record with stored face `face`.
    static int vertexCopy(Mesh& mesh, int v, int face);
    static int faceSplitAt(Mesh& mesh, int f, const vec3* p, bool cut, int q);
    // A sector of v for divide and split: f0 its first face (v at corner
    // i0), e0 the face across f0's backward edge v-w0; fl its last face (v
    // at il), e1 the face across fl's forward edge v-w1.
    struct VertexSector {
        int f0, i0, e0, w0;
        int fl, il, e1, w1;
    };
    // False when the arguments are invalid or the sector covers the whole
    // fan (a bounding face lies inside it).
    static bool vertexSector(const Mesh& mesh, int v, int f, std::vector<int>& sector, VertexSector& s);
    // The faces findBorderedRegion(v, start) lists get a new copy of v.
    static void vertexDetachFan(Mesh& mesh, int v, int start);
};

int FaceEdit::vertexCopy(Mesh& mesh, int v, int face) {
    MeshVertex r = mesh.vertices[v];
    r.face = face;
    return mesh.vertexAdd(r);
}

// ---------------------------------------------------------------------------
// Face erase

void Mesh::faceErase(int f, std::vector<std::pair<int, int>>* copies) {
    topologyEdited();
    if (!activeFace(f)) return;
    bufferState.markFeatures();
    FaceEditScratch& w = scratch();
    const MeshFace F = faces[f];
    // The fans are read while f is still active: the walks read links to
    // inactive faces as open edges.
    for (int c = 0; c < 3; ++c) findFNeighbours(F.v[c], w.fan[c]);
    needsCompaction = 1;
    faces[f].flags = std::uint8_t(faces[f].flags & ~MeshFace::ActiveBit);
    // The neighbours' edges turn open (before any corner is replaced by a
    // copy below, while the edges still join F's vertices).
    for (int k = 0; k < 3; ++k) {
        const int g = link(F, k);
        if (g >= 0) relinkEdge(g, f, -1, F.v[nextK(k)], F.v[prevK(k)]);
    }

    for (int c = 0; c < 3; ++c) {
        const int u = F.v[c];
        const std::vector<int>& L = w.fan[c];
        const int n = int(L.size());
        const int j = indexOf(L, f);
        if (j < 0) continue;  // f is not on the fan of u's stored face
        MeshVertex& r = vertices[u];
        if (n == 1) {
            r.flags = std::uint8_t(r.flags & ~kActive);
        } else if (!r.isBorder()) {
            r.flags = std::uint8_t(r.flags | kSharp | kBorder);
            r.face = L[(j + 1) % n];
        } else if (j == 0) {
            r.face = L[1];
        } else if (j < n - 1) {
            // The open fan falls apart: the faces before f get a copy of u.
            const int copy = FaceEdit::vertexCopy(*this, u, L[0]);
            replaceCorner(*this, L, std::size_t(j), u, copy);
            vertices[u].face = L[j + 1];
            if (copies) copies->emplace_back(copy, u);
        }
    }
}

// ---------------------------------------------------------------------------
// Face split

int FaceEdit::faceSplitAt(Mesh& mesh, int f, const vec3* p, bool cut, int q) {
    mesh.topologyEdited();
    if (!mesh.activeFace(f)) return -1;
    const MeshFace F = mesh.faces[f];
    for (int k = 0; k < 3; ++k)
        if (!mesh.activeVertex(F.v[k])) return -1;
    const int c0 = F.v[0], c1 = F.v[1], c2 = F.v[2];
    const vec3 pos =
        p ? *p
          : vec3((mesh.vertices[c0].position.x + mesh.vertices[c1].position.x + mesh.vertices[c2].position.x) / 3.0f,
                 (mesh.vertices[c0].position.y + mesh.vertices[c1].position.y + mesh.vertices[c2].position.y) / 3.0f,
                 (mesh.vertices[c0].position.z + mesh.vertices[c1].position.z + mesh.vertices[c2].position.z) / 3.0f);
    const pbr m0 = pbr::Clamped(F.material[0]), m1 = pbr::Clamped(F.material[1]), m2 = pbr::Clamped(F.material[2]);
    const pbr mc = pbr::Centroid(F.material[0], F.material[1], F.material[2]);
    const int f0 = mesh.link(F, 0), f1 = mesh.link(F, 1), f2 = mesh.link(F, 2);

    const int nv = mesh.vertexAdd(MeshVertex(pos, f, std::uint8_t(kActive | (cut ? kSharp : 0))));
    const int A = mesh.faceCount(), B = A + 1;
    // Inner edges to q are sharp in the cut form (edge 0 of each new face
    // joins its second corner and nv, edge 1 joins nv and its first corner).
    const bool q0 = cut && q == c0, q1 = cut && q == c1, q2 = cut && q == c2;
    MeshFace nf(c0, c1, nv, A, B, f2, q1, q0, mesh.bounded(F, 2));
    MeshFace na(c1, c2, nv, B, f, f0, q2, q1, mesh.bounded(F, 0));
    MeshFace nb(c2, c0, nv, f, A, f1, q0, q2, mesh.bounded(F, 1));
    nf.setMaterial(m0, m1, mc, pbr::MaskAll);
    na.setMaterial(m1, m2, mc, pbr::MaskAll);
    nb.setMaterial(m2, m0, mc, pbr::MaskAll);
    nf.normal = na.normal = nb.normal = F.normal;
    mesh.faces[f] = nf;
    mesh.faceAdd(na);
    mesh.faceAdd(nb);

    mesh.vertices[c2].face = A;
    mesh.relinkEdge(f0, f, A, c1, c2);
    mesh.relinkEdge(f1, f, B, c2, c0);
    // The cut's sharp inner edge makes q a sharp vertex.
    if (q0 || q1 || q2) mesh.vertices[q].flags = std::uint8_t(mesh.vertices[q].flags | kSharp);
    mesh.vertexUpdate(c0);
    mesh.vertexUpdate(c1);
    mesh.vertexUpdate(c2);
    mesh.vertexUpdate(nv);
    return nv;
}

int Mesh::faceSplit(int f) { return FaceEdit::faceSplitAt(*this, f, nullptr, false, -1); }

int Mesh::faceSplit(int f, const vec3& p) { return FaceEdit::faceSplitAt(*this, f, &p, false, -1); }

int Mesh::faceSplit(int f, const vec3& p, int q, std::vector<int>& faceList, std::vector<int>& corners,
                    std::vector<int>& verts) {
    faceList.clear();
    corners.clear();
    verts.clear();
    int old[3] = {-1, -1, -1};
    if (activeFace(f))
        for (int k = 0; k < 3; ++k) old[k] = faces[f].v[k];
    const int nv = FaceEdit::faceSplitAt(*this, f, &p, true, q);
    if (nv < 0) return -1;
    const int A = faceCount() - 2;
    faceList = {f, A, A + 1};
    corners = {2, 2, 2};
    for (const int c : old)
        if (c != q) verts.push_back(c);
    return nv;
}

// ---------------------------------------------------------------------------
// Vertex divide and split

bool FaceEdit::vertexSector(const Mesh& mesh, int v, int f, std::vector<int>& sector, VertexSector& s) {
    sector.clear();
    if (!mesh.activeVertex(v) || !mesh.activeFace(f) || mesh.faces[f].corner(v) < 0) return false;
    if (mesh.findRegion(v, f, sector) == 0) return false;
    const MeshFace& F0 = mesh.faces[sector.front()];
    const MeshFace& FL = mesh.faces[sector.back()];
    s.f0 = sector.front();
    s.i0 = F0.corner(v);
    s.e0 = mesh.link(F0, prevK(s.i0));
    s.w0 = F0.v[nextK(s.i0)];
    s.fl = sector.back();
    s.il = FL.corner(v);
    s.e1 = mesh.link(FL, nextK(s.il));
    s.w1 = FL.v[prevK(s.il)];
    // A bounding face inside the sector: the sector is the whole closed
    // fan and there is nothing to tear it from.
    if (indexOf(sector, s.e0) >= 0 || indexOf(sector, s.e1) >= 0) return false;
    return mesh.activeVertex(s.w0) && mesh.activeVertex(s.w1) && s.w0 != s.w1;
}

void FaceEdit::vertexDetachFan(Mesh& mesh, int v, int start) {
    std::vector<int>& run = scratch().run;
    mesh.findBorderedRegion(v, start, run);
    if (run.empty()) return;
    const int copy = vertexCopy(mesh, v, run.front());
    replaceCorner(mesh, run, run.size(), v, copy);
}

int Mesh::vertexDivide(int v, int f) {
    topologyEdited();
    std::vector<int>& sector = scratch().sector;
    FaceEdit::VertexSector s;
    if (!FaceEdit::vertexSector(*this, v, f, sector, s)) return -1;
    if (s.e0 < 0 && s.e1 < 0) return -1;
    const bool wasBorder = vertices[v].isBorder();
    const bool w0Border = vertices[s.w0].isBorder();
    const bool w1Border = vertices[s.w1].isBorder();
    if (!wasBorder) vertices[v].flags = std::uint8_t(vertices[v].flags | kSharp | kBorder);

    const int nv = FaceEdit::vertexCopy(*this, v, s.f0);
    replaceCorner(*this, sector, sector.size(), v, nv);
    if (s.e0 >= 0) {
        relinkEdge(s.e0, s.f0, -1, v, s.w0);
        faces[s.f0].f[prevK(s.i0)] = -1;
    }
    if (s.e1 >= 0) {
        relinkEdge(s.e1, s.fl, -1, v, s.w1);
        faces[s.fl].f[nextK(s.il)] = -1;
        vertices[v].face = s.e1;
        // The rest of an open fan falls apart in two: the run of faces from the old
        // open edge to e0 gets its own vertex.
        if (s.e0 >= 0 && wasBorder) FaceEdit::vertexDetachFan(*this, v, s.e0);
    }

    // The far ends of the opened edges (an edge that was open already
    // leaves its end as it was): a closed fan opens, an open one falls
    // apart in two.
    if (s.e0 >= 0) {
        vertices[s.w0].face = s.e0;
        if (!w0Border)
            vertices[s.w0].flags = std::uint8_t(vertices[s.w0].flags | kSharp | kBorder);
        else
            FaceEdit::vertexDetachFan(*this, s.w0, s.f0);
    }
    if (s.e1 >= 0) {
        vertices[s.w1].face = s.fl;
        if (!w1Border)
            vertices[s.w1].flags = std::uint8_t(vertices[s.w1].flags | kSharp | kBorder);
        else
            FaceEdit::vertexDetachFan(*this, s.w1, s.e1);
    }
    return nv;
}

int Mesh::vertexSplit(int v, int f, const pbr& m, bool cornerSeam) {
    topologyEdited();
    std::vector<int>& sector = scratch().sector;
    FaceEdit::VertexSector s;
    if (!FaceEdit::vertexSector(*this, v, f, sector, s)) return -1;

    MeshVertex copy = vertices[v];
    copy.flags = std::uint8_t(copy.flags & ~kBorder);
    const int nv = vertexAdd(copy);
    const bool s0 = cornerSeam && vertices[v].isCorner();
    // Outer edges towards faces made during the current operation (at or
    // above faceMark) stay smooth, so that repeated splits join up.
    const bool sharpE0 = s.e0 < faceMark;
    const bool sharpE1 = s.e1 < faceMark;
    const pbr mc = pbr::Clamped(m);
    const int A = faceCount(), B = A + 1;
    MeshFace na(s.w0, nv, v, B, s.e0, s.f0, s0, sharpE0, true);
    MeshFace nb(s.w1, v, nv, A, s.fl, s.e1, s0, true, sharpE1);
    na.setMaterial(mc, mc, mc, pbr::MaskAll);
    nb.setMaterial(mc, mc, mc, pbr::MaskAll);
    faceAdd(na);
    faceAdd(nb);

    // Both sides of each outer edge carry the same mark.
    if (s.e0 >= 0) {
        const int e = relinkEdge(s.e0, s.f0, A, v, s.w0);
        if (e >= 0) faces[s.e0].setSharp(e, sharpE0);
    }
    if (s.e1 >= 0) {
        const int e = relinkEdge(s.e1, s.fl, B, v, s.w1);
        if (e >= 0) faces[s.e1].setSharp(e, sharpE1);
    }
    faces[s.f0].f[prevK(s.i0)] = A;
    faces[s.f0].setSharp(prevK(s.i0), true);
    faces[s.fl].f[nextK(s.il)] = B;
    faces[s.fl].setSharp(nextK(s.il), true);
    replaceCorner(*this, sector, sector.size(), v, nv);

    vertices[v].face = A;
    vertices[nv].face = s.f0;
    vertices[s.w0].face = A;
    vertices[s.w1].face = B;
    // The new sharp edges make their ends sharp vertices.
    for (const int x : {v, nv, s.w0, s.w1}) vertices[x].flags = std::uint8_t(vertices[x].flags | kSharp);
    vertexUpdate(v);
    vertexUpdate(nv);
    vertexUpdate(s.w0);
    vertexUpdate(s.w1);
    return nv;
}

}  // namespace qel
