#pragma once
// qel::Asker: the one way the main window and the view ask the user
// something - a yes or no question, a number, a file name. The view owns
// this interface; the shell implements it with Qt's modal dialogs
// (app/dialog_asker.h) and hands it to the view. Until then the view asks
// qel::DecliningAsker, which answers every question as if it was cancelled,
// so a view without a shell never waits on anyone. Tests install an object
// of their own that answers from a script, so no command ever waits on a
// real dialog there.

#include <QString>
#include <QStringList>

class QDialog;
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
    virtual bool yes(QWidget* parent, const QString& title, const QString& text) = 0;
    // False when cancelled; otherwise *value holds the answer.
    virtual bool getInt(QWidget* parent, const QString& title, const QString& label, int* value, int min, int max,
                        int step) = 0;
    virtual bool getDouble(QWidget* parent, const QString& title, const QString& label, double* value, double min,
                           double max, int decimals) = 0;
    // An empty name or list when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
    virtual QStringList openFileNames(QWidget* parent, const QString& title, const QString& filter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
    // The same, opening in `folder`.
    virtual QString saveFileNameIn(QWidget* parent, const QString& title, const QString& folder, const QString& filter) = 0;
    // A warning with an OK button.
    virtual void warn(QWidget* parent, const QString& title, const QString& text) = 0;
    // An information message with the single button Ok and no default
    // button.
    virtual void inform(QWidget* parent, const QString& title, const QString& text) = 0;
    // Runs a dialog built by the caller modally; its result code.
    virtual int run(QDialog* dialog) = 0;
};

// Answers No, cancels every input and file choice, shows nothing and
// rejects every dialog: the view's answerer until the shell installs its own.
class DecliningAsker : public Asker {
public:
    bool yes(QWidget*, const QString&, const QString&) override { return false; }
    bool getInt(QWidget*, const QString&, const QString&, int*, int, int, int) override { return false; }
    bool getDouble(QWidget*, const QString&, const QString&, double*, double, double, int) override { return false; }
    QString openFileName(QWidget*, const QString&, const QString&) override { return QString(); }
    QStringList openFileNames(QWidget*, const QString&, const QString&) override { return QStringList(); }
    QString saveFileName(QWidget*, const QString&, const QString&) override { return QString(); }
    QString saveFileNameIn(QWidget*, const QString&, const QString&, const QString&) override { return QString(); }
    void warn(QWidget*, const QString&, const QString&) override {}
    void inform(QWidget*, const QString&, const QString&) override {}
    int run(QDialog*) override;

    // One object for every view; it holds no state.
    static Asker* Instance();
};

}  // namespace qel
