// Sphere operations of qel::Mesh: the cut along the curve where a sphere
// meets the surface (whole mesh, or the component or patch of a face), the
// clip that erases what lies inside it, and the subtraction and addition
// that press the inside onto the sphere as a dent or a bump.
//
// The cut runs in stages on one SphereCutter:
// - inside marking: the selected bit (and the selected-vertex list) marks the
//   vertices strictly inside the sphere;
// - pierced edges: an edge with both ends outside that passes through the
//   sphere is split at the foot of the perpendicular from the centre, and
//   the new vertex is inside (before a press, an edge whose foot lies on
//   the sphere up to rounding only touches it and is left whole); every
//   face with ends of both kinds records its two crossing edges and the
//   points where they meet the sphere;
// - pierced faces: a face with all corners outside whose plane the sphere
//   reaches inside the triangle is split at the foot of the centre;
// - arcs: each crossed face whose part of the circle turns by more than 15
//   degrees is re-triangulated round the inner points of the arc;
// - crossing splits: every crossing edge is split on the sphere (or, where
//   the halves would not keep their face's turn, at its nearer end);
// - crease: the edges between the vertices made by the last two stages (the
//   cut curve) are marked sharp.
// Records are only appended, so indices held before a cut stay valid.
//
// Geometry is formed in double precision from the float positions; new
// positions are stored as float. Where rounding alone would decide (an edge
// through the centre of a sphere of no radius, the turn of arc points that
// round onto one another) the exact predicates decide on the points as
// given, so that the result does not depend on how the arithmetic was
// compiled. A piece of a face is judged as the face it was cut from is
// seen (its corners before the cut changed it): a sliver's own rounded
// corners can give it any plane. An edge is tested and its points computed
// from its lower-numbered end, so the two faces that share it always agree.
// A face's plane and turn are taken from its corners (its normal as the
// normal pass forms it), never from its stored normal: a stored normal
// against the turn of the corners would send an arc round the wrong way,
// outside its face, and each later cut over such fans would make more.

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/geometry.h"
#include "mesh/mesh.h"
#include "mesh/mesh_sphere_press.h"
#include "mesh/normal_math.h"
#include "mesh/plane_view.h"

namespace qel {

namespace {

constexpr double kTiny = 1e-20;                  // squared lengths at or below this are not normalised
constexpr double kArcStep = 0.2617993877991494;  // 15 degrees
constexpr double kTwoPi = 6.283185307179586;
constexpr double kCoincident = 1e-18;                // squared chord / squared radius of no arc
constexpr double kArcSlack = 1e-3;                   // how far outside its face (in radii) an arc may stray
constexpr int kMaxArcPoints = 23;                    // a turn just short of 360 degrees
constexpr int kMaxFanFaces = 2 * kMaxArcPoints + 1;  // the fans of one face
constexpr std::uint8_t kFaceMarks = MeshFace::SelectedBit | MeshFace::VisitedBit;

dvec3 unitOrSame(const dvec3& d) {
    const double l2 = dot(d, d);
    if (l2 <= kTiny) return d;
    const double l = std::sqrt(l2);
    return {d.x / l, d.y / l, d.z / l};
}

dvec3 roundedDiff(const dvec3& a, const dvec3& b) { return dvec3(vec3(a - b)); }

double squaredDistance(const vec3& p, const vec3& q) {
    const double dx = double(p.x) - q.x, dy = double(p.y) - q.y, dz = double(p.z) - q.z;
    return dx * dx + dy * dy + dz * dz;
}

// A normal the normal pass could form (of unit length, not a tiny cross
// product).
bool isUnit(const dvec3& n) { return dot(n, n) > 0.5; }

// Every point lies within the triangle p (counter-clockwise about the unit
// normal n), or outside an edge by no more than the slack.
bool withinTriangle(const dvec3* q, int count, const dvec3* p, const dvec3& n, double slack) {
    for (int k = 0; k < 3; ++k) {
        const dvec3 P = p[nextK(k)], e = p[prevK(k)] - P;
        const double limit = -slack * std::sqrt(dot(e, e));
        for (int i = 0; i < count; ++i)
            if (!(dot(cross(e, q[i] - P), n) >= limit)) return false;
    }
    return true;
}

// The three points lie on one line, as the exact predicates tell: every
// component of (b - a) x (c - a) is zero.
bool onOneLine(const dvec3& a, const dvec3& b, const dvec3& c) { return PlaneView(a, b, c).flat(); }

// A channel value in float, truncated toward zero into [lo, hi]; a NaN
// gives 0 (both ranges hold it).
long channel(float r, long lo, long hi) {
    if (std::isnan(r)) return 0;
    if (r <= float(lo)) return lo;
    if (r >= float(hi)) return hi;
    return long(r);
}

// The weighted mix (x wa + y wb) + z wc of three corner materials, channel by
// channel in float.
pbr mixMaterials(const pbr& x, const pbr& y, const pbr& z, float wa, float wb, float wc) {
    auto mix = [&](long cx, long cy, long cz) { return (float(cx) * wa + float(cy) * wb) + float(cz) * wc; };
    pbr r;
    for (int i = 0; i < 4; ++i) {
        r.colour[i] = std::uint16_t(channel(mix(x.colour[i], y.colour[i], z.colour[i]), 0, 65535));
        r.light[i] = std::uint16_t(channel(mix(x.light[i], y.light[i], z.light[i]), 0, 65535));
    }
    r.roughness = std::int16_t(channel(mix(x.roughness, y.roughness, z.roughness), pbr::SignedMin, pbr::SignedMax));
    r.metalness = std::int16_t(channel(mix(x.metalness, y.metalness, z.metalness), pbr::SignedMin, pbr::SignedMax));
    return r;
}

// One crossing edge of a crossed face: its ends in the face's order and the
// point where it meets the sphere.
struct Crossing {
    int a = -1, b = -1;
    dvec3 p;
};

// One face of the fans that replace a crossed face.
struct FanFace {
    int v[3];
    pbr m[3];
};

// The inner points of one face's arc before they are stored: the vertex
// indices they will get (from `first` on), the positions they will be
// stored at and their materials.
struct ArcPoints {
    int count = 0;
    int first = 0;
    int v[kMaxArcPoints];
    vec3 position[kMaxArcPoints];
    pbr material[kMaxArcPoints];
};

}  // namespace

// The working state of one sphere cut on a mesh.
class SphereCutter {
public:
    // scoped: the scope is the mesh's selected-face list; unitEdges: the
    // pierced-edge test on the normalised edge direction; pressed: the press
    // follows the cut.
    SphereCutter(Mesh& m, const vec3& centre, double r2, bool scoped, bool unitEdges, bool pressed = false)
        : m_(m),
          centref_(centre),
          centre_(centre),
          r2_(r2),
          r_(std::sqrt(r2)),
          sphereSpacing_(SpherePress::spacing(centre)),
          scoped_(scoped),
          unitEdges_(unitEdges),
          pressed_(pressed),
          views_(m.faceCount()) {
        // The box round the sphere, a little wider than the rounding of the
        // tests it stands in for.
        const double pad = r_ * (1.0 + 1e-6);
        for (int i = 0; i < 3; ++i) {
            low_[i] = centre_[i] - pad;
            high_[i] = centre_[i] + pad;
        }
    }

