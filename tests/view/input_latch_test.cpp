// Key and button changes and pointer motions between frames: the order in
// which the frames take them, and what a key tap, a click or a button chord
// shorter than one frame does to a view driven frame by frame.

#include "view/input_latch.h"

#include <gtest/gtest.h>

#include <SFML/Window/Keyboard.hpp>
#include <algorithm>
#include <cmath>
#include <vector>

#include "mesh/mesh.h"
#include "scene/scene.h"
#include "view/camera.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/mouse.h"

using namespace qel;

namespace {

struct NoKeys : KeySource {
    bool active() override { return true; }
    bool down(int) override { return false; }
};

// Takes one frame as the frame loop does: the keys read, the buttons of a
// change taken become the frame's.
InputLatch::Frame takeFrame(InputLatch& latch, Keyboard& keys, MouseState& last) {
    const InputLatch::Frame f = latch.take(keys, last);
    keys.read(f.keys);
    if (f.buttons) {
        last.left = f.left;
        last.right = f.right;
    }
    return f;
}

}  // namespace

TEST(InputLatch, FramesTakeTheChangesInOrderOneChangeAKeyAndOneButtonChange) {
    NoKeys none;
    Keyboard keys(&none);
    MouseState last;
    InputLatch latch;
    latch.key('a', true);
    latch.key('a', true);  // passed on from a widget to its parent: no change
    latch.key('a', false);
    latch.key('b', true);
    latch.buttons(vec2(10, 20), true, false);
    latch.key('c', true);
    latch.buttons(vec2(11, 20), false, false);

    InputLatch::Frame f = takeFrame(latch, keys, last);
    EXPECT_TRUE(keys.pressed('a') && !keys.held('b') && !keys.held('c'));
    EXPECT_TRUE(f.keys['b'] == Keyboard::LatchedKeep && f.keys['c'] == Keyboard::LatchedKeep);
    // The buttons wait; the pointer stays where the waiting click was.
    EXPECT_TRUE(!f.buttons && f.buttonsWait && f.pointer && f.position == vec2(10, 20));

    f = takeFrame(latch, keys, last);
    EXPECT_TRUE(!keys.held('a') && keys.pressed('b') && !keys.held('c'));
    EXPECT_TRUE(f.buttons && f.left == 1 && f.position == vec2(10, 20));

    // A change after a button change waits for the next frame.
    f = takeFrame(latch, keys, last);
    EXPECT_TRUE(keys.pressed('c') && f.buttons && f.left == 0 && f.position == vec2(11, 20));

    // A key stays as its last change left it, whatever the poll says now
    // (every key up here), until its next change.
    f = takeFrame(latch, keys, last);
    EXPECT_TRUE(latch.empty() && !f.buttons && !f.buttonsWait && !f.pointer && f.keys['c'] == Keyboard::LatchedDown);
    EXPECT_TRUE(keys.held('c') && !keys.pressed('c') && !keys.held('a') && f.keys['e'] == Keyboard::Polled);
    latch.key('c', false);
    takeFrame(latch, keys, last);
    EXPECT_FALSE(keys.held('c'));

    // A change that leaves its key or the buttons as they are is dropped.
    latch.buttons(vec2(1, 1), false, false);
    latch.key('d', false);
    f = takeFrame(latch, keys, last);
    EXPECT_TRUE(latch.empty() && !f.buttons && !f.buttonsWait && !keys.held('d'));
}

