// The tool record, its older layouts, identify, and malformed records.

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

// Reads tool records back to back as the container does (tag 0xABCDEF02
// only; others skipped).
std::vector<Tool*> readRecords(buffer& b) {
    std::vector<Tool*> tools;
    while (!b.atEnd()) {
        const std::int32_t start = b.cursor();
        std::uint32_t tag = 0, len = 0;
        if (!b.readRecordHeader(tag, len)) break;
        const std::int64_t end = std::int64_t(start) + 8 + len;
        if (tag == Tool::RecordTag) tools.push_back(new Tool(b));
        if (b.cursor() < end) b.seek(std::min<std::int64_t>(end, b.size()));
    }
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
    auto* e1 = new TestElement();
    // Two hierarchies with a ring across them and shared elements.
    Tool* a = newTool(e0, true);
    a->transform = mat4::Translation(1, 2, 3) * mat4::Scale(2.0f);
    a->pivot = mat4::Rotation(0.1f, 0.2f, 0.3f);
    a->translationAxis = vec3(0.5f, 0, 0);
    a->speed = 0.5f;
    a->flags |= Tool::FlagSelected | Tool::FlagTemp | 32 | 128;  // the selection and mark are never stored
    a->material.roughness = -1234;
    Tool* b = a->addChild(newTool(e1, true), false);
    Tool* c = a->addChild(newTool(nullptr, true), false);
    Tool* d = c->addChild(newTool(e0, true), false);
    Tool* e = newTool(e1, true);
    b->joinInstances(e);
    b->joinInstances(d);

    std::vector<Tool*> list;
    a->toList(list);
    e->toList(list);
    e0->id = 0;
    e1->id = 1;
    buffer file;
    for (Tool* t : list) t->DataWrite(file, true);
    EXPECT_EQ(file.size(), 5 * (8 + 197) + 3 * 4);  // a fixed body plus one id per child
    EXPECT_EQ(file.readU32(), Tool::RecordTag);
    EXPECT_EQ(file.readU32(), 197u + 2 * 4);

    file.seek(0);
    std::vector<Tool*> read = readRecords(file);
    ASSERT_EQ(read.size(), 5u);
    auto* f0 = new TestElement();
    auto* f1 = new TestElement();
    std::vector<Element*> elements{f0, f1};
    for (Tool* t : read) t->identify(read, elements);
    EXPECT_EQ(read[0]->children, (std::vector<Tool*>{read[1], read[2]}));
    EXPECT_EQ(read[2]->children, (std::vector<Tool*>{read[3]}));
    EXPECT_EQ(ringOf(read[1]), (std::vector<Tool*>{read[1], read[3], read[4]}));
    EXPECT_FALSE(read[0]->isInstanced());
    EXPECT_EQ(read[0]->element, f0);
    EXPECT_EQ(read[2]->element, nullptr);
    EXPECT_EQ(f1->refCount, 2);
    EXPECT_EQ(read[0]->transform, a->transform);
    EXPECT_EQ(read[0]->material, a->material);
    EXPECT_EQ(read[0]->flags, a->flags & Tool::StoredFlagsMask);

    // Written again, the bytes are the same.
    std::vector<Tool*> again;
    read[0]->toList(again);
    read[4]->toList(again);
    f0->id = 0;
    f1->id = 1;
    buffer file2;
    for (Tool* t : again) t->DataWrite(file2, true);
    EXPECT_EQ(file2.bytes(), file.bytes());
    deleteAll(read);
    delete a;
    delete e;
    EXPECT_EQ(TestElement::alive, 0);
}

