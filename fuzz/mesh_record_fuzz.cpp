// Fuzz target of the mesh record reader: qel::Mesh(buffer&) on arbitrary
// bodies in both face layouts, then the rebuild that the scene reader runs.
//
// Input: byte 0 chooses the file version (bit 0: the old 41-byte faces or
// the current 73-byte ones); the rest is the record body. Checked: the
// reader never reads outside the bytes (the sanitizers), a refused body
// leaves an empty mesh with status 1, an accepted one consumed exactly
// 24 + 13 nV + faceSize nF bytes with every corner inside the vertex list
// and a finite centre, size and positions, and a current-layout body whose
// floats were finite is written back as the reader repaired it: byte for
// byte but for a stored size of 0 (read as 1), roughness and metalness
// outside the editors' range (clamped into it) and the transient marks of
// the flags (neither read nor written: only a vertex's feature bits, a
// face's sharp edges and the active bit of both are kept).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gl/buffer.h"
#include "gl/pbr.h"
#include "mesh/mesh.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

bool finite(const qel::vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// The n floats at p are all finite.
bool finiteFloats(const std::uint8_t* p, int n) {
    for (int i = 0; i < n; ++i) {
        float f;
        std::memcpy(&f, p + 4 * i, 4);
        if (!std::isfinite(f)) return false;
    }
    return true;
}

// The body as the reader repairs it: a stored size of 0 reads as 1 (an
// element's size is never 0), every corner's roughness and metalness are
// clamped into the range the editors keep, and the flags lose their
// transient marks (bits 4 and up).
std::vector<std::uint8_t> repaired(const std::uint8_t* body, std::size_t length, std::int64_t nV, std::int64_t nF) {
    std::vector<std::uint8_t> r(body, body + length);
    float size0;
    std::memcpy(&size0, r.data() + 12, 4);
    if (size0 == 0.0f) {
        const float one = 1.0f;
        std::memcpy(r.data() + 12, &one, 4);
    }
    for (std::int64_t v = 0; v < nV; ++v) r[20 + 13 * std::size_t(v) + 12] &= 0x0F;
    const std::size_t faces = 24 + 13 * std::size_t(nV);
    for (std::int64_t f = 0; f < nF; ++f) {
        r[faces + 73 * std::size_t(f) + 72] &= 0x0F;
        for (int k = 0; k < 3; ++k) {
            // Per corner: the u32 index, then colour and light (16 bytes),
            // then roughness and metalness (signed 16-bit, little-endian).
            std::uint8_t* channel = r.data() + faces + 73 * std::size_t(f) + 24 * std::size_t(k) + 4 + 16;
            for (int c = 0; c < 2; ++c, channel += 2) {
                const std::int16_t stored = std::int16_t(std::uint16_t(channel[0] | (channel[1] << 8)));
                const std::uint16_t kept = std::uint16_t(qel::pbr::clampSigned(stored));
                channel[0] = std::uint8_t(kept & 0xFF);
                channel[1] = std::uint8_t(kept >> 8);
            }
        }
    }
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::int32_t saved = qel::FILE_VERSION;
    const bool old = (data[0] & 1) != 0;
    qel::FILE_VERSION = old ? qel::Mesh::LastOldFaceVersion : qel::FILE_VERSION_WRITTEN;

    qel::buffer b(data + 1, size - 1);
    qel::Mesh m(b);
    check(b.cursor() >= 0 && b.cursor() <= b.size());
    if (m.status != 0) {
        check(m.vertexCount() == 0 && m.faceCount() == 0);
    } else {
        const std::int64_t nV = m.vertexCount(), nF = m.faceCount();
        check(b.cursor() == 24 + 13 * nV + (old ? 41 : 73) * nF);
        for (int f = 0; f < m.faceCount(); ++f)
            for (int k = 0; k < 3; ++k) check(m.faces[f].v[k] >= 0 && m.faces[f].v[k] < nV);
        check(finite(m.centre) && std::isfinite(m.size()));
        bool stored = finiteFloats(data + 1, 4);
        for (int v = 0; v < m.vertexCount(); ++v) {
            check(finite(m.vertices[v].position));
            stored = stored && finiteFloats(data + 1 + 20 + 13 * v, 3);
        }
        if (!old && stored) {
            qel::buffer out;
            m.DataWrite(out);
            check(out.size() == 8 + b.cursor());
            const std::vector<std::uint8_t> expected = repaired(data + 1, std::size_t(b.cursor()), nV, nF);
            check(std::memcmp(out.data() + 8, expected.data(), expected.size()) == 0);
        }
        // What the scene reader does next with every element it read.
        m.initialize(qel::Element::ResizeKeep);
    }
    qel::FILE_VERSION = saved;
    return 0;
}