// Once a key's change may have gone to another window, every key reads as
// the poll says until its next change: one recorded as down whose release
// went elsewhere, and one recorded as up that went down elsewhere.
TEST(InputLatch, ForgottenKeysReadAsPolledUntilTheirNextChange) {
    struct Poll : KeySource {
        bool ctrl = true, shift = true;
        bool active() override { return true; }
        bool down(int key) override {
            return (ctrl && key == sf::Keyboard::LControl) || (shift && key == sf::Keyboard::LShift);
        }
    } poll;
    Keyboard keys(&poll);
    MouseState last;
    InputLatch latch;
    latch.key(Keyboard::KeyShift, true);
    latch.key(Keyboard::KeyControl, true);
    takeFrame(latch, keys, last);
    latch.key(Keyboard::KeyShift, false);
    takeFrame(latch, keys, last);
    poll.ctrl = false;
    takeFrame(latch, keys, last);
    EXPECT_TRUE(keys.held(Keyboard::KeyControl) && !keys.held(Keyboard::KeyShift));
    latch.forgetKeys();
    takeFrame(latch, keys, last);
    EXPECT_TRUE(!keys.held(Keyboard::KeyControl) && keys.held(Keyboard::KeyShift));
    poll.ctrl = true;
    takeFrame(latch, keys, last);
    EXPECT_TRUE(keys.held(Keyboard::KeyControl));
    latch.key(Keyboard::KeyControl, false);
    takeFrame(latch, keys, last);
    EXPECT_FALSE(keys.held(Keyboard::KeyControl));
}

// The keys are forgotten in their place in the stream: a press still
// waiting then is taken first, in its own frame, as a fast frame would have
// taken it; its release may go to another window, and the key reads as
// polled (up here) in every frame after. A button change and a key change
// recorded before the forgetting come in order before it.
TEST(InputLatch, AWaitingPressIsTakenBeforeTheKeysAreForgotten) {
    NoKeys none;
    Keyboard keys(&none);
    MouseState last;
    InputLatch latch;
    latch.key(Keyboard::KeyAlt, true);
    latch.forgetKeys();
    std::vector<int> held;
    for (int frame = 0; frame < 100; ++frame) {
        takeFrame(latch, keys, last);
        if (keys.held(Keyboard::KeyAlt)) held.push_back(frame);
    }
    EXPECT_EQ(held, std::vector<int>{0}) << "frames with Alt held";

    latch.key(Keyboard::KeyAlt, true);
    takeFrame(latch, keys, last);
    latch.buttons(vec2(5, 5), true, false);
    latch.key(Keyboard::KeyAlt, false);
    latch.forgetKeys();
    latch.key(Keyboard::KeyAlt, true);
    const InputLatch::Frame f = takeFrame(latch, keys, last);
    EXPECT_TRUE(f.buttons && keys.held(Keyboard::KeyAlt));
    takeFrame(latch, keys, last);
    EXPECT_FALSE(keys.held(Keyboard::KeyAlt));
    takeFrame(latch, keys, last);
    EXPECT_TRUE(keys.pressed(Keyboard::KeyAlt) && latch.empty());

    // The pointer's crossing starts the frame after a key change before it,
    // and the keys are forgotten there.
    latch.key(Keyboard::KeyShift, true);
    latch.cross(false);
    EXPECT_EQ(takeFrame(latch, keys, last).crossing, InputLatch::Frame::NoCrossing);
    EXPECT_TRUE(keys.held(Keyboard::KeyShift) && keys.held(Keyboard::KeyAlt));
    EXPECT_EQ(takeFrame(latch, keys, last).crossing, InputLatch::Frame::Left);
    EXPECT_TRUE(!keys.held(Keyboard::KeyShift) && !keys.held(Keyboard::KeyAlt) && latch.empty());
}

