// Plane cuts, clips and subtractions of meshes that sculpting left behind
// (tests/mesh/data): folds, points where many crossing points coincide,
// open borders. Every call must leave a sound mesh that a save and load
// keep as it is.

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_kept_util.h"
#include "mesh/mesh_measure_util.h"
#include "support/sanitizer.h"

using namespace qel;
using meshtest::checkMeshInvariants;
using meshtest::reloadProblem;

namespace {

const std::string data = TL_TEST_DATA "/";
const pbr paint(wvec4(1000, 2000, 3000, 65535), wvec4(0, 0, 0, 65535), 1234, 0);

std::unique_ptr<Mesh> kept(const std::string& name) { return meshtest::loadKeptMesh(data + name + ".kept"); }

// The invariants, then what a save and load would lose.
std::string problem(Mesh& m) {
    std::string p = checkMeshInvariants(m);
    return p.empty() ? reloadProblem(m) : p;
}

TEST(MeshPlaneSculpted, SubtractionsThatLeftAFaceNamingAVertexTwiceOrALinkWithoutEdgeBackStaySound) {
    // Through points where hundreds of crossing points round onto one
    // point: their fans were merged without the caps that join them, and
    // the slivers' collapses round the merged vertex broke faces.
    struct Cut {
        const char* mesh;
        vec3 point, normal;
    };
    const Cut cuts[] = {
        {"subplane_repeated_vertex", vec3(0x1.b181b6p-3f, -0x1.a5be2p-2f, 0x1.f260d8p-4f),
         vec3(0x1.8f14c2p-3f, 0x1.d2b898p-1f, 0x1.72bc78p-2f)},
        {"subplane_open_link", vec3(0x1.b75016p-2f, -0x1.0d7db8p-2f, -0x1.4a091ap-2f),
         vec3(-0x1.7870a4p-1f, 0x1.4c489p-1f, -0x1.907e04p-3f)},
    };
    for (const Cut& c : cuts) {
        SCOPED_TRACE(c.mesh);
        const auto m = kept(c.mesh);
        ASSERT_TRUE(m);
        ASSERT_EQ(problem(*m), "");
        m->subPlane(c.point, c.normal, paint);
        EXPECT_EQ(problem(*m), "");
        EXPECT_GT(meshtest::activeFaceCount(*m), 3000);
        // The broken face survived smoothing and subdivision into the file.
        m->smoothAll(true, true);
        m->subdivide(true);
        m->subPlane(vec3(0, 0, 0), vec3(0, 0, 1), paint);
        EXPECT_EQ(problem(*m), "");
    }
}

TEST(MeshPlaneSculpted, SubPlaneStrokesStaySoundAndLeaveNoVertexWithoutAFace) {
    // A user's SubPlane stroke whose release broke a face; and a mirrored
    // stroke in Patch scope whose release removes every face.
    {
        const auto m = kept("subplane_stroke_repeated_vertex");
        ASSERT_TRUE(m);
        int calls = 0;
        ASSERT_TRUE(meshtest::replayStrokes(*m, data + "subplane_stroke_repeated_vertex.stroke", [&](int call) {
            calls = call;
            EXPECT_EQ(checkMeshInvariants(*m), "") << "call " << call;
            return true;
        }));
        EXPECT_EQ(calls, 6);
        EXPECT_EQ(problem(*m), "");
    }
    const auto m = kept("subplane_stroke_orphans");
    ASSERT_TRUE(m);
    ASSERT_GT(meshtest::openEdgeCount(*m), 3000);
    ASSERT_TRUE(meshtest::replayStrokes(*m, data + "subplane_stroke_orphans.stroke", [&](int call) {
        EXPECT_EQ(checkMeshInvariants(*m), "") << "call " << call;
        return true;
    }));
    EXPECT_EQ(meshtest::activeFaceCount(*m), 0);
    EXPECT_EQ(meshtest::activeVertexCount(*m), 0);
    EXPECT_EQ(problem(*m), "");
}

TEST(MeshPlaneSculpted, ClipsAndSubtractionsLeaveNoVertexWithoutAFace) {
    // A vertex no face uses, as an edit may leave one: a load drops it, so
    // a save, load and save would differ.
    for (const bool subtract : {false, true}) {
        std::unique_ptr<Mesh> m(Mesh::Cube());
        m->vertexAdd(vec3(0.5f, 0.5f, 0.5f));
        if (subtract)
            m->subPlane(vec3(0.5f, 0.5f, 0.5f), vec3(0, 0, 1), paint);
        else
            m->clipPlane(vec3(0.5f, 0.5f, 0.5f), vec3(0, 0, 1));
        EXPECT_EQ(problem(*m), "") << subtract;
    }
}

float unit(std::mt19937& rng) { return float(rng() >> 8) * 0x1p-24f; }

TEST(MeshPlaneSculpted, RandomCutsNearTheCentreOfSculptedMeshesStaySound) {
    // Each call on a fresh copy of one of the sculpted meshes (three of them
    // open along 1,759 to 6,240 edges): a plane through a point near the
    // centre, turned at random; mostly subtractions, some clips and cuts.
    const char* names[] = {"subplane_stroke_orphans", "subplane_repeated_vertex", "subplane_open_link",
                           "subplane_stroke_repeated_vertex"};
    std::mt19937 rng(85);
    int calls = 0, broken = 0;
    for (const char* name : names) {
        const auto base = kept(name);
        ASSERT_TRUE(base);
        vec3 centre(0, 0, 0);
        for (int v = 0; v < base->vertexCount(); ++v) centre += base->vertices[v].position;
        centre = centre * (1.0f / float(base->vertexCount()));
        const int rounds = tltest::sanitizedRounds(name == names[0] ? 150 : 40);
        for (int i = 0; i < rounds && broken < 3; ++i) {
            const vec3 point = centre + vec3(unit(rng) - 0.5f, unit(rng) - 0.5f, unit(rng) - 0.5f) * 0.2f;
            const vec3 normal = normalize(vec3(unit(rng) - 0.5f, unit(rng) - 0.5f, unit(rng) - 0.5f));
            Mesh m(*base);
            const unsigned op = rng() % 8;
            if (op == 0)
                m.clipPlane(point, normal);
            else if (op == 1)
                m.cutPlane(point, normal);
            else
                m.subPlane(point, normal, paint);
            ++calls;
            const std::string p = problem(m);
            if (p.empty()) continue;
            ++broken;
            ADD_FAILURE() << name << ", call " << i << " (" << op << ") through " << point.x << " " << point.y << " "
                          << point.z << ": " << p;
        }
    }
    RecordProperty("calls", calls);
    RecordProperty("broken", broken);
}

}  // namespace
