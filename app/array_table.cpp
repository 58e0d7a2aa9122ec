// The array's item-multiplicity table: words to text and back.

#include "app/array_table.h"

#include <QStringList>
#include <algorithm>

namespace qel {

std::int32_t arrayWord(int first, int second, int mark) {
    const auto number = [](int n) { return std::uint32_t(std::clamp(n, 0, ArrayNumberMax)); };
    const std::uint32_t word = number(second) | (number(first) << 15) | (std::uint32_t(mark & 3) << 30);
    return std::int32_t(word);
}

QString arrayTableText(const std::vector<std::int32_t>& words) {
    QStringList entries;
    for (const std::int32_t w : words) {
        const std::uint32_t word = std::uint32_t(w);
        const std::uint32_t mark = word >> 30;
        QString entry = QString::number((word >> 15) & 0x7FFF) + "-" + QString::number(word & 0x7FFF);
        if (mark == 1) entry.prepend('/');
        if (mark == 2) entry.append('/');
        entries << entry;
    }
    return entries.join(' ');
}

std::vector<std::int32_t> parseArrayTable(const QString& text) {
    std::vector<std::int32_t> words;
    for (QString part : text.split(' ', Qt::SkipEmptyParts)) {
        int mark = 0;
        if (part.startsWith('/')) {
            part.remove(0, 1);
            mark = 1;
        } else if (part.endsWith('/')) {
            part.chop(1);
            mark = 2;
        }
        const QStringList pieces = part.split('-', Qt::SkipEmptyParts);
        bool ok = false;
        const int first = pieces.isEmpty() ? 0 : pieces[0].toInt(&ok);
        if (!ok) continue;
        int second = pieces.size() > 1 ? pieces[1].toInt(&ok) : 1;
        if (!ok) second = 1;
        words.push_back(arrayWord(first, second, mark));
    }
    return words;
}

}  // namespace qel
