#pragma once
// Ui_MaterialDialog: the widget tree of the material dialog. setupUi builds
// it on the dialog (562 x 444, fixed size, dark style sheet): the colour and
// light group boxes side by side on top, the four sliders (roughness,
// metalness, opacity and, named refractivity, thickness) with their channel
// buttons below, and the Ok/Cancel box. The dialog's wheels go into the
// layouts of the group boxes. Slots named on_<object>_<signal> are connected
// by name.

class QDialog;
class QDialogButtonBox;
class QGridLayout;
class QGroupBox;
class QPushButton;
class QSlider;

class Ui_MaterialDialog {
public:
    QGridLayout* gridLayout = nullptr;
    QDialogButtonBox* buttonBox = nullptr;
    QGridLayout* gridLayout_2 = nullptr;
    QGroupBox* colorBox = nullptr;
    QGridLayout* gridLayout_3 = nullptr;
    QGroupBox* lightBox = nullptr;
    QGridLayout* gridLayout_4 = nullptr;
    QSlider* roughness = nullptr;
    QSlider* metalness = nullptr;
    QSlider* opacity = nullptr;
    QSlider* refractivity = nullptr;
    QPushButton* pushRoughness = nullptr;
    QPushButton* pushMetalness = nullptr;
    QPushButton* pushOpacity = nullptr;
    QPushButton* pushThickness = nullptr;

    void setupUi(QDialog* dialog);
    void retranslateUi(QDialog* dialog);

private:
    QGroupBox* groupBox(QDialog* dialog, const char* name, QGridLayout*& layout);
    QSlider* slider(QDialog* dialog, const char* name, int row);
    QPushButton* button(QDialog* dialog, const char* name, int row);
};
