// Drawing of qel::Curve: its line buffer and the scene and feature passes.
//
// The positions are written straight into the mapped buffer, so a build
// needs no staging copy.

#include <QOpenGLContext>
#include <cstring>

#include "curves/curve.h"
#include "gl/element_draw.h"
#include "gl/gl.h"
#include "gl/glerror.h"
#include "gl/gpu_scope.h"
#include "gl/shaders.h"

namespace qel {

namespace {

// Bytes of the line buffer the largest curve may have: 2 GiB.
constexpr std::uint64_t MaxLineBytes = std::uint64_t(1) << 31;

// An edge drawn as a line: active, with both vertices in the array.
bool drawnEdge(const Curve& c, const CurveEdge& E) {
    return E.isActive() && c.validVertex(E.v[0]) && c.validVertex(E.v[1]);
}

std::uint64_t drawnEdgeCount(const Curve& c) {
    std::uint64_t count = 0;
    for (const CurveEdge& E : c.edges) count += drawnEdge(c, E) ? 1 : 0;
    return count;
}

// Both end positions of every drawn edge, in edge order.
void fillLines(const Curve& c, std::uint8_t* dst) {
    for (const CurveEdge& E : c.edges) {
        if (!drawnEdge(c, E)) continue;
        std::memcpy(dst, &c.vertices[std::size_t(E.v[0])].position, 12);
        std::memcpy(dst + 12, &c.vertices[std::size_t(E.v[1])].position, 12);
        dst += 24;
    }
}

}  // namespace

bool Curve::vbo_modified() const { return modified != 0; }

bool Curve::buildVBO() {
    if (!gl) return false;
    if (vbo != 0) {
        if (reallocate) modified = 1;
        if (!vbo_modified()) return true;
    } else {
        reallocate = 1;
        modified = 1;
    }
    if (edges.empty()) return false;
    const std::uint64_t count = 2 * drawnEdgeCount(*this);
    const std::uint64_t bytes = 12 * count;
    if (bytes > MaxLineBytes) return false;
    // Edges added or dropped without touch(): the storage no longer fits.
    if (count != lineVertexCount) reallocate = 1;
    gl->glFlush();
    glClearErrors();
    lineVertexCount = std::uint32_t(count);
    vboOffset = 0;
    if (vbo == 0) gl->glGenBuffers(1, &vbo);
    gl->glBindBuffer(GL_ARRAY_BUFFER, vbo);
    if (reallocate) gl->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(bytes), nullptr, GL_DYNAMIC_DRAW);
    bool written = true;
    if (bytes > 0) {
        void* p = gl->glMapBufferRange(GL_ARRAY_BUFFER, GLintptr(vboOffset), GLsizeiptr(bytes),
                                       GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
        if (p) fillLines(*this, static_cast<std::uint8_t*>(p));
        written = p && gl->glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE;
    }
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    gl->glFlush();
    if (!written || gl->glGetError() != GL_NO_ERROR) {
        glReportError("ERROR Curve::buildVBO");
        return false;
    }
    modified = 0;
    reallocate = 0;
    vboEnabled = 0;
    return true;
}

void Curve::deleteVBO() {
    if (vbo == 0) return;
    GpuScope scope;
    if (gl && QOpenGLContext::currentContext()) {
        disableVBO();
        gl->glFlush();
        gl->glDeleteBuffers(1, &vbo);
    }
    // Without a context the name went with it.
    vbo = 0;
    vboEnabled = 0;
}

bool Curve::enableVBO() {
    if (!buildVBO()) return false;
    if (vboEnabled) return true;
    if (!bindVertexArray()) return false;
    gl->glBindBuffer(GL_ARRAY_BUFFER, vbo);
    gl->glEnableVertexAttribArray(0);
    gl->glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0,
                              reinterpret_cast<const void*>(static_cast<std::uintptr_t>(vboOffset)));
    forgetUnitShapes();
    vboEnabled = 1;
    return true;
}

void Curve::disableVBO() {
    if (!vboEnabled) return;
    vboEnabled = 0;
    if (!gl) return;
    gl->glDisableVertexAttribArray(0);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
}

bool Curve::renderBegin() {
    if (!gl || !ShaderCurve || !ShaderCurve->enable()) return false;
    return enableVBO();
}

void Curve::renderEnd() { disableVBO(); }

void Curve::render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight, float,
                   bool end) {
    update();
    renderLines(objectId, itemId, m * localMatrix(), material, end);
}

void Curve::renderLines(unsigned objectId, unsigned itemId, const mat4& M, const pbr& material, bool end) {
    if (!renderBegin()) return;
    // The mesh program's object uniforms as well: a program that declares
    // them (or not) takes what it knows.
    setSurfaceUniforms(objectId, itemId, M, material);
    Shader::setUniform("Color", material.colour.toFloat());
    if (lineVertexCount > 0) gl->glDrawArrays(GL_LINES, 0, GLsizei(lineVertexCount));
    if (end) renderEnd();
}

bool Curve::hasFeatures() const { return !edges.empty(); }

void Curve::renderFeatures(const mat4& m, const bvec4& colour, bool end) {
    if (!enableVBO()) return;
    setFeatureUniforms(m * localMatrix(), colour);
    // Another element may have pointed attribute 0 elsewhere since this
    // buffer was enabled.
    gl->glBindBuffer(GL_ARRAY_BUFFER, vbo);
    gl->glEnableVertexAttribArray(0);
    gl->glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0,
                              reinterpret_cast<const void*>(static_cast<std::uintptr_t>(vboOffset)));
    forgetUnitShapes();
    if (lineVertexCount > 0) gl->glDrawArrays(GL_LINES, 0, GLsizei(lineVertexCount));
    // Ending through disableVBO clears the enabled flag too, so that the
    // next render binds its attribute again.
    if (end) disableVBO();
}

}  // namespace qel
