// The curve's element record: round trips, the empty payload, the old edge
// layout and the old tag, records in sequence, what is written of a curve
// with pending removals, the repairs and refusals of the reader, and curve
// records in a scene file. Truncations and huge counts are also replayed
// from the fuzz corpus of the reader.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "curves/curve.h"
#include "curves/curve_invariants_util.h"
#include "files/element_factory.h"
#include "gl/buffer.h"
#include "scene/scene.h"
#include "scene/tool.h"

using qel::buffer;
using qel::Curve;
using qel::CurveEdge;
using qel::CurveVertex;
using qel::pbr;
using qel::vec3;
using CurvePtr = std::unique_ptr<Curve>;

namespace {

pbr material(std::uint16_t g, std::int16_t rough) { return pbr({g, 2, 3, 4}, {5, 6, 7, g}, rough, -rough); }

// An open chain of three vertices and a loop of three, with radii, angles,
// materials and a sharp vertex.
CurvePtr sample() {
    auto c = std::make_unique<Curve>(Curve::UniformCurve);
    for (int i = 0; i < 6; ++i) {
        CurveVertex r(vec3(float(i), float(i % 2), 0.5f * float(i)));
        r.radius = 1.0f + 0.25f * float(i);
        r.angle = 0.1f * float(i);
        c->vertexAdd(r);
    }
    c->vertices[4].flags |= CurveVertex::SharpBit;
    for (const auto& ab : {std::pair<int, int>{0, 1}, {1, 2}, {3, 4}, {4, 5}, {5, 3}}) {
        CurveEdge e(ab.first, ab.second);
        e.material[0] = material(std::uint16_t(100 * ab.first), std::int16_t(ab.second));
        e.material[1] = material(std::uint16_t(1000 + ab.second), -7);
        c->edgeAdd(e);
    }
    c->initialize(Curve::ResizeMean);
    return c;
}

// The body of a curve's record (after tag and length).
buffer bodyOf(Curve& c, std::uint32_t* tag = nullptr) {
    buffer out;
    c.DataWrite(out);
    std::uint32_t t = 0, length = 0;
    EXPECT_TRUE(out.readRecordHeader(t, length));
    EXPECT_EQ(length, std::uint32_t(out.size() - 8));
    if (tag) *tag = t;
    return buffer(out.data() + 8, std::size_t(length));
}

void expectSameRecords(const Curve& a, const Curve& b) {
    ASSERT_EQ(a.vertexCount(), b.vertexCount());
    ASSERT_EQ(a.edgeCount(), b.edgeCount());
    for (int v = 0; v < a.vertexCount(); ++v) {
        const CurveVertex &x = a.vertices[std::size_t(v)], &y = b.vertices[std::size_t(v)];
        EXPECT_EQ(x.position, y.position) << v;
        EXPECT_EQ(x.radius, y.radius) << v;
        EXPECT_EQ(x.angle, y.angle) << v;
        EXPECT_EQ(x.flags, y.flags) << v;
    }
    for (int e = 0; e < a.edgeCount(); ++e) {
        const CurveEdge &x = a.edges[std::size_t(e)], &y = b.edges[std::size_t(e)];
        EXPECT_EQ(x.v[0], y.v[0]) << e;
        EXPECT_EQ(x.v[1], y.v[1]) << e;
        EXPECT_EQ(x.material[0], y.material[0]) << e;
        EXPECT_EQ(x.material[1], y.material[1]) << e;
        EXPECT_EQ(x.flags, y.flags) << e;
    }
}

void expectSameLinks(const Curve& a, const Curve& b) {
    ASSERT_EQ(a.edgeCount(), b.edgeCount());
    for (int e = 0; e < a.edgeCount(); ++e) {
        EXPECT_EQ(a.edges[std::size_t(e)].n[0], b.edges[std::size_t(e)].n[0]) << e;
        EXPECT_EQ(a.edges[std::size_t(e)].n[1], b.edges[std::size_t(e)].n[1]) << e;
    }
    for (int v = 0; v < a.vertexCount(); ++v)
        EXPECT_EQ(a.vertices[std::size_t(v)].edge, b.vertices[std::size_t(v)].edge);
}

// A hand-built body: head (with reserved word and type unless old), vertices
// (x, radius, angle, flags), edges in the layout of the file version.
struct Body {
    bool old = false;
    bool oldEdges = false;
    std::uint32_t type = 0;
    vec3 centre{0, 0, 0};
    float size = 1.0f;
    struct Vertex {
        float x, radius, angle;
        std::uint8_t flags;
    };
    struct Edge {
        std::int32_t a, b;
        std::uint8_t channel, flags;
    };
    std::vector<Vertex> vertices;
    std::vector<Edge> edges;

