// The array's record: the writers' numbering, a scene round trip, the old
// layout of two versions read from hand-built files, and the slot rules of
// identify and of the reader's depth limit.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstring>
#include <vector>

#include "curves/curve.h"
#include "mesh/mesh.h"
#include "scene/buffer.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/scene_reader.h"
#include "tools/array.h"

using namespace qel;

namespace {

constexpr std::uint32_t ToolsChunk = 0xABCDEF01u;
constexpr std::uint32_t ElementsChunk = 0xEEEEEEEEu;

// A file of the version holding one tools chunk and an empty elements chunk.
std::vector<std::uint8_t> fileOf(std::int32_t version, const buffer& tools) {
    buffer b;
    b.writeU32(0xFFFFAAAAu);
    b.writeI32(version);
    b.writeRecord(ToolsChunk, tools);
    b.writeRecord(ElementsChunk, buffer());
    return b.bytes();
}

Array* newArray(std::vector<Tool*> items) {
    return new Array(nullptr, items, {0x8001}, Array::Simple, mat4::Identity(), mat4::Identity(), pbr(), false);
}

// The old array record: a translation stored transposed, colour and light
// bytes, flags with the transient bits set, slots {1, -1}, one entry, type
// Chain and a step stored transposed; the trailing floats when asked.
void oldArrayRecord(buffer& out, bool trailing) {
    buffer p;
    p.writeMat4(mat4::Translation(1, 2, 3).transposed());
    p.writeMat4(mat4::Identity());
    p.writeVec3(vec3(0, 0, 1));
    p.writeVec3(vec3(0, 0, 0));
    p.writeU32(0xDEADBEEFu);  // ignored
    for (std::uint8_t v : {0x10, 0x20, 0x30, 0x40, 0x01, 0x02, 0x03, 0x04}) p.writeU8(v);
    p.writeU8(0x1F);                                               // selected and temporary mark set
    for (std::int32_t v : {0, 0, -1, 2, 1, -1, 1}) p.writeI32(v);  // no child, ring, element, slots, count
    p.writeU32(0x8001u);
    p.writeU8(1);
    p.writeMat4(mat4::Translation(0, 0, 7).transposed());
    if (trailing)
        for (float f : {2.0f, 3.0f, 4.0f}) p.writeF32(f);
    out.writeRecord(Array::RecordTag, p);
}

// A plain tool record of the same era: the 20-byte material and trailing
// floats when modern, else the 12-byte colour block only.
void oldToolRecord(buffer& out, bool modern) {
    buffer p;
    p.writeMat4(mat4::Identity());
    p.writeMat4(mat4::Identity());
    p.writeVec3(vec3(0, 0, 0));
    p.writeVec3(vec3(0, 0, 0));
    if (modern)
        p.writePbr(pbr());
    else
        for (int i = 0; i < 12; ++i) p.writeU8(0xFF);
    p.writeU8(1);
    for (std::int32_t v : {0, 1, -1}) p.writeI32(v);  // no child, ring, no element
    if (modern)
        for (float f : {1.0f, 1.0f, 0.0f}) p.writeF32(f);
    out.writeRecord(Tool::RecordTag, p);
}

}  // namespace

TEST(ArrayRecord, TheTemplatesAreNumberedAndWrittenRightAfterTheSubtree) {
    Tool item(Mesh::Cube(), mat4::Identity(), pbr(), false);
    std::unique_ptr<Array> array(newArray({&item, nullptr, &item}));
    array->addChild(new Tool(nullptr, mat4::Identity(), pbr(), false), false);
    std::vector<Tool*> list;
    array->toList(list);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[2], array->items[0]);
    EXPECT_EQ(list[3], array->items[2]);
    buffer body;
    array->Data(body, true);
    body.seek(Tool::RecordBodyBase + 4);
    EXPECT_EQ(body.readU32(), 3u);
    EXPECT_EQ(body.readU32(), 2u);
    EXPECT_EQ(body.readU32(), 0xFFFFFFFFu);  // the empty slot
    EXPECT_EQ(body.readU32(), 3u);
}

TEST(ArrayRecord, ASavedArrayLoadsWithItsSlotsPatternTypeAndBitIdenticalStep) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("array.tl").toStdString();
    Tool item(Mesh::Cube(), mat4::Identity(), pbr(), false);
    mat4 step = mat4::Translation(0.1f, -0.0f, 1e-30f);
    step[5] = -1.0f / 3.0f;
    {
        Scene s;
        auto* array =
            new Array(new Curve({vec3(0, 0, 0), vec3(1, 0, 0)}, false), {&item, nullptr, &item},
                      {0x8001, 0x40010002, int(0x80008003u)}, Array::Zipper, step, mat4::Identity(), pbr(), false);
        array->flags |= Tool::FlagObject;
        s.objectsRoot->addChild(array, false);
        ASSERT_TRUE(s.save(path));
    }
    Scene loaded;
    ASSERT_TRUE(loaded.load(path));
    ASSERT_EQ(loaded.objectsRoot->children.size(), 1u);
    auto* array = dynamic_cast<Array*>(loaded.objectsRoot->children[0]);
    ASSERT_TRUE(array);
    ASSERT_TRUE(array->curve);
    EXPECT_EQ(array->curve->vertexCount(), 2);
    ASSERT_EQ(array->items.size(), 3u);
    EXPECT_EQ(array->items[1], nullptr);
    for (int k : {0, 2}) {
        ASSERT_TRUE(array->items[std::size_t(k)]);
        EXPECT_EQ(array->items[std::size_t(k)]->parent, array);
        EXPECT_TRUE(dynamic_cast<Mesh*>(array->items[std::size_t(k)]->element));
    }
    EXPECT_EQ(array->pattern, (std::vector<std::uint32_t>{0x8001, 0x40010002, 0x80008003u}));
    EXPECT_EQ(array->type, Array::Zipper);
    EXPECT_EQ(std::memcmp(&array->step, &step, sizeof(mat4)), 0);
}

