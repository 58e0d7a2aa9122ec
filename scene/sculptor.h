#pragma once
// qel::Sculptor, one sculpting stroke on one element: the sculpt action, its
// scope and property, and the samples of the stroke. The view makes one per
// stamp (one per symmetric copy) at the press, adds a sample on every drag
// step and at the release, and hands the list to the picked element's
// sculpt, which applies the step between the last two samples. The
// enumerations are also the view's sculpt settings.
//
// The selection enumerators carry a "Select" prefix: a plain `Element` inside
// the class scope would hide qel::Element there.

#include <cstdint>
#include <vector>

#include "core/vec.h"
#include "scene/gesture.h"

namespace qel {

class Sculptor : public Gesture {
public:
    // Sculpt actions. The values are fixed: the menus and the elements'
    // sculpt dispatchers use them. The missing values have no name.
    enum TAction : int {
        Move = 1,
        CopyMove = 2,
        Rotate = 3,
        CopyRotate = 4,
        Scale = 5,
        CopyScale = 6,
        Mirror = 7,
        CopyMirror = 8,
        ScaleDirection = 9,
        Deform = 12,
        DeformVolume = 13,
        Relax = 14,
        Smooth = 15,
        Inflate = 20,
        Deflate = 21,
        Grow = 22,
        Pinch = 23,
        Twist = 24,
        Flatten = 25,
        Scrape = 26,
        Subdivide = 27,
        PaintMaterial = 29,
        FillMaterial = 30,
        PickMaterial = 31,
        EraseComponent = 32,
        EraseRegion = 33,
        ErasePatch = 34,
        EraseFeature = 35,
        Extrude = 36,
        ExtrudeScale = 37,
        ExtrudeDeform = 38,
        ExtrudeInflate = 39,
        Bevel = 40,
        TearNormal = 41,
        TearScale = 42,
        TearInflate = 43,
        TearDeform = 44,
        FreeCut = 45,
        CutPlane = 47,
        ClipPlane = 48,
        SubPlane = 49,
        InsertPoint = 50,
        PlacePoint = 51,
        CutSphere = 52,
        ClipSphere = 53,
        AddSphere = 54,
        SubSphere = 55,
        CutSphereReverse = 56,
        ClipSphereReverse = 57,
        AddSphereReverse = 58,
        SubSphereReverse = 59,
        Pattern0 = 67,
        Pattern1 = 68,
        Pattern2 = 69,
        Pattern3 = 70,
        Pattern4 = 71,
    };

    // Selection scope of a sculpt stroke: 0 Element, 1 Patch, 2 All Patches,
    // 3 Component.
    enum TSelect : int { SelectElement = 0, SelectPatch = 1, SelectAllPatches = 2, SelectComponent = 3 };

    // Sculpt property handed to every sculptor. No operation reads it; the
    // view keeps the one value it starts with.
    enum TProperty : int { PropertyDefault = 2 };

    // Whether the stroke moves, turns or scales the patch or component of
    // its first sample's face or edge: a Move and the copy forms, whatever
    // the scope, and the turns and scalings of a Patch or a Component.
    bool movesPart() const {
        switch (action) {
            case Move:
            case CopyMove:
            case CopyRotate:
            case CopyScale:
                return true;
            case Rotate:
            case Scale:
            case ScaleDirection:
                return select == SelectPatch || select == SelectComponent;
            default:
                return false;
        }
    }

    // Back to idle with no samples.
    void reset() override {
        state = Idle;
        samples.clear();
        patch.clear();
    }

    // ---- Fields after the gesture state ----
    TAction action = Deform;  // the view's effective sculpt action at the press
    TSelect select = SelectElement;
    TProperty property = PropertyDefault;
    std::vector<SBrush> samples;  // oldest first
    // The stamp's viewing axis in the element's coordinates: the axis of a
    // twist and the second direction of a cut plane.
    vec3 viewDirection{0, 0, 0};
    std::uint8_t onSection = 0;   // swept elements: 0 sculpt the axis curve, 1 the section curve
    std::int8_t handedness = 1;   // -1 for a mirrored symmetric copy
    std::uint8_t paintMask = 13;  // material channels painted (a pbr::Mask set)
    // Faces the stroke keeps between its steps: the patch an inflating
    // extrusion selects again before each step, since the other copies'
    // steps clear the mesh's selection in between.
    std::vector<std::int32_t> patch;
};

}  // namespace qel
