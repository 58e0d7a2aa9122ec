// Pattern replacement of qel::Mesh: a face is replaced by a small panel
// mesh mapped onto its triangle, and the pattern actions replace every face
// of a mesh that way, giving the surface a relief.
//
// Panel convention: vertices 0, 1 and 2 stand for the corners of the face
// being replaced, in corner order; in panel coordinates they are the corners
// of the reference triangle, (0, 1, 0), (-sqrt(3)/2, -1/2, 0) and
// (sqrt(3)/2, -1/2, 0), whose circumradius is 1; z runs along the face
// normal in units of that radius. A panel face with an edge joining two of
// vertices 0-2 lies on the reference triangle's edge opposite the third; it
// is joined to the replaced face's neighbour across that edge, whatever link
// the panel gives it there (the panel builders leave those edges open).

#include <cmath>

#include "mesh/mesh.h"

namespace qel {

namespace {

// The panel can be mapped: at least its three corner vertices; every face
// naming three distinct vertices of it, every link -1 or one of its faces;
// each edge of the reference triangle covered by exactly one active face,
// which runs it the way the reference triangle (0, 1, 2) does.
bool usablePanel(const Mesh& panel) {
    const int pV = panel.vertexCount();
    const int pF = panel.faceCount();
    if (pV < 3) return false;
    int covered[3] = {0, 0, 0};
    for (int i = 0; i < pF; ++i) {
        const MeshFace& F = panel.faces[i];
        for (int k = 0; k < 3; ++k) {
            if (F.v[k] < 0 || F.v[k] >= pV || F.v[k] == F.v[nextK(k)]) return false;
            if (F.f[k] < -1 || F.f[k] >= pF) return false;
        }
        if (!F.isActive()) continue;
        for (int k = 0; k < 3; ++k) {
            const int p = F.v[nextK(k)], q = F.v[prevK(k)];
            if (p > 2 || q > 2) continue;
            const int c = 3 - p - q;
            if (p != nextK(c)) return false;
            ++covered[c];
        }
    }
    return covered[0] == 1 && covered[1] == 1 && covered[2] == 1;
}

// The active panel face at panel corner j that the corner's vertex should
// store: the panel vertex's own stored face when it is one, else the first.
int panelCornerFace(const Mesh& panel, int j) {
    const int s = panel.vertices[j].face;
    if (panel.activeFace(s) && panel.faces[s].corner(j) >= 0) return s;
    for (int i = 0; i < panel.faceCount(); ++i)
        if (panel.faces[i].isActive() && panel.faces[i].corner(j) >= 0) return i;
    return -1;
}

}  // namespace

void Mesh::replaceFace(int f, const Mesh* panel) {
    topologyEdited();
    if (panel == nullptr || panel == this || !activeFace(f) || !usablePanel(*panel)) return;
    const MeshFace old = faces[f];
    for (const int v : old.v)
        if (!validVertex(v)) return;

    const int nV = vertexCount(), nF = faceCount();
    const int pV = panel->vertexCount(), pF = panel->faceCount();

    // The face's own frame: G the centroid, U and V the images of the panel's
    // x and y axes (the reference corners map onto A, B, C), W the normal
    // scaled by the circumradius.
    const vec3 A = vertices[old.v[0]].position;
    const vec3 B = vertices[old.v[1]].position;
    const vec3 C = vertices[old.v[2]].position;
    const vec3 G = (A + B + C) / 3.0f;
    const vec3 U = (C - B) / float(std::sqrt(3.0));
    const vec3 V = A - G;
    const vec3 W = old.normal * float(length(V));

    for (int j = 0; j < pV; ++j) {
        MeshVertex r;
        if (j <= 2) {
            // Stands for a corner of the face: a spare record for the next
            // compaction to drop.
            r.flags = 0;
        } else {
            r = panel->vertices[j];
            if (r.face != -1) r.face += nF;
            r.selection = -1;
            r.flags = std::uint8_t(r.flags & ~MeshVertex::SelectedBit);
            const vec3 p = panel->toWorld(r.position);
            r.position = G + U * p.x + V * p.y + W * p.z;
        }
        vertices.push_back(r);
    }

    for (int i = 0; i < pF; ++i) {
        MeshFace F = panel->faces[i];
        F.flags = std::uint8_t(F.flags & ~(MeshFace::SelectedBit | MeshFace::VisitedBit | MeshFace::MarkBit));
        const int n = nF + i;
        for (int k = 0; k < 3; ++k) {
            const int p = F.v[nextK(k)], q = F.v[prevK(k)];
            if (p > 2 || q > 2 || !F.isActive()) {
                if (F.f[k] >= 0) F.f[k] += nF;
                continue;
            }
            // On the reference edge opposite corner c: joined to the face's
            // neighbour there, sharp when either side was.
            const int c = 3 - p - q;
            const int g = link(old, c);
            F.f[k] = g;
            if (g < 0) continue;
            const int e = relinkEdge(g, f, n, old.v[p], old.v[q]);
            if (e < 0) {
                F.f[k] = -1;
                continue;
            }
            const bool sharp = F.isSharp(k) || faces[g].isSharp(e);
            F.setSharp(k, sharp);
            faces[g].setSharp(e, sharp);
        }
        for (int k = 0; k < 3; ++k) F.v[k] = F.v[k] <= 2 ? old.v[F.v[k]] : F.v[k] + nV;
        // The face's corners get the sharp bit of the sharp edges they end.
        if (F.isActive())
            for (int k = 0; k < 3; ++k)
                if (F.isSharp(k))
                    for (const int v : {F.v[nextK(k)], F.v[prevK(k)]})
                        vertices[v].flags = std::uint8_t(vertices[v].flags | MeshVertex::SharpBit);
        faces.push_back(F);
    }

    // The corners now start their walks from a panel face.
    for (int j = 0; j < 3; ++j) {
        const int s = panelCornerFace(*panel, j);
        if (s < 0) continue;
        vertices[old.v[j]].face = s + nF;
        vertexUpdate(old.v[j]);
    }

    faces[f].flags = std::uint8_t(faces[f].flags & ~MeshFace::ActiveBit);
    needsCompaction = 1;
}

void Mesh::replaceFaces(const Mesh* panel) {
    if (panel == nullptr || panel == this || !usablePanel(*panel)) return;
    // Compaction renumbers every record: no selection may outlive it.
    deselectAll();
    makeSharp();
    // Faces added by the replacements are not replaced again.
    const int count = faceCount();
    vertices.reserve(vertices.size() + std::size_t(count) * std::size_t(panel->vertexCount()));
    faces.reserve(faces.size() + std::size_t(count) * std::size_t(panel->faceCount()));
    for (int i = 0; i < count; ++i) replaceFace(i, panel);
    removeInactive(false);
    // Each panel's records were appended beside corners far back in the
    // lists: a large mesh comes out scattered, and is put in space order
    // with its rebuild when that order is measurably better (a save holds
    // the order its load keeps either way).
    if (!orderIfScattered()) initialize(ResizeKeep);
    sharpen(5.0f);
}

}  // namespace qel
