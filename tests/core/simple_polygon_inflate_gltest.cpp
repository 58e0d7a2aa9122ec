// Inflation heights on the GPU: the stamped fields against a direct
// evaluation of their definitions, the profiles of a raised disc, the GL
// state left behind, and the flat fallback when a program cannot be used.

#include "core/inflation_field.h"
#include "core/simple_polygon.h"
#include "gl/gl.h"
#include "gl/resources.h"
#include "gl/shader.h"
#include "gl/shaders.h"
#include "gl/texture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

using qel::InflationField;
using qel::SimplePolygon;
using qel::vec2;
using qel::vec3;

constexpr double kPi = 3.14159265358979323846;

class InflationTest : public testing::Test {
protected:
    static void SetUpTestSuite() { qel::initShaderResources(); }
};

// A 20 x 16 grid: a rectangle of inner cells inside a ring of rim cells, one
// of them sharp and one a pinch, and a lone rim cell.
struct SmallGrid {
    int w = 20, h = 16;
    std::vector<unsigned char> fill;

    SmallGrid() : fill(std::size_t(w * h), 0) {
        for (int y = 3; y <= 12; ++y)
            for (int x = 3; x <= 15; ++x) at(x, y) = (x == 3 || x == 15 || y == 3 || y == 12) ? 2 : 1;
        at(3, 3) = SimplePolygon::FillSharp;
        at(15, 12) = SimplePolygon::FillPinch;
        at(18, 1) = 2;
    }
    unsigned char& at(int x, int y) { return fill[std::size_t(w * y + x)]; }
    float d2(int tx, int ty, int cx, int cy) const {
        const float dx = float(tx - cx), dy = float(ty - cy);
        return dx * dx + dy * dy;
    }
};

// min(r^2, squared distance to the nearest cell with code 2 or more).
std::vector<float> distanceReference(const SmallGrid& g, float r2) {
    std::vector<float> out(g.fill.size(), r2);
    for (int ty = 0; ty < g.h; ++ty)
        for (int tx = 0; tx < g.w; ++tx)
            for (int cy = 0; cy < g.h; ++cy)
                for (int cx = 0; cx < g.w; ++cx)
                    if (g.fill[std::size_t(g.w * cy + cx)] >= 2) {
                        float& o = out[std::size_t(g.w * ty + tx)];
                        o = std::min(o, g.d2(tx, ty, cx, cy));
                    }
    return out;
}

TEST_F(InflationTest, DistanceAndBallFieldsMatchTheirDefinitions) {
    SmallGrid g;
    const float resolution = 10.0f;  // r^2 = 25
    const std::vector<float> distance = distanceReference(g, 25.0f);

    std::vector<float> gpuDistance;
    ASSERT_TRUE(InflationField(g.w, g.h, resolution).compute(g.fill, 4, gpuDistance));
    ASSERT_EQ(gpuDistance.size(), distance.size());
    for (std::size_t i = 0; i < distance.size(); ++i) EXPECT_EQ(gpuDistance[i], distance[i]) << "texel " << i;

    // Squared heights of the union of balls, one per marked cell.
    std::vector<float> balls = distance;
    for (int ty = 0; ty < g.h; ++ty)
        for (int tx = 0; tx < g.w; ++tx)
            for (int cy = 0; cy < g.h; ++cy)
                for (int cx = 0; cx < g.w; ++cx) {
                    const std::size_t c = std::size_t(g.w * cy + cx);
                    if (g.fill[c] == 0) continue;
                    float& o = balls[std::size_t(g.w * ty + tx)];
                    o = std::max(o, distance[c] - g.d2(tx, ty, cx, cy));
                }
    for (unsigned char profile : {1, 2}) {
        std::vector<float> gpuBalls;
        ASSERT_TRUE(InflationField(g.w, g.h, resolution).compute(g.fill, profile, gpuBalls));
        for (std::size_t i = 0; i < balls.size(); ++i) EXPECT_EQ(gpuBalls[i], balls[i]) << "texel " << i;
    }
}

