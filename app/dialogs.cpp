// The dialogs object: opening the colour and material dialogs on a target,
// writing changes through, and restoring on Cancel.
#include "app/dialogs.h"

#include <QApplication>
#include <QColorDialog>

#include "app/material_dialog.h"

namespace qel {

namespace {

Dialogs* installed(Dialogs* dialogs) {
    MATERIAL_EDITING = dialogs;
    return dialogs;
}

}  // namespace

Dialogs* DIALOGS = installed(new Dialogs);

namespace {

// Closes a dialog that no longer reports to `owner` and deletes it after the
// signal being delivered (the one that closed it) has returned.
void dispose(QDialog* dialog, QObject* owner) {
    QObject::disconnect(dialog, nullptr, owner, nullptr);
    dialog->close();
    dialog->deleteLater();
}

}  // namespace

Dialogs::Dialogs() { RegisterMetaTypes(); }

Dialogs::~Dialogs() {
    if (colorPicker) {
        colorTarget = nullptr;
        colorPicker->disconnect(this);
        delete colorPicker;
    }
    if (materialEditor) {
        if (materialTarget) savedMaterial = *materialTarget;
        materialTarget = nullptr;
        maskTarget = nullptr;
        materialEditor->disconnect(this);
        delete materialEditor;
    }
}

QColor Dialogs::ToQColor(const wvec4& c) { return QColor::fromRgba(qRgba(c.r >> 8, c.g >> 8, c.b >> 8, c.a >> 8)); }

wvec4 Dialogs::FromQColor(const QColor& c) {
    const QRgb v = c.rgba();
    auto wide = [](int byteValue) { return std::uint16_t(byteValue << 8); };
    return {wide(qRed(v)), wide(qGreen(v)), wide(qBlue(v)), wide(qAlpha(v))};
}

void Dialogs::colorDialog(wvec4* target, const QString& title) {
    if (!target) return;
    accepted = 1;
    savedColor = *target;
    colorTarget = target;
    if (!colorPicker) colorPicker = new QColorDialog(QApplication::activeWindow());
    // The alpha channel goes on before the colour is set: without it the
    // dialog keeps no alpha, and the first change would write 0xFF00 into the
    // target's fourth channel (for some targets a scale, not an opacity).
    colorPicker->setOption(QColorDialog::ShowAlphaChannel, true);
    colorPicker->setCurrentColor(ToQColor(*target));
    colorPicker->setWindowTitle(title);
    connect(colorPicker, &QColorDialog::currentColorChanged, this, &Dialogs::setDialogColor, Qt::UniqueConnection);
    connect(colorPicker, &QDialog::accepted, this, &Dialogs::setDialogOK, Qt::UniqueConnection);
    connect(colorPicker, &QDialog::rejected, this, &Dialogs::setDialogCancel, Qt::UniqueConnection);
    colorPicker->open();
}

void Dialogs::materialDialog(pbr* target, unsigned* mask, const QString& title) {
    if (!target) return;
    accepted = 1;
    savedMaterial = *target;
    materialTarget = target;
    savedMask = mask ? *mask : 0;
    maskTarget = mask;
    // Without a mask every bit is set: all channels offered, no channel
    // switches.
    openMaterialEditor(title, mask ? int(*mask & 0xFFu) : -1);
}

void Dialogs::materialDialog(pbr* target, const QString& title) { materialDialog(target, nullptr, title); }

void Dialogs::editMaterial(pbr* target, const QString& title) {
    if (!target) return;
    // A dialog still open edits another material: it goes without a word to
    // this object, so the fresh one shows the target's material and every
    // signal reaches the slots once.
    if (MaterialDialog* open = materialEditor) {
        QObject::disconnect(open, nullptr, this, nullptr);
        open->close();
        open->deleteLater();
        materialEditor = nullptr;
    }
    materialDialog(target, title);
}

bool Dialogs::materialEditorShown() const { return materialEditor && materialEditor->isVisible(); }

void Dialogs::openMaterialEditor(const QString& title, int startMask) {
    if (!materialEditor) materialEditor = new MaterialDialog(*materialTarget, QApplication::activeWindow(), startMask);
    materialEditor->setWindowTitle(title);
    connect(materialEditor, &MaterialDialog::currentMaterialChanged, this, &Dialogs::setDialogMaterial,
            Qt::UniqueConnection);
    if (maskTarget) {
        connect(materialEditor, &MaterialDialog::currentMaskChanged, this, &Dialogs::setDialogMask,
                Qt::UniqueConnection);
    }
    connect(materialEditor, &QDialog::accepted, this, &Dialogs::setDialogOK, Qt::UniqueConnection);
    connect(materialEditor, &QDialog::rejected, this, &Dialogs::setDialogCancel, Qt::UniqueConnection);
    materialEditor->open();
}

void Dialogs::setDialogColor(QColor color) {
    if (colorTarget) *colorTarget = FromQColor(color);
}

void Dialogs::setDialogMaterial(pbr material, byte bits) {
    if (!materialTarget) return;
    materialTarget->assign(material, bits);
    if (!maskTarget) savedMask = bits;
}

void Dialogs::setDialogMask(byte mask) {
    if (maskTarget) *maskTarget = mask;
}

void Dialogs::setDialogOK() {
    accepted = 1;
    closeDialogs();
}

void Dialogs::setDialogCancel() {
    accepted = 0;
    if (colorTarget) *colorTarget = savedColor;
    if (materialTarget) *materialTarget = savedMaterial;
    if (maskTarget) *maskTarget = savedMask;
    closeDialogs();
}

void Dialogs::closeDialogs() {
    if (colorPicker) {
        colorTarget = nullptr;
        dispose(colorPicker, this);
        colorPicker = nullptr;
    }
    if (materialEditor) {
        if (materialTarget) savedMaterial = *materialTarget;
        maskTarget = nullptr;
        materialTarget = nullptr;
        dispose(materialEditor, this);
        materialEditor = nullptr;
    }
}

}  // namespace qel
