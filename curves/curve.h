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
#include <string>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "curves/curve_records.h"
#include "scene/element.h"

namespace qel {

class SimplePolygon;
class buffer;

class Curve : public Element {
public:
    // The curve type, stored and written with the curve: plain curves are
    // made with 0, uniformly resampled ones with 2. No operation tests it.
    enum TCurveType : std::uint32_t { Plain = 0, UniformCurve = 2 };

    // Element record tags: the current record and the older one without the
    // reserved word and the curve type.
    static constexpr std::uint32_t RecordTag = 0xE1000002u;
    static constexpr std::uint32_t OldRecordTag = 0xE0000002u;
    // Files of this version or older hold 29-byte edge records (8-bit
    // material channels, no roughness or metalness).
    static constexpr std::int32_t LastOldEdgeVersion = 20060411;

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
    // Reads a record body (DataRead); with old, the body of the old tag:
    // no reserved word and no curve type, element id 0 and curve type 0.
    // initialize is not called: the file's reader does that for every
    // element. A refused body leaves no records and status 1.
    Curve(buffer& b, bool old);
    // Every field of o; the copy has id -1, reference count 0 and no GL
    // buffer (name 0, not enabled, reallocate set).
    Curve(const Curve& o);
    Curve& operator=(const Curve&) = delete;
    // Releases the GL buffer through deleteVBO when there is one.
    ~Curve() override;

    // The element's load(path) stays visible beside the point loaders.
    using Element::load;
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

    // Slot 2: back to the new state: centre (0,0,0), size 1.0, status 0,
    // stamp 0, type Curve, deselectAll, both arrays emptied, the GL buffer
    // released (deleteVBO, name 0), pending removal and orientations valid
    // cleared.
    void init() override;
    // Slot 6: a new curve made by the copy constructor.
    Curve* clone() override;
    // Slot 18: clears orientations valid, sets reallocate, stamps the curve.
    void touch() override;
    // Slot 33 (curve_sculpt.cpp): one step of a sculpt stroke, one operation
    // per Sculptor chosen by its action and scope, from its previous sample
    // to its last. A gate that fails (too few samples, or the stroke not yet
    // or already ended, by action) ends the call without marking the curve
    // changed; an action without a curve operation, or a Sculptor without
    // samples, is passed over. Ends with reallocate set and touch().
    void sculpt(std::vector<Sculptor*>& sculptors) override;
    // The vertices a Place Point stroke placed are forgotten. A stroke's
    // first sample does the same.
    void clearStroke() override;

    // ---- Drawing (curve_draw.cpp) ----
    // One GL array buffer of line vertices: for every active edge, in edge
    // order, the positions of its vertex 0 and vertex 1 (3 floats each),
    // attribute 0. Storage is specified again after touch() (reallocate),
    // positions uploaded again when modified; otherwise a build does
    // nothing. False for a curve without edges or on a GL error (the flags
    // then stay set, so the next call tries again).
    bool buildVBO() override;
    // Disables, flushes and deletes the buffer when there is one (with the
    // view's context made current when none is).
    void deleteVBO() override;
    // buildVBO, then binds the buffer as attribute 0 unless enabled.
    bool enableVBO() override;
    void disableVBO() override;
    // The curve program, then enableVBO.
    bool renderBegin() override;
    void renderEnd() override;
    // The scene pass: update(), then GL_LINES through m * localMatrix() in
    // the material's colour ("Color"), writing objectId and itemId to the
    // identifier target. Colour-is-light and time are not used.
    void render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight colorLight,
                float time, bool end) override;
    // The same lines through M as it stands (no local matrix of the curve's
    // own): a swept element whose surface is left out draws its carrier so.
    void renderLines(unsigned objectId, unsigned itemId, const mat4& M, const pbr& material, bool end);
    // The curve has an edge.
    bool hasFeatures() const override;
    // The lines in a flat colour through the offset projection, with the
    // program the caller made current; end releases attribute 0.
    void renderFeatures(const mat4& m, const bvec4& colour, bool end) override;

    // ---- Record (curve_record.cpp) ----
    // Appends the current record (tag, length, body). Only active records
    // are written, vertex indices renumbered to the written vertices; the
    // curve in memory is not changed. An active edge that names a vertex
    // outside the array or one vertex twice is left out; a vertex an active
    // edge uses is written even when it is marked inactive. The records go
    // out as a load leaves them after initialize(0) (settledRecords), so
    // that saving a loaded file again writes the same bytes.
    void DataWrite(buffer& b) override;
    // Reads a current body (after the tag and the length): reserved word,
    // curve type, centre, size, vertices, edges (29- or 49-byte by
    // FILE_VERSION). Counts are checked against the bytes left before
    // anything is allocated; an edge naming a vertex outside the array or the
    // same vertex twice refuses the body (no records, status 1). Selected
    // bits and the edges' placed mark are cleared; a non-finite position,
    // radius or angle reads as 0, 1.0 and 0; a non-finite centre or size is
    // taken from the vertices (calculateSize(ResizeMean)); an active edge
    // makes its vertices active.
    void DataRead(buffer& b) override;
    // Reads the base curve's body inside an old resampled-curve record: the
    // old body with one byte between the size and the vertex count (counts
    // signed: a negative one refuses the body). Checked as DataRead; a
    // refused body leaves no records and status 1.
    void readResampledBaseBody(buffer& b);

