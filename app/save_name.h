#pragma once
// The file name Save writes: a name without an extension gets ".tl", and an
// extension other than ".tl" or ".obj" (in any case) gives way to ".tl".
// Only the last path component is looked at, so a folder's dot never counts.

#include <QString>

namespace qel {

QString saveFileName(const QString& chosen);

}  // namespace qel
