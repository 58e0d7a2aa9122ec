#pragma once
// qel::ObjMtlTexWriter: writes the placed meshes of a scene, one after the
// other, as objects of one Wavefront OBJ file that share one material
// ("Material" for the scene export), painting each triangle's corner
// materials into its cell of the texture atlas.
//
// Per mesh (appendOBJ_MTL_TEX), with M its world matrix:
//   o ObjectK           K counts the objects, zero-padded to the digits of
//                       the total number of listed tools
//   # nV vertices, nF faces
//   usemtl <material>
//   v x y z             M p divided by w, per written vertex in list order
//   vt u v              three per written face: its cell's corner points
//   vn x y z            one per sharp-bounded sector round each written
//                       vertex (Mesh::findRegions), through the inverse
//                       transpose of M's 3x3 block, normalised
//   f v/vt/vn x3        per written face; a corner names the normal of the
//                       sector holding its face (Mesh::findStartRegion)
// Only active faces whose corners are valid vertices are written, and only
// the vertices they use; deleted records stay out of the file. When M
// mirrors (negative determinant) every face is written with its corners in
// reverse order, so the object keeps facing outwards. The writer's first
// object also opens the material in the MTL file, with the four atlas maps
// (the map prefix followed by "_basecolor.png", "_emission.png", ...).
//
// Indices continue across objects through the running counters. The mesh
// is not changed; the scratch lists are reused from mesh to mesh, so the
// pass allocates nothing per face.

#include <cstdint>
#include <string>
#include <vector>

#include "core/mat.h"
#include "gl/pbr.h"

namespace qel {

class ExportStream;
class Mesh;
class TextureAtlas;

// Running counters across the objects of one export.
struct ObjExportCounters {
    int objects = 0;
    std::int64_t vertexOffset = 0;
    std::int64_t texOffset = 0;
    std::int64_t normalOffset = 0;
    std::int64_t cellOffset = 0;
};

class ObjMtlTexWriter {
public:
    using Counters = ObjExportCounters;

    // total: the number of listed tools (sets the width of object numbers);
    // start: the counters to continue from.
    ObjMtlTexWriter(ExportStream& obj, ExportStream& mtl, TextureAtlas& atlas, int total,
                    std::string material = "Material", std::string mapPrefix = "Material", Counters start = {});
    ObjMtlTexWriter(const ObjMtlTexWriter&) = delete;
    ObjMtlTexWriter& operator=(const ObjMtlTexWriter&) = delete;

    // The vertices and faces appendOBJ_MTL_TEX writes for the mesh; used is
    // scratch space.
    static void Measure(const Mesh& mesh, std::vector<std::uint8_t>& used, std::int64_t& vertices,
                        std::int64_t& faces);
    // Writes one mesh placed by M with the object material (multiplied into
    // every corner material) and advances the counters.
    void appendOBJ_MTL_TEX(const Mesh& mesh, const mat4& M, const pbr& material);

    const Counters& counters() const { return counters_; }

private:
    // An active face whose three corners are vertices of the mesh.
    static bool written(const Mesh& mesh, int f);
    // number_[v]: 1-based number of each vertex a written face uses, else 0;
    // useFace_[v]: one written face using it; writtenFaces_. Sets
    // vertexTotal_, faceTotal_.
    void numberVertices(const Mesh& mesh);
    // The sectors of every written vertex, flattened in vertex order; a
    // vertex whose fan yields none gets the one of a face using it.
    void collectRegions(const Mesh& mesh);
    void writeHeader();
    void writeVertices(const Mesh& mesh, const mat4& M);
    void writeTexCoords(const Mesh& mesh, const pbr& material);
    void writeNormals(const Mesh& mesh, const mat3& N);
    void writeFaces(const Mesh& mesh, bool mirrored);
    // The 0-based position (within this object) of vertex v's normal for
    // its corner in face f; the vertex's first normal when the face's
    // sector is not among its sectors.
    int normalIndex(const Mesh& mesh, int v, int f) const;

    ExportStream& obj_;
    ExportStream& mtl_;
    TextureAtlas& atlas_;
    int digits_ = 1;
    std::string material_;
    std::string mapPrefix_;
    Counters counters_;
    bool declared_ = false;  // the MTL file holds the material

    std::vector<int> writtenFaces_;  // the faces written, in order
    std::vector<int> number_;
    std::vector<int> useFace_;
    std::vector<int> regionStart_;  // per vertex and one past: offsets into regionFaces_
    std::vector<int> regionFaces_;  // the face opening each sector
    std::vector<int> regions_;      // findRegions output for one vertex
    int vertexTotal_ = 0;
    int faceTotal_ = 0;
};

}  // namespace qel