    // ---- Smoothing, sharpness and subdivision (curve_smooth.cpp) ----
    // Per-vertex rules; each returns the value and changes nothing. The
    // neighbours are those of findNeighbours; a vertex without neighbours
    // (or outside the array) gives its own value.
    // Sharp: own position; else the mean of the neighbours' positions.
    vec3 vertexSmoothPosition(int v) const;
    // Sharp: own position; else p + t ((m - p) . t), m the neighbours' mean
    // and t the direction from the second neighbour to the first: the move
    // towards the mean along the neighbours' chord. Own position with fewer
    // than two neighbours.
    vec3 vertexTangentialSmoothPosition(int v) const;
    // Mean of the neighbours' radii (sharpness plays no part).
    float vertexSmoothRadius(int v) const;
    // Mean of the neighbours' angles.
    float vertexSmoothAngle(int v) const;
    // Every active vertex halfway to its tangential smooth position, its
    // radius halfway to the neighbours' mean, all from the values before.
    void smoothAll();
    // Every vertex sharp, every edge sharp at both ends.
    void makeSharp();
    // Every vertex but the ends of open chains loses its sharp bit; the edge
    // ends follow their vertices (sharp only at those ends).
    void makeSmooth();
    // makeSmooth, then a vertex with two neighbours a, b becomes sharp when
    // cos(degrees) > (b - p) . (p - a) (unnormalised); the edge ends follow.
    void makeSharp(float degrees);
    // Every vertex onto the sphere of diameter size around the centre.
    void spherize();
    // Slot 13: splits every active edge at its midpoint; with smooth, every
    // active vertex that existed before moves halfway to its smooth position
    // ((a + 6p + b) / 8 between the midpoints); every angle is halved. Ends
    // with touch(). True.
    bool subdivide(bool smooth) override;

    // ---- Preset shapes and conversions (curve_shapes.cpp) ----
    // New curves of type 0, owned by the caller, initialized.
    static Curve* SegmentHandle();  // (0,0,0)-(1,0,0), all sharp, centre (0,0,0)
    static Curve* Segment();        // the same, centre (0.5,0,0), size 1
    // n + 1 points (i / n, 0, 0) (n below 1 counts as 1), sharp at the ends.
    static Curve* Segment(int n, TResizeStyle style);
    static Curve* Triangle();              // closed, all sharp, size 1
    static Curve* Quad(float w, float h);  // closed, all sharp, size max(w, h) / 2
    // n points on the unit circle, closed; all sharp when asked; size 1,
    // radii Length() / (n + 0.4).
    static Curve* Circle(int n, bool sharp);
    // A chain link outline of 2m + 6 points (m = |n| / 2, at least 1);
    // sharp at the four straight-side points when asked.
    static Curve* Chainlink(int n, bool sharp);
    static Curve* TrefoilKnot(int n);         // size 3, radii Length() / (n + 0.4)
    static Curve* Knot(int p, int q, int n);  // radii 1, size 1
    // A closed curve through the points of a point file: u32 n, n x 3 f64
    // (skipped), u32 m, m x 3 f64. A missing or short file or a non-finite
    // point gives an empty curve with status 1.
    static Curve* FromPointFile(const std::string& path);
    // Sum of the lengths of the active edges.
    float Length() const;
    // A new polygon of every vertex's (x, y) and sharp bit, in array order.
    SimplePolygon* ToPolygon2D() const;
    // A new polygon of the vertices' coordinates in the least-squares plane
    // through them; frame maps (x, y, 0) of the polygon back onto that
    // plane in the curve's space. A singular fit (fewer than three vertices,
    // all on a line) takes the plane of the two largest extents through the
    // mean.
    SimplePolygon* ToPolygon2D(mat4& frame) const;

    // ---- Sweep frames (curve_frames.cpp) ----
    // Fills every active edge's direction and normal by parallel transport
    // along its chain, twisted by the vertices' angles; a closed chain's
    // left-over twist is spread evenly. Nothing while orientations are
    // valid, unless forced.
    void calculateOrientations(bool force);
    // The frame at v from the last computed directions and normals: columns
    // X (normal), Y, Z (direction), stretched across a bend by the mitre
    // factor and scaled by the radius; the identity for a lone vertex.
    mat3 vertexFrame(int v) const;

