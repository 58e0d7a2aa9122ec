#include "view/stroke_curve.h"

#include <cmath>
#include <string>

namespace qel {

namespace {

constexpr double TwoPi = 6.283185307179586;
constexpr int FillSteps = 20;    // a filled segment gets FillSteps - 1 inner points
constexpr int ClosedSteps = 32;  // steps of a closed two-point shape

enum Kind : char { Free = 'f', Sharp = 's', Arc = 'a', Bow = 'b' };

char kindLetter(std::uint32_t kind) {
    switch (kind) {
        case 1:
            return Sharp;
        case 2:
            return Arc;
        case 3:
            return Bow;
        default:
            return Free;  // a kind the drawing never sets counts as a free point
    }
}

dvec3 unit(const dvec3& v) {
    const double l2 = dot(v, v);
    return l2 > 1e-20 ? v * (1.0 / std::sqrt(l2)) : v;
}

// The weight of the end point in the cubic blend of the curve radii:
// 3t^2(1 - t) + t^3; the start keeps the rest.
float blendRadius(float r0, float r1, double t) {
    const double w1 = 3.0 * t * t * (1.0 - t) + t * t * t;
    return float((1.0 - w1) * r0 + w1 * r1);
}

vec3 cubicPoint(const dvec3& p0, const dvec3& c1, const dvec3& c2, const dvec3& p1, double t) {
    const double s = 1.0 - t;
    return vec3(p0 * (s * s * s) + c1 * (3.0 * t * s * s) + c2 * (3.0 * t * t * s) + p1 * (t * t * t));
}

void add(CurveLists& out, const vec3& p, float r, bool sharp) {
    out.points.push_back(p);
    out.radii.push_back(r);
    out.sharp.push_back(sharp);
}

// ---- Closed two-point shapes ----

// p0, the midpoint, p1, the midpoint, p0: a flat loop with sharp ends.
void appendFlatLoop(const SBrush& a, const SBrush& b, CurveLists& out) {
    const vec3 m = (a.point + b.point) * 0.5f;
    const float rm = (a.radius + b.radius) * 0.5f;
    const vec3 zero(0, 0, 0);
    const vec3 pts[5] = {a.point, m, b.point, m, a.point};
    const float rs[5] = {a.radius, rm, b.radius, rm, a.radius};
    const vec3 ns[5] = {a.normal, zero, b.normal, zero, a.normal};
    for (int i = 0; i < 5; ++i) {
        add(out, pts[i], rs[i], i % 2 == 0);
        out.normals.push_back(ns[i]);
    }
}

// A cubic bow from p0 to p1 bulging a quarter turn to the side in the x-y
// plane; a sharp end pulls its inner control point along the chord.
void appendBow(const SBrush& a, const SBrush& b, bool sharpStart, bool sharpEnd, CurveLists& out) {
    const dvec3 p0(a.point), p1(b.point);
    const dvec3 d = (p1 - p0) * 0.4;
    const dvec3 q(-d.y, d.x, 0.0);
    dvec3 c1 = p0 + q, c2 = p1 + q;
    if (sharpStart) c1 = c1 + d;
    if (sharpEnd) c2 = c2 - d;
    for (int i = 0; i <= ClosedSteps; ++i) {
        const double t = double(i) / ClosedSteps;
        add(out, cubicPoint(p0, c1, c2, p1, t), blendRadius(a.radius, b.radius, t),
            (i == 0 && sharpStart) || (i == ClosedSteps && sharpEnd));
        out.normals.push_back(i == 0 ? a.normal : vec3(0, 0, 0));
    }
}

// Half of the circle on the diameter from a to b: the points from a up to
// (not including) b, turning from u = unit(a - m) towards w.
void appendHalfCircle(const dvec3& a, const dvec3& b, const dvec3& m, double radius, const dvec3& u, const dvec3& w,
                      float ra, float rb, bool sharpStart, CurveLists& out) {
    const dvec3 e = b - m;
    double angle = std::atan2(dot(e, w), dot(e, u));
    if (angle < 0.0) angle += TwoPi;
    const double step = angle / ClosedSteps;
    for (int k = 0; k < ClosedSteps; ++k) {
        const double c = std::cos(k * step), s = std::sin(k * step);
        const vec3 p = k == 0 ? vec3(a) : vec3(m + (u * c + w * s) * radius);
        add(out, p, blendRadius(ra, rb, double(k) / ClosedSteps), k == 0 && sharpStart);
    }
}

// The full circle with the segment p0 p1 as diameter, p0 first and p1 at
// index 32. Its plane holds the segment and the horizontal direction at
// right angles to it, so the circle runs through both points at any depth.
void appendDiameterCircle(const SBrush& a, const SBrush& b, bool sharpStart, bool sharpEnd, CurveLists& out) {
    const dvec3 p0(a.point), p1(b.point);
    const dvec3 m = (p0 + p1) * 0.5;
    const double radius = std::sqrt(dot(p1 - p0, p1 - p0)) * 0.5;
    const dvec3 u = unit(p0 - m);
    dvec3 w(-u.y, u.x, 0.0);
    w = dot(w, w) > 1e-20 ? unit(w) : dvec3(1.0, 0.0, 0.0);  // u along z (or p0 == p1)
    appendHalfCircle(p0, p1, m, radius, u, w, a.radius, b.radius, sharpStart, out);
    appendHalfCircle(p1, p0, m, radius, u * -1.0, w * -1.0, b.radius, a.radius, sharpEnd, out);
    for (int k = 0; k < 2 * ClosedSteps; ++k) out.normals.push_back(k == 0 ? a.normal : vec3(0, 0, 0));
}

// The closed shape of two samples, chosen by their letters (a free point
// counts as a curved-segment point; every pair with an arc point is a
// circle).
void appendClosedPair(const SBrush& a, const SBrush& b, CurveLists& out) {
    std::string code{kindLetter(a.kind), kindLetter(b.kind)};
    for (char& c : code)
        if (c == Free) c = Bow;
    if (code == "ss") {
        appendFlatLoop(a, b, out);
    } else if (code == "bb" || code == "sb" || code == "bs") {
        appendBow(a, b, code[0] == Sharp, code[1] == Sharp, out);
    } else {
        appendDiameterCircle(a, b, code[0] == Sharp, code[1] == Sharp, out);
    }
}

// ---- General construction ----

// What the fitted circles leave on a sample: the direction of travel there
// (zero when none) and, when the segment to the next sample lies on a
// circle, that circle as centre, radius and the unit frame (u towards the
// sample, v the direction of travel).
struct ArcMark {
    vec3 tangent{0, 0, 0};
    bool onArc = false;
    dvec3 centre, u, v;
    double radius = 0.0;
};

class GeneralCurve {
public:
    GeneralCurve(const std::vector<SBrush>& samples, bool closed)
        : s_(samples), n_(int(samples.size())), closed_(closed), marks_(samples.size()) {
        code_.reserve(samples.size());
        for (const SBrush& b : samples) code_.push_back(kindLetter(b.kind));
    }

