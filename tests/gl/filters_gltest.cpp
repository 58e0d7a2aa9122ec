#include "gl/filters.h"
#include "gl/gl.h"
#include "gl/glatomlist.h"
#include "gl/gldraw.h"
#include "gl/glquad.h"
#include "gl/shader.h"
#include "gl/shaders.h"
#include "gl/texture2d.h"
#include "gl_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

using gltest::Bytes;
using gltest::readRGBA8;
using gltest::rgbaTexture;
using gltest::Target;
using Texture = std::unique_ptr<qel::Texture2D>;

Bytes pixel(const Bytes& rgba, int w, int x, int y) {
    const auto i = std::ptrdiff_t(4 * (y * w + x));
    return Bytes(rgba.begin() + i, rgba.begin() + i + 4);
}

void expectNear(const Bytes& got, const Bytes& want, int tolerance = 1) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(int(got[i]), int(want[i]), tolerance) << "byte " << i;
}

using Passes = gltest::GLTest;

}  // namespace

TEST_F(Passes, AddSumsImagesOrAConstantOrMipLevelsAndRefusesOtherSourceCounts) {
    Texture a(rgbaTexture(2, 1, {10, 20, 30, 40, 1, 2, 3, 4})), b(rgbaTexture(2, 1, {5, 6, 7, 8, 100, 100, 100, 100}));
    Texture c(rgbaTexture(2, 1, {1, 1, 1, 1, 0, 0, 0, 200}));
    auto* dst = rgbaTexture(2, 1);
    Target target(2, 1, {dst});
    ASSERT_TRUE(target.ok());
    ASSERT_TRUE(qel::GLAdd({a.get(), b.get()}, dst));
    expectNear(readRGBA8(dst->name(), 2, 1), {15, 26, 37, 48, 101, 102, 103, 104});
    ASSERT_TRUE(qel::GLAdd({a.get(), b.get(), c.get()}, dst));
    expectNear(readRGBA8(dst->name(), 2, 1), {16, 27, 38, 49, 101, 102, 103, 255});
    ASSERT_TRUE(qel::GLAdd(a.get(), qel::vec4(0.2f, 0.0f, 1.0f, 0.4f), dst));
    expectNear(readRGBA8(dst->name(), 2, 1), {61, 20, 255, 142, 52, 2, 255, 106});
    EXPECT_FALSE(qel::GLAdd({a.get()}, nullptr) || qel::GLAdd({a.get(), a.get(), a.get(), a.get()}, nullptr));
    EXPECT_FALSE(qel::GLAddMipMaps({a.get(), a.get(), a.get()}, 1, nullptr) || qel::GLAddMipMaps({}, 1, nullptr));
    // A 2 x 2 source whose level 1 is the average of its texels, 60; sampled
    // at a pixel centre, level 0 is one of the texels, 40 or 80.
    Texture mip(rgbaTexture(2, 2, {40, 0, 0, 0, 40, 0, 0, 0, 80, 0, 0, 0, 80, 0, 0, 0}));
    ASSERT_EQ(mip->generateMipMaps(), 2);
    ASSERT_TRUE(qel::GLAddMipMaps({c.get(), mip.get()}, 2, dst));
    const int red = readRGBA8(dst->name(), 2, 1)[0];
    EXPECT_TRUE(red >= 1 + 40 + 60 - 1 && red <= 1 + 80 + 60 + 1) << red;
    ASSERT_TRUE(qel::GLAddMipMaps({mip.get()}, 1, dst));
    EXPECT_NEAR(readRGBA8(dst->name(), 2, 1)[0], 60, 21);
}

TEST_F(Passes, ThresholdAndMirror) {
    Texture src(rgbaTexture(3, 1, {200, 200, 200, 255, 200, 100, 200, 255, 128, 128, 128, 128}));
    auto* dst = rgbaTexture(3, 1);
    Target target(3, 1, {dst});
    // Only texels reaching the value in every component are kept.
    ASSERT_TRUE(qel::GLThreshold(src.get(), qel::vec4(0.5f, 0.5f, 0.5f, 0.5f), dst));
    expectNear(readRGBA8(dst->name(), 3, 1), {200, 200, 200, 255, 0, 0, 0, 0, 128, 128, 128, 128});

    Texture rows(rgbaTexture(1, 3, {0, 0, 0, 255, 10, 0, 0, 255, 20, 0, 0, 255}));
    auto* flipped = rgbaTexture(1, 3);
    Target mirror(1, 3, {flipped});
    ASSERT_TRUE(qel::GLMirrorVertical(rows.get(), flipped));
    expectNear(readRGBA8(flipped->name(), 1, 3), {20, 0, 0, 255, 10, 0, 0, 255, 0, 0, 0, 255}, 0);
}

