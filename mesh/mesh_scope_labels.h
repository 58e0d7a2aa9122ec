#pragma once
// qel::MeshScopeLabels: the connected component and the sharp-bounded
// patch of every face, as labels, and the number of faces holding every
// vertex. A scoped brush stamp tells from them whether a vertex of its ball
// lies in the picked face's component or patch (one of its faces carries
// the picked face's label) without walking the component: the far side of
// a thin wall, a plate or a finger is in scope or not by its own faces.
//
// The labels hold for the topology they were found on. Every edit that
// changes links, sharp marks, active bits or face corners drops them
// (Mesh::topologyEdited), a search under way too; they are also refused
// when the record counts differ from those they were found for, and they
// are never used for a mesh whose links the walks would cross one way only
// (a link that does not come back, or is sharp on one side alone): there
// the walk's reach is not a component, and only the walk can tell.
//
// They are found behind the strokes (step): the sculpt calls copy what the
// search reads of the faces (links, sharp marks, active bits) a slice of
// bounded time each, since the stamps write the face records meanwhile;
// then a worker thread joins the faces into components and patches from
// the copy alone, which no frame waits on, and a later step takes its
// labels. Or they are found at once (find).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/background_job.h"

namespace qel {

class Mesh;

class MeshScopeLabels {
public:
    // Found for the mesh as it is and usable by the stamps.
    bool current(const Mesh& m) const;
    // Found for the mesh as it is (usable or not): finding them again would
    // give the same answer.
    bool found(const Mesh& m) const;
    // Takes the search for the labels of the mesh's faces a step further:
    // a slice of the copy of about budgetMs (at least one run of faces),
    // the worker started once it is whole, or a look whether the worker is
    // done. A search for other record counts starts anew. True when they
    // are found.
    bool step(const Mesh& m, double budgetMs);
    // Finds them at once, going on with a search under way: the rest of
    // its copy made here, or its worker stopped and its search made here.
    void find(const Mesh& m);
    // The copy is whole and the worker joins the faces.
    bool joining() const { return phase_ == Joining; }
    void drop();

    // The label of active face f's component (scope: patch false) or patch;
    // equal labels, one scope.
    std::int32_t label(int f, bool patch) const { return sets_[std::size_t(f)].of[patch ? 1 : 0]; }
    // The active faces holding vertex v, corner by corner (255: 255 or more).
    int holding(int v) const { return holding_[std::size_t(v)]; }

private:
    enum Phase { Idle, Copying, Joining };
    // A face's component ([0]) and patch ([1]) together: one read of a face
    // across an edge gives both.
    struct Sets {
        std::int32_t of[2];
    };
    // What the search reads of a face, together for the same reason: its
    // links (-1 from an inactive face) and flags.
    struct FaceCopy {
        std::int32_t f[3];
        std::uint8_t flags;
    };
    // What the search reads of the faces, copied flat, and the sets it joins
    // them into: the worker's alone while it joins.
    struct Search {
        int faceCount = 0;
        std::unique_ptr<FaceCopy[]> faces;
        std::unique_ptr<Sets[]> sets;
        bool usable = true;
        // Joins the sets of faces across their edges, then gives each face
        // its root: the labels; lets the copy go. Stops when cancelled
        // (looked at between runs of faces); usable false, and no sets,
        // when a link is crossed one way only.
        void run(const std::atomic<bool>& cancelled);
        bool joinRun(int from, int to);
        void flattenRun(int from, int to);
        bool active(std::int32_t g) const;
    };
    // A search begun anew for the mesh's record counts.
    void begin(const Mesh& m);
    // begin, unless a search for the mesh's record counts is under way.
    void beginUnlessUnderWay(const Mesh& m);
    // The copy of faces [from, to), with the faces per vertex.
    void copyRun(const Mesh& m, int from, int to);
    // The end of a search: its labels taken, usable or not. True.
    bool finish();

    bool found_ = false;
    int vertexCount_ = 0, faceCount_ = 0;
    std::unique_ptr<Sets[]> sets_;       // per face, its labels; -1 for an inactive face
    std::vector<std::uint8_t> holding_;  // per vertex
    // A search under way.
    Phase phase_ = Idle;
    int next_ = 0;  // the next face to copy
    std::unique_ptr<Search> search_;
    BackgroundJob job_;  // last: joined before the search goes
};

}  // namespace qel
