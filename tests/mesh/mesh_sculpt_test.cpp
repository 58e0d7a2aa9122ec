// The mesh's sculpt dispatcher: gates and change flags, the copy step, the
// first-Sculptor rule for whole-mesh actions and the derived amounts, with
// hand-built Sculptors on a cube, a sphere and an open sheet. The mesh is
// checked after every sculpt call.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_util.h"

using meshtest::checkMeshInvariants;
using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

vec3 at(const Mesh& m, int v) { return m.vertices[v].position; }

SBrush sample(const vec3& p, int face = -1, float radius = 0.5f) {
    SBrush b;
    b.point = p;
    b.itemId = face;
    b.radius = radius;
    b.material = pbr(wvec4(65535, 0, 0, 65535), wvec4(0, 0, 0, 65535), 0, 0);
    return b;
}

// The Sculptors of one stroke, each step called through sculpt.
struct Stroke {
    std::vector<std::unique_ptr<Sculptor>> owned;
    std::vector<Sculptor*> list;

    Sculptor& add(int action, Sculptor::TSelect select, std::vector<SBrush> samples,
                  Gesture::TState state = Gesture::Moving) {
        owned.push_back(std::make_unique<Sculptor>());
        Sculptor& s = *owned.back();
        s.action = Sculptor::TAction(action);
        s.select = select;
        s.samples = std::move(samples);
        s.state = state;
        list.push_back(&s);
        return s;
    }
    // Adds the sample to every Sculptor (and ends them when asked), then
    // sculpts.
    void step(Mesh& m, const std::vector<SBrush>& next, bool end = false) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            list[i]->samples.push_back(next[i]);
            if (end) list[i]->end();
        }
        sculpt(m);
    }
    void sculpt(Mesh& m) {
        m.sculpt(list);
        EXPECT_EQ(checkMeshInvariants(m), "");
    }
};

void clearFlags(Mesh& m) {
    m.topologyChanged = 0;
    for (auto& r : m.refill) r = 0;
}

// Positions, counts and corner colours agree.
bool sameShape(const Mesh& a, const Mesh& b) {
    if (a.vertexCount() != b.vertexCount() || a.faceCount() != b.faceCount()) return false;
    for (int v = 0; v < a.vertexCount(); ++v)
        if (at(a, v) != at(b, v)) return false;
    for (int f = 0; f < a.faceCount(); ++f)
        for (int k = 0; k < 3; ++k)
            if (a.faces[f].material[k] != b.faces[f].material[k]) return false;
    return true;
}

// The unit cube subdivided once, its inner vertex of the bottom patch
// (faces 0 and 1 before the subdivision) moved off the middle to
// (0.4, 0.5, 0), so that relaxing moves it.
MeshPtr subdividedCube() {
    MeshPtr m(Mesh::Cube());
    m->subdivide(false);
    for (int v = 0; v < m->vertexCount(); ++v)
        if (at(*m, v) == vec3(0.5f, 0.5f, 0)) m->vertices[v].position = vec3(0.4f, 0.5f, 0);
    m->calculateNormals(2);
    return m;
}

}  // namespace

