#pragma once
// What the sprite and the animated sprite share: their record layout, the
// quad's placement from the image size, the frame choice of an animation and
// the uniforms of their draw.
//
// Sprite record body (after the element tag and length), little-endian:
//   u32 texture tag (0xC0000020 for a sprite, 0xC0000030 for an animated one)
//   u32 n + 4, u32 n, n bytes of the image path
// A sprite without texture writes an empty body.

#include <cstdint>
#include <memory>
#include <string>

#include "core/mat.h"
#include "core/vec.h"
#include "gl/pbr.h"
#include "gl/texture.h"
#include "gl/texture2d.h"
#include "scene/element.h"
#include "scene/load_budget.h"

namespace qel {

class buffer;

namespace sprite {

// How a record body reads.
enum class TBody {
    Empty,    // no bytes: a sprite without texture
    Texture,  // a texture record of the expected tag whose lengths agree
    Damaged,  // anything else
};

// Checks the body that lies between the cursor and the end of the buffer
// (the factory hands a record's body so) without moving the cursor: its
// texture record must carry `textureTag`, and the texture record's two
// lengths must agree with the body's length. On Texture the cursor is moved
// past the texture record's tag and length, onto the path's length.
TBody openBody(buffer& b, std::uint32_t textureTag);

// Pays the armed load budget for a texture just read: its pixels, and the
// image's name when the decode limit cut or refused it.
void payForImage(const Texture& texture);

// The bytes the image at `path` may decode into now: what the armed load
// budget has left, or nothing when it refused that image before (a texture
// under a limit of nothing is refused without reading its file).
std::size_t decodeAllowance(const std::string& path);

// The texture T of the image at `path`: the one this load made of that
// file already (under any spelling of its path), or a new one decoding no
// more than the armed load budget has left (its header sizes it before
// anything is decoded), and paid for. A shared texture keeps the path it
// was read by: the sprite keeps its own.
template <class T>
std::shared_ptr<T> budgetedTexture(const std::string& path) {
    if (std::shared_ptr<Texture> shared = LoadBudget::sharedImage(T::RecordTag, path))
        return std::static_pointer_cast<T>(shared);
    auto texture = std::make_shared<T>(path, false, decodeAllowance(path));
    payForImage(*texture);
    LoadBudget::shareImage(T::RecordTag, path, texture);
    return texture;
}

// The image path of the texture record whose path the cursor stands on (its
// length was checked by openBody); empty when it cannot be read (it names
// no image: the texture fails).
std::string recordPath(buffer& b);

// The image's width and height divided by the length of its diagonal (the
// quad's diagonal becomes 1); unchanged when the image is empty.
vec2 dimensions(int width, int height);
// Scale by (d.x, d.y, 1) after a translation by (-0.5, -0.5, 0): the unit
// quad becomes a rectangle of size d centred on the origin.
mat4 quadMatrix(const vec2& d);

// The frame an animation of `layers` frames shows at `time` milliseconds
// when each frame lasts `delay` milliseconds. A delay of 0 or less (an
// animated image that gives none) counts as 100 ms; a negative time counts
// back from the last frame; a time that is no number shows the first frame.
int animationLayer(double time, int delay, int layers);
// The depth coordinate of the middle of a layer.
float layerCentre(int layer, int layers);

// Sets the uniforms every sprite draw sets on the current program: the
// matrices for the drawing matrix R (the tool's matrix times the quad's),
// the ids, whether the colour is light, the material and the sampler "Sprite"
// on the texture unit.
void setUniforms(unsigned objectId, unsigned itemId, const mat4& R, const pbr& material,
                 Element::TColorLight colorLight, int unit);

}  // namespace sprite
}  // namespace qel
