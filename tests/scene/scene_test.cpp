// The scene: ids and lookups, selection, placing, copying and removing
// objects, the hierarchy walk and element conversion.

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

TEST_F(SceneTest, IdsFindObjectsTemplatesAndTopLevelAncestors) {
    Tool* tmpl = scene.addTool(newTool());
    Tool* top = place(nullptr, mat4::Translation(1, 0, 0));
    Tool* mid = place(top, mat4::Translation(0, 1, 0));
    Tool* leaf = place(mid);
    place();
    scene.toList();
    EXPECT_EQ(scene.findID(scene.objectsRoot), 0);
    EXPECT_EQ(scene.findID(tmpl), -1);
    EXPECT_EQ(scene.findID(nullptr), Scene::NotFound);
    EXPECT_EQ(scene.findObject(-1), tmpl);
    for (int bad : {5, -2, int(0x80000000)}) EXPECT_EQ(scene.findObject(bad), nullptr) << bad;
    leaf->id = 0;  // a changed id field: the lists still find the tool
    EXPECT_EQ(scene.findID(leaf), 3);

    ASSERT_TRUE(scene.searchObject(3));
    EXPECT_EQ(scene.pickedEntry, leaf);
    EXPECT_EQ(scene.pickedAncestor, top);
    EXPECT_EQ(scene.pickedIndex, 2);
    EXPECT_EQ(scene.pickedAncestorIndex, 0);
    for (int bad : {0, 5, -1, int(0x80000001)}) {
        EXPECT_FALSE(scene.searchObject(bad)) << bad;
        EXPECT_EQ(scene.pickedEntry, nullptr);
    }
    Tool *ancestor = nullptr, *entry = nullptr;
    mat4 am, em;
    ASSERT_TRUE(scene.searchObject(3, ancestor, entry, am, em, false));
    EXPECT_EQ(entry, leaf);
    EXPECT_TRUE(near(em, top->matrix() * mid->matrix()));
    EXPECT_EQ(scene.pickedEntry, nullptr);  // not remembered

    ASSERT_TRUE(scene.selectObject(2));
    EXPECT_EQ(scene.selectedEntry, mid);
    EXPECT_EQ(scene.selectedObject, top);
    EXPECT_FALSE(scene.selectObject(7));
    EXPECT_EQ(scene.selectedEntry, nullptr);
    ASSERT_TRUE(scene.selectObject(1));
    scene.deselect();
    EXPECT_EQ(scene.selectedObject, nullptr);
    EXPECT_EQ(scene.pickedEntry, nullptr);
}

TEST_F(SceneTest, AddObjectHangsWhereAskedAndRefusesWhatItCannotPlace) {
    auto* e = new TestElement();
    Tool* tmpl = scene.addTool(newTool(e));
    const mat4 m = mat4::Translation(3, 0, 0);
    Tool* obj = scene.addObject(tmpl, m, Scene::HangEntry, false);  // nothing selected: top level
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->parent, scene.objectsRoot);
    EXPECT_TRUE(obj->isObject());
    EXPECT_TRUE(near(obj->matrix(), m));
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
    EXPECT_EQ(last, created.back());
    EXPECT_EQ(created[0]->parent, scene.objectsRoot);
    EXPECT_EQ(ringOf(created[0]).size(), 3u);
    EXPECT_EQ(e->refCount, held + 3);
    created.clear();
    scene.addObject(tmpl, ms, created, Scene::HangTop, false, true);
    EXPECT_TRUE(created[0]->isInstanceOf(tmpl));
}

TEST_F(SceneTest, PreviewListFollowsTheObjectIds) {
    Tool* tmpl = scene.addTool(newTool());
    place();
    scene.toList();
    scene.addObjectToList(tmpl, {mat4::Translation(1, 0, 0), mat4::Translation(2, 0, 0)}, Scene::HangEntry, false);
    EXPECT_EQ(scene.preview.size(), 2);
    EXPECT_TRUE(near(scene.preview.matrices[1], mat4::Translation(2, 0, 0)));  // nothing picked: top level
    scene.toList();
    EXPECT_TRUE(scene.preview.empty());
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
    EXPECT_EQ(copy->parent, picked);
    EXPECT_EQ(created, std::vector<Tool*>{copy});
    scene.toList();
    EXPECT_TRUE(near(world(copy), world(picked), 1e-4f));
    // Beside the entry: a copy of the whole subtree under the same parent.
    ASSERT_TRUE(scene.searchObject(1));
    Tool* topCopy = scene.copyObject(false, Scene::HangTop);
    ASSERT_NE(topCopy, nullptr);
    EXPECT_EQ(topCopy->parent, scene.objectsRoot);
    ASSERT_EQ(topCopy->children.size(), 1u);
    EXPECT_EQ(topCopy->children[0]->children.size(), 1u);  // the whole subtree
    EXPECT_TRUE(near(topCopy->matrix(), top->matrix()));
}

TEST_F(SceneTest, RemoveObjectLeavesNoEntryNamingIt) {
    Tool* a = place();
    Tool* b = place(a);
    Tool* c = place();
    scene.toList();
    ASSERT_TRUE(scene.selectObject(2));
    scene.removeObject(b, false);
    EXPECT_TRUE(a->children.empty());
    EXPECT_EQ(scene.selectedEntry, nullptr);
    EXPECT_EQ(scene.pickedEntry, nullptr);
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
    EXPECT_TRUE(a->element->isType(Element::TType::Mesh));
    EXPECT_EQ(a->element, b->element);
    EXPECT_EQ(a->element->refCount, 2);
    EXPECT_EQ(ConvertibleElement::alive, before);  // the curve was freed with its last holder
    EXPECT_FALSE(scene.ToMesh(a->element));        // a mesh stays
}
