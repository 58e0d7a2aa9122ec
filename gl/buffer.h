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
//
// Speed: a buffer keeps room beyond its bytes, so that appending a value is
// a bounds test and a store; a read is a bounds test and a load. A read
// limit (ReadLimit) lets a reader see one record of a file as if the buffer
// ended with it, without copying the record.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"

namespace qel {

struct pbr;

// Where a buffer hands the bytes its writers spill (buffer::spillTo): the
// file being written. Offsets count from the first byte ever handed on.
class BufferSink {
public:
    virtual ~BufferSink() = default;
    // Takes n bytes that follow those taken before.
    virtual void put(const std::uint8_t* p, std::size_t n) = 0;
    // Overwrites n bytes taken before, from offset `at` on.
    virtual void putAt(std::int64_t at, const std::uint8_t* p, std::size_t n) = 0;
    // Leaves n bytes to be overwritten later (putAt) and takes what follows
    // them.
    virtual void skip(std::size_t n) = 0;
};

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
    void writeU8(std::uint8_t v) {
        if (std::uint8_t* p = append(1)) *p = v;
    }
    void writeU16(std::uint16_t v) {
        if (std::uint8_t* p = append(2)) storeU16(p, v);
    }
    void writeI16(std::int16_t v) { writeU16(std::uint16_t(v)); }
    void writeU32(std::uint32_t v) {
        if (std::uint8_t* p = append(4)) storeU32(p, v);
    }
    void writeI32(std::int32_t v) { writeU32(std::uint32_t(v)); }
    void writeF32(float v) {
        if (std::uint8_t* p = append(4)) storeF32(p, v);
    }
    void writeVec2(const vec2& v);   // 2 f32
    void writeVec3(const vec3& v) {  // 3 f32
        if (std::uint8_t* p = append(12))
            for (int i = 0; i < 3; ++i) storeF32(p + 4 * i, v[i]);
    }
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
    // Overwrites n already written bytes from an offset on, spilled ones
    // included (no-op, flag set, when outside the bytes).
    void overwrite(std::int32_t offset, const std::uint8_t* p, std::size_t n);

    // ---- Spilling (writing a file larger than the memory it should take) ----
    // With a sink set, spill() hands every byte appended so far to it and
    // empties the memory (keeping its room). Offsets, size() and the largest
    // size count the spilled bytes too; patchU32 and overwrite reach them
    // through the sink; data() starts at offset spilled(). A spilling buffer
    // is for writing only. Without a sink spill() does nothing.
    void spillTo(BufferSink* sink) { sink_ = sink; }
    bool spills() const { return sink_ != nullptr; }
    void spill();
    // n bytes left for overwrite to fill, at the offset returned (-1, and the
    // buffer overflowed, past the largest size): with a sink, the bytes
    // before them are spilled and they take no memory; else they are
    // appended (their content not defined until then).
    std::int32_t gap(std::size_t n);
    // The number of bytes handed to the sink.
    std::int32_t spilled() const { return spilled_; }
    // n new bytes at the end for the caller to fill (their content is not
    // defined until then); null, and the buffer overflowed, when it would
    // grow past MaxSize. The pointer is valid until the next append.
    std::uint8_t* append(std::size_t n) {
        if (n > room_.size() - std::size_t(size_)) return appendSlow(n);
        std::uint8_t* p = room_.data() + size_;
        size_ += std::int32_t(n);
        return p;
    }

    // ---- Little-endian values at a pointer ----
    static void storeU16(std::uint8_t* p, std::uint16_t v) {
        p[0] = std::uint8_t(v);
        p[1] = std::uint8_t(v >> 8);
    }
    static void storeU32(std::uint8_t* p, std::uint32_t v) {
        p[0] = std::uint8_t(v);
        p[1] = std::uint8_t(v >> 8);
        p[2] = std::uint8_t(v >> 16);
        p[3] = std::uint8_t(v >> 24);
    }
    static void storeF32(std::uint8_t* p, float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        storeU32(p, u);
    }
    static std::uint16_t loadU16(const std::uint8_t* p) { return std::uint16_t(p[0] | (unsigned(p[1]) << 8)); }
    static std::uint32_t loadU32(const std::uint8_t* p) {
        return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
               (std::uint32_t(p[3]) << 24);
    }
    static float loadF32(const std::uint8_t* p) {
        const std::uint32_t u = loadU32(p);
        float f;
        std::memcpy(&f, &u, 4);
        return f;
    }

