// The mesh's GPU vertex buffers and its drawing: the six attribute arrays
// of the mesh program, refilled per attribute, the feature-line buffer of
// sharp and open edges, and the scene and feature draws.
//
// One GL_ARRAY_BUFFER holds six arrays back to back for N = drawCount
// vertices (three unshared corners per active face, in face order):
// positions 3 f32 at 0, normals 3 half floats at 12N, colour bytes at 18N,
// light bytes at 22N, material 2 i16 at 26N, face index u32 at 30N (34N
// bytes). featureVbo holds the sharp and open edges as GL_LINES, face by
// face. Only the arrays whose refill flag is raised are written; the buffer
// is reallocated when topologyChanged is set or the face list changed size.
// All of it needs a current GL context.
//
// A whole refill writes each array straight into the mapped range of the
// GL buffer by one flat pass over the face records (no staging copy). A
// flag raised as RefillMarked rewrites only the corners of the faces marked
// since (mesh_vbo_ranges.cpp): a brush stamp uploads what it moved or
// painted. The feature segments come from a per-face mask of feature edges
// (bufferState.features), found on a topology change and kept current by
// the operations that change sharp marks or links, so that a position
// refill does not read the neighbour faces again.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "gl/element_draw.h"
#include "gl/gl.h"
#include "gl/glerror.h"
#include "gl/shaders.h"
#include "mesh/mesh.h"
#include "mesh/mesh_vbo_fill.h"
#include "mesh/mesh_vbo_ranges.h"

