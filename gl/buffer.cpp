// The record buffer.
#include "gl/buffer.h"

#include <algorithm>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "gl/pbr.h"

namespace qel {

std::int32_t FILE_VERSION = 0;

namespace {

// Makes the bytes' capacity ready for n bytes. A large buffer asks for huge
// pages where the system offers them: a fresh buffer of a hundred megabytes
// otherwise spends more time in page faults than a synced write of it takes.
void reserveBytes(std::vector<std::uint8_t>& bytes, std::size_t n) {
    if (n <= bytes.capacity()) return;
    bytes.reserve(n);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t Huge = std::uintptr_t(2) << 20;
    if (bytes.capacity() < 4 * Huge) return;
    const auto from = (reinterpret_cast<std::uintptr_t>(bytes.data()) + Huge - 1) & ~(Huge - 1);
    const auto to = (reinterpret_cast<std::uintptr_t>(bytes.data()) + bytes.capacity()) & ~(Huge - 1);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);  // advice only
#endif
}

}  // namespace

buffer::buffer(std::vector<std::uint8_t> bytes) : room_(std::move(bytes)) {
    if (room_.size() > std::size_t(MaxSize)) {
        room_.clear();
        overflowed_ = true;
    }
    size_ = std::int32_t(room_.size());
}

buffer::buffer(const void* data, std::size_t n) { writeBytes(data, n); }

std::uint8_t* buffer::appendSlow(std::size_t n) {
    if (overflowed_ || n > std::size_t(MaxSize - spilled_ - size_)) {
        // Past the largest size a buffer may hold: the value is dropped and
        // the buffer remembers it, so a writer can refuse to save it.
        overflowed_ = true;
        return nullptr;
    }
    const std::size_t need = std::size_t(size_) + n;
    // The capacity at least doubles; the room inside it is opened a little
    // at a time, so that a bytes() between appends (which gives the room up)
    // costs little.
    if (need > room_.capacity())
        reserveBytes(room_, std::min(std::max(need, 2 * room_.capacity()), std::size_t(MaxSize)));
    room_.resize(std::min(room_.capacity(), need + 4096));
    std::uint8_t* p = room_.data() + size_;
    size_ = std::int32_t(need);
    return p;
}

void buffer::reserve(std::size_t n) {
    // n counts the spilled bytes too; only the rest needs memory.
    n = std::min(n, std::size_t(MaxSize));
    if (n > std::size_t(spilled_)) reserveBytes(room_, n - std::size_t(spilled_));
}

void buffer::writeVec2(const vec2& v) {
    if (std::uint8_t* p = append(8)) {
        storeF32(p, v.x);
        storeF32(p + 4, v.y);
    }
}

void buffer::writeMat4(const mat4& m) {
    if (std::uint8_t* p = append(64))
        for (int i = 0; i < 16; ++i) storeF32(p + 4 * i, m.m[i]);
}

void buffer::writePbr(const pbr& m) { m.DataWrite(*this); }

void buffer::writeBytes(const void* data, std::size_t n) {
    if (n == 0) return;
    if (std::uint8_t* p = append(n)) std::memcpy(p, data, n);
}

void buffer::writeBuffer(const buffer& other) {
    // Appending a buffer to itself: the first n bytes stay where append
    // leaves them.
    const std::size_t n = std::size_t(other.size_);
    const std::uint8_t* from = &other == this ? nullptr : other.data();
    std::uint8_t* p = n ? append(n) : nullptr;
    if (p) std::memcpy(p, from ? from : data(), n);
}

void buffer::writeRecord(std::uint32_t tag, const buffer& body) {
    writeU32(tag);
    writeU32(std::uint32_t(body.size_));
    writeBuffer(body);
}

std::int32_t buffer::beginRecord(std::uint32_t tag) {
    writeU32(tag);
    const std::int32_t at = spilled_ + size_;
    writeU32(0);
    return at;
}

void buffer::endRecord(std::int32_t lengthOffset) {
    patchU32(lengthOffset, std::uint32_t(spilled_ + size_ - lengthOffset - 4));
}

