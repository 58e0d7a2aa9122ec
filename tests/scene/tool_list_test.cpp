// The render list: flattening, transparency passes, drawn ids, the preview of
// a tool being placed and the feature and auxiliary lists.

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "scene/root.h"
#include "scene/tool_list.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::near;
using tooltest::TestElement;

namespace {

struct Drawn {
    const Tool* tool;
    std::uint32_t objectId, itemId;
};

// A tool that records its drawing calls and answers the feature and
// auxiliary queries as told.
class RecordingTool : public Tool {
public:
    explicit RecordingTool(std::vector<Drawn>* log, Element* e = nullptr)
        : Tool(e, mat4::Identity(), pbr(), false), log_(log) {}
    void render(unsigned int objectId, const mat4&, unsigned int itemId) override {
        log_->push_back({this, objectId, itemId});
    }
    void renderFeatures(const mat4&, const bvec4&) override { log_->push_back({this, 1, 0}); }
    void renderAuxiliary(const mat4&, const bvec4&) override { log_->push_back({this, 2, 0}); }
    bool hasFeatures() override { return features; }
    bool hasAuxiliary() override { return auxiliary; }
    bool features = false;
    bool auxiliary = false;

protected:
    RecordingTool(TKind k, std::vector<Drawn>* log) : Tool(k, nullptr, mat4::Identity(), pbr(), false), log_(log) {}

private:
    std::vector<Drawn>* log_;
};

// A composite tool as the list sees it: its children's entries carry the
// child's position as their sub-index.
class ItemOwner : public RecordingTool {
public:
    explicit ItemOwner(std::vector<Drawn>* log) : RecordingTool(KindArray, log) {}
    void toList(std::vector<Tool*>& tools, std::vector<mat4>& matrices, std::vector<int>& parents,
                std::vector<int>& subIndices, mat4 m, int parentIndex, int subIndex) override {
        matrices.push_back(m);
        parents.push_back(parentIndex);
        subIndices.push_back(subIndex);
        const int k = int(tools.size());
        tools.push_back(this);
        for (std::size_t i = 0; i < children.size(); ++i)
            children[i]->toList(tools, matrices, parents, subIndices, m * matrix(), k, int(i));
    }
};

class ToolListTest : public ::testing::Test {
protected:
    RecordingTool* add(Tool* parent, const mat4& transform = mat4::Identity(), Element* e = nullptr) {
        auto* t = new RecordingTool(&log, e);
        t->transform = transform;
        parent->addChild(t, false);
        return t;
    }
    std::vector<Drawn> log;
    Root root;
};

}  // namespace

TEST_F(ToolListTest, EntriesCarryTheFrameTheyHangInAndTheirParentChain) {
    EXPECT_TRUE(ToolList(nullptr).empty());
    const mat4 ta = mat4::Translation(1, 0, 0), tb = mat4::Translation(0, 2, 0);
    RecordingTool* a = add(&root, ta);
    RecordingTool* b = add(a, tb);
    RecordingTool* c = add(b);
    RecordingTool* d = add(&root, tb);

    ToolList list(&root);
    EXPECT_EQ(list.tools, (std::vector<Tool*>{a, b, c, d}));
    EXPECT_EQ(list.parents, (std::vector<int>{0, 0, 1, 3}));
    EXPECT_EQ(list.subIndices, (std::vector<int>{-1, -1, -1, -1}));
    // The matrix excludes the tool's own matrix.
    EXPECT_TRUE(near(list.matrices[2], ta * tb));
    EXPECT_TRUE(near(list.matrices[3], mat4::Identity()));
    EXPECT_EQ(c->id, 2);
    EXPECT_EQ(list.topLevel(2), 0);
    EXPECT_EQ(list.topLevel(3), 3);
    EXPECT_EQ(list.topLevel(4), -1);
    EXPECT_EQ(list.topLevel(-1), -1);

    Root second;
    RecordingTool* y = add(add(&second));
    list.append(&second);
    EXPECT_EQ(list.parents, (std::vector<int>{0, 0, 1, 3, 4, 4}));
    EXPECT_EQ(y->id, 5);
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(list.matrices.empty() && list.parents.empty() && list.subIndices.empty());
}

TEST_F(ToolListTest, TransparencyPassesDrawEveryEntryExactlyOnce) {
    for (int i = 0; i < 6; ++i) add(&root)->material.colour.a = (i % 2) ? 0xFEFF : 0xFF00;
    Tool* t = root.children[0];
    EXPECT_FALSE(ToolList::isTransparent(t));
    t->flags |= Tool::FlagTransparent;
    EXPECT_TRUE(ToolList::isTransparent(t));
    t->flags &= std::uint8_t(~Tool::FlagTransparent);
    auto* e = new TestElement();
    e->transparent = 1;
    root.children[2]->setElement(e);
    EXPECT_TRUE(ToolList::isTransparent(root.children[2]));
    e->transparent = 0;

    ToolList list(&root);
    list.render(Tool::RenderOpaque, false, 0);
    EXPECT_EQ(log.size(), 3u);
    list.render(Tool::RenderTransparent, false, 0);
    ASSERT_EQ(log.size(), 6u);
    std::vector<int> seen(6, 0);
    for (const Drawn& d : log) ++seen[d.objectId - 1];
    EXPECT_EQ(seen, std::vector<int>(6, 1));
}

