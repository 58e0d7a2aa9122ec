// The mesh's element record: layout, the old face layout and non-finite
// floats repaired on reading. The byte-exact round trip, short bodies, huge
// counts and bad indices are checked on the fuzz corpus of the reader.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "gl/buffer.h"
#include "mesh/mesh.h"

using qel::buffer;
using qel::Mesh;
using qel::MeshFace;
using qel::MeshVertex;
using qel::pbr;
using qel::vec3;
using qel::wvec4;

namespace {

// Reading depends on the global file version: each test sets it and the
// fixture puts the old value back.
class MeshRecord : public ::testing::Test {
protected:
    void SetUp() override { qel::FILE_VERSION = qel::FILE_VERSION_WRITTEN; }
    void TearDown() override { qel::FILE_VERSION = saved_; }

private:
    const std::int32_t saved_ = qel::FILE_VERSION;
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

TEST_F(MeshRecord, LayoutOfTheMeshAndOfOneFace) {
    Mesh m = makeSample();
    buffer f;
    m.DataWrite(f);
    ASSERT_EQ(f.size(), 8 + 24 + 13 * 4 + 73 * 2);  // 13 bytes a vertex, 73 a face
    EXPECT_EQ(f.readU32(), Mesh::RecordTag);
    EXPECT_EQ(f.readU32(), 24u + 13 * 4 + 73 * 2);
    f.seek(8 + 20 + 13 + 12);  // flags of vertex 1, without the selection
    EXPECT_EQ(f.readU8(), MeshVertex::ActiveBit | MeshVertex::SharpBit);
    const int face0 = 8 + 24 + 13 * 4;
    f.seek(face0 + 24);  // corner 1: index, then its material
    EXPECT_EQ(f.readU32(), 1u);
    EXPECT_EQ(f.readU16(), 1);
    f.seek(face0 + 73 + 72);
    EXPECT_EQ(f.readU8(), 2);  // the selection bits are not kept
    buffer one;
    m.faces[1].write(one);
    MeshFace back;
    back.read(one);
    EXPECT_TRUE(one.size() == 73 && one.atEnd() && back.flags == 2);
    // A record that holds marks (an older file) reads without them.
    buffer marked;
    for (int k = 0; k < 3; ++k) {
        marked.writeU32(0);
        pbr().DataWrite(marked);
    }
    marked.writeU8(MeshFace::ActiveBit | MeshFace::SelectedBit | MeshFace::VisitedBit | MeshFace::MarkBit | 4);
    back.read(marked);
    EXPECT_EQ(back.flags, MeshFace::ActiveBit | 4);
}

// Three vertices and one face in the 41-byte face layout of old files.
buffer oldBody() {
    buffer out;
    for (const float f : {0.5f, 0.0f, -1.0f, 2.0f}) out.writeF32(f);
    out.writeU32(3);
    for (int v = 0; v < 3; ++v) {
        out.writeVec3(vec3(float(v), 0.0f, 1.0f));
        out.writeU8(v == 2 ? 8 | 16 : 8);
    }
    out.writeU32(1);
    const std::uint8_t colours[3][4] = {{255, 128, 0, 255}, {1, 2, 3, 4}, {0, 0, 0, 0}};
    for (int k = 0; k < 3; ++k) {
        out.writeU32(std::uint32_t(2 - k));
        for (int i = 0; i < 4; ++i) out.writeU8(colours[k][i]);
        for (int i = 0; i < 4; ++i) out.writeU8(std::uint8_t(10 * k + i));  // light
    }
    out.writeU32(0x01020304);  // ignored
    out.writeU8(8 | 2);
    return out;
}

TEST_F(MeshRecord, OldFaceLayoutByFileVersion) {
    qel::FILE_VERSION = 20060411;
    buffer b = oldBody();
    Mesh r(b);
    ASSERT_TRUE(r.status == 0 && b.atEnd() && r.faceCount() == 1);
    EXPECT_TRUE(r.size() == 2.0f && r.vertices[2].flags == 8);  // not selected
    const MeshFace& f = r.faces[0];
    EXPECT_EQ((std::vector<int>{f.v[0], f.v[1], f.v[2], f.flags}), (std::vector<int>{2, 1, 0, 8 | 2}));
    EXPECT_EQ(f.material[0].colour, wvec4(65280, 32768, 0, 65280));  // bytes widened
    EXPECT_EQ(f.material[1].light, wvec4(2560, 2816, 3072, 3328));
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
        EXPECT_TRUE(r.status == 0 && b.atEnd() && r.vertexCount() == 4) << damage;
        EXPECT_TRUE(r.centre == want.centre && r.size() == want.size()) << damage;
        EXPECT_EQ(r.vertices[1].position, want.vertices[1].position);
    }
    // Positions so far apart that even their spread is not finite: refused.
    Mesh far = makeSample();
    far.setSize(nan);
    far.vertices[0].position.x = 3e38f;
    far.vertices[1].position.x = -3e38f;
    buffer b = bodyOf(far);
    Mesh r(b);
    EXPECT_TRUE(r.status == 1 && r.vertexCount() + r.faceCount() == 0);
}

}  // namespace
