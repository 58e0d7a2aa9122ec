// Generates the compiled-in assets of Tessilor into a resources folder:
//   Fonts/font_small.png, Fonts/font_large.png     glyph grids of DejaVu Sans Mono
//   Environments/env_default.jpg, env_dark.jpg     procedural studio panoramas
//   License/License.txt                            the program's licence text
//   Icons/*, IconsCreate/*                         pictograms of the menus and toolbars
//
// Usage: make_assets --out DIR [--font FILE.ttf] [--gpl FILE]
//
// The output is deterministic: the noise comes from an integer hash with fixed
// seeds, so the same inputs give byte-identical files. A file whose content is
// unchanged is not rewritten, so its timestamp stays and the resource bundle is
// not rebuilt needlessly.

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRect>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

double radians(double degrees) { return degrees * kPi / 180.0; }

// ---------------------------------------------------------------------------
// Small helpers

struct V3 {
    double x, y, z;
};

V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 mix(V3 a, V3 b, double t) { return a * (1.0 - t) + b * t; }

double smoothstep(double e0, double e1, double x) {
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// Unit direction for an azimuth and elevation in radians; z points up.
V3 direction(double azimuth, double elevation) {
    return {std::cos(elevation) * std::cos(azimuth), std::cos(elevation) * std::sin(azimuth),
            std::sin(elevation)};
}

// A 32-bit integer mix (good avalanche, no library generator involved, so the
// values are the same with every compiler and standard library).
uint32_t hash32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// Uniform value in [0, 1) for a pixel, a channel and a seed.
double noise01(int px, int py, int channel, uint32_t seed) {
    uint32_t h = hash32(seed ^ hash32(static_cast<uint32_t>(px) * 0x9E3779B1U));
    h = hash32(h ^ (static_cast<uint32_t>(py) * 0x85EBCA77U));
    h = hash32(h ^ (static_cast<uint32_t>(channel) * 0xC2B2AE3DU));
    return h / 4294967296.0;
}

bool writeIfChanged(const QString& path, const QByteArray& bytes) {
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes) {
        std::printf("unchanged %s (%lld bytes)\n", qPrintable(path), static_cast<long long>(bytes.size()));
        return true;
    }
    existing.close();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s (%lld bytes)\n", qPrintable(path), static_cast<long long>(bytes.size()));
    return true;
}

bool saveImage(const QImage& image, const QString& path, const char* format, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image)) {
        std::fprintf(stderr, "cannot encode %s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
        return false;
    }
    return writeIfChanged(path, bytes);
}

// ---------------------------------------------------------------------------
// Environment panoramas
//
// An equirectangular image: the top row looks straight up, the bottom row
// straight down, the columns run once around the horizon. The scene is a
// photo studio: a smooth backdrop that is brighter above than below, no hard
// horizon, and a few soft boxes (rounded rectangles with soft edges and a
// faint halo) that show up as pleasant highlights in glossy surfaces.

struct SoftBox {
    double azimuth, elevation;      // centre, degrees
    double halfWidth, halfHeight;   // angular half extents, degrees
    double corner;                  // corner radius as a fraction of the smaller half extent
    double softness;                // edge falloff, degrees
    double glow, glowRadius;        // halo strength and reach (degrees)
    V3 colour;                      // emitted colour, 1 = full white
};

struct Studio {
    V3 zenith, horizonSky, horizonGround, nadir;
    double blendBelow, blendAbove;  // horizon blend band in sin(elevation)
    double floorPool;               // extra brightness of the lit floor below the camera
    double wallAzimuth, wallVariation;  // the backdrop is brighter towards this azimuth (degrees)
    std::vector<SoftBox> boxes;
    uint32_t seed;                  // dither noise
};

V3 backdrop(const Studio& s, double azimuth, double sinEl) {
    const double wall = 1.0 + s.wallVariation * std::cos(azimuth - radians(s.wallAzimuth));
    const V3 sky = mix(s.horizonSky, s.zenith, std::pow(std::max(sinEl, 0.0), 0.8));
    const double down = std::max(-sinEl, 0.0);
    const V3 floorColour = mix(s.horizonGround, s.nadir, std::pow(down, 0.6)) +
                           V3{1.0, 1.0, 1.0} * (s.floorPool * smoothstep(0.5, 1.0, down));
    return mix(floorColour, sky, smoothstep(-s.blendBelow, s.blendAbove, sinEl)) * wall;
}

