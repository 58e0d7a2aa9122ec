#pragma once
// MaterialDialog: edits a copy of one material. The colour and the light
// (emission) are picked on two colour wheels; roughness, metalness, opacity
// and thickness on four sliders running 0..255. Every change is sent out at
// once with the whole edited material and the bit of the channel that
// changed; the dialog itself writes no material.
//
// With a mask of 0 or more the group boxes and the four channel buttons
// become switches: a channel that is switched off cannot be edited, and each
// switch reports the new mask. A negative mask shows no switches.
//
// Slider scales: roughness and metalness show r in -32766..32766 as
// trunc((r / 32766 + 1) * 127.5) and take v back as
// trunc((2v / 255 - 1) * 32766); opacity and thickness show the 16-bit
// channel w as trunc(w * 255 / 65535) and take v back as v * 65535 / 255.

#include <QDialog>
#include <memory>

#include "app/meta_types.h"

class ColorWheel;
class QSlider;
class Ui_MaterialDialog;

class MaterialDialog : public QDialog {
    Q_OBJECT

public:
    // The names in the signal and slot signatures.
    using pbr = qel::pbr;
    using byte = qel::byte;
    using wvec4 = qel::wvec4;

    MaterialDialog(const qel::pbr& material, QWidget* parent, int mask);
    ~MaterialDialog() override;

signals:
    void currentMaterialChanged(pbr mat, byte mask);
    void currentMaskChanged(byte mask);

public slots:
    void changeColor(wvec4 c);
    void changeLight(wvec4 l);
    void changeRoughness(int value);
    void changeMetalness(int value);
    void changeOpacity(int value);
    void changeRefractivity(int value);

private slots:
    void on_pushRoughness_toggled(bool);
    void on_pushMetalness_toggled(bool);
    void on_pushOpacity_toggled(bool);
    void on_pushThickness_toggled(bool);
    void on_colorBox_toggled(bool);
    void on_lightBox_toggled(bool);

private:
    void setSliders();
    void styleSliders();
    void connectEditors();
    void offerSwitches();
    // Sets or clears `bit` of the mask and reports the new mask.
    void switchChannel(unsigned bit, bool on);
    // A channel switch button: enables its slider as its check state.
    void switchSlider(QSlider* slider, bool on, unsigned bit);

    ColorWheel* colorWheel;
    ColorWheel* lightWheel;
    int mask;
    qel::pbr material;
    std::unique_ptr<Ui_MaterialDialog> ui;
};
