#include "gl/image_file.h"

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

}  // namespace qel
