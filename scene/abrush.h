#pragma once
// qel::ABrush, the stamp: one placement of the brush or of a picked point in
// the 3D view. A pick fills it (where the cursor hit, on which object and
// item, with which normal, radius, material and frames); the press, drag and
// release handling turn stamps into sculpt samples, placements of new
// objects and points of drawn strokes.
//
// A plain value: copied by value wherever it is kept. The two tool
// references are not owned; a stamp never frees a tool.

#include <cstdint>

#include "core/mat.h"
#include "core/vec.h"
#include "gl/pbr.h"

namespace qel {

class Tool;

struct ABrush {
    // How the stamp was placed.
    enum TSelection : std::int32_t {
        Screen = 0,        // nothing hit, no previous stamp: the screen plane at the focus depth
        OnObject = 1,      // the point under the cursor, read from the ID buffer
        SameDepth = 2,     // the cursor pixel at the screen depth of the previous stamp
        OnNormal = 3,      // the previous point moved along its normal line
        NormalPlane = 4,   // the cursor ray cut with the plane of the previous normal and the stroke
        TangentPlane = 5,  // the cursor ray cut with the previous point's tangent plane
        NoStamp = 6,       // the reset value
    };

    // ---- Fields, in this order, at their reset values ----
    TSelection selection = NoStamp;
    std::int32_t kind = 0;    // segment kind of a drawn point: 0 free, 1 Shift, 2 Alt, 3 Control
    std::uint8_t layers = 0;  // stencil byte at the picked pixel; 0: nothing was hit
    std::int32_t x = 0;       // cursor pixel, origin bottom left
    std::int32_t y = 0;
    std::int32_t objectId = 0;  // 1-based index in the scene's object list; 0 none
    std::int32_t itemId = 0;    // face of a mesh, vertex or edge of a curve
    float depth = 0.0f;         // window depth 0..1 of the pixel
    vec3 normal{0, 0, 0};       // world surface normal
    vec3 point{0, 0, 0};        // world stamp point
    vec3 pixelVector{0, 0, 0};  // world vector of one screen pixel at the focus depth
    vec3 viewDirection{0, 0, 0};
    pbr material;                // the brush material
    float radius = 0.0f;         // brush radius in pixels (world: radius x |pixelVector|)
    float strength = 1.0f;       // sample strength
    std::int8_t handedness = 1;  // -1 for a copy mirrored an odd number of times
    pbr pickedMaterial;          // what the PickMaterial actions copy
    vec3 delta{0, 0, 0};         // point minus the previous stamp's point
    mat4 objectFrame;            // world into the frame of the receiving object
    mat4 elementFrame;           // that frame into the coordinates the stamp is used in
    mat4 topWorld;               // world matrix of the picked object's top-level ancestor
    mat4 pickedWorld;            // world matrix of the picked object
    Tool* topTool = nullptr;     // the picked object's top-level ancestor
    Tool* pickedTool = nullptr;  // the picked object

    // Something was hit at the picked pixel.
    bool hit() const { return layers != 0; }
    // The record holds a stamp.
    bool placed() const { return selection != NoStamp; }
};

}  // namespace qel
