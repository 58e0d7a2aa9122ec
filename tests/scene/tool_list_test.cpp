// The render list: flattening with world matrices and parent chains, the
// transparency passes, the drawn ids, the preview of a tool being placed and
// the feature and auxiliary index lists.

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
    std::uint32_t objectId;
    std::uint32_t itemId;
    mat4 m;
};

// A tool that records its drawing calls and answers the feature and
// auxiliary queries as told.
class RecordingTool : public Tool {
public:
    explicit RecordingTool(std::vector<Drawn>* log, Element* e = nullptr)
        : Tool(e, mat4::Identity(), pbr(), false), log_(log) {}
    void render(unsigned int objectId, const mat4& m, unsigned int itemId) override {
        log_->push_back({this, objectId, itemId, m});
    }
    void renderFeatures(const mat4& m, const bvec4&) override { log_->push_back({this, 1, 0, m}); }
    void renderAuxiliary(const mat4& m, const bvec4&) override { log_->push_back({this, 2, 0, m}); }
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

// ---- Flattening ----

TEST_F(ToolListTest, EmptyRootGivesEmptyLists) {
    ToolList list(&root);
    list.sort();
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(list.features.empty());
    EXPECT_TRUE(list.auxiliary.empty());
    ToolList none(nullptr);
    EXPECT_TRUE(none.empty());
}

TEST_F(ToolListTest, EntriesCarryTheFrameTheyHangInAndTheirParentChain) {
    const mat4 ta = mat4::Translation(1, 0, 0), tb = mat4::Translation(0, 2, 0), tc = mat4::Translation(0, 0, 3);
    RecordingTool* a = add(&root, ta);
    RecordingTool* b = add(a, tb);
    RecordingTool* c = add(b, tc);
    RecordingTool* d = add(&root, tc);

    ToolList list(&root);
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list.tools, (std::vector<Tool*>{a, b, c, d}));
    EXPECT_EQ(list.parents, (std::vector<int>{0, 0, 1, 3}));
    EXPECT_EQ(list.subIndices, (std::vector<int>{-1, -1, -1, -1}));
    // The matrix excludes the tool's own matrix.
    EXPECT_TRUE(near(list.matrices[0], mat4::Identity()));
    EXPECT_TRUE(near(list.matrices[1], ta));
    EXPECT_TRUE(near(list.matrices[2], ta * tb));
    EXPECT_TRUE(near(list.matrices[3], mat4::Identity()));
    // Ids are the entry indices; the chain ends at the top-level entry.
    EXPECT_EQ(c->id, 2);
    EXPECT_EQ(d->id, 3);
    EXPECT_EQ(list.topLevel(2), 0);
    EXPECT_EQ(list.topLevel(3), 3);
    EXPECT_EQ(list.topLevel(4), -1);
    EXPECT_EQ(list.topLevel(-1), -1);
}

TEST_F(ToolListTest, AppendingShiftsParentIndicesAndClearKeepsNothing) {
    add(add(&root));
    Root second;
    RecordingTool* x = add(&second);
    RecordingTool* y = add(x);
    ToolList list(&root);
    list.append(&second);
    EXPECT_EQ(list.parents, (std::vector<int>{0, 0, 2, 2}));
    EXPECT_EQ(y->id, 3);
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(list.matrices.empty() && list.parents.empty() && list.subIndices.empty());
}

// ---- Transparency and passes ----

TEST_F(ToolListTest, TransparencyFollowsElementFlagAndAlpha) {
    Tool* t = add(&root);
    t->material.colour.a = 0xFF00;
    EXPECT_FALSE(ToolList::isTransparent(t));
    t->material.colour.a = 0xFEFF;
    EXPECT_TRUE(ToolList::isTransparent(t));
    t->material.colour.a = 0xFFFF;
    t->flags |= Tool::FlagTransparent;
    EXPECT_TRUE(ToolList::isTransparent(t));
    t->flags &= std::uint8_t(~Tool::FlagTransparent);
    auto* e = new TestElement();
    e->transparent = 1;
    t->setElement(e);
    EXPECT_TRUE(ToolList::isTransparent(t));
}

TEST_F(ToolListTest, PassesDrawEveryEntryExactlyOnce) {
    for (int i = 0; i < 6; ++i) add(&root)->material.colour.a = (i % 2) ? 0x1000 : 0xFFFF;
    ToolList list(&root);
    list.render(Tool::RenderAll, false, 0);
    EXPECT_EQ(log.size(), 6u);
    log.clear();
    list.render(Tool::RenderOpaque, false, 0);
    const std::size_t opaque = log.size();
    list.render(Tool::RenderTransparent, false, 0);
    EXPECT_EQ(opaque, 3u);
    ASSERT_EQ(log.size(), 6u);
    std::vector<int> seen(6, 0);
    for (const Drawn& d : log) ++seen[d.objectId - 1];
    EXPECT_EQ(seen, std::vector<int>(6, 1));
}

// ---- Drawn ids ----