// Adds one soft box over the colour seen in direction d.
V3 addSoftBox(V3 colour, const SoftBox& box, V3 d) {
    const V3 f = direction(radians(box.azimuth), radians(box.elevation));
    const V3 r = {-std::sin(radians(box.azimuth)), std::cos(radians(box.azimuth)), 0.0};
    const V3 u = cross(f, r);
    const double c = dot(d, f);
    if (c <= 0.05) return colour;
    // Gnomonic projection: the box is a true rectangle seen from the centre.
    const double x = dot(d, r) / c, y = dot(d, u) / c;
    const double bx = std::tan(radians(box.halfWidth)), by = std::tan(radians(box.halfHeight));
    const double rad = box.corner * std::min(bx, by);
    const double qx = std::abs(x) - (bx - rad), qy = std::abs(y) - (by - rad);
    const double sd = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - rad;
    const double soft = radians(box.softness);
    const double mask = 1.0 - smoothstep(-soft, soft, sd);
    const double centre = 1.0 - 0.1 * std::min(1.0, (x * x) / (bx * bx) + (y * y) / (by * by));
    const double halo = box.glow * std::exp(-std::max(sd, 0.0) / radians(box.glowRadius));
    return mix(colour, box.colour * centre, mask) + box.colour * (halo * (1.0 - mask));
}

QImage renderStudio(const Studio& s, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int py = 0; py < height; ++py) {
        const double elevation = kPi / 2.0 - kPi * (py + 0.5) / height;
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(py));
        for (int px = 0; px < width; ++px) {
            // Same azimuth convention as the program's cube conversion:
            // column u looks along atan2(y, x) = 2 pi (0.25 - u / width).
            const double azimuth = 2.0 * kPi * (0.25 - (px + 0.5) / width);
            const V3 d = direction(azimuth, elevation);
            V3 colour = backdrop(s, azimuth, d.z);
            for (const SoftBox& box : s.boxes) colour = addSoftBox(colour, box, d);
            const double rgb[3] = {colour.x, colour.y, colour.z};
            int out[3];
            for (int ch = 0; ch < 3; ++ch) {
                // Triangular dither of one step hides banding in the gradients.
                const double dither = noise01(px, py, 2 * ch, s.seed) + noise01(px, py, 2 * ch + 1, s.seed) - 1.0;
                out[ch] = std::clamp(static_cast<int>(std::lround(rgb[ch] * 255.0 + dither)), 0, 255);
            }
            line[px] = qRgb(out[0], out[1], out[2]);
        }
    }
    return image;
}

Studio brightStudio() {
    Studio s;
    s.zenith = {0.60, 0.61, 0.63};
    s.horizonSky = {0.47, 0.48, 0.50};
    s.horizonGround = {0.34, 0.33, 0.32};
    s.nadir = {0.20, 0.195, 0.19};
    s.blendBelow = 0.16;
    s.blendAbove = 0.24;
    s.floorPool = 0.07;
    s.wallAzimuth = 150.0;
    s.wallVariation = 0.08;
    s.boxes = {
        // large overhead box
        {90.0, 66.0, 24.0, 14.0, 0.35, 2.5, 0.20, 10.0, {1.0, 1.0, 1.0}},
        // tall warm key light
        {150.0, 22.0, 10.0, 20.0, 0.25, 2.0, 0.18, 9.0, {1.0, 0.95, 0.87}},
        // cooler fill on the other side
        {25.0, 16.0, 16.0, 10.0, 0.30, 3.0, 0.12, 9.0, {0.82, 0.88, 0.98}},
        // narrow rim strip behind
        {-100.0, 28.0, 3.5, 22.0, 0.5, 1.2, 0.15, 6.0, {1.0, 1.0, 1.0}},
    };
    s.seed = 0x7E551A01U;
    return s;
}

Studio darkStudio() {
    Studio s;
    s.zenith = {0.115, 0.12, 0.14};
    s.horizonSky = {0.075, 0.08, 0.095};
    s.horizonGround = {0.055, 0.055, 0.06};
    s.nadir = {0.03, 0.03, 0.035};
    s.blendBelow = 0.12;
    s.blendAbove = 0.20;
    s.floorPool = 0.02;
    s.wallAzimuth = 30.0;
    s.wallVariation = 0.12;
    s.boxes = {
        // long horizontal strip above the front
        {120.0, 36.0, 26.0, 3.0, 0.6, 1.2, 0.12, 6.0, {0.92, 0.95, 1.0}},
        // small warm key low on the side
        {30.0, 14.0, 7.0, 9.0, 0.3, 1.5, 0.14, 7.0, {0.95, 0.78, 0.58}},
        // faint overhead panel
        {-60.0, 74.0, 14.0, 10.0, 0.35, 3.0, 0.06, 10.0, {0.40, 0.42, 0.48}},
        // thin cool rim strip behind
        {-120.0, 22.0, 2.5, 18.0, 0.5, 1.0, 0.12, 5.0, {0.62, 0.72, 0.95}},
    };
    s.seed = 0xDA5C0DE5U;
    return s;
}

bool writeEnvironments(const QString& outDir) {
    const int width = 1024, height = 512;
    const QString dir = outDir + "/Environments";
    if (!QDir().mkpath(dir)) return false;
    return saveImage(renderStudio(brightStudio(), width, height), dir + "/env_default.jpg", "jpg", 92) &&
           saveImage(renderStudio(darkStudio(), width, height), dir + "/env_dark.jpg", "jpg", 92);
}

