// The scene (ids and lookups, selection, placing, copying and removing
// objects, the hierarchy walk, element conversion) and its render list:
// flattening, transparency passes, drawn ids and the preview of a tool being
// placed.

#include "scene/scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "mesh/mesh.h"
#include "scene/root.h"
#include "scene/tool_list.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::near;
using tooltest::newTool;
using tooltest::ringOf;
using tooltest::TestElement;
using tooltest::treeSize;

namespace {

// An element without a mesh form unless told to make one.
class ConvertibleElement : public Element {
public:
    static int alive;
    explicit ConvertibleElement(bool convertible) : Element(TType::Curve), convertible_(convertible) { ++alive; }
    ~ConvertibleElement() override { --alive; }
    Mesh* ToMesh() override { return convertible_ ? Mesh::Cube() : nullptr; }

private:
    bool convertible_;
};
int ConvertibleElement::alive = 0;

// An element whose mesh form lists a 300 x 300 grid's faces in a random
// order, as a conversion may make them.
class ScatteredElement : public Element {
public:
    ScatteredElement() : Element(TType::Curve) {}
    Mesh* ToMesh() override {
        constexpr int N = 300;
        auto* m = new Mesh();
        for (int i = 0; i < N; ++i)
            for (int j = 0; j < N; ++j) m->vertexAdd(vec3(float(i), float(j), 0.0f));
        std::vector<std::array<int, 3>> tris;
        for (int i = 0; i + 1 < N; ++i)
            for (int j = 0; j + 1 < N; ++j) {
                const int a = i * N + j, b = a + N;
                tris.push_back({a, b, b + 1});
                tris.push_back({a, b + 1, a + 1});
            }
        std::shuffle(tris.begin(), tris.end(), std::mt19937(7));
        for (const auto& t : tris) m->faceAdd(t[0], t[1], t[2]);
        m->initialize(ResizeKeep);
        return m;
    }
};

class SceneTest : public ::testing::Test {
protected:
    // A placed object under parent (the objects root when null).
    Tool* place(Tool* parent = nullptr, const mat4& transform = mat4::Identity(), Element* e = nullptr) {
        Tool* t = newTool(e, true);
        t->transform = transform;
        (parent ? parent : static_cast<Tool*>(scene.objectsRoot))->addChild(t, false);
        return t;
    }
    // World matrix of an object: its list matrix times its own matrix.
    mat4 world(Tool* t) {
        const int id = scene.findID(t);
        return scene.objects.matrices[std::size_t(id - 1)] * t->matrix();
    }
    Scene scene;
};

// An empty array, as the list sees it.
struct ArrayTool : Tool {
    ArrayTool() : Tool(KindArray, nullptr, mat4::Identity(), pbr(), false) {}
};

// Tools under one root; each shows its own element, which logs its draws,
// unless it is made empty (a group).
class ToolListTest : public ::testing::Test {
protected:
    Tool* add(Tool* parent, const mat4& transform = mat4::Identity(), bool empty = false) {
        auto* e = empty ? nullptr : new TestElement();
        if (e) e->log = &log;
        return parent->addChild(new Tool(e, transform, pbr(), false), false);
    }
    std::vector<std::pair<unsigned, unsigned>> log;  // object id, item id
    Root root;
};

}  // namespace

TEST_F(SceneTest, IdsFindObjectsTemplatesAndTopLevelAncestors) {
    Tool* tmpl = scene.addTool(newTool());
    Tool* top = place(nullptr, mat4::Translation(1, 0, 0));
    Tool* mid = place(top, mat4::Translation(0, 1, 0));
    Tool* leaf = place(mid);
    place();
    scene.toList();
    EXPECT_TRUE(scene.findID(scene.objectsRoot) == 0 && scene.findID(tmpl) == -1 && scene.findObject(-1) == tmpl);
    EXPECT_EQ(scene.findID(nullptr), Scene::NotFound);
    for (int bad : {5, -2, int(0x80000000)}) EXPECT_EQ(scene.findObject(bad), nullptr) << bad;
    leaf->id = 0;  // a changed id field: the lists still find the tool
    EXPECT_EQ(scene.findID(leaf), 3);

    ASSERT_TRUE(scene.searchObject(3));
    EXPECT_TRUE(scene.pickedEntry == leaf && scene.pickedAncestor == top);
    EXPECT_TRUE(scene.pickedIndex == 2 && scene.pickedAncestorIndex == 0);
    for (int bad : {0, 5, -1, int(0x80000001)}) {
        EXPECT_FALSE(scene.searchObject(bad)) << bad;
        EXPECT_EQ(scene.pickedEntry, nullptr);
    }
    Tool *ancestor = nullptr, *entry = nullptr;
    mat4 am, em;
    ASSERT_TRUE(scene.searchObject(3, ancestor, entry, am, em, false));
    EXPECT_TRUE(entry == leaf && near(em, top->matrix() * mid->matrix()));
    EXPECT_EQ(scene.pickedEntry, nullptr);  // not remembered

    ASSERT_TRUE(scene.selectObject(2));
    EXPECT_TRUE(scene.selectedEntry == mid && scene.selectedObject == top);
    EXPECT_FALSE(scene.selectObject(7));
    EXPECT_EQ(scene.selectedEntry, nullptr);
    ASSERT_TRUE(scene.selectObject(1));
    scene.deselect();
    EXPECT_TRUE(scene.selectedObject == nullptr && scene.pickedEntry == nullptr);
}

