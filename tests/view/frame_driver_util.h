#pragma once
// A stand-in for one frame of the view's loop in interaction tests: scripted
// keys and buttons go in, the view's input half of a frame runs, then the
// pickings of the frame read an ID buffer held in memory, and the frame's
// one-shot Backspace command is cleared; the frames of a DrivenView run the
// frame loop itself around a stand-in for the drawing. No GL is involved.

#include <functional>
#include <initializer_list>
#include <set>

#include "core/vec.h"
#include "view/fake_id_reader_util.h"
#include "view/glview.h"
#include "view/input_latch.h"
#include "view/keyboard.h"

namespace qel::test {

// The keys a test holds, by the view's key codes ('0'..'9', 'a'..'z' and the
// Keyboard::TKey values).
class ScriptedKeys : public KeySource {
public:
    bool active() override { return true; }
    bool down(int key) override;

    std::set<int> held;  // keyboard library key values
};

// A step clock for the frame loop that only a test moves on: what a frame's
// drawing and each gesture step cost, counted, not timed.
struct CountedClock {
    static double nowMs;
    static double read() { return nowMs; }
};

// A view past its start-up whose drawing is a stand-in needing no GL: it
// takes drawCostMs of the counted clock, then runs the frame's pickings and
// the motions that follow them, as render() does once the layers are drawn.
// Its frames run the whole frame loop (MainLoop), which times the drawing.
class DrivenView : public GLView {
public:
    DrivenView(int width, int height);
    Texture2D* render() override;

    double drawCostMs = 0.0;
};

class FrameDriver {
public:
    // Makes the view's pointer inside and every key and button up, gives the
    // view the in-memory ID buffer, then runs one frame so that nothing
    // counts as newly pressed.
    explicit FrameDriver(GLView& view);
    // The same for a driven view, whose frames then run MainLoop with the
    // steps timed on the counted clock.
    explicit FrameDriver(DrivenView& view);
    ~FrameDriver();
    FrameDriver(const FrameDriver&) = delete;
    FrameDriver& operator=(const FrameDriver&) = delete;

    // Holds exactly these keys (view key codes) from the next frame on.
    void hold(std::initializer_list<int> codes);
    void left(bool down);
    void right(bool down);
    void move(vec2 position);
    // Turns the wheel by `amount` for the next frame only.
    void wheel(float amount);
    // Events between frames, recorded as the host widget records them: a
    // key (view key code) going down or up, and a button event at a
    // position with the buttons it leaves down.
    void keyEvent(int code, bool down);
    void buttonEvent(vec2 position, bool leftDown, bool rightDown);
    // A pointer motion event, recorded as the host widget records it.
    void motionEvent(vec2 position);
    // One frame, after the waiting commands whose turn has come, as the
    // host widget's tick runs them.
    void frame();
    // How the host runs the waiting commands before a frame; a window's
    // tests give its widget's.
    std::function<void()> commands = [] { inputLatch.runCommands(); };

    fakeid::FakeIdReader* reader;  // owned by the view
    // Off: the frame's pickings are skipped, for tests that fill the pick
    // records by hand.
    bool picking = true;

private:
    GLView& view;
    ScriptedKeys source;
    KeySource* saved;
    FrameDriver(GLView& view, bool mainLoop);
    // The frames run MainLoop, and the step clock to restore.
    bool mainLoop = false;
    double (*savedClock)() = nullptr;
};

}  // namespace qel::test
