#include "gl/texture2darray.h"

#include "gl/glerror.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <QStringList>

namespace qel {

Texture2DArray::Texture2DArray(int size, int layers, GLenum internal, GLenum format, GLenum type, GLenum wrap,
                               GLenum filter)
    : Texture(internal, format, type, wrap, filter) {
    size_ = {size, size, layers};
}

void Texture2DArray::resize(int w, int h, int d) { setSize({w, h, d}); }

bool Texture2DArray::loadFile(const std::string& path, bool inTexturesFolder) {
    const std::string file = prefixedPath(path, inTexturesFolder, TexturesFolder);
    QImageReader reader(QString::fromUtf8(file.c_str()));
    if (!reader.canRead()) {
        glReportError("ERROR Texture2DArray::loadFile " + file);
        return false;
    }
    files_.push_back(file);
    setSize({width(), height(), int(files_.size())});
    return true;
}

bool Texture2DArray::loadFiles(const std::string& path, bool inTexturesFolder) {
    const std::string list = prefixedPath(path, inTexturesFolder, TexturesFolder);
    QFile file(QString::fromUtf8(list.c_str()));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        glReportError("ERROR Texture2DArray::loadFiles " + list);
        return false;
    }
    QString text = QString::fromUtf8(file.readAll());
    text.replace('\r', '\n');
    const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        if (line.startsWith('#')) continue;
        loadFile(std::string(TexturesFolder) + line.toStdString(), false);
    }
    return true;
}

bool Texture2DArray::compile() {
    if (compiled_) return true;
    if (!gl) return false;
    glClearErrors();
    target_ = GL_TEXTURE_2D_ARRAY;
    bindName();
    const int w = width(), h = height(), d = depth();
    gl->glTexImage3D(target_, 0, GLint(internal_), w, h, d, 0, format_, type_, nullptr);
    gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    for (int i = 0; i < int(files_.size()) && i < d; ++i) {
        const std::string& file = files_[std::size_t(i)];
        QImage image(QString::fromUtf8(file.c_str()));
        if (image.isNull()) {
            glReportError("ERROR Texture2DArray::compile " + file);
            continue;
        }
        // Smooth scaling may change the pixel format, so the layout is fixed
        // after it.
        image = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_RGB888);
        if (image.width() != w || image.height() != h) continue;
        // The layer is described by its own layout (8-bit RGB rows aligned to
        // four bytes); GL converts it to the internal format.
        gl->glTexSubImage3D(target_, 0, 0, 0, i, w, h, 1, GL_RGB, GL_UNSIGNED_BYTE, image.constBits());
    }
    return finishCompile("ERROR Texture2DArray::compile", false);
}

}  // namespace qel
