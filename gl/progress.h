#pragma once
// The status-bar progress display of long GPU tasks. The bar is made by the
// main window; without it both calls do nothing. With the release flag set,
// the view widget's GL context is released while the bar is touched and made
// current again afterwards.

#include <QPointer>
#include <QProgressBar>

class QString;

namespace qel {

class Progress {
public:
    // Shows the bar with the format text, the range 0 .. steps - 1 and the
    // value 0.
    static void start(const QString& format, int steps, bool release);
    // Sets the value; the bar is hidden when the value reaches its maximum.
    static void set(int value, bool release);

    // Null once the bar is gone with the window that holds it.
    static QPointer<QProgressBar> bar;
};

}  // namespace qel
