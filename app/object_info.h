#pragma once
// The texts of the object menus' information boxes: what the picked object
// is made of, for every kind of object and element type. Numbers are in
// decimal, and two counts stand apart as in "12 Vertices ,  20 Faces" (one
// space before the name, then space, comma, two spaces).

#include <QString>

namespace qel {
class Curve;
class Element;
class Tool;
class ToolList;
}  // namespace qel

// A box's title and text.
struct ObjectInfo {
    QString title;
    QString text;
};

// "V Vertices ,  N name".
QString countsText(long long vertices, long long second, const char* secondName);

// The axis and section curves of a tube (path, profile) or a revoluton
// (profile, section); false for any other element. A curve may be missing.
bool sweptCurves(qel::Element* e, qel::Curve*& axis, qel::Curve*& section);

// A tube's or revoluton's box: "V Vertices ,  F Faces" with V and F the
// products of the two curves' vertex and edge list sizes.
QString surfaceText(const qel::Curve* axis, const qel::Curve* section);

// A curve's box: "Uniform ,  " for a uniform curve, then its vertex and
// edge counts; a missing curve counts as empty.
QString curveText(const qel::Curve* c);

// The title entry's box for the object: an array (or chain) gives the
// copies it lays in `objects` (the scene's list) and its items; a two-ended
// tool its element's box (the partner's when the end has none); any other
// object its element's box by type: a mesh or clay its vertices and faces,
// a tube or revoluton its surface, axis and section, a curve its counts, a
// sprite its image. Never an empty title.
ObjectInfo objectInfo(const qel::ToolList& objects, qel::Tool* t);

// The element's box by its type (see objectInfo).
ObjectInfo elementInfo(qel::Element* e);
