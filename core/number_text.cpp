#include "core/number_text.h"

#include <cstdio>
#include <limits>

namespace qel {

std::string groupedNumber(std::uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

std::string countOrMore(std::uint64_t n) {
    if (n == std::numeric_limits<std::uint64_t>::max()) return "more than " + groupedNumber(n - 1);
    return groupedNumber(n);
}

std::string byteSize(std::uint64_t bytes) {
    static const char* const units[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    if (bytes < 1000) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    double value = double(bytes) / 1000.0;
    int unit = 0;
    // Rounded to one decimal, 999.95 kB shows as 1.0 MB.
    while (value >= 999.95 && unit + 1 < 6) {
        value /= 1000.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

}  // namespace qel
