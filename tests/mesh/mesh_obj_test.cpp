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
#include "mesh/mesh_util.h"

using qel::Mesh;
using qel::MeshFace;
using qel::vec3;

namespace {

Mesh parsed(const std::string& text) {
    Mesh m;
    m.parseOBJ(text.data(), text.size());
    return m;
}

std::vector<int> corners(const Mesh& m) {
    std::vector<int> out;
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) out.push_back(m.faces[f].v[k]);
    return out;
}

// The normal number that the parser left in each corner.
std::vector<int> normalNumbers(const Mesh& m) {
    std::vector<int> out;
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const vec3 n = m.faces[f].normals[k];
            EXPECT_TRUE(n.x == n.y && n.y == n.z);
            out.push_back(int(n.x));
        }
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

int countPrefix(const std::vector<std::string>& ls, const std::string& prefix) {
    int n = 0;
    for (const std::string& l : ls)
        if (l.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
}

int sharpEdges(const Mesh& m) {
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k)
            if (m.faces[f].isSharp(k)) ++n;
    return n / 2;  // closed meshes: each edge is marked on both faces
}

int vertexAt(const Mesh& m, const vec3& p) {
    for (int v = 0; v < m.vertexCount(); ++v)
        if (m.vertices[v].position == p) return v;
    return -1;
}

bool sharpBetween(const Mesh& m, const vec3& a, const vec3& b) {
    int f = -1, k = -1;
    if (!m.findEdge(vertexAt(m, a), vertexAt(m, b), f, k)) return false;
    return m.faces[f].isSharp(k);
}

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
        const std::string p = path(name);
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }
    static std::string read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    QTemporaryDir dir_;
};

// ---------------------------------------------------------------------------
// Parsing

TEST(ObjParse, VerticesAndFanTriangulation) {
    const Mesh m = parsed("v 1 2 3\nv -1.5 2e1 .25\nv 4 5 6 0.5 extra\nv 7 8 9\nv 0 0 0\n"
                          "f 1 2 3 4 5\n");
    ASSERT_EQ(m.vertexCount(), 5);
    EXPECT_EQ(m.vertices[1].position, vec3(-1.5f, 20.0f, 0.25f));
    EXPECT_EQ(m.vertices[2].position, vec3(4, 5, 6));
    EXPECT_EQ(m.vertices[0].flags, 8);
    EXPECT_EQ(m.vertices[0].face, -1);
    EXPECT_EQ(corners(m), (std::vector<int>{0, 1, 2, 0, 2, 3, 0, 3, 4}));
    for (int f = 0; f < m.faceCount(); ++f) {
        EXPECT_EQ(m.faces[f].flags, 8);
        EXPECT_EQ(m.faces[f].f[0], -1);
    }
    EXPECT_EQ(parsed("v 0 0 0\nv 1 0 0\n").faceCount(), 0);
}

TEST(ObjParse, ShortAndUnreadableCoordinatesReadZero) {
    const Mesh m = parsed("v 1\nv\nv 1 abc 3\nv +2 -0 1e400\nv nan inf -inf\nv 0x10 1,5 2\n");
    ASSERT_EQ(m.vertexCount(), 5);  // "v" alone has no blank after the letter
    EXPECT_EQ(m.vertices[0].position, vec3(1, 0, 0));
    EXPECT_EQ(m.vertices[1].position, vec3(1, 0, 3));
    EXPECT_EQ(m.vertices[2].position, vec3(2, 0, 0));
    EXPECT_EQ(m.vertices[3].position, vec3(0, 0, 0));
    EXPECT_EQ(m.vertices[4].position, vec3(0, 0, 2));
}

TEST(ObjParse, NormalNumbersGoToCorners) {
    const Mesh m = parsed("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                          "f 1//7 2//8 3//9\n"
                          "f 1/1/4 3/2/5 4/3/6\n");
    EXPECT_EQ(normalNumbers(m), (std::vector<int>{7, 8, 9, 4, 5, 6}));
}