    // ---- Reading at the cursor ----
    std::uint8_t readU8() {
        const std::uint8_t* p = take(1);
        return p ? *p : 0;
    }
    std::uint16_t readU16() {
        const std::uint8_t* p = take(2);
        return p ? loadU16(p) : 0;
    }
    std::int16_t readI16() { return std::int16_t(readU16()); }
    std::uint32_t readU32() {
        const std::uint8_t* p = take(4);
        return p ? loadU32(p) : 0;
    }
    std::int32_t readI32() { return std::int32_t(readU32()); }
    float readF32() { return p32ToFloat(take(4)); }
    vec2 readVec2();
    vec3 readVec3() {
        const std::uint8_t* p = take(12);
        if (!p) return {};
        return {loadF32(p), loadF32(p + 4), loadF32(p + 8)};
    }
    mat4 readMat4();
    pbr readPbr();
    // Copies n bytes to dst; on a short buffer dst is zero-filled, the cursor
    // goes to the end, the flag is set and false is returned.
    bool readBytes(void* dst, std::uint32_t n) {
        if (n == 0) return true;
        const std::uint8_t* p = take(n);
        if (!p) {
            std::memset(dst, 0, n);
            return false;
        }
        std::memcpy(dst, p, n);
        return true;
    }
    // Appends n bytes at the cursor to s (nothing and flag set when fewer
    // remain; the cursor then goes to the end).
    bool readBytes(std::string& s, std::uint32_t n);
    // The n bytes at the cursor, advancing it, for readers that decode a
    // whole record at once; null (cursor at the end, flag set) when fewer
    // remain.
    const std::uint8_t* readSpan(std::uint32_t n) { return take(n); }
    // Reads a record header (u32 tag, u32 length); false when the 8 bytes are
    // not all there (the flag is then set).
    bool readRecordHeader(std::uint32_t& tag, std::uint32_t& length);

    // Adds n to the cursor (n may be negative); clamps into [0, size()] and
    // sets the flag when the result would fall outside.
    void skip(std::int64_t n);
    // Moves the cursor to pos; clamps into [0, size()] and sets the flag when
    // pos is outside.
    void seek(std::int64_t pos);

    // While it lives, reads end at `end` (within the bytes): every reader
    // sees the buffer as if it ended there (size(), remaining(), atEnd(),
    // seek and skip included). The previous limit comes back afterwards.
    class ReadLimit {
    public:
        ReadLimit(buffer& b, std::int32_t end) : b_(b), saved_(b.limit_) {
            b.limit_ = end < 0 ? 0 : (end < b.size() ? end : b.size());
        }
        ReadLimit(const ReadLimit&) = delete;
        ReadLimit& operator=(const ReadLimit&) = delete;
        ~ReadLimit() { b_.limit_ = saved_; }

    private:
        buffer& b_;
        std::int32_t saved_;
    };

    // ---- State ----
    // The number of bytes, or the read limit while one is set.
    std::int32_t size() const { return limit_ >= 0 ? limit_ : spilled_ + size_; }
    bool empty() const { return size() == 0; }
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

    // Drops all bytes, cursor 0, flag cleared (the memory is kept).
    void clear();
    // Makes room for appending up to n bytes in all (size() included)
    // without reallocating.
    void reserve(std::size_t n);
    // Grows (zero-filled) or shrinks the bytes; the cursor is kept within.
    void resize(std::size_t n);

    const std::uint8_t* data() const { return room_.data(); }
    std::uint8_t* data() { return room_.data(); }
    // The bytes as a vector (the room kept for appending is given up).
    const std::vector<std::uint8_t>& bytes() const {
        room_.resize(std::size_t(size_));
        return room_;
    }

private:
    // Pointer to n readable bytes at the cursor, advancing it; null (cursor at
    // the end, flag set) when fewer remain.
    const std::uint8_t* take(std::uint32_t n) {
        const std::int32_t end = size();
        if (cursor_ < 0 || cursor_ > end || std::uint32_t(end - cursor_) < n) return takeFailed();
        const std::uint8_t* p = room_.data() + cursor_;
        cursor_ += std::int32_t(n);
        return p;
    }
    const std::uint8_t* takeFailed();
    static float p32ToFloat(const std::uint8_t* p) { return p ? loadF32(p) : 0.0f; }
    // append when the room is too small.
    std::uint8_t* appendSlow(std::size_t n);

    // The bytes are room_[0, size_), after the spilled_ bytes handed to the
    // sink; the rest of room_ is room for appending. Mutable: bytes() gives
    // the room up.
    mutable std::vector<std::uint8_t> room_;
    std::int32_t size_ = 0;
    std::int32_t spilled_ = 0;
    BufferSink* sink_ = nullptr;
    std::int32_t limit_ = -1;  // read limit, -1 for none
    std::int32_t cursor_ = 0;
    bool failed_ = false;
    bool overflowed_ = false;
};

}  // namespace qel
