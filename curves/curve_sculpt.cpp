// The sculpt dispatcher of qel::Curve: every press, drag step and release of
// a sculpt stroke hands it one Sculptor per brush stamp (the stamp and its
// symmetric copies). For each, in order, it turns the newest step (from the
// previous sample P to the last sample L; F is the first sample) into one
// curve operation chosen by the action and scoped by the selection, and
// raises the change flag the next buffer build reads.
//
// A gate per group of actions decides whether the step runs at all; a gate
// that fails ends the whole call without marking the curve changed. An
// action that means nothing to a curve only skips its own Sculptor, and so
// does a Sculptor without samples.

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "curves/curve.h"

namespace qel {

namespace {

// Below this squared length a plane normal is left as it is.
constexpr double kTiny2 = 1e-20;

enum class Group { Stroke, Release, Paint, ReleaseTwoSamples, CutPlane, PlacePoint, Inflate, Other };

Group groupOf(int a) {
    if ((a >= 1 && a <= 6) || a == 9 || a == 12 || a == 13 || a == 15 || a == 24) return Group::Stroke;
    if (a == 27 || a == 32 || a == 34 || a == 35) return Group::Release;
    if (a == 29 || a == 30) return Group::Paint;
    if (a == 48 || a == 49 || a == 52 || a == 53) return Group::ReleaseTwoSamples;
    if (a == Sculptor::CutPlane) return Group::CutPlane;
    if (a == Sculptor::PlacePoint) return Group::PlacePoint;
    if (a == Sculptor::Inflate) return Group::Inflate;
    return Group::Other;
}

// One Sculptor's step: the samples in their roles.
struct Step {
    Curve& c;
    Sculptor& s;
    std::size_t index;  // the Sculptor's position in the list
    int n;
    const SBrush& F;  // the first sample
    const SBrush& P;  // the previous sample
    const SBrush& L;  // the last sample
    int action;
    Sculptor::TSelect scope;

    Step(Curve& curve, Sculptor& sculptor, std::size_t at)
        : c(curve),
          s(sculptor),
          index(at),
          n(int(sculptor.samples.size())),
          F(sculptor.samples.front()),
          P(sculptor.samples[std::size_t(std::max(n - 2, 0))]),
          L(sculptor.samples.back()),
          action(int(sculptor.action)),
          scope(sculptor.select) {}

