// The texture maps of the Wavefront scene export: see texture_atlas.h.

#include "mesh/texture_atlas.h"

#include <QColor>
#include <QIODevice>

namespace qel {

const char* TextureAtlas::FileName(TMap map) {
    switch (map) {
        case BaseColour: return "Material_basecolor.png";
        case Emission: return "Material_emission.png";
        case Metalness: return "Material_metalness.png";
        case Roughness: return "Material_roughness.png";
        default: return "";
    }
}

const char* TextureAtlas::Suffix(TMap map) {
    switch (map) {
        case BaseColour: return "_basecolor.png";
        case Emission: return "_emission.png";
        case Metalness: return "_metalness.png";
        case Roughness: return "_roughness.png";
        default: return "";
    }
}

void TextureAtlas::Grid(std::int64_t cells, int& rows, int& columns) {
    rows = 1;
    columns = 1;
    // Columns double first, so the grid stays square or twice as wide as tall.
    while (std::int64_t(rows) * columns < cells) {
        if (columns <= rows) {
            columns *= 2;
        } else {
            rows *= 2;
            if (rows >= MaxCellsPerSide) break;
        }
    }
}

unsigned char TextureAtlas::Grey(std::int16_t value) {
    // A record read from a file may hold -32768..-32767 or 32767: clamp
    // before scaling so the level stays in 0..255.
    const int v = (int(pbr::clampSigned(value)) + 32766) >> 8;
    return static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

bool TextureAtlas::create(std::int64_t cells) {
    for (QImage& image : images_) image = QImage();
    rows_ = columns_ = 0;
    int rows = 0, columns = 0;
    Grid(cells, rows, columns);
    if (std::int64_t(rows) * columns < cells) return false;

    const int w = 2 * columns, h = 2 * rows;
    images_[BaseColour] = QImage(w, h, QImage::Format_RGBA8888);
    for (int map = Emission; map < MapCount; ++map) images_[map] = QImage(w, h, QImage::Format_RGB888);
    for (const QImage& image : images_) {
        if (image.isNull()) {
            for (QImage& i : images_) i = QImage();
            return false;
        }
    }
    images_[BaseColour].fill(QColor(0, 0, 0, 255));
    for (int map = Emission; map < MapCount; ++map) images_[map].fill(QColor(0, 0, 0));
    rows_ = rows;
    columns_ = columns;
    return true;
}

void TextureAtlas::paintPixels(int x, int y, int count, const pbr& m) {
    // One row of each map; the pixel rows count from the bottom.
    const int row = height() - 1 - y;
    uchar* c = images_[BaseColour].scanLine(row) + 4 * x;
    uchar* e = images_[Emission].scanLine(row) + 3 * x;
    uchar* g = images_[Metalness].scanLine(row) + 3 * x;
    uchar* r = images_[Roughness].scanLine(row) + 3 * x;
    const uchar metal = Grey(m.metalness), rough = Grey(m.roughness);
    for (int i = 0; i < count; ++i, c += 4, e += 3, g += 3, r += 3) {
        c[0] = uchar(m.colour.r >> 8);
        c[1] = uchar(m.colour.g >> 8);
        c[2] = uchar(m.colour.b >> 8);
        c[3] = uchar(m.colour.a >> 8);
        e[0] = uchar(m.light.r >> 8);
        e[1] = uchar(m.light.g >> 8);
        e[2] = uchar(m.light.b >> 8);
        g[0] = g[1] = g[2] = metal;
        r[0] = r[1] = r[2] = rough;
    }
}

void TextureAtlas::paintCell(std::int64_t cell, const pbr& m0, const pbr& m1, const pbr& m2) {
    if (cell < 0 || cell >= capacity()) return;
    const int x = int(2 * (cell % columns_));
    const int y = int(2 * (cell / columns_));
    paintPixels(x, y, 1, m0);
    paintPixels(x + 1, y, 1, m1);
    paintPixels(x, y + 1, 2, m2);
}

void TextureAtlas::cellCoordinates(std::int64_t cell, TexCoord uv[3]) const {
    const double w = width() > 0 ? width() : 1, h = height() > 0 ? height() : 1;
    const std::int64_t columns = columns_ > 0 ? columns_ : 1;
    const double x = double(2 * (cell % columns));
    const double y = double(2 * (cell / columns));
    uv[0] = {(x + 0.5) / w, (y + 0.5) / h};
    uv[1] = {(x + 1.5) / w, (y + 0.5) / h};
    uv[2] = {(x + 1.0) / w, (y + 1.5) / h};
}

bool TextureAtlas::save(TMap map, QIODevice& device) const {
    if (map < 0 || map >= MapCount || images_[map].isNull()) return false;
    return images_[map].save(&device, "PNG");
}

}  // namespace qel
