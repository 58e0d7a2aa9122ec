#include "view/input_latch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <queue>

#include "view/mouse.h"

namespace qel {

InputLatch inputLatch;

void InputLatch::push(const Event& e) {
    events_.push_back(e);
    if (e.kind != Motion) return;
    ++motions_;
    if (motions_ > thinAt_) {
        thinMotions(Capacity / 2);
        // Runs too short to thin leave more: the next thinning waits for
        // as many new motions as a full one would.
        thinAt_ = std::max(Capacity, motions_ + Capacity / 2);
    }
}

void InputLatch::popFront() {
    if (events_.front().kind == Motion) --motions_;
    events_.pop_front();
    if (events_.empty()) thinAt_ = Capacity;
}

void InputLatch::thinMotions(std::size_t target) {
    constexpr std::size_t None = ~std::size_t(0);
    const std::size_t n = events_.size();
    const auto motion = [this](std::size_t i) { return events_[i].kind == Motion; };
    // Each motion's neighbours within its run.
    std::vector<std::size_t> before(n, None), after(n, None);
    for (std::size_t i = 0; i < n; ++i) {
        if (!motion(i)) continue;
        if (i > 0 && motion(i - 1)) before[i] = i - 1;
        if (i + 1 < n && motion(i + 1)) after[i] = i + 1;
    }
    // Twice the area of the triangle a point makes with its neighbours: how
    // much the path bends there. A run's ends are never dropped.
    std::vector<double> weight(n, -1.0);
    const auto weigh = [&](std::size_t i) {
        if (before[i] == None || after[i] == None) return -1.0;
        const vec2 &a = events_[before[i]].position, &p = events_[i].position, &b = events_[after[i]].position;
        return std::abs((double(p.x) - a.x) * (double(b.y) - a.y) - (double(p.y) - a.y) * (double(b.x) - a.x));
    };
    using Entry = std::pair<double, std::size_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> lightest;
    for (std::size_t i = 0; i < n; ++i) {
        if (!motion(i)) continue;
        weight[i] = weigh(i);
        if (weight[i] >= 0.0) lightest.push({weight[i], i});
    }
    std::vector<std::uint8_t> gone(n, 0);
    while (motions_ > target && !lightest.empty()) {
        const Entry e = lightest.top();
        lightest.pop();
        const std::size_t i = e.second;
        // An entry outdated by a neighbour's removal.
        if (gone[i] || e.first != weight[i]) continue;
        gone[i] = 1;
        --motions_;
        after[before[i]] = after[i];
        before[after[i]] = before[i];
        for (const std::size_t k : {before[i], after[i]}) {
            weight[k] = weigh(k);
            if (weight[k] >= 0.0) lightest.push({weight[k], k});
        }
    }
    std::deque<Event> kept;
    for (std::size_t i = 0; i < n; ++i)
        if (!gone[i]) kept.push_back(events_[i]);
    events_.swap(kept);
}

std::uint8_t InputLatch::codeOf(std::uint8_t code, bool down, std::uint32_t native) {
    if (native == 0) return code;
    const auto seen =
        std::find_if(natives_.begin(), natives_.end(), [native](const auto& n) { return n.first == native; });
    // A press names its key by its symbol when the symbol names one; a
    // release, or a press whose symbol a modifier changed, by the code its
    // physical key was last seen under.
    if (seen != natives_.end() && (!down || code == 0)) return seen->second;
    if (code == 0) return 0;
    if (seen != natives_.end())
        seen->second = code;
    else
        natives_.emplace_back(native, code);
    return code;
}

void InputLatch::key(std::uint8_t symbolCode, bool down, std::uint32_t native) {
    const std::uint8_t code = codeOf(symbolCode, down, native);
    if (code == 0) return;
    // The same event passed on from a widget to its parent, or a repeat:
    // only a change counts.
    for (auto it = events_.rbegin(); it != events_.rend(); ++it) {
        // Past a forgetting the key's recorded state is unknown.
        if (it->kind == Mark) break;
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
        if (it->kind != Motion && it->kind != Buttons) continue;
        if (it->position.x == position.x && it->position.y == position.y) return;
        break;
    }
    Event e;
    e.kind = Motion;
    e.position = position;
    push(e);
}

void InputLatch::forgetKeys() {
    if (events_.empty())
        forget();
    else
        mark(0);
}

void InputLatch::forget() {
    for (std::size_t c = 0; c < recorded_.size(); ++c)
        if (recorded_[c] != Keyboard::Polled) missed_[c] = 1;
    recorded_.fill(Keyboard::Polled);
}

void InputLatch::command(std::function<void()> run, bool asks, bool wait) {
    if (!run) return;
    if (events_.empty() && !wait) {
        run();
        return;
    }
    commands_.push_back({std::move(run), asks});
    Event e;
    e.kind = Command;
    push(e);
}

void InputLatch::runCommands(bool holdAsking) {
    while (!events_.empty() && events_.front().kind == Command) {
        if (holdAsking && commands_.front().asks) return;
        std::function<void()> run = std::move(commands_.front().run);
        commands_.pop_front();
        popFront();
        // A command may give input or commands of its own (a dialog's
        // events): they wait behind what is already recorded.
        if (run) run();
    }
}

bool InputLatch::pressWaits() const {
    return std::any_of(events_.begin(), events_.end(),
                       [](const Event& e) { return e.kind == Buttons && (e.left || e.right); });
}

void InputLatch::dropCommands() {
    commands_.clear();
    events_.erase(std::remove_if(events_.begin(), events_.end(), [](const Event& e) { return e.kind == Command; }),
                  events_.end());
    if (events_.empty()) thinAt_ = Capacity;
}

void InputLatch::cross(bool inside) { mark(inside ? Frame::Entered : Frame::Left); }

void InputLatch::mark(std::uint8_t code) {
    Event e;
    e.kind = Mark;
    e.code = code;
    push(e);
}

bool InputLatch::takeMotion(vec2& position) {
    if (!motionWaits()) return false;
    position = events_.front().position;
    popFront();
    return true;
}

InputLatch::Run InputLatch::run(vec2 from) const {
    Run r;
    for (const Event& e : events_) {
        if (e.kind != Motion) break;
        ++r.motions;
        r.length += length(e.position - from);
        from = e.position;
    }
    return r;
}

InputLatch::Frame InputLatch::take(const Keyboard& keys, const MouseState& last) {
    Frame f;
    f.keys.fill(Keyboard::Polled);
    std::array<std::uint8_t, Keyboard::Codes> state{};
    for (std::size_t c = 0; c < state.size(); ++c) state[c] = keys.held(std::uint8_t(c)) ? 1 : 0;
    std::uint8_t left = last.left, right = last.right;
    bool tookKeys = false;
    while (!events_.empty()) {
        const Event& e = events_.front();
        // The input after a command waits until it has run.
        if (e.kind == Command) break;
        if (e.kind == Mark) {
            // A crossing starts a frame: the keys taken before it were
            // read on the other side.
            if (e.code != 0 && tookKeys) break;
            if (e.code != 0) {
                // The view clears its keys at a crossing: every key up.
                f.crossing = Frame::TCrossing(e.code);
                state.fill(0);
                missed_.fill(0);
                recorded_.fill(Keyboard::Polled);
            } else {
                forget();
            }
            popFront();
            continue;
        }
        if (e.kind == Key) {
            tookKeys = true;
            const std::uint8_t change = e.down ? Keyboard::LatchedDown : Keyboard::LatchedUp;
            // A press to a key that reads down only from a press before a
            // forgetting: the window missed its release, which comes first
            // (the press stays for the next frame).
            const bool missedRelease = e.down && missed_[e.code] && state[e.code] == 1;
            if (state[e.code] == e.down && !missedRelease) {
                recorded_[e.code] = change;
                missed_[e.code] = 0;
                popFront();
                continue;
            }
            // A second change of this key belongs to the next frame.
            if (f.keys[e.code] != Keyboard::Polled) break;
            missed_[e.code] = 0;
            if (missedRelease) {
                state[e.code] = 0;
                f.keys[e.code] = recorded_[e.code] = Keyboard::LatchedUp;
                continue;
            }
            state[e.code] = e.down;
            f.keys[e.code] = recorded_[e.code] = change;
            popFront();
            continue;
        }
        if (e.kind == Motion) {
            // The motions after this one follow within the frame.
            f.pointer = true;
            f.position = e.position;
            popFront();
            break;
        }
        if (e.left == left && e.right == right) {
            popFront();
            continue;
        }
        f.buttons = true;
        f.left = left = e.left;
        f.right = right = e.right;
        f.pointer = true;
        f.position = e.position;
        popFront();
        break;
    }
    // What still waits keeps its key or the buttons as they are now; the
    // pointer stays where the first waiting pointer event puts it, so that
    // it never runs ahead of the motions still to come.
    for (const Event& e : events_) {
        if (e.kind == Mark || e.kind == Command) continue;
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
    // A key left to the poll reads as it is now: no change of it is missed.
    for (std::size_t c = 0; c < f.keys.size(); ++c) {
        if (f.keys[c] != Keyboard::Polled) continue;
        f.keys[c] = recorded_[c];
        if (recorded_[c] == Keyboard::Polled) missed_[c] = 0;
    }
    return f;
}

}  // namespace qel
