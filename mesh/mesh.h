#pragma once
// qel::Mesh, the triangle-mesh element (element type 0), and the
// topology queries and region walks. The class's members are declared here
// in sections, each naming the sources that define them.
//
// Records are addressed by index. Appending never moves a record (see
// qel::RecordVector); a deleted record only loses its active bit, so indices
// stay valid until removeInactive compacts both sequences.
//
// Safety rules:
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
#include <iosfwd>
#include <memory>
#include <utility>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "gl/pbr.h"
#include "mesh/mesh_buffer_state.h"
#include "mesh/mesh_records.h"
#include "mesh/record_vector.h"
#include "scene/element.h"

namespace qel {

class SimplePolygon;  // the outline FromSimplePolygon meshes
class VertexFans;     // the fans of a list of vertices, gathered once
struct FaceTable;     // flat corners, links and flags of the faces during a rebuild
class MeshStroke;    // what a sculpt stroke keeps between its steps
struct VertexSettling;  // what the record writer gathers of a vertex
namespace spaceorder {
struct Plan;  // a space order planned before any record moves
}

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
    std::uint8_t refill[4] = {0, 0, 0, 0};  // [0] positions, [1] normals, [2] paint, [3] face ids:
                                            //   RefillWhole or RefillMarked (see MeshBufferState)
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
    // What the buffers were built from and what changed since, and the
    // writes of a stroke that mark it (a copy starts without it).
    MeshBufferState bufferState{*this, refill};

    // ---- Construction and copying ----
    // An empty mesh through init().
    Mesh();
    // A copy of every field; the copy has reference count 0, id -1 and GL
    // names 0 (no two meshes own the same buffers).
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
    // both sequences; deselectAll; GL buffers released (vbo 0);
    // needsCompaction cleared.
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

    // ---- Brush selections and the operators on the current selection
    //      (mesh_brush_select.cpp, mesh_selection_ops.cpp) ----
    // A brush step selects the vertices one stamp reaches, each with its
    // relative distance t from the centre (influences, or sectorInfluences
    // for a patch); an operator then writes one displacement per selection
    // index; the caller adds them (applyDisplacement), refreshes normals
    // (selectMarginal, calculateSelectedNormals) and ends with deselectAll.
    //
    // The brush falloff 1 - 3t^2 + 2t^3: 1 at the centre, 0 at the rim.
    static double falloff(double t) { return 1.0 - t * t * (3.0 - 2.0 * t); }
    // Active vertices strictly inside the sphere, over the whole mesh.
    void selectV(const vec3& centre, float radius, bool clear);
    // Vertices inside the closed sphere within the connected component
    // (selectVG) or the sharp-bounded patch (selectVG_, one sector record per
    // sector reaching a vertex) of the face; every face walked is selected.
    // A negative face is picked from the centre; with nothing to pick the
    // lists stay as they were. A face that is not active is refused the same
    // way. Expect an empty selection on entry (clear set).
    void selectVG(const vec3& centre, float radius, bool clear, int face);
    void selectVG_(const vec3& centre, float radius, bool clear, int face);
    // Every vertex record (active or not) listed with t 0 and its own index
    // as selection index; the selected bit is not set. selectAll also lists
    // every face index, setting no face selection bit.
    void selectAllV();
    void selectAll();
    // Selects the faces round the selected vertices and their other
    // vertices, so that calculateSelectedNormals refreshes every face that
    // touches a moved vertex.
    void selectMarginal();
    // The same with the fans of the selected vertices gathered (read when
    // they list exactly the selected vertices).
    void selectMarginal(const VertexFans& selected);
    // selectMarginal, calculateSelectedNormals and deselectAll, with the
    // faces of the margin kept in a scratch set instead of selected: the
    // same normals without writing selection bits into faces (a face is
    // selected when it is on selectedFaces). The fans are those of the
    // selected vertices (else they are gathered here).
    void refreshMarginAndDeselect();
    void refreshMarginAndDeselect(const VertexFans& selected);
    // fans.gather(*this, list, n); during the steps of a brush stroke the
    // fans its earlier steps gathered are copied instead of walked again.
    void gatherFans(VertexFans& fans, const std::int32_t* list, std::size_t n);
    // Adds each displacement to the vertex with the same selection index.
    void applyDisplacement();
    // Displacement writers: each first sizes displacements to the selected
    // vertices (new entries zero). _deform adds w(t) v per influence,
    // _deformG the same once per vertex of the sector records (from its
    // record of largest weight), _move v, _moveN s x offset; _scale and
    // _transform assign the movement of the vertex under the transform.
    void _deform(const vec3& v);
    void _deformG(const vec3& v);
    void _move(const vec3& v);
    void _moveN(float s);
    void _scale(const vec3& centre, float s);
    // Scaling by s along direction through centre, nothing across it.
    void _scale(const vec3& centre, const vec3& direction, float s);
    // M p / w' - p expected: callers pass their transform minus the identity
    // in rows 0-2, and the entry becomes the image of p divided by w'.
    void _transform(const mat4& m);
    // Every vertex record to M p / w' (kept where w' is 0); normals recomputed.
    void transform(const mat4& m);

