#pragma once
// Three-dimensional textures; an animated image (e.g. a GIF) is read as one
// depth layer per frame.

#include "gl/texture.h"

#include <cstdint>
#include <string>

namespace qel {

class Texture3D : public Texture {
public:
    static constexpr std::uint32_t RecordTag = 0xC0000030u;

    Texture3D(int w, int h, int d, GLenum internal, GLenum format, GLenum type, GLenum wrap, GLenum filter);
    // Reads the frames of the image at path (put under the textures folder
    // when the flag is set and the path is not a resource).
    Texture3D(const std::string& path, bool inTexturesFolder);
    // Reads a texture record body (after its tag and length) and its frames.
    explicit Texture3D(buffer& in);

    bool compile() override;
    // Reads every frame as RGBA8 into one depth layer each. False, with the
    // load-error flag set, when the file cannot be opened or yields no frame.
    bool load(const std::string& path) override;
    void DataWrite(buffer& out) override;
    bool DataRead(buffer& in) override;

    void resize(int w, int h, int d);
    // Delay between frames in milliseconds, as the image reader reports it.
    int frameDelay() const { return frameDelay_; }

private:
    int frameDelay_ = 1;
};

}  // namespace qel
