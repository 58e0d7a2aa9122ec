// Tubes on a real GL context: the uploaded blocks and feature lines,
// incremental refills, refusals, and what the scene, feature and auxiliary
// passes leave in a layer and in the GL state.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

#include "curves/curve.h"
#include "elements/revoluton.h"
#include "elements/tube.h"
#include "gl/gl.h"
#include "gl/shaders.h"
#include "support/scene_layer.h"

using namespace qel;

namespace {

constexpr int W = 16;
constexpr int H = 16;

std::vector<std::uint8_t> bufferBytes(GLuint name, std::size_t count) {
    std::vector<std::uint8_t> values(count);
    gl->glBindBuffer(GL_ARRAY_BUFFER, name);
    gl->glGetBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(count), values.data());
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    return values;
}

bool attributeEnabled(GLuint index) {
    GLint on = 0;
    gl->glGetVertexAttribiv(index, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &on);
    return on != 0;
}

GLint arrayBufferBinding() {
    GLint name = 0;
    gl->glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &name);
    return name;
}

// A tube held for the test; dropping it frees its curves.
struct TestTube {
    Tube* tube;
    TestTube(Curve* path, Curve* profile) : tube(new Tube(path, profile)) { tube->copy(1); }
    ~TestTube() { Element::drop(tube, 1); }
    TestTube(const TestTube&) = delete;
    TestTube& operator=(const TestTube&) = delete;
};

using SweptGL = tltest::DrawTest;

}  // namespace

TEST_F(SweptGL, BuffersHoldTheBlocksAndRefillOnlyWhatIsAsked) {
    TestTube t(Curve::Segment(), Curve::Quad(1, 1));
    Tube& tube = *t.tube;
    ASSERT_TRUE(tube.buildVBO());
    const std::uint32_t n = 24;
    ASSERT_EQ(tube.vbo.vertexCount, n);
    const std::uint64_t offsets[6] = {0, 12 * n, 18 * n, 22 * n, 26 * n, 30 * n};
    EXPECT_TRUE(std::equal(offsets, offsets + 6, tube.vbo.offsets));
    // The bytes and feature points of the processor fill.
    SweptScratch scratch;
    std::vector<std::uint8_t> expected(34 * n);
    fillSweptSurface({SweptKind::Tube, tube.path, tube.profile}, n, SweptRefill(), scratch, expected.data(), 0);
    EXPECT_EQ(bufferBytes(tube.vbo.surface, 34 * n), expected);
    ASSERT_TRUE(tube.hasFeatures() && tube.vbo.lineCount == 24u);
    const auto lines = bufferBytes(tube.vbo.lines, 24 * 12);
    EXPECT_TRUE(std::equal(lines.begin(), lines.end(), reinterpret_cast<const std::uint8_t*>(scratch.lines.data())));

    // Nothing raised: nothing is uploaded. Then the materials alone, with
    // positions moved but not announced: only the paint blocks change.
    const std::vector<std::uint8_t> marks(34 * n, 0xAB);
    gl->glBindBuffer(GL_ARRAY_BUFFER, tube.vbo.surface);
    gl->glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(marks.size()), marks.data());
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    EXPECT_TRUE(tube.buildVBO());
    EXPECT_EQ(bufferBytes(tube.vbo.surface, 34 * n), marks);
    tube.path->vertices[0].position.y += 0.5f;
    tube.path->edges[0].material[0].colour = wvec4(0, 0xFF00, 0, 0xFFFF);
    tube.vbo.refill[SweptBuffers::RefillMaterials] = 1;
    EXPECT_TRUE(tube.vbo_modified());
    ASSERT_TRUE(tube.buildVBO());
    EXPECT_FALSE(tube.vbo_modified());
    auto after = bufferBytes(tube.vbo.surface, 34 * n);
    EXPECT_EQ(after[18 * n], 0);  // red of corner a: 0 x 0xFF
    std::fill(after.begin() + 18 * n, after.begin() + 30 * n, std::uint8_t(0xAB));
    EXPECT_EQ(after, marks);
    EXPECT_EQ(bufferBytes(tube.vbo.lines, 24 * 12), lines);
}

TEST_F(SweptGL, CurvesWithoutEdgesOrTooLargeBuildNothing) {
    auto twoVertices = [] {
        auto* c = new Curve();
        c->vertexAdd(vec3(0, 0, 0));
        c->vertexAdd(vec3(1, 0, 0));
        return c;
    };
    TestTube empty(twoVertices(), twoVertices());
    EXPECT_FALSE(empty.tube->buildVBO() || empty.tube->renderBegin() || empty.tube->vbo.surface);
    EXPECT_TRUE(empty.tube->vbo_modified());
    // 4,000 x 3,000 quads would pass 2 GiB: refused before any buffer.
    TestTube huge(Curve::Segment(4000, Element::ResizeMean), Curve::Circle(3000, false));
    EXPECT_FALSE(huge.tube->buildVBO() || huge.tube->vbo.surface || huge.tube->vbo.vertexCount);
}

