#pragma once
// qel::Asker: the one way the main window and the view ask the user
// something - a yes or no question, a number, a file name. The view owns
// this interface; the shell implements it (app/asker.cpp): the default
// answers through Qt's modal static dialogs. Tests install an object of
// their own that answers from a script, so no command ever waits on a real
// dialog there.

#include <QString>
#include <QStringList>
#include <memory>

class QDialog;
class QMessageBox;
class QWidget;

namespace qel {

class Asker {
public:
    Asker() = default;
    Asker(const Asker&) = delete;
    Asker& operator=(const Asker&) = delete;
    virtual ~Asker() = default;

    // True only when the user answers Yes (buttons Yes and No). The
    // questions ask before work is discarded: No is the default button, so
    // Enter never discards anything.
    virtual bool yes(QWidget* parent, const QString& title, const QString& text);
    // False when cancelled; otherwise *value holds the answer.
    virtual bool getInt(QWidget* parent, const QString& title, const QString& label, int* value, int min, int max,
                        int step);
    virtual bool getDouble(QWidget* parent, const QString& title, const QString& label, double* value, double min,
                           double max, int decimals);
    // An empty name or list when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter);
    virtual QStringList openFileNames(QWidget* parent, const QString& title, const QString& filter);
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& filter);
    // The same, opening in `folder`.
    virtual QString saveFileNameIn(QWidget* parent, const QString& title, const QString& folder, const QString& filter);
    // A warning with an OK button.
    virtual void warn(QWidget* parent, const QString& title, const QString& text);
    // An information message with the single button Ok and no default
    // button.
    virtual void inform(QWidget* parent, const QString& title, const QString& text);
    // Runs a dialog built by the caller modally; its result code.
    virtual int run(QDialog* dialog);

    // The question box that yes() runs: the buttons Yes and No, No the
    // default.
    static std::unique_ptr<QMessageBox> question(QWidget* parent, const QString& title, const QString& text);

    // The object that answers through Qt's dialogs; it lives as long as the
    // program.
    static Asker* Standard();
};

}  // namespace qel