    // ---- Brush selection and pending changes (curve_brush.cpp) ----
    // Influence distances are in brush radii. A radius that is not above 0
    // or not finite selects nothing; an edge argument that names no active
    // edge stands for the edge nearest the centre (findFirstEdge).
    // Every active vertex within R of c (offset: position - c).
    void selectV(const vec3& c, float R, bool clear);
    // Two walks along the chain from edge e, distance summed along it,
    // stopping beyond R, at chain ends (selectVG) or at sharp vertices
    // (selectVG_); a vertex met twice keeps the smaller distance.
    void selectVG(const vec3& c, float R, bool clear, int e);
    void selectVG_(const vec3& c, float R, bool clear, int e);
    // Every vertex listed with slot i and distance 0 (bits not set);
    // selectAll lists every edge as well.
    void selectAllV();
    void selectAll();
    // The active edge nearest p whose span holds p's foot, else the edge of
    // the nearest active vertex, else -1.
    int findFirstEdge(const vec3& p) const;
    // Accumulators over the influence list, at each vertex's slot.
    void _deform(const vec3& d);  // += d (1 - 4t^3 + 3t^4)
    void _move(const vec3& d);    // += d
    void _smooth(float s);        // += (smoothed - value) s (1 - 3t^2 + 2t^3)
    void _scale(const vec3& c, float s);
    void _scale(const vec3& c, const vec3& d, float s);
    void _transform(const mat4& M);  // = M p (M: a movement, 1 off its diagonal)
    // Adds the chosen pending changes and zeroes each selected orientation.
    void applyDisplacement(bool position, bool radius, bool angle);

    // ---- Edge selection and parts (curve_parts.cpp) ----
    // The chain at edge (selectE) or its stretch between sharp vertices
    // (selectE_, true for a whole open chain without sharp joints).
    void selectE(const vec3& point, bool clear, int& edge);
    bool selectE_(const vec3& point, bool clear, int& edge);
    // Slot 8: a copy of the chain (or patch) as a new curve; edge becomes
    // the picked edge's index once the copy is appended to this curve.
    Curve* Part(const vec3& point, int& edge, Sculptor::TSelect select) override;

    // ---- Sculpting operators (curve_sculpt_ops.cpp) ----
    // Each selects, accumulates, applies and clears its selection.
    void deform(const vec3& a, const vec3& b, float R);
    void deformG(const vec3& a, const vec3& b, float R, int e);
    void deformE(const vec3& a, const vec3& b, int& e);
    void deformE_(const vec3& a, const vec3& b, int& e);
    void smooth(const vec3& c, float R);
    void smoothG(const vec3& c, const vec3& unused, float R, int e);
    // Radii along the chain grow with the brush's distance from e's line.
    void radiusG(const vec3& a, const vec3& b, float R, int e);
    void materialG_(const vec3& c, float R, int e, const pbr& m, std::uint8_t mask, float s);
    void materialE_(const vec3& c, int e, const pbr& m, std::uint8_t mask);
    // Moves v to target, turning and stretching the chain on each side
    // about the nearest sharp vertex there.
    void deformPoint(int v, const vec3& target);
    int cutPoint(const vec3& p, int e);
    void scale(const vec3& a, const vec3& b, int e, const Sculptor::TSelect& sel, bool uniform);
    void rotate(const vec3& a, const vec3& b, int e, const Sculptor::TSelect& sel, const vec3& axis);
    void cutPlane(const vec3& p, const vec3& n);
    void clipPlane(const vec3& p, const vec3& n);
    void eraseE(const vec3& p, int e);
    void eraseE_(const vec3& p, int e);
    void clipSphere(const vec3&, const vec3&) {}

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
    // The positions must be uploaded again (the modified flag).
    virtual bool vbo_modified() const;
    // Joins the last vertex to vertex 0 by a new edge when both are distinct
    // open ends; the former ends lose their end and sharp bits. Then
    // initialize(ResizeKeep) and touch(). Nothing otherwise.
    virtual void close();