// One row per gate group: which steps act and which flags they raise.
TEST(MeshSculpt, GatesActOnTheirStepsAndRaiseTheirFlags) {
    enum { T = 1, P = 2, N = 4, C = 8 };  // topology, positions, normals, colour
    struct Row {
        int action;
        Sculptor::TSelect select;
        int samples;
        Gesture::TState state;
        int flags;
        bool changes;
    };
    const auto E = Sculptor::SelectElement;
    const auto Pa = Sculptor::SelectPatch;
    const Row rows[] = {
        {Sculptor::Deform, E, 1, Gesture::Started, 0, false},
        {Sculptor::Deform, E, 2, Gesture::Moving, P, true},
        {Sculptor::Deform, E, 3, Gesture::Ended, P | N, true},
        {Sculptor::Subdivide, E, 2, Gesture::Moving, 0, false},
        {Sculptor::Subdivide, E, 1, Gesture::Ended, 0, false},
        {Sculptor::Subdivide, E, 3, Gesture::Ended, T, true},
        {Sculptor::CutSphere, E, 2, Gesture::Moving, 0, false},
        {Sculptor::CutSphere, Pa, 2, Gesture::Ended, T, true},
        {Sculptor::ClipSphereReverse, E, 2, Gesture::Ended, T, false},
        {Sculptor::ErasePatch, E, 2, Gesture::Moving, 0, false},
        {Sculptor::ErasePatch, E, 1, Gesture::Ended, T, true},
        {Sculptor::Extrude, Pa, 1, Gesture::Moving, 0, false},
        {Sculptor::Extrude, Pa, 2, Gesture::Moving, T, true},
        {Sculptor::Extrude, Pa, 3, Gesture::Moving, P, true},
        {Sculptor::Extrude, Pa, 3, Gesture::Ended, N, false},
        {Sculptor::PaintMaterial, E, 2, Gesture::Moving, C, true},
        {Sculptor::PaintMaterial, E, 3, Gesture::Ended, 0, false},
        {Sculptor::Relax, E, 2, Gesture::Moving, P | N, true},
        {Sculptor::Relax, E, 3, Gesture::Ended, 0, false},
        {0, E, 2, Gesture::Moving, 0, false},
    };
    const vec3 c(0.5f, 0.5f, 0.0f);
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "action " << r.action << " n " << r.samples << " state " << r.state);
        MeshPtr m = subdividedCube();
        clearFlags(*m);
        const MeshPtr before(m->clone());
        std::vector<SBrush> samples;
        for (int i = 0; i < r.samples; ++i) samples.push_back(sample(c - vec3(0, 0, 0.1f * float(i)), 0));
        Stroke s;
        s.add(r.action, r.select, samples, r.state);
        s.sculpt(*m);
        const int flags =
            (m->topologyChanged ? T : 0) | (m->refill[0] ? P : 0) | (m->refill[1] ? N : 0) | (m->refill[2] ? C : 0);
        EXPECT_EQ(flags, r.flags);
        EXPECT_EQ(!sameShape(*m, *before), r.changes);
        EXPECT_TRUE(m->selectedFaces.empty() && m->selectedVertices.empty());
    }
}

// A failing gate ends the call: the later Sculptors are not looked at. An
// action without an operation lets them act while the stroke runs.
TEST(MeshSculpt, FailingGateLeavesLaterSculptorsUntouched) {
    for (const int first : {int(Sculptor::Subdivide), 0}) {
        MeshPtr m = subdividedCube();
        const MeshPtr before(m->clone());
        const vec3 c(0.5f, 0.5f, 0.0f);
        Stroke s;
        s.add(first, Sculptor::SelectElement, {sample(c, 0), sample(c - vec3(0, 0, 0.1f), 0)});
        s.add(Sculptor::Deform, Sculptor::SelectElement, {sample(c, 0), sample(c - vec3(0, 0, 0.1f), 0)});
        s.sculpt(*m);
        EXPECT_EQ(sameShape(*m, *before), first != 0) << first;
    }
}

// The copy step leaves a copy of the patch (or component) in place and moves
// the picked part, the copy being appended after it.
TEST(MeshSculpt, CopyMoveLeavesACopyInPlaceAndMovesThePart) {
    for (const auto select : {Sculptor::SelectPatch, Sculptor::SelectComponent}) {
        MeshPtr m(Mesh::Cube());
        const int copied = select == Sculptor::SelectPatch ? 2 : 12;
        Stroke s;
        s.add(Sculptor::CopyMove, select, {sample(vec3(0.3f, 0.3f, 0), 0), sample(vec3(0.3f, 0.3f, -0.5f), 0)});
        s.sculpt(*m);
        ASSERT_EQ(m->faceCount(), 12 + copied);
        EXPECT_EQ(m->topologyChanged, 1);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(at(*m, m->faces[0].v[k]).z, -0.5f);
            EXPECT_EQ(at(*m, m->faces[12].v[k]).z, 0.0f);
        }
    }
}

