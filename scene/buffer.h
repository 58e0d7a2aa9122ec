#pragma once
// The record buffer qel::buffer and the global qel::FILE_VERSION.
//
// A growable vector of bytes with a 32-bit read cursor. Writers append the
// value's little-endian bytes at the end; readers take the bytes at the
// cursor and advance it. All sizes and offsets are 32-bit signed values; a
// buffer holds at most 2^31 - 1 bytes.
//
// Bounds: reads are checked. A read that needs more bytes than
// remain yields zeros for the whole value, leaves the cursor at the end and
// sets the failure flag (failed()). Skipping or seeking outside [0, size()]
// clamps the cursor into that range and sets the flag as well. Record readers
// test failed() and check counts with canRead() before allocating. The bytes
// that writers append are exactly the record layouts.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"

namespace qel {

struct pbr;

// Version of the file being read: 0 until a file is read; the scene reader
// sets it to 0 when it opens a file, then to the version word of the header.
extern std::int32_t FILE_VERSION;
// The version that writers always emit.
constexpr std::int32_t FILE_VERSION_WRITTEN = 20161026;

class buffer {
public:
    static constexpr std::int32_t MaxSize = 0x7FFFFFFF;

    buffer() = default;
    explicit buffer(std::vector<std::uint8_t> bytes);
    buffer(const void* data, std::size_t n);

    // ---- Appending (little-endian at the end of the bytes) ----
    void writeU8(std::uint8_t v);
    void writeU16(std::uint16_t v);
    void writeI16(std::int16_t v);
    void writeU32(std::uint32_t v);
    void writeI32(std::int32_t v);
    void writeF32(float v);
    void writeVec2(const vec2& v);   // 2 f32
    void writeVec3(const vec3& v);   // 3 f32
    void writeMat4(const mat4& m);   // 16 f32 in stored order (row by row)
    void writePbr(const pbr& m);     // the 20-byte material record
    void writeBytes(const void* data, std::size_t n);
    void writeBuffer(const buffer& other);  // appends all of other's bytes
    // Record framing: u32 tag, u32 body length, body.
    void writeRecord(std::uint32_t tag, const buffer& body);
    // In-place framing: beginRecord appends the tag and a length placeholder
    // and returns the offset of the placeholder; endRecord patches it with
    // the number of bytes appended since.
    std::int32_t beginRecord(std::uint32_t tag);
    void endRecord(std::int32_t lengthOffset);
    // Overwrites an already written u32 at an offset (no-op, flag set, when
    // outside the bytes).
    void patchU32(std::int32_t offset, std::uint32_t v);

    // ---- Reading at the cursor ----
    std::uint8_t readU8();
    std::uint16_t readU16();
    std::int16_t readI16();
    std::uint32_t readU32();
    std::int32_t readI32();
    float readF32();
    vec2 readVec2();
    vec3 readVec3();
    mat4 readMat4();
    pbr readPbr();
    // Copies n bytes to dst; on a short buffer dst is zero-filled, the cursor
    // goes to the end, the flag is set and false is returned.
    bool readBytes(void* dst, std::uint32_t n);
    // Appends n bytes at the cursor to s (nothing and flag set when fewer
    // remain; the cursor then goes to the end).
    bool readBytes(std::string& s, std::uint32_t n);
    // Reads a record header (u32 tag, u32 length); false when the 8 bytes are
    // not all there (the flag is then set).
    bool readRecordHeader(std::uint32_t& tag, std::uint32_t& length);

    // Adds n to the cursor (n may be negative); clamps into [0, size()] and
    // sets the flag when the result would fall outside.
    void skip(std::int64_t n);
    // Moves the cursor to pos; clamps into [0, size()] and sets the flag when
    // pos is outside.
    void seek(std::int64_t pos);

    // ---- State ----
    std::int32_t size() const { return std::int32_t(bytes_.size()); }
    bool empty() const { return bytes_.empty(); }
    std::int32_t cursor() const { return cursor_; }
    std::int32_t remaining() const { return cursor_ < size() ? size() - cursor_ : 0; }
    bool atEnd() const { return cursor_ >= size(); }
    bool failed() const { return failed_; }
    // True once a write was dropped because the buffer would have grown past
    // its largest size; such a buffer must not be saved.
    bool overflowed() const { return overflowed_; }
    void clearFailure() { failed_ = false; }
    // True when count items of elementSize bytes each fit in the remaining
    // bytes (computed without overflow). Check before allocating for a count
    // read from a record.
    bool canRead(std::uint64_t count, std::uint32_t elementSize) const;
    // canRead, and the failure flag set (cursor moved to the end) when false.
    bool require(std::uint64_t count, std::uint32_t elementSize);

    // Drops all bytes, cursor 0, flag cleared.
    void clear();
    void reserve(std::size_t n) { bytes_.reserve(n); }
    // Grows (zero-filled) or shrinks the bytes; the cursor is kept within.
    void resize(std::size_t n);

    const std::uint8_t* data() const { return bytes_.data(); }
    std::uint8_t* data() { return bytes_.data(); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    // Pointer to n readable bytes at the cursor, advancing it; null (cursor at
    // the end, flag set) when fewer remain.
    const std::uint8_t* take(std::uint32_t n);
    // Pointer to n new bytes appended at the end.
    std::uint8_t* grow(std::size_t n);

    std::vector<std::uint8_t> bytes_;
    std::int32_t cursor_ = 0;
    bool failed_ = false;
    bool overflowed_ = false;
};

}  // namespace qel
