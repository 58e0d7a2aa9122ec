// Fuzz target of the texture record reader: the input is one texture record
// (tag, length, body) as embedded in sprite records. The record is read into
// a 2-D or 3-D texture by its tag without any GL context (the texture is
// never enabled), then written again and read back.

#include "gl/buffer.h"
#include "gl/texture2d.h"
#include "gl/texture3d.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// Images are looked up relative to the working directory; inputs that name
// absolute paths or climb out of it would make the target read device files
// and are not run.
bool safePath(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    return bytes.find("/dev") == std::string::npos && bytes.find("/proc") == std::string::npos &&
           bytes.find("..") == std::string::npos && (size < 13 || data[12] != '/');
}

std::unique_ptr<qel::Texture> readTexture(std::uint32_t tag, qel::buffer& body) {
    if (tag == qel::Texture3D::RecordTag) return std::make_unique<qel::Texture3D>(body);
    return std::make_unique<qel::Texture2D>(body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!safePath(data, size)) return 0;
    qel::buffer record(data, size);
    std::uint32_t tag = 0, length = 0;
    if (!record.readRecordHeader(tag, length)) return 0;
    const std::int32_t start = record.cursor();
    std::unique_ptr<qel::Texture> texture = readTexture(tag, record);
    if (record.cursor() < start || record.cursor() > record.size()) std::abort();
    if (record.failed() && !texture->loadError()) std::abort();

    // What was read is written back exactly and reads back the same path.
    qel::buffer copy;
    texture->DataWrite(copy);
    std::uint32_t copyTag = 0, copyLength = 0;
    if (!copy.readRecordHeader(copyTag, copyLength)) std::abort();
    if (copyLength != texture->path().size() + 4) std::abort();
    if (std::int32_t(copyLength) != copy.remaining()) std::abort();
    std::unique_ptr<qel::Texture> again = readTexture(copyTag, copy);
    if (again->path() != texture->path() || !copy.atEnd() || copy.failed()) std::abort();
    return 0;
}
