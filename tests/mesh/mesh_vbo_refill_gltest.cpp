// Refills of the mesh's buffers that follow what changed: after brush
// strokes (which rewrite only the faces they moved or painted) and after
// changes of sharp marks and links, the buffers read back hold the bytes a
// whole rebuild of the same mesh writes, and a stamp's refill maps at most
// four times the bytes its marks need.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include "gl/gl.h"
#include "mesh/mesh.h"
#include "mesh/mesh_util.h"
#include "mesh/mesh_vbo_ranges.h"
#include "support/scene_layer.h"

using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

std::vector<std::uint8_t> bufferBytes(GLuint name) {
    GLint size = 0;
    gl->glBindBuffer(GL_ARRAY_BUFFER, name);
    gl->glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    std::vector<std::uint8_t> bytes(std::size_t(size > 0 ? size : 0));
    if (!bytes.empty()) gl->glGetBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(bytes.size()), bytes.data());
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    return bytes;
}

// What the buffers of a mesh hold, read back.
struct Drawn {
    std::vector<std::uint8_t> vertices, lines;
    std::int32_t drawCount = 0, featureCount = 0;
};

Drawn drawn(const Mesh& m) {
    return {bufferBytes(m.vbo), m.featureCount ? bufferBytes(m.featureVbo) : std::vector<std::uint8_t>(), m.drawCount,
            m.featureCount};
}

// What a whole rebuild of the same mesh draws: a copy starts without buffers.
Drawn rebuilt(const Mesh& m) {
    Mesh copy(m);
    EXPECT_TRUE(copy.buildVBO());
    return drawn(copy);
}

// The mesh's buffers hold what a whole rebuild writes; the normals only when
// asked (a stroke refreshes them in the buffer at its end).
void expectRebuiltBytes(const Mesh& m, bool normals) {
    const Drawn now = drawn(m), whole = rebuilt(m);
    ASSERT_EQ(now.drawCount, whole.drawCount);
    ASSERT_EQ(now.vertices.size(), whole.vertices.size());
    const std::size_t n = std::size_t(now.drawCount), normalsAt = 12 * n, paintAt = 18 * n;
    const auto same = [&](std::size_t from, std::size_t to) {
        return std::memcmp(now.vertices.data() + from, whole.vertices.data() + from, to - from) == 0;
    };
    EXPECT_TRUE(same(0, normalsAt)) << "positions";
    if (normals) {
        EXPECT_TRUE(same(normalsAt, paintAt)) << "normals";
    }
    EXPECT_TRUE(same(paintAt, now.vertices.size())) << "paint and ids";
    EXPECT_EQ(now.featureCount, whole.featureCount);
    EXPECT_TRUE(now.lines == whole.lines) << "feature lines";
}

SBrush sample(const vec3& p, float radius) {
    SBrush b;
    b.point = p;
    b.radius = radius;
    b.strength = 1.0f;
    b.material = pbr(wvec4(65535, 9000, 0, 65535), wvec4(300, 0, 0, 50000), 700, -300);
    return b;
}