    // Marks the active vertices strictly inside (float radius, as selectV).
    void markAll(float radius) { m_.selectV(centref_, radius, true); }
    // Marks the corners of the scope faces strictly inside: every offset
    // component below the float radius, the squared distance below r2.
    void markScope(float radius);
    // The cut from the pierced edges to the crease (the marks are made).
    void run();
    // The views of the faces the cut changed and made.
    const FaceViews& views() const { return views_; }
    // The vertices of crossing splits moved onto their edge's inside end
    // (where the halves would not keep their face's turn) off the sphere:
    // they lie inside it, at that end's place.
    const std::vector<int>& splitsInside() const { return splitsInside_; }

private:
    bool inside(int v) const { return m_.vertices[v].isSelected(); }
    // All corners of F lie beyond one side of the sphere's box: no corner is
    // inside, and neither an edge nor the face can reach the sphere. Most
    // faces are passed over by this test alone.
    bool beyondBox(const MeshFace& F) const {
        const vec3& p = m_.vertices[F.v[0]].position;
        const vec3& q = m_.vertices[F.v[1]].position;
        const vec3& r = m_.vertices[F.v[2]].position;
        for (int i = 0; i < 3; ++i) {
            if (p[i] < low_[i] && q[i] < low_[i] && r[i] < low_[i]) return true;
            if (p[i] > high_[i] && q[i] > high_[i] && r[i] > high_[i]) return true;
        }
        return false;
    }
    dvec3 position(int v) const { return dvec3(m_.vertices[v].position); }
    // The unit normal of F from its corners, as the normal pass forms it
    // (a face too small to carry one keeps its tiny cross product).
    dvec3 cornerNormal(const MeshFace& F) const {
        return dvec3(triangleNormal(m_.vertices[F.v[0]].position, m_.vertices[F.v[1]].position,
                                    m_.vertices[F.v[2]].position));
    }
    int faceAt(std::size_t i) const { return scoped_ ? m_.selectedFaces[i] : int(i); }
    std::size_t faceTotal() const { return scoped_ ? m_.selectedFaces.size() : m_.faces.size(); }
    void joinScope(int f);
    // The plane view of the face f lies in: of f's corners before the cut
    // first changed it, which every face made from it keeps.
    PlaneView viewOf(int f) const;
    // Faces f and first .. first + count - 1 lie in the face seen as `view`.
    void keepView(const PlaneView& view, int f, int first, int count) { views_.keep(view, f, first, count); }

    // The foot of the perpendicular from the centre when the edge u-w
    // (both outside) passes through or touches the sphere.
    bool pierced(int u, int w, dvec3& foot) const;
    // The line through A and B, at the squared distance computed from the
    // centre (CA = centre - A), runs exactly through the centre.
    bool throughCentre(const dvec3& A, const dvec3& B, const dvec3& CA, double distance2) const;
    // Where a split of edge k of f may put its vertex: p, or the edge's end
    // nearer to it when the halves of f or of the face across, with the new
    // vertex stored at p, would turn against their face.
    vec3 splitPoint(int f, int k, const vec3& p) const;
    // The two faces that replace face g when its edge opposite corner e is
    // split at p (as stored) turn as the face g lies in, or lie on a line.
    bool halvesKeepTurn(int g, int e, const dvec3& p) const;
    // A pierced edge with its foot there only touches the sphere, as the
    // press sees it: the foot lies on the sphere up to rounding, and the
    // press would move a vertex split there by rounding alone, among
    // slivers a few float steps wide that it turns either way.
    bool touches(const dvec3& foot) const {
        return pressed_ && SpherePress::onSphere(vec3(foot), centref_, r_, sphereSpacing_);
    }
    // Where the edge u-w (one end inside) meets the sphere.
    dvec3 crossingPoint(int u, int w) const;
    // Vertex v lies on the sphere up to the rounding of the positions: its
    // distance from the centre differs from the radius by a few float
    // steps of its place, the centre's or the radius's.
    bool onSphere(int v) const;
    // Splits edge k of f at p; the new faces join the scope (the half of f
    // when f is in it, the half of the face across when that one is).
    int splitEdge(int f, int k, const vec3& p);

