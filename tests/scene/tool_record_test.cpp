// The tool record, its older layouts, identify, and malformed
// records.

#include <cstring>
#include <memory>

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
    float mult = 2.0f, speed = 3.0f, delay = 0.25f;
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
            pbr p;
            p.colour = wvec4(1000, 2000, 3000, 4000);
            p.roughness = -5;
            p.metalness = 6;
            body.writePbr(p);
        }
        body.writeU8(flags);
        body.writeU32(std::uint32_t(children.size()));
        for (std::int32_t c : children) body.writeI32(c);
        body.writeI32(ring);
        body.writeI32(elem);
        if (trailing) {
            body.writeF32(mult);
            body.writeF32(speed);
            body.writeF32(delay);
        }
        buffer out;
        out.writeRecord(Tool::RecordTag, body);
        return out;
    }
};

}  // namespace

TEST(ToolRecord, BodySizes) {
    Tool* t = newTool();
    t->id = 0;
    buffer b;
    t->Data(b, true);
    EXPECT_EQ(b.size(), 197);
    for (int i = 0; i < 3; ++i) t->addChild(newTool(), false)->id = i + 1;
    buffer c;
    t->DataWrite(c, true);
    EXPECT_EQ(c.size(), 8 + 209);
    c.seek(0);
    EXPECT_EQ(c.readU32(), Tool::RecordTag);
    EXPECT_EQ(c.readU32(), 209u);
    delete t;
}

TEST(ToolRecord, FlagsMaskedOnWriteAndRead) {
    Version v(20161026);
    Tool* t = newTool();
    t->id = 0;
    t->flags = std::uint8_t(1 | 2 | 8 | 16 | 32 | 64);
    buffer b;
    t->DataWrite(b, true);
    EXPECT_EQ(b.data()[8 + 172], 1 | 8 | 32 | 64);
    // A file storing the transient bits: they never come back.
    Body body;
    body.flags = 0xFF;
    for (std::int32_t version : {20060401, 20060411, 20161025, 20161026}) {
        Version vv(version);
        buffer r = body.record(version < 20060412, version > 20060410, version <= 20161025);
        r.skip(8);
        Tool u(r);
        EXPECT_FALSE(r.failed());
        EXPECT_EQ(u.flags, 0xED) << version;
    }
    delete t;
}

