// Buffered text output of the Wavefront export: see export_stream.h.

#include "mesh/export_stream.h"

#include <charconv>
#include <ostream>

#include <QIODevice>

#include "core/vec.h"

namespace qel {

ExportStream::ExportStream(QIODevice& device) : device_(&device) { buffer_.reserve(Capacity); }

ExportStream::ExportStream(std::ostream& stream) : stream_(&stream) { buffer_.reserve(Capacity); }

void ExportStream::reserve(std::size_t n) {
    if (buffer_.size() + n > Capacity) flush();
}

ExportStream& ExportStream::text(std::string_view s) {
    reserve(s.size());
    buffer_.append(s.data(), s.size());
    return *this;
}

ExportStream& ExportStream::text(char c) {
    reserve(1);
    buffer_ += c;
    return *this;
}

ExportStream& ExportStream::number(float value) {
    char digits[32];
    const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value);
    return text(std::string_view(digits, std::size_t(r.ptr - digits)));
}

ExportStream& ExportStream::integer(std::int64_t value) {
    char digits[24];
    const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value);
    return text(std::string_view(digits, std::size_t(r.ptr - digits)));
}

ExportStream& ExportStream::vector(std::string_view prefix, const vec3& v) {
    text(prefix).number(v.x).text(' ').number(v.y).text(' ').number(v.z);
    return text('\n');
}

bool ExportStream::put(const char* p, std::size_t n) {
    if (stream_) return bool(stream_->write(p, std::streamsize(n)));
    qint64 left = qint64(n);
    while (left > 0) {
        const qint64 written = device_->write(p, left);
        if (written <= 0) return false;
        p += written;
        left -= written;
    }
    return true;
}

bool ExportStream::flush() {
    if (ok_ && !buffer_.empty()) ok_ = put(buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok_;
}

}  // namespace qel