    // Steps through the faces (or the scope); the first n0 entries that
    // can reach the sphere go to near_ for pierceFaces.
    void pierceEdges(std::size_t n0);
    void recordCrossings(int f);
    void pierceFaces();
    void cutArcs();
    void cutArc(std::size_t j);
    // Inner arc points of the crossed face's circle part, q[0] next to a-b
    // (n the face's normal).
    int arcPoints(const MeshFace& F, const dvec3& n, int m, std::size_t j, dvec3* q) const;
    pbr arcMaterial(const dvec3& p, const dvec3& a, const dvec3& b, const dvec3& c, const MeshFace& F, int m) const;
    // The stored position of vertex v, or of one of the arc's points that
    // are yet to be stored.
    dvec3 position(int v, const ArcPoints& arc) const {
        return dvec3(v >= arc.first ? arc.position[v - arc.first] : m_.vertices[v].position);
    }
    // Plans into `fan` the fans that replace the crossed face F (odd corner
    // m) round the arc's points; returns their number.
    int planFans(const MeshFace& F, int m, const ArcPoints& arc, const PlaneView& view, FanFace* fan) const;
    // Writes the fans over the face's slot and after the last face, links
    // them and updates the vertices (the arc points are qv .. qv + arcs - 1).
    void writeFans(int f, const MeshFace& F, int m, const FanFace* fan, int count, int qv, int arcs);
    void splitCrossings();
    void crease();

