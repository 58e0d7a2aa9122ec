// The vertex grid of the stroke selections: built in steps while vertices
// move, or behind the strokes while they move, and kept in step with moves
// that carry vertices many cells away, out of the box it was built over, to
// no finite position and back, it lists exactly the vertices a scan finds
// in every box asked for. The scope labels, found in steps, behind the
// strokes or at once, group the faces as the patch and component walks do,
// and are refused where a walk crosses an edge one way only. The work
// behind the strokes runs when the tests say (deferred jobs).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "core/background_job.h"
#include "mesh/mesh.h"
#include "mesh/mesh_grid_build.h"
#include "mesh/mesh_scope_labels.h"
#include "mesh/mesh_stroke_grid.h"
#include "mesh/mesh_util.h"

using namespace qel;

namespace {

// The active or inactive vertices whose positions lie in the box, sorted.
std::vector<std::int32_t> scan(const Mesh& m, const vec3& c, float r, bool closed) {
    std::vector<std::int32_t> out;
    for (int v = 0; v < m.vertexCount(); ++v) {
        const vec3 d = m.vertices[v].position - c;
        const float x = std::fabs(d.x), y = std::fabs(d.y), z = std::fabs(d.z);
        if (closed ? (x <= r && y <= r && z <= r) : (x < r && y < r && z < r)) out.push_back(v);
    }
    return out;
}

std::vector<std::int32_t> listed(const MeshStrokeGrid& g, const vec3& c, float r, bool closed) {
    std::vector<std::int32_t> out;
    EXPECT_TRUE(g.near(c, r, closed, out));
    std::sort(out.begin(), out.end());
    return out;
}

// Balls round random vertices and far outside, both closures: the grid
// lists what the scan finds.
void expectScan(const Mesh& m, const MeshStrokeGrid& g, std::mt19937& rng) {
    for (int i = 0; i < 12; ++i) {
        const vec3 c = i == 0 ? vec3(40, -40, 3) : m.vertices[int(rng() % unsigned(m.vertexCount()))].position;
        const float r = 0.05f + 0.1f * float(rng() % 4);
        for (const bool closed : {false, true}) ASSERT_EQ(listed(g, c, r, closed), scan(m, c, r, closed)) << i;
    }
}

// Moves n random vertices by up to `reach` on each axis, telling the grid.
template <class Grid>
void moveSome(Mesh& m, Grid& g, std::mt19937& rng, int n, float reach) {
    for (int i = 0; i < n; ++i) {
        const int v = int(rng() % unsigned(m.vertexCount()));
        auto step = [&] { return reach * (float(rng() % 2001) / 1000.0f - 1.0f); };
        m.vertices[v].position += vec3(step(), step(), step());
        g.moved(v, m.vertices[v].position);
    }
}

// A build behind the strokes is told of moves by vertex alone.
struct BuildMoves {
    MeshGridBuild& build;
    void moved(int v, const vec3&) { build.moved(v); }
};

// Jobs run when the test says so, on its own thread.
struct Deferred {
    Deferred() { BackgroundJob::setDeferred(true); }
    ~Deferred() { BackgroundJob::setDeferred(false); }
};

// Two creased tori (two components of patches), one with an open hole, in
// shuffled face order.
std::unique_ptr<Mesh> twoParts() {
    std::unique_ptr<Mesh> a(meshtest::torus(30, 20, 2, 0.6, true, true));
    std::unique_ptr<Mesh> base(Mesh::Icosahedron());
    std::unique_ptr<Mesh> b(Mesh::Sphere(base.get(), 2, true, true));
    for (int f = 0; f < 6; ++f) b->faceErase(f);
    std::unique_ptr<Mesh> m(new Mesh(a.get(), b.get()));
    m->initialize(Element::ResizeKeep);
    return m;
}

}  // namespace