// Strokes of random actions, scopes, places and lengths; the buffers are
// built after every step and compared with a whole rebuild. A radius
// given holds for every stroke; so does a most ranges a running stroke's
// step may map (none when 0).
void strokeAtRandom(Mesh& m, std::mt19937& random, float fixedRadius = 0, std::uint64_t mostMaps = 0) {
    static const Sculptor::TAction actions[] = {Sculptor::Deform,       Sculptor::Smooth,        Sculptor::Pinch,
                                                Sculptor::Twist,        Sculptor::Move,          Sculptor::DeformVolume,
                                                Sculptor::Rotate,       Sculptor::PaintMaterial, Sculptor::Scale,
                                                Sculptor::FillMaterial, Sculptor::Relax,         Sculptor::Grow};
    static const Sculptor::TSelect scopes[] = {Sculptor::SelectElement, Sculptor::SelectPatch,
                                               Sculptor::SelectComponent};
    std::uniform_int_distribution<int> pick(0, 1 << 20);
    Sculptor s;
    s.action = actions[pick(random) % 12];
    s.select = scopes[pick(random) % 3];
    s.viewDirection = vec3(0, 0, 1);
    s.paintMask = std::uint8_t(1 + pick(random) % 63);
    int v = pick(random) % m.vertexCount();
    while (!m.vertices[v].isActive()) v = (v + 1) % m.vertexCount();
    const vec3 start = m.vertices[v].position;
    const float radius = fixedRadius > 0 ? fixedRadius : 0.2f + 0.1f * float(pick(random) % 5);
    s.samples.push_back(sample(start, radius));
    s.samples.back().itemId = m.vertices[v].face;
    std::vector<Sculptor*> list{&s};
    const int steps = 2 + pick(random) % 4;
    for (int i = 0; i <= steps; ++i) {
        const vec3 d(float(pick(random) % 9 - 4), float(pick(random) % 9 - 4), float(pick(random) % 9 - 4));
        s.samples.push_back(sample(s.samples.back().point + d * 0.02f, radius));
        s.samples.back().itemId = s.samples.front().itemId;
        if (i == steps) s.end();
        m.sculpt(list);
        bufferTraffic() = {};
        ASSERT_TRUE(m.buildVBO());
        SCOPED_TRACE(testing::Message() << "action " << int(s.action) << " scope " << int(s.select) << " step " << i);
        const BufferTraffic traffic = bufferTraffic();
        EXPECT_LE(traffic.mapped, 4 * traffic.written) << traffic.maps << " ranges mapped";
        if (mostMaps != 0 && i < steps) {
            EXPECT_LE(traffic.maps, mostMaps);
        }
        expectRebuiltBytes(m, i == steps);
    }
}

// A torus with a crease, its faces in a shuffled order; with holes (faces
// erased and not compacted, so that the drawn faces are not the face
// indices) when asked.
MeshPtr creasedTorus(bool holes) {
    MeshPtr m(meshtest::torus(24, 16, 2.0, 0.6, true, true));
    if (holes)
        for (const int f : {5, 77, 78, 300, 301, 302, 640}) m->faceErase(f);
    for (int f = 0; f < m->faceCount(); ++f)
        for (int k = 0; k < 3; ++k)
            m->faces[f].material[k].colour = wvec4(std::uint16_t(97 * f), std::uint16_t(13 * k), 40000, 65535);
    return m;
}

class MeshVboRefill : public tltest::DrawTest {};

}  // namespace

TEST_F(MeshVboRefill, BuffersAfterRandomStrokesHoldTheBytesOfAWholeRebuild) {
    for (const bool holes : {false, true}) {
        SCOPED_TRACE(holes ? "with holes" : "every face drawn");
        MeshPtr m = creasedTorus(holes);
        ASSERT_TRUE(m->buildVBO());
        ASSERT_GT(m->featureCount, 0);
        std::mt19937 random(holes ? 7 : 11);
        for (int stroke = 0; stroke < 40; ++stroke) {
            strokeAtRandom(*m, random);
            if (HasFatalFailure()) return;
        }
    }
}

// Without feature lines a stamp writes each moved vertex into the corners
// that draw it: random strokes on a smooth closed torus, every face drawn
// and then with faces dropped by edge collapses (not compacted, so that the
// drawn faces are not the face indices, and no edge opens), and a stroke
// after each further collapse.
TEST_F(MeshVboRefill, StrokesWithoutFeatureLinesWriteTheMovedCornersAsAWholeRebuild) {
    MeshPtr m(meshtest::torus(24, 16, 2.0, 0.6, true));
    ASSERT_TRUE(m->buildVBO());
    ASSERT_EQ(m->featureCount, 0);
    std::mt19937 random(5);
    for (int stroke = 0; stroke < 12; ++stroke) {
        strokeAtRandom(*m, random);
        if (HasFatalFailure()) return;
    }
    for (const int f : {30, 250, 500, 170}) {
        SCOPED_TRACE(testing::Message() << "edge of face " << f << " collapsed");
        int k = 0;
        while (k < 3 && !m->edgeCollapseFK(f, k)) ++k;
        ASSERT_LT(k, 3);
        m->topologyChanged = 1;
        ASSERT_TRUE(m->buildVBO());
        ASSERT_FALSE(m->bufferState.everyFaceActive);
        ASSERT_EQ(m->featureCount, 0);
        expectRebuiltBytes(*m, true);
        for (int stroke = 0; stroke < 4; ++stroke) {
            strokeAtRandom(*m, random);
            if (HasFatalFailure()) return;
        }
    }
}

