#include "gl/shadersource.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using qel::expandShaderSource;
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

namespace {

// Resources held in memory, with a count of the reads of each.
struct Files {
    std::map<std::string, std::string> text;
    std::map<std::string, int> reads;
    qel::ShaderFileReader reader() {
        return [this](const std::string& path) -> std::optional<std::string> {
            ++reads[path];
            auto it = text.find(path);
            if (it == text.end()) return std::nullopt;
            return it->second;
        };
    }
};

}  // namespace

TEST(ShaderSource, IncludesExpandNestedOnceAndInsideTheirStage) {
    Files files;
    files.text["P.glsl"] =
        "##VERTEX\r\n#version 330 core\n  #include  \"Common/Quad.glsl\"\t\n\n"
        "##FRAGMENT\n#version 330 core\n#include \"Family/Inputs.glsl\"\n"
        "#include \"Common/Quad.glsl\"\nvoid main() {}\n";
    files.text["Common/Quad.glsl"] = "out vec2 xy;\n\nvoid main() { xy = vec2(0.0); }";
    files.text["Family/Inputs.glsl"] = "uniform vec4 a;\n#include \"Family/More.glsl\"\nin vec2 xy;\n";
    files.text["Family/More.glsl"] = "uniform vec4 b;\n#include \"Common/Quad.glsl\"\n";
    const auto expanded = expandShaderSource("P.glsl", files.reader());
    EXPECT_EQ(expanded.error, "");
    EXPECT_EQ(expanded.source,
              "##VERTEX\n#version 330 core\nout vec2 xy;\nvoid main() { xy = vec2(0.0); }\n##FRAGMENT\n"
              "#version 330 core\nuniform vec4 a;\nuniform vec4 b;\nin vec2 xy;\nvoid main() {}\n");
    EXPECT_EQ(expanded.files,
              (std::vector<std::string>{"P.glsl", "Common/Quad.glsl", "Family/Inputs.glsl", "Family/More.glsl"}));
    EXPECT_EQ(files.reads["Common/Quad.glsl"], 1) << "a file already included is not read again";
    // The stages are split after the includes are resolved.
    const auto stages = qel::splitShaderSource(expanded.source);
    EXPECT_EQ(stages.vertex, "#version 330 core\nout vec2 xy;\nvoid main() { xy = vec2(0.0); }\n");
    EXPECT_EQ(stages.varyings, std::vector<std::string>{"xy"});
    EXPECT_EQ(stages.fragment, "#version 330 core\nuniform vec4 a;\nuniform vec4 b;\nin vec2 xy;\nvoid main() {}\n");
    // Without includes the text is the resource's own.
    files.text["Plain.glsl"] = std::string("a\r\n\nb\0c", 7);
    EXPECT_EQ(expandShaderSource("Plain.glsl", files.reader()).source, "a\nb\n");
}

TEST(ShaderSource, IncludeFailuresNameTheFileAndLeaveNoSource) {
    Files files;
    files.text["P.glsl"] = "line\n#include \"A.glsl\"\n";
    files.text["A.glsl"] = "a\n#include \"Sub/B.glsl\"\n";
    files.text["Sub/B.glsl"] = "b\n#include \"Sub/Missing.glsl\"\n";
    auto expanded = expandShaderSource("P.glsl", files.reader());
    EXPECT_EQ(expanded.error, "missing include \"Sub/Missing.glsl\" in \"Sub/B.glsl\"");
    EXPECT_EQ(expanded.source, "");

    files.text["Sub/B.glsl"] = "b\n#include \"A.glsl\"\n";
    expanded = expandShaderSource("P.glsl", files.reader());
    EXPECT_EQ(expanded.error, "circular include: A.glsl -> Sub/B.glsl -> A.glsl");
    EXPECT_EQ(expanded.source, "");
    files.text["Self.glsl"] = "#include \"Self.glsl\"\n";
    EXPECT_EQ(expandShaderSource("Self.glsl", files.reader()).error, "circular include: Self.glsl -> Self.glsl");

    EXPECT_EQ(expandShaderSource("None.glsl", files.reader()).error, "no shader resource \"None.glsl\"");
    for (const char* line : {"#include <A.glsl>", "#include \"A.glsl", "#include \"A.glsl\" x", "#include"}) {
        files.text["Bad.glsl"] = line;
        EXPECT_EQ(expandShaderSource("Bad.glsl", files.reader()).error,
                  std::string("malformed include in \"Bad.glsl\": ") + line);
    }
    for (const char* path : {"../icons/x.glsl", "/A.glsl", "Sub//B.glsl", "./A.glsl", ""}) {
        files.text["Bad.glsl"] = std::string("#include \"") + path + "\"";
        EXPECT_EQ(expandShaderSource("Bad.glsl", files.reader()).error,
                  std::string("include \"") + path + "\" in \"Bad.glsl\" is not a path under the shader root");
    }
}
