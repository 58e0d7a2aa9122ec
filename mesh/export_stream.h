#pragma once
// qel::ExportStream: buffered text output of the Wavefront export onto a
// QIODevice (the scene export hands it a QSaveFile) or a standard output
// stream. Text collects in one buffer of fixed capacity that is written out
// whenever it fills, so a scene of any size streams through without
// per-line allocation. Floats are written in their shortest form that reads
// back to the same float; indices in plain decimal.
//
// A failed write is remembered: the stream stops writing and ok() turns
// false, so the caller decides once, at the end, whether to keep the file.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
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
    explicit ExportStream(std::ostream& stream);
    ExportStream(const ExportStream&) = delete;
    ExportStream& operator=(const ExportStream&) = delete;

    ExportStream& text(std::string_view s);
    ExportStream& text(char c);
    // The shortest text that reads back to exactly this float.
    ExportStream& number(float value);
    ExportStream& integer(std::int64_t value);
    // prefix, then the three components separated by spaces, then '\n'.
    ExportStream& vector(std::string_view prefix, const vec3& v);

    // Writes the collected text to the device; false when any write failed.
    bool flush();
    bool ok() const { return ok_; }

private:
    // Makes room for n more bytes, writing the buffer out when needed.
    void reserve(std::size_t n);

    // Writes n bytes to the device or stream; false when that failed.
    bool put(const char* p, std::size_t n);

    QIODevice* device_ = nullptr;
    std::ostream* stream_ = nullptr;
    std::string buffer_;
    bool ok_ = true;
};

}  // namespace qel
