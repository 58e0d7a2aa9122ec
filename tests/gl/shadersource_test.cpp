#include "gl/shadersource.h"

#include <gtest/gtest.h>

#include <string>

using qel::shaderSourceFromBytes;
using qel::splitShaderSource;

TEST(ShaderSourceText, DropsEmptyLinesAndStopsAtNul) {
    const char bytes[] = "a\r\n\r\nb\rc\n\0ignored\n";
    EXPECT_EQ(shaderSourceFromBytes(bytes, sizeof(bytes) - 1), "a\nb\nc\n");
    EXPECT_EQ(shaderSourceFromBytes("last line without break", 23), "last line without break\n");
    EXPECT_EQ(shaderSourceFromBytes(nullptr, 5), "");
}

TEST(ShaderSourceSplit, SeparatesStagesInFileOrderAndDropsMarkersAndPreamble) {
    auto stages = splitShaderSource(
        "preamble line\n// ##VERTEX marker anywhere in the line\n#version 330 core\n\n"
        "##FRAGMENT\nf1\n##VERTEX\nv1\n##FRAGMENT\nout vec4 FragColor;\n");
    EXPECT_EQ(stages.vertex, "#version 330 core\nv1\n");
    EXPECT_EQ(stages.fragment, "f1\nout vec4 FragColor;\n");
    EXPECT_TRUE(stages.varyings.empty()) << "outputs of the fragment stage are not captured";
    stages = splitShaderSource("##VERTEX ##FRAGMENT\nline\n");  // the vertex marker wins
    EXPECT_EQ(stages.vertex, "line\n");
    EXPECT_EQ(stages.fragment, "");
    stages = splitShaderSource("no markers at all\n");
    EXPECT_TRUE(stages.vertex.empty() && stages.fragment.empty());
}

TEST(ShaderSourceSplit, CollectsVaryingsFromVertexLinesStartingWithOut) {
    const auto stages = splitShaderSource(
        "##VERTEX\nout vec3 position1;\nsmooth out vec2 xy;\nout   float  weight;\n  out vec3 indented;\n"
        "output vec3 notAnOut;\n");
    EXPECT_EQ(stages.varyings, (std::vector<std::string>{"position1", "weight"}));
}
