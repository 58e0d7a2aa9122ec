#include "view/frame_driver_util.h"

#include <SFML/Window/Keyboard.hpp>

#include "view/input_latch.h"
#include "view/mouse.h"
#include "view/step_pacer.h"

namespace qel::test {

namespace {

// The keyboard library's key for a view key code.
int libraryKey(int code) {
    if (code >= 'a' && code <= 'z') return sf::Keyboard::A + (code - 'a');
    if (code >= '0' && code <= '9') return sf::Keyboard::Num0 + (code - '0');
    switch (code) {
        case Keyboard::KeyBackspace:
            return sf::Keyboard::Backspace;
        case Keyboard::KeyReturn:
            return sf::Keyboard::Enter;
        case Keyboard::KeyShift:
            return sf::Keyboard::LShift;
        case Keyboard::KeyControl:
            return sf::Keyboard::LControl;
        case Keyboard::KeyAlt:
            return sf::Keyboard::LAlt;
        case Keyboard::KeyEscape:
            return sf::Keyboard::Escape;
        case Keyboard::KeySpace:
            return sf::Keyboard::Space;
        default:
            return sf::Keyboard::Unknown;
    }
}

}  // namespace

bool ScriptedKeys::down(int key) { return held.count(key) != 0; }

double CountedClock::nowMs = 0.0;

DrivenView::DrivenView(int width, int height) : GLView(width, height) {
    startupStep = 4;
    animate = 0;
    showText = 0;
}

Texture2D* DrivenView::render() {
    if (!redraw) return nullptr;
    CountedClock::nowMs += drawCostMs;
    framePicksAndMotions();
    redraw = 0;
    return nullptr;
}

FrameDriver::FrameDriver(DrivenView& v) : FrameDriver(static_cast<GLView&>(v), true) {}

FrameDriver::FrameDriver(GLView& v) : FrameDriver(v, false) {}

FrameDriver::FrameDriver(GLView& v, bool loop)
    : reader(new fakeid::FakeIdReader), view(v), saved(keys.source), mainLoop(loop), savedClock(StepPacer::Clock) {
    if (mainLoop) StepPacer::Clock = CountedClock::read;
    view.idReader.reset(reader);
    keys.source = &source;
    keys.clear();
    inputLatch.clear();
    mouseRead = MouseState();
    mouseRead.position = vec2(float(view.width) / 2, float(view.height) / 2);
    mouse = mouseRead;
    view.enterEvent();
    frame();
}

FrameDriver::~FrameDriver() {
    StepPacer::Clock = savedClock;
    keys.source = saved;
    keys.clear();
    inputLatch.clear();
    mouseRead = mouse = MouseState();
}

void FrameDriver::hold(std::initializer_list<int> codes) {
    source.held.clear();
    for (int code : codes) source.held.insert(libraryKey(code));
}

void FrameDriver::left(bool down) { mouseRead.left = down ? 1 : 0; }

void FrameDriver::right(bool down) { mouseRead.right = down ? 1 : 0; }

void FrameDriver::move(vec2 position) { mouseRead.position = position; }

void FrameDriver::wheel(float amount) { mouseRead.wheel = amount; }

void FrameDriver::keyEvent(int code, bool down) { inputLatch.key(std::uint8_t(code), down); }

void FrameDriver::buttonEvent(vec2 position, bool leftDown, bool rightDown) {
    recordButtons(position, (leftDown ? 1u : 0u) | (rightDown ? 2u : 0u));
}

void FrameDriver::motionEvent(vec2 position) { recordMotion(position); }

void FrameDriver::frame() {
    commands();
    if (mainLoop) {
        view.MainLoop();
        return;
    }
    // Pick records filled by hand stay as they are: no layers to pick from.
    view.layersStale = !picking;
    view.frameInput();
    if (picking)
        view.framePicksAndMotions();
    else
        while (view.nextMotion()) {
        }
    mouseRead.wheel = 0.0f;
    Keyboard::eventBackspace = false;
}

}  // namespace qel::test
