// Lightning bolts drawn on a real GL context: the bolt spans exactly the
// two ends of its frame however the noise bends it, and a view made after
// another view's end (which frees the shared bolt and two-ended elements)
// draws it again.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "elements/lightning.h"
#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/texture.h"
#include "gl/texture2d.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "support/scene_layer.h"
#include "tools/bi_tool.h"
#include "view/glview.h"

using namespace qel;

namespace {

constexpr int W = 32;
constexpr int H = 32;
constexpr unsigned Id = 7;

// The frame's z axis laid along x from -0.375 to 0.375 at y = 0: the ends
// fall on the pixel borders of columns 4 and 28.
const mat4 Across = mat4::Translation(-0.375f, 0, 0) * mat4::RotationScale(vec3(0, 0, 1), vec3(0.75f, 0, 0));

class LightningGL : public tltest::DrawTest {
protected:
    void TearDown() override {
        EXPECT_EQ(Texture::GLActiveTexture, 0) << "texture units given back";
        tltest::DrawTest::TearDown();
    }
    // The pixels carrying the object id after drawing l at `time`, as
    // (column, row) pairs.
    std::vector<std::pair<int, int>> draw(Lightning& l, float time) {
        std::vector<std::pair<int, int>> out;
        EXPECT_TRUE(layer.begin());
        l.render(Id, 0xffffffffu, Across, pbr(), Element::ColorAsColor, time, true);
        layer.end();
        const auto ids = layer.ids();
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (ids[std::size_t(3 * (y * W + x))] == Id) out.emplace_back(x, y);
        return out;
    }
    // Every column between the ends is reached, none beyond them.
    static void expectSpan(const std::vector<std::pair<int, int>>& pixels) {
        std::vector<int> perColumn(W, 0);
        for (const auto& p : pixels) ++perColumn[std::size_t(p.first)];
        for (int x = 0; x < W; ++x) EXPECT_EQ(perColumn[std::size_t(x)] > 0, x >= 4 && x < 28) << "column " << x;
    }

    tltest::SceneLayer layer{W, H};
};

// The pixels of the view's identifier target that an object showing the
// element fills in one frame of the view.
int idPixels(GLView& view, Element* e) {
    Tool tool(e, mat4::Identity(), pbr(), false);
    view.scene->addObject(&tool, Across, Scene::HangTop, false);
    view.redraw = 1;
    EXPECT_TRUE(view.render());
    std::vector<std::uint32_t> ids(std::size_t(3 * W * H));
    gl->glBindTexture(GL_TEXTURE_2D, view.fboScene->idMaterial->name());
    gl->glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB_INTEGER, GL_UNSIGNED_INT, ids.data());
    gl->glBindTexture(GL_TEXTURE_2D, 0);
    int n = 0;
    for (int i = 0; i < W * H; ++i) n += ids[std::size_t(3 * i)] != 0;
    return n;
}

}  // namespace

// A straight bolt fills the row between its ends. Noise scrolling in time
// alone moves every point alike: the drawn bolt must then be the straight
// one exactly, which holds only when the shader's lookup lands where the
// processor put the ends. Noise along the bolt bends it between its ends.
TEST_F(LightningGL, TheBoltSpansItsEndsAndNothingBeyondWhateverTheNoise) {
    std::srand(9);
    Lightning straight(vec2(0.3f, 0.04f), vec2(1, 1), 0);
    const auto expected = draw(straight, 0);
    expectSpan(expected);
    for (const auto& p : expected) EXPECT_TRUE(p.second == 15 || p.second == 16) << p.second;
    for (float time : {0.0f, 500.0f, 123456.0f}) {
        Lightning moved(vec2(0.5f, 0.04f), vec2(0, 0.001f), 6);
        EXPECT_GT(length(moved.displaced_position(vec3(0, 0, 0), time)), 0.05);
        EXPECT_EQ(draw(moved, time), expected) << time;
    }
    Lightning bent(vec2(0.1f, 0.04f), vec2(0.8f, 0.01f), 4);
    const auto pixels = draw(bent, 500);
    expectSpan(pixels);
    EXPECT_NE(pixels, expected) << "the bolt is bent";
}

TEST_F(LightningGL, AViewMadeAfterAnotherViewsEndDrawsTheBoltAgain) {
    auto* view = new GLView(W, H);
    const int first = idPixels(*view, new Lightning(vec2(0.3f, 0.04f), vec2(1, 1), 0));
    BiTool::makeShared();  // the two-ended tools' shared elements go with the view too
    delete view;
    ASSERT_EQ(Lightning::Bolt, nullptr);
    EXPECT_TRUE(BiTool::Segment == nullptr && BiTool::Handle == nullptr);
    GLView next(W, H);
    EXPECT_GT(first, 20);
    EXPECT_EQ(idPixels(next, new Lightning(vec2(0.3f, 0.04f), vec2(1, 1), 0)), first);
}
