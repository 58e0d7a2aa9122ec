// The clay element: its life cycle, the mesh it keeps, its two GL position
// buffers, drawing, the read-back into the mesh and its file record.

#include "elements/clay.h"

#include <QOpenGLContext>

#include "gl/buffer.h"
#include "gl/element_draw.h"
#include "gl/gl.h"
#include "gl/glerror.h"
#include "gl/gpu_scope.h"
#include "gl/shaders.h"
#include "mesh/mesh.h"

namespace qel {

bool Clay::glReady() { return gl && QOpenGLContext::currentContext(); }

bool Clay::bindPositions(std::uint32_t name) {
    // Attribute state of the core profile lives in the engine's shared
    // vertex array object.
    if (!bindVertexArray()) return false;
    gl->glBindBuffer(GL_ARRAY_BUFFER, name);
    gl->glEnableVertexAttribArray(0);
    gl->glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    forgetUnitShapes();
    return true;
}

Clay::Clay(Mesh* m) : Element(TType::Clay), buffers{0, 0} {
    if (m) mesh = m->clone();
    init();
    initialize(ResizeKeep);
}

Clay::Clay() : Element(TType::Clay), buffers{0, 0} {}

Clay::~Clay() {
    if (buffers.size() == 2 && buffers[0] != 0) {
        GpuScope scope;
        dropBuffers();
    }
    // A mesh that release() did not free has no holder besides this clay.
    if (mesh && mesh->refCount <= 0) delete mesh;
}

void Clay::init() {
    Element::init();
    type = TType::Clay;
    buffers.assign(2, 0);
    current = 0;
}

void Clay::initialize(TResizeStyle style) {
    if (!mesh) return;
    // The rebuild may renumber vertices and faces: built buffers follow it,
    // from the current positions.
    const bool built = buffers.size() == 2 && buffers[0] != 0;
    if (built && !ClayToMesh()) return;
    mesh->initialize(style);
    centre = mesh->centre;
    setSize(mesh->size());
    if (built) MeshToClay();
}

Element* Clay::clone() {
    // A failed read-back leaves the copy with the last positions the mesh
    // holds; the clay itself keeps its sculpted buffers.
    ClayToMesh();
    return new Clay(mesh);
}

Mesh* Clay::ToMesh() {
    if (!mesh || !ClayToMesh()) return nullptr;
    // The copy is rebuilt, not the clay's own mesh, whose numbering the
    // buffers follow.
    Mesh* m = mesh->clone();
    m->initialize(ResizeKeep);
    return m;
}

bool Clay::subdivide(bool smooth) {
    if (!mesh || !ClayToMesh()) return false;
    mesh->subdivide(smooth);
    for (int round = 0; round < 3; ++round) {
        mesh->refineFlip(1);
        mesh->smoothAll(false, false);
    }
    MeshToClay();
    return true;
}

void Clay::subElements(std::vector<Element*>& list) {
    if (mesh) list.push_back(mesh);
}

void Clay::allElements(std::vector<Element*>& list) { list.push_back(this); }

void Clay::resolve(const std::vector<Element*>& elements) {
    Element::resolve(elements);
    if (mesh) mesh->resolve(elements);
}

void Clay::release(int n) {
    // The base deletes a sub-element whose count falls to 0 or below.
    const bool meshGoes = mesh && mesh->refCount - n <= 0;
    Element::release(n);
    if (meshGoes) mesh = nullptr;
}

// ---- Positions between the GPU and the mesh ----

bool Clay::ClayToMesh() {
    if (!mesh) return true;
    if (buffers.size() != 2 || buffers[0] == 0) return true;
    GpuScope scope;
    if (!glReady()) return false;
    const std::size_t faces = mesh->faces.size(), vertices = mesh->vertices.size();
    if (vertexCount < 0 || std::size_t(vertexCount) != 3 * faces || firstPoint_.size() != vertices) return false;
    gl->glBindBuffer(GL_ARRAY_BUFFER, buffers[current]);
    GLint64 size = 0;
    gl->glGetBufferParameteri64v(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    const auto* mapped = std::uint64_t(size) >= 36 * std::uint64_t(faces)
                             ? static_cast<const vec3*>(gl->glMapBuffer(GL_ARRAY_BUFFER, GL_READ_ONLY))
                             : nullptr;
    std::vector<vec3> positions;
    bool read = mapped != nullptr;
    if (read) {
        positions.resize(vertices);
        for (std::size_t v = 0; v < vertices; ++v)
            if (firstPoint_[v] >= 0) positions[v] = mapped[firstPoint_[v]];
        // False when the store was lost while mapped: the bytes are not to be trusted.
        read = gl->glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE;
    }
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    vboEnabled = 0;
    if (!read) {
        glClearErrors();
        return false;
    }
    std::size_t v = 0;
    mesh->vertices.forRange(0, vertices, [&](MeshVertex& r) {
        if (firstPoint_[v] >= 0) r.position = positions[v];
        ++v;
    });
    mesh->positionsEdited();
    return true;
}

void Clay::MeshToClay() {
    deleteVBO();
    buildVBO();
}

// ---- Buffers ----

bool Clay::buildVBO() {
    if (buffers.size() != 2) buffers.assign(2, 0);
    if (buffers[0] != 0) return true;
    if (!mesh || mesh->faces.size() == 0 || !glReady()) return false;
    const std::size_t faces = mesh->faces.size();
    if (faces > std::size_t(INT32_MAX) / 9) return false;
    gl->glFlush();
    glClearErrors();
    vertexCount = std::int32_t(3 * faces);
    std::vector<float> corners(9 * faces);
    float* out = corners.data();
    const std::size_t vertices = mesh->vertices.size();
    firstPoint_.assign(vertices, -1);
    std::int32_t point = 0;
    mesh->faces.forRange(0, faces, [&](const MeshFace& F) {
        for (int c = 0; c < 3; ++c, out += 3, ++point) {
            const std::uint32_t v = std::uint32_t(F.v[c]);
            const vec3 p = v < vertices ? mesh->vertices[v].position : vec3();
            if (v < vertices && firstPoint_[v] < 0) firstPoint_[v] = point;
            out[0] = p.x;
            out[1] = p.y;
            out[2] = p.z;
        }
    });
    GLuint names[2] = {0, 0};
    gl->glGenBuffers(2, names);
    for (GLuint name : names) {
        gl->glBindBuffer(GL_ARRAY_BUFFER, name);
        gl->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(corners.size() * sizeof(float)), corners.data(), GL_DYNAMIC_DRAW);
        gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    }
    buffers[0] = names[0];
    buffers[1] = names[1];
    current = 0;
    gl->glFlush();
    if (gl->glGetError() != GL_NO_ERROR) {
        // Names without storage are not kept: the next call builds again.
        glReportError("ERROR Clay::buildVBO");
        dropBuffers();
        glClearErrors();
        return false;
    }
    vboEnabled = 0;
    return true;
}

void Clay::dropBuffers() {
    if (buffers.size() == 2 && buffers[0] != 0 && glReady()) {
        if (vboEnabled) {
            gl->glDisableVertexAttribArray(0);
            gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
        }
        gl->glFlush();
        const GLuint names[2] = {buffers[0], buffers[1]};
        gl->glDeleteBuffers(2, names);
    }
    // Without a context the names went with it.
    buffers.assign(2, 0);
    firstPoint_.clear();
    current = 0;
    vboEnabled = 0;
}

void Clay::deleteVBO() {
    if (buffers.size() != 2 || buffers[0] == 0) return;
    GpuScope scope;
    dropBuffers();
}

bool Clay::enableVBO() {
    if (!buildVBO()) return false;
    if (vboEnabled) return true;
    if (!bindPositions(buffers[current])) return false;
    vboEnabled = 1;
    return true;
}

void Clay::disableVBO() {
    if (!vboEnabled) return;
    vboEnabled = 0;
    if (!glReady()) return;
    gl->glDisableVertexAttribArray(0);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
}

bool Clay::renderBegin() {
    if (!glReady() || !ShaderClay || !ShaderClay->enable()) return false;
    return enableVBO();
}

void Clay::renderEnd() { disableVBO(); }

void Clay::render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight, float,
                  bool end) {
    if (!renderBegin()) return;
    // The clay program declares no normal matrix: that uniform is skipped.
    setSurfaceUniforms(objectId, itemId, m * localMatrix(), material);
    gl->glDrawArrays(GL_TRIANGLES, 0, vertexCount);
    if (end) renderEnd();
}

// ---- Record ----

void Clay::DataWrite(buffer& b) {
    if (!ClayToMesh()) return;
    buffer scratch;
    if (mesh) {
        mesh->DataWrite(scratch);
    } else {
        Mesh empty;
        empty.DataWrite(scratch);
    }
    if (scratch.size() < 8) return;
    scratch.patchU32(0, RecordTag);
    b.writeBuffer(scratch);
}

}  // namespace qel
