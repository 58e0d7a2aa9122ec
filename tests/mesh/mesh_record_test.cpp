// The mesh's element record: layout, round trip, the old face layout and
// damaged records.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "mesh/mesh.h"
#include "scene/buffer.h"

using qel::buffer;
using qel::Mesh;
using qel::MeshFace;
using qel::MeshVertex;
using qel::pbr;
using qel::vec3;
using qel::wvec4;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Reading depends on the global file version: each test sets it and the
// fixture puts the old value back.
class MeshRecord : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = qel::FILE_VERSION;
        qel::FILE_VERSION = qel::FILE_VERSION_WRITTEN;
    }
    void TearDown() override { qel::FILE_VERSION = saved_; }

private:
    std::int32_t saved_ = 0;
};

// Varied materials, flags (selection bits, an inactive vertex and face, sharp
// edges) and an odd centre and size.
Mesh makeSample() {
    Mesh m;
    m.centre = vec3(1.5f, -2.0f, 0.25f);
    m.setSize(3.75f);
    for (const vec3& p : {vec3(0, 0, 0), vec3(1, 0, 0), vec3(0, 1, 0), vec3(1, 1, -1e-7f)}) m.vertexAdd(p);
    m.vertices[1].flags = MeshVertex::ActiveBit | MeshVertex::SelectedBit | MeshVertex::SharpBit;
    m.vertices[3].flags = 0;  // inactive
    m.faceAdd(0, 1, 2, true, false, true);
    m.faceAdd(1, 3, 2);
    m.faces[0].material[1] = pbr(wvec4(1, 2, 3, 4), wvec4(5, 6, 7, 8), -32766, 32766);
    m.faces[1].flags = 16 | 32 | 2;  // inactive, selection bits, one sharp edge
    return m;
}

// The record's body as the element factory hands it on: tag and length read.
buffer bodyOf(Mesh& m) {
    buffer b;
    m.DataWrite(b);
    std::uint32_t tag = 0, length = 0;
    b.readRecordHeader(tag, length);
    return b;
}

void putU32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}
void putF32(Bytes& out, float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    putU32(out, u);
}

TEST_F(MeshRecord, LayoutAndByteExactRoundTrip) {
    Mesh e;
    e.centre = vec3(1, 2, 3);
    e.setSize(0.5f);
    buffer b;
    e.DataWrite(b);
    ASSERT_EQ(b.size(), 8 + 24);
    EXPECT_EQ(b.readU32(), Mesh::RecordTag);
    EXPECT_EQ(b.readU32(), 24u);
    Mesh r(b);
    EXPECT_TRUE(r.status == 0 && r.centre == vec3(1, 2, 3) && r.size() == 0.5f && b.atEnd());

    Mesh m = makeSample();
    buffer f;
    m.DataWrite(f);
    ASSERT_EQ(f.size(), 8 + 24 + 13 * 4 + 73 * 2);  // 13 bytes a vertex, 73 a face
    f.seek(8 + 20 + 13 + 12);  // flags of vertex 1, unmasked
    EXPECT_EQ(f.readU8(), MeshVertex::ActiveBit | MeshVertex::SelectedBit | MeshVertex::SharpBit);
    const int face0 = 8 + 24 + 13 * 4;
    f.seek(face0 + 24);  // corner 1: index, then its material
    EXPECT_EQ(f.readU32(), 1u);
    EXPECT_EQ(f.readU16(), 1);
    f.seek(face0 + 73 + 72);
    EXPECT_EQ(f.readU8(), 16 | 32 | 2);

    buffer body = bodyOf(m);
    body.writeU32(0xDEADBEEF);  // the next record
    Mesh s(body);
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(body.readU32(), 0xDEADBEEFu);  // exactly the body was consumed
    EXPECT_EQ(s.vertices[0].face, -1);  // links and stored faces are not stored
    EXPECT_EQ(s.faces[0].f[1], -1);
    buffer second;
    s.DataWrite(second);
    EXPECT_EQ(second.bytes(), f.bytes());

    // One face record on its own.
    buffer one;
    m.faces[0].write(one);
    MeshFace back;
    back.read(one);
    EXPECT_TRUE(one.size() == 73 && one.atEnd() && back.material[1] == m.faces[0].material[1]);
}

