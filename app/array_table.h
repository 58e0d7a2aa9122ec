#pragma once
// The item-multiplicity table of an array as the user types it. One word per
// entry: bits 30-31 the slash mark (0 none, 1 a slash before the entry, 2 a
// slash after it), bits 15-29 the first number, bits 0-14 the second. The
// text form is the entries separated by one space, each "first-second" with
// the slash in front or behind; the default word 32769 reads "1-1".

#include <QString>
#include <cstdint>
#include <vector>

namespace qel {

// The largest number an entry holds; larger ones are clamped to it.
constexpr int ArrayNumberMax = 32767;

std::int32_t arrayWord(int first, int second, int mark);
QString arrayTableText(const std::vector<std::int32_t>& words);
// The words of the text, in order. Parts without a leading number are
// skipped; a missing or unreadable second number reads as 1. An empty
// result means the text held no entry.
std::vector<std::int32_t> parseArrayTable(const QString& text);

}  // namespace qel
