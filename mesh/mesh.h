#pragma once
// qel::Mesh, the triangle-mesh element (element type 0), and the
// topology queries and region walks.
//
// Records are addressed by index. Appending never moves a record (see
// qel::RecordVector); a deleted record only loses its active bit, so indices
// stay valid until removeInactive compacts both sequences.
//
// Decided faults:
// - Copies (copy constructor, operator=, clone, the matrix and union
//   constructors) start with the GL buffer names 0 (vbo, featureVbo) and no
//   bound attributes: two meshes never own the same GL buffers. operator=
//   first releases the target's own buffers through deleteVBO (slot 22).
// - The element's size is never stored as 0 (Element::setSize).
// - Walks and queries validate their index arguments: an index out of range,
//   an inactive vertex or face, a face that does not hold the vertex, or a
//   stored face that is -1 yields the failure result (-1, false, an empty
//   list, 0) instead of a crash. Neighbour links that point outside the face
//   list or to an inactive face are read as open edges. Every walk is bounded
//   by the face count, so a corrupt link cycle cannot hang it.
//
// Circling conventions, v the vertex, k its corner in a face:
// forward circling crosses edge (k+1)%3 (v to the previous corner
// v[(k+2)%3]); backward circling crosses edge (k+2)%3 (v to the next corner
// v[(k+1)%3]). A border vertex stores the face whose backward edge is open.

#include <cstdint>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "mesh/mesh_records.h"
#include "mesh/record_vector.h"
#include "scene/element.h"
#include "scene/pbr.h"

namespace qel {

class Mesh : public Element {
public:
    // Block sizes: about 48 KiB of vertices and 68 KiB of faces per block.
    using VertexList = RecordVector<MeshVertex, 11>;
    using FaceList = RecordVector<MeshFace, 9>;

    // ---- Fields after the element head ----
    VertexList vertices;
    FaceList faces;
    std::uint32_t vbo = 0;              // GL buffer of the vertex attributes (0: none)
    std::uint8_t topologyChanged = 0;   // faces added/removed/reordered: reallocate at next buildVBO
    std::uint8_t vboEnabled = 0;        // the six attributes are bound
    std::uint64_t vboOffsets[6] = {0, 0, 0, 0, 0, 0};
    std::uint8_t refill[4] = {0, 0, 0, 0};  // [0] positions, [1] normals, [2] paint, [3] face ids
    std::int32_t drawCount = 0;         // vertices drawn (3 per active face)
    std::uint32_t featureVbo = 0;       // GL line buffer of sharp and open edges
    std::int32_t featureCount = 0;      // its vertex count
    std::int32_t vertexMark = 0;        // vertex count at the last deselectAll / compaction
    std::int32_t faceMark = 0;          // face count at the last deselectAll / compaction
    std::int32_t recordedFaceCount = 0; // index kept by the sculpting operations
    // Scratch lists of the sculpting operations, in this order.
    std::vector<MeshInfluence> influences;              // influence list
    std::vector<MeshSectorInfluence> sectorInfluences;  // radius-selection (sector) records
    std::vector<std::int32_t> selectedVertices;         // entry i: vertex with selection index i
    std::vector<std::int32_t> sectorHeads;              // the i32 list after selectedVertices
    std::vector<std::int32_t> selectedFaces;
    std::vector<vec3> displacements;                    // entry i: displacement of selection index i
    std::vector<std::int32_t> scratch0;                 // two further i32 lists (not emptied
    std::vector<std::int32_t> scratch1;                 //   by deselectAll)
    std::uint8_t needsCompaction = 0;   // a record lost its active bit since the last compaction

    // ---- Construction and copying ----
    // An empty mesh through init().
    Mesh();
    // A copy of every field; the copy has reference count 0, id -1 and GL
    // names 0 (decided fault: no two meshes own the same buffers).
    Mesh(const Mesh& o);
    // The same as an assignment; self-assignment keeps the mesh unchanged.
    // The target's own GL buffers are released first (deleteVBO).
    Mesh& operator=(const Mesh& o);
    // A copy of the source whose positions are brought through
    // m * source.localMatrix(), each divided by w; centre (0,0,0), size 1.0,
    // vbo 0. Normals are not recomputed. A null source gives an empty mesh.
    Mesh(const Mesh* source, const mat4& m);
    // The union: both meshes copied through the identity matrix as above and
    // the second appended to the first. A null mesh contributes nothing.
    Mesh(const Mesh* a, const Mesh* b);
    // Releases the GL buffers through deleteVBO when vbo is not 0.
    ~Mesh() override;

    // Slot 2: centre (0,0,0), size 1.0, status 0, stamp 0, type 0; empties
    // both sequences; deselectAll; vbo 0; needsCompaction cleared. The GL
    // names are dropped, not released.
    void init() override;
    // Slot 6: a new mesh copied from this one, reference count 0, vbo 0.
    Mesh* clone() override;