namespace qel {

namespace {

using vbofill::ArrayBytes;
using vbofill::SegmentBytes;
using vbofill::VertexBytes;

// The flag asks for the whole array (any raised value but RefillMarked).
bool whole(std::uint8_t flag) { return flag != 0 && flag != Mesh::RefillMarked; }

// The layout of a topology change, from one pass over the face flags: the
// face count it is made for, the active faces as a bitmap and, unless every
// face is active, each face's rank among them. Returns the number of active
// faces; -1 when the counts derived from it (3 vertices per face, up to 3
// segments of 2 points per face) would not fit an i32.
long long layOut(Mesh& mesh) {
    MeshBufferState& state = mesh.bufferState;
    const std::size_t n = mesh.faces.size();
    state.faceSlots = n;
    state.activeWords.assign((n + 63) / 64, 0);
    state.rank.resize(n);
    long long count = 0;
    std::size_t f = 0;
    mesh.faces.forRange(0, n, [&](const MeshFace& F) {
        if (F.isActive()) {
            state.activeWords[f >> 6] |= std::uint64_t(1) << (f & 63);
            state.rank[f] = std::int32_t(count++);
        } else {
            state.rank[f] = -1;
        }
        ++f;
    });
    state.everyFaceActive = count == (long long)n;
    if (state.everyFaceActive) std::vector<std::int32_t>().swap(state.rank);
    // The corners are listed as 3 f + k in 32 bits.
    if (count > std::numeric_limits<std::int32_t>::max() / 6 || n > std::numeric_limits<std::uint32_t>::max() / 3)
        return -1;
    return count;
}

// Calls fn(F, f) for every face, active or not, in index order, and returns
// the number of active faces; fn is told whether the face is drawn: active
// and among the first `capacity` active faces (a count other than the
// capacity tells that the face set changed since the buffer was sized,
// while nothing is ever written past it).
template <class Fn>
long long forFaces(const Mesh& mesh, long long capacity, Fn fn) {
    long long seen = 0;
    std::int32_t index = 0;
    mesh.faces.forRange(0, mesh.faces.size(), [&](const MeshFace& F) {
        const std::int32_t f = index++;
        const bool drawn = F.isActive() && seen++ < capacity;
        fn(F, f, drawn);
    });
    return seen;
}

// What the whole position pass does beside the positions: the feature
// points gathered into lines (two per segment) with each face's first
// segment, the feature masks found again when asked, and on a topology
// change the faces using each vertex.
struct PositionPass {
    std::vector<vec3>& lines;
    bool findMasks;
    bool countCorners;
};

// The corners of the drawn faces using each vertex (3 f + k), from the
// counts in fanFirst: the counts summed into starts, then a second pass
// over the faces' corners.
void listFans(Mesh& mesh, long long capacity) {
    MeshBufferState& state = mesh.bufferState;
    std::vector<std::uint32_t>& first = state.fanFirst;
    for (std::size_t v = 1; v < first.size(); ++v) first[v] += first[v - 1];
    state.fanCorners.resize(first.back());
    std::vector<std::uint32_t> next(first.begin(), first.end() - 1);
    forFaces(mesh, capacity, [&](const MeshFace& F, std::int32_t f, bool drawn) {
        if (!drawn) return;
        for (std::uint32_t k = 0; k < 3; ++k) {
            const std::int32_t v = F.v[k];
            if (std::uint32_t(v) < next.size())
                state.fanCorners[next[std::size_t(v)]++] = 3 * std::uint32_t(f) + k;
        }
    });
}

// Array 0 and the feature points, in one pass.
long long fillPositions(Mesh& mesh, long long capacity, std::uint8_t* dst, PositionPass& pass) {
    MeshBufferState& state = mesh.bufferState;
    FeatureEdges& features = state.features;
    const std::size_t n = mesh.faces.size();
    if (pass.findMasks) features.mask.assign(n, 0);
    features.first.resize(n + 1);
    // Counted one place on (fanFirst[v + 1]), then summed into the starts.
    if (pass.countCorners) state.fanFirst.assign(mesh.vertices.size() + 1, 0);
    const long long seen = forFaces(mesh, capacity, [&](const MeshFace& F, std::int32_t f, bool drawn) {
        features.first[std::size_t(f)] = std::uint32_t(pass.lines.size() / 2);
        if (!drawn) return;
        dst = vbofill::writePositions(mesh.vertices, F, dst);
        std::uint8_t& mask = features.mask[std::size_t(f)];
        if (pass.findMasks) mask = featureMask(F, f, state);
        if (mask) vbofill::appendFeatures(mesh.vertices, F, mask, pass.lines);
        if (pass.countCorners)
            for (const std::int32_t v : F.v)
                if (std::uint32_t(v) < mesh.vertices.size()) ++state.fanFirst[std::size_t(v) + 1];
    });
    features.first[n] = std::uint32_t(pass.lines.size() / 2);
    if (pass.countCorners) listFans(mesh, capacity);
    return seen;
}

// Array 1: the corner normals as half floats.
long long fillNormals(const Mesh& mesh, long long capacity, std::uint8_t* dst) {
    return forFaces(mesh, capacity, [&dst](const MeshFace& F, std::int32_t, bool drawn) {
        if (drawn) dst = vbofill::writeNormals(F, dst);
    });
}

// Arrays 2-4, one contiguous range of 12 N bytes (N = 3 x capacity): the
// high bytes of the corner colours, the high bytes of the corner lights,
// then roughness and metalness as two i16.
long long fillPaint(const Mesh& mesh, long long capacity, std::uint8_t* dst) {
    const std::uint64_t n = 3 * std::uint64_t(capacity);
    std::uint8_t* colour = dst;
    std::uint8_t* light = dst + 4 * n;
    std::uint8_t* material = dst + 8 * n;
    return forFaces(mesh, capacity, [&](const MeshFace& F, std::int32_t, bool drawn) {
        if (drawn) vbofill::writePaint(F, colour, light, material);
    });
}

// Array 5: the index of the face, once per corner.
long long fillIds(const Mesh& mesh, long long capacity, std::uint8_t* dst) {
    return forFaces(mesh, capacity, [&dst](const MeshFace&, std::int32_t f, bool drawn) {
        if (!drawn) return;
        const std::uint32_t ids[3] = {std::uint32_t(f), std::uint32_t(f), std::uint32_t(f)};
        std::memcpy(dst, ids, sizeof ids);
        dst += sizeof ids;
    });
}

// The feature points of the last position fill. Kept between builds so
// that refills do not allocate (GUI thread only).
std::vector<vec3>& featureScratch() {
    static std::vector<vec3> points;
    return points;
}

// Writes length bytes at offset of the bound GL_ARRAY_BUFFER through fill,
// which receives the mapped range. An empty range maps nothing; fill still
// runs (with null, writing nothing) so that it can count the faces. False
// when the range cannot be mapped or its contents were lost before
// unmapping.
template <class Fill>
bool writeRange(std::uint64_t offset, std::uint64_t length, Fill fill) {
    if (length == 0) {
        fill(nullptr);
        return true;
    }
    void* p = gl->glMapBufferRange(GL_ARRAY_BUFFER, GLintptr(offset), GLsizeiptr(length),
                                   GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
    if (!p) return false;
    fill(static_cast<std::uint8_t*>(p));
    return gl->glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE;
}

void raiseAllRefills(Mesh& mesh) {
    for (std::uint8_t& flag : mesh.refill) flag = Mesh::RefillWhole;
}

// drawCount and the six array offsets for faceTotal faces; the vertex
// buffer is created when missing, bound, and reallocated after a topology
// change.
void sizeArrays(Mesh& mesh, long long faceTotal) {
    const std::uint64_t n = 3 * std::uint64_t(faceTotal);
    mesh.drawCount = std::int32_t(n);
    std::uint64_t offset = 0;
    for (int i = 0; i < 6; ++i) {
        mesh.vboOffsets[i] = offset;
        offset += ArrayBytes[i] * n;
    }
    if (mesh.vbo == 0) gl->glGenBuffers(1, &mesh.vbo);
    gl->glBindBuffer(GL_ARRAY_BUFFER, mesh.vbo);
    if (mesh.topologyChanged) gl->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(VertexBytes * n), nullptr, GL_DYNAMIC_DRAW);
}

// Refills the arrays asked for whole in the bound vertex buffer, one pass
// each; a position refill also gathers the feature points into lines.
// written turns false when a range cannot be written. Returns the active
// face count the passes found (faceTotal unless the face set changed).
long long refillWholeArrays(Mesh& mesh, long long faceTotal, std::vector<vec3>& lines, bool& written) {
    const std::uint64_t n = 3 * std::uint64_t(faceTotal);
    long long seen = faceTotal;
    auto refillRange = [&](int flag, int array, std::uint64_t bytesPerVertex, auto fill) {
        if (!written || !whole(mesh.refill[flag])) return;
        written = writeRange(mesh.vboOffsets[array], bytesPerVertex * n, [&](std::uint8_t* p) {
            const long long found = fill(p);
            if (found != faceTotal) seen = found;
        });
    };
    PositionPass pass{lines, mesh.topologyChanged || mesh.bufferState.features.allStale, mesh.topologyChanged != 0};
    refillRange(0, 0, 12, [&](std::uint8_t* p) { return fillPositions(mesh, faceTotal, p, pass); });
    refillRange(1, 1, 6, [&](std::uint8_t* p) { return fillNormals(mesh, faceTotal, p); });
    refillRange(2, 2, 12, [&](std::uint8_t* p) { return fillPaint(mesh, faceTotal, p); });
    refillRange(3, 5, 4, [&](std::uint8_t* p) { return fillIds(mesh, faceTotal, p); });
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    return seen;
}

// The line buffer after a whole position refill: reallocated when it is
// new, the face set changed or the segment count no longer fits it (marking
// an edge sharp changes the count without touching the face set), then
// filled with the gathered points.
bool buildFeatureLines(Mesh& mesh, const std::vector<vec3>& points) {
    const std::uint64_t segments = points.size() / 2;
    if (segments == 0) {
        mesh.featureCount = 0;
        if (mesh.featureVbo != 0 && mesh.topologyChanged) {
            gl->glBindBuffer(GL_ARRAY_BUFFER, mesh.featureVbo);
            gl->glBufferData(GL_ARRAY_BUFFER, 0, nullptr, GL_DYNAMIC_DRAW);
        }
        return true;
    }
    const std::uint64_t bytes = SegmentBytes * segments;
    bool reallocate = mesh.topologyChanged != 0;
    if (mesh.featureVbo == 0) {
        gl->glGenBuffers(1, &mesh.featureVbo);
        reallocate = true;
    }
    gl->glBindBuffer(GL_ARRAY_BUFFER, mesh.featureVbo);
    if (!reallocate) {
        GLint size = 0;
        gl->glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
        reallocate = std::uint64_t(size) != bytes;
    }
    if (reallocate) gl->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(bytes), nullptr, GL_DYNAMIC_DRAW);
    mesh.featureCount = std::int32_t(2 * segments);
    gl->glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(bytes), points.data());
    return true;
}

}  // namespace

