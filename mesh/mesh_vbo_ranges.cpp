// The refills of marked faces: each run of marked faces is written with the
// writers of the whole refills (the same bytes) at the slots its faces
// occupy, so that the cost follows what a stamp changed, not the mesh,
// straight into mapped ranges (no staging copy). What is mapped stays
// bounded by what the marks ask for: runs close together share a span, the
// slots between them written again, and every span is written whole, so
// that it is mapped with its old contents invalidated (a driver that keeps
// the buffer in video memory then neither waits for the last frame's draw
// nor keeps the bytes the span held). Moved vertices are written corner by
// corner where no feature line needs their faces.

#include "mesh/mesh_vbo_ranges.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "gl/gl.h"
#include "mesh/fan_prefetch.h"
#include "mesh/index_sort.h"
#include "mesh/mesh.h"
#include "mesh/mesh_vbo_fill.h"

namespace qel {

namespace {

// Runs closer than this many faces are joined, the faces between them
// written again: a few hundred bytes more cost less than another upload.
constexpr std::uint32_t JoinGap = 8;

// The slots [first, end) that the drawn faces of a run occupy.
struct SlotRun {
    std::uint32_t first = 0, end = 0;
};

// The slots of the drawn faces among faces [first, end); false when none of
// them is drawn.
bool slotsOf(const MeshBufferState& state, std::uint32_t first, std::uint32_t end, SlotRun& placed) {
    end = std::min<std::uint32_t>(end, std::uint32_t(state.faceSlots));
    if (state.everyFaceActive) {
        placed = {first, end};
        return first < end;
    }
    while (first < end && state.rank[first] < 0) ++first;
    while (end > first && state.rank[end - 1] < 0) --end;
    if (first == end) return false;
    placed = {std::uint32_t(state.rank[first]), std::uint32_t(state.rank[end - 1]) + 1};
    return true;
}

// A run of marked faces [first, end) with the slots its drawn faces occupy.
struct Run {
    std::uint32_t first, end;
    SlotRun placed;
};

// A span may map at most this many times the slots its runs need.
constexpr std::uint64_t SpanSlack = 4;

// True when a span from slot `first` to `end` stays within its slack for
// the `needed` slots its marks ask for.
bool withinSlack(std::uint64_t first, std::uint64_t end, std::uint64_t needed) {
    return end - first <= SpanSlack * needed;
}

// The runs joined into spans that are mapped and written whole: a run joins
// the span before it (the drawn faces between them written again) while
// the span stays within its slack, so that what is mapped is at most
// SpanSlack times what the marks need however the runs lie. needed receives
// the held the runs themselves hold.
const std::vector<Run>& spansOf(const std::vector<Run>& runs, std::uint64_t& needed) {
    static std::vector<Run> spans;
    spans.clear();
    needed = 0;
    std::uint64_t spanNeeds = 0;
    for (const Run& r : runs) {
        const std::uint64_t held = r.placed.end - r.placed.first;
        needed += held;
        if (!spans.empty() && withinSlack(spans.back().placed.first, r.placed.end, spanNeeds + held)) {
            spans.back().end = r.end;
            spans.back().placed.end = r.placed.end;
            spanNeeds += held;
            continue;
        }
        spans.push_back(r);
        spanNeeds = held;
    }
    return spans;
}

// One span of the bound array buffer at a time, mapped for writing. A span
// the caller writes whole is invalidated, so that the driver neither waits
// for the draws that read it nor keeps its old bytes; one written in part
// keeps them. Counts what it maps. ok() turns false when a range cannot be mapped or
// its contents were lost before unmapping; the span still open is unmapped
// on destruction.
class SpanMapping {
public:
    SpanMapping() = default;
    SpanMapping(const SpanMapping&) = delete;
    SpanMapping& operator=(const SpanMapping&) = delete;
    ~SpanMapping() { unmap(); }