// A key pressed, its release gone to another window while the window had
// not the keyboard, and pressed again after the keyboard came back, all
// waiting for one slow frame: the second press is a press, after a frame
// with the key up, with or without a motion in between. A key that stays
// held across the forgetting is pressed once, and one whose press the poll
// read before its event came is not pressed twice.
TEST(InputLatch, APressAfterTheKeyboardCameBackIsASecondPress) {
    for (const bool motion : {false, true}) {
        SCOPED_TRACE(motion ? "a motion in between" : "keys only");
        NoKeys none;
        Keyboard keys(&none);
        MouseState last;
        InputLatch latch;
        latch.key('z', true);
        latch.forgetKeys();  // the window lost the keyboard
        latch.forgetKeys();  // and got it back
        if (motion) latch.motion(vec2(3, 4));
        latch.key('z', true);
        std::vector<int> pressed, held;
        for (int frame = 0; frame < 6; ++frame) {
            takeFrame(latch, keys, last);
            if (keys.pressed('z')) pressed.push_back(frame);
            if (keys.held('z')) held.push_back(frame);
        }
        EXPECT_EQ(pressed.size(), 2u);
        EXPECT_EQ(held.back(), 5) << "the second press holds the key";
        EXPECT_TRUE(latch.empty());
    }

    // Held across the forgetting: no new press comes, and the key reads as
    // the poll says once nothing of it waits.
    struct Poll : KeySource {
        bool z = false;
        bool active() override { return true; }
        bool down(int key) override { return z && key == sf::Keyboard::Z; }
    } poll;
    Keyboard keys(&poll);
    MouseState last;
    InputLatch latch;
    poll.z = true;
    latch.key('z', true);
    latch.forgetKeys();
    latch.forgetKeys();
    int presses = 0;
    for (int frame = 0; frame < 4; ++frame) {
        takeFrame(latch, keys, last);
        presses += keys.pressed('z') ? 1 : 0;
    }
    EXPECT_TRUE(presses == 1 && keys.held('z'));
    // Released (its release gone elsewhere) and pressed again: the poll saw
    // the press before its event came.
    poll.z = false;
    takeFrame(latch, keys, last);
    EXPECT_FALSE(keys.held('z'));
    poll.z = true;
    takeFrame(latch, keys, last);
    EXPECT_TRUE(keys.pressed('z'));
    latch.key('z', true);
    for (int frame = 0; frame < 3; ++frame) {
        takeFrame(latch, keys, last);
        EXPECT_TRUE(keys.held('z') && !keys.pressed('z')) << frame;
    }
}

// A command runs at once when nothing waits, else in its place: the frames
// take the input before it, then it runs, then the frames take what came
// after it; the pointer waits at the input before it.
TEST(InputLatch, ACommandRunsInItsPlaceAmongTheInput) {
    NoKeys none;
    Keyboard keys(&none);
    MouseState last;
    InputLatch latch;
    std::vector<int> ran;
    latch.command([&] { ran.push_back(0); });
    EXPECT_EQ(ran, std::vector<int>{0});
    latch.buttons(vec2(1, 1), true, false);
    latch.motion(vec2(2, 1));
    latch.buttons(vec2(3, 1), false, false);
    latch.command([&] { ran.push_back(1); });
    latch.key('a', true);
    latch.command([&] { ran.push_back(2); });
    latch.command([&] { ran.push_back(3); });
    latch.motion(vec2(3, 1));  // where the release left the pointer: no motion
    latch.motion(vec2(4, 1));

    EXPECT_TRUE(takeFrame(latch, keys, last).buttons && last.left == 1);
    vec2 at;
    EXPECT_TRUE(latch.takeMotion(at) && at == vec2(2, 1));
    EXPECT_TRUE(takeFrame(latch, keys, last).buttons && last.left == 0);
    // Nothing passes the command: no key, no motion.
    const InputLatch::Frame f = takeFrame(latch, keys, last);
    EXPECT_TRUE(!f.buttons && !keys.held('a') && !latch.motionWaits() && latch.run(vec2(3, 1)).motions == 0);
    EXPECT_EQ(ran.size(), 1u);
    latch.runCommands();
    EXPECT_EQ(ran, (std::vector<int>{0, 1}));
    takeFrame(latch, keys, last);
    EXPECT_TRUE(keys.pressed('a') && ran.size() == 2);
    latch.runCommands();
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(latch.takeMotion(at) && at == vec2(4, 1) && latch.empty());

    // A window that goes drops its waiting commands, and the input stays.
    latch.key('b', true);
    latch.command([&] { ran.push_back(4); });
    latch.dropCommands();
    latch.runCommands();
    takeFrame(latch, keys, last);
    EXPECT_TRUE(keys.pressed('b') && latch.empty() && ran.size() == 4);
}

