// The view's scene layers on a real context: made-up G-buffers written
// straight into the targets, shaded and read back, and real cubes drawn
// through the scene for the stencil marks.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "gl/environment.h"
#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/resources.h"
#include "gl/shaders.h"
#include "gl/texture2d.h"
#include "gl/texturecube.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "view/camera.h"
#include "view/glview.h"

using namespace qel;

namespace {

using RGBA = bvec4;

struct Pixel {
    std::uint32_t object = 1, item = 0, material = 0;
    RGBA colour{255, 255, 255, 255};
    vec3 normal{0, 0, 1};
    float depth = 0.5f;
    std::uint32_t stencil = 1;  // read with the depth as one depth-stencil texel
};

std::uint32_t material(int roughness, int metalness) {
    return std::uint32_t(roughness + 32767) | std::uint32_t(metalness + 32767) << 16;
}

bool near(const RGBA& a, const RGBA& b) {
    return std::abs(a.r - b.r) <= 2 && std::abs(a.g - b.g) <= 2 && std::abs(a.b - b.b) <= 2 && std::abs(a.a - b.a) <= 2;
}

void put(Texture2D* target, int x, GLenum format, GLenum type, const void* data) {
    gl->glBindTexture(GL_TEXTURE_2D, target->id());
    gl->glTexSubImage2D(GL_TEXTURE_2D, 0, x, 0, 1, 1, format, type, data);
    gl->glBindTexture(GL_TEXTURE_2D, 0);
}

// Faces +X, -X, +Y, -Y, +Z, -Z of the test environments.
const RGBA Faces[6] = {{255, 0, 0, 255},   {0, 255, 0, 255},   {0, 0, 255, 255},
                       {255, 255, 0, 255}, {0, 255, 255, 255}, {255, 0, 255, 255}};

RGBA faceColour(const vec3& d) {
    const vec3 a(std::fabs(d.x), std::fabs(d.y), std::fabs(d.z));
    if (a.x >= a.y && a.x >= a.z) return Faces[d.x < 0 ? 1 : 0];
    return a.y >= a.z ? Faces[d.y < 0 ? 3 : 2] : Faces[d.z < 0 ? 5 : 4];
}

// An environment of two layers of 4 x 4 faces: one colour everywhere, or
// (none given) the face colours.
Environment* environment(const RGBA* uniform) {
    auto* e = new Environment("unused", 4, 2, false);
    std::vector<std::uint8_t> bytes;
    for (int f = 0; f < 6; ++f)
        for (int t = 0; t < 16 * 3; ++t) bytes.push_back((uniform ? *uniform : Faces[f])[t % 3]);
    for (int layer = 0; layer < 2; ++layer) e->array()->set(layer, bytes);
    return e;
}

class Layers : public testing::Test {
protected:
    void SetUp() override {
        initShaderResources();
        view.reset(new GLView(8, 1));
        ASSERT_TRUE(view->fboScene->enable());
        gl->glViewport(0, 0, 8, 1);
    }
    void TearDown() override {
        view->fboScene->disable();
        EXPECT_EQ(Texture::GLActiveTexture, 0);
        EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
    }
    // The layer emptied through renderScene (the scene is empty), then the
    // pixels from x = 0 written into its targets, shaded and read back.
    std::vector<RGBA> shade(FBOScene* layer, const std::vector<Pixel>& pixels) {
        EXPECT_TRUE(layer->enable());
        view->renderScene(layer, layer == view->fboScene ? Tool::RenderOpaque : Tool::RenderTransparent, false);
        for (int x = 0; x < int(pixels.size()); ++x) {
            const Pixel& p = pixels[x];
            const std::uint32_t id[4] = {p.object, p.item, p.material, 0};
            put(layer->idMaterial, x, layer->idMaterial->format(), GL_UNSIGNED_INT, id);
            put(layer->color, x, GL_RGBA, GL_UNSIGNED_BYTE, &p.colour);
            put(layer->normal, x, GL_RGB, GL_FLOAT, &p.normal);
            put(layer->depth, x, GL_DEPTH_STENCIL, GL_FLOAT_32_UNSIGNED_INT_24_8_REV, &p.depth);
        }
        EXPECT_TRUE(view->compositLayer(layer));
        return read(layer->output);
    }
    std::vector<RGBA> read(Texture2D* target) {
        std::vector<RGBA> out(std::size_t(view->width * view->height));
        gl->glReadBuffer(GLenum(target->colourAttachment()));
        gl->glReadPixels(0, 0, view->width, view->height, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
        return out;
    }
    std::unique_ptr<GLView> view;
};

}  // namespace

// Pixels 0-7: facing the viewer, facing away, no material, the other layer's,
// metal, rough plastic, smooth plastic, facing the viewer. Lit without an
// environment, then by a uniform one, then with it but rendering simply.
TEST_F(Layers, LightIsSimpleWithoutEnvironmentOrWhenRenderingSimplyElseFromTheEnvironment) {
    const RGBA c{200, 150, 100, 255}, e{128, 230, 64, 255};
    const std::uint32_t materials[8] = {
        7, 7, 0, 7, material(-32766, 32766), material(32766, -32766), material(-32766, -32766), 7};
    std::vector<Pixel> pixels(8);
    for (int k = 0; k < 8; ++k) pixels[k] = {1, 0, materials[k], c};
    pixels[1].normal = vec3(0, 0, -1);
    pixels[3].stencil = 2;
    view->contourColor = wvec4(0, 0, 0, 0);
    for (int run = 0; run < 3; ++run) {
        if (run == 1) view->environment = environment(&e);
        view->renderSimple = std::uint8_t(run == 2);
        const auto out = shade(view->fboScene, pixels);
        for (int k = 0; k < 8; ++k) {
            const double r = (materials[k] & 0xFFFF) / 65534.0, m = (materials[k] >> 16) / 65534.0;
            const double simple = (k == 1 ? 0.816497 / 3 : 0.816497) * 0.8 + 0.2;
            RGBA want = c;
            for (int i = 0; i < 3 && materials[k] != 0 && k != 3; ++i) {
                const double light = e[i] / 255.0, lit = c[i] / 255.0 * light + (1 - m) * std::pow(light, 10 - 5 * r);
                want[i] = std::uint8_t(std::lround(run == 1 ? 255 * std::min(1.0, lit) : c[i] * simple));
            }
            EXPECT_PRED2(near, out[k], want) << "run " << run << " pixel " << k;
        }
    }
}

// The sky and the mirror term look along the view direction turned back by
// camera x environment; the other order, or the rotation uploaded the other
// way round, picks another face.
TEST_F(Layers, SkyAndMirrorLookUpTheTurnedWorldDirection) {
    view->environment = environment(nullptr);
    view->backgroundMode = 2;
    view->environmentRotated = 1;
    view->camera->orientation = mat3::RotationAroundAxis(vec3(0, 1, 0), float(M_PI / 2));
    view->environmentMatrix = mat3::RotationAroundAxis(vec3(1, 0, 0), float(M_PI / 2));
    view->contourColor = wvec4(0, 0, 0, 0);
    const mat3 back = (view->camera->orientation * view->environmentMatrix).transposed();
    const auto out = shade(view->fboScene, {{1, 0, material(-32766, 32766)}});
    EXPECT_PRED2(near, out[0], faceColour(back * vec3(0, 0, 1)));
    const float lens = 1 / std::tan(float(M_PI) / 36);  // the orthogonal view's 10 degrees
    for (int x = 1; x < 8; ++x)
        EXPECT_PRED2(near, out[x], faceColour(back * vec3((2 * x + 1) / 8.0f - 1, 0, -lens))) << x;
}

// Depth steps of 20 and 10 (in 1/20000) after pixels 1 and 3, and a crease
// after pixel 5: pixels 1 and 5 are edges.
TEST_F(Layers, EdgesDarkenAtDepthStepsAndCreases) {
    view->edgeDetection = 1;
    std::vector<Pixel> pixels(8);
    for (int k = 0; k < 8; ++k) pixels[k].depth = 0.5f + float(k < 2 ? 0 : k < 4 ? 20 : 30) / 20000;
    pixels[6].normal = pixels[7].normal = vec3(1, 0, 0);
    const auto out = shade(view->fboScene, pixels);
    const RGBA edge{127, 127, 127, 255};
    for (int k = 0; k < 8; ++k) EXPECT_PRED2(near, out[k], k == 1 || k == 5 ? edge : pixels[0].colour) << k;
}

// Objects 1 (pixels 0-3) and 2, selected (4-7); pixel 1 is item 1 of its
// object. Expected: w unchanged, p contour keeping the alpha, c contour made
// opaque, r selection contour, t selection tint.
TEST_F(Layers, ContoursFollowTheRenderModeAndLayer) {
    const std::tuple<std::uint32_t, bool, const char*> cases[] = {{0, true, "wwwccwww"},  {1, true, "pwpppwww"},
                                                                  {2, true, "wwwrrttt"},  {3, true, "pwprrttt"},
                                                                  {2, false, "wwwwwwww"}, {3, false, "pwpppwww"}};
    // w, p, c, r, t
    const RGBA colours[] = {
        {255, 255, 255, 128}, {127, 127, 127, 128}, {127, 127, 127, 255}, {255, 0, 0, 255}, {255, 252, 252, 128}};
    for (const auto& [mode, opaque, want] : cases) {
        view->setWireframe(mode & 1);
        view->setSelection(mode >> 1);
        std::vector<Pixel> pixels(8, Pixel{1, 0, 0, {255, 255, 255, 128}, {0, 0, 1}, 0.5f, opaque ? 1u : 2u});
        for (int k = 4; k < 8; ++k) pixels[k].object = 2 | 0x80000000u;
        pixels[1].item = 1;
        const auto out = shade(opaque ? view->fboScene : view->fboSceneTransparent, pixels);
        for (int k = 0; k < 8; ++k)
            EXPECT_PRED2(near, out[k], colours[std::string("wpcrt").find(want[k])]) << mode << " pixel " << k;
    }
}

// The view resized to 16 x 16 with both layers enabled, which then share
// one depth-stencil texture of the new size. Cubes of a quarter of the view:
// opaque on the left, transparent on the right, the preview above the middle.
// Read: the stencil inside each of them and in a corner, and the transparent
// layer's object id at its cube.
TEST_F(Layers, ResizedLayersShareTheStencilMarksAndPreviewDrawsOverTheTransparentLayer) {
    ASSERT_TRUE(view->fboSceneTransparent->enable());
    view->redraw = 0;
    view->resize(16, 16);
    EXPECT_TRUE(view->redraw == 1 && view->fboSceneTransparent->depth == view->fboScene->depth);
    EXPECT_TRUE(view->fboScene->composite->width() == 16 && view->fboSceneTransparent->height() == 16);
    ASSERT_TRUE(view->fboScene->enable());
    gl->glViewport(0, 0, 16, 16);
    view->buildMatrices();
    Tool cube(Mesh::Cube(), mat4::Identity(), pbr(), false), glass(cube.element, mat4::Identity(), pbr(), true);
    const auto placed = [](float x, float y) { return mat4::Translation(x, y, 0) * mat4::Scale(0.25f, 0.25f, 0.25f); };
    view->scene->addObject(&cube, placed(-0.25f, 0), Scene::HangTop, false);
    view->scene->addObject(&glass, placed(0.25f, 0), Scene::HangTop, false);
    const auto marks = [&](std::uint8_t hide) {
        view->hideTransparent = hide;
        view->scene->toList();
        view->renderScene(view->fboScene, Tool::RenderOpaque, false);
        EXPECT_TRUE(view->fboSceneTransparent->enable());
        view->renderScene(view->fboSceneTransparent, Tool::RenderTransparent, false);
        view->scene->addObjectToList(&cube, {placed(0, 0.3f)}, Scene::HangTop, false);
        view->renderScene(view->fboSceneTransparent, Tool::RenderAll, true);
        std::uint8_t s[256];
        gl->glReadPixels(0, 0, 16, 16, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, s);
        GLuint id[4] = {0, 0, 0, 0};
        gl->glReadBuffer(GLenum(view->fboSceneTransparent->idMaterial->colourAttachment()));
        gl->glReadPixels(11, 7, 1, 1, GL_RGBA_INTEGER, GL_UNSIGNED_INT, id);
        return std::vector<unsigned>{s[7 * 16 + 3], s[7 * 16 + 11], s[12 * 16 + 7], s[0], id[0]};
    };
    EXPECT_EQ(marks(0), (std::vector<unsigned>{1, 2, 2, 0, 2}));
    EXPECT_EQ(marks(1), (std::vector<unsigned>{1, 0, 2, 0, 0}));
}

TEST_F(Layers, BackgroundImageIsStretchedOverTheViewAndAMissingOneGivesTheColour) {
    view->backgroundMode = 1;
    view->background = wvec4(0xFFFF, 0xFFFF, 0, 0);
    const std::uint8_t redBlue[8] = {255, 0, 0, 255, 0, 0, 255, 255};
    auto* image = new Texture2D(2, 1, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR);
    image->setData(redBlue, 8);
    view->backgroundImage = new FBOTexture(FBO::NoDepth, 2, 1, 1);
    view->backgroundImage->addTexture(image);
    const RGBA red{255, 0, 0, 255}, blue{0, 0, 255, 255}, yellow{255, 255, 0, 255};
    for (bool missing : {false, true}) {
        view->renderScene(view->fboScene, Tool::RenderOpaque, false);
        for (Texture2D* target : {view->fboScene->color, view->fboScene->composite}) {
            const auto out = read(target);
            EXPECT_TRUE(out[0] == (missing ? yellow : red) && out[7] == (missing ? yellow : blue));
            EXPECT_EQ(out[3].r > 0 && out[3].r < 255 && out[3].b > 0, !missing) << "linear blend in the middle";
        }
        delete view->backgroundImage;
        view->backgroundImage = new FBOTexture(FBO::NoDepth, 1, 1, 1);
        view->backgroundImage->addTexture(new Texture2D("/nonexistent/background.png", false));
    }
}

TEST_F(Layers, CompositingFailsWhenAPassCannotBeEnabled) {
    view->edgeDetection = 1;
    Shader missing("Missing/Pass");
    for (Shader** pass : {&ShaderLayerCompositSimple, &ShaderEdgeDetection, &ShaderContour}) {
        Shader* kept = *pass;
        *pass = &missing;
        EXPECT_FALSE(view->compositLayer(view->fboScene));
        *pass = kept;
        gl->glGetError();
    }
}

// A red cube in the middle of a 16 x 16 view: the feature pass draws its
// sharp edges in the contour colour over its faces and leaves their object
// ids.
TEST_F(Layers, FeaturePassDrawsTheSharpEdgesOfAMesh) {
    view->resize(16, 16);
    ASSERT_TRUE(view->fboScene->enable());
    gl->glViewport(0, 0, 16, 16);
    view->buildMatrices();
    const pbr red(wvec4(65535, 0, 0, 65535), wvec4(0, 0, 0, 65535), 0, 0);
    Tool cube(Mesh::Cube(), mat4::Identity(), red, false);
    view->scene->addObject(&cube, mat4::Scale(0.4f, 0.4f, 0.4f), Scene::HangTop, false);
    // The first frame builds the line buffer; the next list takes the cube
    // into the feature pass.
    for (int frame = 0; frame < 2; ++frame) {
        view->scene->toList();
        view->renderScene(view->fboScene, Tool::RenderOpaque, false);
    }
    const auto colours = read(view->fboScene->color);
    std::vector<GLuint> ids(16 * 16 * 4);
    gl->glReadBuffer(GLenum(view->fboScene->idMaterial->colourAttachment()));
    gl->glReadPixels(0, 0, 16, 16, GL_RGBA_INTEGER, GL_UNSIGNED_INT, ids.data());
    const RGBA line = view->contourColor.highBytes();
    int edges = 0, faces = 0;
    for (int i = 0; i < 16 * 16; ++i) {
        if (ids[4 * i] == 0) continue;
        const RGBA c = colours[std::size_t(i)];
        edges += c.r == line.r && c.g == line.g && c.b == line.b;
        faces += c.r == 255 && c.g == 0;
    }
    EXPECT_GT(edges, 4);
    EXPECT_GT(faces, 0);
}
