#pragma once
// qel::Act, an undoable change of the scene. A record makes its change when
// it is built; after that apply() exchanges the recorded state with the
// scene's, so the same call undoes and redoes. The view's history owns its
// records and deletes them through the virtual destructor, which releases
// whatever a record holds.

namespace qel {

class Act {
public:
    Act() = default;
    Act(const Act&) = delete;
    Act& operator=(const Act&) = delete;
    virtual ~Act() = default;

    // Swaps the recorded and the live state (undo and redo alike).
    virtual void apply() = 0;
    // Whether the record makes a difference to the scene.
    virtual bool changed() { return true; }
};

}  // namespace qel
