// The material dialog: construction, slider scales, change slots and the
// channel switches.
#include "app/material_dialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QSlider>
#include <cstdint>

#include "app/color_wheel.h"
#include "app/material_dialog_form.h"
#include "app/my_style.h"

using qel::pbr;

namespace {

// Slider scales, in single precision with truncation towards zero.
int sliderFromSigned(int value) { return int((float(value) / 32766.0f + 1.0f) * 255.0f * 0.5f); }
int signedFromSlider(int value) {
    const int r = int((2.0f * float(value) / 255.0f - 1.0f) * 32766.0f);
    return r < pbr::SignedMin ? pbr::SignedMin : (r > pbr::SignedMax ? pbr::SignedMax : r);
}
int sliderFromUnsigned(std::uint16_t value) { return int(value) * 255 / 65535; }
std::uint16_t unsignedFromSlider(int value) { return std::uint16_t(value * 65535 / 255); }

}  // namespace

MaterialDialog::MaterialDialog(const qel::pbr& material_, QWidget* parent, int mask_)
    : QDialog(parent),
      colorWheel(new ColorWheel(material_.colour)),
      lightWheel(new ColorWheel(material_.light)),
      mask(mask_),
      material(material_),
      ui(new Ui_MaterialDialog) {
    qel::RegisterMetaTypes();
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    colorWheel->setObjectName(QStringLiteral("colorWheel"));
    lightWheel->setObjectName(QStringLiteral("lightWheel"));
    ui->gridLayout_3->addWidget(colorWheel);
    ui->gridLayout_4->addWidget(lightWheel);
    // The sliders show the material before anything listens to them, so
    // opening the dialog changes no channel.
    setSliders();
    styleSliders();
    connectEditors();
    if (mask >= 0) offerSwitches();
}

MaterialDialog::~MaterialDialog() = default;

void MaterialDialog::setSliders() {
    ui->roughness->setValue(sliderFromSigned(material.roughness));
    ui->metalness->setValue(sliderFromSigned(material.metalness));
    ui->opacity->setValue(sliderFromUnsigned(material.colour.a));
    ui->refractivity->setValue(sliderFromUnsigned(material.light.a));
}

void MaterialDialog::styleSliders() {
    // Each slider gets a style of its own, released with the slider, built on
    // a new instance of the slider's style made from its key. Under the
    // dialog's style sheet a slider reports a sheet style without key: the
    // application's style is the one beneath it. The sheet still applies on
    // top of the new style.
    QString key = ui->roughness->style()->objectName();
    if (key.isEmpty()) key = QApplication::style()->objectName();
    for (QSlider* slider : {ui->roughness, ui->metalness, ui->opacity, ui->refractivity}) {
        MyStyle* style = new MyStyle(key);
        style->setParent(slider);
        slider->setStyle(style);
    }
}

void MaterialDialog::connectEditors() {
    connect(colorWheel, &ColorWheel::changeColor, this, &MaterialDialog::changeColor);
    connect(lightWheel, &ColorWheel::changeColor, this, &MaterialDialog::changeLight);
    connect(ui->roughness, &QSlider::valueChanged, this, &MaterialDialog::changeRoughness);
    connect(ui->metalness, &QSlider::valueChanged, this, &MaterialDialog::changeMetalness);
    connect(ui->opacity, &QSlider::valueChanged, this, &MaterialDialog::changeOpacity);
    connect(ui->refractivity, &QSlider::valueChanged, this, &MaterialDialog::changeRefractivity);
}

void MaterialDialog::offerSwitches() {
    // Setting a check state runs the switch slots connected by name, and a
    // group box turns checked when it becomes checkable: the states are taken
    // from the starting mask, which the slots bring back bit by bit.
    const int start = mask;
    ui->colorBox->setCheckable(true);
    ui->colorBox->setChecked(start & pbr::MaskColour);
    ui->lightBox->setCheckable(true);
    ui->lightBox->setChecked(start & pbr::MaskLight);
    const struct {
        QPushButton* button;
        QSlider* slider;
        int bit;
    } switches[4] = {{ui->pushRoughness, ui->roughness, pbr::MaskRoughness},
                     {ui->pushMetalness, ui->metalness, pbr::MaskMetalness},
                     {ui->pushOpacity, ui->opacity, pbr::MaskOpacity},
                     {ui->pushThickness, ui->refractivity, pbr::MaskThickness}};
    for (const auto& s : switches) {
        s.button->setCheckable(true);
        s.button->setChecked(start & s.bit);
        s.slider->setEnabled(start & s.bit);
    }
}

void MaterialDialog::changeColor(wvec4 c) {
    material.colour = {c.r, c.g, c.b, material.colour.a};
    emit currentMaterialChanged(material, pbr::MaskColour);
}

void MaterialDialog::changeLight(wvec4 l) {
    material.light = {l.r, l.g, l.b, material.light.a};
    emit currentMaterialChanged(material, pbr::MaskLight);
}

void MaterialDialog::changeRoughness(int value) {
    material.roughness = std::int16_t(signedFromSlider(value));
    emit currentMaterialChanged(material, pbr::MaskRoughness);
}

void MaterialDialog::changeMetalness(int value) {
    material.metalness = std::int16_t(signedFromSlider(value));
    emit currentMaterialChanged(material, pbr::MaskMetalness);
}

void MaterialDialog::changeOpacity(int value) {
    material.colour.a = unsignedFromSlider(value);
    emit currentMaterialChanged(material, pbr::MaskOpacity);
}

void MaterialDialog::changeRefractivity(int value) {
    material.light.a = unsignedFromSlider(value);
    emit currentMaterialChanged(material, pbr::MaskThickness);
}

void MaterialDialog::switchChannel(unsigned bit, bool on) {
    mask = on ? int(unsigned(mask) | bit) : int(unsigned(mask) & ~bit);
    emit currentMaskChanged(byte(mask & 0xFF));
}

void MaterialDialog::switchSlider(QSlider* slider, bool on, unsigned bit) {
    slider->setEnabled(on);
    switchChannel(bit, on);
}

// The switch slots read the check state from the widget, not from their
// argument.
void MaterialDialog::on_pushRoughness_toggled(bool) {
    switchSlider(ui->roughness, ui->pushRoughness->isChecked(), pbr::MaskRoughness);
}
void MaterialDialog::on_pushMetalness_toggled(bool) {
    switchSlider(ui->metalness, ui->pushMetalness->isChecked(), pbr::MaskMetalness);
}
void MaterialDialog::on_pushOpacity_toggled(bool) {
    switchSlider(ui->opacity, ui->pushOpacity->isChecked(), pbr::MaskOpacity);
}
void MaterialDialog::on_pushThickness_toggled(bool) {
    switchSlider(ui->refractivity, ui->pushThickness->isChecked(), pbr::MaskThickness);
}
void MaterialDialog::on_colorBox_toggled(bool) { switchChannel(pbr::MaskColour, ui->colorBox->isChecked()); }
void MaterialDialog::on_lightBox_toggled(bool) { switchChannel(pbr::MaskLight, ui->lightBox->isChecked()); }
