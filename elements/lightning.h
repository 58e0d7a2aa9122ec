#pragma once
// qel::Lightning (element type 6): an animated lightning bolt. It has no
// geometry of its own: every lightning draws one shared thin tube, Bolt (a
// path of 100 edges from (0, 0, 0) to (1, 0, 0) swept with a three-sided
// circle), with the program "Mesh/Lightning", which bends the tube in the
// vertex stage by octaves of the shared noise texture scrolling with time.
// A matrix computed on the processor (endMatrix) moves the bent tube's two
// ends exactly onto (0, 0, 0) and (0, 0, 1) of the element's frame, so the
// bolt always spans its carrying tool while it flickers in between.
//
// Sharing: a lightning in use is never shared. copy() hands out the
// lightning itself only while nobody holds it; any further holder gets a
// lightning of its own that flickers differently (its own phase).
//
// Record 0xE1100005, payload of 20 bytes, little-endian:
//   amplitude (2 f32), scale (2 f32), octaves (u32)
// The phase is not stored: a loaded lightning draws a new one. A payload
// shorter than 20 bytes is refused; bytes beyond them are ignored.

#include <cstdint>

#include "core/mat.h"
#include "core/vec.h"
#include "scene/element.h"

namespace qel {

class Tube;
class buffer;

class Lightning : public Element {
public:
    static constexpr std::uint32_t RecordTag = 0xE1100005u;
    static constexpr std::int32_t PayloadBytes = 20;
    // Octaves beyond this add nothing visible (each halves the last) and
    // would only cost: counts are clamped into 0 .. MaxOctaves.
    static constexpr int MaxOctaves = 16;

    // The tube every lightning draws, made by bolt() on first use and freed
    // by freeBolt(); null in between. Held with one reference.
    static Tube* Bolt;
    // Bolt, made first when there is none (no GL is needed to make it).
    static Tube* bolt();
    // Frees Bolt with its curves and GPU buffers (with the GL context
    // current) and sets it to null; the next bolt() makes it again.
    static void freeBolt();

    // ---- Fields after the element head, in this order ----
    vec2 amplitude{0, 0};  // x: displacement amplitude; y: bolt thickness
    vec2 scale{0, 0};      // x: noise frequency along the bolt; y: in time
    vec2 phase{0, 0};      // random offset into the noise, never saved
    std::int32_t octaves = 0;

    // The values given (octaves clamped) and a fresh phase.
    Lightning(const vec2& amplitude, const vec2& scale, int octaves);
    // Amplitude and scale zero, a fresh phase, then DataRead on the payload.
    explicit Lightning(buffer& b);
    Lightning(const Lightning&) = delete;
    Lightning& operator=(const Lightning&) = delete;

    // This lightning with count 1 when nobody holds it, else a new lightning
    // of the same values with a fresh phase and count 1. n is not used.
    Element* copy(int n) override;
    // A new lightning of the same values, a fresh phase and count 0.
    Element* clone() override;
    // The lightning program, then the bolt's buffers.
    bool renderBegin() override;
    // The bolt through m * localMatrix() and the end matrix of `time`; with
    // end the bolt's buffers are unbound afterwards. The colour-is-light
    // flag is not used.
    void render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight colorLight,
                float time, bool end) override;
    // True when the bolt is displaced and its noise scrolls with time.
    bool animate(bool first, double time) override;
    void DataWrite(buffer& b) override;
    // readRecord; a refused payload sets status 1.
    void DataRead(buffer& b) override;

    // The shader's displacement of the bolt point p at `time`, computed on
    // Texture2D::Rand: p plus amplitude.x times the octaves' bilinear noise
    // lookups (repeat wrapping, texel centres at half texels). p itself
    // with no octave, an empty table or a coordinate that is no number.
    vec3 displaced_position(const vec3& p, float time) const;
    // The matrix that carries the displaced end of (0, 0, 0) to the origin
    // and that of (1, 0, 0) exactly onto (0, 0, 1); the map of the
    // undisplaced bolt when both ends land within 1e-6 of each other.
    mat4 endMatrix(float time) const;
    // Reads a payload: false, with the buffer's failure flag set and nothing
    // changed, when fewer than 20 bytes remain. A component of amplitude or
    // scale that is no finite number reads as 0; octaves are clamped.
    bool readRecord(buffer& b);

    // The count clamped into 0 .. MaxOctaves.
    static std::int32_t clampOctaves(std::int64_t n);

private:
    void drawPhase();
};

}  // namespace qel
