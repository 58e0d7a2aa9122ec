// The sculpt dispatcher of qel::Mesh: every press, drag step and release of
// a sculpt stroke hands it one Sculptor per brush stamp (the stamp and its
// symmetric copies). For each, in order, it turns the newest step (from the
// previous sample P to the last sample L; F is the first sample) into one
// mesh operation chosen by the action and scoped by the selection, and
// raises the change flags the next vertex-array refill reads.
//
// A gate per group of actions decides whether the step runs at all; a gate
// that fails ends the whole call. Actions that work on the whole mesh act
// for the first Sculptor only: a mirrored copy would apply them again.
//
// A moving stroke keeps what it moved from its first step to its end, which
// refreshes the normals round that alone; its scoped stamps keep the patch
// or component they work in (mesh_stroke.cpp).

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_stroke.h"
#include "mesh/space_order.h"

namespace qel {

namespace {

enum class Group { Stroke, ReleaseTwoSamples, Release, TopologyStroke, Paint, Other };

Group groupOf(int a) {
    if ((a >= 1 && a <= 6) || a == 9 || a == 12 || a == 13 || a == 15 || (a >= 22 && a <= 24)) return Group::Stroke;
    if (a == 27 || (a >= 47 && a <= 49) || (a >= 52 && a <= 59)) return Group::ReleaseTwoSamples;
    if (a == 32 || a == 34 || a == 35 || (a >= 67 && a <= 71)) return Group::Release;
    if (a >= 36 && a <= 44) return Group::TopologyStroke;
    if (a == 29 || a == 30) return Group::Paint;
    return Group::Other;
}

// One Sculptor's step: the samples in their roles.
struct Step {
    Mesh& m;
    Sculptor& s;
    int n;
    const SBrush& F;  // the first sample
    const SBrush& P;  // the previous sample
    const SBrush& L;  // the last sample
    int action;
    int select;

    Step(Mesh& mesh, Sculptor& sculptor)
        : m(mesh),
          s(sculptor),
          n(int(sculptor.samples.size())),
          F(sculptor.samples.front()),
          P(sculptor.samples[std::size_t(std::max(n - 2, 0))]),
          L(sculptor.samples.back()),
          action(int(sculptor.action)),
          select(int(sculptor.select)) {}

