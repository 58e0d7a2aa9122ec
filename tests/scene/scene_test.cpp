// The scene: templates, ids and lookups, selection, placing, copying and
// removing objects, the hierarchy walk and element conversion.

#include <vector>

#include <gtest/gtest.h>

#include "mesh/mesh.h"
#include "scene/scene.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::near;
using tooltest::newTool;
using tooltest::ringOf;
using tooltest::TestElement;

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

}  // namespace

// ---- Templates ----

TEST_F(SceneTest, NextToolCyclesThroughTheTemplates) {
    EXPECT_EQ(scene.nextTool(false), nullptr);
    Tool* a = scene.addTool(newTool());
    Tool* b = scene.addTool(newTool());
    Tool* c = scene.addTool(newTool());
    EXPECT_EQ(scene.currentTool, c);
    scene.currentTool = nullptr;
    EXPECT_EQ(scene.nextTool(false), a);
    EXPECT_EQ(scene.nextTool(false), b);
    EXPECT_EQ(scene.nextTool(false), c);
    EXPECT_EQ(scene.nextTool(false), a);
    EXPECT_EQ(scene.nextTool(true), c);
    EXPECT_EQ(scene.currentTool, c);
}

TEST_F(SceneTest, InitReplacesBothRootsAndClearsTheState) {
    scene.addTool(newTool());
    place();
    scene.toList();
    scene.selectObject(1);
    Scene::Error = 1;
    scene.init();
    EXPECT_TRUE(scene.toolsRoot->children.empty());
    EXPECT_TRUE(scene.objectsRoot->children.empty());
    EXPECT_TRUE(scene.objects.empty());
    EXPECT_EQ(scene.currentTool, nullptr);
    EXPECT_EQ(scene.selectedEntry, nullptr);
    EXPECT_EQ(Scene::Error, 0);
}

// ---- Ids and lookups ----

TEST_F(SceneTest, IdsNameRootsObjectsAndTemplates) {
    Tool* tmpl = scene.addTool(newTool());
    Tool* a = place();
    Tool* b = place(a);
    scene.toList();
    EXPECT_EQ(scene.findID(scene.objectsRoot), 0);
    EXPECT_EQ(scene.findID(scene.toolsRoot), 0);
    EXPECT_EQ(scene.findID(a), 1);
    EXPECT_EQ(scene.findID(b), 2);
    EXPECT_EQ(scene.findID(tmpl), -1);
    Tool stranger(nullptr, mat4::Identity(), pbr(), false);
    EXPECT_EQ(scene.findID(&stranger), Scene::NotFound);
    EXPECT_EQ(scene.findID(nullptr), Scene::NotFound);

    EXPECT_EQ(scene.findObject(0), scene.objectsRoot);
    EXPECT_EQ(scene.findObject(2), b);
    EXPECT_EQ(scene.findObject(-1), tmpl);
    EXPECT_EQ(scene.findObject(3), nullptr);
    EXPECT_EQ(scene.findObject(-2), nullptr);
    EXPECT_EQ(scene.findObject(int(0x80000000)), nullptr);

    // A tool whose id field was changed since the lists were built is still found.
    b->id = 0;
    EXPECT_EQ(scene.findID(b), 2);
}

