// qel::BiTool records inside scene and object files: the round trip, the
// older layouts and the partner rules of writing and reading. (Truncated and
// hostile records are in the fuzz corpora.)

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

#include "files/scene_writer.h"
#include "gl/buffer.h"
#include "scene/scene.h"
#include "tools/bi_tool.h"

using namespace qel;

namespace {

BiTool* end(Tool* t) { return t && t->isBiTool() ? static_cast<BiTool*>(t) : nullptr; }

// A hand-built end record of the layout of `version`: type 3, rest length
// 2.5, translation (1, 2, 3), colour and light bytes 10..80 in the old layout.
void endRecord(buffer& out, std::int32_t version, std::int32_t ring, std::int32_t partner,
               std::vector<std::int32_t> kids = {}, std::uint8_t flags = 0xFF) {
    const bool old = version <= BiTool::VersionOldLayout, trailing = version > 20060410;
    const mat4 t = mat4::Translation(1, 2, 3);
    buffer b;
    b.writeMat4(version <= 20161025 ? t.transposed() : t);
    b.writeMat4(mat4::Identity());
    b.writeVec3({0, 0, 1});
    b.writeVec3({0, 0, 0});
    const std::uint8_t bytes[12] = {0, 0, 0, 0, 10, 20, 30, 40, 50, 60, 70, 80};
    old ? b.writeBytes(bytes, 12) : b.writePbr(pbr());
    b.writeU8(flags);
    b.writeU32(std::uint32_t(kids.size()));
    for (std::int32_t c : kids) b.writeI32(c);
    for (std::int32_t v : {ring, -1, partner}) b.writeI32(v);
    const std::size_t at = std::size_t(b.size()) - 4;  // the partner id moves behind the floats
    b.writeU8(3);
    b.writeF32(2.5f);
    if (trailing)
        for (float v : {1.0f, 2.0f, 3.0f}) b.writeF32(v);
    std::vector<std::uint8_t> body = b.bytes();
    if (!old) std::rotate(body.begin() + long(at), body.begin() + long(at) + 9, body.end());
    out.writeRecord(BiTool::RecordTag, buffer(std::move(body)));
}

// A file of one tools chunk per payload (its first record the chunk's
// head), then an empty elements chunk.
std::vector<std::uint8_t> file(std::int32_t version, const std::vector<std::vector<std::uint8_t>>& chunks) {
    buffer f;
    f.writeU32(scenefile::HeaderTag);
    f.writeI32(version);
    for (const auto& c : chunks) f.writeRecord(scenefile::ToolsChunkTag, buffer(c));
    f.writeRecord(scenefile::ElementsChunkTag, buffer());
    return f.bytes();
}

}  // namespace

TEST(BiToolRecord, PairsRoundTripAndAnObjectFileOfOneEndNamesNoPartner) {
    QTemporaryDir dir;
    const std::string scenePath = dir.filePath("pair.tl").toStdString(),
                      endPath = dir.filePath("end.tlo").toStdString();
    {
        Scene scene;
        auto* a = new BiTool(BiTool::BiVolume, nullptr, mat4::Identity(), pbr(), false);
        auto* b = new BiTool(BiTool::BiPlain, nullptr, mat4::Identity(), pbr(), false);
        a->flags |= Tool::FlagObject;
        scene.objectsRoot->addChild(a, false)->addChild(b, false);
        a->setPartner(b);
        a->referenceLength = 0.75f;
        ASSERT_TRUE(scene.save(scenePath));
        // b takes id 0 in its object file, the id a still holds from the
        // scene file; and a carries a mark from elsewhere.
        a->flags |= Tool::FlagTemp;
        ASSERT_TRUE(b->save(endPath));
        EXPECT_TRUE(a->id == 0 && a->isTempMarked());  // given back
        QFile f(QString::fromStdString(endPath));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const int at = 8 + 8 + 8 + int(Tool::RecordBodyBase);  // header, chunk, record, tool body
        ASSERT_GT(bytes.size(), at + 4);
        EXPECT_EQ(buffer::loadU32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at), 0xFFFFFFFFu);
    }
    Scene scene;
    ASSERT_TRUE(scene.load(scenePath) && scene.load(endPath));
    ASSERT_EQ(scene.objectsRoot->children.size(), 1u);
    BiTool* a = end(scene.objectsRoot->children[0]);
    BiTool* b = a ? end(a->children.at(0)) : nullptr;
    ASSERT_TRUE(b && a->partner == b && b->partner == a);
    EXPECT_TRUE(a->type == BiTool::BiVolume && a->referenceLength == 0.75f && b->type == BiTool::BiPlain);
    BiTool* alone = end(scene.toolsRoot->children.at(0));
    EXPECT_TRUE(alone && alone->partner == nullptr);
}

TEST(BiToolRecord, OldLayoutsReadTransposedWidenedAndMasked) {
    for (std::int32_t version : {20160914, 20060410}) {
        buffer a, b;
        endRecord(a, version, 0, 1);
        endRecord(b, version, 1, 0);
        Scene scene;
        ASSERT_TRUE(scene.loadFromMemory(file(version, {a.bytes(), b.bytes()}))) << version;
        BiTool* ea = end(scene.objectsRoot->children.at(0));
        BiTool* eb = end(scene.objectsRoot->children.at(1));
        ASSERT_TRUE(ea && eb && ea->partner == eb && eb->partner == ea);
        EXPECT_TRUE(ea->flags == Tool::StoredFlagsMask && ea->type == BiTool::BiVolume && ea->referenceLength == 2.5f);
        EXPECT_TRUE(ea->transform == mat4::Translation(1, 2, 3));
        const pbr expected(wvec4(10 << 8, 20 << 8, 30 << 8, 40 << 8), wvec4(50 << 8, 60 << 8, 70 << 8, 80 << 8), 0, 0);
        EXPECT_TRUE(ea->material == expected);
        const bool trailing = version > 20060410;
        EXPECT_TRUE(ea->speed == (trailing ? 2.0f : 1.0f) && ea->delay == (trailing ? 3.0f : 0.0f));
    }
}

TEST(BiToolRecord, OnlyEndsNamingEachOtherLinkAndOrphansLeaveTheirPartners) {
    // 0 adopts 1, which names the orphan 2, which names 1; 3 names itself;
    // 4 names 5, which names 3.
    buffer first, self, n4, n5;
    endRecord(first, 20161026, 0, -1, {1});
    endRecord(first, 20161026, 1, 2);
    endRecord(first, 20161026, 2, 1);
    endRecord(self, 20161026, 3, 3);
    endRecord(n4, 20161026, 4, 5);
    endRecord(n5, 20161026, 5, 3);
    Scene scene;
    ASSERT_TRUE(scene.loadFromMemory(file(20161026, {first.bytes(), self.bytes(), n4.bytes(), n5.bytes()})));
    const std::vector<Tool*>& tops = scene.objectsRoot->children;
    ASSERT_TRUE(tops.size() == 4u && tops[0]->children.size() == 1u);
    EXPECT_EQ(end(tops[0]->children[0])->partner, nullptr);
    for (Tool* t : tops) EXPECT_EQ(end(t)->partner, nullptr);
}