// A cylinder along x (radius 0.4 after the tool matrix) seen from +z, drawn
// plainly, mirrored in y and flattened in z: its object id and quad ids,
// the material pair, and normals that face outward (finite when flat).
TEST_F(SweptGL, SceneDrawWritesIdsOutwardNormalsAndTheMaterialPair) {
    TestTube t(Curve::Segment(), Curve::Circle(16, false));
    const pbr material(wvec4(65535, 65535, 65535, 65535), wvec4(0, 0, 0, 65535), 1000, -2000);
    const std::uint32_t pair = std::uint32_t(2000 + 32767) | (std::uint32_t(-4000 + 32767) << 16);
    tltest::SceneLayer layer(W, H);
    for (const vec3 scale : {vec3(0.4f, 0.4f, 0.4f), vec3(0.4f, -0.4f, 0.4f), vec3(0.4f, 0.4f, 0.0f)}) {
        ASSERT_TRUE(layer.begin());
        t.tube->render(9, 0xffffffffu, mat4::Scale(scale.x, scale.y, scale.z), material, Element::ColorAsColor, 0.0f,
                       true);
        layer.end();
        const auto ids = layer.ids();
        const auto normals = layer.normals();
        const bool flat = scale.z == 0.0f;
        std::set<std::uint32_t> quads;
        for (int i = 0; i < W * H; ++i) {
            if (ids[3 * i] == 0) continue;
            quads.insert(ids[3 * i + 1]);
            EXPECT_TRUE(ids[3 * i] == 9u && ids[3 * i + 2] == pair);
            const float* normal = &normals[3 * i];
            EXPECT_TRUE(std::isfinite(normal[0]) && std::isfinite(normal[1]) && std::isfinite(normal[2]));
            // Facing the viewer, leaning up above the axis and down below.
            const int y = i / W;
            if (flat) continue;
            EXPECT_GT(normal[2], 0.0f) << i;
            if (y != H / 2 && y != H / 2 - 1) {
                EXPECT_EQ(normal[1] > 0, y >= H / 2) << i;
            }
        }
        EXPECT_GT(quads.size(), 3u);
        EXPECT_LT(*quads.rbegin(), 16u);  // carrier edge 0, section edges 0..15
    }
}

TEST_F(SweptGL, RenderWithoutLastKeepsTheAttributesAndAuxiliaryAlwaysEnds) {
    TestTube t(Curve::Segment(), Curve::Circle(8, true));
    Tube& tube = *t.tube;
    tltest::SceneLayer layer(W, H);
    ASSERT_TRUE(layer.begin());
    tube.render(1, 0, mat4::Scale(0.4f), pbr(), Element::ColorAsColor, 0.0f, false);
    EXPECT_TRUE(tube.vbo.enabled && attributeEnabled(0) && attributeEnabled(5));
    EXPECT_EQ(GLuint(arrayBufferBinding()), tube.vbo.surface);
    tube.renderEnd();
    EXPECT_FALSE(tube.vbo.enabled || attributeEnabled(0) || attributeEnabled(5));

    // The feature pass: the surface's lines, then the working curve's (the
    // path, inside the surface: the depth is cleared first).
    EXPECT_FALSE(tube.hasAuxiliary());
    tube.working = tube.path;
    EXPECT_TRUE(tube.hasAuxiliary());
    gl->glClearBufferfi(GL_DEPTH_STENCIL, 0, 1.0f, 0);
    ASSERT_TRUE(ShaderCurve->enable());
    tube.renderFeatures(mat4::Scale(0.4f), bvec4(0, 0, 255, 255), false);
    // Lifted off the pixel boundary that the path runs along.
    tube.renderAuxiliary(mat4::Translation(0, 0.05f, 0) * mat4::Scale(0.4f), bvec4(0, 255, 0, 255), false);
    EXPECT_FALSE(tube.path->vboEnabled || attributeEnabled(0) || arrayBufferBinding());
    tube.working = nullptr;
    layer.end();
    const auto colours = layer.colours();
    int green = 0;
    for (int i = 0; i < W * H; ++i) green += colours[4 * i + 1] == 255 && colours[4 * i] == 0;
    EXPECT_GT(green, 0);
}

// A surface over the vertex cap (1,000 x 1,000 quads) is left out: the
// tube's path and the revoluton's profile are drawn in its place, a line
// along x carrying the object's id and colour, so that it can be seen and
// picked. A section small enough brings the surface back.
TEST_F(SweptGL, ASurfaceLeftOutIsDrawnAsItsCarrierWithItsIds) {
    const pbr material(wvec4(0, 65535, 0, 65535), wvec4(0, 0, 0, 65535), 0, 0);
    Tube* tube = new Tube(Curve::Segment(1000, Element::ResizeMean), Curve::Circle(1000, false));
    Revoluton* rev = new Revoluton(Curve::Segment(1000, Element::ResizeMean), Curve::Circle(1000, false));
    tltest::SceneLayer layer(W, H);
    for (SweptElement* e : {static_cast<SweptElement*>(tube), static_cast<SweptElement*>(rev)}) {
        e->copy(1);
        ASSERT_TRUE(layer.begin());
        // Lifted off the pixel boundary that the line runs along.
        e->render(9, 0xffffffffu, mat4::Translation(0, 0.03f, 0) * mat4::Scale(0.4f), material, Element::ColorAsColor,
                  0.0f, true);
        layer.end();
        EXPECT_TRUE(e->vbo.leftOut);
        EXPECT_FALSE(attributeEnabled(0) || arrayBufferBinding());
        const auto ids = layer.ids();
        const auto colours = layer.colours();
        std::set<int> rows, columns;
        for (int i = 0; i < W * H; ++i) {
            if (ids[3 * i] == 0) continue;
            EXPECT_EQ(ids[3 * i], 9u);
            EXPECT_EQ(ids[3 * i + 1], 0xffffffffu);
            EXPECT_TRUE(colours[4 * i] == 0 && colours[4 * i + 1] == 255) << i;
            rows.insert(i / W);
            columns.insert(i % W);
        }
        EXPECT_EQ(rows, std::set<int>{H / 2});
        EXPECT_GE(columns.size(), std::size_t(W / 4));
    }
    tube->setProfile(Curve::Circle(8, false));
    EXPECT_TRUE(tube->buildVBO());
    EXPECT_FALSE(tube->vbo.leftOut);
    Element::drop(tube, 1);
    Element::drop(rev, 1);
}