TEST(ToolRecord, CurrentLayoutRoundTripIsByteExact) {
    Version v(20161026);
    TestElement::alive = 0;
    auto* e0 = new TestElement();
    auto* e1 = new TestElement();
    // Two hierarchies with a ring across them and shared elements.
    Tool* a = newTool(e0, true);
    a->transform = mat4::Translation(1, 2, 3) * mat4::Scale(2.0f);
    a->pivot = mat4::Rotation(0.1f, 0.2f, 0.3f);
    a->rotationAxis = vec3(0, 1, 0);
    a->translationAxis = vec3(0.5f, 0, 0);
    a->rotationMultiplicity = 3.0f;
    a->speed = 0.5f;
    a->delay = 1.5f;
    a->flags |= 32 | 128;
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

    file.seek(0);
    std::vector<Tool*> read = readRecords(file);
    ASSERT_EQ(read.size(), 5u);
    auto* f0 = new TestElement();
    auto* f1 = new TestElement();
    std::vector<Element*> elements{f0, f1};
    for (Tool* t : read) t->identify(read, elements);

    // The hierarchy, rings and elements are restored.
    EXPECT_EQ(read[0]->children, (std::vector<Tool*>{read[1], read[2]}));
    EXPECT_EQ(read[2]->children, (std::vector<Tool*>{read[3]}));
    EXPECT_EQ(read[1]->parent, read[0]);
    EXPECT_EQ(ringOf(read[1]), (std::vector<Tool*>{read[1], read[3], read[4]}));
    EXPECT_EQ(ringOf(b), (std::vector<Tool*>{b, d, e}));
    EXPECT_FALSE(read[0]->isInstanced());
    EXPECT_EQ(read[0]->element, f0);
    EXPECT_EQ(read[1]->element, f1);
    EXPECT_EQ(read[2]->element, nullptr);
    EXPECT_EQ(f0->refCount, 2);
    EXPECT_EQ(f1->refCount, 2);
    EXPECT_EQ(read[0]->transform, a->transform);
    EXPECT_EQ(read[0]->pivot, a->pivot);
    EXPECT_EQ(read[0]->material, a->material);
    EXPECT_EQ(read[0]->flags, a->flags);
    EXPECT_EQ(read[0]->speed, 0.5f);

    // Written again, the bytes are the same.
    std::vector<Tool*> again;
    read[0]->toList(again);
    read[4]->toList(again);
    ASSERT_EQ(again, read);
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

TEST(ToolRecord, LoneToolAndEmptyTool) {
    Version v(20161026);
    Tool* t = newTool();
    t->id = 7;
    buffer b;
    t->Data(b, true);
    b.seek(177);
    EXPECT_EQ(b.readI32(), 7);   // its own id as representative
    EXPECT_EQ(b.readI32(), -1);  // empty and not an array: no element
    t->id = 0;
    buffer r;
    t->DataWrite(r, false);
    r.seek(8);
    Tool u(r);
    std::vector<Tool*> tools{&u};
    u.identify(tools, {});
    EXPECT_FALSE(u.isInstanced());
    EXPECT_TRUE(u.isEmpty());
    delete t;
}

TEST(ToolRecord, ObjectFileKeepsTheRingRestrictedToItsTools) {
    Version v(20161026);
    Tool* x = newTool(nullptr, true);
    Tool* y = newTool(nullptr, true);
    Tool* z = newTool(nullptr, true);
    x->joinInstances(y);
    x->joinInstances(z);
    ASSERT_EQ(ringOf(x), (std::vector<Tool*>{x, z, y}));
    // Save x and y only, as an object file does (temporary mark set).
    x->id = 0;
    y->id = 1;
    x->flags |= Tool::FlagTemp;
    y->flags |= Tool::FlagTemp;
    buffer file;
    x->DataWrite(file, false);
    y->DataWrite(file, false);
    file.seek(8 + 177);
    EXPECT_EQ(file.readI32(), 1);  // x's representative: y (z is skipped)
    file.seek(0);
    std::vector<Tool*> read = readRecords(file);
    ASSERT_EQ(read.size(), 2u);
    for (Tool* t : read) t->identify(read, {});
    EXPECT_EQ(ringOf(read[0]), (std::vector<Tool*>{read[0], read[1]}));
    EXPECT_FALSE(read[0]->isTempMarked());
    deleteAll(read);
    delete x;
    delete y;
    delete z;
}

TEST(ToolRecord, OlderLayouts) {
    Body body;
    body.children = {};
    body.ring = 0;
    struct Case {
        std::int32_t version;
        bool oldMaterial, trailing, transposed;  // thresholds of the table (see tool_record.cpp)
    } cases[] = {
        {20060401, true, false, true},
        {20060410, true, false, true},
        {20060411, true, true, true},
        {20060412, false, true, true},
        {20161025, false, true, true},
        {20161026, false, true, false},
    };
    for (const Case& k : cases) {
        Version v(k.version);
        buffer r = body.record(k.oldMaterial, k.trailing, k.transposed);
        const std::int32_t expected = 8 + 152 + (k.oldMaterial ? 12 : 20) + 1 + 4 + 8 + (k.trailing ? 12 : 0);
        ASSERT_EQ(r.size(), expected);
        r.skip(8);
        Tool t(r);
        EXPECT_FALSE(r.failed()) << k.version;
        EXPECT_TRUE(r.atEnd()) << k.version;
        EXPECT_EQ(t.transform, body.transform) << k.version;
        EXPECT_EQ(t.pivot, body.pivot) << k.version;
        EXPECT_EQ(t.rotationAxis, body.ra);
        EXPECT_EQ(t.translationAxis, body.ta);
        if (k.oldMaterial) {
            EXPECT_EQ(t.material.colour, wvec4(0x8000, 0x4000, 0x2000, 0xFF00));
            EXPECT_EQ(t.material.light, wvec4(0x0100, 0x0200, 0x0300, 0x0400));
            EXPECT_EQ(t.material.roughness, 0);
            EXPECT_EQ(t.material.metalness, 0);
        } else {
            EXPECT_EQ(t.material.colour, wvec4(1000, 2000, 3000, 4000));
            EXPECT_EQ(t.material.roughness, -5);
            EXPECT_EQ(t.material.metalness, 6);
        }
        if (k.trailing) {
            EXPECT_EQ(t.rotationMultiplicity, 2.0f);
            EXPECT_EQ(t.speed, 3.0f);
            EXPECT_EQ(t.delay, 0.25f);
        } else {
            EXPECT_EQ(t.rotationMultiplicity, 1.0f);
            EXPECT_EQ(t.speed, 1.0f);
            EXPECT_EQ(t.delay, 0.0f);
        }
        EXPECT_TRUE(t.storedIds().pending);
        // oldDataRead is the same reader in the base.
        Version v2(k.version);
        buffer r2 = body.record(k.oldMaterial, k.trailing, k.transposed);
        r2.skip(8);
        Tool u(nullptr, mat4::Identity(), pbr(), false);
        u.oldDataRead(r2);
        EXPECT_EQ(u.transform, body.transform);
        EXPECT_TRUE(r2.atEnd());
    }
}

TEST(ToolRecord, TransposedStorageIsReadTransposed) {
    // The same bytes read as 20161025 and as 20161026 give transposes.
    Body body;
    buffer r = body.record(false, true, false);
    Version v1(20161025);
    buffer r1 = r;
    r1.seek(8);
    Tool a(r1);
    Version v2(20161026);
    buffer r2 = r;
    r2.seek(8);
    Tool b(r2);
    EXPECT_EQ(a.transform, body.transform.transposed());
    EXPECT_EQ(b.transform, body.transform);
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
        EXPECT_TRUE(t.children.empty());
        std::vector<Tool*> tools{&t};
        t.identify(tools, {});  // nothing pending: nothing happens
        EXPECT_TRUE(t.children.empty());
    }
}

