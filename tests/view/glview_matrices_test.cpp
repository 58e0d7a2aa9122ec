// The shared matrices of an 800 x 600 view with the default camera, in both
// view types.

#include <gtest/gtest.h>

#include <cmath>

#include "gl/shader.h"
#include "view/glview.h"

using namespace qel;

namespace {

struct Projection {
    GLView::TViewType type;
    float p0, p5, p10, p11, p14, p15;
    float offset11;
};

void expectClose(float actual, float expected, const char* what) {
    EXPECT_NEAR(actual, expected, 2e-6 * std::fabs(expected) + 1e-9) << what;
}

class ViewMatrices : public ::testing::TestWithParam<Projection> {};

}  // namespace

TEST_P(ViewMatrices, ProjectionAndFocusMatchTheViewSize) {
    const Projection& e = GetParam();
    GLView view(800, 600);
    view.viewType = e.type;
    view.buildMatrices();
    expectClose(view.focusDistance, 692.8203f, "focus distance");
    const mat4& p = Shader::ProjectionMatrix;
    expectClose(p[0], e.p0, "P[0]");
    expectClose(p[5], e.p5, "P[5]");
    expectClose(p[10], e.p10, "P[10]");
    expectClose(p[11], e.p11, "P[11]");
    expectClose(p[14], e.p14, "P[14]");
    expectClose(p[15], e.p15, "P[15]");
    expectClose(Shader::ProjectionOffsetMatrix[11], e.offset11, "offset [11]");

    // One world unit spans S = 600 pixels, to the right of the centre.
    const vec3 ndc = Shader::ProjectionModelViewMatrix.transformProject(vec3(1, 0, 0));
    EXPECT_NEAR((ndc.x + 1.0f) * 0.5f * 800.0f, 400.0f + view.ViewSize(), 1e-3);
    EXPECT_NEAR(ndc.y, 0.0f, 1e-6);
    const vec3 back = Shader::ProjectionModelViewMatrixInv.transformProject(ndc);
    EXPECT_NEAR(back.x, 1.0f, 1e-5);
    EXPECT_NEAR(back.z, 0.0f, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(BothViewTypes, ViewMatrices,
                         ::testing::Values(Projection{GLView::ViewOrthogonal, 0.0025f, 0.0033333333f, -0.0001f, 0, 0, 1,
                                                      -0.00015f},
                                           Projection{GLView::ViewPerspective, 1.7320508f, 2.3094011f, -1.002002f,
                                                      -20.02002f, -1, 0, -20.03202f}),
                         [](const ::testing::TestParamInfo<Projection>& info) {
                             return info.param.type == GLView::ViewOrthogonal ? "Orthogonal" : "Perspective";
                         });
