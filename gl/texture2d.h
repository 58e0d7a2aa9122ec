#pragma once
// Two-dimensional textures: render targets, images read from files (with the
// texture record that stores the image's path) and the shared random texture.

#include "core/vec.h"
#include "gl/texture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qel {

class Texture2D : public Texture {
public:
    static constexpr std::uint32_t RecordTag = 0xC0000020u;

    Texture2D(int w, int h, GLenum internal, GLenum format, GLenum type, GLenum wrap, GLenum filter);
    // Reads the image at path (put under the textures folder when the flag is
    // set and the path is not a resource). A missing image sets the load-error
    // flag and leaves the texture empty. At most mostBytes are decoded (see
    // setDecodeLimit).
    Texture2D(const std::string& path, bool inTexturesFolder, std::size_t mostBytes = MaxDecodeBytes);
    // Reads a texture record body (after its tag and length) and its image.
    explicit Texture2D(buffer& in, std::size_t mostBytes = MaxDecodeBytes);

    bool compile() override;
    // Reads the image; refused (load-error flag set) when it cannot be read,
    // when its header gives a size over the decode limit, or when decoding
    // runs out of memory.
    bool load(const std::string& path) override;
    // Appends the texture record: tag, length, path length, path.
    void DataWrite(buffer& out) override;
    // Reads the path of a record body and loads the image from it.
    bool DataRead(buffer& in) override;

    // New size; the texture is compiled again at the next enable.
    void resize(int w, int h);
    // Builds the mipmap chain; returns the number of levels, 0 on failure.
    int generateMipMaps();
    // floor(log2(max(width, height))) + 1; 0 for an empty texture.
    int mipMapLevels() const;

    // A w x h texture of random vec3 in [-1, 1) (RGB32F, repeat, linear); the
    // same values are kept in Rand for CPU use.
    static Texture2D* random(int w, int h);
    // The shared 512 x 512 random texture and its values, Rand[y][x].
    static std::vector<std::vector<vec3>> Rand;
    static Texture2D* Random;

protected:
    virtual std::uint32_t recordTag() const { return RecordTag; }

private:
    // Reads path_ into the pixels within the decode limit; false when it
    // cannot (cutByLimit_ tells the limit's refusals).
    bool readImage();
};

// Writes the texture record of a 2-D or 3-D texture.
void writeTextureRecord(buffer& out, std::uint32_t tag, const std::string& path);
// Reads the path of a texture record body: a u32 length and that many bytes.
// False when the record is cut short.
bool readTextureRecordPath(buffer& in, std::string& path);

}  // namespace qel
