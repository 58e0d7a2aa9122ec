#pragma once
// qel::ElementFactory builds the element of one element record of a scene
// or object file, chosen by the record's tag.
//
// Tags read today:
//   0xE0000001  qel::Mesh (the mesh record body)
//   0xE000000A  qel::Clay (a mesh record body, wrapped in a clay)
//   0xE0000003  qel::Sprite, 0xE0000006 qel::AnimatedSprite (a texture
//               record of the path; a sprite whose image cannot be read is
//               kept without image, a damaged texture record is refused)
//   0xE1000002  qel::Curve, and 0xE0000002 its older record
//   0xE1000005  qel::Tube (ids of its curves), 0xE0000005 with embedded curves
//   0xE0000009  qel::Revoluton (ids of its curves), 0xE0000004 with a circle
//               section and an embedded profile
//   0xE1000007  qel::UCurve (the id of its base curve), 0xE0000007 with an
//               embedded base, 0xE0000008 the same after a nested element
//               record (read in its own window and thrown away; an unknown
//               one builds nothing, a nested 0xE0000008 refuses the record)
//   0xE1100002  qel::BezierCurve (no payload; 50 edges at the origin, shaped
//               by its cable at the first drawing)
//   0xE1100005  qel::Lightning (amplitude, scale, octaves; a payload under
//               20 bytes is refused)
//   any other   the body is skipped and a placeholder sphere takes the
//               record's place, so that the positions of the following
//               records (the element ids) stay right. One factory hands out
//               one placeholder for all such records (shared like any
//               element), so that a file of many unknown records cannot make
//               many spheres.
// The curve, tube, revoluton, lightning and sprite records are read
// here once their element types exist; until then their tags count as
// unknown. Each is added as one case of ElementFactory::build.

#include <cstdint>

namespace qel {

class buffer;
class Element;
class Mesh;

class ElementFactory {
public:
    // Outcome of one record.
    enum TResult {
        Built,    // an element was made
        Absent,   // the record is sound but yields no element (its position stays)
        Refused,  // the body is damaged: nothing was made
    };

    ElementFactory() = default;
    ElementFactory(const ElementFactory&) = delete;
    ElementFactory& operator=(const ElementFactory&) = delete;

    // Builds the element of a record with the given tag from `body`, whose
    // cursor stands on the record's body and whose bytes end where the record
    // ends. The new element (reference count 0) goes to `element`, null
    // unless the result is Built; the caller owns it (the placeholder once,
    // however often it is returned).
    TResult read(std::uint32_t tag, buffer& body, Element*& element);
    // Forgets the placeholder once its owner has taken it or freed it: the
    // next unknown record gets a new one.
    void reset() { placeholder_ = nullptr; }

private:
    // The placeholder, built on first use.
    Element* placeholder();
    // read for the known tags, without the placeholder: false for an unknown
    // tag (element null, result not set).
    bool build(std::uint32_t tag, buffer& body, Element*& element, TResult& result);
    // The body of 0xE0000008.
    TResult readOldNestedUCurve(buffer& body, Element*& element);

    Mesh* placeholder_ = nullptr;
};

}  // namespace qel
