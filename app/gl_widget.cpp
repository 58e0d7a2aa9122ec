#include "app/gl_widget.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QStatusTipEvent>
#include <QTabletEvent>
#include <QWheelEvent>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/dialog_asker.h"
#include "core/strings.h"
#include "gl/filters.h"
#include "gl/gl.h"
#include "gl/glatom.h"
#include "gl/shader.h"
#include "view/act.h"
#include "view/camera.h"
#include "view/glview.h"
#include "view/input_latch.h"
#include "view/keyboard.h"
#include "view/mouse.h"

const QString GLWidget::GeneralTip = "mR (pan)  mR+L (rotate)  mW (zoom)  Ctrl+mR (menu)";
const QString GLWidget::DrawTip =
    "mR (pan)  mR+L (rotate)  mW (zoom)  Ctrl+mR (menu) |Alt (arc)  Shift (sharp)  Ctrl (Bezier) "
    "|BkSp (erase last point)  Enter (finish)  Esc (cancel)";

namespace {

// Without OpenGL 4.0 the program cannot draw at all: it says why on standard
// error and ends with exit code 40.
[[noreturn]] void refuse(const std::string& message) {
    qel::logmsg(message);
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    std::exit(40);
}

}  // namespace

// The view starts at the widget's size: the scale is 1 until Hi-res.
GLWidget::GLWidget(QWidget* parent) : QOpenGLWidget(parent), view(new qel::GLView(width(), height())) {
    qel::logmsg("TESSILOR LOG FILE", true);
    qel::logmsg("_________________");
    qel::logmsg("");
    qel::logmsg("");
    // The view asks the user through the shell's dialogs.
    view->asker = qel::DialogAsker::Standard();
    setAttribute(Qt::WA_MouseTracking);
    setFocusPolicy(Qt::StrongFocus);
    setUpdateBehavior(QOpenGLWidget::NoPartialUpdate);
    tip(GeneralTip);
    // The new view takes no input recorded for another.
    qel::inputLatch.clear();
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

GLWidget::~GLWidget() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
    frame = nullptr;
    lastFrame = nullptr;
    // The view's framebuffers, buffers and textures are names of this
    // widget's context: they are deleted with it current (nothing happens
    // when the context was never made).
    makeCurrent();
    delete view;
    view = nullptr;
    doneCurrent();
    // The function table dies with the context.
    if (qel::GLAtom::screen == this) {
        qel::GLAtom::screen = nullptr;
        gl = nullptr;
    }
}

void GLWidget::tip(QString text) {
    text.replace("|", "\t \t \t \t | \t \t \t \t");
    text.replace("  ", " \t \t ");
    if (text == statusTip()) return;
    setStatusTip(text);
    // The status bar takes a widget's tip when the pointer enters it: a tip
    // that changes while the pointer rests on the view (a mode or an action
    // chosen by key) is shown at once.
    if (underMouse()) {
        QStatusTipEvent shown(text);
        QCoreApplication::sendEvent(this, &shown);
    }
}

void GLWidget::setScale(float s) {
    const float ratio = s / scale;
    scale = s;
    view->brushSize *= ratio;
    view->camera->position = view->camera->position * ratio;
    view->nearPlane *= ratio;
    view->farPlane *= ratio;
    resizeGL(width(), height());
}

void GLWidget::setMousePos() {
    // While a button is held every motion reaches this widget, in order, even
    // outside it; the cursor polled now may be past motions the window
    // system has not delivered yet, and the gesture would jump ahead of them
    // and back.
    if (qel::mouseRead.left || qel::mouseRead.right) return;
    qel::mouseRead.position = qel::vec2(float(cursor().x()), float(cursor().y()));
}

QPointF GLWidget::cursor() const { return QPointF(mapFromGlobal(QCursor::pos())) * double(scale); }

void GLWidget::recordPointer(QPointF position, unsigned buttons) {
    qel::recordButtons(qel::vec2(float(position.x()), float(position.y())), buttons);
}

// Every key going down in this widget's window, whichever widget has the
// focus, and every key going up in any window of the program (a popup menu
// or a dialog takes the release of a key pressed over the view), in the
// order the keys moved, each with its physical key (a release under Shift
// has another symbol than its press); a key held down repeats nothing. A
// window that loses the keyboard may miss a release, and one that regains it
// has missed the presses meanwhile: every key reads as polled until its
// next change.
bool GLWidget::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        const auto* target = qobject_cast<const QWidget*>(watched);
        const auto* key = static_cast<const QKeyEvent*>(event);
        const bool ours = type == QEvent::KeyRelease || (target && target->window() == window());
        if (target && ours && !key->isAutoRepeat())
            qel::inputLatch.key(qel::Keyboard::code(key->key()), type == QEvent::KeyPress, key->nativeScanCode());
    } else if ((type == QEvent::WindowDeactivate || type == QEvent::WindowActivate) && watched == window()) {
        qel::inputLatch.forgetKeys();
    }
    return QOpenGLWidget::eventFilter(watched, event);
}

void GLWidget::initializeGL() {
    const QSurfaceFormat format = context()->format();
    if (format.majorVersion() < 4) {
        refuse("OpenGL 4.0 not supported (found " + std::to_string(format.majorVersion()) + "." +
               std::to_string(format.minorVersion()) + ")");
    }
    auto* functions = context()->versionFunctions<QOpenGLFunctions_4_0_Core>();
    if (!functions || !functions->initializeOpenGLFunctions()) refuse("OpenGL 4.0 core functions are missing");
    gl = functions;
    qel::GLAtom::screen = this;
    timerId = startTimer(FrameInterval, Qt::CoarseTimer);
}