// A command waiting behind a key is no pointer event: the frame that takes
// the key leaves the pointer where it is (no pointer position of its own),
// and so does the frame stopped at the command.
TEST(InputLatch, ACommandBehindAKeyLeavesThePointerWhereItIs) {
    NoKeys none;
    Keyboard keys(&none);
    MouseState last;
    InputLatch latch;
    latch.motion(vec2(40, 30));
    EXPECT_TRUE(takeFrame(latch, keys, last).position == vec2(40, 30));
    int ran = 0;
    latch.key('a', true);
    latch.command([&] { ++ran; });
    InputLatch::Frame f = takeFrame(latch, keys, last);
    EXPECT_TRUE(keys.pressed('a') && !f.pointer && !f.buttons && !f.buttonsWait);
    f = takeFrame(latch, keys, last);
    EXPECT_TRUE(!f.pointer && ran == 0);
    latch.runCommands();
    EXPECT_TRUE(ran == 1 && latch.empty());
}

// A command that asks is held at the front while the host holds asking
// ones, and the commands behind it with it; one that asks nothing runs. One
// told to wait takes its place though nothing waits. Whether a press waits
// reads the input after the commands.
TEST(InputLatch, ACommandThatAsksWaitsAtTheFrontWhileHeld) {
    InputLatch latch;
    std::vector<int> ran;
    latch.command([&] { ran.push_back(0); }, true, true);
    EXPECT_TRUE(ran.empty() && !latch.empty());
    latch.command([&] { ran.push_back(1); });
    latch.buttons(vec2(1, 1), true, false);
    EXPECT_TRUE(latch.pressWaits());
    latch.runCommands(true);
    EXPECT_TRUE(ran.empty());
    latch.runCommands(false);
    EXPECT_EQ(ran, (std::vector<int>{0, 1}));
    latch.clear();
    latch.command([&] { ran.push_back(2); }, false, true);
    latch.command([&] { ran.push_back(3); }, true);
    latch.runCommands(true);
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(latch.pressWaits());
}

// Commands dropped with their window never run, nor run in the place of a
// command given after them: each later command runs its own function, in
// its own place.
TEST(InputLatch, DroppedCommandsNeverRunForLaterOnes) {
    NoKeys none;
    Keyboard keys(&none);
    MouseState last;
    InputLatch latch;
    std::vector<int> ran;
    latch.key('a', true);
    latch.command([&] { ran.push_back(1); });
    latch.key('a', false);
    latch.command([&] { ran.push_back(2); });
    latch.dropCommands();
    latch.key('a', true);
    latch.command([&] { ran.push_back(3); });
    // Each frame takes one change of a; only the last is followed by a
    // command.
    for (const bool down : {true, false}) {
        takeFrame(latch, keys, last);
        EXPECT_EQ(keys.held('a'), down);
        latch.runCommands();
        ASSERT_TRUE(ran.empty()) << "nothing runs before the input given before it";
    }
    takeFrame(latch, keys, last);
    EXPECT_TRUE(keys.pressed('a'));
    latch.runCommands();
    EXPECT_EQ(ran, std::vector<int>{3});
    EXPECT_TRUE(latch.empty());
    latch.key('a', false);
    latch.command([&] { ran.push_back(4); });
    takeFrame(latch, keys, last);
    latch.runCommands();
    EXPECT_EQ(ran, (std::vector<int>{3, 4}));
}

// A key is matched to its press by its physical key: 5 released while
// Shift is held comes as %, which names no key, and 5 reads up. Shift held
// at a press of the same key names 5 too.
TEST(InputLatch, AKeysReleaseUnderAnotherSymbolIsMatchedToItsPress) {
    NoKeys none;
    Keyboard keys(&none);
    MouseState last;
    InputLatch latch;
    constexpr std::uint32_t five = 14, shift = 50;
    latch.key('5', true, five);
    latch.key(Keyboard::KeyShift, true, shift);
    latch.key(0, false, five);
    latch.key(Keyboard::KeyShift, false, shift);
    takeFrame(latch, keys, last);
    EXPECT_TRUE(keys.held('5') && keys.held(Keyboard::KeyShift));
    takeFrame(latch, keys, last);
    EXPECT_TRUE(!keys.held('5') && !keys.held(Keyboard::KeyShift));
    latch.key(0, true, five);
    takeFrame(latch, keys, last);
    EXPECT_TRUE(keys.held('5'));
    latch.key(0, false, five);
    takeFrame(latch, keys, last);
    EXPECT_FALSE(keys.held('5'));
}