    // ---- Brush deformers, smoothers and painters (mesh_brush_deform.cpp,
    //      mesh_brush_paint.cpp) ----
    // pinch, twist and deformVolume select round the centre and leave the
    // displacements for the caller to apply; the others apply them, refresh
    // the normals round the moved vertices and end with deselectAll.
    //
    // Each vertex moves by strength w(t) of its offset towards the centre
    // (a negative strength pushes it away).
    void pinch(const vec3& centre, float radius, float strength);
    // Turns the vertices by w(t) x angle about the line through the centre
    // along the (unit) axis.
    void twist(const vec3& centre, const vec3& axis, float angle, float radius);
    // The vertices within the radius of a move by w(t)(b - a): deform leaves
    // the displacements to the caller, deformG (the component) applies them.
    void deform(const vec3& a, const vec3& b, float radius);
    void deformG(const vec3& a, const vec3& b, float radius, int face);
    // Carries the ball round a along b - a by the divergence-free field of
    // fieldVolume times |b - a|: the volume keeps to first order.
    void deformVolume(const vec3& a, const vec3& b, float radius);
    // The field at offset d (relative distance t) in the frame e0, e1, e2
    // (e2 along the stroke) of a ball of radius R: zero, with zero slope, at
    // the rim.
    static vec3 fieldVolume(const vec3& d, float t, const vec3& e0, const vec3& e1, const vec3& e2, float R);
    // Half a step, weighted by w(t), towards each vertex's smoothed position
    // within the sphere over the mesh (smooth), the component (smoothG) or
    // the patch (smoothG_, without the margin). The second point is not read.
    void smooth(const vec3& centre, const vec3& other, float radius);
    void smoothG(const vec3& centre, const vec3& other, float radius, int face);
    void smoothG_(const vec3& centre, const vec3& other, float radius, int face);
    // Adds s w(t) (smoothed position - position) per influence (_smooth) or
    // per sector record (_smoothG), from the positions before the step.
    void _smooth(float s);
    // The same reading the fans gathered for the influence list (when they
    // list its vertices in order; else gathered here).
    void _smooth(float s, const VertexFans& fans);
    void _smoothG(float s);
    // Blends the masked channels of every sharp-bounded sector of each
    // influenced vertex towards the material by s (1 - t)^2, each sector
    // from its own corner material.
    void _material(const pbr& material, unsigned char mask, float s);
    // _material within the sphere over the mesh (material) or the component
    // (materialG); both end with deselectAll.
    void material(const vec3& centre, float radius, const pbr& P, unsigned char mask, float s);
    void materialG(const vec3& centre, float radius, int face, const pbr& P, unsigned char mask, float s);
    // The same within the patch of the face, on the sectors the patch
    // reaches; ends with deselectAll.
    void materialG_(const vec3& centre, float radius, int face, const pbr& material, unsigned char mask, float s);
    // Sets the masked channels of every corner of the component (materialF)
    // or the patch (materialF_) of the face; ends with deselectAll.
    void materialF(const vec3& point, int face, const pbr& material, unsigned char mask);
    void materialF_(const vec3& point, int face, const pbr& material, unsigned char mask);
    // Erases the patch of the face and compacts the mesh.
    void eraseF_(const vec3& point, int face);

    // ---- Sculpt strokes (mesh_sculpt.cpp, mesh_stroke.cpp) ----
    // Slot 33: one stroke step of every Sculptor, in order (mesh_sculpt.cpp).
    // A moving stroke keeps what its steps moved, and its scoped stamps the
    // patch or component they work in, until its end (mesh_stroke.cpp): the
    // end refreshes the normals round what moved alone.
    void sculpt(std::vector<Sculptor*>& sculptors) override;
    // Whether sculpt has an operation for the action (a Sculptor::TAction
    // value): false for those that leave a triangle mesh as it is (Inflate,
    // Deflate, Flatten, Mirror, TearInflate, ClipSphereReverse among them).
    static bool sculptActs(int action);
    // A stroke cut short (its release never came): the normals round what
    // it moved (all of them, and the selection cleared, after a split,
    // tear, extrusion or bevel) are refreshed as its end would, and what it
    // kept for its stamps is dropped. The view calls it before every stroke: the vertex
    // grid stays for the next one (it follows what moved since).
    void clearStroke() override;
    // Whether a vertex grid is kept for the next stroke.
    bool strokeGridKept() const;
    // Whether the component and patch labels of the scoped stamps are
    // found for the mesh as it is.
    bool strokeLabelsKept() const;
    // Vertex positions were written other than by a stroke's stamps (an
    // edit, an undo, a renumbering): the kept vertex grid compares them
    // again before a stroke next reads it. The mesh's own edits call it;
    // code that writes positions into the vertex list directly calls it
    // too. Between such calls the grid trusts the positions it holds.
    void positionsEdited();
    // The same for links, sharp marks, active bits or face corners: the
    // component and patch labels of the scoped stamps are found again.
    void topologyEdited();

private:
    // The stroke's state is the mesh's own: its stamps select through the
    // walks below and its end runs strokeNormalPass, steps no other caller
    // may take.
    friend class MeshStroke;
    // The stroke's kept state (null before the first stroke; mesh_stroke.h).
    std::unique_ptr<MeshStroke> stroke_;
    MeshStroke& stroke();
    // A moving stroke's press or first step; a stroke still open, on this
    // mesh or another, is ended first (clearStroke), except that the first
    // step (firstStep) goes on with the stroke of this mesh whose press
    // alone ran and moved nothing: what the press kept still holds.
    void strokeBegin(bool firstStep);
    // This mesh no longer holds the open stroke (its stroke state went).
    void forgetOpenStroke();
    // The stroke's end (MeshStroke::end): with normals, those round what it
    // moved refreshed.
    void strokeEnd(bool normals);
    // selectVG (patch false) or selectVG_ from the face (negative: picked
    // from the centre) after deselectAll; during a stroke from the scope it
    // keeps (MeshStroke::selectInScope).
    void selectInScope(const vec3& centre, float radius, int face, bool patch);
    // The walks of selectVG and selectVG_, listing every face walked.
    void selectVGWalk(const vec3& centre, float radius, bool clear, int face, std::vector<int>* walked);
    void selectVG_Walk(const vec3& centre, float radius, bool clear, int face, std::vector<int>* walked);

public:
    // ---- end of sculpt strokes ----

