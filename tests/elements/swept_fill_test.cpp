// The swept surface filled on the processor, without a GL context: vertex
// and feature-line counts, the revoluton's grid, corner materials and pick
// ids, and the refusal of oversized surfaces.

#include "elements/swept_fill.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "curves/curve.h"

using namespace qel;

namespace {

// A filled surface: its vertex count, bytes and the scratch of the fill.
struct Filled {
    std::uint32_t n = 0;
    std::vector<std::uint8_t> bytes;
    SweptScratch scratch;

    Filled(SweptKind kind, Curve* carrier, Curve* section) {
        if (kind == SweptKind::Tube) carrier->calculateOrientations(false);
        const SweptShape shape{kind, carrier, section};
        EXPECT_TRUE(sweptSurfaceSize(shape, n));
        bytes.assign(SweptVertexBytes * n, 0);
        fillSweptSurface(shape, n, SweptRefill(), scratch, bytes.data(), 0);
    }
    template <class T>
    T at(int block, std::uint32_t vertex, int component = 0) const {
        T v;
        std::memcpy(&v,
                    bytes.data() + sweptBlockOffset(block, n) + SweptBlockBytes[block] * vertex + sizeof(T) * component,
                    sizeof v);
        return v;
    }
    std::size_t segments() const { return scratch.lines.size() / 2; }
};

float fromHalf(std::uint16_t h) {
    const int e = (h >> 10) & 31, m = h & 1023;
    const float magnitude = e == 0 ? std::ldexp(float(m), -24) : std::ldexp(1.0f + float(m) / 1024.0f, e - 15);
    return (h & 0x8000) ? -magnitude : magnitude;
}

vec3 normalOf(const Filled& f, std::uint32_t v) {
    return vec3(fromHalf(f.at<std::uint16_t>(1, v, 0)), fromHalf(f.at<std::uint16_t>(1, v, 1)),
                fromHalf(f.at<std::uint16_t>(1, v, 2)));
}

Curve* smoothed(Curve* c) {
    c->makeSmooth();
    c->initialize(Element::ResizeKeep);
    return c;
}

}  // namespace

TEST(SweptFill, FeatureLinesFollowSharpJointsAndOpenEndsOnce) {
    struct Case {
        const char* name;
        Curve* path;
        Curve* profile;
        std::uint32_t vertices;
        std::size_t rings, seams;
    };
    const Case cases[] = {
        {"open path, sharp square", Curve::Segment(), Curve::Quad(1, 1), 24, 8, 4},
        {"open path, smooth square", Curve::Segment(), smoothed(Curve::Quad(1, 1)), 24, 8, 0},
        {"closed path, smooth circle", Curve::Circle(8, false), Curve::Circle(6, false), 6 * 48, 0, 0},
    };
    for (const Case& c : cases) {
        std::unique_ptr<Curve> path(c.path), profile(c.profile);
        const Filled f(SweptKind::Tube, path.get(), profile.get());
        EXPECT_EQ(f.n, c.vertices) << c.name;
        ASSERT_EQ(f.segments(), c.rings + c.seams) << c.name;
        // The open path runs along x: a ring stays at one end, a seam spans it.
        std::size_t seams = 0;
        for (std::size_t s = 0; s < f.segments(); ++s)
            seams += std::fabs(f.scratch.lines[2 * s].x - f.scratch.lines[2 * s + 1].x) > 0.5f;
        EXPECT_EQ(seams, c.seams) << c.name;
    }
}

TEST(SweptFill, RevolutonTurnsEachProfileVertexAboutTheYAxis) {
    std::unique_ptr<Curve> profile(new Curve({vec3(0, 1, 0), vec3(1, 0.5f, 0.5f), vec3(2, 0, -1)}, false));
    std::unique_ptr<Curve> section(Curve::Circle(16, false));
    const SweptShape shape{SweptKind::Revoluton, profile.get(), section.get()};
    std::vector<vec3> grid;
    sweptGrid(shape, grid);
    ASSERT_EQ(grid.size(), 3u * 16u);
    for (int j = 0; j < 3; ++j) {
        const vec3 p = profile->vertices[std::size_t(j)].position;
        for (int i = 0; i < 16; ++i) {
            const vec3 g = grid[std::size_t(j * 16 + i)];
            EXPECT_NEAR(std::hypot(g.x, g.z), std::hypot(p.x, p.z), 1e-5) << j << " " << i;
            EXPECT_NEAR(g.y, p.y, 1e-6);
            EXPECT_TRUE(j != 0 || g == grid[0]);  // on the axis: one point
        }
    }
    // The triangles at the axis have no area, yet every normal is finite.
    const Filled f(SweptKind::Revoluton, profile.get(), section.get());
    for (std::uint32_t v = 0; v < f.n; ++v)
        for (int k = 0; k < 3; ++k) EXPECT_NE(f.at<std::uint16_t>(1, v, k) & 0x7C00, 0x7C00) << v;
}