// A tick that comes while an earlier one waits on a dialog does nothing: the
// frames wait with it, so that no input given after a command is taken
// before the command has run.
void GLWidget::timerEvent(QTimerEvent*) {
    if (ticking) return;
    ticking = true;
    // The window's commands whose input before them the frames have taken
    // (a Save given right after a release) run first, outside the frame: a
    // dialog of theirs opens with no frame under way.
    runCommands();
    setMousePos();
    makeCurrent();
    frame = view->MainLoop();
    doneCurrent();
    if (frame) update();
    updateHistoryActions();
    followGesture();
    ticking = false;
}

bool GLWidget::askingWaits() const { return (qel::mouseRead.left || qel::mouseRead.right) && view->idle(); }

void GLWidget::runCommands() { qel::inputLatch.runCommands(askingWaits()); }

void GLWidget::followGesture() {
    const bool handHolds = qel::mouseRead.left || qel::mouseRead.right;
    const bool framesHold = qel::mouse.left || qel::mouse.right;
    if (view->idle())
        drawing = false;
    else if (!framesHold)
        drawing = true;
    const bool acting = handHolds || drawing;
    if (acting == inAction) return;
    inAction = acting;
    emit setInAction(acting);
}

void GLWidget::updateHistoryActions() {
    const int size = int(view->undoHistory.size());
    const int index = view->historyIndex;
    if (undoAction) undoAction->setEnabled(size > 0 && index >= 0);
    if (redoAction) redoAction->setEnabled(index + 1 < size);
}

void GLWidget::paintGL() {
    killTimer(timerId);
    const qel::wvec4& b = view->background;
    gl->glClearColor(b.r / 65535.0f, b.g / 65535.0f, b.b / 65535.0f, 1.0f);
    gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    qel::Texture2D* shown = frame ? frame : lastFrame;
    if (shown) {
        frame = nullptr;
        qel::GLMirrorVertical(shown, nullptr);
        qel::Shader::id = 0;
        gl->glUseProgram(0);
        lastFrame = shown;
    }
    // The drawing keys are told only while Assembly draws: Sculpt keeps the
    // assembly action chosen before it, Draw among them.
    const bool drawing =
        view->selectedActionMode == qel::GLView::ModeAssembly && view->iassemblyAction() == qel::GLView::ActionDraw;
    tip(drawing ? DrawTip : GeneralTip);
    timerId = startTimer(FrameInterval, Qt::CoarseTimer);
}

void GLWidget::resizeGL(int w, int h) {
    killTimer(timerId);
    view->hiDpi = scale != 1.0f;
    // Without a button held the cursor is recorded with both buttons up. A
    // button the hand holds stays held (a window manager's resize during a
    // stroke, Hi-res chosen by key) and the pointer stays where its own
    // events put it: recording it up would end the stroke in the view's
    // input, and its release then ends nothing.
    if (!qel::mouseRead.left && !qel::mouseRead.right) recordPointer(cursor(), 0);
    const int deviceWidth = int(float(w) * scale), deviceHeight = int(float(h) * scale);
    // Before the context exists only the size is taken; initializeGL starts
    // the frames.
    if (!isValid()) {
        view->resize(deviceWidth, deviceHeight);
        return;
    }
    makeCurrent();
    view->resize(deviceWidth, deviceHeight);
    if (!ticking) frame = view->MainLoop();
    doneCurrent();
    timerId = startTimer(FrameInterval, Qt::CoarseTimer);
}

// The gesture lock follows the buttons as the hand moves them, not as the
// frames have taken them.
void GLWidget::mousePressEvent(QMouseEvent* event) {
    recordPointer(QPointF(event->pos()) * double(scale), unsigned(event->buttons()));
    followGesture();
}

void GLWidget::mouseReleaseEvent(QMouseEvent* event) {
    recordPointer(QPointF(event->pos()) * double(scale), unsigned(event->buttons()));
    followGesture();
}

// Every motion, with mouse tracking on also those without a button held.
void GLWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPointF position = QPointF(event->pos()) * double(scale);
    qel::recordMotion(qel::vec2(float(position.x()), float(position.y())));
}

void GLWidget::wheelEvent(QWheelEvent* event) {
    // The vertical turn, or the horizontal one when that is the larger, in
    // eighths of a degree; a pressed pen zooms the other way.
    const QPoint turn = event->angleDelta();
    const int delta = std::abs(turn.x()) > std::abs(turn.y()) ? turn.x() : turn.y();
    qel::mouseRead.wheel = float(view->tabletState == 2 ? -delta : delta);
}

// The view's own handling of the pointer crossing its border (the pointer
// flag, the key reset, the effective modes) belongs to its interaction
// layer; here the pointer is recorded with both buttons up. While a button
// is held over the view no crossing reaches it (the widget that took the
// press has the pointer until its release, and the crossing comes after
// that), except when a popup or a modal window opens under the hand: that
// window takes the release, which this widget never sees.
void GLWidget::enterEvent(QEvent*) {
    view->enterEvent();
    recordPointer(cursor(), 0);
}

void GLWidget::leaveEvent(QEvent*) {
    view->leaveEvent();
    recordPointer(cursor(), 0);
}

void GLWidget::tabletEvent(QTabletEvent* event) {
    const auto setPressure = [this](float p) {
        if (view->pressureSize) view->pressure = p;
    };
    switch (event->type()) {
        case QEvent::TabletMove:
            setPressure(float(event->pressure()));
            break;
        case QEvent::TabletPress:
            view->tabletState = 2;
            setPressure(float(event->pressure()));
            break;
        case QEvent::TabletRelease:
        case QEvent::TabletEnterProximity:
            view->tabletState = 1;
            setPressure(0.0f);
            break;
        case QEvent::TabletLeaveProximity:
            view->tabletState = 0;
            setPressure(1.0f);
            break;
        default:
            break;
    }
    event->accept();
}
