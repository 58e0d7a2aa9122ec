#pragma once
// qel::Butterfly: a tool without element whose two child tools (the wings)
// each show a sprite, the second mirrored across the tool's YZ plane, both
// turning about the Y axis. The two wings form one instance ring.

#include "scene/tool.h"

namespace qel {

class Sprite;

class Butterfly : public Tool {
public:
    // Wings of sprites a and b (b = a when null), each shifted by half its
    // sprite's width towards -x before the second is mirrored. The float is
    // not used.
    Butterfly(Sprite* a, Sprite* b, float unused);
};

}  // namespace qel
