// Sprites drawn on a real GL context into a scene layer: cut-out texels, the
// product with the object colour, the normal under a mirroring tool, and the
// frame of an animated sprite.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdint>
#include <vector>

#include "elements/animated_sprite.h"
#include "elements/sprite.h"
#include "elements/sprite_util.h"
#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/glerror.h"
#include "gl/resources.h"
#include "gl/shader.h"
#include "gl/texture.h"
#include "gl/texture2d.h"
#include "support/scene_layer.h"

using namespace qel;

namespace {

constexpr int W = 16;
constexpr int H = 16;

// +z towards the viewer; the sprite's quad (diagonal 1) scaled to fill the
// target.
const mat4 lookDownZ = mat4::Scale(2.0f, 2.0f, -2.0f);

class SpriteGL : public testing::Test {
protected:
    void SetUp() override {
        initShaderResources();
        Shader::ProjectionModelViewMatrix = lookDownZ;
        Shader::ModelViewMatrix = mat4::Identity();
        glClearErrors();
    }
    void TearDown() override {
        EXPECT_EQ(Texture::GLActiveTexture, 0) << "texture units given back";
        EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
        Shader::ProjectionModelViewMatrix = mat4::Identity();
    }

    // Draws the element with the matrix and material into a fresh layer.
    void draw(Element& e, const mat4& m, const pbr& material, float time = 0.0f) {
        ASSERT_TRUE(layer.begin());
        e.render(7, 0xffffffffu, m * mat4::Scale(1.4f), material, Element::ColorAsColor, time, true);
        layer.end();
    }
    // Pixels whose object id is set.
    int covered() {
        int n = 0;
        for (std::uint32_t i : ids()) n += i == 7u;
        return n;
    }
    std::vector<std::uint32_t> ids() {
        std::vector<std::uint32_t> out;
        const auto all = layer.ids();
        for (int i = 0; i < W * H; ++i) out.push_back(all[std::size_t(3 * i)]);
        return out;
    }

    QTemporaryDir dir;
    tltest::SceneLayer layer{W, H};
};

}  // namespace

TEST_F(SpriteGL, TexelsBelowHalfAlphaAreNeitherDrawnNorPickedAndTheImageIsUpright) {
    // The top-left quarter opaque red, the rest red at alpha 100 / 255.
    QImage image = spritetest::filled(8, 8, QColor(255, 0, 0, 100));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) image.setPixelColor(x, y, QColor(255, 0, 0, 255));
    Sprite sprite(spritetest::save(dir, "quarter.png", image), false);
    ASSERT_TRUE(sprite.hasImage());
    draw(sprite, mat4::Identity(), pbr());
    const auto id = ids();
    const auto colour = layer.colours();
    // Rows bottom first; the pixels next to the quarter's edges blend
    // opaque and transparent texels and may go either way.
    int topLeft = 0, elsewhere = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (id[std::size_t(y * W + x)] != 7u) continue;
            if (x < W / 2 && y >= H / 2) ++topLeft;
            if (x > W / 2 || y < H / 2 - 1) ++elsewhere;
            EXPECT_EQ(colour[std::size_t(4 * (y * W + x))], 255);
        }
    EXPECT_GT(topLeft, 30);
    EXPECT_EQ(elsewhere, 0);
}

TEST_F(SpriteGL, AZeroProductWithTheObjectColourIsCutOut) {
    Sprite black(spritetest::save(dir, "black.png", spritetest::filled(4, 4, QColor(0, 0, 0, 255))), false);
    ASSERT_TRUE(black.hasImage());
    draw(black, mat4::Identity(), pbr(wvec4(65535, 65535, 65535, 0), wvec4(0, 0, 0, 65535), 0, 0));
    EXPECT_EQ(covered(), 0);
    draw(black, mat4::Identity(), pbr());
    EXPECT_GT(covered(), 100);
    const auto colour = layer.colours();
    EXPECT_TRUE(colour[4 * (H / 2 * W + W / 2)] == 0 && colour[4 * (H / 2 * W + W / 2) + 3] == 255);
}

TEST_F(SpriteGL, MirroringKeepsTheNormalThatFacesTheCamera) {
    Sprite sprite(spritetest::save(dir, "grey.png", spritetest::filled(4, 4, QColor(128, 128, 128, 255))), false);
    const int centre = H / 2 * W + W / 2;
    for (const mat4& m : {mat4::Identity(), mat4::Scale(-1.0f, 1.0f, 1.0f), mat4::Scale(1.0f, -1.0f, 1.0f)}) {
        draw(sprite, m, pbr());
        ASSERT_EQ(ids()[centre], 7u);
        const auto n = layer.normals();
        EXPECT_NEAR(n[3 * centre + 2], 1.0f, 1e-3f);
    }
    // A tool scaled to nothing draws nothing and leaves no GL error.
    draw(sprite, mat4::Scale(0.0f), pbr());
    EXPECT_EQ(covered(), 0);
}

TEST_F(SpriteGL, AnAnimatedSpriteDrawsTheFrameOfItsTime) {
    // Frames red, green, blue, white, red, ... every 100 ms.
    AnimatedSprite anim(spritetest::saveGif(dir, "anim.gif", 4, 4, 6, 10), false);
    ASSERT_TRUE(anim.hasImage());
    const int centre = H / 2 * W + W / 2;
    const struct {
        float time;
        std::uint8_t r, g, b;
    } cases[] = {{0, 255, 0, 0}, {150, 0, 255, 0}, {250, 0, 0, 255}, {350, 255, 255, 255}, {650, 255, 0, 0}};
    for (const auto& c : cases) {
        draw(anim, mat4::Identity(), pbr(), c.time);
        const auto colour = layer.colours();
        EXPECT_TRUE(colour[4 * centre] == c.r && colour[4 * centre + 1] == c.g && colour[4 * centre + 2] == c.b)
            << c.time;
    }
}

TEST_F(SpriteGL, ASpriteWithoutImageDrawsNothing) {
    Sprite missing(dir.filePath("missing.png").toStdString(), false);
    AnimatedSprite none;
    draw(missing, mat4::Identity(), pbr());
    EXPECT_EQ(covered(), 0);
    draw(none, mat4::Identity(), pbr());
    EXPECT_EQ(covered(), 0);
}
