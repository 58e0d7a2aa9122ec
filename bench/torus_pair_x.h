#pragma once
// What the real-input harnesses (stroke_end_x, stroke_check_x) share: the
// torus pair they stroke, the wait on the event loop, where to press on the
// pair, and the circle walked through the press point.

#include <QPoint>
#include <functional>
#include <string>
#include <vector>

class GLWidget;
namespace qel {
class GLView;
}
namespace tltest {
class XPointer;
}

namespace toruspair {

// The torus placed twice, mirrored through the plane x = 0, one element
// for both: the scene Insert makes with X Mirror on. `light`: a torus of
// 2,304 triangles instead of the 1,001,112 of the heavy pair.
bool makeScene(const std::string& path, bool light);

// The pair's scene file at `path`, made when missing (saying so); false,
// with `program`'s complaint on the standard error, when it cannot be.
bool ensureScene(const std::string& path, bool light, const char* program);

// Runs the event loop until the condition holds, for at most `seconds`;
// whether it holds.
bool waitFor(const std::function<bool()>& condition, double seconds);

// The middle of the outermost run of the torus pair's pixels on the view's
// middle row, read from the last frame's ID buffer (widget pixels; the view
// draws at the widget's size).
bool pressPoint(GLWidget& widget, qel::GLView& view, QPoint& at);

// After the scene is loaded and the view set up (redraw raised): waits for
// the view to settle, then finds the press point; false, with `program`'s
// complaint on the standard error, when either fails.
bool settleAndFindPress(GLWidget& widget, qel::GLView& view, QPoint& press, const char* program);

// Moves the pointer to `press` (widget pixels) and waits until the view has
// it there with the torus picked; false, with `program`'s complaint, when it
// does not.
bool hoverAt(tltest::XPointer& x, GLWidget& widget, qel::GLView& view, QPoint press, const char* program);

// A circle through `from`, to its left, walked in steps of about two pixels
// with no two motions in a row on one pixel.
std::vector<QPoint> circlePath(QPoint from, int motions);

}  // namespace toruspair