// ---------------------------------------------------------------------------
// Bitmap fonts
//
// A grid of 32 x 3 cells for the codes 32..127: code c sits in column
// (c - 32) mod 32 and row (c - 32) div 32, row 0 at the top of the image. Ink
// is white and background black: the letter shader treats a texel with red 0
// as background and anything else as ink, so the glyphs are rendered without
// antialiasing (hinted) and stored as pure 0 / 255 grey. Space and DEL stay
// empty.

struct FontSpec {
    const char* name;
    int pixelSize;
    int cellWidth, cellHeight;
};

// Ink pixels of one glyph drawn with its pen at (originX, originY) of a black
// scratch image; the scratch is large enough for any ASCII glyph.
QImage drawGlyph(const QFont& font, int code, int size, int originX, int originY) {
    QImage scratch(size, size, QImage::Format_RGB32);
    scratch.fill(Qt::black);
    QPainter painter(&scratch);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(originX, originY, QString(QChar(code)));
    return scratch;
}

bool isInk(const QImage& image, int x, int y) {
    return qRed(reinterpret_cast<const QRgb*>(image.constScanLine(y))[x]) >= 128;
}

// Bounding box of the ink of all printable glyphs, relative to the pen.
QRect inkBounds(const QFont& font, int pixelSize) {
    const int size = 4 * pixelSize, origin = 2 * pixelSize;
    QRect bounds;
    for (int code = 33; code < 127; ++code) {
        const QImage glyph = drawGlyph(font, code, size, origin, origin);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                if (isInk(glyph, x, y)) bounds |= QRect(x - origin, y - origin, 1, 1);
    }
    return bounds;
}

// Renders one glyph with its pen at (left, baseline) of its cell and copies
// the cell into the grid. Fails when the glyph leaves no ink or spills out of
// its cell.
bool renderGlyph(QImage& grid, const QFont& font, const FontSpec& cells, int code, int left, int baseline) {
    const int cw = cells.cellWidth, ch = cells.cellHeight;
    const int size = 3 * std::max(cw, ch);
    const QImage glyph = drawGlyph(font, code, size, cw + left, ch + baseline);
    int inside = 0, outside = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (isInk(glyph, x, y)) (x >= cw && x < 2 * cw && y >= ch && y < 2 * ch ? inside : outside) += 1;
    if (inside == 0 || outside != 0) {
        std::fprintf(stderr, "%s: glyph '%c' has %d ink pixels inside and %d outside its cell\n", cells.name,
                     static_cast<char>(code), inside, outside);
        return false;
    }
    const int gx = ((code - 32) % 32) * cw, gy = ((code - 32) / 32) * ch;
    for (int y = 0; y < ch; ++y) {
        uchar* dst = grid.scanLine(gy + y) + gx;
        for (int x = 0; x < cw; ++x) dst[x] = isInk(glyph, cw + x, ch + y) ? 255 : 0;
    }
    return true;
}

// Renders the grid. The glyphs share one pen position per cell, chosen so
// that the ink box of the whole character set sits centred in the cell.
bool renderFont(const QString& family, const FontSpec& cells, const QString& path) {
    QFont font(family);
    font.setPixelSize(cells.pixelSize);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoFontMerging));
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setKerning(false);
    const QRect ink = inkBounds(font, cells.pixelSize);
    if (ink.width() > cells.cellWidth || ink.height() > cells.cellHeight) {
        std::fprintf(stderr, "%s: ink box %dx%d exceeds the cell %dx%d\n", cells.name, ink.width(), ink.height(),
                     cells.cellWidth, cells.cellHeight);
        return false;
    }
    const int left = (cells.cellWidth - ink.width()) / 2 - ink.left();
    const int baseline = (cells.cellHeight - ink.height()) / 2 - ink.top();

    QImage grid(32 * cells.cellWidth, 3 * cells.cellHeight, QImage::Format_Grayscale8);
    grid.fill(0);
    for (int code = 33; code < 127; ++code)
        if (!renderGlyph(grid, font, cells, code, left, baseline)) return false;
    return saveImage(grid, path, "png", 0);
}

// The family of a font file, empty when it cannot be loaded.
QString loadFont(const QString& fontFile) {
    const int id = QFontDatabase::addApplicationFont(fontFile);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (id < 0 || families.isEmpty()) {
        std::fprintf(stderr, "cannot load the font %s\n", qPrintable(fontFile));
        return QString();
    }
    return families.first();
}

bool writeFonts(const QString& outDir, const QString& family) {
    const QString dir = outDir + "/Fonts";
    if (!QDir().mkpath(dir)) return false;
    const FontSpec small = {"font_small", 12, 8, 16};
    const FontSpec large = {"font_large", 19, 12, 24};
    return renderFont(family, small, dir + "/font_small.png") && renderFont(family, large, dir + "/font_large.png");
}