    Mesh& m_;
    const vec3 centref_;
    const dvec3 centre_;
    const double r2_;
    const double r_;             // the radius
    const float sphereSpacing_;  // float spacing at the centre's place
    const bool scoped_, unitEdges_, pressed_;
    double low_[3], high_[3];               // the box round the sphere
    std::vector<std::size_t> near_;         // entries not beyond the box
    std::vector<int> crossed_;              // faces the curve crosses
    std::vector<Crossing> first_, second_;  // their two crossing edges
    std::vector<int> splitsInside_;
    FaceViews views_;
    int nf_ = 0, nv_ = 0;  // counts after the pierced faces
};

void SphereCutter::markScope(float radius) {
    const std::vector<int>& scope = m_.selectedFaces;
    for (std::size_t i = 0; i < scope.size(); ++i)
        for (const int v : m_.faces[scope[i]].v) {
            if (!m_.validVertex(v) || inside(v)) continue;
            const vec3 d = m_.vertices[v].position - centref_;
            if (!(std::fabs(d.x) < radius && std::fabs(d.y) < radius && std::fabs(d.z) < radius)) continue;
            if (dot(d, d) < r2_) m_.appendSelectedVertex(v);
        }
}

PlaneView SphereCutter::viewOf(int f) const {
    const MeshFace& F = m_.faces[f];
    const dvec3 corners[3] = {position(F.v[0]), position(F.v[1]), position(F.v[2])};
    return views_.of(f, corners);
}

void SphereCutter::joinScope(int f) {
    MeshFace& F = m_.faces[f];
    F.flags = std::uint8_t((F.flags & ~kFaceMarks) | MeshFace::SelectedBit);
    m_.selectedFaces.push_back(f);
}

bool SphereCutter::pierced(int u, int w, dvec3& foot) const {
    if (w < u) std::swap(u, w);
    const dvec3 A = position(u), B = position(w);
    const dvec3 CA = centre_ - A;
    dvec3 d = B - A, g;
    double distance2;
    if (unitEdges_) {
        d = unitOrSame(d);
        const double t = dot(CA, d);
        if (!(t > 0 && dot(centre_ - B, d) < 0)) return false;
        g = d * t;
        distance2 = dot(CA, CA) - t * t;
    } else {
        const double s = dot(CA, d);
        if (!(s > 0 && dot(centre_ - B, d) < 0)) return false;
        g = d * (s / dot(d, d));
        distance2 = dot(CA, CA) - dot(g, g);
    }
    // A line through the centre is its own foot, at no distance.
    if (throughCentre(A, B, CA, distance2)) {
        foot = centre_;
        return true;
    }
    if (!(r2_ > 0 && distance2 <= r2_)) return false;
    foot = A + g;
    return true;
}

bool SphereCutter::throughCentre(const dvec3& A, const dvec3& B, const dvec3& CA, double distance2) const {
    // The squared distance is a difference of two nearly equal squares
    // where the line runs through the centre: its sign and size there are
    // rounding alone (a few units of the last place of |CA|^2), and how the
    // arithmetic was compiled would decide whether a sphere of no radius on
    // an edge splits it, and where. Within a wide bound of that rounding
    // the exact predicates tell.
    return distance2 <= 1e-12 * dot(CA, CA) && onOneLine(A, B, centre_);
}

dvec3 SphereCutter::crossingPoint(int u, int w) const {
    // An end lying on the sphere up to rounding is where the edge meets it:
    // the outside end (the edge runs inside the sphere from there), else
    // the inside end where the edge leaves the sphere from it (not where it
    // runs through the sphere to meet it beyond). The point worked out
    // would lie a few float steps off that end, or farther along an edge
    // that leaves it nearly along the sphere, and the faces between the two
    // (and the pieces of faces across a sharp edge that meet them there)
    // would be slivers turned either way by rounding alone, which a press
    // opens. Split at the end itself, they have no area.
    const int out = inside(u) ? w : u, in = inside(u) ? u : w;
    if (onSphere(out)) return position(out);
    if (onSphere(in) && dot(position(out) - position(in), position(in) - centre_) >= 0) return position(in);
    if (w < u) std::swap(u, w);
    const dvec3 A = position(u), B = position(w);
    const dvec3 AB = B - A;
    const double l2 = dot(AB, AB);
    const dvec3 d = unitOrSame(AB);
    const dvec3 CA = centre_ - A;
    const double t = dot(CA, d);
    const bool through = throughCentre(A, B, CA, dot(CA, CA) - t * t);
    // The inside mark uses a float radius: a vertex marked inside can lie a
    // rounding error beyond the sphere, so the radicand is kept at 0 or more.
    double h = std::sqrt(std::max(0.0, r2_ - (through ? 0.0 : dot(CA, CA) - t * t)));
    if (!inside(u)) h = -h;
    // Such a vertex, or a split vertex rounded onto the sphere, can put the
    // point beyond an end of a short edge; it is kept on the edge, which
    // the sphere crosses between its inside and its outside end.
    const double x = std::clamp(t + h, 0.0, l2 > kTiny ? std::sqrt(l2) : 1.0);
    // On a line through the centre the point is measured from the centre:
    // a sphere of no radius crosses the edge at its centre exactly (an end
    // of the edge, where a clamp of t rounded past it would stray).
    if (!through) return A + d * x;
    return h == 0 ? centre_ : centre_ + d * (x - t);
}

bool SphereCutter::onSphere(int v) const {
    return SpherePress::onSphere(m_.vertices[v].position, centref_, r_, sphereSpacing_);
}

bool SphereCutter::halvesKeepTurn(int g, int e, const dvec3& p) const {
    const MeshFace& G = m_.faces[g];
    const dvec3 o = position(G.v[e]), from = position(G.v[nextK(e)]), to = position(G.v[prevK(e)]);
    const PlaneView view = viewOf(g);
    // A flat face keeps no turn, and its halves none either when p lies on
    // its line; elsewhere they turn both ways.
    if (view.flat()) return onOneLine(from, to, p);
    return view.turn(o, from, p) >= 0 && view.turn(o, p, to) >= 0;
}

vec3 SphereCutter::splitPoint(int f, int k, const vec3& p) const {
    // A point a few rounding errors from an end can be stored across the
    // line to the opposite corner, or beside a face of no area that an
    // earlier such split made; at an end the halves are the face and a
    // face of no area.
    const MeshFace& F = m_.faces[f];
    const int a = F.v[nextK(k)], b = F.v[prevK(k)];
    bool keeps = halvesKeepTurn(f, k, dvec3(p));
    const int g = m_.link(F, k);
    if (keeps && g >= 0) {
        const MeshFace& G = m_.faces[g];
        for (int e = 0; e < 3; ++e)
            if (G.v[e] != a && G.v[e] != b) keeps = halvesKeepTurn(g, e, dvec3(p));
    }
    if (keeps) return p;
    const vec3 &pa = m_.vertices[a].position, &pb = m_.vertices[b].position;
    return squaredDistance(p, pa) <= squaredDistance(p, pb) ? pa : pb;
}

int SphereCutter::splitEdge(int f, int k, const vec3& p) {
    const vec3 at = splitPoint(f, k, p);
    const int g = m_.link(m_.faces[f], k);
    const bool fInScope = (m_.faces[f].flags & kFaceMarks) != 0;
    const bool gInScope = g >= 0 && (m_.faces[g].flags & kFaceMarks) != 0;
    const PlaneView fView = viewOf(f), gView = g >= 0 ? viewOf(g) : fView;
    const int first = m_.faceCount();
    const int w = m_.edgeSplitFK(f, k, at);
    if (w < 0) return w;
    // The half of f comes first, then the half of the face across.
    keepView(fView, f, first, 1);
    if (g >= 0 && first + 1 < m_.faceCount()) keepView(gView, g, first + 1, 1);
    if (!scoped_) return w;
    if (fInScope && first < m_.faceCount()) joinScope(first);
    if (gInScope && first + 1 < m_.faceCount()) joinScope(first + 1);
    return w;
}

void SphereCutter::run() {
    const std::size_t n0 = faceTotal();
    pierceEdges(n0);
    pierceFaces();
    nf_ = m_.faceCount();
    nv_ = m_.vertexCount();
    cutArcs();
    splitCrossings();
    crease();
}

void SphereCutter::pierceEdges(std::size_t n0) {
    for (std::size_t i = 0; i < faceTotal(); ++i) {
        const int f = faceAt(i);
        {
            // A face beyond the box is not changed by the splits of this
            // step either (its edges cannot be pierced).
            const MeshFace& F = m_.faces[f];
            if (!F.isActive() || beyondBox(F)) continue;
            if (i < n0) near_.push_back(i);
            if (inside(F.v[0]) && inside(F.v[1]) && inside(F.v[2])) continue;
        }
        // Split the first pierced edge and look at the face again, until no
        // edge of it is pierced.
        for (int k = 0; k < 3;) {
            const MeshFace& F = m_.faces[f];
            const int a = F.v[nextK(k)], b = F.v[prevK(k)];
            dvec3 foot;
            if (inside(a) || inside(b) || !pierced(a, b, foot) || touches(foot)) {
                ++k;
                continue;
            }
            const int w = splitEdge(f, k, vec3(foot));
            if (w < 0) {
                ++k;
                continue;
            }
            m_.appendSelectedVertex(w);
            k = 0;
        }
        recordCrossings(f);
    }
}

void SphereCutter::recordCrossings(int f) {
    const MeshFace& F = m_.faces[f];
    Crossing found[2];
    int n = 0;
    for (int k = 0; k < 3 && n < 2; ++k) {
        const int a = F.v[nextK(k)], b = F.v[prevK(k)];
        if (inside(a) == inside(b)) continue;
        found[n++] = {a, b, crossingPoint(a, b)};
    }
    if (n < 2) return;
    crossed_.push_back(f);
    first_.push_back(found[0]);
    second_.push_back(found[1]);
}

void SphereCutter::pierceFaces() {
    const double r = r_;
    for (const std::size_t i : near_) {
        const int f = faceAt(i);
        const MeshFace& F = m_.faces[f];
        if (!F.isActive() || inside(F.v[0]) || inside(F.v[1]) || inside(F.v[2])) continue;
        const dvec3 n = cornerNormal(F);
        if (!isUnit(n)) continue;  // no plane to find the foot in
        const dvec3 p[3] = {position(F.v[0]), position(F.v[1]), position(F.v[2])};
        const double delta = dot(centre_ - p[0], n);
        if (!(std::fabs(delta) <= r)) continue;
        bool within = true;
        for (int k = 0; k < 3 && within; ++k)
            within = dot(cross(roundedDiff(p[k], centre_), roundedDiff(p[nextK(k)], centre_)), n) > 0;
        if (!within) continue;
        // The foot as stored can round across an edge of a face turned off
        // the axis planes: the piece on that edge would turn against the
        // face.
        const vec3 at(centre_ - n * delta);
        const PlaneView view = viewOf(f);
        bool keeps = true;
        for (int k = 0; k < 3 && keeps; ++k) keeps = view.turn(p[k], p[nextK(k)], dvec3(at)) >= 0;
        if (!keeps) continue;
        const int first = m_.faceCount();
        const int w = m_.faceSplit(f, at);
        if (w < 0) continue;
        keepView(view, f, first, 2);
        m_.appendSelectedVertex(w);
        if (scoped_) {
            joinScope(first);
            joinScope(first + 1);
        }
        recordCrossings(f);
        recordCrossings(first);
        recordCrossings(first + 1);
    }
}

void SphereCutter::cutArcs() {
    for (std::size_t j = 0; j < crossed_.size(); ++j) cutArc(j);
    if (!scoped_) return;
    for (int f = nf_; f < m_.faceCount(); ++f) joinScope(f);
}

int SphereCutter::arcPoints(const MeshFace& F, const dvec3& n, int m, std::size_t j, dvec3* q) const {
    const int a = F.v[m], b = F.v[nextK(m)];
    const Crossing& x = first_[j];
    const bool firstIsAB = (x.a == a && x.b == b) || (x.a == b && x.b == a);
    const dvec3 pab = firstIsAB ? x.p : second_[j].p;
    const dvec3 pac = firstIsAB ? second_[j].p : x.p;

    // A face too small to carry a normal has no plane for a circle: it is
    // cut along the chord.
    if (!isUnit(n)) return 0;
    // The circle in the face's plane: centre Q, radius rho, from pab round
    // the odd corner to pac.
    const dvec3 Q = centre_ - n * dot(centre_ - position(a), n);
    const dvec3 u = pab - Q;
    const double rho = std::sqrt(dot(u, u));
    dvec3 e = cross(n, dvec3(vec3(u)));
    if (!inside(a)) e = e * -1.0;
    // Crossing points that coincide (an edge touching the sphere, a face of
    // no area) span no arc: rounding alone would choose between none and a
    // full circle running outside the face.
    const dvec3 chord = pac - pab;
    if (dot(chord, chord) <= kCoincident * rho * rho) return 0;
    const dvec3 uh = unitOrSame(u), eh = unitOrSame(e), vh = unitOrSame(pac - Q);
    double phi = std::atan2(dot(eh, vh), dot(uh, vh));
    if (phi < 0) phi += kTwoPi;
    if (!(phi > kArcStep)) return 0;  // a straight chord (also for a NaN turn)
    const int s = std::min(kMaxArcPoints + 1, int(phi / kArcStep + 1.0));
    for (int i = 1; i < s; ++i) {
        const double angle = i * phi / s;
        q[i - 1] = Q + (uh * std::cos(angle) + eh * std::sin(angle)) * rho;
    }
    // The circle meets the face's rim at the two crossing points alone
    // (every edge through the sphere was split), so the arc between them
    // inside the face is one of the circle's two parts and the other lies
    // outside it. Where the points nearly coincide rounding can choose the
    // outer part, a turn of almost a full circle; the face is then cut along
    // the chord, as the inner part turns by less than a step.
    const dvec3 corners[3] = {position(F.v[0]), position(F.v[1]), position(F.v[2])};
    if (!withinTriangle(q, s - 1, corners, n, kArcSlack * rho)) return 0;
    return s - 1;
}

pbr SphereCutter::arcMaterial(const dvec3& p, const dvec3& a, const dvec3& b, const dvec3& c, const MeshFace& F,
                              int m) const {
    const dvec3 ac = roundedDiff(a, c), bc = roundedDiff(b, c), pc = roundedDiff(p, c);
    const dvec3 D = cross(ac, bc);
    const int k = (std::fabs(D.y) > std::fabs(D.x) && std::fabs(D.y) > std::fabs(D.z)) ? 1
                  : std::fabs(D.x) > std::fabs(D.z)                                    ? 0
                                                                                       : 2;
    float wa = 1.0f / 3.0f, wb = wa, wc = wa;
    // A face of zero area has no barycentric weights: its corners count
    // equally. So do weights that overflow.
    if (D[k] != 0) {
        const double la = cross(pc, bc)[k] / D[k], lb = cross(ac, pc)[k] / D[k];
        const float fa = float(la), fb = float(lb), fc = float(1.0 - la - lb);
        if (std::isfinite(fa) && std::isfinite(fb) && std::isfinite(fc)) {
            wa = fa;
            wb = fb;
            wc = fc;
        }
    }
    return mixMaterials(F.material[m], F.material[nextK(m)], F.material[prevK(m)], wa, wb, wc);
}

int SphereCutter::planFans(const MeshFace& F, int m, const ArcPoints& arc, const PlaneView& view, FanFace* fan) const {
    const int a = F.v[m], b = F.v[nextK(m)], c = F.v[prevK(m)];
    const pbr ma = F.material[m], mb = F.material[nextK(m)], mc = F.material[prevK(m)];
    const int* qv = arc.v;
    const pbr* qm = arc.material;
    const int count = arc.count;
    // The inner fan round a; the outer fan from b, switching to c (through
    // the transition face q_i, b, c) where b would see an arc step turned
    // against the face. The turn is taken exactly from the positions
    // the arc points will be stored at: where they round onto or across one
    // another it is a few rounding errors, whose sign must be that of the
    // faces written, not what the arithmetic on the unrounded points made
    // of it.
    int n = 0;
    fan[n++] = {{a, b, qv[0]}, {ma, mb, qm[0]}};
    bool apexB = true;
    for (int i = 0; i + 1 < count; ++i) {
        if (apexB && view.turn(position(b, arc), position(qv[i + 1], arc), position(qv[i], arc)) < 0) {
            fan[n++] = {{qv[i], b, c}, {qm[i], mb, mc}};
            apexB = false;
        }
        fan[n++] = {{a, qv[i], qv[i + 1]}, {ma, qm[i], qm[i + 1]}};
        if (apexB)
            fan[n++] = {{b, qv[i + 1], qv[i]}, {mb, qm[i + 1], qm[i]}};
        else
            fan[n++] = {{c, qv[i + 1], qv[i]}, {mc, qm[i + 1], qm[i]}};
    }
    fan[n++] = {{a, qv[count - 1], c}, {ma, qm[count - 1], mc}};
    if (apexB) fan[n++] = {{b, c, qv[count - 1]}, {mb, mc, qm[count - 1]}};
    return n;
}

void SphereCutter::cutArc(std::size_t j) {
    const int f = crossed_[j];
    if (!m_.activeFace(f)) return;
    const MeshFace F = m_.faces[f];
    const bool in0 = inside(F.v[0]), in1 = inside(F.v[1]), in2 = inside(F.v[2]);
    if (in0 == in1 && in1 == in2) return;
    const int m = in0 == in1 ? 2 : in0 == in2 ? 1 : 0;  // the odd corner
    dvec3 q[kMaxArcPoints];
    const dvec3 normal = cornerNormal(F);
    ArcPoints arc;
    arc.count = arcPoints(F, normal, m, j, q);
    if (arc.count == 0) return;

    // The arc points get the next vertex indices; the fans are planned on
    // the positions they will be stored at.
    const dvec3 pa = position(F.v[m]), pb = position(F.v[nextK(m)]), pc = position(F.v[prevK(m)]);
    arc.first = m_.vertexCount();
    for (int i = 0; i < arc.count; ++i) {
        arc.v[i] = arc.first + i;
        arc.position[i] = vec3(q[i]);
        arc.material[i] = arcMaterial(q[i], pa, pb, pc, F, m);
    }
    const PlaneView view = viewOf(f);
    FanFace fan[kMaxFanFaces];
    const int n = planFans(F, m, arc, view, fan);
    // Where the arc is no larger than the rounding of the positions, its
    // points can land across one another or across the face's rim: a fan
    // face turned against the face would fold over its neighbours. The face
    // is then cut along the chord.
    for (int t = 0; t < n; ++t) {
        const int* v = fan[t].v;
        if (view.turn(position(v[0], arc), position(v[1], arc), position(v[2], arc)) < 0) return;
    }
    for (int i = 0; i < arc.count; ++i) m_.vertexAdd(MeshVertex(arc.position[i], -1, MeshVertex::ActiveBit));
    keepView(view, f, m_.faceCount(), n - 1);
    writeFans(f, F, m, fan, n, arc.first, arc.count);
}

void SphereCutter::writeFans(int f, const MeshFace& F, int m, const FanFace* fan, int count, int qv, int arcs) {
    const int a = F.v[m], b = F.v[nextK(m)], c = F.v[prevK(m)];
    const int base = m_.faceCount();
    auto index = [&](int t) { return t == 0 ? f : base + t - 1; };
    // The edges of the replaced face: a-b (edge m+2), b-c (edge m), c-a
    // (edge m+1).
    const int oldEdge[3][2] = {{a, b}, {b, c}, {c, a}};
    const int oldK[3] = {prevK(m), m, nextK(m)};
    int holder[3] = {f, -1, -1};  // the new face holding each old edge

    for (int t = 0; t < count; ++t) {
        MeshFace R(fan[t].v[0], fan[t].v[1], fan[t].v[2]);
        R.normal = F.normal;
        for (int i = 0; i < 3; ++i) R.material[i] = pbr::Clamped(fan[t].m[i]);
        if (scoped_ && t == 0) R.flags = std::uint8_t(R.flags | MeshFace::SelectedBit);
        for (int e = 0; e < 3; ++e) {
            const int x = R.v[nextK(e)], y = R.v[prevK(e)];
            int link = -1;
            bool matched = false;
            for (int o = 0; o < 3 && !matched; ++o) {
                if (!((x == oldEdge[o][0] && y == oldEdge[o][1]) || (x == oldEdge[o][1] && y == oldEdge[o][0])))
                    continue;
                matched = true;
                link = m_.link(F, oldK[o]);
                R.setSharp(e, F.isSharp(oldK[o]));
                holder[o] = index(t);
            }
            // An inner edge: the fan face running it the other way.
            for (int u = 0; u < count && !matched; ++u) {
                if (u == t) continue;
                const int* w = fan[u].v;
                for (int g = 0; g < 3; ++g)
                    if (w[nextK(g)] == y && w[prevK(g)] == x) {
                        link = index(u);
                        matched = true;
                        break;
                    }
            }
            R.f[e] = link;
        }
        if (t == 0)
            m_.faces[f] = R;
        else
            m_.faceAdd(R);
    }
    for (int o = 1; o < 3; ++o) {
        const int g = m_.link(F, oldK[o]);
        if (g >= 0 && holder[o] >= 0) m_.relinkEdge(g, f, holder[o], oldEdge[o][0], oldEdge[o][1]);
    }
    if (holder[1] >= 0) m_.vertices[c].face = holder[1];
    for (int t = 0; t < count; ++t)
        for (const int v : fan[t].v)
            if (m_.vertices[v].face < 0) m_.vertices[v].face = index(t);
    m_.vertexUpdate(a);
    m_.vertexUpdate(b);
    m_.vertexUpdate(c);
    for (int i = 0; i < arcs; ++i) m_.vertexUpdate(qv + i);
}

void SphereCutter::splitCrossings() {
    for (const std::vector<Crossing>* list : {&first_, &second_})
        for (const Crossing& x : *list) {
            int f = -1, k = -1;
            if (!m_.findEdge(x.a, x.b, f, k)) continue;  // split already through the other face
            const int w = splitEdge(f, k, vec3(x.p));
            if (w < 0) continue;
            if (m_.vertices[w].position == m_.vertices[inside(x.a) ? x.a : x.b].position && !onSphere(w))
                splitsInside_.push_back(w);
            const MeshFace& F = m_.faces[f];
            if (F.isSharp(k) || m_.link(F, k) < 0)
                m_.vertices[w].flags =
                    std::uint8_t(m_.vertices[w].flags | MeshVertex::SharpBit | MeshVertex::CornerBit);
        }
}

void SphereCutter::crease() {
    auto creaseFace = [&](int f) {
        if (!m_.activeFace(f)) return;
        for (const int e : {0, 1, 2}) {
            const MeshFace& F = m_.faces[f];
            if (F.v[nextK(e)] >= nv_ && F.v[prevK(e)] >= nv_ && !F.isSharp(e)) m_.edgeSharpFK(f, e, true);
        }
    };
    if (scoped_) {
        for (std::size_t i = 0; i < m_.selectedFaces.size(); ++i) creaseFace(m_.selectedFaces[i]);
    } else {
        for (int f = nf_; f < m_.faceCount(); ++f) creaseFace(f);
    }
}

// ---------------------------------------------------------------------------
// The operations

namespace {

enum SphereCutMode { SphereScoped = 1, SpherePatch = 2, SphereUnitEdges = 4 };

// The cut with the inside marks left for the caller: over the whole mesh or,
// scoped, the patch or component of the face picked from surfacePoint; unit
// edges: the pierced-edge test on the normalised edge.
void sphereCut(Mesh& m, const vec3& centre, double r2, const vec3& surfacePoint, int face, int mode) {
    const bool scoped = (mode & SphereScoped) != 0;
    SphereCutter cut(m, centre, r2, scoped, (mode & SphereUnitEdges) != 0);
    const float radius = float(std::sqrt(r2));
    if (!scoped) {
        cut.markAll(radius);
        cut.run();
        return;
    }
    m.deselectAll();
    if (mode & SpherePatch)
        m.selectF_(surfacePoint, true, face);
    else
        m.selectF(surfacePoint, true, face);
    if (m.selectedFaces.empty()) return;
    cut.markScope(radius);
    cut.run();
}

// The vertices made since the count was `first`: every face a cut made or
// changed, and every crease it marked, holds one of them.
std::vector<int> madeSince(const Mesh& m, int first) {
    std::vector<int> made;
    for (int v = first; v < m.vertexCount(); ++v) made.push_back(v);
    return made;
}

// The normals after a cut: the face and corner normals round what it made
// (the splits and fans copy the normal of the face they replace, which
// rounding, or a fan's arc, can leave against their own corners), or the
// corner normals alone when it made nothing, as they always were.
void normalsAfterCut(Mesh& m, int first) {
    if (m.vertexCount() == first)
        m.calculateNormals(1);
    else
        m.calculateNormalsRound(madeSince(m, first), true);
}

// Erases the faces round the inside vertices (listedOnly: the faces of the
// selected-face list touching one), then deselects, compacts and recomputes
// the face and corner normals (the faces the cut made hold copied ones).
void sphereErase(Mesh& m, bool listedOnly) {
    std::vector<int> fan;
    if (!listedOnly) {
        // Every face round an inside vertex, each once.
        for (std::size_t i = 0; i < m.selectedVertices.size(); ++i) {
            m.findFNeighbours(m.selectedVertices[i], fan);
            for (const int f : fan) {
                MeshFace& F = m.faces[f];
                if (F.flags & (MeshFace::SelectedBit | MeshFace::VisitedBit)) continue;
                F.flags = std::uint8_t(F.flags | MeshFace::SelectedBit);
                m.selectedFaces.push_back(f);
            }
        }
    }
    const int firstCopy = m.vertexCount();
    for (std::size_t i = 0; i < m.selectedFaces.size(); ++i) {
        const int f = m.selectedFaces[i];
        if (!m.activeFace(f)) continue;
        const MeshFace& F = m.faces[f];
        if (listedOnly && !m.vertices[F.v[0]].isSelected() && !m.vertices[F.v[1]].isSelected() &&
            !m.vertices[F.v[2]].isSelected())
            continue;
        m.faceErase(f);
    }
    // An erase that splits an open fan copies the vertex record, selection
    // included; the copies are not on the list that deselectAll clears.
    for (int v = firstCopy; v < m.vertexCount(); ++v) {
        MeshVertex& r = m.vertices[v];
        r.flags = std::uint8_t(r.flags & ~MeshVertex::SelectedBit);
        r.selection = -1;
    }
    m.deselectAll();
    m.removeInactive(false);
    m.calculateNormals(2);
}

}  // namespace

void Mesh::cutSphere(const vec3& centre, const vec3& surfacePoint) {
    topologyEdited();
    const int first = vertexCount();
    sphereCut(*this, centre, squaredDistance(centre, surfacePoint), surfacePoint, -1, SphereUnitEdges);
    deselectAll();
    normalsAfterCut(*this, first);
}

void Mesh::cutSphereF(const vec3& centre, const vec3& surfacePoint, int face, bool patch) {
    topologyEdited();
    const int first = vertexCount();
    sphereCut(*this, centre, squaredDistance(centre, surfacePoint), surfacePoint, face,
              SphereScoped | (patch ? SpherePatch : 0));
    deselectAll();
    normalsAfterCut(*this, first);
}

void Mesh::clipSphere(const vec3& centre, const vec3& surfacePoint) {
    topologyEdited();
    sphereCut(*this, centre, squaredDistance(centre, surfacePoint), surfacePoint, -1, 0);
    sphereErase(*this, false);
}

void Mesh::clipSphereF(const vec3& centre, const vec3& surfacePoint, int face, bool patch) {
    topologyEdited();
    sphereCut(*this, centre, squaredDistance(centre, surfacePoint), surfacePoint, face,
              SphereScoped | (patch ? SpherePatch : 0));
    sphereErase(*this, true);
}

void Mesh::subSphere(const vec3& point, const vec3& normal, const vec3& rimPoint, bool add, const pbr& material) {
    topologyEdited();
    // The centre lies a third of the stroke below the surface for a bump,
    // above it for a dent; the sphere passes through the rim point.
    const float h = float((add ? 1.0 : -1.0) * std::sqrt(squaredDistance(point, rimPoint)) / 3.0);
    const vec3 o = point - normal * h;
    const double r2 = squaredDistance(o, rimPoint);
    const float radius = float(std::sqrt(r2));
    const int first = vertexCount();
    SphereCutter cut(*this, o, r2, false, false, true);
    cut.markAll(radius);
    cut.run();
    // A crossing split moved onto its edge's inside end, off the sphere, is
    // pressed with that end.
    for (const int w : cut.splitsInside()) appendSelectedVertex(w);
    std::vector<int> touched = madeSince(*this, first);
    SpherePress(*this, o, radius, add, cut.views()).run(material, touched);
    if (!selectedVertices.empty()) positionsEdited();
    deselectAll();
    // What the cut made and every pressed vertex: the faces they changed,
    // the edges they cleared and the faces painted all hold one of them.
    if (touched.empty())
        calculateNormals(2);
    else
        calculateNormalsRound(touched);
}

}  // namespace qel
