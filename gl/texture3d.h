#pragma once
// Three-dimensional textures; an animated image (e.g. a GIF) is read as one
// depth layer per frame.

#include "gl/texture.h"

#include <cstdint>
#include <string>

class QIODevice;

namespace qel {

class Texture3D : public Texture {
public:
    static constexpr std::uint32_t RecordTag = 0xC0000030u;

    Texture3D(int w, int h, int d, GLenum internal, GLenum format, GLenum type, GLenum wrap, GLenum filter);
    // Reads the frames of the image at path (put under the textures folder
    // when the flag is set and the path is not a resource), decoding at most
    // mostBytes (see setDecodeLimit).
    Texture3D(const std::string& path, bool inTexturesFolder, std::size_t mostBytes = MaxDecodeBytes);
    // Reads a texture record body (after its tag and length) and its frames.
    explicit Texture3D(buffer& in, std::size_t mostBytes = MaxDecodeBytes);

    bool compile() override;
    // Reads every frame as RGBA8 into one depth layer each, each layer of
    // the first frame's size. The frames' size is taken from the header
    // before decoding (a GIF decodes every frame at its logical screen size)
    // and only the frames that fit the decode limit are read. False, with
    // the load-error flag set, when the file cannot be opened, yields no
    // frame, has not one frame within the limit, or its decoding runs out of
    // memory.
    bool load(const std::string& path) override;
    void DataWrite(buffer& out) override;
    bool DataRead(buffer& in) override;

    void resize(int w, int h, int d);
    // Delay between frames in milliseconds, as the image reader reports it.
    int frameDelay() const { return frameDelay_; }

private:
    bool readFrames(QIODevice& file);

    int frameDelay_ = 1;
};

}  // namespace qel
