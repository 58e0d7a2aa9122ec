#include "app/dialog_asker.h"

#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace qel {

std::unique_ptr<QMessageBox> DialogAsker::question(QWidget* parent, const QString& title, const QString& text) {
    auto box =
        std::make_unique<QMessageBox>(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(QMessageBox::No);
    return box;
}

bool DialogAsker::yes(QWidget* parent, const QString& title, const QString& text) {
    return question(parent, title, text)->exec() == QMessageBox::Yes;
}

bool DialogAsker::getInt(QWidget* parent, const QString& title, const QString& label, int* value, int min, int max,
                   int step) {
    bool ok = false;
    const int answer = QInputDialog::getInt(parent, title, label, *value, min, max, step, &ok);
    if (ok) *value = answer;
    return ok;
}

bool DialogAsker::getDouble(QWidget* parent, const QString& title, const QString& label, double* value, double min,
                      double max, int decimals) {
    bool ok = false;
    const double answer = QInputDialog::getDouble(parent, title, label, *value, min, max, decimals, &ok);
    if (ok) *value = answer;
    return ok;
}

QString DialogAsker::openFileName(QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

QStringList DialogAsker::openFileNames(QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileNames(parent, title, QString(), filter);
}

QString DialogAsker::saveFileName(QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, title, QString(), filter);
}

QString DialogAsker::saveFileNameIn(QWidget* parent, const QString& title, const QString& folder, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, title, folder, filter);
}

void DialogAsker::warn(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::warning(parent, title, text);
}

void DialogAsker::inform(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::information(parent, title, text, QMessageBox::Ok, QMessageBox::NoButton);
}

int DialogAsker::run(QDialog* dialog) { return dialog->exec(); }

Asker* DialogAsker::Standard() {
    static DialogAsker standard;
    return &standard;
}

}  // namespace qel