TEST_F(SceneTest, SearchFindsTheEntryAndItsTopLevelAncestor) {
    Tool* top = place(nullptr, mat4::Translation(1, 0, 0));
    Tool* mid = place(top, mat4::Translation(0, 1, 0));
    Tool* leaf = place(mid);
    Tool* other = place();
    scene.toList();

    ASSERT_TRUE(scene.searchObject(3));
    EXPECT_EQ(scene.pickedEntry, leaf);
    EXPECT_EQ(scene.pickedAncestor, top);
    EXPECT_EQ(scene.pickedIndex, 2);
    EXPECT_EQ(scene.pickedAncestorIndex, 0);
    ASSERT_TRUE(scene.searchObject(4));
    EXPECT_EQ(scene.pickedEntry, other);
    EXPECT_EQ(scene.pickedAncestor, other);

    for (int bad : {0, 5, -1, int(0x80000001)}) {
        EXPECT_FALSE(scene.searchObject(bad));
        EXPECT_EQ(scene.pickedEntry, nullptr);
        EXPECT_EQ(scene.pickedAncestor, nullptr);
    }

    Tool *ancestor = nullptr, *entry = nullptr;
    mat4 am, em;
    ASSERT_TRUE(scene.searchObject(3, ancestor, entry, am, em, false));
    EXPECT_EQ(entry, leaf);
    EXPECT_EQ(ancestor, top);
    EXPECT_TRUE(near(em, top->matrix() * mid->matrix()));
    EXPECT_TRUE(near(am, mat4::Identity()));
    EXPECT_EQ(scene.pickedEntry, nullptr);  // not remembered
    ASSERT_TRUE(scene.searchObject(2, ancestor, entry, am, em, true));
    EXPECT_EQ(scene.pickedEntry, mid);
    EXPECT_FALSE(scene.searchObject(-3, ancestor, entry, am, em, true));
    EXPECT_EQ(entry, nullptr);
    EXPECT_TRUE(near(em, mat4::Identity()));
}

TEST_F(SceneTest, SelectObjectRemembersTheSelectionAndDeselectClearsIt) {
    Tool* top = place();
    Tool* leaf = place(top);
    scene.toList();
    ASSERT_TRUE(scene.selectObject(2));
    EXPECT_EQ(scene.selectedEntry, leaf);
    EXPECT_EQ(scene.selectedObject, top);
    EXPECT_FALSE(scene.selectObject(7));
    EXPECT_EQ(scene.selectedEntry, nullptr);
    ASSERT_TRUE(scene.selectObject(1));
    scene.deselect();
    EXPECT_EQ(scene.selectedObject, nullptr);
    EXPECT_EQ(scene.pickedEntry, nullptr);
    EXPECT_EQ(scene.pickedIndex, 0);  // indices stay
}

// ---- Placing ----

TEST_F(SceneTest, AddObjectWithNothingSelectedHangsAtTheTopLevel) {
    Tool* tmpl = scene.addTool(newTool());
    const mat4 m = mat4::Translation(3, 0, 0);
    Tool* obj = scene.addObject(tmpl, m, Scene::HangEntry, false);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->parent, scene.objectsRoot);
    EXPECT_TRUE(obj->isObject());
    EXPECT_TRUE(near(obj->matrix(), m));
    EXPECT_EQ(scene.addObject(nullptr, m, Scene::HangTop, false), nullptr);
    EXPECT_EQ(scene.addObject(tmpl, m, Scene::THierarchyType(7), false), nullptr);
    EXPECT_EQ(scene.objectsRoot->children.size(), 1u);
}

TEST_F(SceneTest, AddObjectUnderTheSelectionNeedsASelectedParent) {
    Tool* tmpl = scene.addTool(newTool());
    Tool* top = place();
    Tool* leaf = place(top);
    scene.toList();
    ASSERT_TRUE(scene.selectObject(2));
    // The parent carries no selected flag: nothing is adopted, nothing leaks.
    EXPECT_EQ(scene.addObject(tmpl, mat4::Identity(), Scene::HangEntry, false), nullptr);
    EXPECT_TRUE(leaf->children.empty());
    leaf->flags |= Tool::FlagSelected;
    Tool* obj = scene.addObject(tmpl, mat4::Identity(), Scene::HangEntry, false);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->parent, leaf);
    top->flags |= Tool::FlagSelected;
    EXPECT_EQ(scene.addObject(tmpl, mat4::Identity(), Scene::HangSelected, false)->parent, top);
}

