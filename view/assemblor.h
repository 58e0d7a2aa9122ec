#pragma once
// The drawing gestures of the view. qel::AStroke is one drawn stroke: the
// stamps collected while the button was down. qel::Assemblor is the view's
// one drawing gesture: the single stamps collected while Space is held and
// the drawn strokes, later turned into a curve.

#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "scene/abrush.h"
#include "scene/gesture.h"

namespace qel {

class AStroke : public Gesture {
public:
    // Back to idle with no stamps.
    void reset() override {
        state = Idle;
        stamps.clear();
    }

    std::vector<ABrush> stamps;  // in the order they were collected
};

class Assemblor : public Gesture {
public:
    // Idle, with no stamp and no stroke.
    Assemblor() = default;
    // Idle with the stamp as its one single stamp when single is set; else
    // started, with one stroke holding the stamp.
    Assemblor(const ABrush& stamp, bool single);
    Assemblor(const Assemblor&) = default;
    Assemblor(Assemblor&&) = default;
    Assemblor& operator=(const Assemblor&) = default;
    Assemblor& operator=(Assemblor&&) = default;
    // Destroys the strokes from the last to the first.
    ~Assemblor() override;

    // Back to idle; the stamps and strokes stay (the view empties them).
    void reset() override { state = Idle; }
    // Appends a started stroke holding a copy of the stamp.
    void addStroke(const ABrush& stamp);
    // The number of stamps over all strokes.
    std::size_t strokeStamps() const;

    // Appends one sample per stroke stamp (the single stamps give none), in
    // the order of the strokes and their stamps, taken from world space
    // into the drawing space of M: point and normal through M's inverse,
    // radius times that inverse's uniform scale. Returns the identity, the
    // matrix that places the samples' space. When M has no inverse nothing
    // is appended.
    mat4 ToBrushes(std::vector<SBrush>& samples, const mat4& M) const;
    // Appends the drawn curve of the strokes to the four lists: its points,
    // the normals (only the closed two-point shapes give them), the radii
    // and the sharp flags. closed runs the curve back to its first point.
    // Returns what ToBrushes returns.
    mat4 ToCurve(std::vector<vec3>& points, std::vector<vec3>& normals, std::vector<float>& radii,
                 std::vector<bool>& sharp, bool closed, const mat4& M) const;

    std::vector<ABrush> stamps;
    std::vector<AStroke> strokes;
};

}  // namespace qel
