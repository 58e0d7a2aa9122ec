#pragma once
// qel::ObjWriter: the text of a Wavefront OBJ export of a mesh, as a whole
// single-object file or as one object of a multi-object file.
//
//   # Tessilor OBJ export
//   # <vertices> vertices, <faces> faces
//   (empty line)
//   v x y z        one per written vertex, in list order
//   vn x y z       one per sharp-bounded sector round each written vertex
//   f a//n b//n c//n   one per active face, in list order
//
// Only active faces are written, and only the vertices they use, numbered
// in list order. A sector's normal is the corner normal of the face that
// opens it (Mesh::findRegions); a corner names the normal of the sector that
// holds its face (Mesh::findStartRegion). A corner whose vertex has no
// sector gets nothing after "//". Floats are written in their shortest form
// that reads back to the same float. The mesh is not changed.

#include <cstdint>
#include <string>
#include <vector>

#include "core/mat.h"

namespace qel {

class Mesh;

class ObjWriter {
public:
    explicit ObjWriter(const Mesh& mesh) : mesh_(mesh) {}

    // Appends the whole file text to out.
    void write(std::string& out);
    // Appends one object of a multi-object file: an empty line, "o " + name,
    // the counts comment, then the vertices placed by M (divided by w), the
    // normals through the inverse transpose of M's 3x3 block (normalised)
    // and the faces, their vertex and normal numbers counted on from the two
    // bases. When M mirrors, the corners are written in reverse order so
    // that the faces keep facing outwards.
    void writeObject(std::string& out, const std::string& name, const mat4& M, std::int64_t vertexBase,
                     std::int64_t normalBase);
    // The vertices and normals of the last text written.
    int vertexTotal() const { return vertexTotal_; }
    int normalTotal() const { return int(regionFaces_.size()); }

private:
    // Active faces whose corners are all in the vertex list.
    bool written(int face) const;
    // Numbers the vertices, collects the sectors and reserves the text.
    void prepare(std::string& out);
    // number_[v]: 1-based number of each vertex used by a written face, 0
    // for vertices that are not written.
    void numberVertices();
    // The sectors of every written vertex, flattened in vertex order.
    void collectRegions();
    // Positions as stored, or placed by M.
    void writeVertices(std::string& out, const mat4* M) const;
    // Corner normals as stored, or through N and normalised.
    void writeNormals(std::string& out, const mat3* N) const;
    void writeFaces(std::string& out, std::int64_t vertexBase, std::int64_t normalBase, bool mirrored) const;
    // The normal number of vertex v's corner in face f; 0 when v has no
    // sector or the face's sector is not found.
    int normalNumber(int v, int f) const;

    const Mesh& mesh_;
    std::vector<int> number_;
    std::vector<int> regionStart_;  // per vertex and one past: offsets into regionFaces_
    std::vector<int> regionFaces_;  // the faces opening each sector
    int vertexTotal_ = 0;
    int faceTotal_ = 0;
};

}  // namespace qel