    // ---- Scoped transforms, the feature eraser and pattern replacement
    //      (mesh_scoped_transforms.cpp, mesh_feature_eraser.cpp,
    //      mesh_replace_face.cpp) ----
    // One stroke step from `from` to `to` on the part under the picked face
    // (a negative face is picked from `from`). Each ends with the selection
    // cleared; the element's centre and size are not changed. A face that
    // cannot be picked moves nothing.
    //
    // Moves the component (deformF) or the sharp-bounded patch (deformF_)
    // of the face by to - from and refreshes the normals round it.
    void deformF(const vec3& from, const vec3& to, int face);
    void deformF_(const vec3& from, const vec3& to, int face);
    // Scales the scoped vertices (SelectElement, SelectAllPatches: all,
    // about the element's centre; SelectPatch, SelectComponent: the part of
    // the face, about its centre) by |to - c| / |from - c| (uniform) or
    // along to - from by the ratio of the two distances along it
    // (directional; a ratio outside (1/2, 2) in magnitude skips the step).
    // A step of zero length or starting at the centre changes nothing.
    void scale(const vec3& from, const vec3& to, int face, const Sculptor::TSelect& scope, bool uniform);
    // Turns the scoped vertices about the centre (the part's bounding-box
    // middle) so that from - c turns onto to - c; with a non-zero axis both
    // are first projected onto the plane across it, so the turn is about
    // the axis through the centre.
    void rotate(const vec3& from, const vec3& to, int face, const Sculptor::TSelect& scope, const vec3& axis);
    // The feature eraser: the sharp line of the face's patch nearest to the
    // point is made smooth from corner to corner (a closed loop whole).
    // False, with nothing changed, when no face is picked or the patch has
    // no sharp or open edge.
    bool select_(const vec3& point, bool clearFirst, int face);
    // Replaces face f by the pattern panel mapped onto its triangle. Panel
    // vertices 0-2 stand for f's corners (the reference triangle of
    // Triangle(): circumradius 1, z along the face normal in units of it);
    // the others and all panel faces are appended, the faces on the
    // reference edges are linked to f's neighbours, f loses its active bit
    // and three inactive vertex records are left for removeInactive. Normals
    // of the new faces stay the panel's. Nothing for a null panel, this mesh
    // as panel, a panel face naming a vertex the panel lacks, a reference
    // edge not covered by exactly one panel face running it as the reference
    // triangle does, or an f that is not an active face.
    void replaceFace(int f, const Mesh* panel);
    // makeSharp, every face replaced by the panel, compaction, a rebuild
    // keeping centre and size, and sharpen(5) degrees. Nothing for a panel
    // that replaceFace refuses.
    void replaceFaces(const Mesh* panel);
    // ---- end of scoped transforms, feature eraser and pattern replacement ----

    // ---- Region operations of a stroke (mesh_region_ops.cpp,
    //      mesh_region_moves.cpp, mesh_bevel.cpp) ----
    // The first step of a stroke makes the topology; the later steps move
    // what it made. Divide tears patches off along their sharp or open rim
    // (each torn sector gets its own copy of a rim vertex; the last sector
    // at a vertex keeps it); split does the same and fills the gaps with
    // wall faces painted with the material (seam: sharp seams at corners).
    // Both record the face count before them in recordedFaceCount; the A_
    // steps walk only the faces below it (and below the face count), so the
    // walls are never moved as patches. The A_ forms mark each patch done
    // with MeshFace::MarkBit and clear every mark before they return. A face
    // that cannot be picked (a negative face is picked from the point)
    // changes nothing. All but inflateF_ end with nothing selected.
    void divideA_();
    void divideF_(const vec3& point, int face);
    // The rim vertices of the picked patch within the radius of the point.
    void divideG_(const vec3& point, float radius, int face);
    void splitA_(const pbr& material, bool seam);
    // face receives the picked face. An open sheet (a patch bounded only by
    // the mesh border) first gets a back side, turned over and sharing the
    // border vertices across sharp edges, so that the split and a following
    // extrusion make a closed shell. Records are only appended.
    void splitF_(const vec3& point, int& face, const pbr& material, bool seam);
    void splitG_(const vec3& point, float radius, int face, const pbr& material, bool seam);
    // The picked patch moves by the part of to - from along its mean normal.
    void extrudeF_(const vec3& from, const vec3& to, int face);
    // The picked patch as extrudeF_; every other patch below the recorded
    // count moves by the same distance along its own mean normal.
    void extrudeA_(const vec3& from, const vec3& to, int face);
    // Every patch below the recorded count is scaled about its own centre by
    // |to - p| / |from - p|, p the picked patch's centre (the middle of its
    // box brought into the plane through its mean across its normal). A
    // step starting at p moves nothing.
    void scaleA_(const vec3& from, const vec3& to, int face);
    // The falloff-weighted move by to - from of the picked patch's vertices
    // within the radius; normals refreshed round them.
    void deformG_(const vec3& from, const vec3& to, float radius, int face);
    // Moves the corners of the selected faces along their corner normals by
    // the part of to - from along the faces' mean normal. The selection
    // stays: later steps move the same vertices along the same offsets.
    // face is not read.
    void inflateF_(const vec3& from, const vec3& to, int face);
    // Tears every patch off and bridges every former sharp edge by a strip
    // of two triangles and every corner by a fan, all of zero width, linked
    // to the patches across sharp edges and painted with the material: the
    // following extrudeA_ steps open them into the bevel without a hole.
    // flag is not read.
    void bevelA_(const pbr& material, bool flag);
    // The patch of the face torn (divide) or split off, added to the
    // current selection, its faces given the region mark.
    void _divideF_(int face);
    void _splitF_(int face, const pbr& material, bool seam);
    // Patch operators of the picked patch (mesh_patch_ops.cpp): the inset
    // along the mean normal (bevelF_), the rim scaled along the surface
    // about the patch centre (tangentA_) and the plane cut (cutPlaneF_).
    // Each ends with nothing selected and the normals refreshed.
    void bevelF_(const vec3& a, const vec3& b, int face);
    void tangentA_(const vec3& a, const vec3& b, int face);
    void cutPlaneF_(const vec3& point, const vec3& normal, int face);
    // Erases every face with two corners at one position; compacts.
    void cleanup();
    void check() {}
    // ---- end of region operations ----

    // ---- Index helpers ----
    int vertexCount() const { return int(vertices.size()); }
    int faceCount() const { return int(faces.size()); }
    bool validVertex(int v) const { return v >= 0 && std::size_t(v) < vertices.size(); }
    bool validFace(int f) const { return f >= 0 && std::size_t(f) < faces.size(); }
    bool activeVertex(int v) const { return validVertex(v) && vertices[v].isActive(); }
    bool activeFace(int f) const { return validFace(f) && faces[f].isActive(); }
    // The face across edge e of F when it is an active face; else -1.
    int link(const MeshFace& F, int e) const {
        const int g = F.f[e];
        return activeFace(g) ? g : -1;
    }
    // Edge e of F is sharp or open.
    bool bounded(const MeshFace& F, int e) const { return F.isSharp(e) || link(F, e) < 0; }
    // The stored face of v when v is active and its stored face is an active
    // face holding v; else -1.
    int startFace(int v) const;
    // Appends v to the vertex selection: the selected bit, and the next
    // selection index with its entry in selectedVertices.
    void appendSelectedVertex(int v) {
        MeshVertex& r = vertices[v];
        r.flags = std::uint8_t(r.flags | MeshVertex::SelectedBit);
        r.selection = std::int32_t(selectedVertices.size());
        selectedVertices.push_back(v);
    }

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
    // The masked channels of v's corners in the sharp-bounded sector from f
    // become m; returns the channels whose values changed.
    unsigned char materialRegion(int v, int f, const pbr& m, unsigned char mask);

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

