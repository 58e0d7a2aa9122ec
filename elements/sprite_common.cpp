#include "elements/sprite_common.h"

#include <cmath>

#include "gl/buffer.h"
#include "gl/gl.h"
#include "gl/normal_matrix.h"
#include "gl/shader.h"

namespace qel {
namespace sprite {

namespace {

// A frame delay in milliseconds when the image gives none.
constexpr int DefaultDelay = 100;

}  // namespace

void payForImage(const Texture& texture) {
    LoadBudget::spendBytes(texture.pixels().size());
    if (texture.cutByLimit()) LoadBudget::noteImage(texture.path(), texture.loadError());
}

std::size_t decodeAllowance(const std::string& path) {
    return LoadBudget::refusedBefore(path) ? 0 : LoadBudget::bytesAllowed(Texture::MaxDecodeBytes);
}

std::string recordPath(buffer& b) {
    std::string path;
    if (!readTextureRecordPath(b, path)) path.clear();
    return path;
}

TBody openBody(buffer& b, std::uint32_t textureTag) {
    const std::int32_t start = b.cursor();
    const std::int32_t length = b.remaining();
    if (length == 0) return TBody::Empty;
    if (length < 12) return TBody::Damaged;
    const std::uint32_t tag = b.readU32();
    const std::uint32_t recordLength = b.readU32();
    const std::uint32_t pathLength = b.readU32();
    const bool sound =
        tag == textureTag && recordLength == std::uint32_t(length - 8) && pathLength == std::uint32_t(length - 12);
    b.seek(sound ? start + 8 : start);
    return sound ? TBody::Texture : TBody::Damaged;
}

vec2 dimensions(int width, int height) {
    const double w = width, h = height;
    const double d2 = w * w + h * h;
    if (d2 <= 1e-20) return vec2(float(w), float(h));
    const double d = std::sqrt(d2);
    return vec2(float(w / d), float(h / d));
}

mat4 quadMatrix(const vec2& d) { return mat4::Scale(d.x, d.y, 1.0f) * mat4::Translation(-0.5f, -0.5f, 0.0f); }

int animationLayer(double time, int delay, int layers) {
    if (layers <= 1 || !std::isfinite(time)) return 0;
    const double step = delay > 0 ? delay : DefaultDelay;
    // Frames counted from time 0; the floor keeps negative times counting
    // backwards, and the remainder is taken of a value within one loop so
    // that no integer conversion can overflow.
    const double loop = step * layers;
    const double within = std::fmod(std::trunc(time), loop);
    const double from0 = within < 0 ? within + loop : within;
    const int layer = int(std::floor(from0 / step));
    return layer < 0 ? 0 : (layer >= layers ? layers - 1 : layer);
}

float layerCentre(int layer, int layers) { return layers > 0 ? (float(layer) + 0.5f) / float(layers) : 0.5f; }

void setUniforms(unsigned objectId, unsigned itemId, const mat4& R, const pbr& material,
                 Element::TColorLight colorLight, int unit) {
    Shader::setUniform("ProjectionModelViewMatrix", Shader::ProjectionModelViewMatrix * R);
    Shader::setUniform("NormalMatrix", normalMatrix(R));
    gl->glUniform1ui(Shader::uniformLocation("ObjectId"), objectId);
    gl->glUniform1ui(Shader::uniformLocation("ItemId"), itemId);
    gl->glUniform1ui(Shader::uniformLocation("ColorLight"), colorLight == Element::ColorAsColor ? 1u : 0u);
    Shader::setUniform("ObjectColor", material.colour.toFloat());
    Shader::setUniform("ObjectLight", material.light.toFloat());
    gl->glUniform2i(Shader::uniformLocation("ObjectMaterial"), 2 * int(material.roughness),
                    2 * int(material.metalness));
    gl->glUniform1i(Shader::uniformLocation("Sprite"), unit);
}

}  // namespace sprite
}  // namespace qel
