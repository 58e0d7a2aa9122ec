#pragma once
// The environment map of image-based lighting: an equirectangular panorama
// turned into a cube-map array whose layer 0 is the panorama as a cube and
// whose later layers are ever more blurred copies, each scaled back to the
// total brightness of layer 0. Construction is cheap and makes no GL call;
// compile builds the array on the GPU once, with the view's context current.

#include <memory>
#include <string>

namespace qel {

class TextureCubeArray;

class Environment {
public:
    // Keeps the panorama path (put under the environments folder when the
    // flag is set and the path is not a resource), the face edge in texels
    // and the number of layers, and creates the (not yet compiled) array.
    Environment(const std::string& path, int size, int levels, bool inEnvironmentsFolder);
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;
    // Releases the array, built or not.
    virtual ~Environment();

    // Builds every layer of the array; a second call returns true at once.
    // False, with nothing built, when the panorama cannot be read, the sizes
    // are not positive or the GPU textures cannot be created.
    bool compile();

    const std::string& path() const { return path_; }
    int size() const { return size_; }
    int levels() const { return levels_; }
    bool compiled() const { return compiled_ != 0; }
    // RGB8 cube-map array of `levels` layers of size x size faces.
    TextureCubeArray* array() const { return array_.get(); }

    // Six-face filter passes run before layer L is stored:
    // floor(L ln(L + 1) + 1).
    static int passes(int level);

private:
    std::string path_;
    unsigned char compiled_ = 0;
    int size_;
    int levels_;
    std::unique_ptr<TextureCubeArray> array_;
};

}  // namespace qel
