// The material record.
#include "gl/pbr.h"

#include "gl/buffer.h"

namespace qel {

void pbr::DataWrite(buffer& b) const {
    // One append for the whole record: a mesh writes three per face.
    std::uint8_t* p = b.append(RecordSize);
    if (!p) return;
    for (int i = 0; i < 4; ++i) buffer::storeU16(p + 2 * i, colour[i]);
    for (int i = 0; i < 4; ++i) buffer::storeU16(p + 8 + 2 * i, light[i]);
    buffer::storeU16(p + 16, std::uint16_t(roughness));
    buffer::storeU16(p + 18, std::uint16_t(metalness));
}

void pbr::read(buffer& b) {
    // The 20 bytes at the cursor. A short buffer yields zeros for the whole
    // record (buffer semantics) and sets the buffer's flag. Roughness and
    // metalness are clamped into the range every editor keeps, so a damaged
    // file cannot bring -32768, -32767 or 32767 into the scene.
    std::uint8_t raw[RecordSize];
    b.readBytes(raw, RecordSize);
    auto u16 = [&raw](int k) { return buffer::loadU16(raw + 2 * k); };
    for (int i = 0; i < 4; ++i) colour[i] = u16(i);
    for (int i = 0; i < 4; ++i) light[i] = u16(4 + i);
    roughness = clampSigned(std::int16_t(u16(8)));
    metalness = clampSigned(std::int16_t(u16(9)));
}

pbr pbr::Read(buffer& b) {
    pbr m;
    m.read(b);
    return m;
}

void pbr::assign(const pbr& src, unsigned char mask) {
    if (mask & MaskColour) {
        colour.r = src.colour.r;
        colour.g = src.colour.g;
        colour.b = src.colour.b;
    }
    if (mask & MaskLight) {
        light.r = src.light.r;
        light.g = src.light.g;
        light.b = src.light.b;
    }
    if (mask & MaskRoughness) roughness = clampSigned(src.roughness);
    if (mask & MaskMetalness) metalness = clampSigned(src.metalness);
    if (mask & MaskOpacity) colour.a = src.colour.a;
    if (mask & MaskThickness) light.a = src.light.a;
}

unsigned char pbr::assignChanged(const pbr& src, unsigned char mask) {
    unsigned char changed = 0;
    // Each channel of the mask set to its new value, noted when it differs.
    const auto set = [&](auto& channel, auto value, unsigned char bit) {
        if (!(mask & bit) || channel == value) return;
        channel = value;
        changed = static_cast<unsigned char>(changed | bit);
    };
    for (int i = 0; i < 3; ++i) {
        set(colour[i], src.colour[i], MaskColour);
        set(light[i], src.light[i], MaskLight);
    }
    set(roughness, clampSigned(src.roughness), MaskRoughness);
    set(metalness, clampSigned(src.metalness), MaskMetalness);
    set(colour[3], src.colour[3], MaskOpacity);
    set(light[3], src.light[3], MaskThickness);
    return changed;
}

pbr operator*(const pbr& a, const pbr& b) {
    pbr r;
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t c = std::uint32_t(a.colour[i]) * std::uint32_t(b.colour[i]) / 65535u;
        r.colour[i] = std::uint16_t(c > 65535u ? 65535u : c);
        const std::uint32_t l = std::uint32_t(a.light[i]) + std::uint32_t(b.light[i]);
        r.light[i] = std::uint16_t(l > 65535u ? 65535u : l);
    }
    r.roughness = pbr::clampSigned(long(a.roughness) + long(b.roughness));
    r.metalness = pbr::clampSigned(long(a.metalness) + long(b.metalness));
    return r;
}

pbr pbr::Clamped(const pbr& m) {
    pbr r;
    r.assign(m, MaskAll);
    return r;
}

namespace {

long centroidChannel(long x, long y, long z, long lo, long hi) {
    const float r = (float(x) + float(y) + float(z)) / 3.0f;
    if (!(r > float(lo))) return lo;
    if (r >= float(hi)) return hi;
    return long(r);
}

}  // namespace

pbr pbr::Centroid(const pbr& x, const pbr& y, const pbr& z) {
    pbr r;
    for (int i = 0; i < 4; ++i) {
        r.colour[i] = std::uint16_t(centroidChannel(x.colour[i], y.colour[i], z.colour[i], 0, 65535));
        r.light[i] = std::uint16_t(centroidChannel(x.light[i], y.light[i], z.light[i], 0, 65535));
    }
    r.roughness = std::int16_t(centroidChannel(x.roughness, y.roughness, z.roughness, SignedMin, SignedMax));
    r.metalness = std::int16_t(centroidChannel(x.metalness, y.metalness, z.metalness, SignedMin, SignedMax));
    return r;
}

}  // namespace qel
