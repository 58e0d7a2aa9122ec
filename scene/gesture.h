#pragma once
// qel::Gesture, one interaction stroke of the 3D view from the press of a
// button to its release, and qel::SBrush, one sample of a sculpt stroke in
// the coordinates of the element being sculpted.
//
// The gestures are qel::Sculptor (scene/sculptor.h), qel::AStroke and
// qel::Assemblor (view/assemblor.h). A gesture goes idle (0) -> begin ->
// started (1) -> move -> moving (2) -> end -> ended (3); reset returns it to
// idle and empties what the subclass says.

#include <cstdint>

#include "core/vec.h"
#include "gl/pbr.h"

namespace qel {

struct ABrush;

class Gesture {
public:
    enum TState : std::int32_t { Idle = 0, Started = 1, Moving = 2, Ended = 3 };

    Gesture() = default;
    Gesture(const Gesture&) = default;
    Gesture(Gesture&&) = default;
    Gesture& operator=(const Gesture&) = default;
    Gesture& operator=(Gesture&&) = default;
    virtual ~Gesture() = default;

    // Back to idle; what else it empties is the subclass's choice.
    virtual void reset() = 0;
    // reset, then started.
    virtual void begin() {
        reset();
        state = Started;
    }
    virtual void move() { state = Moving; }
    virtual void end() { state = Ended; }
    virtual bool isStarted() const { return state == Started; }
    virtual bool isMoving() const { return state == Moving; }
    virtual bool isEnded() const { return state == Ended; }

    std::int32_t state = Idle;
};

// One sample of a sculpt stroke, built from a stamp and expressed in the
// coordinates of the sculpted element. A plain value.
struct SBrush {
    std::uint32_t kind = 0;  // 0 free point, 1 sharp corner, 2 arc point, 3 curved-segment point
    vec3 screen{0, 0, 0};    // the stamp's cursor pixel, z = 0
    vec3 point{0, 0, 0};     // hit point
    vec3 normal{0, 0, 0};    // unit normal (zero stays zero)
    float radius = 0.0f;     // brush radius
    pbr material;            // brush material
    std::int32_t objectId = 0;
    std::int32_t itemId = -1;  // picked face of a mesh, edge or vertex of a curve; -1 none
    float strength = 1.0f;

    SBrush() = default;
    // The stamp in the element's coordinates: with C = elementFrame x
    // objectFrame (formed in double, rounded per element), the point is C
    // applied to the stamp's point with the division by w, the normal the
    // upper 3x3 of C applied to the stamp's normal and normalised, and the
    // radius the length of C's 3x3 applied to pixelVector times the stamp's
    // radius in pixels. The rest is copied.
    explicit SBrush(const ABrush& stamp);
};

}  // namespace qel
