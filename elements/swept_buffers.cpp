// The GPU buffers of a swept surface and its drawing.
//
// The refilled blocks are written straight into one mapped range of the
// surface buffer (from the first block asked for to the end of the last;
// a block lying between them is refilled too), so a build needs no staging
// copy of the surface.

#include "elements/swept_buffers.h"

#include <QOpenGLContext>

#include "curves/curve.h"
#include "gl/element_draw.h"
#include "gl/gl.h"
#include "gl/glerror.h"
#include "gl/gpu_scope.h"
#include "gl/shaders.h"

namespace qel {

namespace {

// The range of blocks (0..5) a refill covers, widened to a contiguous
// run: every group lying inside the run is refilled with it.
void contiguousRun(SweptRefill& r, int& first, int& last) {
    const bool asked[6] = {r.positions, r.normals, r.materials, r.materials, r.materials, r.ids};
    first = 6;
    last = -1;
    for (int k = 0; k < 6; ++k)
        if (asked[k]) {
            if (first == 6) first = k;
            last = k;
        }
    r.normals = first <= 1 && last >= 1;
    r.materials = first <= 4 && last >= 2;
}

}  // namespace

SweptScratch& sweptScratch() {
    static SweptScratch scratch;
    return scratch;
}

bool SweptBuffers::build(SweptKind kind, Curve* carrier, Curve* section) {
    if (!gl) return false;
    if (surface == 0) {
        rebuild = 1;
        // A line buffer left without its surface is still this element's:
        // released, not dropped.
        if (lines != 0) gl->glDeleteBuffers(1, &lines);
        lines = 0;
        lineCount = 0;
    }
    if (rebuild) refill[0] = refill[1] = refill[2] = refill[3] = 1;
    if (!modified()) return true;
    if (!carrier || !section || carrier->edges.empty() || section->edges.empty()) {
        vertexCount = 0;
        lineCount = 0;
        return false;
    }
    const SweptShape shape{kind, carrier, section};
    std::uint64_t wanted = 0, cost = 0;
    sweptSurfaceCost(shape, wanted, cost);
    leftOut = wanted > mostVertices;
    if (leftOut) {
        // Nothing of an earlier build is drawn either; the flags stay
        // raised, so that an edit that brings the surface within is built.
        release();
        vertexCount = 0;
        return false;
    }
    std::uint32_t n = 0;
    if (!sweptSurfaceSize(shape, n)) {
        glReportError("ERROR SweptBuffers::build: the surface does not fit one buffer");
        vertexCount = 0;
        lineCount = 0;
        return false;
    }
    // Storage sized for another count cannot take single blocks.
    if (n != vertexCount) rebuild = 1;
    if (rebuild) refill[0] = refill[1] = refill[2] = refill[3] = 1;

    // Bound attributes may point into ranges about to move.
    disable();
    gl->glFlush();
    glClearErrors();
    SweptRefill blocks;
    blocks.positions = refill[RefillPositions] != 0;
    blocks.normals = refill[RefillNormals] != 0;
    blocks.materials = refill[RefillMaterials] != 0;
    blocks.ids = refill[RefillIds] != 0;
    if (kind == SweptKind::Tube && (blocks.positions || blocks.normals)) carrier->calculateOrientations(false);
    vertexCount = n;
    for (int k = 0; k < 6; ++k) offsets[k] = sweptBlockOffset(k, n);
    const bool written = uploadSurface(shape, blocks);
    if (written && blocks.positions) uploadLines(rebuild != 0);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    gl->glFlush();
    if (!written || gl->glGetError() != GL_NO_ERROR) {
        glReportError("ERROR SweptBuffers::build");
        return false;
    }
    refill[0] = refill[1] = refill[2] = refill[3] = 0;
    rebuild = 0;
    enabled = 0;
    return true;
}

bool SweptBuffers::uploadSurface(const SweptShape& shape, SweptRefill blocks) {
    const std::uint64_t n = vertexCount;
    if (surface == 0) gl->glGenBuffers(1, &surface);
    gl->glBindBuffer(GL_ARRAY_BUFFER, surface);
    if (rebuild) gl->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(SweptVertexBytes * n), nullptr, GL_DYNAMIC_DRAW);
    int first = 0, last = 0;
    contiguousRun(blocks, first, last);
    const std::uint64_t lo = sweptBlockOffset(first, n), hi = sweptBlockOffset(last + 1, n);
    SweptScratch& scratch = sweptScratch();
    if (hi <= lo) {
        // An empty surface: the fill still clears the feature lines.
        fillSweptSurface(shape, vertexCount, blocks, scratch, nullptr, lo);
        return true;
    }
    void* p = gl->glMapBufferRange(GL_ARRAY_BUFFER, GLintptr(lo), GLsizeiptr(hi - lo),
                                   GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
    if (!p) return false;
    fillSweptSurface(shape, vertexCount, blocks, scratch, static_cast<std::uint8_t*>(p), lo);
    // False when the range's contents were lost before unmapping.
    return gl->glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE;
}

void SweptBuffers::uploadLines(bool reallocate) {
    const std::vector<vec3>& points = sweptScratch().lines;
    const std::uint64_t bytes = sizeof(vec3) * points.size();
    lineCount = std::uint32_t(points.size());
    if (points.empty()) {
        if (lines != 0 && reallocate) {
            gl->glBindBuffer(GL_ARRAY_BUFFER, lines);
            gl->glBufferData(GL_ARRAY_BUFFER, 0, nullptr, GL_DYNAMIC_DRAW);
        }
        return;
    }
    if (lines == 0) {
        gl->glGenBuffers(1, &lines);
        reallocate = true;
    }
    gl->glBindBuffer(GL_ARRAY_BUFFER, lines);
    if (!reallocate) {
        // A refill of the positions may find more or fewer sharp joints
        // than the storage was made for (a joint sharpened by a stroke).
        GLint size = 0;
        gl->glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
        reallocate = std::uint64_t(size) != bytes;
    }
    if (reallocate) gl->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(bytes), nullptr, GL_DYNAMIC_DRAW);
    gl->glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(bytes), points.data());
}

