#pragma once
// qel::SpherePress: the second stage of the sphere subtract and add. Every
// vertex the sphere cut left inside the sphere is pressed onto it along the
// ray from the centre, the faces round it are painted and its sharp edges
// smoothed; then what rounding alone turned over is mended:
// - a vertex the press moved by no more than rounding, a corner of a face
//   turned over, is put back where the cut left it;
// - a vertex pressed within rounding of a neighbour on the sphere (along an
//   edge the cut split where it meets the sphere) lands on that neighbour;
// - where the centre lies in the plane of a face, its pressed corners move
//   within that plane onto the circle the cut runs along, and a deep
//   corner can land on the arc between two of the cut's points: the face
//   between it and them is folded within the plane. Edges of the plane are
//   flipped one after another, each across from the corner, until both
//   faces of a flip turn the plane's way; the cut edge between those points
//   so takes the corner onto the cut line. Where no such walk does, the
//   corner lands on a neighbour on the sphere where no face round it is
//   then turned over or folded.

#include <utility>
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
    // p lies on the sphere of radius r about `centre` up to rounding: its
    // distance from the centre is r within a few float steps of p's place or
    // `sphereSpacing` (the steps at the sphere's own place).
    static bool onSphere(const vec3& p, const vec3& centre, double r, float sphereSpacing);

    // The sphere centred at `centre` with the float radius `radius`; add: a
    // bump, else a dent; views: the views the cut kept of the faces it
    // changed and made.
    SpherePress(Mesh& m, const vec3& centre, float radius, bool add, const FaceViews& views);
    // Presses every vertex of the selected-vertex list, in list order,
    // painting the faces round it with `material`, appends it to `touched`,
    // and mends what rounding turned over. The selection is left as it was.
    void run(const pbr& material, std::vector<int>& touched);

private:
    dvec3 position(int v) const;
    // Where vertex v lay before the press.
    dvec3 before(int v) const;
    // The press moved v; and by no more than rounding.
    bool pressed(int v) const;
    bool rounded(int v) const;
    void pressVertex(int v, const pbr& material);
    // The press turned face f over (its corners before it at `was`): a
    // dent's face the centre saw from the front before and sees from behind
    // after, or its normal turned against that of the face it lies in.
    bool turnsOver(int f, const dvec3* was) const;
    void unfold();
    // q lies in the plane of the points p up to what rounding them and q by
    // a few float steps could move that plane by at q.
    bool inPlane(const dvec3* p, const dvec3& q) const;
    // Face f was edge-on to the centre or had no area, and the press folded
    // it within a plane through the centre: it now turns against the face
    // it lies in (seen as `view`; the cut leaves every face turned as that
    // face). `plane` takes three points of that plane (its corners before
    // the press, or for a face that had no area those of a face round a
    // pressed corner of it that lies in that plane).
    bool foldedInPlane(int f, dvec3* plane, PlaneView& view);
    // Flips edges so that the folded face f turns as its plane, each walk
    // from one of its corners in turn; false when none ends so.
    bool flipUnfolds(int f, const dvec3* was, const PlaneView& view);
    // Lays out in walk_ the flips that carry corner k of the folded face f
    // across the faces of its plane to where it lies: the edge across from
    // it is flipped, and where one of the two faces then turns against the
    // plane, the edge across from it in that face, until a flip leaves both
    // turning as the plane (seen as `view`). False when the walk leaves the
    // plane, comes to a sharp edge other than a cut edge it takes a pressed
    // corner across, or to a face it crossed.
    bool walkFrom(int f, int k, const dvec3* was, const PlaneView& view);
    // Makes the flips walkFrom laid out from corner k of face f.
    bool flipWalk(int f, int k);
    // A face round v turned over or folded within a plane.
    bool foldsRound(int v);
    // Moves a pressed corner of the folded face f onto a neighbour on the
    // sphere, where no face round the corner is then turned over or folded;
    // false when none does.
    bool landOnNeighbour(int f);
    void unfoldInPlane();

    Mesh& m_;
    const vec3 centref_;
    const dvec3 centre_;
    const float radius_;
    const bool add_;
    const FaceViews& views_;
    std::vector<vec3> from_;              // by selection index, where each vertex lay
    std::vector<int> ring_, fan_, near_;  // scratch
    // The faces a walk crosses, each with whether the corner goes on in the
    // second face of that flip (the first turning as the plane).
    std::vector<std::pair<int, bool>> walk_;
    std::vector<int> rimFaces_;  // faces with corners pressed and not
};

}  // namespace qel
