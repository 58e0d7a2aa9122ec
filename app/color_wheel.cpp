// The colour wheel: HSL state, geometry, painting and mouse handling.
#include "app/color_wheel.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "core/geometry.h"

using qel::vec2;
using qel::vec3;

namespace {

constexpr double Pi = 3.14159265358979323846;

// Limits v to 0..1; a NaN gives 0.
float clamp01(float v) { return !(v > 0.0f) ? 0.0f : (v > 1.0f ? 1.0f : v); }

QColor hslColor(const vec3& c) { return QColor::fromHslF(c.x, c.y, c.z, 1.0); }

qel::dvec2 exact(vec2 p) { return {p.x, p.y}; }

vec2 onCircle(vec2 center, float radius, float angle) {
    return {center.x + radius * std::cos(angle), center.y + radius * std::sin(angle)};
}

}  // namespace

ColorWheel::ColorWheel(const wvec4& colour, QWidget* parent) : QWidget(parent) {
    qel::RegisterMetaTypes();
    const QColor c = QColor::fromRgbF(colour.r / 65535.0, colour.g / 65535.0, colour.b / 65535.0, 1.0);
    // Qt reports the hue of an achromatic colour as -1.
    hsl = {clamp01(float(c.hslHueF())), float(c.hslSaturationF()), float(c.lightnessF())};
    initialHsl = hsl;
}

vec2 ColorWheel::framePoint(const QPoint& pixel) const { return {float(pixel.x()), float(height() - pixel.y())}; }

QPointF ColorWheel::pixelOf(vec2 p) const { return {p.x, height() - p.y}; }

float ColorWheel::hueAt(vec2 p) const {
    float hue = float(std::atan2(p.y - center.y, p.x - center.x) / (2.0 * Pi));
    if (hue < 0.0f) hue += 1.0f;
    return clamp01(hue);
}

float ColorWheel::topAt(float t) const {
    const vec2 &p0 = triangle[0], &p1 = triangle[1], &p2 = triangle[2];
    if (t < 0.5f) return p1.y + (p0.y - p1.y) * 2.0f * t;
    return p2.y + (p0.y - p2.y) * 2.0f * (1.0f - t);
}

void ColorWheel::initialSwatch(vec2 (&t)[3]) const {
    t[0] = triangle[0];
    t[1] = triangle[1];
    t[2] = {triangle[1].x, 2.0f * center.y - triangle[1].y};
}

void ColorWheel::greySwatch(vec2 (&t)[3]) const {
    t[0] = triangle[1];
    t[1] = triangle[2];
    t[2] = {triangle[0].x, 2.0f * triangle[2].y - center.y};
}

void ColorWheel::resizeEvent(QResizeEvent*) {
    const float w = float(width()), h = float(height());
    center = {w / 2.0f, h / 2.0f};
    diameter = std::min(w, h) - 4.0f;
    outerRadius = diameter / 2.0f;
    innerRadius = float(0.8 * outerRadius);
    markerRadius = 6.0f;
    // The triangle inscribed in the circle of radius r: pure hue straight
    // above the centre, black lower left, white lower right.
    const float r = innerRadius - 6.0f;
    const float degrees[3] = {90.0f, 210.0f, 330.0f};
    for (int k = 0; k < 3; ++k) triangle[k] = onCircle(center, r, float(degrees[k] * Pi / 180.0));
}

void ColorWheel::mousePressEvent(QMouseEvent* event) {
    if (!(outerRadius > 0.0f)) return;  // no geometry before the first resize
    const vec2 p = framePoint(event->pos());
    const double d = qel::length(p - center);
    dragHue = dragTriangle = false;
    if (innerRadius < d && d < outerRadius) {
        hsl.x = hueAt(p);
        dragHue = true;
    } else if (!pressTriangle(p) && !pressSwatch(p)) {
        return;  // nothing hit (the current-colour swatch included): no signal
    }
    changed();
}

bool ColorWheel::pressTriangle(vec2 p) {
    const vec2 &p1 = triangle[1], &p2 = triangle[2];
    const float t = (p.x - p1.x) / (p2.x - p1.x);
    if (!(t >= 0.0f && t <= 1.0f)) return false;
    const float yTop = topAt(t);
    if (!(p1.y <= p.y && p.y <= yTop)) return false;
    hsl.y = yTop > p1.y ? (p.y - p1.y) / (yTop - p1.y) : 1.0f;
    hsl.z = t;
    dragTriangle = true;
    return true;
}

bool ColorWheel::pressSwatch(vec2 p) {
    vec2 swatch[3];
    initialSwatch(swatch);
    if (qel::InTriangle(exact(p), exact(swatch[0]), exact(swatch[1]), exact(swatch[2]))) {
        hsl = initialHsl;
        return true;
    }
    greySwatch(swatch);
    if (!qel::InTriangle(exact(p), exact(swatch[0]), exact(swatch[1]), exact(swatch[2]))) return false;
    hsl.x = 0.0f;
    hsl.y = 0.0f;
    return true;
}

void ColorWheel::mouseMoveEvent(QMouseEvent* event) {
    const vec2 p = framePoint(event->pos());
    if (dragHue) {
        hsl.x = hueAt(p);
    } else if (dragTriangle) {
        dragTo(p);
    } else {
        return;
    }
    changed();
}

