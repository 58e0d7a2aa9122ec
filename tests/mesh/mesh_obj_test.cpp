// Wavefront OBJ import and single-object export of the mesh, and the sector
// walk behind the export's normals.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_measure_util.h"
#include "mesh/mesh_util.h"

using qel::Mesh;
using qel::MeshFace;
using qel::vec3;
using V = std::vector<int>;

namespace {

Mesh parsed(const std::string& text) {
    Mesh m;
    m.parseOBJ(text.data(), text.size());
    return m;
}

V corners(const Mesh& m) {
    V out;
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) out.push_back(m.faces[f].v[k]);
    return out;
}

// The normal number that the parser left in each corner.
V normalNumbers(const Mesh& m) {
    V out;
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) out.push_back(int(m.faces[f].normals[k].x));
    return out;
}

int countPrefix(const std::string& text, const std::string& prefix) {
    std::istringstream in(text);
    int n = 0;
    for (std::string l; std::getline(in, l);) n += l.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    return n;
}

int vertexAt(const Mesh& m, const vec3& p) {
    for (int v = 0; v < m.vertexCount(); ++v)
        if (m.vertices[v].position == p) return v;
    return -1;
}

bool sharpBetween(const Mesh& m, const vec3& a, const vec3& b) {
    return meshtest::edgeMark(m, vertexAt(m, a), vertexAt(m, b)) == 1;
}

const std::string kFourPoints = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";

// A unit cube, one quad per side, each side with its own normal number: the
// twelve cube edges come out sharp, the six diagonals smooth.
const char* const kCube =
    "# cube\n"
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
    "vn 0 0 -1\nvn 0 0 1\nvn 0 -1 0\nvn 1 0 0\nvn 0 1 0\nvn -1 0 0\n"
    "f 1//1 4//1 3//1 2//1\nf 5//2 6//2 7//2 8//2\nf 1//3 2//3 6//3 5//3\n"
    "f 2//4 3//4 7//4 6//4\nf 3//5 4//5 8//5 7//5\nf 4//6 1//6 5//6 8//6\n";

class ObjFiles : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir_.filePath(QString::fromStdString(name)).toStdString(); }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    QTemporaryDir dir_;
};

TEST(ObjParse, VerticesCoordinatesAndFanTriangulation) {
    const Mesh m = parsed("v 1 2 3\nv -1.5 2e1 .25\nv 4 5 6 0.5 extra\nv 7 8 9\nv 0 0 0\nf 1 2 3 4 5\n");
    ASSERT_EQ(m.vertexCount(), 5);
    EXPECT_EQ(m.vertices[1].position, vec3(-1.5f, 20.0f, 0.25f));
    EXPECT_EQ(m.vertices[2].position, vec3(4, 5, 6));
    EXPECT_EQ(corners(m), (V{0, 1, 2, 0, 2, 3, 0, 3, 4}));
    EXPECT_EQ(m.faces[0].f[0], -1);
    // Short and unreadable coordinates read zero, never NaN or infinity.
    const Mesh z = parsed("v 1\nv\nv 1 abc 3\nv +2 -0 1e400\nv nan inf -inf\nv 0x10 1,5 2\n");
    ASSERT_EQ(z.vertexCount(), 5);  // "v" alone has no blank after the letter
    const vec3 expected[5] = {vec3(1, 0, 0), vec3(1, 0, 3), vec3(2, 0, 0), vec3(0, 0, 0), vec3(0, 0, 2)};
    for (int v = 0; v < 5; ++v) EXPECT_EQ(z.vertices[v].position, expected[v]) << v;
}

TEST(ObjParse, NormalNumbersGoToCorners) {
    EXPECT_EQ(normalNumbers(parsed(kFourPoints + "f 1//7 2//8 3//9\nf 1/1/4 3/2/5 4/3/6\n")), (V{7, 8, 9, 4, 5, 6}));
    // Without a third field the slot keeps what it held: 0 at first, and a
    // later corner inherits slot 2's number when the fan moves on.
    EXPECT_EQ(normalNumbers(parsed(kFourPoints + "f 1/1 2/2 3/3\n")), (V{0, 0, 0}));
    EXPECT_EQ(normalNumbers(parsed(kFourPoints + "f 1//5 2//6 3//7 4\n")), (V{5, 6, 7, 5, 7, 7}));
    EXPECT_EQ(normalNumbers(parsed(kFourPoints + "f 1//5 2/1/2/3 3\n")), (V{5, 0, 0}));
    // Negative numbers count back from the last one read.
    const Mesh m = parsed("v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0 0 -1\nf -3//-2 -2//-1 -1//2\nv 1 1 0\nf -4 -1 3\n");
    EXPECT_EQ(corners(m), (V{0, 1, 2, 0, 3, 2}));
    const V numbers = normalNumbers(m);
    EXPECT_EQ(V(numbers.begin(), numbers.begin() + 3), (V{1, 2, 2}));
}