// Small strokes on a fine smooth mesh in a shuffled order: the few vertices
// a stamp moves lie scattered over the vertex list, and their corners are
// ordered by sorting instead of through a bitmap of every corner.
TEST_F(MeshVboRefill, SmallStampsOnAShuffledMeshWriteTheMovedCornersAsAWholeRebuild) {
    // The torus's faces are shuffled; its vertices are shuffled here.
    MeshPtr source(meshtest::torus(192, 96, 2.0, 0.6, true));
    std::vector<int> to(std::size_t(source->vertexCount()));
    std::iota(to.begin(), to.end(), 0);
    std::shuffle(to.begin(), to.end(), std::mt19937(21));
    std::vector<vec3> points(to.size());
    for (std::size_t v = 0; v < to.size(); ++v) points[std::size_t(to[v])] = source->vertices[v].position;
    std::vector<std::array<int, 3>> tris;
    for (int f = 0; f < source->faceCount(); ++f) {
        const int* c = source->faces[f].v;
        tris.push_back({to[std::size_t(c[0])], to[std::size_t(c[1])], to[std::size_t(c[2])]});
    }
    MeshPtr m(meshtest::fromTriangles(points, tris));
    ASSERT_TRUE(m->buildVBO());
    ASSERT_EQ(m->featureCount, 0);
    std::mt19937 random(9);
    for (int stroke = 0; stroke < 6; ++stroke) {
        strokeAtRandom(*m, random, 0.08f);
        if (HasFatalFailure()) return;
    }
}

// On a fine mesh, in its own order and shuffled, a stamp's refill maps a
// few times what it writes, not the range from its first write to its last.
TEST_F(MeshVboRefill, AStampMapsAFewTimesWhatItWrites) {
    for (const bool shuffled : {false, true}) {
        SCOPED_TRACE(shuffled ? "shuffled" : "in its own order");
        MeshPtr m(meshtest::torus(192, 96, 2.0, 0.6, shuffled));
        ASSERT_TRUE(m->buildVBO());
        std::mt19937 random(shuffled ? 3 : 4);
        for (int stroke = 0; stroke < 6; ++stroke) {
            strokeAtRandom(*m, random);
            if (HasFatalFailure()) return;
        }
    }
}

// On fine meshes in the orders the program makes (its own, and a shuffled
// one put in space order), a running stroke's step maps a few ranges of
// each array, however the corners of its vertices lie between them.
TEST_F(MeshVboRefill, StepsOnMeshesInTheProgramsOrdersMapAFewRanges) {
    for (const bool shuffled : {false, true}) {
        SCOPED_TRACE(shuffled ? "shuffled, then put in space order" : "in its own order");
        MeshPtr m(meshtest::torus(192, 96, 2.0, 0.6, shuffled));
        if (shuffled) {
            m->orderSpatially();
            m->initialize(Element::ResizeMean);
        }
        ASSERT_TRUE(m->buildVBO());
        ASSERT_EQ(m->featureCount, 0);
        std::mt19937 random(shuffled ? 13 : 17);
        for (int stroke = 0; stroke < 8; ++stroke) {
            strokeAtRandom(*m, random, 0, 8);
            if (HasFatalFailure()) return;
        }
    }
}

