#pragma once
// qel::BezierCurve, a curve (element type 2, like a plain curve) that
// rebuilds itself on request as a sampled cubic Bezier segment from the
// origin to (0, 0, 1): it leaves the origin along a start direction and
// arrives at (0, 0, 1) against an end direction. A cable keeps one as the
// path of its tube and reshapes it at every drawing; the rebuild is skipped
// when neither the directions nor the length changed by more than 1 %, so
// that a cable at rest costs nothing.
//
// The shape is derived state: the record (tag 0xE1100002) carries no
// payload, and a curve read from a file has all its vertices at the origin
// until its owner reshapes it.

#include <cstdint>
#include <vector>

#include "core/vec.h"
#include "curves/curve.h"

namespace qel {

class buffer;

class BezierCurve : public Curve {
public:
    static constexpr std::uint32_t RecordTag = 0xE1100002u;
    // Edge count of the curves made by the reader and by the cable, and of
    // a curve without edges that is asked to keep its count.
    static constexpr int DefaultEdges = 50;

    // ---- Fields after the curve's, in this order ----
    float initialLength = -1.0f;   // the first positive length given to setup; -1 until then
    float currentLength = -1.0f;   // the length of the last rebuild
    vec3 startDirection{0, 0, 0};  // normalised first direction of the last rebuild
    vec3 endDirection{0, 0, 0};    // normalised second direction of the last rebuild

    // An empty curve of curve type 0, init(), then setup(a, b, -1, n).
    BezierCurve(const vec3& a, const vec3& b, int n);
    // The reader's constructor: init(), DataRead (nothing to read), then
    // setup((0,0,0), (0,0,0), -1, 50).
    explicit BezierCurve(buffer& b);
    // Every field and record of o; id -1, reference count 0, no GL buffer.
    BezierCurve(const BezierCurve& o);
    BezierCurve& operator=(const BezierCurve&) = delete;
    ~BezierCurve() override = default;

    // Rebuilds the records as one open chain of n edges when n is not 0, or
    // when n is 0 and the records are not that chain (edits through the
    // curve's operations); n = 0 keeps the count of active edges, except on
    // a curve without edges, which gets DefaultEdges. Then, unless the
    // length and both normalised directions are within 1 % of the last
    // rebuild (with n = 0, records rebuilt or of another edge count than
    // the last layout are laid whatever the directions), lays
    // the vertices on the cubic
    // from (0,0,0) to (0,0,1) with control arms k a and k b (k = initial
    // length / length / 3), computes the sweep frames, forces edge 0 along
    // a and the last edge along -b, and stamps the curve without touch() (a
    // touch would drop the forced frames).
    void setup(const vec3& a, const vec3& b, float length, int n);

    // The element's copy(n) stays the sharing operation (a tube holding this
    // curve passes its copies on to it).
    using Curve::copy;
    // Without holders: takes the first reference and returns this curve.
    // Otherwise a new Bezier curve of 50 edges, built with the directions
    // (l, l, l) and (m, m, m) (l the initial length, m the edge count), with
    // one reference.
    BezierCurve* copy();

    // A Bezier curve with the same fields and records, so that a cloned
    // tube's path still follows its cable.
    BezierCurve* clone() override;
    // No symmetry copies: the list is cleared and the point itself is
    // listed with the frame of the normal and scale 1, whatever is asked.
    void symmetries(std::vector<symmetry::TSymmetry>& list, const vec3& point, const vec3& normal, bool mirrorX,
                    bool mirrorY, bool mirrorZ, bool radialX, bool radialY, bool radialZ, int count,
                    std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>& scales, int itemId,
                    bool section) override;
    // The shape belongs to the cable: sculpting changes nothing.
    void sculpt(std::vector<Sculptor*>& sculptors) override;
    // The 8 bytes of the record: tag and a payload length of 0.
    void DataWrite(buffer& b) override;
    // The record has no payload: reads nothing.
    void DataRead(buffer& b) override;

private:
    // Step 1 of setup: n + 1 vertices and n edges as one open chain, sharp
    // at both ends, directions and normals zero.
    void rebuildRecords(int n);
    // Whether the records are the open chain setup lays out by index:
    // n + 1 active vertices and n active edges, edge i from vertex i to
    // i + 1, linked to edges i - 1 and i + 1.
    bool isLaidChain() const;
    int activeEdgeCount() const;
    // Within 1 % of the last rebuild.
    bool unchanged(const vec3& a, const vec3& b, float length) const;
    // Steps 5 and 6: the positions on the cubic.
    void layOut(const vec3& a, const vec3& b);
    // Step 8: the end edges along the end directions.
    void forceEndFrames(const vec3& a, const vec3& b);

    int laidEdges_ = -1;  // the edge count of the last layout; -1 before the first
};

}  // namespace qel
