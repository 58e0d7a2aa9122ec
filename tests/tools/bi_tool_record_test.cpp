// qel::BiTool records inside scene and object files: the round trip, the
// older layouts, the partner rules of writing and reading. (Truncated and
// hostile records are in the fuzz corpora.)

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "scene/buffer.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/scene_writer.h"
#include "tools/bi_tool.h"

using namespace qel;

namespace {

BiTool* end(Tool* t) { return t && t->isBiTool() ? static_cast<BiTool*>(t) : nullptr; }

// One hand-built tool record of the layout of `version`.
struct Rec {
    std::uint32_t tag = BiTool::RecordTag;
    std::vector<std::int32_t> children;
    std::int32_t ring = 0, partner = -1;
    std::uint8_t type = 0, flags = 0xFF;
    float ref = 2.5f;
    mat4 t = mat4::Translation(1, 2, 3);

    void write(buffer& out, std::int32_t version) const {
        const bool old = tag == BiTool::RecordTag && version <= BiTool::VersionOldLayout;
        const bool transposed = version <= 20161025, trailing = version > 20060410;
        buffer b;
        b.writeMat4(transposed ? t.transposed() : t);
        b.writeMat4(mat4::Identity());
        b.writeVec3({0, 0, 1});
        b.writeVec3({0, 0, 0});
        if (old) {
            const std::uint8_t bytes[12] = {0, 0, 0, 0, 10, 20, 30, 40, 50, 60, 70, 80};
            b.writeBytes(bytes, 12);
        } else {
            b.writePbr(pbr());
        }
        b.writeU8(flags);
        b.writeU32(std::uint32_t(children.size()));
        for (std::int32_t c : children) b.writeI32(c);
        b.writeI32(ring);
        b.writeI32(-1);
        const auto ends = [&] {
            b.writeI32(partner);
            b.writeU8(type);
            b.writeF32(ref);
        };
        if (old) ends();
        if (trailing) {
            b.writeF32(1.0f);
            b.writeF32(2.0f);
            b.writeF32(3.0f);
        }
        if (!old && tag == BiTool::RecordTag) ends();
        out.writeRecord(tag, b);
    }
};

// A file of one tools chunk per group of records (each group's first record
// its head) and an empty elements chunk.
std::vector<std::uint8_t> file(std::int32_t version, const std::vector<std::vector<Rec>>& chunks) {
    buffer f;
    f.writeU32(scenefile::HeaderTag);
    f.writeI32(version);
    for (const auto& chunk : chunks) {
        const std::int32_t at = f.beginRecord(scenefile::ToolsChunkTag);
        for (const Rec& r : chunk) r.write(f, version);
        f.endRecord(at);
    }
    f.endRecord(f.beginRecord(scenefile::ElementsChunkTag));
    return f.bytes();
}

}  // namespace

TEST(BiToolRecord, PairRoundTripKeepsTypeRestLengthAndTheLinkBothWays) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("pair.tl").toStdString();
    {
        Scene scene;
        auto* a = new BiTool(BiTool::BiVolume, nullptr, mat4::Identity(), pbr(), false);
        auto* b = new BiTool(BiTool::BiPlain, nullptr, mat4::Identity(), pbr(), false);
        a->flags |= Tool::FlagObject;
        b->flags |= Tool::FlagObject;
        scene.objectsRoot->addChild(a, false);
        a->addChild(b, false);
        a->setPartner(b);
        a->referenceLength = 0.75f;
        scene.toList();
        ASSERT_TRUE(scene.save(path));
    }
    Scene scene;
    ASSERT_TRUE(scene.load(path));
    ASSERT_EQ(scene.objectsRoot->children.size(), 1u);
    BiTool* a = end(scene.objectsRoot->children[0]);
    ASSERT_TRUE(a && a->children.size() == 1u);
    BiTool* b = end(a->children[0]);
    EXPECT_TRUE(b && a->partner == b && b->partner == a);
    EXPECT_TRUE(a->type == BiTool::BiVolume && a->referenceLength == 0.75f && b->type == BiTool::BiPlain);
}

