#include "app/save_name.h"

#include <algorithm>

namespace qel {

QString saveFileName(const QString& chosen) {
    const int slash = std::max(chosen.lastIndexOf('/'), chosen.lastIndexOf('\\'));
    const int dot = chosen.lastIndexOf('.');
    if (dot <= slash) return chosen + ".tl";
    const QString extension = chosen.mid(dot).toLower();
    if (extension == ".tl" || extension == ".obj") return chosen;
    return chosen.left(dot) + ".tl";
}

}  // namespace qel