TEST(ObjParse, CornersWithoutThirdPieceKeepTheSlotsNormal) {
    // Two pieces: normal 0 everywhere. Four pieces: the slot keeps what it
    // held, and a later corner inherits slot 2's number when it moves on.
    EXPECT_EQ(normalNumbers(parsed("v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1/1 2/2 3/3\n")),
              (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(normalNumbers(parsed("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1//5 2//6 3//7 4\n")),
              (std::vector<int>{5, 6, 7, 5, 7, 7}));
    EXPECT_EQ(normalNumbers(parsed("v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1//5 2/1/2/3 3\n")),
              (std::vector<int>{5, 0, 0}));
}

TEST(ObjParse, LetterCaseAndIgnoredStatements) {
    const Mesh a = parsed("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const Mesh b = parsed("# comment\nmtllib x.mtl\no thing\ng group\ns 1\nusemtl m\n"
                          "V 0 0 0\nvt 0.5 0.5\nvn 0 0 1\nv 1 0 0\nVN 1 1 1\nv 0 1 0\nF 1 2 3\n");
    EXPECT_EQ(b.vertexCount(), 3);
    EXPECT_EQ(corners(b), corners(a));
    // A statement counts only when its letter comes first, then one blank.
    const Mesh c = parsed(" v 1 1 1\nv\t1 1 1\nv 0 0 0\nv 1 0 0\nv 0 1 0\n  f 1 2 3\nf\t1 2 3\nf1 2 3\n");
    EXPECT_EQ(c.vertexCount(), 3);
    EXPECT_EQ(c.faceCount(), 0);
}

TEST(ObjParse, LineEndings) {
    const std::string lf = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1//1 2//1 3//2\nf 2 4 3\n";
    std::string crlf, cr;
    for (char c : lf) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        cr += c == '\n' ? '\r' : c;
    }
    const Mesh a = parsed(lf), b = parsed(crlf), c = parsed(cr);
    EXPECT_EQ(b.vertexCount(), 4);
    EXPECT_EQ(corners(b), corners(a));
    EXPECT_EQ(normalNumbers(b), normalNumbers(a));
    EXPECT_EQ(corners(c), corners(a));
    // No line end after the last statement.
    EXPECT_EQ(parsed("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3").faceCount(), 1);
}

TEST(ObjParse, LinesEndingInCrAloneTakeLinearTime) {
    // Ignored lines must not each be searched to the end of the text for a
    // line feed: 200,000 of them would take minutes.
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "vn 0 0 1\r";
    text += "v 0 0 0\rv 1 0 0\rv 0 1 0\rf 1 2 3\r";
    const Mesh m = parsed(text);
    EXPECT_EQ(m.faceCount(), 1);
}

TEST(ObjParse, TextEndsAtTheFirstNul) {
    const std::string text = std::string("v 0 0 0\nv 1 0 0\nv 0 1 0\n", 24) + '\0' + "f 1 2 3\n";
    const Mesh m = parsed(text);
    EXPECT_EQ(m.vertexCount(), 3);
    EXPECT_EQ(m.faceCount(), 0);
}

TEST(ObjParse, NegativeNumbersCountBack) {
    const Mesh m = parsed("v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0 0 -1\nf -3//-2 -2//-1 -1//2\n"
                          "v 1 1 0\nf -4 -1 3\n");
    EXPECT_EQ(corners(m), (std::vector<int>{0, 1, 2, 0, 3, 2}));
    EXPECT_EQ(normalNumbers(m)[0], 1);
    EXPECT_EQ(normalNumbers(m)[1], 2);
    EXPECT_EQ(normalNumbers(m)[2], 2);
}

TEST(ObjParse, BadVertexNumbersSkipTheWholePolygon) {
    const std::string v = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\n";
    EXPECT_EQ(parsed(v + "f 0 1 2\n").faceCount(), 0);
    EXPECT_EQ(parsed(v + "f 1 2 5\n").faceCount(), 0);
    EXPECT_EQ(parsed(v + "f 1 2 -5\n").faceCount(), 0);
    EXPECT_EQ(parsed(v + "f 1 2 x\n").faceCount(), 0);
    EXPECT_EQ(parsed(v + "f 1 2 99999999999\n").faceCount(), 0);
    EXPECT_EQ(parsed(v + "f /1 2 3\n").faceCount(), 0);
    // A bad fourth corner drops the triangle already made from the first three.
    const Mesh m = parsed(v + "f 1 2 3\nf 1 2 3 0\nf 2 4 3 9\nf 2 4 3\n");
    EXPECT_EQ(corners(m), (std::vector<int>{0, 1, 2, 1, 3, 2}));
}

TEST(ObjParse, ForwardReferencesResolveAgainstTheWholeFile) {
    const Mesh m = parsed("f 1 2 3\nf 1 2 4\nf 3 2 1\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3 5\n");
    EXPECT_EQ(m.vertexCount(), 3);
    EXPECT_EQ(corners(m), (std::vector<int>{0, 1, 2, 2, 1, 0}));
}

// ---------------------------------------------------------------------------
// Regions

TEST(ObjRegions, SmoothVertexHasOneRegion) {
    std::unique_ptr<Mesh> m(meshtest::makeHexagon());
    std::vector<int> regions{42};
    // The rim vertices are on the border: sharp, one sector each.
    EXPECT_EQ(m->findRegions(0, regions), 1);
    EXPECT_EQ(regions, std::vector<int>{m->vertices[0].face});
    EXPECT_EQ(m->findRegions(3, regions), 1);
    EXPECT_EQ(m->findRegions(-1, regions), 0);
    EXPECT_TRUE(regions.empty());
    EXPECT_EQ(m->findRegions(7, regions), 0);
    m->vertices[0].face = -1;
    EXPECT_EQ(m->findRegions(0, regions), 0);
}

TEST(ObjRegions, SharpSpokesSplitTheFan) {
    std::unique_ptr<Mesh> m(meshtest::makeHexagon({1, 3, 5}));
    std::vector<int> regions;
    ASSERT_EQ(m->findRegions(0, regions), 3);
    // Each sector opens with the face whose edge from vertex 0 to the next
    // corner is sharp: F0 (0-1), F2 (0-3), F4 (0-5).
    std::sort(regions.begin(), regions.end());
    EXPECT_EQ(regions, (std::vector<int>{0, 2, 4}));
    for (int f = 0; f < 6; ++f) {
        const int start = m->findStartRegion(0, f);
        EXPECT_EQ(start, f - f % 2) << f;
    }
}

// ---------------------------------------------------------------------------
// Loading

TEST_F(ObjFiles, LoadsCubeWithSharpEdgesFromNormalNumbers) {
    Mesh m(write("cube.obj", kCube), false);
    ASSERT_EQ(m.status, 0);
    EXPECT_EQ(m.vertexCount(), 8);
    EXPECT_EQ(m.faceCount(), 12);
    EXPECT_EQ(sharpEdges(m), 12);
    EXPECT_TRUE(sharpBetween(m, vec3(0, 0, 0), vec3(1, 0, 0)));
    EXPECT_FALSE(sharpBetween(m, vec3(0, 0, 0), vec3(1, 1, 0)));
    // Resize style mean: centre at the vertex mean, size twice the farthest
    // distance from it.
    EXPECT_EQ(m.centre, vec3(0.5f, 0.5f, 0.5f));
    EXPECT_NEAR(m.size(), std::sqrt(3.0f), 1e-6);
}

TEST_F(ObjFiles, SharpEdgesOnlyWhereCornersDisagree) {
    const std::string v = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";
    Mesh smooth(write("smooth.obj", v + "f 1//1 2//2 3//3 4//4\n"), false);
    ASSERT_EQ(smooth.status, 0);
    EXPECT_FALSE(sharpBetween(smooth, vec3(0, 0, 0), vec3(1, 1, 0)));
    Mesh split(write("split.obj", v + "f 1//1 2//1 3//1\nf 1//2 3//2 4//2\n"), false);
    ASSERT_EQ(split.status, 0);
    EXPECT_TRUE(sharpBetween(split, vec3(0, 0, 0), vec3(1, 1, 0)));
    Mesh none(write("none.obj", v + "f 1/1 2/2 3/3\nf 1/1 3/3 4/4\n"), false);
    ASSERT_EQ(none.status, 0);
    EXPECT_FALSE(sharpBetween(none, vec3(0, 0, 0), vec3(1, 1, 0)));
}

TEST_F(ObjFiles, FailedLoadsLeaveStatusOne) {
    Mesh m(path("missing.obj"), false);
    EXPECT_EQ(m.status, 1);
    EXPECT_EQ(m.vertexCount(), 0);

    Mesh other(write("cube.txt", kCube), false);
    EXPECT_EQ(other.status, 1);
    EXPECT_FALSE(other.load(path("cube.txt")));
    EXPECT_FALSE(other.load(write("noext", kCube)));
    EXPECT_EQ(other.status, 1);

    // An unreadable file leaves a loaded mesh as it was.
    Mesh cube(write("cube.obj", kCube), false);
    ASSERT_EQ(cube.status, 0);
    EXPECT_FALSE(cube.load(path("missing.obj")));
    EXPECT_EQ(cube.status, 1);
    EXPECT_EQ(cube.faceCount(), 12);
}

TEST_F(ObjFiles, ReadOnlyFileLoads) {
    const std::string p = write("locked.OBJ", kCube);
    QFile::setPermissions(QString::fromStdString(p), QFileDevice::ReadOwner);
    Mesh m(p, false);
    EXPECT_EQ(m.status, 0);
    EXPECT_EQ(m.faceCount(), 12);
}

TEST_F(ObjFiles, RelativeNamesLiveInTheObjectsFolder) {
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path("Scenes/Objects"))));
    write("Scenes/Objects/cube.obj", kCube);
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(path(""))));
    Mesh inFolder("cube.obj", true);
    Mesh notRelative("cube.obj", false);
    QDir::setCurrent(old);
    EXPECT_EQ(inFolder.status, 0);
    EXPECT_EQ(inFolder.faceCount(), 12);
    EXPECT_EQ(notRelative.status, 1);
}