TEST_F(SceneTest, AddObjectPerMatrixCollectsWhatWasCreated) {
    auto* e = new TestElement();
    Tool* tmpl = scene.addTool(newTool(e));
    const std::vector<mat4> ms = {mat4::Translation(1, 0, 0), mat4::Translation(2, 0, 0), mat4::Translation(3, 0, 0)};
    std::vector<Tool*> created;
    Tool* last = scene.addObject(tmpl, ms, created, Scene::HangTop, false, false);
    ASSERT_EQ(created.size(), 3u);
    EXPECT_EQ(last, created.back());
    EXPECT_EQ(scene.objectsRoot->children, created);
    // One ring of the three objects, without the template.
    EXPECT_EQ(ringOf(created[0]).size(), 3u);
    EXPECT_FALSE(created[0]->isInstanceOf(tmpl));
    EXPECT_EQ(e->refCount, 4);
    // With keepRing they join the template's ring.
    created.clear();
    scene.addObject(tmpl, ms, created, Scene::HangTop, false, true);
    EXPECT_TRUE(created[0]->isInstanceOf(tmpl));
    EXPECT_EQ(scene.addObject(tmpl, std::vector<mat4>{}, Scene::HangTop, false, false), nullptr);
}

TEST_F(SceneTest, AddObjectUnderEverySelectedInstanceOfTheParent) {
    Tool* tmpl = scene.addTool(newTool());
    Tool* a = place();
    Tool* b = place();
    a->joinInstances(b);
    scene.toList();
    ASSERT_TRUE(scene.selectObject(1));
    std::vector<Tool*> created;
    ASSERT_NE(scene.addObject(tmpl, {mat4::Identity()}, created, Scene::HangEntry, true, false), nullptr);
    EXPECT_EQ(created.size(), 2u);
    EXPECT_EQ(a->children.size(), 1u);
    EXPECT_EQ(b->children.size(), 1u);
    // The parents are deselected again.
    EXPECT_FALSE(a->isSelected());
    EXPECT_FALSE(b->isSelected());
}

TEST_F(SceneTest, PreviewListFollowsTheObjectIds) {
    Tool* tmpl = scene.addTool(newTool());
    place();
    place();
    scene.toList();
    scene.addObjectToList(tmpl, {mat4::Translation(1, 0, 0), mat4::Translation(2, 0, 0)}, Scene::HangEntry, false);
    EXPECT_EQ(scene.preview.size(), 2);
    // Nothing picked: placed at the top level.
    EXPECT_TRUE(near(scene.preview.matrices[1], mat4::Translation(2, 0, 0)));
    scene.addObjectToList(nullptr, {mat4::Identity()}, Scene::HangTop, false);
    EXPECT_EQ(scene.preview.size(), 2);
    scene.toList();
    EXPECT_TRUE(scene.preview.empty());
}

// ---- Copying ----

TEST_F(SceneTest, CopyAsChildCoincidesWithThePickedEntry) {
    Tool* top = place(nullptr, mat4::Translation(1, 2, 3));
    Tool* picked = place(top, mat4::Rotation(0.3f, 0.5f, 0.7f) * mat4::Translation(0, 4, 0));
    scene.toList();
    ASSERT_TRUE(scene.searchObject(2));
    std::vector<Tool*> created;
    Tool* copy = scene.copyObject(created, false, Scene::HangEntry);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->parent, picked);
    EXPECT_EQ(created, std::vector<Tool*>{copy});
    scene.toList();
    EXPECT_TRUE(near(world(copy), world(picked), 1e-4f));
}

TEST_F(SceneTest, CopyBesideThePickedEntry) {
    Tool* top = place(nullptr, mat4::Translation(1, 0, 0));
    Tool* child = place(top, mat4::Translation(0, 1, 0));
    scene.toList();
    EXPECT_EQ(scene.copyObject(false, Scene::HangTop), nullptr);  // nothing picked

    ASSERT_TRUE(scene.searchObject(1));
    Tool* topCopy = scene.copyObject(false, Scene::HangTop);
    ASSERT_NE(topCopy, nullptr);
    EXPECT_EQ(topCopy->parent, scene.objectsRoot);
    EXPECT_EQ(topCopy->children.size(), 1u);  // the subtree comes along
    EXPECT_TRUE(near(topCopy->matrix(), top->matrix()));

    scene.toList();
    ASSERT_TRUE(scene.searchObject(scene.findID(child)));
    Tool* childCopy = scene.copyObject(false, Scene::HangSelected);
    ASSERT_NE(childCopy, nullptr);
    EXPECT_EQ(childCopy->parent, top);
    EXPECT_EQ(top->children.size(), 2u);
}