// Any of the four refill flags is raised.
bool Mesh::vbo_modified() const { return refill[0] || refill[1] || refill[2] || refill[3]; }

// Slot 21: brings both buffers up to date; false on a GL error (the refill
// flags then stay raised so that the next draw retries).
bool Mesh::buildVBO() {
    if (!gl) return false;
    if (vbo == 0) {
        topologyChanged = 1;
        // A line buffer left without its vertex buffer is released, not
        // dropped: its name belongs to this mesh.
        if (featureVbo != 0) gl->glDeleteBuffers(1, &featureVbo);
        featureVbo = 0;
        featureCount = 0;
    }
    // Faces added or dropped move the corners of every later face.
    if (!bufferState.laidOut || faces.size() != bufferState.faceSlots) topologyChanged = 1;
    if (topologyChanged)
        raiseAllRefills(*this);
    else
        bufferState.settle();
    if (!vbo_modified()) return true;

    // Without a topology change the face set is the one the buffer was sized
    // for; the whole fills check that on the way.
    long long faceTotal = drawCount / 3;
    if (topologyChanged || drawCount < 0 || drawCount % 3 != 0) {
        topologyChanged = 1;
        raiseAllRefills(*this);
        faceTotal = layOut(*this);
        if (faceTotal < 0) return false;
    }

    // Bound attributes may point into ranges about to move: release them;
    // the next enableVBO sets them again.
    disableVBO();
    glClearErrors();
    sizeArrays(*this, faceTotal);
    std::vector<vec3>& lines = featureScratch();
    lines.clear();
    bool written = true;
    const long long seen = refillWholeArrays(*this, faceTotal, lines, written);
    bool layoutHolds = seen == faceTotal;
    if (written && layoutHolds && whole(refill[0])) written = buildFeatureLines(*this, lines);
    if (written && layoutHolds) written = refillMarkedArrays(*this, layoutHolds);
    if (written && !layoutHolds) {
        // The face set changed without topologyChanged: the arrays were
        // sized for the old count. Everything is rebuilt at the new size
        // (the counting pass of a topology change makes this happen once).
        topologyChanged = 1;
        return buildVBO();
    }
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);

    if (gl->glGetError() != GL_NO_ERROR || !written) {
        glReportError("ERROR Mesh::buildVBO");
        // The flags stay raised; the retry reallocates from a clean state.
        topologyChanged = 1;
        return false;
    }
    bufferState.built();
    refill[0] = refill[1] = refill[2] = refill[3] = 0;
    topologyChanged = 0;
    return true;
}

