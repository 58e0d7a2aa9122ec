#include "gl/fbo.h"
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

using Bytes = std::vector<std::uint8_t>;

// A framebuffer of w x h bound for drawing, with the given targets attached
// in order.
class Target {
public:
    Target(int w, int h, std::initializer_list<qel::Texture2D*> targets) : fbo_(qel::FBO::NoDepth, w, h, 0) {
        for (qel::Texture2D* t : targets) fbo_.addTexture(t);
        ok_ = fbo_.enable();
        gl->glViewport(0, 0, w, h);
        gl->glDisable(GL_DEPTH_TEST);
        gl->glDisable(GL_STENCIL_TEST);
        gl->glDisable(GL_BLEND);
    }
    ~Target() { fbo_.disable(); }
    bool ok() const { return ok_; }

private:
    qel::FBO fbo_;
    bool ok_ = false;
};

qel::Texture2D* emptyRGBA(int w, int h) {
    return new qel::Texture2D(w, h, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_NEAREST);
}

Bytes pixel(const Bytes& rgba, int w, int x, int y) {
    const auto i = std::size_t(4 * (y * w + x));
    return Bytes(rgba.begin() + std::ptrdiff_t(i), rgba.begin() + std::ptrdiff_t(i + 4));
}

void expectNear(const Bytes& got, const Bytes& want, int tolerance = 1) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(int(got[i]), int(want[i]), tolerance) << "byte " << i;
}

class Passes : public testing::Test {
protected:
    void SetUp() override {
        gltest::useShaderResources();
        ASSERT_EQ(qel::Texture::GLActiveTexture, 0);
    }
    void TearDown() override {
        EXPECT_EQ(qel::Texture::GLActiveTexture, 0) << "every pass gives its texture units back";
        EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
    }
};

}  // namespace

TEST_F(Passes, AddSumsTwoAndThreeImages) {
    std::unique_ptr<qel::Texture2D> a(gltest::rgbaTexture(2, 1, {10, 20, 30, 40, 1, 2, 3, 4}));
    std::unique_ptr<qel::Texture2D> b(gltest::rgbaTexture(2, 1, {5, 6, 7, 8, 100, 100, 100, 100}));
    std::unique_ptr<qel::Texture2D> c(gltest::rgbaTexture(2, 1, {1, 1, 1, 1, 0, 0, 0, 200}));
    auto* dst = emptyRGBA(2, 1);
    Target target(2, 1, {dst});
    ASSERT_TRUE(target.ok());
    ASSERT_TRUE(qel::GLAdd({a.get(), b.get()}, dst));
    expectNear(gltest::readRGBA8(dst->name(), 2, 1), {15, 26, 37, 48, 101, 102, 103, 104});
    ASSERT_TRUE(qel::GLAdd({a.get(), b.get(), c.get()}, dst));
    expectNear(gltest::readRGBA8(dst->name(), 2, 1), {16, 27, 38, 49, 101, 102, 103, 255});
}

TEST_F(Passes, AddRefusesOtherSourceCounts) {
    std::unique_ptr<qel::Texture2D> a(gltest::rgbaTexture(1, 1, {1, 2, 3, 4}));
    EXPECT_FALSE(qel::GLAdd({a.get()}, nullptr));
    EXPECT_FALSE(qel::GLAdd({a.get(), a.get(), a.get(), a.get()}, nullptr));
    EXPECT_FALSE(qel::GLAddMipMaps({a.get(), a.get(), a.get()}, 1, nullptr));
    EXPECT_FALSE(qel::GLAddMipMaps({}, 1, nullptr));
}

TEST_F(Passes, AddOfAConstant) {
    std::unique_ptr<qel::Texture2D> a(gltest::rgbaTexture(1, 1, {10, 20, 30, 40}));
    auto* dst = emptyRGBA(1, 1);
    Target target(1, 1, {dst});
    ASSERT_TRUE(qel::GLAdd(a.get(), qel::vec4(0.2f, 0.0f, 1.0f, 0.4f), dst));
    expectNear(gltest::readRGBA8(dst->name(), 1, 1), {61, 20, 255, 142});
}

