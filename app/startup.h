#pragma once
// Start-up messages. Until the application object exists, Qt's messages are
// held back: when Qt cannot open the display it ends the process with a
// fatal message (and a core dump); here that becomes one line on standard
// error saying that Tessilor needs a graphical display, naming the display it
// tried, and a plain exit with NoDisplayExitCode. Once the application is
// made, the held messages are passed on and Qt's default handling returns.

#include <string>

namespace qel {

constexpr int NoDisplayExitCode = 2;

// The line printed when no display can be opened.
std::string noDisplayMessage();

// Installs the holding handler; call before the application is made.
void holdStartupMessages();
// Passes the held messages to Qt's default handler and restores it.
void releaseStartupMessages();

// Every pointer motion the window system delivers reaches the widgets, also
// while a slow frame keeps the GUI thread busy: Qt's X11 platform otherwise
// merges the motions that queue up meanwhile into one, and a quick stroke
// loses its path. The application object turns the merging on while it is
// made, so this is called after it exists.
void deliverEveryMotion();

// The default surface of every window: an OpenGL 4.0 core-profile context
// with a 24-bit depth buffer. Called before the first window is made.
void setSurfaceFormat();

}  // namespace qel