    bool firstStep() const { return n == 2; }
    bool ended() const { return s.isEnded(); }
    // The first sample's face, which some first steps write back.
    int& firstFace() { return s.samples.front().itemId; }
};

// The gate of the action's group with its flags and extra work; false ends
// the whole call.
bool passGate(Step& st) {
    Mesh& m = st.m;
    switch (groupOf(st.action)) {
        case Group::Stroke:
            if (st.n < 2) return false;
            // The ended step's normals follow its stamp (strokeEnd), which
            // marks the faces whose normals it refreshed.
            if (st.ended()) m.refillMarked(Mesh::RefillNormals);
            // The stamps mark what they move: the positions refill in part.
            m.refillMarked(Mesh::RefillPositions);
            return true;
        case Group::ReleaseTwoSamples:
            if (st.n < 2 || !st.ended()) return false;
            m.bufferState.faceSetChanged();
            return true;
        case Group::Release:
            if (!st.ended()) return false;
            m.bufferState.faceSetChanged();
            return true;
        case Group::TopologyStroke:
            if (st.n < 2) return false;
            if (st.ended()) {
                m.calculateNormals(2);
                m.deselectAll();
                m.bufferState.refillWhole(Mesh::RefillNormals);
                return false;
            }
            if (st.firstStep())
                m.bufferState.faceSetChanged();
            else
                m.bufferState.refillWhole(Mesh::RefillPositions);
            return true;
        case Group::Paint:
        case Group::Other:
            if (st.ended()) return false;
            if (st.action == Sculptor::PaintMaterial || st.action == Sculptor::FillMaterial)
                m.refillMarked(Mesh::RefillPaint);
            return true;
    }
    return false;
}

// The symmetric copies of a stamp name no face. On a stroke's first step,
// before any Sculptor of it acts, each that moves a part finds its face
// from its first point on the mesh as the press left it, and keeps it to
// the stroke's end. Found again at every step from a point the steps carry
// along, its part would be whatever lies nearest there by then: a copy
// left in place, or a part an earlier Sculptor moved a little or far, so
// that what it moved would depend on how far each step went, and the
// steps of a quick stroke taken as one would end elsewhere than the same
// motions taken one by one.
void keepParts(Mesh& m, std::vector<Sculptor*>& sculptors) {
    for (Sculptor* s : sculptors) {
        if (s == nullptr || s->samples.size() != 2) return;
        SBrush& F = s->samples.front();
        if (F.itemId < 0 && s->movesPart()) F.itemId = m.findFirstFace(F.point);
    }
}

// The copy forms leave a copy of the picked part in place on their first
// moving step; the picked part itself moves, since the copy is appended. A
// later Sculptor of the step on the same part (a symmetric copy of the
// stamp on a part that the mirror maps onto itself) takes that copy, which
// stays where the part was until then: each stamp carries a part of its
// own away, one copy stays, and every copy is of a part where the press
// found it, whatever the first step's length.
void copyPart(Step& st, std::vector<Sculptor*>& sculptors, std::size_t index) {
    const int a = st.action;
    if ((a != Sculptor::CopyMove && a != Sculptor::CopyRotate && a != Sculptor::CopyScale) || !st.firstStep() ||
        !st.s.isMoving())
        return;
    const Sculptor::TSelect scope =
        st.select == Sculptor::SelectPatch ? Sculptor::SelectPatch : Sculptor::SelectComponent;
    const int base = st.m.faceCount();
    std::vector<int> copied;
    const std::unique_ptr<Mesh> part(st.m.CopyOfPart(st.F.point, st.F.itemId, scope, &copied));
    st.m.append(part.get());
    st.m.bufferState.faceSetChanged();
    for (std::size_t k = index + 1; k < sculptors.size() && sculptors[k] && !sculptors[k]->samples.empty(); ++k) {
        int& face = sculptors[k]->samples.front().itemId;
        const auto at = std::lower_bound(copied.begin(), copied.end(), face);
        if (face >= 0 && at != copied.end() && *at == face) face = base + int(at - copied.begin());
    }
}

// Adds the displacements and ends the selection; the stroke's end refreshes
// the normals round what moved.
void applyAndFinish(Step& st) {
    st.m.applyDisplacement();
    st.m.deselectAll();
}

// |L - P| x 0.2 x strength / radius, negated for Grow, kept within
// [-1, 1]: beyond 1 a vertex would be carried past the brush centre and the
// surface turned inside out.
float pinchAmount(const Step& st) {
    if (!(st.P.radius > 0.0f)) return 0.0f;
    const double sign = st.action == Sculptor::Grow ? -1.0 : 1.0;
    const double a = distance(st.L.point, st.P.point) * 0.2 * double(st.P.strength) * sign / double(st.P.radius);
    return float(std::clamp(a, -1.0, 1.0));
}

// p - (p . a) a, the dot product in double.
vec3 acrossAxis(const vec3& p, const vec3& a) { return p - a * float(dot(p, a)); }

// The angle from P to L about the axis through F along the view
// direction, scaled by the distance of L from that axis in units of F's
// radius (at most 1). False when P or L lies on the axis.
bool twistAmount(const Step& st, float& amount) {
    const vec3& a = st.s.viewDirection;
    vec3 u = acrossAxis(st.P.point - st.F.point, a);
    if (isZero(u)) return false;
    vec3 w = acrossAxis(st.L.point - st.F.point, a);
    if (isZero(w)) return false;
    const double ratio = length(w) / double(st.F.radius);
    u = normalize(u);
    w = normalize(w);
    const double angle = std::atan2(dot(cross(u, w), a), dot(u, w));
    amount = float(std::min(std::max(ratio, 0.0), 1.0) * angle);
    return true;
}

// The plane through the stroke from F to L and along the view direction.
vec3 cutNormal(const Step& st) { return normalize(cross(st.s.viewDirection, st.F.point - st.L.point)); }

void deformStep(Step& st) {
    Mesh& m = st.m;
    switch (st.select) {
        case Sculptor::SelectElement:
        case Sculptor::SelectAllPatches:
            m.selectV(st.P.point, st.P.radius, true);
            m._deform(st.L.point - st.P.point);
            applyAndFinish(st);
            break;
        case Sculptor::SelectPatch:
            m.deformG_(st.P.point, st.L.point, st.P.radius, st.P.itemId);
            break;
        case Sculptor::SelectComponent:
            m.deformG(st.P.point, st.L.point, st.P.radius, st.P.itemId);
            break;
        default:
            break;
    }
}

void smoothStep(Step& st) {
    Mesh& m = st.m;
    switch (st.select) {
        case Sculptor::SelectElement:
        case Sculptor::SelectAllPatches:
            m.smooth(st.P.point, vec3(), st.P.radius);
            break;
        case Sculptor::SelectPatch:
            m.smoothG_(st.P.point, vec3(), st.P.radius, st.P.itemId);
            break;
        case Sculptor::SelectComponent:
            m.smoothG(st.P.point, vec3(), st.P.radius, st.P.itemId);
            break;
        default:
            break;
    }
}

// Move, rotate, scale, deform, smooth, pinch and twist: every step.
void strokeAction(Step& st) {
    Mesh& m = st.m;
    const Sculptor::TSelect scope = st.s.select;
    switch (st.action) {
        case Sculptor::Move:
        case Sculptor::CopyMove:
            if (st.select == Sculptor::SelectPatch)
                m.deformF_(st.P.point, st.L.point, st.F.itemId);
            else
                m.deformF(st.P.point, st.L.point, st.F.itemId);
            break;
        case Sculptor::Rotate:
        case Sculptor::CopyRotate:
            m.rotate(st.P.point, st.L.point, st.F.itemId, scope, st.s.viewDirection);
            break;
        case Sculptor::Scale:
        case Sculptor::CopyScale:
            m.scale(st.P.point, st.L.point, st.F.itemId, scope, true);
            break;
        case Sculptor::ScaleDirection:
            m.scale(st.P.point, st.L.point, st.F.itemId, scope, false);
            break;
        case Sculptor::Deform:
            deformStep(st);
            break;
        case Sculptor::DeformVolume:
            m.deformVolume(st.P.point, st.L.point, st.P.radius);
            applyAndFinish(st);
            break;
        case Sculptor::Smooth:
            smoothStep(st);
            break;
        case Sculptor::Grow:
        case Sculptor::Pinch:
            m.pinch(st.P.point, st.P.radius, pinchAmount(st));
            applyAndFinish(st);
            break;
        case Sculptor::Twist: {
            float amount = 0.0f;
            if (!twistAmount(st, amount)) break;
            m.twist(st.F.point, st.s.viewDirection, amount, st.F.radius);
            applyAndFinish(st);
            break;
        }
        default:
            break;
    }
}

// The panel of a pattern action; null for any other action.
Mesh* patternPanel(int action) {
    switch (action) {
        case Sculptor::Pattern0:
            return Mesh::TrianglePattern1(0.7f, false);
        case Sculptor::Pattern1:
            return Mesh::TrianglePattern1(0.7f, true);
        case Sculptor::Pattern2:
            return Mesh::TrianglePattern2(0.3f, false);
        case Sculptor::Pattern3:
            return Mesh::TrianglePattern3(0.9f, false);
        case Sculptor::Pattern4:
            return Mesh::TrianglePattern3(0.9f, true);
        default:
            return nullptr;
    }
}

void planeCutAction(Step& st) {
    Mesh& m = st.m;
    const vec3 N = cutNormal(st);
    switch (st.action) {
        case Sculptor::CutPlane:
            if (st.select == Sculptor::SelectElement || st.select == Sculptor::SelectAllPatches)
                m.cutPlane(st.F.point, N);
            else if (st.select == Sculptor::SelectPatch)
                m.cutPlaneG_(st.F.point, N, st.F.itemId);
            else if (st.select == Sculptor::SelectComponent)
                m.cutPlaneF(st.F.point, N, st.F.itemId);
            m.bufferState.faceSetChanged();
            break;
        case Sculptor::ClipPlane:
            m.clipPlane(st.F.point, N);
            break;
        case Sculptor::SubPlane:
            m.subPlane(st.F.point, N, st.F.material);
            break;
        default:
            break;
    }
}

// A sphere cut or clip by scope: centre c, through the surface point s.
void sphereCut(Step& st, bool clip, const vec3& c, const vec3& s, int face) {
    Mesh& m = st.m;
    switch (st.select) {
        case Sculptor::SelectElement:
        case Sculptor::SelectAllPatches:
            if (clip)
                m.clipSphere(c, s);
            else
                m.cutSphere(c, s);
            break;
        case Sculptor::SelectPatch:
        case Sculptor::SelectComponent:
            if (clip)
                m.clipSphereF(c, s, face, st.select == Sculptor::SelectPatch);
            else
                m.cutSphereF(c, s, face, st.select == Sculptor::SelectPatch);
            break;
        default:
            break;
    }
}

void sphereAction(Step& st) {
    Mesh& m = st.m;
    const SBrush &F = st.F, &L = st.L;
    switch (st.action) {
        case Sculptor::CutSphere:
            sphereCut(st, false, F.point, L.point, L.itemId);
            break;
        case Sculptor::ClipSphere:
            sphereCut(st, true, F.point, L.point, L.itemId);
            break;
        case Sculptor::CutSphereReverse:
            sphereCut(st, false, L.point, F.point, F.itemId);
            break;
        case Sculptor::AddSphere:
            m.subSphere(F.point, F.normal, L.point, true, F.material);
            break;
        case Sculptor::SubSphere:
            m.subSphere(F.point, F.normal, L.point, false, F.material);
            break;
        case Sculptor::AddSphereReverse:
            m.subSphere(L.point, L.normal, F.point, true, F.material);
            break;
        case Sculptor::SubSphereReverse:
            m.subSphere(L.point, L.normal, F.point, false, F.material);
            break;
        default:
            break;  // ClipSphereReverse: its flag only
    }
}

// Subdivide, erase, the cuts and the patterns: once, on the release.
void releaseAction(Step& st) {
    Mesh& m = st.m;
    switch (st.action) {
        case Sculptor::Subdivide:
            m.subdivide(true);
            break;
        case Sculptor::EraseComponent:
            m.eraseF(st.L.point, st.L.itemId);
            break;
        case Sculptor::ErasePatch:
            m.eraseF_(st.L.point, st.L.itemId);
            break;
        case Sculptor::EraseFeature:
            m.select_(st.L.point, true, st.L.itemId);
            break;
        case Sculptor::CutPlane:
        case Sculptor::ClipPlane:
        case Sculptor::SubPlane:
            planeCutAction(st);
            break;
        case Sculptor::CutSphere:
        case Sculptor::ClipSphere:
        case Sculptor::AddSphere:
        case Sculptor::SubSphere:
        case Sculptor::CutSphereReverse:
        case Sculptor::ClipSphereReverse:
        case Sculptor::AddSphereReverse:
        case Sculptor::SubSphereReverse:
            sphereAction(st);
            break;
        default:
            if (const std::unique_ptr<Mesh> panel{patternPanel(st.action)}) m.replaceFaces(panel.get());
            break;
    }
}

// Selects the faces of the Sculptor's kept patch again, alone.
void selectPatchAgain(Step& st) {
    Mesh& m = st.m;
    m.deselectAll();
    for (const int f : st.s.patch) {
        if (!m.activeFace(f) || m.faces[f].isSelected()) continue;
        m.faces[f].flags = std::uint8_t(m.faces[f].flags | MeshFace::SelectedBit);
        m.selectedFaces.push_back(f);
    }
}

// Extrude and tear, whole-mesh form: the one-time topology on the first step
// (when asked), then the move of every patch.
void patchesMove(Step& st, bool scaling) {
    if (scaling)
        st.m.scaleA_(st.P.point, st.L.point, st.F.itemId);
    else
        st.m.extrudeA_(st.P.point, st.L.point, st.F.itemId);
}

// The picked patch's move of the extrude and tear forms.
void patchMove(Step& st, bool scaling) {
    if (scaling)
        st.m.scale(st.P.point, st.L.point, st.F.itemId, Sculptor::SelectPatch, true);
    else
        st.m.extrudeF_(st.P.point, st.L.point, st.F.itemId);
}

void extrudeAction(Step& st, bool scaling) {
    Mesh& m = st.m;
    if (st.select == Sculptor::SelectAllPatches) {
        if (st.firstStep()) m.splitA_(st.P.material, true);
        patchesMove(st, scaling);
        return;
    }
    if (st.firstStep()) m.splitF_(st.F.point, st.firstFace(), st.F.material, true);
    patchMove(st, scaling);
}

void tearAction(Step& st, bool scaling) {
    Mesh& m = st.m;
    const bool tear = st.firstStep() && st.s.isMoving();
    if (st.select == Sculptor::SelectAllPatches) {
        if (tear) m.divideA_();
        patchesMove(st, scaling);
        return;
    }
    if (tear) m.divideF_(st.F.point, st.F.itemId);
    patchMove(st, scaling);
}

// The region strokes: split or divide on the first step, then move.
void topologyAction(Step& st) {
    Mesh& m = st.m;
    switch (st.action) {
        case Sculptor::Extrude:
            extrudeAction(st, false);
            break;
        case Sculptor::ExtrudeScale:
            extrudeAction(st, true);
            break;
        case Sculptor::ExtrudeDeform:
            if (st.firstStep()) m.splitG_(st.F.point, st.F.radius, st.F.itemId, st.F.material, true);
            m.deformG_(st.P.point, st.L.point, st.P.radius, st.P.itemId);
            break;
        case Sculptor::ExtrudeInflate:
            // Each Sculptor inflates its own patch: the others' steps clear the
            // mesh's selection, so the patch is kept and selected again.
            if (st.firstStep() && st.s.isMoving()) {
                m.splitF_(st.F.point, st.firstFace(), st.F.material, true);
                m.selectF_(vec3(0, 0, 0), true, st.firstFace());
                st.s.patch = m.selectedFaces;
            }
            selectPatchAgain(st);
            m.inflateF_(st.P.point, st.L.point, st.F.itemId);
            break;
        case Sculptor::Bevel:
            if (st.firstStep()) {
                m.bevelA_(st.F.material, false);
                m.extrudeA_(st.F.point, st.L.point, st.F.itemId);
            } else {
                m.extrudeA_(st.P.point, st.L.point, st.F.itemId);
            }
            break;
        case Sculptor::TearNormal:
            tearAction(st, false);
            break;
        case Sculptor::TearScale:
            tearAction(st, true);
            break;
        case Sculptor::TearDeform:
            if (st.firstStep()) m.divideG_(st.F.point, st.F.radius, st.F.itemId);
            m.deformG_(st.P.point, st.L.point, st.P.radius, st.P.itemId);
            break;
        default:
            break;
    }
}

void paintAction(Step& st) {
    Mesh& m = st.m;
    const unsigned char mask = st.s.paintMask;
    const SBrush& P = st.P;
    const float strength = 0.5f * P.strength;
    if (st.action == Sculptor::PaintMaterial) {
        switch (st.select) {
            case Sculptor::SelectElement:
            case Sculptor::SelectAllPatches:
                m.selectV(P.point, P.radius, true);
                m._material(P.material, mask, strength);
                m.deselectAll();
                break;
            case Sculptor::SelectPatch:
                m.materialG_(P.point, P.radius, P.itemId, P.material, mask, strength);
                break;
            case Sculptor::SelectComponent:
                m.materialG(P.point, P.radius, P.itemId, P.material, mask, strength);
                break;
            default:
                break;
        }
        return;
    }
    if (st.select == Sculptor::SelectPatch)
        m.materialF_(P.point, P.itemId, P.material, mask);
    else if (st.select >= Sculptor::SelectElement && st.select <= Sculptor::SelectComponent)
        m.materialF(P.point, P.itemId, P.material, mask);
}

// Relax: the whole mesh every step; its positions and normals change.
void otherAction(Step& st) {
    if (st.action != Sculptor::Relax) return;
    st.m.relaxAll(true);
    st.m.bufferState.refillWhole(Mesh::RefillPositions);
    st.m.bufferState.refillWhole(Mesh::RefillNormals);
}

void runAction(Step& st) {
    switch (groupOf(st.action)) {
        case Group::Stroke:
            strokeAction(st);
            break;
        case Group::ReleaseTwoSamples:
        case Group::Release:
            releaseAction(st);
            break;
        case Group::TopologyStroke:
            topologyAction(st);
            break;
        case Group::Paint:
            paintAction(st);
            break;
        case Group::Other:
            otherAction(st);
            break;
    }
}

// Actions on the whole mesh rather than on what one brush copy reaches:
// after the first Sculptor the call ends, or a mirrored copy would subdivide,
// scale, turn, relax or split everything again.
bool firstSculptorOnly(const Step& st) {
    const bool whole = st.select == Sculptor::SelectElement || st.select == Sculptor::SelectAllPatches;
    switch (st.action) {
        case Sculptor::Subdivide:
        case Sculptor::Bevel:
        case Sculptor::Pattern0:
        case Sculptor::Pattern1:
        case Sculptor::Pattern2:
        case Sculptor::Pattern3:
        case Sculptor::Pattern4:
        case Sculptor::Relax:
            return true;
        case Sculptor::Rotate:
        case Sculptor::CopyRotate:
        case Sculptor::Scale:
        case Sculptor::CopyScale:
        case Sculptor::ScaleDirection:
            return whole;
        case Sculptor::Extrude:
        case Sculptor::ExtrudeScale:
        case Sculptor::TearNormal:
        case Sculptor::TearScale:
            return st.select == Sculptor::SelectAllPatches;
        default:
            return false;
    }
}

// Every Sculptor's step in order; true when a moving stroke's ended step ran.
bool runSteps(Mesh& m, std::vector<Sculptor*>& sculptors) {
    keepParts(m, sculptors);
    bool ended = false;
    for (std::size_t i = 0; i < sculptors.size(); ++i) {
        Sculptor* s = sculptors[i];
        if (s == nullptr || s->samples.empty()) break;
        Step st(m, *s);
        if (!passGate(st)) break;
        ended = ended || (groupOf(st.action) == Group::Stroke && st.ended());
        copyPart(st, sculptors, i);
        runAction(st);
        if (firstSculptorOnly(st)) break;
    }
    return ended;
}

}  // namespace

bool Mesh::sculptActs(int action) {
    switch (groupOf(action)) {
        case Group::Stroke:
        case Group::Release:
        case Group::Paint:
            return true;
        case Group::ReleaseTwoSamples:
            return action != Sculptor::ClipSphereReverse;
        case Group::TopologyStroke:
            return action != Sculptor::TearInflate;
        case Group::Other:
            return action == Sculptor::Relax;
    }
    return false;
}

void Mesh::sculpt(std::vector<Sculptor*>& sculptors) {
    // The press and the first step start a stroke; a moving stroke notes
    // what its steps move.
    const Sculptor* first = sculptors.empty() ? nullptr : sculptors.front();
    const Group group = first ? groupOf(int(first->action)) : Group::Other;
    const bool stamping = group == Group::Stroke || group == Group::Paint || group == Group::TopologyStroke;
    if (first && first->samples.size() <= 2) strokeBegin(first->samples.size() == 2);
    stroke().run(true, group == Group::Stroke, stamping);
    const bool ended = runSteps(*this, sculptors);
    // A topology step changes what the stroke's end cannot follow vertex by
    // vertex: an end that comes before the release (another stroke, or
    // clearStroke) takes the whole-mesh pass, as the release does.
    if (group == Group::TopologyStroke && !first->isEnded() && first->samples.size() >= 2) stroke().reshaped();
    // The end reads the fans the stroke kept.
    if (ended)
        strokeEnd(true);
    else if (first && first->isEnded())
        strokeEnd(false);
    // The edits that add records beside far older ones (a tear, extrusion
    // or bevel of many patches, a plane or sphere operation) may leave a
    // large mesh scattered: once such a stroke has ended, and nothing of it
    // is needed any more, the mesh is put in space order when it is and
    // that order is measurably better, so that the strokes after it, and a
    // save and load, find it in an order they are fast on (a mesh already
    // in the best order it can get costs nothing more, and its selection
    // stays either way). The mesh is linked as the stroke left it: its
    // links, stored faces and normals go with its records to their new
    // numbers, without a rebuild. A plane subtraction always leaves a
    // large mesh in space order: its cut and cap lie beside records far
    // older, and where it keeps a small part of the mesh these are a good
    // share of what a stamp reaches, though too few for the test of a
    // scattered mesh.
    if (first && first->isEnded() && group != Group::Stroke && group != Group::Paint && group != Group::Other) {
        if (first->action == Sculptor::SubPlane && vertexCount() >= spaceorder::FewVertices) {
            orderInSpace(true);
            return;
        }
        if (orderIfScattered(true)) return;
    }
    if (stroke_) stroke_->run(false, false, false);
}

}  // namespace qel
