// Fuzz target of the image readers: the input is an image file's bytes
// (an animated GIF, a PNG, a JPG, ...), read as the 3-D texture of an
// animated sprite and as the 2-D texture of a sprite under a decode limit
// of 64 MB. A reader sizes the image from its header before decoding, so
// it must stay within the limit, and what it keeps must agree with the size
// it reports.

#include "gl/image_file.h"
#include "gl/texture2d.h"
#include "gl/texture3d.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

const std::uint8_t* inputData = nullptr;
std::size_t inputSize = 0;

// Every path opens the input.
std::unique_ptr<QIODevice> openInput(const std::string&) {
    auto device = std::make_unique<QBuffer>();
    device->setData(reinterpret_cast<const char*>(inputData), int(inputSize));
    if (!device->open(QIODevice::ReadOnly)) return nullptr;
    return device;
}

constexpr std::size_t Limit = std::size_t(64) << 20;

// A loaded texture holds exactly its size's pixels, within the limit.
void check(const qel::Texture& t, std::size_t bytesPerTexel) {
    if (t.loadError()) {
        if (!t.pixels().empty()) std::abort();
        return;
    }
    if (t.pixels().size() > Limit || std::size_t(t.byteCount()) != t.pixels().size()) std::abort();
    std::size_t texels = 1;
    for (int n : t.size()) {
        if (n <= 0) std::abort();
        texels *= std::size_t(n);
    }
    // Rows are aligned to four bytes: at least the texels' bytes, less than
    // four more a row.
    if (t.pixels().size() < texels * bytesPerTexel) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (std::size_t(1) << 20)) return 0;
    inputData = data;
    inputSize = size;
    qel::ImageFile::open = &openInput;
    const qel::Texture3D animation("input", false, Limit);
    check(animation, 4);
    const qel::Texture2D still("input", false, Limit);
    check(still, still.format() == GL_RGBA ? 4 : 3);
    return 0;
}
