#pragma once
// qel::InputLatch, the key and button changes and the pointer motions that
// arrive between two frames, kept in the order they happened. The frame loop
// reads the keys and buttons once a frame; reading only the states at that
// moment would lose a key tap or a click shorter than a frame, and reading
// the pointer once would lose every point of a stroke between two slow
// frames. Each frame therefore takes the recorded changes oldest first and
// stops before a change to a key it has already changed, after a button
// change and after a motion. A press and a release inside one frame are seen
// as a press in that frame and a release in the next, and the two presses of
// a button chord come a frame apart, as they would at a high frame rate. The
// motions that follow at the front are taken one by one within the same
// frame (takeMotion), each moving the pointer with the buttons it had; the
// frame paces the gesture's steps by the run still waiting (run): a step at
// every motion, or at every spacing of a sculpt stroke, while the steps keep
// up, and otherwise wider spacings or, for a transform, one step to the
// latest motion (StepPacer). A change that would leave its key or
// buttons as they already are is dropped, and so is a motion to where the
// pointer already was.
//
// A key reads in each frame as its last change taken says, until its next
// change: the keys stay in step with the buttons and motions of the same
// stream. Polling the keys instead would read them as they are now, while
// the frame is still taking changes that happened before (on a slow frame a
// Control released after a right click read as released at the click), and
// an inactive window's poll reads every key up though its key events come.
// Only a key without a recorded change reads as the poll says. Whenever the
// window may have missed a key's change (it lost or regained the keyboard,
// the pointer left or came back) every record is forgotten: each key reads
// as the poll says until its next change, so a key held since before the
// window had the keyboard reads held and one whose release went to another
// window reads up. A press that comes after a forgetting to a key that
// still reads down from a press before it was pressed again: its release
// went elsewhere, and the key reads up for one frame before the press, so
// that the two presses are two. The forgetting takes its place in the
// stream: what was
// recorded before it (the rest of a stroke, its release, a key's release)
// is taken first as it was recorded, and the records are forgotten after
// it. So is the pointer's crossing of the view's border: a frame that takes
// it starts with it, and the view turns to the other side of its border
// there, not while input from before the crossing still waits.
//
// A key is named by the window system's number of the physical key as well
// as by its symbol: Shift held at a digit's release turns the release of 5
// into %, which no key code names, and the release is matched to the press
// of the same physical key instead.
//
// No key or button change is ever dropped for room. While no frame runs (a
// save, a load, a long stroke step) the motions pile up: past `Capacity`
// waiting motions each run of motions between two key or button changes is
// thinned, the points that bend the path least going first (a point weighs
// the area of the triangle it makes with its neighbours left in the run).
// A run keeps its first and its last point and no motion moves across a key
// or button change, so the thinned path keeps its ends and its order with
// the changes, and its sharpest bends go last: points on straight or nearly
// straight stretches go first, which a stroke spaced along the path barely
// feels (its samples fall on the kept points of the same path, those a
// widened spacing leaves further apart).
//
// A command of the window that waits for the view to be idle (Undo, a mode
// change) takes its place in the stream too: given while input recorded
// before it still waits (the end of a stroke the frames have not reached,
// its release), it runs once the frames have taken that input, before they
// take what came after it, and not at the moment the window received it.
// The host runs the commands between frames, never from inside one; one
// that may ask in a dialog can be held at the front (and the frames with
// it) while the hand holds a button the dialog would take.
//
// The host widget records Qt's key, button and motion events here (and
// keeps polling: a button without a recorded change reads as the poll says,
// and so does the pointer while nothing waits).

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "core/vec.h"
#include "view/keyboard.h"

namespace qel {

struct MouseState;

class InputLatch {
public:
    // What one frame takes.
    struct Frame {
        // Per key code, for Keyboard::read.
        Keyboard::Latched keys{};
        // The button states of a change taken this frame.
        bool buttons = false;
        std::uint8_t left = 0, right = 0;
        // A button change waits for a later frame: the buttons stay as they
        // were.
        bool buttonsWait = false;
        // Where the pointer was at the change taken, else at the first
        // waiting one; valid while `pointer` is set.
        bool pointer = false;
        vec2 position{0, 0};
        // The pointer's crossing of the view's border that the frame starts
        // with: none, left or entered.
        enum TCrossing : std::uint8_t { NoCrossing, Left, Entered };
        TCrossing crossing = NoCrossing;
    };