    // ---- Resampling and joining (curve_resample.cpp) ----
    // A new curve (owned by the caller) resampling every chain of this one
    // with samples spaced by the local radius; step is neither read nor
    // written. The spacing is floored at 1 / MaxChainSpacings of the
    // chain's own length, and a resampling makes at most MaxUniformSamples
    // samples in all. Every result vertex keeps its sample's source edge in
    // its selection slot and vertex 0's angle; centre and size are this
    // curve's. A chain whose samples overflow the float range in the
    // smoothing is left out.
    Curve* Uniform(float& step);
    // The same with at most maxSamples samples: once they are made, the
    // chain being sampled ends at its last sample (open, without reaching
    // for its end), the chains after it are left out, and cut is set.
    Curve* Uniform(float& step, std::size_t maxSamples, bool& cut);
    static constexpr double MaxChainSpacings = 1000.0;
    static constexpr std::size_t MaxUniformSamples = std::size_t(1) << 16;
    // Evens edge lengths in place: collapses edges below a tenth of 0.95
    // times vertex 0's radius, then splits each edge longer than that once.
    void QuasiUniform();
    // Appends copies of other's vertices and edges, offsetting indices,
    // links and selection slots; nothing for null. No initialize.
    void append(const Curve* other);
    // The positions (and radii) of edge e's two vertices; empty lists for
    // an edge outside the array.
    void segment(int e, std::vector<vec3>& points) const;
    void segment(int e, std::vector<vec3>& points, std::vector<float>& radii) const;
    void segment(int e, std::vector<float>& radii) const;

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
    // The edges at v as findENeighbours lists them, without a list:
    // returns the count (0..2).
    int edgesAround(int v, int (&out)[2]) const;
    // The vertices across those edges; returns the count.
    int verticesAround(int v, int (&out)[2]) const;
    // The record bodies the reader knows: the current one (reserved word and
    // curve type first), the old tag's, and the old resampled curve's base
    // (one byte between the size and the vertex count).
    enum class BodyLayout { Current, Old, OldResampled };
    // Reads a record body into the emptied arrays; false when it must be
    // refused.
    bool readBody(buffer& b, BodyLayout layout);
    // Leaves no records of a refused body, and status 1.
    void refuseBody();
    // The records DataWrite writes: the written vertices and edges with the
    // flags the reader keeps, as initialize(0) leaves them after a load.
    Curve settledRecords() const;
    // What initialize(0) settles of a curve whose records are all written
    // (every vertex active, every edge active between two distinct
    // vertices of the curve), worked out aside of the records: the flags
    // each record goes out with and the edges written turned. False (out
    // unset) for another curve.
    struct Settling;
    static bool settleWhole(const std::vector<CurveVertex>& vs, const std::vector<CurveEdge>& es, Settling& out);
    // Appends the record of these vertices and edges with the curve's head:
    // the curve's own records as `settling` settles them, or (null)
    // settled copies as they stand.
    void writeRecords(buffer& b, const std::vector<CurveVertex>& vs, const std::vector<CurveEdge>& es,
                      const Settling* settling) const;
    // The edge ends take the sharp bits of their vertices.
    void edgeEndsFollowVertices();
    // Appends the vertices and edges of load (first vertex at base); the
    // vertex flags come from sharp when given.
    void appendPoints(const std::vector<vec3>& points, const std::vector<float>* radii, const std::vector<bool>* sharp,
                      bool closed);
    // The link at end k of e, -1 when it names no edge of the array.
    int link(const CurveEdge& E, int k) const { return validEdge(E.n[k]) ? E.n[k] : -1; }
    // Both edge splits end here: M becomes the new vertex between the ends of
    // edge e (whose record before the split is E); e keeps its first half
    // and a new edge of end material `middle` takes the second. The new
    // vertex's index.
    int splitEdgeAt(int e, const CurveEdge& E, const CurveVertex& M, const pbr& middle, bool sharp);
    // Replaces in edge g the link(s) to `from` by `to`.
    void relink(int g, int from, int to);
    // e when it names an active edge, else findFirstEdge(p).
    int pickedEdge(const vec3& p, int e) const;
    // Both walks of selectVG; stopBits: the vertex flags that end a walk.
    void selectAlongChain(const vec3& c, float R, bool clear, int e, std::uint8_t stopBits);
    // Sets v's selected bit and slot and lists it.
    void selectVertex(int v);
    // Each vertex of the selected edges selected once, at distance 0.
    void selectEdgeVertices();
    // Selection by scope for scale and rotate; false when empty. c: centre.
    bool selectScope(const vec3& a, int e, Sculptor::TSelect sel, vec3& c);
    // The selected edge walk of selectE / selectE_; returns selectE_'s answer.
    bool selectEdges(const vec3& point, bool clear, int& edge, bool stopAtSharp);
    // Steps 1-3 of cutPlane: the positive side selected, crossings split.
    void splitByPlane(const vec3& p, const vec3& n);
};

// Pulls the chain of points towards the target, keeping the lengths of its
// segments: each iteration puts the last point at the target, then sweeps
// back (point n-2 down to 1) and forth (1 up to n-1) putting each point at
// its segment's length from the point before it in the sweep. Point 0 never
// moves (a single point is put at the target).
void reachTarget(std::vector<vec3>& points, const vec3& target, int iterations);

}  // namespace qel
