// The rules of the sphere dent and bump, each on presses that need it: the
// faces the press folds within a plane through the centre and how they are
// mended (an edge flipped, a corner landed on a neighbour on the circle),
// and the materials the flipped faces keep. Each press is one of the random
// presses of a primitive (tests/mesh/sphere_press_util.h), named by the
// primitive, the sites drawn, the seed and its place in the draw.

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/sphere_press_util.h"

using namespace qel;
using namespace spheretest;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

// A press of the draw pressesOn(primitive, sites, seed), as a bump (add)
// or a dent.
struct DrawnPress {
    int mesh, sites, seed, index;
    bool add;
};

MeshPtr baseOf(const DrawnPress& c) { return MeshPtr(primitives()[std::size_t(c.mesh)]()); }

Press pressOf(const Mesh& base, const DrawnPress& c) {
    std::mt19937 rng(std::uint32_t(c.seed));
    return pressesOn(base, c.sites, rng)[std::size_t(c.index)];
}

std::string name(const DrawnPress& c) {
    return "primitive " + std::to_string(c.mesh) + " draw " + std::to_string(c.sites) + "/" + std::to_string(c.seed) +
           " press " + std::to_string(c.index);
}

PressTally pressAll(const std::vector<DrawnPress>& cases) {
    PressTally t;
    for (const DrawnPress& c : cases) {
        const MeshPtr base = baseOf(c);
        press(*base, pressOf(*base, c), c.add, name(c), t);
    }
    return t;
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
        const Press p = pressOf(*base, c);
        MeshPtr m(base->clone());
        m->subSphere(p.point, p.normal, p.rim, c.add, paint);
        EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
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
