// Curves drawn on a real GL context: the scene pass's colour and ids, a
// scene pass after a feature pass, and the life of the line buffer.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "curves/curve.h"
#include "gl/gl.h"
#include "gl/shaders.h"
#include "support/scene_layer.h"

using namespace qel;

namespace {

constexpr int W = 16;
constexpr int H = 16;
// The row a line at y = 0.03 falls in (clip y 0.06 in the fixture's view).
constexpr int Row = 8;

using CurveDrawGL = tltest::DrawTest;

// Pixels of the row holding the object id and the colour.
int drawnPixels(tltest::SceneLayer& layer, std::uint32_t object, std::uint32_t item, bvec4 colour) {
    const auto ids = layer.ids();
    const auto colours = layer.colours();
    int count = 0;
    for (int x = 0; x < W; ++x) {
        const int i = Row * W + x;
        count += ids[3 * i] == object && ids[3 * i + 1] == item && ids[3 * i + 2] == 0 &&
                 bvec4(colours[4 * i], colours[4 * i + 1], colours[4 * i + 2], colours[4 * i + 3]) == colour;
    }
    return count;
}

}  // namespace

TEST_F(CurveDrawGL, SceneDrawShowsTheMaterialColourAndIdsAlsoAfterAFeaturePass) {
    Curve line({vec3(-1, 0.03f, 0), vec3(1, 0.03f, 0)}, false);
    const pbr red(wvec4(65535, 0, 0, 65535), wvec4(0, 0, 0, 65535), 0, 0);
    tltest::SceneLayer layer(W, H);
    ASSERT_TRUE(layer.begin());
    line.render(5, 9, mat4::Identity(), red, Element::ColorAsColor, 0.0f, true);
    layer.end();
    EXPECT_GE(drawnPixels(layer, 5, 9, bvec4(255, 0, 0, 255)), W - 1);

    // The feature pass ends the buffer's binding; the next scene draw binds
    // it again instead of drawing from a released attribute.
    ASSERT_TRUE(layer.begin());
    ASSERT_TRUE(ShaderCurve->enable());
    line.renderFeatures(mat4::Translation(0, 0.25f, 0), bvec4(0, 0, 255, 255), true);
    EXPECT_FALSE(line.vboEnabled);
    gl->glClearBufferfi(GL_DEPTH_STENCIL, 0, 1.0f, 0);
    line.render(6, 1, mat4::Identity(), red, Element::ColorAsColor, 0.0f, true);
    layer.end();
    EXPECT_GE(drawnPixels(layer, 6, 1, bvec4(255, 0, 0, 255)), W - 1);
}

TEST_F(CurveDrawGL, BufferIsMadeOnDemandReleasedAndMadeAgain) {
    Curve dots;
    dots.vertexAdd(vec3(0, 0, 0));
    EXPECT_FALSE(dots.hasFeatures() || dots.buildVBO() || dots.renderBegin());

    Curve line({vec3(0, 0, 0), vec3(1, 0, 0), vec3(1, 1, 0)}, false);
    EXPECT_TRUE(line.hasFeatures());
    line.deleteVBO();  // nothing to release
    EXPECT_EQ(line.vbo, 0u);
    ASSERT_TRUE(line.enableVBO());
    const GLuint first = line.vbo;
    EXPECT_EQ(line.lineVertexCount, 4u);
    std::vector<float> points(12);
    gl->glGetBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(points.size() * sizeof(float)), points.data());
    EXPECT_EQ(points, (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 1, 0}));
    EXPECT_TRUE(line.buildVBO() && !line.vbo_modified());
    line.deleteVBO();
    EXPECT_FALSE(line.vbo || line.vboEnabled || gl->glIsBuffer(first));
    ASSERT_TRUE(line.enableVBO());
    EXPECT_TRUE(line.vbo != 0 && gl->glIsBuffer(line.vbo));
    line.renderEnd();
}