// The corners of the moved vertices far apart in the position array: a
// smooth torus whose faces are laid out so that each vertex of one ring has
// its first corners at the start of the array and its last at the end (every
// one of them reaches two spans), and one of them a corner alone in the
// middle, on a page that no first or last corner reaches. Moving the ring,
// every face drawn and with a face dropped far from it, writes what a whole
// rebuild writes, through a few spans within the bound.
TEST_F(MeshVboRefill, MovedCornersAtBothEndsOfTheArrayAndAloneBetween) {
    constexpr int U = 40, V = 16, ring = 20;
    std::vector<vec3> points;
    for (int i = 0; i < U; ++i)
        for (int j = 0; j < V; ++j) {
            const double a = 6.283185307179586 * i / U, b = 6.283185307179586 * j / V;
            points.emplace_back(float((2 + 0.6 * std::cos(b)) * std::cos(a)), float((2 + 0.6 * std::cos(b)) * std::sin(a)),
                                float(0.6 * std::sin(b)));
        }
    // The cells after the ring first, the cells away from it next, the cells
    // before it last, but for one face moved into the middle.
    std::vector<std::array<int, 3>> after, away, before;
    for (int i = 0; i < U; ++i)
        for (int j = 0; j < V; ++j) {
            const int a = i * V + j, b = ((i + 1) % U) * V + j;
            const int c = ((i + 1) % U) * V + (j + 1) % V, d = i * V + (j + 1) % V;
            auto& cells = i == ring ? after : i == ring - 1 ? before : away;
            cells.push_back({a, b, c});
            cells.push_back({a, c, d});
        }
    away.insert(away.begin() + long(away.size() / 2), before[V]);
    before.erase(before.begin() + V);
    std::vector<std::array<int, 3>> tris = after;
    tris.insert(tris.end(), away.begin(), away.end());
    tris.insert(tris.end(), before.begin(), before.end());
    for (const bool dropped : {false, true}) {
        SCOPED_TRACE(dropped ? "a face far away dropped" : "every face drawn");
        MeshPtr m(meshtest::fromTriangles(points, tris));
        if (dropped) {
            const int f = int(after.size() + away.size() / 4);
            int k = 0;
            while (k < 3 && !m->edgeCollapseFK(f, k)) ++k;
            ASSERT_LT(k, 3);
        }
        ASSERT_TRUE(m->buildVBO());
        ASSERT_EQ(m->featureCount, 0);
        ASSERT_EQ(m->bufferState.everyFaceActive, !dropped);
        std::vector<std::int32_t> moved;
        for (int j = 0; j < V; ++j) moved.push_back(ring * V + j);
        for (int step = 1; step <= 3; ++step) {
            const std::vector<vec3> d(moved.size(), vec3(0.01f * float(step), -0.02f, 0.005f));
            m->bufferState.displace(moved.data(), d.data(), moved.size());
            m->bufferState.refillMarked(Mesh::RefillPositions);
            bufferTraffic() = {};
            ASSERT_TRUE(m->buildVBO());
            const BufferTraffic traffic = bufferTraffic();
            EXPECT_EQ(traffic.written, 12u * 6u * moved.size());
            EXPECT_LE(traffic.mapped, 4 * traffic.written);
            EXPECT_GE(traffic.maps, 2u);
            EXPECT_LE(traffic.maps, 4u);
            expectRebuiltBytes(*m, false);
        }
    }
}

// A stamp rewrites the faces round what it moved and nothing else; a whole
// refill rewrites everything.
TEST_F(MeshVboRefill, AStampRewritesOnlyTheFacesItMoved) {
    MeshPtr m(meshtest::torus(48, 32, 2.0, 0.6));
    ASSERT_TRUE(m->buildVBO());
    // A face on the far side of the torus from the brush at (2.6, 0, 0).
    int far = 0;
    while (m->vertices[m->faces[far].v[0]].position.x > -2.0f) ++far;
    const float garbage[9] = {9, 9, 9, 9, 9, 9, 9, 9, 9};
    gl->glBindBuffer(GL_ARRAY_BUFFER, m->vbo);
    gl->glBufferSubData(GL_ARRAY_BUFFER, GLintptr(36 * far), sizeof garbage, garbage);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);

    Sculptor s;
    s.action = Sculptor::Deform;
    s.select = Sculptor::SelectElement;
    s.samples = {sample(vec3(2.6f, 0, 0), 0.4f), sample(vec3(2.6f, 0, 0), 0.4f), sample(vec3(2.6f, 0.1f, 0), 0.4f)};
    s.state = Gesture::Moving;
    std::vector<Sculptor*> list{&s};
    const Drawn before = drawn(*m);
    m->sculpt(list);
    EXPECT_EQ(m->refill[0], Mesh::RefillMarked);
    ASSERT_TRUE(m->buildVBO());
    const Drawn after = drawn(*m), whole = rebuilt(*m);
    EXPECT_EQ(std::memcmp(after.vertices.data() + 36 * far, garbage, sizeof garbage), 0);
    int rewritten = 0;
    for (int f = 0; f < m->faceCount(); ++f) {
        if (f == far) continue;
        const std::size_t at = 36 * std::size_t(f);
        EXPECT_EQ(std::memcmp(after.vertices.data() + at, whole.vertices.data() + at, 36), 0) << f;
        rewritten += std::memcmp(after.vertices.data() + at, before.vertices.data() + at, 36) != 0;
    }
    EXPECT_GT(rewritten, 20);

    m->refill[0] = Mesh::RefillWhole;
    ASSERT_TRUE(m->buildVBO());
    expectRebuiltBytes(*m, true);
}

