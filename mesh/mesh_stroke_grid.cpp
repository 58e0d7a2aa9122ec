// The vertex grid of the stroke selections (see mesh_stroke_grid.h).

#include "mesh/mesh_stroke_grid.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "mesh/mesh.h"

namespace qel {

namespace {

// Vertices per run of a build, between looks at the cancel flag.
constexpr int RunLength = 16384;

bool finite(const vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

}  // namespace

int MeshStrokeGrid::index(int a, double x) const {
    const double i = std::floor((x - origin_[a]) * perCell_);
    return int(std::clamp(i, 0.0, double(n_[a] - 1)));
}

std::int32_t MeshStrokeGrid::cellOf(const vec3& p) const {
    if (!finite(p)) return -1;
    return std::int32_t((std::size_t(index(2, p.z)) * std::size_t(n_[1]) + std::size_t(index(1, p.y))) *
                            std::size_t(n_[0]) +
                        std::size_t(index(0, p.x)));
}

void MeshStrokeGrid::drop() {
    built_ = false;
    moverHead_ = {};
    movers_ = {};
    freeMover_ = -1;
    moverCount_ = 0;
}

// ---------------------------------------------------------------------------
// Building

void MeshStrokeGrid::build(const Mesh& m, float radius) {
    std::vector<vec3> positions;
    positions.reserve(m.vertices.size());
    m.vertices.forRange(0, m.vertices.size(), [&](const MeshVertex& r) { positions.push_back(r.position); });
    const std::atomic<bool> never(false);
    buildFrom(positions, radius, never);
}

bool MeshStrokeGrid::buildFrom(const std::vector<vec3>& positions, float radius, const std::atomic<bool>& cancelled) {
    drop();
    const int n = int(positions.size());
    vertexCount_ = n;
    // Each pass over the vertices in runs, the flag looked at between them.
    auto pass = [&](auto&& run) {
        for (int from = 0; from < n; from += RunLength) {
            if (cancelled.load(std::memory_order_relaxed)) return false;
            run(from, std::min(n, from + RunLength));
        }
        return !cancelled.load(std::memory_order_relaxed);
    };
    // The box of the finite positions.
    for (int a = 0; a < 3; ++a) {
        lo_[a] = HUGE_VAL;
        hi_[a] = -HUGE_VAL;
    }
    const bool boxed = pass([&](int from, int to) {
        for (int v = from; v < to; ++v) {
            const vec3& at = positions[std::size_t(v)];
            if (!finite(at)) continue;
            const double p[3] = {at.x, at.y, at.z};
            for (int a = 0; a < 3; ++a) {
                lo_[a] = std::min(lo_[a], p[a]);
                hi_[a] = std::max(hi_[a], p[a]);
            }
        }
    });
    if (!boxed) return false;
    layCells(radius);
    // Each vertex's cell, counted per cell.
    const bool binned = pass([&](int from, int to) {
        for (int v = from; v < to; ++v) {
            const vec3& at = positions[std::size_t(v)];
            const std::int32_t c = cellOf(at);
            held_.push_back(Held{c, 0, at});
            if (c >= 0) ++start_[std::size_t(c) + 1];
        }
    });
    if (!binned) return false;
    const std::size_t cells = start_.size() - 1;
    for (std::size_t c = 0; c < cells; ++c) start_[c + 1] += start_[c];
    order_.resize(start_[cells]);
    at_.resize(start_[cells]);
    // The runs of the cells fill in index order: start_[c] is the next free
    // entry of cell c until the last vertex, which leaves it one cell on.
    const bool placed = pass([&](int from, int to) {
        for (int v = from; v < to; ++v) {
            Held& h = held_[std::size_t(v)];
            if (h.cell < 0) continue;
            const std::uint32_t slot = start_[std::size_t(h.cell)]++;
            order_[slot] = v;
            at_[slot] = h.position;
            h.slot = slot;
        }
    });
    if (!placed) return false;
    // Each cell's start moved to the next's: shift them back.
    for (std::size_t c = cells; c > 0; --c) start_[c] = start_[c - 1];
    start_[0] = 0;
    built_ = true;
    return true;
}

void MeshStrokeGrid::layCells(float radius) {
    radius_ = radius;
    if (!(lo_[0] <= hi_[0])) lo_[0] = lo_[1] = lo_[2] = hi_[0] = hi_[1] = hi_[2] = 0;
    const double extent = std::max({hi_[0] - lo_[0], hi_[1] - lo_[1], hi_[2] - lo_[2]});
    cell_ = std::max(0.5 * double(radius), extent * 1e-6);
    if (!(cell_ > 0) || !std::isfinite(cell_)) cell_ = 1;
    const double limit = std::max(65536.0, 2.0 * vertexCount_);
    for (;;) {
        double cells = 1;
        for (int a = 0; a < 3; ++a) {
            origin_[a] = lo_[a];
            n_[a] = int(std::min((hi_[a] - lo_[a]) / cell_, 1e9)) + 1;
            cells *= n_[a];
        }
        if (cells <= limit) break;
        cell_ *= std::max(1.01, std::cbrt(cells / limit));
    }
    perCell_ = 1.0 / cell_;
    const std::size_t cells = std::size_t(n_[0]) * std::size_t(n_[1]) * std::size_t(n_[2]);
    // Filled vertex by vertex as they are binned.
    held_.clear();
    held_.reserve(std::size_t(vertexCount_));
    start_.assign(cells + 1, 0);
}

// ---------------------------------------------------------------------------
// Reading and following

bool MeshStrokeGrid::near(const vec3& centre, float radius, bool closed, std::vector<std::int32_t>& out) const {
    out.clear();
    const double c[3] = {centre.x, centre.y, centre.z};
    if (!std::isfinite(c[0]) || !std::isfinite(c[1]) || !std::isfinite(c[2]) || !std::isfinite(radius)) return false;
    int from[3], to[3];
    for (int a = 0; a < 3; ++a) {
        // Clamped as the vertices' cells are: a vertex in the box lies in
        // a cell between the two.
        from[a] = index(a, c[a] - std::fabs(double(radius)));
        to[a] = index(a, c[a] + std::fabs(double(radius)));
    }
    // The box test of the selections (single-precision offsets).
    auto inBox = [&](const vec3& p) {
        const float x = std::fabs(p.x - centre.x), y = std::fabs(p.y - centre.y), z = std::fabs(p.z - centre.z);
        return closed ? (x <= radius) & (y <= radius) & (z <= radius) : (x < radius) & (y < radius) & (z < radius);
    };
    for (int z = from[2]; z <= to[2]; ++z)
        for (int y = from[1]; y <= to[1]; ++y) {
            const std::size_t row = (std::size_t(z) * std::size_t(n_[1]) + std::size_t(y)) * std::size_t(n_[0]);
            const std::uint32_t end = start_[row + std::size_t(to[0]) + 1];
            for (std::uint32_t i = start_[row + std::size_t(from[0])]; i < end; ++i)
                if (inBox(at_[i])) out.push_back(order_[i]);
            if (moverHead_.empty()) continue;
            for (int x = from[0]; x <= to[0]; ++x)
                for (std::int32_t i = moverHead_[row + std::size_t(x)]; i >= 0; i = movers_[std::size_t(i)].next) {
                    const Mover& e = movers_[std::size_t(i)];
                    if (inBox(e.position)) out.push_back(e.vertex);
                }
        }
    return true;
}

void MeshStrokeGrid::enter(int v, std::int32_t c, const vec3& p) {
    if (moverHead_.empty()) moverHead_.assign(start_.size() - 1, -1);
    std::int32_t i = freeMover_;
    if (i >= 0) {
        freeMover_ = movers_[std::size_t(i)].next;
    } else {
        i = std::int32_t(movers_.size());
        movers_.emplace_back();
    }
    const std::int32_t head = moverHead_[std::size_t(c)];
    movers_[std::size_t(i)] = {v, head, -1, p};
    if (head >= 0) movers_[std::size_t(head)].prev = i;
    moverHead_[std::size_t(c)] = i;
    held_[std::size_t(v)].slot = MoverBit | std::uint32_t(i);
    ++moverCount_;
}

void MeshStrokeGrid::leave(std::int32_t i, std::int32_t c) {
    Mover& e = movers_[std::size_t(i)];
    if (e.prev >= 0)
        movers_[std::size_t(e.prev)].next = e.next;
    else
        moverHead_[std::size_t(c)] = e.next;
    if (e.next >= 0) movers_[std::size_t(e.next)].prev = e.prev;
    e.vertex = -1;
    e.next = freeMover_;
    freeMover_ = i;
    --moverCount_;
}

void MeshStrokeGrid::moved(int v, const vec3& p) {
    if (!built_) return;
    if (v < 0 || v >= vertexCount_) {
        drop();
        return;
    }
    Held& h = held_[std::size_t(v)];
    h.position = p;
    const std::int32_t c = cellOf(p);
    const bool mover = (h.slot & MoverBit) != 0;
    if (c == h.cell && c >= 0) {
        if (mover)
            movers_[h.slot & ~MoverBit].position = p;
        else
            at_[h.slot] = p;
        return;
    }
    // Out of its cell: its entry there goes (a binned one is left matching
    // no box).
    if (h.cell >= 0) {
        if (mover)
            leave(std::int32_t(h.slot & ~MoverBit), h.cell);
        else
            at_[h.slot] = vec3(NAN, NAN, NAN);
    }
    h.cell = c;
    if (c >= 0) enter(v, c, p);
}

void MeshStrokeGrid::follow(const Mesh& m) {
    if (!built_) return;
    const int n = m.vertexCount();
    if (n < vertexCount_) {
        drop();
        return;
    }
    // Compared bit for bit: a position that is not a number equals itself.
    int v = 0;
    m.vertices.forRange(0, std::size_t(vertexCount_), [&](const MeshVertex& r) {
        const int i = v++;
        if (built_ && std::memcmp(&r.position, &held_[std::size_t(i)].position, sizeof(vec3)) != 0)
            moved(i, r.position);
    });
    // Vertices appended since: each enters its cell.
    for (int i = vertexCount_; i < n && built_; ++i) {
        const vec3 p = m.vertices[i].position;
        held_.push_back(Held{-1, 0, p});
        ++vertexCount_;
        moved(i, p);
    }
}

}  // namespace qel
