// Fuzz target of the reader of prefiltered environment files: the first two
// input bytes choose the face edge (1 to 4) and the level count (1 to 4) the
// reader expects, the rest is the file. A refused file leaves the layers
// empty; an accepted one holds exactly the layers of those settings and is
// written back byte for byte.

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gl/environment_cache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int edge = 1 + data[0] % 4, levels = 1 + data[1] % 4;
    const qel::EnvironmentCache::Key key = qel::EnvironmentCache::key(QByteArray("fuzz"), edge, levels);
    std::vector<std::uint8_t> layers;
    const std::uint8_t* file = data + 2;
    const std::size_t length = size - 2;
    if (!qel::EnvironmentCache::decode(file, length, key, edge, levels, layers)) {
        if (!layers.empty()) std::abort();
        return 0;
    }
    if (layers.size() != qel::EnvironmentCache::payloadBytes(edge, levels)) std::abort();
    const QByteArray again = qel::EnvironmentCache::encode(key, edge, levels, layers);
    if (std::size_t(again.size()) != length || std::memcmp(again.constData(), file, length) != 0) std::abort();
    return 0;
}
