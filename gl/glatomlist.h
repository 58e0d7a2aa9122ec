#pragma once
// A transient group of GPU objects enabled together: a pass's program first,
// then its textures in sampler order. Enabling stops at the first failure and
// rolls back what was enabled.

#include "gl/glatom.h"

#include <initializer_list>
#include <vector>

namespace qel {

class GLAtomList {
public:
    GLAtomList() = default;
    // Null entries are left out.
    GLAtomList(std::initializer_list<GLAtom*> atoms);

    void add(GLAtom* atom);
    // Enables every member in order. On the first failure the members are
    // disabled from the last to the first, the list is emptied and false is
    // returned.
    bool enable();
    // Disables the members from the last to the first.
    void disable();

    const std::vector<GLAtom*>& atoms() const { return atoms_; }
    bool enabled() const { return enabled_; }

private:
    std::vector<GLAtom*> atoms_;
    bool enabled_ = false;
};

}  // namespace qel
