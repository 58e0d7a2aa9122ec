#include "view/object_file_name.h"

#include "core/strings.h"

namespace qel {

std::string objectFileName(const std::string& chosen) {
    if (chosen.empty()) return chosen;
    const std::size_t slash = chosen.find_last_of("/\\");
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = chosen.rfind('.');
    if (dot == std::string::npos || dot < start) return chosen + ".tlo";
    const std::string extension = toLower(chosen.substr(dot));
    if (extension == ".tlo" || extension == ".obj") return chosen;
    return chosen.substr(0, dot) + ".tlo";
}

}  // namespace qel
