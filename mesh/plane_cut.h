#pragma once
// PlaneCut, the steps of the plane cuts, clips and subtracts of a mesh (on
// its public interface), and two small helpers both halves of those steps use:
// the cut and the clip are in mesh/mesh_plane_cut.cpp, the subtraction's
// caps over the holes its clip opened in mesh/mesh_plane_cap.cpp.

#include <cstddef>
#include <vector>

#include "core/vec.h"
#include "gl/pbr.h"
#include "mesh/mesh.h"

namespace qel {

// The position of vertex v.
inline vec3 at(const Mesh& m, int v) { return m.vertices[std::size_t(v)].position; }

// The triangle's normal cannot be formed (as calculateNormals forms it).
inline bool noNormal(const vec3& a, const vec3& b, const vec3& c) {
    const dvec3 A(a), n = cross(dvec3(b) - A, dvec3(c) - A);
    return dot(n, n) <= NormalizeEpsilon;
}

// The steps of the plane cuts, clips and subtracts of a mesh: marking the
// sides, splitting the crossing edges, welding and creasing the cut, and
// the caps of the holes a subtract opened.
class PlaneCut {
public:
    // The holes a clip opened, by vertex identity: root[v] is v, or for a copy
    // the erase made, the vertex it copies; placed[v] marks the vertices the cut
    // put on the plane (made by a split or lying on it) and their copies.
    // starts lists the vertices where the walks round the holes start: those
    // made by the splits and those on the plane that were not on a border
    // before. stackAt is the scratch of the chain splitting: -1 for every
    // vertex off the chain being split.
    struct PlaneHoles {
        std::vector<int> starts;
        std::vector<int> root;
        std::vector<char> placed;
        std::vector<std::ptrdiff_t> stackAt;

        int rootOf(int v) const { return std::size_t(v) < root.size() ? root[std::size_t(v)] : v; }
        bool isPlaced(int v) const { return std::size_t(v) < placed.size() && placed[std::size_t(v)]; }
    };

    // Marks the vertices below vertexMark on the positive side (sides, one
    // per vertex below the mark: 1 positive, -1 negative, 0 on the plane)
    // as selected: all of them (scope null) or the corners of the listed
    // faces. onPlane, when given, receives the active non-border vertices
    // on the plane.
    static void planeMarkSide(Mesh& mesh, const std::vector<signed char>& sides, const std::vector<int>* scope,
                              std::vector<int>* onPlane);
    // The cut core on the faces of walk, in order: every edge whose ends
    // lie on opposite sides is split, then planeWeld. walk receives the
    // faces the splits make (scoped: only those in the scope, selected, as
    // walk is then selectedFaces, and the positive corners of the scope are
    // marked by planeMarkSide); the new vertices go to cut.
    static void planeCutFaces(Mesh& mesh, const dvec3& point, const dvec3& normal,
                              const std::vector<signed char>& sides, std::vector<int>& walk, bool scoped,
                              std::vector<int>& cut);
    // Two cut vertices that rounded onto one point, or within a few float
    // steps of one (the crossing points of a thin face's two edges), and
    // share an edge become one: the edge is collapsed where the collapse is
    // allowed. The other leaves the mesh. A cap could not tell them apart.
    static void planeWeld(Mesh& mesh, const std::vector<int>& cut);
    // Marks sharp every edge between a cut vertex and a vertex made by it.
    static void planeCrease(Mesh& mesh, const std::vector<int>& cut);
    // The whole-mesh cut and the erase of the positive side; holes, when
    // given, receives what the caps of the holes need.
    static void planeClip(Mesh& mesh, const vec3& point, const vec3& normal, PlaneHoles* holes);
    // Erases every connected part the clip opened (an open edge of it
    // leaves a vertex where the caps' walks start) whose vertices all lie
    // on the plane: it has no volume left, and a cap over its hole would
    // cover it face to face.
    static void planeEraseFlatParts(Mesh& mesh, const PlaneHoles& holes);
    // Erases every face on the plane (all its corners placed) that faces
    // against the normal and borders a hole the clip opened (an open edge
    // between two placed vertices), and those that then border it: the kept
    // surface folded flat onto the plane there, which a cap over the hole
    // would cover face to face. The cap covers their place instead.
    static void planeEraseFlaps(Mesh& mesh, PlaneHoles& holes, const vec3& normal);
    // Drops every active vertex that no active face uses (a load would drop
    // it, and a save, load and save would differ).
    static void planeDropUnusedVertices(Mesh& mesh);
    // Caps the closed chain of open edges (each named 3 face + edge, each
    // ending where the next starts), split into simple loops where it comes
    // back to a vertex, or to a vertex of the same identity whose merge the
    // loop's cap allows; true when it merged a vertex into another.
    static bool planeCapChain(Mesh& mesh, const std::vector<int>& chain, PlaneHoles& holes, const vec3& normal,
                              const pbr& material);
    // Closes a simple loop of such edges with a flat cap; false (nothing
    // changed) when the loop leaves the plane or the cap cannot be joined.
    // A triangulation of the loop that would lay a cap face on a face of
    // the mesh or a cap edge on an edge of it gives way to another: its
    // edges turned, or ears clipped round the mesh's edges.
    // closing is the vertex the last edge ends at: the loop's first vertex,
    // or a vertex of the same identity at its point, which is merged into
    // the first with the cap, and only where the merge and the cap keep
    // every edge between two faces running it both ways.
    static bool planeCapLoop(Mesh& mesh, const std::vector<int>& border, const PlaneHoles& holes, const vec3& normal,
                             const pbr& material, int closing);
};

}  // namespace qel
