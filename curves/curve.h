#pragma once
// qel::Curve, the curve element (element type 2): one or more chains, open
// or closed, of vertex records joined by edge records; no vertex belongs to
// more than two edges. Vertices carry a radius and a twist angle, edges a
// material at each end.
//
// Records are addressed by index. Deleting a record only clears its active
// bit and raises pendingRemoval, so indices stay valid until removeInactive
// compacts both arrays (the last records fill the holes).
//
// Safety rules:
// - Copies (copy constructor, clone) start without a GL buffer (name 0, not
//   enabled, reallocate set): two curves never own the same buffer. init()
//   releases the curve's own buffer through deleteVBO.
// - The element's size is never stored as 0 (Element::setSize).
// - Queries and edits validate their index arguments: an index outside the
//   arrays (or an inactive edge, for the edits) gives -1, false or an empty
//   list. A link outside the edge array reads as -1. Every walk stops after
//   as many steps as there are edges, so a curve whose connectivity failed
//   (status 1) or a hostile file cannot hang a walk or make it read out of
//   range.

#include <cstdint>
#include <vector>

#include "core/vec.h"
#include "curves/curve_records.h"
#include "scene/element.h"

namespace qel {

class Curve : public Element {
public:
    // The curve type, stored and written with the curve: plain curves are
    // made with 0, uniformly resampled ones with 2. No operation tests it.
    enum TCurveType : std::uint32_t { Plain = 0, Uniform = 2 };

    using VertexList = std::vector<CurveVertex>;
    using EdgeList = std::vector<CurveEdge>;

    // ---- Fields after the element head, in this order ----
    TCurveType curveType = Plain;
    VertexList vertices;
    EdgeList edges;
    std::uint32_t vbo = 0;                  // GL buffer of the line vertices (0: none)
    std::uint8_t reallocate = 1;            // the buffer's storage must be specified again at the next build
    std::uint8_t vboEnabled = 0;            // the buffer is bound as attribute 0
    std::uint64_t vboOffset = 0;            // byte offset of the positions in the buffer
    std::uint8_t modified = 0;              // change flags: positions must be uploaded again,
    std::uint8_t normalsChanged = 0;        //   normals,
    std::uint8_t materialsChanged = 0;      //   materials,
    std::uint8_t idsChanged = 0;            //   ids
    std::uint32_t lineVertexCount = 0;      // vertices drawn: two per active edge
    std::uint32_t recordedVertexCount = 0;  // array sizes at the last deselectAll or compaction
    std::uint32_t recordedEdgeCount = 0;
    std::vector<std::int32_t> auxiliary;     // kept, copied and freed with the curve
    std::vector<CurveInfluence> influences;  // brush selection
    std::vector<std::int32_t> selectedVertices;
    std::vector<std::int32_t> selectedEdges;
    std::vector<vec3> positionChanges;  // pending changes, parallel to selectedVertices
    std::vector<float> radiusChanges;
    std::vector<float> angleChanges;
    std::uint8_t pendingRemoval = 0;     // a record was deactivated since the last compaction
    std::uint8_t orientationsValid = 0;  // the sweep frames are up to date; touch() clears it

    // ---- Construction and copying ----
    // An empty curve of the type.
    explicit Curve(TCurveType type = Plain);
    // load(points, closed).
    Curve(const std::vector<vec3>& points, bool closed, TCurveType type = Plain);
    // load(points, radii, sharp, closed): the curves drawn in the view.
    Curve(const std::vector<vec3>& points, const std::vector<float>& radii, const std::vector<bool>& sharp, bool closed,
          TCurveType type = Plain);
    // Every field of o; the copy has id -1, reference count 0 and no GL
    // buffer (name 0, not enabled, reallocate set).
    Curve(const Curve& o);
    Curve& operator=(const Curve&) = delete;
    // Releases the GL buffer through deleteVBO when there is one.
    ~Curve() override;

