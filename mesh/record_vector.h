#pragma once
// qel::RecordVector<T, Shift>: the container of the mesh's vertex and face
// records. A segmented vector: records live in fixed blocks of
// 2^Shift entries that are never moved or reallocated, so a reference or
// pointer to a record stays valid while records are appended (only the small
// table of block pointers grows). Indexing is one shift, one mask and two
// loads; appending is amortised constant time.
//
// Records are expected to be plain (trivially copyable, no heap members);
// copying a container copies whole blocks with memcpy. Shrinking (resize to a
// smaller count, pop_back, clear) keeps the records in front untouched.

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace qel {

// Memory for the blocks of a large container: regions of ChunkBytes mapped
// on their own, so that a chunk freed goes back to the system at once and
// the heap is not cut into pieces it can seldom reuse. No huge pages are
// asked for: a page of a chunk is resident only once a record on it is
// written, so a list of any size holds about what its records take.
constexpr std::size_t ChunkBytes = std::size_t(1) << 21;
// A chunk whose every page is to be written at once (a copy, a list
// reserved to its size) is backed whole when mapped: one call instead of a
// fault per page. backed tells whether the chunk's pages are backed
// already: mapped so, or kept from a freed list.
void* allocateChunk(bool written, bool& backed);
// Backs the pages under [first, first + bytes), about to be written, in
// one call instead of a fault per page.
void backPages(void* first, std::size_t bytes);
// A chunk freed goes back to the system, or is kept for the next
// allocations while a few are (a mesh freed and another made at once reuse
// pages already backed).
void freeChunk(void* chunk);
// Gives the chunks kept back to the system.
void releaseKeptChunks();

// Whether the blocks are laid side by side in chunks. Under the address
// sanitizer each block is allocated on its own, so that a read or write
// that runs past a block meets the sanitizer's guard instead of the next
// block.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool RecordChunks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool RecordChunks = false;
#else
constexpr bool RecordChunks = true;
#endif
#else
constexpr bool RecordChunks = true;
#endif

template <class T, unsigned Shift = 10>
class RecordVector {
    static_assert(std::is_trivially_copyable<T>::value, "RecordVector holds plain records");
    static_assert(std::is_trivially_destructible<T>::value, "RecordVector holds plain records");
    static_assert(Shift >= 1 && Shift <= 20, "block size out of range");

public:
    using value_type = T;
    using size_type = std::size_t;
    using difference_type = std::ptrdiff_t;
    using reference = T&;
    using const_reference = const T&;

    static constexpr size_type BlockShift = Shift;
    static constexpr size_type BlockSize = size_type(1) << Shift;
    static constexpr size_type BlockMask = BlockSize - 1;

    RecordVector() = default;
    RecordVector(const RecordVector& o) { copyFrom(o); }
    RecordVector(RecordVector&& o) noexcept
        : blocks_(std::move(o.blocks_)), size_(o.size_), chunkBacked_(o.chunkBacked_) {
        o.blocks_.clear();
        o.size_ = 0;
    }
    RecordVector& operator=(const RecordVector& o) {
        if (this != &o) {
            // Reuse the blocks already held, so that a reassignment does not
            // reallocate; then copy record ranges block by block.
            reserve(o.size_);
            copyRecords(o);
            size_ = o.size_;
            trimBlocks();
        }
        return *this;
    }
    RecordVector& operator=(RecordVector&& o) noexcept {
        if (this != &o) {
            release();
            blocks_ = std::move(o.blocks_);
            size_ = o.size_;
            chunkBacked_ = o.chunkBacked_;
            o.blocks_.clear();
            o.size_ = 0;
        }
        return *this;
    }
    ~RecordVector() { release(); }

    size_type size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // Records that fit without allocating a new block.
    size_type capacity() const { return blocks_.size() << Shift; }

    T& operator[](size_type i) {
        assert(i < size_);
        return blocks_[i >> Shift][i & BlockMask];
    }
    const T& operator[](size_type i) const {
        assert(i < size_);
        return blocks_[i >> Shift][i & BlockMask];
    }
    T& front() { return (*this)[0]; }
    const T& front() const { return (*this)[0]; }
    T& back() { return (*this)[size_ - 1]; }
    const T& back() const { return (*this)[size_ - 1]; }

    // Appends a copy of r and returns a reference to the new record. r may be
    // a record of this container: it is copied before the container grows.
    T& push_back(const T& r) {
        const T copy = r;
        T* slot = grow();
        return *::new (static_cast<void*>(slot)) T(copy);
    }
    template <class... A>
    T& emplace_back(A&&... args) {
        T value(std::forward<A>(args)...);
        T* slot = grow();
        return *::new (static_cast<void*>(slot)) T(value);
    }
    void pop_back() {
        assert(size_ > 0);
        --size_;
    }

    // Makes room for n records without moving any existing record.
    void reserve(size_type n) {
        const size_type need = (n + BlockMask) >> Shift;
        if (need > blocks_.size()) {
            blocks_.reserve(need);
            while (blocks_.size() < need) blocks_.push_back(allocateBlock(n));
        }
    }
    // Shrinks to n records (the first n stay untouched; whole blocks past the
    // end are freed) or grows with copies of value.
    void resize(size_type n, const T& value = T()) {
        if (n <= size_) {
            size_ = n;
            trimBlocks();
            return;
        }
        const T copy = value;
        reserve(n);
        for (size_type i = size_; i < n; ++i) ::new (static_cast<void*>(&slot(i))) T(copy);
        size_ = n;
    }
    // Empties the container and frees its blocks.
    void clear() { release(); }
    // Frees blocks past the last record.
    void shrink_to_fit() { trimBlocks(); blocks_.shrink_to_fit(); }

    void swap(RecordVector& o) noexcept {
        blocks_.swap(o.blocks_);
        std::swap(size_, o.size_);
        std::swap(chunkBacked_, o.chunkBacked_);
    }

    // Random-access iterators (records are not contiguous across blocks).
    template <bool Const>
    class Iter {
        using Owner = typename std::conditional<Const, const RecordVector, RecordVector>::type;

    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = typename std::conditional<Const, const T*, T*>::type;
        using reference = typename std::conditional<Const, const T&, T&>::type;

        Iter() = default;
        Iter(Owner* o, size_type i) : o_(o), i_(i) {}
        template <bool C = Const, class = typename std::enable_if<C>::type>
        Iter(const Iter<false>& it) : o_(it.owner()), i_(it.index()) {}

        reference operator*() const { return (*o_)[i_]; }
        pointer operator->() const { return &(*o_)[i_]; }
        reference operator[](difference_type d) const { return (*o_)[i_ + d]; }
        Iter& operator++() { ++i_; return *this; }
        Iter operator++(int) { Iter t = *this; ++i_; return t; }
        Iter& operator--() { --i_; return *this; }
        Iter operator--(int) { Iter t = *this; --i_; return t; }
        Iter& operator+=(difference_type d) { i_ += d; return *this; }
        Iter& operator-=(difference_type d) { i_ -= d; return *this; }
        friend Iter operator+(Iter a, difference_type d) { return a += d; }
        friend Iter operator+(difference_type d, Iter a) { return a += d; }
        friend Iter operator-(Iter a, difference_type d) { return a -= d; }
        friend difference_type operator-(const Iter& a, const Iter& b) {
            return difference_type(a.i_) - difference_type(b.i_);
        }
        friend bool operator==(const Iter& a, const Iter& b) { return a.i_ == b.i_; }
        friend bool operator!=(const Iter& a, const Iter& b) { return a.i_ != b.i_; }
        friend bool operator<(const Iter& a, const Iter& b) { return a.i_ < b.i_; }
        friend bool operator>(const Iter& a, const Iter& b) { return a.i_ > b.i_; }
        friend bool operator<=(const Iter& a, const Iter& b) { return a.i_ <= b.i_; }
        friend bool operator>=(const Iter& a, const Iter& b) { return a.i_ >= b.i_; }

        Owner* owner() const { return o_; }
        size_type index() const { return i_; }

    private:
        Owner* o_ = nullptr;
        size_type i_ = 0;
    };
    using iterator = Iter<false>;
    using const_iterator = Iter<true>;

    iterator begin() { return iterator(this, 0); }
    iterator end() { return iterator(this, size_); }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size_); }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }

    // Record i and the records after it in the same block: returns a pointer
    // to record i and sets n to how many records (i included) lie there
    // contiguously, up to the end of the block or of the container.
    T* contiguous(size_type i, size_type& n) {
        assert(i < size_);
        n = std::min(BlockSize - (i & BlockMask), size_ - i);
        return blocks_[i >> Shift] + (i & BlockMask);
    }
    const T* contiguous(size_type i, size_type& n) const {
        assert(i < size_);
        n = std::min(BlockSize - (i & BlockMask), size_ - i);
        return blocks_[i >> Shift] + (i & BlockMask);
    }

    // Calls fn(record) for records [from, to) block by block (no per-record
    // index arithmetic); for whole-mesh passes.
    template <class Fn>
    void forRange(size_type from, size_type to, Fn&& fn) {
        forRangeImpl(*this, from, to, fn);
    }
    template <class Fn>
    void forRange(size_type from, size_type to, Fn&& fn) const {
        forRangeImpl(*this, from, to, fn);
    }

