// The widget tree, style sheet and texts of the material dialog.
#include "app/material_dialog_form.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QSlider>

namespace {

// The slider handle is invisible: the filled part of the groove (accent
// colour, grey when disabled) shows the value.
const char* const StyleSheet =
    "QDialog { background-color: #333; color: #ccc; }\n"
    "QPushButton { background-color: #333; color: #ccc; margin: 0px; border: 1px solid #555;"
    " min-width: 80px; padding: 6px 10px; }\n"
    "QPushButton:hover { color: #fff; }\n"
    "QPushButton:checked { color: #efba44; }\n"
    "QSlider::groove:horizontal { background-color: #555; height: 6px; border: none; margin: 4px 0px; }\n"
    "QSlider::handle:horizontal { background: transparent; width: 12px; margin: -4px 0px; }\n"
    "QSlider::sub-page:horizontal:enabled { background-color: #efba44; }\n"
    "QSlider::add-page:horizontal:enabled { background-color: #555; }\n"
    "QSlider::sub-page:horizontal:disabled { background-color: #666; }\n"
    "QSlider::add-page:horizontal:disabled { background-color: #555; }\n"
    "QGroupBox { background-color: #333; color: #ccc; padding: 0px; border: none; margin: 20px 0px 0px 0px; }\n"
    "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; }\n"
    "QGroupBox::indicator { width: 13px; height: 13px; }\n"
    "QGroupBox::indicator:checked { background-color: #efba44; }\n"
    "QGroupBox::indicator:unchecked { background-color: #555; }\n";

}  // namespace

void Ui_MaterialDialog::setupUi(QDialog* dialog) {
    if (dialog->objectName().isEmpty()) dialog->setObjectName(QStringLiteral("MaterialDialog"));
    dialog->resize(562, 444);
    dialog->setSizePolicy(QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed));
    dialog->setStyleSheet(QString::fromLatin1(StyleSheet));

    gridLayout = new QGridLayout(dialog);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    buttonBox = new QDialogButtonBox(dialog);
    buttonBox->setObjectName(QStringLiteral("buttonBox"));
    buttonBox->setLayoutDirection(Qt::LeftToRight);
    buttonBox->setStandardButtons(QDialogButtonBox::Cancel | QDialogButtonBox::Ok);
    gridLayout->addWidget(buttonBox, 3, 3, 1, 1);

    gridLayout_2 = new QGridLayout();
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    colorBox = groupBox(dialog, "colorBox", gridLayout_3);
    gridLayout_3->setObjectName(QStringLiteral("gridLayout_3"));
    gridLayout_2->addWidget(colorBox, 0, 0, 1, 1);
    lightBox = groupBox(dialog, "lightBox", gridLayout_4);
    gridLayout_4->setObjectName(QStringLiteral("gridLayout_4"));
    gridLayout_2->addWidget(lightBox, 0, 1, 1, 1);
    gridLayout->addLayout(gridLayout_2, 0, 0, 1, 4);

    roughness = slider(dialog, "roughness", 1);
    metalness = slider(dialog, "metalness", 2);
    opacity = slider(dialog, "opacity", 3);
    refractivity = slider(dialog, "refractivity", 4);
    pushRoughness = button(dialog, "pushRoughness", 1);
    pushMetalness = button(dialog, "pushMetalness", 2);
    pushOpacity = button(dialog, "pushOpacity", 3);
    pushThickness = button(dialog, "pushThickness", 4);

    retranslateUi(dialog);
    QObject::connect(buttonBox, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttonBox, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QMetaObject::connectSlotsByName(dialog);
}

QGroupBox* Ui_MaterialDialog::groupBox(QDialog* dialog, const char* name, QGridLayout*& layout) {
    QGroupBox* box = new QGroupBox(dialog);
    box->setObjectName(QString::fromLatin1(name));
    layout = new QGridLayout(box);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    return box;
}

QSlider* Ui_MaterialDialog::slider(QDialog* dialog, const char* name, int row) {
    QSlider* s = new QSlider(dialog);
    s->setObjectName(QString::fromLatin1(name));
    s->setMaximum(255);
    s->setOrientation(Qt::Horizontal);
    s->setTickPosition(QSlider::TicksAbove);
    s->setTickInterval(64);
    gridLayout->addWidget(s, row, 1, 1, 1);
    return s;
}

QPushButton* Ui_MaterialDialog::button(QDialog* dialog, const char* name, int row) {
    QPushButton* b = new QPushButton(dialog);
    b->setObjectName(QString::fromLatin1(name));
    gridLayout->addWidget(b, row, 2, 1, 1);
    return b;
}

void Ui_MaterialDialog::retranslateUi(QDialog* dialog) {
    dialog->setWindowTitle(QCoreApplication::translate("MaterialDialog", "Material"));
    colorBox->setTitle(QCoreApplication::translate("MaterialDialog", "Color"));
    lightBox->setTitle(QCoreApplication::translate("MaterialDialog", "Light"));
    pushRoughness->setText(QCoreApplication::translate("MaterialDialog", "Roughness"));
    pushMetalness->setText(QCoreApplication::translate("MaterialDialog", "Metalness"));
    pushOpacity->setText(QCoreApplication::translate("MaterialDialog", "Opacity"));
    pushThickness->setText(QCoreApplication::translate("MaterialDialog", "Thickness"));
}
