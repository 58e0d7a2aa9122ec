#pragma once
// qel::Sprite: an image file shown on a flat quad. The element holds one 2-D
// texture read from the image and draws the shared unit quad with the sprite
// program, placed by localMatrix alone (centre and size stay at their
// defaults): a rectangle with the image's aspect ratio and a diagonal of 1,
// centred on the element's origin in its XY plane. Texels whose alpha is
// below one half are cut out.
//
// The record stores the image's path, not its pixels: the image is read again
// when a scene is loaded, once for all the sprites of that load that name its
// file, however they spell its path (they share one texture, its pixels and
// its GL texture; each keeps and writes its own spelling). A sprite whose
// image cannot be read keeps its path (a later save writes it again) and
// draws nothing until the image is back.

#include <cstdint>
#include <memory>
#include <string>

#include "core/vec.h"
#include "scene/element.h"

namespace qel {

class Texture2D;

class Sprite : public Element {
public:
    static constexpr std::uint32_t RecordTag = 0xE0000003u;

    // No texture.
    Sprite();
    // Reads the image at path; with `relative` set the path is taken under
    // the textures folder (unless it names a compiled-in resource).
    Sprite(const std::string& path, bool relative);
    // Reads a record body (after the element tag and length) and its image.
    explicit Sprite(buffer& b);
    ~Sprite() override;
    Sprite(const Sprite&) = delete;
    Sprite& operator=(const Sprite&) = delete;

    // Centre, size, status and stamp reset, type 7, no texture.
    void init() override;
    // The shared quad's buffer.
    bool buildVBO() override;
    bool enableVBO() override;
    void disableVBO() override;
    // The sprite program, then the texture, then the quad; false at the first
    // that fails (a sprite without a readable image never draws).
    bool renderBegin() override;
    void renderEnd() override;
    void render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight colorLight,
                float time, bool end) override;
    // The quad's placement: scale by dimensions() after centring the unit
    // quad on the origin.
    mat4 localMatrix() const override;
    // Appends the record: tag, length, the texture record (nothing without
    // texture).
    void DataWrite(buffer& b) override;
    // readRecord on an existing sprite.
    void DataRead(buffer& b) override;
    // Replaces the texture by the image at path (no folder put in front);
    // false when the image cannot be read.
    bool load(const std::string& path) override;

    // The image's width and height divided by its diagonal; (0, 0) without a
    // readable image.
    vec2 dimensions() const;
    // Reads a record body that ends where the buffer ends (the element
    // factory hands it so), replacing the texture. An empty body leaves the
    // sprite without texture. False, without texture, when the body is not a
    // texture record of the sprite's kind whose lengths agree with the body;
    // an image that cannot be read is no failure here (see above).
    bool readRecord(buffer& b);

    const Texture2D* texture() const { return texture_.get(); }
    // The image's path as the sprite was given it or its record holds it
    // (after any textures folder put in front): what a save writes. The
    // texture, shared with the sprites of a load that name the same file,
    // may have been read by another spelling of it.
    const std::string& imagePath() const { return path_; }
    // The image could be read: the sprite draws.
    bool hasImage() const;

private:
    // Shows the image at `path` (the shared texture of that file when the
    // load read it already) and keeps the path as given.
    void setImage(const std::string& path);
    // No texture and no path.
    void dropImage();

    // Shared with the other sprites of the load that read it (see
    // sprite::budgetedTexture).
    std::shared_ptr<Texture2D> texture_;
    // The image's path as this sprite names it: a texture shared with the
    // sprites of a load that name the same file by other spellings holds
    // the first of them.
    std::string path_;
};

}  // namespace qel
