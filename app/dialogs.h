#pragma once
// qel::Dialogs: opens the colour dialog and the material dialog on a value
// that lives elsewhere (a colour or material field of the view, the material
// of a clicked object), writes every change straight into that value while
// the dialog is open, and on Cancel (or when the window is closed) puts the
// value back. The one instance, qel::DIALOGS, is made during static
// initialisation and never destroyed; the frame loop reads its fields to
// apply a material edit and to keep or revert its undo record.
//
// After a dialog closes, its object is disposed of once the signal that
// closed it has returned (deferred deletion), so each opening makes a fresh
// dialog; the target pointers are null again while `accepted`,
// `savedMaterial` and `savedMask` keep the outcome.
//
// Colours pass through Qt's 8-bit dialog as the high byte of each 16-bit
// channel and come back as the byte times 256 (255 becomes 65280).

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>

#include "app/meta_types.h"
#include "core/vec.h"
#include "gl/pbr.h"
#include "view/material_editing.h"

class MaterialDialog;
class QColorDialog;

namespace qel {

class Dialogs : public QObject, public MaterialEditing {
    Q_OBJECT

public:
    Dialogs();
    ~Dialogs() override;

    // Opens the colour dialog on *target (nothing for a null target).
    void colorDialog(wvec4* target, const QString& title);
    // Opens the material dialog on *target with the channel mask *mask, which
    // the dialog's channel switches change; a null mask opens it as the form
    // without mask. Nothing for a null target.
    void materialDialog(pbr* target, unsigned* mask, const QString& title);
    // Opens the material dialog on *target with every channel offered and no
    // channel switches; savedMask then follows the channel of each change.
    void materialDialog(pbr* target, const QString& title);

    // 8-bit dialog colour of a 16-bit colour and back.
    static QColor ToQColor(const wvec4& c);
    static wvec4 FromQColor(const QColor& c);

    // The view's side of the material dialog: a fresh dialog on *target,
    // closing one still open without a word first.
    void editMaterial(pbr* target, const QString& title) override;
    bool materialEditorShown() const override;

    // accepted, materialTarget, maskTarget, savedMaterial and savedMask are
    // the view's (MaterialEditing); accepted also follows the colour dialog.
    wvec4* colorTarget = nullptr;  // not owned
    wvec4 savedColor{0, 0, 0, 0};
    QPointer<QColorDialog> colorPicker;       // owned
    QPointer<MaterialDialog> materialEditor;  // owned

public slots:
    void setDialogColor(QColor color);
    void setDialogMaterial(pbr material, byte bits);
    void setDialogMask(byte mask);
    void setDialogOK();
    void setDialogCancel();

private:
    void openMaterialEditor(const QString& title, int startMask);
    // Clears the targets of the open dialogs, closes them and disposes of
    // them once control returns to the event loop.
    void closeDialogs();
};

// The single instance; it is also the view's MATERIAL_EDITING.
extern Dialogs* DIALOGS;

}  // namespace qel