TEST(SweptFill, CornersTakeTheProductsOfTheEdgeMaterialsAndTheQuadsId) {
    std::unique_ptr<Curve> path(Curve::Segment(4, Element::ResizeMean));
    std::unique_ptr<Curve> profile(Curve::Circle(3, true));
    const pbr e0(wvec4(0xFFFF, 0x8000, 0x4000, 0xFFFF), wvec4(0x1000, 0, 0, 0xFFFF), 100, -200);
    const pbr e1(wvec4(0x8000, 0xFFFF, 0xFFFF, 0xFFFF), wvec4(0, 0x2000, 0, 0), -50, 30);
    const pbr f0(wvec4(0xFFFF, 0xFFFF, 0x8000, 0x8000), wvec4(0, 0, 0x3000, 0), 7, 0);
    const pbr f1(wvec4(0x4000, 0xFFFF, 0xFFFF, 0xFFFF), wvec4(0xF000, 0xF000, 0, 0), 0, 9);
    path->edges[3].material[0] = e0;
    path->edges[3].material[1] = e1;
    profile->edges[2].material[0] = f0;
    profile->edges[2].material[1] = f1;
    const Filled f(SweptKind::Tube, path.get(), profile.get());
    ASSERT_EQ(f.n, 6u * 4u * 3u);
    const std::uint32_t first = 6 * 11;  // quad (3, 2), the last one
    EXPECT_EQ(f.at<std::uint32_t>(5, first), 0x00030002u);
    // Vertices a, b, d, a, d, c.
    const pbr corner[6] = {e0 * f0, e0 * f1, e1 * f1, e0 * f0, e1 * f1, e1 * f0};
    for (std::uint32_t k = 0; k < 6; ++k) {
        const pbr& m = corner[k];
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(f.at<std::uint8_t>(2, first + k, c), m.colour[c] >> 8) << k;
            EXPECT_EQ(f.at<std::uint8_t>(3, first + k, c), m.light[c] >> 8) << k;
        }
        EXPECT_EQ(f.at<std::int16_t>(4, first + k, 0), m.roughness);
        EXPECT_EQ(f.at<std::int16_t>(4, first + k, 1), m.metalness);
    }
}

TEST(SweptFill, OversizedSurfacesAreRefusedBeforeAnyAllocation) {
    // 4,000 x 3,000 quads of 204 bytes pass 2 GiB.
    std::unique_ptr<Curve> path(Curve::Segment(4000, Element::ResizeMean));
    std::unique_ptr<Curve> profile(Curve::Circle(3000, false));
    std::unique_ptr<Curve> small(Curve::Circle(2000, false));
    std::uint32_t n = 1;
    EXPECT_FALSE(sweptSurfaceSize({SweptKind::Tube, path.get(), profile.get()}, n) || n != 0);
    EXPECT_TRUE(sweptSurfaceSize({SweptKind::Tube, path.get(), small.get()}, n) && n == 6u * 4000u * 2000u);
}

TEST(SweptFill, CornerNormalsAreSmoothAcrossJointsAndSplitAtSharpOnes) {
    // Round a straight path along x, a smooth circle's corners all take the
    // direction away from the axis; a square with sharp corners keeps one
    // normal on each side, whichever quad of it a corner belongs to.
    for (const bool sharp : {false, true}) {
        std::unique_ptr<Curve> path(Curve::Segment(3, Element::ResizeMean));
        std::unique_ptr<Curve> profile(sharp ? Curve::Quad(1, 1) : Curve::Circle(8, false));
        const Filled f(SweptKind::Tube, path.get(), profile.get());
        ASSERT_EQ(f.n, 6u * 3u * (sharp ? 4u : 8u));
        for (std::uint32_t v = 0; v < f.n; ++v) {
            const vec3 n = normalOf(f, v);
            EXPECT_NEAR(length(n), 1.0f, 2e-3f) << v;
            if (!sharp) {
                const vec3 p(f.at<float>(0, v, 0), f.at<float>(0, v, 1), f.at<float>(0, v, 2));
                EXPECT_GT(dot(n, normalize(vec3(0, p.y, p.z))), 0.999f) << "vertex " << v;
            } else {
                EXPECT_GT(dot(n, normalOf(f, v - v % 6)), 0.999f) << "vertex " << v;
            }
        }
    }
}