    // Maps [offset, offset + length) after unmapping the last span, its
    // old bytes invalidated when whole; null when it cannot be mapped (or
    // an earlier span failed).
    std::uint8_t* map(std::uint64_t offset, std::uint64_t length, bool whole = true) {
        unmap();
        if (!ok_ || length == 0) return nullptr;
        void* p = gl->glMapBufferRange(GL_ARRAY_BUFFER, GLintptr(offset), GLsizeiptr(length),
                                       whole ? GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT : GL_MAP_WRITE_BIT);
        BufferTraffic& traffic = bufferTraffic();
        traffic.mapped += length;
        ++traffic.maps;
        ok_ = p != nullptr;
        open_ = ok_;
        return static_cast<std::uint8_t*>(p);
    }
    // Unmaps the last span; false when any span failed.
    bool finish() {
        unmap();
        return ok_;
    }

private:
    void unmap() {
        if (open_ && gl->glUnmapBuffer(GL_ARRAY_BUFFER) != GL_TRUE) ok_ = false;
        open_ = false;
    }
    bool ok_ = true, open_ = false;
};

// The runs of the marks that hold drawn faces, in face order.
const std::vector<Run>& runsOf(const Mesh& mesh, const ChangeMarks& marks) {
    static std::vector<Run> runs;
    runs.clear();
    marks.forRuns(JoinGap, [&](std::uint32_t first, std::uint32_t end) {
        end = std::min<std::uint32_t>(end, std::uint32_t(mesh.bufferState.faceSlots));
        SlotRun placed;
        if (slotsOf(mesh.bufferState, first, end, placed)) runs.push_back({first, end, placed});
    });
    return runs;
}

// Calls start(run) before each run, then fn(F, f) for the drawn faces of
// the run, in order. The runs lie far apart in the face list when the mesh
// is not in a spatial order, so that each would wait on memory: the first
// face of a run some runs ahead is fetched, and the vertices of a nearer
// one. False when a face's active bit disagrees with the layout (nothing
// more is visited).
template <class Start, class Fn>
bool forRunFaces(const Mesh& mesh, const std::vector<Run>& runs, Start&& start, Fn&& fn) {
    constexpr std::size_t Far = 16, Near = 8;
    const MeshBufferState& state = mesh.bufferState;
    bool holds = true;
    for (std::size_t i = 0; holds && i < runs.size(); ++i) {
        if (i + Far < runs.size()) prefetchFace(mesh.faces[runs[i + Far].first]);
        if (i + Near < runs.size())
            for (const std::int32_t v : mesh.faces[runs[i + Near].first].v)
                if (mesh.validVertex(v)) __builtin_prefetch(&mesh.vertices[std::size_t(v)].position);
        start(runs[i]);
        std::uint32_t f = runs[i].first;
        mesh.faces.forRange(runs[i].first, runs[i].end, [&](const MeshFace& F) {
            const bool drawn = activeInLayout(state, f);
            holds = holds && F.isActive() == drawn;
            if (holds && drawn) fn(F, f);
            ++f;
        });
    }
    return holds;
}

void upload(std::uint64_t offset, const void* data, std::uint64_t bytes) {
    gl->glBufferSubData(GL_ARRAY_BUFFER, GLintptr(offset), GLsizeiptr(bytes), data);
}

// One array's runs: fill(F, dst) writes a face's bytes (perFace of them)
// and returns the end. The runs are joined into spans (spansOf), each
// mapped on its own and written whole, the faces between its runs
// included. False when a span cannot be mapped or its contents were lost
// before unmapping.
template <class Fill>
bool refillRuns(Mesh& mesh, int array, std::uint64_t perFace, bool& layoutHolds, Fill fill) {
    std::uint64_t needed = 0;
    const std::vector<Run>& spans = spansOf(runsOf(mesh, mesh.bufferState.marks(array)), needed);
    if (spans.empty()) return true;
    bufferTraffic().written += perFace * needed;
    const std::uint64_t offset = mesh.vboOffsets[array];
    SpanMapping mapping;
    std::uint8_t* dst = nullptr;
    layoutHolds = forRunFaces(
                      mesh, spans,
                      [&](const Run& r) {
                          dst = mapping.map(offset + perFace * r.placed.first,
                                            perFace * (r.placed.end - r.placed.first));
                      },
                      [&](const MeshFace& F, std::uint32_t) {
                          if (dst) dst = fill(F, dst);
                      }) &&
                  layoutHolds;
    return mapping.finish();
}

// The corners of the marked vertices in index order, each once with the
// vertex it draws. When the marked vertices lie close together (a mesh in
// space or program order), their corners are set in a bitmap of the mesh's
// corners (kept zero between refills, its words cleared as they are read)
// with a note of each corner's vertex in a flat list indexed by corner,
// which gives them in order without sorting. When they lie scattered over
// the mesh, those notes would be written and read at scattered places of an
// array as large as the corners: the pairs of corner and vertex are listed
// instead and put in corner order by a radix sort of the corner, a few
// passes over a list that stays in cache. Kept between refills so that a
// stamp does not allocate (GUI thread only).
class MarkedCorners {
public:
    // Gathers the corners; size() of them.
    std::size_t gather(const Mesh& mesh) {
        const std::vector<std::uint32_t>& marked = mesh.bufferState.marks(Mesh::RefillPositions).vertices();
        std::uint32_t low = ~0u, high = 0;
        for (const std::uint32_t v : marked) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
        sparse_ = !marked.empty() && std::uint64_t(high - low) > DenseSpread * marked.size();
        if (sparse_)
            gatherSparse(mesh);
        else
            gatherDense(mesh);
        return sparse_ ? pairs_.size() : sorted_.size();
    }
    // Corner i of those gathered, in increasing order, and its vertex.
    std::uint32_t corner(std::size_t i) const { return sparse_ ? std::uint32_t(pairs_[i] >> 32) : sorted_[i]; }
    std::uint32_t vertex(std::size_t i) const { return sparse_ ? std::uint32_t(pairs_[i]) : vertexOf_[sorted_[i]]; }
    // The marked vertices lie scattered over the mesh.
    bool scattered() const { return sparse_; }

private:
    // Vertices spread over at most this many times their number are close.
    static constexpr std::uint64_t DenseSpread = 16;

