#pragma once
// Cube maps and cube-map arrays. A cube map is filled from its CPU copy (six
// faces in the order +X, -X, +Y, -Y, +Z, -Z) or built from an equirectangular
// panorama, which is read again from its path at every compile.

#include "gl/texture.h"

#include <cstdint>
#include <string>
#include <vector>

class QImage;

namespace qel {

class TextureCube : public Texture {
public:
    TextureCube(int size, GLenum internal, GLenum format, GLenum type, GLenum wrap, GLenum filter);
    // A cube of the given edge built from the panorama at path (put under the
    // environments folder when the flag is set and the path is not a
    // resource).
    TextureCube(const std::string& path, int size, bool inEnvironmentsFolder);

    bool compile() override;
    // Checks the panorama and takes its pixel layout; the image itself is read
    // again by compile.
    bool load(const std::string& path) override;
    // Reads the six faces back, tightly packed, in the texture's format and
    // type.
    bool getData(std::vector<std::uint8_t>& bytes) override;

    void resize(int size);

private:
    // Uploads face f from the panorama, the CPU copy or nothing.
    void uploadFace(int f, const QImage* panorama);
};

class TextureCubeArray : public Texture {
public:
    TextureCubeArray(int size, int layers, GLenum internal, GLenum format, GLenum type, GLenum wrap, GLenum filter);

    bool compile() override;
    void resize(int size, int layers);
    // Copies the six faces of a cube map into a layer.
    bool set(int layer, TextureCube* cube);
    // Uploads six tightly packed faces (+X .. -Z) of the array's format and
    // type into a layer. False when the layer is outside the array or the
    // bytes are too few.
    bool set(int layer, const std::vector<std::uint8_t>& bytes);

private:
    bool upload(int layer, const std::vector<std::uint8_t>& bytes, GLenum format, GLenum type);
};

}  // namespace qel
