#pragma once
// The application of the tests that show the program's widgets on a real
// display with an OpenGL 4.0 core context.

#include <QApplication>

namespace tltest {

// Sets the default surface format (OpenGL 4.0 core, a 24-bit depth
// buffer) and makes the application on the display, its pointer motions
// delivered unmerged as the program has them. Kept until the process ends:
// closing the display would unload the GL driver before the leak check.
QApplication* makeWindowApplication(int& argc, char** argv);

}  // namespace tltest
