#include "gl/shadersource.h"

#include <gtest/gtest.h>

#include <string>

using qel::shaderSourceFromBytes;
using qel::splitShaderSource;

TEST(ShaderSourceText, DropsEmptyLinesAndStopsAtNul) {
    const char bytes[] = "a\r\n\r\nb\rc\n\0ignored\n";
    EXPECT_EQ(shaderSourceFromBytes(bytes, sizeof(bytes) - 1), "a\nb\nc\n");
    EXPECT_EQ(shaderSourceFromBytes("last line without break", 23), "last line without break\n");
    EXPECT_EQ(shaderSourceFromBytes("", 0), "");
    EXPECT_EQ(shaderSourceFromBytes(nullptr, 5), "");
}

TEST(ShaderSourceSplit, SeparatesStagesAndDropsMarkersAndPreamble) {
    const auto stages = splitShaderSource(
        "preamble line\n"
        "// ##VERTEX marker anywhere in the line\n"
        "#version 330 core\n"
        "void main() {}\n"
        "\n"
        "##FRAGMENT\n"
        "#version 330 core\n"
        "out vec4 FragColor;\n");
    EXPECT_EQ(stages.vertex, "#version 330 core\nvoid main() {}\n");
    EXPECT_EQ(stages.fragment, "#version 330 core\nout vec4 FragColor;\n");
    // Outputs of the fragment stage are not captured varyings.
    EXPECT_TRUE(stages.varyings.empty());
}

TEST(ShaderSourceSplit, FragmentBeforeVertexFillsBothInFileOrder) {
    const auto stages = splitShaderSource("##FRAGMENT\nf1\n##VERTEX\nv1\n##FRAGMENT\nf2\n");
    EXPECT_EQ(stages.vertex, "v1\n");
    EXPECT_EQ(stages.fragment, "f1\nf2\n");
}

TEST(ShaderSourceSplit, VertexMarkerWinsOnALineHoldingBoth) {
    const auto stages = splitShaderSource("##VERTEX ##FRAGMENT\nline\n");
    EXPECT_EQ(stages.vertex, "line\n");
    EXPECT_EQ(stages.fragment, "");
}

TEST(ShaderSourceSplit, CollectsVaryingsFromVertexLinesStartingWithOut) {
    const auto stages = splitShaderSource(
        "##VERTEX\n"
        "out vec3 position1;\n"
        "smooth out vec2 xy;\n"
        "out   float  weight;\n"
        "  out vec3 indented;\n"
        "output vec3 notAnOut;\n");
    ASSERT_EQ(stages.varyings.size(), 2u);
    EXPECT_EQ(stages.varyings[0], "position1");
    EXPECT_EQ(stages.varyings[1], "weight");
    EXPECT_TRUE(stages.fragment.empty());
}

TEST(ShaderSourceSplit, EmptySourceHasNoStages) {
    const auto stages = splitShaderSource("");
    EXPECT_TRUE(stages.vertex.empty());
    EXPECT_TRUE(stages.fragment.empty());
    EXPECT_TRUE(stages.varyings.empty());
    EXPECT_TRUE(splitShaderSource("no markers at all\n").vertex.empty());
}
