#pragma once
// The conversion of a swept surface (qel::Tube, qel::Revoluton) into an
// independent triangle mesh with the shape, corner materials and sharp
// edges of the drawn surface (elements/swept_fill.h for the terms and the
// grid). No caps are added: the borders of an open carrier or cross-section
// stay borders of the mesh, marked sharp.
//
// Mesh vertex j x V + i is grid point (j, i): sharp when carrier vertex j
// or cross-section vertex i is sharp, a corner when both are. Carrier edge
// e and cross-section edge f (array order) make quad q = e x E + f with the
// corners a = (e.v0, f.v0), b = (e.v0, f.v1), c = (e.v1, f.v0),
// d = (e.v1, f.v1), split along b-c into face 2q = (b, c, a) and face
// 2q + 1 = (c, b, d), wound so that their normals agree with the normal
// the surface is drawn with. The corner materials are the products carrier
// material x cross-section material of the ends meeting there. Edge 1 of
// each face (b-a on face 2q, d-c on face 2q + 1) is sharp where the carrier
// edge is sharp at that end or the chain ends there; edge 0 (a-c, b-d)
// likewise for the cross-section edge. The diagonal, edge 2, is smooth.
//
// A closed surface is seen from outside only and drawn lit from there
// whichever way its curves run: each closed component of the mesh (a
// closed part of the carrier swept along a closed part of the
// cross-section) that would enclose a negative volume, summed over its
// quads in the grid, is written turned round, so that its faces point
// outwards. An open surface keeps the drawn orientation. Where the surface
// folds over so far that a smooth corner normal would point away from its
// face, the corner's sector is cut along sharp edges: every corner normal
// lies on its face's side.
//
// A revoluton welds the rings of profile vertices on the Y axis (|x| and
// |z| below 0.0001): such a ring keeps only its first vertex, every corner
// of the ring goes to it, the faces that would collapse are dropped and the
// remaining face of a quad takes the profile's sharp mark on its diagonal,
// which then runs along the profile. A tube never welds: a ring of radius 0
// keeps its coincident vertices.

#include "elements/swept_fill.h"

namespace qel {

class Curve;
class Element;
class Mesh;

// The mesh of the swept element `owner` whose carrier and cross-section
// curves are given. Both curves drop their pending removals first and the
// owner is touched (its drawing is rebuilt from the compacted curves). The
// mesh is connected and oriented by Mesh::initialize, holds no inactive
// record and takes the owner's centre and size; the caller owns it. Null
// for a missing curve, a curve without an edge to sweep, a surface whose
// vertex or face count does not fit the mesh's 32-bit indices, or one
// whose faces the mesh cannot link (more than two faces on an edge, as a
// two-vertex closed cross-section makes).
Mesh* sweptToMesh(Element& owner, SweptKind kind, Curve* carrier, Curve* section);

}  // namespace qel
