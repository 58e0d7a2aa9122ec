#pragma once
// A checker of the curve's structural invariants, for use after any edit and
// by the fuzz targets that load curves:
//
//   EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
//
// An empty string for a sound curve, else a description of the first
// violation. Every index is range-checked and nothing walks, so a corrupt
// curve yields a message, not a crash.
//
// Always checked:
// - an active edge names two distinct active vertices in range;
// - links are symmetric: a link of an active edge is -1 or another active
//   edge that holds the same vertex at one of its ends and links back there;
// - no vertex is on more than two active edges;
// - an active vertex's edge field names an active edge that uses it; -1 only
//   for a lone vertex (no active edge uses it).
// Checked unless left out of `checks`:
// - CheckOrder: along a chain, vertex 1 of an edge is vertex 0 of the next
//   (the edge at neighbour 1 starts where the edge ends and links back by
//   its neighbour 0);
// - CheckSharp: an end without a neighbour is sharp and its vertex is a
//   sharp end; a vertex on two active edges has no end bit; an end flagged
//   sharp has a sharp vertex and a sharp vertex has every end at it sharp.

#include <string>

#include "curves/curve.h"

namespace curvetest {

enum InvariantCheck : unsigned {
    CheckOrder = 1,
    CheckSharp = 2,
    CheckAll = 3,
};

std::string checkCurveInvariants(const qel::Curve& c, unsigned checks = CheckAll);

// checkCurveInvariants, then what a finished operation must not leave
// behind: a selected vertex or edge, a selection slot, a selection,
// influence or pending-change entry, a non-finite position, radius or angle.
std::string checkAfterOperation(const qel::Curve& c, unsigned checks = CheckAll);

// Counts of active records.
int activeVertexCount(const qel::Curve& c);
int activeEdgeCount(const qel::Curve& c);

}  // namespace curvetest
