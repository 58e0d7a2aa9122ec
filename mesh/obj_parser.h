#pragma once
// qel::ObjParser: reads the vertex and face statements of Wavefront OBJ text
// from memory into a mesh's record lists.
//
// A leading UTF-8 byte-order mark is skipped. Lines end at LF, CR or CR LF;
// empty lines are dropped. Tabs count as blanks, and blanks at the start of
// a line are skipped. A statement is its letter followed by a blank:
//   "v " / "V "  a vertex: the first three blank-separated numbers (missing
//                or unreadable ones read 0; non-finite values read 0).
//   "f " / "F "  a polygon, fan-triangulated from its first corner. Each
//                corner is "v", "v/t", "v//n" or "v/t/n"; with exactly three
//                '/'-pieces the third is the normal number, otherwise the
//                corner takes the normal number last held by its slot. The
//                normal number goes into the corner normal (NormalKey), so
//                that the rebuild can find sharp edges by comparing corners.
//                A polygon whose fan folds (a fan triangle facing against
//                the polygon's Newell normal) is triangulated instead inside
//                its outline, projected onto its plane, from its own
//                corners; when that fails the fan stays.
//   "vn "        counted only, to resolve negative normal numbers.
// Everything else is ignored.
//
// Vertex numbers are 1-based; a negative number counts back from the
// vertices read so far. A polygon with a zero number, a negative one
// reaching before the first vertex, or a positive one beyond the file's
// vertex count adds no face.
//
// Parsing allocates nothing per line: the text is walked in place and
// numbers are read with std::from_chars.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/vec.h"

namespace qel {

class Mesh;

class ObjParser {
public:
    explicit ObjParser(Mesh& mesh) : mesh_(mesh) {}

    // Appends the records of the text (read up to its first NUL byte).
    void parse(const char* text, std::size_t size);
    // The face statements of the last parse that added no face (a bad
    // vertex number, fewer than three corners, a number beyond the file's
    // vertices).
    std::size_t facesLeftOut() const { return facesLeftOut_; }

    // The triangles the import makes of a polygon whose corners lie at the
    // given points, as corner indices, three a triangle: its fan from the
    // first corner, (0, j - 1, j), or where that fan folds (a fan triangle
    // facing against the polygon's Newell normal) the triangulation inside
    // its outline projected onto its plane, from its own corners. True when
    // the fan was replaced.
    static bool PolygonTriangles(const std::vector<vec3>& corners, std::vector<int>& triangles);

    // The corner normal that carries normal number n. The rebuild compares
    // corner normals exactly, and a float holds every integer only up to
    // 2^24: below that the key is (n, n, n); above it, (n rounded to float,
    // r, r) with r the small rounding remainder, which no smaller number's
    // key matches. Different numbers always give different keys.
    static vec3 NormalKey(std::int32_t n);

private:
    // One corner of the polygon being read: 0-based vertex and normal number.
    struct Slot {
        std::int64_t vertex = 0;
        std::int32_t normal = 0;
    };
    // The faces of one polygon that names vertices not read yet; checked
    // against the final vertex count.
    struct Forward {
        std::size_t firstFace;
        std::size_t endFace;
        std::int64_t maxVertex;
    };

    // Each reads the statement after its letter and blank and returns the
    // position of the line end (or the text's end).
    const char* parseVertex(const char* p, const char* end);
    const char* parseFace(const char* p, const char* end);
    // Reads one corner token into the slot; false when its vertex number is
    // zero or reaches before the first vertex.
    bool readCorner(const char* p, const char* end, Slot& slot, std::int64_t& maxVertex);
    void addTriangle(const Slot& a, const Slot& b, const Slot& c);
    // The fan of the polygon whose n - 2 faces start at face `first`,
    // replaced by a triangulation inside its outline when it folds.
    void untangle(std::size_t first, std::size_t n);
    // Polygons with unresolved forward references, once the whole file is
    // read: the folding check of those that resolved.
    void untangleForward();
    // Drops the faces of polygons whose forward references stayed unresolved.
    void dropUnresolved();

    Mesh& mesh_;
    std::int64_t vertexCount_ = 0;  // vertex statements read so far (this parse)
    std::int64_t vertexBase_ = 0;   // vertices the mesh held before the parse
    std::int32_t normalCount_ = 0;  // "vn" statements read so far
    std::vector<Forward> forward_;
    std::size_t facesLeftOut_ = 0;
    // Scratch of untangle: the polygon's corners (vertex, normal key).
    std::vector<std::int32_t> cornerVertices_;
    std::vector<vec3> cornerNormals_;
    std::vector<vec3> cornerPositions_;
    std::vector<int> triangles_;
};

}  // namespace qel
