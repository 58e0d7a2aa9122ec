#pragma once
// The environment map of image-based lighting: an equirectangular panorama
// turned into a cube-map array whose layer 0 is the panorama as a cube and
// whose later layers are ever more blurred copies, each scaled back to the
// total brightness of layer 0. Construction is cheap and makes no GL call;
// compile builds the array on the GPU once, with the view's context current,
// or build does the same work a share at a time between frames.
//
// With a cache folder set, a finished build is kept there (EnvironmentCache)
// and a later environment of the same panorama bytes, edge and level count
// loads it in its first step instead of filtering again.

#include <array>
#include <cstdint>
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

    // Builds every layer of the array (or what a build under way has left),
    // with the view widget's repaints off; a second call returns true at
    // once. False, with nothing built, when the panorama cannot be read, the
    // sizes are not positive or the GPU textures cannot be created.
    bool compile();

    enum class Build { Running, Done, Failed };
    // Builds a share of the array, so that frames go on between the shares:
    // at least one step (reading the panorama, storing one layer or one
    // filter pass), then further steps until about budgetMs milliseconds
    // have passed (no limit when negative). The steps are those of compile
    // in the same order, so the array comes out the same; the GL state the
    // steps change is put back before the call returns. Done once the array
    // is complete; Failed, with the work so far dropped, where compile
    // fails.
    Build build(double budgetMs);

    const std::string& path() const { return path_; }
    int size() const { return size_; }
    int levels() const { return levels_; }
    bool compiled() const { return compiled_ != 0; }
    // A build was begun by build() and has not ended: the array is partly
    // filled.
    bool building() const { return work_ != nullptr; }
    // RGB8 cube-map array of `levels` layers of size x size faces.
    TextureCubeArray* array() const { return array_.get(); }

    // Six-face filter passes run before layer L is stored:
    // floor(L ln(L + 1) + 1).
    static int passes(int level);

    // Where finished environments are kept (UTF-8); empty, the default, keeps
    // none. The program sets the user's cache folder at start-up.
    static std::string CacheFolder;

    // The array came from the cache folder rather than from a build.
    bool fromCache() const { return fromCache_; }

private:
    struct Work;  // the build under way
    // One step of the build; false when it fails.
    bool step();
    // The first step: the layers from the cache folder when it holds this
    // environment, else the panorama read into the work cubes.
    bool begin();
    // Fills the array from the cache file of the panorama's key; false when
    // there is no usable file.
    bool loadCached(const std::array<std::uint8_t, 32>& key);

    std::string path_;
    unsigned char compiled_ = 0;
    bool fromCache_ = false;
    int size_;
    int levels_;
    std::unique_ptr<TextureCubeArray> array_;
    std::unique_ptr<Work> work_;
};

}  // namespace qel
