// qel::Mesh::findFirstFace: the face
// picked for a point on or near the mesh surface.

#include <limits>

#include "mesh/mesh.h"

namespace qel {

namespace {
struct D3 {
    double x, y, z;
};
inline D3 sub(const vec3& a, const vec3& b) {
    return {double(a.x) - double(b.x), double(a.y) - double(b.y), double(a.z) - double(b.z)};
}
inline D3 crossD(const D3& a, const D3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double dotD(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
}  // namespace

int Mesh::findFirstFace(const vec3& point, const vec3& /*second: not read*/) const {
    // 1. The nearest face (distance to its plane) among the active faces with
    //    a non-zero normal whose normal prism holds the point. The prism test
    //    keeps a point on the edges from corner 0 to 1 and 1 to 2 and leaves
    //    out a point exactly on the edge from corner 2 to corner 0.
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    const std::size_t nF = faces.size();
    const std::size_t nV = vertices.size();
    faces.forRange(0, nF, [&, i = std::size_t(0)](const MeshFace& F) mutable {
        const std::size_t index = i++;
        if (!F.isActive() || isZero(F.normal)) return;
        for (int k = 0; k < 3; ++k)
            if (F.v[k] < 0 || std::size_t(F.v[k]) >= nV) return;
        const D3 n{F.normal.x, F.normal.y, F.normal.z};
        const D3 p0 = sub(vertices[F.v[0]].position, point);
        const D3 p1 = sub(vertices[F.v[1]].position, point);
        const D3 p2 = sub(vertices[F.v[2]].position, point);
        const double s0 = dotD(n, crossD(p1, p2));
        const double s1 = dotD(n, crossD(p0, p1));
        const double s2 = dotD(n, crossD(p2, p0));
        if (!(s0 >= 0.0 && s1 >= 0.0 && s2 > 0.0)) return;
        const double d = std::fabs(dotD(n, p0));
        if (d < bestDistance) {  // a later face only when strictly nearer
            bestDistance = d;
            best = int(index);
        }
    });
    if (best >= 0) return best;

    // 2. The stored face of the nearest active vertex (the first of equals).
    //    Vertices whose stored face is not an active face of the mesh are
    //    passed over, so that the result can always start a walk.
    int nearestFace = -1;
    double bestSquared = std::numeric_limits<double>::infinity();
    vertices.forRange(0, nV, [&](const MeshVertex& r) {
        if (!r.isActive() || !activeFace(r.face)) return;
        const D3 d = sub(r.position, point);
        const double q = dotD(d, d);
        if (q < bestSquared) {
            bestSquared = q;
            nearestFace = r.face;
        }
    });
    return nearestFace;
}

}  // namespace qel
