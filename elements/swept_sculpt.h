#pragma once
// Sculpting of the swept elements (qel::Tube, qel::Revoluton). They have no
// surface of their own to edit: every step of a stroke is handed to the
// curve sculpting of one of their two curves, chosen by the first gesture's
// onSection (0 the carrier curve: the tube's path, the revoluton's profile;
// otherwise the cross-section curve: the tube's profile, the revoluton's
// section). The curve finally changed, the target, is the chosen curve or,
// for a resampled curve, its base.
//
// The gestures stay the caller's: the steps work on copies whose picked
// items name edges of the chosen curve (an item that names none becomes
// -1). Afterwards the edge the curve sculpting left picked is written back
// into the first sample of each gesture.
//
// During a stroke the edited geometry lives in the working curve, laid on
// the surface at the anchor the element's symmetries fixed: the tube's path
// itself for a carrier stroke on a tube, otherwise a curve the element
// owns. After every step it is copied back into the target and carried
// into the target's own space; the element's buffer flags follow the
// working curve's. The step whose first gesture has ended drops it.
//
// A working curve left by a stroke that never ended is dropped at the next
// stroke's first step. A step whose mapping back would divide by zero (a
// singular anchor frame, a section anchor on the Y axis, a profile anchor
// on the revolution axis) or give any non-finite position leaves the
// target's geometry unchanged.

#include <vector>

namespace qel {

class Curve;
class Revoluton;
class Sculptor;
class Tube;

// One step of a stroke on a tube or a revoluton; nothing for an empty list
// or a null first gesture.
void sculptTube(Tube& tube, std::vector<Sculptor*>& gestures);
void sculptRevoluton(Revoluton& rev, std::vector<Sculptor*>& gestures);

// Drops a working curve: deletes it unless it is `borrowed` (the tube's
// path, only forgotten); working becomes null.
void dropWorkingCurve(Curve*& working, const Curve* borrowed);

}  // namespace qel
