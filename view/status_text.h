#pragma once
// The status text in the view's top-left corner: the scene's counts, the
// mode, the action and the options that decide what the next click does.
// The lines are built here from the view's settings, without GL; the view
// writes them with its bitmap font (GLView::Text).

#include <cstdint>
#include <string>
#include <vector>

#include "core/vec.h"

namespace qel {

class GLView;

// One piece of the status text, written in its colour where the writer
// stands; with newLine the next piece starts at the beginning of the next
// line, else right after this one.
struct StatusPiece {
    std::string text;
    bvec4 colour;
    bool newLine;
};

// The pen of one status-text pass: the viewport size in pixels, the colour
// of the next piece, and the line and column (in characters) it starts at.
struct hudWriter {
    vec2 viewport;
    bvec4 colour;
    std::int32_t line = 0;
    std::int32_t column = 0;
};

// The pieces of the status text for the view as it stands, in writing
// order. Lines without a value write nothing; empty pieces keep the place
// of lines the current mode leaves out.
std::vector<StatusPiece> statusText(const GLView& view);

// The names of the sculpt and assembly actions as the menus call them
// (CamelCase, "CopyMove"), or null for a value without one.
const char* sculptActionName(int action);
const char* assemblyActionName(int action);

}  // namespace qel