namespace {

// Frames taken, with their motions, until nothing waits: the positions in
// the order the frames took them, and where among them the buttons changed.
struct Taken {
    std::vector<vec2> path;
    std::vector<std::size_t> buttonsAt;
};

Taken drain(InputLatch& latch, Keyboard& keys, MouseState& last) {
    Taken t;
    for (int frame = 0; !latch.empty() && frame < 100000; ++frame) {
        const InputLatch::Frame f = takeFrame(latch, keys, last);
        if (f.buttons) t.buttonsAt.push_back(t.path.size());
        if (f.pointer && !f.buttonsWait) t.path.push_back(f.position);
        vec2 at;
        while (latch.takeMotion(at)) t.path.push_back(at);
    }
    return t;
}

}  // namespace

// Between two frames far apart the motions pile up: no key or button change
// is ever dropped for them. Control released behind 5,000 motions reads up
// once the frames have taken them.
TEST(InputLatch, AKeyReleaseBehindThousandsOfMotionsIsKept) {
    for (const int count : {4000, 5000, 20000}) {
        SCOPED_TRACE(count);
        NoKeys none;
        Keyboard keys(&none);
        MouseState last;
        InputLatch latch;
        latch.key(Keyboard::KeyControl, true);
        latch.buttons(vec2(0, 0), false, true);
        takeFrame(latch, keys, last);
        takeFrame(latch, keys, last);
        ASSERT_TRUE(keys.held(Keyboard::KeyControl) && last.right);
        latch.key(Keyboard::KeyControl, false);
        latch.buttons(vec2(0, 0), false, false);
        for (int k = 1; k <= count; ++k) latch.motion(vec2(float(k % 700), float(k / 700)));
        EXPECT_LE(latch.motions(), InputLatch::Capacity);
        drain(latch, keys, last);
        EXPECT_TRUE(!keys.held(Keyboard::KeyControl) && !last.right);
    }
}

// The motions thinned keep the path: its corners, the ends of each run
// between two changes and its order with them, and every point left lies on
// the path the pointer took, within a pixel of every point dropped.
TEST(InputLatch, ThinnedMotionsKeepThePathsShapeAndItsChanges) {
    NoKeys none;
    Keyboard keys(&none);
    MouseState last;
    InputLatch latch;
    // A zigzag of 1-pixel steps, 100 to a leg, then circles of radius 20
    // in steps of a pixel; a press at the 3,000th point and a release at
    // the 9,000th.
    std::vector<vec2> path;
    for (int k = 0; k < 6000; ++k) {
        const int leg = k / 100, along = k % 100;
        path.push_back(vec2(float(k), float(leg % 2 ? 100 - along : along)));
    }
    for (int k = 0; k < 6000; ++k)
        path.push_back(vec2(6100.0f + 20.0f * std::cos(0.05f * float(k)), 50.0f + 20.0f * std::sin(0.05f * float(k))));
    for (std::size_t k = 0; k < path.size(); ++k) {
        if (k == 3000) latch.buttons(path[k], true, false);
        if (k == 9000) latch.buttons(path[k], false, false);
        latch.motion(path[k]);
    }
    EXPECT_LE(latch.motions(), InputLatch::Capacity);
    const Taken t = drain(latch, keys, last);
    const std::vector<vec2>& taken = t.path;
    ASSERT_EQ(t.buttonsAt.size(), 2u);
    EXPECT_EQ(taken[t.buttonsAt[0]], path[3000]);
    EXPECT_EQ(taken[t.buttonsAt[1]], path[9000]);
    EXPECT_EQ(taken.back(), path.back());
    // Each point taken is one of the path's, in the path's order, and each
    // point dropped lies within a pixel of the segment between the points
    // kept around it; every corner is kept.
    std::size_t k = 0;
    for (std::size_t t = 0; t < taken.size(); ++t) {
        const std::size_t from = k;
        while (k < path.size() && !(path[k] == taken[t])) ++k;
        ASSERT_LT(k, path.size()) << "a point off the path, or out of order";
        if (t == 0) continue;
        const vec2 a = path[from], d = path[k] - a;
        for (std::size_t m = from + 1; m < k; ++m) {
            const vec2 q = path[m] - a;
            const float off = std::abs(q.x * d.y - q.y * d.x) / length(d);
            ASSERT_LE(off, 1.0f) << m;
        }
    }
    for (int leg = 1; leg < 60; ++leg)
        EXPECT_NE(std::find(taken.begin(), taken.end(), path[std::size_t(leg * 100)]), taken.end()) << leg;
}

