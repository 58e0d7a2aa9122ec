#pragma once
// GL tests that draw elements: a fixture with a fixed view, and one opaque
// scene layer of a small size (the four targets of a layer bound for
// drawing, cleared as the view clears them, depth testing on, read back per
// target).

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gl/fboscene.h"

namespace tltest {

// Registers the shaders and looks down -z: both projections are
// Scale(2, 2, -2), so that x and y from -0.5 to 0.5 fill the target and the
// larger z is nearer; the eye matrix is the identity. Every test must leave
// no GL error.
class DrawTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

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
