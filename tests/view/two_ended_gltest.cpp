// A guide placed through its undo record, drawn in whole frames of the view:
// its handle blocks at both ends and the line between them, gone again after
// Undo.

#include <gtest/gtest.h>

#include <vector>

#include "gl/gl.h"
#include "gl/resources.h"
#include "gl/shaders.h"
#include "gl/texture2d.h"
#include "scene/scene.h"
#include "tools/bi_tool.h"
#include "view/act_structure.h"
#include "view/glview.h"
#include "view/view_frame_util.h"

using namespace qel;

namespace {

constexpr int N = 200;

class TwoEndedGl : public testing::Test {
protected:
    void SetUp() override {
        initShaderResources();
        // A sculpting test before this one may have hidden the handles.
        Tool::ShowHandles = 1;
        view.showText = 0;
        view.glow = 0;
        view.contourColor = wvec4(0, 0, 0, 0);
        view.background = wvec4(0, 0, 0, 0);
        view.buildMatrices();
    }
    void TearDown() override { EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR)); }

    std::vector<bvec4> frame() { return viewtest::renderedFrame(view, N, N); }
    // An end at pixel (x, y) of the focus plane, eight pixels wide.
    mat4 endAt(int x, int y) const {
        const vec3 p = view.unproject(float(x), float(y), view.ScreenDepth());
        return mat4::Translation(p) * mat4::Scale(8.0f * float(length(view.ScreenRadius(false))));
    }

    GLView view{N, N};
};

// The pixels in x0..x1, y0..y1 where the two images differ.
int changed(const std::vector<bvec4>& a, const std::vector<bvec4>& b, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const bvec4 &p = a[std::size_t(y * N + x)], &q = b[std::size_t(y * N + x)];
            n += p.r != q.r || p.g != q.g || p.b != q.b;
        }
    return n;
}

}  // namespace

TEST_F(TwoEndedGl, APlacedGuideDrawsItsHandlesAndTheLineUntilUndone) {
    const std::vector<bvec4> empty = frame();
    view.setActiveTool(GLView::CreateGuide, true);
    view.pushAct(new ActObjectAddBiTool(view.scene, 0, 0, view.activeTool, view.activeToolAux, {endAt(50, 100)},
                                        {endAt(150, 100)}, Scene::HangTop, false, false));
    const std::vector<bvec4> placed = frame();
    EXPECT_GT(changed(empty, placed, 40, 90, 60, 110), 20);    // the press end's blocks
    EXPECT_GT(changed(empty, placed, 140, 90, 160, 110), 20);  // the release end's blocks
    EXPECT_GT(changed(empty, placed, 80, 97, 120, 103), 30);   // the line between them
    EXPECT_EQ(changed(empty, placed, 80, 120, 120, 199), 0);
    view.UNDO();
    EXPECT_EQ(changed(empty, frame(), 0, 0, N - 1, N - 1), 0);
}
