#include "gl/shadersource.h"

#include <gtest/gtest.h>

#include <string>

using qel::shaderSourceFromBytes;
using qel::splitShaderSource;

TEST(ShaderSource, TextDropsEmptyLinesAndStopsAtNul) {
    const char bytes[] = "a\r\n\r\nb\rc\n\0ignored\n";
    EXPECT_EQ(shaderSourceFromBytes(bytes, sizeof(bytes) - 1), "a\nb\nc\n");
    EXPECT_EQ(shaderSourceFromBytes("last line without break", 23), "last line without break\n");
    EXPECT_EQ(shaderSourceFromBytes(nullptr, 5), "");
}

TEST(ShaderSource, SplitKeepsFileOrderDropsMarkersAndPreambleAndCollectsVaryings) {
    auto stages = splitShaderSource(
        "preamble line\n// ##VERTEX marker anywhere in the line\n#version 330 core\n\n"
        "##FRAGMENT\nf1\n##VERTEX\nv1\nout vec3 position1;\nsmooth out vec2 xy;\nout   float  weight;\n"
        "  out vec3 indented;\noutput vec3 notAnOut;\n##FRAGMENT\nout vec4 FragColor;\n");
    EXPECT_EQ(stages.vertex,
              "#version 330 core\nv1\nout vec3 position1;\nsmooth out vec2 xy;\nout   float  weight;\n"
              "  out vec3 indented;\noutput vec3 notAnOut;\n");
    EXPECT_EQ(stages.fragment, "f1\nout vec4 FragColor;\n");
    // Only vertex lines starting with "out " are captured, by their last word.
    EXPECT_EQ(stages.varyings, (std::vector<std::string>{"position1", "weight"}));
    stages = splitShaderSource("##VERTEX ##FRAGMENT\nline\n");  // the vertex marker wins
    EXPECT_TRUE(stages.vertex == "line\n" && stages.fragment.empty());
}
