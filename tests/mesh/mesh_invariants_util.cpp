#include "mesh/mesh_invariants_util.h"

#include <sstream>
#include <vector>

using qel::Mesh;
using qel::MeshFace;
using qel::MeshVertex;

namespace meshtest {

namespace {

inline int nextK(int k) { return (k + 1) % 3; }
inline int prevK(int k) { return (k + 2) % 3; }

class Checker {
public:
    Checker(const Mesh& m, unsigned checks) : m_(m), checks_(checks) {}

    std::string run() {
        if (!faceRecords()) return out_.str();
        if (!faceLinks()) return out_.str();
        countUses();
        if (!vertexRecords()) return out_.str();
        if ((checks_ & CheckSharpEnds) && !sharpEnds()) return out_.str();
        return std::string();
    }

private:
    const Mesh& m_;
    unsigned checks_;
    std::ostringstream out_;
    std::vector<int> uses_;     // active faces using each vertex
    std::vector<char> onOpen_;  // the vertex lies on an open edge

    bool activeFace(int f) const { return f >= 0 && f < m_.faceCount() && m_.faces[f].isActive(); }

    std::ostream& fail() { return out_; }

    // Corners: in range, active, distinct.
    bool faceRecords() {
        for (int i = 0; i < m_.faceCount(); ++i) {
            const MeshFace& F = m_.faces[i];
            if (!F.isActive()) continue;
            for (int k = 0; k < 3; ++k) {
                const int v = F.v[k];
                if (v < 0 || v >= m_.vertexCount()) {
                    fail() << "face " << i << " corner " << k << " names vertex " << v << ", out of range";
                    return false;
                }
                if (!m_.vertices[v].isActive()) {
                    fail() << "face " << i << " corner " << k << " names inactive vertex " << v;
                    return false;
                }
            }
            if (F.v[0] == F.v[1] || F.v[1] == F.v[2] || F.v[0] == F.v[2]) {
                fail() << "face " << i << " names a vertex twice (" << F.v[0] << ", " << F.v[1] << ", " << F.v[2]
                       << ")";
                return false;
            }
        }
        return true;
    }

    // The edge j of g joining the ends of F's edge k and linking back to f;
    // -1 when none.
    int backEdge(int f, int k, int g) const {
        const MeshFace& F = m_.faces[f];
        const MeshFace& G = m_.faces[g];
        const int a = F.v[nextK(k)], b = F.v[prevK(k)];
        for (int j = 0; j < 3; ++j) {
            if (G.f[j] != f) continue;
            const int c = G.v[nextK(j)], d = G.v[prevK(j)];
            if ((a == c && b == d) || (a == d && b == c)) return j;
        }
        return -1;
    }

    bool faceLinks() {
        for (int i = 0; i < m_.faceCount(); ++i) {
            const MeshFace& F = m_.faces[i];
            if (!F.isActive()) continue;
            for (int k = 0; k < 3; ++k) {
                const int g = F.f[k];
                if (g == -1) continue;
                if (g < -1 || g >= m_.faceCount()) {
                    fail() << "face " << i << " edge " << k << " links face " << g << ", out of range";
                    return false;
                }
                if (g == i) {
                    fail() << "face " << i << " edge " << k << " links itself";
                    return false;
                }
                if (!m_.faces[g].isActive()) {
                    fail() << "face " << i << " edge " << k << " links inactive face " << g;
                    return false;
                }
                const int j = backEdge(i, k, g);
                if (j < 0) {
                    fail() << "face " << i << " edge " << k << " (" << F.v[nextK(k)] << "-" << F.v[prevK(k)]
                           << ") links face " << g << ", which has no edge joining those vertices back to " << i;
                    return false;
                }
                const MeshFace& G = m_.faces[g];
                if (F.isSharp(k) != G.isSharp(j)) {
                    fail() << "edge " << F.v[nextK(k)] << "-" << F.v[prevK(k)] << " is sharp in face "
                           << (F.isSharp(k) ? i : g) << " but not in face " << (F.isSharp(k) ? g : i);
                    return false;
                }
                if ((checks_ & CheckOrientation) && G.v[nextK(j)] != F.v[prevK(k)]) {
                    fail() << "faces " << i << " and " << g << " run their edge " << F.v[nextK(k)] << "-"
                           << F.v[prevK(k)] << " in the same direction";
                    return false;
                }
            }
        }
        return true;
    }

