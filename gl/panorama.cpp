#include "gl/panorama.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qel {

namespace {

constexpr double Pi = 3.14159265358979323846;

struct Direction {
    float x, y, z;
};

// The direction through texel centre (a, b) in [-1, 1]^2 of a face.
Direction faceDirection(int face, float a, float b) {
    switch (face) {
        case 0: return {-1.0f, -a, b};
        case 1: return {1.0f, a, b};
        case 2: return {-a, b, -1.0f};
        case 3: return {-a, -b, 1.0f};
        case 4: return {-a, 1.0f, b};
        default: return {a, -1.0f, b};
    }
}

// One 8-bit channel (shift 0, 8, 16 or 24 of an ARGB value) blended between
// the four neighbours.
int blendChannel(std::uint32_t c00, std::uint32_t c10, std::uint32_t c01, std::uint32_t c11, int shift, float fx,
                 float fy) {
    const float v00 = float((c00 >> shift) & 0xFF), v10 = float((c10 >> shift) & 0xFF);
    const float v01 = float((c01 >> shift) & 0xFF), v11 = float((c11 >> shift) & 0xFF);
    const float top = v00 + (v10 - v00) * fx;
    const float bottom = v01 + (v11 - v01) * fx;
    return int(top + (bottom - top) * fy) & 0xFF;
}

}  // namespace

QImage panoramaFace(const QImage& panorama, int face, int n, QImage::Format format) {
    if (panorama.isNull() || n < 1 || panorama.width() < 1 || panorama.height() < 1) return QImage();
    const QImage source = panorama.format() == QImage::Format_ARGB32 ? panorama
                                                                     : panorama.convertToFormat(QImage::Format_ARGB32);
    const int W = source.width(), H = source.height();
    const bool alpha = format != QImage::Format_RGB888;
    QImage result(n, n, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    const float step = 2.0f / float(n);
    const float offset = 1.0f / float(n) - 1.0f;
    const auto pixel = [&source](int x, int y) {
        return std::uint32_t(reinterpret_cast<const std::uint32_t*>(source.constScanLine(y))[x]);
    };
    for (int j = 0; j < n; ++j) {
        std::uint8_t* row = result.scanLine(j);
        const float b = float(j) * step + offset;
        for (int i = 0; i < n; ++i) {
            const float a = float(i) * step + offset;
            const Direction d = faceDirection(face, a, b);
            const double horizontal = std::sqrt(double(d.x) * d.x + double(d.y) * d.y);
            const float u = float(W * (0.25 - std::atan2(double(d.y), double(d.x)) / (2.0 * Pi)));
            const float v = float(H * (0.5 - std::atan2(double(d.z), horizontal) / Pi));
            const float fu = std::floor(u), fv = std::floor(v);
            // Columns wrap around the horizon; rows stop at the poles, so the
            // bottom pole never blends in the top row.
            const int x0 = ((int(fu) % W) + W) % W;
            const int x1 = (x0 + 1) % W;
            const int y0 = std::min(std::max(int(fv), 0), H - 1);
            const int y1 = std::min(y0 + 1, H - 1);
            const float fx = u - fu, fy = v - fv;
            const std::uint32_t c00 = pixel(x0, y0), c10 = pixel(x1, y0);
            const std::uint32_t c01 = pixel(x0, y1), c11 = pixel(x1, y1);
            std::uint8_t* out = row + i * (alpha ? 4 : 3);
            out[0] = std::uint8_t(blendChannel(c00, c10, c01, c11, 16, fx, fy));
            out[1] = std::uint8_t(blendChannel(c00, c10, c01, c11, 8, fx, fy));
            out[2] = std::uint8_t(blendChannel(c00, c10, c01, c11, 0, fx, fy));
            if (alpha) out[3] = std::uint8_t(blendChannel(c00, c10, c01, c11, 24, fx, fy));
        }
    }
    return result;
}

}  // namespace qel
