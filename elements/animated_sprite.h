#pragma once
// qel::AnimatedSprite: the frames of an animated image (a GIF) shown in turn
// on a flat quad. The twin of qel::Sprite (see there for the placement, the
// record and a missing image); it holds every frame as one depth layer of a
// 3-D texture and picks the layer of the drawing time with one uniform, so
// nothing is uploaded while it plays.

#include <cstdint>
#include <memory>
#include <string>

#include "core/vec.h"
#include "scene/element.h"

namespace qel {

class Texture3D;

class AnimatedSprite : public Element {
public:
    static constexpr std::uint32_t RecordTag = 0xE0000006u;

    // No texture.
    AnimatedSprite();
    // Reads the frames of the image at path; with `relative` set the path is
    // taken under the textures folder (unless it names a resource).
    AnimatedSprite(const std::string& path, bool relative);
    // Reads a record body (after the element tag and length) and its frames.
    explicit AnimatedSprite(buffer& b);
    ~AnimatedSprite() override;
    AnimatedSprite(const AnimatedSprite&) = delete;
    AnimatedSprite& operator=(const AnimatedSprite&) = delete;

    void init() override;
    bool buildVBO() override;
    bool enableVBO() override;
    void disableVBO() override;
    bool renderBegin() override;
    void renderEnd() override;
    // Draws the frame of `time` (milliseconds; see frameAt).
    void render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight colorLight,
                float time, bool end) override;
    mat4 localMatrix() const override;
    // True with more than one frame: the frame shown changes with time.
    bool animate(bool first, double time) override;
    void DataWrite(buffer& b) override;
    void DataRead(buffer& b) override;
    bool load(const std::string& path) override;

    vec2 dimensions() const;
    // As Sprite::readRecord, with the 3-D texture's record tag.
    bool readRecord(buffer& b);
    // The frame shown at `time` milliseconds: each frame lasts the first
    // frame's delay (100 ms when the image gives none), and the animation
    // loops; negative times count back from the last frame.
    int frameAt(double time) const;

    const Texture3D* texture() const { return texture_.get(); }
    // As Sprite::imagePath.
    const std::string& imagePath() const { return path_; }
    bool hasImage() const;

private:
    // Shows the image at `path` (the shared texture of that file when the
    // load read it already) and keeps the path as given.
    void setImage(const std::string& path);
    // No texture and no path.
    void dropImage();

    // Shared with the other sprites of the load that read it (see
    // sprite::budgetedTexture).
    std::shared_ptr<Texture3D> texture_;
    // The image's path as this sprite names it: a texture shared with the
    // sprites of a load that name the same file by other spellings holds
    // the first of them.
    std::string path_;
};

}  // namespace qel
