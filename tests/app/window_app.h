#pragma once
// The application of the tests that show the program's widgets on a real
// display with an OpenGL 4.0 core context.

#include <QApplication>
#include <functional>

class GLWidget;

namespace tltest {

// Sets the default surface format (OpenGL 4.0 core, a 24-bit depth
// buffer) and makes the application on the display, its pointer motions
// delivered unmerged as the program has them. Kept until the process ends:
// closing the display would unload the GL driver before the leak check.
QApplication* makeWindowApplication(int& argc, char** argv);

// Runs the event loop until the condition holds, for at most 60 s; whether
// it holds.
bool waitFor(const std::function<bool()>& condition);

// Shows the view widget as a top-level window, 400 x 300, past the view's
// start-up and without animation; whether its first frame was shown.
bool showPastStartup(GLWidget& widget);

}  // namespace tltest
