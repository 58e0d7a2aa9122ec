#include "gl/shadersource.h"

#include <cstring>

namespace qel {

std::string shaderSourceFromBytes(const char* data, std::size_t size) {
    std::string source;
    if (!data) return source;
    const void* nul = std::memchr(data, '\0', size);
    const std::size_t end = nul ? std::size_t(static_cast<const char*>(nul) - data) : size;
    source.reserve(end + 1);
    std::size_t start = 0;
    for (std::size_t i = 0; i <= end; ++i) {
        if (i < end && data[i] != '\n' && data[i] != '\r') continue;
        if (i > start) {
            source.append(data + start, i - start);
            source += '\n';
        }
        start = i + 1;
    }
    return source;
}

namespace {

// The name declared by an "out " line: the text after the last blank, its
// final character (the ";") removed.
std::string varyingName(const std::string& line) {
    const std::size_t blank = line.find_last_of(' ');
    std::string name = blank == std::string::npos ? line : line.substr(blank + 1);
    if (!name.empty()) name.pop_back();
    return name;
}

}  // namespace

ShaderStages splitShaderSource(const std::string& source) {
    ShaderStages stages;
    int stage = 0;
    std::size_t start = 0;
    while (start < source.size()) {
        std::size_t end = source.find('\n', start);
        if (end == std::string::npos) end = source.size();
        const std::string line = source.substr(start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        if (line.find("##VERTEX") != std::string::npos) {
            stage = 1;
        } else if (line.find("##FRAGMENT") != std::string::npos) {
            stage = 2;
        } else if (stage == 1) {
            stages.vertex += line;
            stages.vertex += '\n';
            if (line.compare(0, 4, "out ") == 0) stages.varyings.push_back(varyingName(line));
        } else if (stage == 2) {
            stages.fragment += line;
            stages.fragment += '\n';
        }
    }
    return stages;
}

}  // namespace qel
