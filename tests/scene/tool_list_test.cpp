// The render list: flattening, transparency passes, drawn ids and the preview
// of a tool being placed (also through the scene's pick).

#include <memory>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool_list.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::near;
using tooltest::TestElement;

namespace {

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
    EXPECT_EQ(c->id, 2);
    EXPECT_TRUE(list.topLevel(2) == 0 && list.topLevel(4) == -1);
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
    EXPECT_TRUE(near(all.matrices[0], a->matrix() * one[0]));
    EXPECT_TRUE(near(all.matrices[2], b->matrix() * one[0]));
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
    delete gone;
}