    void gatherDense(const Mesh& mesh) {
        sorted_.clear();
        const MeshBufferState& state = mesh.bufferState;
        const std::size_t count = 3 * std::size_t(state.faceSlots), words = (count + 63) / 64;
        if (bits_.size() < words) bits_.resize(words, 0);
        if (vertexOf_.size() < count) vertexOf_.resize(count);
        std::size_t low = words, high = 0;
        const std::uint32_t* const fan = state.fanCorners.data();
        forListedCorners(
            state, state.marks(Mesh::RefillPositions).vertices(), [](std::uint32_t) {},
            [&](std::uint32_t v, std::uint32_t from, std::uint32_t to) {
                for (std::uint32_t i = from; i != to; ++i) {
                    const std::uint32_t c = fan[i];
                    if (c >= count) continue;
                    bits_[c >> 6] |= std::uint64_t(1) << (c & 63);
                    vertexOf_[c] = v;
                    low = std::min<std::size_t>(low, c >> 6);
                    high = std::max<std::size_t>(high, c >> 6);
                }
            });
        for (std::size_t w = low; w <= high && w < words; ++w) {
            std::uint64_t word = bits_[w];
            bits_[w] = 0;
            while (word != 0) {
                sorted_.push_back(std::uint32_t(64 * w) + std::uint32_t(__builtin_ctzll(word)));
                word &= word - 1;
            }
        }
    }

    void gatherSparse(const Mesh& mesh) {
        pairs_.clear();
        const MeshBufferState& state = mesh.bufferState;
        const std::uint64_t count = 3 * std::uint64_t(state.faceSlots);
        const std::uint32_t* const fan = state.fanCorners.data();
        forListedCorners(
            state, state.marks(Mesh::RefillPositions).vertices(), [](std::uint32_t) {},
            [&](std::uint32_t v, std::uint32_t from, std::uint32_t to) {
                for (std::uint32_t i = from; i != to; ++i)
                    if (fan[i] < count) pairs_.push_back(std::uint64_t(fan[i]) << 32 | v);
            });
        // By corner, each pair once.
        sortByHighWord(pairs_, count);
        pairs_.erase(std::unique(pairs_.begin(), pairs_.end()), pairs_.end());
    }