TEST(ArrayRecord, OldLayoutsReadTransposedWithTheColourBlockAndTrailingFloatsByVersion) {
    for (std::int32_t version : {20160914, 20060410}) {
        const bool trailing = version > 20060410;
        buffer tools;
        oldArrayRecord(tools, trailing);
        oldToolRecord(tools, trailing);
        Scene s;
        ASSERT_TRUE(s.loadFromMemory(fileOf(version, tools))) << version;
        ASSERT_EQ(s.objectsRoot->children.size(), 1u);
        auto* array = dynamic_cast<Array*>(s.objectsRoot->children[0]);
        ASSERT_TRUE(array);
        EXPECT_EQ(array->transform, mat4::Translation(1, 2, 3));
        EXPECT_EQ(array->step, mat4::Translation(0, 0, 7));
        EXPECT_EQ(array->material.colour, wvec4(0x1000, 0x2000, 0x3000, 0x4000));
        EXPECT_EQ(array->material.light, wvec4(0x100, 0x200, 0x300, 0x400));
        EXPECT_EQ(array->flags, 0x0D);  // the transient bits masked
        EXPECT_EQ(array->rotationAxis, vec3(0, 0, 1));
        ASSERT_EQ(array->items.size(), 2u);
        EXPECT_TRUE(array->items[0] && array->items[0]->parent == array);
        EXPECT_EQ(array->items[1], nullptr);
        EXPECT_EQ(array->pattern, std::vector<std::uint32_t>{0x8001});
        EXPECT_EQ(array->type, Array::Chain);
        EXPECT_EQ(array->rotationMultiplicity, trailing ? 2.0f : 1.0f);
        EXPECT_EQ(array->speed, trailing ? 3.0f : 1.0f);
        EXPECT_EQ(array->delay, trailing ? 4.0f : 0.0f);
    }
}

TEST(ArrayRecord, ASlotNamingTheArrayOrItsAncestorStaysEmpty) {
    Tool item(nullptr, mat4::Identity(), pbr(), false);
    Tool top(nullptr, mat4::Identity(), pbr(), false);
    top.flags |= Tool::FlagObject;
    Array* array = newArray({&item, &item});
    top.addChild(array, false);
    top.id = 0;
    array->id = 1;
    array->items[0]->id = 0;
    array->items[1]->id = 1;
    buffer tools;
    top.DataWrite(tools, true);
    array->DataWrite(tools, true);
    Scene s;
    ASSERT_TRUE(s.loadFromMemory(fileOf(FILE_VERSION_WRITTEN, tools)));
    ASSERT_EQ(s.objectsRoot->children.size(), 1u);
    Tool* loadedTop = s.objectsRoot->children[0];
    ASSERT_EQ(loadedTop->children.size(), 1u);
    auto* loaded = dynamic_cast<Array*>(loadedTop->children[0]);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->items, (std::vector<Tool*>{nullptr, nullptr}));
}

TEST(ArrayRecord, ArraysChainedThroughTheirTemplatesCountForTheDepthLimit) {
    // A top object, then n arrays, each the template of the one before.
    const auto chain = [](int n) {
        Tool top(nullptr, mat4::Identity(), pbr(), false);
        top.flags |= Tool::FlagObject;
        top.addChild(new Tool(nullptr, mat4::Identity(), pbr(), false), false);
        top.id = 0;
        top.children[0]->id = 1;
        buffer tools;
        top.DataWrite(tools, true);
        Tool item(nullptr, mat4::Identity(), pbr(), false);
        std::unique_ptr<Array> array(newArray({&item}));
        for (int i = 1; i <= n; ++i) {
            array->id = i;
            array->items[0]->id = i < n ? i + 1 : -1;
            array->DataWrite(tools, true);
        }
        return fileOf(FILE_VERSION_WRITTEN, tools);
    };
    Scene s;
    const int depth = SceneReader::MaxDepth;
    ASSERT_TRUE(s.loadFromMemory(chain(depth - 1)));  // exactly the deepest accepted
    ASSERT_EQ(s.objectsRoot->children.size(), 1u);
    Tool* t = s.objectsRoot->children[0]->children[0];
    int levels = 2;
    for (auto* a = dynamic_cast<Array*>(t); a && a->items[0]; a = dynamic_cast<Array*>(a->items[0])) ++levels;
    EXPECT_EQ(levels, depth);

    EXPECT_FALSE(s.loadFromMemory(chain(depth)));
    EXPECT_EQ(s.objectsRoot->children.size(), 1u);
}
