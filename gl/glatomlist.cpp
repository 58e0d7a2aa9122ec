#include "gl/glatomlist.h"

namespace qel {

GLAtomList::GLAtomList(std::initializer_list<GLAtom*> atoms) {
    for (GLAtom* atom : atoms) add(atom);
}

void GLAtomList::add(GLAtom* atom) {
    if (atom) atoms_.push_back(atom);
}

bool GLAtomList::enable() {
    if (enabled_) return true;
    enabled_ = true;
    for (GLAtom* atom : atoms_) {
        if (atom->enable()) continue;
        enabled_ = false;
        for (auto it = atoms_.rbegin(); it != atoms_.rend(); ++it) (*it)->disable();
        atoms_.clear();
        return false;
    }
    return true;
}

void GLAtomList::disable() {
    for (auto it = atoms_.rbegin(); it != atoms_.rend(); ++it) (*it)->disable();
    enabled_ = false;
}

}  // namespace qel