    // ---- Adding records (each returns the new record's index: the old count) ----
    int vertexAdd(const vec3& p);
    // A corner vertex gets flags 11 (active, corner, sharp); otherwise 8,
    // plus bit 0 when sharp.
    int vertexAdd(float x, float y, float z, int face, bool sharp, bool corner);
    int vertexAdd(const MeshVertex& r);
    int faceAdd(const MeshFace& r);
    int faceAdd(int a, int b, int c, bool sharp0 = false, bool sharp1 = false, bool sharp2 = false);
    int faceAdd(int a, int b, int c, int f0, int f1, int f2, bool sharp0, bool sharp1, bool sharp2);
    // Fan-triangulates the polygon c from its first corner: faces
    // (c0, c[i+1], c[i+2]); sharp[j] marks the polygon edge c[j] -> c[j+1].
    // Fewer than three corners add nothing. Returns the old face count.
    // Missing sharp entries count as false.
    int facesAdd(const std::vector<int>& c, const std::vector<bool>& sharp);
    int facesAdd(const std::vector<int>& c);

    // ---- Selection ----
    // Clears the selection bits of every listed vertex and face, empties the
    // selection and scratch lists (not scratch0/scratch1) and
    // records the current counts in vertexMark and faceMark.
    void deselectAll();

    // ---- Appending and picking ----
    // Appends copies of other's vertices and faces (nothing for null):
    // vertex indices + this vertex count, neighbour links and stored faces +
    // this face count (-1 stays -1). Appending a mesh to itself doubles it.
    void append(const Mesh* other);
    // The face picked for a point on or near the surface (the second vector
    // is not read); see mesh_pick.cpp. -1 only when nothing can be picked.
    int findFirstFace(const vec3& point, const vec3& second = vec3()) const;

    // ---- Index helpers ----
    int vertexCount() const { return int(vertices.size()); }
    int faceCount() const { return int(faces.size()); }
    bool validVertex(int v) const { return v >= 0 && std::size_t(v) < vertices.size(); }
    bool validFace(int f) const { return f >= 0 && std::size_t(f) < faces.size(); }
    bool activeVertex(int v) const { return validVertex(v) && vertices[v].isActive(); }
    bool activeFace(int f) const { return validFace(f) && faces[f].isActive(); }

    // ---- vertex state ----
    // Backward circling from the stored face: stores the face whose backward
    // edge is open (sets sharp and border) or, for a sharp vertex of a closed
    // fan, the first face whose backward edge is sharp; clears bits 0-2 when
    // neither is found. Returns the stored face (-1 on invalid input).
    int vertexUpdate(int v);
    // False without the sharp bit; else more than two sharp or open edges.
    bool corner(int v) const;

    // ---- edge lookup and marking ----
    // The edge (f, k) joining a and b, found in the ring of a; false (f and k
    // unchanged) when b is not in the ring.
    bool findEdge(int a, int b, int& f, int& k) const;
    // Sets or clears the sharp mark of the edge between neighbours f and g on
    // both faces and adjusts the end vertices' flags (no vertexUpdate).
    void edgeSharp(int f, int g, bool sharp);

    // ---- neighbour lists (outputs cleared first; return length) ----
    int findFNeighbours(int v, std::vector<int>& faceList) const;
    int findFKNeighbours(int v, std::vector<int>& faceList, std::vector<int>& ks) const;
    int findNeighbours(int v, std::vector<int>& ring) const;
    int findNeighbours(int v, std::vector<int>& ring, std::vector<int>& faceList) const;
    int findNeighbours(int v, std::vector<int>& ring, std::vector<int>& faceList, std::vector<int>& crossings) const;
    // The ring length, without building lists.
    int vertexNeighbours(int v) const;

    // ---- sector walks ----
    int findStartRegion(int v, int f) const;
    int findEndRegion(int v, int f) const;
    int findVStartRegion(int v, int f) const;
    int findVEndRegion(int v, int f) const;
    int findBorder(int v, int f) const;
    int findRegion(int v, int f, std::vector<int>& faceList) const;
    int findBorderedRegion(int v, int f, std::vector<int>& faceList) const;
    int FindBorderedRegion(int v, int f, std::vector<int>& faceList) const;
    void materialRegion(int v, int f, const pbr& m, unsigned char mask);

    // ---- feature lines and borders ----
    // One step along a feature line (k: the edge of f by which the walk
    // arrived at v). Returns the new v; -1 (arguments unchanged) on invalid
    // input or when no sharp or open edge is found.
    int findVNext(int& v, int& f, int& k) const;
    int Feature(int v, std::vector<int>& line, bool stopAtCorner, int f = -1) const;
    int findVBorder(int v) const;
    int Border(int v, std::vector<int>& loop) const;

    // ---- geometry extraction (out emptied on invalid input) ----
    void segment(int a, int b, std::vector<vec3>& out) const;
    void triangle(int f, std::vector<vec3>& out) const;

private:
    // The stored face of v when v is active and its stored face is an active
    // face holding v; else -1.
    int startFace(int v) const;
    // The face across edge e of F when it is an active face; else -1.
    int link(const MeshFace& F, int e) const {
        const int g = F.f[e];
        return activeFace(g) ? g : -1;
    }
    // Edge e of F is sharp or open.
    bool bounded(const MeshFace& F, int e) const { return F.isSharp(e) || link(F, e) < 0; }
    // Copies every field of o except the element's id and reference count;
    // GL state starts empty.
    void copyFields(const Mesh& o);
};

}  // namespace qel