TEST_F(Passes, ChromaBlendsEachChannelWithTheMagnifiedImage) {
    // 5 x 5 image: magnification 2 about the centre maps pixel (3, 3) onto
    // texel (4, 4).
    Bytes image;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            image.insert(image.end(), {std::uint8_t(40 * x), std::uint8_t(40 * y), std::uint8_t(10 * x + y), 255});
    Texture src(rgbaTexture(5, 5, image));
    auto* dst = rgbaTexture(5, 5);
    Target target(5, 5, {dst});
    ASSERT_TRUE(qel::GLChroma(src.get(), dst, qel::bvec4(255, 0, 0, 0), 0.0f, qel::vec2(0.5f, 0.5f)));
    const Bytes out = readRGBA8(dst->name(), 5, 5);
    expectNear(pixel(out, 5, 3, 3), {160, 120, 33, 255});
    // s = 1 gives scale 1: a plain copy whatever the weights.
    ASSERT_TRUE(qel::GLChroma(src.get(), dst, qel::bvec4(255, 255, 255, 255), 1.0f, qel::vec2(0.3f, 0.9f)));
    expectNear(readRGBA8(dst->name(), 5, 5), image, 0);
}

// Blurs one bright texel in the middle of an 11 x 11 float image of each
// layout (each its own program) and checks the separable kernel.
TEST_F(Passes, BlurSpreadsASingleTexelWithTheSeparableKernelAndRefusesLooseTextures) {
    const float weights[5] = {0.17f, 0.155f, 0.12f, 0.09f, 0.05f};
    const auto kernel = [&](int k) { return std::abs(k) < 5 ? weights[std::abs(k)] : 0.0f; };
    const int n = 11;
    Texture loose(rgbaTexture(2, 2));
    const struct {
        GLenum internal, format;
        int channels;
    } layouts[] = {{GL_RGBA32F, GL_RGBA, 4}, {GL_RGB16F, GL_RGB, 3}, {GL_R32F, GL_RED, 1}};
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.channels);
        std::vector<float> values(std::size_t(n * n * l.channels), 0.0f);
        for (int c = 0; c < l.channels; ++c) values[std::size_t((5 * n + 5) * l.channels + c)] = 1.0f;
        auto* a = gltest::floatTexture(n, n, l.internal, l.format, values);
        auto* b = gltest::floatTexture(n, n, l.internal, l.format, {});
        Target target(n, n, {a, b});
        ASSERT_TRUE(target.ok());
        ASSERT_TRUE(qel::GLBlur(a, b, 1));
        const std::vector<float> out = gltest::readFloats(a->name(), n, n, l.format);
        double total = 0;
        for (int i = 0; i < n * n; ++i) {
            total += out[std::size_t(i * l.channels)];
            ASSERT_NEAR(out[std::size_t(i * l.channels)], kernel(i % n - 5) * kernel(i / n - 5), 2e-3) << i;
        }
        EXPECT_NEAR(total, 1.0, 1e-2);
        EXPECT_TRUE(qel::GLBlur(a, b, 0)) << "no pass, nothing drawn";
        EXPECT_EQ(gltest::readFloats(a->name(), n, n, l.format), out);
        EXPECT_FALSE(qel::GLBlur(loose.get(), b, 1)) << "a texture no framebuffer attached";
    }
}

TEST_F(Passes, FailingProgramRollsTheListBack) {
    Texture a(rgbaTexture(1, 1, {1, 2, 3, 4}));
    qel::Shader missing("Filters/NoSuchFilter");
    qel::GLAtomList list{a.get(), &missing, nullptr};
    ASSERT_EQ(list.atoms().size(), 2u);
    EXPECT_FALSE(list.enable());
    EXPECT_TRUE(list.atoms().empty() && !a->isEnabled());
    gl->glGetError();
}

TEST_F(Passes, OverlayHelpersDrawInTheirColourWhicheverShapeHeldTheAttribute) {
    auto* dst = rgbaTexture(4, 4);
    Target target(4, 4, {dst});
    // The square is left enabled, then the circle reads attribute 0: the
    // square must still fill afterwards.
    ASSERT_TRUE(qel::ShaderDraw->enable());
    qel::Shader::setUniform("ProjectionModelViewMatrix", qel::Ortho01);
    ASSERT_TRUE(qel::GLFill(false) && qel::GLCircle::draw(true));
    gl->glClearColor(0, 0, 0, 0);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    // The point marker maps the unit square onto the whole view.
    ASSERT_TRUE(qel::GLPoint(qel::mat4(), qel::bvec4(255, 0, 3, 4)));
    const Bytes all = readRGBA8(dst->name(), 4, 4);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(pixel(all, 4, i % 4, i / 4), (Bytes{255, 0, 3, 4})) << i;
    gl->glClear(GL_COLOR_BUFFER_BIT);
    // A segment along the row of pixel centres y = -0.25.
    ASSERT_TRUE(
        qel::GLDrawSegment(qel::vec3(-1, -0.25f, 0), qel::vec3(1, -0.25f, 0), qel::mat4(), qel::bvec4(0, 255, 0, 255)));
    const Bytes lines = readRGBA8(dst->name(), 4, 4);
    EXPECT_TRUE(pixel(lines, 4, 1, 1)[1] == 255 && pixel(lines, 4, 1, 3)[1] == 0);
    ASSERT_TRUE(
        qel::GLDrawCircle(0.5f, qel::vec3(0, 0, 1), qel::vec3(0, 0, 0), qel::mat4(), qel::bvec4(0, 0, 255, 255)));
    EXPECT_FALSE(qel::GLQuad::VBOEnabled || qel::GLCircle::VBOEnabled);
}