    buffer bytes() const {
        buffer b;
        if (!old) {
            b.writeU32(0xDEADBEEF);  // reserved: skipped
            b.writeU32(type);
        }
        b.writeVec3(centre);
        b.writeF32(size);
        b.writeU32(std::uint32_t(vertices.size()));
        for (const Vertex& v : vertices) {
            b.writeVec3(vec3(v.x, 0, 0));
            b.writeF32(v.radius);
            b.writeF32(v.angle);
            b.writeU8(v.flags);
        }
        b.writeU32(std::uint32_t(edges.size()));
        for (const Edge& e : edges) {
            for (int k = 0; k < 2; ++k) {
                b.writeI32(k == 0 ? e.a : e.b);
                if (oldEdges) {
                    for (int i = 0; i < 8; ++i) b.writeU8(e.channel);
                } else {
                    pbr m({e.channel, e.channel, e.channel, e.channel}, {0, 0, 0, 1}, 9, -9);
                    m.DataWrite(b);
                }
            }
            if (oldEdges) b.writeU32(0x12345678);  // skipped
            b.writeU8(e.flags);
        }
        return b;
    }
};

// Two vertices and one edge between them.
Body twoPoints(bool old = false, bool oldEdges = false) {
    Body body;
    body.old = old;
    body.oldEdges = oldEdges;
    body.type = 2;
    body.centre = vec3(1, 2, 3);
    body.size = 4.0f;
    body.vertices = {{0.0f, 1.5f, 0.25f, 4}, {1.0f, 2.5f, 0.5f, 5}};
    body.edges = {{0, 1, 255, 4}};
    return body;
}

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A current curve body in an older form: without reserved word and type
// (old tag) and with 29-byte edges (old edges: the high byte of every
// channel).
buffer olderCurveBody(buffer body, bool oldTag, bool oldEdges) {
    buffer out;
    body.seek(oldTag ? 8 : 0);
    std::uint8_t head[24];
    body.readBytes(head, oldTag ? 16 : 24);
    out.writeBytes(head, oldTag ? 16 : 24);
    const std::uint32_t nV = body.readU32();
    out.writeU32(nV);
    std::vector<std::uint8_t> vertices(21 * nV);
    body.readBytes(vertices.data(), std::uint32_t(vertices.size()));
    out.writeBytes(vertices.data(), vertices.size());
    const std::uint32_t nE = body.readU32();
    out.writeU32(nE);
    for (std::uint32_t e = 0; e < nE; ++e) {
        std::uint8_t r[49];
        body.readBytes(r, 49);
        if (!oldEdges) {
            out.writeBytes(r, 49);
            continue;
        }
        for (int k = 0; k < 2; ++k) {
            out.writeBytes(r + 24 * k, 4);
            for (int c = 0; c < 8; ++c) out.writeU8(r[24 * k + 4 + 2 * c + 1]);
        }
        out.writeU32(0);
        out.writeU8(r[48]);
    }
    return out;
}

// A tool body in the layout of version 20060411: a 12-byte colour block
// instead of the material.
buffer olderToolBody(const buffer& body) {
    buffer out;
    out.writeBytes(body.data(), 152);
    for (int i = 0; i < 12; ++i) out.writeU8(0x80);
    out.writeBytes(body.data() + 172, std::size_t(body.size() - 172));
    return out;
}

// A saved scene file rewritten: version word; odd element records under the
// old curve tag; at version 20060411 or below the old tool and edge layouts
// (the identity matrices read the same transposed).
Bytes rewrite(const Bytes& saved, std::int32_t version) {
    constexpr std::uint32_t ToolsChunk = 0xABCDEF01u, ElementsChunk = 0xEEEEEEEEu;
    const bool old = version <= Curve::LastOldEdgeVersion;
    buffer in(saved), out;
    out.writeU32(in.readU32());
    in.readU32();
    out.writeU32(std::uint32_t(version));
    for (std::uint32_t tag = 0, length = 0; in.readRecordHeader(tag, length);) {
        const std::int32_t end = in.cursor() + std::int32_t(length);
        buffer chunk;
        int index = 0;
        for (std::uint32_t t = 0, n = 0; in.cursor() < end && in.readRecordHeader(t, n); ++index) {
            buffer body(in.data() + in.cursor(), n);
            in.skip(n);
            if (tag == ToolsChunk && t == qel::Tool::RecordTag && old) body = olderToolBody(body);
            if (tag == ElementsChunk && t == Curve::RecordTag) {
                const bool oldTag = index % 2 == 1;
                body = olderCurveBody(body, oldTag, old);
                if (oldTag) t = Curve::OldRecordTag;
            }
            chunk.writeRecord(t, body);
        }
        out.writeRecord(tag, chunk);
    }
    return out.bytes();
}

// The curves shown by the scene's top objects, in order.
std::vector<const Curve*> curvesOf(const qel::Scene& s) {
    std::vector<const Curve*> out;
    for (const qel::Tool* t : s.objectsRoot->children) out.push_back(dynamic_cast<const Curve*>(t->element));
    return out;
}

class CurveRecord : public ::testing::Test {
protected:
    void SetUp() override { qel::FILE_VERSION = qel::FILE_VERSION_WRITTEN; }
    void TearDown() override { qel::FILE_VERSION = saved_; }

private:
    const std::int32_t saved_ = qel::FILE_VERSION;
};

}  // namespace

