#pragma once
// qel::ExportStream: buffered text output of the Wavefront export onto a
// QIODevice (the export hands it a QSaveFile). Text collects in one buffer
// of fixed capacity that is written out whenever it fills, so a scene of
// any size streams through without per-line allocation. Numbers use the
// general format with six significant digits, indices plain decimal.
//
// A failed write is remembered: the stream stops writing and ok() turns
// false, so the caller decides once, at the end, whether to keep the file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class QIODevice;

namespace qel {

struct vec3;

class ExportStream {
public:
    // Bytes collected before they are written to the device.
    static constexpr std::size_t Capacity = std::size_t(1) << 20;

    explicit ExportStream(QIODevice& device);
    ExportStream(const ExportStream&) = delete;
    ExportStream& operator=(const ExportStream&) = delete;

    ExportStream& text(std::string_view s);
    ExportStream& text(char c);
    // Six significant digits, "%g" style.
    ExportStream& number(double value);
    ExportStream& integer(std::int64_t value);
    // prefix, then the three components separated by spaces, then '\n'.
    ExportStream& vector(std::string_view prefix, const vec3& v);

    // Writes the collected text to the device; false when any write failed.
    bool flush();
    bool ok() const { return ok_; }

private:
    // Makes room for n more bytes, writing the buffer out when needed.
    void reserve(std::size_t n);

    QIODevice& device_;
    std::string buffer_;
    bool ok_ = true;
};

}  // namespace qel
