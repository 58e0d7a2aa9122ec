#pragma once
// Text handling of shader resources, kept apart from GL so that it can be
// checked on its own: turning resource bytes into source lines, and splitting
// a source into its vertex and fragment stages.

#include <cstddef>
#include <string>
#include <vector>

namespace qel {

// The stages of one shader source. A source without a fragment stage is a
// transform-feedback program whose outputs are the varyings.
struct ShaderStages {
    std::string vertex;
    std::string fragment;
    // Names declared by vertex-stage lines beginning with "out ", in order.
    std::vector<std::string> varyings;
};

// The text of a resource as source lines: the bytes up to the first NUL,
// every "\r" taken as a line break, empty lines dropped, each remaining line
// followed by "\n".
std::string shaderSourceFromBytes(const char* data, std::size_t size);

// Splits a source at its marker lines: a line containing "##VERTEX" starts the
// vertex stage, one containing "##FRAGMENT" the fragment stage. Markers are
// not part of a stage; lines before the first marker and empty lines are
// dropped.
ShaderStages splitShaderSource(const std::string& source);

}  // namespace qel
