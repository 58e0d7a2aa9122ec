// String helpers and the message sink.

#include "core/strings.h"

#include <QMessageBox>
#include <QString>

#include <cctype>
#include <ios>
#include <sstream>

namespace qel {

void logmsg(std::string const& /*message*/, bool /*header*/) {}

void information(std::string const& message) {
    QMessageBox::information(nullptr, QStringLiteral("Tessilor"), QString::fromStdString(message), QMessageBox::Ok,
                             QMessageBox::NoButton);
}

std::string toUpper(std::string const& s) {
    std::string r(s.size(), '\0');
    for (std::size_t i = 0; i < s.size(); ++i) r[i] = char(std::toupper(static_cast<unsigned char>(s[i])));
    return r;
}

std::string toLower(std::string const& s) {
    std::string r(s.size(), '\0');
    for (std::size_t i = 0; i < s.size(); ++i) r[i] = char(std::tolower(static_cast<unsigned char>(s[i])));
    return r;
}

std::string toSpaceMaj(std::string const& s) {
    std::string r;
    r.reserve(s.size() * 2);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (i > 0 && std::toupper(c) == c) r += ' ';
        r += s[i];
    }
    return r;
}

std::string INT_HEX(unsigned int value) {
    std::ostringstream out;
    out << std::hex << value;
    return out.str();
}

unsigned int HEX_INT(std::string const& text) {
    std::istringstream in(text);
    unsigned int value = 0;
    in >> std::hex >> value;
    return value;
}

}  // namespace qel
