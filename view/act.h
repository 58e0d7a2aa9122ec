#pragma once
// qel::Act, an undoable change of the scene. A record makes its change when
// it is built; after that apply() exchanges the recorded state with the
// scene's, so the same call undoes and redoes. The view's history owns its
// records and deletes them through the virtual destructor, which releases
// whatever a record holds.
//
// A record names scene objects by their scene id (Scene::findID) and looks
// them up again at every application; the only tools it keeps by pointer
// are its own templates and held copies.
//
// The records:
//   view/act_property.h   one property of an object and its instances
//   view/act_structure.h  adding, copying and multiplying objects, and
//                         adding the two ends of a two-ended tool
//   view/act_link.h       joining and splitting instance rings
//   view/act_remove.h     removing an object with its dependants

#include <cstdint>

namespace qel {

class Act {
public:
    // Record kind, fixed by the class; kinds 1, 2 and 10 are unused.
    enum TKind : std::int32_t {
        KindOther = -1,  // a record outside the list below
        KindMaterial = 0,
        KindRotationAxis = 3,
        KindTranslationAxis = 4,
        KindTransform = 5,
        KindCopyTransform = 6,
        KindAdd = 7,
        KindAddBiTool = 8,
        KindRemove = 9,
        KindMultiply = 11,
        KindLink = 12,
        KindUnlink = 13,
    };

    const TKind kind;

    Act(const Act&) = delete;
    Act& operator=(const Act&) = delete;
    virtual ~Act() = default;

    // Swaps the recorded and the live state (undo and redo alike).
    virtual void apply() = 0;
    // Whether the record makes a difference to the scene.
    virtual bool changed() { return true; }

protected:
    Act() : kind(KindOther) {}
    explicit Act(TKind k) : kind(k) {}
};

}  // namespace qel