// Sharp marks and links changed without a topology change reach the
// feature lines (and, for an edit, the corners) at the next stamp's refill.
TEST_F(MeshVboRefill, SharpnessAndLinkChangesReachTheNextStampsRefill) {
    MeshPtr m(meshtest::torus(24, 16, 2.0, 0.6, false, true));
    ASSERT_TRUE(m->buildVBO());
    const int segments = m->featureCount / 2;
    Sculptor s;
    s.action = Sculptor::Deform;
    s.select = Sculptor::SelectElement;
    s.samples = {sample(vec3(0, 2.6f, 0), 0.3f), sample(vec3(0, 2.6f, 0), 0.3f), sample(vec3(0, 2.65f, 0), 0.3f)};
    s.state = Gesture::Moving;
    std::vector<Sculptor*> list{&s};
    const auto stampAndCompare = [&](const char* what) {
        SCOPED_TRACE(what);
        m->sculpt(list);
        ASSERT_TRUE(m->buildVBO());
        expectRebuiltBytes(*m, false);
    };

    // Face 400's edge 0 and edge 1 become sharp: two more segments.
    ASSERT_TRUE(m->edgeSharpFK(400, 0, true));
    int a = m->faces[400].v[2], b = m->faces[400].v[0];
    ASSERT_TRUE(m->edgeSharpVV(a, b, true));
    stampAndCompare("edges made sharp");
    EXPECT_EQ(m->featureCount / 2, segments + 2);
    // The eraser takes the crease ring away.
    ASSERT_TRUE(m->select_(m->vertices[0].position, true, m->vertices[0].face));
    stampAndCompare("crease erased");
    m->makeSharp();
    stampAndCompare("every edge sharp");
    m->makeSmooth();
    stampAndCompare("every edge smooth");
    EXPECT_EQ(m->featureCount, 0);
    // A flip turns two faces' corners: they are refilled too.
    ASSERT_TRUE(m->edgeFlipFK(200, 1));
    stampAndCompare("edge flipped");
    m->faceErase(90);
    stampAndCompare("face erased");
}

// Normals and paint marked face by face or vertex by vertex are refilled for
// those faces; a vertex whose faces do not form one fan through the links
// (two triangles touching at a corner) is refilled whole.
TEST_F(MeshVboRefill, MarksByFaceAndByVertexAndFansThatCannotBeFollowed) {
    MeshPtr m(meshtest::torus(24, 16, 2.0, 0.6, true));
    ASSERT_TRUE(m->buildVBO());
    for (const int f : {3, 4, 500}) {
        m->faces[f].normals[1] = vec3(0.25f, -0.5f, 0.75f);
        m->faces[f].material[2].roughness = 1234;
        m->markFaceChanged(Mesh::RefillNormals, f);
        m->markFaceChanged(Mesh::RefillPaint, f);
    }
    m->refillMarked(Mesh::RefillNormals);
    m->refillMarked(Mesh::RefillPaint);
    ASSERT_TRUE(m->buildVBO());
    expectRebuiltBytes(*m, true);

    // Paint marked by channel: only the arrays they reach are uploaded, and
    // each reaches its own.
    m->faces[7].material[0].light[3] = 0x1200;
    m->markFaceChanged(Mesh::RefillPaint, 7, pbr::MaskThickness);
    m->faces[8].material[1].metalness = -999;
    m->markFaceChanged(Mesh::RefillPaint, 8, pbr::MaskMetalness);
    m->faces[9].material[2].colour[3] = 0x3400;
    m->markFaceChanged(Mesh::RefillPaint, 9, pbr::MaskOpacity);
    m->refillMarked(Mesh::RefillPaint);
    ASSERT_TRUE(m->buildVBO());
    expectRebuiltBytes(*m, true);

    // Every corner of vertex 40 turned: marked by the vertex.
    for (int f = 0; f < m->faceCount(); ++f) {
        const int k = m->faces[f].corner(40);
        if (k >= 0) m->faces[f].normals[k] = vec3(1, 0, 0);
    }
    m->markVertexChanged(Mesh::RefillNormals, 40);
    m->refillMarked(Mesh::RefillNormals);
    ASSERT_TRUE(m->buildVBO());
    expectRebuiltBytes(*m, true);

    MeshPtr bowtie(meshtest::makeBowtie());
    ASSERT_TRUE(bowtie->buildVBO());
    bowtie->selectV(vec3(0, 0, 0), 0.5f, true);
    bowtie->_move(vec3(0, 0, 1));
    bowtie->applyDisplacement();
    bowtie->deselectAll();
    bowtie->refillMarked(Mesh::RefillPositions);
    ASSERT_TRUE(bowtie->buildVBO());
    expectRebuiltBytes(*bowtie, true);
}

