// Whole frames of the view on a small scene of slabs, read back.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "gl/fboscene.h"
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

class Frame : public testing::Test {
protected:
    void SetUp() override {
        initShaderResources();
        qel::initIconResources();
        view.showText = 0;
        view.glow = 0;
        view.contourColor = wvec4(0, 0, 0, 0);
        view.background = wvec4(0, 0, 0, 0);
    }
    void TearDown() override { EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR)); }
    // A thin slab of w x h world units centred on (x, 0, z), turned by a
    // about y (the cube's normalised side is 1 / sqrt(3)).
    Tool* slab(float x, float z, float w, float h, const wvec4& colour, const wvec4& light = {0, 0, 0, 65535},
               float a = 0) {
        Tool tool(Mesh::Cube(), mat4::Identity(), pbr(colour, light, 0, 0), false);
        const mat4 turn = mat4::FromMat3(mat3::RotationAroundAxis(vec3(0, 1, 0), a)), k = mat4::Scale(std::sqrt(3.0f));
        const mat4 m = mat4::Translation(x, 0, z) * turn * k * mat4::Scale(w, h, 0.001f);
        return view.scene->addObject(&tool, m, Scene::HangTop, false);
    }
    std::vector<bvec4> frame() { return viewtest::renderedFrame(view, N, N); }
    static std::vector<bvec4> read(Texture2D* t) {
        std::vector<bvec4> out(N * N);
        gl->glBindTexture(GL_TEXTURE_2D, t->id());
        gl->glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
        gl->glBindTexture(GL_TEXTURE_2D, 0);
        return out;
    }
    GLView view{N, N};
};

const wvec4 Red(65535, 0, 0, 65535), White(65535, 65535, 65535, 65535);

bvec4 at(const std::vector<bvec4>& image, int x, int y) { return image[std::size_t(y * N + x)]; }

bool near(const bvec4& a, const bvec4& b) {
    for (int i = 0; i < 4; ++i)
        if (std::abs(a[i] - b[i]) > 2) return false;
    return true;
}

GLint glInt(GLenum name) {
    GLint value = -1;
    gl->glGetIntegerv(name, &value);
    return value;
}

}  // namespace

// Without transparent objects the mix leaves the opaque image as it is.
TEST_F(Frame, ImageIsTheLastLayersOutputAndTheFrameEndsWithNothingBound) {
    slab(-0.1f, 0, 0.4f, 0.4f, Red);
    for (std::uint8_t glow : {0, 1})
        for (std::uint8_t lens : {0, 1}) {
            view.glow = glow;
            view.lensChromatism = lens;
            view.redraw = 1;
            Texture2D* image = view.render();
            const FBOScene* result = glow ? view.fboScene : view.fboSceneTransparent;
            ASSERT_TRUE(image && image == result->output && (image == result->light) == bool(lens)) << int(glow);
            EXPECT_EQ(view.redraw, 0);
            EXPECT_TRUE(glInt(GL_CURRENT_PROGRAM) == 0 && glInt(GL_FRAMEBUFFER_BINDING) == 0 && Shader::id == 0);
            EXPECT_TRUE(glow || lens || read(image) == read(view.fboScene->input)) << "the mix changed no pixel";
        }
    EXPECT_EQ(view.render(), nullptr) << "no frame without redraw";
}

// Glass half opaque over red and black. Flat, it shows half of each; turned
// by 60 degrees its normal (sin 60, 0, cos 60) bends the view by f = sin^4 60
// times wh = 0.15 times n.x of the view's width, which moves the red edge,
// and raises its opacity by f^2.
TEST_F(Frame, GlassBlendsByItsAlphaAndRefractsByItsNormal) {
    const auto scene = [this](float a) {
        view.scene->init();
        slab(-0.25f, 0, 0.5f, 0.5f, Red);
        slab(0, 0.3f, 0.6f, 0.4f, wvec4(65535, 65535, 65535, 0x8000), wvec4(0, 0, 0, 65535), a);
        return frame();
    };
    const auto redEnd = [](const std::vector<bvec4>& image) {
        int x = 0;
        while (x < N && at(image, x, 32).r > at(image, x, 32).g + 40) ++x;
        return x;
    };
    const auto flat = scene(0);
    EXPECT_PRED2(near, at(flat, 20, 32), bvec4(218, 109, 109, 128));
    EXPECT_PRED2(near, at(flat, 44, 32), bvec4(109, 109, 109, 128));
    EXPECT_EQ(redEnd(flat), 32);
    const float a = float(M_PI / 3), nx = (mat3::RotationAroundAxis(vec3(0, 1, 0), a) * vec3(0, 0, 1)).x;
    const auto turned = scene(a);
    EXPECT_NEAR(redEnd(turned) - 32, std::pow(nx, 4.0f) * 0.15f * nx * N, 1.0);
    EXPECT_NEAR(at(turned, 38, 32).a, 255 * (0.5 + 0.5 * std::pow(nx, 8.0f)), 2) << "grazing glass is more opaque";
}

TEST_F(Frame, EmissiveObjectGlowsAroundOnlyWithGlow) {
    slab(0, 0, 0.1f, 0.1f, White, White);
    for (std::uint8_t glow : {0, 1}) {
        view.glow = glow;
        const bvec4 beside = at(frame(), 32 + 8, 32);
        EXPECT_EQ(beside.g > 20, bool(glow)) << int(beside.g);
    }
}

// A selected slab: with the selection shown the mix tints it a second time
// and draws the red selection contour on the background around it.
TEST_F(Frame, SelectionModesTintThroughTheSelectionContourMix) {
    slab(0, 0, 0.4f, 0.4f, White)->flags |= Tool::FlagSelected;
    view.contourColor = wvec4(0, 0, 0, 0x8000);
    for (std::uint32_t mode = 0; mode < 4; ++mode) {
        view.setWireframe(mode & 1);
        view.setSelection(mode >> 1);
        const auto image = frame();
        const auto opaque = read(view.fboScene->input);
        EXPECT_EQ(at(image, 32, 32).g < at(opaque, 32, 32).g, mode >= 2) << mode;
        EXPECT_EQ(at(image, 18, 32) == bvec4(255, 0, 0, 255), mode >= 2) << mode;
    }
}

TEST_F(Frame, AFailingMixStopsTheFrameUntilItIsSound) {
    Shader missing("Missing/Mix");
    for (Shader** mix : {&ShaderMixRefract, &ShaderContourMix}) {
        Shader* kept = std::exchange(*mix, &missing);
        view.redraw = 1;
        EXPECT_TRUE(view.render() == nullptr && view.redraw == 1);
        *mix = kept;
        EXPECT_NE(view.render(), nullptr);
        gl->glGetError();
    }
}

TEST_F(Frame, StatusTextOnlyWithShowTextOffHighDensityScreens) {
    for (int k = 0; k < 3; ++k) {
        view.showText = k != 1;
        view.hiDpi = k == 2;
        const auto image = frame();
        EXPECT_EQ(std::count(image.begin(), image.end(), bvec4(204, 204, 204, 0)) > 0, k == 0) << k;
    }
}
