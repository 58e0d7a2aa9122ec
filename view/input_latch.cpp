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
        if (it->kind != Key || it->code != code) continue;
        if (it->down == (down ? 1 : 0)) return;
        break;
    }
    Event e;
    e.kind = Key;
    e.code = code;
    e.down = down ? 1 : 0;
    push(e);
}

void InputLatch::buttons(vec2 position, bool left, bool right) {
    for (auto it = events_.rbegin(); it != events_.rend(); ++it) {
        if (it->kind != Buttons) continue;
        if (it->left == (left ? 1 : 0) && it->right == (right ? 1 : 0)) return;
        break;
    }
    Event e;
    e.position = position;
    e.left = left ? 1 : 0;
    e.right = right ? 1 : 0;
    push(e);
}

void InputLatch::motion(vec2 position) {
    // A motion to where the last pointer event already put the pointer
    // moves nothing.
    for (auto it = events_.rbegin(); it != events_.rend(); ++it) {
        if (it->kind == Key) continue;
        if (it->position.x == position.x && it->position.y == position.y) return;
        break;
    }
    Event e;
    e.kind = Motion;
    e.position = position;
    push(e);
}

void InputLatch::forgetKeys() {
    for (std::uint8_t& r : recorded_)
        if (r == Keyboard::LatchedDown) r = Keyboard::Polled;
}

bool InputLatch::takeMotion(vec2& position) {
    if (!motionWaits()) return false;
    position = events_.front().position;
    events_.pop_front();
    return true;
}

InputLatch::Frame InputLatch::take(const Keyboard& keys, const MouseState& last) {
    Frame f;
    f.keys.fill(Keyboard::Polled);
    std::array<std::uint8_t, Keyboard::Codes> state{};
    for (std::size_t c = 0; c < state.size(); ++c) state[c] = keys.held(std::uint8_t(c)) ? 1 : 0;
    std::uint8_t left = last.left, right = last.right;
    while (!events_.empty()) {
        const Event& e = events_.front();
        if (e.kind == Key) {
            const std::uint8_t change = e.down ? Keyboard::LatchedDown : Keyboard::LatchedUp;
            if (state[e.code] == e.down) {
                recorded_[e.code] = change;
                events_.pop_front();
                continue;
            }
            // A second change of this key belongs to the next frame.
            if (f.keys[e.code] != Keyboard::Polled) break;
            state[e.code] = e.down;
            f.keys[e.code] = recorded_[e.code] = change;
            events_.pop_front();
            continue;
        }
        if (e.kind == Motion) {
            // The motions after this one follow within the frame.
            f.pointer = true;
            f.position = e.position;
            events_.pop_front();
            break;
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
    // What still waits keeps its key or the buttons as they are now; the
    // pointer stays where the first waiting pointer event puts it, so that
    // it never runs ahead of the motions still to come.
    for (const Event& e : events_) {
        if (e.kind == Key) {
            if (f.keys[e.code] == Keyboard::Polled) f.keys[e.code] = Keyboard::LatchedKeep;
            continue;
        }
        if (!f.pointer) {
            f.pointer = true;
            f.position = e.position;
        }
        if (e.kind == Buttons && !f.buttons) f.buttonsWait = true;
    }
    // A key with no change this frame stays as its last change left it.
    for (std::size_t c = 0; c < f.keys.size(); ++c)
        if (f.keys[c] == Keyboard::Polled) f.keys[c] = recorded_[c];
    return f;
}

}  // namespace qel
