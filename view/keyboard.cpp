#include "view/keyboard.h"

#include <QOpenGLWidget>
#include <QtGlobal>
#include <SFML/Window/Cursor.hpp>
#include <SFML/Window/Keyboard.hpp>

#include "gl/glatom.h"

namespace qel {

bool Keyboard::eventBackspace = false;
Keyboard keys;

namespace {

constexpr std::uint8_t FirstLetter = 'a', FirstDigit = '0';

class ViewKeys : public KeySource {
public:
    bool active() override {
        const QOpenGLWidget* view = GLAtom::screen;
        return view && view->isActiveWindow() && holdDisplay();
    }
    bool down(int key) override { return sf::Keyboard::isKeyPressed(sf::Keyboard::Key(key)); }

private:
    // The keyboard library connects to the X display named by DISPLAY (and
    // aborts without one). It opens and closes that connection around every
    // query unless some object of its own holds it: an idle cursor object
    // holds it for the rest of the program, which makes a poll several times
    // cheaper.
    static bool holdDisplay() {
        if (!qEnvironmentVariableIsSet("DISPLAY")) return false;
        static const sf::Cursor holder;
        return true;
    }
};

}  // namespace

KeySource* Keyboard::Platform() {
    static ViewKeys platform;
    return &platform;
}

Keyboard::Keyboard(KeySource* keySource) : pairs(Codes, {0, 0}), raw(Codes, 0), source(keySource) {}

unsigned Keyboard::read() {
    Latched none;
    none.fill(Polled);
    return read(none);
}

unsigned Keyboard::read(const Latched& latched) {
    const bool on = source->active();
    const auto poll = [this, on](sf::Keyboard::Key key) -> std::uint8_t { return on && source->down(key) ? 1 : 0; };
    for (int i = 0; i < 26; ++i) raw[FirstLetter + i] = poll(sf::Keyboard::Key(sf::Keyboard::A + i));
    for (int i = 0; i < 10; ++i) raw[FirstDigit + i] = poll(sf::Keyboard::Key(sf::Keyboard::Num0 + i));
    raw[KeyBackspace] = poll(sf::Keyboard::Backspace);
    raw[KeyReturn] = poll(sf::Keyboard::Enter);
    raw[KeyEscape] = poll(sf::Keyboard::Escape);
    raw[KeySpace] = poll(sf::Keyboard::Space);
    // The right key is asked only while the left one is up.
    raw[KeyShift] = poll(sf::Keyboard::LShift) || poll(sf::Keyboard::RShift);
    raw[KeyControl] = poll(sf::Keyboard::LControl) || poll(sf::Keyboard::RControl);
    raw[KeyAlt] = poll(sf::Keyboard::LAlt) || poll(sf::Keyboard::RAlt);

    unsigned change = 0;
    for (std::size_t code = 0; code < Codes; ++code) {
        const std::uint8_t was = pairs[code][1];
        std::uint8_t now = raw[code] ? 1 : 0;
        if (latched[code] == LatchedUp) now = 0;
        if (latched[code] == LatchedDown) now = 1;
        if (latched[code] == LatchedKeep) now = was;
        pairs[code] = {was, now};
        if (now && !was) change |= 1u;
        if (was && !now) change |= 2u;
    }
    return change;
}

std::uint8_t Keyboard::code(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return std::uint8_t(FirstLetter + (qtKey - Qt::Key_A));
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return std::uint8_t(FirstDigit + (qtKey - Qt::Key_0));
    switch (qtKey) {
        case Qt::Key_Backspace:
            return KeyBackspace;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return KeyReturn;
        case Qt::Key_Escape:
            return KeyEscape;
        case Qt::Key_Space:
            return KeySpace;
        case Qt::Key_Shift:
            return KeyShift;
        case Qt::Key_Control:
            return KeyControl;
        case Qt::Key_Alt:
            return KeyAlt;
        default:
            return 0;
    }
}

void Keyboard::clear() {
    pairs.assign(Codes, {0, 0});
    raw.assign(Codes, 0);
}

}  // namespace qel
