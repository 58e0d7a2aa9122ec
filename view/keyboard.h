#pragma once
// qel::Keyboard, the view's keyboard state. The view receives no key events:
// once a frame the frame loop polls a fixed set of keys into the one object
// qel::keys, which keeps for every key code the state of the previous poll
// beside the latest one, so the interaction code can tell a held key from a
// newly pressed or a newly released one.
//
// Key codes are ASCII-like and only these are ever set: 8 Backspace,
// 13 Return, 16 Shift, 17 Control, 18 Alt (each of the last three for either
// side), 27 Escape, 32 Space, '0'..'9' and 'a'..'z'.

#include <array>
#include <cstdint>
#include <vector>

namespace qel {

// Where the key states come from. Keys are named by the keyboard library's
// sf::Keyboard::Key values (A..Z 0..25, Num0..Num9 26..35, LShift 38, ...).
class KeySource {
public:
    KeySource() = default;
    KeySource(const KeySource&) = delete;
    KeySource& operator=(const KeySource&) = delete;
    virtual ~KeySource() = default;

    // Whether keys pressed now are meant for the view; asked once a poll,
    // and while it is false the poll reads every key up.
    virtual bool active() = 0;
    // Whether the key is down now.
    virtual bool down(int key) = 0;
};

class Keyboard {
public:
    enum TKey : std::uint8_t {
        KeyBackspace = 8,
        KeyReturn = 13,
        KeyShift = 16,
        KeyControl = 17,
        KeyAlt = 18,
        KeyEscape = 27,
        KeySpace = 32,
    };

    // The platform's keys, polled through the keyboard library while the
    // view's own window is the application's active window (keys typed into
    // another application or into a dialog window are not the view's).
    static KeySource* Platform();

    static constexpr std::size_t Codes = 256;

    // What the key changes recorded between frames (view/input_latch.h) say
    // of each key code for one read: nothing (the poll decides), up or down
    // (a change taken this frame), or keep (a later change waits for its own
    // frame: the key stays as it is).
    enum TLatched : std::uint8_t { Polled = 0, LatchedUp = 1, LatchedDown = 2, LatchedKeep = 3 };
    using Latched = std::array<std::uint8_t, Codes>;

    explicit Keyboard(KeySource* keySource = Platform());

    // Polls every key once and moves the latest states to the previous ones;
    // a key with a recorded change takes the change instead of the poll.
    // Bit 0 of the result is set when some key went down since the last read,
    // bit 1 when some key went up.
    unsigned read();
    unsigned read(const Latched& latched);
    // Every key up at both polls: right after, nothing counts as held or as
    // newly pressed or released.
    void clear();

    // The view's key code of a Qt key (Qt::Key), 0 for a key the view does
    // not read. Both Return and the keypad's Enter are Return.
    static std::uint8_t code(int qtKey);

    bool held(std::uint8_t code) const { return pairs[code][1] != 0; }
    bool pressed(std::uint8_t code) const { return pairs[code][0] == 0 && pairs[code][1] != 0; }

    // Per key code: the state at the previous poll, the state at the latest
    // poll (0 up, 1 down).
    std::vector<std::array<std::uint8_t, 2>> pairs;
    // The source's last answer per key code; codes never polled stay 0.
    std::vector<std::uint8_t> raw;
    KeySource* source;  // not owned

    // The main window's Backspace command for one frame: set by the command,
    // read by the view's key handling and cleared at the end of every frame.
    static bool eventBackspace;
};

// The one keyboard state, read once a frame by the frame loop.
extern Keyboard keys;

}  // namespace qel
