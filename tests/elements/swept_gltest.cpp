// Tubes drawn on a real GL context: the uploaded blocks and feature lines,
// incremental refills, refusals, and what the scene pass writes into a
// layer under plain, mirroring and flattening tool matrices.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

#include "curves/curve.h"
#include "elements/tube.h"
#include "gl/gl.h"
#include "gl/glerror.h"
#include "gl/resources.h"
#include "gl/shader.h"
#include "gl/shaders.h"
#include "support/scene_layer.h"

using namespace qel;

namespace {

constexpr int W = 16;
constexpr int H = 16;

template <class T>
std::vector<T> bufferValues(GLuint name, std::uint64_t offset, std::size_t count) {
    std::vector<T> values(count);
    gl->glBindBuffer(GL_ARRAY_BUFFER, name);
    gl->glGetBufferSubData(GL_ARRAY_BUFFER, GLintptr(offset), GLsizeiptr(count * sizeof(T)), values.data());
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    return values;
}

GLint glInt(GLenum name) {
    GLint v = 0;
    gl->glGetIntegerv(name, &v);
    return v;
}

bool attributeEnabled(GLuint index) {
    GLint on = 0;
    gl->glGetVertexAttribiv(index, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &on);
    return on != 0;
}

// A tube held for the test; dropping it frees its curves.
struct TestTube {
    Tube* tube;
    TestTube(Curve* path, Curve* profile) : tube(new Tube(path, profile)) { tube->copy(1); }
    ~TestTube() { Element::drop(tube, 1); }
    TestTube(const TestTube&) = delete;
    TestTube& operator=(const TestTube&) = delete;
};

// +z towards the viewer; x and y from -0.5 to 0.5 fill the target.
const mat4 lookDownZ = mat4::Scale(2.0f, 2.0f, -2.0f);

class SweptGL : public testing::Test {
protected:
    void SetUp() override {
        initShaderResources();
        Shader::ProjectionModelViewMatrix = lookDownZ;
        Shader::ProjectionOffsetModelViewMatrix = lookDownZ;
        Shader::ModelViewMatrix = mat4::Identity();
        glClearErrors();
    }
    void TearDown() override {
        EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
        Shader::ProjectionModelViewMatrix = mat4::Identity();
        Shader::ProjectionOffsetModelViewMatrix = mat4::Identity();
    }
};

}  // namespace

TEST_F(SweptGL, BuffersHoldTheBlocksAndRefillOnlyWhatIsAsked) {
    TestTube t(Curve::Segment(), Curve::Quad(1, 1));
    Tube& tube = *t.tube;
    ASSERT_TRUE(tube.buildVBO());
    const std::uint32_t n = 24;
    ASSERT_EQ(tube.vbo.vertexCount, n);
    const std::uint64_t offsets[6] = {0, 12 * n, 18 * n, 22 * n, 26 * n, 30 * n};
    EXPECT_TRUE(std::equal(offsets, offsets + 6, tube.vbo.offsets));
    // The same bytes as the processor fill, and the feature points.
    SweptScratch scratch;
    std::vector<std::uint8_t> expected(34 * n);
    fillSweptSurface({SweptKind::Tube, tube.path, tube.profile}, n, SweptRefill(), scratch, expected.data(), 0);
    const auto uploaded = bufferValues<std::uint8_t>(tube.vbo.surface, 0, 34 * n);
    EXPECT_EQ(uploaded, expected);
    ASSERT_EQ(tube.vbo.lineCount, 24u);
    EXPECT_TRUE(tube.hasFeatures());
    const auto lines = bufferValues<vec3>(tube.vbo.lines, 0, 24);
    EXPECT_EQ(lines, scratch.lines);

    // Nothing raised: nothing is uploaded.
    const std::vector<std::uint8_t> marks(34 * n, 0xAB);
    gl->glBindBuffer(GL_ARRAY_BUFFER, tube.vbo.surface);
    gl->glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(marks.size()), marks.data());
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    EXPECT_TRUE(tube.buildVBO());
    EXPECT_EQ(bufferValues<std::uint8_t>(tube.vbo.surface, 0, 34 * n), marks);

    // Materials only: positions moved but not announced stay as they were.
    gl->glBindBuffer(GL_ARRAY_BUFFER, tube.vbo.surface);
    gl->glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(uploaded.size()), uploaded.data());
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    tube.path->vertices[0].position.y += 0.5f;
    tube.path->edges[0].material[0].colour = wvec4(0, 0xFF00, 0, 0xFFFF);
    tube.vbo.refill[SweptBuffers::RefillMaterials] = 1;
    EXPECT_TRUE(tube.vbo_modified());
    ASSERT_TRUE(tube.buildVBO());
    EXPECT_FALSE(tube.vbo_modified());
    const auto after = bufferValues<std::uint8_t>(tube.vbo.surface, 0, 34 * n);
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + 18 * n, uploaded.begin()));
    EXPECT_TRUE(std::equal(after.begin() + 30 * n, after.end(), uploaded.begin() + 30 * n));
    EXPECT_EQ(after[18 * n], 0);  // red of corner a: 0 x 0xFF
    EXPECT_EQ(bufferValues<vec3>(tube.vbo.lines, 0, 24), lines);

    // deleteVBO releases both names; the next build makes new ones.
    const GLuint surface = tube.vbo.surface, lineBuffer = tube.vbo.lines;
    tube.deleteVBO();
    EXPECT_FALSE(tube.vbo.surface || tube.hasFeatures() || gl->glIsBuffer(surface) || gl->glIsBuffer(lineBuffer));
}