// ---------------------------------------------------------------------------
// Icons
//
// Pictograms of 24 x 24 pixels on a transparent background for the dark
// menus and toolbars: light grey strokes, accents in the menus' highlight
// colour, solids shaded in greys. Each picture is a short drawing script on a
// 24-unit square, its commands separated by spaces:
//   c  a  d  #RRGGBB        pen colour: light, accent, dim, or any colour
//   w N                     pen width (1.5 at the start)
//   F  S                    fill the shapes that follow / stroke them only
//   M x y  L x y [x y ...]  a polyline, Z closes it
//   O cx cy r               circle         E cx cy rx ry   ellipse
//   R x y w h               rectangle      Q x y w h r     rounded rectangle
//   A cx cy r start span    arc, degrees counter-clockwise
//   H x0 y0 x1 y1           arrow with its head at (x1, y1)
//   T cx cy size TEXT       text centred on (cx, cy), no spaces in TEXT

struct IconSpec {
    const char* path;  // below the resources folder
    const char* script;
};

// The isometric outline of a cube and the tree of the hierarchy pictures.
#define TL_CUBE "M 12 3 L 20 7.5 20 16.5 12 21 4 16.5 4 7.5 Z M 4 7.5 L 12 12 20 7.5 M 12 12 L 12 21 "
#define TL_TREE_LINKS "M 12 8 L 12 12 M 6 12 L 18 12 M 6 12 L 6 15 M 18 12 L 18 15 "
#define TL_FLOPPY "M 4 4 L 17 4 20 7 20 20 4 20 Z R 8 4 7 5 "

