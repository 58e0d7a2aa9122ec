#pragma once
// The finished environment map kept on disk, so that a later start loads it
// instead of prefiltering the panorama again. A cache file holds every layer
// of one environment (all six faces of every level, RGB8) and names what it
// was built from: a key made of the panorama's bytes and the filter settings
// (face edge, level count and the version of the filter). A file that is
// damaged, cut short or made from anything else is refused as a whole; it is
// then built again and replaced.
//
// File layout, little-endian: the eight bytes "TLENVMAP", u32 layout version,
// u32 face edge, u32 level count, the 32-byte key, u64 payload length, the
// SHA-256 of the payload (32 bytes), then the payload: the layers in order,
// each the faces +X .. -Z of edge x edge texels of three bytes.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qel {

class EnvironmentCache {
public:
    using Key = std::array<std::uint8_t, 32>;

    // The key of a panorama's bytes prefiltered to `levels` layers of faces of
    // edge `size`.
    static Key key(const QByteArray& panorama, int size, int levels);
    // Bytes of one whole environment: levels x 6 x size x size x 3; 0 when
    // the sizes are not positive or too large to hold.
    static std::size_t payloadBytes(int size, int levels);

    // The file's bytes for the layers (exactly payloadBytes long).
    static QByteArray encode(const Key& key, int size, int levels, const std::vector<std::uint8_t>& layers);
    // True, with `layers` filled, only for a complete, intact file of exactly
    // this key, edge and level count; `layers` is untouched otherwise.
    static bool decode(const std::uint8_t* data, std::size_t length, const Key& key, int size, int levels,
                       std::vector<std::uint8_t>& layers);

    // The cache file of a key in the folder.
    static QString fileName(const QString& folder, const Key& key);
    // Reads the key's file from the folder; false (nothing read) when there
    // is none or decode refuses it.
    static bool load(const QString& folder, const Key& key, int size, int levels, std::vector<std::uint8_t>& layers);
    // Writes the key's file into the folder (made when missing) through a
    // temporary file renamed into place, so that no reader ever sees a
    // partial file. False when it cannot be written.
    static bool store(const QString& folder, const Key& key, int size, int levels,
                      const std::vector<std::uint8_t>& layers);

    // How many environments a folder keeps: a store removes the files beyond
    // the newest Kept (a load makes its file the newest), so that changing
    // panoramas or settings does not fill the disk.
    static constexpr int Kept = 4;
    static void prune(const QString& folder);
};

}  // namespace qel
