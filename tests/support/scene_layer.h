#pragma once
// One opaque scene layer of a small size for GL tests that draw elements:
// the four targets of a layer bound for drawing, cleared as the view clears
// them, with depth testing on, and read back per target.

#include <cstdint>
#include <vector>

#include "gl/fboscene.h"

namespace tltest {

class SceneLayer {
public:
    SceneLayer(int w, int h) : w_(w), h_(h), fbo_(w, h, 1) {}

    // Binds the four targets, clears them, depth and stencil.
    bool begin();
    void end();

    // (object id, item id, packed material) per pixel, rows bottom first.
    std::vector<std::uint32_t> ids();
    std::vector<std::uint8_t> colours();
    std::vector<float> normals();

private:
    int w_, h_;
    qel::FBOScene fbo_;
};

}  // namespace tltest
