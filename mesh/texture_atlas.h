#pragma once
// qel::TextureAtlas: the four texture maps of the Wavefront scene export
// (base colour, emission, metalness, roughness). Materials live on face
// corners, which OBJ cannot carry, so every exported triangle owns one
// 2 x 2-pixel cell in each map: the lower row holds corners 0 and 1, the
// upper row corner 2 twice, and the triangle's texture coordinates point at
// the centres of the two lower pixels and the middle of the upper row.
//
// Cell c sits at column c mod b, row c div b of the grid (rows counted from
// the bottom of the image, as texture coordinates count them). The grid
// grows 1 x 1, 1 x 2, 2 x 2, 2 x 4, ... up to 4096 x 4096 cells
// (8192 x 8192 pixels); a scene needing more cells is refused by create(),
// never clipped, and no pixel outside the images is ever written.
//
// Pixels of a corner material c:
//   base colour  RGBA 8-bit: the high bytes of colour red, green, blue, alpha
//   emission     RGB 8-bit:  the high bytes of light red, green, blue
//   metalness    RGB 8-bit grey (metalness + 32766) >> 8
//   roughness    RGB 8-bit grey (roughness + 32766) >> 8
// Before painting, the base colour is opaque black and the others black.

#include <cstdint>

#include <QImage>

#include "gl/pbr.h"

class QIODevice;

namespace qel {

class TextureAtlas {
public:
    enum TMap : int { BaseColour = 0, Emission = 1, Metalness = 2, Roughness = 3, MapCount = 4 };
    // Largest number of cells along either side of the grid.
    static constexpr int MaxCellsPerSide = 4096;

    struct TexCoord {
        double u = 0.0;
        double v = 0.0;
    };

    // The file name of a map: "Material_basecolor.png", ...
    static const char* FileName(TMap map);
    // What follows the material's name in it: "_basecolor.png", ...
    static const char* Suffix(TMap map);
    // The smallest grid in the growth sequence holding `cells` cells, capped
    // at MaxCellsPerSide x MaxCellsPerSide.
    static void Grid(std::int64_t cells, int& rows, int& columns);
    // The grey level of a signed channel (metalness, roughness), 0..255.
    static unsigned char Grey(std::int16_t value);

    // Makes the four images for `cells` cells, filled as above. False, with
    // no images, when the cells do not fit in the largest grid or the images
    // cannot be allocated.
    bool create(std::int64_t cells);

    int width() const { return 2 * columns_; }
    int height() const { return 2 * rows_; }
    std::int64_t capacity() const { return std::int64_t(rows_) * columns_; }
    const QImage& image(TMap map) const { return images_[map]; }

    // Paints cell `cell` with the materials of corners 0, 1 and 2. A cell
    // outside the grid paints nothing.
    void paintCell(std::int64_t cell, const pbr& m0, const pbr& m1, const pbr& m2);
    // The texture coordinates of the three corners of cell `cell`.
    void cellCoordinates(std::int64_t cell, TexCoord uv[3]) const;

    // Writes one map as PNG to the device; false when writing failed.
    bool save(TMap map, QIODevice& device) const;

private:
    // Pixels (x, y) to (x + count - 1, y) of every map, y counted from the
    // bottom.
    void paintPixels(int x, int y, int count, const pbr& m);

    QImage images_[MapCount];
    int rows_ = 0;
    int columns_ = 0;
};

}  // namespace qel