TEST(StrokeGridCells, BuiltInStepsWhileVerticesMoveListsWhatTheScanFinds) {
    std::unique_ptr<Mesh> m(meshtest::smoothSphere(6));  // some 41,000 vertices: a few runs of the copy
    std::mt19937 rng(17);
    // Copied in steps, binned by a worker thread while the vertices go on
    // moving, taken over when it is done.
    MeshGridBuild build;
    BuildMoves moves{build};
    MeshStrokeGrid g;
    int steps = 0;
    while (!build.step(*m, 0.2f, 0.0, g)) {
        ASSERT_TRUE(build.building());
        moveSome(*m, moves, rng, 200, 0.3f);
        ++steps;
    }
    EXPECT_GE(steps, 3);  // a run of the copy per step
    EXPECT_FALSE(build.building());
    expectScan(*m, g, rng);
}

TEST(StrokeGridCells, MovesFarAcrossCellsKeepTheGridInStep) {
    std::unique_ptr<Mesh> m(meshtest::smoothSphere(4));
    std::mt19937 rng(23);
    MeshStrokeGrid g;
    g.build(*m, 0.1f);
    for (int round = 0; round < 30; ++round) {
        // Short moves, moves many cells away and out of the box.
        moveSome(*m, g, rng, 40, round % 3 == 0 ? 3.0f : 0.08f);
        ASSERT_TRUE(g.built(m->vertexCount(), 0.1f));
        expectScan(*m, g, rng);
    }
    // To no finite position and back.
    const int v = 5;
    const vec3 was = m->vertices[v].position;
    m->vertices[v].position = vec3(NAN, 0, 0);
    g.moved(v, m->vertices[v].position);
    expectScan(*m, g, rng);
    m->vertices[v].position = was;
    g.moved(v, was);
    EXPECT_EQ(listed(g, was, 0.01f, true), scan(*m, was, 0.01f, true));
}

// Vertices that leave their cells crowd the grid's lists until it is built
// again: crowded past a sixteenth of the vertices, not when they move
// within their cells or come back onto lists already counted.
TEST(StrokeGridCells, VerticesThatLeaveTheirCellsCrowdTheGridUntilItIsBuiltAgain) {
    std::unique_ptr<Mesh> m(meshtest::smoothSphere(4));  // 2,562 vertices: crowded past 256 movers
    std::mt19937 rng(31);
    MeshStrokeGrid g;
    g.build(*m, 0.1f);
    for (int v = 0; v < m->vertexCount(); v += 4) g.moved(v, m->vertices[v].position + vec3(1e-6f, 0, 0));
    EXPECT_FALSE(g.crowded());
    int v = 0;
    for (; v < 300 && !g.crowded(); ++v) {
        // Across the box along x: always into another cell.
        vec3& p = m->vertices[v].position;
        p += vec3(p.x > 0 ? -3.0f : 3.0f, 0, 0);
        g.moved(v, p);
    }
    EXPECT_EQ(v, 257);
    // Moved on from list to list, the same vertices count once.
    for (int u = 0; u < v; ++u) {
        m->vertices[u].position += vec3(0, 3.0f, 0);
        g.moved(u, m->vertices[u].position);
    }
    EXPECT_TRUE(g.crowded());
    expectScan(*m, g, rng);
    g.build(*m, 0.1f);
    EXPECT_FALSE(g.crowded());
    expectScan(*m, g, rng);
}

TEST(StrokeGridCells, FollowBinsAppendedVerticesAndDropsForFewer) {
    std::unique_ptr<Mesh> m(meshtest::smoothSphere(4));
    std::mt19937 rng(29);
    MeshStrokeGrid g;
    g.build(*m, 0.1f);
    m->vertices[3].position += vec3(0.5f, 0, 0);
    for (int i = 0; i < 50; ++i) m->vertexAdd(vec3(float(i) * 0.1f - 2.5f, 0.2f, 1.5f));
    g.follow(*m);
    ASSERT_TRUE(g.built(m->vertexCount()));
    expectScan(*m, g, rng);
    EXPECT_EQ(listed(g, vec3(0, 0.2f, 1.5f), 0.3f, true), scan(*m, vec3(0, 0.2f, 1.5f), 0.3f, true));
    std::unique_ptr<Mesh> fewer(meshtest::smoothSphere(3));
    g.follow(*fewer);
    EXPECT_FALSE(g.built());
}