    // ---- Rebuild: connectivity, orientation, sharpness, size, compaction
    //      (mesh_connectivity.cpp, mesh_compact.cpp) ----
    // Slot 3. buildConnectivity; on failure status 1 and nothing more;
    // else status 0, correctOrientation, initializeVertices,
    // calculateNormals(2), calculateSize(style), removeInactive(false),
    // splitCoincidentVertices, and the GL buffers are released (deleteVBO)
    // so that the next draw builds new ones.
    void initialize(TResizeStyle style) override;
    // The same with buildSharpness after initializeVertices (OBJ import:
    // sharp edges from the corner normals that hold the normal numbers).
    void initializeReconstructSharp(TResizeStyle style);
    // Links every active face to its neighbours (-1 on open edges) and
    // stores in every vertex the last active face using it. Faces that name
    // a vertex twice or a vertex outside the list lose their active bit
    // first; an inactive vertex used by an active face is revived; an active
    // vertex used by no active face loses its active bit. An edge marked
    // sharp in one of its faces only is marked in both. False, with no
    // link written, when an edge is used by more than two faces.
    bool buildConnectivity();
    // One orientation per connected component, by majority vote against
    // the first face (a tie keeps it). Where the vote cannot agree (a
    // one-sided surface), the edges whose faces still run them the same way
    // are unlinked on both sides: an open seam. Clears face bits 4 and 5.
    void correctOrientation();
    // The sharp bit on the ends of sharp edges, vertexUpdate on every active
    // vertex that has a face, then the sharp and corner bits on every vertex
    // where more than two feature edges meet.
    void initializeVertices();
    // Marks sharp every edge whose two faces hold different corner normals
    // at either end; runs initializeVertices when it marked one.
    void buildSharpness();
    // Sets or clears the sharp mark of an edge on both of its faces and
    // updates the two end vertices. False (nothing changed) when a and b
    // share no edge or (f, k) is not an edge of an active face.
    bool edgeSharpVV(int a, int b, bool sharp);
    bool edgeSharpFK(int f, int k, bool sharp);
    // ResizeKeep: nothing. ResizeMean: centre = mean of the active vertices,
    // size = twice the largest distance from it. ResizeBox: middle and
    // diagonal of their bounding box. The size is 1 when it would be 0
    // (also with no active vertex, the centre then being the origin).
    void calculateSize(TResizeStyle style);
    // Drops inactive records (the last records fill the holes) and remaps
    // every vertex index, link and stored face by table, so that no index
    // points outside the lists; links to dropped faces become -1. Does
    // nothing unless needsCompaction is set or force is true.
    void removeInactive(bool force);
    // removeInactive, after which the corner normals are the whole-mesh
    // pass's wherever they were before: the compaction moves the last faces
    // into the holes, which changes the order in which that pass sums a
    // vertex's faces, and drops faces that kept vertices held. The normals
    // of the vertices of moved and dropped faces are formed again.
    void removeInactiveKeepingNormals(bool force);
    // Gives every extra fan of a vertex (fans that meet only at the vertex)
    // its own copy of the vertex; both copies become sharp corners.
    void splitCoincidentVertices();

    // ---- Normals, smoothing and relaxation (mesh_normals.cpp) ----
    // 0 face normals, 1 corner normals, 2 both; other values do nothing.
    void calculateNormals(unsigned char mode);
    // Face normals of the faces on selectedFaces and of those created since
    // faceMark; corner normals of the vertices on selectedVertices.
    void calculateSelectedNormals();
    // The same with the fans of some first selected vertices gathered
    // already (read when they list those vertices in order).
    void calculateSelectedNormals(const VertexFans& gathered);
    // Face normals of the faces from recordedFaceCount on, then the corner
    // normals of their vertices (each once).
    void calculateNewNormals();
    // The normals calculateNormals(2) (faceNormals set) or calculateNormals(1)
    // gives the faces round the listed vertices and the corners of every
    // vertex of those faces, when the rest of the mesh holds what that pass
    // gives it already: after the listed vertices moved, or after an edit
    // whose changed faces, links and sharp marks all touch them. Each
    // vertex's faces are read from its fan (a vertex where two fans meet
    // counts the stored face's); where a fan cannot be read completely, and
    // on a mesh whose connectivity could not be built (status 1), the
    // whole-mesh pass runs instead.
    void calculateNormalsRound(const std::vector<int>& vertices, bool faceNormals = true);
    // The corner normals of the listed vertices exactly as calculateNormals(1)
    // writes them, from the face normals in place: each vertex's faces are
    // found by one walk over the face list, in its order, also where fans
    // meet at the vertex.
    void cornerNormalsOf(const std::vector<int>& vertices);
    // Corner normals round v: per sharp-bounded sector, the normalised sum
    // of its faces' unit normals.
    void vertexNormals(int v);
    // vertexNormals of every gathered vertex, read from its gathered fan.
    void vertexNormals(const VertexFans& fans);
    // Per sector, the corner normals at v replaced by their normalised sum.
    void vertexSmoothNormals(int v);
    // Per sector, the masked channels of the corner materials at v replaced
    // by their integer mean.
    void vertexSmoothMaterials(int v, unsigned char mask);
    // Each corner normal of f moves towards the face's mean corner normal.
    void faceSmoothNormals(int f);
    // Each corner of f moves halfway towards the face's mean (masked).
    void faceSmoothMaterials(int f, unsigned char mask);
    // passes x (faceSmoothNormals of every face, vertexSmoothNormals of
    // every vertex); inactive records and vertices without a face skipped.
    void smoothNormals(int passes);
    void smoothMaterials(unsigned char mask, int passes);
    // Feature-preserving neighbour average (a target; nothing moves).
    vec3 vertexSmoothPosition(int v) const;
    // vertexSmoothPosition of gathered vertex i, read from its gathered fan.
    vec3 vertexSmoothPosition(const VertexFans& fans, std::size_t i) const;
    // Half-way tangential move towards the ring centre (a target).
    vec3 vertexRelaxPosition(int v) const;
    // Direction across the feature lines at a sharp vertex (in f's sector),
    // or half the relaxing offset of a smooth vertex.
    vec3 vertexTangent(int v, int f) const;

private:
    // calculateNormals(2) without marking the positions edited: for a
    // stroke's end, whose stamps' moves the stroke's grid followed already.
    void strokeNormalPass();
    // An active face whose three corners are vertices of the mesh: the faces
    // the normal passes compute.
    bool faceWithCorners(int f) const;
    // removeInactive; with touched, the vertices whose corner normals it may
    // change are listed there (new indices, -1 for a dropped one): revived
    // ones, those of moved and dropped faces, those whose stored face changed.
    // vertexTo and faceTo, when given, receive the new index of every old
    // record (-1 for a dropped one; empty when nothing was compacted).
    void compact(bool force, std::vector<int>* touched, std::vector<std::int32_t>* vertexTo = nullptr,
                 std::vector<std::int32_t>* faceTo = nullptr);
    // The corner normals of every gathered vertex as the whole-mesh pass
    // writes them, from the face normals in place; false, with some written,
    // when a fan cannot be read completely.
    bool cornerNormalsRound(const VertexFans& ring);
    // buildConnectivity, also telling whether every shared edge is run in
    // opposite directions by its two faces (no orientation repair needed)
    // and, when asked, whether every used vertex has one fan (faces joined
    // round it through shared edges). With a table (a rebuild) and no face
    // to turn over, the links stay in the table and reach the records later
    // (writeLinks), together with the clearing of the orientation marks
    // (face bits 4 and 5); otherwise they are written at once.
    bool buildLinks(bool& consistent, bool* oneFanEach, FaceTable* table);
    // The steps of initialize after a successful connectivity build.
    void rebuildAfterLinks(TResizeStyle style, bool consistent, bool oneFanEach, bool sharpFromNormals,
                           FaceTable* table);
    // The table's links (and the clearing of the marks) into the face
    // records, once.
    void writeLinks(FaceTable& table);
    // initializeVertices, reading the faces from the table when there is one.
    void initializeVertices(FaceTable* table);
    // calculateNormals(2) of a rebuild, reading the faces from the table.
    void rebuildNormals(FaceTable& table);
    // Vertex v's flags as the vertex pass of initialize leaves them on the
    // current links (an edit may leave a vertex that has become a corner
    // without its corner bit), from what the record writer gathered of it
    // (mesh/corner_edges.h); the vertex is left as it was.
    std::uint8_t settledFlags(int v, const VertexSettling& s);
    // Compact copy of the topology: per face v[0..2], f[0..2]; all -1 for
    // an inactive face. Whole-mesh passes that jump between neighbours read
    // it instead of the much larger face records.
    void copyTopology(std::vector<std::int32_t>& topo) const;

public:
    // ---- end of rebuild, normals and smoothing ----

