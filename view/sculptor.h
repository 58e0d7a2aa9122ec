#pragma once
// The selection scope of a sculpt stroke, which every element's sculpting
// reads. The sculpt gesture itself will live in this class too.
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
