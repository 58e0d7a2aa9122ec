#pragma once
// One pixel of the ID buffer as the pickings read it: the layers drawn
// there and, where some are, the depth and the ids of the nearest drawn
// target, the transparent one where its layer is drawn, else the opaque one.

#include <array>
#include <cstdint>

#include "core/vec.h"
#include "view/id_reader.h"

namespace qel {

class IdPixel {
public:
    // Reads pixel (x, y) through r. The target read stays enabled, for the
    // normal and depth reads of the hit, until the object goes.
    IdPixel(IdReader& r, int x, int y);
    ~IdPixel();
    IdPixel(const IdPixel&) = delete;
    IdPixel& operator=(const IdPixel&) = delete;

    // False when the transparent target could not be made ready: nothing
    // was read.
    bool ready() const { return ready_; }

    // The eye-space normal at the pixel; where none was drawn, one estimated
    // from the neighbouring depths with farPlane the projection's far plane.
    vec3 eyeNormal(float farPlane) const;

    std::uint8_t layers = 0;             // the stencil layers drawn, 0: none
    float depth = 0.0f;                  // read only where layers != 0
    std::array<std::uint32_t, 3> ids{};  // object id, item id, material; likewise
private:
    IdReader& reader_;
    int x_, y_;
    IdReader::TTarget target_ = IdReader::Transparent;
    bool ready_ = false;
};

}  // namespace qel
