#pragma once
// The action, selection scope and property of a sculpt stroke, which every
// element's sculpting reads and the view keeps as its sculpt settings. The
// sculpt gesture itself will live in this class too.
//
// The selection enumerators carry a "Select" prefix: a plain `Element` inside
// the class scope would hide qel::Element there.

namespace qel {

class Sculptor {
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
};

}  // namespace qel
