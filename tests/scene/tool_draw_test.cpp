// What a tool hands its element to draw, the animation tick, and the scope
// of the material, emission, orientation, speed and delay setters.

#include <gtest/gtest.h>

#include <memory>

#include "scene/tool.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::newTool;
using tooltest::TestElement;

namespace {

const pbr sample(wvec4(100, 200, 300, 400), wvec4(500, 600, 700, 800), 900, -1000);

}  // namespace

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
    EXPECT_EQ(t->time, 3.0);
    EXPECT_EQ(e->firstTime, 3.0);  // the element's own step: unshifted

    const mat4 m = mat4::Translation(0, 0, -5);
    t->render(17, m, 42);
    EXPECT_TRUE(e->drawn.objectId == 17u && e->drawn.itemId == 42u && e->drawn.material == sample);
    EXPECT_TRUE(tooltest::near(e->drawn.m, m * t->matrix()));
    EXPECT_EQ(e->drawn.light, Element::ColorAsColor);
    EXPECT_FLOAT_EQ(e->drawn.time, 7.0f);  // (0.5 + 3) x 2
    t->changeColorIsLight(true, false, false);
    t->render(17, m, 42);
    EXPECT_EQ(e->drawn.light, Element::ColorAsLight);
}

TEST(ToolDraw, SettersReachTheRingObjectsInTheirScope) {
    std::unique_ptr<Tool> parentA(newTool()), parentB(newTool());
    Tool* a = parentA->addChild(newTool(nullptr, true), false);
    Tool* sibling = parentA->addChild(newTool(nullptr, true), false);
    Tool* plain = parentA->addChild(newTool(nullptr, false), false);  // no object bit
    Tool* other = parentB->addChild(newTool(nullptr, true), false);
    for (Tool* x : {sibling, plain, other}) a->joinInstances(x);

    a->changeSpeed(3.0f, true, true);
    EXPECT_TRUE(sibling->speed == 3.0f && other->speed == 1.0f && plain->speed == 1.0f);
    a->changeMaterial(sample, pbr::MaskAll, true, false);
    EXPECT_TRUE(other->material == sample && plain->material == pbr());
    plain->changeDelay(0.25f, false, false);  // without all: the tool itself, object bit or not
    EXPECT_TRUE(plain->delay == 0.25f && a->delay == 0.0f);

    a->flags |= Tool::FlagSelected | Tool::FlagColorIsLight;
    a->changeOrientation(Tool::OrientModel, false, false);
    a->changeOrientation(Tool::OrientViewer, false, false);
    EXPECT_EQ(a->orientation(), Tool::OrientViewer);  // replaced, not combined
    EXPECT_EQ(a->flags & 63, Tool::FlagCreated | Tool::FlagSelected | Tool::FlagObject | Tool::FlagColorIsLight);
}