    bool ended() const { return s.isEnded(); }
    bool wholeCurve() const { return scope == Sculptor::SelectElement || scope == Sculptor::SelectAllPatches; }
    // The first sample's edge, which the component and patch operations may
    // replace by the edge they found.
    int& firstEdge() { return s.samples.front().itemId; }
    // The first sample's edge when it is active, else the edge nearest the
    // first point (-1 when the curve has none).
    int firstEdgeOrNearest() const { return c.activeEdge(F.itemId) ? F.itemId : c.findFirstEdge(F.point); }
};

enum class Gate { Run, Skip, Stop };

// The gate of the action's group with the flag it raises.
Gate passGate(Step& st) {
    Curve& c = st.c;
    switch (groupOf(st.action)) {
        case Group::Stroke:
            if (st.n < 2) return Gate::Stop;
            c.modified = 1;
            return Gate::Run;
        case Group::Release:
            if (!st.ended()) return Gate::Stop;
            c.reallocate = 1;
            return Gate::Run;
        case Group::Paint:
            if (st.ended()) return Gate::Stop;
            c.materialsChanged = 1;
            return Gate::Run;
        case Group::ReleaseTwoSamples:
            if (st.n < 2 || !st.ended()) return Gate::Stop;
            c.reallocate = 1;
            return Gate::Run;
        case Group::CutPlane:
            if (st.scope != Sculptor::SelectPatch && (st.n < 2 || !st.ended())) return Gate::Stop;
            c.reallocate = 1;
            return Gate::Run;
        case Group::PlacePoint:
            // The stroke is over: its placed vertices are forgotten.
            if (st.ended()) {
                c.auxiliary.clear();
                return Gate::Stop;
            }
            c.reallocate = 1;
            return Gate::Run;
        case Group::Inflate:
            return Gate::Run;
        case Group::Other:
            return Gate::Skip;
    }
    return Gate::Skip;
}

// The symmetric copies of a stamp name no edge. On a stroke's first step,
// before any Sculptor of it acts, each that moves a part finds its edge
// from its first point on the curve as the press left it, and keeps it:
// found at its turn, it could be the copy an earlier Sculptor has just
// carried a short way off, or not, by how far the first step went.
void keepParts(Curve& c, std::vector<Sculptor*>& sculptors) {
    for (Sculptor* s : sculptors) {
        if (s == nullptr || s->samples.size() != 2) continue;
        SBrush& F = s->samples.front();
        if (!c.activeEdge(F.itemId) && s->movesPart()) F.itemId = c.findFirstEdge(F.point);
    }
}

// The copy forms leave a copy of the picked part in place on their first
// moving step: the copy is appended and the first sample's edge names its
// copy, which the move then carries away. The copied-out curve is freed.
void copyPart(Step& st) {
    const int a = st.action;
    if ((a != Sculptor::CopyMove && a != Sculptor::CopyRotate && a != Sculptor::CopyScale) || st.n != 2 ||
        !st.s.isMoving())
        return;
    Curve& c = st.c;
    const std::unique_ptr<Element> part(st.scope == Sculptor::SelectPatch
                                            ? c.PartPatch(st.F.point, st.firstEdge())
                                            : c.PartComponent(st.F.point, st.firstEdge()));
    c.append(dynamic_cast<const Curve*>(part.get()));
    c.reallocate = 1;
}

// N = axis x (F - L), normalised unless it is (nearly) zero.
vec3 planeNormal(const Step& st) {
    vec3 N = cross(st.s.viewDirection, st.F.point - st.L.point);
    const double l2 = dot(N, N);
    if (l2 > kTiny2) N = N * float(1.0 / std::sqrt(l2));
    return N;
}

void smoothStep(Step& st) {
    Curve& c = st.c;
    if (st.scope == Sculptor::SelectElement)
        c.selectV(st.P.point, st.P.radius, true);
    else
        c.selectVG(st.P.point, st.P.radius, true, st.P.itemId);
    c._smooth(0.5f);
    c.applyDisplacement(true, true, true);
    c.deselectAll();
}

// Every vertex takes vertex 0's angle turned by the mouse's horizontal
// motion, a thousandth of a radian per pixel.
void twistStep(Step& st) {
    Curve& c = st.c;
    if (c.vertices.empty()) return;
    const float angle = c.vertices.front().angle + (st.L.screen.x - st.P.screen.x) / 1000.0f;
    for (CurveVertex& v : c.vertices) v.angle = angle;
}

// Move, rotate, scale, deform, smooth and twist: every step.
void strokeAction(Step& st) {
    Curve& c = st.c;
    const vec3 &a = st.P.point, &b = st.L.point;
    switch (st.action) {
        case Sculptor::Move:
        case Sculptor::CopyMove:
            if (st.scope == Sculptor::SelectPatch)
                c.deformE_(a, b, st.firstEdge());
            else
                c.deformE(a, b, st.firstEdge());
            break;
        case Sculptor::Rotate:
        case Sculptor::CopyRotate:
            c.rotate(a, b, st.F.itemId, st.scope, st.s.viewDirection);
            break;
        case Sculptor::Scale:
        case Sculptor::CopyScale:
            c.scale(a, b, st.F.itemId, st.scope, true);
            break;
        case Sculptor::ScaleDirection:
            c.scale(a, b, st.F.itemId, st.scope, false);
            break;
        case Sculptor::Deform:
            if (st.wholeCurve())
                c.deform(a, b, st.P.radius);
            else
                c.deformG(a, b, st.P.radius, st.F.itemId);
            break;
        case Sculptor::Smooth:
            smoothStep(st);
            break;
        case Sculptor::Twist:
            twistStep(st);
            break;
        default:
            break;  // DeformVolume: its flag only
    }
}

// Subdivide and the erasures, once, on the release. False when the call
// ends here (Subdivide).
bool releaseAction(Step& st) {
    Curve& c = st.c;
    switch (st.action) {
        case Sculptor::Subdivide:
            c.subdivide(true);
            c.touch();
            return false;
        case Sculptor::EraseComponent:
            c.eraseE(st.L.point, st.L.itemId);
            break;
        case Sculptor::ErasePatch:
            c.eraseE_(st.L.point, st.L.itemId);
            break;
        default:
            break;  // EraseFeature: its flag only
    }
    return true;
}

void paintAction(Step& st) {
    const SBrush& P = st.P;
    if (st.action == Sculptor::PaintMaterial)
        st.c.materialG_(P.point, P.radius, P.itemId, P.material, st.s.paintMask, P.strength * 0.5f);
    else
        st.c.materialE_(P.point, P.itemId, P.material, st.s.paintMask);
}

// The plane through the first sample, across the stroke and along the axis.
void planeAction(Step& st) {
    Curve& c = st.c;
    if (st.action == Sculptor::CutPlane && st.scope == Sculptor::SelectPatch) {
        // A point cut at the first sample, at once.
        if (st.n != 1) return;
        const int e = st.firstEdgeOrNearest();
        if (e >= 0) c.edgeSplit(e, st.F.point, true);
        return;
    }
    if (!st.wholeCurve()) return;
    if (st.action == Sculptor::CutPlane)
        c.cutPlane(st.F.point, planeNormal(st));
    else if (st.action == Sculptor::ClipPlane || st.action == Sculptor::SubPlane)
        c.clipPlane(st.F.point, planeNormal(st));
    // CutSphere, ClipSphere: their flag only.
}

// The first sample inserts the Sculptor's vertex (listed at its position in
// the list, -1 without an edge); later samples drag it.
void placePointAction(Step& st) {
    Curve& c = st.c;
    if (st.n == 1) {
        const int e = st.firstEdgeOrNearest();
        c.auxiliary.push_back(e >= 0 ? c.edgeSplit(e, st.F.point, true) : -1);
        return;
    }
    if (st.index < c.auxiliary.size()) c.deformPoint(c.auxiliary[st.index], st.L.point);
}

// The action's operation; false when the call ends here.
bool runAction(Step& st) {
    switch (groupOf(st.action)) {
        case Group::Stroke:
            strokeAction(st);
            return true;
        case Group::Release:
            return releaseAction(st);
        case Group::Paint:
            paintAction(st);
            return true;
        case Group::ReleaseTwoSamples:
        case Group::CutPlane:
            planeAction(st);
            return true;
        case Group::PlacePoint:
            placePointAction(st);
            return true;
        case Group::Inflate:
            st.c.radiusG(st.P.point, st.L.point, st.P.radius, st.F.itemId);
            return true;
        case Group::Other:
            return true;
    }
    return true;
}

}  // namespace

void Curve::clearStroke() { auxiliary.clear(); }

void Curve::sculpt(std::vector<Sculptor*>& sculptors) {
    // A new stroke starts clean, whatever ended the last one.
    if (!sculptors.empty() && sculptors.front() && sculptors.front()->isStarted() &&
        sculptors.front()->samples.size() == 1)
        clearStroke();
    keepParts(*this, sculptors);
    for (std::size_t i = 0; i < sculptors.size(); ++i) {
        Sculptor* s = sculptors[i];
        if (s == nullptr || s->samples.empty()) continue;
        Step st(*this, *s, i);
        const Gate gate = passGate(st);
        if (gate == Gate::Stop) return;
        if (gate == Gate::Skip) continue;
        copyPart(st);
        if (!runAction(st)) return;
    }
    reallocate = 1;
    touch();
}

}  // namespace qel