bool SweptBuffers::enable(SweptKind kind, Curve* carrier, Curve* section) {
    if (!build(kind, carrier, section)) return false;
    if (enabled) return true;
    if (!bindVertexArray()) return false;
    gl->glBindBuffer(GL_ARRAY_BUFFER, surface);
    pointSurfaceAttributes(offsets);
    forgetUnitShapes();
    enabled = 1;
    return true;
}

void SweptBuffers::disable() {
    if (!enabled) return;
    enabled = 0;
    if (gl) releaseSurfaceAttributes();
}

void SweptBuffers::release() {
    if (surface == 0 && lines == 0) return;
    GpuScope scope;
    if (gl && QOpenGLContext::currentContext()) {
        disable();
        gl->glFlush();
        const GLuint names[2] = {surface, lines};
        gl->glDeleteBuffers(2, names);
    }
    // Without a context the names went with it.
    enabled = 0;
    surface = 0;
    lines = 0;
    lineCount = 0;
}

bool SweptBuffers::renderBegin(SweptKind kind, Curve* carrier, Curve* section) {
    if (!gl || !ShaderMesh || !ShaderMesh->enable()) return false;
    return enable(kind, carrier, section);
}

void SweptBuffers::render(SweptKind kind, Curve* carrier, Curve* section, unsigned objectId, unsigned itemId,
                          const mat4& M, const pbr& material, bool last) {
    if (!renderBegin(kind, carrier, section)) return;
    setSurfaceUniforms(objectId, itemId, M, material);
    if (vertexCount > 0) gl->glDrawArrays(GL_TRIANGLES, 0, GLsizei(vertexCount));
    if (last) renderEnd();
}

void SweptBuffers::renderFeatures(const mat4& M, const bvec4& colour, bool last) {
    if (!hasFeatures() || !gl) return;
    // Attribute 0 is about to read the line buffer: the surface attributes
    // are released so that the next render binds them again.
    disable();
    if (!bindVertexArray()) return;
    setFeatureUniforms(M, colour);
    gl->glBindBuffer(GL_ARRAY_BUFFER, lines);
    gl->glEnableVertexAttribArray(0);
    gl->glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    forgetUnitShapes();
    gl->glDrawArrays(GL_LINES, 0, GLsizei(lineCount));
    if (last) {
        gl->glDisableVertexAttribArray(0);
        gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    }
}

}  // namespace qel
