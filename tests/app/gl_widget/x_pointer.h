#pragma once
// Pointer and key input through the X test extension, on a display
// connection of its own: the X server takes it as it takes a real device's,
// and the program receives it as it would a hand's, through Qt's X11
// platform (and polls the keys as the server holds them).

#include <QPoint>
#include <future>
#include <vector>

namespace tltest {

class XPointer {
public:
    // Opens the display named by DISPLAY; ok() says whether it worked and the
    // server has the test extension.
    XPointer();
    ~XPointer();
    XPointer(const XPointer&) = delete;
    XPointer& operator=(const XPointer&) = delete;

    bool ok() const { return display_ != nullptr; }
    // The pointer to a screen position.
    void moveTo(QPoint at);
    // The left or the right button down or up where the pointer is.
    void left(bool down) { button(1, down); }
    void right(bool down) { button(3, down); }
    // The key of an X key symbol (XK_Control_L, XK_Return, ...) down or up.
    void key(unsigned long keysym, bool down);
    // The window that has the keyboard, once the server has taken every
    // request sent so far (from this connection).
    unsigned long focus();
    // Whether the server holds a pointer button down now.
    bool buttonHeld();
    // A stroke on a thread of its own: the left button goes down at the
    // first point, the pointer moves through the others `intervalMs` apart
    // and the button goes up at the last. The caller waits for the stroke while
    // it keeps the program's event loop running, until the future is ready.
    std::future<void> stroke(std::vector<QPoint> path, int intervalMs);

private:
    void button(unsigned number, bool down);

    void* display_ = nullptr;
};

}  // namespace tltest
