// Generates the compiled-in assets of Tessilor into a resources folder:
//   Fonts/font_small.png, Fonts/font_large.png     glyph grids of DejaVu Sans Mono
//   Environments/env_default.jpg, env_dark.jpg     procedural studio panoramas
//   License/License.txt                            the program's licence text
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
#include <QRect>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
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

bool writeFonts(const QString& outDir, const QString& fontFile) {
    const int id = QFontDatabase::addApplicationFont(fontFile);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (id < 0 || families.isEmpty()) {
        std::fprintf(stderr, "cannot load the font %s\n", qPrintable(fontFile));
        return false;
    }
    const QString dir = outDir + "/Fonts";
    if (!QDir().mkpath(dir)) return false;
    const FontSpec small = {"font_small", 12, 8, 16};
    const FontSpec large = {"font_large", 19, 12, 24};
    return renderFont(families.first(), small, dir + "/font_small.png") &&
           renderFont(families.first(), large, dir + "/font_large.png");
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
    const bool ok = writeFonts(out, font) && writeEnvironments(out) && writeLicence(out, gpl);
    return ok ? 0 : 1;
}
