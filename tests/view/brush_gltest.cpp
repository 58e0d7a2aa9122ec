// The frame's use of the stamps: the hovered object drawn as selected for
// one frame, and the preview of a drawing between its strokes.

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "gl/gl.h"
#include "gl/resources.h"
#include "gl/shaders.h"
#include "gl/texture2d.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "view/glview.h"
#include "view/view_frame_util.h"

using namespace qel;

namespace {

constexpr int N = 64;

class BrushFrame : public testing::Test {
protected:
    void SetUp() override {
        initShaderResources();
        view.showText = 0;
        view.setSelection(true);
    }
    // The frame's pixel left of a centred square of 0.4 view units, where a
    // selected square has its selection contour.
    bvec4 besideSquare() { return viewtest::renderedFrame(view, N, N)[32 * N + 18]; }
    GLView view{N, N};
};

}  // namespace

// In sculpt mode the tool under the pointer is marked for its frame only,
// also when the frame fails after marking it.
TEST_F(BrushFrame, HoveredToolIsMarkedForItsFrameOnly) {
    view.glow = 0;
    Tool cube(Mesh::Cube(), mat4::Identity(), pbr(), false);
    const mat4 square = mat4::Scale(std::sqrt(3.0f)) * mat4::Scale(0.4f, 0.4f, 0.001f);
    Tool* tool = view.scene->addObject(&cube, square, Scene::HangTop, false);
    view.actionMode = GLView::ModeSculpt;
    EXPECT_NE(besideSquare(), bvec4(255, 0, 0, 255));
    view.pickBrush.layers = 1;
    view.pickBrush.pickedTool = tool;
    EXPECT_EQ(besideSquare(), bvec4(255, 0, 0, 255));
    EXPECT_FALSE(tool->flags & Tool::FlagTemp);

    Shader missing("Missing/Light");
    Shader* kept = std::exchange(ShaderLayerCompositSimple, &missing);
    view.redraw = 1;
    EXPECT_EQ(view.render(), nullptr);
    ShaderLayerCompositSimple = kept;
    EXPECT_FALSE(tool->flags & Tool::FlagTemp);
    gl->glGetError();
}

TEST_F(BrushFrame, DrawingPreviewNeedsTwoStrokeStamps) {
    view.setActiveTool(GLView::CreateCube, true);
    view.selectedAssemblyAction = GLView::ActionDraw;
    view.placements = {mat4::Identity()};
    view.assemblor = Assemblor(ABrush(), false);
    besideSquare();
    EXPECT_TRUE(view.scene->preview.tools.empty());
    view.assemblor.strokes.back().stamps.push_back(ABrush());
    besideSquare();
    EXPECT_EQ(view.scene->preview.tools.size(), 1u);
}