// ---- Removing ----

TEST_F(SceneTest, RemoveObjectDeletesItAndRefreshesTheLists) {
    Tool* a = place();
    Tool* b = place(a);
    Tool* c = place();
    scene.toList();
    ASSERT_TRUE(scene.selectObject(2));
    scene.removeObject(b, false);
    EXPECT_TRUE(a->children.empty());
    EXPECT_EQ(scene.selectedEntry, nullptr);
    EXPECT_EQ(scene.pickedEntry, nullptr);
    // No entry names the deleted tool.
    EXPECT_EQ(scene.objects.tools, (std::vector<Tool*>{a, c}));
    EXPECT_EQ(scene.findObject(2), c);
}

TEST_F(SceneTest, RemoveObjectWithRingRemovesEverySelectedInstance) {
    Tool* a = place();
    Tool* b = place();
    Tool* c = place();
    a->joinInstances(b);
    scene.toList();
    scene.removeObject(a, true);
    EXPECT_EQ(scene.objectsRoot->children, std::vector<Tool*>{c});
}

// ---- Hierarchy walk ----

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
    ASSERT_TRUE(scene.findHiHierarchy(scene.findID(c), tools, ms, 0));
    EXPECT_TRUE(tools.empty());
    ASSERT_TRUE(scene.findHiHierarchy(scene.findID(top), tools, ms, -1));
    EXPECT_TRUE(tools.empty());
    EXPECT_FALSE(scene.findHiHierarchy(0, tools, ms, -1));
    EXPECT_FALSE(scene.findHiHierarchy(-2, tools, ms, -1));
    EXPECT_FALSE(scene.findHiHierarchy(99, tools, ms, -1));

    // The walk leaves no mark behind: removing another object deletes nothing else.
    for (Tool* t : {top, a, b, c}) EXPECT_FALSE(t->isTempMarked());
    Tool* other = place();
    scene.toList();
    scene.removeObject(other, false);
    EXPECT_EQ(scene.objects.size(), 4);
}

// ---- Elements ----

TEST_F(SceneTest, ToMeshRefusesMeshesAndElementsWithoutAMeshForm) {
    Mesh* cube = Mesh::Cube();
    Tool* a = place(nullptr, mat4::Identity(), cube);
    auto* curve = new ConvertibleElement(false);
    Tool* b = place(nullptr, mat4::Identity(), curve);
    scene.toList();
    EXPECT_FALSE(scene.ToMesh(cube));
    EXPECT_FALSE(scene.ToMesh(curve));
    EXPECT_FALSE(scene.ToMesh(nullptr));
    EXPECT_EQ(a->element, cube);
    EXPECT_EQ(b->element, curve);
}

TEST_F(SceneTest, ToMeshReplacesTheElementInEveryObjectShowingIt) {
    const int before = ConvertibleElement::alive;
    auto* curve = new ConvertibleElement(true);
    Tool* a = place(nullptr, mat4::Identity(), curve);
    Tool* b = place(a, mat4::Identity(), curve);
    Tool* c = place(nullptr, mat4::Identity(), new TestElement());
    scene.toList();
    ASSERT_TRUE(scene.ToMesh(curve));
    ASSERT_NE(a->element, nullptr);
    EXPECT_TRUE(a->element->isType(Element::TType::Mesh));
    EXPECT_EQ(a->element, b->element);
    EXPECT_EQ(a->element->refCount, 2);
    EXPECT_NE(c->element, a->element);
    EXPECT_EQ(ConvertibleElement::alive, before);  // the curve was freed with its last holder

    // An element that no listed object shows changes nothing.
    auto* unused = new ConvertibleElement(true);
    EXPECT_FALSE(scene.ToMesh(unused));
    delete unused;
}
