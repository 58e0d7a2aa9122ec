// The rules of the sphere dent and bump, each on presses that need it: the
// faces the press folds within a plane through the centre, the edges it
// flips to mend them and the neighbours a corner lands on where no flip
// does, the materials the flipped faces keep, which faces count as turned
// over by the press, and how far off a position may be and still be
// rounding. Each press is one of the random presses of a
// primitive or a sculpted mesh (tests/mesh/sphere_press_util.h), named by
// the mesh, the sites drawn, the seed and its place in the draw.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_kept_util.h"
#include "mesh/sphere_press_util.h"

using namespace qel;
using namespace spheretest;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

// A press of the draw pressesOn(primitive, sites, seed), as a bump (add)
// or a dent.
struct DrawnPress {
    int mesh, sites, seed, index;  // mesh: a primitive, or after them sculpted(mesh - their count)
    bool add;
};

MeshPtr baseOf(const DrawnPress& c) {
    const auto prims = primitives();
    if (c.mesh < int(prims.size())) return MeshPtr(prims[std::size_t(c.mesh)]());
    return MeshPtr(sculpted(c.mesh - int(prims.size())));
}

Press pressOf(const Mesh& base, const DrawnPress& c) {
    std::mt19937 rng(std::uint32_t(c.seed));
    return pressesOn(base, c.sites, rng)[std::size_t(c.index)];
}

std::string name(const DrawnPress& c) {
    return "mesh " + std::to_string(c.mesh) + " draw " + std::to_string(c.sites) + "/" + std::to_string(c.seed) +
           " press " + std::to_string(c.index);
}

// The painted faces on the sphere that face away from its centre (for a
// dent; towards it for a bump) by more than `by` of the radius (a
// thousandth unless told), where the centre sees the mesh before the press
// from one side only: the segment from the centre through the face's
// middle, the radius long, crosses it once or never. Where it crosses more
// often the sphere reaches round the surface, and the press turns the part
// seen from behind over.
int turnedWhereTheMeshFoldsNot(const Mesh& base, const Mesh& m, const Press& p, bool add, double by = 1e-3) {
    dvec3 o;
    double R;
    pressSphere(p, add, o, R);
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        if (!F.isActive() || !(F.material[0] == paint)) continue;
        const dvec3 q[3] = {dvec3(m.vertices[F.v[0]].position), dvec3(m.vertices[F.v[1]].position),
                            dvec3(m.vertices[F.v[2]].position)};
        bool onSphere = true;
        for (const dvec3& c : q) onSphere = onSphere && std::fabs(std::sqrt(dot(c - o, c - o)) - R) <= 1e-5 * R;
        const dvec3 normal = cross(q[1] - q[0], q[2] - q[0]);
        if (!onSphere || !(dot(normal, normal) > 0)) continue;
        const double towards = dot(normal, o - q[0]) / std::sqrt(dot(normal, normal));
        if (!((add ? -towards : towards) < -by * R)) continue;
        const dvec3 middle = (q[0] + q[1] + q[2]) * (1.0 / 3), d = middle - o;
        const dvec3 end = o + d * (R / std::sqrt(dot(d, d)));
        int crossings = 0;
        for (int g = 0; g < base.faceCount(); ++g) {
            const MeshFace& G = base.faces[g];
            dvec3 at;
            crossings += G.isActive() && IntersectionTriangleSegment(dvec3(base.vertices[G.v[0]].position),
                                                                     dvec3(base.vertices[G.v[1]].position),
                                                                     dvec3(base.vertices[G.v[2]].position), o, end, at);
        }
        n += crossings < 2;
    }
    return n;
}

PressTally pressAll(const std::vector<DrawnPress>& cases) {
    PressTally t;
    for (const DrawnPress& c : cases) {
        const MeshPtr base = baseOf(c);
        press(*base, pressOf(*base, c), c.add, name(c), t);
    }
    return t;
}

// A copy of `base` with press p applied, which must leave it sound.
MeshPtr pressedSound(Mesh& base, const Press& p, bool add) {
    MeshPtr m(base.clone());
    m->subSphere(p.point, p.normal, p.rim, add, paint);
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    return m;
}

