// Array copies in the scene's lists and in the whole-scene OBJ export: large
// arrays are listed whole, and copies over an array's cap are counted where
// the lists and the export say what they hold.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "curves/curve.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "tools/array.h"

using namespace qel;

namespace {

// An array of one copy of item per edge of a line of n edges.
Array* arrayOf(Tool* item, int n, float y) {
    std::vector<vec3> points;
    for (int i = 0; i <= n; ++i) points.push_back(vec3(float(i), y, 0));
    auto* a = new Array(new Curve(points, false), {item}, {(1 << 15) | 1}, Array::Simple, mat4::Identity(),
                        mat4::Identity(), pbr(), false);
    a->flags |= Tool::FlagObject;
    return a;
}

// The same with a cube for item, placed in the scene.
Array* placeCubeArray(Scene& scene, int n, float y) {
    Tool cube(Mesh::Cube(), mat4::Identity(), pbr(), false);
    Array* a = arrayOf(&cube, n, y);
    scene.objectsRoot->addChild(a, false);
    return a;
}

// The file read in one piece: the export runs to tens of megabytes, which a
// character at a time reads for longer than the export takes under the
// sanitizers.
std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(ArrayCopies, TwoArraysOfFortyThousandCubesAreListedAndExportedWhole) {
    Scene scene;
    placeCubeArray(scene, 40000, 0);
    placeCubeArray(scene, 40000, 2);
    scene.toList();
    EXPECT_EQ(scene.objects.size(), 2 + 80000);
    EXPECT_EQ(scene.objects.copiesLeftOut, 0u);

    QTemporaryDir dir;
    const std::string path = dir.filePath("arrays.obj").toStdString();
    ASSERT_TRUE(scene.save(path));
    EXPECT_EQ(scene.exportCopiesLeftOut, 0u);
    const std::string text = readText(path);
    EXPECT_NE(text.find("# Global: 80000 objects, 640000 vertices, 960000 faces\n"), std::string::npos);
    EXPECT_EQ(text.find("# Left out"), std::string::npos);

    // Saved and opened again: the file's budget grows with its bytes.
    const std::string saved = dir.filePath("arrays.tl").toStdString();
    ASSERT_TRUE(scene.save(saved));
    Scene opened;
    ASSERT_TRUE(opened.load(saved));
    EXPECT_EQ(opened.objects.size(), 2 + 80000);
    EXPECT_EQ(opened.objects.copiesLeftOut, 0u);
}

TEST(ArrayCopies, CopiesOverAnArraysCapAreCountedNestedOnesIncluded) {
    struct CapGuard {
        std::size_t old = Array::maxCopyEntries;
        ~CapGuard() { Array::maxCopyEntries = old; }
    } guard;
    Array::maxCopyEntries = 1000;
    Scene scene;
    // The cap holds per array: this one is whole beside the nested one.
    placeCubeArray(scene, 900, -2);
    // 200 copies of an array of 10 cubes, 11 entries each: 90 fit, and
    // each of the 110 left out takes its 10 cubes with it.
    Tool cube(Mesh::Cube(), mat4::Identity(), pbr(), false);
    const std::unique_ptr<Array> inner(arrayOf(&cube, 10, 0));
    scene.objectsRoot->addChild(arrayOf(inner.get(), 200, 0), false);
    scene.toList();
    EXPECT_EQ(scene.objects.size(), 1 + 900 + 1 + 90 * 11);
    EXPECT_EQ(scene.objects.copiesLeftOut, 110u * 11);

    QTemporaryDir dir;
    const std::string path = dir.filePath("cut.obj").toStdString();
    ASSERT_TRUE(scene.save(path));
    EXPECT_EQ(scene.exportCopiesLeftOut, 110u * 11);
    const std::string text = readText(path);
    EXPECT_NE(text.find("# Global: 1800 objects"), std::string::npos);
    EXPECT_NE(text.find("\n# Left out: 1210 array copies"), std::string::npos);
}
