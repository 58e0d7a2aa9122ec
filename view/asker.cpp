#include "view/asker.h"

#include <QDialog>

namespace qel {

int DecliningAsker::run(QDialog*) { return QDialog::Rejected; }

Asker* DecliningAsker::Instance() {
    static DecliningAsker declining;
    return &declining;
}

}  // namespace qel