// Press c leaves the mesh sound and no face turned over on the sphere where
// the mesh does not fold back (by more than `by` of the radius).
void expectNoneTurnedWhereTheMeshFoldsNot(const DrawnPress& c, double by = 1e-3) {
    SCOPED_TRACE(name(c));
    const MeshPtr base = baseOf(c);
    const Press p = pressOf(*base, c);
    const MeshPtr m = pressedSound(*base, p, c.add);
    EXPECT_EQ(turnedWhereTheMeshFoldsNot(*base, *m, p, c.add, by), 0);
}

}  // namespace

// A face the press turns over in space is folded within a plane only where
// the centre lies in its plane before the press. Where the centre sees it
// from behind (a face of a cylinder's side behind the dent's centre, whose
// press the shape turns over) no edge of it is flipped and no corner moved
// onto a neighbour, and no face on the sphere is left turned over.
TEST(MeshSphereRules, AFaceTurnedOverOffThePlaneOfTheCentreIsNotFoldedInIt) {
    const PressTally t = pressAll({{17, 192, 1017, 190, false}});
    EXPECT_EQ(t.checked, t.operations) << report(t);
    EXPECT_EQ(t.unsound + t.inside + t.turned + t.folded, 0) << report(t);
}

// Where the press flips an edge of a face folded within a plane, the two
// faces then lie on the face across that edge: its corners keep that face's
// materials there and only the pressed corner keeps the paint. A face
// holding the paint on some corners and not on others so holds it on one.
// Dents on the cube, whose sides lie in planes through the centres of
// presses on their neighbours.
TEST(MeshSphereRules, FlippedFacesKeepTheMaterialsOfTheFaceAcross) {
    const std::vector<DrawnPress> cases = {
        {3, 24, 14, 3, false}, {3, 24, 14, 15, false}, {3, 24, 14, 42, true}, {3, 24, 14, 66, true}};
    int mixed = 0;
    for (const DrawnPress& c : cases) {
        SCOPED_TRACE(name(c));
        const MeshPtr base = baseOf(c);
        const MeshPtr m = pressedSound(*base, pressOf(*base, c), c.add);
        for (int f = 0; f < m->faceCount(); ++f) {
            const MeshFace& F = m->faces[f];
            if (!F.isActive()) continue;
            int painted = 0;
            for (const pbr& x : F.material) painted += x == paint;
            if (painted == 0 || painted == 3) continue;
            ++mixed;
            EXPECT_EQ(painted, 1) << "face " << f;
        }
    }
    EXPECT_GT(mixed, 0);
}

// An edge of a face folded within a plane through the centre is flipped
// only where the face across lies in that plane too: the turns that decide
// the flip are seen in that plane. A dent on a cylinder's rim whose sphere
// reaches round its side, where a flip across to a face off the plane
// would turn a face over on the sphere, well away from the side the centre
// sees from behind.
TEST(MeshSphereRules, AFoldedFaceFlipsOnlyWithAFaceInItsPlane) {
    expectNoneTurnedWhereTheMeshFoldsNot({16, 192, 1016, 99, false});
}

// A point lies on the sphere up to a few float steps at its own place or
// the centre's, whichever is larger: a bump over the middle of a tilted
// cube's edge where, judged by a point's own place alone, a face is left
// turned over on the sphere where the mesh does not fold back.
TEST(MeshSphereRules, OnTheSphereUpToTheRoundingAtTheCentresPlace) {
    expectNoneTurnedWhereTheMeshFoldsNot({5, 192, 1005, 222, true});
}

// A dent's face that rounding turned from the centre it faces is mended (its
// corners moved by rounding alone put back): dents on a cylinder's rim,
// where a sliver would be left folded within a plane through the centre.
// A bump's faces are judged by the face they lie in alone: bumps over the
// middle of a tilted cube's edges, where corners put back for the turn the
// centre sees would leave a face folded within the plane of a side.
TEST(MeshSphereRules, OnlyADentsFaceIsHeldToTheTurnTheCentreSees) {
    const PressTally dents = pressAll({{16, 48, 5016, 66, false}, {16, 192, 1016, 174, false}});
    EXPECT_EQ(dents.checked, dents.operations) << report(dents);
    EXPECT_EQ(dents.unsound + dents.inside + dents.turned + dents.folded, 0) << report(dents);
    const PressTally bumps = pressAll(
        {{5, 192, 1005, 594, true}, {5, 192, 1005, 666, true}, {5, 48, 5005, 6, true}, {5, 48, 5005, 150, true}});
    EXPECT_EQ(bumps.checked, bumps.operations) << report(bumps);
    EXPECT_EQ(bumps.unsound + bumps.inside + bumps.turned + bumps.folded, 0) << report(bumps);
}