TEST_F(SceneTest, AddObjectHangsWhereAskedAndRefusesWhatItCannotPlace) {
    auto* e = new TestElement();
    Tool* tmpl = scene.addTool(newTool(e));
    const mat4 m = mat4::Translation(3, 0, 0);
    Tool* obj = scene.addObject(tmpl, m, Scene::HangEntry, false);  // nothing selected: top level
    ASSERT_NE(obj, nullptr);
    EXPECT_TRUE(obj->parent == scene.objectsRoot && obj->isObject() && near(obj->matrix(), m));
    EXPECT_EQ(scene.addObject(nullptr, m, Scene::HangTop, false), nullptr);
    EXPECT_EQ(scene.addObject(tmpl, m, Scene::THierarchyType(7), false), nullptr);
    EXPECT_EQ(scene.addObject(tmpl, std::vector<mat4>{}, Scene::HangTop, false, false), nullptr);
    EXPECT_EQ(scene.objectsRoot->children.size(), 1u);

    Tool* leaf = place(obj);
    scene.toList();
    ASSERT_TRUE(scene.selectObject(2));
    // The parent carries no selected flag: nothing is adopted, nothing leaks.
    EXPECT_EQ(scene.addObject(tmpl, mat4::Identity(), Scene::HangEntry, false), nullptr);
    EXPECT_TRUE(leaf->children.empty());
    leaf->flags |= Tool::FlagSelected;
    EXPECT_EQ(scene.addObject(tmpl, mat4::Identity(), Scene::HangEntry, false)->parent, leaf);
    obj->flags |= Tool::FlagSelected;
    EXPECT_EQ(scene.addObject(tmpl, mat4::Identity(), Scene::HangSelected, false)->parent, obj);

    // One object per matrix, in one ring without the template unless kept.
    const std::vector<mat4> ms(3, mat4::Identity());
    std::vector<Tool*> created;
    const int held = e->refCount;
    Tool* last = scene.addObject(tmpl, ms, created, Scene::HangTop, false, false);
    ASSERT_EQ(created.size(), 3u);
    EXPECT_TRUE(last == created.back() && created[0]->parent == scene.objectsRoot);
    EXPECT_TRUE(ringOf(created[0]).size() == 3u && e->refCount == held + 3);
    created.clear();
    scene.addObject(tmpl, ms, created, Scene::HangTop, false, true);
    EXPECT_TRUE(created[0]->isInstanceOf(tmpl));
}

TEST_F(SceneTest, CopyAsChildCoincidesWithThePickedEntry) {
    Tool* top = place(nullptr, mat4::Translation(1, 2, 3));
    Tool* picked = place(top, mat4::Rotation(0.3f, 0.5f, 0.7f) * mat4::Translation(0, 4, 0));
    scene.toList();
    EXPECT_EQ(scene.copyObject(false, Scene::HangTop), nullptr);  // nothing picked
    ASSERT_TRUE(scene.searchObject(2));
    std::vector<Tool*> created;
    Tool* copy = scene.copyObject(created, false, Scene::HangEntry);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->parent == picked && created == std::vector<Tool*>{copy});
    scene.toList();
    EXPECT_TRUE(near(world(copy), world(picked), 1e-4f));
    // Beside the entry: a copy of the whole subtree under the same parent.
    ASSERT_TRUE(scene.searchObject(1));
    Tool* topCopy = scene.copyObject(false, Scene::HangTop);
    ASSERT_NE(topCopy, nullptr);
    EXPECT_TRUE(topCopy->parent == scene.objectsRoot && near(topCopy->matrix(), top->matrix()));
    EXPECT_EQ(treeSize(topCopy), 3u);  // the whole subtree
}

TEST_F(SceneTest, RemoveObjectLeavesNoEntryNamingIt) {
    Tool* a = place();
    Tool* b = place(a);
    Tool* c = place();
    scene.toList();
    ASSERT_TRUE(scene.selectObject(2));
    scene.removeObject(b, false);
    EXPECT_TRUE(a->children.empty() && scene.selectedEntry == nullptr && scene.pickedEntry == nullptr);
    EXPECT_EQ(scene.objects.tools, (std::vector<Tool*>{a, c}));

    Tool* d = place();
    a->joinInstances(d);
    scene.toList();
    scene.removeObject(a, true);  // with its ring
    EXPECT_EQ(scene.objectsRoot->children, std::vector<Tool*>{c});
}

