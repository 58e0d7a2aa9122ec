#pragma once
// The log-message sink, the modal information box and the small
// text conversions (byte-wise case, CamelCase to words, hexadecimal text).

#include <string>

namespace qel {

// Discards the message. The flag is true only for the first header line of
// the log ("TESSILOR LOG FILE"); every other caller passes false.
void logmsg(std::string const& message, bool header = false);

// A modal Qt information box without parent, titled "Tessilor", with the
// UTF-8 message as text and a single OK button (no default button). Returns
// when the user closes it. Needs a QApplication.
void information(std::string const& message);

// Each byte through the C library's toupper / tolower (as unsigned char, so
// bytes of UTF-8 sequences pass unchanged); the length stays.
std::string toUpper(std::string const& s);
std::string toLower(std::string const& s);

// A space before every byte after the first that toupper leaves unchanged:
// "CounterAlign" -> "Counter Align", "ABC" -> "A B C", "x2" -> "x 2".
std::string toSpaceMaj(std::string const& s);

// Lower-case hexadecimal without prefix or leading zeros ("0", "ff").
std::string INT_HEX(unsigned int value);
// Stream extraction of a hexadecimal unsigned int: leading white space
// skipped, digits of either case up to the first other character; 0 when the
// text holds no number.
unsigned int HEX_INT(std::string const& text);

}  // namespace qel