TEST_F(ToolListTest, SelectedOrMarkedEntriesCarryTheHighlightBit) {
    std::vector<RecordingTool*> t;
    for (int i = 0; i < 3; ++i) t.push_back(add(&root));
    t[1]->flags |= Tool::FlagSelected;
    t[2]->flags |= Tool::FlagTemp;
    ToolList list(&root);
    list.render(Tool::RenderAll, false, 10);  // an id base shifts every id
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].objectId, 11u);
    EXPECT_EQ(log[1].objectId, 0x8000000Cu);
    EXPECT_EQ(log[2].objectId, 0x8000000Du);
    EXPECT_EQ(log[1].itemId, 0xFFFFFFFFu);
}

TEST_F(ToolListTest, WithParentIdsGroupMembersAndItemsDrawTheirOwnersId) {
    auto* mesh = new TestElement();
    RecordingTool* group = add(&root);  // entry 0, empty: a group
    add(group, mat4::Identity(), mesh);  // entry 1
    RecordingTool* body = add(&root, mat4::Identity(), mesh);  // entry 2, has an element
    add(body, mat4::Identity(), mesh);  // entry 3
    group->flags |= Tool::FlagSelected;
    auto* owner = new ItemOwner(&log);
    root.addChild(owner, false);  // entry 4
    add(owner);                   // entry 5, sub-index 0
    add(owner);                   // entry 6, sub-index 1
    ToolList list(&root);
    EXPECT_EQ(list.subIndices, (std::vector<int>{-1, -1, -1, -1, -1, 0, 1}));
    list.render(Tool::RenderAll, true, 0);
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[1].objectId, 0x80000001u);  // the group's id and highlight
    EXPECT_EQ(log[2].objectId, 3u);           // top-level entries keep their own ids
    EXPECT_EQ(log[3].objectId, 4u);           // a child of a body: its own id
    EXPECT_EQ(log[4].itemId, 0xFFFFFFFFu);
    EXPECT_EQ(log[6].objectId, 5u);
    EXPECT_EQ(log[6].itemId, 1u);
    log.clear();
    list.render(Tool::RenderAll, false, 0);  // without parent ids everyone draws its own
    EXPECT_EQ(log[1].objectId, 2u);
}

TEST_F(ToolListTest, PreviewRepeatsTheSubtreePerPlacementAndPlacedParentInstance) {
    Tool* a = add(&root, mat4::Translation(1, 0, 0));
    Tool* b = add(&root, mat4::Translation(0, 3, 0));
    auto notPlaced = std::make_unique<Tool>(nullptr, mat4::Identity(), pbr(), false);
    a->flags |= Tool::FlagObject;
    b->flags |= Tool::FlagObject;
    a->joinInstances(b);
    a->joinInstances(notPlaced.get());  // no object bit: no preview under it
    ToolList objects(&root);

    RecordingTool tool(&log);
    auto* child = new RecordingTool(&log);
    tool.addChild(child, false);
    const std::vector<mat4> placements = {mat4::Translation(5, 0, 0), mat4::Translation(0, 0, 7)};
    ToolList top;
    top.append(&tool, placements, objects, nullptr, 0, true);
    EXPECT_EQ(top.parents, (std::vector<int>{0, 0, 2, 2}));
    EXPECT_EQ(top.tools[2], &tool);
    EXPECT_TRUE(near(top.matrices[2], placements[1]));
    EXPECT_EQ(child->id, -1);  // tool ids are not touched by a preview

    const std::vector<mat4> one = {mat4::Translation(0, 0, 2)};
    ToolList under;
    under.append(&tool, one, objects, a, a->id, false);
    ASSERT_EQ(under.size(), 2);
    EXPECT_TRUE(near(under.matrices[0], a->matrix() * one[0]));
    ToolList all;
    all.append(&tool, one, objects, a, a->id, true);
    ASSERT_EQ(all.size(), 4);
    EXPECT_TRUE(near(all.matrices[2], b->matrix() * one[0]));
}

TEST_F(ToolListTest, SortListsFeatureAndAuxiliaryEntriesAndTheirPassesDrawThem) {
    RecordingTool* a = add(&root);
    RecordingTool* b = add(&root);
    RecordingTool* c = add(&root);
    a->features = c->features = true;
    b->auxiliary = c->auxiliary = true;
    c->material.colour.a = 0;  // transparent
    ToolList list(&root);
    list.sort();
    EXPECT_EQ(list.features, (std::vector<int>{0, 2}));
    EXPECT_EQ(list.auxiliary, (std::vector<int>{1, 2}));
    list.renderFeatures(Tool::RenderOpaque, bvec4());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].tool, a);
    log.clear();
    list.renderAuxiliary(Tool::RenderAll, bvec4());
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].tool, b);
}
