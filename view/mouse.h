#pragma once
// The mouse records of the view. The host widget writes qel::mouseRead from
// Qt's events and the cursor poll; the frame loop copies it once a frame into
// qel::mouse, which the interaction code reads, and then steps qel::mouse
// through the motions latched since (view/input_latch.h). Positions are device pixels
// from the view's top-left corner; a button byte is 1 while the button is
// down.

#include <cstdint>

#include "core/vec.h"

namespace qel {

struct MouseState {
    vec2 previous{0, 0};  // position of the frame before
    vec2 position{0, 0};
    vec2 delta{0, 0};  // position - previous
    std::uint8_t leftPrevious = 0;
    std::uint8_t left = 0;
    std::uint8_t rightPrevious = 0;
    std::uint8_t right = 0;
    float wheel = 0.0f;  // wheel turn of the frame, in eighths of a degree
};

// Filled by the host widget.
extern MouseState mouseRead;
// The frame's copy, read by the interaction code.
extern MouseState mouse;

// A button event of the host: in qel::mouseRead the pointer moves to
// `position` (the previous position and the delta follow) and the buttons
// become those of the mask (bit 0 left, bit 1 right); the change is also
// recorded in order for the frames (view/input_latch.h), so that a click
// shorter than a frame is not lost.
void recordButtons(vec2 position, unsigned buttons);
// A motion event of the host: in qel::mouseRead the pointer moves to
// `position`, and the motion is recorded in order for the frames, so that
// every point of a stroke between two frames reaches its gesture.
void recordMotion(vec2 position);

}  // namespace qel