// A frame takes one motion and stops; the motions right behind it follow
// within the frame, and a key or a button change behind them waits.
TEST(InputLatch, AFrameTakesOneMotionAndTheMotionsBehindItFollowInOrder) {
    NoKeys none;
    Keyboard keys(&none);
    MouseState last;
    InputLatch latch;
    latch.key('a', true);
    latch.motion(vec2(1, 1));
    latch.motion(vec2(2, 1));
    latch.motion(vec2(2, 1));  // no move: dropped
    latch.motion(vec2(3, 1));
    latch.key('b', true);
    latch.motion(vec2(4, 1));

    InputLatch::Frame f = takeFrame(latch, keys, last);
    EXPECT_TRUE(keys.pressed('a') && !keys.held('b') && f.keys['b'] == Keyboard::LatchedKeep);
    EXPECT_TRUE(f.pointer && f.position == vec2(1, 1) && !f.buttons && !f.buttonsWait);
    vec2 at;
    ASSERT_TRUE(latch.takeMotion(at));
    EXPECT_EQ(at, vec2(2, 1));
    ASSERT_TRUE(latch.takeMotion(at));
    EXPECT_EQ(at, vec2(3, 1));
    EXPECT_FALSE(latch.takeMotion(at));

    f = takeFrame(latch, keys, last);
    EXPECT_TRUE(keys.pressed('b') && f.pointer && f.position == vec2(4, 1) && latch.empty());
}

namespace {

class ShortInput : public ::testing::Test {
protected:
    ShortInput() {
        view.buildMatrices();
        view.setSymmetry(false, false, false, false, false, false, 6);
        view.cursorPixel = {400, 300};
    }
    std::size_t objects() const { return view.scene->objectsRoot->children.size(); }

    GLView view{800, 600};
    test::FrameDriver drive{view};
    const vec2 centre{400, 300};
};

}  // namespace

TEST_F(ShortInput, AnEnterTapBetweenTwoFramesFinishesADrawingOnce) {
    view.setActiveTool(GLView::CreateCube, true);
    view.setActionMode(GLView::ModeAssembly);
    view.setAssemblyAction(GLView::ActionDraw);
    view.assemblor.stamps = {ABrush(), ABrush()};
    view.interactionState = 2;
    view.placements = {mat4::Translation(5, 0, 0)};
    const std::size_t before = objects();
    drive.keyEvent(Keyboard::KeyReturn, true);
    drive.keyEvent(Keyboard::KeyReturn, false);
    drive.frame();
    EXPECT_TRUE(view.idle() && keys.held(Keyboard::KeyReturn));
    EXPECT_TRUE(view.undoHistory.size() == 1 && objects() == before + 1);
    drive.frame();
    drive.frame();
    EXPECT_FALSE(keys.held(Keyboard::KeyReturn));
    EXPECT_TRUE(view.undoHistory.size() == 1 && objects() == before + 1);
}