TEST_F(CurveRecord, WrittenAndReadBackKeepsRecordsLinksAndOrder) {
    CurvePtr c = sample();
    ASSERT_EQ(curvetest::checkCurveInvariants(*c), "");
    std::uint32_t tag = 0;
    buffer body = bodyOf(*c, &tag);
    EXPECT_EQ(tag, Curve::RecordTag);
    EXPECT_EQ(body.size(), 32 + 21 * 6 + 49 * 5);
    Curve back(body, false);
    EXPECT_EQ(body.cursor(), body.size());
    EXPECT_EQ(back.status, 0);
    EXPECT_EQ(back.curveType, Curve::UniformCurve);
    EXPECT_EQ(back.centre, c->centre);
    EXPECT_EQ(back.size(), c->size());
    expectSameRecords(*c, back);
    back.initialize(Curve::ResizeKeep);
    EXPECT_EQ(curvetest::checkCurveInvariants(back), "");
    expectSameLinks(*c, back);
    expectSameRecords(*c, back);
}

TEST_F(CurveRecord, EmptyCurvePayloadIs32Bytes) {
    Curve c(Curve::UniformCurve);
    buffer body = bodyOf(c);
    ASSERT_EQ(body.size(), 32);
    EXPECT_EQ(body.readU32(), 0u);  // reserved
    EXPECT_EQ(body.readU32(), 2u);  // type
    body.seek(24);
    EXPECT_EQ(body.readU32(), 0u);
    EXPECT_EQ(body.readU32(), 0u);
    body.seek(0);
    Curve back(body, false);
    EXPECT_EQ(back.status, 0);
    EXPECT_EQ(back.vertexCount() + back.edgeCount(), 0);
}

TEST_F(CurveRecord, EdgeLayoutFollowsTheFileVersion) {
    struct Case {
        std::int32_t version;
        bool oldEdges;
        std::uint16_t colour;
        std::int16_t roughness;
    };
    // A byte 255 becomes 65280 (the high byte), not 65535.
    const Case cases[] = {{20060411, true, 65280, 0}, {20060401, true, 65280, 0}, {20060412, false, 255, 9}};
    for (const Case& t : cases) {
        for (const bool old : {false, true}) {
            SCOPED_TRACE(testing::Message() << t.version << (old ? " old tag" : ""));
            qel::FILE_VERSION = t.version;
            buffer b = twoPoints(old, t.oldEdges).bytes();
            EXPECT_EQ(b.size(), (old ? 24 : 32) + 42 + (t.oldEdges ? 29 : 49));
            Curve c(b, old);
            EXPECT_EQ(b.cursor(), b.size());
            ASSERT_EQ(c.status, 0);
            ASSERT_EQ(c.edgeCount(), 1);
            const CurveEdge& e = c.edges[0];
            EXPECT_EQ(e.v[1], 1);
            for (int k = 0; k < 2; ++k) {
                EXPECT_EQ(e.material[k].colour[0], t.colour);
                EXPECT_EQ(e.material[k].light[3], t.oldEdges ? 65280 : 1);
                EXPECT_EQ(e.material[k].roughness, t.roughness);
            }
            EXPECT_EQ(c.vertices[1].radius, 2.5f);
            EXPECT_EQ(c.vertices[1].flags, 5);
            EXPECT_EQ(c.centre, vec3(1, 2, 3));
            EXPECT_EQ(c.size(), 4.0f);
            // The old tag has no type and gives element id 0.
            EXPECT_EQ(c.curveType, old ? Curve::Plain : Curve::UniformCurve);
            EXPECT_EQ(c.id, old ? 0 : -1);
        }
    }
}

