#pragma once
// The curve's records. qel::CurveVertex and qel::CurveEdge are plain records
// (trivially copyable, no heap members) kept by index in the curve's two
// arrays; qel::CurveInfluence is the entry of the curve's influence list.
//
// Edge e runs from v[0] to v[1]; n[k] is the other edge at its vertex v[k]
// (-1 where the chain ends). Once a curve is ordered, every chain runs from
// v[0] to v[1] of its edges: n[0] is the previous edge, n[1] the next one.

#include <cstdint>
#include <utility>

#include "core/vec.h"
#include "gl/pbr.h"

namespace qel {

struct CurveVertex {
    // Flag bits.
    enum Flag : std::uint8_t {
        SharpBit = 1,     // the swept section breaks here (ends of open chains always)
        EndBit = 2,       // the vertex ends an open chain
        ActiveBit = 4,    // the record is alive
        SelectedBit = 8,  // selected (selection holds its list position)
    };

    vec3 position{0, 0, 0};       // in the curve's own coordinates
    vec3 orientation{0, 0, 0};    // kept and copied with the vertex; not written to files
    float radius = 1.0f;          // scale of the swept section
    float angle = 0.0f;           // twist of the swept section
    std::int32_t edge = -1;       // one edge using the vertex (the other one is its neighbour here), -1 none
    std::int32_t selection = -1;  // position on the selected-vertex list (also a scratch index), -1 none
    std::uint8_t flags = ActiveBit;

    constexpr CurveVertex() = default;
    constexpr explicit CurveVertex(const vec3& p, std::uint8_t flags_ = ActiveBit) : position(p), flags(flags_) {}

    bool isActive() const { return (flags & ActiveBit) != 0; }
    bool isSharp() const { return (flags & SharpBit) != 0; }
    bool isEnd() const { return (flags & EndBit) != 0; }
    bool isSelected() const { return (flags & SelectedBit) != 0; }
    void setFlag(std::uint8_t bit, bool on) { flags = std::uint8_t(on ? (flags | bit) : (flags & ~bit)); }
};

struct CurveEdge {
    // Sharp bit of end 0 and of end 1, indexed by end.
    static constexpr std::uint8_t SHARP[2] = {1, 2};
    // Further flag bits.
    enum Flag : std::uint8_t {
        SharpMask = 3,    // the two end bits
        ActiveBit = 4,    // the record is alive
        SelectedBit = 8,  // selected
        VisitedBit = 8,   // the same bit: visited mark of the ordering and frame walks
        PlacedBit = 16,   // placed mark of the array layout
    };

    std::int32_t v[2] = {-1, -1};  // first and second vertex
    std::int32_t n[2] = {-1, -1};  // n[k]: the other edge at v[k], -1 where the chain ends
    vec3 direction{0, 0, 0};       // unit direction along the chain (sweep frames)
    vec3 normal{0, 0, 0};          // normal of the sweep frame
    pbr material[2];               // material at the v[0] end and at the v[1] end
    std::uint8_t flags = ActiveBit;

    constexpr CurveEdge() = default;
    // An active edge from a to b with the given neighbours and end sharp bits.
    constexpr CurveEdge(std::int32_t a, std::int32_t b, std::int32_t n0 = -1, std::int32_t n1 = -1, bool sharp0 = false,
                        bool sharp1 = false)
        : v{a, b}, n{n0, n1}, flags(std::uint8_t(ActiveBit | (sharp0 ? 1 : 0) | (sharp1 ? 2 : 0))) {}

    // An edge from a to b with its end materials and flags, unlinked (as a
    // record reader makes it).
    CurveEdge(std::int32_t a, std::int32_t b, const pbr& m0, const pbr& m1, std::uint8_t flags_)
        : v{a, b}, material{m0, m1}, flags(flags_) {}

    bool isActive() const { return (flags & ActiveBit) != 0; }
    bool isSelected() const { return (flags & SelectedBit) != 0; }
    // End k carries the sharp bit (k in 0..1).
    bool isSharp(int k) const { return (flags & SHARP[k]) != 0; }
    void setSharp(int k, bool sharp) { flags = std::uint8_t(sharp ? (flags | SHARP[k]) : (flags & ~SHARP[k])); }
    // The end at vertex a (end 0 first), -1 when the edge does not use a.
    int end(std::int32_t a) const { return v[0] == a ? 0 : (v[1] == a ? 1 : -1); }
    // The other vertex of the edge seen from end k.
    std::int32_t other(int k) const { return v[1 - k]; }
    // Runs the edge the other way: exchanges the vertices, the neighbours,
    // the end sharp bits and the end materials, so that every end keeps what
    // belongs to it.
    void flip() {
        std::swap(v[0], v[1]);
        std::swap(n[0], n[1]);
        const std::uint8_t s = flags & SharpMask;
        flags = std::uint8_t((flags & ~SharpMask) | ((s & 1) << 1) | ((s & 2) >> 1));
        std::swap(material[0], material[1]);
    }
};

// Entry of the influence list of a brush selection: vertex, distance from
// the brush centre, offset.
struct CurveInfluence {
    std::int32_t vertex = -1;
    float distance = 0.0f;
    vec3 offset{0, 0, 0};
};

}  // namespace qel
