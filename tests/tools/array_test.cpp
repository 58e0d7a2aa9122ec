// The array tool: item slots, the clone forms with their templates,
// deletion and the element setter.

#include "tools/array.h"

#include <gtest/gtest.h>

#include <memory>

#include "curves/curve.h"
#include "scene/root.h"
#include "scene/tool_test_util.h"

using namespace qel;
using tooltest::ringOf;
using tooltest::TestElement;

namespace {

class ArrayTest : public ::testing::Test {
protected:
    Curve* line = new Curve({vec3(0, 0, 0), vec3(1, 0, 0)}, false);
    Tool item{new TestElement(), mat4::Scale(2), pbr(), false};
    std::unique_ptr<Array> array{new Array(line, {&item, nullptr, &item}, {0x8001, 0x10003}, Array::Zipper,
                                           mat4::Scale(1, -1, 1), mat4::Identity(), pbr(), false)};
};

}  // namespace

TEST_F(ArrayTest, ANullItemKeepsAnEmptySlotAndEveryCloneFormCopiesTheTemplates) {
    ASSERT_EQ(array->items.size(), 3u);
    EXPECT_EQ(array->items[1], nullptr);
    EXPECT_EQ(array->items[0]->parent, array.get());
    EXPECT_TRUE(array->children.empty() && array->curve == line && line->refCount == 1);
    for (int form = 0; form < 3; ++form) {
        const std::unique_ptr<Tool> c(form == 0   ? array->cloneTool(true)
                                      : form == 1 ? array->cloneObject(mat4::Identity(), false, false)
                                                  : array->cloneObjectRamifications(mat4::Identity(), false));
        auto* copy = dynamic_cast<Array*>(c.get());
        ASSERT_TRUE(copy);
        EXPECT_EQ(line->refCount, 2);
        EXPECT_TRUE(copy->pattern == array->pattern && copy->type == Array::Zipper && copy->step == array->step);
        ASSERT_EQ(copy->items.size(), 3u);
        EXPECT_EQ(copy->items[1], nullptr);
        EXPECT_TRUE(copy->items[0] != array->items[0] && copy->items[0]->element == item.element);
        EXPECT_EQ(copy->items[2]->parent, copy);
    }
}

TEST_F(ArrayTest, ATemplateReachedTwiceIsCopiedOnceAndAnUnmarkedOneKeepsItsSlotEmpty) {
    array->Mark(1);
    Tool* early = array->items[0]->CloneTool(true, false);
    const std::unique_ptr<Tool> copy(array->CloneTool(true, false));
    EXPECT_EQ(static_cast<Array*>(copy.get())->items[0], early);
    EXPECT_EQ(early->parent, copy.get());
    // Cloned without the marking pass: item 3 must still name the third slot.
    array->Mark(0);
    array->items[2]->Mark(1);
    const std::unique_ptr<Tool> partial(array->CloneTool(true, false));
    const auto& slots = static_cast<Array*>(partial.get())->items;
    ASSERT_EQ(slots.size(), 3u);
    EXPECT_TRUE(slots[0] == nullptr && slots[2] != nullptr);
}

TEST_F(ArrayTest, DeletionTakesTheTemplatesButNotACurveShownElsewhere) {
    const Tool other(line, mat4::Identity(), pbr(), false);
    EXPECT_EQ(array->setElement(line), 0);
    EXPECT_EQ(line->refCount, 2);
    array.reset();
    EXPECT_EQ(ringOf(&item).size(), 1u);  // both templates are gone
    EXPECT_EQ(line->refCount, 1);
}

namespace {

// A template that counts, when it is deleted, the members of the ring it is
// still in: the steps its own leaving of the ring walks.
class RingCountingTool : public Tool {
public:
    static std::size_t walked;
    RingCountingTool() : Tool(nullptr, mat4::Identity(), pbr(), false) {}
    ~RingCountingTool() override {
        const Tool* x = this;
        do {
            ++walked;
            x = x->nextInstance;
        } while (x != this);
    }
};
std::size_t RingCountingTool::walked = 0;

}  // namespace

TEST(ArrayDeletion, TemplatesSharingOneRingLeaveItTogetherBeforeEachIsDeleted) {
    // The templates of n arrays share one ring with a tool that stays. Were
    // each template to leave the ring on its own as it is deleted, each
    // would walk the ring left: n (n + 1) / 2 steps, quadratic in n.
    const std::size_t n = 1000;
    Tool stays(new TestElement(), mat4::Identity(), pbr(), false);
    auto* root = new Root();
    for (std::size_t i = 0; i < n; ++i) {
        auto* array =
            new Array(nullptr, {nullptr}, {0x8001}, Array::Simple, mat4::Identity(), mat4::Identity(), pbr(), false);
        Tool* item = array->setItem(0, new RingCountingTool());
        stays.joinInstances(item);
        root->addChild(array, false);
    }
    ASSERT_EQ(ringOf(&stays, 2 * n).size(), n + 1);
    RingCountingTool::walked = 0;
    delete root;
    // Each template was alone in its ring when deleted: one step each.
    EXPECT_EQ(RingCountingTool::walked, n);
    EXPECT_EQ(ringOf(&stays).size(), 1u);
}

// The tick of an array reaches its items: an item whose element moves with
// time makes the array report a move.
TEST_F(ArrayTest, AnItemThatMovesWithTimeMakesTheArrayTickAsMoving) {
    EXPECT_FALSE(array->timer());
    auto* shown = static_cast<TestElement*>(array->items[2]->element);
    TestElement moving;
    moving.animates = true;
    shown->subs.push_back(&moving);
    EXPECT_TRUE(array->timer());
    shown->subs.clear();
}
