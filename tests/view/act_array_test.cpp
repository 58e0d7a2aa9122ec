// The structural records on the entries an array lays: every copy of a
// template stands for the array, whose templates no record may delete or
// move on their own.

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "curves/curve.h"
#include "mesh/mesh.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "tools/array.h"
#include "tools/bi_tool.h"
#include "view/act_link.h"
#include "view/act_remove.h"
#include "view/act_structure.h"
#include "view/glview.h"

using namespace qel;

namespace {

// objects root
//   lone
//   array on a three-vertex curve, two copies of its template: an empty
//   group holding a cube, itself holding a second cube
class ActArrayTest : public ::testing::Test {
protected:
    ActArrayTest() {
        lone = place(new Tool(nullptr, mat4::Translation(5, 0, 0), pbr(), false));
        Tool group(nullptr, mat4::Identity(), pbr(), false);
        group.addChild(new Tool(Mesh::Cube(), mat4::Scale(0.5f), pbr(), false), false)
            ->addChild(new Tool(Mesh::Cube(), mat4::Translation(0, 1, 0), pbr(), false), false);
        array = static_cast<Array*>(place(new Array(new Curve({vec3(0, 0, 0), vec3(1, 0, 0), vec3(2, 0, 0)}, false),
                                                    {&group}, {0x8001}, Array::Simple, mat4::Identity(),
                                                    mat4::Identity(), pbr(), false)));
        scene.toList();
    }
    Tool* place(Tool* t) {
        t->flags |= Tool::FlagObject;
        return scene.objectsRoot->addChild(t, false);
    }
    // The id a click on entry i gives, with Groups on or off.
    int clickId(int i, bool groups) const {
        std::uint32_t objectId = 0, itemId = 0;
        scene.objects.drawIds(i, groups, 0, objectId, itemId);
        return int(objectId & ~ToolList::HighlightBit);
    }
    // The objects list: each entry's tool as the index of its first entry,
    // its parent entry and its ring.
    std::string shape() {
        scene.toList();
        std::ostringstream o;
        for (int i = 0; i < scene.objects.size(); ++i) {
            Tool* t = scene.objects.tools[std::size_t(i)];
            o << scene.findID(t) << '<' << scene.objects.parents[std::size_t(i)] << " ring";
            Tool* x = t;
            do {
                o << ' ' << scene.findID(x);
                x = x->nextInstance;
            } while (x != t);
            o << '\n';
        }
        return o.str();
    }
    Array* currentArray() const { return static_cast<Array*>(scene.objectsRoot->children.at(1)); }

    GLView view{64, 48};
    Scene& scene = *view.scene;
    Tool* lone;
    Array* array;
};

}  // namespace

TEST_F(ActArrayTest, RemovingAnyEntryOfACopyRemovesTheWholeArrayAndUndoBringsItBack) {
    const std::string before = shape();
    const int count = scene.objects.size();
    ASSERT_EQ(count, 8);  // lone, the array, two copies of three tools
    for (const bool groups : {false, true}) {
        for (int entry = 2; entry < count; ++entry) {
            SCOPED_TRACE(testing::Message() << "groups " << groups << " entry " << entry);
            const int id = clickId(entry, groups);
            ASSERT_GT(id, 1);
            view.pushAct(new ActObjectRemove(&scene, id));
            ASSERT_EQ(scene.objects.size(), 1);
            EXPECT_EQ(scene.objects.tools[0], lone);
            view.UNDO();
            EXPECT_EQ(shape(), before);
            view.REDO();
            EXPECT_EQ(scene.objects.size(), 1);
            view.UNDO();
            EXPECT_EQ(shape(), before);
            // The restored array lays the restored template.
            const Array* a = currentArray();
            ASSERT_EQ(a->items.size(), 1u);
            EXPECT_EQ(scene.objects.tools[2], a->items[0]);
            EXPECT_EQ(a->items[0]->parent, a);
        }
    }
}

TEST_F(ActArrayTest, LinkAndUnlinkOnACopyMoveTheArrayNeverItsTemplate) {
    Tool* templ = array->items[0];
    const int copyId = clickId(2, false);
    ASSERT_EQ(scene.objects.tools[std::size_t(copyId - 1)], templ);

    ActObjectLink link(&scene, copyId, scene.findID(lone));
    link.apply();
    EXPECT_TRUE(array->isInstanceOf(lone));
    EXPECT_FALSE(templ->isInstanced());
    ActObjectUnlink unlink(&scene, clickId(5, false));
    unlink.apply();
    EXPECT_FALSE(array->isInstanced());
    unlink.apply();
    EXPECT_TRUE(array->isInstanceOf(lone));
    link.apply();
    EXPECT_FALSE(array->isInstanced() || lone->isInstanced() || templ->isInstanced());
}

TEST_F(ActArrayTest, EraseAndUndoOfCreatedObjectsLeaveTheTemplatesInPlace) {
    // Erasing a tool of the template through its pointer takes the array.
    EXPECT_TRUE(view.erase(array->items[0]->children[0], 0, 0));
    EXPECT_EQ(scene.objects.size(), 1);
    view.UNDO();
    array = currentArray();
    // Ids naming a template (a list rebuilt since they were taken) delete
    // nothing of the array; a tool the template holds goes as any child.
    deleteSceneObjects(scene, {clickId(2, false), clickId(5, false)});
    EXPECT_EQ(scene.objects.size(), 8);
    deleteSceneObjects(scene, {clickId(4, false)});
    EXPECT_EQ(scene.objects.size(), 6);
    EXPECT_EQ(scene.objects.tools[2], array->items[0]);
}

