// Selection of a curve's chains and patches by edge, and copying them out
// as a new curve.

#include <cstddef>
#include <vector>

#include "curves/curve.h"

namespace qel {

void Curve::selectE(const vec3& point, bool clear, int& edge) { selectEdges(point, clear, edge, false); }

bool Curve::selectE_(const vec3& point, bool clear, int& edge) { return selectEdges(point, clear, edge, true); }

bool Curve::selectEdges(const vec3& point, bool clear, int& edge, bool stopAtSharp) {
    edge = pickedEdge(point, edge);
    if (edge < 0) return false;
    if (clear) deselectAll();
    // Breadth-first from the edge; every selected edge queues at most its
    // two neighbours, so the queue stays within twice the edge count.
    std::vector<int> queue{edge};
    bool stopped = false;
    bool onlyOpenEnds = true;
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const int g = queue[head];
        CurveEdge& E = edges[std::size_t(g)];
        if (E.isSelected()) continue;
        E.flags |= CurveEdge::SelectedBit;
        selectedEdges.push_back(g);
        for (int k = 0; k < 2; ++k) {
            const int n = link(E, k);
            const bool sharp = E.isSharp(k) || (validVertex(E.v[k]) && vertices[std::size_t(E.v[k])].isSharp());
            if (stopAtSharp && sharp) {
                stopped = true;
                if (n >= 0) onlyOpenEnds = false;
            } else if (n < 0) {
                stopped = true;
            } else if (activeEdge(n) && !edges[std::size_t(n)].isSelected()) {
                queue.push_back(n);
            }
        }
    }
    return stopped && onlyOpenEnds;
}

Curve* Curve::Part(const vec3& point, int& edge, Sculptor::TSelect select) {
    auto* part = new Curve(Plain);
    if (select == Sculptor::SelectPatch)
        selectE_(point, true, edge);
    else
        selectE(point, true, edge);

    // Number the vertices of the selected edges in the order they are met;
    // the selection slot holds the new index meanwhile.
    for (const int g : selectedEdges)
        for (const int v : edges[std::size_t(g)].v)
            if (validVertex(v)) vertices[std::size_t(v)].selection = -1;
    std::vector<int> taken;
    for (const int g : selectedEdges)
        for (const int v : edges[std::size_t(g)].v)
            if (validVertex(v) && vertices[std::size_t(v)].selection == -1) {
                vertices[std::size_t(v)].selection = int(taken.size());
                taken.push_back(v);
            }

    part->vertices.reserve(taken.size());
    for (const int v : taken) {
        CurveVertex copy = vertices[std::size_t(v)];
        copy.setFlag(CurveVertex::SelectedBit, false);
        copy.selection = -1;
        part->vertices.push_back(copy);
    }
    part->edges.reserve(selectedEdges.size());
    for (std::size_t k = 0; k < selectedEdges.size(); ++k) {
        const int g = selectedEdges[k];
        if (g == edge) edge = edgeCount() + int(k);
        CurveEdge copy = edges[std::size_t(g)];
        copy.flags = std::uint8_t(copy.flags & ~CurveEdge::SelectedBit);
        bool sound = true;
        for (int& v : copy.v) {
            sound = sound && validVertex(v);
            v = sound ? vertices[std::size_t(v)].selection : -1;
        }
        copy.n[0] = copy.n[1] = -1;
        part->edges.push_back(copy);
    }

    for (const int v : taken) vertices[std::size_t(v)].selection = -1;
    deselectAll();
    part->initialize(ResizeMean);
    return part;
}

}  // namespace qel
