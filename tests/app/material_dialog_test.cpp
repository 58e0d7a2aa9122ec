// The material dialog and the dialogs object, driven through their widgets
// and signals on the offscreen platform.

#include "app/material_dialog.h"

#include <gtest/gtest.h>

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSlider>
#include <utility>
#include <vector>

#include "app/color_wheel.h"
#include "app/dialogs.h"
#include "mouse_util.h"
#include "view/glview.h"

using qel::pbr;
using qel::wvec4;

namespace {

template <class W>
W* part(QWidget* dialog, const char* name) {
    W* w = dialog->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void click(QWidget* dialog, QDialogButtonBox::StandardButton which) {
    dialog->findChild<QDialogButtonBox*>()->button(which)->click();
}

// A press at the right end of a shown slider: any button jumps to the pointer.
void pressMaximum(QSlider* slider) {
    tltest::sendMouse(slider, QEvent::MouseButtonPress, QPointF(slider->width() - 1, slider->height() / 2));
    tltest::sendMouse(slider, QEvent::MouseButtonRelease, QPointF(slider->width() - 1, slider->height() / 2));
}

void disposeClosedDialogs() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class MaterialDialogTest : public ::testing::Test {
protected:
    std::vector<std::pair<pbr, qel::byte>> changes;
    std::vector<qel::byte> masks;
    void record(MaterialDialog* d) {
        QObject::connect(d, &MaterialDialog::currentMaterialChanged, [this](pbr m, qel::byte b) {
            changes.push_back({m, b});
        });
        QObject::connect(d, &MaterialDialog::currentMaskChanged, [this](qel::byte m) { masks.push_back(m); });
    }
};

TEST_F(MaterialDialogTest, SlidersScaleBothWaysAndTheWheelKeepsTheOpacity) {
    MaterialDialog dialog(pbr({65535, 0, 0, 65535}, {0, 0, 0, 65535}, 0, 0), nullptr, -1);
    record(&dialog);
    auto* roughness = part<QSlider>(&dialog, "roughness");
    auto* opacity = part<QSlider>(&dialog, "opacity");
    EXPECT_EQ(roughness->value(), 127);
    EXPECT_EQ(opacity->value(), 255);
    roughness->setValue(255);
    roughness->setValue(0);
    opacity->setValue(128);
    dialog.open();
    auto* wheel = part<ColorWheel>(&dialog, "colorWheel");
    const double ring = 0.45 * (std::min(wheel->width(), wheel->height()) - 4);
    tltest::sendMouse(wheel, QEvent::MouseButtonPress, {wheel->width() / 2.0, wheel->height() / 2.0 - ring});
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_EQ(changes[0].first.roughness, 32766);
    EXPECT_EQ(changes[1].first.roughness, -32766);
    EXPECT_EQ(changes[1].second, pbr::MaskRoughness);
    EXPECT_EQ(changes[2].first.colour.a, 32896);
    EXPECT_EQ(changes[2].second, pbr::MaskOpacity);
    EXPECT_EQ(changes[3].second, pbr::MaskColour);  // hue 1/4 on the ring
    EXPECT_GT(changes[3].first.colour.g, 60000);
    EXPECT_EQ(changes[3].first.colour.a, 32896);
    dialog.reject();
}

TEST_F(MaterialDialogTest, MaskSwitchesChannels) {
    MaterialDialog dialog(pbr(), nullptr, 13);
    record(&dialog);
    EXPECT_TRUE(part<QGroupBox>(&dialog, "colorBox")->isChecked());
    EXPECT_FALSE(part<QGroupBox>(&dialog, "lightBox")->isChecked());
    EXPECT_FALSE(part<ColorWheel>(&dialog, "lightWheel")->isEnabled());
    EXPECT_TRUE(part<QPushButton>(&dialog, "pushRoughness")->isChecked());
    EXPECT_FALSE(part<QPushButton>(&dialog, "pushThickness")->isChecked());
    EXPECT_TRUE(part<QSlider>(&dialog, "metalness")->isEnabled());
    EXPECT_FALSE(part<QSlider>(&dialog, "opacity")->isEnabled());
    EXPECT_FALSE(part<QSlider>(&dialog, "refractivity")->isEnabled());
    part<QPushButton>(&dialog, "pushMetalness")->click();
    EXPECT_EQ(masks, std::vector<qel::byte>{5});
    EXPECT_FALSE(part<QSlider>(&dialog, "metalness")->isEnabled());
}

class DialogsTest : public ::testing::Test {
protected:
    qel::Dialogs dialogs;
    pbr target{{65535, 1, 2, 65535}, {3, 4, 5, 65535}, 1, -7};
    const pbr before = target;
    void TearDown() override { disposeClosedDialogs(); }
    QSlider* slider(const char* name) { return part<QSlider>(dialogs.materialEditor, name); }
};

TEST_F(DialogsTest, MaskedChannelsStayAndCancelRestoresTheExactValues) {
    unsigned mask = 63 & ~pbr::MaskRoughness;
    dialogs.materialDialog(&target, &mask, "Brush");
    pressMaximum(slider("roughness"));
    EXPECT_EQ(target, before);
    part<QPushButton>(dialogs.materialEditor, "pushRoughness")->click();
    pressMaximum(slider("roughness"));
    slider("opacity")->setValue(10);
    EXPECT_EQ(target.roughness, 32766);
    EXPECT_EQ(target.colour.a, 2570);
    EXPECT_EQ(mask, 63u);
    click(dialogs.materialEditor, QDialogButtonBox::Cancel);
    EXPECT_EQ(target, before);
    EXPECT_EQ(mask, 59u);
    EXPECT_EQ(dialogs.accepted, 0);
    EXPECT_EQ(dialogs.materialTarget, nullptr);
    EXPECT_EQ(dialogs.materialEditor, nullptr);
}

TEST_F(DialogsTest, ColourKeepsItsAlphaAndCancelRestoresIt) {
    wvec4 colour{65535, 65535, 1, 0x8000};
    dialogs.colorDialog(&colour, "Objects Chromatism Color");
    QColor shown = dialogs.colorPicker->currentColor();
    EXPECT_EQ(shown, QColor(255, 255, 0, 128));
    shown.setRed(0);
    dialogs.colorPicker->setCurrentColor(shown);
    EXPECT_EQ(colour, wvec4(0, 65280, 0, 0x8000));
    click(dialogs.colorPicker, QDialogButtonBox::Cancel);
    EXPECT_EQ(colour, wvec4(65535, 65535, 1, 0x8000));
    EXPECT_EQ(dialogs.colorTarget, nullptr);
}

TEST_F(DialogsTest, WithoutMaskTargetTheLastChangeNamesTheChannel) {
    dialogs.materialDialog(&target, "Material");
    EXPECT_FALSE(part<QPushButton>(dialogs.materialEditor, "pushOpacity")->isCheckable());
    slider("opacity")->setValue(0);
    slider("metalness")->setValue(255);
    click(dialogs.materialEditor, QDialogButtonBox::Ok);
    EXPECT_EQ(dialogs.savedMask, unsigned(pbr::MaskMetalness));
    EXPECT_EQ(dialogs.savedMaterial, target);
    EXPECT_EQ(target.metalness, 32766);
    EXPECT_EQ(target.colour.a, 0);
    EXPECT_EQ(dialogs.accepted, 1);
}

TEST_F(DialogsTest, EachOpeningMakesAFreshDialog) {
    wvec4 colour;
    for (int round = 0; round < 3; ++round) {
        dialogs.materialDialog(&target, "Material");
        QPointer<MaterialDialog> first = dialogs.materialEditor.data();
        slider("roughness")->setValue(round);
        click(first, QDialogButtonBox::Ok);
        dialogs.materialDialog(&target, "Material");
        EXPECT_NE(dialogs.materialEditor, first);
        dialogs.materialEditor->reject();
        dialogs.colorDialog(&colour, "Background Color");
        dialogs.colorPicker->setCurrentColor(QColor(round, 2, 3, 4));
        dialogs.colorPicker->accept();
        disposeClosedDialogs();
        EXPECT_TRUE(first.isNull());
    }
}

TEST_F(DialogsTest, TheViewOpensAFreshDialogOnEachMaterialWithItsSignalsConnectedOnce) {
    qel::GLView view(64, 64);
    pbr other{{0, 0, 65535, 65535}, {0, 0, 0, 65535}, 32766, 0};
    const pbr otherBefore = other;
    view.openMaterialDialog(dialogs, &target, "A");
    QPointer<MaterialDialog> first = dialogs.materialEditor.data();
    view.openMaterialDialog(dialogs, &other, "B");
    disposeClosedDialogs();
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(dialogs.materialEditor, nullptr);
    EXPECT_EQ(dialogs.materialEditor->windowTitle(), "B");
    EXPECT_EQ(slider("roughness")->value(), 255);
    EXPECT_EQ(dialogs.savedMaterial, otherBefore);
    EXPECT_EQ(dialogs.savedMask, 0u);
    EXPECT_EQ(dialogs.maskTarget, nullptr);
    slider("metalness")->setValue(255);
    EXPECT_EQ(other.metalness, 32766);
    EXPECT_EQ(target, before);
    // Each signal reaches its slot through exactly one connection.
    MaterialDialog* d = dialogs.materialEditor;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(
            QObject::disconnect(d, &MaterialDialog::currentMaterialChanged, &dialogs, &qel::Dialogs::setDialogMaterial),
            i == 0);
        EXPECT_EQ(QObject::disconnect(d, &QDialog::accepted, &dialogs, &qel::Dialogs::setDialogOK), i == 0);
        EXPECT_EQ(QObject::disconnect(d, &QDialog::rejected, &dialogs, &qel::Dialogs::setDialogCancel), i == 0);
    }
}

TEST(DialogsObject, ConnectsByTypeNames) {
    pbr target;
    MaterialDialog dialog(target, nullptr, -1);
    qel::DIALOGS->materialTarget = &target;
    // Queued: the argument types must be known to Qt by these names.
    ASSERT_TRUE(QObject::connect(&dialog, SIGNAL(currentMaterialChanged(pbr, byte)), qel::DIALOGS,
                                 SLOT(setDialogMaterial(pbr, byte)), Qt::QueuedConnection));
    part<QSlider>(&dialog, "metalness")->setValue(0);
    QCoreApplication::sendPostedEvents();
    qel::DIALOGS->materialTarget = nullptr;
    EXPECT_EQ(target.metalness, -32766);
}

}  // namespace