    // ---- Local edits (mesh_edge_edits.cpp, mesh_face_edits.cpp) ----
    // Records are only appended or deactivated. Normals, buffer refills,
    // topologyChanged and compaction are left to the caller. Every edit
    // validates its arguments (index range, active face, k in 0..2, a
    // neighbour that links back and runs the edge the other way) and
    // refuses with its failure result, changing nothing.
    //
    // Edge (f, k): a = corner k, b1 = corner (k+1)%3, b2 = corner (k+2)%3;
    // g the neighbour across it, c g's opposite corner.
    //
    // Turns the edge to join a and c. False for a sharp or open edge and
    // when a and c are already joined (or are one vertex).
    bool edgeFlipFK(int f, int k);
    bool edgeFlipVV(int a, int b);
    // A new vertex on the edge (midpoint or p), two new faces (one on an
    // open edge); returns the new vertex, -1 on invalid input. The halves
    // keep the edge's sharp mark; corner materials are mixed per side.
    int edgeSplitFK(int f, int k);
    int edgeSplitFK(int f, int k, const vec3& p);
    // Midpoint form that also writes a and c (-1 for an open edge).
    int edgeSplitFK(int f, int k, int& a, int& c);
    // Cut form at p: the new vertex is sharp (a corner when the edge was
    // sharp or open) and the new edge a-nv is sharp. faces = (g, N2),
    // corners = nv's corner in each, verts = (c); empty for an open edge.
    int edgeSplitFK(int f, int k, const vec3& p, std::vector<int>& faces, std::vector<int>& corners,
                    std::vector<int>& verts);
    // The forms above on the edge findEdge finds; -1 when a and b share none.
    int edgeSplitVV(int a, int b);
    int edgeSplitVV(int a, int b, const vec3& p);
    // Merges b1 into b2 (b1 and the two faces lose their active bit; sets
    // needsCompaction). Refuses open edges, pockets, sharp-structure
    // changes and collapses that would break the link condition.
    bool edgeCollapseFK(int f, int k);
    bool edgeCollapseVV(int a, int b);

    // Deactivates f and opens the mesh there; an inactive or invalid face
    // is left alone. Sets needsCompaction. Where the open fan of a corner
    // falls apart, the faces before f get a copy of the corner; copies, when
    // given, receives each such pair (copy, corner).
    void faceErase(int f, std::vector<std::pair<int, int>>* copies = nullptr);
    // Splits f into three round a new vertex at its centroid or at p;
    // returns the new vertex, -1 for an invalid or inactive face.
    int faceSplit(int f);
    int faceSplit(int f, const vec3& p);
    // Cut form: the new vertex is sharp and the inner edge to corner q (when
    // q is a corner of f) is sharp. faces = (f, A, B), corners = (2, 2, 2),
    // verts = the old corners other than q.
    int faceSplit(int f, const vec3& p, int q, std::vector<int>& faces, std::vector<int>& corners,
                  std::vector<int>& verts);
    // Tears the sector of v that starts at f off the rest of its fan,
    // leaving a gap. Returns the new vertex; -1 when the sector is open on
    // both sides, covers the whole fan, or the arguments are invalid.
    int vertexDivide(int v, int f);
    // Tears the sector off and fills the gap with two faces painted m.
    // Returns the new vertex; -1 when the sector covers the whole fan or the
    // arguments are invalid.
    int vertexSplit(int v, int f, const pbr& m, bool cornerSeam);

    // One step of the edits above, for the mesh's own edits and cuts: in
    // face x (when valid), the link on the edge joining u and w that equals
    // from becomes to (the first link equal to from when no such edge);
    // returns that edge, -1 when none.
    int relinkEdge(int x, int from, int to, int u, int w);
    // ---- end of local edits ----