    void countUses() {
        uses_.assign(std::size_t(m_.vertexCount()), 0);
        onOpen_.assign(std::size_t(m_.vertexCount()), 0);
        for (int i = 0; i < m_.faceCount(); ++i) {
            const MeshFace& F = m_.faces[i];
            if (!F.isActive()) continue;
            for (int k = 0; k < 3; ++k) {
                ++uses_[std::size_t(F.v[k])];
                if (F.f[k] < 0) {
                    onOpen_[std::size_t(F.v[nextK(k)])] = 1;
                    onOpen_[std::size_t(F.v[prevK(k)])] = 1;
                }
            }
        }
    }

    // Faces met by forward circling from the stored face (bounded).
    int fanSize(int v, int start) const {
        int n = 0;
        int f = start;
        for (int step = 0; step <= m_.faceCount(); ++step) {
            const MeshFace& F = m_.faces[f];
            const int k = F.corner(v);
            if (k < 0) return n;
            ++n;
            const int g = F.f[nextK(k)];
            if (g < 0 || g == start) return n;
            f = g;
        }
        return n;
    }

    bool vertexRecords() {
        for (int v = 0; v < m_.vertexCount(); ++v) {
            const MeshVertex& r = m_.vertices[v];
            if (!r.isActive()) continue;
            const int sf = r.face;
            const int used = uses_[std::size_t(v)];
            if (sf == -1) {
                if (used > 0) {
                    fail() << "vertex " << v << " has stored face -1 but " << used << " active faces use it";
                    return false;
                }
                continue;
            }
            if (!activeFace(sf)) {
                fail() << "vertex " << v << " stores face " << sf << ", which is out of range or inactive";
                return false;
            }
            const MeshFace& S = m_.faces[sf];
            const int k = S.corner(v);
            if (k < 0) {
                fail() << "vertex " << v << " stores face " << sf << ", which does not hold it";
                return false;
            }
            const bool open = onOpen_[std::size_t(v)] != 0;
            if (r.isBorder() != open) {
                fail() << "vertex " << v << (open ? " lies on an open edge without" : " has") << " the border bit"
                       << (open ? "" : " but lies on no open edge");
                return false;
            }
            if (open && !r.isSharp()) {
                fail() << "border vertex " << v << " lacks the sharp bit";
                return false;
            }
            if (open && S.f[prevK(k)] >= 0) {
                fail() << "border vertex " << v << " stores face " << sf << ", whose backward edge is not open";
                return false;
            }
            if ((checks_ & CheckSingleFan) && fanSize(v, sf) != used) {
                fail() << "vertex " << v << ": circling from stored face " << sf << " meets " << fanSize(v, sf)
                       << " of its " << used << " faces";
                return false;
            }
        }
        return true;
    }

    bool sharpEnds() {
        for (int i = 0; i < m_.faceCount(); ++i) {
            const MeshFace& F = m_.faces[i];
            if (!F.isActive()) continue;
            for (int k = 0; k < 3; ++k) {
                if (!F.isSharp(k) && F.f[k] >= 0) continue;
                for (const int v : {F.v[nextK(k)], F.v[prevK(k)]}) {
                    if (!m_.vertices[v].isSharp()) {
                        fail() << "vertex " << v << " ends the " << (F.f[k] < 0 ? "open" : "sharp") << " edge " << k
                               << " of face " << i << " but lacks the sharp bit";
                        return false;
                    }
                }
            }
        }
        return true;
    }
};

}  // namespace

std::string checkMeshInvariants(const Mesh& m, unsigned checks) { return Checker(m, checks).run(); }

int activeVertexCount(const Mesh& m) {
    int n = 0;
    for (int v = 0; v < m.vertexCount(); ++v) n += m.vertices[v].isActive() ? 1 : 0;
    return n;
}

int activeFaceCount(const Mesh& m) {
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f) n += m.faces[f].isActive() ? 1 : 0;
    return n;
}

}  // namespace meshtest
