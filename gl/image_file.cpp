#include "gl/image_file.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QString>

namespace qel {

ImageFile::Opener ImageFile::open = &ImageFile::openRegular;

std::unique_ptr<QIODevice> ImageFile::openRegular(const std::string& path) {
    if (path.empty()) return nullptr;
    const QString name = QString::fromUtf8(path.data(), int(path.size()));
    // The type is asked before opening: opening a pipe for reading waits for
    // a writer.
    if (!QFileInfo(name).isFile()) return nullptr;
    auto file = std::make_unique<QFile>(name);
    if (!file->open(QIODevice::ReadOnly)) return nullptr;
    // Swapped for a device between the question and the opening.
    if (file->isSequential()) return nullptr;
    return file;
}

std::unique_ptr<QIODevice> ImageFile::openNothing(const std::string&) { return nullptr; }

std::string ImageFile::identity(const std::string& path) {
    // A name with a zero byte would be cut short by the system.
    if (path.empty() || path[0] == ':' || path.find('\0') != std::string::npos) return std::string();
    // The name as openRegular hands it to the system.
    const QByteArray name = QFile::encodeName(QString::fromUtf8(path.data(), int(path.size())));
    struct stat s;
    if (::stat(name.constData(), &s) != 0 || !S_ISREG(s.st_mode)) return std::string();
    return std::to_string(s.st_dev) + ":" + std::to_string(s.st_ino);
}

}  // namespace qel