    // Appends one vertex per point and one edge per consecutive pair; a
    // closed curve of n >= 2 points first gets the closing edge (n-1, 0), so
    // that its edge 0 runs from the last point to the first. Ends with
    // initialize(0); with no point the curve is left as it was and its
    // status becomes 1 when it has no edge.
    void load(const std::vector<vec3>& points, bool closed);
    // The same, each vertex with its radius and sharp flag (missing entries:
    // radius 1.0, not sharp); the ends of open chains are sharp regardless.
    void load(const std::vector<vec3>& points, const std::vector<float>& radii, const std::vector<bool>& sharp,
              bool closed);
    // The element's load from a file stays callable beside these.
    using Element::load;

    // Slot 2: back to the new state: centre (0,0,0), size 1.0, status 0,
    // stamp 0, type Curve, deselectAll, both arrays emptied, the GL buffer
    // released (deleteVBO, name 0), pending removal and orientations valid
    // cleared.
    void init() override;
    // Slot 6: a new curve made by the copy constructor.
    Curve* clone() override;
    // Slot 18: clears orientations valid, sets reallocate, stamps the curve.
    void touch() override;

    // Clears the selected bit and selection slot of every listed vertex and
    // the selected bit of every listed edge, empties the selection, pending
    // change and influence lists and records the current array sizes.
    void deselectAll();

    // ---- Adding records (each returns the new record's index) ----
    int vertexAdd(const CurveVertex& r);
    int vertexAdd(const vec3& p);
    int vertexAdd(float x, float y, float z, bool sharp);
    int edgeAdd(const CurveEdge& r);
    int edgeAdd(int a, int b);
    int edgeAdd(int a, int b, int neighbour0, int neighbour1, bool sharp0, bool sharp1);
    // One edge (list[k], list[k+1]) per consecutive pair; nothing for fewer
    // than two entries. Returns the index of the first edge added (the old
    // edge count). With sharp, end 0 gets sharp[k] and end 1 sharp[k+1]
    // (missing entries count as false).
    int edgesAdd(const std::vector<int>& list);
    int edgesAdd(const std::vector<int>& list, const std::vector<bool>& sharp);

    // ---- Index helpers ----
    int vertexCount() const { return int(vertices.size()); }
    int edgeCount() const { return int(edges.size()); }
    bool validVertex(int v) const { return v >= 0 && std::size_t(v) < vertices.size(); }
    bool validEdge(int e) const { return e >= 0 && std::size_t(e) < edges.size(); }
    bool activeVertex(int v) const { return validVertex(v) && vertices[std::size_t(v)].isActive(); }
    bool activeEdge(int e) const { return validEdge(e) && edges[std::size_t(e)].isActive(); }

    // ---- Connectivity, order and extent (curve_topology.cpp) ----
    // Slot 3: buildConnectivity; status 0 on success, 1 on failure; on
    // success setOrder and calculateSize(style). Reallocate is raised either
    // way.
    void initialize(TResizeStyle style) override;
    // Links the active edges (inactive edges get neighbours -1 and take no
    // part), stores in every vertex the first active edge using it (-1 when
    // none; a vertex an active edge uses is kept active), then applies the
    // sharp rules: an end without a neighbour is sharp at the edge and the
    // vertex, which gets the end bit (cleared on every other vertex of an
    // active edge); an end flagged sharp makes its vertex sharp and a sharp
    // vertex makes every end at it sharp. False for a curve without active
    // edges, an active edge that names a vertex outside the array or one
    // vertex twice, or a vertex used by more than two active edges; the
    // links are then left unset (-1) and the vertices' edge fields name the
    // first edges found before the failure.
    bool buildConnectivity();
    // Orients every chain: an open chain runs from the free end of its
    // lowest-indexed end edge; a loop keeps the direction of its
    // lowest-indexed edge. Flipping exchanges an edge's vertices,
    // neighbours, end sharp bits and end materials. Clears the visited
    // (selected) bit of every edge.
    void setOrder();

