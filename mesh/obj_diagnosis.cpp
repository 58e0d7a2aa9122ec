// Why OBJ text gave no mesh: see obj_diagnosis.h.

#include "mesh/obj_diagnosis.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/number_text.h"
#include "mesh/mesh.h"
#include "mesh/obj_parser.h"

namespace qel {

namespace {

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The text's lines, numbered from 1, each without its line end.
class Lines {
public:
    Lines(const char* text, std::size_t size) {
        const void* nul = std::memchr(text, 0, size);
        end_ = nul ? static_cast<const char*>(nul) : text + size;
        p_ = text;
        if (end_ - p_ >= 3 && std::memcmp(p_, "\xEF\xBB\xBF", 3) == 0) p_ += 3;
    }
    bool next(std::string_view& line, int& number) {
        if (p_ >= end_) return false;
        const char* e = p_;
        while (e < end_ && *e != '\n' && *e != '\r') ++e;
        line = std::string_view(p_, std::size_t(e - p_));
        number = ++number_;
        if (e < end_ && *e == '\r' && e + 1 < end_ && e[1] == '\n') ++e;
        p_ = e < end_ ? e + 1 : end_;
        return true;
    }

private:
    const char* p_;
    const char* end_;
    int number_ = 0;
};

// The statement letter of a line ('v' or 'f', lower case) when the line is
// one, with `rest` after the letter's blank; 0 otherwise.
char statement(std::string_view line, std::string_view& rest) {
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (line.size() - i < 2 || !isBlank(line[i + 1])) return 0;
    const char c = char(line[i] | 0x20);
    if (c != 'v' && c != 'f') return 0;
    rest = line.substr(i + 2);
    return c;
}

// The blank-separated parts of a statement.
std::vector<std::string_view> parts(std::string_view rest) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < rest.size()) {
        while (i < rest.size() && isBlank(rest[i])) ++i;
        const std::size_t start = i;
        while (i < rest.size() && !isBlank(rest[i])) ++i;
        if (i > start) out.push_back(rest.substr(start, i - start));
    }
    return out;
}

inline bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n'; }

// The vertex number of a corner ("12", "12/3", "12//4") as the import reads
// it: its first piece, white space around it dropped and one leading '+'
// taken, must be one whole 32-bit integer.
bool vertexNumber(std::string_view corner, std::int64_t& n) {
    std::string_view piece = corner.substr(0, corner.find('/'));
    while (!piece.empty() && isSpace(piece.front())) piece.remove_prefix(1);
    while (!piece.empty() && isSpace(piece.back())) piece.remove_suffix(1);
    if (!piece.empty() && piece[0] == '+') {
        piece.remove_prefix(1);
        if (!piece.empty() && (piece[0] == '+' || piece[0] == '-')) return false;
    }
    std::int32_t v = 0;
    const std::from_chars_result r = std::from_chars(piece.data(), piece.data() + piece.size(), v);
    n = v;
    return !piece.empty() && r.ec == std::errc() && r.ptr == piece.data() + piece.size();
}

std::string quoted(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    line.remove_prefix(i);
    std::string q(line.substr(0, 40));
    if (line.size() > 40) q += "...";
    return "\"" + q + "\"";
}

std::string lineName(int number, std::string_view line) {
    return "line " + std::to_string(number) + ", " + quoted(line) + ",";
}

// Why the face statement after its letter gives no face, as the import
// reads it: its first corner that is not a vertex number or names no
// vertex (read vertices read so far, total in the file), or fewer than
// three corners; empty when it gives one. corners receives its vertices
// (0-based).
std::string faceFault(std::string_view rest, std::int64_t read, std::int64_t total,
                      std::vector<std::int64_t>& corners) {
    corners.clear();
    for (std::string_view corner : parts(rest)) {
        std::int64_t n = 0;
        if (!vertexNumber(corner, n)) return "\"" + std::string(corner.substr(0, 20)) + "\" is not a vertex number";
        if (n == 0) return "names vertex 0 (vertices count from 1)";
        if (n < 0 && read + n < 0) return "counts back past the first vertex (" + std::to_string(n) + ")";
        if (n > total)
            return "names vertex " + std::to_string(n) + ", but the file has " + std::to_string(total) +
                   (total == 1 ? " vertex" : " vertices");
        corners.push_back(n > 0 ? n - 1 : read + n);
    }
    return corners.size() < 3 ? "has fewer than three corners" : std::string();
}