// Two mirrored Sculptors on one ball, the second's stamp naming no face (a
// symmetric copy's), end where their last samples lead, whether the stroke
// took many short steps or one long one: each keeps the part its first
// point found before the first step moved anything. A Move carries the
// ball by both stamps' steps; a Copy Move's second stamp takes the copy the
// first left in place (the ball and that copy move as mirror images) and a
// copy of it stays. (Found again at every step, the second stamp's part
// was the ball while a short first step had barely moved it away.)
TEST(MeshSculpt, MirroredMovesOfOnePartEndAlikeInShortStepsOrOne) {
    const vec3 mirror(-1, 1, 1), a(-0.894f, 0.0f, 1.789f), step(-0.25f, 0.1f, 0.0f);
    constexpr int Steps = 8;
    for (const int action : {int(Sculptor::CopyMove), int(Sculptor::Move)}) {
        for (const auto select : {Sculptor::SelectElement, Sculptor::SelectComponent}) {
            SCOPED_TRACE(testing::Message() << "action " << action << " select " << select);
            std::unique_ptr<Mesh> seed(Mesh::Icosahedron());
            const MeshPtr ball(Mesh::Sphere(seed.get(), 2, false, true));
            const int n = ball->vertexCount();
            const int face = ball->findFirstFace(a);
            MeshPtr shortSteps(ball->clone()), oneStep(ball->clone());
            Stroke many, one;
            for (Stroke* s : {&many, &one}) {
                s->add(action, select, {sample(a, face)});
                s->add(action, select, {sample(a * mirror, -1)});
            }
            for (int k = 1; k <= Steps; ++k) {
                const vec3 b = a + step * float(k);
                many.step(*shortSteps, {sample(b), sample(b * mirror)}, k == Steps);
            }
            const vec3 end = a + step * float(Steps);
            one.step(*oneStep, {sample(end), sample(end * mirror)});
            one.step(*oneStep, {sample(end), sample(end * mirror)}, true);
            ASSERT_EQ(shortSteps->vertexCount(), oneStep->vertexCount());
            double most = 0.0;
            for (int v = 0; v < oneStep->vertexCount(); ++v)
                most = std::max(most, double(length(at(*shortSteps, v) - at(*oneStep, v))));
            EXPECT_LT(most, 1e-5);
            // Each block of n vertices moved rigidly by its part's steps.
            const vec3 moved = step * float(Steps);
            const std::vector<vec3> by = action == Sculptor::Move
                                             ? std::vector<vec3>{moved + moved * mirror}
                                             : std::vector<vec3>{moved, moved * mirror, vec3(0, 0, 0)};
            ASSERT_EQ(shortSteps->vertexCount(), n * int(by.size()));
            for (std::size_t b = 0; b < by.size(); ++b) {
                double off = 0.0;
                for (int v = 0; v < n; ++v)
                    off = std::max(off, double(length(at(*shortSteps, int(b) * n + v) - (at(*ball, v) + by[b]))));
                EXPECT_LT(off, 1e-5) << "block " << b;
            }
        }
    }
}

// A mirrored Copy Move on a mesh of two balls, mirror images of each other
// across x = 0: the symmetric stamp lands on the other ball, a part of its
// own, so it copies and carries that ball, not the copy the first stamp
// left of the first ball, whether that ball is listed before the first
// stamp's or after it. Each ball moves by its own stamp's steps and a copy
// of each stays where it was, the first stamp's copy first.
TEST(MeshSculpt, MirroredCopyMoveOnASecondPartCopiesThatPart) {
    const vec3 mirror(-1, 1, 1), apart(3, 0, 0), step(-0.2f, 0.1f, 0.05f);
    constexpr int Steps = 4;
    std::unique_ptr<Mesh> seed(Mesh::Icosahedron());
    const MeshPtr ball(Mesh::Sphere(seed.get(), 2, false, true));
    const int n = ball->vertexCount();
    MeshPtr pair(ball->clone());
    const MeshPtr right(ball->clone());
    for (int v = 0; v < n; ++v) {
        pair->vertices[v].position = at(*ball, v) - apart;
        right->vertices[v].position = at(*ball, v) + apart;
    }
    pair->append(right.get());
    const MeshFace& f = pair->faces[0];
    const vec3 left = (at(*pair, f.v[0]) + at(*pair, f.v[1]) + at(*pair, f.v[2])) / 3.0f;
    for (const bool onRight : {false, true}) {
        // The first stamp's point and steps, on the left ball or the right.
        const vec3 a = onRight ? left * mirror : left, by = onRight ? step * mirror : step;
        for (const auto select : {Sculptor::SelectElement, Sculptor::SelectComponent}) {
            SCOPED_TRACE(testing::Message() << "on the right " << onRight << " select " << select);
            MeshPtr m(pair->clone());
            Stroke s;
            s.add(Sculptor::CopyMove, select, {sample(a, m->findFirstFace(a))});
            s.add(Sculptor::CopyMove, select, {sample(a * mirror, -1)});
            for (int k = 1; k <= Steps; ++k) {
                const vec3 b = a + by * float(k);
                s.step(*m, {sample(b), sample(b * mirror)}, k == Steps);
            }
            // The two balls moved, then the copy of the first stamp's ball,
            // then the copy of the other.
            const vec3 moved = step * float(Steps);
            const vec3 shift[] = {moved, moved * mirror, vec3(0, 0, 0), vec3(0, 0, 0)};
            const int first = onRight ? n : 0, from[] = {0, n, first, n - first};
            ASSERT_EQ(m->vertexCount(), 4 * n);
            for (int b = 0; b < 4; ++b) {
                double off = 0.0;
                for (int v = 0; v < n; ++v)
                    off = std::max(off, double(length(at(*m, b * n + v) - (at(*pair, from[b] + v) + shift[b]))));
                EXPECT_LT(off, 1e-5) << "block " << b;
            }
        }
    }
}

