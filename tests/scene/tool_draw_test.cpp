// What a tool hands its element to draw, the animation tick, and the masked
// material, emission, orientation, speed and delay setters with their scope.
// No GL: the element records what it is given.

#include <gtest/gtest.h>

#include <memory>

#include "scene/tool.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::newTool;

namespace {

class RecordingElement : public Element {
public:
    RecordingElement() : Element(TType::Mesh) {}
    void render(unsigned objectId_, unsigned itemId_, const mat4& m_, const pbr& material_, TColorLight light_,
                float time_, bool end_) override {
        ++renders;
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
    int renders = 0;
    unsigned objectId = 0, itemId = 0;
    mat4 m;
    pbr material;
    TColorLight light = ColorAsColor;
    float time = -1.0f;
    bool end = false, animateFirst = false;
    double animateTime = -1.0;
};

// Counts the render transforms it forms.
class CountingTool : public Tool {
public:
    CountingTool() : Tool(nullptr, mat4::Identity(), pbr(), false) {}
    mat4 transformRender(const mat4& m) override {
        ++transforms;
        return Tool::transformRender(m);
    }
    int transforms = 0;
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

    CountingTool empty;
    empty.render(1, m, 0);
    empty.renderFeatures(m, bvec4());
    EXPECT_EQ(empty.transforms, 0);
    EXPECT_FALSE(empty.hasFeatures());
}

TEST(ToolDraw, ChangeMaterialCopiesOnlyTheMaskedChannels) {
    std::unique_ptr<Tool> t(newTool());
    const pbr before = t->material;
    t->changeMaterial(sample, 0, false, false);
    EXPECT_EQ(t->material, before);
    t->changeMaterial(sample, pbr::MaskOpacity, false, false);
    EXPECT_EQ(t->material.colour, wvec4(65535, 65535, 65535, 400));
    EXPECT_EQ(t->material.light, before.light);
    t->changeMaterial(sample, pbr::MaskThickness, false, false);
    EXPECT_EQ(t->material.light, wvec4(0, 0, 0, 800));
    t->changeMaterial(sample, pbr::MaskColour | pbr::MaskLight, false, false);
    EXPECT_EQ(t->material.colour, sample.colour);
    EXPECT_EQ(t->material.light, sample.light);
    EXPECT_EQ(t->material.roughness, 0);

    pbr extreme = sample;
    extreme.roughness = 32767;
    extreme.metalness = -32768;
    t->changeMaterial(extreme, pbr::MaskRoughness | pbr::MaskMetalness, false, false);
    EXPECT_EQ(t->material.roughness, 32766);
    EXPECT_EQ(t->material.metalness, -32766);
    t->changeMaterial(sample, 255, false, false);
    EXPECT_EQ(t->material, sample);
}

TEST(ToolDraw, SettersReachTheRingObjectsUnderTheSameParent) {
    std::unique_ptr<Tool> parentA(newTool());
    std::unique_ptr<Tool> parentB(newTool());
    Tool* a = parentA->addChild(newTool(nullptr, true), false);
    Tool* sibling = parentA->addChild(newTool(nullptr, true), false);
    Tool* plain = parentA->addChild(newTool(nullptr, false), false);  // no object bit
    Tool* other = parentB->addChild(newTool(nullptr, true), false);
    a->joinInstances(sibling);
    a->joinInstances(plain);
    a->joinInstances(other);

    a->changeColorIsLight(true, true, false);
    EXPECT_TRUE(sibling->flags & Tool::FlagColorIsLight);
    EXPECT_TRUE(other->flags & Tool::FlagColorIsLight);
    EXPECT_FALSE(plain->flags & Tool::FlagColorIsLight);

    a->changeSpeed(3.0f, true, true);
    EXPECT_EQ(sibling->speed, 3.0f);
    EXPECT_EQ(other->speed, 1.0f);  // another parent
    a->changeDelay(0.25f, true, false);
    EXPECT_EQ(other->delay, 0.25f);
    EXPECT_EQ(plain->delay, 0.0f);
    a->changeMaterial(sample, 255, true, true);
    EXPECT_EQ(sibling->material, sample);
    EXPECT_EQ(other->material, pbr());

    // Without all only the tool itself changes, object bit or not.
    plain->changeSpeed(5.0f, false, false);
    EXPECT_EQ(plain->speed, 5.0f);
    EXPECT_EQ(a->speed, 3.0f);

    a->flags |= Tool::FlagSelected;
    a->changeOrientation(Tool::OrientModel, false, false);
    a->changeOrientation(Tool::OrientViewer, false, false);
    EXPECT_EQ(a->orientation(), Tool::OrientViewer);  // 128, not 192
    EXPECT_EQ(a->flags & 63, Tool::FlagCreated | Tool::FlagSelected | Tool::FlagObject | Tool::FlagColorIsLight);
    EXPECT_EQ(sibling->orientation(), Tool::OrientPlain);
}
