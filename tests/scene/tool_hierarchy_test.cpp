// qel::Tool: child list, element ownership, rings, selection, cloning, drawing,
// the animation tick, the scope of the setters; the tool record, its older
// layouts and identify (truncated bodies and absurd counts are in the kept
// inputs of the tool record's fuzz target).

#include <gtest/gtest.h>

#include <memory>

#include "gl/buffer.h"
#include "scene/root.h"
#include "scene/tool.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::newTool;
using tooltest::ringOf;
using tooltest::TestElement;

namespace {

// A tool with two children, all three showing one shared element.
struct Tree {
    TestElement* e = new TestElement();
    Tool* top = newTool(e);
    Tool* c1 = top->addChild(newTool(e), false);
    Tool* c2 = top->addChild(newTool(e), false);
    ~Tree() { delete top; }
};

bool allMarksClear(Tool* t) {
    if (t->mark() != 0 || t->clone != nullptr) return false;
    for (Tool* c : t->children)
        if (!allMarksClear(c)) return false;
    return true;
}

// A material with every channel set.
const pbr sample(wvec4(100, 200, 300, 400), wvec4(500, 600, 700, 800), 900, -1000);

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
    std::uint8_t flags = Tool::FlagCreated | Tool::FlagSelected | Tool::FlagObject | Tool::FlagTemp;
    pbr material{wvec4(1000, 2000, 3000, 4000), wvec4(0, 0, 0, 65535), -5, 6};
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
            body.writePbr(material);
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

TEST(ToolHierarchy, ChildListInsertsAndLetsChildrenLeave) {
    Root p;
    Tool* a = p.addChild(newTool(), false);
    Tool* b = p.addChild(newTool(), false);
    Tool* c = p.insertChild(1, newTool());
    EXPECT_EQ(p.children, (std::vector<Tool*>{a, c, b}));
    Tool stranger(nullptr, mat4::Identity(), pbr(), false);
    EXPECT_TRUE(p.subChild(&stranger) == -1 && p.subChild(c) == 1);
    c->parent = nullptr;
    delete c;
    delete a;  // deleting a child takes it out of its parent's list
    EXPECT_EQ(p.children, (std::vector<Tool*>{b}));
}

TEST(ToolHierarchy, ElementsAreHeldAndFreedWithTheirLastTool) {
    TestElement::alive = 0;
    auto* e = new TestElement();
    auto* f = new TestElement();
    Tool* a = newTool(e);
    Tool* b = newTool(e);
    EXPECT_EQ(e->refCount, 2);
    EXPECT_EQ(a->setElement(e), 0);
    EXPECT_EQ(a->setElement(f), 1);  // e is still used by b
    EXPECT_EQ(b->setElement(f), 2);  // e deleted
    EXPECT_EQ(TestElement::alive, 1);
    // A shared element is copied for its tool; a single one is kept.
    EXPECT_TRUE(a->makeUniqueElement());
    EXPECT_TRUE(a->element->refCount == 1 && f->refCount == 1);
    EXPECT_FALSE(a->makeUniqueElement());
    delete a;
    delete b;
    EXPECT_EQ(TestElement::alive, 0);
}

TEST(ToolHierarchy, InstanceRingsStaySoundWhenMembersLeave) {
    Tool* a = newTool();
    Tool* b = newTool();
    Tool* c = newTool();
    a->joinInstances(b);
    a->joinInstances(b);  // already one ring: unchanged
    EXPECT_EQ(ringOf(a).size(), 2u);
    b->joinInstances(c);
    EXPECT_EQ(ringOf(c).size(), 3u);
    b->removeInstance();
    EXPECT_TRUE(!b->isInstanced() && ringOf(a).size() == 2u);
    b->joinInstances(a);
    delete a;
    EXPECT_TRUE(ringOf(b).size() == 2u && b->isInstanceOf(c));
    delete b;
    EXPECT_FALSE(c->isInstanced());
    delete c;
}

// The ring a, b (same parent), c (another parent), d (same parent, not an
// object).
TEST(ToolHierarchy, SelectionAndSettersReachTheRingObjectsInTheirScope) {
    Root root;
    Tool* p1 = root.addChild(newTool(), false);
    Tool* a = p1->addChild(newTool(nullptr, true), false);
    Tool* b = p1->addChild(newTool(nullptr, true), false);
    Tool* c = root.addChild(newTool(), false)->addChild(newTool(nullptr, true), false);
    Tool* d = p1->addChild(newTool(nullptr, false), false);  // not an object
    for (Tool* t : {b, c, d}) a->joinInstances(t);

    a->select(true, true);
    EXPECT_TRUE(a->isSelected() && b->isSelected());
    EXPECT_FALSE(c->isSelected() || d->isSelected());  // other parent, not an object
    a->select(true, false);
    EXPECT_TRUE(c->isSelected());
    a->deselect(false, false);
    EXPECT_TRUE(!a->isSelected() && b->isSelected());

    std::vector<Tool*> marked;
    a->tempSelect(marked, true, true);
    EXPECT_TRUE(marked.size() == 2u && b->isTempMarked());
    Tool::tempDeselect(marked);
    EXPECT_TRUE(marked.empty() && !a->isTempMarked() && !b->isTempMarked());

    a->changeSpeed(3.0f, true, true);
    EXPECT_TRUE(b->speed == 3.0f && c->speed == 1.0f && d->speed == 1.0f);
    a->changeMaterial(sample, pbr::MaskAll, true, false);
    EXPECT_TRUE(c->material == sample && d->material == pbr());
    d->changeDelay(0.25f, false, false);  // without all: the tool itself, object bit or not
    EXPECT_TRUE(d->delay == 0.25f && a->delay == 0.0f);
    a->flags |= Tool::FlagSelected | Tool::FlagColorIsLight;
    a->changeOrientation(Tool::OrientModel, false, false);
    a->changeOrientation(Tool::OrientViewer, false, false);
    EXPECT_EQ(a->orientation(), Tool::OrientViewer);  // replaced, not combined
    EXPECT_EQ(a->flags & 63, Tool::FlagCreated | Tool::FlagSelected | Tool::FlagObject | Tool::FlagColorIsLight);
}

TEST(ToolHierarchy, AddChildToAllCopiesOnlyFromASelectedTool) {
    Root root;
    Tool* p = root.addChild(newTool(nullptr, true), false);
    Tool* q = root.addChild(newTool(nullptr, true), false);
    Tool* r = root.addChild(newTool(nullptr, true), false);
    p->joinInstances(q);
    p->joinInstances(r);
    q->flags |= Tool::FlagSelected;
    Tool* child = newTool(nullptr, true);
    // p is not selected: nothing is placed anywhere and the caller keeps the child.
    EXPECT_EQ(p->addChild(child, true), nullptr);
    EXPECT_TRUE(p->children.empty() && q->children.empty() && child->parent == nullptr);
    p->flags |= Tool::FlagSelected;
    EXPECT_EQ(p->addChild(child, true), child);
    ASSERT_EQ(q->children.size(), 1u);
    EXPECT_TRUE(r->children.empty());
    EXPECT_TRUE(q->children[0]->isInstanceOf(child) && q->children[0]->isObject());
}

TEST(ToolClone, ToolsAndObjectsCopyTheSubtreeIntoRings) {
    Tree tr;
    tr.top->flags = std::uint8_t(0xFF);
    tr.top->pivot = mat4::Translation(1, 2, 3);
    tr.top->speed = 2.0f;
    Tool* c = tr.top->cloneTool(false);
    ASSERT_EQ(c->children.size(), 2u);
    EXPECT_EQ(c->flags, 0xFF & ~(Tool::FlagObject | Tool::FlagSelected | Tool::FlagTemp));
    EXPECT_TRUE(c->pivot == mat4::Identity() && c->speed == 2.0f);
    EXPECT_TRUE(c->isInstanceOf(tr.top) && c->children[1]->isInstanceOf(tr.c2));
    EXPECT_EQ(tr.e->refCount, 6);  // three tools and three copies share the element
    EXPECT_TRUE(allMarksClear(tr.top));
    Tool* k = tr.top->cloneTool(true);  // keeping the pivot
    EXPECT_EQ(k->pivot, tr.top->pivot);
    delete c;
    delete k;
    EXPECT_EQ(tr.e->refCount, 3);

    // An element that duplicates itself on copy gives every copy its own.
    std::unique_ptr<TestElement> dup(new TestElement(true));
    std::unique_ptr<Tool> t(newTool(dup.get())), u(t->cloneTool(false));
    EXPECT_TRUE(t->element != dup.get() && u->element != t->element && u->element->refCount == 1);

    // As an object: unselected, placed by m, alone unless joined; its children always join.
    const mat4 m = mat4::Rotation(0.f, 0.f, 0.5f);
    std::unique_ptr<Tool> o(tr.top->cloneObject(m, false, false));
    EXPECT_TRUE(o->isObject() && !o->isSelected() && !o->isTempMarked());
    EXPECT_TRUE(o->pivot == m * tr.top->pivot && !o->isInstanced());
    ASSERT_EQ(o->children.size(), 2u);
    EXPECT_TRUE(o->children[0]->isInstanceOf(tr.c1) && o->children[0]->isObject());  // children always join
    EXPECT_TRUE(allMarksClear(tr.top));
    std::unique_ptr<Tool> j(tr.top->cloneObject(mat4::Identity(), true, true));
    EXPECT_TRUE(j->isInstanceOf(tr.top) && ringOf(tr.c1).size() == 3u);
}

TEST(ToolClone, RamificationsCopyEveryChildAndFindTheRingsLeavingTheRegion) {
    Tree tr;
    tr.c2->addChild(newTool(), false);
    std::unique_ptr<Tool> c(tr.top->cloneObjectRamifications(mat4::Translation(0, 0, 1), false));
    ASSERT_EQ(c->children.size(), 2u);
    EXPECT_TRUE(c->children[1]->children.size() == 1u && allMarksClear(tr.top));

    Root root;
    Tool* t = root.addChild(newTool(), false);
    Tool* child = t->addChild(newTool(), false);
    Tool* outside = root.addChild(newTool(), false);
    child->joinInstances(outside);  // a ring crossing the region's border
    std::vector<Tool*> a, b, cc, d, e;
    t->findRamifications(a, b, cc, d, e, true, true, true);
    EXPECT_TRUE(a == std::vector<Tool*>{t} && b.empty() && cc.empty());
    EXPECT_TRUE(d == std::vector<Tool*>{child} && e == std::vector<Tool*>{outside} && allMarksClear(t));
}

TEST(ToolDraw, RenderHandsTheElementMatrixMaterialEmissionAndShiftedTime) {
    auto* e = new TestElement;
    std::unique_ptr<Tool> root(newTool());
    Tool* t = root->addChild(newTool(e), false);
    t->transform = mat4::Translation(1, 2, 3);
    t->material = sample;
    t->speed = 2.0f;
    t->delay = 0.5f;
    Tool::GlobalTime = 3.0;
    root->timer();
    Tool::GlobalTime = 0.0;
    EXPECT_TRUE(t->time == 3.0 && e->firstTime == 3.0);  // the element's own step: unshifted

    const mat4 m = mat4::Translation(0, 0, -5);
    t->render(17, m, 42);
    EXPECT_TRUE(e->drawn.objectId == 17u && e->drawn.itemId == 42u && e->drawn.material == sample);
    EXPECT_TRUE(tooltest::near(e->drawn.m, m * t->matrix()) && e->drawn.light == Element::ColorAsColor);
    EXPECT_FLOAT_EQ(e->drawn.time, 7.0f);  // (0.5 + 3) x 2
    t->changeColorIsLight(true, false, false);
    t->render(17, m, 42);
    EXPECT_EQ(e->drawn.light, Element::ColorAsLight);
}

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
    const pbr old(wvec4(0x8000, 0x4000, 0x2000, 0xFF00), wvec4(0x0100, 0x0200, 0x0300, 0x0400), 0, 0);
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
        EXPECT_TRUE(r.atEnd() && t.transform == body.transform && t.pivot == body.pivot) << k.version;
        EXPECT_EQ(t.material, k.oldMaterial ? old : body.material) << k.version;
        EXPECT_EQ(t.flags, Tool::FlagCreated | Tool::FlagObject) << k.version;  // the transient bits dropped
        EXPECT_TRUE(t.speed == (k.trailing ? 3.0f : 1.0f) && t.delay == (k.trailing ? 0.25f : 0.0f)) << k.version;
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
    EXPECT_TRUE(read[2]->children.empty() && read[3]->children.empty());
    EXPECT_EQ(read[4]->children, (std::vector<Tool*>{read[5]}));
    // 5 links to the start of the chain 0 -> 1 -> 2, which closes back to 5.
    EXPECT_EQ(ringOf(read[5]), (std::vector<Tool*>{read[5], read[0], read[1], read[2]}));
    EXPECT_TRUE(ringOf(read[3]).size() == 1u && ringOf(read[4]).size() == 1u);
    deleteAll(read);
}