// The "v" statements of the text.
std::int64_t vertexStatements(const char* text, std::size_t size, bool* anyFace = nullptr) {
    std::string_view line, rest;
    int number = 0;
    std::int64_t total = 0;
    for (Lines lines(text, size); lines.next(line, number);) {
        const char c = statement(line, rest);
        total += c == 'v';
        if (anyFace && c == 'f') *anyFace = true;
    }
    return total;
}

}  // namespace

std::string ObjDiagnosis::Why(const char* text, std::size_t size) {
    if (text == nullptr) size = 0;
    std::string_view line, rest;
    int number = 0;

    bool anyFace = false;
    const std::int64_t total = vertexStatements(text, size, &anyFace);
    if (!anyFace) return total == 0 ? "it is not an OBJ mesh: it has no \"v\" or \"f\" line" : "it has no face (\"f\" line)";

    // The vertices where the import puts them: a polygon whose fan folds is
    // triangulated by where its corners lie.
    Mesh read;
    ObjParser(read).parse(text, size);

    // Edges by their two vertices (0-based, smaller first), with the number
    // of the import's triangles holding them; the first bad face line is
    // kept.
    std::unordered_map<std::uint64_t, int> edges;
    std::string firstBad;
    std::int64_t vertices = 0;
    std::vector<std::int64_t> corners;
    std::vector<vec3> points;
    std::vector<int> triangles;
    for (Lines lines(text, size); lines.next(line, number);) {
        const char c = statement(line, rest);
        if (c == 'v') ++vertices;
        if (c != 'f') continue;
        const std::string bad = faceFault(rest, vertices, total, corners);
        if (!bad.empty()) {
            if (firstBad.empty()) firstBad = lineName(number, line) + " " + bad;
            continue;
        }
        // The polygon's triangles as the import makes them.
        points.clear();
        for (const std::int64_t v : corners)
            points.push_back(std::size_t(v) < read.vertices.size() ? read.vertices[std::size_t(v)].position : vec3());
        ObjParser::PolygonTriangles(points, triangles);
        for (std::size_t i = 0; i + 2 < triangles.size(); i += 3) {
            const std::int64_t t[3] = {corners[std::size_t(triangles[i])], corners[std::size_t(triangles[i + 1])],
                                       corners[std::size_t(triangles[i + 2])]};
            for (int k = 0; k < 3; ++k) {
                std::int64_t a = t[k], b = t[(k + 1) % 3];
                if (a == b) continue;
                if (a > b) std::swap(a, b);
                if (++edges[std::uint64_t(a) << 32 | std::uint64_t(b)] == 3)
                    return lineName(number, line) + " gives the edge between vertices " + std::to_string(a + 1) +
                           " and " + std::to_string(b + 1) + " a third face";
            }
        }
    }
    return firstBad;
}

std::string ObjDiagnosis::LeftOut(const char* text, std::size_t size, std::size_t count) {
    if (text == nullptr) size = 0;
    const std::int64_t total = vertexStatements(text, size);
    std::string_view line, rest;
    int number = 0;
    std::int64_t read = 0;
    std::vector<std::int64_t> corners;
    std::string first;
    for (Lines lines(text, size); first.empty() && lines.next(line, number);) {
        const char c = statement(line, rest);
        if (c == 'v') ++read;
        if (c != 'f') continue;
        const std::string bad = faceFault(rest, read, total, corners);
        if (!bad.empty()) first = lineName(number, line) + " " + bad;
    }
    std::string said = count == 1 ? "1 face line gave no face and was left out"
                                  : groupedNumber(count) + " face lines gave no face and were left out";
    if (!first.empty()) said += std::string(count == 1 ? " (" : " (the first: ") + first + ")";
    return said;
}

}  // namespace qel
