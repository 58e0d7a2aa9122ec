#pragma once
// qel::MeshStroke: what a sculpt stroke keeps on the mesh between its steps
// (see mesh_stroke.cpp).
//
// - The vertices its steps moved, each once, so that the stroke's end
//   refreshes the normals round them alone. Past an eighth of the mesh the
//   list is dropped and the end takes the whole-mesh pass, which is cheaper
//   per vertex.
// - The patch and the component its scoped stamps work in, found by the
//   first stamp that needs one and kept while the mesh keeps its record
//   counts (every topology edit of a stroke appends records): a face bit
//   per face, and per vertex the number of the scope's faces holding it.
// - The fans its stamps gathered: the next stamp, which reaches mostly the
//   same vertices, copies them instead of walking them again.
// - A grid of the vertices (mesh_stroke_grid.h), so that a stamp looks at
//   the vertices near its ball instead of all of them, kept in step with
//   the vertices the stamps move.
// - The component and patch labels of the faces (mesh_scope_labels.h), so
//   that a scoped stamp whose ball reaches parts of the scope its walk
//   near the seed does not (the far side of a thin wall) decides from the
//   faces of each vertex instead of walking the whole scope. Found behind
//   the strokes while scoped stamps decide from the walk near the seed (a
//   copy of the faces made in slices, joined by a worker thread), at once
//   when a stamp would otherwise walk the whole scope; kept across strokes
//   until an edit of the topology drops them (Mesh::topologyEdited).
//
// The grid outlives the stroke. Binning every vertex costs more than a
// frame on a large mesh, so it is built behind the strokes
// (mesh_grid_build.h): the sculpt calls copy the positions a slice of
// bounded time each and a worker thread bins the copy, while the stamps
// scan every vertex (a grid built for another radius still serves
// meanwhile). The stamps' moves reach it through
// applyDisplacement; every other write of positions (an edit, an undo, a
// renumbering) marks it stale (Mesh::positionsEdited), and the next read
// compares the copy of every position it keeps with the mesh and follows
// whatever moved and every vertex appended (a build under way starts
// anew); it is built again when the vertex count fell. A stroke that follows
// strokes alone thus reads the grid as it stands. The rest lives from a
// stroke's first step to its end: between them only the stroke's steps
// change the mesh.
//
// What the stroke keeps reaches the mesh's selection lists through the
// selections of its stamps (mesh_stroke_select.cpp).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/vec.h"
#include "mesh/mesh_grid_build.h"
#include "mesh/mesh_scope_labels.h"
#include "mesh/mesh_stroke_grid.h"
#include "mesh/vertex_fans.h"

namespace qel {

class Mesh;

// One kept scope: a patch or a component.
struct MeshStrokeScope {
    bool kept = false;
    int vertexCount = 0, faceCount = 0;  // the mesh's counts when it was found
    std::vector<std::uint64_t> faces;    // bit f: face f is in the scope
    std::vector<std::uint8_t> holding;   // per vertex: scope faces holding it (255: 255 or more)

    // Keeps the walked faces of a scope of the mesh.
    void keep(const Mesh& m, const std::vector<int>& walked);
    // The scope is kept for the mesh as it is, and holds face f.
    bool holds(const Mesh& m, int f) const;
    bool hasFace(int f) const { return (faces[std::size_t(f) >> 6] >> (f & 63)) & 1u; }
};

// The stroke's state and what its steps do with it. The mesh owns one
// from its first stroke on; a copy of the mesh starts without it.
class MeshStroke {
public:
    // ---- From a stroke's first step to its end (mesh_stroke.cpp) ----
    // A moving stroke's press (press) or first step on the mesh as it is:
    // nothing moved yet, no scope kept.
    void begin(const Mesh& m, bool press);
    // Open from a press, and that press the only sculpt call run since.
    bool pressOnly() const { return open_ && press_ && steps_ == 1; }
    // The first step after the press goes on with the stroke the press
    // began: the grid it followed, the scopes and fans it kept.
    void goOn() { press_ = false; }
    // Marks the steps of one sculpt call running (scopes may be kept) and,
    // during an open stroke, recording (moves are noted) and stamping
    // (brush selections read the vertex grid); all off after the call.
    void run(bool running, bool recording, bool stamping);
    bool open() const { return open_; }
    bool gridKept() const { return grid_.built(); }
    // Positions were written outside the stamps: the grid follows them
    // before it is next read, and one being built (from positions copied
    // before) is dropped.
    void gridStale() {
        stale_ = true;
        next_.drop();
    }
    // Links, sharp marks, active bits or face corners were written: the
    // scope labels are found again when next needed.
    void labelsStale() { labels_.drop(); }
    bool labelsKept(const Mesh& m) const { return labels_.current(m); }
    bool stamping() const { return stamping_; }
    // The first n listed vertices moved: noted when recording; the grid
    // follows them.
    void moved(const Mesh& m, const std::int32_t* list, std::size_t n);
    // A step split, tore, extruded or bevelled: the end takes the
    // whole-mesh pass and clears the selection the steps keep.
    void reshaped() {
        if (open_) overflow_ = reshaped_ = true;
    }
    // Something moved that the end has not refreshed yet.
    bool movedAny() const { return open_ && (overflow_ || !moved_.empty()); }
    // The end of a stroke: with normals, those of what it moved as the
    // whole-mesh pass gives them (that pass itself when the stroke did not
    // begin here, changed the record counts or moved too much); the kept
    // state is dropped, the grid stays for the next stroke.
    void end(Mesh& m, bool normals);

