// The array tool: its item slots, the three clone forms with their
// templates, marking, deletion and the element setter.

#include "tools/array.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "curves/curve.h"
#include "scene/root.h"
#include "scene/tool_test_util.h"

using namespace qel;
using tooltest::ringOf;
using tooltest::TestElement;

namespace {

bool sameBits(const mat4& a, const mat4& b) { return std::memcmp(&a, &b, sizeof(mat4)) == 0; }

class ArrayTest : public ::testing::Test {
protected:
    // Items a, none, b on a three-point line; a Zipper with two entries.
    ArrayTest() {
        array = std::make_unique<Array>(line, std::vector<Tool*>{&a, nullptr, &b},
                                        std::vector<std::int32_t>{0x8001, 0x10002}, Array::Zipper,
                                        mat4::Mirror(vec3(0, 1, 0)), mat4::Translation(1, 2, 3), pbr(), true);
    }

    Curve* line = new Curve({vec3(0, 0, 0), vec3(1, 0, 0), vec3(2, 1, 0)}, false);
    Tool a{new TestElement(), mat4::Scale(2), pbr(), false};
    Tool b{new TestElement(), mat4::Identity(), pbr(), false};
    std::unique_ptr<Array> array;
};

}  // namespace

TEST_F(ArrayTest, ANullItemKeepsAnEmptySlotAndTheOthersAreOwnedCopies) {
    ASSERT_EQ(array->items.size(), 3u);
    EXPECT_EQ(array->items[1], nullptr);
    for (int k : {0, 2}) {
        Tool* source = k == 0 ? &a : &b;
        Tool* t = array->items[std::size_t(k)];
        ASSERT_TRUE(t && t != source);
        EXPECT_EQ(t->parent, array.get());
        EXPECT_EQ(t->element, source->element);
        EXPECT_EQ(ringOf(source).size(), 2u);  // the copy joined the item's ring
    }
    EXPECT_TRUE(array->children.empty());
    EXPECT_EQ(array->curve, line);
    EXPECT_EQ(array->element, line);
    EXPECT_EQ(line->refCount, 1);
    EXPECT_TRUE(array->isEmpty() && array->isArray());
    EXPECT_EQ(array->kind, Tool::KindArray);
}

TEST_F(ArrayTest, EveryCloneFormSharesTheCurveAndCopiesTheTemplates) {
    array->addChild(new Tool(nullptr, mat4::Identity(), pbr(), false), false);
    const mat4 placement = mat4::Translation(5, 0, 0);
    for (int form = 0; form < 3; ++form) {
        const int before = line->refCount;
        Tool* c = form == 0   ? array->cloneTool(true)
                  : form == 1 ? array->cloneObject(placement, false, false)
                              : array->cloneObjectRamifications(placement, false);
        auto* copy = dynamic_cast<Array*>(c);
        ASSERT_TRUE(copy) << form;
        EXPECT_EQ(line->refCount, before + 1) << form;
        EXPECT_EQ(copy->curve, line);
        EXPECT_EQ(copy->pattern, array->pattern);
        EXPECT_EQ(copy->type, Array::Zipper);
        EXPECT_TRUE(sameBits(copy->step, array->step));
        EXPECT_EQ(copy->children.size(), 1u);
        EXPECT_EQ(copy->isObject(), form != 0);
        EXPECT_TRUE(copy->flags & Tool::FlagTransparent);
        ASSERT_EQ(copy->items.size(), 3u);
        EXPECT_EQ(copy->items[1], nullptr);
        for (int k : {0, 2}) {
            Tool* t = copy->items[std::size_t(k)];
            ASSERT_TRUE(t && t != array->items[std::size_t(k)]);
            EXPECT_EQ(t->parent, copy);
            EXPECT_EQ(t->element, array->items[std::size_t(k)]->element);
        }
        delete c;
        EXPECT_EQ(line->refCount, before);
    }
}