const IconSpec kIcons[] = {
    {"Icons/logo.ico", "F a M 12 2 L 22 20 2 20 Z S #333333 M 7 11 L 17 11 12 20 Z"},
    {"Icons/empty.png", ""},
    {"Icons/menu_indicator.png", "F c M 22 4 L 22 22 4 22 Z"},
    {"Icons/simpleMode.png", "R 4 4 16 16 M 4 9 L 20 9"},
    {"Icons/fullMode.png", "a R 4 4 16 16 M 4 9 L 20 9 M 9 9 L 9 20"},
    {"Icons/ico_new.png", "M 6 3 L 14 3 19 8 19 21 6 21 Z M 14 3 L 14 8 19 8 a M 12.5 11 L 12.5 18 M 9 14.5 L 16 14.5"},
    {"Icons/ico_open.png", "M 3 19 L 3 5 9 5 11 7 19 7 19 11 a M 3 19 L 6 11 22 11 19 19 Z"},
    {"Icons/ico_save.png", TL_FLOPPY "a R 7 13 10 7"},
    {"Icons/ico_quickSave.png", TL_FLOPPY "a F M 14 11 L 10 17 13 17 11 22 17 15 14 15 16 11 Z"},
    {"Icons/ico_material.png", "F d O 12 12 8 #aaaaaa O 10.5 10.5 5 c O 9 9 2.5 a O 8.5 8.5 1"},
    {"Icons/ico_color.png", "F #d04848 O 8 9 4 #48b048 O 16 9 4 #4878d8 O 12 16 4"},
    {"Icons/ico_link.png", "Q 2 9 12 6 3 a Q 10 9 12 6 3"},
    {"Icons/ico_unlink.png",
     "Q 1 9 9 6 3 Q 14 9 9 6 3 a M 12 4 L 12 7 M 12 17 L 12 20 M 8 5 L 9.5 7.5 M 16 5 L 14.5 7.5"},
    {"Icons/ico_linked.png", "a O 6 12 3.5 O 18 12 3.5 M 9.5 12 L 14.5 12"},
    {"Icons/ico_unlinked.png", "O 6 12 3.5 O 18 12 3.5 M 9.5 12 L 10.5 12 M 13.5 12 L 14.5 12"},
    {"Icons/ico_dynamics.png", "M 2 21 L 22 21 a F O 15 11 4.5 S c M 3 9 L 8 9 M 2 13 L 8 13 M 4 17 L 9 17"},
    {"Icons/ico_addOnSingle.png", "R 3 11 10 10 a M 18 2 L 18 10 M 14 6 L 22 6"},
    {"Icons/ico_addOnLinked.png", "R 2 13 7 7 R 13 13 7 7 M 9 16.5 L 13 16.5 a M 18 2 L 18 10 M 14 6 L 22 6"},
    {"Icons/ico_addToScene.png", "M 2 20 L 22 20 R 3 12 5 5 R 10 12 5 5 a R 17 12 5 5"},
    {"Icons/ico_addToParent.png", TL_TREE_LINKS "R 3 15 6 5 R 15 15 6 5 a R 9 3 6 5"},
    {"Icons/ico_addToChild.png", TL_TREE_LINKS "R 9 3 6 5 R 3 15 6 5 a R 15 15 6 5"},
    {"Icons/ico_matchHierarchy.png", TL_TREE_LINKS "R 9 3 6 5 R 3 15 6 5 R 15 15 6 5"},
    {"Icons/ico_relativeToChild.png", "R 9 3 6 5 a " TL_TREE_LINKS "R 3 15 6 5 R 15 15 6 5"},
    {"Icons/ico_insert.png", "R 4 12 16 9 a H 12 2 12 17"},
    {"Icons/ico_place.png", "M 3 20 L 21 20 a F O 12 8 4 S M 12 12 L 12 19"},
    {"Icons/ico_useTool.png",
     "w 2.5 M 4 20 L 14 10 w 1.5 a M 18 3 L 18 8 M 15.5 5.5 L 20.5 5.5 M 20 12 L 20 15 "
     "M 18.5 13.5 L 21.5 13.5 M 11 4 L 11 7 M 9.5 5.5 L 12.5 5.5"},
    {"Icons/ico_prevTool.png", "w 2 M 15 5 L 8 12 15 19"},
    {"Icons/ico_nextTool.png", "w 2 M 9 5 L 16 12 9 19"},
    {"Icons/ico_profile.png", "M 4 20 L 4 12 7 7 17 7 20 12 20 20 a M 2 20 L 22 20"},
    {"Icons/ico_revoluton.png", "E 12 5 6 2 E 12 19 6 2 M 6 5 L 8.5 12 6 19 M 18 5 L 15.5 12 18 19 a M 12 1 L 12 23"},
    {"Icons/ico_axis.png", "M 4 20 L 9 13 15 11 20 4 a F O 4 20 1.5 O 9 13 1.5 O 15 11 1.5 O 20 4 1.5"},
    {"Icons/ico_section.png", "a M 12 4 L 19 8 19 16 12 20 5 16 5 8 Z c F O 12 12 1.5"},
    {"Icons/ico_openContour.png", "M 5 19 L 4 7 13 4 20 10 17 19 a F O 5 19 1.5 O 17 19 1.5"},
    {"Icons/ico_closedContour.png", "a M 5 19 L 4 7 13 4 20 10 17 19 Z"},
    {"Icons/ico_moveObject.png", "H 12 12 12 3 H 12 12 12 21 H 12 12 3 12 H 12 12 21 12 a F O 12 12 2"},
    {"Icons/ico_rotate.png", "A 12 12 7 100 260 a H 19 16 19 11"},
    {"Icons/ico_scale.png", "R 3 13 8 8 d R 3 3 18 18 a H 9 15 19 5"},
    {"Icons/ico_scaleDirection.png", "R 8 7 8 10 a H 12 12 22 12 H 12 12 2 12"},
    {"Icons/ico_scaleRotate.png", "A 12 12 8 100 260 R 8 8 8 8 a H 10 14 17 7"},
    {"Icons/ico_mirrorObject.png", "d M 12 2 L 12 22 c M 10 6 L 3 18 10 18 Z a M 14 6 L 21 18 14 18 Z"},
    {"Icons/ico_IK.png", "O 5 19 2 O 11 11 2 M 6.2 17.4 L 9.8 12.6 M 12.6 9.8 L 17.4 6.2 a O 19 5 2"},
    {"Icons/ico_align.png", "a M 4 2 L 4 22 c R 6 4 14 4 R 6 10 8 4 R 6 16 11 4"},
    {"Icons/ico_matchPivot.png", "O 7 17 3 M 7 12 L 7 22 M 2 17 L 12 17 a O 17 7 3 M 17 2 L 17 12 M 12 7 L 22 7"},
    {"Icons/ico_pivot.png", "a O 12 12 4 M 12 3 L 12 21 M 3 12 L 21 12"},
    {"Icons/ico_object.png", TL_CUBE},
    {"Icons/ico_objectPivot.png", TL_CUBE "a F O 12 12 2.5"},
    {"Icons/ico_constrainRotation.png", "A 12 16 8 30 120 a M 12 16 L 18.9 12 M 12 16 L 5.1 12 c F O 12 16 1.5"},
    {"Icons/ico_multiplicityRotation.png",
     "O 12 12 7 a M 12 2 L 12 6 M 12 18 L 12 22 M 3.3 7 L 6.8 9 M 17.2 15 L 20.7 17 "
     "M 3.3 17 L 6.8 15 M 17.2 9 L 20.7 7"},
    {"Icons/ico_constrainTranslation.png", "a M 3 7 L 3 17 M 21 7 L 21 17 c H 12 12 19 12 H 12 12 5 12"},
    {"Icons/ico_clay.png", "F d O 9 14 6 O 15 13 6 O 12 9 5 a O 10 9 1.5"},
    {"Icons/ico_asClay.png", "F c O 9 15 5 O 15 14 5 O 12 10 4.5"},
    {"Icons/ico_asTriMesh.png", "M 3 20 L 12 4 21 20 Z M 7.5 12 L 16.5 12 12 20 Z"},
    {"Icons/ico_convert.png", "H 4 9 20 9 a H 20 15 4 15"},
    {"Icons/ico_erase.png", "M 4 15 L 12 7 19 14 11 22 Z a F M 4 15 L 8 11 15 18 11 22 Z S c M 13 21 L 21 21"},
    {"Icons/ico_extrude.png", "R 3 16 18 5 a M 7 16 L 7 10 17 10 17 16 H 12 10 12 2"},
    {"Icons/ico_fill.png", "F a R 5 5 14 14 S c R 5 5 14 14"},
    {"Icons/ico_paint.png", "w 3 M 20 4 L 12 12 w 1.5 a F O 8.5 15.5 3.5"},
    {"Icons/ico_sub.png", "R 3 3 12 12 a O 15 15 6 M 12 15 L 18 15"},
    {"Icons/ico_subdiv.png", "R 4 4 16 16 M 12 4 L 12 20 M 4 12 L 20 12 a M 4 4 L 20 20"},
    {"Icons/ico_tear.png", "M 3 6 L 21 6 M 3 18 L 21 18 a M 3 12 L 6 10 9 14 12 10 15 14 18 10 21 12"},
    {"Icons/ico_selection.png",
     "M 3 8 L 3 3 8 3 M 16 3 L 21 3 21 8 M 21 16 L 21 21 16 21 M 8 21 L 3 21 3 16 a F O 12 12 2"},
    {"Icons/ico_unique.png", "R 4 4 16 16 a T 12 12 14 1"},
    {"Icons/ico_groups.png", "R 2 2 20 20 a R 6 6 5 5 R 13 13 5 5"},
    {"Icons/ico_ungrouped.png", "R 6 6 5 5 R 13 13 5 5"},
    {"IconsCreate/ico_tetrahedron.png", "F c M 12 3 L 3 18 13 21 Z d M 12 3 L 13 21 21 17 Z"},
    {"IconsCreate/ico_cube.png",
     "F c M 12 3 L 20 7.5 12 12 4 7.5 Z d M 4 7.5 L 12 12 12 21 4 16.5 Z "
     "#aaaaaa M 12 12 L 20 7.5 20 16.5 12 21 Z"},
    {"IconsCreate/ico_octahedron.png",
     "F c M 12 2 L 3 12 11 14 Z #aaaaaa M 12 2 L 11 14 21 12 Z "
     "d M 3 12 L 11 14 12 22 Z #666666 M 11 14 L 21 12 12 22 Z"},
    {"IconsCreate/ico_dodecahedron.png",
     "F d M 12 2.5 L 17.6 4.3 21 9.1 21 14.9 17.6 19.7 12 21.5 6.4 19.7 3 14.9 3 9.1 "
     "6.4 4.3 Z c M 12 6 L 17.7 10.2 15.5 16.9 8.5 16.9 6.3 10.2 Z S M 12 6 L 12 2.5 "
     "M 17.7 10.2 L 21 9.1 M 15.5 16.9 L 17.6 19.7 M 8.5 16.9 L 6.4 19.7 M 6.3 10.2 L 3 9.1"},
    {"IconsCreate/ico_icosahedron.png",
     "F d M 12 2.5 L 20.2 7.3 20.2 16.8 12 21.5 3.8 16.8 3.8 7.3 Z "
     "c M 12 8 L 16.5 15.5 7.5 15.5 Z S M 12 8 L 12 2.5 M 12 8 L 20.2 7.3 M 12 8 L 3.8 7.3 "
     "M 16.5 15.5 L 20.2 7.3 M 16.5 15.5 L 20.2 16.8 M 16.5 15.5 L 12 21.5 "
     "M 7.5 15.5 L 3.8 7.3 M 7.5 15.5 L 3.8 16.8 M 7.5 15.5 L 12 21.5"},
    {"IconsCreate/ico_sphere.png", "F d O 12 12 9 #aaaaaa O 10.5 10.5 6 c O 9 9 3"},
    {"IconsCreate/ico_cylinder.png", "F d M 4 6 L 4 18 20 18 20 6 Z E 12 18 8 3 c E 12 6 8 3"},
    {"IconsCreate/ico_capsule.png", "F d Q 6 2 12 20 6 c Q 8 5 4 12 2"},
    {"IconsCreate/ico_tube.png", "F d M 5 8 L 19 8 19 16 5 16 Z E 19 12 2.5 4 c E 5 12 2.5 4 #333333 E 5 12 1.2 2"},
    {"IconsCreate/ico_array.png",
     "F c R 3 3 5 5 R 9.5 3 5 5 R 16 3 5 5 R 3 9.5 5 5 R 16 9.5 5 5 R 3 16 5 5 R 9.5 16 5 5 "
     "R 16 16 5 5 a R 9.5 9.5 5 5"},
    {"IconsCreate/ico_chain.png", "Q 1 9.5 9 5 2.5 a Q 7.5 10.5 9 3 1.5 c Q 14 9.5 9 5 2.5"},
    {"IconsCreate/ico_guide.png", "M 4.5 19.5 L 19.5 4.5 a F R 2 17 5 5 R 17 2 5 5"},
    {"IconsCreate/ico_hydraulics.png", "F d M 3 18 L 7 22 14 15 10 11 Z S w 2 c M 12 13 L 20 5 a F O 20 5 2"},
    {"IconsCreate/ico_muscle.png",
     "F d E 12 12 7 4.5 S c M 2 12 L 5 12 M 19 12 L 22 12 M 8 10.5 L 16 10.5 M 8 13.5 L 16 13.5"},
    {"IconsCreate/ico_cable.png", "M 4 8 L 6 13 9 16 12 17 15 16 18 13 20 8 a F R 2 4 4 4 R 18 4 4 4"},
    {"IconsCreate/ico_lightning.png", "F a M 14 2 L 6 13 11 13 9 22 18 10 13 10 16 2 Z"},
    {"IconsCreate/ico_dummy.png", "R 7 7 10 10 a F R 5 5 4 4 R 15 15 4 4 R 15 5 4 4 R 5 15 4 4"},
};

