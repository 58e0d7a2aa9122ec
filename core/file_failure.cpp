// Why a file could not be read or written: see file_failure.h.

#include "core/file_failure.h"

#include <unistd.h>

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QString>

namespace qel {

namespace {

std::string shown(const QString& path) { return QDir::toNativeSeparators(path).toStdString(); }

// The errno of a check that the user may write at path, 0 when it passes.
int writeAccessError(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0 ? 0 : errno;
}

}  // namespace

std::string deviceFailure(const QFileDevice& device) {
    if (device.error() == QFileDevice::NoError) return std::string();
    QString text = device.errorString();
    if (text.isEmpty() || text == "Unknown error") return std::string();
    // "No space left on device" reads on after a colon as "no space ...".
    if (text.size() > 1 && text[1].isLower()) text[0] = text[0].toLower();
    return text.toStdString();
}

std::string writeRefusal(const std::string& what, int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return what + " may not be written (permission denied)";
        case EROFS:
            return what + " is on a read-only file system";
        default:
            return std::string();
    }
}

std::string writeFailure(const std::string& path, const QFileDevice* device) {
    if (path.empty()) return "no file name was given";
    const QFileInfo file(QString::fromStdString(path));
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists()) return "there is no folder " + shown(folder.absoluteFilePath());
    if (!folder.isDir()) return shown(folder.absoluteFilePath()) + " is not a folder";
    if (file.isDir()) return "it names a folder";
    const std::string folderRefused = writeRefusal("the folder " + shown(folder.absoluteFilePath()),
                                                   writeAccessError(folder.absoluteFilePath()));
    if (!folderRefused.empty()) return folderRefused;
    if (file.exists()) {
        const std::string fileRefused = writeRefusal("the file", writeAccessError(file.absoluteFilePath()));
        if (!fileRefused.empty()) return fileRefused;
    }
    const std::string system = device ? deviceFailure(*device) : std::string();
    return system.empty() ? "the system refused to write it" : system;
}

std::string readFailure(const std::string& path) {
    const QFileInfo file(QString::fromStdString(path));
    if (!file.exists()) {
        const QFileInfo folder(file.absolutePath());
        return folder.isDir() ? "there is no such file" : "there is no folder " + shown(folder.absoluteFilePath());
    }
    if (file.isDir()) return "it is a folder";
    if (!file.isReadable()) return "it may not be read (permission denied)";
    return std::string();
}

}  // namespace qel
