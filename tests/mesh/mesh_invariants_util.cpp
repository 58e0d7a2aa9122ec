#include "mesh/mesh_invariants_util.h"

#include <algorithm>
#include <sstream>
#include <utility>
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
        const bool sound = faceRecords() && edgeUses() && faceLinks() && vertexRecords() &&
                           (!(checks_ & CheckSharpEnds) || sharpEnds());
        return sound ? std::string() : out_.str();
    }

private:
    const Mesh& m_;
    unsigned checks_;
    std::ostringstream out_;
    std::vector<int> uses_;     // active faces using each vertex
    std::vector<char> onOpen_;  // the vertex lies on an open edge

    bool activeFace(int f) const { return f >= 0 && f < m_.faceCount() && m_.faces[f].isActive(); }

    // Writes the description of a violation; false.
    template <typename... Parts>
    bool fail(const Parts&... parts) {
        (out_ << ... << parts);
        return false;
    }

    // Corners: active vertices in range, distinct. Counts the uses of each
    // vertex and marks the ends of open edges.
    bool faceRecords() {
        uses_.assign(std::size_t(m_.vertexCount()), 0);
        onOpen_.assign(std::size_t(m_.vertexCount()), 0);
        for (int i = 0; i < m_.faceCount(); ++i) {
            const MeshFace& F = m_.faces[i];
            if (!F.isActive()) continue;
            for (int k = 0; k < 3; ++k) {
                const int v = F.v[k];
                if (v < 0 || v >= m_.vertexCount() || !m_.vertices[v].isActive())
                    return fail("face ", i, " corner ", k, " names vertex ", v, ", out of range or inactive");
            }
            if (F.v[0] == F.v[1] || F.v[1] == F.v[2] || F.v[0] == F.v[2])
                return fail("face ", i, " names a vertex twice (", F.v[0], ", ", F.v[1], ", ", F.v[2], ")");
            for (int k = 0; k < 3; ++k) {
                ++uses_[std::size_t(F.v[k])];
                if (F.f[k] < 0) onOpen_[std::size_t(F.v[nextK(k)])] = onOpen_[std::size_t(F.v[prevK(k)])] = 1;
            }
        }
        return true;
    }

    // No two vertices are joined by more than two faces: a load, which
    // rebuilds the links from the corners alone, refuses such a mesh. The
    // edges are bucketed by their lower vertex and each bucket sorted.
    bool edgeUses() {
        const int n = m_.vertexCount();
        std::vector<int> first(std::size_t(n) + 1, 0);
        auto ends = [&](int f, int k) {
            const MeshFace& F = m_.faces[f];
            const int a = F.v[nextK(k)], b = F.v[prevK(k)];
            return std::make_pair(std::min(a, b), std::max(a, b));
        };
        for (int i = 0; i < m_.faceCount(); ++i)
            if (m_.faces[i].isActive())
                for (int k = 0; k < 3; ++k) ++first[std::size_t(ends(i, k).first) + 1];
        for (int v = 0; v < n; ++v) first[std::size_t(v) + 1] += first[std::size_t(v)];
        std::vector<int> fill(first.begin(), first.end() - 1);
        std::vector<std::pair<int, int>> edges(std::size_t(first.back()));  // (higher vertex, face)
        for (int i = 0; i < m_.faceCount(); ++i)
            if (m_.faces[i].isActive())
                for (int k = 0; k < 3; ++k) {
                    const auto e = ends(i, k);
                    edges[std::size_t(fill[std::size_t(e.first)]++)] = {e.second, i};
                }
        for (int v = 0; v < n; ++v) {
            const auto from = edges.begin() + first[std::size_t(v)], to = edges.begin() + first[std::size_t(v) + 1];
            std::sort(from, to);
            for (auto e = from; e != to;) {
                auto run = e;
                while (run != to && run->first == e->first) ++run;
                if (run - e > 2) {
                    out_ << "edge " << v << "-" << e->first << " is run by " << (run - e) << " faces:";
                    for (; e != run; ++e) out_ << " " << e->second;
                    return false;
                }
                e = run;
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
            const int c = G.v[nextK(j)], d = G.v[prevK(j)];
            if (G.f[j] == f && ((a == c && b == d) || (a == d && b == c))) return j;
        }
        return -1;
    }

    bool faceLinks() {
        for (int i = 0; i < m_.faceCount(); ++i) {
            const MeshFace& F = m_.faces[i];
            if (!F.isActive()) continue;
            for (int k = 0; k < 3; ++k) {
                const int g = F.f[k], a = F.v[nextK(k)], b = F.v[prevK(k)];
                if (g == -1) continue;
                if (g == i || !activeFace(g))
                    return fail("face ", i, " edge ", k, " links itself, an out-of-range or inactive face ", g);
                const int j = backEdge(i, k, g);
                if (j < 0)
                    return fail("face ", i, " edge ", k, " (", a, "-", b, ") links face ", g,
                                ", which has no edge joining those vertices back to ", i);
                const MeshFace& G = m_.faces[g];
                if (F.isSharp(k) != G.isSharp(j))
                    return fail("edge ", a, "-", b, " is sharp in face ", F.isSharp(k) ? i : g, " but not in face ",
                                F.isSharp(k) ? g : i);
                if ((checks_ & CheckOrientation) && G.v[nextK(j)] != b)
                    return fail("faces ", i, " and ", g, " run their edge ", a, "-", b, " in the same direction");
            }
        }
        return true;
    }

    // Faces met by forward circling from the stored face (bounded).
    int fanSize(int v, int start) const {
        int n = 0;
        for (int f = start, step = 0; step <= m_.faceCount(); ++step) {
            const MeshFace& F = m_.faces[f];
            const int k = F.corner(v);
            if (k < 0) return n;
            ++n;
            f = F.f[nextK(k)];
            if (f < 0 || f == start) return n;
        }
        return n;
    }

    bool vertexRecords() {
        for (int v = 0; v < m_.vertexCount(); ++v) {
            const MeshVertex& r = m_.vertices[v];
            if (!r.isActive()) continue;
            const int sf = r.face, used = uses_[std::size_t(v)];
            if (sf == -1) {
                if (used > 0) return fail("vertex ", v, " has stored face -1 but ", used, " active faces use it");
                continue;
            }
            const int k = activeFace(sf) ? m_.faces[sf].corner(v) : -1;
            if (k < 0)
                return fail("vertex ", v, " stores face ", sf, ", which is inactive, out of range or does not hold it");
            const bool open = onOpen_[std::size_t(v)] != 0;
            if (r.isBorder() != open)
                return fail("vertex ", v,
                            open ? " lies on an open edge without the border bit"
                                 : " has the border bit but lies on no open edge");
            if (open && !r.isSharp()) return fail("border vertex ", v, " lacks the sharp bit");
            if (open && m_.faces[sf].f[prevK(k)] >= 0)
                return fail("border vertex ", v, " stores face ", sf, ", whose backward edge is not open");
            if ((checks_ & CheckSingleFan) && fanSize(v, sf) != used)
                return fail("vertex ", v, ": circling from stored face ", sf, " meets ", fanSize(v, sf), " of its ",
                            used, " faces");
        }
        return true;
    }

    bool sharpEnds() {
        for (int i = 0; i < m_.faceCount(); ++i) {
            const MeshFace& F = m_.faces[i];
            if (!F.isActive()) continue;
            for (int k = 0; k < 3; ++k) {
                if (!F.isSharp(k) && F.f[k] >= 0) continue;
                for (const int v : {F.v[nextK(k)], F.v[prevK(k)]})
                    if (!m_.vertices[v].isSharp())
                        return fail("vertex ", v, " ends the ", F.f[k] < 0 ? "open" : "sharp", " edge ", k, " of face ",
                                    i, " but lacks the sharp bit");
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
