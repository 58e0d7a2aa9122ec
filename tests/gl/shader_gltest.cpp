#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/shader.h"
#include "gl/shaders.h"
#include "gl/shadersource.h"
#include "gl/texture2d.h"
#include "gl_util.h"

#include <gtest/gtest.h>

#include <QDirIterator>

#include <cmath>
#include <memory>
#include <set>
#include <sstream>

namespace {

// The names in a list separated by blanks.
std::set<std::string> names(const char* list) {
    std::set<std::string> out;
    std::istringstream words(list);
    for (std::string word; words >> word;) out.insert(word);
    return out;
}

// Programs whose sources arrive with the renderers that draw with them. A
// name leaves this list when its source is added; every one has arrived.
const std::set<std::string> ToCome = names("");
// Globals nothing draws with: they never get a source.
const std::set<std::string> Unused = names("Curve/Color Mesh/MeshColor");

GLuint currentProgram() { return GLuint(gltest::glInteger(GL_CURRENT_PROGRAM)); }

using ShaderGL = gltest::GLTest;

}  // namespace

TEST_F(ShaderGL, EveryGlobalWithASourceLinksAndOnlyTheListedOnesLackOne) {
    const auto& shaders = qel::allShaders();
    ASSERT_EQ(shaders.size(), 48u);
    EXPECT_EQ(shaders.front(), qel::ShaderSkyBox);
    EXPECT_EQ(shaders.back(), qel::ShaderClayFlatten);
    std::set<std::string> names;
    for (const qel::Shader* shader : shaders) names.insert(shader->name());
    EXPECT_EQ(names.size(), 48u);
    for (const auto* list : {&ToCome, &Unused})
        for (const std::string& name : *list) EXPECT_EQ(names.count(name), 1u) << name << " is no global";
    // The files the programs include, read without them.
    std::set<std::string> pieces;
    for (const std::string& name : names) {
        const qel::ExpandedShaderSource expanded = qel::expandShaderSource(name + ".glsl", qel::Shader::readResource);
        for (std::size_t k = 1; k < expanded.files.size(); ++k) pieces.insert(expanded.files[k]);
    }
    // Every source belongs to a global that is neither to come nor unused, or
    // is a piece that a program includes.
    std::set<std::string> sources;
    for (QDirIterator it(":/shaders", QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        const std::string file = path.mid(10).toStdString();  // ":/shaders/" file
        if (pieces.count(file)) continue;
        const std::string name = file.substr(0, file.size() - 5);  // name ".glsl"
        sources.insert(name);
        EXPECT_TRUE(names.count(name) && !ToCome.count(name) && !Unused.count(name)) << name;
    }
    for (qel::Shader* shader : shaders) {
        const std::string& name = shader->name();
        if (ToCome.count(name) || Unused.count(name)) continue;
        ASSERT_TRUE(sources.count(name)) << name << " has no source";
        EXPECT_TRUE(shader->enable()) << name;
        GLint linked = 0;
        gl->glGetProgramiv(shader->program(), GL_LINK_STATUS, &linked);
        EXPECT_EQ(linked, GL_TRUE) << name;
        // The clay sculpting passes (Mesh/Clay + a verb) are vertex-only.
        const bool vertexOnly = name.size() > 9 && name.compare(0, 9, "Mesh/Clay") == 0;
        EXPECT_EQ(shader->shaderIds().size(), vertexOnly ? 1u : 2u) << name;
    }
}

TEST_F(ShaderGL, MissingResourceFailsAndLeavesTheProgramInUse) {
    ASSERT_TRUE(qel::ShaderDraw->enable());
    const unsigned int inUse = qel::Shader::id;
    EXPECT_FALSE(qel::ShaderColor->enable() || qel::ShaderColor->compiled());
    EXPECT_TRUE(qel::ShaderColor->source().empty() && qel::Shader::id == inUse && currentProgram() == inUse);
    // A retry neither succeeds nor piles up programs.
    const unsigned int failed = qel::ShaderColor->program();
    EXPECT_FALSE(qel::ShaderColor->compile());
    EXPECT_FALSE(gl->glIsProgram(failed) && failed != qel::ShaderColor->program());
    gl->glGetError();
}

TEST_F(ShaderGL, CompileReadsTheResourceAfreshUsesTheProgramOnceAndDeletionLeavesNothing) {
    std::unique_ptr<qel::Shader> shader(new qel::Shader("MirrorVertical"));
    ASSERT_TRUE(shader->compile());
    // Force a second compile as after a failure: the text is not appended twice.
    qel::Shader again("MirrorVertical");
    again.load("MirrorVertical");
    ASSERT_TRUE(again.compile());
    EXPECT_EQ(again.source(), shader->source());

    ASSERT_TRUE(shader->enable());
    const GLuint program = shader->program();
    const std::vector<unsigned int> stages = shader->shaderIds();
    EXPECT_EQ(currentProgram(), program);
    gl->glUseProgram(0);  // behind the tracker's back: no second glUseProgram
    EXPECT_TRUE(shader->enable());
    EXPECT_EQ(currentProgram(), 0u);
    qel::Shader::id = 0;  // once the widget resets the tracker, it selects again
    EXPECT_TRUE(shader->enable());
    EXPECT_EQ(currentProgram(), program);
    shader.reset();
    EXPECT_EQ(qel::Shader::id, 0u) << "the tracker forgets a deleted program";
    gl->glUseProgram(0);
    EXPECT_FALSE(gl->glIsProgram(program) || gl->glIsShader(stages[0]) || gl->glIsShader(stages[1]));
}

TEST_F(ShaderGL, ProgramsFromTextCaptureVertexOutputsOrFailOnLinkErrors) {
    std::unique_ptr<qel::Shader> feedback(
        qel::Shader::FromText({"##VERTEX", "#version 330 core", "layout(location = 0) in vec3 Position;",
                               "out vec3 position1;", "void main() { position1 = Position * 2.0; }"}));
    ASSERT_TRUE(feedback->enable());
    ASSERT_EQ(feedback->shaderIds().size(), 1u);
    GLint varyings = 0, mode = 0;
    gl->glGetProgramiv(feedback->program(), GL_TRANSFORM_FEEDBACK_VARYINGS, &varyings);
    gl->glGetProgramiv(feedback->program(), GL_TRANSFORM_FEEDBACK_BUFFER_MODE, &mode);
    EXPECT_TRUE(varyings == 1 && mode == GL_SEPARATE_ATTRIBS);

    std::unique_ptr<qel::Shader> broken(qel::Shader::FromText(
        {"##VERTEX", "#version 330 core", "void main() { gl_Position = vec4(0.0); }", "##FRAGMENT", "#version 330 core",
         "out vec4 c;", "void main() { c = undefinedName; }"}));
    EXPECT_FALSE(broken->compile()) << "a link error fails the compile";
    gl->glGetError();
}

// Depth ramps whose slope is one unit across x and half a unit across y per
// pixel, against a unit step in depth, give the normal (2, 1, 2) / 3 in both
// passes: swapped axes or a flipped sign give another.
TEST_F(ShaderGL, NormalsPassesFollowADepthRamp) {
    constexpr int n = 12;
    qel::FBOScene scene(n, n, 1);
    ASSERT_TRUE(scene.enable());
    gl->glViewport(0, 0, n, n);
    // Orthographic: the depth itself, in steps of 1/64 with "dz" = 1/64.
    // Perspective: the eye depth B / (A - depth) = 4 + i + j/2, differenced
    // across two pixels against 2.
    std::vector<float> flat, perspective;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            flat.push_back((i + 0.5f * j) / 64.0f);
            perspective.push_back(0.5f - 2.0f / (4.0f + i + 0.5f * j));
        }
    std::unique_ptr<qel::Texture2D> flatDepth(gltest::floatTexture(n, n, GL_R32F, GL_RED, flat));
    std::unique_ptr<qel::Texture2D> eyeDepth(gltest::floatTexture(n, n, GL_R32F, GL_RED, perspective));
    for (bool orthogonal : {true, false}) {
        SCOPED_TRACE(orthogonal ? "orthogonal" : "perspective");
        const GLfloat none[4] = {0, 0, 0, 0};
        gl->glDrawBuffer(GLenum(scene.normal->colourAttachment()));
        gl->glClearBufferfv(GL_COLOR, 0, none);
        ASSERT_TRUE(orthogonal
                        ? scene.normalsOrthogonal(scene.normal, scene.normalCopy, flatDepth.get(), 64.0f, false)
                        : scene.normalsPerspective(scene.normal, scene.normalCopy, eyeDepth.get(), 0.5f, 2.0f, false));
        const std::vector<float> normals = gltest::readFloats(scene.normal->name(), n, n, GL_RGB);
        for (int k = 0; k < n * n; ++k) {
            if (k % n == 0 || k % n == n - 1 || k / n == 0 || k / n == n - 1) continue;  // clamped neighbours
            const float* v = &normals[std::size_t(3 * k)];
            ASSERT_TRUE(std::fabs(v[0] - 2 / 3.0f) < 2e-3f && std::fabs(v[1] - 1 / 3.0f) < 2e-3f &&
                        std::fabs(v[2] - 2 / 3.0f) < 2e-3f)
                << "pixel " << k % n << "," << k / n << ": " << v[0] << " " << v[1] << " " << v[2];
        }
    }
    scene.disable();
}
