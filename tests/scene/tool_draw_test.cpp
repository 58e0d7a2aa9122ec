// What a tool hands its element to draw, the animation tick, and the scope
// of the material, emission, orientation, speed and delay setters.

#include <gtest/gtest.h>

#include <memory>

#include "scene/tool.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::newTool;

namespace {

// Records what it is given to draw and to animate.
class RecordingElement : public Element {
public:
    RecordingElement() : Element(TType::Mesh) {}
    void render(unsigned objectId_, unsigned itemId_, const mat4& m_, const pbr& material_, TColorLight light_,
                float time_, bool end_) override {
        objectId = objectId_;
        itemId = itemId_;
        m = m_;
        material = material_;
        light = light_;
        time = time_;
        end = end_;
    }
    bool animate(bool first, double t) override {
        animateFirst = first;
        animateTime = t;
        return true;
    }
    unsigned objectId = 0, itemId = 0;
    mat4 m;
    pbr material;
    TColorLight light = ColorAsColor;
    float time = -1.0f;
    bool end = false, animateFirst = false;
    double animateTime = -1.0;
};

const pbr sample(wvec4(100, 200, 300, 400), wvec4(500, 600, 700, 800), 900, -1000);

}  // namespace

TEST(ToolDraw, RenderHandsTheElementMatrixMaterialEmissionAndShiftedTime) {
    auto* e = new RecordingElement;
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
    EXPECT_TRUE(e->animateFirst);
    EXPECT_EQ(e->animateTime, 3.0);  // the element's own step: unshifted

    const mat4 m = mat4::Translation(0, 0, -5);
    t->render(17, m, 42);
    EXPECT_EQ(e->objectId, 17u);
    EXPECT_EQ(e->itemId, 42u);
    EXPECT_TRUE(tooltest::near(e->m, m * t->matrix()));
    EXPECT_EQ(e->material, sample);
    EXPECT_EQ(e->light, Element::ColorAsColor);
    EXPECT_FLOAT_EQ(e->time, 7.0f);  // (0.5 + 3) x 2
    EXPECT_TRUE(e->end);
    t->changeColorIsLight(true, false, false);
    t->render(17, m, 42);
    EXPECT_EQ(e->light, Element::ColorAsLight);
}

TEST(ToolDraw, SettersReachTheRingObjectsUnderTheSameParent) {
    std::unique_ptr<Tool> parentA(newTool());
    std::unique_ptr<Tool> parentB(newTool());
    Tool* a = parentA->addChild(newTool(nullptr, true), false);
    Tool* sibling = parentA->addChild(newTool(nullptr, true), false);
    Tool* plain = parentA->addChild(newTool(nullptr, false), false);  // no object bit
    Tool* other = parentB->addChild(newTool(nullptr, true), false);
    for (Tool* x : {sibling, plain, other}) a->joinInstances(x);

    a->changeColorIsLight(true, true, false);
    EXPECT_TRUE(other->flags & Tool::FlagColorIsLight);
    EXPECT_FALSE(plain->flags & Tool::FlagColorIsLight);
    a->changeSpeed(3.0f, true, true);
    EXPECT_EQ(sibling->speed, 3.0f);
    EXPECT_EQ(other->speed, 1.0f);  // another parent
    a->changeDelay(0.25f, true, false);
    EXPECT_EQ(other->delay, 0.25f);
    EXPECT_EQ(plain->delay, 0.0f);
    a->changeMaterial(sample, pbr::MaskAll, true, true);
    EXPECT_EQ(sibling->material, sample);
    EXPECT_EQ(other->material, pbr());
    // Without all only the tool itself changes, object bit or not.
    plain->changeSpeed(5.0f, false, false);
    EXPECT_EQ(plain->speed, 5.0f);
    EXPECT_EQ(a->speed, 3.0f);

    a->flags |= Tool::FlagSelected;
    a->changeOrientation(Tool::OrientModel, false, false);
    a->changeOrientation(Tool::OrientViewer, false, false);
    EXPECT_EQ(a->orientation(), Tool::OrientViewer);  // replaced, not combined
    EXPECT_EQ(a->flags & 63, Tool::FlagCreated | Tool::FlagSelected | Tool::FlagObject | Tool::FlagColorIsLight);
    EXPECT_EQ(sibling->orientation(), Tool::OrientPlain);
}