// A vertex pressed within rounding of a neighbour lands on it: dents over
// the middle of a tilted cube's edges and a cylinder's rim, where the
// sliver between them, a float step wide, would be left folded within a
// plane through the centre.
TEST(MeshSphereRules, AVertexPressedWithinRoundingOfANeighbourLandsOnIt) {
    const PressTally t = pressAll({{5, 192, 1005, 97, false}, {5, 192, 1005, 183, false}, {16, 48, 5016, 64, false}});
    EXPECT_EQ(t.checked, t.operations) << report(t);
    EXPECT_EQ(t.unsound + t.inside + t.turned + t.folded, 0) << report(t);
}

// A vertex the press moved by rounding alone, a corner of a face it turned
// against the face it lies in, is put back where the cut left it: bumps
// over a tilted cylinder's rim, where such a sliver would be left folded
// within a plane through the centre.
TEST(MeshSphereRules, ACornerMovedByRoundingThatTurnsAFaceIsPutBack) {
    const PressTally t =
        pressAll({{17, 192, 4017, 330, true}, {17, 192, 7017, 282, true}, {17, 192, 8017, 30, true}});
    EXPECT_EQ(t.checked, t.operations) << report(t);
    EXPECT_EQ(t.unsound + t.inside + t.turned + t.folded, 0) << report(t);
}

// A position off the sphere by up to four float steps of its place is
// taken for rounding, about what a sphere of no size moves a vertex by.
// Sculpted meshes: a dent whose corners pressed by four steps must be put
// back where the cut left them (taken for pressed at three, a sliver is
// left folded within a plane through the centre), and a bump whose corners
// pressed by eight steps must not (put back, a face is left turned over).
TEST(MeshSphereRules, RoundingIsFourFloatStepsOfAPlace) {
    const PressTally t = pressAll({{33, 192, 1033, 470, true}, {30, 192, 1030, 179, false}});
    EXPECT_EQ(t.checked, t.operations) << report(t);
    EXPECT_EQ(t.unsound + t.inside + t.turned + t.folded, 0) << report(t);
}

// A pressed corner of a folded face that no flip mends lands on a
// neighbour on the sphere where no face round it is then turned over or
// folded: dents on a cylinder's rim in both tilts, whose sphere reaches
// round its side, where the corner left where it was pressed leaves faces
// turned over on the sphere where the mesh does not fold back (edge-on to
// the centre up to a few millionths of the radius, far past rounding).
TEST(MeshSphereRules, AFoldedFacesCornerNoFlipMendsLandsOnANeighbour) {
    for (const DrawnPress& c : {DrawnPress{17, 24, 28, 15, false}, DrawnPress{16, 192, 1016, 447, false},
                                DrawnPress{17, 192, 1017, 159, false}})
        expectNoneTurnedWhereTheMeshFoldsNot(c, 1e-6);
}

// A face of no area that the press opens within a plane through the centre
// turns as a face round a pressed corner of it that lies in that plane: a
// dent on a sheet a user's sculpting left (stacks of coincident vertices,
// faces of no area between them), where such a face, left folded, turns
// over on the sphere where the sheet does not fold back.
TEST(MeshSphereRules, AFaceOfNoAreaOpenedWithinAPlaneTurnsAsTheFacesRoundIt) {
    const MeshPtr sheet = meshtest::loadKeptMesh(TL_TEST_DATA "/subplane_repeated_vertex.kept");
    ASSERT_TRUE(sheet);
    const Press p = {vec3(0x1.a6692ap-2f, -0x1.1419p-2f, -0x1.241ff8p-7f),
                     vec3(-0x1.808e1ep-4f, 0x1.b25644p-4f, -0x1.fad6c4p-1f),
                     vec3(-0x1.02c2p-4f, -0x1.af053cp-2f, 0x1.479274p-6f)};
    MeshPtr m(sheet->clone());
    m->subSphere(p.point, p.normal, p.rim, false, paint);
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    EXPECT_EQ(turnedWhereTheMeshFoldsNot(*sheet, *m, p, false), 0);
}

