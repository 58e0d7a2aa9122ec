// The tool record, its older layouts and identify. Truncated bodies and
// absurd counts are in the kept inputs of the tool record's fuzz target.

#include <gtest/gtest.h>

#include "scene/buffer.h"
#include "scene/tool.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::newTool;
using tooltest::ringOf;
using tooltest::TestElement;

namespace {

// Sets FILE_VERSION for one test and restores it.
struct Version {
    std::int32_t saved = FILE_VERSION;
    explicit Version(std::int32_t v) { FILE_VERSION = v; }
    ~Version() { FILE_VERSION = saved; }
};

// Reads plain tool records back to back.
std::vector<Tool*> readRecords(buffer& b) {
    std::vector<Tool*> tools;
    std::uint32_t tag = 0, len = 0;
    while (b.readRecordHeader(tag, len)) tools.push_back(new Tool(b));
    return tools;
}

// Deletes every tool of a read list: the tops of the trees (no parent).
void deleteAll(std::vector<Tool*>& tools) {
    std::vector<Tool*> tops;
    for (Tool* t : tools)
        if (!t->parent) tops.push_back(t);
    for (Tool* t : tops) delete t;
    tools.clear();
}

// Hand-built body of a given layout.
struct Body {
    mat4 transform = mat4::Translation(1, 2, 3);
    mat4 pivot = mat4::Translation(4, 5, 6);
    vec3 ra{0, 0, 1}, ta{1, 0, 0};
    std::uint8_t flags = 1;
    std::vector<std::int32_t> children;
    std::int32_t ring = 0, elem = -1;
    buffer record(bool oldMaterial, bool trailing, bool transposed) const {
        buffer body;
        body.writeMat4(transposed ? transform.transposed() : transform);
        body.writeMat4(transposed ? pivot.transposed() : pivot);
        body.writeVec3(ra);
        body.writeVec3(ta);
        if (oldMaterial) {
            const std::uint8_t m[12] = {9, 9, 9, 9, 0x80, 0x40, 0x20, 0xFF, 0x01, 0x02, 0x03, 0x04};
            body.writeBytes(m, 12);
        } else {
            body.writePbr(pbr(wvec4(1000, 2000, 3000, 4000), wvec4(0, 0, 0, 65535), -5, 6));
        }
        body.writeU8(flags);
        body.writeU32(std::uint32_t(children.size()));
        for (std::int32_t c : children) body.writeI32(c);
        body.writeI32(ring);
        body.writeI32(elem);
        if (trailing)
            for (float f : {2.0f, 3.0f, 0.25f}) body.writeF32(f);  // multiplicity, speed, delay
        buffer out;
        out.writeRecord(Tool::RecordTag, body);
        return out;
    }
};

}  // namespace

TEST(ToolRecord, CurrentLayoutRoundTripIsByteExact) {
    Version v(20161026);
    TestElement::alive = 0;
    auto* e0 = new TestElement();
    // A hierarchy with a ring and a shared element, and every field set.
    Tool* a = newTool(e0, true);
    a->transform = mat4::Translation(1, 2, 3) * mat4::Scale(2.0f);
    a->pivot = mat4::Rotation(0.1f, 0.2f, 0.3f);
    a->translationAxis = vec3(0.5f, 0, 0);
    a->speed = 0.5f;
    a->flags |= Tool::FlagSelected | Tool::FlagTemp | 32 | 128;  // the selection and mark are never stored
    a->material.roughness = -1234;
    Tool* b = a->addChild(newTool(nullptr, true), false);
    a->addChild(newTool(e0, true), false)->joinInstances(b);

    std::vector<Tool*> list;
    a->toList(list);
    e0->id = 0;
    buffer file;
    for (Tool* t : list) t->DataWrite(file, true);
    EXPECT_EQ(file.size(), 3 * (8 + 197) + 2 * 4);  // a fixed body plus one id per child
    std::vector<Tool*> read = readRecords(file);
    ASSERT_EQ(read.size(), 3u);
    auto* f0 = new TestElement();
    std::vector<Element*> elements{f0};
    for (Tool* t : read) t->identify(read, elements);
    EXPECT_EQ(read[0]->flags, a->flags & Tool::StoredFlagsMask);
    EXPECT_EQ(f0->refCount, 2);

    // Written again, the bytes are the same.
    std::vector<Tool*> again;
    read[0]->toList(again);
    f0->id = 0;
    buffer file2;
    for (Tool* t : again) t->DataWrite(file2, true);
    EXPECT_EQ(file2.bytes(), file.bytes());
    deleteAll(read);
    delete a;
    EXPECT_EQ(TestElement::alive, 0);
}

