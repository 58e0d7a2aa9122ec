// The mesh's vertex buffers and drawing against a real GL context: buffer
// layout, refills, feature lines, release of GL names, and what a draw writes.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/glerror.h"
#include "gl/resources.h"
#include "gl/shader.h"
#include "gl/texture2d.h"
#include "mesh/mesh.h"
#include "mesh/mesh_util.h"
#include "support/scene_layer.h"

using namespace qel;

namespace {

constexpr int W = 16;
constexpr int H = 16;
constexpr int Centre = H / 2 * W + W / 2;

// count values of type T at a byte offset of a GL buffer.
template <class T>
std::vector<T> bufferValues(GLuint name, std::uint64_t offset, std::size_t count) {
    std::vector<T> values(count);
    gl->glBindBuffer(GL_ARRAY_BUFFER, name);
    gl->glGetBufferSubData(GL_ARRAY_BUFFER, GLintptr(offset), GLsizeiptr(count * sizeof(T)), values.data());
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    return values;
}

GLint bufferSize(GLuint name) {
    GLint size = -1;
    gl->glBindBuffer(GL_ARRAY_BUFFER, name);
    gl->glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    return size;
}

// The strip of three faces with distinct corner materials.
std::unique_ptr<Mesh> paintedStrip() {
    std::unique_ptr<Mesh> m(meshtest::makeStrip());
    for (int f = 0; f < 3; ++f)
        for (int k = 0; k < 3; ++k)
            m->faces[f].material[k] =
                pbr(wvec4(std::uint16_t(0x1100 * (k + 1)), 0x2200, 0x3300, 0xFFFF),
                    wvec4(0x4400, 0x5500, 0x6600, 0x7700), std::int16_t(10 + k), std::int16_t(-20 - k));
    return m;
}

class MeshVbo : public tltest::DrawTest {};

}  // namespace

TEST_F(MeshVbo, BuffersHoldTheSixArraysOfTheActiveFacesAndRefillOnlyTheRaisedOnes) {
    auto m = paintedStrip();
    m->faces[0].flags &= std::uint8_t(~MeshFace::ActiveBit);
    m->faces[2].flags &= std::uint8_t(~MeshFace::ActiveBit);
    ASSERT_TRUE(m->buildVBO());
    const GLuint name = m->vbo;
    EXPECT_EQ(m->drawCount, 3);
    EXPECT_EQ(bufferSize(name), 102);
    const std::uint64_t offsets[6] = {0, 36, 54, 66, 78, 90};
    EXPECT_TRUE(std::equal(offsets, offsets + 6, m->vboOffsets));
    EXPECT_EQ(bufferValues<float>(name, 0, 9), (std::vector<float>{0, 0, 0, 1, 2, 0, -1, 2, 0}));  // (0, 2, 3)
    EXPECT_EQ(bufferValues<std::uint16_t>(name, 36, 3), (std::vector<std::uint16_t>{0, 0, 0x3C00}));
    const auto before = bufferValues<std::uint8_t>(name, 0, 102);  // paint: high bytes of colour, then light
    EXPECT_EQ((std::vector<int>{before[54 + 8], before[54 + 11], before[66 + 11]}),
              (std::vector<int>{0x33, 0xFF, 0x77}));
    EXPECT_EQ(bufferValues<std::int16_t>(name, 78, 6), (std::vector<std::int16_t>{10, -20, 11, -21, 12, -22}));
    // The id is the face's index, not its rank among the active faces.
    EXPECT_EQ(bufferValues<std::uint32_t>(name, 90, 3), std::vector<std::uint32_t>(3, 1u));

    // Positions and paint change, but only the paint is announced.
    for (int v = 0; v < m->vertexCount(); ++v) m->vertices[v].position.z = 5.0f;
    for (pbr& corner : m->faces[1].material) corner.colour = wvec4(0, 0xFF00, 0, 0xFFFF);
    m->refill[2] = 1;
    ASSERT_TRUE(m->buildVBO());
    EXPECT_EQ(m->vbo, name);
    const auto after = bufferValues<std::uint8_t>(name, 0, 102);
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 54, after.begin()));
    EXPECT_TRUE(std::equal(before.begin() + 66, before.end(), after.begin() + 66));
    EXPECT_EQ(after[54 + 1], 0xFF);

    // A face added without topologyChanged: reallocated, never overrun.
    m->faceAdd(0, 1, m->vertexAdd(vec3(0, 2, 0)));
    m->refill[0] = 1;
    ASSERT_TRUE(m->buildVBO());
    EXPECT_EQ(m->drawCount, 6);
    EXPECT_EQ(bufferSize(name), 34 * 6);
    EXPECT_EQ(bufferValues<std::uint32_t>(name, 30 * 6 + 12, 1)[0], 3u);
}