TEST_F(SweptGL, CurvesWithoutEdgesOrTooLargeBuildNothing) {
    auto vertices = [] {
        auto* c = new Curve();
        c->vertexAdd(vec3(0, 0, 0));
        c->vertexAdd(vec3(1, 0, 0));
        return c;
    };
    TestTube empty(vertices(), vertices());
    EXPECT_FALSE(empty.tube->buildVBO());
    EXPECT_FALSE(empty.tube->renderBegin());
    EXPECT_EQ(empty.tube->vbo.surface, 0u);
    EXPECT_TRUE(empty.tube->vbo_modified());

    TestTube huge(Curve::Segment(4000, Element::ResizeMean), Curve::Circle(3000, false));
    EXPECT_FALSE(huge.tube->buildVBO());
    EXPECT_EQ(huge.tube->vbo.surface, 0u);
    EXPECT_EQ(huge.tube->vbo.vertexCount, 0u);
}

// A cylinder along x (radius 0.4 after the tool matrix) seen from +z: its
// object id and quad ids, normals facing outward, and the material pair.
TEST_F(SweptGL, SceneDrawWritesIdsOutwardNormalsAndTheMaterialPair) {
    TestTube t(Curve::Segment(), Curve::Circle(16, false));
    Tube& tube = *t.tube;
    const pbr material(wvec4(65535, 65535, 65535, 65535), wvec4(0, 0, 0, 65535), 1000, -2000);
    const std::uint32_t pair = std::uint32_t(2000 + 32767) | (std::uint32_t(-4000 + 32767) << 16);
    tltest::SceneLayer layer(W, H);
    for (const float mirror : {1.0f, -1.0f}) {
        ASSERT_TRUE(layer.begin());
        tube.render(9, 0xffffffffu, mat4::Scale(0.4f, 0.4f * mirror, 0.4f), material, Element::ColorAsColor, 0.0f,
                    true);
        layer.end();
        const auto ids = layer.ids();
        const auto normals = layer.normals();
        std::set<std::uint32_t> quads;
        int covered = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const int i = y * W + x;
                if (ids[3 * i] == 0) continue;
                ++covered;
                quads.insert(ids[3 * i + 1]);
                EXPECT_EQ(ids[3 * i], 9u);
                EXPECT_EQ(ids[3 * i + 2], pair);
                EXPECT_GT(normals[3 * i + 2], 0.0f) << x << "," << y;
                // Away from the middle row the normal leans up above it and
                // down below it.
                if (y != H / 2 && y != H / 2 - 1) {
                    EXPECT_EQ(normals[3 * i + 1] > 0, y >= H / 2) << x << "," << y;
                }
            }
        EXPECT_GT(covered, 60) << mirror;
        EXPECT_GT(quads.size(), 3u);
        for (std::uint32_t q : quads) EXPECT_LT(q, 16u);  // carrier edge 0, section edges 0..15
    }

    // Flattened onto the plane z = 0: the normals stay finite.
    ASSERT_TRUE(layer.begin());
    tube.render(9, 1u, mat4::Scale(0.4f, 0.4f, 0.0f), material, Element::ColorAsColor, 0.0f, true);
    layer.end();
    const auto ids = layer.ids();
    const auto normals = layer.normals();
    int covered = 0;
    for (int i = 0; i < W * H; ++i) {
        if (ids[3 * i] == 0) continue;
        ++covered;
        for (int k = 0; k < 3; ++k) EXPECT_TRUE(std::isfinite(normals[3 * i + k]));
    }
    EXPECT_GT(covered, 0);
}

TEST_F(SweptGL, RenderWithoutLastKeepsTheAttributesAndAuxiliaryAlwaysEnds) {
    TestTube t(Curve::Segment(), Curve::Circle(8, true));
    Tube& tube = *t.tube;
    tltest::SceneLayer layer(W, H);
    ASSERT_TRUE(layer.begin());
    tube.render(1, 0, mat4::Scale(0.4f), pbr(), Element::ColorAsColor, 0.0f, false);
    EXPECT_TRUE(tube.vbo.enabled && attributeEnabled(0) && attributeEnabled(5));
    EXPECT_EQ(GLuint(glInt(GL_ARRAY_BUFFER_BINDING)), tube.vbo.surface);
    tube.renderEnd();
    EXPECT_FALSE(tube.vbo.enabled || attributeEnabled(0) || attributeEnabled(5));

    // The feature pass: the surface's lines, then the working curve's.
    EXPECT_FALSE(tube.hasAuxiliary());
    tube.working = tube.path;
    EXPECT_TRUE(tube.hasAuxiliary());
    gl->glClearBufferfi(GL_DEPTH_STENCIL, 0, 1.0f, 0);  // the path runs inside the surface
    ASSERT_TRUE(ShaderCurve->enable());
    tube.renderFeatures(mat4::Scale(0.4f), bvec4(0, 0, 255, 255), false);
    // Lifted off the pixel boundary that the path's own line runs along.
    tube.renderAuxiliary(mat4::Translation(0, 0.05f, 0) * mat4::Scale(0.4f), bvec4(0, 255, 0, 255), false);
    EXPECT_FALSE(tube.path->vboEnabled || attributeEnabled(0));
    EXPECT_EQ(glInt(GL_ARRAY_BUFFER_BINDING), 0);
    tube.working = nullptr;
    layer.end();
    const auto colours = layer.colours();
    int green = 0;
    for (int i = 0; i < W * H; ++i) green += colours[4 * i + 1] == 255 && colours[4 * i] == 0;
    EXPECT_GT(green, 0);
}
