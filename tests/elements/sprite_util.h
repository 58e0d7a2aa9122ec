#pragma once
// Image files for the sprite tests: PNGs written by Qt and animated GIFs
// written here (Qt reads GIFs but cannot write them).

#include <QImage>
#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

namespace spritetest {

// Saves the image in the folder under the name (format by the name's
// extension); returns the path.
std::string save(const QTemporaryDir& dir, const std::string& name, const QImage& image);
// A w x h image filled with one colour.
QImage filled(int w, int h, QColor colour, QImage::Format format = QImage::Format_ARGB32);
// An animated GIF of `frames` frames of w x h, frame k filled with palette
// entry k % 4 (red, green, blue, white), each shown for `delayCs`
// hundredths of a second; saved in the folder under the name.
std::string saveGif(const QTemporaryDir& dir, const std::string& name, int w, int h, int frames, int delayCs);

}  // namespace spritetest
