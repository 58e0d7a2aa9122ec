// The array's record: a scene round trip, the old layout at two versions
// from hand-built files, and the slots under identify and the reader's
// depth limit.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstring>
#include <memory>
#include <vector>

#include "curves/curve.h"
#include "files/scene_reader.h"
#include "gl/buffer.h"
#include "mesh/mesh.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "tools/array.h"

using namespace qel;

namespace {

// A file of the version: the records as one tools chunk, no element.
std::vector<std::uint8_t> fileOf(std::int32_t version, const buffer& tools) {
    buffer b;
    b.writeU32(0xFFFFAAAAu);
    b.writeI32(version);
    b.writeRecord(0xABCDEF01u, tools);
    b.writeRecord(0xEEEEEEEEu, buffer());
    return b.bytes();
}

}  // namespace

TEST(ArrayRecord, ASavedArrayKeepsSlotsPatternTypeAndABitIdenticalStep) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("array.tl").toStdString();
    Tool item(Mesh::Cube(), mat4::Identity(), pbr(), false);
    mat4 step = mat4::Translation(0.1f, -0.0f, 1e-30f);
    step[5] = -1.0f / 3.0f;
    {
        Scene s;
        auto* array = new Array(new Curve({vec3(0, 0, 0), vec3(1, 0, 0)}, false), {&item, nullptr, &item},
                                {0x8001, 0x40010002}, Array::Zipper, step, mat4::Identity(), pbr(), false);
        array->flags |= Tool::FlagObject;
        Tool* child = array->addChild(new Tool(nullptr, mat4::Identity(), pbr(), false), false);
        s.objectsRoot->addChild(array, false);
        std::vector<Tool*> list;  // the writers' numbering: templates after the subtree
        array->toList(list);
        EXPECT_EQ(list, (std::vector<Tool*>{array, child, array->items[0], array->items[2]}));
        ASSERT_TRUE(s.save(path));
    }
    Scene loaded;
    ASSERT_TRUE(loaded.load(path));
    auto* array = dynamic_cast<Array*>(loaded.objectsRoot->children.at(0));
    ASSERT_TRUE(array && array->curve);
    ASSERT_EQ(array->items.size(), 3u);
    EXPECT_EQ(array->items[1], nullptr);  // written 0xFFFFFFFF
    EXPECT_TRUE(array->items[2] && array->items[2]->parent == array && array->items[2]->element);
    EXPECT_EQ(array->pattern, (std::vector<std::uint32_t>{0x8001, 0x40010002}));
    EXPECT_EQ(array->type, Array::Zipper);
    EXPECT_EQ(std::memcmp(&array->step, &step, sizeof(mat4)), 0);
}

TEST(ArrayRecord, OldLayoutsReadTransposedWithTheColourBlockAndTrailingFloatsByVersion) {
    for (std::int32_t version : {20160914, 20060410}) {
        const bool trailing = version > 20060410;
        buffer p;
        p.writeMat4(mat4::Translation(1, 2, 3).transposed());
        p.writeMat4(mat4::Identity());
        p.writeVec3(vec3(0, 0, 1));
        p.writeVec3(vec3(0, 0, 0));
        for (std::uint8_t v : {0, 0, 0, 0, 0x10, 0x20, 0x30, 0x40, 1, 2, 3, 4, 0x1F}) p.writeU8(v);
        for (std::int32_t v : {0, 0, -1, 2, 5, -1, 1, 0x8001}) p.writeI32(v);  // children, ring, element, slots, entry
        p.writeU8(1);
        p.writeMat4(mat4::Translation(0, 0, 7).transposed());
        for (float f : {2.0f, 3.0f, 4.0f})
            if (trailing) p.writeF32(f);
        buffer tools;
        tools.writeRecord(Array::RecordTag, p);
        Scene s;
        ASSERT_TRUE(s.loadFromMemory(fileOf(version, tools))) << version;
        auto* array = dynamic_cast<Array*>(s.objectsRoot->children.at(0));
        ASSERT_TRUE(array);
        EXPECT_TRUE(array->transform == mat4::Translation(1, 2, 3) && array->step == mat4::Translation(0, 0, 7));
        EXPECT_EQ(array->material.colour, wvec4(0x1000, 0x2000, 0x3000, 0x4000));
        EXPECT_EQ(array->material.light, wvec4(0x100, 0x200, 0x300, 0x400));
        EXPECT_EQ(array->flags, 0x0D);  // selected and temporary mark masked
        EXPECT_EQ(array->items, (std::vector<Tool*>{nullptr, nullptr}));
        EXPECT_TRUE(array->pattern == std::vector<std::uint32_t>{0x8001} && array->type == Array::Chain);
        EXPECT_EQ(array->speed, trailing ? 3.0f : 1.0f);
        EXPECT_EQ(array->delay, trailing ? 4.0f : 0.0f);
    }
}

TEST(ArrayRecord, ArraysChainedThroughTheirTemplatesCountForTheDepthLimit) {
    // A top object whose child is the first of n arrays, each the template
    // of the one before; the last names the first, its ancestor, which
    // leaves its slot empty.
    const auto chain = [](int n) {
        const std::unique_ptr<Tool> top(new Tool(nullptr, mat4::Identity(), pbr(), false));
        top->flags |= Tool::FlagObject;
        top->addChild(new Tool(nullptr, mat4::Identity(), pbr(), false), false)->id = 1;
        top->id = 0;
        buffer tools;
        top->DataWrite(tools, true);
        Tool item(nullptr, mat4::Identity(), pbr(), false);
        const std::unique_ptr<Array> array(
            new Array(nullptr, {&item}, {0x8001}, Array::Simple, mat4::Identity(), mat4::Identity(), pbr(), false));
        for (int i = 1; i <= n; ++i) {
            array->id = i;
            array->items[0]->id = i < n ? i + 1 : 1;
            array->DataWrite(tools, true);
        }
        return fileOf(FILE_VERSION_WRITTEN, tools);
    };
    Scene s;
    ASSERT_TRUE(s.loadFromMemory(chain(SceneReader::MaxDepth - 1)));  // the deepest accepted
    int depth = 1;
    for (Tool* t = s.objectsRoot->children.at(0)->children.at(0); t; t = static_cast<Array*>(t)->items[0]) ++depth;
    EXPECT_EQ(depth, SceneReader::MaxDepth);
    EXPECT_FALSE(s.loadFromMemory(chain(SceneReader::MaxDepth)));
    EXPECT_EQ(s.objectsRoot->children.size(), 1u);
}