TEST_F(Passes, AddMipMapsSumsTheLevels) {
    // A 2 x 2 source whose mip level 1 is the average of its texels.
    std::unique_ptr<qel::Texture2D> base(gltest::rgbaTexture(1, 1, {10, 0, 0, 0}));
    qel::Texture2D mip(2, 2, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_NEAREST);
    const Bytes texels = {40, 0, 0, 0, 40, 0, 0, 0, 80, 0, 0, 0, 80, 0, 0, 0};
    mip.setData(texels.data(), int(texels.size()));
    ASSERT_EQ(mip.generateMipMaps(), 2);
    auto* dst = emptyRGBA(1, 1);
    Target target(1, 1, {dst});
    // Sampled at the centre, level 0 is one of the texels (40 or 80 with
    // linear mip filtering between levels not involved), level 1 is 60.
    ASSERT_TRUE(qel::GLAddMipMaps({base.get(), &mip}, 2, dst));
    const int red = gltest::readRGBA8(dst->name(), 1, 1)[0];
    EXPECT_GE(red, 10 + 40 + 60 - 1);
    EXPECT_LE(red, 10 + 80 + 60 + 1);
    ASSERT_TRUE(qel::GLAddMipMaps({&mip}, 1, dst));
    const int single = gltest::readRGBA8(dst->name(), 1, 1)[0];
    EXPECT_GE(single, 39);
    EXPECT_LE(single, 81);
}

TEST_F(Passes, ThresholdKeepsOnlyTexelsReachingEveryComponent) {
    std::unique_ptr<qel::Texture2D> src(
        gltest::rgbaTexture(3, 1, {200, 200, 200, 255, 200, 100, 200, 255, 128, 128, 128, 128}));
    auto* dst = emptyRGBA(3, 1);
    Target target(3, 1, {dst});
    ASSERT_TRUE(qel::GLThreshold(src.get(), qel::vec4(0.5f, 0.5f, 0.5f, 0.5f), dst));
    expectNear(gltest::readRGBA8(dst->name(), 3, 1), {200, 200, 200, 255, 0, 0, 0, 0, 128, 128, 128, 128});
}

TEST_F(Passes, MirrorFlipsRows) {
    Bytes rows;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) rows.insert(rows.end(), {std::uint8_t(10 * y), std::uint8_t(x), 0, 255});
    std::unique_ptr<qel::Texture2D> src(gltest::rgbaTexture(2, 3, rows));
    auto* dst = emptyRGBA(2, 3);
    Target target(2, 3, {dst});
    ASSERT_TRUE(qel::GLMirrorVertical(src.get(), dst));
    const Bytes out = gltest::readRGBA8(dst->name(), 2, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) expectNear(pixel(out, 2, x, y), {std::uint8_t(10 * (2 - y)), std::uint8_t(x), 0, 255}, 0);
}

TEST_F(Passes, ChromaBlendsEachChannelWithTheMagnifiedImage) {
    // 5 x 5 image: magnification 2 about the centre maps pixel (3, 3) onto
    // texel (4, 4).
    Bytes image;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            image.insert(image.end(), {std::uint8_t(40 * x), std::uint8_t(40 * y), std::uint8_t(10 * x + y), 255});
    std::unique_ptr<qel::Texture2D> src(gltest::rgbaTexture(5, 5, image));
    auto* dst = emptyRGBA(5, 5);
    Target target(5, 5, {dst});
    ASSERT_TRUE(qel::GLChroma(src.get(), dst, qel::bvec4(255, 0, 0, 0), 0.0f, qel::vec2(0.5f, 0.5f)));
    const Bytes out = gltest::readRGBA8(dst->name(), 5, 5);
    expectNear(pixel(out, 5, 3, 3), {160, 120, 33, 255});
    expectNear(pixel(out, 5, 2, 2), {80, 80, 22, 255});
    // s = 1 gives scale 1: a plain copy whatever the weights.
    ASSERT_TRUE(qel::GLChroma(src.get(), dst, qel::bvec4(255, 255, 255, 255), 1.0f, qel::vec2(0.3f, 0.9f)));
    expectNear(gltest::readRGBA8(dst->name(), 5, 5), image, 0);
}

namespace {

float kernel(int k) {
    static const float weights[5] = {0.17f, 0.155f, 0.12f, 0.09f, 0.05f};
    k = std::abs(k);
    return k < 5 ? weights[k] : 0.0f;
}

// Blurs one bright texel in the middle of an 11 x 11 float image of the
// given layout and checks the separable kernel.
void blurSingleTexel(GLenum internal, GLenum format, int channels) {
    const int n = 11;
    std::vector<float> values(std::size_t(n * n * channels), 0.0f);
    for (int c = 0; c < channels; ++c) values[std::size_t((5 * n + 5) * channels + c)] = 1.0f;
    auto* a = gltest::floatTexture(n, n, internal, format, values);
    auto* b = gltest::floatTexture(n, n, internal, format, {});
    Target target(n, n, {a, b});
    ASSERT_TRUE(target.ok());
    ASSERT_TRUE(qel::GLBlur(a, b, 1));
    const std::vector<float> out = gltest::readFloats(a->name(), n, n, format);
    double total = 0;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float v = out[std::size_t((y * n + x) * channels)];
            total += v;
            ASSERT_NEAR(v, kernel(x - 5) * kernel(y - 5), 2e-3) << x << " " << y;
        }
    EXPECT_NEAR(total, 1.0, 1e-2);
}

}  // namespace