#undef TL_CUBE
#undef TL_TREE_LINKS
#undef TL_FLOPPY

// Runs one drawing script; false, with a message, on a malformed script.
class IconPainter {
public:
    IconPainter(QPainter& painter, const QString& fontFamily) : painter_(painter), fontFamily_(fontFamily) {
        painter_.setRenderHint(QPainter::Antialiasing);
        painter_.setRenderHint(QPainter::TextAntialiasing);
        setPen(QColor(0xcc, 0xcc, 0xcc));
    }

    bool run(const QString& script) {
        tokens_ = script.split(' ', Qt::SkipEmptyParts);
        next_ = 0;
        while (next_ < tokens_.size()) {
            const QString command = tokens_.at(next_++);
            if (!step(command)) {
                std::fprintf(stderr, "bad icon command '%s' before token %d\n", qPrintable(command), next_);
                return false;
            }
        }
        flush();
        return true;
    }

private:
    QPainter& painter_;
    QString fontFamily_;
    QStringList tokens_;
    int next_ = 0;
    bool fill_ = false;
    QPainterPath path_;

    bool number(double& value) {
        if (next_ >= tokens_.size()) return false;
        bool ok = false;
        value = tokens_.at(next_).toDouble(&ok);
        if (ok) ++next_;
        return ok;
    }

