#pragma once
// qel::Revoluton, the solid of revolution (element type 4): a profile curve
// turned about the local Y axis along the outline of a section curve. What
// it shares with the tube (the curves as shared sub-elements, buffers,
// drawing, the current record) is in qel::SweptElement. Its centre always
// lies on the axis: (0, profile centre y, 0); its size is the profile's.
//
// Record 0xE0000009: payload of 8 bytes, the element ids of the profile and
// of the section. Old record 0xE0000004 (read only): u32 n, the section
// being a closed circle of n vertices (n in 2 .. 65,536), then the profile
// as an embedded curve record.

#include <cstdint>
#include <vector>

#include "core/vec.h"
#include "elements/swept_element.h"

namespace qel {

class Revoluton : public SweptElement {
public:
    static constexpr std::uint32_t RecordTag = 0xE0000009u;
    static constexpr std::uint32_t OldRecordTag = 0xE0000004u;
    // Vertex counts of the circular section an old record may ask for.
    static constexpr std::uint32_t MinOldSection = 2;
    static constexpr std::uint32_t MaxOldSection = 65536;

    // Working state of sculpting and symmetries.
    vec3 sectionAnchor{0, 0, 0};
    vec3 profileAnchor{0, 0, 0};
    Curve*& profile = carrier_;       // the meridian, turned about the Y axis
    Curve*& section = crossSection_;  // the outline each profile point follows

    Revoluton();
    // Stores both curves (counts untouched), initializes them and applies
    // the centre and size rule.
    Revoluton(Curve* profile, Curve* section);
    // Reads a record payload; old for the tag 0xE0000004. A damaged payload
    // sets status 1 (or the buffer's failure flag) and leaves no curve.
    Revoluton(buffer& b, bool old);

    Revoluton* clone() override;
    // ---- Sculpting (elements/swept_symmetry.h, elements/swept_sculpt.h) ----
    // The copies of a picked point, made by the curve the Axis/Section
    // choice names; fixes the anchor while no stroke runs.
    void symmetries(std::vector<symmetry::TSymmetry>& list, const vec3& point, const vec3& axis, bool mirrorX,
                    bool mirrorY, bool mirrorZ, bool radialX, bool radialY, bool radialZ, int count,
                    std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>& scales, int itemId,
                    bool section) override;
    // One step of a stroke, handed to the sculpting of one of the curves.
    void sculpt(std::vector<Sculptor*>& gestures) override;
    void DataWrite(buffer& b) override;

    // Replace a curve under the sharing rule and touch the revoluton.
    void setProfile(Curve* c) { replaceCurve(carrier_, c); }
    void setSection(Curve* c) { replaceCurve(crossSection_, c); }

private:
    bool readOld(buffer& b);
};

}  // namespace qel