TEST(ObjParse, LetterCaseLineEndsAndIgnoredStatements) {
    const Mesh a = parsed("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const Mesh b = parsed("# comment\nmtllib x.mtl\no thing\ng group\ns 1\nusemtl m\n"
                          "V 0 0 0\nvt 0.5 0.5\nvn 0 0 1\nv 1 0 0\nVN 1 1 1\nv 0 1 0\nF 1 2 3\n");
    EXPECT_EQ(corners(b), corners(a));
    // A statement counts only when its letter comes first, then one blank.
    const Mesh c = parsed(" v 1 1 1\nv\t1 1 1\nv 0 0 0\nv 1 0 0\nv 0 1 0\n  f 1 2 3\nf\t1 2 3\nf1 2 3\n");
    EXPECT_EQ(c.vertexCount() + c.faceCount(), 3);
    EXPECT_EQ(corners(parsed("v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nf 1 2 3\r\n")), corners(a));
    EXPECT_EQ(corners(parsed("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3")), corners(a));  // no final line end
}

TEST(ObjParse, LinesEndingInCrAloneTakeLinearTime) {
    // Ignored lines must not each be searched to the end of the text for a
    // line feed: 200,000 of them would take minutes.
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "vn 0 0 1\r";
    text += "v 0 0 0\rv 1 0 0\rv 0 1 0\rf 1 2 3\r";
    EXPECT_EQ(parsed(text).faceCount(), 1);
}

TEST(ObjParse, MalformedInputIsSkipped) {
    // The text ends at the first NUL.
    const Mesh nul = parsed(std::string("v 0 0 0\nv 1 0 0\nv 0 1 0\n", 24) + '\0' + "f 1 2 3\n");
    EXPECT_EQ(nul.vertexCount(), 3);
    EXPECT_EQ(nul.faceCount(), 0);
    // A bad vertex number skips the whole polygon.
    for (const char* bad : {"f 0 1 2\n", "f 1 2 5\n", "f 1 2 -5\n", "f 1 2 x\n", "f 1 2 99999999999\n", "f /1 2 3\n"})
        EXPECT_EQ(parsed(kFourPoints + bad).faceCount(), 0) << bad;
    // A bad fourth corner drops the triangle already made from the first three.
    EXPECT_EQ(corners(parsed(kFourPoints + "f 1 2 3\nf 1 2 3 0\nf 2 4 3 9\nf 2 4 3\n")), (V{0, 1, 2, 1, 3, 2}));
    // Forward references resolve against the whole file.
    const Mesh fwd = parsed("f 1 2 3\nf 1 2 4\nf 3 2 1\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3 5\n");
    EXPECT_EQ(corners(fwd), (V{0, 1, 2, 2, 1, 0}));
}

TEST(ObjRegions, OneRegionPerSharpSector) {
    std::unique_ptr<Mesh> m(meshtest::makeHexagon({1, 3, 5}));
    V regions;
    ASSERT_EQ(m->findRegions(0, regions), 3);  // each opens with the face whose forward edge at 0 is sharp
    std::sort(regions.begin(), regions.end());
    EXPECT_EQ(regions, (V{0, 2, 4}));
    EXPECT_EQ(m->findRegions(2, regions), 1);  // a border vertex without a sharp spoke
    for (const int bad : {-1, 7}) {
        EXPECT_EQ(m->findRegions(bad, regions), 0);
        EXPECT_TRUE(regions.empty());
    }
    m->vertices[0].face = -1;
    EXPECT_EQ(m->findRegions(0, regions), 0);
}

TEST_F(ObjFiles, LoadsSharpEdgesWhereCornerNormalsDisagree) {
    Mesh m(write("cube.obj", kCube), false);
    ASSERT_EQ(m.status, 0);
    EXPECT_EQ(m.vertexCount(), 8);
    EXPECT_EQ(m.faceCount(), 12);
    EXPECT_EQ(meshtest::sharpEdgeCount(m), 12);
    EXPECT_TRUE(sharpBetween(m, vec3(0, 0, 0), vec3(1, 0, 0)));
    EXPECT_FALSE(sharpBetween(m, vec3(0, 0, 0), vec3(1, 1, 0)));
    EXPECT_EQ(m.centre, vec3(0.5f, 0.5f, 0.5f));  // resize style mean
    EXPECT_NEAR(m.size(), std::sqrt(3.0f), 1e-6);

    const struct {
        const char* faces;
        bool sharp;
    } cases[] = {{"f 1//1 2//2 3//3 4//4\n", false}, {"f 1//1 2//1 3//1\nf 1//2 3//2 4//2\n", true},
                 {"f 1/1 2/2 3/3\nf 1/1 3/3 4/4\n", false}};
    for (const auto& c : cases) {
        Mesh q(write("q.obj", kFourPoints + c.faces), false);
        ASSERT_EQ(q.status, 0);
        EXPECT_EQ(sharpBetween(q, vec3(0, 0, 0), vec3(1, 1, 0)), c.sharp) << c.faces;
    }
}

