#include "view/assemblor.h"

namespace qel {

Assemblor::Assemblor(const ABrush& stamp, bool single) {
    if (single) {
        stamps.push_back(stamp);
        return;
    }
    state = Started;
    addStroke(stamp);
}

Assemblor::~Assemblor() {
    while (!strokes.empty()) strokes.pop_back();
}

void Assemblor::addStroke(const ABrush& stamp) {
    strokes.emplace_back();
    AStroke& stroke = strokes.back();
    stroke.begin();
    stroke.stamps.push_back(stamp);
}

std::size_t Assemblor::strokeStamps() const {
    std::size_t n = 0;
    for (const AStroke& s : strokes) n += s.stamps.size();
    return n;
}

}  // namespace qel
