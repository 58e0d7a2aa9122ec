#pragma once
// GLWidget, the OpenGL widget in the middle of the main window. It owns the
// one view and gives it an OpenGL 4.0 core context; records Qt's mouse
// button, wheel and tablet events in qel::mouseRead and in the view's tablet
// fields, and every button and every key of its window going down or up and
// every pointer motion, in order, in qel::inputLatch (view/input_latch.h);
// runs the view's frame loop on a coarse 16 ms timer, also polling the
// cursor on every tick while no button is held (for the pointer outside the
// widget); shows each
// finished frame, or the last one again when Qt asks for a repaint without a
// new one; and keeps the main window's Undo and Redo actions in step with the
// view and its gesture lock in step with the hand (followGesture).
//
// Positions go to the view in device pixels: widget pixels times `scale`,
// 2 while the "Hi-res" action is on. A context older than 4.0, or one
// without the 4.0 core functions, ends the program with exit code 40 and one
// line on standard error.

#include <QOpenGLWidget>
#include <QPointF>
#include <QString>

class QAction;

namespace qel {
class GLView;
class Texture2D;
}  // namespace qel

class GLWidget : public QOpenGLWidget {
    Q_OBJECT

public:
    explicit GLWidget(QWidget* parent);
    GLWidget(const GLWidget&) = delete;
    GLWidget& operator=(const GLWidget&) = delete;
    // Deletes the view with the widget's context current.
    ~GLWidget() override;

    // Installs the text as the status tip, with its bars and double blanks
    // widened by tabs.
    void tip(QString text);
    // Changes the device pixels per widget pixel: the brush size, the camera
    // position and both clip planes follow the change, and the view takes
    // the new device size.
    void setScale(float s);
    // The cursor in device pixels as the position of qel::mouseRead, while
    // no button is held (a held button's motions all come as events).
    void setMousePos();
    // Signals setInAction when the gesture lock is to change. The lock is
    // on while the hand holds a button pressed in the view, from the press
    // on (before a frame has taken it): once the hand has let go of every
    // button (the release may still wait for slow frames) it is off, and
    // the commands given then take their place after the release. A
    // drawing, a gesture that goes on between its clicks without a button,
    // keeps it on through its clicks until the view has ended it. Called
    // after each frame and at each button event.
    void followGesture();
    // The window's commands whose input before them the frames have taken
    // run, oldest first: the tick's first step, outside the frame.
    void runCommands();
    // A command that may ask (open a dialog) waits, and the frames with it,
    // while the hand holds a button in the view and the view is idle at
    // its turn (a stroke begun after the command was given, a press that
    // started nothing): its dialog would open under the hand and take the
    // rest of its stroke. In a gesture it runs, and is refused.
    bool askingWaits() const;

    // Status tips: the general one, and the one of the Draw action.
    static const QString GeneralTip;
    static const QString DrawTip;
    static constexpr int FrameInterval = 16;  // ms

    QAction* undoAction = nullptr;  // not owned; set by the main window
    QAction* redoAction = nullptr;  // not owned; set by the main window
    qel::GLView* view;              // owned
    // The frame of the last frame-loop call (null when it drew nothing) and
    // the frame last shown; both belong to the view.
    qel::Texture2D* frame = nullptr;
    qel::Texture2D* lastFrame = nullptr;
    float scale = 1.0f;
    bool inAction = false;  // the gesture lock as last signalled
    int timerId = 0;

signals:
    // A gesture started (true) or ended (false) in the view.
    void setInAction(bool on);

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void tabletEvent(QTabletEvent* event) override;
    // Records the keys of the widget's window for the frames.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A tick is running: a command or a frame of it waits on a dialog,
    // whose event loop delivers the ticks that come meanwhile.
    bool ticking = false;
    // A drawing is under way in the view: a frame found its gesture going
    // on with no button held, and the view has not ended it since.
    bool drawing = false;
    // The cursor mapped into the widget, in device pixels.
    QPointF cursor() const;
    // A new position, the delta from the last one, and the button states of
    // a Qt button mask (bit 0 left, bit 1 right).
    void recordPointer(QPointF position, unsigned buttons);
    // Undo and Redo enabled as far as the view's history allows.
    void updateHistoryActions();
};