TEST_F(ObjFiles, FailedLoadsLeaveStatusOne) {
    Mesh m(path("missing.obj"), false);
    EXPECT_EQ(m.status, 1);
    EXPECT_EQ(m.vertexCount(), 0);
    Mesh other(write("cube.txt", kCube), false);
    EXPECT_EQ(other.status, 1);
    EXPECT_FALSE(other.load(write("noext", kCube)));
    Mesh fin(write("fin.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 -1 0\nv 0 0 1\nf 1 2 3\nf 2 1 4\nf 1 2 5\n"), false);
    EXPECT_EQ(fin.status, 1);  // an edge of three faces
    // An unreadable file leaves a loaded mesh as it was.
    Mesh cube(write("cube.obj", kCube), false);
    ASSERT_EQ(cube.status, 0);
    EXPECT_FALSE(cube.load(path("missing.obj")));
    EXPECT_EQ(cube.status, 1);
    EXPECT_EQ(cube.faceCount(), 12);
    // A repeated corner does not break the load.
    Mesh repeated(write("degenerate.obj", kFourPoints + "f 1 1 2\nf 2 3 4\n"), false);
    EXPECT_EQ(repeated.status, 0);
    EXPECT_EQ(repeated.faceCount(), 1);
}

TEST_F(ObjFiles, ReadOnlyFileLoads) {
    const std::string p = write("locked.OBJ", kCube);
    QFile::setPermissions(QString::fromStdString(p), QFileDevice::ReadOwner);
    EXPECT_EQ(Mesh(p, false).faceCount(), 12);
}

TEST_F(ObjFiles, ExportHasOneNormalPerSectorAndRoundTrips) {
    Mesh m(write("cube.obj", kCube), false);
    ASSERT_EQ(m.status, 0);
    ASSERT_TRUE(m.save(path("out.obj")));
    const std::string text = read("out.obj");
    EXPECT_EQ(text.rfind("# Tessilor OBJ export\n# 8 vertices, 12 faces\n\n", 0), 0u);
    EXPECT_EQ(countPrefix(text, "v "), 8);
    EXPECT_EQ(countPrefix(text, "vn "), 24);
    EXPECT_EQ(countPrefix(text, "f "), 12);
    Mesh r(path("out.obj"), false);
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.faceCount(), m.faceCount());
    for (int v = 0; v < m.vertexCount(); ++v) EXPECT_GE(vertexAt(r, m.vertices[v].position), 0);
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const MeshFace& F = m.faces[f];
            const vec3 a = m.vertices[F.v[(k + 1) % 3]].position, b = m.vertices[F.v[(k + 2) % 3]].position;
            EXPECT_EQ(sharpBetween(r, a, b), F.isSharp(k));
        }

}

TEST_F(ObjFiles, ExportSkipsInactiveRecordsAndUsesSixDigits) {
    Mesh m(write("quad.obj", kFourPoints + "f 1 2 3\nf 1 3 4\n"), false);
    ASSERT_EQ(m.faceCount(), 2);
    const int lonely = vertexAt(m, vec3(0, 1, 0));  // erase its only face; add a loose vertex
    for (int f = 0; f < 2; ++f)
        if (m.faces[f].corner(lonely) >= 0) m.faces[f].flags = 0;
    m.vertexAdd(vec3(5, 5, 5));
    ASSERT_TRUE(m.saveOBJ(path("some.obj")));
    const std::string text = read("some.obj");
    EXPECT_NE(text.find("\n# 3 vertices, 1 faces\n"), std::string::npos);
    EXPECT_EQ(countPrefix(text, "v "), 3);
    EXPECT_EQ(text.find("v 0 1 0"), std::string::npos);
    EXPECT_EQ(text.find("v 5 5 5"), std::string::npos);
    EXPECT_EQ(Mesh(path("some.obj"), false).faceCount(), 1);

    Mesh d;
    d.vertexAdd(vec3(0.1f, 1234567.0f, 1e-5f));
    d.vertexAdd(vec3(-2.5f, 100000.0f, 0.0001f));
    d.vertexAdd(vec3(1, 0, 0));
    d.faceAdd(0, 1, 2);
    d.vertices[0].face = d.vertices[1].face = d.vertices[2].face = 0;
    ASSERT_TRUE(d.saveOBJ(path("digits.obj")));
    const std::string digits = read("digits.obj");
    EXPECT_NE(digits.find("\nv 0.1 1.23457e+06 1e-05\n"), std::string::npos) << digits;
    EXPECT_NE(digits.find("\nv -2.5 100000 0.0001\n"), std::string::npos) << digits;
}

TEST_F(ObjFiles, SaveByExtensionAndFailures) {
    Mesh m(write("cube.obj", kCube), false);
    ASSERT_EQ(m.status, 0);
    EXPECT_TRUE(m.save(path("mixed.oBj")));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path("mixed.oBj"))));
    EXPECT_FALSE(m.save(path("cube.stl")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("cube.stl"))));
    EXPECT_FALSE(m.save(path("noextension")));
    EXPECT_FALSE(m.save(path("no/such/folder/out.obj")));
    // A folder in the way: the save fails and nothing is replaced.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path("dir.obj"))));
    EXPECT_FALSE(m.save(path("dir.obj")));
    EXPECT_TRUE(QDir(QString::fromStdString(path("dir.obj"))).exists());
}

}  // namespace