TEST_F(ObjFiles, RepeatedCornerDoesNotBreakTheLoad) {
    Mesh m(write("degenerate.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 1 2\nf 2 4 3\n"), false);
    EXPECT_EQ(m.status, 0);
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        EXPECT_NE(F.v[0], F.v[1]);
        EXPECT_NE(F.v[1], F.v[2]);
        EXPECT_NE(F.v[0], F.v[2]);
    }
}

TEST_F(ObjFiles, EdgeOnThreeFacesFailsTheLoad) {
    Mesh m(write("fin.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 -1 0\nv 0 0 1\nf 1 2 3\nf 2 1 4\nf 1 2 5\n"), false);
    EXPECT_EQ(m.status, 1);
    EXPECT_FALSE(m.load(path("fin.obj")));
}

// ---------------------------------------------------------------------------
// Saving

TEST_F(ObjFiles, CubeExportHasOneNormalPerSector) {
    Mesh m(write("cube.obj", kCube), false);
    ASSERT_EQ(m.status, 0);
    const std::string out = path("out.obj");
    ASSERT_TRUE(m.save(out));
    const std::vector<std::string> ls = lines(read(out));
    ASSERT_GE(ls.size(), 3u);
    EXPECT_EQ(ls[0], "# Tessilor OBJ export");
    EXPECT_EQ(ls[1], "# 8 vertices, 12 faces");
    EXPECT_EQ(ls[2], "");
    EXPECT_EQ(countPrefix(ls, "v "), 8);
    EXPECT_EQ(countPrefix(ls, "vn "), 24);
    EXPECT_EQ(countPrefix(ls, "f "), 12);
    EXPECT_EQ(ls.size(), 3u + 8 + 24 + 12);
}

