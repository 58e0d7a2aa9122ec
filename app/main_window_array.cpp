// MainWindow: the Array command and its dialog.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/array_table.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "view/asker.h"
#include "view/glview.h"
#include "view/keyboard.h"

bool MainWindow::runArrayDialog() {
    qel::GLView* v = view();
    QDialog dialog(this);
    dialog.setWindowTitle("Array");
    auto* label = new QLabel("Item-Multiplicity  ( " + QString::number(v->auxiliaryTools.size()) + " Items )", &dialog);
    auto* edit = new QLineEdit(qel::arrayTableText(v->arrayCounts), &dialog);
    auto* type = new QComboBox(&dialog);
    type->addItems({"Simple", "Chain", "Zipper"});
    type->setCurrentIndex(v->arrayType);
    auto* clear = new QCheckBox("Clear Items", &dialog);
    auto* ok = new QPushButton("OK", &dialog);
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", &dialog);
    auto* options = new QHBoxLayout;
    options->addWidget(type);
    options->addWidget(clear);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(label);
    layout->addWidget(edit);
    layout->addLayout(options);
    layout->addLayout(buttons);
    // The buttons act when pressed, not when released.
    connect(ok, &QPushButton::pressed, &dialog, &QDialog::accept);
    connect(cancel, &QPushButton::pressed, &dialog, &QDialog::reject);
    if (asker->run(&dialog) != QDialog::Accepted) return false;

    // The listed tools stay in the tool library.
    if (clear->isChecked()) v->auxiliaryTools.clear();
    std::vector<std::int32_t> table = qel::parseArrayTable(edit->text());
    if (!table.empty()) {
        v->arrayType = type->currentIndex();
        v->arrayCounts = std::move(table);
        v->setActiveTool(qel::GLView::CreateTetrahedron, true);
    }
    return true;
}

void MainWindow::on_actionArray_triggered() {
    const QAction* from = senderAction();
    lockedAssembly(
        ui->actionArray->text(),
        [this, from] {
            setCreateAction();
            if (qel::keys.held(qel::Keyboard::KeyControl)) runArrayDialog();
            view()->setActiveTool(qel::GLView::CreateArray, true);
            view()->redraw = 1;
            takeIcon(ui->menuArrays, from);
        },
        true);
}
