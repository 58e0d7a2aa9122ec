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
// They are found in steps of bounded time (step), so that the frames of
// strokes share the cost, or at once (find).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qel {

class Mesh;

class MeshScopeLabels {
public:
    // Found for the mesh as it is and usable by the stamps.
    bool current(const Mesh& m) const;
    // Found for the mesh as it is (usable or not): finding them again would
    // give the same answer.
    bool found(const Mesh& m) const;
    // Goes on finding the labels of the mesh's faces for about budgetMs (at
    // least one run of faces); a search for other record counts starts
    // anew. True when they are found.
    bool step(const Mesh& m, double budgetMs);
    // Finds them at once (a search under way is finished).
    void find(const Mesh& m);
    void drop();

    // The label of active face f's component (scope: patch false) or patch;
    // equal labels, one scope.
    std::int32_t label(int f, bool patch) const {
        return patch ? patch_[std::size_t(f)] : component_[std::size_t(f)];
    }
    // The active faces holding vertex v, corner by corner (255: 255 or more).
    int holding(int v) const { return holding_[std::size_t(v)]; }

private:
    enum Phase { Idle, Copy, Join, Flatten };
    // The steps over faces [from, to): what the walks read of them copied
    // flat (links to active faces, sharp marks) with the faces per vertex;
    // the sets of faces joined across their edges; each face's root.
    void copyRun(const Mesh& m, int from, int to);
    bool joinRun(int from, int to);
    void flattenRun(int from, int to);
    bool active(std::int32_t g) const;
    // The end of a search: the labels found, usable or not. True.
    bool finish(bool usable);

    bool found_ = false;
    bool usable_ = false;
    int vertexCount_ = 0, faceCount_ = 0;
    std::vector<std::int32_t> component_, patch_;  // per face; -1 for an inactive face
    std::vector<std::uint8_t> holding_;            // per vertex
    // A search under way.
    Phase phase_ = Idle;
    int next_ = 0;
    std::vector<std::int32_t> links_;  // 3 per face
    std::vector<std::uint8_t> flags_;  // per face
};

}  // namespace qel