    bool sparse_ = false;
    std::vector<std::uint64_t> bits_;
    std::vector<std::uint32_t> vertexOf_, sorted_;
    std::vector<std::uint64_t> pairs_;
};

// The positions of the marked vertices, written into the corners the layout
// draws them at (MeshBufferState::fanCorners), each corner once however many
// marked faces share its vertex. The corners in index order are joined into
// spans within their slack, as the runs are, and each span is mapped on its
// own; only the marked corners are written, so that the span keeps the
// bytes between them (it is not invalidated), and no face record is read.
// The layout's corners are still the faces' (a change of the drawn faces or
// their corners changes the links or the face set, and the refill is
// whole). False when a span cannot be mapped or its contents were lost.
bool refillPositionCorners(Mesh& mesh) {
    constexpr std::size_t Ahead = 8;
    static MarkedCorners marked;
    const MeshBufferState& state = mesh.bufferState;
    const std::size_t n = marked.gather(mesh);
    const std::size_t ahead = marked.scattered() ? Ahead : n;
    bufferTraffic().written += 12 * std::uint64_t(n);
    const std::uint64_t offset = mesh.vboOffsets[Mesh::RefillPositions];
    const auto slot = [&](std::size_t i) { return std::uint64_t(cornerSlot(state, marked.corner(i))); };
    SpanMapping mapping;
    std::size_t i = 0;
    while (i < n) {
        // The span from corner i: the next corner joins while the span's
        // slots stay within the slack for the corners it holds.
        const std::uint64_t loSlot = slot(i);
        std::size_t j = i + 1;
        while (j < n && withinSlack(loSlot, slot(j) + 1, j + 1 - i)) ++j;
        std::uint8_t* const base = mapping.map(offset + 12 * loSlot, 12 * (slot(j - 1) + 1 - loSlot), false);
        if (!base) break;
        // In corner order the vertices of a scattered mesh lie scattered:
        // asked for ahead.
        for (; i < j; ++i) {
            if (i + ahead < n) __builtin_prefetch(&mesh.vertices[marked.vertex(i + ahead)].position);
            std::memcpy(base + 12 * (slot(i) - loSlot), &mesh.vertices[marked.vertex(i)].position, 12);
        }
    }
    return mapping.finish();
}

// The paint runs: colour, light and material of the runs' faces, each
// array the marks reach written on its own, span by span (spansOf); an
// array the marks do not reach is not mapped. False when a span cannot be
// mapped or its contents were lost.
bool refillPaintRuns(Mesh& mesh, bool& layoutHolds) {
    const unsigned parts = mesh.bufferState.paintParts() & 7u;
    std::uint64_t needed = 0;
    const std::vector<Run>& spans = spansOf(runsOf(mesh, mesh.bufferState.marks(Mesh::RefillPaint)), needed);
    if (spans.empty() || parts == 0) return true;
    SpanMapping mapping;
    for (int part = 0; part < 3 && layoutHolds; ++part) {
        if (!(parts & (1u << part))) continue;
        bufferTraffic().written += 12 * needed;
        const std::uint64_t offset = mesh.vboOffsets[2 + part];
        std::uint8_t* dst = nullptr;
        layoutHolds = forRunFaces(
                          mesh, spans,
                          [&](const Run& r) {
                              dst = mapping.map(offset + 12 * std::uint64_t(r.placed.first),
                                                12 * std::uint64_t(r.placed.end - r.placed.first));
                          },
                          [&](const MeshFace& F, std::uint32_t) {
                              if (dst) dst = vbofill::writePaintPart(F, part, dst);
                          }) &&
                      layoutHolds;
    }
    return mapping.finish();
}

// The feature segments of the position runs' faces, at the segments the
// faces hold in the line buffer.
void refillFeatureRuns(Mesh& mesh, bool& layoutHolds) {
    const FeatureEdges& features = mesh.bufferState.features;
    if (mesh.featureVbo == 0 || mesh.featureCount == 0) return;
    static std::vector<Run> withLines;
    withLines.clear();
    for (const Run& r : runsOf(mesh, mesh.bufferState.marks(Mesh::RefillPositions)))
        if (features.first[r.first] != features.first[r.end]) withLines.push_back(r);
    static std::vector<vec3> lines;
    lines.clear();
    layoutHolds = forRunFaces(mesh, withLines, [](const Run&) {},
                              [&](const MeshFace& F, std::uint32_t f) {
                                  if (features.mask[f])
                                      vbofill::appendFeatures(mesh.vertices, F, features.mask[f], lines);
                              }) &&
                  layoutHolds;
    if (!layoutHolds) return;
    gl->glBindBuffer(GL_ARRAY_BUFFER, mesh.featureVbo);
    const vec3* src = lines.data();
    for (const Run& r : withLines) {
        const std::uint32_t segments = features.first[r.end] - features.first[r.first];
        upload(vbofill::SegmentBytes * features.first[r.first], src, vbofill::SegmentBytes * segments);
        src += 2 * segments;
    }
}

}  // namespace

BufferTraffic& bufferTraffic() {
    static BufferTraffic traffic;
    return traffic;
}

bool refillMarkedArrays(Mesh& mesh, bool& layoutHolds) {
    // A layout found not to hold stays so: an array refilled after the one
    // that found it must not clear it, and nothing more is written.
    const auto marked = [&](int array) { return layoutHolds && mesh.refill[array] == Mesh::RefillMarked; };
    gl->glBindBuffer(GL_ARRAY_BUFFER, mesh.vbo);
    bool written = true;
    if (marked(Mesh::RefillPositions)) {
        // Corner by corner, the faces marked themselves are still written
        // whole (their runs hold only them).
        written = refillRuns(mesh, Mesh::RefillPositions, 36, layoutHolds, [&mesh](const MeshFace& F, std::uint8_t* dst) {
            return vbofill::writePositions(mesh.vertices, F, dst);
        });
        if (written && layoutHolds && mesh.bufferState.positionsByCorner()) written = refillPositionCorners(mesh);
    }
    if (written && marked(Mesh::RefillNormals))
        written = refillRuns(mesh, Mesh::RefillNormals, 18, layoutHolds,
                             [](const MeshFace& F, std::uint8_t* dst) { return vbofill::writeNormals(F, dst); });
    if (written && marked(Mesh::RefillPaint)) written = refillPaintRuns(mesh, layoutHolds);
    if (written && marked(Mesh::RefillPositions)) refillFeatureRuns(mesh, layoutHolds);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    return written;
}

}  // namespace qel