// Two mirrored Sculptors: whole-mesh actions act once, brush actions on both.
TEST(MeshSculpt, MirroredSculptorsApplyWholeMeshActionsOnce) {
    struct Row {
        int action;
        Sculptor::TSelect select;
        bool ended;
    };
    const Row rows[] = {
        {Sculptor::Subdivide, Sculptor::SelectElement, true},
        {Sculptor::Bevel, Sculptor::SelectElement, false},
        {Sculptor::Pattern2, Sculptor::SelectElement, true},
        {Sculptor::Scale, Sculptor::SelectElement, false},
        {Sculptor::Rotate, Sculptor::SelectAllPatches, false},
        {Sculptor::Relax, Sculptor::SelectElement, false},
        {Sculptor::Extrude, Sculptor::SelectAllPatches, false},
        {Sculptor::TearScale, Sculptor::SelectAllPatches, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.action);
        const vec3 a(0.3f, 0.3f, 0.0f), b(0.6f, 0.2f, -0.3f), mirror(-1, 1, 1);
        MeshPtr once = subdividedCube(), twice = subdividedCube();
        Stroke one, two;
        one.add(r.action, r.select, {sample(a, 0), sample(b, 0)});
        two.add(r.action, r.select, {sample(a, 0), sample(b, 0)});
        two.add(r.action, r.select, {sample(a * mirror, 1), sample(b * mirror, 1)});
        for (Stroke* s : {&one, &two})
            for (Sculptor* c : s->list)
                if (r.ended) c->end();
        one.sculpt(*once);
        two.sculpt(*twice);
        EXPECT_TRUE(sameShape(*once, *twice));
    }
}

// Brush actions act once per Sculptor: Move moves both picked components,
// ExtrudeInflate inflates each Sculptor's own patch once per step.
TEST(MeshSculpt, MirroredBrushActionsActOnEachCopy) {
    MeshPtr m(Mesh::Cube());
    MeshPtr shifted(Mesh::Cube());
    for (int v = 0; v < shifted->vertexCount(); ++v) shifted->vertices[v].position += vec3(3, 0, 0);
    m->append(shifted.get());
    m->initialize(Element::ResizeKeep);
    Stroke move;
    move.add(Sculptor::Move, Sculptor::SelectElement,
             {sample(vec3(0.3f, 0.3f, 0), 0), sample(vec3(0.3f, 0.3f, -1), 0)});
    move.add(Sculptor::Move, Sculptor::SelectElement,
             {sample(vec3(3.3f, 0.3f, 0), 12), sample(vec3(3.3f, 0.3f, -1), 12)});
    move.sculpt(*m);
    EXPECT_EQ(at(*m, m->faces[0].v[0]).z, -1.0f);
    EXPECT_EQ(at(*m, m->faces[12].v[0]).z, -1.0f);

    MeshPtr cube(Mesh::Cube());
    Stroke inflate;
    inflate.add(Sculptor::ExtrudeInflate, Sculptor::SelectPatch, {sample(vec3(0.5f, 0.5f, 0), 0)});
    inflate.add(Sculptor::ExtrudeInflate, Sculptor::SelectPatch, {sample(vec3(0.5f, 0.5f, 1), 2)});
    for (int i = 1; i <= 3; ++i) {
        const float d = 0.1f * float(i);
        inflate.step(*cube, {sample(vec3(0.5f, 0.5f, -d), 0), sample(vec3(0.5f, 0.5f, 1 + d), 2)});
    }
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(at(*cube, cube->faces[0].v[k]).z, -0.3f, 1e-5f);
        EXPECT_NEAR(at(*cube, cube->faces[2].v[k]).z, 1.3f, 1e-5f);
    }
}

