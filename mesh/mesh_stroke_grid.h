#pragma once
// qel::MeshStrokeGrid: the vertices of a mesh binned in cells of equal size
// over the box of their positions, so that a brush stamp looks at the
// vertices near its ball instead of all of them.
//
// The grid stays in step with the vertices the stamps move: a vertex that
// leaves its cell is taken out of it and put on the list of the cell it
// entered (a vertex of no finite position is in none), so that a drag
// carrying vertices across many cells never asks for the grid again. A
// vertex outside the box is binned in the nearest cell along each axis.
//
// A grid is built at once from the mesh (build) or from a copy of its
// positions (buildFrom), which reads nothing else and so may run on a
// thread of its own while the stamps move the vertices: the strokes build
// it so (mesh_grid_build.h), and follow the moves made meanwhile once it is
// built.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/vec.h"

namespace qel {

class Mesh;

class MeshStrokeGrid {
public:
    // Built for a mesh of this many vertices, with cells fit for a ball of
    // this radius (not four times smaller or larger than the one it was
    // built for).
    bool built(int vertexCount, float radius) const {
        return built_ && vertexCount_ == vertexCount && radius * 4 >= radius_ && radius <= radius_ * 4;
    }
    bool built(int vertexCount) const { return built_ && vertexCount_ == vertexCount; }
    bool built() const { return built_; }
    // Bins every vertex at once (from a copy of the positions); the cells
    // about half the radius wide, fewer when that would make more cells than
    // twice the vertices.
    void build(const Mesh& m, float radius);
    // Bins the vertices at these positions (vertex i at positions[i]) at
    // once, as build does; false, with no grid, when cancelled first (it
    // looks between runs of vertices).
    bool buildFrom(const std::vector<vec3>& positions, float radius, const std::atomic<bool>& cancelled);
    // So many vertices left the cells they were binned in (each then on a
    // list of its new cell, read entry by entry, its old entry a hole in
    // the binned run) that a grid built again would be read faster: more
    // than a sixteenth of the vertices, and at least 256.
    bool crowded() const {
        return built_ && moverCount_ > std::max<std::size_t>(256, std::size_t(vertexCount_) / 16);
    }
    // The vertices whose position as last binned or moved lies in the box of
    // the ball (closed: |d| <= r on every axis, else < r); false (nothing
    // listed) when the ball is not finite.
    bool near(const vec3& centre, float radius, bool closed, std::vector<std::int32_t>& out) const;
    // Vertex v now lies at p.
    void moved(int v, const vec3& p);
    // Asks for what moved(v, ..) reads and writes, ahead of the call.
    void prefetch(int v) const {
        if (built_ && v >= 0 && v < vertexCount_) __builtin_prefetch(&held_[std::size_t(v)], 1);
    }
    // Follows every vertex whose position differs from the one the grid
    // holds for it (as moved does); vertices appended since are binned.
    // Dropped when the mesh has fewer vertices than the grid.
    void follow(const Mesh& m);
    void drop();

private:
    // The cell index along axis a of coordinate x, clamped into the grid;
    // never lower for a greater x.
    int index(int a, double x) const;
    // The cell of a position; -1 when it is not finite.
    std::int32_t cellOf(const vec3& p) const;
    // Puts vertex v on the list of cell c.
    void enter(int v, std::int32_t c, const vec3& p);
    // Takes entry i off the list of cell c.
    void leave(std::int32_t i, std::int32_t c);
    // The cells and their count from the box of the vertices.
    void layCells(float radius);

    bool built_ = false;
    int vertexCount_ = 0;
    float radius_ = 0;                  // the radius it was built for
    double origin_[3] = {0, 0, 0};
    double cell_ = 1, perCell_ = 1;     // the cell size and its inverse
    int n_[3] = {0, 0, 0};
    // What the grid holds of one vertex, together: a moved vertex costs
    // one record, not one per array, when the vertices lie scattered.
    struct Held {
        std::int32_t cell = -1;   // -1 none
        std::uint32_t slot = 0;   // its entry in order_, or in movers_ (moverBit set)
        vec3 position{0, 0, 0};   // its position as the grid holds it
    };
    static constexpr std::uint32_t MoverBit = 0x80000000u;
    std::vector<std::uint32_t> start_;  // per cell and one past: its run in order_
    std::vector<std::int32_t> order_;   // the vertices as binned, by cell, each run in index order
    std::vector<vec3> at_;              // their positions, entry by entry (not a number: moved out)
    std::vector<Held> held_;            // per vertex
    // The vertices that entered a cell since the build, per cell a list
    // linked both ways; the entry of a vertex that moves on is unlinked and
    // kept for the next vertex to enter a cell (free entries chained
    // through next).
    struct Mover {
        std::int32_t vertex;
        std::int32_t next, prev;
        vec3 position;
    };
    std::vector<std::int32_t> moverHead_;  // per cell, -1 none (empty until the first mover)
    std::vector<Mover> movers_;
    std::int32_t freeMover_ = -1;
    std::size_t moverCount_ = 0;  // movers on a cell's list
    // The box of the vertices binned.
    double lo_[3] = {0, 0, 0}, hi_[3] = {0, 0, 0};
};

}  // namespace qel