// Slot 22: releases both GL buffers and forgets their names; nothing when
// the mesh has none.
void Mesh::deleteVBO() {
    if (vbo == 0 && featureVbo == 0) return;
    // The next build starts from nothing: what the buffers were built from
    // is dropped with them.
    bufferState.reset();
    if (gl) {
        disableVBO();
        if (vbo != 0) gl->glDeleteBuffers(1, &vbo);
        if (featureVbo != 0) gl->glDeleteBuffers(1, &featureVbo);
    }
    vbo = 0;
    featureVbo = 0;
    featureCount = 0;
    vboEnabled = 0;
}

// Slot 23: builds the buffers when needed and binds the six attributes.
bool Mesh::enableVBO() {
    if (!buildVBO()) return false;
    if (vboEnabled) return true;
    if (!bindVertexArray()) return false;
    gl->glBindBuffer(GL_ARRAY_BUFFER, vbo);
    pointSurfaceAttributes(vboOffsets);
    forgetUnitShapes();
    vboEnabled = 1;
    return true;
}

// Slot 24: unbinds the six attributes when they are bound.
void Mesh::disableVBO() {
    if (!vboEnabled) return;
    vboEnabled = 0;
    if (!gl) return;
    releaseSurfaceAttributes();
}

// Slot 25: makes the mesh program current, then enableVBO.
bool Mesh::renderBegin() {
    if (!gl || !ShaderMesh || !ShaderMesh->enable()) return false;
    return enableVBO();
}

// Slot 26: disableVBO.
void Mesh::renderEnd() { disableVBO(); }

// Slot 27: draws the mesh through m * localMatrix() into the scene targets
// (identifier, colour, light, normal). itemId 0xffffffff writes each
// face's own index as the item id. colorLight and time are not used by
// meshes. end releases the attributes after drawing.
void Mesh::render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight, float,
                  bool end) {
    if (!renderBegin()) return;
    setSurfaceUniforms(objectId, itemId, m * localMatrix(), material);
    if (drawCount > 0) gl->glDrawArrays(GL_TRIANGLES, 0, drawCount);
    if (end) renderEnd();
}

// Slot 28: the line buffer exists and holds at least one segment.
bool Mesh::hasFeatures() const { return featureVbo != 0 && featureCount != 0; }

// Slot 29: draws the feature lines with the program the caller bound
// (uniforms "ProjectionModelViewMatrix" and "Color").
void Mesh::renderFeatures(const mat4& m, const bvec4& colour, bool end) {
    if (!hasFeatures() || !gl) return;
    // Attribute 0 is about to read the line buffer: the surface attributes
    // are released so that the next render binds them again.
    disableVBO();
    if (!bindVertexArray()) return;
    setFeatureUniforms(m * localMatrix(), colour);
    gl->glBindBuffer(GL_ARRAY_BUFFER, featureVbo);
    gl->glEnableVertexAttribArray(0);
    gl->glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    forgetUnitShapes();
    gl->glDrawArrays(GL_LINES, 0, featureCount);
    if (end) {
        gl->glDisableVertexAttribArray(0);
        gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    }
}

}  // namespace qel
