#pragma once
// The symmetric copies of a picked point on a swept surface (qel::Tube,
// qel::Revoluton). A swept element is sculpted by editing one of its curves,
// so the copies are that curve's: the point is carried into the curve's own
// space, the curve makes its copies there and they are carried back onto
// the surface. On the way, while no stroke runs (no working curve), the
// element fixes the anchor: where on its surface the edited curve is laid,
// found as the nearest point of the picked surface cell. A stroke left
// unfinished keeps its working curve until clearStroke, which the view calls
// before it picks the first samples of a new stroke.
//
// The view's point and normal arrive in the element's normalised frame
// (localMatrix) and the copies go back in it.
//
// An item id whose carrier or cross-section index names no edge of the
// element's curves, a missing curve, a singular anchor frame or a profile
// anchor on the revolution axis fix nothing and give the base answer (the
// point and its plain copies); the tube's anchor copies are then emptied.

#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "scene/symmetry.h"

namespace qel {

class Element;
class Revoluton;
class Tube;

// The arguments of one symmetries call, held for the swept forms.
struct SymmetryRequest {
    std::vector<symmetry::TSymmetry>& list;
    vec3 point;
    vec3 axis;
    bool flags[6];  // mirror X, Y, Z, rotation about X, Y, Z
    int count;
    std::vector<vec3>& points;
    std::vector<mat3>& frames;
    std::vector<float>& scales;
    int itemId;
    bool section;

    // e's symmetries with the point, axis and output lists given, the
    // flags, count and item id of this request.
    void ask(Element& e, const vec3& p, const vec3& n, std::vector<vec3>& pts, std::vector<mat3>& frs,
             std::vector<float>& scs, bool onSection) const;
    // The base operation's answer for this request, unchanged.
    void answerPlain(Element& e) const;
};

// The tube: axis copies are the path's (the anchor's copies refilled on
// every axis call); section copies are the profile's, carried through the
// anchor frame. The anchor is fixed while the tube has no working curve.
void tubeSymmetries(Tube& tube, const SymmetryRequest& r);

// The revoluton: axis copies are the profile's, unchanged; section copies
// are the section's, carried through the revolution map of the profile
// anchor, which is fixed while the revoluton has no working curve.
void revolutonSymmetries(Revoluton& rev, const SymmetryRequest& r);

}  // namespace qel
