// Drawing steps shared by the elements with vertex buffers.

#include "gl/element_draw.h"

#include "gl/gl.h"
#include "gl/glquad.h"
#include "gl/shader.h"

namespace qel {

bool bindVertexArray() {
    if (!GLQuad::buildVBO()) return false;
    gl->glBindVertexArray(GLQuad::VAO);
    return true;
}

void forgetUnitShapes() {
    GLQuad::VBOEnabled = false;
    GLCircle::VBOEnabled = false;
}

void pointSurfaceAttributes(const std::uint64_t (&offsets)[6]) {
    for (GLuint i = 0; i < 6; ++i) gl->glEnableVertexAttribArray(i);
    auto at = [&offsets](int i) { return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(offsets[i])); };
    gl->glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, at(0));
    gl->glVertexAttribPointer(1, 3, GL_HALF_FLOAT, GL_FALSE, 0, at(1));
    gl->glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, 0, at(2));
    gl->glVertexAttribPointer(3, 4, GL_UNSIGNED_BYTE, GL_TRUE, 0, at(3));
    gl->glVertexAttribIPointer(4, 2, GL_SHORT, 0, at(4));
    gl->glVertexAttribIPointer(5, 1, GL_UNSIGNED_INT, 0, at(5));
}

void releaseSurfaceAttributes() {
    for (GLuint i = 0; i < 6; ++i) gl->glDisableVertexAttribArray(i);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void setSurfaceUniforms(unsigned objectId, unsigned itemId, const mat4& M, const pbr& material) {
    Shader::setUniform("ProjectionModelViewMatrix", Shader::ProjectionModelViewMatrix * M);
    Shader::setUniform("NormalMatrix", normalMatrix(M));
    gl->glUniform1ui(Shader::uniformLocation("ObjectId"), objectId);
    gl->glUniform1ui(Shader::uniformLocation("ItemId"), itemId);
    Shader::setUniform("ObjectColor", material.colour.toFloat());
    Shader::setUniform("ObjectLight", material.light.toFloat());
    gl->glUniform2i(Shader::uniformLocation("ObjectMaterial"), 2 * int(material.roughness),
                    2 * int(material.metalness));
}

void setFeatureUniforms(const mat4& M, const bvec4& colour) {
    Shader::setUniform("ProjectionModelViewMatrix", Shader::ProjectionOffsetModelViewMatrix * M);
    Shader::setUniform("Color", colour);
}

}  // namespace qel