TEST(StrokeScopeLabels, FoundInStepsGroupTheFacesAsTheWalksDo) {
    std::unique_ptr<Mesh> m = twoParts();
    Deferred deferred;
    MeshScopeLabels stepped, atOnce;
    int steps = 0;
    while (!stepped.step(*m, 0.0)) {
        ASSERT_LT(++steps, 1000);
        if (stepped.joining()) {
            ASSERT_EQ(BackgroundJob::runDeferred(), 1);
        }
    }
    EXPECT_GT(steps, 0);
    atOnce.find(*m);
    ASSERT_TRUE(stepped.current(*m));
    for (const bool patch : {false, true})
        for (int f = 0; f < m->faceCount(); f += 37) {
            if (!m->activeFace(f)) continue;
            int face = f;
            patch ? m->selectF_(vec3(), true, face) : m->selectF(vec3(), true, face);
            std::vector<int> walked = m->selectedFaces, labelled;
            m->deselectAll();
            for (int g = 0; g < m->faceCount(); ++g)
                if (m->activeFace(g) && stepped.label(g, patch) == stepped.label(f, patch)) {
                    labelled.push_back(g);
                    ASSERT_EQ(atOnce.label(g, patch), atOnce.label(f, patch));
                }
            std::sort(walked.begin(), walked.end());
            ASSERT_EQ(labelled, walked) << "face " << f << (patch ? " patch" : " component");
        }
    for (int v = 0; v < m->vertexCount(); ++v) {
        int holding = 0;
        for (int f = 0; f < m->faceCount(); ++f)
            if (m->activeFace(f)) holding += m->faces[f].corner(v) >= 0;
        ASSERT_EQ(stepped.holding(v), std::min(holding, 255)) << v;
    }
}

// The copy of the positions is made in runs, vertices move between them, in
// the runs already copied and not yet, and while the worker bins the copy
// and after it is done: the grid taken over follows every move.
TEST(StrokeGridBuild, MovesMadeWhileItIsBuiltAreFollowedWhenItTakesOver) {
    std::unique_ptr<Mesh> m(meshtest::smoothSphere(6));  // some 41,000 vertices: three runs of the copy
    std::mt19937 rng(41);
    Deferred deferred;
    MeshGridBuild build;
    BuildMoves moves{build};
    MeshStrokeGrid grid;
    int steps = 0;
    while (!build.binning()) {
        ASSERT_FALSE(build.step(*m, 0.2f, 0.0, grid));
        moveSome(*m, moves, rng, 200, 0.3f);
        ASSERT_LT(++steps, 100);
    }
    EXPECT_GT(steps, 1);
    // Far, out of the box it is built over, while the worker has not run.
    moveSome(*m, moves, rng, 300, 3.0f);
    EXPECT_FALSE(build.step(*m, 0.2f, 0.0, grid));
    EXPECT_FALSE(grid.built());
    EXPECT_EQ(BackgroundJob::runDeferred(), 1);
    moveSome(*m, moves, rng, 100, 0.3f);
    ASSERT_TRUE(build.step(*m, 0.2f, 0.0, grid));
    EXPECT_FALSE(build.building());
    ASSERT_TRUE(grid.built(m->vertexCount(), 0.2f));
    expectScan(*m, grid, rng);
}