    // ---- Mesh record and OBJ files (mesh_record.cpp, mesh_obj.cpp) ----
    // Element record tag of a mesh; the body is 24 + 13 nV + 73 nF bytes.
    static constexpr std::uint32_t RecordTag = 0xE0000001u;
    // Files of this version or older carry 41-byte faces (read only).
    static constexpr std::int32_t LastOldFaceVersion = 20060411;
    // An empty mesh that reads one record body at the buffer's cursor
    // (DataRead).
    explicit Mesh(buffer& b);
    // An empty mesh loaded from a file; status 0 usable, 1 failed.
    Mesh(const std::string& name, bool relative);
    // Appends tag, body length and body. The vertex flags go out as a load
    // leaves them after initialize(0) (settledFlags), so that saving a
    // loaded file again writes the same bytes; the mesh is not changed.
    void DataWrite(buffer& b) override;
    // Reads one checked body at the cursor (tag and length consumed).
    void DataRead(buffer& b) override;
    // Loading and saving by extension (".OBJ", any case), reading and
    // parsing OBJ text and writing it (mesh_obj.cpp).
    bool load(const std::string& path) override;
    // The same; a refused file's reason goes to error as a clause ("line 4,
    // "f 1 2 9", names vertex 9, but the file has 3 vertices"). A file
    // loaded with face lines that gave no face names them in leftOut, when
    // given, as a clause ("2 face lines gave no face and were left out (the
    // first: line 7, ...)"); empty when none was.
    bool load(const std::string& path, std::string& error, std::string* leftOut = nullptr);
    bool save(const std::string& path) override;
    // facesLeftOut, when given, receives the face statements that added no
    // face.
    bool loadOBJ(const std::string& path, std::size_t* facesLeftOut = nullptr);
    // Records listed in an order far from the surface's: the faces jump
    // between far-apart vertices (only for meshes too large to sit in the
    // caches). Read before the rebuild of an import.
    bool importScattered() const;
    // A large mesh whose records were listed in random order (a file
    // written by a build that kept a scattered mesh as it was): each run
    // of faces draws its corners from all over the vertex list. An edit's
    // result, scattered or not, never is. Read by the record reader before
    // the rebuild; every corner must lie in the vertex list.
    bool randomlyListed() const;
    // Renumbers the vertices along a Z-order curve of their positions and
    // sorts the faces by their lowest new corner (mesh_import_order.cpp).
    // For an import before its rebuild: links and stored faces are
    // dropped, as the rebuild makes them.
    void orderSpatially();
    // A mesh made other than by an import (a conversion, a subdivision, a
    // pattern, a stroke) that importScattered finds scattered, when the
    // space order has measurably fewer jumps than its order (a space order
    // that is itself scattered is not made again): orderInSpace. Whether
    // it was.
    bool orderIfScattered(bool linked = false);
    // orderSpatially, a pending compaction first, whatever the order was;
    // then the rebuild (initialize, centre and size kept), or, linked (a
    // mesh linked as its edits left it: a stroke's end), the links, stored
    // faces, normals and flags carried to the new numbers. The selection
    // names the same records after it; what a stroke keeps and a stamp's
    // scratch lists are dropped (mesh_entry_order.cpp).
    void orderInSpace(bool linked = false);

private:
    // The halves of orderSpatially: the order planned from the records, and
    // the records put in it, the plan noted as this mesh's space order;
    // with faceTo (per old face its new number) the links and stored faces
    // are carried, without it they are dropped.
    void planSpaceOrder(spaceorder::Plan& plan) const;
    void applySpaceOrder(const spaceorder::Plan& plan, const std::vector<std::int32_t>* faceTo);
    // orderInSpace in a plan of the records as they are (no compaction
    // pending).
    void orderInSpace(const spaceorder::Plan& plan, bool linked);
    // The jumps of this mesh's space order when it was last planned, and
    // its face count then (0: never): what orderIfScattered can get.
    std::int64_t spaceOrderJumps_ = 0;
    std::int32_t spaceOrderFaces_ = 0;

public:
    bool parseOBJ(const char* text, std::size_t size, std::size_t* facesLeftOut = nullptr);
    // False when the file cannot be written; the reason then goes to error
    // when one is given.
    bool saveOBJ(const std::string& path, std::string* error = nullptr);
    // The faces that open the sharp-bounded sectors around v (one face for a
    // smooth vertex, walked from the stored face); returns their count, 0
    // for an invalid vertex or stored face.
    int findRegions(int v, std::vector<int>& regions) const;
    // Appends every vertex position of the list, in order.
    void ToPoints(std::vector<vec3>& points) const;
    // One object of a multi-object OBJ file, plain or textured with its
    // MTL entry and maps; the counters advance (mesh_obj.cpp).
    void appendOBJ(std::ostream& obj, int& objectCounter, int& vertexBase, int& normalBase, const mat4& M) const;
    bool appendOBJMTL(std::ostream& obj, std::ostream& mtl, const std::string& name, int& objectCounter,
                      int& vertexBase, int& texBase, int& normalBase, const mat4& M, const pbr& material) const;

    // ---- Primitives, subdivision, parts and selection ----
    // (mesh_solids.cpp, mesh_primitives.cpp, mesh_parts.cpp)
    //
    // Factories return a finished new mesh (reference count 0, owned by the
    // caller), wound counter-clockwise seen from outside.
    //
    // The unit cube [0,1]^3, every side edge sharp; faces 0-1 bottom, 2-3
    // top, 4-7 the y sides, 8-11 the x sides; centre (0.5,0.5,0.5).
    static Mesh* Cube();
    // A Cube whose z sides are red, y sides green and x sides blue.
    static Mesh* CubeHandle();
    // Equilateral base of edge 1 in z = 0, apex at height 1/sqrt(2).
    static Mesh* Tetrahedron();
    // Vertices on the unit axes.
    static Mesh* Octahedron();
    // Circumradius 2, every edge sharp.
    static Mesh* Icosahedron();
    // Circumradius sqrt(3); the pentagons' edges are sharp.
    static Mesh* Dodecahedron();
    // A clone of base refined `levels` times (subdivide(smoothSteps), then
    // spherize), made smooth unless keepSharp. base is not changed; null
    // for a null base.
    static Mesh* Sphere(Mesh* base, int levels, bool keepSharp, bool smoothSteps);
    // Radius 1 about the z axis, z in [-1, 1]; rims sharp, vertical edges
    // only with sharpSides. Null for fewer than 3 segments.
    static Mesh* Cylinder(int segments, bool sharpSides);
    // Radius 1 about the z axis, z in [-2, 2]: two hemispheres refined
    // `levels` times joined by a band; the seams at z = +-1 are sharp.
    static Mesh* Capsule(int levels, bool keepSharp);
    // One triangle (0,1,0), (-0.8660254,-0.5,0), (0.8660254,-0.5,0), all
    // edges sharp, centre (0,0,0), size 1.
    static Mesh* Triangle();

