#pragma once
// An ID buffer of a few pixels held in memory, for picking without a GL
// context. Stencil and depth belong to the shared depth-stencil texture; ids
// and normals to each target. Unset pixels read as nothing drawn.

#include <array>
#include <cstdint>
#include <map>
#include <utility>

#include "view/id_reader.h"

namespace fakeid {

struct Pixel {
    std::uint8_t stencil = 0;
    float depth = 1.0f;
    std::array<std::array<std::uint32_t, 3>, 2> ids{};  // opaque, transparent
    std::array<qel::vec3, 2> normal{};
};

class FakeIdReader : public qel::IdReader {
public:
    bool enable(TTarget t) override {
        ++enables;
        if (refuse) return false;
        current = t;
        return true;
    }
    void disable(TTarget t) override {
        if (current == t) current = -1;
    }
    std::uint8_t layer(TTarget t) const override { return layers[std::size_t(t)]; }
    std::uint8_t stencil(int x, int y) override { return at(x, y).stencil; }
    float depth(int x, int y) override { return at(x, y).depth; }
    std::array<std::uint32_t, 3> ids(int x, int y) override { return at(x, y).ids[target()]; }
    qel::vec3 normal(int x, int y) override { return at(x, y).normal[target()]; }
    std::array<float, 9> depthBlock(int, int) override { return block; }

    std::map<std::pair<int, int>, Pixel> pixels;
    std::array<float, 9> block{};
    std::array<std::uint8_t, 2> layers{1, 2};
    bool refuse = false;
    int current = -1;  // the enabled target, -1 none
    int enables = 0;

private:
    std::size_t target() const { return current == Transparent ? 1 : 0; }
    Pixel at(int x, int y) const {
        const auto it = pixels.find({x, y});
        return it == pixels.end() ? Pixel() : it->second;
    }
};

}  // namespace fakeid
