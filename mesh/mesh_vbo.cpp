// The mesh's GPU vertex buffers and its drawing: the six attribute arrays
// of the mesh program, refilled per attribute, the feature-line buffer of
// sharp and open edges, and the scene and feature draws.
//
// Each array is written straight into the mapped range of the GL buffer by
// one flat pass over the face records, so a refill needs no staging copy,
// and a brush stroke that only moves vertices uploads only the position
// array (plus the feature lines, gathered in the same pass into a scratch
// list that is kept from one refill to the next).
//
// One GL_ARRAY_BUFFER holds six arrays back to back for N = drawCount
// vertices (three unshared corners per active face, in face order):
// positions 3 f32 at 0, normals 3 half floats at 12N, colour bytes at 18N,
// light bytes at 22N, material 2 i16 at 26N, face index u32 at 30N (34N
// bytes). featureVbo holds the sharp and open edges as GL_LINES. Only the
// arrays whose refill flag is raised are refilled; the buffer is
// reallocated when topologyChanged is set or the active face count no
// longer matches drawCount. All of it needs a current GL context.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "gl/element_draw.h"
#include "gl/gl.h"
#include "gl/glerror.h"
#include "gl/shaders.h"
#include "mesh/half_float.h"
#include "mesh/mesh.h"

namespace qel {

namespace {

// Bytes per vertex of each array, in buffer order: position, normal, colour,
// light, material, face id.
constexpr std::uint64_t ArrayBytes[6] = {12, 6, 4, 4, 4, 4};
constexpr std::uint64_t VertexBytes = 34;
// Bytes per feature segment: two points of three floats.
constexpr std::uint64_t SegmentBytes = 24;

// The position of vertex v, the origin for an index outside the list (a
// face naming a missing vertex must not make the fill read out of bounds).
inline const vec3& cornerPosition(const Mesh::VertexList& vertices, std::int32_t v) {
    static const vec3 origin(0, 0, 0);
    return std::uint32_t(v) < vertices.size() ? vertices[std::uint32_t(v)].position : origin;
}

// Edge k of face f (record F) is drawn as a feature line: it is sharp or
// open, and an interior sharp edge is emitted once, from the face with the
// larger index. A link outside the list or to an inactive face counts as
// open.
inline bool featureEdge(const Mesh& mesh, const MeshFace& F, int f, int k) {
    const int g = F.f[k];
    const bool open = !mesh.activeFace(g);
    if (open) return true;
    return F.isSharp(k) && f >= g;
}

// Number of active faces; -1 when the counts derived from it (3 vertices
// per face, up to 3 segments of 2 points per face) would not fit an i32.
long long activeFaceCount(const Mesh& mesh) {
    long long count = 0;
    mesh.faces.forRange(0, mesh.faces.size(), [&count](const MeshFace& F) { count += F.isActive() ? 1 : 0; });
    if (count > std::numeric_limits<std::int32_t>::max() / 6) return -1;
    return count;
}

// Calls fn(F, f) for the first `capacity` active faces in index order and
// returns the number of active faces in all: a result other than the
// capacity tells that the face set changed since the buffer was sized,
// while nothing is ever written past it.
template <class Fn>
long long forActiveFaces(const Mesh& mesh, long long capacity, Fn fn) {
    long long seen = 0;
    std::int32_t index = 0;
    mesh.faces.forRange(0, mesh.faces.size(), [&](const MeshFace& F) {
        const std::int32_t f = index++;
        if (!F.isActive()) return;
        if (seen++ < capacity) fn(F, f);
    });
    return seen;
}

// Array 0: the corner positions. The feature segments are gathered on the
// way into lines (two points each), so that they need no second pass:
// edge k runs from corner (k+2)%3 to corner (k+1)%3.
long long fillPositions(const Mesh& mesh, long long capacity, std::uint8_t* dst, std::vector<vec3>& lines) {
    static const int next[3] = {1, 2, 0};
    static const int prev[3] = {2, 0, 1};
    return forActiveFaces(mesh, capacity, [&](const MeshFace& F, std::int32_t f) {
        for (int c = 0; c < 3; ++c) {
            std::memcpy(dst, &cornerPosition(mesh.vertices, F.v[c]), 12);
            dst += 12;
            if (featureEdge(mesh, F, f, c)) {
                lines.push_back(cornerPosition(mesh.vertices, F.v[prev[c]]));
                lines.push_back(cornerPosition(mesh.vertices, F.v[next[c]]));
            }
        }
    });
}

// Array 1: the corner normals as half floats.
long long fillNormals(const Mesh& mesh, long long capacity, std::uint8_t* dst) {
    return forActiveFaces(mesh, capacity, [&dst](const MeshFace& F, std::int32_t) {
        for (int c = 0; c < 3; ++c) dst = writeHalf3(dst, F.normals[c]);
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
    return forActiveFaces(mesh, capacity, [&](const MeshFace& F, std::int32_t) {
        for (int c = 0; c < 3; ++c) {
            const pbr& p = F.material[c];
            for (int i = 0; i < 4; ++i) {
                colour[i] = std::uint8_t(p.colour[i] >> 8);
                light[i] = std::uint8_t(p.light[i] >> 8);
            }
            const std::int16_t rm[2] = {p.roughness, p.metalness};
            std::memcpy(material, rm, 4);
            colour += 4;
            light += 4;
            material += 4;
        }
    });
}

// Array 5: the index of the face, once per corner.
long long fillIds(const Mesh& mesh, long long capacity, std::uint8_t* dst) {
    return forActiveFaces(mesh, capacity, [&dst](const MeshFace&, std::int32_t f) {
        const std::uint32_t ids[3] = {std::uint32_t(f), std::uint32_t(f), std::uint32_t(f)};
        std::memcpy(dst, ids, sizeof ids);
        dst += sizeof ids;
    });
}

// The feature points of the last position fill. Kept between builds so
// that refills during a stroke do not allocate (GUI thread only).
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

void raiseAllRefills(Mesh& mesh) { mesh.refill[0] = mesh.refill[1] = mesh.refill[2] = mesh.refill[3] = 1; }

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

// Refills the arrays whose flag is raised in the bound vertex buffer, one
// pass each; a position refill also gathers the feature points into lines.
// written turns false when a range cannot be written. Returns the active
// face count the passes found (faceTotal unless the face set changed).
long long refillArrays(Mesh& mesh, long long faceTotal, std::vector<vec3>& lines, bool& written) {
    const std::uint64_t n = 3 * std::uint64_t(faceTotal);
    long long seen = faceTotal;
    auto refillRange = [&](int flag, int array, std::uint64_t bytesPerVertex, auto fill) {
        if (!written || !mesh.refill[flag]) return;
        written = writeRange(mesh.vboOffsets[array], bytesPerVertex * n, [&](std::uint8_t* p) {
            const long long found = fill(p);
            if (found != faceTotal) seen = found;
        });
    };
    refillRange(0, 0, 12, [&](std::uint8_t* p) { return fillPositions(mesh, faceTotal, p, lines); });
    refillRange(1, 1, 6, [&](std::uint8_t* p) { return fillNormals(mesh, faceTotal, p); });
    refillRange(2, 2, 12, [&](std::uint8_t* p) { return fillPaint(mesh, faceTotal, p); });
    refillRange(3, 5, 4, [&](std::uint8_t* p) { return fillIds(mesh, faceTotal, p); });
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    return seen;
}

// The line buffer after a position refill: reallocated when it is new, the
// face set changed or the segment count no longer fits it (marking an edge
// sharp changes the count without touching the face set), then filled with
// the gathered points.
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
    if (topologyChanged) raiseAllRefills(*this);
    if (!vbo_modified()) return true;

    // Without a topology change the face set is the one the buffer was sized
    // for; the fills check that on the way.
    long long faceTotal = drawCount / 3;
    if (topologyChanged || drawCount < 0 || drawCount % 3 != 0) {
        topologyChanged = 1;
        faceTotal = activeFaceCount(*this);
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
    const long long seen = refillArrays(*this, faceTotal, lines, written);
    if (written && seen != faceTotal) {
        // The face set changed without topologyChanged: the arrays were
        // sized for the old count. Everything is rebuilt at the new size
        // (the counting pass of a topology change makes this happen once).
        topologyChanged = 1;
        return buildVBO();
    }
    if (written && refill[0]) written = buildFeatureLines(*this, lines);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);

    if (gl->glGetError() != GL_NO_ERROR || !written) {
        glReportError("ERROR Mesh::buildVBO");
        // The flags stay raised; the retry reallocates from a clean state.
        topologyChanged = 1;
        return false;
    }
    refill[0] = refill[1] = refill[2] = refill[3] = 0;
    topologyChanged = 0;
    return true;
}

// Slot 22: releases both GL buffers and forgets their names; nothing when
// the mesh has none.
void Mesh::deleteVBO() {
    if (vbo == 0 && featureVbo == 0) return;
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
