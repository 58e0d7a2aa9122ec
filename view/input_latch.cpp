#include "view/input_latch.h"

#include <array>

#include "view/mouse.h"

namespace qel {

InputLatch inputLatch;

void InputLatch::push(const Event& e) {
    if (events_.size() >= Capacity) events_.pop_front();
    events_.push_back(e);
}

void InputLatch::key(std::uint8_t code, bool down) {
    if (code == 0) return;
    // The same event passed on from a widget to its parent, or a repeat:
    // only a change counts.
    for (auto it = events_.rbegin(); it != events_.rend(); ++it) {
        if (!it->isKey || it->code != code) continue;
        if (it->down == (down ? 1 : 0)) return;
        break;
    }
    Event e;
    e.isKey = true;
    e.code = code;
    e.down = down ? 1 : 0;
    push(e);
}

void InputLatch::buttons(vec2 position, bool left, bool right) {
    for (auto it = events_.rbegin(); it != events_.rend(); ++it) {
        if (it->isKey) continue;
        if (it->left == (left ? 1 : 0) && it->right == (right ? 1 : 0)) return;
        break;
    }
    Event e;
    e.position = position;
    e.left = left ? 1 : 0;
    e.right = right ? 1 : 0;
    push(e);
}

InputLatch::Frame InputLatch::take(const Keyboard& keys, const MouseState& last) {
    Frame f;
    f.keys.fill(Keyboard::Polled);
    std::array<std::uint8_t, Keyboard::Codes> state{};
    for (std::size_t c = 0; c < state.size(); ++c) state[c] = keys.held(std::uint8_t(c)) ? 1 : 0;
    std::uint8_t left = last.left, right = last.right;
    while (!events_.empty()) {
        const Event& e = events_.front();
        if (e.isKey) {
            if (state[e.code] == e.down) {
                events_.pop_front();
                continue;
            }
            // A second change of this key belongs to the next frame.
            if (f.keys[e.code] != Keyboard::Polled) break;
            state[e.code] = e.down;
            f.keys[e.code] = e.down ? Keyboard::LatchedDown : Keyboard::LatchedUp;
            events_.pop_front();
            continue;
        }
        if (e.left == left && e.right == right) {
            events_.pop_front();
            continue;
        }
        f.buttons = true;
        f.left = left = e.left;
        f.right = right = e.right;
        f.pointer = true;
        f.position = e.position;
        events_.pop_front();
        break;
    }
    // What still waits keeps its key or the buttons as they are now.
    for (const Event& e : events_) {
        if (e.isKey) {
            if (f.keys[e.code] == Keyboard::Polled) f.keys[e.code] = Keyboard::LatchedKeep;
        } else if (!f.buttons && !f.buttonsWait) {
            f.buttonsWait = true;
            f.pointer = true;
            f.position = e.position;
        }
    }
    return f;
}

}  // namespace qel
