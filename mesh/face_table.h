#pragma once
// qel::FaceTable: the corners, links and flags of a mesh's faces as flat
// arrays. The rebuild (Mesh::initialize) makes it while it matches edges,
// and its later passes read it instead of the face records (136 bytes a
// face, of which they need 25) for as long as no face is turned over or
// re-marked. The links reach the records in one of those passes, or before
// the first walk that needs them there (Mesh::writeLinks).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "mesh/mesh_records.h"

namespace qel {

// A flat array of plain values whose storage is left uninitialised (the
// passes write every entry they read) unless cleared on request.
template <class T>
class FlatArray {
public:
    void allocate(std::size_t n) {
        data_.reset(new T[std::max<std::size_t>(n, 1)]);
        size_ = n;
    }
    void allocateZeroed(std::size_t n) {
        data_.reset(new T[std::max<std::size_t>(n, 1)]());
        size_ = n;
    }
    void reset() {
        data_.reset();
        size_ = 0;
    }
    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }

private:
    std::unique_ptr<T[]> data_;
    std::size_t size_ = 0;
};

struct FaceTable {
    FlatArray<std::int32_t> corners;  // v[0..2] per face; all -1 for an inactive face
    FlatArray<std::int32_t> links;    // f[0..2] per face (set for active faces)
    FlatArray<std::uint8_t> flags;    // per face, its flags (sharp bits 0-2)
    FlatArray<std::int32_t> spare;    // 3 entries per face of storage no longer in use
    bool linksWritten = false;        // the records hold the links already
    bool clearMarks = false;          // writing the links also clears face bits 4 and 5

    // Writes the links of active face i into its record F.
    void link(MeshFace& F, std::size_t i) const {
        F.f[0] = links[3 * i];
        F.f[1] = links[3 * i + 1];
        F.f[2] = links[3 * i + 2];
        if (clearMarks) F.flags = std::uint8_t(F.flags & ~(MeshFace::SelectedBit | MeshFace::VisitedBit));
    }
};

}  // namespace qel