TEST(ActNestedArrayTest, EveryEntryOfNestedArraysStandsForTheOutermostAndRemovesIt) {
    // objects root: lone, then an array of two copies of an inner array,
    // itself laying two copies of a cube.
    GLView view{64, 48};
    Scene& scene = *view.scene;
    auto place = [&](Tool* t) {
        t->flags |= Tool::FlagObject;
        return scene.objectsRoot->addChild(t, false);
    };
    Tool* lone = place(new Tool(nullptr, mat4::Translation(5, 0, 0), pbr(), false));
    Tool cube(Mesh::Cube(), mat4::Scale(0.5f), pbr(), false);
    Array inner(new Curve({vec3(0, 0, 0), vec3(0, 1, 0), vec3(0, 2, 0)}, false), {&cube}, {0x8001}, Array::Simple,
                mat4::Identity(), mat4::Identity(), pbr(), false);
    Tool* outer = place(new Array(new Curve({vec3(0, 0, 0), vec3(1, 0, 0), vec3(2, 0, 0)}, false), {&inner}, {0x8001},
                                  Array::Simple, mat4::Identity(), mat4::Identity(), pbr(), false));
    scene.toList();
    const int count = scene.objects.size();
    ASSERT_GT(count, 4);
    for (int entry = 1; entry < count; ++entry) {
        SCOPED_TRACE(testing::Message() << "entry " << entry);
        std::uint32_t objectId = 0, itemId = 0;
        scene.objects.drawIds(entry, false, 0, objectId, itemId);
        const int id = int(objectId & ~ToolList::HighlightBit);
        ASSERT_GT(id, 1);
        EXPECT_EQ(scene.findPlacedObject(id), outer);
        view.pushAct(new ActObjectRemove(&scene, id));
        scene.toList();
        ASSERT_EQ(scene.objects.size(), 1);
        EXPECT_EQ(scene.objects.tools[0], lone);
        view.UNDO();
        scene.toList();
        ASSERT_EQ(scene.objects.size(), count);
        outer = scene.objectsRoot->children.at(1);
    }
}

// Ids may name both ends of a two-ended pair, an end and a tool inside the
// other end, or an end twice (a record replayed on a list whose positions
// moved since it was made): each tool is deleted once, with its partner and
// its subtree, and the rest of the scene stays.
TEST(ActDeleteObjectsTest, IdsNamingBothEndsOfAPairDeleteEachToolOnce) {
    const int namings[][3] = {{0, 1, -1}, {1, 0, -1}, {0, 1, 0}, {0, 2, -1}, {2, 0, 1}};
    for (const auto& named : namings) {
        SCOPED_TRACE(testing::Message() << named[0] << ' ' << named[1] << ' ' << named[2]);
        GLView view{64, 48};
        Scene& scene = *view.scene;
        auto place = [&](Tool* t) {
            t->flags |= Tool::FlagObject;
            return scene.objectsRoot->addChild(t, false);
        };
        Tool* lone = place(new Tool(nullptr, mat4::Translation(5, 0, 0), pbr(), false));
        auto* a = new BiTool(BiTool::BiPlain, nullptr, mat4::Identity(), pbr(), false);
        auto* b = new BiTool(BiTool::BiPlain, nullptr, mat4::Translation(1, 0, 0), pbr(), false);
        place(a);
        place(b);
        a->setPartner(b);
        Tool* inB = b->addChild(new Tool(Mesh::Cube(), mat4::Identity(), pbr(), false), false);
        scene.toList();
        ASSERT_EQ(scene.objects.size(), 4);
        const std::size_t ends = BiTool::Alive;
        Tool* const tools[] = {a, b, inB};
        std::vector<std::int32_t> ids;
        for (const int k : named)
            if (k >= 0) ids.push_back(scene.findID(tools[k]));
        deleteSceneObjects(scene, ids);
        ASSERT_EQ(scene.objects.size(), 1);
        EXPECT_EQ(scene.objects.tools[0], lone);
        EXPECT_EQ(scene.objectsRoot->children, std::vector<Tool*>{lone});
        EXPECT_EQ(BiTool::Alive, ends - 2);
    }
    // An end hung under its partner goes alone: the partner holding it stays,
    // unlinked.
    GLView view{64, 48};
    Scene& scene = *view.scene;
    auto* b = new BiTool(BiTool::BiPlain, nullptr, mat4::Identity(), pbr(), false);
    b->flags |= Tool::FlagObject;
    scene.objectsRoot->addChild(b, false);
    auto* a =
        static_cast<BiTool*>(b->addChild(new BiTool(BiTool::BiPlain, nullptr, mat4::Identity(), pbr(), false), false));
    a->setPartner(b);
    scene.toList();
    deleteSceneObjects(scene, {scene.findID(a), scene.findID(a)});
    ASSERT_EQ(scene.objects.size(), 1);
    EXPECT_EQ(scene.objects.tools[0], b);
    EXPECT_TRUE(b->children.empty() && b->partner == nullptr);
}
