#pragma once
// Helpers shared by the GPU tests: the shader bundle, small textures made
// from bytes, read-back of a texture through a scratch framebuffer, and image
// files in a scratch folder.

#include "gl/gl.h"

#include <QImage>
#include <QTemporaryDir>

#include <cstdint>
#include <string>
#include <vector>

namespace qel {
class Texture2D;
}

namespace gltest {

// Registers the compiled-in shaders (once).
void useShaderResources();

// A w x h RGBA8 texture holding the bytes (rows bottom first), nearest
// filtering so that texel centres sample exactly.
qel::Texture2D* rgbaTexture(int w, int h, const std::vector<std::uint8_t>& bytes);
// A w x h float texture of the given format (GL_RGBA, GL_RGB or GL_RED).
qel::Texture2D* floatTexture(int w, int h, GLenum internal, GLenum format, const std::vector<float>& values);

// Reads a compiled 2-D texture back through a scratch framebuffer.
std::vector<std::uint8_t> readRGBA8(GLuint texture, int w, int h);
std::vector<float> readFloats(GLuint texture, int w, int h, GLenum format);

// Writes an image as PNG into the folder; returns its path.
std::string savePng(const QTemporaryDir& dir, const std::string& name, const QImage& image);
// Writes raw bytes into the folder; returns the path.
std::string saveBytes(const QTemporaryDir& dir, const std::string& name, const std::vector<std::uint8_t>& bytes);

// A 2 x 2 GIF with two frames (palette red, green, blue, white; frame 0 is
// 0 1 / 2 3, frame 1 is 3 2 / 1 0, rows top first) and a 100 ms delay.
std::vector<std::uint8_t> twoFrameGif();

}  // namespace gltest
