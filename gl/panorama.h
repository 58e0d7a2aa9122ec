#pragma once
// Conversion of an equirectangular panorama into the six faces of a cube map
// (+X, -X, +Y, -Y, +Z, -Z), sampled bilinearly with wrap-around.

#include <QImage>

namespace qel {

// Face f (0..5) of edge n from the panorama, as an n x n image of the given
// format (QImage::Format_RGB888 or QImage::Format_RGBA8888). A null image is
// returned for a null panorama or an edge below 1.
QImage panoramaFace(const QImage& panorama, int face, int n, QImage::Format format);

}  // namespace qel
