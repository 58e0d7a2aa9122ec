// Wavefront OBJ import and export of the mesh, and the sector walk behind
// the export's normals.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_measure_util.h"

using qel::dvec3;
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

// Per corner of every face: its vertex, or the normal number that the
// parser left there.
V corners(const Mesh& m, bool normalNumbers = false) {
    V out;
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) out.push_back(normalNumbers ? int(m.faces[f].normals[k].x) : m.faces[f].v[k]);
    return out;
}
V normalNumbers(const Mesh& m) { return corners(m, true); }

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

// Twice the area vector of face f.
dvec3 areaVector(const Mesh& m, int f) {
    const MeshFace& F = m.faces[f];
    const dvec3 a(m.vertices[F.v[0]].position), b(m.vertices[F.v[1]].position), c(m.vertices[F.v[2]].position);
    return cross(b - a, c - a);
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

TEST(ObjParse, NormalNumbersGoToCorners) {
    EXPECT_EQ(normalNumbers(parsed(kFourPoints + "f 1//7 2//8 3//9\nf 1/1/4 3/2/5 4/3/6\n")), (V{7, 8, 9, 4, 5, 6}));
    // Without a third field the slot keeps what it held: 0 at first, and a
    // later corner inherits slot 2's number when the fan moves on.
    EXPECT_EQ(normalNumbers(parsed(kFourPoints + "f 1/1 2/2 3/3\n")), (V{0, 0, 0}));
    EXPECT_EQ(normalNumbers(parsed(kFourPoints + "f 1//5 2//6 3//7 4\n")), (V{5, 6, 7, 5, 7, 7}));
    // Negative numbers count back from the last one read.
    const Mesh m = parsed("v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0 0 -1\nf -3//-2 -2//-1 -1//2\nv 1 1 0\nf -4 -1 3\n");
    EXPECT_EQ(corners(m), (V{0, 1, 2, 0, 3, 2}));
    const V numbers = normalNumbers(m);
    EXPECT_EQ(V(numbers.begin(), numbers.begin() + 3), (V{1, 2, 2}));
}

TEST(ObjParse, StatementsCoordinatesBlanksAndLineEnds) {
    const Mesh m = parsed("v 1 2 3\nv -1.5 2e1 .25\nv 4 5 6 0.5 extra\n");
    ASSERT_EQ(m.vertexCount(), 3);
    EXPECT_EQ(m.vertices[1].position, vec3(-1.5f, 20.0f, 0.25f));
    EXPECT_EQ(m.vertices[2].position, vec3(4, 5, 6));
    // Short and unreadable coordinates read zero, never NaN or infinity.
    const Mesh z = parsed("v 1\nv\nv 1 abc 3\nv +2 -0 1e400\nv nan inf -inf\nv 0x10 1,5 2\n");
    ASSERT_EQ(z.vertexCount(), 5);  // "v" alone has no blank after the letter
    const vec3 expected[5] = {vec3(1, 0, 0), vec3(1, 0, 3), vec3(2, 0, 0), vec3(0, 0, 0), vec3(0, 0, 2)};
    for (int v = 0; v < 5; ++v) EXPECT_EQ(z.vertices[v].position, expected[v]) << v;

    const Mesh a = parsed("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const Mesh b = parsed("# comment\nmtllib x.mtl\no thing\ng group\ns 1\nusemtl m\n"
                          "V 0 0 0\nvt 0.5 0.5\nvn 0 0 1\nv 1 0 0\nVN 1 1 1\nv 0 1 0\nF 1 2 3\n");
    EXPECT_EQ(corners(b), corners(a));
    // A byte-order mark, indentation and tabs as blanks; a statement still
    // needs a blank after its letter.
    const Mesh c = parsed("\xEF\xBB\xBFv 0 0 0\n  v\t1 0 0\n\t v 0 1 0\t\nf1 2 3\nvx 1 1 1\n\tf\t1  2\t3\n");
    EXPECT_EQ(corners(c), corners(a));
    EXPECT_EQ(corners(parsed("v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nf 1 2 3\r\n")), corners(a));
    EXPECT_EQ(corners(parsed("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3")), corners(a));  // no final line end
}

TEST(ObjParse, MalformedInputIsSkippedInLinearTime) {
    // Ignored lines must not each be searched to the end of the text for a
    // line feed: 200,000 of them would take minutes.
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "vn 0 0 1\r";
    text += "v 0 0 0\rv 1 0 0\rv 0 1 0\rf 1 2 3\r";
    EXPECT_EQ(parsed(text).faceCount(), 1);

    // The text ends at the first NUL.
    const Mesh nul = parsed(std::string("v 0 0 0\nv 1 0 0\nv 0 1 0\n", 24) + '\0' + "f 1 2 3\n");
    EXPECT_EQ(nul.vertexCount(), 3);
    EXPECT_EQ(nul.faceCount(), 0);
    // A bad corner drops the triangles already made from the polygon.
    EXPECT_EQ(corners(parsed(kFourPoints + "f 1 2 3\nf 1 2 3 0\nf 2 4 3 9\nf 2 4 3\n")), (V{0, 1, 2, 1, 3, 2}));
    // Forward references resolve against the whole file.
    const Mesh fwd = parsed("f 1 2 3\nf 1 2 4\nf 3 2 1\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3 5\n");
    EXPECT_EQ(corners(fwd), (V{0, 1, 2, 2, 1, 0}));
}

TEST(ObjParse, FoldingPolygonsAreTriangulatedInsideTheirOutline) {
    // An L-shaped hexagon in the tilted plane x = z; its fan from the first
    // corner puts one of four triangles outside the outline.
    const std::string points = "v 2 0 2\nv 2 1 2\nv 1 1 1\nv 1 2 1\nv 0 2 0\nv 0 0 0\n";
    const std::string face = "f 1//1 2//2 3//3 4//4 5//5 6//6\n";
    for (const std::string& text : {points + face, face + points}) {  // also as a forward reference
        const Mesh m = parsed(text);
        ASSERT_EQ(m.faceCount(), 4);
        const dvec3 normal(-1, 0, 1);
        double area = 0;
        for (int f = 0; f < 4; ++f) {
            EXPECT_GT(dot(areaVector(m, f), normal), 0.0) << f;
            area += std::sqrt(dot(areaVector(m, f), areaVector(m, f))) / 2;
            for (int k = 0; k < 3; ++k) EXPECT_EQ(int(m.faces[f].normals[k].x), m.faces[f].v[k] + 1);
        }
        EXPECT_NEAR(area, 3 * std::sqrt(2.0), 1e-9);  // the triangles tile the outline
    }
    // A convex polygon keeps its fan.
    EXPECT_EQ(corners(parsed("v 0 0 0\nv 2 0 0\nv 3 1 0\nv 2 2 0\nv 0 2 0\nf 1 2 3 4 5\n")),
              (V{0, 1, 2, 0, 2, 3, 0, 3, 4}));
}

TEST_F(ObjFiles, LoadsSharpEdgesWhereCornerNormalsDisagree) {
    const std::pair<const char*, bool> cases[] = {
        {"f 1//1 2//2 3//3 4//4\n", false},
        {"f 1//1 2//1 3//1\nf 1//2 3//2 4//2\n", true},
        // Normal numbers beyond 2^24 that one float cannot tell apart.
        {"f 1//16777216 2//16777216 3//16777216\nf 1//16777217 3//16777217 4//16777217\n", true}};
    for (const auto& [faces, sharp] : cases) {
        Mesh q(write("q.obj", kFourPoints + faces), false);
        ASSERT_EQ(q.status, 0);
        EXPECT_EQ(sharpBetween(q, vec3(0, 0, 0), vec3(1, 1, 0)), sharp) << faces;
    }
}

TEST_F(ObjFiles, RefusedLoadsLeaveStatusOneTheMeshAsItWasAndSayWhy) {
    Mesh cube(write("cube.obj", kCube), false);
    ASSERT_EQ(cube.status, 0);
    // A file that cannot be read whole: reading it fails after it opened.
    ASSERT_TRUE(QFile::link("/proc/self/mem", QString::fromStdString(path("unreadable.obj"))));
    const std::string noMesh = "it is not an OBJ mesh: it has no \"v\" or \"f\" line";
    const std::string far = "its vertices lie too far apart, or too close together, to measure";
    const std::pair<std::string, std::string> refused[] = {
        {path("missing.obj"), "there is no such file"},
        {path("unreadable.obj"), "it could not be read whole"},
        {write("cube.txt", kCube), "it is not an OBJ file"},
        {write("noext", kCube), "it is not an OBJ file"},
        // Nothing that makes a face: empty, binary, UTF-16, points and lines.
        {write("empty.obj", ""), noMesh},
        {write("nul.obj", std::string("\0v 0 0 0\n", 9) + kCube), noMesh},
        {write("binary.obj", "\177ELF\002\001\001\377\376"), noMesh},
        {write("utf16.obj", std::string{'v', 0, ' ', 0, '1', 0}), noMesh},
        {write("points.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\np 1 2 3\nl 1 2\n"), "it has no face (\"f\" line)"},
        // Face lines that make no face: the first is named.
        {write("beyond.obj", "v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nf 1 2 3/1 x\r\n\tf  1 2 4\r\nf 0 1 2\r\n"),
         "line 4, \"f 1 2 3/1 x\", \"x\" is not a vertex number"},
        {write("back.obj", "v 0 0 0\nv 1 0 0\nf -3 1 2\nf 1 2\nv 0 1 0\n"),
         "line 3, \"f -3 1 2\", counts back past the first vertex (-3)"},
        {write("far.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\n\n# faces\nf 1 2 4\n"),
         "line 6, \"f 1 2 4\", names vertex 4, but the file has 3 vertices"},
        // An edge of three faces; a size beyond the float range, one whose
        // reciprocal is beyond it.
        {write("fin.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 -1 0\nv 0 0 1\nf 1 2 3\nf 2 1 4\nf 1 2 5\n"),
         "line 8, \"f 1 2 5\", gives the edge between vertices 1 and 2 a third face"},
        // The quad's fan from vertex 1 folds, so the import splits it along
        // 2-4, not 1-3: line 10 gives the edge 1-3 its first face, and the
        // third face on an edge is line 13's.
        {write("folded.obj",
               "v 1 -1 0\nv 0 2 0\nv -1 -1 0\nv 0 0 0\nv 0 -2 0\nv 3 0 0\nv 3 1 0\nv 4 0 0\n"
               "f 1 2 3 4\nf 3 1 5\nf 6 7 8\nf 7 6 1\nf 6 7 2\n"),
         "line 13, \"f 6 7 2\", gives the edge between vertices 6 and 7 a third face"},
        {write("huge.obj", "v 3e38 0 0\nv -3e38 0 0\nv 0 1 0\nf 1 2 3\n"), far},
        {write("tiny.obj", "v 0 0 0\nv 1e-40 0 0\nv 0 1e-40 0\nf 1 2 3\n"), far}};
    for (const auto& [p, reason] : refused) {
        std::string why;
        EXPECT_FALSE(cube.load(p, why)) << p;
        EXPECT_EQ(why, reason) << p;
        EXPECT_EQ(cube.status, 1) << p;
        EXPECT_EQ(cube.faceCount(), 12) << p;
    }
    // A repeated corner does not break the load.
    Mesh repeated(write("degenerate.obj", kFourPoints + "f 1 1 2\nf 2 3 4\n"), false);
    EXPECT_EQ(repeated.status, 0);
    EXPECT_EQ(repeated.faceCount(), 1);
}

// A file that loads with face lines that gave no face says how many and
// names the first: each way a line gives none is counted once (a bad
// corner, too few corners, a number beyond the file's vertices, resolved
// only at its end), and a sound file says nothing.
TEST_F(ObjFiles, LoadsThatLeaveOutFaceLinesSayHowManyAndNameTheFirst) {
    Mesh m;
    std::string why, leftOut = "stale";
    ASSERT_TRUE(m.load(write("cube.obj", kCube), why, &leftOut));
    EXPECT_EQ(leftOut, "");
    const std::string text = std::string(kCube) +
                             "f 1 2 x\n"     // a corner that is no number
                             "f 1 2\n"       // fewer than three corners
                             "f 1 2 12\n"    // beyond the vertices, known only at the end
                             "f 0 1 2\n";    // vertex 0
    ASSERT_TRUE(m.load(write("holes.obj", text), why, &leftOut)) << why;
    EXPECT_EQ(m.faceCount(), 12);
    EXPECT_EQ(leftOut,
              "4 face lines gave no face and were left out (the first: line 22, \"f 1 2 x\", \"x\" is not a vertex "
              "number)");
    ASSERT_TRUE(m.load(write("one.obj", std::string(kCube) + "f 1 2 9\n"), why, &leftOut));
    EXPECT_EQ(leftOut, "1 face line gave no face and was left out (line 22, \"f 1 2 9\", names vertex 9, but the "
                       "file has 8 vertices)");
}

TEST_F(ObjFiles, ExportHasOneNormalPerSectorRoundTripsAndGoesByExtension) {
    const std::string locked = write("locked.OBJ", kCube);  // read access is all a load needs
    QFile::setPermissions(QString::fromStdString(locked), QFileDevice::ReadOwner);
    Mesh m(locked, false);
    ASSERT_EQ(m.status, 0);
    EXPECT_EQ(meshtest::sharpEdgeCount(m), 12);
    EXPECT_EQ(m.centre, vec3(0.5f, 0.5f, 0.5f));  // resize style mean
    EXPECT_NEAR(m.size(), std::sqrt(3.0f), 1e-6);
    ASSERT_TRUE(m.save(path("out.obj")));
    const std::string text = read("out.obj");
    EXPECT_EQ(text.rfind("# Tessilor OBJ export\n# 8 vertices, 12 faces\n\n", 0), 0u);
    EXPECT_EQ(countPrefix(text, "vn "), 24);
    Mesh r(path("out.obj"), false);
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.faceCount(), m.faceCount());
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const MeshFace& F = m.faces[f];
            const vec3 a = m.vertices[F.v[(k + 1) % 3]].position, b = m.vertices[F.v[(k + 2) % 3]].position;
            EXPECT_EQ(sharpBetween(r, a, b), F.isSharp(k));
        }

    EXPECT_TRUE(m.save(path("mixed.oBj")));
    EXPECT_FALSE(m.save(path("cube.stl")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("cube.stl"))));
    // A folder in the way: the save fails and nothing is replaced.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path("dir.obj"))));
    EXPECT_FALSE(m.save(path("dir.obj")));
    EXPECT_TRUE(QDir(QString::fromStdString(path("dir.obj"))).exists());
}

