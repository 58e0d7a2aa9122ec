// Topology queries and region walks of qel::Mesh.
//
// Every walk circles a vertex face by face through the neighbour links. One
// step: find the corner k of v in the current face, choose the edge (forward
// (k+1)%3 or backward (k+2)%3), test its sharp bit and its link, move to the
// linked face. Walks allocate nothing but the caller's output vectors.
//
// Robustness: index arguments are validated; a walk never starts
// from face -1, never reads an inactive face or vertex as if active (a link to
// an inactive face reads as open), and is bounded by the face count so that a
// corrupt link cycle that does not pass its start cannot hang it.

#include <algorithm>

#include "mesh/mesh.h"

namespace qel {

// ---------------------------------------------------------------------------
// Fan walks

// The walks round a vertex that the topology queries share.
class FanWalk {
public:
    // Walks round v from f across edge (k+1)%3 (forward) or (k+2)%3
    // (backward), k being v's corner, calling visit(face) for every face
    // reached, until that edge is open, or sharp when stopAtSharp, or the
    // fan closes back at f. Returns the last face visited (f when the fan
    // closed), -1 when a face does not hold v. Bounded by the face count.
    template <class Visit>
    static int walkFan(const Mesh& m, int v, int f, bool forward, bool stopAtSharp, Visit&& visit) {
        int cur = f;
        for (std::size_t step = 0; step <= m.faces.size(); ++step) {
            const MeshFace& F = m.faces[cur];
            const int k = F.corner(v);
            if (k < 0) return -1;
            visit(cur);
            const int e = forward ? nextK(k) : prevK(k);
            if (stopAtSharp && F.isSharp(e)) return cur;
            const int g = m.link(F, e);
            if (g < 0) return cur;
            if (g == f) return f;
            cur = g;
        }
        return -1;
    }
    // Circles v forward from its stored face: visit(f, k) for every face of
    // the fan (k the corner of v in f) and, when the walk stops at an open
    // edge, openEnd(f, k) with the last face. Bounded by the face count, so
    // a corrupt link cycle cannot hang it.
    template <class Visit, class OpenEnd>
    static void circleFan(const Mesh& m, int v, Visit&& visit, OpenEnd&& openEnd) {
        const int start = m.startFace(v);
        if (start < 0) return;
        int f = start;
        for (std::size_t step = 0; step <= m.faces.size(); ++step) {
            const MeshFace& F = m.faces[f];
            const int k = F.corner(v);
            if (k < 0) return;
            visit(f, k);
            const int g = m.link(F, nextK(k));
            if (g < 0) {
                openEnd(f, k);
                return;
            }
            if (g == start) return;
            f = g;
        }
    }
};

namespace {
}  // namespace

int Mesh::startFace(int v) const {
    if (!activeVertex(v)) return -1;
    const int f = vertices[v].face;
    if (!activeFace(f) || faces[f].corner(v) < 0) return -1;
    return f;
}

// ---------------------------------------------------------------------------
// Vertex state

int Mesh::vertexUpdate(int v) {
    const int start = startFace(v);
    if (start < 0) return -1;
    MeshVertex& r = vertices[v];
    const std::size_t limit = faces.size();

    // Backward circling: the first face whose backward edge is open.
    int f = start;
    for (std::size_t step = 0; step <= limit; ++step) {
        const MeshFace& F = faces[f];
        const int k = F.corner(v);
        if (k < 0) break;
        const int g = link(F, prevK(k));
        if (g < 0) {
            r.face = f;
            r.flags = std::uint8_t(r.flags | MeshVertex::SharpBit | MeshVertex::BorderBit);
            return f;
        }
        if (g == start) break;
        f = g;
    }
    r.flags = std::uint8_t(r.flags & ~MeshVertex::BorderBit);

    if (r.flags & MeshVertex::SharpBit) {
        // Second backward circling: the first face whose backward edge is sharp.
        f = start;
        for (std::size_t step = 0; step <= limit; ++step) {
            const MeshFace& F = faces[f];
            const int k = F.corner(v);
            if (k < 0) break;
            const int e = prevK(k);
            if (F.isSharp(e)) {
                r.face = f;
                return f;
            }
            const int g = link(F, e);
            if (g < 0 || g == start) break;
            f = g;
        }
    }
    r.flags = std::uint8_t(r.flags & ~(MeshVertex::SharpBit | MeshVertex::CornerBit | MeshVertex::BorderBit));
    return r.face;
}

bool Mesh::corner(int v) const {
    if (!activeVertex(v) || !vertices[v].isSharp()) return false;
    const int start = startFace(v);
    if (start < 0) return false;
    // Count the crossings of findNeighbours(v, ring, faces, crossings).
    int crossings = 0;
    int f = start;
    for (std::size_t step = 0; step <= faces.size(); ++step) {
        const MeshFace& F = faces[f];
        const int k = F.corner(v);
        if (k < 0) break;
        if (bounded(F, prevK(k))) ++crossings;
        const int g = link(F, nextK(k));
        if (g < 0) {
            ++crossings;
            break;
        }
        if (g == start) break;
        f = g;
    }
    return crossings > 2;
}

// ---------------------------------------------------------------------------
// Edge lookup and marking

bool Mesh::findEdge(int a, int b, int& fOut, int& kOut) const {
    const int start = startFace(a);
    if (start < 0 || !validVertex(b)) return false;
    // Searches the ring of a in ring order.
    int f = start;
    for (std::size_t step = 0; step <= faces.size(); ++step) {
        const MeshFace& F = faces[f];
        const int ka = F.corner(a);
        if (ka < 0) return false;
        const int kn = nextK(ka);
        if (F.v[kn] == b) {
            fOut = f;
            kOut = 3 - ka - kn;
            return true;
        }
        const int g = link(F, nextK(ka));
        if (g < 0) {
            // The ring's last vertex of an open fan comes from this face.
            const int kp = prevK(ka);
            if (F.v[kp] == b) {
                fOut = f;
                kOut = 3 - ka - kp;
                return true;
            }
            return false;
        }
        if (g == start) return false;
        f = g;
    }
    return false;
}

void Mesh::edgeSharp(int f, int g, bool sharp) {
    topologyEdited();
    if (f == g || !activeFace(f) || !activeFace(g)) return;
    MeshFace& F = faces[f];
    MeshFace& G = faces[g];
    const int k = F.edgeTo(g);
    const int j = G.edgeTo(f);
    if (k < 0 || j < 0) return;
    markEdgeEnds(F, k, sharp);
    F.setSharp(k, sharp);
    G.setSharp(j, sharp);
    bufferState.markFeatures(f);
    bufferState.markFeatures(g);
}

void Mesh::markEdgeEnds(const MeshFace& F, int k, bool sharp) {
    for (const int e : {F.v[nextK(k)], F.v[prevK(k)]}) {
        if (!validVertex(e)) continue;
        MeshVertex& r = vertices[e];
        if (sharp)
            r.flags = std::uint8_t(r.flags | MeshVertex::SharpBit);
        else if (!r.isSharp())
            r.flags = std::uint8_t(r.flags & ~MeshVertex::CornerBit);
    }
}

// ---------------------------------------------------------------------------
// Neighbour lists

int Mesh::findFNeighbours(int v, std::vector<int>& faceList) const {
    faceList.clear();
    FanWalk::circleFan(
        *this, v, [&](int f, int) { faceList.push_back(f); }, [](int, int) {});
    return int(faceList.size());
}

int Mesh::findFKNeighbours(int v, std::vector<int>& faceList, std::vector<int>& ks) const {
    faceList.clear();
    ks.clear();
    FanWalk::circleFan(
        *this, v,
        [&](int f, int k) {
            faceList.push_back(f);
            ks.push_back(k);
        },
        [](int, int) {});
    return int(faceList.size());
}

int Mesh::findNeighbours(int v, std::vector<int>& ring) const {
    ring.clear();
    FanWalk::circleFan(
        *this, v, [&](int f, int k) { ring.push_back(faces[f].v[nextK(k)]); },
        [&](int f, int k) { ring.push_back(faces[f].v[prevK(k)]); });
    return int(ring.size());
}

int Mesh::findNeighbours(int v, std::vector<int>& ring, std::vector<int>& faceList) const {
    ring.clear();
    faceList.clear();
    FanWalk::circleFan(
        *this, v,
        [&](int f, int k) {
            ring.push_back(faces[f].v[nextK(k)]);
            faceList.push_back(f);
        },
        [&](int f, int k) {
            ring.push_back(faces[f].v[prevK(k)]);
            faceList.push_back(-1);
        });
    return int(ring.size());
}

int Mesh::findNeighbours(int v, std::vector<int>& ring, std::vector<int>& faceList,
                         std::vector<int>& crossings) const {
    ring.clear();
    faceList.clear();
    crossings.clear();
    FanWalk::circleFan(
        *this, v,
        [&](int f, int k) {
            // The edge from v to ring[i] = v[(k+1)%3] is the backward edge.
            if (bounded(faces[f], prevK(k))) crossings.push_back(int(ring.size()));
            ring.push_back(faces[f].v[nextK(k)]);
            faceList.push_back(f);
        },
        [&](int f, int k) {
            crossings.push_back(int(ring.size()));
            ring.push_back(faces[f].v[prevK(k)]);
            faceList.push_back(-1);
        });
    return int(ring.size());
}

int Mesh::vertexNeighbours(int v) const {
    int n = 0;
    FanWalk::circleFan(
        *this, v, [&](int, int) { ++n; }, [&](int, int) { ++n; });
    return n;
}

// ---------------------------------------------------------------------------
// Sector walks

int Mesh::findStartRegion(int v, int f) const {
    if (!activeVertex(v)) return -1;
    if (!vertices[v].isSharp()) return startFace(v);
    if (!activeFace(f)) return -1;
    return FanWalk::walkFan(*this, v, f, false, true, [](int) {});
}

int Mesh::findEndRegion(int v, int f) const {
    if (!activeVertex(v)) return -1;
    if (!vertices[v].isSharp()) return startFace(v);
    if (!activeFace(f)) return -1;
    return FanWalk::walkFan(*this, v, f, true, true, [](int) {});
}

int Mesh::findVStartRegion(int v, int f) const {
    if (!activeVertex(v) || !vertices[v].isSharp()) return -1;
    const int s = findStartRegion(v, f);
    if (s < 0) return -1;
    const MeshFace& S = faces[s];
    // The backward edge of the sector's first face joins v and v[(k+1)%3].
    return S.v[nextK(S.corner(v))];
}

int Mesh::findVEndRegion(int v, int f) const {
    if (!activeVertex(v) || !vertices[v].isSharp()) return -1;
    const int e = findEndRegion(v, f);
    if (e < 0) return -1;
    const MeshFace& E = faces[e];
    // The forward edge of the sector's last face joins v and v[(k+2)%3].
    return E.v[prevK(E.corner(v))];
}

int Mesh::findBorder(int v, int f) const {
    if (!activeVertex(v)) return -1;
    if (!vertices[v].isBorder()) return startFace(v);
    if (!activeFace(f)) return -1;
    return FanWalk::walkFan(*this, v, f, false, false, [](int) {});
}

int Mesh::findRegion(int v, int f, std::vector<int>& faceList) const {
    faceList.clear();
    if (!activeVertex(v)) return 0;
    if (!vertices[v].isSharp()) return findFNeighbours(v, faceList);
    if (!activeFace(f)) return 0;
    FanWalk::walkFan(*this, v, f, true, true, [&](int g) { faceList.push_back(g); });
    return int(faceList.size());
}

int Mesh::findBorderedRegion(int v, int f, std::vector<int>& faceList) const {
    faceList.clear();
    if (!activeVertex(v)) return 0;
    if (!vertices[v].isBorder()) return findFNeighbours(v, faceList);
    if (!activeFace(f)) return 0;
    // Backward from f to the open edge, then listed in forward order.
    FanWalk::walkFan(*this, v, f, false, false, [&](int g) { faceList.push_back(g); });
    std::reverse(faceList.begin(), faceList.end());
    return int(faceList.size());
}

int Mesh::FindBorderedRegion(int v, int f, std::vector<int>& faceList) const {
    faceList.clear();
    if (!activeVertex(v) || !activeFace(f) || faces[f].corner(v) < 0) return 0;
    // Backward, ignoring sharp edges, to the face next to an open edge (or
    // back to f for a closed fan), then forward from there over every face.
    const int first = FanWalk::walkFan(*this, v, f, false, false, [](int) {});
    if (first < 0) return 0;
    FanWalk::walkFan(*this, v, first, true, false, [&](int g) { faceList.push_back(g); });
    return int(faceList.size());
}

unsigned char Mesh::materialRegion(int v, int f, const pbr& m, unsigned char mask) {
    if (!activeVertex(v) || !activeFace(f)) return 0;
    unsigned char changed = 0;
    FanWalk::walkFan(*this, v, f, true, true,
                     [&](int g) { changed |= faces[g].material[faces[g].corner(v)].assignChanged(m, mask); });
    return changed;
}

// ---------------------------------------------------------------------------
// Feature lines and borders

int Mesh::findVNext(int& v, int& f, int& k) const {
    if (!activeVertex(v) || !activeFace(f) || k < 0 || k > 2) return -1;
    const int at = v;
    int cf = f;
    int ck = k;
    for (std::size_t step = 0; step <= faces.size(); ++step) {
        const MeshFace& F = faces[cf];
        const int c = F.corner(at);
        if (c < 0 || c == ck) return -1;  // ck must be an edge at the vertex
        const int o = 3 - c - ck;         // the other edge of F at the vertex
        // Edge o joins corners c and ck: its far end is v[ck].
        const int far = F.v[ck];
        const int g = F.isSharp(o) ? -1 : link(F, o);
        if (g < 0) {
            v = far;
            f = cf;
            k = o;
            return far;
        }
        // Cross edge o; its index in the neighbour is opposite the corner
        // that is neither the vertex nor the far end.
        const MeshFace& G = faces[g];
        const int cg = G.corner(at);
        const int cw = G.corner(far);
        if (cg < 0 || cw < 0 || cg == cw) return -1;
        cf = g;
        ck = 3 - cg - cw;
    }
    return -1;
}

int Mesh::Feature(int v, std::vector<int>& line, bool stopAtCorner, int f) const {
    line.clear();
    if (!activeVertex(v) || !vertices[v].isSharp()) return 0;
    const int s = f >= 0 ? f : findStartRegion(v, vertices[v].face);
    if (!activeFace(s)) return 0;
    const int c = faces[s].corner(v);
    if (c < 0) return 0;

    // Each step follows one directed feature edge; a walk never needs more.
    const std::size_t cap = 3 * faces.size() + 2;

    // First walk: arriving by the forward edge of s, findVNext leaves v along
    // the edge that bounds s's sector backward (the sector start's sharp or
    // open edge), circling backward at every vertex.
    line.push_back(v);
    bool closed = false;
    {
        int cv = v, cf = s, ck = nextK(c);
        while (line.size() <= cap) {
            const int w = findVNext(cv, cf, ck);
            if (w < 0) break;
            if (w == v) {
                closed = true;
                break;
            }
            line.push_back(w);
            if (stopAtCorner && vertices[w].isCorner()) break;
        }
    }
    if (!stopAtCorner || closed || vertices[v].isCorner()) return int(line.size());

    // Second walk, in the opposite sense: leave v along the edge that bounds
    // the sector forward, circling forward at every vertex, to the corner at
    // the other end. Its vertices go before the first walk's, nearest to v
    // last.
    const int e = findEndRegion(v, s);
    if (e < 0) return int(line.size());
    const std::size_t firstCount = line.size();
    {
        int cv = v, cf = e, ck = prevK(faces[e].corner(v));
        while (line.size() <= cap) {
            const int w = findVNext(cv, cf, ck);
            if (w < 0 || w == v) break;
            // A line that ends at v (only one feature edge at v) has no
            // second half: the walk would retrace the first one.
            if (line.size() == firstCount && firstCount > 1 && w == line[1]) break;
            line.push_back(w);
            if (vertices[w].isCorner()) break;
        }
    }
    std::reverse(line.begin() + firstCount, line.end());
    std::rotate(line.begin(), line.begin() + firstCount, line.end());
    return int(line.size());
}

int Mesh::findVBorder(int v) const {
    if (!activeVertex(v) || !vertices[v].isBorder()) return -1;
    const int start = startFace(v);
    if (start < 0) return -1;
    // The last vertex of the ring.
    int f = start;
    int last = -1;
    for (std::size_t step = 0; step <= faces.size(); ++step) {
        const MeshFace& F = faces[f];
        const int k = F.corner(v);
        if (k < 0) break;
        last = F.v[nextK(k)];
        const int g = link(F, nextK(k));
        if (g < 0) return F.v[prevK(k)];
        if (g == start) break;
        f = g;
    }
    return last;
}

int Mesh::Border(int v, std::vector<int>& loop) const {
    loop.clear();
    if (!activeVertex(v) || !vertices[v].isBorder()) return 0;
    loop.push_back(v);
    int w = findVBorder(v);
    while (w >= 0 && w != v && loop.size() <= vertices.size()) {
        loop.push_back(w);
        w = findVBorder(w);
    }
    return int(loop.size());
}

// ---------------------------------------------------------------------------
// Geometry extraction

void Mesh::segment(int a, int b, std::vector<vec3>& out) const {
    if (!activeVertex(a) || !activeVertex(b)) {
        out.clear();
        return;
    }
    out.resize(2);
    out[0] = vertices[a].position;
    out[1] = vertices[b].position;
}

void Mesh::triangle(int f, std::vector<vec3>& out) const {
    if (!activeFace(f)) {
        out.clear();
        return;
    }
    const MeshFace& F = faces[f];
    for (int k = 0; k < 3; ++k) {
        if (!validVertex(F.v[k])) {
            out.clear();
            return;
        }
    }
    out.resize(3);
    for (int k = 0; k < 3; ++k) out[k] = vertices[F.v[k]].position;
}

}  // namespace qel