TEST_F(ToolListTest, SelectedOrMarkedEntriesCarryTheHighlightBit) {
    std::vector<RecordingTool*> t;
    for (int i = 0; i < 6; ++i) t.push_back(add(&root));
    t[4]->flags |= Tool::FlagSelected;
    t[5]->flags |= Tool::FlagTemp;
    ToolList list(&root);
    list.render(Tool::RenderAll, false, 0);
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[3].objectId, 4u);
    EXPECT_EQ(log[4].objectId, 0x80000005u);
    EXPECT_EQ(log[5].objectId, 0x80000006u);
    EXPECT_EQ(log[4].itemId, 0xFFFFFFFFu);
    // An id base shifts every id.
    log.clear();
    list.render(Tool::RenderAll, false, 10);
    EXPECT_EQ(log[0].objectId, 11u);
}

TEST_F(ToolListTest, WithParentIdsGroupMembersDrawTheGroupId) {
    auto* mesh = new TestElement();
    RecordingTool* group = add(&root);               // entry 0, empty: a group
    RecordingTool* member = add(group, mat4::Identity(), mesh);  // entry 1
    RecordingTool* body = add(&root, mat4::Identity(), mesh);    // entry 2, has an element
    RecordingTool* part = add(body, mat4::Identity(), mesh);     // entry 3
    group->flags |= Tool::FlagSelected;
    ToolList list(&root);
    list.render(Tool::RenderAll, true, 0);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[1].tool, member);
    EXPECT_EQ(log[1].objectId, 0x80000001u);  // the group's id and highlight
    EXPECT_EQ(log[3].tool, part);
    EXPECT_EQ(log[3].objectId, 4u);  // its own id
    // Top-level entries (their parent is the root) keep their own ids.
    EXPECT_EQ(log[2].objectId, 3u);
    // Without parent ids everyone draws its own.
    log.clear();
    list.render(Tool::RenderAll, false, 0);
    EXPECT_EQ(log[1].objectId, 2u);
}

TEST_F(ToolListTest, WithParentIdsItemsDrawTheirOwnersIdAndSubIndex) {
    auto* owner = new ItemOwner(&log);
    root.addChild(owner, false);  // entry 0
    add(owner);                   // entry 1, sub-index 0
    add(owner);                   // entry 2, sub-index 1
    ToolList list(&root);
    EXPECT_EQ(list.subIndices, (std::vector<int>{-1, 0, 1}));
    list.render(Tool::RenderAll, true, 5);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].objectId, 6u);
    EXPECT_EQ(log[0].itemId, 0xFFFFFFFFu);
    EXPECT_EQ(log[2].objectId, 6u);
    EXPECT_EQ(log[2].itemId, 1u);
}

// ---- Preview ----

TEST_F(ToolListTest, PreviewAppendsTheSubtreeOncePerPlacement) {
    Root objectsRoot;
    ToolList objects(&objectsRoot);
    RecordingTool tool(&log);
    auto* child = new RecordingTool(&log);
    child->transform = mat4::Translation(0, 1, 0);
    tool.addChild(child, false);
    const std::vector<mat4> placements = {mat4::Translation(5, 0, 0), mat4::Translation(0, 0, 7)};

    ToolList preview;
    preview.append(&tool, placements, objects, nullptr, 0, true);
    ASSERT_EQ(preview.size(), 4);
    EXPECT_EQ(preview.parents, (std::vector<int>{0, 0, 2, 2}));
    EXPECT_EQ(preview.tools[2], &tool);
    EXPECT_TRUE(near(preview.matrices[2], placements[1]));
    EXPECT_TRUE(near(preview.matrices[3], placements[1] * tool.matrix()));
    // Tool ids are not touched by a preview.
    EXPECT_EQ(child->id, -1);
}

TEST_F(ToolListTest, PreviewUnderAParentRepeatsUnderItsPlacedInstances) {
    Root objectsRoot;
    Tool* a = new Tool(nullptr, mat4::Translation(1, 0, 0), pbr(), false);
    Tool* b = new Tool(nullptr, mat4::Translation(0, 3, 0), pbr(), false);
    Tool* notPlaced = new Tool(nullptr, mat4::Identity(), pbr(), false);
    a->flags |= Tool::FlagObject;
    b->flags |= Tool::FlagObject;
    objectsRoot.addChild(a, false);
    objectsRoot.addChild(b, false);
    a->joinInstances(b);
    a->joinInstances(notPlaced);  // no object bit: no preview under it
    ToolList objects(&objectsRoot);

    RecordingTool tool(&log);
    const std::vector<mat4> one = {mat4::Translation(0, 0, 2)};
    ToolList preview;
    preview.append(&tool, one, objects, a, a->id, false);
    ASSERT_EQ(preview.size(), 1);
    EXPECT_TRUE(near(preview.matrices[0], a->matrix() * one[0]));

    ToolList all;
    all.append(&tool, one, objects, a, a->id, true);
    ASSERT_EQ(all.size(), 2);
    EXPECT_TRUE(near(all.matrices[1], b->matrix() * one[0]));
    delete notPlaced;
}

// ---- Features and auxiliary ----

TEST_F(ToolListTest, SortListsFeatureAndAuxiliaryEntriesAndTheirPassesDrawThem) {
    RecordingTool* a = add(&root);
    RecordingTool* b = add(&root);
    RecordingTool* c = add(&root);
    a->features = true;
    c->features = true;
    c->auxiliary = true;
    b->auxiliary = true;
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
    EXPECT_EQ(log[1].objectId, 2u);
}
