// Save, load and save again after edits: the second file holds the same
// bytes as the first for curves and meshes that edits left otherwise than a
// load leaves them.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "curves/curve.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/tool_test_util.h"

using namespace qel;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class SceneFileEditsTest : public ::testing::Test {
protected:
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }

    // The element shown by one object, edited, then saved, loaded and saved.
    void roundTrip(Element* e, const std::function<void()>& edit) {
        Scene scene;
        scene.objectsRoot->addChild(tooltest::newTool(e, true), false);
        edit();
        ASSERT_TRUE(scene.save(path("first.tl")));
        Scene loaded;
        ASSERT_TRUE(loaded.load(path("first.tl")));
        ASSERT_TRUE(loaded.save(path("second.tl")));
        EXPECT_EQ(readFile(path("second.tl")), readFile(path("first.tl")));
    }

    QTemporaryDir dir;
};

// A sphere with its top clipped off (an open border), sculpted.
Mesh* openSculptedSphere() {
    const std::unique_ptr<Mesh> cube(Mesh::Cube());
    Mesh* m = Mesh::Sphere(cube.get(), 2, false, true);
    m->clipPlane(vec3(0, 0.3f, 0), vec3(0, 1, 0));
    m->deform(vec3(0.2f, 0, 0.4f), vec3(0.3f, 0.1f, 0.5f), 0.5f);
    m->smooth(vec3(-0.2f, 0, 0), vec3(), 0.6f);
    return m;
}

}  // namespace

TEST_F(SceneFileEditsTest, EditedCurvesWriteTheirChainsAsALoadOrdersThem) {
    // Closed curves clipped open, each chain then starting inside its edge
    // list; then cut at a point, or a sharp one with a vertex moved.
    const std::vector<std::function<void(Curve&)>> edits = {
        [](Curve& c) { c.clipPlane(vec3(0, 0, 0), vec3(0.2588f, 0.9659f, 0)); },
        [](Curve& c) {
            c.clipPlane(vec3(0.3536f, -0.3536f, 0), vec3(-0.7071f, 0.7071f, 0));
            c.cutPoint(vec3(0, -1, 0), 3);
        },
        [](Curve& c) {
            c.clipPlane(vec3(-0.483f, 0.1294f, 0), vec3(-0.9659f, 0.2588f, 0));
            c.deformPoint(2, vec3(0.3f, 2, 0));
        },
    };
    for (std::size_t k = 0; k < edits.size(); ++k) {
        SCOPED_TRACE(k);
        Curve* c = Curve::Circle(12, k == 2);
        roundTrip(c, [&] { edits[k](*c); });
    }
}

TEST_F(SceneFileEditsTest, EditedMeshesWriteTheCornersALoadFinds) {
    // Cut and sculpted; then creases from the open border inwards make
    // their border vertices corners, which only a load would mark.
    Mesh* m = openSculptedSphere();
    roundTrip(m, [m] {
        m->subPlane(vec3(0.35f, 0, 0), vec3(1, 0.1f, 0), pbr());
        m->cutPlane(vec3(0, 0, -0.1f), vec3(0, 0.3f, 1));
        m->deform(vec3(0, 0.2f, 0.4f), vec3(0.1f, 0.2f, 0.5f), 0.4f);
        int creased = 0;
        for (int f = 0; f < m->faceCount() && creased < 3; ++f)
            for (int k = 0; k < 3; ++k) {
                const MeshFace& F = m->faces[f];
                const int v = F.v[(k + 1) % 3];
                if (F.f[k] < 0 || F.isSharp(k) || !(m->vertices[v].flags & MeshVertex::BorderBit)) continue;
                m->edgeSharpFK(f, k, true);
                ASSERT_TRUE(m->corner(v));
                ++creased;
                break;
            }
        ASSERT_EQ(creased, 3);
    });
}
