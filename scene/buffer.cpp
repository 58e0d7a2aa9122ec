// The record buffer.
#include "scene/buffer.h"

#include <cstring>

#include "scene/pbr.h"

namespace qel {

std::int32_t FILE_VERSION = 0;

namespace {

inline void putU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
inline void putU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}
inline std::uint16_t getU16(const std::uint8_t* p) { return std::uint16_t(p[0] | (unsigned(p[1]) << 8)); }
inline std::uint32_t getU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
inline std::uint32_t floatBits(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}
inline float bitsFloat(std::uint32_t u) {
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

}  // namespace

buffer::buffer(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {
    if (bytes_.size() > std::size_t(MaxSize)) {
        bytes_.clear();
        overflowed_ = true;
    }
}

buffer::buffer(const void* data, std::size_t n) { writeBytes(data, n); }

std::uint8_t* buffer::grow(std::size_t n) {
    const std::size_t old = bytes_.size();
    if (overflowed_ || n > std::size_t(MaxSize) - old) {
        // Past the largest size a buffer may hold: the value is dropped and
        // the buffer remembers it, so a writer can refuse to save it.
        overflowed_ = true;
        return nullptr;
    }
    bytes_.resize(old + n);
    return bytes_.data() + old;
}

void buffer::writeU8(std::uint8_t v) {
    if (std::uint8_t* p = grow(1)) *p = v;
}
void buffer::writeU16(std::uint16_t v) {
    if (std::uint8_t* p = grow(2)) putU16(p, v);
}
void buffer::writeI16(std::int16_t v) {
    if (std::uint8_t* p = grow(2)) putU16(p, std::uint16_t(v));
}
void buffer::writeU32(std::uint32_t v) {
    if (std::uint8_t* p = grow(4)) putU32(p, v);
}
void buffer::writeI32(std::int32_t v) {
    if (std::uint8_t* p = grow(4)) putU32(p, std::uint32_t(v));
}
void buffer::writeF32(float v) {
    if (std::uint8_t* p = grow(4)) putU32(p, floatBits(v));
}

void buffer::writeVec2(const vec2& v) {
    std::uint8_t* p = grow(8);
    if (!p) return;
    putU32(p, floatBits(v.x));
    putU32(p + 4, floatBits(v.y));
}

void buffer::writeVec3(const vec3& v) {
    std::uint8_t* p = grow(12);
    if (!p) return;
    for (int i = 0; i < 3; ++i) putU32(p + 4 * i, floatBits(v[i]));
}

void buffer::writeMat4(const mat4& m) {
    std::uint8_t* p = grow(64);
    if (!p) return;
    for (int i = 0; i < 16; ++i) putU32(p + 4 * i, floatBits(m.m[i]));
}

void buffer::writePbr(const pbr& m) { m.DataWrite(*this); }

void buffer::writeBytes(const void* data, std::size_t n) {
    if (n == 0) return;
    if (std::uint8_t* p = grow(n)) std::memcpy(p, data, n);
}

void buffer::writeBuffer(const buffer& other) {
    if (&other == this) {
        const std::vector<std::uint8_t> copy = bytes_;
        writeBytes(copy.data(), copy.size());
    } else {
        writeBytes(other.bytes_.data(), other.bytes_.size());
    }
}

void buffer::writeRecord(std::uint32_t tag, const buffer& body) {
    writeU32(tag);
    writeU32(std::uint32_t(body.size()));
    writeBuffer(body);
}

std::int32_t buffer::beginRecord(std::uint32_t tag) {
    writeU32(tag);
    const std::int32_t at = size();
    writeU32(0);
    return at;
}

void buffer::endRecord(std::int32_t lengthOffset) {
    patchU32(lengthOffset, std::uint32_t(size() - lengthOffset - 4));
}

void buffer::patchU32(std::int32_t offset, std::uint32_t v) {
    if (offset < 0 || offset > size() - 4) {
        failed_ = true;
        return;
    }
    putU32(bytes_.data() + offset, v);
}

const std::uint8_t* buffer::take(std::uint32_t n) {
    if (cursor_ < 0 || cursor_ > size()) cursor_ = size();
    if (std::uint32_t(size() - cursor_) < n) {
        cursor_ = size();
        failed_ = true;
        return nullptr;
    }
    const std::uint8_t* p = bytes_.data() + cursor_;
    cursor_ += std::int32_t(n);
    return p;
}

std::uint8_t buffer::readU8() {
    const std::uint8_t* p = take(1);
    return p ? *p : 0;
}
std::uint16_t buffer::readU16() {
    const std::uint8_t* p = take(2);
    return p ? getU16(p) : 0;
}
std::int16_t buffer::readI16() { return std::int16_t(readU16()); }
std::uint32_t buffer::readU32() {
    const std::uint8_t* p = take(4);
    return p ? getU32(p) : 0;
}
std::int32_t buffer::readI32() { return std::int32_t(readU32()); }
float buffer::readF32() { return bitsFloat(readU32()); }

vec2 buffer::readVec2() {
    const std::uint8_t* p = take(8);
    if (!p) return {};
    return {bitsFloat(getU32(p)), bitsFloat(getU32(p + 4))};
}

vec3 buffer::readVec3() {
    const std::uint8_t* p = take(12);
    if (!p) return {};
    return {bitsFloat(getU32(p)), bitsFloat(getU32(p + 4)), bitsFloat(getU32(p + 8))};
}

mat4 buffer::readMat4() {
    const std::uint8_t* p = take(64);
    mat4 m;
    if (!p) {
        for (float& f : m.m) f = 0.0f;
        return m;
    }
    for (int i = 0; i < 16; ++i) m.m[i] = bitsFloat(getU32(p + 4 * i));
    return m;
}

pbr buffer::readPbr() { return pbr::Read(*this); }

bool buffer::readBytes(void* dst, std::uint32_t n) {
    if (n == 0) return true;
    const std::uint8_t* p = take(n);
    if (!p) {
        std::memset(dst, 0, n);
        return false;
    }
    std::memcpy(dst, p, n);
    return true;
}

bool buffer::readBytes(std::string& s, std::uint32_t n) {
    if (n == 0) return true;
    const std::uint8_t* p = take(n);
    if (!p) return false;
    s.append(reinterpret_cast<const char*>(p), n);
    return true;
}

bool buffer::readRecordHeader(std::uint32_t& tag, std::uint32_t& length) {
    const std::uint8_t* p = take(8);
    if (!p) {
        tag = 0;
        length = 0;
        return false;
    }
    tag = getU32(p);
    length = getU32(p + 4);
    return true;
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

void buffer::clear() {
    bytes_.clear();
    cursor_ = 0;
    failed_ = false;
    overflowed_ = false;
}

void buffer::resize(std::size_t n) {
    if (n > std::size_t(MaxSize)) {
        overflowed_ = true;
        return;
    }
    bytes_.resize(n);
    if (cursor_ > size()) cursor_ = size();
}

}  // namespace qel
