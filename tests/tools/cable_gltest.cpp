// A cable drawn into the scene targets: its object id along the tube
// between its two ends, and nowhere else.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "curves/curve.h"
#include "elements/tube.h"
#include "scene/root.h"
#include "support/scene_layer.h"
#include "tools/cable.h"

using namespace qel;

namespace {

constexpr int W = 64;
constexpr int H = 64;

using CableGL = tltest::DrawTest;

}  // namespace

TEST_F(CableGL, ItsObjectIdLiesAlongTheTubeBetweenTheEnds) {
    // A section of radius 5: drawn 5 x L0 / 50 = 0.08 across at any length.
    Curve* section = Curve::Circle(12, false);
    for (CurveVertex& v : section->vertices) v.position = v.position * 5.0f;
    Root root;
    auto* cable = static_cast<Cable*>(root.addChild(new Cable(section, mat4::Identity(), pbr(), false), false));
    auto* other = static_cast<BiTool*>(
        root.addChild(new BiTool(BiTool::BiPlain, nullptr, mat4::Identity(), pbr(), false), false));
    cable->setPartner(other);
    // Drawn under a parent placed at x = -0.4 turning z to x, the partner at
    // x = 0.4 facing back; measured at rest.
    const mat4 place = mat4::Translation(-0.4f, 0, 0) * mat4(0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1);
    cable->parentMatrix = place;
    cable->length = cable->referenceLength = 0.8f;
    other->endMatrix = mat4::Translation(0.4f, 0, 0) * mat4(0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1);

    // The tube alone: the handle blocks, sized by the end's unit matrix,
    // would cover the view.
    const std::uint8_t handles = Tool::ShowHandles;
    Tool::ShowHandles = 0;
    tltest::SceneLayer layer(W, H);
    ASSERT_TRUE(layer.begin());
    cable->render(9, place, 0xffffffffu);
    layer.end();
    Tool::ShowHandles = handles;
    const std::vector<std::uint32_t> all = layer.ids();
    const auto id = [&](int x, int y) { return all[std::size_t(3 * (y * W + x))]; };
    // Pixel centres at x = (i + 0.5) / 64 - 0.5.
    for (int x = 0; x < W; ++x) {
        const float px = (float(x) + 0.5f) / W - 0.5f;
        const bool inside = px > -0.38f && px < 0.38f, outside = px < -0.42f || px > 0.42f;
        EXPECT_TRUE(!(inside || outside) || (id(x, H / 2) == 9u) == inside) << x;
        for (int y : {H / 2 - 8, H / 2 + 8}) EXPECT_NE(id(x, y), 9u) << x << " " << y;
    }
}