TEST_F(ObjFiles, ExportSkipsInactiveRecords) {
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
}

TEST_F(ObjFiles, AppendedObjectsArePlacedAndNumberedOn) {
    Mesh cube(write("cube.obj", kCube), false);
    std::ostringstream out;
    int objects = 0, vertexBase = 0, normalBase = 0;
    const qel::mat4 placed[2] = {qel::mat4::Translation(1000.1f, 0, 0) * qel::mat4::Scale(1.1f),
                                 qel::mat4::Scale(-1, 2, 1)};
    for (const qel::mat4& M : placed) cube.appendOBJ(out, objects, vertexBase, normalBase, M);
    EXPECT_EQ(objects, 2);
    EXPECT_EQ(vertexBase, 16);
    EXPECT_EQ(normalBase, 48);
    const std::string text = out.str();
    EXPECT_EQ(text.rfind("# Tessilor OBJ export\n\no Object1\n", 0), 0u);
    EXPECT_EQ(countPrefix(text, "# Tessilor"), 1);
    EXPECT_NE(text.find("\no Object2\n"), std::string::npos);
    // Positions in their shortest text read back bit-exact.
    const Mesh back = parsed(text);
    for (int v = 0; v < 16; ++v)
        EXPECT_EQ(back.vertices[v].position, placed[v / 8].transformProject(cube.vertices[v % 8].position)) << v;
    // Both cubes face outwards (the mirrored one too) and keep their edges.
    Mesh both(write("both.obj", text), false);
    ASSERT_EQ(both.status, 0);
    EXPECT_NEAR(meshtest::enclosedVolume(both), 1.331 + 2, 1e-4);
    EXPECT_EQ(meshtest::sharpEdgeCount(both), 24);

    std::vector<vec3> points{vec3(7)};
    cube.ToPoints(points);
    ASSERT_EQ(points.size(), 9u);
    EXPECT_EQ(points[8], cube.vertices[7].position);
}

}  // namespace

