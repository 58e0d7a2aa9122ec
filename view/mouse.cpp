#include "view/mouse.h"

#include "view/input_latch.h"

namespace qel {

MouseState mouseRead;
MouseState mouse;

void recordButtons(vec2 position, unsigned buttons) {
    MouseState& m = mouseRead;
    m.previous = m.position;
    m.position = position;
    m.delta = m.position - m.previous;
    m.leftPrevious = m.left;
    m.left = std::uint8_t(buttons & 1u);
    m.rightPrevious = m.right;
    m.right = std::uint8_t((buttons >> 1) & 1u);
    // An event that leaves the buttons as the last one did (the pointer
    // crossing the view's border with none held) is no change for the frames.
    if (m.left != m.leftPrevious || m.right != m.rightPrevious) inputLatch.buttons(position, m.left != 0, m.right != 0);
}

void recordMotion(vec2 position) {
    MouseState& m = mouseRead;
    m.previous = m.position;
    m.position = position;
    m.delta = m.position - m.previous;
    inputLatch.motion(position);
}

}  // namespace qel
