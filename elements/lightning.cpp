#include "elements/lightning.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "curves/curve.h"
#include "elements/tube.h"
#include "gl/buffer.h"
#include "gl/element_draw.h"
#include "gl/gl.h"
#include "gl/shader.h"
#include "gl/shaders.h"
#include "gl/texture2d.h"

namespace qel {

// Constant-initialised: the bolt is made on first use, never by a static
// initialiser that could run before the curves' own.
Tube* Lightning::Bolt = nullptr;

namespace {

// One axis of a bilinear lookup: the two texel indices and the weight of
// the second, for the coordinate c (1 = the whole texture) on an axis of n
// texels, with repeat wrapping.
struct Tap {
    std::size_t i0 = 0, i1 = 0;
    double f = 0;
};

// False when the coordinate is no finite number. The wrap is taken in
// floating point, so that a huge coordinate never reaches an integer
// conversion out of range.
bool tapOf(double c, std::size_t n, Tap& t) {
    const double x = c * double(n) - 0.5;
    if (!std::isfinite(x)) return false;
    const double ix = std::floor(x);
    t.f = x - ix;
    double wrapped = std::fmod(ix, double(n));  // an integer in (-n, n)
    if (wrapped < 0) wrapped += double(n);
    t.i0 = std::size_t(wrapped);
    if (t.i0 >= n) t.i0 = 0;
    t.i1 = (t.i0 + 1) % n;
    return true;
}

// A table entry, zero past the end of a short row.
vec3 texel(const std::vector<std::vector<vec3>>& table, std::size_t row, std::size_t column) {
    const std::vector<vec3>& r = table[row];
    return column < r.size() ? r[column] : vec3(0, 0, 0);
}

float finiteOrZero(float v) { return std::isfinite(v) ? v : 0.0f; }

float phaseComponent() { return float(2.0 * double(std::rand() % 8009) / 8009.0 - 1.0); }

}  // namespace

Tube* Lightning::bolt() {
    if (!Bolt) {
        Bolt = new Tube(Curve::Segment(100, ResizeKeep), Curve::Circle(3, false));
        Bolt->copy(1);  // the curves take their reference with the tube's
    }
    return Bolt;
}

void Lightning::freeBolt() {
    Tube* t = Bolt;
    Bolt = nullptr;
    Element::drop(t, 1);
}

std::int32_t Lightning::clampOctaves(std::int64_t n) {
    return n < 0 ? 0 : (n > MaxOctaves ? MaxOctaves : std::int32_t(n));
}

Lightning::Lightning(const vec2& amplitude_, const vec2& scale_, int octaves_)
    : Element(TType::Lightning), amplitude(amplitude_), scale(scale_), octaves(clampOctaves(octaves_)) {
    drawPhase();
}

Lightning::Lightning(buffer& b) : Element(TType::Lightning) {
    drawPhase();
    DataRead(b);
}

void Lightning::drawPhase() {
    // Two statements: x takes the first draw, y the second.
    phase.x = phaseComponent();
    phase.y = phaseComponent();
}

Element* Lightning::copy(int) {
    if (refCount == 0) {
        refCount = 1;
        return this;
    }
    auto* other = new Lightning(amplitude, scale, octaves);
    other->refCount = 1;
    return other;
}

Element* Lightning::clone() { return new Lightning(amplitude, scale, octaves); }

bool Lightning::renderBegin() {
    if (!gl || !ShaderLightning || !ShaderLightning->enable()) return false;
    return bolt()->enableVBO();
}

vec3 Lightning::displaced_position(const vec3& p, float time) const {
    const std::vector<std::vector<vec3>>& table = Texture2D::Rand;
    if (octaves < 1 || table.empty() || table[0].empty()) return p;
    const std::size_t H = table.size(), W = table[0].size();
    const double u = double(scale.x) * p.x + phase.x;
    const double v = double(scale.y) * time + phase.y;
    double delta[3] = {0, 0, 0};
    double s = 1.0;
    for (int i = 0; i < octaves; ++i, s *= 0.5) {
        Tap x, y;
        if (!tapOf(u / s, W, x) || !tapOf(v / s, H, y)) return p;
        const vec3 a = texel(table, y.i0, x.i0), b = texel(table, y.i0, x.i1);
        const vec3 c = texel(table, y.i1, x.i0), d = texel(table, y.i1, x.i1);
        for (int k = 0; k < 3; ++k) {
            const double near = (1 - x.f) * a[k] + x.f * b[k];
            const double far = (1 - x.f) * c[k] + x.f * d[k];
            delta[k] += s * ((1 - y.f) * near + y.f * far);
        }
    }
    const double k = amplitude.x;
    return vec3(float(p.x + k * delta[0]), float(p.y + k * delta[1]), float(p.z + k * delta[2]));
}

mat4 Lightning::endMatrix(float time) const {
    const vec3 d0 = displaced_position(vec3(0, 0, 0), time);
    const vec3 d1 = displaced_position(vec3(1, 0, 0), time);
    const double gap = length(d1 - d0);
    // Both ends folded onto one point (or thrown out of range): no direction
    // to turn, so the bolt is drawn as if undisplaced.
    if (!(gap >= 1e-6) || !std::isfinite(gap)) return mat4::RotationScale(vec3(1, 0, 0), vec3(0, 0, 1));
    return mat4::RotationScale(d1 - d0, vec3(0, 0, 1)) * mat4::Translation(-d0);
}

void Lightning::render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight, float time,
                       bool end) {
    Tube* tube = bolt();
    tube->update();
    if (!renderBegin()) return;
    Texture2D* noise = Texture2D::Random;
    // The noise stays bound for whoever enabled it before; a unit taken
    // here is given back after the draw.
    const bool ownUnit = noise && !noise->isEnabled();
    const int unit = noise ? noise->unit() : -1;
    if (unit >= 0) {
        setSurfaceUniforms(objectId, itemId, m * localMatrix(), material);
        Shader::setUniform("Transform", endMatrix(time));
        Shader::setUniform("Noise", unit);
        Shader::setUniform("Amplitude", amplitude);
        Shader::setUniform("Scale", scale);
        Shader::setUniform("Phase", phase);
        Shader::setUniform("Time", time);
        Shader::setUniform("Octaves", int(octaves));
        if (tube->vbo.vertexCount > 0) gl->glDrawArrays(GL_TRIANGLES, 0, GLsizei(tube->vbo.vertexCount));
    }
    if (ownUnit) noise->disable();
    if (end) tube->renderEnd();
}

bool Lightning::animate(bool, double) { return octaves > 0 && amplitude.x != 0.0f && scale.y != 0.0f; }

void Lightning::DataWrite(buffer& b) {
    buffer payload;
    payload.writeVec2(amplitude);
    payload.writeVec2(scale);
    payload.writeU32(std::uint32_t(octaves));
    b.writeRecord(RecordTag, payload);
}

void Lightning::DataRead(buffer& b) {
    if (!readRecord(b)) status = 1;
}

bool Lightning::readRecord(buffer& b) {
    if (!b.require(1, PayloadBytes)) return false;
    const vec2 a = b.readVec2();
    const vec2 s = b.readVec2();
    const std::uint32_t n = b.readU32();
    amplitude = vec2(finiteOrZero(a.x), finiteOrZero(a.y));
    scale = vec2(finiteOrZero(s.x), finiteOrZero(s.y));
    octaves = clampOctaves(std::int64_t(n));
    return true;
}

}  // namespace qel