TEST(ToolRecord, HugeChildCountIsRefusedBeforeAllocating) {
    Version v(20161026);
    Body body;
    buffer r = body.record(false, true, false);
    r.patchU32(8 + 173, 0xFFFFFFFFu);
    r.seek(8);
    Tool t(r);
    EXPECT_TRUE(r.failed());
    EXPECT_FALSE(t.storedIds().pending);
    EXPECT_TRUE(t.storedIds().children.empty());
}

TEST(ToolRecord, IdentifyDropsBadIds) {
    Version v(20161026);
    // Tools 0..5 with hostile ids.
    Body b[6];
    b[0].children = {1, 99, -3, 0};  // out of range, negative, itself
    b[1].children = {2};
    b[2].children = {0, 1};          // would close cycles
    b[3].children = {2};             // 2 adopted already
    b[4].children = {4, 5, 5};       // itself; 5 twice
    b[5].children = {};
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
    file.seek(0);
    std::vector<Tool*> read = readRecords(file);
    ASSERT_EQ(read.size(), 6u);
    TestElement::alive = 0;
    auto* e = new TestElement();
    std::vector<Element*> elements{e, nullptr};
    for (Tool* t : read) t->identify(read, elements);
    for (Tool* t : read) t->identify(read, elements);  // a second call changes nothing

    EXPECT_EQ(read[0]->children, (std::vector<Tool*>{read[1]}));
    EXPECT_EQ(read[1]->children, (std::vector<Tool*>{read[2]}));
    EXPECT_TRUE(read[2]->children.empty());
    EXPECT_TRUE(read[3]->children.empty());
    EXPECT_EQ(read[4]->children, (std::vector<Tool*>{read[5]}));
    // Every ring is a proper ring.
    for (Tool* t : read) {
        const auto r = ringOf(t, 10);
        ASSERT_FALSE(r.empty());
        EXPECT_EQ(t->previousInstance()->nextInstance, t);
    }
    EXPECT_EQ(read[0]->element, nullptr);
    EXPECT_EQ(read[1]->element, nullptr);
    EXPECT_EQ(read[2]->element, e);
    EXPECT_EQ(e->refCount, 1);
    deleteAll(read);
    EXPECT_EQ(TestElement::alive, 0);
}