TEST(ToolRecord, OlderLayoutsAreRead) {
    const Body body;
    const struct {
        std::int32_t version;
        bool oldMaterial, trailing, transposed;
    } cases[] = {
        {20060410, true, false, true},   // 12-byte material, no animation fields
        {20060411, true, true, true},    // animation fields added
        {20060412, false, true, true},   // 20-byte material
        {20161025, false, true, true},   // last layout with transposed matrices
        {20161026, false, true, false},
    };
    for (const auto& k : cases) {
        Version v(k.version);
        buffer r = body.record(k.oldMaterial, k.trailing, k.transposed);
        r.skip(8);
        Tool t(r);
        EXPECT_FALSE(r.failed()) << k.version;
        EXPECT_TRUE(r.atEnd()) << k.version;
        EXPECT_EQ(t.transform, body.transform) << k.version;
        EXPECT_EQ(t.pivot, body.pivot) << k.version;
        EXPECT_EQ(t.translationAxis, body.ta) << k.version;
        if (k.oldMaterial) {
            EXPECT_EQ(t.material,
                      pbr(wvec4(0x8000, 0x4000, 0x2000, 0xFF00), wvec4(0x0100, 0x0200, 0x0300, 0x0400), 0, 0));
        } else {
            EXPECT_EQ(t.material.colour, wvec4(1000, 2000, 3000, 4000));
            EXPECT_EQ(t.material.roughness, -5);
        }
        EXPECT_EQ(t.speed, k.trailing ? 3.0f : 1.0f) << k.version;
        EXPECT_EQ(t.delay, k.trailing ? 0.25f : 0.0f) << k.version;
        EXPECT_TRUE(t.storedIds().pending);
    }
}

TEST(ToolRecord, TruncatedBodiesAreRefused) {
    Version v(20161026);
    Body body;
    body.children = {1, 2};
    const buffer full = body.record(false, true, false);
    for (std::int32_t cut = 8; cut < full.size(); ++cut) {
        buffer r(full.data(), std::size_t(cut));
        r.seek(8);
        Tool t(r);
        EXPECT_TRUE(r.failed()) << cut;
        EXPECT_FALSE(t.storedIds().pending) << cut;
        EXPECT_EQ(t.transform, mat4::Identity()) << cut;  // reading defaults kept
        std::vector<Tool*> tools{&t};
        t.identify(tools, {});  // nothing pending: nothing happens
        EXPECT_TRUE(t.children.empty());
    }
}

TEST(ToolRecord, HugeChildCountIsRefusedBeforeAllocating) {
    Version v(20161026);
    buffer r = Body().record(false, true, false);
    r.patchU32(8 + 173, 0xFFFFFFFFu);
    r.seek(8);
    Tool t(r);
    EXPECT_TRUE(r.failed());
    EXPECT_FALSE(t.storedIds().pending);
    EXPECT_TRUE(t.storedIds().children.empty());
}

TEST(ToolRecord, IdentifyDropsBadIds) {
    Version v(20161026);
    Body b[6];
    b[0].children = {1, 99, -3, 0};  // out of range, negative, itself
    b[1].children = {2};
    b[2].children = {0, 1};          // would close cycles
    b[3].children = {2};             // 2 adopted already
    b[4].children = {4, 5, 5};       // itself; 5 twice
    b[0].ring = 1;
    b[1].ring = 2;
    b[2].ring = 1;                   // second claim on 1: dropped
    b[3].ring = 77;                  // out of range
    b[4].ring = 4;
    b[5].ring = 0;
    b[0].elem = 5;                   // out of range
    b[1].elem = 1;                   // a null entry
    b[2].elem = 0;
    buffer file;
    for (const Body& x : b) file.writeBuffer(x.record(false, true, false));
    std::vector<Tool*> read = readRecords(file);
    ASSERT_EQ(read.size(), 6u);
    TestElement::alive = 0;
    auto* e = new TestElement();
    std::vector<Element*> elements{e, nullptr};
    for (int pass = 0; pass < 2; ++pass)  // a second call changes nothing
        for (Tool* t : read) t->identify(read, elements);

    EXPECT_EQ(read[0]->children, (std::vector<Tool*>{read[1]}));
    EXPECT_EQ(read[1]->children, (std::vector<Tool*>{read[2]}));
    EXPECT_TRUE(read[2]->children.empty());
    EXPECT_TRUE(read[3]->children.empty());
    EXPECT_EQ(read[4]->children, (std::vector<Tool*>{read[5]}));
    for (Tool* t : read) {  // every ring is a proper ring
        ASSERT_FALSE(ringOf(t, 10).empty());
        EXPECT_EQ(t->previousInstance()->nextInstance, t);
    }
    EXPECT_EQ(read[0]->element, nullptr);
    EXPECT_EQ(read[1]->element, nullptr);
    EXPECT_EQ(read[2]->element, e);
    EXPECT_EQ(e->refCount, 1);
    deleteAll(read);
    EXPECT_EQ(TestElement::alive, 0);
}
