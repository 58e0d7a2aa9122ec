#pragma once
// ColorWheel: the colour picker of the material dialog. A hue ring surrounds
// a triangle whose apex P0 is the pure hue and whose base runs from black
// (P1) to white (P2), so that a point in the triangle fixes saturation and
// lightness (HSL). Three small triangles beside it show the current colour,
// the colour the wheel started with (a press restores it) and a grey of the
// current lightness (a press removes the hue). Every change emits the colour
// as 16-bit channels with alpha 65535.
//
// Geometry lives in a frame whose y axis points up: widget pixel (x, y) is
// the point (x, H - y) for the widget height H. The hue runs counter-clockwise
// in that frame from red at angle 0. There is no mouse tracking: moves arrive
// only while a button is held, and the press decides what a drag changes.

#include <QWidget>

#include "app/meta_types.h"
#include "core/vec.h"

class ColorWheel : public QWidget {
    Q_OBJECT

public:
    using wvec4 = qel::wvec4;

    // The wheel on the first three channels of `colour` (the fourth is
    // ignored); that colour is also the initial colour.
    explicit ColorWheel(const wvec4& colour, QWidget* parent = nullptr);

    // Current and initial colour as (hue, saturation, lightness), each 0..1.
    qel::vec3 currentHsl() const { return hsl; }
    qel::vec3 startHsl() const { return initialHsl; }
    // Triangle vertex k (0 pure hue, 1 black, 2 white) in the wheel frame.
    qel::vec2 vertex(int k) const { return triangle[k]; }

signals:
    void changeColor(wvec4 c);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The event position in the wheel frame.
    qel::vec2 framePoint(const QPoint& pixel) const;
    // The widget pixel of a wheel-frame point.
    QPointF pixelOf(qel::vec2 p) const;
    // Hue from the direction of p seen from the centre.
    float hueAt(qel::vec2 p) const;
    // Height of the triangle's upper edge above lightness t.
    float topAt(float t) const;
    // The swatch triangles (a, b, c) of the initial colour and of the grey.
    void initialSwatch(qel::vec2 (&t)[3]) const;
    void greySwatch(qel::vec2 (&t)[3]) const;
    // A press in the triangle (saturation and lightness, starts a drag) or on
    // the initial-colour or grey swatch; false when p misses.
    bool pressTriangle(qel::vec2 p);
    bool pressSwatch(qel::vec2 p);
    // Saturation and lightness from a point brought into the triangle.
    void dragTo(qel::vec2 p);
    void paintRing(QPainter& painter, bool enabled) const;
    void paintTriangle(QPainter& painter, const QColor& hueColor) const;
    void paintMarkers(QPainter& painter) const;
    // Repaints and emits the current colour.
    void changed();

    bool dragHue = false;
    bool dragTriangle = false;
    qel::vec3 hsl;
    qel::vec3 initialHsl;
    qel::vec2 center{0, 0};
    qel::vec2 triangle[3];
    float diameter = 0;
    float innerRadius = 0;
    float outerRadius = 0;
    float markerRadius = 0;
};