    void fitArcs();
    void emit(CurveLists& out) const;

private:
    int prev(int i) const { return i > 0 ? i - 1 : (closed_ ? n_ - 1 : -1); }
    int next(int i) const { return i + 1 < n_ ? i + 1 : (closed_ ? 0 : -1); }
    dvec3 point(int i) const { return dvec3(s_[size_t(i)].point); }

    void fitRun(int first, int last);
    void markArc(int i, const dvec3& centre, double radius);
    void appendCubic(int i, int j, CurveLists& out) const;
    void appendArc(int i, int j, CurveLists& out) const;

    const std::vector<SBrush>& s_;
    int n_;
    bool closed_;
    std::string code_;
    std::vector<ArcMark> marks_;
};

void GeneralCurve::fitArcs() {
    for (int i = 0; i < n_;) {
        if (code_[size_t(i)] != Arc) {
            ++i;
            continue;
        }
        int last = i;
        while (last + 1 < n_ && code_[size_t(last + 1)] == Arc) ++last;
        fitRun(i, last);
        i = last + 1;
    }
}

void GeneralCurve::markArc(int i, const dvec3& centre, double radius) {
    ArcMark& m = marks_[size_t(i)];
    m.onArc = true;
    m.centre = centre;
    m.radius = radius;
    m.u = unit(point(i) - centre);
    const dvec3 t(m.tangent);
    m.v = unit(t - m.u * dot(t, m.u));
}

// The run's samples with their neighbours form a chain. The first three
// points of the chain fix a circle; every further point is joined by the
// circle tangent to the arc before it, so the arcs meet without a kink.
// Collinear points and tangents along the chord leave a straight segment.
void GeneralCurve::fitRun(int first, int last) {
    std::vector<int> chain;
    if (closed_ && first == 0 && last == n_ - 1) {
        for (int i = 0; i < n_; ++i) chain.push_back(i);
        chain.push_back(0);
    } else {
        if (prev(first) >= 0) chain.push_back(prev(first));
        for (int i = first; i <= last; ++i) chain.push_back(i);
        if (next(last) >= 0) chain.push_back(next(last));
    }
    if (chain.size() < 3) return;
    const vec3 a = s_[size_t(chain[0])].point, b = s_[size_t(chain[1])].point, c = s_[size_t(chain[2])].point;
    const CircleThrough circle = circleThrough(a, b, c);
    if (circle.collinear()) {
        const vec3 along = normalize(c - a);
        for (int k = 0; k < 3; ++k) marks_[size_t(chain[size_t(k)])].tangent = along;
    } else {
        const dvec3 centre(circle.centre), axis(circle.axis);
        for (int k = 0; k < 3; ++k) {
            const int i = chain[size_t(k)];
            marks_[size_t(i)].tangent = vec3(unit(cross(axis, point(i) - centre)));
        }
        markArc(chain[0], centre, circle.radius);
        markArc(chain[1], centre, circle.radius);
    }
    for (size_t k = 3; k < chain.size(); ++k) {
        const int p = chain[k - 1], q = chain[k];
        const vec3 t = marks_[size_t(p)].tangent;
        const TangentCircle tc = tangentCircle(s_[size_t(p)].point, t, s_[size_t(q)].point);
        if (tc.found) {
            markArc(p, dvec3(tc.centre), tc.radius);
            marks_[size_t(q)].tangent = tc.endDirection;
        } else {
            marks_[size_t(q)].tangent = isZero(t) ? normalize(s_[size_t(q)].point - s_[size_t(p)].point) : t;
        }
    }
}

// The 19 inner points of the cubic from sample i to sample j, with handles
// from the arc directions, the neighbours or the chord, none longer than
// half the chord.
void GeneralCurve::appendCubic(int i, int j, CurveLists& out) const {
    const dvec3 p0 = point(i), p1 = point(j);
    const double h = std::sqrt(dot(p1 - p0, p1 - p0)) * 0.5;
    const auto limit = [h](const dvec3& v) {
        const double l = std::sqrt(dot(v, v));
        return l > h ? v * (h / l) : v;
    };
    const dvec3 t0(marks_[size_t(i)].tangent), t1(marks_[size_t(j)].tangent);
    const dvec3 zero;
    const int after = next(j), before = prev(i);
    dvec3 h1 = zero;
    if (!(t1 == zero))
        h1 = limit(t1 * h);
    else if (after >= 0)
        h1 = limit((point(after) - p0) * 0.25);
    dvec3 h0;
    if (!(t0 == zero))
        h0 = limit(t0 * h);
    else if (before >= 0 && code_[size_t(before)] == Sharp && code_[size_t(i)] == Sharp)
        h0 = limit(p0 - point(before));
    else
        h0 = limit(((p1 - h1) - p0) * 0.5);
    if (h1 == zero && after < 0) h1 = limit(((p1 - p0) - h0) * 0.5);
    const float r0 = s_[size_t(i)].radius, r1 = s_[size_t(j)].radius;
    for (int k = 1; k < FillSteps; ++k) {
        const double t = double(k) / FillSteps;
        add(out, cubicPoint(p0, p0 + h0, p1 - h1, p1, t), blendRadius(r0, r1, t), false);
    }
}

// The 19 inner points of the stored circle of sample i, from it on to
// sample j in the direction of travel.
void GeneralCurve::appendArc(int i, int j, CurveLists& out) const {
    const ArcMark& m = marks_[size_t(i)];
    const dvec3 e = point(j) - m.centre;
    double angle = std::atan2(dot(e, m.v), dot(e, m.u));
    if (angle < 0.0) angle += TwoPi;
    const float r0 = s_[size_t(i)].radius, r1 = s_[size_t(j)].radius;
    for (int k = 1; k < FillSteps; ++k) {
        const double t = double(k) / FillSteps, a = angle * t;
        add(out, vec3(m.centre + (m.u * std::cos(a) + m.v * std::sin(a)) * m.radius), blendRadius(r0, r1, t), false);
    }
}

void GeneralCurve::emit(CurveLists& out) const {
    for (int i = 0; i < n_; ++i) {
        const SBrush& b = s_[size_t(i)];
        add(out, b.point, b.radius, code_[size_t(i)] == Sharp);
        const int j = next(i);
        if (j < 0 || j == i) continue;
        if (marks_[size_t(i)].onArc)
            appendArc(i, j, out);
        else if (code_[size_t(j)] == Bow)
            appendCubic(i, j, out);
    }
}

}  // namespace

CircleThrough circleThrough(const vec3& a, const vec3& b, const vec3& c) {
    const dvec3 A(a), B(b), C(c);
    const dvec3 u = B - A, v = C - A;
    const dvec3 n = cross(u, v);
    const double n2 = dot(n, n);
    CircleThrough r;
    // Collinear also when the sine of the angle at A is below 1e-7: such a
    // circle is too large to sample in single precision.
    if (n2 < 1e-20 || n2 <= 1e-14 * dot(u, u) * dot(v, v)) {
        r.toA = a - b;
        r.toC = c - b;
        return r;
    }
    // The circumcentre relative to A: (|u|^2 v - |v|^2 u) x n / (2 |n|^2).
    const dvec3 rel = cross(v * dot(u, u) - u * dot(v, v), n) * (1.0 / (2.0 * n2));
    const dvec3 centre = A + rel;
    r.centre = vec3(centre);
    r.radius = float(std::sqrt(dot(rel, rel)));
    r.toA = vec3(unit(A - centre));
    r.toC = vec3(unit(C - centre));
    r.axis = vec3(unit(n));
    return r;
}

TangentCircle tangentCircle(const vec3& p, const vec3& t, const vec3& q) {
    const dvec3 P(p), Q(q);
    const dvec3 T = unit(dvec3(t));
    const dvec3 d = unit(Q - P);
    const double c = std::sqrt(dot(Q - P, Q - P));
    const dvec3 a = cross(T, d);
    const double sinTheta = std::sqrt(dot(a, a));
    TangentCircle r;
    // A zero tangent, coincident points or a tangent along the chord: no
    // circle (the radius would be infinite or meaningless).
    if (!(sinTheta > 1e-7) || !(c > 0.0) || dot(T, T) < 0.5) return r;
    const dvec3 axis = a * (1.0 / sinTheta);
    const double radius = (c / 2.0) / sinTheta;
    // Towards Q at right angles to T, in the plane of T and d.
    const dvec3 inward = cross(axis, T);
    const dvec3 centre = P + inward * radius;
    r.found = true;
    r.centre = vec3(centre);
    r.radius = float(radius);
    r.endDirection = vec3(unit(cross(axis, Q - centre)));
    return r;
}

void appendStrokeCurve(const std::vector<SBrush>& samples, bool closed, CurveLists& out) {
    if (closed && samples.size() == 2) {
        appendClosedPair(samples[0], samples[1], out);
        return;
    }
    GeneralCurve curve(samples, closed);
    curve.fitArcs();
    curve.emit(out);
}

}  // namespace qel
