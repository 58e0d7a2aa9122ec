#include "gl/shadersource.h"

#include <algorithm>
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

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A path under the shader root: no empty, "." or ".." part, so that it cannot
// leave the root and names each file one way.
bool isPlainPath(const std::string& path) {
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == path.size()) return true;
        start = slash + 1;
    }
}

enum class IncludeLine { None, Include, Malformed };

// Whether the line is an include directive; its path goes to `path`.
IncludeLine parseInclude(const std::string& line, std::string& path) {
    static const std::string directive = "#include";
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (line.compare(i, directive.size(), directive) != 0) return IncludeLine::None;
    i += directive.size();
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size() || line[i] != '"') return IncludeLine::Malformed;
    const std::size_t close = line.find('"', i + 1);
    if (close == std::string::npos) return IncludeLine::Malformed;
    path = line.substr(i + 1, close - i - 1);
    for (i = close + 1; i < line.size(); ++i)
        if (!isBlank(line[i])) return IncludeLine::Malformed;
    return IncludeLine::Include;
}

std::string quoted(const std::string& text) { return '"' + text + '"'; }

// Expands one file after another, depth first. `chain_` holds the files
// being expanded, outermost first, to tell a circle from a repeated include.
class IncludeExpander {
public:
    IncludeExpander(const ShaderFileReader& read, ExpandedShaderSource& out) : read_(read), out_(out) {}

    // Appends the expanded text of `path`, included by `includer` (empty for
    // the program itself); false with out_.error set on failure.
    bool expand(const std::string& path, const std::string& includer) {
        if (std::find(chain_.begin(), chain_.end(), path) != chain_.end()) return fail(circle(path));
        if (std::find(out_.files.begin(), out_.files.end(), path) != out_.files.end()) return true;
        const std::optional<std::string> bytes = read_(path);
        if (!bytes) {
            return fail(includer.empty() ? "no shader resource " + quoted(path)
                                         : "missing include " + quoted(path) + " in " + quoted(includer));
        }
        out_.files.push_back(path);
        chain_.push_back(path);
        if (!expandLines(path, shaderSourceFromBytes(bytes->data(), bytes->size()))) return false;
        chain_.pop_back();
        return true;
    }

private:
    // Appends each line of the text of `path`, an include by its expansion.
    bool expandLines(const std::string& path, const std::string& text) {
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = text.find('\n', start);
            const std::string line = text.substr(start, end - start);
            start = end + 1;
            std::string included;
            switch (parseInclude(line, included)) {
                case IncludeLine::None:
                    out_.source.append(line).push_back('\n');
                    break;
                case IncludeLine::Malformed:
                    return fail("malformed include in " + quoted(path) + ": " + line);
                case IncludeLine::Include:
                    if (!isPlainPath(included))
                        return fail("include " + quoted(included) + " in " + quoted(path) +
                                    " is not a path under the shader root");
                    if (!expand(included, path)) return false;
                    break;
            }
        }
        return true;
    }

    bool fail(const std::string& error) {
        out_.error = error;
        return false;
    }

    std::string circle(const std::string& path) const {
        std::string text = "circular include: ";
        auto it = std::find(chain_.begin(), chain_.end(), path);
        for (; it != chain_.end(); ++it) text += *it + " -> ";
        return text + path;
    }

    const ShaderFileReader& read_;
    ExpandedShaderSource& out_;
    std::vector<std::string> chain_;
};

}  // namespace

ExpandedShaderSource expandShaderSource(const std::string& path, const ShaderFileReader& read) {
    ExpandedShaderSource out;
    IncludeExpander expander(read, out);
    if (!expander.expand(path, std::string())) out.source.clear();
    return out;
}

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
