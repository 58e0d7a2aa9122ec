// The keyboard state, polled from a scripted key source.

#include "view/keyboard.h"

#include <gtest/gtest.h>

#include <SFML/Window/Keyboard.hpp>
#include <set>

using qel::Keyboard;

namespace {

// The keys the test holds; `window` false: the view's window is not active.
struct ScriptedKeys : qel::KeySource {
    bool active() override { return window; }
    bool down(int key) override { return held.count(key) != 0; }
    bool window = true;
    std::set<int> held;
};

}  // namespace

TEST(Keyboard, AHeldKeyIsNewInItsFirstFrameOnlyAndEitherShiftHoldsShift) {
    ScriptedKeys source;
    Keyboard keys(&source);
    source.held = {sf::Keyboard::Z, sf::Keyboard::LShift, sf::Keyboard::RShift};
    EXPECT_EQ(keys.read(), 1u);
    EXPECT_TRUE(keys.pressed('z') && keys.held(Keyboard::KeyShift));
    source.held = {sf::Keyboard::Z, sf::Keyboard::RShift};
    EXPECT_EQ(keys.read(), 0u);
    EXPECT_TRUE(keys.held('z') && !keys.pressed('z') && keys.held(Keyboard::KeyShift));
    source.held = {sf::Keyboard::RShift};
    EXPECT_EQ(keys.read(), 2u);
    EXPECT_FALSE(keys.held('z'));
}

TEST(Keyboard, AfterAClearAHeldDigitIsNewAndOutsideTheActiveWindowAllKeysAreUp) {
    ScriptedKeys source;
    Keyboard keys(&source);
    source.held = {sf::Keyboard::Num9, sf::Keyboard::LControl};
    keys.read();
    keys.clear();
    EXPECT_EQ(keys.read(), 1u);
    EXPECT_TRUE(keys.pressed('9') && keys.pressed(Keyboard::KeyControl));
    source.window = false;
    EXPECT_EQ(keys.read(), 2u);
    EXPECT_FALSE(keys.held('9') || keys.held(Keyboard::KeyControl));
    EXPECT_FALSE(Keyboard::Platform()->active()) << "the program's keys without a view window";
}