TEST_F(CurveRecord, RecordsInSequenceConsumeExactlyTheirPayloads) {
    CurvePtr a = sample();
    Curve empty;
    CurvePtr b = sample();
    b->edgeErase(0);
    buffer file;
    a->DataWrite(file);
    empty.DataWrite(file);
    b->DataWrite(file);
    qel::ElementFactory factory;
    int read = 0;
    for (std::uint32_t tag = 0, length = 0; file.readRecordHeader(tag, length); ++read) {
        const std::int32_t end = file.cursor() + std::int32_t(length);
        qel::Element* e = nullptr;
        {
            const buffer::ReadLimit window(file, end);
            ASSERT_EQ(factory.read(tag, file, e), qel::ElementFactory::Built);
        }
        EXPECT_EQ(file.cursor(), end);
        ASSERT_TRUE(dynamic_cast<Curve*>(e));
        delete e;
    }
    EXPECT_EQ(read, 3);
    EXPECT_TRUE(file.atEnd());
}

TEST_F(CurveRecord, PendingRemovalsWriteOnlyActiveRecordsRenumbered) {
    CurvePtr c = sample();
    c->edgeErase(0);  // vertex 0 goes with it
    const std::vector<CurveVertex> vertices = c->vertices;
    buffer body = bodyOf(*c);
    EXPECT_EQ(c->vertices.size(), vertices.size());  // the curve in memory is unchanged
    EXPECT_TRUE(c->pendingRemoval);
    Curve back(body, false);
    EXPECT_EQ(back.vertexCount(), 5);
    EXPECT_EQ(back.edgeCount(), 4);
    back.initialize(Curve::ResizeKeep);
    EXPECT_EQ(curvetest::checkCurveInvariants(back), "");
    // The same curve as the compacted one, in array order.
    c->removeInactive(false);
    c->initialize(Curve::ResizeKeep);
    EXPECT_EQ(curvetest::activeEdgeCount(back), curvetest::activeEdgeCount(*c));
    EXPECT_NEAR(back.Length(), c->Length(), 1e-5);
    EXPECT_EQ(back.vertices[0].position, vertices[1].position);
}

TEST_F(CurveRecord, FileMarksAndNonFiniteValuesAreRepaired) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Body body = twoPoints();
    body.centre = vec3(nan, 0, 0);
    body.size = inf;
    // Selected vertex and edge, placed mark; inactive vertex 1 used by an
    // active edge.
    body.vertices = {{nan, nan, inf, 4 | 8}, {3.0f, 1.0f, nan, 8}};
    body.edges = {{0, 1, 7, 4 | 8 | 16}};
    buffer b = body.bytes();
    Curve c(b, false);
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.vertices[0].position, vec3(0, 0, 0));
    EXPECT_EQ(c.vertices[0].radius, 1.0f);
    EXPECT_EQ(c.vertices[0].angle, 0.0f);
    EXPECT_EQ(c.vertices[1].angle, 0.0f);
    EXPECT_EQ(c.vertices[0].flags, 4);
    EXPECT_EQ(c.vertices[1].flags, 4);  // made active by its edge
    EXPECT_EQ(c.edges[0].flags, 4);
    // Centre and size from the vertices, as calculateSize(1) gives them.
    EXPECT_EQ(c.centre, vec3(1.5f, 0, 0));
    EXPECT_EQ(c.size(), 3.0f);
    c.initialize(Curve::ResizeKeep);
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
    EXPECT_TRUE(c.selectedVertices.empty());
}

