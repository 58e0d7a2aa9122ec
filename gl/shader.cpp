#include "gl/shader.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include "core/folders.h"
#include "core/strings.h"
#include "gl/gl.h"
#include "gl/glerror.h"
#include "gl/shadersource.h"

namespace qel {

unsigned int Shader::id = 0;

mat4 Shader::ProjectionMatrix;
mat4 Shader::ModelViewMatrix;
mat4 Shader::ModelViewMatrixInv;
mat4 Shader::ModelMatrix;
mat4 Shader::ProjectionModelViewMatrix;
mat4 Shader::ProjectionModelViewMatrixInv;
mat3 Shader::NormalMatrix;
mat3 Shader::NormalMatrixInv;
mat4 Shader::ProjectionOffsetMatrix;
mat4 Shader::ProjectionOffsetModelViewMatrix;

mat4 Ortho01(2, 0, 0, -1,   //
             0, 2, 0, -1,   //
             0, 0, -2, -1,  //
             0, 0, 0, 1);

Shader::Shader() = default;

Shader::Shader(const std::string& name) : name_(name) {}

Shader::~Shader() { deleteProgram(); }

Shader* Shader::FromText(const std::vector<std::string>& lines) {
    auto* shader = new Shader();
    for (const std::string& line : lines) {
        shader->source_ += line;
        shader->source_ += '\n';
    }
    return shader;
}

std::optional<std::string> Shader::readResource(const std::string& path) {
    QFile file(QString::fromStdString(ShadersPrefix + path));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return std::nullopt;
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

void Shader::load(const std::string& name) {
    const ExpandedShaderSource expanded = expandShaderSource(name + ".glsl", readResource);
    if (!expanded.error.empty()) {
        logmsg("ERROR Shader::load " + name + ": " + expanded.error);
        return;
    }
    source_ += expanded.source;
}

bool Shader::enable() {
    if (id != 0 && id == program_ && compiled_) return true;
    if (!compile()) return false;
    id = program_;
    gl->glUseProgram(program_);
    return id != 0;
}

void Shader::disable() {}

void Shader::deleteProgram() {
    if (!gl) return;
    for (auto it = shaderIds_.rbegin(); it != shaderIds_.rend(); ++it) {
        if (program_) gl->glDetachShader(program_, *it);
        gl->glDeleteShader(*it);
    }
    shaderIds_.clear();
    if (program_) {
        if (id == program_) id = 0;
        gl->glDeleteProgram(program_);
        program_ = 0;
    }
}

namespace {

void createStage(GLenum type, const std::string& text, std::vector<unsigned int>& ids) {
    const GLuint shader = gl->glCreateShader(type);
    const char* source = text.c_str();
    gl->glShaderSource(shader, 1, &source, nullptr);
    ids.push_back(shader);
}

void logLinkFailure(GLuint program) {
    GLint length = 0;
    gl->glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string log(std::size_t(length > 0 ? length : 0) + 255, ' ');
    GLsizei written = 0;
    gl->glGetProgramInfoLog(program, GLsizei(log.size()), &written, &log[0]);
    log.resize(std::size_t(written > 0 ? written : 0));
    glReportError(log);
}

}  // namespace

bool Shader::compile() {
    if (compiled_) return true;
    if (!gl) return false;
    if (!name_.empty()) {
        // A retry reads the resource afresh instead of appending it again.
        source_.clear();
        load(name_);
    }
    glClearErrors();
    // Objects of an earlier failed attempt are not kept.
    deleteProgram();
    program_ = gl->glCreateProgram();

    const ShaderStages stages = splitShaderSource(source_);
    createStage(GL_VERTEX_SHADER, stages.vertex, shaderIds_);
    if (stages.fragment.empty()) {
        std::vector<const char*> names;
        names.reserve(stages.varyings.size());
        for (const std::string& varying : stages.varyings) names.push_back(varying.c_str());
        gl->glTransformFeedbackVaryings(program_, GLsizei(names.size()), names.data(), GL_SEPARATE_ATTRIBS);
    } else {
        createStage(GL_FRAGMENT_SHADER, stages.fragment, shaderIds_);
    }
    for (const unsigned int shader : shaderIds_) {
        gl->glCompileShader(shader);
        gl->glAttachShader(program_, shader);
    }
    gl->glLinkProgram(program_);
    GLint linked = 0;
    gl->glGetProgramiv(program_, GL_LINK_STATUS, &linked);
    if (!linked) logLinkFailure(program_);
    const bool clean = gl->glGetError() == GL_NO_ERROR;
    compiled_ = linked != 0 && clean;
    if (!compiled_) glReportError("ERROR Shader::compile " + name_);
    return compiled_;
}

int Shader::uniformLocation(const char* name) { return gl->glGetUniformLocation(id, name); }

void Shader::setUniform(const char* name, int value) { gl->glUniform1i(uniformLocation(name), value); }

void Shader::setUniform(const char* name, float value) { gl->glUniform1f(uniformLocation(name), value); }

void Shader::setUniform(const char* name, const vec2& value) {
    gl->glUniform2f(uniformLocation(name), value.x, value.y);
}

void Shader::setUniform(const char* name, const vec3& value) {
    gl->glUniform3f(uniformLocation(name), value.x, value.y, value.z);
}

void Shader::setUniform(const char* name, const vec4& value) {
    gl->glUniform4f(uniformLocation(name), value.x, value.y, value.z, value.w);
}

void Shader::setUniform(const char* name, const mat3& value) {
    gl->glUniformMatrix3fv(uniformLocation(name), 1, GL_FALSE, value.m);
}

void Shader::setUniform(const char* name, const mat4& value) {
    gl->glUniformMatrix4fv(uniformLocation(name), 1, GL_FALSE, value.m);
}

void Shader::setUniform(const char* name, const bvec4& colour) {
    gl->glUniform4f(uniformLocation(name), colour.r / 255.0f, colour.g / 255.0f, colour.b / 255.0f, colour.a / 255.0f);
}

}  // namespace qel