    bool numbers(double* values, int count) {
        for (int i = 0; i < count; ++i)
            if (!number(values[i])) return false;
        return true;
    }

    void setPen(const QColor& colour) {
        flush();
        QPen pen = painter_.pen();
        pen.setColor(colour);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter_.setPen(pen);
    }

    // Draws the shapes gathered so far with the current pen and fill.
    void flush() {
        if (path_.isEmpty()) return;
        painter_.setBrush(fill_ ? QBrush(painter_.pen().color()) : QBrush(Qt::NoBrush));
        painter_.drawPath(path_);
        path_ = QPainterPath();
    }

    bool step(const QString& command) {
        if (command.size() == 1 && QString("MLZOERQAHT").contains(command)) return shape(command.at(0).toLatin1());
        if (command == "F" || command == "S") {
            flush();
            fill_ = command == "F";
            return true;
        }
        double width = 0.0;
        if (command == "w") {
            if (!number(width)) return false;
            flush();
            QPen pen = painter_.pen();
            pen.setWidthF(width);
            painter_.setPen(pen);
            return true;
        }
        const QColor colour = command == "c"   ? QColor(0xcc, 0xcc, 0xcc)
                              : command == "a" ? QColor(0xef, 0xba, 0x44)
                              : command == "d" ? QColor(0x88, 0x88, 0x88)
                                               : QColor(command);
        if (!colour.isValid() || (command.size() > 1 && !command.startsWith('#'))) return false;
        setPen(colour);
        return true;
    }

