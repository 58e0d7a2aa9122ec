#pragma once
// The GPU buffers of a swept surface (qel::Tube, qel::Revoluton) and the
// drawing from them, shared by both classes: the surface in the six
// attribute blocks of "Mesh/Mesh.glsl" (layout in elements/swept_fill.h)
// and the feature lines (sharp joints and open borders) as GL_LINES.
//
// Builds are incremental: the rebuild flag (raised by construction,
// initialize and touch) reallocates the storage and refills everything;
// the four refill flags (positions, normals, materials, ids) refill single
// blocks, each uploaded on its own. Every call needs the view's GL context
// current, except release, which makes it current when it can.

#include <cstdint>

#include "core/mat.h"
#include "core/vec.h"
#include "elements/swept_fill.h"
#include "gl/pbr.h"

namespace qel {

class Curve;

struct SweptBuffers {
    // Indices of the refill flags.
    enum TRefill { RefillPositions = 0, RefillNormals = 1, RefillMaterials = 2, RefillIds = 3 };

    std::uint32_t surface = 0;                      // buffer of the surface (0: none)
    std::uint8_t rebuild = 1;                       // reallocate and refill everything at the next build
    std::uint8_t enabled = 0;                       // the surface buffer is bound as attributes 0..5
    std::uint64_t offsets[6] = {0, 0, 0, 0, 0, 0};  // byte offset of each attribute block
    std::uint8_t refill[4] = {1, 1, 1, 1};          // positions, normals, materials, ids
    std::uint32_t vertexCount = 0;                  // vertices of the surface, 6 per quad
    std::uint32_t lines = 0;                        // buffer of the feature lines (0: none)
    std::uint32_t lineCount = 0;                    // vertices of the feature lines, 2 per segment
    // The most vertices the surface may be built with: SweptMaxVertices, or
    // less where a load's budget could not pay for more. Every build keeps
    // to it: a larger surface is left out (nothing built or drawn) until an
    // edit brings it within.
    std::uint64_t mostVertices = SweptMaxVertices;
    bool leftOut = false;  // the last build left the surface out

    // Any refill flag is raised.
    bool modified() const { return refill[0] || refill[1] || refill[2] || refill[3]; }

    // Brings both buffers up to date from the carrier and cross-section
    // curves. True when nothing was to do or the upload raised no GL error.
    // False, with every flag left raised so that the next call tries again,
    // for a missing curve or one without edge records (counts 0), a surface
    // over mostVertices (left out: the buffers are released, counts 0) or
    // too large for one buffer (nothing allocated), or a GL error.
    bool build(SweptKind kind, Curve* carrier, Curve* section);
    // build, then binds the surface as attributes 0..5 (kept bound) unless
    // already enabled.
    bool enable(SweptKind kind, Curve* carrier, Curve* section);
    // Unbinds the attributes when enabled.
    void disable();
    // Disables the attributes when bound, flushes and deletes both buffers
    // (with the view's context made current when none is), and forgets the
    // names. Nothing without a buffer.
    void release();
    // Makes the mesh program current, then enable.
    bool renderBegin(SweptKind kind, Curve* carrier, Curve* section);
    void renderEnd() { disable(); }

    // The scene pass through the object matrix M (drawing matrix times the
    // element's local matrix): GL_TRIANGLES of the surface; with last the
    // attributes are released afterwards.
    void render(SweptKind kind, Curve* carrier, Curve* section, unsigned objectId, unsigned itemId, const mat4& M,
                const pbr& material, bool last);
    // The line buffer exists and holds a segment.
    bool hasFeatures() const { return lines != 0 && lineCount != 0; }
    // The feature lines with the program the caller made current; the
    // surface attributes are released first (attribute 0 changes buffer).
    void renderFeatures(const mat4& M, const bvec4& colour, bool last);

private:
    bool uploadSurface(const SweptShape& shape, SweptRefill blocks);
    void uploadLines(bool reallocate);
};

// The working arrays every swept build shares (GUI thread only): kept so
// that refills during a stroke allocate nothing.
SweptScratch& sweptScratch();

}  // namespace qel
