#include "gl/gl.h"
#include "gl/shader.h"
#include "gl/shaders.h"
#include "gl_util.h"

#include <gtest/gtest.h>

#include <QFile>

#include <memory>
#include <set>

namespace {

bool hasResource(const qel::Shader* shader) {
    return QFile::exists(QString::fromStdString(":/shaders/" + shader->name() + ".glsl"));
}

GLuint currentProgram() { return GLuint(gltest::glInteger(GL_CURRENT_PROGRAM)); }

std::unique_ptr<qel::Shader> fromText(const char* fragmentBody) {
    return std::unique_ptr<qel::Shader>(qel::Shader::FromText({
        "##VERTEX",
        "#version 330 core",
        "void main() { gl_Position = vec4(0.0); }",
        "##FRAGMENT",
        "#version 330 core",
        "out vec4 c;",
        fragmentBody,
    }));
}

class ShaderGL : public testing::Test {
protected:
    void SetUp() override { gltest::useShaderResources(); }
};

}  // namespace

TEST_F(ShaderGL, GlobalSetHasFortyEightDistinctResourceNamesInOrder) {
    const auto& shaders = qel::allShaders();
    ASSERT_EQ(shaders.size(), 48u);
    std::set<std::string> names;
    for (const qel::Shader* shader : shaders) names.insert(shader->name());
    EXPECT_EQ(names.size(), 48u);
    EXPECT_EQ(shaders.front(), qel::ShaderSkyBox);
    EXPECT_EQ(qel::ShaderFilterBlur->name(), "Filters/FilterBlur");
    EXPECT_EQ(shaders.back(), qel::ShaderClayFlatten);
}

TEST_F(ShaderGL, EveryShippedProgramCompilesAndLinks) {
    int shipped = 0;
    for (qel::Shader* shader : qel::allShaders()) {
        if (!hasResource(shader)) continue;
        ++shipped;
        EXPECT_TRUE(shader->enable()) << shader->name();
        EXPECT_EQ(qel::Shader::id, shader->program()) << shader->name();
        EXPECT_EQ(shader->shaderIds().size(), 2u) << shader->name();
    }
    // At least the mirror, the two normals passes, fog, flat colour and the
    // ten filters; programs are added as the renderers that use them arrive.
    EXPECT_GE(shipped, 15);
    EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ShaderGL, MissingResourceFailsAndLeavesTheProgramInUse) {
    ASSERT_TRUE(qel::ShaderDraw->enable());
    const unsigned int inUse = qel::Shader::id;
    ASSERT_FALSE(hasResource(qel::ShaderColor));
    EXPECT_FALSE(qel::ShaderColor->enable());
    EXPECT_FALSE(qel::ShaderColor->compiled());
    EXPECT_TRUE(qel::ShaderColor->source().empty());
    EXPECT_EQ(qel::Shader::id, inUse);
    EXPECT_EQ(currentProgram(), inUse);
    // A retry neither succeeds nor piles up programs.
    const unsigned int failed = qel::ShaderColor->program();
    EXPECT_FALSE(qel::ShaderColor->compile());
    EXPECT_FALSE(gl->glIsProgram(failed) && failed != qel::ShaderColor->program());
    gl->glGetError();
}

TEST_F(ShaderGL, CompileReadsTheResourceAfreshAndUseProgramRunsOnce) {
    qel::Shader shader("MirrorVertical");
    ASSERT_TRUE(shader.compile());
    // Force a second compile as after a failure: the text is not appended twice.
    qel::Shader again("MirrorVertical");
    again.load("MirrorVertical");
    ASSERT_TRUE(again.compile());
    EXPECT_EQ(again.source(), shader.source());

    ASSERT_TRUE(qel::ShaderMirrorVertical->enable());
    const GLuint program = qel::ShaderMirrorVertical->program();
    EXPECT_EQ(currentProgram(), program);
    gl->glUseProgram(0);  // behind the tracker's back: no second glUseProgram
    EXPECT_TRUE(qel::ShaderMirrorVertical->enable());
    EXPECT_EQ(currentProgram(), 0u);
    qel::Shader::id = 0;  // once the widget resets the tracker, it selects again
    EXPECT_TRUE(qel::ShaderMirrorVertical->enable());
    EXPECT_EQ(currentProgram(), program);
}

TEST_F(ShaderGL, VertexOnlyTextCapturesItsOutputs) {
    std::unique_ptr<qel::Shader> shader(qel::Shader::FromText({
        "##VERTEX",
        "#version 330 core",
        "layout(location = 0) in vec3 Position;",
        "out vec3 position1;",
        "void main() { position1 = Position * 2.0; }",
    }));
    EXPECT_TRUE(shader->name().empty());
    ASSERT_TRUE(shader->compile());
    EXPECT_EQ(shader->shaderIds().size(), 1u);
    GLint varyings = 0, mode = 0;
    gl->glGetProgramiv(shader->program(), GL_TRANSFORM_FEEDBACK_VARYINGS, &varyings);
    gl->glGetProgramiv(shader->program(), GL_TRANSFORM_FEEDBACK_BUFFER_MODE, &mode);
    EXPECT_EQ(varyings, 1);
    EXPECT_EQ(mode, GL_SEPARATE_ATTRIBS);
}

TEST_F(ShaderGL, LinkFailureIsACompileFailureAndDestructionDeletesEverything) {
    auto shader = fromText("void main() { c = undefinedName; }");
    EXPECT_FALSE(shader->enable());
    EXPECT_FALSE(shader->compiled());
    const GLuint first = shader->program();
    const std::vector<unsigned int> firstStages = shader->shaderIds();
    // The text is kept for programs made from text; the retry replaces the
    // failed program and its stages.
    EXPECT_FALSE(shader->compile());
    EXPECT_FALSE(gl->glIsProgram(first) && first != shader->program());
    for (unsigned int stage : firstStages)
        EXPECT_FALSE(gl->glIsShader(stage) && stage != shader->shaderIds()[0] && stage != shader->shaderIds()[1]);
    gl->glGetError();

    auto good = fromText("void main() { c = vec4(1.0); }");
    ASSERT_TRUE(good->enable());
    const GLuint program = good->program();
    const std::vector<unsigned int> stages = good->shaderIds();
    good.reset();
    EXPECT_EQ(qel::Shader::id, 0u) << "the tracker forgets a deleted program";
    gl->glUseProgram(0);
    EXPECT_FALSE(gl->glIsProgram(program));
    for (unsigned int stage : stages) EXPECT_FALSE(gl->glIsShader(stage));
}
