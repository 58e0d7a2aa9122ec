// The symmetries of the tube and the revoluton: the anchor fixed on the
// picked surface cell, and the copies of the edited curve carried between
// its space and the element's normalised frame.

#include "elements/swept_symmetry.h"

#include "curves/curve.h"
#include "elements/revoluton.h"
#include "elements/swept_anchor.h"
#include "elements/swept_fill.h"
#include "elements/tube.h"

namespace qel {

void SymmetryRequest::ask(Element& e, const vec3& p, const vec3& n, std::vector<vec3>& pts, std::vector<mat3>& frs,
                          std::vector<float>& scs, bool onSection) const {
    e.symmetries(list, p, n, flags[0], flags[1], flags[2], flags[3], flags[4], flags[5], count, pts, frs, scs, itemId,
                 onSection);
}

void SymmetryRequest::answerPlain(Element& e) const {
    e.Element::symmetries(list, point, axis, flags[0], flags[1], flags[2], flags[3], flags[4], flags[5], count, points,
                          frames, scales, itemId, section);
}

namespace {

const vec3& positionOf(const Curve& c, int edge, int end) {
    return c.vertices[std::size_t(c.edges[std::size_t(edge)].v[end])].position;
}

// The tube's anchor on the picked cell (path edge e, profile edge f) for
// the point p of element coordinates, which becomes the cell's nearest
// point. False, with nothing fixed, when the item names no edges.
bool fixTubeAnchor(Tube& T, int item, vec3& p) {
    const int e = carrierEdgeOf(item), f = sectionEdgeOf(item);
    if (!usableEdge(T.path, e) || !usableEdge(T.profile, f)) return false;
    Curve& path = *T.path;
    const Curve& profile = *T.profile;
    path.calculateOrientations(false);
    const CurveEdge& E = path.edges[std::size_t(e)];
    const vec3 A = path.vertices[std::size_t(E.v[0])].position, B = path.vertices[std::size_t(E.v[1])].position;
    const mat3 FA = path.vertexFrame(E.v[0]), FB = path.vertexFrame(E.v[1]);
    const vec3 qa = profile.toLocal(positionOf(profile, f, 0)), qb = profile.toLocal(positionOf(profile, f, 1));
    const CellPoint c = nearestCellPointTube(tubeGridPoint(FA, A, qa), tubeGridPoint(FB, B, qa),
                                             tubeGridPoint(FA, A, qb), tubeGridPoint(FB, B, qb), p);
    T.anchor = A * (1.0f - c.s) + B * c.s;
    T.anchorFrame = FA + (FB - FA) * c.s;
    // A singular frame keeps the identity here; the section copies and the
    // profile strokes test the frame itself.
    invertAnchorFrame(T.anchorFrame, T.anchorFrameInverse);
    p = c.point;
    return true;
}

// The path's copies of the picked point, and of the anchor as the tube's
// anchor copies. The anchor is copied about the element's normalised frame,
// like the picked point, so that each anchor copy lies where its stamp's
// copy does.
void tubeAxisCopies(Tube& T, const SymmetryRequest& r, const mat4& L, const mat4& Li) {
    r.ask(*T.path, r.point, r.axis, r.points, r.frames, r.scales, false);
    T.anchors.clear();
    std::vector<mat3> frames;
    std::vector<float> scales;
    r.ask(*T.path, L.transformProject(T.anchor), r.axis, T.anchors, frames, scales, false);
    for (vec3& a : T.anchors) a = Li.transformProject(a);
}

// The profile's copies of p (element coordinates), carried into the
// profile's normalised frame through the anchor frame and back.
void tubeSectionCopies(Tube& T, const SymmetryRequest& r, const vec3& p, const mat4& L, const mat4& Li) {
    mat3 inverse;
    if (!invertAnchorFrame(T.anchorFrame, inverse)) {
        r.answerPlain(T);
        return;
    }
    const vec3 q = T.anchorFrameInverse * (p - T.anchor);
    const vec3 m = T.anchorFrameInverse * (Li.block() * r.axis);
    const std::size_t first = r.points.size();
    r.ask(*T.profile, q, m, r.points, r.frames, r.scales, true);
    for (std::size_t i = first; i < r.points.size() && i < r.frames.size(); ++i) {
        r.points[i] = L.transformProject(tubeGridPoint(T.anchorFrame, T.anchor, r.points[i]));
        r.frames[i] = (T.anchorFrame * r.frames[i]) * L;
    }
}

// The revoluton's profile anchor on the picked cell (profile edge e,
// section edge f); p becomes the cell's nearest point. False, with nothing
// fixed, when the item names no edges.
bool fixProfileAnchor(Revoluton& R, int item, vec3& p) {
    const int e = carrierEdgeOf(item), f = sectionEdgeOf(item);
    if (!usableEdge(R.profile, e) || !usableEdge(R.section, f)) return false;
    const Curve& profile = *R.profile;
    const Curve& section = *R.section;
    const vec3 A = positionOf(profile, e, 0), B = positionOf(profile, e, 1);
    const vec3 qa = section.toLocal(positionOf(section, f, 0)), qb = section.toLocal(positionOf(section, f, 1));
    const CellPoint c = nearestCellPointRevoluton(revolve(A, qa), revolve(B, qa), revolve(A, qb), revolve(B, qb), p);
    R.profileAnchor = A * (1.0f - c.s) + B * c.s;
    p = c.point;
    return true;
}

}  // namespace

void tubeSymmetries(Tube& T, const SymmetryRequest& r) {
    if (T.path == nullptr || T.profile == nullptr) {
        T.anchors.clear();
        r.answerPlain(T);
        return;
    }
    const mat4 L = T.localMatrix();
    const mat4 Li = mat4::inverse(L);
    vec3 p = Li.transformProject(r.point);
    if (T.working == nullptr && !fixTubeAnchor(T, r.itemId, p)) {
        T.anchors.clear();
        r.answerPlain(T);
        return;
    }
    if (r.section)
        tubeSectionCopies(T, r, p, L, Li);
    else
        tubeAxisCopies(T, r, L, Li);
}

void revolutonSymmetries(Revoluton& R, const SymmetryRequest& r) {
    if (!r.section) {
        if (R.profile != nullptr)
            r.ask(*R.profile, r.point, r.axis, r.points, r.frames, r.scales, false);
        else
            r.answerPlain(R);
        return;
    }
    if (R.profile == nullptr || R.section == nullptr) {
        r.answerPlain(R);
        return;
    }
    const mat4 L = R.localMatrix();
    const mat4 Li = mat4::inverse(L);
    vec3 p = Li.transformProject(r.point);
    const vec3 n = Li.block() * r.axis;
    if (R.working == nullptr && !fixProfileAnchor(R, r.itemId, p)) {
        r.answerPlain(R);
        return;
    }
    const vec3 P = R.profileAnchor;
    vec3 q, m;
    if (!unrevolve(P, p, q) || !unrevolveDirection(P, n, m)) {
        r.answerPlain(R);
        return;
    }
    const std::size_t first = r.points.size();
    r.ask(*R.section, q, normalize(m), r.points, r.frames, r.scales, true);
    const mat3 J = revolutionJacobian(P);
    for (std::size_t i = first; i < r.points.size() && i < r.frames.size(); ++i) {
        r.points[i] = L.transformProject(revolve(P, r.points[i]));
        r.frames[i] = (J * r.frames[i]) * L;
    }
}

}  // namespace qel
