// The vertex grid built behind the strokes (see mesh_grid_build.h).

#include "mesh/mesh_grid_build.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "mesh/mesh.h"

namespace qel {

namespace {

// Vertices copied per run of a step, between looks at the clock.
constexpr int RunLength = 16384;

}  // namespace

void MeshGridBuild::drop() {
    job_.cancel();
    phase_ = Idle;
    noted_ = {};
    positions_ = {};
    grid_.drop();
}

bool MeshGridBuild::step(const Mesh& m, float radius, double budgetMs, MeshStrokeGrid& out) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point t0 = Clock::now();
    const int n = m.vertexCount();
    if (phase_ == Idle || vertexCount_ != n) {
        drop();
        phase_ = Copying;
        vertexCount_ = n;
        radius_ = radius;
        next_ = 0;
        positions_.reserve(std::size_t(n));
    }
    if (phase_ == Copying) {
        while (next_ < n) {
            const int to = std::min(n, next_ + RunLength);
            m.vertices.forRange(std::size_t(next_), std::size_t(to),
                                [&](const MeshVertex& r) { positions_.push_back(r.position); });
            next_ = to;
            if (std::chrono::duration<double, std::milli>(Clock::now() - t0).count() >= budgetMs) break;
        }
        if (next_ < n) return false;
        phase_ = Binning;
        job_.start([this](const std::atomic<bool>& cancelled) { grid_.buildFrom(positions_, radius_, cancelled); });
        return false;
    }
    if (!job_.done()) return false;
    out = std::move(grid_);
    grid_ = MeshStrokeGrid();
    std::vector<std::int32_t> noted;
    noted.swap(noted_);
    drop();
    for (const std::int32_t v : noted)
        if (m.validVertex(v)) out.moved(v, m.vertices[v].position);
    return true;
}

}  // namespace qel
