#include "app/startup.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QSurfaceFormat>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace qel {

namespace {

// The context's strings are literals of the code that logged.
struct HeldMessage {
    QtMsgType type;
    const char* file;
    int line;
    const char* function;
    const char* category;
    QString text;
};

std::vector<HeldMessage>& held() {
    static std::vector<HeldMessage> messages;
    return messages;
}

QtMessageHandler previousHandler = nullptr;

void holdMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        const std::string line = noDisplayMessage();
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
        std::_Exit(NoDisplayExitCode);
    }
    held().push_back({type, context.file, context.line, context.function, context.category, text});
}

}  // namespace

std::string noDisplayMessage() {
    const QByteArray x11 = qgetenv("DISPLAY");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    std::string tried;
    if (!x11.isEmpty()) tried = "DISPLAY=" + x11.toStdString();
    if (!wayland.isEmpty()) tried += (tried.empty() ? "" : ", ") + ("WAYLAND_DISPLAY=" + wayland.toStdString());
    if (tried.empty()) tried = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    return "Tessilor needs a graphical display, and none could be opened (" + tried + ").";
}

void holdStartupMessages() { previousHandler = qInstallMessageHandler(holdMessage); }

void releaseStartupMessages() {
    qInstallMessageHandler(previousHandler);
    std::vector<HeldMessage> messages = std::move(held());
    held().clear();
    for (const HeldMessage& m : messages)
        qt_message_output(m.type, QMessageLogContext(m.file, m.line, m.function, m.category), m.text);
}

void deliverEveryMotion() { QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, false); }

void setSurfaceFormat() {
    QSurfaceFormat format;
    format.setDepthBufferSize(24);
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(4, 0);
    format.setProfile(QSurfaceFormat::CoreProfile);
    QSurfaceFormat::setDefaultFormat(format);
}

}  // namespace qel