TEST_F(Passes, BlurSpreadsASingleTexelWithTheSeparableKernel) {
    blurSingleTexel(GL_RGBA32F, GL_RGBA, 4);
}

TEST_F(Passes, BlurOfFloatRGBUsesTheVec3Program) {
    blurSingleTexel(GL_RGB16F, GL_RGB, 3);
}

TEST_F(Passes, BlurOfOneFloatChannel) {
    blurSingleTexel(GL_R32F, GL_RED, 1);
}

TEST_F(Passes, BlurWithoutPassesDrawsNothing) {
    auto* a = gltest::rgbaTexture(2, 2, Bytes(16, 77));
    auto* b = emptyRGBA(2, 2);
    Target target(2, 2, {a, b});
    EXPECT_TRUE(qel::GLBlur(a, b, 0));
    expectNear(gltest::readRGBA8(a->name(), 2, 2), Bytes(16, 77), 0);
    std::unique_ptr<qel::Texture2D> loose(emptyRGBA(2, 2));
    EXPECT_FALSE(qel::GLBlur(loose.get(), b, 1)) << "a texture no framebuffer attached";
}

TEST_F(Passes, FailingProgramRollsTheListBack) {
    std::unique_ptr<qel::Texture2D> a(gltest::rgbaTexture(1, 1, {1, 2, 3, 4}));
    qel::Shader missing("Filters/NoSuchFilter");
    qel::GLAtomList list{a.get(), &missing, nullptr};
    EXPECT_EQ(list.atoms().size(), 2u);
    EXPECT_FALSE(list.enable());
    EXPECT_TRUE(list.atoms().empty());
    EXPECT_FALSE(a->isEnabled());
    gl->glGetError();
}

TEST_F(Passes, OverlayHelpersDrawInTheirColour) {
    auto* dst = emptyRGBA(4, 4);
    Target target(4, 4, {dst});
    gl->glClearColor(0, 0, 0, 0);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    // The point marker maps the unit square onto the whole view.
    ASSERT_TRUE(qel::GLPoint(qel::mat4(), qel::bvec4(255, 0, 0, 255)));
    expectNear(gltest::readRGBA8(dst->name(), 4, 4), [] {
        Bytes b;
        for (int i = 0; i < 16; ++i) b.insert(b.end(), {255, 0, 0, 255});
        return b;
    }(), 0);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    // A segment along the row of pixel centres y = -0.25.
    ASSERT_TRUE(qel::GLDrawSegment(qel::vec3(-1, -0.25f, 0), qel::vec3(1, -0.25f, 0), qel::mat4(),
                                   qel::bvec4(0, 255, 0, 255)));
    const Bytes lines = gltest::readRGBA8(dst->name(), 4, 4);
    EXPECT_EQ(pixel(lines, 4, 1, 1)[1], 255);
    EXPECT_EQ(pixel(lines, 4, 1, 3)[1], 0);
    ASSERT_TRUE(qel::GLDrawCircle(0.5f, qel::vec3(0, 0, 1), qel::vec3(0, 0, 0), qel::mat4(),
                                  qel::bvec4(0, 0, 255, 255)));
    EXPECT_FALSE(qel::GLQuad::VBOEnabled);
    EXPECT_FALSE(qel::GLCircle::VBOEnabled);
}

TEST_F(Passes, SquareStillFillsAfterTheCircleTookTheAttribute) {
    auto* dst = emptyRGBA(2, 2);
    Target target(2, 2, {dst});
    ASSERT_TRUE(qel::ShaderDraw->enable());
    qel::Shader::setUniform("ProjectionModelViewMatrix", qel::Ortho01);
    qel::Shader::setUniform("color", qel::bvec4(9, 9, 9, 9));
    // The square is left enabled, then the circle reads attribute 0.
    ASSERT_TRUE(qel::GLFill(false));
    ASSERT_TRUE(qel::GLCircle::draw(true));
    gl->glClearColor(0, 0, 0, 0);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(qel::GLPoint(qel::mat4(), qel::bvec4(1, 2, 3, 4)));
    expectNear(pixel(gltest::readRGBA8(dst->name(), 2, 2), 2, 1, 1), {1, 2, 3, 4}, 0);
}
