#pragma once
// qel::ObjWriter: the text of a single-object Wavefront OBJ export of a mesh.
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
// sector gets nothing after "//". Numbers use the general format with six
// significant digits. The mesh is not changed.

#include <string>
#include <vector>

namespace qel {

class Mesh;

class ObjWriter {
public:
    explicit ObjWriter(const Mesh& mesh) : mesh_(mesh) {}

    // Appends the whole file text to out.
    void write(std::string& out);

private:
    // Active faces whose corners are all in the vertex list.
    bool written(int face) const;
    // number_[v]: 1-based number of each vertex used by a written face, 0
    // for vertices that are not written.
    void numberVertices();
    // The sectors of every written vertex, flattened in vertex order.
    void collectRegions();
    void writeVertices(std::string& out) const;
    void writeNormals(std::string& out) const;
    void writeFaces(std::string& out) const;
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
