// Buffered text output of the Wavefront export: see export_stream.h.

#include "mesh/export_stream.h"

#include <ostream>

#include <QIODevice>

#include "core/vec.h"

namespace qel {

ExportStream::ExportStream(QIODevice& device) : device_(&device), buffer_(new char[Capacity]) {}

ExportStream::ExportStream(std::ostream& stream) : stream_(&stream), buffer_(new char[Capacity]) {}

ExportStream& ExportStream::longText(std::string_view s) {
    flush();
    if (s.size() <= Capacity) return text(s);
    if (ok_) ok_ = put(s.data(), s.size());
    return *this;
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
    if (ok_ && used_ > 0) ok_ = put(buffer_.get(), used_);
    used_ = 0;
    return ok_;
}

}  // namespace qel