    // Key code `code` (Keyboard's codes; 0 is no key) went down or up.
    // `native` is the window system's number of the physical key (its scan
    // code), 0 when unknown: a key once seen under a code keeps it, whatever
    // symbol a modifier gives it later.
    void key(std::uint8_t code, bool down, std::uint32_t native = 0);
    // The buttons became these at a button event, with the pointer at
    // `position` (device pixels).
    void buttons(vec2 position, bool left, bool right);
    // The pointer moved to `position` (device pixels).
    void motion(vec2 position);
    // The changes of the next frame, given the key states and the button
    // states of the last one; what is taken leaves the latch.
    Frame take(const Keyboard& keys, const MouseState& last);
    // The motion at the front, taken after a frame's own change: false when
    // the front holds none (nothing waits, or a key or button change that
    // belongs to the next frame).
    bool takeMotion(vec2& position);
    // Whether a motion is at the front.
    bool motionWaits() const { return !events_.empty() && events_.front().kind == Motion; }
    // Where the motion at the front goes, left in place: false when the
    // front holds none.
    bool peekMotion(vec2& position) const {
        if (!motionWaits()) return false;
        position = events_.front().position;
        return true;
    }
    // The run of motions at the front, up to the first key or button
    // change: how many, and the length of the path from `from` through them
    // (device pixels).
    struct Run {
        std::size_t motions = 0;
        double length = 0.0;
    };
    Run run(vec2 from) const;
    // Every key reads as the poll says until its next change, from here on
    // in the stream: for when the window may have missed a key's change (it
    // lost or regained the keyboard, the pointer left or came back). At once
    // when nothing waits.
    void forgetKeys();
    // The pointer left the view or entered it (`inside`) while input
    // recorded before waits: the frame that takes it reports the crossing
    // and forgets the keys there.
    void cross(bool inside);
    // A command given now: it runs at once when nothing waits, else in its
    // place among the input recorded, when runCommands finds it at the
    // front. A frame never takes input past a waiting command. One that
    // `asks` may open a dialog; with `wait` it takes its place even when
    // nothing waits (its dialog has to wait).
    void command(std::function<void()> run, bool asks = false, bool wait = false);
    // Runs the commands at the front, oldest first: for the host, before
    // each frame takes its input (never from inside a frame: a command's
    // dialog opens with no frame under way). With `holdAsking` they stop at
    // the first one that asks, which keeps its place.
    void runCommands(bool holdAsking = false);
    // Whether a button press waits to be taken (recorded behind a command
    // that runs: a click or drag given after it).
    bool pressWaits() const;
    // The waiting commands are dropped (their window goes).
    void dropCommands();
    // Nothing waits and no key state is recorded.
    void clear() {
        events_.clear();
        commands_.clear();
        motions_ = 0;
        thinAt_ = Capacity;
        recorded_.fill(Keyboard::Polled);
        missed_.fill(0);
    }
    bool empty() const { return events_.empty(); }
    // The motions waiting.
    std::size_t motions() const { return motions_; }

    // Past this many waiting motions the motions are thinned to half as
    // many (as far as their runs allow); key and button changes are all
    // kept.
    static constexpr std::size_t Capacity = 4096;

private:
    // Mark: the keys are forgotten there (code 0), and the pointer left
    // (Frame::Left) or entered (Frame::Entered) the view. Command: the
    // oldest of commands_ runs there.
    enum Kind : std::uint8_t { Key, Buttons, Motion, Mark, Command };
    struct Event {
        vec2 position{0, 0};
        Kind kind = Buttons;
        std::uint8_t code = 0;             // key; mark
        std::uint8_t down = 0;             // key
        std::uint8_t left = 0, right = 0;  // buttons
    };
    void push(const Event& e);
    void mark(std::uint8_t code);
    void popFront();
    // The motions thinned to at most `target`, keeping the ends of each run.
    void thinMotions(std::size_t target);
    // The key code of a key event (see key()).
    std::uint8_t codeOf(std::uint8_t code, bool down, std::uint32_t native);

    std::deque<Event> events_;
    struct Waiting {
        std::function<void()> run;
        bool asks = false;
    };
    std::deque<Waiting> commands_;
    std::size_t motions_ = 0;
    // Thinning starts again at this many motions: above Capacity when the
    // last thinning could not go below it (runs too short to thin).
    std::size_t thinAt_ = Capacity;
    // The key code each physical key was last seen under.
    std::vector<std::pair<std::uint32_t, std::uint8_t>> natives_;
    // Per key code, its last change taken (LatchedUp or LatchedDown), or
    // Polled (0) when none is recorded.
    Keyboard::Latched recorded_{};
    // Per key code: it reads as a change recorded before a forgetting
    // said, and no change or poll has told its state since (its opposite
    // change may have gone to another window).
    std::array<std::uint8_t, Keyboard::Codes> missed_{};
    // The keys are forgotten: every record goes, and each key known only
    // from its record may miss its next change.
    void forget();
};

// The one latch: the host widget records into it, the frame loop takes from
// it.
extern InputLatch inputLatch;

}  // namespace qel