TEST_F(SceneTest, HierarchyWalkCollectsAncestorsBelowTheTopLevel) {
    Tool* top = place(nullptr, mat4::Translation(1, 0, 0));
    Tool* a = place(top, mat4::Translation(0, 1, 0));
    Tool* b = place(a, mat4::Translation(0, 0, 1));
    Tool* c = place(b);
    scene.toList();
    std::vector<Tool*> tools;
    std::vector<mat4> ms;
    ASSERT_TRUE(scene.findHiHierarchy(scene.findID(b), tools, ms, 2));
    EXPECT_EQ(tools, (std::vector<Tool*>{a, b}));
    ASSERT_EQ(ms.size(), 2u);
    EXPECT_TRUE(near(ms[1], top->matrix() * a->matrix()));
    ASSERT_TRUE(scene.findHiHierarchy(scene.findID(c), tools, ms, -1));
    EXPECT_EQ(tools, (std::vector<Tool*>{a, b, c}));
    ASSERT_TRUE(scene.findHiHierarchy(scene.findID(top), tools, ms, -1));
    EXPECT_TRUE(tools.empty());
    for (int bad : {0, -2, 99}) EXPECT_FALSE(scene.findHiHierarchy(bad, tools, ms, -1)) << bad;

    // The walk leaves no mark behind: removing another object deletes nothing else.
    Tool* other = place();
    scene.toList();
    scene.removeObject(other, false);
    EXPECT_EQ(scene.objects.tools, (std::vector<Tool*>{top, a, b, c}));
}

TEST_F(SceneTest, ToMeshReplacesAConvertibleElementInEveryObjectShowingIt) {
    auto* fixed = new ConvertibleElement(false);
    place(nullptr, mat4::Identity(), fixed);
    const int before = ConvertibleElement::alive;
    auto* curve = new ConvertibleElement(true);
    Tool* a = place(nullptr, mat4::Identity(), curve);
    Tool* b = place(a, mat4::Identity(), curve);
    scene.toList();
    EXPECT_FALSE(scene.ToMesh(fixed));  // no mesh form

    ASSERT_TRUE(scene.ToMesh(curve));
    ASSERT_NE(a->element, nullptr);
    EXPECT_TRUE(a->element->isType(Element::TType::Mesh) && a->element == b->element && a->element->refCount == 2);
    EXPECT_EQ(ConvertibleElement::alive, before);  // the curve was freed with its last holder
    EXPECT_FALSE(scene.ToMesh(a->element));        // a mesh stays
}

// A large converted mesh in a scattered order is shown in space order.
TEST_F(SceneTest, ToMeshPutsAScatteredConversionInSpaceOrder) {
    auto* e = new ScatteredElement();
    const std::unique_ptr<Mesh> made(e->ToMesh());
    ASSERT_TRUE(made->importScattered());
    Tool* a = place(nullptr, mat4::Identity(), e);
    scene.toList();
    ASSERT_TRUE(scene.ToMesh(e));
    auto* m = dynamic_cast<Mesh*>(a->element);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->status, 0);
    EXPECT_EQ(m->faceCount(), made->faceCount());
    EXPECT_FALSE(m->importScattered());
}

TEST_F(ToolListTest, EntriesCarryTheFrameTheyHangInAndTheirParentChain) {
    const mat4 ta = mat4::Translation(1, 0, 0), tb = mat4::Translation(0, 2, 0);
    Tool* a = add(&root, ta);
    Tool* b = add(a, tb);
    Tool* c = add(b);
    Tool* d = add(&root, tb);
    ToolList list(&root);
    EXPECT_EQ(list.tools, (std::vector<Tool*>{a, b, c, d}));
    EXPECT_EQ(list.parents, (std::vector<int>{0, 0, 1, 3}));
    EXPECT_TRUE(near(list.matrices[2], ta * tb));  // without the tool's own matrix
    EXPECT_TRUE(c->id == 2 && list.topLevel(2) == 0 && list.topLevel(4) == -1);
}

