#pragma once
// Helpers shared by the GPU tests.

#include "gl/fbo.h"
#include "gl/gl.h"
#include "gl/texture.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace qel {
class Texture2D;
}

namespace gltest {

using Bytes = std::vector<std::uint8_t>;

// Registers the compiled-in shaders; each test must give its texture units
// back and leave no GL error.
class GLTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override {
        EXPECT_EQ(qel::Texture::GLActiveTexture, 0) << "texture units given back";
        EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
    }
};

// One integer of GL state.
GLint glInteger(GLenum name);

// A framebuffer of w x h bound for drawing, the targets attached in order (and
// owned by it), depth, stencil and blending off.
class Target {
public:
    Target(int w, int h, std::initializer_list<qel::Texture2D*> targets);
    ~Target() { fbo_.disable(); }
    bool ok() const { return ok_; }

private:
    qel::FBO fbo_;
    bool ok_ = false;
};

// A w x h RGBA8 texture holding the bytes (rows bottom first; none: no
// data), nearest filtering so that texel centres sample exactly.
qel::Texture2D* rgbaTexture(int w, int h, const Bytes& bytes = {});
// A w x h float texture of the given format (GL_RGBA, GL_RGB or GL_RED).
qel::Texture2D* floatTexture(int w, int h, GLenum internal, GLenum format, const std::vector<float>& values);

// Reads a compiled 2-D texture back through a scratch framebuffer.
Bytes readRGBA8(GLuint texture, int w, int h);
std::vector<float> readFloats(GLuint texture, int w, int h, GLenum format);
// Reads level 0 of the texture bound at `target` (3-D, array or cube array).
Bytes readBound(GLenum target, GLenum format, std::size_t size);

// Write an image as PNG, or raw bytes, into the folder; return the path.
std::string savePng(const QTemporaryDir& dir, const std::string& name, const QImage& image);
std::string saveBytes(const QTemporaryDir& dir, const std::string& name, const Bytes& bytes);

}  // namespace gltest
