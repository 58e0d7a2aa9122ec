#pragma once
// Text handling of shader resources, kept apart from GL so that it can be
// checked on its own: turning resource bytes into source lines, resolving the
// includes by which programs share text, and splitting a source into its
// vertex and fragment stages.

#include <cstddef>
#include <functional>
#include <optional>
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

// The bytes of the shader resource at a path under the shader root
// ("Filters/Contour.glsl"); nothing when there is no such resource.
using ShaderFileReader = std::function<std::optional<std::string>(const std::string& path)>;

// A program's source with its includes resolved, or why it could not be.
struct ExpandedShaderSource {
    // Empty when there is an error.
    std::string source;
    // Empty on success; otherwise names the file (or the chain of files) at fault.
    std::string error;
    // Every file read, the program's own first, in the order first included.
    std::vector<std::string> files;
};

// The text of the resource at `path` as by shaderSourceFromBytes, each line
// of the form `#include "PATH"` (blanks allowed around its parts) replaced by
// the text of the resource PATH, expanded the same way. PATH is relative to
// the shader root and may not hold empty, "." or ".." parts. A file enters a
// program once: including a file already included adds nothing. A missing
// resource, an include leading back to a file still being expanded, and a
// line starting with "#include" in any other form are errors.
ExpandedShaderSource expandShaderSource(const std::string& path, const ShaderFileReader& read);

// Splits a source at its marker lines: a line containing "##VERTEX" starts the
// vertex stage, one containing "##FRAGMENT" the fragment stage. Markers are
// not part of a stage; lines before the first marker and empty lines are
// dropped.
ShaderStages splitShaderSource(const std::string& source);

}  // namespace qel
