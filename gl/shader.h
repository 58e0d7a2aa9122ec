#pragma once
// GLSL program objects. A Shader knows only a resource name until it is first
// enabled; it then reads ":/shaders/" + name + ".glsl" from the compiled-in
// resources with the files it includes, splits it into a vertex and a
// fragment stage, compiles and links it. A program without a fragment stage
// captures its vertex outputs by transform feedback. The program in use is
// tracked in Shader::id, against which every uniform is looked up.

#include "core/mat.h"
#include "core/vec.h"
#include "gl/glatom.h"

#include <optional>
#include <string>
#include <vector>

namespace qel {

class Shader : public GLAtom {
public:
    Shader();
    explicit Shader(const std::string& name);
    ~Shader() override;

    // Compiles on first use and makes the program current. Enabling the
    // program already in use costs one comparison. False when the program
    // cannot be compiled and linked.
    bool enable() override;
    // Programs are never unbound.
    void disable() override;
    // Loads the resource (when the shader has a name), compiles the stages and
    // links them. True only when the program linked without a GL error.
    virtual bool compile();

    // A new shader, owned by the caller, whose source is the given lines.
    static Shader* FromText(const std::vector<std::string>& lines);
    // Appends the text of the resource ":/shaders/" + name + ".glsl", its
    // includes resolved, to the source; nothing (and a log line) when the
    // resource or an include is missing or the includes run in a circle.
    void load(const std::string& name);
    // The bytes of the resource ":/shaders/" + path; nothing when missing.
    static std::optional<std::string> readResource(const std::string& path);

    const std::string& name() const { return name_; }
    const std::string& source() const { return source_; }
    unsigned int program() const { return program_; }
    bool compiled() const { return compiled_; }
    const std::vector<unsigned int>& shaderIds() const { return shaderIds_; }

    // Uniform helpers: each looks the name up in the program in use
    // (Shader::id); a missing uniform (location -1) is ignored by GL.
    static int uniformLocation(const char* name);
    static void setUniform(const char* name, int value);
    static void setUniform(const char* name, float value);
    static void setUniform(const char* name, const vec2& value);
    static void setUniform(const char* name, const vec3& value);
    static void setUniform(const char* name, const vec4& value);
    static void setUniform(const char* name, const mat3& value);
    static void setUniform(const char* name, const mat4& value);
    // A colour divided by 255 as a vec4.
    static void setUniform(const char* name, const bvec4& colour);

    // The program currently in use, 0 when unknown.
    static unsigned int id;

    // The transforms of the frame being drawn: written by the view before
    // rendering, read by every renderer. Identity at start-up.
    static mat4 ProjectionMatrix;
    static mat4 ModelViewMatrix;
    static mat4 ModelViewMatrixInv;
    static mat4 ModelMatrix;
    static mat4 ProjectionModelViewMatrix;
    static mat4 ProjectionModelViewMatrixInv;
    static mat3 NormalMatrix;
    static mat3 NormalMatrixInv;
    static mat4 ProjectionOffsetMatrix;
    static mat4 ProjectionOffsetModelViewMatrix;

private:
    void deleteProgram();

    std::string name_;
    std::vector<unsigned int> shaderIds_;
    unsigned int program_ = 0;
    bool compiled_ = false;
    std::string source_;
};

// Maps the unit square of the full-screen quad onto clip space [-1, 1]^2; the
// "ProjectionModelViewMatrix" of every full-screen pass.
extern mat4 Ortho01;

}  // namespace qel
