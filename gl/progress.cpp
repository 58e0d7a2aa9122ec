#include "gl/progress.h"

#include <QOpenGLWidget>
#include <QProgressBar>
#include <QString>

#include "gl/glatom.h"

namespace qel {

QPointer<QProgressBar> Progress::bar;

namespace {

// Releases the view's context for the lifetime of the object when asked to.
class ContextRelease {
public:
    explicit ContextRelease(bool release) : widget_(release ? GLAtom::screen : nullptr) {
        if (widget_) widget_->doneCurrent();
    }
    ~ContextRelease() {
        if (widget_) widget_->makeCurrent();
    }
    ContextRelease(const ContextRelease&) = delete;
    ContextRelease& operator=(const ContextRelease&) = delete;

private:
    QOpenGLWidget* widget_;
};

}  // namespace

void Progress::start(const QString& format, int steps, bool release) {
    if (!bar) return;
    ContextRelease context(release);
    bar->setFormat(format);
    bar->setRange(0, steps - 1);
    bar->setValue(0);
    bar->show();
}

void Progress::set(int value, bool release) {
    if (!bar) return;
    ContextRelease context(release);
    bar->setValue(value);
    if (value == bar->maximum()) bar->hide();
}

}  // namespace qel