TEST(ToolRecord, OlderLayoutsAreRead) {
    const Body body;
    const struct {
        std::int32_t version;
        bool oldMaterial, trailing, transposed;
    } cases[] = {
        {20060410, true, false, true},  // 12-byte material, no animation fields
        {20060411, true, true, true},   // animation fields added
        {20060412, false, true, true},  // 20-byte material
        {20161025, false, true, true},  // last layout with transposed matrices
        {20161026, false, true, false},
    };
    for (const auto& k : cases) {
        Version v(k.version);
        buffer r = body.record(k.oldMaterial, k.trailing, k.transposed);
        r.skip(8);
        Tool t(r);
        EXPECT_TRUE(r.atEnd()) << k.version;
        EXPECT_EQ(t.transform, body.transform) << k.version;
        EXPECT_EQ(t.pivot, body.pivot) << k.version;
        if (k.oldMaterial) {
            EXPECT_EQ(t.material,
                      pbr(wvec4(0x8000, 0x4000, 0x2000, 0xFF00), wvec4(0x0100, 0x0200, 0x0300, 0x0400), 0, 0));
        } else {
            EXPECT_EQ(t.material.colour, wvec4(1000, 2000, 3000, 4000));
            EXPECT_EQ(t.material.roughness, -5);
        }
        EXPECT_EQ(t.speed, k.trailing ? 3.0f : 1.0f) << k.version;
        EXPECT_EQ(t.delay, k.trailing ? 0.25f : 0.0f) << k.version;
    }
}

TEST(ToolRecord, IdentifyDropsBadIds) {
    Version v(20161026);
    Body b[6];
    b[0].children = {1, 99, -3, 0};  // out of range, negative, itself
    b[1].children = {2};
    b[2].children = {0, 1};     // would close cycles
    b[3].children = {2};        // 2 adopted already
    b[4].children = {4, 5, 5};  // itself; 5 twice
    b[0].ring = 1;
    b[1].ring = 2;
    b[2].ring = 1;   // second claim on 1: dropped
    b[3].ring = 77;  // out of range
    b[4].ring = 4;
    b[5].ring = 0;
    buffer file;
    for (const Body& x : b) file.writeBuffer(x.record(false, true, false));
    std::vector<Tool*> read = readRecords(file);
    ASSERT_EQ(read.size(), 6u);
    for (int pass = 0; pass < 2; ++pass)  // a second call changes nothing
        for (Tool* t : read) t->identify(read, {});

    EXPECT_EQ(read[0]->children, (std::vector<Tool*>{read[1]}));
    EXPECT_EQ(read[1]->children, (std::vector<Tool*>{read[2]}));
    EXPECT_TRUE(read[2]->children.empty());
    EXPECT_TRUE(read[3]->children.empty());
    EXPECT_EQ(read[4]->children, (std::vector<Tool*>{read[5]}));
    // 5 links to the start of the chain 0 -> 1 -> 2, which closes back to 5.
    EXPECT_EQ(ringOf(read[5]), (std::vector<Tool*>{read[5], read[0], read[1], read[2]}));
    EXPECT_EQ(ringOf(read[3]).size(), 1u);
    EXPECT_EQ(ringOf(read[4]).size(), 1u);
    deleteAll(read);
}
