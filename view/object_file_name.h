#pragma once
// The file name an object is saved under: a name whose file part has no
// extension gets ".tlo"; an extension other than ".tlo" or ".obj" (in any
// case) gives way to ".tlo"; ".TLO" and ".OBJ" stay as typed. Only the part
// after the last path separator is looked at, so a dot in a folder name never
// counts and the file lands in the folder the user chose.

#include <string>

namespace qel {

// The path to write for the UTF-8 name the user chose; an empty name stays
// empty (nothing to save).
std::string objectFileName(const std::string& chosen);

}  // namespace qel