// A Pinch step many radii long is clamped: no vertex passes the centre.
TEST(MeshSculpt, LongPinchStepNeverCarriesAVertexPastTheCentre) {
    MeshPtr m(meshtest::smoothSphere(3));
    const MeshPtr before(m->clone());
    const vec3 c = at(*m, 0);
    Stroke s;
    s.add(Sculptor::Pinch, Sculptor::SelectElement, {sample(c, -1, 0.6f), sample(c + vec3(6, 0, 0), -1, 0.6f)});
    s.sculpt(*m);
    int moved = 0;
    for (int v = 0; v < m->vertexCount(); ++v) {
        EXPECT_GE(dot(at(*m, v) - c, at(*before, v) - c), 0.0) << v;
        moved += at(*m, v) != at(*before, v);
    }
    EXPECT_GT(moved, 1);
}

// Twist on the sheet about the z axis through the origin: the rim vertex 1
// on the unit circle at t = 0.5 turns by half the step's angle.
TEST(MeshSculpt, TwistTurnsByTheAngleScaledByTheDistanceFromTheAxis) {
    struct Row {
        vec3 previous, last, rim1;
    };
    const Row rows[] = {
        {{0, 0, 5}, {0, 3, 0}, {1, 0, 0}},                    // previous point on the axis
        {{1, 0, 0}, {0, 0, -2}, {1, 0, 0}},                   // last point on the axis
        {{1, 0, 0}, {0, 3, 0}, {0.5f, 0.5f, 0}},              // beyond the radius: 90 degrees
        {{1, 0, 0}, {0, 1, 0}, {0.8535534f, 0.3535534f, 0}},  // half the radius: 45 degrees
    };
    for (const Row& r : rows) {
        MeshPtr m(meshtest::makeHexagon());
        Stroke s;
        Sculptor& c = s.add(Sculptor::Twist, Sculptor::SelectElement,
                            {sample(vec3(0, 0, 0), -1, 2.0f), sample(r.previous, -1, 2.0f), sample(r.last, -1, 2.0f)});
        c.viewDirection = vec3(0, 0, 1);
        s.sculpt(*m);
        EXPECT_NEAR(at(*m, 1).x, r.rim1.x, 1e-5f);
        EXPECT_NEAR(at(*m, 1).y, r.rim1.y, 1e-5f);
    }
}

// A cut plane released where it was pressed has no direction: nothing is cut.
TEST(MeshSculpt, CutPlaneReleasedAtThePressPointCutsNothing) {
    MeshPtr m(meshtest::smoothSphere(2));
    const int faces = m->faceCount();
    Stroke s;
    Sculptor& c = s.add(Sculptor::CutPlane, Sculptor::SelectElement, {sample(at(*m, 0), 0), sample(at(*m, 0), 0)},
                        Gesture::Ended);
    c.viewDirection = vec3(0, 0, 1);
    s.sculpt(*m);
    EXPECT_EQ(m->faceCount(), faces);
    EXPECT_EQ(m->topologyChanged, 1);
}

// The release of an Extrude stroke refreshes every normal and the selection
// and does not extrude again.
TEST(MeshSculpt, ExtrudeReleaseRecomputesNormalsWithoutExtruding) {
    MeshPtr m(Mesh::Cube());
    Stroke s;
    s.add(Sculptor::Extrude, Sculptor::SelectPatch, {sample(vec3(0.5f, 0.5f, 0), 0)});
    s.step(*m, {sample(vec3(0.5f, 0.5f, -0.3f), 0)});
    s.step(*m, {sample(vec3(0.5f, 0.5f, -0.6f), 0)});
    const MeshPtr before(m->clone());
    s.step(*m, {sample(vec3(0.5f, 0.5f, -0.9f), 0)}, true);
    EXPECT_TRUE(sameShape(*m, *before));
    EXPECT_TRUE(m->selectedFaces.empty() && m->selectedVertices.empty());
    before->calculateNormals(2);
    for (int f = 0; f < m->faceCount(); ++f) EXPECT_EQ(m->faces[f].normal, before->faces[f].normal) << f;
    EXPECT_EQ(m->refill[1], 1);
}

