// Inflation heights on the GPU: the stamped fields against a direct
// evaluation of their definitions, the profiles of a raised disc, the GL
// state left behind, and the flat fallback when a program cannot be used.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "core/polygon_util.h"
#include "core/simple_polygon.h"
#include "gl/gl.h"
#include "gl/inflation_field.h"
#include "gl/resources.h"
#include "gl/shader.h"
#include "gl/shaders.h"
#include "gl/texture.h"

namespace {

using namespace polytest;
using qel::InflationField;
using qel::SimplePolygon;
using qel::vec2;
using qel::vec3;

class InflationTest : public testing::Test {
protected:
    static void SetUpTestSuite() { qel::initShaderResources(); }
};

// A 20 x 16 grid: a rectangle of inner cells inside a ring of rim cells, one
// of them sharp and one a pinch, and a lone rim cell.
constexpr int W = 20, H = 16;
std::vector<unsigned char> smallGrid() {
    std::vector<unsigned char> fill(W * H, 0);
    for (int y = 3; y <= 12; ++y)
        for (int x = 3; x <= 15; ++x) fill[std::size_t(W * y + x)] = (x == 3 || x == 15 || y == 3 || y == 12) ? 2 : 1;
    fill[W * 3 + 3] = SimplePolygon::FillSharp;
    fill[W * 12 + 15] = SimplePolygon::FillPinch;
    fill[W * 1 + 18] = 2;
    return fill;
}

// Calls f(texel, cell, squared distance) for every texel and every cell.
void forPairs(const std::function<void(std::size_t, std::size_t, float)>& f) {
    for (int t = 0; t < W * H; ++t)
        for (int c = 0; c < W * H; ++c) {
            const float dx = float(t % W - c % W), dy = float(t / W - c / W);
            f(std::size_t(t), std::size_t(c), dx * dx + dy * dy);
        }
}

// min(r^2, squared distance to the nearest cell with code 2 or more).
std::vector<float> distanceReference(const std::vector<unsigned char>& fill, float r2) {
    std::vector<float> out(fill.size(), r2);
    forPairs([&](std::size_t t, std::size_t c, float d2) {
        if (fill[c] >= 2) out[t] = std::min(out[t], d2);
    });
    return out;
}

TEST_F(InflationTest, FieldsMatchTheirDefinitionsAndLeaveTheDocumentedGLState) {
    const std::vector<unsigned char> fill = smallGrid();
    const std::vector<float> distance = distanceReference(fill, 36.0f);  // resolution 12
    gl->glEnable(GL_BLEND);
    gl->glBlendEquation(GL_FUNC_REVERSE_SUBTRACT);
    gl->glEnable(GL_DEPTH_TEST);
    gl->glEnable(GL_STENCIL_TEST);
    const int units = qel::Texture::GLActiveTexture;
    std::vector<float> gpu;
    ASSERT_TRUE(InflationField(W, H, 12.0f).compute(fill, 4, gpu));
    EXPECT_EQ(gpu, distance);
    GLint binding = -1, program = -1, equation = 0, viewport[4] = {};
    gl->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &binding);
    gl->glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    gl->glGetIntegerv(GL_BLEND_EQUATION_RGB, &equation);
    gl->glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_TRUE(binding == 0 && program == 0 && qel::Shader::id == 0u) << binding << " " << program;
    EXPECT_TRUE(equation == GL_FUNC_REVERSE_SUBTRACT && gl->glIsEnabled(GL_BLEND));
    EXPECT_TRUE(viewport[2] == W && viewport[3] == H && qel::Texture::GLActiveTexture == units);
    EXPECT_FALSE(gl->glIsEnabled(GL_DEPTH_TEST) || gl->glIsEnabled(GL_STENCIL_TEST));
    EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
    gl->glBlendEquation(GL_FUNC_ADD);
    gl->glDisable(GL_BLEND);

