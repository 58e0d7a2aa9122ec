#include "gl/gldraw.h"

#include "gl/gl.h"
#include "gl/glquad.h"
#include "gl/shader.h"
#include "gl/shaders.h"

namespace qel {

namespace {

void setMatrixAndColour(const mat4& M, const bvec4& colour) {
    Shader::setUniform("ProjectionModelViewMatrix", M);
    Shader::setUniform("color", colour);
}

}  // namespace

bool GLDrawSegment(bool disable) {
    if (!GLQuad::enableVBO()) return false;
    gl->glDrawArrays(GL_LINES, 0, 2);
    if (disable) GLQuad::disableVBO();
    return true;
}

bool GLDrawSegment(const mat4& M, const bvec4& colour) {
    if (!ShaderDraw->enable()) return false;
    setMatrixAndColour(M, colour);
    return GLDrawSegment(true);
}

bool GLDrawSegment(const vec3& a, const vec3& b, const mat4& M, const bvec4& colour) {
    return GLDrawSegment(M * mat4::Translation(a) * mat4::RotationScale(vec3(1, 0, 0), b - a), colour);
}

bool GLDrawCircle(const mat4& M, const bvec4& colour) {
    if (!ShaderDraw->enable()) return false;
    setMatrixAndColour(M, colour);
    return GLCircle::draw(true);
}

bool GLDrawCircle(float r, const vec3& normal, const vec3& centre, const mat4& M, const bvec4& colour) {
    return GLDrawCircle(M * mat4::Translation(centre) * mat4::FromMat3(mat3::Frame(normal) * r), colour);
}

bool GLPoint(const mat4& M, const bvec4& colour) {
    // Without its program the square would be drawn with whatever program
    // is in use: nothing is drawn then.
    if (!ShaderDraw->enable()) return false;
    setMatrixAndColour(M * mat4::Translation(-1, -1, 0) * mat4::Scale(2.0f), colour);
    return GLQuad::fill(true);
}

bool GLPoint(float size, const vec3& normal, const vec3& position, const mat4& M, const bvec4& colour) {
    return GLPoint(M * mat4::Translation(position) * mat4::FromMat3(mat3::Frame(normal) * size), colour);
}

}  // namespace qel

