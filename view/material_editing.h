#pragma once
// qel::MaterialEditing: what the view asks of the shell's material dialog.
// The view owns this interface; the shell's dialogs object implements it
// (app/dialogs.h). While a dialog edits a material, every change is written
// straight into the target; the frame loop polls the fields below to apply
// the edit and, once the dialog has closed, to keep or revert its undo
// record.
//
// MATERIAL_EDITING starts as an object with no dialog (nothing opens, no
// editor is ever shown), so the view works on its own; the shell installs
// its dialogs when it makes them.

#include <QString>

#include <cstdint>

#include "gl/pbr.h"

namespace qel {

class MaterialEditing {
public:
    MaterialEditing() = default;
    MaterialEditing(const MaterialEditing&) = delete;
    MaterialEditing& operator=(const MaterialEditing&) = delete;
    virtual ~MaterialEditing() = default;

    // Opens a fresh material dialog on *target with every channel offered;
    // a dialog still open edits another material and goes without a word
    // first. Nothing for a null target (and nothing at all here).
    virtual void editMaterial(pbr* target, const QString& title);
    // True while the material dialog is shown (never here).
    virtual bool materialEditorShown() const;

    // 1 while a dialog is open and after OK, 0 after Cancel.
    std::uint8_t accepted = 0;
    pbr* materialTarget = nullptr;  // not owned
    unsigned* maskTarget = nullptr;  // not owned
    // The target's value at opening; after closing, its final value.
    pbr savedMaterial;
    // The mask at opening; without a mask target, the channel bits of the
    // last change.
    unsigned savedMask = 0;
};

// The material editing the view uses: the shell's dialogs once made.
extern MaterialEditing* MATERIAL_EDITING;

}  // namespace qel
