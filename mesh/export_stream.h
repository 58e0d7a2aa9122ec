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

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <memory>
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

    // The text goes straight into the buffer; a text longer than the
    // buffer is written through.
    ExportStream& text(std::string_view s) {
        if (s.size() > Capacity - used_) return longText(s);
        std::memcpy(buffer_.get() + used_, s.data(), s.size());
        used_ += s.size();
        return *this;
    }
    ExportStream& text(char c) {
        reserve(1);
        buffer_[used_++] = c;
        return *this;
    }
    // The shortest text that reads back to exactly this float.
    ExportStream& number(float value) {
        reserve(MaxNumber);
        used_ = std::size_t(std::to_chars(at(), at() + MaxNumber, value).ptr - buffer_.get());
        return *this;
    }
    ExportStream& integer(std::int64_t value) {
        reserve(MaxNumber);
        used_ = std::size_t(std::to_chars(at(), at() + MaxNumber, value).ptr - buffer_.get());
        return *this;
    }
    // prefix, then the three components separated by spaces, then '\n'.
    ExportStream& vector(std::string_view prefix, const vec3& v);

    // Writes the collected text to the device; false when any write failed.
    bool flush();
    bool ok() const { return ok_; }

private:
    // Room for any float or 64-bit integer.
    static constexpr std::size_t MaxNumber = 32;

    char* at() { return buffer_.get() + used_; }
    // Makes room for n more bytes (n at most Capacity), writing the buffer
    // out when needed.
    void reserve(std::size_t n) {
        if (n > Capacity - used_) flush();
    }
    // A text that does not fit: the buffer, then the text, written out.
    ExportStream& longText(std::string_view s);

    // Writes n bytes to the device or stream; false when that failed.
    bool put(const char* p, std::size_t n);

    QIODevice* device_ = nullptr;
    std::ostream* stream_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    bool ok_ = true;
};

}  // namespace qel