    // Adds one shape to the path; a filled shape is drawn at once, so that
    // overlapping shapes never cancel out.
    bool shape(char command) {
        const int counts[] = {2, 2, 0, 3, 4, 4, 5, 5, 4, 3};  // arguments of "MLZOERQAHT"
        double v[5];
        if (!numbers(v, counts[std::strchr("MLZOERQAHT", command) - "MLZOERQAHT"])) return false;
        switch (command) {
            case 'M':
                path_.moveTo(v[0], v[1]);
                return true;
            case 'L':
                do path_.lineTo(v[0], v[1]);
                while (numbers(v, 2));
                return true;
            case 'Z':
                path_.closeSubpath();
                break;
            case 'O':
                path_.addEllipse(QPointF(v[0], v[1]), v[2], v[2]);
                break;
            case 'E':
                path_.addEllipse(QPointF(v[0], v[1]), v[2], v[3]);
                break;
            case 'R':
                path_.addRect(v[0], v[1], v[2], v[3]);
                break;
            case 'Q':
                path_.addRoundedRect(v[0], v[1], v[2], v[3], v[4], v[4]);
                break;
            case 'A':
                path_.arcMoveTo(v[0] - v[2], v[1] - v[2], 2 * v[2], 2 * v[2], v[3]);
                path_.arcTo(v[0] - v[2], v[1] - v[2], 2 * v[2], 2 * v[2], v[3], v[4]);
                return true;
            case 'H':
                arrow(QPointF(v[0], v[1]), QPointF(v[2], v[3]));
                return true;
            case 'T':
                if (next_ >= tokens_.size()) return false;
                text(QPointF(v[0], v[1]), v[2], tokens_.at(next_++));
                return true;
        }
        if (fill_) flush();
        return true;
    }

    void arrow(QPointF from, QPointF to) {
        const QPointF d = to - from;
        const double length = std::hypot(d.x(), d.y());
        if (length <= 0.0) return;
        const QPointF u = d / length, n(-u.y(), u.x());
        path_.moveTo(from);
        path_.lineTo(to);
        path_.moveTo(to - 4.0 * u + 3.0 * n);
        path_.lineTo(to);
        path_.lineTo(to - 4.0 * u - 3.0 * n);
    }

    void text(QPointF centre, double size, const QString& letters) {
        flush();
        QFont font(fontFamily_);
        font.setPixelSize(static_cast<int>(size));
        font.setBold(true);
        painter_.setFont(font);
        painter_.drawText(QRectF(centre.x() - 12.0, centre.y() - 12.0, 24.0, 24.0), Qt::AlignCenter, letters);
    }
};

// The pictures are 24 x 24 pixels. The window icon is 32 x 32: a fuller
// picture for title bars, and the ico writer leaves the padding of mask rows
// shorter than 32 pixels undefined, which would make the file vary.
bool writeIcons(const QString& outDir, const QString& fontFamily) {
    for (const char* folder : {"/Icons", "/IconsCreate"})
        if (!QDir().mkpath(outDir + folder)) return false;
    for (const IconSpec& icon : kIcons) {
        const bool ico = QByteArray(icon.path).endsWith(".ico");
        const int size = ico ? 32 : 24;
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.scale(size / 24.0, size / 24.0);
        if (!IconPainter(painter, fontFamily).run(QString::fromLatin1(icon.script))) {
            std::fprintf(stderr, "in the icon %s\n", icon.path);
            return false;
        }
        painter.end();
        const QString path = outDir + "/" + icon.path;
        if (!saveImage(image, path, ico ? "ico" : "png", 0)) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Licence text: a short notice followed by the full GPL 3.

bool writeLicence(const QString& outDir, const QString& gplFile) {
    QFile gpl(gplFile);
    if (!gpl.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(gplFile));
        return false;
    }
    const QByteArray text = gpl.readAll();
    if (!text.contains("GNU GENERAL PUBLIC LICENSE") || !text.contains("Version 3")) {
        std::fprintf(stderr, "%s is not the GPL version 3\n", qPrintable(gplFile));
        return false;
    }
    const QByteArray notice =
        "Tessilor \xE2\x80\x94 Copyright (C) 2026 the Tessilor developers \xE2\x80\x94 "
        "licensed under GPL-3.0-or-later\n"
        "\n"
        "This program is free software: you can redistribute it and/or modify it\n"
        "under the terms of the GNU General Public License as published by the Free\n"
        "Software Foundation, either version 3 of the License, or (at your option)\n"
        "any later version. It is distributed in the hope that it will be useful,\n"
        "but WITHOUT ANY WARRANTY; without even the implied warranty of\n"
        "MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE. The full text of the\n"
        "licence follows.\n"
        "\n"
        "The bitmap fonts of the view are rendered from DejaVu Sans Mono\n"
        "(Bitstream Vera / DejaVu fonts licence).\n"
        "\n";
    const QString dir = outDir + "/License";
    if (!QDir().mkpath(dir)) return false;
    return writeIfChanged(dir + "/License.txt", notice + text);
}

QString argument(const QStringList& args, const QString& name, const QString& fallback) {
    const int i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    // Fonts need a GUI application, but no display: render offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString out = argument(args, "--out", QString());
    if (out.isEmpty()) {
        std::fprintf(stderr, "usage: make_assets --out DIR [--font FILE.ttf] [--gpl FILE]\n");
        return 2;
    }
    const QString font = argument(args, "--font", "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf");
    const QString gpl = argument(args, "--gpl", "/usr/share/common-licenses/GPL-3");
    const QString family = loadFont(font);
    const bool ok = !family.isEmpty() && writeFonts(out, family) && writeIcons(out, family) && writeEnvironments(out) &&
                    writeLicence(out, gpl);
    return ok ? 0 : 1;
}
