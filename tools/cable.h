#pragma once
// qel::Cable, the two-ended tool (type 1, uniform stretch) that bends a tube
// between its two ends. Its element is a qel::Tube whose path is a
// qel::BezierCurve of 50 edges and whose profile is the section curve. At
// every drawing the path is reshaped to leave this end along its z axis and
// arrive at the partner along the partner's z axis, and the section is drawn
// at L x 50 / L0 times the profile's size, so that it keeps the size it has
// at rest (the whole cable is scaled by L). That scale is carried by the
// radii of the path, which is the cable's own, never by the profile, which
// clones and other tubes share.
//
// Safety rules kept by transformRender:
//   - Only a tube whose path is a Bezier curve (checked by dynamic type) is
//     reshaped; any other element (a file or a conversion can give one) is
//     drawn as a plain type-1 end would draw it.
//   - Nothing is reshaped or resized without a partner, while L or L0 is at
//     or below BiTool::MinLength or not finite, or when the drawing matrix
//     has no finite inverse: the size and the Bezier's arms divide by them.
//   - A tube or path that has other holders (two cables naming one tube in
//     a file, two tubes on one path) is not reshaped in place: the cable
//     first takes a fresh tube of its own with a new path and the same
//     profile, so that no cable reshapes another's.
//   - The profile is never changed, and the path's radii are stamped only
//     when they change, so that a cable at rest rebuilds nothing whatever
//     the cables sharing its section do.

#include <cstdint>

#include "tools/bi_tool.h"

namespace qel {

class BezierCurve;
class Curve;
class Tube;

class Cable : public BiTool {
public:
    static constexpr std::uint32_t RecordTag = 0xABCDEF06u;
    // The profile's size at rest; also the path's edge count.
    static constexpr float SectionScale = 50.0f;

    // A new tube on a new 50-edge Bezier path and the given profile (shared,
    // not copied; null leaves the tube without profile), held by a
    // two-ended end of type 1.
    Cable(Curve* profile, const mat4& m, const pbr& p, bool transparent);
    // The two-ended tool's reading (either layout, by FILE_VERSION); the
    // tube is attached by identify.
    explicit Cable(buffer& b);
    ~Cable() override = default;

    // Ramifications: every child without a clone link is cloned with its
    // CloneObject(identity, true, 0), its own children only when marked.
    Tool* CloneObjectRamifications(const mat4& m, bool join, unsigned char mark) override;
    // The two-ended tool's matrix; the cable's tube reshaped to it first.
    mat4 transformRender(const mat4& m) override;
    // The two-ended record under the tag 0xABCDEF06.
    std::uint32_t recordTag() const override { return RecordTag; }

    // The element as a cable tube (a tube whose path is a Bezier curve), or
    // null.
    Tube* cableTube() const;

protected:
    // The clones' new end: a cable with a fresh tube and path sharing this
    // cable's profile; one whose element is not a cable tube shares the
    // element, as a two-ended end does.
    BiTool* newEnd() override;

private:
    // A cable showing e as it stands, with type t.
    Cable(TBiType t, Element* e, const mat4& m, const pbr& p, bool transparent);
    // Steps 2 to 6 of the drawing: the path and the profile's size for the
    // drawing matrix T.
    void reshape(const mat4& T);
    // Replaces a tube or path that others hold by a fresh tube of this
    // cable's own; returns the tube to reshape.
    Tube* ownTube(Tube* tube);
    // Gives every vertex of the path the radius; the path is stamped only
    // when a radius changed.
    static void setRadius(BezierCurve& path, float radius);
};

}  // namespace qel