// A face dropped from the drawn set without a topology change or a link
// change, found by one array's refill of marked faces: the arrays refilled
// after it (whose own faces still hold) do not hide it, and the buffers are
// rebuilt at the new face count.
TEST_F(MeshVboRefill, ALayoutFoundStaleStaysStaleForTheArraysAfterIt) {
    const Mesh::RefillArray arrays[] = {Mesh::RefillPositions, Mesh::RefillNormals, Mesh::RefillPaint};
    for (int stale = 0; stale < 2; ++stale)
        for (int later = stale + 1; later < 3; ++later) {
            SCOPED_TRACE(testing::Message() << "stale in array " << stale << ", then array " << later);
            MeshPtr m = creasedTorus(false);
            ASSERT_TRUE(m->buildVBO());
            m->faces[10].flags = std::uint8_t(m->faces[10].flags & ~MeshFace::ActiveBit);
            m->markFaceChanged(arrays[stale], 10);
            m->refillMarked(arrays[stale]);
            m->markFaceChanged(arrays[later], 400);
            m->refillMarked(arrays[later]);
            ASSERT_TRUE(m->buildVBO());
            expectRebuiltBytes(*m, true);
        }
}

// Paint steps of every scope on a fresh buffer: the paint array read back
// holds what a whole rebuild writes after each step.
TEST_F(MeshVboRefill, PaintStepsOfEveryScopeReachThePaintArray) {
    for (const Sculptor::TSelect scope : {Sculptor::SelectElement, Sculptor::SelectPatch, Sculptor::SelectAllPatches,
                                          Sculptor::SelectComponent}) {
        SCOPED_TRACE(testing::Message() << "scope " << int(scope));
        MeshPtr m = creasedTorus(false);
        ASSERT_TRUE(m->buildVBO());
        Sculptor s;
        s.action = Sculptor::PaintMaterial;
        s.select = scope;
        s.viewDirection = vec3(0, 0, 1);
        const vec3 start = m->vertices[0].position;
        s.samples.push_back(sample(start, 0.5f));
        s.samples.back().itemId = m->vertices[0].face;
        s.state = Gesture::Moving;
        std::vector<Sculptor*> list{&s};
        for (int i = 0; i < 3; ++i) {
            s.samples.push_back(sample(start + vec3(0, 0.05f, 0) * float(i + 1), 0.5f));
            s.samples.back().itemId = s.samples.front().itemId;
            m->sculpt(list);
            EXPECT_EQ(m->refill[Mesh::RefillPaint], Mesh::RefillMarked);
            ASSERT_TRUE(m->buildVBO());
            expectRebuiltBytes(*m, true);
        }
    }
}