private:
    // The first blocks are allocated one by one; past them (a large
    // container) the blocks are laid side by side in chunks, a chunk
    // allocated with the first block it holds and freed with it.
    // Blocks are added and freed at the end only, so that a block's place
    // in its chunk follows from its index.
    static constexpr size_type SmallBlocks = 16;
    static constexpr size_type BlockBytes = BlockSize * sizeof(T);
    static constexpr size_type PerChunk = RecordChunks && BlockBytes <= ChunkBytes ? ChunkBytes / BlockBytes : 0;
    static constexpr size_type Align = alignof(T) < 16 ? 16 : alignof(T);

    // The place in its chunk of block b; PerChunk when it has none.
    static size_type inChunk(size_type b) { return b < SmallBlocks || PerChunk == 0 ? PerChunk : (b - SmallBlocks) % PerChunk; }

    // Chunks past this many are backed whole as they are mapped, also when
    // the container grows record by record: its last chunk, the only one
    // not written whole, is then a small part of what it holds.
    static constexpr size_type BackedAfter = 32;

    // A block for index blocks_.size(), in a container about to hold
    // `filling` records (0 when it grows record by record).
    T* allocateBlock(size_type filling = 0) {
        const size_type b = blocks_.size(), k = inChunk(b);
        if (k == PerChunk) return static_cast<T*>(::operator new(BlockBytes, std::align_val_t(Align)));
        if (k > 0) return blocks_[b - k] + k * BlockSize;
        const bool written = ((b + PerChunk) << Shift) <= filling || b >= SmallBlocks + BackedAfter * PerChunk;
        return static_cast<T*>(allocateChunk(written, chunkBacked_));
    }
    // A block for a container that grows record by record into it from its
    // first record on. Past the first chunk its pages are backed in one
    // call as it is taken, not a fault per page as records reach them: the
    // unwritten rest of the last block, all that this backs beyond the
    // records, is then one block of the more than SmallBlocks + PerChunk
    // the container holds.
    T* allocateGrowingBlock() {
        const size_type b = blocks_.size();
        T* const block = allocateBlock();
        if (PerChunk != 0 && b >= SmallBlocks + PerChunk && !chunkBacked_) backPages(block, BlockBytes);
        return block;
    }
    // Frees the last block.
    void freeLastBlock() {
        const size_type k = inChunk(blocks_.size() - 1);
        if (k == PerChunk)
            ::operator delete(static_cast<void*>(blocks_.back()), std::align_val_t(Align));
        else if (k == 0) {
            freeChunk(blocks_.back());
            chunkBacked_ = false;  // unknown for the chunk before
        }
        blocks_.pop_back();
    }
    T& slot(size_type i) { return blocks_[i >> Shift][i & BlockMask]; }

    T* grow() {
        if ((size_ & BlockMask) == 0 && (size_ >> Shift) == blocks_.size()) blocks_.push_back(allocateGrowingBlock());
        T* s = &slot(size_);
        ++size_;
        return s;
    }
    void release() {
        while (!blocks_.empty()) freeLastBlock();
        size_ = 0;
    }
    void trimBlocks() {
        const size_type need = (size_ + BlockMask) >> Shift;
        while (blocks_.size() > need) freeLastBlock();
    }
    void copyFrom(const RecordVector& o) {
        reserve(o.size_);
        copyRecords(o);
        size_ = o.size_;
    }
    // Copies o's records into the (reserved) blocks of this container.
    void copyRecords(const RecordVector& o) {
        size_type left = o.size_;
        for (size_type b = 0; left > 0; ++b) {
            const size_type n = std::min(left, BlockSize);
            std::memcpy(static_cast<void*>(blocks_[b]), static_cast<const void*>(o.blocks_[b]), n * sizeof(T));
            left -= n;
        }
    }
    template <class Self, class Fn>
    static void forRangeImpl(Self& self, size_type from, size_type to, Fn& fn) {
        if (to > self.size_) to = self.size_;
        while (from < to) {
            auto* block = self.blocks_[from >> Shift];
            size_type i = from & BlockMask;
            const size_type end = std::min(BlockSize, i + (to - from));
            for (; i < end; ++i, ++from) fn(block[i]);
        }
    }

    std::vector<T*> blocks_;
    size_type size_ = 0;
    // Whether the pages of the last chunk taken are all backed already.
    bool chunkBacked_ = false;
};

}  // namespace qel