// Three vertices and one face in the 41-byte face layout of old files.
Bytes oldBody() {
    Bytes out;
    for (const float f : {0.5f, 0.0f, -1.0f, 2.0f}) putF32(out, f);
    putU32(out, 3);
    for (int v = 0; v < 3; ++v) {
        for (const float f : {float(v), 0.0f, 1.0f}) putF32(out, f);
        out.push_back(v == 2 ? 8 | 16 : 8);
    }
    putU32(out, 1);
    const std::uint8_t colours[3][4] = {{255, 128, 0, 255}, {1, 2, 3, 4}, {0, 0, 0, 0}};
    for (int k = 0; k < 3; ++k) {
        putU32(out, std::uint32_t(2 - k));
        out.insert(out.end(), colours[k], colours[k] + 4);
        for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(10 * k + i));  // light
    }
    putU32(out, 0x01020304);  // ignored
    out.push_back(8 | 2);
    return out;
}

TEST_F(MeshRecord, OldFaceLayoutByFileVersion) {
    qel::FILE_VERSION = 20060411;
    buffer b(oldBody());
    Mesh r(b);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(b.atEnd());
    EXPECT_EQ(r.size(), 2.0f);
    EXPECT_EQ(r.vertices[2].flags, 8 | 16);
    ASSERT_EQ(r.faceCount(), 1);
    const MeshFace& f = r.faces[0];
    EXPECT_EQ((std::vector<int>{f.v[0], f.v[1], f.v[2]}), (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(f.flags, 8 | 2);
    EXPECT_EQ(f.material[0].colour, wvec4(65280, 32768, 0, 65280));  // bytes widened
    EXPECT_EQ(f.material[1].light, wvec4(2560, 2816, 3072, 3328));
    EXPECT_EQ(f.material[1].roughness, 0);

    // The same bytes under the next version promise a 73-byte face that is not there.
    qel::FILE_VERSION = 20060412;
    buffer n(oldBody());
    Mesh s(n);
    EXPECT_EQ(s.status, 1);
    EXPECT_EQ(s.faceCount(), 0);
}

TEST_F(MeshRecord, EveryTruncationFailsCleanly) {
    Mesh m = makeSample();
    buffer whole = bodyOf(m);
    const Bytes body(whole.bytes().begin() + 8, whole.bytes().end());
    for (std::size_t n = 0; n < body.size(); ++n) {
        buffer b(body.data(), n);
        Mesh r(b);
        EXPECT_EQ(r.status, 1) << n;
        EXPECT_EQ(r.vertexCount() + r.faceCount(), 0) << n;
        EXPECT_LE(b.cursor(), b.size());
    }
}

TEST_F(MeshRecord, FaceIndexOutsideTheVerticesFailsAfterTheBody) {
    for (const std::int32_t bad : {4, -1}) {
        Mesh m = makeSample();
        m.faces[1].v[2] = bad;
        buffer b = bodyOf(m);
        b.writeU32(0xCAFEF00D);
        Mesh r(b);
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_EQ(r.vertexCount() + r.faceCount(), 0);
        EXPECT_EQ(b.readU32(), 0xCAFEF00Du);  // the body is consumed: later records stay readable
    }
}

TEST_F(MeshRecord, NonFiniteValuesAreRepairedFromThePositions) {
    // A coordinate that is not finite reads as 0; centre and size are then
    // taken from the (active) vertices as the OBJ import takes them.
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (int damage = 0; damage < 3; ++damage) {
        Mesh m = makeSample(), want = makeSample();
        if (damage == 0) m.setSize(nan);
        if (damage == 1) m.centre.y = -inf;
        if (damage == 2) m.vertices[1].position.z = nan;
        want.vertices[1].position.z = 0;
        want.calculateSize(Mesh::ResizeMean);
        buffer b = bodyOf(m);
        Mesh r(b);
        EXPECT_TRUE(r.status == 0 && b.atEnd()) << damage;
        EXPECT_EQ(r.centre, want.centre) << damage;
        EXPECT_EQ(r.size(), want.size()) << damage;
        ASSERT_EQ(r.vertexCount(), 4);
        EXPECT_EQ(r.vertices[1].position, want.vertices[1].position);
    }
    // Positions so far apart that even their spread is not finite: refused.
    Mesh far = makeSample();
    far.setSize(nan);
    far.vertices[0].position.x = 3e38f;
    far.vertices[1].position.x = -3e38f;
    buffer b = bodyOf(far);
    Mesh r(b);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.vertexCount() + r.faceCount(), 0);
}

}  // namespace
