#pragma once
// qel::Tube, the swept solid (element type 5): a profile curve laid at every
// vertex of a path curve. What it shares with the revoluton (the curves as
// shared sub-elements, buffers, drawing, the current record) is in
// qel::SweptElement; its centre and size are the path's.
//
// Record 0xE1000005: payload of 8 bytes, the element ids of the path and of
// the profile. Old record 0xE0000005 (read only): the two curves as
// embedded curve records, path first.

#include <cstdint>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "elements/swept_element.h"

namespace qel {

class Tube : public SweptElement {
public:
    static constexpr std::uint32_t RecordTag = 0xE1000005u;
    static constexpr std::uint32_t OldRecordTag = 0xE0000005u;

    // Working state of sculpting and symmetries.
    vec3 anchor{0, 0, 0};
    std::vector<vec3> anchors;
    mat3 anchorFrame = mat3::Identity();
    mat3 anchorFrameInverse = mat3::Identity();
    Curve*& path = carrier_;          // the curve the profile is swept along
    Curve*& profile = crossSection_;  // the cross-section laid at each path vertex

    // An empty tube.
    Tube();
    // Stores both curves (their counts are not touched: the first copy or
    // resolve raises them), initializes them and takes the path's centre
    // and size.
    Tube(Curve* path, Curve* profile);
    // Reads a record payload; old for the tag 0xE0000005. A damaged payload
    // sets the buffer's failure flag and status 1 and leaves no curve.
    Tube(buffer& b, bool old);

    // Deep copies of both curves; the copy keeps this tube's centre and size.
    Tube* clone() override;
    // ---- Sculpting (elements/swept_symmetry.h, elements/swept_sculpt.h) ----
    // The copies of a picked point, made by the curve the Axis/Section
    // choice names; fixes the anchor while no stroke runs.
    void symmetries(std::vector<symmetry::TSymmetry>& list, const vec3& point, const vec3& axis, bool mirrorX,
                    bool mirrorY, bool mirrorZ, bool radialX, bool radialY, bool radialZ, int count,
                    std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>& scales, int itemId,
                    bool section) override;
    // One step of a stroke, handed to the sculpting of one of the curves.
    void sculpt(std::vector<Sculptor*>& gestures) override;
    // The current record; a missing curve is written as id -1.
    void DataWrite(buffer& b) override;

    // Put a curve in place of the path or the profile under the sharing
    // rule of replaceSharedCurve, and touch the tube.
    void setPath(Curve* c) { replaceCurve(carrier_, c); }
    void setProfile(Curve* c) { replaceCurve(crossSection_, c); }

private:
    bool readOld(buffer& b);
};

}  // namespace qel
