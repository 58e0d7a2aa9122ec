// Construction, copying, record adders and selection of qel::Curve.

#include "curves/curve.h"

namespace qel {

// ---------------------------------------------------------------------------
// Construction and copying

Curve::Curve(TCurveType type) : Element(TType::Curve), curveType(type) {}

Curve::Curve(const std::vector<vec3>& points, bool closed, TCurveType type) : Curve(type) { load(points, closed); }

Curve::Curve(const std::vector<vec3>& points, const std::vector<float>& radii, const std::vector<bool>& sharp,
             bool closed, TCurveType type)
    : Curve(type) {
    load(points, radii, sharp, closed);
}

Curve::Curve(const Curve& o)
    : Element(o),
      curveType(o.curveType),
      vertices(o.vertices),
      edges(o.edges),
      // A copy never shares the source's GL buffer: it builds its own.
      vbo(0),
      reallocate(1),
      vboEnabled(0),
      vboOffset(o.vboOffset),
      modified(o.modified),
      normalsChanged(o.normalsChanged),
      materialsChanged(o.materialsChanged),
      idsChanged(o.idsChanged),
      lineVertexCount(o.lineVertexCount),
      recordedVertexCount(o.recordedVertexCount),
      recordedEdgeCount(o.recordedEdgeCount),
      auxiliary(o.auxiliary),
      influences(o.influences),
      selectedVertices(o.selectedVertices),
      selectedEdges(o.selectedEdges),
      positionChanges(o.positionChanges),
      radiusChanges(o.radiusChanges),
      angleChanges(o.angleChanges),
      pendingRemoval(o.pendingRemoval),
      orientationsValid(o.orientationsValid) {}

Curve::~Curve() {
    // The drawing's deleteVBO releases the GL name.
    if (vbo != 0) deleteVBO();
}

void Curve::load(const std::vector<vec3>& points, bool closed) {
    appendPoints(points, nullptr, nullptr, closed);
    initialize(ResizeKeep);
}

void Curve::load(const std::vector<vec3>& points, const std::vector<float>& radii, const std::vector<bool>& sharp,
                 bool closed) {
    // The end vertices of open chains become sharp in the connectivity pass
    // whatever their flag says.
    appendPoints(points, &radii, &sharp, closed);
    initialize(ResizeKeep);
}

void Curve::appendPoints(const std::vector<vec3>& points, const std::vector<float>* radii,
                         const std::vector<bool>* sharp, bool closed) {
    const std::size_t n = points.size();
    if (n == 0) return;
    // Indices start after the vertices already held, so that loading into a
    // curve that has records appends a chain of its own.
    const int base = vertexCount();
    vertices.reserve(vertices.size() + n);
    edges.reserve(edges.size() + n);
    for (std::size_t i = 0; i < n; ++i) {
        CurveVertex r(points[i]);
        if (radii && i < radii->size()) r.radius = (*radii)[i];
        if (sharp && i < sharp->size() && (*sharp)[i]) r.flags |= CurveVertex::SharpBit;
        vertices.push_back(r);
    }
    // One point closes on itself: no edge of zero extent is made for it.
    if (closed && n >= 2) edges.push_back(CurveEdge(base + int(n) - 1, base));
    for (std::size_t i = 1; i < n; ++i) edges.push_back(CurveEdge(base + int(i) - 1, base + int(i)));
}

void Curve::init() {
    centre = vec3(0, 0, 0);
    setSize(1.0f);
    status = 0;
    updateStamp = 0;
    type = TType::Curve;
    deselectAll();
    vertices.clear();
    edges.clear();
    // Re-initialising a drawn curve releases its buffer rather than
    // forgetting its name.
    if (vbo != 0) deleteVBO();
    vbo = 0;
    vboEnabled = 0;
    pendingRemoval = 0;
    orientationsValid = 0;
}

Curve* Curve::clone() { return new Curve(*this); }

void Curve::touch() {
    orientationsValid = 0;
    reallocate = 1;
    Element::touch();
}

void Curve::copyGeometry(const Curve* other, bool touchAfter) {
    if (other == nullptr || other == this) return;
    vertices = other->vertices;
    edges = other->edges;
    if (touchAfter) touch();
}

// ---------------------------------------------------------------------------
// Selection

void Curve::deselectAll() {
    for (const int v : selectedVertices) {
        if (!validVertex(v)) continue;
        CurveVertex& r = vertices[std::size_t(v)];
        r.setFlag(CurveVertex::SelectedBit, false);
        r.selection = -1;
    }
    for (const int e : selectedEdges) {
        if (!validEdge(e)) continue;
        CurveEdge& r = edges[std::size_t(e)];
        r.flags = std::uint8_t(r.flags & ~CurveEdge::SelectedBit);
    }
    selectedVertices.clear();
    selectedEdges.clear();
    positionChanges.clear();
    radiusChanges.clear();
    angleChanges.clear();
    influences.clear();
    recordedVertexCount = std::uint32_t(vertices.size());
    recordedEdgeCount = std::uint32_t(edges.size());
}

// ---------------------------------------------------------------------------
// Adding records

int Curve::vertexAdd(const CurveVertex& r) {
    const int i = vertexCount();
    vertices.push_back(r);
    return i;
}

int Curve::vertexAdd(const vec3& p) { return vertexAdd(CurveVertex(p)); }

int Curve::vertexAdd(float x, float y, float z, bool sharp) {
    return vertexAdd(CurveVertex(vec3(x, y, z), std::uint8_t(CurveVertex::ActiveBit | (sharp ? 1 : 0))));
}

int Curve::edgeAdd(const CurveEdge& r) {
    const int i = edgeCount();
    edges.push_back(r);
    return i;
}

int Curve::edgeAdd(int a, int b) { return edgeAdd(CurveEdge(a, b)); }

int Curve::edgeAdd(int a, int b, int neighbour0, int neighbour1, bool sharp0, bool sharp1) {
    return edgeAdd(CurveEdge(a, b, neighbour0, neighbour1, sharp0, sharp1));
}

int Curve::edgesAdd(const std::vector<int>& list) {
    static const std::vector<bool> none;
    return edgesAdd(list, none);
}

int Curve::edgesAdd(const std::vector<int>& list, const std::vector<bool>& sharp) {
    const int first = edgeCount();
    auto s = [&sharp](std::size_t k) { return k < sharp.size() && sharp[k]; };
    for (std::size_t k = 0; k + 1 < list.size(); ++k)
        edges.push_back(CurveEdge(list[k], list[k + 1], -1, -1, s(k), s(k + 1)));
    return first;
}

}  // namespace qel
