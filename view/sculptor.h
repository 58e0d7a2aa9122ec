#pragma once
// The least of the interaction subsystem's sculptor that the engine needs now
//: the selection scope of a sculpt stroke. The full qel::Sculptor
// arrives with its own subsystem.
//
// The enumerators carry a "Select" prefix: a plain `Element` inside the class
// scope would hide qel::Element there.

namespace qel {

class Sculptor {
public:
    // Selection scope of a sculpt stroke: 0 Element, 1 Patch, 2 All Patches,
    // 3 Component.
    enum TSelect : int { SelectElement = 0, SelectPatch = 1, SelectAllPatches = 2, SelectComponent = 3 };
};

}  // namespace qel