TEST_F(MeshVbo, FeatureLinesHoldSharpAndOpenEdgesOnceAndNamesAreReleased) {
    std::unique_ptr<Mesh> strip(meshtest::makeStrip(true));
    ASSERT_TRUE(strip->buildVBO());
    ASSERT_EQ(strip->featureCount, 12);
    // Face by face, edge k from corner (k+2)%3 to corner (k+1)%3; the sharp
    // edge 0-2 between faces 0 and 1 comes from face 1 only.
    const int order[12] = {2, 1, 1, 0, 3, 2, 2, 0, 4, 3, 0, 4};
    const auto points = bufferValues<float>(strip->featureVbo, 0, 36);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(vec3(points[3 * i], points[3 * i + 1], points[3 * i + 2]), strip->vertices[order[i]].position);

    // New creases without a topology change: the line buffer grows.
    strip->edgeSharp(1, 2, true);
    strip->edgeSharp(0, 1, true);  // already sharp: no second segment
    strip->refill[0] = 1;
    ASSERT_TRUE(strip->buildVBO());
    EXPECT_EQ(strip->featureCount, 14);
    EXPECT_EQ(bufferSize(strip->featureVbo), 7 * 24);
    // Both names are kept on rebuilds and released by deleteVBO and the
    // destructor.
    const GLuint vbo = strip->vbo, lines = strip->featureVbo;
    strip->topologyChanged = 1;
    ASSERT_TRUE(strip->buildVBO());
    EXPECT_TRUE(strip->vbo == vbo && strip->featureVbo == lines && gl->glIsBuffer(vbo) && gl->glIsBuffer(lines));
    strip->deleteVBO();
    EXPECT_FALSE(strip->vbo || strip->hasFeatures() || gl->glIsBuffer(vbo) || gl->glIsBuffer(lines));

    std::unique_ptr<Mesh> smooth(meshtest::makeTetra());
    ASSERT_TRUE(smooth->buildVBO());
    EXPECT_FALSE(smooth->hasFeatures());
    const GLuint drawn = smooth->vbo;
    smooth.reset();
    EXPECT_FALSE(gl->glIsBuffer(drawn));
}

TEST_F(MeshVbo, CubeDrawsItsIdsMaterialColourAndNormals) {
    std::unique_ptr<Mesh> cube(Mesh::Cube());
    std::set<std::uint32_t> topFaces;
    for (int f = 0; f < cube->faceCount(); ++f)
        if (cube->faces[f].normal.z > 0.5f) topFaces.insert(std::uint32_t(f));
    const pbr red(wvec4(65535, 0, 0, 65535), wvec4(0, 0, 0, 65535), 100, 0);
    tltest::SceneLayer layer(W, H);
    ASSERT_TRUE(layer.begin());
    cube->render(7, 0xffffffffu, mat4::Identity(), red, Element::ColorAsColor, 0.0f, true);
    layer.end();
    const auto ids = layer.ids();
    const auto colours = layer.colours();
    const auto normals = layer.normals();
    std::set<std::uint32_t> seen;
    int covered = 0;
    for (int i = 0; i < W * H; ++i) {
        if (ids[3 * i] == 0) continue;
        ++covered;
        seen.insert(ids[3 * i + 1]);
        EXPECT_TRUE(ids[3 * i] == 7u && ids[3 * i + 2] == ((200u + 32767u) | (32767u << 16)));  // roughness 2 x 100
        EXPECT_TRUE(colours[4 * i] == 255 && colours[4 * i + 1] == 0);
        EXPECT_NEAR(normals[3 * i + 2], 1.0f, 1e-3f);
    }
    EXPECT_GT(covered, 40);
    EXPECT_EQ(seen, topFaces);

    // Lines drawn between two surface draws: the second binds its attributes
    // again. It has a fixed item id, repainted corners (paint refill only)
    // and a mirroring matrix that keeps the normal facing the viewer.
    std::unique_ptr<Shader> lines(Shader::FromText(
        {"##VERTEX", "#version 330 core",
         "layout(location = 0) in vec3 Position; uniform mat4 ProjectionModelViewMatrix;",
         "void main() { gl_Position = vec4(Position, 1.0) * ProjectionModelViewMatrix; }", "##FRAGMENT",
         "#version 330 core", "uniform vec4 Color; layout(location = 1) out vec4 _Color;",
         "void main() { _Color = Color; }"}));
    for (int f = 0; f < cube->faceCount(); ++f)
        for (pbr& corner : cube->faces[f].material) corner.colour = wvec4(0, 65535, 0, 65535);
    cube->refill[2] = 1;
    ASSERT_TRUE(layer.begin());
    cube->render(7, 1u, mat4::Identity(), pbr(), Element::ColorAsColor, 0.0f, false);
    gl->glClearBufferfi(GL_DEPTH_STENCIL, 0, 1.0f, 0);
    ASSERT_TRUE(lines->enable());
    cube->renderFeatures(mat4::Identity(), bvec4(0, 0, 255, 255), true);
    cube->render(7, 12345u, mat4::Scale(-1.0f, 1.0f, 1.0f), pbr(), Element::ColorAsColor, 0.0f, true);
    layer.end();
    EXPECT_EQ(layer.ids()[3 * Centre + 1], 12345u);
    const auto after = layer.colours();
    EXPECT_EQ(after[4 * Centre + 1], 255);
    EXPECT_NEAR(layer.normals()[3 * Centre + 2], 1.0f, 1e-3f);
    int blue = 0;
    for (int i = 0; i < W * H; ++i) blue += after[4 * i] == 0 && after[4 * i + 1] == 0 && after[4 * i + 2] == 255;
    EXPECT_GT(blue, 0);
}