TEST_F(ObjFiles, RoundTripKeepsPositionsAndSharpEdges) {
    Mesh m(write("cube.obj", kCube), false);
    ASSERT_EQ(m.status, 0);
    const std::string out = path("again.obj");
    ASSERT_TRUE(m.save(out));
    Mesh r(out, false);
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.vertexCount(), m.vertexCount());
    ASSERT_EQ(r.faceCount(), m.faceCount());
    for (int v = 0; v < m.vertexCount(); ++v) EXPECT_GE(vertexAt(r, m.vertices[v].position), 0);
    EXPECT_EQ(sharpEdges(r), 12);
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const MeshFace& F = m.faces[f];
            const vec3 a = m.vertices[F.v[(k + 1) % 3]].position;
            const vec3 b = m.vertices[F.v[(k + 2) % 3]].position;
            EXPECT_EQ(sharpBetween(r, a, b), F.isSharp(k));
        }
}

TEST_F(ObjFiles, SmoothExportNumbersNormalsLikeVertices) {
    Mesh m(write("quad.obj", "v 0 0 0\nv 2 0 0\nv 2 2 0\nv 0 2 0\nv 1 1 1\nf 1 2 5\nf 2 3 5\nf 3 4 5\nf 4 1 5\n"),
           false);
    ASSERT_EQ(m.status, 0);
    ASSERT_TRUE(m.saveOBJ(path("smooth.obj")));
    const std::vector<std::string> ls = lines(read(path("smooth.obj")));
    // The open rim makes its vertices sharp but each still has one sector.
    EXPECT_EQ(countPrefix(ls, "vn "), countPrefix(ls, "v "));
    for (const std::string& l : ls) {
        if (l.compare(0, 2, "f ") != 0) continue;
        std::istringstream in(l.substr(2));
        for (std::string corner; in >> corner;) {
            const std::size_t s = corner.find("//");
            ASSERT_NE(s, std::string::npos);
            EXPECT_EQ(corner.substr(0, s), corner.substr(s + 2)) << l;
        }
    }
}