TEST_F(CurveRecord, RoughnessAndMetalnessOutOfRangeAreClampedEachOnItsOwn) {
    // Offsets of the four values in the edge record: roughness and
    // metalness at end 0, then at end 1.
    const int offsets[4] = {20, 22, 44, 46};
    const struct {
        std::int16_t stored, read;
    } cases[] = {{-32768, -32766}, {-32767, -32766}, {-32766, -32766}, {32766, 32766}, {32767, 32766}, {0, 0}};
    const std::size_t edgeAt = 8 + 16 + 4 + 2 * 21 + 4;
    for (int slot = 0; slot < 4; ++slot)
        for (const auto& t : cases) {
            buffer written = twoPoints().bytes();
            std::uint8_t* p = written.data() + edgeAt + std::size_t(offsets[slot]);
            p[0] = std::uint8_t(std::uint16_t(t.stored) & 0xff);
            p[1] = std::uint8_t(std::uint16_t(t.stored) >> 8);
            buffer b(written.data(), std::size_t(written.size()));
            Curve c(b, false);
            ASSERT_EQ(c.status, 0);
            const pbr* m = c.edges[0].material;
            const std::int16_t got[4] = {m[0].roughness, m[0].metalness, m[1].roughness, m[1].metalness};
            const std::int16_t untouched[4] = {9, -9, 9, -9};
            for (int k = 0; k < 4; ++k)
                EXPECT_EQ(got[k], k == slot ? t.read : untouched[k]) << "slot " << slot << " stored " << t.stored;
        }
}

TEST_F(CurveRecord, DamagedBodiesAreRefusedWithoutRecords) {
    auto withEdge = [](std::int32_t a, std::int32_t b, std::uint8_t flags) {
        Body body = twoPoints();
        body.edges = {{a, b, 1, flags}};
        return body.bytes();
    };
    auto truncated = [](int cut) {
        buffer b = twoPoints().bytes();
        b.resize(std::size_t(b.size() - cut));
        return b;
    };
    auto hugeCount = [](std::int32_t offset) {
        buffer b = twoPoints().bytes();
        b.patchU32(offset, 0xFFFFFFF0u);
        return b;
    };
    struct Case {
        const char* name;
        buffer bytes;
    };
    Case cases[] = {
        {"vertex out of range", withEdge(0, 2, 4)},
        {"negative vertex", withEdge(-1, 1, 4)},
        {"inactive edge out of range", withEdge(0, 7, 0)},
        {"self-edge", withEdge(1, 1, 4)},
        {"cut in the edges", truncated(1)},
        {"cut in the vertices", truncated(49 + 4 + 3)},
        {"cut in the head", truncated(49 + 4 + 42 + 10)},
        {"huge vertex count", hugeCount(24)},
        {"huge edge count", hugeCount(24 + 4 + 42)},
    };
    for (Case& t : cases) {
        SCOPED_TRACE(t.name);
        Curve c(t.bytes, false);
        EXPECT_EQ(c.status, 1);
        EXPECT_EQ(c.vertexCount() + c.edgeCount(), 0);
        t.bytes.seek(0);
        t.bytes.clearFailure();
        qel::ElementFactory factory;
        qel::Element* e = nullptr;
        EXPECT_EQ(factory.read(Curve::RecordTag, t.bytes, e), qel::ElementFactory::Refused);
        EXPECT_EQ(e, nullptr);
    }
}

