#pragma once
// Two-dimensional texture arrays whose layers are image files, each scaled to
// the layer size when the array is compiled.

#include "gl/texture.h"

#include <string>
#include <vector>

namespace qel {

class Texture2DArray : public Texture {
public:
    Texture2DArray(int size, int layers, GLenum internal, GLenum format, GLenum type, GLenum wrap, GLenum filter);

    bool compile() override;
    void resize(int w, int h, int d);
    // Appends an image file as the next layer (put under the textures folder
    // when the flag is set and the path is not a resource). False when the
    // file cannot be read as an image.
    bool loadFile(const std::string& path, bool inTexturesFolder);
    // Reads a list of image files, one per line, relative to the textures
    // folder; empty lines and lines starting with '#' are skipped. False when
    // the list cannot be opened.
    bool loadFiles(const std::string& path, bool inTexturesFolder);

    const std::vector<std::string>& files() const { return files_; }

private:
    std::vector<std::string> files_;
};

}  // namespace qel
