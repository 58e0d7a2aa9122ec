// A hydraulic pair drawn into the scene targets, before and after the
// shared handle elements are freed.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "mesh/mesh.h"
#include "scene/root.h"
#include "scene/tool_list.h"
#include "support/scene_layer.h"
#include "tools/bi_tool.h"

using namespace qel;

namespace {

constexpr int Size = 64;

class BiToolGl : public tltest::DrawTest {
protected:
    void TearDown() override {
        BiTool::freeShared();
        tltest::DrawTest::TearDown();
    }
};

// The object id written at (x, y), both from -0.5 to 0.5.
std::uint32_t idAt(const std::vector<std::uint32_t>& ids, float x, float y) {
    const int col = int((x + 0.5f) * Size), row = int((y + 0.5f) * Size);
    return ids[3 * std::size_t(row * Size + col)];
}

}  // namespace

TEST_F(BiToolGl, AHydraulicPairWritesItsIdsAtBothEndsAndAlongTheCylinder) {
    Mesh* cylinder = Mesh::Cylinder(24, false);
    cylinder->centre = vec3(0, 0, -1);
    cylinder->setSize(2.0f);
    Root root;
    auto* a = new BiTool(BiTool::BiThin, cylinder, mat4::Translation(-0.3f, 0, 0) * mat4::Scale(0.25f), pbr(), false);
    auto* b = new BiTool(BiTool::BiPlain, nullptr, mat4::Translation(0.3f, 0, 0) * mat4::Scale(0.25f), pbr(), false);
    root.addChild(a, false);
    root.addChild(b, false);
    a->setPartner(b);
    ToolList list(&root);
    ASSERT_EQ(list.tools, (std::vector<Tool*>{b, a}));  // ids 1 and 2
    for (int round = 0; round < 2; ++round) {
        tltest::SceneLayer layer(Size, Size);
        ASSERT_TRUE(layer.begin());
        list.render(Tool::RenderOpaque, true, 0);
        layer.end();
        const auto ids = layer.ids();
        EXPECT_TRUE(idAt(ids, -0.3f, 0) == 2u && idAt(ids, 0.3f, 0) == 1u && idAt(ids, 0, 0.2f) == 0u);
        for (float x : {-0.1f, 0.0f, 0.1f}) EXPECT_EQ(idAt(ids, x, 0), 2u) << x;
        BiTool::freeShared();  // the next round makes them again
    }
}
