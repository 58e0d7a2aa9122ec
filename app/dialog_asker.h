#pragma once
// qel::DialogAsker: the shell's answerer, asking the user through Qt's modal
// static dialogs. The main window asks through it and hands it to the view.

#include "view/asker.h"

#include <memory>

class QMessageBox;

namespace qel {

class DialogAsker : public Asker {
public:
    bool yes(QWidget* parent, const QString& title, const QString& text) override;
    bool getInt(QWidget* parent, const QString& title, const QString& label, int* value, int min, int max,
                int step) override;
    bool getDouble(QWidget* parent, const QString& title, const QString& label, double* value, double min,
                   double max, int decimals) override;
    QString openFileName(QWidget* parent, const QString& title, const QString& filter) override;
    QStringList openFileNames(QWidget* parent, const QString& title, const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& filter) override;
    QString saveFileNameIn(QWidget* parent, const QString& title, const QString& folder,
                           const QString& filter) override;
    void warn(QWidget* parent, const QString& title, const QString& text) override;
    void inform(QWidget* parent, const QString& title, const QString& text) override;
    int run(QDialog* dialog) override;

    // The question box that yes() runs: the buttons Yes and No, No the
    // default.
    static std::unique_ptr<QMessageBox> question(QWidget* parent, const QString& title, const QString& text);

    // The object that answers through Qt's dialogs; it lives as long as the
    // program.
    static Asker* Standard();
};

}  // namespace qel