// Two subdivided unit cubes side by side (the second from x = 1.2), every
// vertex shaken a little so that smoothing moves it; the brush sits on the
// first cube's side x = 1, its radius reaching the second cube and the
// first cube's other sides.
struct TwoCubes {
    MeshPtr mesh;
    int face = -1;  // a face of the side x = 1 under the brush
    vec3 brush{1.0f, 0.43f, 0.52f};

    TwoCubes() {
        MeshPtr a(Mesh::Cube());
        a->subdivide(false);
        a->subdivide(false);
        MeshPtr b(a->clone());
        for (int v = 0; v < b->vertexCount(); ++v) b->vertices[v].position += vec3(1.2f, 0, 0);
        a->append(b.get());
        std::mt19937 rng(3);
        auto shake = [&rng] { return (float(rng() >> 8) * 0x1p-24f - 0.5f) * 0.02f; };
        for (int v = 0; v < a->vertexCount(); ++v) a->vertices[v].position += vec3(shake(), shake(), shake());
        a->calculateNormals(2);
        mesh = std::move(a);
        float best = 1e9f;
        for (int f = 0; f < mesh->faceCount(); ++f) {
            const MeshFace& F = mesh->faces[f];
            vec3 c;
            for (const int v : F.v) c += at(*mesh, v) * (1.0f / 3);
            if (F.normal.x > 0.9f && c.x < 1.1f && length(c - brush) < best) {
                best = float(length(c - brush));
                face = f;
            }
        }
    }
};

// Which parts of TwoCubes an edit reached: the picked side, the first
// cube's other sides, the second cube (vertices moved, or made there).
struct Reach {
    bool side = false, otherSides = false, otherCube = false;
    bool operator==(const Reach& o) const {
        return side == o.side && otherSides == o.otherSides && otherCube == o.otherCube;
    }
};

Reach reached(const Mesh& before, const Mesh& after) {
    Reach r;
    for (int v = 0; v < after.vertexCount(); ++v) {
        const vec3 p = at(after, v);
        if (v < before.vertexCount() && at(before, v) == p) continue;
        if (p.x > 1.1f)
            r.otherCube = true;
        else if (p.x < 0.9f)
            r.otherSides = true;
        else
            r.side = true;
    }
    return r;
}

// Deform, Smooth and CutPlane act on the whole mesh (Element, All
// Patches), on the picked face's component or on its sharp-bounded patch.
TEST(MeshSculpt, ScopesRouteDeformSmoothAndCutPlane) {
    const TwoCubes cubes;
    ASSERT_GE(cubes.face, 0);
    const Reach whole{true, true, true}, component{true, true, false}, patch{true, false, false};
    const struct {
        Sculptor::TSelect select;
        Reach reach;
    } scopes[] = {{Sculptor::SelectElement, whole},
                  {Sculptor::SelectAllPatches, whole},
                  {Sculptor::SelectComponent, component},
                  {Sculptor::SelectPatch, patch}};
    const vec3 p = cubes.brush;
    const struct {
        int action;
        vec3 last;
        Gesture::TState state;
    } actions[] = {
        {Sculptor::Deform, p + vec3(0.05f, 0.03f, 0.02f), Gesture::Moving},
        {Sculptor::Smooth, p, Gesture::Moving},
        // Seen along x, a stroke along z: the plane y = 0.43.
        {Sculptor::CutPlane, p + vec3(0, 0, 0.3f), Gesture::Ended},
    };
    for (const auto& a : actions)
        for (const auto& scope : scopes) {
            MeshPtr m(cubes.mesh->clone());
            Stroke s;
            Sculptor& c =
                s.add(a.action, scope.select, {sample(p, cubes.face, 0.7f), sample(a.last, cubes.face, 0.7f)}, a.state);
            c.viewDirection = vec3(1, 0, 0);
            s.sculpt(*m);
            const Reach r = reached(*cubes.mesh, *m);
            EXPECT_TRUE(r == scope.reach) << "action " << a.action << ", scope " << scope.select << ": side " << r.side
                                          << ", other sides " << r.otherSides << ", other cube " << r.otherCube;
        }
}