// A build dropped, or gone with its owner, never runs its worker; one for
// another vertex count starts anew.
TEST(StrokeGridBuild, DroppedGoneOrRecountedTheWorkerDoesNotRun) {
    std::unique_ptr<Mesh> m(meshtest::smoothSphere(4));  // one run of the copy
    std::unique_ptr<Mesh> more(meshtest::smoothSphere(5));
    std::mt19937 rng(43);
    Deferred deferred;
    MeshStrokeGrid grid;
    {
        MeshGridBuild gone;
        EXPECT_FALSE(gone.step(*m, 0.1f, 0.0, grid));
        ASSERT_TRUE(gone.binning());
    }
    MeshGridBuild build;
    EXPECT_FALSE(build.step(*m, 0.1f, 0.0, grid));
    ASSERT_TRUE(build.binning());
    build.drop();
    EXPECT_FALSE(build.building());
    EXPECT_EQ(BackgroundJob::runDeferred(), 0);
    EXPECT_FALSE(build.step(*m, 0.1f, 0.0, grid));
    EXPECT_FALSE(build.step(*more, 0.1f, 1e9, grid));
    ASSERT_TRUE(build.binning());
    EXPECT_EQ(BackgroundJob::runDeferred(), 1);
    ASSERT_TRUE(build.step(*more, 0.1f, 0.0, grid));
    ASSERT_TRUE(grid.built(more->vertexCount()));
    expectScan(*more, grid, rng);
}

// A sharp mark on one side of an edge only: a patch walk crosses the edge
// from the unmarked side and not back, so its reach is no patch and the
// labels are refused, found behind the strokes or at once; marked on both
// sides, the edge parts the patches.
TEST(StrokeScopeLabels, ASharpMarkOnOneSideOnlyIsRefused) {
    std::unique_ptr<Mesh> m(meshtest::torus(30, 20, 2, 0.6, false, false));  // one smooth patch
    Deferred deferred;
    const int f = 0, k = 0, g = m->faces[f].f[k];
    const int e = m->faces[g].f[0] == f ? 0 : m->faces[g].f[1] == f ? 1 : 2;
    ASSERT_EQ(m->faces[g].f[e], f);
    auto behind = [&](MeshScopeLabels& labels) {
        int steps = 0;
        while (!labels.step(*m, 0.0)) {
            ASSERT_LT(++steps, 1000);
            if (labels.joining()) {
                ASSERT_EQ(BackgroundJob::runDeferred(), 1);
            }
        }
    };
    for (const int side : {f, g}) {
        m->faces[side].flags |= MeshFace::SHARP[side == f ? k : e];
        MeshScopeLabels stepped, atOnce;
        behind(stepped);
        atOnce.find(*m);
        for (MeshScopeLabels* labels : {&stepped, &atOnce}) {
            EXPECT_TRUE(labels->found(*m));
            EXPECT_FALSE(labels->current(*m)) << "marked on face " << side;
        }
        m->faces[side].flags &= std::uint8_t(~MeshFace::SHARP[side == f ? k : e]);
    }
    m->faces[f].flags |= MeshFace::SHARP[k];
    m->faces[g].flags |= MeshFace::SHARP[e];
    MeshScopeLabels both;
    behind(both);
    ASSERT_TRUE(both.current(*m));
    EXPECT_EQ(both.label(f, false), both.label(g, false));
    // One edge alone does not part a torus's patch.
    EXPECT_EQ(both.label(f, true), both.label(g, true));
}

// An edit of the topology, or the mesh gone, while the worker joins the
// faces: it never runs, and the next search starts anew.
TEST(StrokeScopeLabels, DroppedOrGoneTheWorkerDoesNotRun) {
    std::unique_ptr<Mesh> m = twoParts();
    Deferred deferred;
    {
        MeshScopeLabels gone;
        while (!gone.joining()) ASSERT_FALSE(gone.step(*m, 1e9));
    }
    MeshScopeLabels labels;
    while (!labels.joining()) ASSERT_FALSE(labels.step(*m, 1e9));
    labels.drop();
    EXPECT_EQ(BackgroundJob::runDeferred(), 0);
    EXPECT_FALSE(labels.found(*m));
    // Found at once meanwhile: the worker's search is cancelled.
    while (!labels.joining()) ASSERT_FALSE(labels.step(*m, 1e9));
    labels.find(*m);
    EXPECT_TRUE(labels.current(*m));
    EXPECT_EQ(BackgroundJob::runDeferred(), 0);
}
