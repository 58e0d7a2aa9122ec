// The undo history: at most historyLimit applied or undone records, oldest
// first; historyIndex is the last applied one (-1: nothing to undo).

#include <QString>
#include <algorithm>
#include <limits>

#include "view/act.h"
#include "view/glview.h"

namespace qel {

void GLView::pushAct(Act* record) {
    if (!record) return;
    // The undone records first, newest first: with the history full and
    // nearly all of it undone, trimming first would drop the one applied
    // record that remains for nothing.
    while (historyIndex + 1 < std::int32_t(undoHistory.size())) {
        delete undoHistory.back();
        undoHistory.pop_back();
    }
    const std::size_t limit = std::size_t(std::max(historyLimit, 1));
    while (undoHistory.size() >= limit) {
        delete undoHistory.front();
        undoHistory.erase(undoHistory.begin());
        historyIndex = std::max(historyIndex - 1, -1);
    }
    undoHistory.push_back(record);
    historyIndex = std::int32_t(undoHistory.size()) - 1;
}

void GLView::endHistory(const QString& step) {
    if (undoHistory.empty()) return;
    clearHistory();
    emit notice(step + " cannot be undone: it emptied the undo history.");
}

void GLView::UNDO() {
    if (!idle()) return;
    if (historyIndex >= 0 && std::size_t(historyIndex) < undoHistory.size()) {
        if (Act* record = undoHistory[std::size_t(historyIndex)]) record->apply();
        --historyIndex;
    }
    afterHistoryStep();
}

void GLView::REDO() {
    if (!idle()) return;
    historyIndex = std::max(historyIndex, -1);
    if (historyIndex + 1 < std::int32_t(undoHistory.size())) {
        ++historyIndex;
        if (Act* record = undoHistory[std::size_t(historyIndex)]) record->apply();
    }
    afterHistoryStep();
}

// The pick may name an object the step took away, so it goes, and with it
// the place the pickings last ran (a press where the pointer rests picks
// again first); the mode the user chose is in effect again at once (idle
// only while the pointer is outside the view), so that the next frame picks
// what lies under the pointer and a Control right click there opens that
// object's menu.
void GLView::afterHistoryStep() {
    pickBrush = ABrush();
    pickedAt = vec2(std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::quiet_NaN());
    actionMode = outside ? ModeIdle : selectedActionMode;
    redraw = 1;
}

}  // namespace qel