    // ---- Curve-family operations, after the element's ----
    // Replaces both arrays by copies of other's (nothing for null or this
    // curve); then touch() when asked.
    virtual void copyGeometry(const Curve* other, bool touch);
    // Over all vertices, active or not. ResizeKeep: nothing. ResizeMean:
    // centre = mean of the positions, size = twice the largest distance from
    // it (nothing changes without vertices). ResizeBox: the middle and the
    // diagonal of the bounding box ((0,0,0) without vertices). A size of 0
    // is stored as 1.0.
    virtual void calculateSize(TResizeStyle style);

    // ---- Queries (curve_topology.cpp) ----
    // The neighbour of e that is not from; when neither is, neighbour 1
    // unless it is -1, then neighbour 0. -1 for an edge outside the array.
    int nextEdge(int e, int from) const;
    // With one neighbour vertex, that vertex (-1 when it is from); with two,
    // the first, or the second when the first is from. -1 for a vertex
    // without neighbours or outside the array.
    int nextVertex(int v, int from) const;
    // Follows neighbour 0 from e until the link is -1 or the walk returns to
    // e: the first edge of an open chain, e on a loop. -1 for an edge
    // outside the array.
    int edgeStart(int e) const;
    // The first edge at a whose other vertex is b; -1 when none.
    int findEdge(int a, int b) const;
    // v's edge, then that edge's neighbour at v when there is one; empty for
    // a lone vertex. Returns the count.
    int findENeighbours(int v, std::vector<int>& edgeList) const;
    // The vertices across v's edges (edgeList: those edges, in the same
    // order). Returns the vertex count; 0 for a lone vertex.
    int findNeighbours(int v, std::vector<int>& vertexList, std::vector<int>& edgeList) const;
    int findNeighbours(int v, std::vector<int>& vertexList) const;
    // Walks from v along e to the next sharp vertex and returns it; -1 when
    // the walk comes back to v (a loop without another sharp vertex) or
    // cannot go on. The list form receives v, then every vertex reached (the
    // returned one, or v again when the loop closes).
    int findNextVertexSharp(int v, int e) const;
    int findNextVertexSharp(int v, int e, std::vector<int>& path) const;

    // ---- Edits (curve_edits.cpp); none compacts ----
    // Deactivates e: a vertex that only e used becomes inactive, any other
    // end vertex becomes a sharp end held by its other edge, and each
    // neighbour drops its link to e (that end becoming sharp). Nothing for
    // an edge that is inactive or outside the array.
    void edgeErase(int e);
    // Splits e at its midpoint: a new vertex m, e runs to m and a new edge
    // from m to the old vertex 1; the middle material is the mean of the
    // end materials. Returns m; -1 for an edge that is inactive, outside the
    // array or names a vertex outside it.
    int edgeSplit(int e);
    // Splits e at the point: radius and materials interpolated at
    // t = |A - point| / |A - B| (0 for an edge of zero length, clamped to
    // [0, 1]); the new vertex, and the ends meeting there, sharp when asked.
    int edgeSplit(int e, const vec3& point, bool sharp);
    // Merges the two vertices of e. An end is fixed when it is sharp or has
    // no neighbour: a fixed end stays in place; with neither end fixed the
    // kept vertex moves to the midpoint. False (nothing changed) when both
    // ends are fixed, when e closes a loop of one or two edges, or for an
    // edge that is inactive or outside the array.
    bool edgeCollapse(int e);
    // Drops inactive records (the last active record fills the first hole)
    // and renumbers every vertex, edge, link and vertex edge field; links to
    // dropped edges become -1, and a vertex an active edge uses is kept.
    // Does nothing unless pendingRemoval is set or force is true.
    void removeInactive(bool force);

private:
    // Appends the vertices and edges of load (first vertex at base); the
    // vertex flags come from sharp when given.
    void appendPoints(const std::vector<vec3>& points, const std::vector<float>* radii, const std::vector<bool>* sharp,
                      bool closed);
    // The link at end k of e, -1 when it names no edge of the array.
    int link(const CurveEdge& E, int k) const { return validEdge(E.n[k]) ? E.n[k] : -1; }
    // Replaces in edge g the link(s) to `from` by `to`.
    void relink(int g, int from, int to);
};

}  // namespace qel
