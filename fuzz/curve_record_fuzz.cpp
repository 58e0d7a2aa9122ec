// Fuzz target of the curve record reader: qel::Curve(buffer&, bool) on
// arbitrary bodies under both tags and in both edge layouts, then the
// rebuild that the scene reader runs.
//
// Input: byte 0 chooses the record (bit 0: the old tag, without reserved
// word and curve type; bit 2: the base curve inside an old resampled-curve
// record, read by qel::UCurve(buffer&, true), bit 0 then not used) and the
// file version (bit 1: the 29-byte edges of files up to 20060411, else the
// 49-byte ones); the rest is the body.
// Checked: the reader never reads outside the bytes (the sanitizers); a
// refused body leaves no records and status 1; an accepted one consumed
// exactly its counts' bytes, holds edge vertices in range and finite
// centre, size, positions, radii and angles, and, when initialize(0) gives
// status 0, passes the curve invariant checker; a current-layout body of
// finite floats and active records is written back byte for byte, but for
// the bits the reader clears (selection, placed mark), the reserved word
// (written 0), the clamped roughness and metalness, a size of 0 (read as 1)
// and what initialize(0) settles (flag bits, edges turned along their
// chains); every accepted current body writes the bytes its initialized
// curve writes, which read back and initialized write the same again. An old resampled curve that is accepted holds a base with the same
// checks (its body is the old tag's with one more byte before the vertex
// count), is of curve type 2 and id 0, and its resampled arrays pass the
// invariant checker; a refused one holds no base.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "curves/curve.h"
#include "curves/curve_invariants_util.h"
#include "curves/ucurve.h"
#include "gl/buffer.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

bool finite(const qel::vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

bool finiteFloats(const std::uint8_t* p, int n) {
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(qel::buffer::loadF32(p + 4 * i))) return false;
    return true;
}

// Clamps the signed channel at p as the material reader does.
void clampSigned(std::uint8_t* p) {
    const std::int16_t v = std::int16_t(qel::buffer::loadU16(p));
    qel::buffer::storeU16(p, std::uint16_t(qel::pbr::clampSigned(v)));
}

// The bytes a sound current body of active records writes back: the input
// with the reader's normalisations applied; empty when the body does not
// qualify (a non-finite float or an inactive record).
std::vector<std::uint8_t> expectedWriteBack(const std::uint8_t* body, std::size_t used, std::uint32_t nV,
                                            std::uint32_t nE) {
    std::vector<std::uint8_t> out(body, body + used);
    std::memset(out.data(), 0, 4);  // reserved
    if (!finiteFloats(out.data() + 8, 4)) return {};
    if (qel::buffer::loadF32(out.data() + 20) == 0.0f) qel::buffer::storeF32(out.data() + 20, 1.0f);
    for (std::uint32_t v = 0; v < nV; ++v) {
        std::uint8_t* r = out.data() + 28 + 21 * std::size_t(v);
        if (!finiteFloats(r, 5) || !(r[20] & qel::CurveVertex::ActiveBit)) return {};
        r[20] = std::uint8_t(r[20] & ~qel::CurveVertex::SelectedBit);
    }
    for (std::uint32_t e = 0; e < nE; ++e) {
        std::uint8_t* r = out.data() + 32 + 21 * std::size_t(nV) + 49 * std::size_t(e);
        if (!(r[48] & qel::CurveEdge::ActiveBit)) return {};
        for (int k = 0; k < 2; ++k) {
            clampSigned(r + 4 + 24 * k + 16);
            clampSigned(r + 4 + 24 * k + 18);
        }
        r[48] = std::uint8_t(r[48] & ~(qel::CurveEdge::SelectedBit | qel::CurveEdge::PlacedBit));
    }
    return out;
}

// The bytes written back for an accepted body: the expected head and
// vertex records but for the flags, which the writer settles as a load
// does, and each expected edge as it was or turned (its vertices and
// materials exchanged), again but for the flags.
void checkWrittenBack(const std::uint8_t* out, const std::vector<std::uint8_t>& expected, std::uint32_t nV,
                      std::uint32_t nE) {
    check(std::memcmp(out, expected.data(), 28) == 0);
    for (std::uint32_t v = 0; v < nV; ++v) {
        const std::size_t at = 28 + 21 * std::size_t(v);
        check(std::memcmp(out + at, expected.data() + at, 20) == 0);
    }
    const std::size_t edges = 32 + 21 * std::size_t(nV);
    check(std::memcmp(out + edges - 4, expected.data() + edges - 4, 4) == 0);
    for (std::uint32_t e = 0; e < nE; ++e) {
        const std::uint8_t* w = out + edges + 49 * std::size_t(e);
        const std::uint8_t* x = expected.data() + edges + 49 * std::size_t(e);
        const bool same = std::memcmp(w, x, 48) == 0;
        const bool turned = std::memcmp(w, x + 24, 24) == 0 && std::memcmp(w + 24, x, 24) == 0;
        check(same || turned);
    }
}

// A written record read back and initialized writes the same bytes again.
void checkRereadWritesTheSame(const qel::buffer& written) {
    const std::int32_t version = qel::FILE_VERSION;
    qel::FILE_VERSION = qel::FILE_VERSION_WRITTEN;
    qel::buffer in(written.data() + 8, std::size_t(written.size()) - 8);
    qel::Curve again(in, false);
    check(again.status == 0);
    again.initialize(qel::Element::ResizeKeep);
    qel::buffer out;
    again.DataWrite(out);
    check(out.bytes() == written.bytes());
    qel::FILE_VERSION = version;
}