// A crossing of the sphere lies on an edge's inside end where that end is on
// the sphere and the edge leaves it outwards: dents on a tilted cube and on
// a cylinder in both tilts, where a point placed a float step off that end
// leaves a face turned over on the sphere where the mesh does not fold
// back.
TEST(MeshSphereRules, ACrossingOnAnInsideEndOnTheSphereIsThatEnd) {
    for (const DrawnPress& c : {DrawnPress{5, 24, 16, 87, false}, DrawnPress{16, 24, 27, 78, false},
                                DrawnPress{16, 24, 27, 87, false}, DrawnPress{17, 24, 28, 18, false}})
        expectNoneTurnedWhereTheMeshFoldsNot(c);
}

// A split the halves of a face would not keep its turn at moves onto the
// nearer end of its edge: dents and a bump on two cylinders, as made and
// tilted, where moved onto the farther end it makes a vertex off the
// sphere outside it, a corner the rim of the dent reaches out to.
TEST(MeshSphereRules, ASplitMovesOntoTheNearerEndOfItsEdge) {
    for (const DrawnPress& c : {DrawnPress{15, 24, 26, 54, true}, DrawnPress{16, 24, 27, 30, false},
                                DrawnPress{18, 24, 29, 6, false}, DrawnPress{19, 24, 30, 42, false}}) {
        SCOPED_TRACE(name(c));
        const MeshPtr base = baseOf(c);
        const Press p = pressOf(*base, c);
        const MeshPtr m = pressedSound(*base, p, c.add);
        dvec3 o;
        double R;
        pressSphere(p, c.add, o, R);
        int off = 0;
        for (int v = 0; v < m->vertexCount(); ++v) {
            const vec3 q = m->vertices[v].position;
            const bool moved = v >= base->vertexCount() || !(q == base->vertices[v].position);
            off += m->vertices[v].isActive() && moved && std::sqrt(dot(dvec3(q) - o, dvec3(q) - o)) - R > 1e-5 * R;
        }
        EXPECT_EQ(off, 0);
    }
}

// A corner of a folded face that no flip mends lands only on a neighbour on
// the sphere: a split the cut moved onto its edge's inside end is pressed
// with the outside end for a neighbour. Dents and bumps on a sheet a user's
// sculpting left (stacks of coincident vertices, faces of no area), where
// landing on such a neighbour would leave vertices that lay inside the
// sphere up to half its radius off it.
TEST(MeshSphereRules, AFoldedFacesCornerLandsOnlyOnTheSphere) {
    const MeshPtr sheet = meshtest::loadKeptMesh(TL_TEST_DATA "/subplane_open_link.kept");
    ASSERT_TRUE(sheet);
    const vec3 down(0, 0, -1);
    const struct {
        Press p;
        bool add;
    } cases[] = {
        {{vec3(-0x1.6e572p-2f, 0x1.35508cp-1f, 0), down, vec3(-0x1.9b826ap-2f, 0x1.99316cp-1f, 0)}, false},
        {{vec3(0x1.6221dep-1f, -0x1.32dcf2p-2f, 0), down, vec3(0x1.091bp+0f, 0x1.032d7p-4f, 0)}, true},
    };
    for (const auto& c : cases) {
        MeshPtr m(sheet->clone());
        m->subSphere(c.p.point, c.p.normal, c.p.rim, c.add, paint);
        EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
        dvec3 o;
        double R;
        pressSphere(c.p, c.add, o, R);
        int off = 0;
        for (int v = 0; v < sheet->vertexCount(); ++v) {
            const dvec3 was = dvec3(sheet->vertices[v].position) - o, now = dvec3(m->vertices[v].position) - o;
            off += std::sqrt(dot(was, was)) < R * (1 - 1e-5) && std::fabs(std::sqrt(dot(now, now)) - R) > 1e-5 * R;
        }
        EXPECT_EQ(off, 0) << (c.add ? "bump" : "dent");
    }
}
