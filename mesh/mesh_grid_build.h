#pragma once
// qel::MeshGridBuild: a vertex grid (mesh_stroke_grid.h) built behind the
// strokes. The stamps write positions while it is built, so the grid is
// binned from a copy of them: the sculpt calls copy the positions a slice
// of bounded time each, then a worker thread bins the copy, which no frame
// waits on; a later sculpt call that finds the worker done takes the grid
// over and follows every move noted since the copy began (a vertex moved
// before its slice was copied is followed too, at no harm).
//
// The worker reads the copy and writes a grid of its own, neither of which
// the sculpt calls touch until it is done. Dropping the build (an edit of
// the positions outside the stamps, the vertex count changed, the mesh
// gone) cancels the worker, which stops within one run of vertices.

#include <cstdint>
#include <vector>

#include "core/background_job.h"
#include "core/vec.h"
#include "mesh/mesh_stroke_grid.h"

namespace qel {

class Mesh;

class MeshGridBuild {
public:
    // Takes a build for the mesh's vertex count a step further: a slice of
    // the copy of about budgetMs (at least one run of vertices), the worker
    // started once it is whole, or a look whether the worker is done. A
    // build for another vertex count starts anew, for this radius. True
    // when the grid is done: it is moved into `out`, every noted move
    // followed.
    bool step(const Mesh& m, float radius, double budgetMs, MeshStrokeGrid& out);
    // A build is under way (copying or binning).
    bool building() const { return phase_ != Idle; }
    // The copy is whole and the worker bins it.
    bool binning() const { return phase_ == Binning; }
    // Vertex v moved: followed when the grid is taken over.
    void moved(int v) {
        if (phase_ != Idle) noted_.push_back(v);
    }
    void drop();

private:
    enum Phase { Idle, Copying, Binning };
    Phase phase_ = Idle;
    int vertexCount_ = 0;
    int next_ = 0;  // the next vertex to copy
    float radius_ = 0;
    std::vector<std::int32_t> noted_;
    // The worker's while it bins: the copy it reads and the grid it writes.
    std::vector<vec3> positions_;
    MeshStrokeGrid grid_;
    BackgroundJob job_;  // last: joined before the data above goes
};

}  // namespace qel