TEST_F(ShortInput, AClickBetweenTwoFramesPlacesAnInsertOnce) {
    view.setActionMode(GLView::ModeAssembly);
    view.setAssemblyAction(GLView::ActionInsert);
    view.setFrameType(GLView::FrameObject);
    view.UpdateActiveTool();
    drive.frame();  // the hover's pick on the screen plane
    ASSERT_TRUE(view.pickBrush.placed());
    const std::size_t before = objects();
    drive.buttonEvent(centre, true, false);
    drive.buttonEvent(centre, false, false);
    drive.frame();
    EXPECT_TRUE(view.interactionState == 1 && view.undoHistory.empty());
    drive.frame();
    EXPECT_TRUE(view.idle() && view.undoHistory.size() == 1 && objects() == before + 1);
    drive.frame();
    EXPECT_TRUE(view.undoHistory.size() == 1 && objects() == before + 1);
}

TEST_F(ShortInput, AChordPressedInsideOneFrameStartsTheOrbit) {
    view.setActionMode(GLView::ModeAssembly);
    view.setAssemblyAction(GLView::ActionMove);
    const mat3 start = view.camera->orientation;
    drive.buttonEvent(centre, false, true);
    drive.buttonEvent(centre, true, true);
    drive.frame();
    drive.frame();
    EXPECT_TRUE(mouse.left && mouse.right && view.actionMode == GLView::ModeView);
    drive.move(centre + vec2(20, 0));
    drive.frame();
    const mat3 expected = mat3::Rotation(0.0f, -0.2f, 0.0f) * start;
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(view.camera->orientation[k], expected[k], 1e-6f) << k;
    drive.buttonEvent(centre + vec2(20, 0), false, false);
    drive.frame();
    drive.frame();
    EXPECT_TRUE(view.idle() && view.actionMode == GLView::ModeAssembly);
}

TEST_F(ShortInput, AClickIsTakenWhereItHappenedNotWhereThePointerIsAtTheFrame) {
    // A quick flick through a click: the pointer is far away at the frames
    // before and after it. The frame that takes the press sees the pointer
    // where the click was, and the click inserts once.
    view.setActionMode(GLView::ModeAssembly);
    view.setAssemblyAction(GLView::ActionInsert);
    view.setFrameType(GLView::FrameObject);
    view.UpdateActiveTool();
    const vec2 click = centre + vec2(-60, 40), away = centre + vec2(250, -200);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "pointer at the click" : "pointer away");
        drive.move(run == 0 ? click : away);
        drive.frame();
        const std::size_t before = objects();
        drive.move(click);
        drive.buttonEvent(click, true, false);
        drive.buttonEvent(click, false, false);
        if (run == 1) drive.move(away);
        drive.frame();
        EXPECT_EQ(mouse.position, click);
        drive.frame();
        EXPECT_EQ(objects(), before + 1);
    }
}

// Escape pressed in a drawing with strokes, the window losing the keyboard,
// Escape released in another window and pressed again after the return,
// all taken by the frames after: the first press drops the strokes, the
// second ends the drawing, with or without a motion in between.
TEST_F(ShortInput, EscapePressedAgainAfterTheKeyboardCameBackActsTwice) {
    for (const bool motion : {false, true}) {
        SCOPED_TRACE(motion ? "a motion in between" : "keys only");
        view.setActiveTool(GLView::CreateCube, true);
        view.setActionMode(GLView::ModeAssembly);
        view.setAssemblyAction(GLView::ActionDraw);
        view.assemblor.stamps = {ABrush(), ABrush()};
        view.assemblor.strokes.emplace_back();
        view.assemblor.strokes.back().stamps = {ABrush(), ABrush()};
        view.interactionState = 3;
        drive.keyEvent(Keyboard::KeyEscape, true);
        inputLatch.forgetKeys();  // the window lost the keyboard
        inputLatch.forgetKeys();  // and got it back
        if (motion) drive.motionEvent(centre + vec2(7, 3));
        drive.keyEvent(Keyboard::KeyEscape, true);
        for (int frame = 0; frame < 5; ++frame) drive.frame();
        EXPECT_TRUE(view.assemblor.strokes.empty());
        EXPECT_TRUE(view.idle()) << "the second Escape ends the drawing";
        drive.keyEvent(Keyboard::KeyEscape, false);
        drive.frame();
    }
}
