#pragma once
// Numbers as the program's messages write them.

#include <cstdint>
#include <string>

namespace qel {

// Decimal digits grouped by threes with commas: 30001 -> "30,001".
std::string groupedNumber(std::uint64_t n);
// A count as groupedNumber writes it; a count that saturated at the largest
// number it holds stands for at least that many: "more than
// 18,446,744,073,709,551,614".
std::string countOrMore(std::uint64_t n);
// A count of bytes in decimal units with one decimal from a thousand on:
// "512 bytes", "1.5 kB", "260.0 MB", "7.6 GB".
std::string byteSize(std::uint64_t bytes);

}  // namespace qel