    // Slot 13: one 1-to-4 midpoint subdivision built from edge splits and
    // flips; smooth moves the vertices that existed before halfway to their
    // smoothed positions. Normals recomputed, topologyChanged set.
    bool subdivide(bool smooth) override;
    // Every vertex onto the sphere about the centre with radius size/2.
    void spherize();
    // Every edge sharp: flat normals.
    void makeSharp();
    // No edge sharp, no corner (border vertices keep their sharp bit).
    void makeSmooth();
    // One smoothing step: active vertices (sharp ones only with moveSharp)
    // halfway to their smoothed positions, corner materials evened out,
    // normals recomputed when asked.
    void smoothAll(bool moveSharp, bool normals);

    // Picked regions. A negative face is picked from the point
    // (findFirstFace); a face index out of range or of an erased face is
    // refused and nothing changes.
    //
    // Select the sharp-bounded patch (selectF_) or the connected component
    // (selectF) of the face onto selectedFaces (bit 4), breadth-first,
    // after deselectAll when asked. face receives the picked face. True
    // when the faces selected form an open sheet: every edge leading out of
    // them is open, and there is at least one.
    bool selectF_(const vec3& p, bool deselect, int& face);
    bool selectF(const vec3& p, bool deselect, int& face);
    // Slot 8: a new mesh copying the patch (SelectPatch) or the component
    // (any other scope) of the face, its vertices numbered in first-use
    // order; face becomes the index the picked face gets when the part is
    // appended to this mesh. Never null: empty when nothing is picked.
    Mesh* Part(const vec3& p, int& face, Sculptor::TSelect select) override;
    // The copy a copy stroke leaves in place: the same records as Part, in
    // the order they have in this mesh (a large copy of a mesh in space
    // order is in space order). Never null. `copied`, when given, receives
    // the faces copied, in increasing order: face copied[i] of this mesh is
    // face i of the copy.
    Mesh* CopyOfPart(const vec3& p, int face, Sculptor::TSelect select, std::vector<int>* copied = nullptr);
    // Slot 10: moves the face's component into a new mesh with this mesh's
    // centre and size; this mesh is compacted. Never null: empty, with this
    // mesh unchanged, when face is not an active face.
    Mesh* DetachComponent(int face) override;
    // Erases the face's component and compacts the mesh; false when nothing
    // was erased.
    bool eraseF(const vec3& p, int face);
    // ---- end of primitives, subdivision, parts and selection ----

    // ---- Mesh from a closed outline (mesh_from_polygon.cpp) ----
    // The region a polygon encloses, in its plane z = 0. profile 0: the flat
    // triangulation (boundary: points may be added on the outline; outline
    // points flagged sharp become sharp corners); profile p >= 1: the raster
    // inflation at level p - 1 and resolution 128 (a cushion for p >= 2;
    // needs the GL context current). solid 1: a slab closed by a flat bottom
    // at z = 0; solid 2: the body mirrored about z = 0; other values: the
    // sheet alone. Profiles 0 and 1 raise the sheet to z = size / 20 for a
    // solid. An outline that cannot be triangulated (no area) gives an empty
    // mesh with status 1.
    static Mesh FromSimplePolygon(const SimplePolygon& polygon, bool boundary, unsigned char profile,
                                  unsigned char solid);

    // ---- end of mesh from a closed outline ----

    // ---- Plane cut, clip and subtract (mesh_plane_cut.cpp, mesh_plane_cap.cpp) ----
    // The positive side of the plane holds the points p with
    // (p - point) . normal > 0 (in double); points on the plane, or within
    // a few float steps of it, are not on it. The normal need not be unit; a zero normal cuts nothing. Each
    // starts and ends with deselectAll and leaves the normals recomputed.
    //
    // Splits every edge running from the positive to the negative side at
    // the plane and creases the cut line (chains of sharp edges). The three
    // cuts compact the mesh when they welded coincident points away.
    void cutPlane(const vec3& point, const vec3& normal);
    // The same on the connected component of the face (negative: picked
    // from the point).
    void cutPlaneF(const vec3& point, const vec3& normal, int face);
    // The same on the band of faces the plane crosses, grown from the face
    // inside its sharp-bounded patch.
    void cutPlaneG_(const vec3& point, const vec3& normal, int face);
    // cutPlane, then erases everything on the positive side; compacts.
    void clipPlane(const vec3& point, const vec3& normal);
    // clipPlane, then closes every border loop the erase opened with a flat
    // cap painted with the material, joined by sharp edges. A loop that does
    // not close or cannot be triangulated stays open. A cap face too small
    // to carry a normal is turned or collapsed away.
    void subPlane(const vec3& point, const vec3& normal, const pbr& material);

private:
    // The cut of the selected faces by the plane, creased, with the normals
    // computed again and the selection cleared (the plane cuts of a
    // component and of a patch).
    void planeCutSelectedFaces(const vec3& point, const vec3& normal);

public:
    // ---- end of plane cut, clip and subtract ----

    // ---- Sphere cut, clip, subtract and add (mesh_sphere_cut.cpp) ----
    // The sphere has its centre at `centre` and passes through
    // `surfacePoint`; a vertex strictly nearer the centre is inside. The
    // cuts carve the curve where the sphere meets the surface into the faces
    // (arcs in steps of at most 15 degrees), crease it and remove nothing;
    // they clear the selection and recompute the corner normals. A face
    // argument is picked as selectF does; `patch` limits the scope to the
    // face's sharp-bounded patch, else its connected component.
    void cutSphere(const vec3& centre, const vec3& surfacePoint);
    void cutSphereF(const vec3& centre, const vec3& surfacePoint, int face, bool patch);
    // The cut, then every face touching an inside vertex (of the scope) is
    // erased and the mesh compacted: a hole rimmed by the crease.
    void clipSphere(const vec3& centre, const vec3& surfacePoint);
    void clipSphereF(const vec3& centre, const vec3& surfacePoint, int face, bool patch);
    // A bump (add) or a dent: the sphere through rimPoint whose centre lies
    // |point - rimPoint| / 3 against (bump) or along (dent) normal from
    // point; the cut, then every inside vertex is pressed onto the sphere,
    // the faces round it painted with the material and its sharp edges
    // cleared (border vertices keep theirs); normals recomputed.
    void subSphere(const vec3& point, const vec3& normal, const vec3& rimPoint, bool add, const pbr& material);

