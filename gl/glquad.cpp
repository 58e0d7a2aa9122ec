#include "gl/glquad.h"

#include "gl/gl.h"
#include "gl/glerror.h"

#include <cmath>
#include <vector>

namespace qel {

unsigned int GLQuad::VAO = 0;
unsigned int GLQuad::VBO = 0;
bool GLQuad::VBOEnabled = false;

unsigned int GLCircle::VBO = 0;
bool GLCircle::VBOEnabled = false;
int GLCircle::Count = 36;

namespace {

// Attribute 0 reads three floats per vertex from the bound array buffer.
void pointAttributeAt(unsigned int buffer) {
    gl->glBindBuffer(GL_ARRAY_BUFFER, buffer);
    gl->glEnableVertexAttribArray(0);
    gl->glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
}

void releaseAttribute() {
    gl->glDisableVertexAttribArray(0);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
}

// Creates a static array buffer holding the given points; true when GL
// reported no error.
bool uploadPoints(unsigned int& buffer, const float* points, std::size_t bytes) {
    gl->glGenBuffers(1, &buffer);
    gl->glBindBuffer(GL_ARRAY_BUFFER, buffer);
    gl->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(bytes), points, GL_STATIC_DRAW);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    return gl->glGetError() == GL_NO_ERROR;
}

// The square and the circle share attribute 0: the shape that points it at
// its buffer takes it from the other one.
void takeAttribute(unsigned int buffer, bool& mine, bool& other) {
    if (mine) return;
    pointAttributeAt(buffer);
    other = false;
    mine = true;
}

void giveUpAttribute(bool& mine) {
    if (!mine) return;
    releaseAttribute();
    mine = false;
}

void deleteShapeBuffer(unsigned int& buffer, bool& enabled) {
    if (!gl) return;
    if (buffer) {
        giveUpAttribute(enabled);
        gl->glDeleteBuffers(1, &buffer);
        buffer = 0;
    }
    gl->glBindVertexArray(0);
}

}  // namespace

bool GLQuad::buildVBO() {
    if (VAO && VBO) return true;
    if (!gl) return false;
    glClearErrors();
    // After deleteVBO the vertex array object still exists: it is bound again
    // and the buffer rebuilt.
    if (!VAO) gl->glGenVertexArrays(1, &VAO);
    gl->glBindVertexArray(VAO);
    static const float corners[12] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
    return uploadPoints(VBO, corners, sizeof(corners));
}

bool GLQuad::enableVBO() {
    if (!buildVBO()) return false;
    takeAttribute(VBO, VBOEnabled, GLCircle::VBOEnabled);
    return true;
}

void GLQuad::disableVBO() { giveUpAttribute(VBOEnabled); }

bool GLQuad::fill(bool disable) {
    if (!enableVBO()) return false;
    gl->glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    if (disable) disableVBO();
    return true;
}

void GLQuad::deleteVBO() { deleteShapeBuffer(VBO, VBOEnabled); }

bool GLCircle::buildVBO() {
    if (VBO) return true;
    if (!GLQuad::buildVBO()) return false;
    glClearErrors();
    std::vector<float> points;
    points.reserve(std::size_t(Count) * 3);
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < Count; ++i) {
        const double angle = i * 2.0 * pi / Count;
        points.push_back(float(std::cos(angle)));
        points.push_back(float(std::sin(angle)));
        points.push_back(0.0f);
    }
    return uploadPoints(VBO, points.data(), points.size() * sizeof(float));
}

bool GLCircle::enableVBO() {
    if (!buildVBO()) return false;
    takeAttribute(VBO, VBOEnabled, GLQuad::VBOEnabled);
    return true;
}

void GLCircle::disableVBO() { giveUpAttribute(VBOEnabled); }

void GLCircle::deleteVBO() { deleteShapeBuffer(VBO, VBOEnabled); }

bool GLCircle::draw(bool disable) {
    if (!enableVBO()) return false;
    gl->glDrawArrays(GL_LINE_LOOP, 0, Count);
    if (disable) disableVBO();
    return true;
}

bool GLFill(bool disable) { return GLQuad::fill(disable); }

}  // namespace qel