TEST_F(ArrayTest, ATemplateReachedTwiceInOnePassIsCopiedOnceAndAnUnmarkedOneLeavesItsSlotEmpty) {
    // A copy made earlier in the pass is taken again.
    array->Mark(1);
    Tool* early = array->items[0]->CloneTool(true, false);
    std::unique_ptr<Tool> copy(array->CloneTool(true, false));
    auto* c = static_cast<Array*>(copy.get());
    EXPECT_EQ(c->items[0], early);
    EXPECT_EQ(early->parent, c);

    // Cloned without marking, only the marked template is copied; the
    // others keep their slots, so item 3 still names the third slot.
    array->Mark(0);
    array->items[2]->Mark(1);
    std::unique_ptr<Tool> partial(array->CloneTool(true, false));
    auto* p = static_cast<Array*>(partial.get());
    ASSERT_EQ(p->items.size(), 3u);
    EXPECT_EQ(p->items[0], nullptr);
    EXPECT_NE(p->items[2], nullptr);
    array->Mark(0);
}

TEST_F(ArrayTest, DeletingAnArrayDeletesItsTemplatesButNotACurveShownElsewhere) {
    Tool other(line, mat4::Identity(), pbr(), false);
    array.reset();
    EXPECT_EQ(ringOf(&a).size(), 1u);  // its template left the ring with its life
    EXPECT_EQ(ringOf(&b).size(), 1u);
    EXPECT_EQ(line->refCount, 1);
    EXPECT_EQ(other.element, line);
}

TEST_F(ArrayTest, TheElementSetterKeepsTheCurveFollowingTheElement) {
    EXPECT_EQ(array->setElement(line), 0);
    EXPECT_EQ(line->refCount, 1);
    Tool other(line, mat4::Identity(), pbr(), false);
    Curve* next = new Curve({vec3(0, 0, 0), vec3(0, 1, 0)}, false);
    EXPECT_EQ(array->setElement(next), 1);  // the line is still shown by the other tool
    EXPECT_EQ(array->curve, next);
    EXPECT_EQ(line->refCount, 1);
    EXPECT_EQ(array->setElement(nullptr), 2);
    EXPECT_EQ(array->curve, nullptr);
}

TEST_F(ArrayTest, MarksReachTheTemplatesAndRemovalOnlyTheMarkedToolsBelowThem) {
    Tool* below = array->items[0]->addChild(new Tool(nullptr, mat4::Identity(), pbr(), false), false);
    array->markRamifications(3);
    EXPECT_EQ(array->items[2]->mark(), 3);
    EXPECT_EQ(below->mark(), 3);
    array->Mark(0);
    EXPECT_EQ(below->mark(), 0);
    below->flags |= Tool::FlagTemp;
    array->items[2]->flags |= Tool::FlagTemp;
    array->removeTools();
    EXPECT_TRUE(array->items[0]->children.empty());
    EXPECT_NE(array->items[2], nullptr);
}

TEST(ArrayDeletion, TemplatesSharingOneRingDeleteAsFastAsLoneOnes) {
    // n arrays whose templates all join one ring (as placed copies of one
    // array do), and n arrays whose templates stand alone.
    const int n = 20000;
    using Clock = std::chrono::steady_clock;
    double seconds[2] = {0, 0};
    for (int shared = 0; shared < 2; ++shared) {
        Tool item(new TestElement(), mat4::Identity(), pbr(), false);
        Array source(nullptr, {&item}, {0x8001}, Array::Simple, mat4::Identity(), mat4::Identity(), pbr(), false);
        auto* root = new Root();
        for (int i = 0; i < n; ++i) {
            auto* copy = static_cast<Array*>(source.cloneObject(mat4::Identity(), shared != 0, false));
            if (!shared) copy->items[0]->removeInstance();
            root->addChild(copy, false);
        }
        const Clock::time_point t0 = Clock::now();
        delete root;
        seconds[shared] = std::chrono::duration<double>(Clock::now() - t0).count();
        EXPECT_EQ(ringOf(&item).size(), 2u);  // the item and the source's template
    }
    // A walk along the ring per template made it hundreds of times as slow.
    EXPECT_LT(seconds[1], 4 * seconds[0] + 0.01);
}