    // ---- end of sphere cut, clip, subtract and add ----

    // ---- Vertex buffers and drawing (mesh_vbo.cpp, where the buffer
    //      layout and each slot are described) ----
    // Slots 21 to 29, in order, after the refill test.
    bool vbo_modified() const;
    bool buildVBO() override;
    void deleteVBO() override;
    bool enableVBO() override;
    void disableVBO() override;
    bool renderBegin() override;
    void renderEnd() override;
    void render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight colorLight,
                float time, bool end) override;
    bool hasFeatures() const override;
    void renderFeatures(const mat4& m, const bvec4& colour, bool end) override;

    // ---- Buffer change marks (MeshBufferState, mesh_buffer_state.h) ----
    enum RefillArray : int { RefillPositions, RefillNormals, RefillPaint, RefillIds };  // as MeshBufferState::Array
    static constexpr std::uint8_t RefillWhole = MeshBufferState::RefillWhole;
    static constexpr std::uint8_t RefillMarked = MeshBufferState::RefillMarked;
    void refillMarked(RefillArray array) { bufferState.refillMarked(array); }
    void markFaceChanged(RefillArray a, int f, unsigned char channels = pbr::MaskAll) {
        bufferState.markFace(a, f, channels);
    }
    void markVertexChanged(RefillArray a, int v, unsigned char channels = pbr::MaskAll) {
        bufferState.markVertex(a, v, channels);
    }
    // ---- end of vertex buffers and drawing ----

    // ---- Sharp edges by angle, relaxation, refinement and sqrt(3)
    //      subdivision (mesh_refine.cpp, mesh_sqrt3.cpp) ----
    // The edge between neighbours i and j is sharp by angle when
    // float(cos(angleDeg)) > normal_i . normal_j (stored face normals, dot in
    // double): the normals differ by more than angleDeg degrees.
    //
    // makeSmooth, then every interior edge marked by the angle rule alone;
    // vertex flags (initializeVertices) and normals rebuilt.
    void makeSharp(float angleDeg);
    // Adds marks by the angle rule to the existing ones (a mark found on one
    // side of an edge only is written to both); never clears a mark. Uses the
    // stored face normals as they are; vertex flags and normals rebuilt.
    void sharpen(float angleDeg);
    // Every active vertex (sharp ones only with moveSharp) moves halfway to
    // vertexRelaxPosition; all targets are taken before anything moves.
    // Normals recomputed.
    void relaxAll(bool moveSharp);
    // One sqrt(3) step: every face split at its centroid, every old edge
    // between two old vertices flipped (sharp and open edges stay), the old
    // vertices moved halfway to vertexSmoothPosition. V vertices and F faces
    // become V + F and 3F. Normals recomputed, GL buffers dropped.
    void subdivideSqrt3();
    // Vertex welding: accepted for the element's interface; it merges
    // nothing and changes nothing.
    void weld(float) {}
    // Refinement of a flat mesh in z = 0. Per pass: the longest edge of each
    // face split when it is smooth, interior and more than 3 times the
    // shortest; smoothAll(true, true); flips by the criterion of refineFlip
    // with the orientation seen from +z; smoothAll(false, true).
    void refine2D(int passes);
    // Per pass, each face in index order: the first smooth interior edge
    // towards a higher face whose flip keeps both triangles' orientation and
    // moves the diagonal to the quadrilateral's largest angles is flipped.
    void refineFlip(int passes);
    // Per pass, the faces present at its start: the edge opposite a corner
    // above 120 degrees, else the longest edge when longer than ratio times
    // the shortest, split at its midpoint.
    void refineSplit(int passes, float ratio);
    // Per pass: every interior edge shorter than all other edges at its two
    // ends divided by ratio is collapsed (where the collapse is allowed);
    // then the mesh is compacted.
    void refineCollapse(int passes, float ratio);
    // count times: refineSplit(1, 3), relaxAll(true), refineFlip(1),
    // refineCollapse(1, 3), refineFlip(1), relaxAll(true). Counts below 1
    // make every refinement pass do nothing.
    void refine(int count);
    // ---- end of sharp edges, refinement and subdivision ----

    // ---- Triangle pattern panels (mesh_patterns.cpp) ----
    // A pattern panel subdivides the seed triangle of Triangle() (corners
    // c0 (0,1,0), c1 (-0.866,-0.5,0), c2 (0.866,-0.5,0), centroid at the
    // origin) into a flat pattern. Vertices 0-2 are the seed's corners
    // (flags 8); the inner points follow (flags 11: active, corner, sharp,
    // except in TrianglePattern0). Coloured faces carry red 0, green 34952,
    // blue 65535. The caller owns the panel.
    //
    // w[0] p0 + w[1] p1 + w[2] p2 of face f's corners (single precision);
    // (0,0,0) for an invalid face, a corner out of range or fewer than three
    // weights.
    vec3 trianglePoint(int f, const std::vector<float>& w) const;
    // Appends an active vertex at p (face -1, selection -1): flags 11
    // (active, corner, sharp) when corner is set, else 8.
    int vertexAdd(const vec3& p, bool corner);
    // The centre fan: three faces round t c0 + (1 - t) G, every edge sharp.
    static Mesh* TrianglePattern0(float t);
    // The frame: three trapezoids round the seed scaled by t about its
    // centroid, and (unless hole) the coloured inner triangle.
    static Mesh* TrianglePattern1(float t, bool hole);
    // The star: three outer triangles reaching inner points
    // G - (t/2)(c_i - G), and (unless hole) the coloured smooth centre.
    static Mesh* TrianglePattern2(float t, bool hole);
    // The hexagon of radius t x 0.57735 about G: three trapezoids, three
    // corner triangles and (unless hole) the coloured hexagon.
    static Mesh* TrianglePattern3(float t, bool hole);
    // ---- end of triangle pattern panels ----

private:
    // The end vertices of edge k of F as its sharp mark changes: the sharp
    // bit set when sharpening; when clearing, a vertex that is not sharp
    // loses its corner bit.
    void markEdgeEnds(const MeshFace& F, int k, bool sharp);
    // Copies every field of o except the element's id and reference count;
    // GL state starts empty.
    void copyFields(const Mesh& o);
};

}  // namespace qel