// The corners of every face with their materials, to count what a stamp
// changed: changedBytes gives 4 bytes for each corner and paint array
// (colour, light, roughness and metalness) whose channels differ from
// those kept, and keeps the new ones.
struct KeptPaint {
    std::vector<pbr> corners;
    explicit KeptPaint(const Mesh& m) { changedBytes(m); }
    std::uint64_t changedBytes(const Mesh& m) {
        corners.resize(3 * std::size_t(m.faceCount()));
        std::uint64_t bytes = 0;
        for (int f = 0; f < m.faceCount(); ++f)
            for (int k = 0; k < 3; ++k) {
                const pbr& now = m.faces[f].material[k];
                pbr& was = corners[3 * std::size_t(f) + std::size_t(k)];
                bytes += 4 * std::uint64_t((now.colour != was.colour) + (now.light != was.light) +
                                           (now.roughness != was.roughness || now.metalness != was.metalness));
                was = now;
            }
        return bytes;
    }
};

// A Paint stamp changes the corners at the vertices it paints: its refill
// writes what a whole rebuild writes and maps at most four times the bytes
// it changed in the paint arrays. A stroke of several stamps, each
// followed by its refill: on the refined sphere in the order the program
// gives a large mesh (space order), in a few ranges; in the order the
// refinement makes the records, and on a torus whose faces are shuffled
// (the corners lie scattered), within the bound. The stroke's last stamps
// go over paint it laid down.
TEST_F(MeshVboRefill, APaintStampMapsAtMostFourTimesWhatItChanges) {
    enum Shape { SphereInSpaceOrder, SphereAsRefined, ShuffledTorus };
    for (const Shape shape : {SphereInSpaceOrder, SphereAsRefined, ShuffledTorus}) {
        SCOPED_TRACE(testing::Message() << "shape " << int(shape));
        MeshPtr m(shape == ShuffledTorus ? meshtest::torus(192, 96, 2.0, 0.6, true) : meshtest::smoothSphere(6));
        if (shape == SphereInSpaceOrder) m->orderInSpace();
        ASSERT_TRUE(m->buildVBO());
        KeptPaint kept(*m);
        const int v0 = shape == ShuffledTorus ? 9000 : 4000;
        Sculptor s;
        s.action = Sculptor::PaintMaterial;
        s.select = Sculptor::SelectElement;
        s.paintMask = pbr::MaskColour | pbr::MaskRoughness | pbr::MaskMetalness;
        s.viewDirection = normalize(m->vertices[v0].position);
        s.state = Gesture::Moving;
        const vec3 start = m->vertices[v0].position;
        const vec3 step = normalize(cross(start, vec3(0.3f, 1, 0.1f))) * 0.02f;
        const float radius = shape == ShuffledTorus ? 0.25f : 0.4f;
        std::vector<Sculptor*> list{&s};
        for (int i = 0; i <= 5; ++i) {
            SCOPED_TRACE(testing::Message() << "step " << i);
            // The first step has two samples, the later ones three; the
            // last two go back over the first ones.
            s.samples.push_back(sample(start + step * float(i < 4 ? i : 7 - i), radius));
            if (i == 0) s.samples.push_back(sample(start + step * 0.5f, radius));
            if (s.samples.size() > 3) s.samples.erase(s.samples.begin());
            for (SBrush& b : s.samples) {
                b.itemId = m->vertices[v0].face;
                b.strength = 0.3f;
            }
            m->sculpt(list);
            const std::uint64_t changed = kept.changedBytes(*m);
            ASSERT_GT(changed, 0u);
            bufferTraffic() = {};
            ASSERT_TRUE(m->buildVBO());
            const BufferTraffic traffic = bufferTraffic();
            EXPECT_LE(traffic.mapped, 4 * changed) << traffic.maps << " ranges mapped";
            if (shape == SphereInSpaceOrder) {
                EXPECT_LE(traffic.maps, 12u);  // the colour and material arrays, a few ranges each
            }
            expectRebuiltBytes(*m, true);
        }
        // A stamp that leaves every channel it paints as it was (the light
        // the surface has) rewrites nothing.
        s.paintMask = pbr::MaskLight;
        for (SBrush& b : s.samples) b.material.light = pbr().light;
        m->sculpt(list);
        EXPECT_EQ(kept.changedBytes(*m), 0u);
        bufferTraffic() = {};
        ASSERT_TRUE(m->buildVBO());
        EXPECT_EQ(bufferTraffic().maps, 0u);
        expectRebuiltBytes(*m, true);
    }
}