TEST(BiToolRecord, ObjectFileOfOneEndWritesNoPartner) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("end.tlo").toStdString();
    Scene scene;
    auto* a = new BiTool(BiTool::BiThin, nullptr, mat4::Identity(), pbr(), false);
    auto* b = new BiTool(BiTool::BiPlain, nullptr, mat4::Identity(), pbr(), false);
    a->flags |= Tool::FlagObject;
    scene.objectsRoot->addChild(b, false);
    scene.objectsRoot->addChild(a, false);
    a->setPartner(b);
    b->id = 0;  // the id a takes in the file, and a mark from elsewhere
    b->flags |= Tool::FlagTemp;
    ASSERT_TRUE(a->save(path));
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const int at = 8 + 8 + 8 + int(Tool::RecordBodyBase);  // header, chunk, record, tool body
    ASSERT_GT(bytes.size(), at + 4);
    EXPECT_EQ(buffer::loadU32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at), 0xFFFFFFFFu);
    EXPECT_TRUE(b->id == 0 && b->isTempMarked() && a->partner == b);  // restored

    Scene other;
    ASSERT_TRUE(other.load(path));
    BiTool* loaded = end(other.objectsRoot->children.at(0));
    EXPECT_TRUE(loaded && loaded->partner == nullptr && loaded->type == BiTool::BiThin);
}

TEST(BiToolRecord, OldLayoutsReadTransposedWidenedAndMasked) {
    for (std::int32_t version : {20160914, 20060410}) {
        Rec a, b;
        a.partner = 1;
        a.type = 3;
        b.partner = 0;
        b.ring = 1;
        b.flags = 0x09;
        Scene scene;
        ASSERT_TRUE(scene.loadFromMemory(file(version, {{a}, {b}}))) << version;
        BiTool* ea = end(scene.objectsRoot->children.at(0));
        BiTool* eb = end(scene.objectsRoot->children.at(1));
        ASSERT_TRUE(ea && eb);
        EXPECT_TRUE(ea->partner == eb && eb->partner == ea && ea->type == BiTool::BiVolume);
        EXPECT_TRUE(ea->flags == (0xFF & Tool::StoredFlagsMask) && ea->referenceLength == 2.5f);
        EXPECT_TRUE(ea->transform == mat4::Translation(1, 2, 3));
        EXPECT_TRUE(ea->material ==
                    pbr(wvec4(10 << 8, 20 << 8, 30 << 8, 40 << 8), wvec4(50 << 8, 60 << 8, 70 << 8, 80 << 8), 0, 0));
        const bool trailing = version > 20060410;
        EXPECT_TRUE(ea->speed == (trailing ? 2.0f : 1.0f) && ea->delay == (trailing ? 3.0f : 0.0f));
    }
}

TEST(BiToolRecord, OnlyMutualIdsOfTwoEndsLink) {
    // Partner ids per record (positions 0..3, the last a plain tool); each
    // case names which ends end up linked.
    struct Case {
        std::vector<std::int32_t> ids;
        bool linked01;
    } cases[] = {
        {{1, 0, -1, -1}, true},  {{1, 2, 0, -1}, false},  {{0, 0, -1, -1}, false},
        {{3, -1, -1, 0}, false}, {{9, 0, -1, -1}, false},
    };
    for (const Case& c : cases) {
        std::vector<Rec> recs(4);
        for (std::size_t i = 0; i < 4; ++i) {
            recs[i].partner = c.ids[i];
            recs[i].ring = std::int32_t(i);
        }
        recs[3].tag = Tool::RecordTag;
        Scene scene;
        ASSERT_TRUE(scene.loadFromMemory(file(20161026, {{recs[0]}, {recs[1]}, {recs[2]}, {recs[3]}})));
        const auto& top = scene.objectsRoot->children;
        ASSERT_EQ(top.size(), 4u);
        EXPECT_EQ(end(top[0])->partner == end(top[1]), c.linked01);
        for (std::size_t i = 0; i < 3; ++i) {
            BiTool* p = end(top[i])->partner;
            EXPECT_TRUE(!p || p->partner == top[i]);
            EXPECT_TRUE(c.linked01 || p == nullptr);
        }
    }
}

TEST(BiToolRecord, OrphanEndNamingAnAdoptedEndLeavesItAlone) {
    Rec head, adopted, orphan;
    head.tag = Tool::RecordTag;
    head.children = {1};
    adopted.ring = 1;
    adopted.partner = 2;
    orphan.ring = 2;
    orphan.partner = 1;
    Scene scene;
    ASSERT_TRUE(scene.loadFromMemory(file(20161026, {{head, adopted, orphan}})));
    ASSERT_EQ(scene.objectsRoot->children.size(), 1u);
    Tool* h = scene.objectsRoot->children[0];
    ASSERT_EQ(h->children.size(), 1u);
    EXPECT_EQ(end(h->children[0])->partner, nullptr);
}