TEST_F(ToolListTest, PassesDrawEveryEntryOnceWithItsHighlightedId) {
    for (int i = 0; i < 6; ++i) add(&root)->material.colour.a = (i % 2) ? 0xFEFF : 0xFF00;
    root.children[0]->flags |= Tool::FlagTransparent | Tool::FlagSelected;
    root.children[2]->element->transparent = 1;
    root.children[4]->flags |= Tool::FlagTemp;
    ToolList list(&root);
    list.render(Tool::RenderOpaque, false, 10);  // an id base shifts every id
    EXPECT_EQ(log.size(), 1u);
    list.render(Tool::RenderTransparent, false, 10);
    ASSERT_EQ(log.size(), 6u);
    std::vector<int> seen(6, 0);
    for (const auto& d : log) ++seen[(d.first & ~ToolList::HighlightBit) - 11];
    EXPECT_EQ(seen, std::vector<int>(6, 1));
    EXPECT_EQ(log[0].first, 0x8000000Fu);                         // the temporarily marked entry 4
    EXPECT_EQ(log[1], std::make_pair(0x8000000Bu, 0xFFFFFFFFu));  // the selected entry 0
}

TEST_F(ToolListTest, WithParentIdsGroupMembersAndItemsDrawTheirOwnersId) {
    Tool* group = add(&root, mat4::Identity(), true);  // entry 0, empty: a group
    add(group);                                        // entry 1
    add(add(&root));                                   // entries 2 and 3: a body and its child
    group->flags |= Tool::FlagSelected;
    add(root.addChild(new ArrayTool, false));  // entries 4 and 5
    ToolList list(&root);
    list.subIndices[5] = 1;  // the array's item 1
    list.render(Tool::RenderAll, true, 0);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].first, 0x80000001u);  // the group's id and highlight
    EXPECT_EQ(log[2].first, 4u);           // a child of a body: its own id
    EXPECT_EQ(log[3], std::make_pair(5u, 1u));
    list.render(Tool::RenderAll, false, 0);  // without parent ids everyone draws its own
    EXPECT_EQ(log[4].first, 2u);
}

TEST_F(ToolListTest, PreviewRepeatsTheSubtreePerPlacementAndPlacedParentInstance) {
    Tool* a = add(&root, mat4::Translation(1, 0, 0));
    Tool* b = add(&root, mat4::Translation(0, 3, 0));
    auto notPlaced = std::make_unique<Tool>(nullptr, mat4::Identity(), pbr(), false);
    a->flags = b->flags |= Tool::FlagObject;
    a->joinInstances(b);
    a->joinInstances(notPlaced.get());  // no object bit: no preview under it
    ToolList objects(&root);

    Tool tool(nullptr, mat4::Identity(), pbr(), false);
    Tool* child = add(&tool);
    const std::vector<mat4> placements = {mat4::Translation(5, 0, 0), mat4::Translation(0, 0, 7)};
    ToolList top;
    top.append(&tool, placements, objects, nullptr, 0, true);
    EXPECT_EQ(top.parents, (std::vector<int>{0, 0, 2, 2}));
    EXPECT_TRUE(near(top.matrices[2], placements[1]));
    EXPECT_EQ(child->id, -1);  // tool ids are not touched by a preview

    const std::vector<mat4> one = {mat4::Translation(0, 0, 2)};
    ToolList under, all;
    under.append(&tool, one, objects, a, a->id, false);
    all.append(&tool, one, objects, a, a->id, true);
    EXPECT_EQ(under.size(), 2);
    ASSERT_EQ(all.size(), 4);
    EXPECT_TRUE(near(all.matrices[0], a->matrix() * one[0]) && near(all.matrices[2], b->matrix() * one[0]));
}

TEST(SceneObjects, ThePickedEntryIsCheckedBeforeItIsUsed) {
    Scene scene;
    Tool* gone = scene.objectsRoot->addChild(tooltest::newTool(nullptr, true), false);
    Tool* flat = scene.objectsRoot->addChild(tooltest::newTool(nullptr, true), false);
    gone->pivot = mat4::Translation(5, 0, 0);
    gone->joinInstances(flat);
    flat->transform = mat4::Scale(1, 1, 0);
    scene.toList();
    // A flat entry has no copy coinciding with it as its child.
    ASSERT_TRUE(scene.searchObject(2));
    EXPECT_EQ(scene.copyObject(false, Scene::HangEntry), nullptr);
    EXPECT_TRUE(flat->children.empty());

    ASSERT_TRUE(scene.searchObject(1));
    scene.objectsRoot->subChild(gone);  // taken out of the scene after the pick
    gone->parent = nullptr;
    scene.toList();
    std::unique_ptr<Tool> tool(tooltest::newTool());
    scene.addObjectToList(tool.get(), {mat4::Identity()}, Scene::HangEntry, false);
    ASSERT_EQ(scene.preview.size(), 1);
    EXPECT_EQ(scene.preview.matrices[0], mat4::Identity());  // placed at the top level
    flat->flags |= Tool::FlagTemp;
    scene.removeObject(nullptr, false);
    EXPECT_TRUE(scene.objectsRoot->children.empty());  // the stale pick did not unmark its ring
    scene.toList();
    EXPECT_TRUE(scene.preview.empty());  // a new list drops the preview
    delete gone;
}
