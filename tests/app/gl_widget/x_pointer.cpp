#include "tests/app/gl_widget/x_pointer.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <thread>

namespace tltest {

namespace {

Display* as(void* d) { return static_cast<Display*>(d); }

}  // namespace

XPointer::XPointer() {
    Display* d = XOpenDisplay(nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    if (d && !XTestQueryExtension(d, &event, &error, &major, &minor)) {
        XCloseDisplay(d);
        d = nullptr;
    }
    display_ = d;
}

XPointer::~XPointer() {
    if (display_) XCloseDisplay(as(display_));
}

void XPointer::moveTo(QPoint at) {
    XTestFakeMotionEvent(as(display_), -1, at.x(), at.y(), CurrentTime);
    XFlush(as(display_));
}

void XPointer::button(unsigned number, bool down) {
    XTestFakeButtonEvent(as(display_), number, down ? True : False, CurrentTime);
    XFlush(as(display_));
}

void XPointer::key(unsigned long keysym, bool down) {
    XTestFakeKeyEvent(as(display_), XKeysymToKeycode(as(display_), keysym), down ? True : False, CurrentTime);
    XFlush(as(display_));
}

unsigned long XPointer::focus() {
    Window window = None;
    int revert = 0;
    XGetInputFocus(as(display_), &window, &revert);
    return window;
}

bool XPointer::buttonHeld() {
    Window root = None, child = None;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(as(display_), DefaultRootWindow(as(display_)), &root, &child, &x, &y, &wx, &wy, &mask);
    return (mask & (Button1Mask | Button3Mask)) != 0;
}

std::future<void> XPointer::stroke(std::vector<QPoint> path, int intervalMs) {
    return std::async(std::launch::async, [this, path = std::move(path), intervalMs] {
        const auto start = std::chrono::steady_clock::now();
        moveTo(path.front());
        left(true);
        for (std::size_t k = 1; k < path.size(); ++k) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(intervalMs * int(k)));
            moveTo(path[k]);
        }
        left(false);
        XSync(as(display_), False);
    });
}

}  // namespace tltest