TEST_F(InflationTest, ChamferFieldMatchesItsDefinition) {
    SmallGrid g;
    const float resolution = 12.0f;  // r^2 = 36
    const std::vector<float> distance = distanceReference(g, 36.0f);
    // A ball whose rim passes exactly through a texel centre may or may not
    // reach it after rounding: bound the field with and without such balls.
    std::vector<float> low = distance, high = distance;
    for (int ty = 0; ty < g.h; ++ty)
        for (int tx = 0; tx < g.w; ++tx)
            for (int cy = 0; cy < g.h; ++cy)
                for (int cx = 0; cx < g.w; ++cx) {
                    const std::size_t c = std::size_t(g.w * cy + cx);
                    const double R2 = distance[c], d2 = g.d2(tx, ty, cx, cy);
                    if (g.fill[c] == 0 || R2 <= 0.0 || d2 > R2 * (1 + 1e-5)) continue;
                    const double t = std::sqrt(d2 / R2) - 0.7;
                    const double h = R2 * (t < 0 ? 1.0 : 0.7 + std::sqrt(std::max(0.09 - t * t, 0.0)));
                    const std::size_t i = std::size_t(g.w * ty + tx);
                    high[i] = std::max(high[i], float(h));
                    if (d2 < R2 * (1 - 1e-5)) low[i] = std::max(low[i], float(h));
                }
    std::vector<float> gpu;
    ASSERT_TRUE(InflationField(g.w, g.h, resolution).compute(g.fill, 3, gpu));
    ASSERT_EQ(gpu.size(), low.size());
    for (std::size_t i = 0; i < gpu.size(); ++i) {
        EXPECT_TRUE(std::isfinite(gpu[i])) << "texel " << i;
        EXPECT_GE(gpu[i], low[i] - 1e-3f * std::max(1.0f, low[i])) << "texel " << i;
        EXPECT_LE(gpu[i], high[i] + 1e-3f * std::max(1.0f, high[i])) << "texel " << i;
    }
}

TEST_F(InflationTest, LeavesTheDocumentedGLState) {
    SmallGrid g;
    gl->glEnable(GL_BLEND);
    gl->glBlendEquation(GL_FUNC_REVERSE_SUBTRACT);
    gl->glEnable(GL_DEPTH_TEST);
    gl->glEnable(GL_STENCIL_TEST);
    const int units = qel::Texture::GLActiveTexture;

    std::vector<float> field;
    ASSERT_TRUE(InflationField(g.w, g.h, 10.0f).compute(g.fill, 1, field));

    GLint binding = -1, program = -1, equation = 0, viewport[4] = {0, 0, 0, 0};
    gl->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &binding);
    gl->glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    gl->glGetIntegerv(GL_BLEND_EQUATION_RGB, &equation);
    gl->glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(binding, 0);
    EXPECT_EQ(program, 0);
    EXPECT_EQ(qel::Shader::id, 0u);
    EXPECT_FALSE(gl->glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(gl->glIsEnabled(GL_STENCIL_TEST));
    EXPECT_TRUE(gl->glIsEnabled(GL_BLEND));
    EXPECT_EQ(equation, GL_FUNC_REVERSE_SUBTRACT);
    EXPECT_EQ(viewport[2], g.w);
    EXPECT_EQ(viewport[3], g.h);
    EXPECT_EQ(qel::Texture::GLActiveTexture, units);
    EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));

    gl->glBlendEquation(GL_FUNC_ADD);
    gl->glDisable(GL_BLEND);
}

SimplePolygon disc(float radius, int n) {
    SimplePolygon p;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * kPi * i / n;
        p.points.emplace_back(float(radius * std::cos(t)), float(radius * std::sin(t)));
    }
    p.sharp.assign(p.points.size(), false);
    return p;
}

struct Raised {
    std::vector<vec3> points;
    std::vector<bool> sharp;
    std::vector<int> triangles;
    int result = 0;
};

Raised raise(const SimplePolygon& p, unsigned char profile, float resolution = 128.0f) {
    Raised r;
    r.result = p.triangulateU(r.points, r.sharp, r.triangles, profile, resolution);
    return r;
}

double radiusOf(const vec3& p) { return std::sqrt(double(p.x) * p.x + double(p.y) * p.y); }

// The mean height of the points at about half the radius, relative to R.
double heightAtHalfRadius(const Raised& r, double R) {
    double sum = 0.0;
    int count = 0;
    for (const vec3& p : r.points)
        if (std::fabs(radiusOf(p) - R / 2) < R / 40) {
            sum += p.z;
            ++count;
        }
    return count ? sum / count / R : -1.0;
}

