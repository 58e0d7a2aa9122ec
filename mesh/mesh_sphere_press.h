#pragma once
// qel::SpherePress: the second stage of the sphere subtract and add. Every
// vertex the sphere cut left inside the sphere is pressed onto it along the
// ray from the centre, the faces round it are painted and its sharp edges
// smoothed; then a vertex the press moved by no more than rounding, a
// corner of a face turned over, is put back where the cut left it.

#include <vector>

#include "core/vec.h"
#include "gl/pbr.h"
#include "mesh/plane_view.h"

namespace qel {

class Mesh;

class SpherePress {
public:
    // How many float steps of its place a position may be off and still be
    // rounding: a sphere no larger than one step moves a vertex by about
    // three.
    static constexpr float kRoundingSteps = 4;
    // How far apart floats lie at a: the step from its size to the next
    // float; at p, from its largest coordinate (in size).
    static float spacing(float a);
    static float spacing(const vec3& p);

    // The sphere centred at `centre` with the float radius `radius`; add: a
    // bump, else a dent; views: the views the cut kept of the faces it
    // changed and made.
    SpherePress(Mesh& m, const vec3& centre, float radius, bool add, const FaceViews& views);
    // Presses every vertex of the selected-vertex list, in list order,
    // painting the faces round it with `material`, appends it to `touched`,
    // and puts back what rounding turned over. The selection is left as it was.
    void run(const pbr& material, std::vector<int>& touched);

private:
    dvec3 position(int v) const;
    // Where vertex v lay before the press.
    dvec3 before(int v) const;
    // The press moved v; and by no more than rounding.
    bool pressed(int v) const;
    bool rounded(int v) const;
    void pressVertex(int v, const pbr& material);
    // The press turned face f over (its corners before it at `was`): as the
    // centre sees it (a face edge-on to it, as a face of no area is, turned
    // over when the press opens it away from the side a face of a bump, or
    // of a dent, turns to), or its normal against that of the face it lies
    // in.
    bool turnsOver(int f, const dvec3* was) const;
    void unfold();

    Mesh& m_;
    const vec3 centref_;
    const dvec3 centre_;
    const float radius_;
    const bool add_;
    const FaceViews& views_;
    std::vector<vec3> from_;       // by selection index, where each vertex lay
    std::vector<int> ring_, fan_;  // scratch
};

}  // namespace qel
