#pragma once
// The material record qel::pbr.
//
// Ten 16-bit channels, 20 bytes in memory and on file (little-endian, no
// gaps): colour RGBA (u16, 0..65535 for 0..1; alpha is the opacity), light
// RGB + thickness (u16), roughness (i16) and metalness (i16). The two signed
// channels never hold -32767, -32768 or 32767: every operation here that
// produces them clamps into [-32766, 32766].

#include <cstdint>

#include "core/vec.h"

namespace qel {

class buffer;

struct pbr {
    // Material channel mask bits (an unsigned byte; see assign()).
    enum Mask : unsigned char {
        MaskColour = 1,      // colour red, green, blue
        MaskLight = 2,       // light red, green, blue
        MaskRoughness = 4,   // roughness, clamped
        MaskMetalness = 8,   // metalness, clamped
        MaskOpacity = 16,    // colour alpha
        MaskThickness = 32,  // light fourth channel
        MaskAll = 63,
    };
    static constexpr std::int16_t SignedMin = -32766;
    static constexpr std::int16_t SignedMax = 32766;
    // Size of the record written by DataWrite and read by read().
    static constexpr std::uint32_t RecordSize = 20;

    wvec4 colour{65535, 65535, 65535, 65535};
    wvec4 light{0, 0, 0, 65535};
    std::int16_t roughness = 0;
    std::int16_t metalness = 0;

    // The default material: colour (65535 x4), light (0, 0, 0, 65535),
    // roughness 0, metalness 0.
    constexpr pbr() = default;
    constexpr pbr(const wvec4& colour_, const wvec4& light_, std::int16_t roughness_, std::int16_t metalness_)
        : colour(colour_), light(light_), roughness(roughness_), metalness(metalness_) {}

    // Clamps a signed value into [-32766, 32766].
    static constexpr std::int16_t clampSigned(long v) {
        return std::int16_t(v < SignedMin ? SignedMin : (v > SignedMax ? SignedMax : v));
    }

    // Appends the 20-byte record: colour[4], light[4], roughness, metalness,
    // each little-endian.
    void DataWrite(buffer& b) const;

    // Reader helper: copies the 20 bytes at the buffer's cursor into this
    // material, roughness and metalness clamped into [-32766, 32766], and
    // advances the cursor by 20. When
    // fewer than 20 bytes remain the buffer's failure flag is set and the
    // missing channels read as 0 (see qel::buffer).
    void read(buffer& b);
    static pbr Read(buffer& b);

    // Masked assignment: copies from src the channels selected by mask
    // (MaskColour, MaskLight, MaskRoughness, MaskMetalness, MaskOpacity,
    // MaskThickness); roughness and metalness are clamped into
    // [-32766, 32766]. Mask 0 changes nothing; bits above 32 are ignored.
    void assign(const pbr& src, unsigned char mask);
    // assign, returning the channels of mask whose values it changed (0
    // when the material already held them).
    unsigned char assignChanged(const pbr& src, unsigned char mask);
    // A copy of m with roughness and metalness clamped into their range.
    static pbr Clamped(const pbr& m);
    // The mean of three materials, channel by channel: (x + y + z) / 3 in
    // single precision, truncated toward zero and clamped to the channel's
    // range (a NaN gives the lower end).
    static pbr Centroid(const pbr& x, const pbr& y, const pbr& z);
};
static_assert(sizeof(pbr) == 20, "qel::pbr must stay a packed 20-byte record");

// Material product a * b, channel by channel: colour a*b/65535 (limited to
// 65535), light a+b saturated at 65535, roughness and metalness a+b clamped
// into [-32766, 32766].
pbr operator*(const pbr& a, const pbr& b);

inline bool operator==(const pbr& a, const pbr& b) {
    return a.colour == b.colour && a.light == b.light && a.roughness == b.roughness && a.metalness == b.metalness;
}
inline bool operator!=(const pbr& a, const pbr& b) { return !(a == b); }

}  // namespace qel