TEST_F(InflationTest, DiscRisesWithEachProfilesShapeAndStaysFlatOnItsRim) {
    const double R = 2.0;
    const SimplePolygon p = disc(float(R), 180);
    // Expected height at the centre and at half the radius, relative to R:
    // balls give a hemisphere, the chamfer a plateau, the cone the distance
    // to the rim, then the square-root, sine and flattened-centre shapes.
    // The smoothing rounds the pointed tops of the cone and of the last shape.
    struct Expectation {
        unsigned char profile;
        double top, half;
    };
    const Expectation expected[] = {{1, 1.0, 0.866}, {2, 1.0, 0.866},  {3, 1.0, 1.0},  {4, 0.96, 0.5},
                                    {5, 1.0, 0.707}, {6, 1.0, 0.707}, {7, 0.94, 0.293}};
    for (const Expectation& e : expected) {
        SCOPED_TRACE(int(e.profile));
        const Raised r = raise(p, e.profile);
        ASSERT_EQ(r.result, SimplePolygon::InflateDone);
        double top = 0.0;
        for (const vec3& q : r.points) {
            ASSERT_TRUE(std::isfinite(q.z));
            EXPECT_GE(q.z, 0.0f);
            if (radiusOf(q) > R - 1e-4) {
                EXPECT_EQ(q.z, 0.0f) << "rim point " << q.x << ", " << q.y;
            }
            top = std::max(top, double(q.z));
        }
        EXPECT_NEAR(top / R, e.top, 0.03);
        EXPECT_NEAR(heightAtHalfRadius(r, R), e.half, 0.03);
    }
}

TEST_F(InflationTest, PinchAndRimPointsStayInThePlane) {
    const vec2 apex(1.05f, 1.1f);
    SimplePolygon hourglass;
    hourglass.points = {{0, 0}, {2, 0}, apex, {2, 2}, {0, 2}, apex};
    hourglass.sharp = {false, false, true, false, false, true};
    const Raised r = raise(hourglass, 4, 32.0f);
    ASSERT_EQ(r.result, SimplePolygon::InflateDone);
    int pinchPoints = 0;
    for (std::size_t i = 0; i < r.points.size(); ++i)
        if (r.sharp[i]) {
            EXPECT_EQ(r.points[i].z, 0.0f);
            ++pinchPoints;
        }
    EXPECT_EQ(pinchPoints, 2);
    EXPECT_GT(std::max_element(r.points.begin(), r.points.end(),
                               [](const vec3& a, const vec3& b) { return a.z < b.z; })
                  ->z,
              0.2f);
}

// Replaces one of the global programs for the scope of a test.
class ProgramSwap {
public:
    ProgramSwap(qel::Shader*& slot, qel::Shader* replacement) : slot_(slot), saved_(slot) { slot_ = replacement; }
    ~ProgramSwap() { slot_ = saved_; }

private:
    qel::Shader*& slot_;
    qel::Shader* saved_;
};

TEST_F(InflationTest, MissingProgramGivesAFlatGridReportedAsSuch) {
    const SimplePolygon p = disc(1.0f, 60);
    const Raised flat = raise(p, 0, 32.0f);
    for (qel::Shader** slot : {&qel::ShaderParabola, &qel::ShaderSphere}) {
        std::unique_ptr<qel::Shader> missing(new qel::Shader("Filters/NoSuchProgram"));
        const ProgramSwap swap(*slot, missing.get());
        const Raised r = raise(p, 1, 32.0f);
        EXPECT_EQ(r.result, SimplePolygon::InflateFlat);
        ASSERT_EQ(r.points.size(), flat.points.size());
        for (std::size_t i = 0; i < r.points.size(); ++i) EXPECT_EQ(r.points[i], flat.points[i]);
        EXPECT_EQ(r.triangles, flat.triangles);
        GLint binding = -1;
        gl->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &binding);
        EXPECT_EQ(binding, 0);
        EXPECT_EQ(qel::Shader::id, 0u);
        EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
    }
    // With the programs back, the same outline rises again.
    const Raised r = raise(p, 1, 32.0f);
    EXPECT_EQ(r.result, SimplePolygon::InflateDone);
    float top = 0.0f;
    for (const vec3& q : r.points) top = std::max(top, q.z);
    EXPECT_GT(top, 0.9f);
}

}  // namespace
