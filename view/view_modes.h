#pragma once
// qel::ViewModes, the view's modes, actions, creation tools and frame kinds
// and the predicates over them: the enumerations of qel::GLView (which
// derives from it) shared with the steps of its input state machine
// (qel::GestureSteps).
//
// Enumerators carry a prefix per enumeration: the plain names would hide the
// element and tool classes (Tube, Array, Cable, ...) inside the classes and
// clash between enumerations (Object, Scale).

#include <cstdint>

namespace qel {

struct ViewModes {
    enum TActionMode : int {
        ModeIdle = 0,
        ModeView = 2,
        ModeAssembly = 3,
        ModeSculpt = 4,
        ModeDynamics = 5,
    };
    enum TViewType : int { ViewOrthogonal = 0, ViewPerspective = 1 };
    enum TFrameType : int { FrameScreen = 0, FrameWorld = 1, FrameObject = 2 };
    enum TTransformerType : int { TransformObjectPivot = 0, TransformObject = 1, TransformPivot = 2 };
    // Shapes of the axis and section curves of swept tools.
    enum TCurveCreation : int {
        CurveFree = 0,  // drawn by the user
        CurveSegment = 1,
        CurveTriangle = 2,
        CurveSquare = 3,
        CurvePentagon = 4,
        CurveHexagon = 5,
        CurveNGon = 6,
        CurveCircle = 7,
        CurveTrefoilKnot = 8,
        CurveKnot = 9,
        CurveChainlink = 10,
    };
    // What a creation command makes the tool under creation.
    enum TToolCreation : int {
        CreateUseTool = 0,  // the scene's current template
        CreateTetrahedron = 1,
        CreateCube = 2,
        CreateOctahedron = 3,
        CreateDodecahedron = 4,
        CreateIcosahedron = 5,
        CreateSphere = 6,
        CreateCylinder = 7,
        CreateCapsule = 8,
        CreateProfile = 9,
        CreateUniformProfile = 10,
        CreatePillowProfile = 11,
        CreateBlobProfile = 12,
        CreateChamferProfile = 13,
        CreateChiselProfile = 14,
        CreateConvexProfile = 15,
        CreateConvexSharpProfile = 16,
        CreateScoopProfile = 17,
        CreateRevoluton = 18,
        CreateTubeDrawnAxis = 19,  // Tube chosen with Control held
        CreateTube = 20,
        CreateArray = 21,
        CreateChain = 22,
        CreateGuide = 23,
        CreateHydraulics = 24,
        CreateMuscle = 25,
        CreateLightning = 26,
        CreateCable = 27,
    };
    // Assembly actions; 7, 22, 24-27, 33, 34, 45 and 48 have no name.
    enum TAssemblyAction : int {
        ActionInsert = 0,
        ActionMultiply = 1,
        ActionPlace = 2,
        ActionPaint = 3,
        ActionPick = 4,
        ActionPickComponent = 5,
        ActionDetachComponent = 6,
        ActionRemove = 8,
        ActionDraw = 9,
        ActionArrayPick = 10,
        ActionArrayPickItem = 11,
        ActionArrayClearItems = 12,
        ActionDrawPickAxis = 13,
        ActionDrawPickSection = 14,
        ActionMakeUniform = 15,
        ActionIK = 16,
        ActionMove = 17,
        ActionRotate = 18,
        ActionScale = 19,
        ActionMirror = 20,
        ActionRotateScale = 21,
        ActionRotateMultiplicity = 23,
        ActionMaterial = 28,
        ActionColorIsLight = 29,
        ActionMakeSprite = 30,
        ActionMatchMaterial = 31,
        ActionPickMaterial = 32,
        ActionLink = 35,
        ActionUnlink = 36,
        ActionConstrainRotation = 37,
        ActionCounterConstrainRotation = 38,
        ActionConstrainTranslation = 39,
        ActionCounterConstrainTranslation = 40,
        ActionRemoveRotationConstraint = 41,
        ActionRemoveTranslationConstraint = 42,
        ActionAlign = 43,
        ActionCounterAlign = 44,
        ActionMatchPivot = 46,
        ActionMatchObjectPivot = 47,
        ActionReplaceTool = 49,
        ActionOrientation = 50,
        ActionQuickSave = 51,
        ActionSpeed = 52,
        ActionDelay = 53,
    };

    // Bit masks over the assembly actions 0..9.
    static constexpr int CreatingActions = 527;    // Insert, Multiply, Place, Paint, Draw
    static constexpr int LastCreateActions = 525;  // Insert, Place, Paint, Draw
    static constexpr int LastInsertActions = 13;   // Insert, Place, Paint
    static constexpr int SwitchedActions = 517;    // Insert, Place, Draw

    static bool isProfile(TToolCreation v) { return v >= CreateProfile && v <= CreateScoopProfile; }
    static bool hasAxis(TToolCreation v) { return v == CreateRevoluton || v == CreateTubeDrawnAxis; }
    // The profile kind 0..8 of a profile value, else 0.
    static std::uint8_t typeProfile(TToolCreation v) {
        return isProfile(v) ? std::uint8_t(v - CreateProfile) : std::uint8_t(0);
    }
    static bool isBiTool(TToolCreation v) { return v >= CreateGuide && v <= CreateCable; }
    static bool isArray(TToolCreation v) { return v == CreateArray || v == CreateChain; }
    static bool isCreateAction(TAssemblyAction a) { return inMask(a, CreatingActions); }
    // Whether the action a (0..9) is in the bit mask.
    static bool inMask(int a, int mask) { return a >= 0 && a <= 9 && ((mask >> a) & 1); }
};

}  // namespace qel