void buffer::patchU32(std::int32_t offset, std::uint32_t v) {
    if (offset >= spilled_ && offset <= spilled_ + size_ - 4) {
        storeU32(room_.data() + (offset - spilled_), v);
        return;
    }
    std::uint8_t bytes[4];
    storeU32(bytes, v);
    overwrite(offset, bytes, 4);
}

void buffer::overwrite(std::int32_t offset, const std::uint8_t* p, std::size_t n) {
    if (offset < 0 || n > std::size_t(spilled_ + size_) || std::size_t(offset) > std::size_t(spilled_ + size_) - n) {
        failed_ = true;
        return;
    }
    if (offset < spilled_) {
        const std::size_t out = std::min(n, std::size_t(spilled_ - offset));
        sink_->putAt(offset, p, out);
        p += out;
        n -= out;
        offset += std::int32_t(out);
    }
    if (n) std::memcpy(room_.data() + (offset - spilled_), p, n);
}

void buffer::spill() {
    if (!sink_ || size_ == 0) return;
    sink_->put(room_.data(), std::size_t(size_));
    spilled_ += size_;
    size_ = 0;
    cursor_ = 0;
}

const std::uint8_t* buffer::takeFailed() {
    cursor_ = size();
    failed_ = true;
    return nullptr;
}

vec2 buffer::readVec2() {
    const std::uint8_t* p = take(8);
    if (!p) return {};
    return {loadF32(p), loadF32(p + 4)};
}

mat4 buffer::readMat4() {
    const std::uint8_t* p = take(64);
    mat4 m;
    for (int i = 0; i < 16; ++i) m.m[i] = p ? loadF32(p + 4 * i) : 0.0f;
    return m;
}

pbr buffer::readPbr() { return pbr::Read(*this); }

bool buffer::readBytes(std::string& s, std::uint32_t n) {
    if (n == 0) return true;
    const std::uint8_t* p = take(n);
    if (!p) return false;
    s.append(reinterpret_cast<const char*>(p), n);
    return true;
}

bool buffer::readRecordHeader(std::uint32_t& tag, std::uint32_t& length) {
    const std::uint8_t* p = take(8);
    tag = p ? loadU32(p) : 0;
    length = p ? loadU32(p + 4) : 0;
    return p != nullptr;
}

void buffer::skip(std::int64_t n) { seek(std::int64_t(cursor_) + n); }

void buffer::seek(std::int64_t pos) {
    if (pos < 0) {
        cursor_ = 0;
        failed_ = true;
    } else if (pos > size()) {
        cursor_ = size();
        failed_ = true;
    } else {
        cursor_ = std::int32_t(pos);
    }
}

bool buffer::canRead(std::uint64_t count, std::uint32_t elementSize) const {
    const std::uint64_t left = std::uint64_t(remaining());
    if (elementSize == 0) return true;
    return count <= left / elementSize;
}

bool buffer::require(std::uint64_t count, std::uint32_t elementSize) {
    if (canRead(count, elementSize)) return true;
    cursor_ = size();
    failed_ = true;
    return false;
}

std::int32_t buffer::gap(std::size_t n) {
    const std::int32_t at = size();
    if (!sink_) return (append(n) || n == 0) ? at : -1;
    if (overflowed_ || n > std::size_t(MaxSize - spilled_ - size_)) {
        overflowed_ = true;
        return -1;
    }
    spill();
    sink_->skip(n);
    spilled_ += std::int32_t(n);
    return at;
}

void buffer::clear() {
    size_ = 0;
    spilled_ = 0;
    limit_ = -1;
    cursor_ = 0;
    failed_ = false;
    overflowed_ = false;
}

void buffer::resize(std::size_t n) {
    if (n > std::size_t(MaxSize)) {
        overflowed_ = true;
        return;
    }
    if (n > std::size_t(size_)) {
        const std::size_t old = std::size_t(size_);
        if (std::uint8_t* p = append(n - old)) std::memset(p, 0, n - old);
    } else {
        size_ = std::int32_t(n);
    }
    if (cursor_ > size()) cursor_ = size();
}

}  // namespace qel
