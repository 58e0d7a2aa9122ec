// The colour wheel: starting state, painting into an image, and the mouse.

#include "app/color_wheel.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <vector>

#include "mouse_util.h"

using qel::vec2;
using qel::wvec4;

namespace {

class WheelTest : public ::testing::Test {
protected:
    static constexpr float Size = 200, Ring = 88;  // ring between radii 78.4 and 98
    const vec2 center{Size / 2, Size / 2};
    ColorWheel wheel{wvec4(65535, 0, 0, 123)};
    std::vector<wvec4> emitted;

    void SetUp() override {
        wheel.resize(int(Size), int(Size));
        QResizeEvent resize(wheel.size(), QSize());
        QCoreApplication::sendEvent(&wheel, &resize);
        QObject::connect(&wheel, &ColorWheel::changeColor, [this](wvec4 c) { emitted.push_back(c); });
    }
    // Mouse events at points of the wheel's y-up frame.
    void press(vec2 p) { tltest::sendMouse(&wheel, QEvent::MouseButtonPress, {p.x, Size - p.y}); }
    void move(vec2 p) { tltest::sendMouse(&wheel, QEvent::MouseMove, {p.x, Size - p.y}); }
    vec2 onRing(float degrees) const {
        const float a = degrees * 3.14159265f / 180;
        return center + vec2(std::cos(a), std::sin(a)) * Ring;
    }
    vec2 centroid(vec2 a, vec2 b, vec2 c) const { return (a + b + c) / 3; }
    vec2 inTriangle() const { return centroid(wheel.vertex(0), wheel.vertex(1), wheel.vertex(2)); }
    vec2 initialSwatch() const {
        return centroid(wheel.vertex(0), wheel.vertex(1), {wheel.vertex(1).x, 2 * center.y - wheel.vertex(1).y});
    }
    // The painted pixel at p (wheel frame), or any black within one pixel.
    static QColor at(const QImage& image, vec2 p) { return image.pixel(int(p.x), int(Size - p.y)); }
    static bool blackNear(const QImage& image, vec2 p) {
        for (int d = 0; d < 9; ++d) {
            if (at(image, p + vec2(d % 3 - 1, d / 3 - 1)) == Qt::black) return true;
        }
        return false;
    }
};

TEST_F(WheelTest, PaintsItsMarkersOnlyWhenEnabled) {
    EXPECT_FLOAT_EQ(wheel.currentHsl().x, 0);
    EXPECT_FLOAT_EQ(wheel.currentHsl().y, 1);
    EXPECT_NEAR(wheel.currentHsl().z, 0.5, 1e-4);  // Qt keeps 16-bit HSL channels
    for (bool enabled : {true, false}) {
        wheel.setEnabled(enabled);
        QImage image(wheel.size(), QImage::Format_RGB32);
        wheel.render(&image);
        // The colour marker around P0 and the hue line at angle 0.
        for (vec2 d : {vec2(6, 0), vec2(-6, 0), vec2(0, 6), vec2(0, -6)}) {
            EXPECT_EQ(blackNear(image, wheel.vertex(0) + d), enabled);
        }
        EXPECT_EQ(blackNear(image, onRing(0)), enabled);
        EXPECT_FALSE(blackNear(image, onRing(90)));
        EXPECT_EQ(at(image, onRing(120)).hslHue(), enabled ? 120 : -1);  // grey has no hue
        EXPECT_EQ(at(image, initialSwatch()).hslHue(), enabled ? 0 : -1);
    }
}

TEST_F(WheelTest, SwatchesRestoreTheStartOrRemoveTheHue) {
    const vec2 p0 = wheel.vertex(0), p1 = wheel.vertex(1), p2 = wheel.vertex(2);
    press({1, 1});
    press(centroid(p0, p2, {p2.x, 2 * center.y - p2.y}));  // the current colour: no change
    move(inTriangle());
    EXPECT_TRUE(emitted.empty());
    press(onRing(90));
    press(inTriangle());
    const float lightness = wheel.currentHsl().z;
    press(centroid(p1, p2, {center.x, 2 * p2.y - center.y}));
    ASSERT_EQ(emitted.size(), 3u);
    const wvec4 grey = emitted.back();
    EXPECT_TRUE(grey.r == grey.g && grey.g == grey.b);
    EXPECT_NEAR(grey.r, lightness * 65535, 2);
    press(initialSwatch());
    EXPECT_EQ(emitted.back(), wvec4(65535, 0, 0, 65535));
    EXPECT_EQ(wheel.currentHsl(), wheel.startHsl());
}

TEST_F(WheelTest, DragsKeepTheirTarget) {
    // Out of the triangle to the right: the marker stays on the edge P0-P2.
    press(inTriangle());
    move({Size - 1, center.y});
    EXPECT_NEAR(wheel.currentHsl().z, 5.0 / 6, 1e-4);
    EXPECT_NEAR(wheel.currentHsl().y, 1, 1e-4);
    // From the ring, the hue follows the pointer anywhere.
    press(onRing(0));
    move(center + vec2(0, 10));
    EXPECT_NEAR(wheel.currentHsl().x, 0.25, 1e-6);
    move(center + vec2(-50, 0));
    EXPECT_NEAR(wheel.currentHsl().x, 0.5, 1e-6);
    EXPECT_EQ(emitted.size(), 5u);
}

}  // namespace