void checkInvariants(const qel::Curve& c) {
    const std::string broken = curvetest::checkCurveInvariants(c);
    if (!broken.empty()) {
        std::fprintf(stderr, "curve invariant broken: %s\n", broken.c_str());
        std::abort();
    }
}

// The body as read into a new curve: consumed exactly its counts' bytes
// (head: the bytes before the vertex records), edges in range, finite
// values, no selection.
void checkAccepted(const qel::Curve& c, const qel::buffer& b, std::int64_t head, bool oldEdges) {
    const std::int64_t nV = c.vertexCount(), nE = c.edgeCount();
    check(b.cursor() == head + 21 * nV + 4 + (oldEdges ? 29 : 49) * nE);
    for (const qel::CurveEdge& e : c.edges)
        check(e.v[0] >= 0 && e.v[0] < nV && e.v[1] >= 0 && e.v[1] < nV && e.v[0] != e.v[1]);
    check(finite(c.centre) && std::isfinite(c.size()) && c.size() != 0.0f);
    for (const qel::CurveVertex& v : c.vertices)
        check(finite(v.position) && std::isfinite(v.radius) && std::isfinite(v.angle) && !v.isSelected());
}

// At most about this many samples the resampling of a base can make: each
// edge's length over its smallest spacing (the smaller end radius, at least
// a thousandth of the size).
double sampleBound(const qel::Curve& c) {
    const double floor = std::max(double(std::fabs(c.size())) / 1000.0, 1e-12);
    double count = 0.0;
    for (const qel::CurveEdge& e : c.edges) {
        const qel::CurveVertex &a = c.vertices[std::size_t(e.v[0])], &b = c.vertices[std::size_t(e.v[1])];
        double r = std::min(double(a.radius), double(b.radius));
        if (!std::isfinite(r) || !(r > floor)) r = floor;
        count += qel::distance(a.position, b.position) / r + 1.0;
    }
    return count;
}

// The old resampled curve: its base read from the body, then resampled.
// Bases that may resample into more than 20,000 points (up to the
// resampling's cap of a million, seconds under the sanitizers) are only
// read: they would slow the fuzzing to a crawl.
void oldResampled(qel::buffer& b, bool oldEdges) {
    qel::buffer probe = b;
    qel::Curve read;
    read.readResampledBaseBody(probe);
    if (read.status == 0 && !(sampleBound(read) <= 20000.0)) {
        checkAccepted(read, probe, 21, oldEdges);
        return;
    }
    auto* u = new qel::UCurve(b, true);
    check(b.cursor() >= 0 && b.cursor() <= b.size());
    if (u->status != 0) {
        check(u->base == nullptr && u->vertexCount() == 0);
    } else {
        check(u->base != nullptr && u->curveType == qel::Curve::UniformCurve && u->id == 0);
        checkAccepted(*u->base, b, 21, oldEdges);
        if (u->base->status == 0) checkInvariants(*u->base);
        checkInvariants(*u);
        for (const qel::CurveVertex& v : u->vertices)
            check(finite(v.position) && std::isfinite(v.radius) && std::isfinite(v.angle));
    }
    qel::Element::drop(u, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::int32_t saved = qel::FILE_VERSION;
    const bool oldTag = (data[0] & 1) != 0;
    const bool oldEdges = (data[0] & 2) != 0;
    qel::FILE_VERSION = oldEdges ? qel::Curve::LastOldEdgeVersion : qel::FILE_VERSION_WRITTEN;

    qel::buffer b(data + 1, size - 1);
    if ((data[0] & 4) != 0) {
        oldResampled(b, oldEdges);
        qel::FILE_VERSION = saved;
        return 0;
    }
    qel::Curve c(b, oldTag);
    check(b.cursor() >= 0 && b.cursor() <= b.size());
    if (c.status != 0) {
        check(c.vertexCount() == 0 && c.edgeCount() == 0);
    } else {
        const std::int64_t nV = c.vertexCount(), nE = c.edgeCount();
        checkAccepted(c, b, oldTag ? 20 : 28, oldEdges);
        qel::buffer written;
        c.DataWrite(written);
        if (!oldTag && !oldEdges) {
            const std::vector<std::uint8_t> expected =
                expectedWriteBack(data + 1, std::size_t(b.cursor()), std::uint32_t(nV), std::uint32_t(nE));
            if (!expected.empty()) {
                check(written.size() == 8 + b.cursor());
                checkWrittenBack(written.data() + 8, expected, std::uint32_t(nV), std::uint32_t(nE));
            }
        }
        // What the scene reader does next with every element it read.
        c.initialize(qel::Element::ResizeKeep);
        if (c.status == 0) checkInvariants(c);
        // The record goes out as a load leaves it: the initialized curve
        // writes the same bytes, and so does that record read back.
        qel::buffer settled;
        c.DataWrite(settled);
        check(settled.bytes() == written.bytes());
        checkRereadWritesTheSame(written);
    }
    qel::FILE_VERSION = saved;
    return 0;
}
