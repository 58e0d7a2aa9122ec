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
// - A grid of the vertices, so that a stamp looks at the vertices near its
//   ball instead of all of them. Vertices keep the cell they were binned
//   in when they move; the grid remembers how many cells the farthest one
//   has left its own, and every query reaches that much further.
//
// The grid outlives the stroke: binning every vertex costs several frames
// on a large mesh. It keeps a copy of every position it holds, and the
// first stroke step that reads it compares that copy with the mesh and
// follows whatever moved since (an edit, an undo, a load in place), or is
// built again when the vertex count changed. The rest lives from a
// stroke's first step to its end: between them only the stroke's steps
// change the mesh, and every move goes through applyDisplacement.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/vec.h"
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

// The vertex grid: cells of equal size over the box of the vertices, each
// vertex in one cell (the vertices of no finite position in none).
class MeshStrokeGrid {
public:
    // Built for a mesh of this many vertices, with cells fit for a ball of
    // this radius (not four times smaller or larger than the one it was
    // built for).
    bool built(int vertexCount, float radius) const {
        return built_ && vertexCount_ == vertexCount && radius * 4 >= radius_ && radius <= radius_ * 4;
    }
    bool built() const { return built_; }
    // Bins every vertex; the cells about half the radius wide, fewer when
    // that would make more cells than twice the vertices.
    void build(const Mesh& m, float radius);
    // The vertices whose position as last binned or moved lies in the box of
    // the ball (closed: |d| <= r on every axis, else < r), by cell; false
    // (nothing listed) when the ball is not finite.
    bool near(const vec3& centre, float radius, bool closed, std::vector<std::int32_t>& out) const;
    // Vertex v now lies at p: the reach of the queries grows when it left
    // its cell; past two cells (or for a vertex in none) the grid is
    // dropped, to be built again.
    void moved(int v, const vec3& p);
    // Follows every vertex whose position differs from the one the grid
    // holds for it (as moved does); dropped when the vertex count differs.
    void follow(const Mesh& m);
    void drop() { built_ = false; }

private:
    // The cell index along axis a of coordinate x, clamped far outside;
    // never lower for a greater x.
    int index(int a, double x) const;

    bool built_ = false;
    int vertexCount_ = 0;
    float radius_ = 0;                  // the radius it was built for
    double origin_[3] = {0, 0, 0};
    double cell_ = 1, perCell_ = 1;   // the cell size and its inverse
    int n_[3] = {0, 0, 0};
    int reach_ = 0;                     // cells the farthest moved vertex left its own by
    std::vector<std::int32_t> cellOf_;  // per vertex; -1 none
    std::vector<std::uint32_t> slotOf_; // per vertex: its entry in order_
    std::vector<std::uint32_t> start_;  // per cell and one past: its run in order_
    std::vector<std::int32_t> order_;   // the vertices by cell, each run in index order
    std::vector<vec3> at_;              // their positions, entry by entry
    std::vector<vec3> position_;        // per vertex: its position as the grid holds it
};

struct MeshStroke {
    bool running = false;    // inside Mesh::sculpt: the kept scopes may be used
    bool recording = false;  // moving steps: applyDisplacement notes what it moves
    bool stamping = false;   // brush steps: selections read the grid
    bool open = false;       // a stroke's first step ran, its end has not
    bool followed = false;   // the grid followed what moved since the last stroke
    bool overflow = false;   // too much moved: the end takes the whole-mesh pass
    int vertexCount = 0, faceCount = 0;  // the mesh's counts at the first step
    std::vector<std::uint64_t> noted;    // bit v: vertex v is on `moved`
    std::vector<std::int32_t> moved;     // the moved vertices, in the order first moved
    MeshStrokeScope patch, component;
    MeshStrokeGrid grid;
    FanCache fans;

    MeshStrokeScope& scope(bool isPatch) { return isPatch ? patch : component; }
};

}  // namespace qel