void ColorWheel::dragTo(vec2 p) {
    const vec2 &p0 = triangle[0], &p1 = triangle[1], &p2 = triangle[2];
    // Bring p into the triangle: first into its height, then between its
    // left and right edges at that height.
    const float yc = p.y < p1.y ? p1.y : std::min(p.y, p0.y);
    const float f = (yc - p1.y) / (p0.y - p1.y);
    const float xl = p1.x + (p0.x - p1.x) * f;
    const float xr = p2.x + (p0.x - p2.x) * f;
    const float xc = p.x < xl ? xl : std::min(p.x, xr);
    hsl.z = clamp01((xc - p1.x) / (p2.x - p1.x));
    const float yTop = topAt(hsl.z);
    hsl.y = yTop > p1.y ? clamp01((yc - p1.y) / (yTop - p1.y)) : 1.0f;
}

void ColorWheel::changed() {
    update();
    const QColor c = QColor::fromHslF(hsl.x, hsl.y, hsl.z, 1.0);
    auto channel = [](qreal v) { return std::uint16_t(std::int32_t(float(v) * 65535.0f)); };
    emit changeColor(wvec4(channel(c.redF()), channel(c.greenF()), channel(c.blueF()), 65535));
}

void ColorWheel::paintEvent(QPaintEvent*) {
    // A disabled wheel (inside an unchecked group box) shows every colour
    // without saturation and no markers.
    const bool enabled = isEnabled();
    vec3 current = hsl, initial = initialHsl;
    if (!enabled) current.y = initial.y = 0.0f;
    const QColor hueColor = QColor::fromHslF(current.x, enabled ? 1.0 : 0.0, 0.5, 1.0);

    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    paintRing(painter, enabled);

    auto fill = [&](vec2 a, vec2 b, vec2 c, const QColor& colour) {
        painter.setBrush(colour);
        const QPointF points[3] = {pixelOf(a), pixelOf(b), pixelOf(c)};
        painter.drawConvexPolygon(points, 3);
    };
    const vec2 &p0 = triangle[0], &p2 = triangle[2];
    fill(p0, p2, {p2.x, 2.0f * center.y - p2.y}, hslColor(current));
    vec2 swatch[3];
    greySwatch(swatch);
    fill(swatch[0], swatch[1], swatch[2], hslColor({0.0f, 0.0f, current.z}));
    initialSwatch(swatch);
    fill(swatch[0], swatch[1], swatch[2], hslColor(initial));

    paintTriangle(painter, hueColor);
    if (enabled) paintMarkers(painter);
}

void ColorWheel::paintRing(QPainter& painter, bool enabled) const {
    QPolygonF ring;
    ring.reserve(258);
    for (int k = 0; k <= 128; ++k) ring << pixelOf(onCircle(center, innerRadius, float(2.0 * Pi * k / 128)));
    for (int k = 128; k >= 0; --k) ring << pixelOf(onCircle(center, outerRadius, float(2.0 * Pi * k / 128)));
    if (enabled) {
        QConicalGradient gradient(pixelOf(center), 0.0);
        const char* stops[7] = {"#ff0000", "#ffff00", "#00ff00", "#00ffff", "#0000ff", "#ff00ff", "#ff0000"};
        for (int k = 0; k < 7; ++k) gradient.setColorAt(k / 6.0, QColor(stops[k]));
        painter.setBrush(gradient);
    } else {
        painter.setBrush(QColor::fromHslF(0.0, 0.0, 0.5, 1.0));
    }
    painter.drawPolygon(ring, Qt::OddEvenFill);
}

void ColorWheel::paintTriangle(QPainter& painter, const QColor& hueColor) const {
    const vec2 &p0 = triangle[0], &p1 = triangle[1], &p2 = triangle[2];
    const QPointF points[3] = {pixelOf(p0), pixelOf(p1), pixelOf(p2)};
    // Lightness from black to white along the base, then the hue fading
    // from the apex towards the base.
    QLinearGradient base(pixelOf(p1), pixelOf(p2));
    base.setColorAt(0.0, Qt::black);
    base.setColorAt(1.0, Qt::white);
    painter.setBrush(base);
    painter.drawConvexPolygon(points, 3);
    QColor clear = hueColor;
    clear.setAlphaF(0.0);
    QLinearGradient hue(pixelOf(p0), pixelOf((p1 + p2) * 0.5f));
    hue.setColorAt(0.0, hueColor);
    hue.setColorAt(1.0, clear);
    painter.setBrush(hue);
    painter.drawConvexPolygon(points, 3);
}

void ColorWheel::paintMarkers(QPainter& painter) const {
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(Qt::NoBrush);
    const float angle = float(2.0 * Pi * hsl.x);
    painter.drawLine(pixelOf(onCircle(center, innerRadius + 1.0f, angle)),
                     pixelOf(onCircle(center, outerRadius - 1.0f, angle)));
    const vec2 &p1 = triangle[1], &p2 = triangle[2];
    const float l = hsl.z, s = hsl.y;
    const vec2 marker{p1.x + l * (p2.x - p1.x), p1.y + s * (topAt(l) - p1.y)};
    painter.drawEllipse(pixelOf(marker), markerRadius, markerRadius);
}
