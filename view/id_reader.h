#pragma once
// The ID buffer of the last frame as the pickings read it: the two scene
// render targets (opaque and transparent, one shared depth-stencil texture),
// each with its layer byte, its object/item id target and its normal target.
// qel::IdReader is the interface every pick reads through; qel::GLIdReader
// reads the view's targets on the GPU. A test hands the view a reader of its
// own.

#include <array>
#include <cstdint>

#include "core/vec.h"

namespace qel {

class FBOScene;

class IdReader {
public:
    enum TTarget : int { Opaque = 0, Transparent = 1 };

    IdReader() = default;
    IdReader(const IdReader&) = delete;
    IdReader& operator=(const IdReader&) = delete;
    virtual ~IdReader() = default;

    // Makes the target the one read; false when it cannot be made ready.
    virtual bool enable(TTarget target) = 0;
    virtual void disable(TTarget target) = 0;
    // The stencil bits the target's layer writes.
    virtual std::uint8_t layer(TTarget target) const = 0;

    // One pixel of the enabled target; (x, y) from the bottom left.
    virtual std::uint8_t stencil(int x, int y) = 0;
    virtual float depth(int x, int y) = 0;
    // Object id (top bit: selected or marked), item id, packed material.
    virtual std::array<std::uint32_t, 3> ids(int x, int y) = 0;
    // The eye-space normal; zero where none was drawn.
    virtual vec3 normal(int x, int y) = 0;
    // The depths of the 3 x 3 pixels around (x, y), rows bottom to top.
    virtual std::array<float, 9> depthBlock(int x, int y) = 0;
};

// Reads the view's two scene render targets with glReadPixels, packed with
// alignment 1 (the previous alignment comes back on disable).
class GLIdReader : public IdReader {
public:
    GLIdReader(FBOScene* opaque, FBOScene* transparent) : targets_{opaque, transparent} {}

    bool enable(TTarget target) override;
    void disable(TTarget target) override;
    std::uint8_t layer(TTarget target) const override;
    std::uint8_t stencil(int x, int y) override;
    float depth(int x, int y) override;
    std::array<std::uint32_t, 3> ids(int x, int y) override;
    vec3 normal(int x, int y) override;
    std::array<float, 9> depthBlock(int x, int y) override;

private:
    std::array<FBOScene*, 2> targets_;  // not owned
    FBOScene* current_ = nullptr;
    int alignment_ = 4;
};

}  // namespace qel