TEST_F(CurveRecord, ScenesOfEveryLayoutLoadSaveAndLoadAgain) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("curves.tl").toStdString();
    qel::Scene original;
    Curve* curves[] = {sample().release(), Curve::Circle(5, true), Curve::Chainlink(4, true)};
    for (Curve* c : curves) {
        qel::Tool* t = new qel::Tool(c, qel::mat4::Identity(), pbr(), false);
        t->flags |= qel::Tool::FlagObject;
        original.objectsRoot->addChild(t, false);
    }
    ASSERT_TRUE(original.save(path));
    const Bytes saved = readFile(path);
    // Current tag and old tag; then both with 29-byte edges.
    for (const std::int32_t version : {qel::FILE_VERSION_WRITTEN, Curve::LastOldEdgeVersion}) {
        SCOPED_TRACE(version);
        qel::Scene first;
        ASSERT_TRUE(first.loadFromMemory(rewrite(saved, version)));
        const std::vector<const Curve*> loaded = curvesOf(first);
        ASSERT_EQ(loaded.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(loaded[std::size_t(i)]);
            const Curve& c = *loaded[std::size_t(i)];
            EXPECT_EQ(c.status, 0);
            EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
            EXPECT_EQ(c.curveType, i % 2 == 1 ? Curve::Plain : curves[i]->curveType);
            ASSERT_EQ(c.vertexCount(), curves[i]->vertexCount());
            for (int v = 0; v < c.vertexCount(); ++v)
                EXPECT_EQ(c.vertices[std::size_t(v)].position, curves[i]->vertices[std::size_t(v)].position);
            expectSameLinks(c, *curves[i]);
            if (version == Curve::LastOldEdgeVersion)
                EXPECT_EQ(c.edges[0].material[0].colour[0], curves[i]->edges[0].material[0].colour[0] & 0xFF00);
            else
                expectSameRecords(c, *curves[i]);
        }
        qel::FILE_VERSION = qel::FILE_VERSION_WRITTEN;
        ASSERT_TRUE(first.save(path));
        qel::Scene again;
        ASSERT_TRUE(again.loadFromMemory(readFile(path)));
        const std::vector<const Curve*> reloaded = curvesOf(again);
        ASSERT_EQ(reloaded.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(reloaded[std::size_t(i)]);
            expectSameRecords(*reloaded[std::size_t(i)], *loaded[std::size_t(i)]);
            expectSameLinks(*reloaded[std::size_t(i)], *loaded[std::size_t(i)]);
            EXPECT_EQ(reloaded[std::size_t(i)]->centre, loaded[std::size_t(i)]->centre);
        }
    }
}

// A curve with every record written goes out settled from its own records;
// one with a record to drop is copied and settled first. Random chains and
// loops, their edges listed in any order and turned any way, with random
// sharp ends, selections and session marks, write the same bytes both ways
// (the second curve differs only by an inactive vertex past the end) and
// the bytes a load of them writes again.
TEST_F(CurveRecord, RecordsSettledInPlaceAreThoseSettledOnACopy) {
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        auto c = std::make_unique<Curve>(Curve::Plain);
        std::vector<CurveEdge> edges;
        int nV = 0;
        for (int chain = 0; chain < 1 + int(random() % 3); ++chain) {
            const bool loop = random() % 2 == 0;
            const int n = (loop ? 3 : 2) + int(random() % 5), first = nV;
            for (int i = 0; i < n; ++i, ++nV) {
                CurveVertex r(vec3(float(nV), float(random() % 7), 0.0f));
                r.flags = std::uint8_t(CurveVertex::ActiveBit | (random() % 5 == 0 ? CurveVertex::SharpBit : 0) |
                                       (random() % 5 == 0 ? CurveVertex::SelectedBit : 0));
                c->vertices.push_back(r);
            }
            for (int i = 0; i + (loop ? 0 : 1) < n; ++i) {
                int a = first + i, b = first + (i + 1) % n;
                if (random() % 2) std::swap(a, b);
                edges.emplace_back(a, b, material(std::uint16_t(a), 1), material(std::uint16_t(b), 2),
                                   std::uint8_t(CurveEdge::ActiveBit | (random() % 4) |
                                                (random() % 3 == 0 ? CurveEdge::SelectedBit : 0) |
                                                (random() % 3 == 0 ? CurveEdge::PlacedBit : 0)));
            }
        }
        std::shuffle(edges.begin(), edges.end(), random);
        c->edges = edges;
        Curve withHole(*c);
        withHole.vertices.emplace_back(vec3(0, 0, 0), std::uint8_t(0));
        buffer inPlace = bodyOf(*c), copied = bodyOf(withHole);
        ASSERT_EQ(inPlace.bytes(), copied.bytes()) << round;
        Curve back(inPlace, false);
        back.initialize(Curve::ResizeKeep);
        ASSERT_EQ(bodyOf(back).bytes(), inPlace.bytes()) << round;
    }
}