    // ---- The stamps' selections (mesh_stroke_select.cpp) ----
    // The vertices selectV reaches, read from the grid; false when there is
    // no grid to read (the caller scans every vertex).
    bool selectV(Mesh& m, const vec3& centre, float radius);
    // selectVG (patch false) or selectVG_ from the seed face after
    // deselectAll. While the steps run, the scope is kept from the first
    // walk and later stamps whose face lies in it select from it alone: the
    // same vertices, influences and sector records, and of the scope's faces
    // those round the selected vertices.
    void selectInScope(Mesh& m, const vec3& centre, float radius, int seed, bool patch);
    // fans.gather(m, list, n); while stamping, the fans earlier steps
    // gathered are copied instead of walked again.
    void gatherFans(const Mesh& m, VertexFans& fans, const std::int32_t* list, std::size_t n);

private:
    MeshStrokeScope& scope(bool isPatch) { return isPatch ? patch_ : component_; }
    // The time left for the copies behind the strokes in this sculpt call,
    // in milliseconds (0 or less: a copy takes one run).
    double sliceLeftMs() const;
    // The vertex grid, holding the mesh as it is (followed when marked
    // stale); a build for the radius is taken one step further once per
    // sculpt call while none fits it. Null while there is no grid for the
    // vertex count (the stamps scan).
    const MeshStrokeGrid* grid(const Mesh& m, float radius);
    // The active vertices of the closed ball (with a scope, those that hold
    // its faces), in index order (from the grid while stamping).
    void scopeVerticesInBall(Mesh& m, const MeshStrokeScope* scope, const vec3& centre, float radius,
                             std::vector<std::int32_t>& out);
    // The selection of selectInScope from a kept scope; false, with
    // nothing selected, when a selected vertex's fan does not hold all of
    // its faces in the scope.
    bool selectKept(Mesh& m, const MeshStrokeScope& scope, const vec3& centre, float radius, bool patch);
    // The same selection from a walk of the seed's scope that goes only as
    // far as the ball, when that walk decides it; false, with nothing
    // selected, when only the whole walk can (read from the grid: while
    // stamping).
    bool selectNearSeed(Mesh& m, const vec3& centre, float radius, int seed, bool patch);
    // The same selection from the scope labels: a vertex of the ball is in
    // scope when one of its faces carries the seed's label. False, with
    // nothing selected, when a vertex's fan does not hold all its faces.
    bool selectByLabels(Mesh& m, const vec3& centre, float radius, int seed, bool patch);
    // Its selection from the ball's vertices (selected, in index order) and
    // how many walked faces (marked in the walk's face bits) hold each.
    bool selectWalked(Mesh& m, bool open, const std::vector<std::int32_t>& inBall, std::vector<int>& held,
                      const vec3& centre, float radius, bool patch);
    // The brush falloff t of every selected vertex (and outside a patch its
    // influence), in selection order, and the fans round them; in a patch
    // the sector heads start unknown.
    std::vector<float> selectedFalloffs(Mesh& m, const vec3& centre, float radius, bool patch, VertexFans& fans);

    bool running_ = false;    // inside Mesh::sculpt: the kept scopes may be used
    bool recording_ = false;  // moving steps: moves are noted
    bool stamping_ = false;   // brush steps: selections read the grid
    bool open_ = false;       // a stroke's first step ran, its end has not
    bool press_ = false;      // begun by a press (a step of one sample)
    int steps_ = 0;           // sculpt calls run since the stroke began (counted up to 3)
    bool stale_ = false;      // positions may have been written since the grid last read them
    bool stepped_ = false;    // this sculpt call took the grid's build a step further
    bool labelsStepped_ = false;  // and the search for the scope labels
    // When this sculpt call began: the copies behind the strokes take what
    // is left of its share of the frame (sliceLeftMs).
    std::chrono::steady_clock::time_point callStart_;
    bool overflow_ = false;   // too much moved: the end takes the whole-mesh pass
    bool reshaped_ = false;   // a topology step ran: the end also clears the selection
    int vertexCount_ = 0, faceCount_ = 0;  // the mesh's counts at the first step
    std::vector<std::uint64_t> noted_;     // bit v: vertex v is on moved_
    std::vector<std::int32_t> moved_;      // the moved vertices, in the order first moved
    MeshStrokeScope patch_, component_;
    MeshStrokeGrid grid_;     // the grid the stamps read
    MeshGridBuild next_;      // one being built to replace it
    MeshScopeLabels labels_;
    FanCache fans_;
};

}  // namespace qel