TEST_F(ObjFiles, ExportSkipsInactiveRecords) {
    Mesh m(write("quad.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\nf 1 3 4\n"), false);
    ASSERT_EQ(m.status, 0);
    ASSERT_EQ(m.faceCount(), 2);
    // Erase the face that holds the vertex at (0, 1, 0) and add a loose vertex.
    const int lonely = vertexAt(m, vec3(0, 1, 0));
    for (int f = 0; f < 2; ++f)
        if (m.faces[f].corner(lonely) >= 0) m.faces[f].flags = 0;
    m.vertexAdd(vec3(5, 5, 5));
    ASSERT_TRUE(m.saveOBJ(path("part.obj")));
    const std::string text = read(path("part.obj"));
    const std::vector<std::string> ls = lines(text);
    EXPECT_EQ(ls[1], "# 3 vertices, 1 faces");
    EXPECT_EQ(countPrefix(ls, "v "), 3);
    EXPECT_EQ(countPrefix(ls, "f "), 1);
    EXPECT_EQ(text.find("v 0 1 0"), std::string::npos);
    EXPECT_EQ(text.find("v 5 5 5"), std::string::npos);
    Mesh r(path("part.obj"), false);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.faceCount(), 1);
}

TEST_F(ObjFiles, NumbersUseSixSignificantDigits) {
    Mesh m;
    m.vertexAdd(vec3(0.1f, 1234567.0f, 1e-5f));
    m.vertexAdd(vec3(-2.5f, 100000.0f, 0.0001f));
    m.vertexAdd(vec3(1, 0, 0));
    m.faceAdd(0, 1, 2);
    m.vertices[0].face = m.vertices[1].face = m.vertices[2].face = 0;
    ASSERT_TRUE(m.saveOBJ(path("digits.obj")));
    const std::string text = read(path("digits.obj"));
    EXPECT_NE(text.find("\nv 0.1 1.23457e+06 1e-05\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nv -2.5 100000 0.0001\n"), std::string::npos) << text;
}

TEST_F(ObjFiles, SaveByExtensionAndFailures) {
    Mesh m(write("cube.obj", kCube), false);
    ASSERT_EQ(m.status, 0);
    EXPECT_TRUE(m.save(path("upper.OBJ")));
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
