#include "view/id_pixel.h"

namespace qel {

IdPixel::IdPixel(IdReader& r, int x, int y) : reader_(r), x_(x), y_(y) {
    ready_ = r.enable(IdReader::Transparent);
    if (!ready_) return;
    layers = r.stencil(x, y);
    if (layers == 0) return;
    depth = r.depth(x, y);
    if ((layers & r.layer(IdReader::Transparent)) == 0) {
        r.disable(IdReader::Transparent);
        r.enable(IdReader::Opaque);
        target_ = IdReader::Opaque;
    }
    ids = r.ids(x, y);
}

IdPixel::~IdPixel() {
    if (ready_) reader_.disable(target_);
}

vec3 IdPixel::eyeNormal(float farPlane) const {
    const vec3 n = reader_.normal(x_, y_);
    if (!isZero(n)) return n;
    const std::array<float, 9> d = reader_.depthBlock(x_, y_);
    return normalize(vec3(d[5] - d[3], d[7] - d[1], float(1.0 / double(farPlane))));
}

}  // namespace qel