namespace {

// A torus of U x V quads as OBJ text, creased along one ring (its two sides
// carry different normal numbers), every record in file order or shuffled.
std::string torusText(int U, int V, bool shuffled) {
    std::vector<std::string> vs, fs;
    for (int i = 0; i < U; ++i)
        for (int j = 0; j < V; ++j) {
            const double a = 6.283185307179586 * i / U, b = 6.283185307179586 * j / V;
            std::ostringstream l;
            l.precision(9);
            l << "v " << (2 + 0.6 * std::cos(b)) * std::cos(a) << ' ' << (2 + 0.6 * std::cos(b)) * std::sin(a) << ' '
              << 0.6 * std::sin(b) << '\n';
            vs.push_back(l.str());
        }
    std::vector<int> at(vs.size());
    for (std::size_t i = 0; i < at.size(); ++i) at[i] = int(i);
    std::mt19937 rng(5);
    if (shuffled) std::shuffle(at.begin(), at.end(), rng);
    std::vector<int> number(at.size());
    for (std::size_t i = 0; i < at.size(); ++i) number[std::size_t(at[i])] = int(i) + 1;
    for (int i = 0; i < U; ++i)
        for (int j = 0; j < V; ++j) {
            const int a = number[std::size_t(i * V + j)], b = number[std::size_t((i + 1) % U * V + j)];
            const int c = number[std::size_t((i + 1) % U * V + (j + 1) % V)], d = number[std::size_t(i * V + (j + 1) % V)];
            const int n = i < U / 2 ? 1 : 2;
            for (const auto& t : {std::array<int, 3>{a, b, c}, std::array<int, 3>{a, c, d}}) {
                std::ostringstream l;
                l << "f " << t[0] << "//" << n << ' ' << t[1] << "//" << n << ' ' << t[2] << "//" << n << '\n';
                fs.push_back(l.str());
            }
        }
    if (shuffled) std::shuffle(fs.begin(), fs.end(), rng);
    std::string text = "vn 0 0 1\nvn 0 0 1\n";
    for (const int i : at) text += vs[std::size_t(i)];
    for (const std::string& f : fs) text += f;
    return text;
}

// Every active face by its corner positions (from the smallest), its sharp
// edges and its corner normals, sorted: the surface whatever the order.
struct FaceByPlace {
    std::array<float, 9> at;
    int sharp;
    std::array<vec3, 3> normals;
    bool operator<(const FaceByPlace& o) const { return at < o.at || (at == o.at && sharp < o.sharp); }
};
std::vector<FaceByPlace> byPlace(const Mesh& m) {
    std::vector<FaceByPlace> out;
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        int r = 0;
        auto pos = [&](int k) { return m.vertices[F.v[k]].position; };
        auto less = [](const vec3& a, const vec3& b) {
            return std::array<float, 3>{a.x, a.y, a.z} < std::array<float, 3>{b.x, b.y, b.z};
        };
        for (int k = 1; k < 3; ++k)
            if (less(pos(k), pos(r))) r = k;
        FaceByPlace x{};
        for (int i = 0; i < 3; ++i) {
            const int k = (r + i) % 3;
            x.at[std::size_t(3 * i)] = pos(k).x;
            x.at[std::size_t(3 * i + 1)] = pos(k).y;
            x.at[std::size_t(3 * i + 2)] = pos(k).z;
            x.sharp |= F.isSharp(k) ? 1 << i : 0;
            x.normals[std::size_t(i)] = F.normals[k];
        }
        out.push_back(x);
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

// A large file in a scattered order is imported with its records in space
// order: the same surface, creases and normals as its own order gives. A
// large file in surface order keeps its order.
TEST_F(ObjFiles, ScatteredLargeFilesAreOrderedInSpace) {
    const std::string scattered = torusText(320, 220, true);
    Mesh inFileOrder = parsed(scattered);
    ASSERT_TRUE(inFileOrder.importScattered());
    inFileOrder.initializeReconstructSharp(Mesh::ResizeMean);
    Mesh imported(write("scattered.obj", scattered), false);
    ASSERT_EQ(imported.status, 0);
    Mesh reparsed = parsed(scattered);
    reparsed.orderSpatially();
    EXPECT_FALSE(reparsed.importScattered());
    const std::vector<FaceByPlace> a = byPlace(inFileOrder), b = byPlace(imported);
    ASSERT_EQ(a.size(), b.size());
    int sharp = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_TRUE(a[i].at == b[i].at && a[i].sharp == b[i].sharp) << i;
        sharp += a[i].sharp != 0;
        for (int k = 0; k < 3; ++k) EXPECT_LT(qel::length(a[i].normals[k] - b[i].normals[k]), 1e-6) << i;
    }
    EXPECT_EQ(sharp, 4 * 220);  // both creased rings, on both sides
    // The centre is the vertices' mean, summed in another order.
    EXPECT_LT(qel::length(imported.centre - inFileOrder.centre), 1e-6);

    const std::string ordered = torusText(320, 220, false);
    Mesh kept(write("ordered.obj", ordered), false);
    const Mesh plain = parsed(ordered);
    ASSERT_EQ(kept.vertexCount(), plain.vertexCount());
    for (int v = 0; v < kept.vertexCount(); ++v) ASSERT_EQ(kept.vertices[v].position, plain.vertices[v].position);
}