    // Squared heights of the union of balls, one per marked cell, and the
    // chamfer. A chamfer ball whose rim passes exactly through a texel
    // centre may or may not reach it after rounding: bound that field with
    // and without such balls.
    std::vector<float> balls = distance, low = distance, high = distance;
    forPairs([&](std::size_t t, std::size_t c, float d2) {
        const double R2 = distance[c];
        if (fill[c] == 0) return;
        balls[t] = std::max(balls[t], distance[c] - d2);
        if (R2 <= 0.0 || d2 > R2 * (1 + 1e-5)) return;
        const double s = std::sqrt(d2 / R2) - 0.7;
        const float h = float(R2 * (s < 0 ? 1.0 : 0.7 + std::sqrt(std::max(0.09 - s * s, 0.0))));
        high[t] = std::max(high[t], h);
        if (d2 < R2 * (1 - 1e-5)) low[t] = std::max(low[t], h);
    });
    for (unsigned char profile : {1, 2}) {
        ASSERT_TRUE(InflationField(W, H, 12.0f).compute(fill, profile, gpu));
        EXPECT_EQ(gpu, balls) << int(profile);
    }
    ASSERT_TRUE(InflationField(W, H, 12.0f).compute(fill, 3, gpu));
    ASSERT_EQ(gpu.size(), low.size());
    for (std::size_t i = 0; i < gpu.size(); ++i) {
        ASSERT_TRUE(std::isfinite(gpu[i])) << "texel " << i;
        EXPECT_GE(gpu[i], low[i] - 1e-3f * std::max(1.0f, low[i])) << "texel " << i;
        EXPECT_LE(gpu[i], high[i] + 1e-3f * std::max(1.0f, high[i])) << "texel " << i;
    }
}

TEST_F(InflationTest, DiscRisesWithEachProfilesShapeAndStaysFlatOnItsRim) {
    const double R = 2.0;
    // Height at the centre and at half the radius, relative to R: balls give
    // a hemisphere, the chamfer a plateau, the cone the distance to the rim,
    // then the square-root, sine and flattened-centre shapes. The smoothing
    // rounds the pointed tops of the cone and of the last shape.
    const double expected[][3] = {{1, 1.0, 0.866}, {2, 1.0, 0.866}, {3, 1.0, 1.0},   {4, 0.96, 0.5},
                                  {5, 1.0, 0.707}, {6, 1.0, 0.707}, {7, 0.94, 0.293}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e[0]);
        const Inflated r = inflate(regularPolygon(180, float(R)), (unsigned char)e[0], 128.0f, InflationField::Compute);
        ASSERT_EQ(r.result, SimplePolygon::InflateDone);
        double halfSum = 0.0;
        int halfCount = 0;
        for (const vec3& q : r.points) {
            const double radius = std::hypot(double(q.x), double(q.y));
            ASSERT_TRUE(std::isfinite(q.z) && q.z >= 0.0f && (radius <= R - 1e-4 || q.z == 0.0f))
                << q.x << ", " << q.y << ", " << q.z;
            if (std::fabs(radius - R / 2) < R / 40) halfSum += q.z, ++halfCount;
        }
        EXPECT_NEAR(r.top() / R, e[1], 0.03);
        ASSERT_GT(halfCount, 0);
        EXPECT_NEAR(halfSum / halfCount / R, e[2], 0.03);
    }
}

TEST_F(InflationTest, MissingProgramGivesAFlatGridReportedAsSuch) {
    const SimplePolygon p = regularPolygon(60, 1.0f);
    const Inflated flat = inflate(p, 0, 32.0f, InflationField::Compute);
    for (qel::Shader** slot : {&qel::ShaderParabola, &qel::ShaderSphere}) {
        std::unique_ptr<qel::Shader> missing(new qel::Shader("Filters/NoSuchProgram"));
        qel::Shader* saved = *slot;
        *slot = missing.get();
        const Inflated r = inflate(p, 1, 32.0f, InflationField::Compute);
        *slot = saved;
        EXPECT_TRUE(r.result == SimplePolygon::InflateFlat && r.points == flat.points && r.triangles == flat.triangles);
        GLint binding = -1;
        gl->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &binding);
        EXPECT_TRUE(binding == 0 && qel::Shader::id == 0u);
        EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
    }
    // With the programs back, the same outline rises again.
    const Inflated r = inflate(p, 1, 32.0f, InflationField::Compute);
    EXPECT_TRUE(r.result == SimplePolygon::InflateDone && r.top() > 0.9f);
}

}  // namespace
