// The refills of marked faces: each run of marked faces is written with the
// writers of the whole refills (the same bytes) at the slots its faces
// occupy, so that the cost follows what a stamp changed, not the mesh,
// straight into mapped ranges (no staging copy). What is mapped stays
// bounded by what the marks ask for: runs close together share a span, the
// slots between them written again, and every span is written whole, so
// that it is mapped with its old contents invalidated (a driver that keeps
// the buffer in video memory then neither waits for the last frame's draw
// nor keeps the bytes the span held). Moved vertices are written corner by
// corner where no feature line needs their faces, and painted vertices
// always (a brush paints the corners at the vertices it reaches).

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

// Pieces past this many are joined left to right (joinGaps would sort
// their gaps).
constexpr std::size_t ManyPieces = 1024;

// Which gaps between pieces to close so that as few spans as possible are
// mapped: gaps[k] is the gap before piece k (gaps[0] unused), closed
// (joined[k] set) smallest first while the gaps closed add up to at most
// room.
void joinGaps(const std::vector<std::uint64_t>& gaps, std::uint64_t room, std::vector<std::uint8_t>& joined) {
    static std::vector<std::uint64_t> bySize;
    bySize.clear();
    for (std::size_t k = 1; k < gaps.size(); ++k) bySize.push_back(gaps[k] << 32 | k);
    std::sort(bySize.begin(), bySize.end());
    joined.assign(gaps.size(), 0);
    for (const std::uint64_t gap : bySize) {
        if ((gap >> 32) > room) break;
        room -= gap >> 32;
        joined[std::uint32_t(gap)] = 1;
    }
}

// The runs joined into spans that are mapped and written whole (the drawn
// faces between joined runs written again), so that what is mapped is at
// most SpanSlack times what the marks need however the runs lie: the gaps
// between runs are closed smallest first while that holds (joinGaps), or,
// past ManyPieces runs, a run joins the span before it while the span
// stays within its own slack. needed receives the slots the runs
// themselves hold.
const std::vector<Run>& spansOf(const std::vector<Run>& runs, std::uint64_t& needed) {
    static std::vector<Run> spans;
    static std::vector<std::uint64_t> gaps;
    static std::vector<std::uint8_t> joined;
    spans.clear();
    needed = 0;
    for (const Run& r : runs) needed += r.placed.end - r.placed.first;
    if (runs.size() <= ManyPieces) {
        gaps.assign(runs.size(), 0);
        for (std::size_t k = 1; k < runs.size(); ++k) gaps[k] = runs[k].placed.first - runs[k - 1].placed.end;
        joinGaps(gaps, (SpanSlack - 1) * needed, joined);
        for (std::size_t k = 0; k < runs.size(); ++k) {
            if (k > 0 && joined[k]) {
                spans.back().end = runs[k].end;
                spans.back().placed.end = runs[k].placed.end;
            } else {
                spans.push_back(runs[k]);
            }
        }
        return spans;
    }
    std::uint64_t spanNeeds = 0;
    for (const Run& r : runs) {
        const std::uint64_t held = r.placed.end - r.placed.first;
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

// What the corner refills write at a listed vertex's corners: Bytes per
// slot; at(v) gives the writer of v's corners, called with each corner
// (3 f + k, in face numbering) and where its slot is mapped; ahead(v, c)
// asks for what writing corner c of v will read.
//
// The position of the vertex at every corner of it, held in registers (a
// store through the mapped span may alias anything).
class PositionCorners {
public:
    static constexpr std::uint64_t Bytes = 12;
    struct Put {
        std::uint64_t xy;
        std::uint32_t z;
        void operator()(std::uint32_t, std::uint8_t* dst) const {
            std::memcpy(dst, &xy, 8);
            std::memcpy(dst + 8, &z, 4);
        }
    };
    explicit PositionCorners(const Mesh& mesh) : vertices_(mesh.vertices) {}
    Put at(std::uint32_t v) const {
        Put put;
        const vec3& p = vertices_[v].position;
        std::memcpy(&put.xy, &p, 8);  // x and y, the first eight bytes of the vector
        std::memcpy(&put.z, &p.z, 4);
        return put;
    }
    void ahead(std::uint32_t v, std::uint32_t) const { __builtin_prefetch(&vertices_[v].position); }

private:
    const Mesh::VertexList& vertices_;
};

// One paint array (Part 0 colour, 1 light, 2 roughness and metalness) of
// each corner, from the corner's material in its face: a brush paints the
// corners at the vertices it reaches, each sector of a vertex on a crease
// its own.
template <int Part>
class PaintCorners {
public:
    static constexpr std::uint64_t Bytes = 4;
    struct Put {
        const Mesh::FaceList* faces;
        void operator()(std::uint32_t c, std::uint8_t* dst) const {
            const std::uint32_t f = c / 3;
            vbofill::writePaintCorner((*faces)[f].material[c - 3 * f], Part, dst);
        }
    };
    explicit PaintCorners(const Mesh& mesh) : faces_(mesh.faces) {}
    Put at(std::uint32_t) const { return Put{&faces_}; }
    void ahead(std::uint32_t, std::uint32_t c) const { __builtin_prefetch(&faces_[c / 3].material[c % 3]); }

private:
    const Mesh::FaceList& faces_;
};

// The listed vertices' corners written through the fewest spans their
// bound allows, from one pass over the vertices before anything is mapped
// and one pass that writes. A vertex's corners are listed in index order,
// so that its first and last give its lowest and highest slot: the first
// pass counts the slots and notes the pages of the array that the lowest
// and the highest reach (by stores that nothing waits on), and those of the
// corners between only when the two lie on different pages. A page holds
// about a 64th of the slots a stamp of that many vertices writes (16 to
// 4,096 slots), so that a mesh in space or program order reaches a few
// hundred pages at most. The pages reached are taken in order, and the gaps
// between their runs closed, the smallest first, while what the spans map
// (whole pages, cut at the lowest and the highest slot) stays within
// SpanSlack times the slots written. The spans are then mapped in slot
// order, each written from the vertices whose lowest slot it holds, in the
// order they were listed; the vertices past it are kept for the next. A
// vertex whose corners go on past its span is written there in part and
// again with each later span. False from gather when the pages reached map
// more than the bound by themselves (the corners lie scattered over the
// array). The spans gathered serve every array written at those corners
// (each array's slots lie at its own offset). Kept between refills so that
// a stamp does not allocate (GUI thread only).
class CornerPages {
public:
    bool gather(const Mesh& mesh, const std::vector<std::uint32_t>& list) {
        const MeshBufferState& state = mesh.bufferState;
        const std::uint32_t count = std::uint32_t(std::min<std::uint64_t>(3 * std::uint64_t(state.faceSlots), ~0u));
        shift_ = pageShift(list.size());
        const std::size_t pages = std::size_t(count >> shift_) + 1;
        if (note_.size() < pages) note_.resize(pages, 0);
        spans_.clear();
        if (state.everyFaceActive)
            notePages<true>(mesh, list);
        else
            notePages<false>(mesh, list);
        return joinPages();
    }

    // The slots gathered.
    std::size_t written() const { return written_; }

    // Writes the corners of the vertices of list gathered into their slots
    // of the array at offset, span by span. False when a span cannot be
    // mapped or its contents were lost.
    template <class Writer>
    bool write(const Mesh& mesh, const std::vector<std::uint32_t>& list, std::uint64_t offset, const Writer& writer) {
        return mesh.bufferState.everyFaceActive ? writeSpans<true>(mesh, list, offset, writer)
                                                : writeSpans<false>(mesh, list, offset, writer);
    }

private:
    // The slots [low, high] a span maps.
    struct Span {
        std::uint32_t low, high;
    };

    // log2 of the slots of a page for a stamp of n marked vertices (about
    // six corners each).
    static std::uint32_t pageShift(std::size_t n) {
        std::uint32_t shift = 4;
        while (shift < 12 && (std::uint64_t(6) * n) >> (shift + 7) != 0) ++shift;
        return shift;
    }

    // The slot of corner c of the layout, its rank read only when some face
    // is not drawn.
    template <bool EveryFace>
    static std::uint32_t slotOf(std::uint32_t c, const std::int32_t* rank) {
        if (EveryFace) return c;
        const std::uint32_t f = c / 3;
        return 3 * std::uint32_t(rank[f]) + (c - 3 * f);
    }

    // The pages of the marked vertices' lowest and highest slots noted, the
    // slots counted, with the lowest and the highest of all. Nothing is
    // asked for ahead: the lists and positions of a stamp's vertices are
    // near (the stamp has just moved them), and the pass costs what it
    // executes.
    template <bool EveryFace>
    void notePages(const Mesh& mesh, const std::vector<std::uint32_t>& list) {
        const MeshBufferState& state = mesh.bufferState;
        const std::uint32_t* const fan = state.fanCorners.data();
        const std::int32_t* const rank = state.rank.data();
        const std::uint32_t shift = shift_;
        std::uint8_t* const note = note_.data();
        std::size_t written = 0;
        std::uint32_t low = ~0u, high = 0;
        const std::uint32_t* const firsts = state.fanFirst.data();
        const std::size_t starts = state.fanFirst.size();
        // fanCorners lists the corners of drawn faces only.
        for (const std::uint32_t v : list) {
            if (std::size_t(v) + 1 >= starts) continue;
            const std::uint32_t from = firsts[v], to = firsts[v + 1];
            if (from == to) continue;
            const std::uint32_t first = slotOf<EveryFace>(fan[from], rank);
            const std::uint32_t last = slotOf<EveryFace>(fan[to - 1], rank);
            note[first >> shift] = 1;
            note[last >> shift] = 1;
            // The corners between reach the pages between.
            if ((first >> shift) != (last >> shift))
                for (std::uint32_t i = from + 1; i + 1 < to; ++i) note[slotOf<EveryFace>(fan[i], rank) >> shift] = 1;
            written += to - from;
            low = std::min(low, first);
            high = std::max(high, last);
        }
        written_ = written;
        low_ = low;
        high_ = high;
    }

    // The pages noted, in order (their notes cleared), in runs of whole
    // pages cut at the lowest and the highest slot, joined into spans
    // within the bound. False when the runs alone exceed it.
    bool joinPages() {
        if (written_ == 0) return true;
        pieces_.clear();
        const std::uint32_t lowPage = low_ >> shift_, highPage = high_ >> shift_;
        for (std::uint32_t page = lowPage; page <= highPage; ++page) {
            if (!note_[page]) continue;
            note_[page] = 0;
            const std::uint32_t high = std::min(std::uint32_t(((std::uint64_t(page) + 1) << shift_) - 1), high_);
            if (!pieces_.empty() && (pieces_.back().high >> shift_) + 1 == page)
                pieces_.back().high = high;
            else
                pieces_.push_back(Span{std::max(page << shift_, low_), high});
        }
        const std::uint64_t bound = SpanSlack * std::uint64_t(written_);
        std::uint64_t mapped = 0;
        for (const Span& p : pieces_) mapped += p.high + 1 - p.low;
        if (mapped > bound) return false;
        gaps_.assign(pieces_.size(), 0);
        for (std::size_t k = 1; k < pieces_.size(); ++k) gaps_[k] = pieces_[k].low - pieces_[k - 1].high - 1;
        joinGaps(gaps_, bound - mapped, joined_);
        for (std::size_t k = 0; k < pieces_.size(); ++k) {
            if (k == 0 || !joined_[k])
                spans_.push_back(pieces_[k]);
            else
                spans_.back().high = pieces_[k].high;
        }
        return true;
    }

    // Span by span in slot order, mapped and written from the vertices whose
    // lowest slot it holds and from those of earlier spans whose corners go
    // on into it (every corner's page lies in a span).
    template <bool EveryFace, class Writer>
    bool writeSpans(const Mesh& mesh, const std::vector<std::uint32_t>& list, std::uint64_t offset,
                    const Writer& writer) {
        constexpr std::uint64_t Bytes = Writer::Bytes;
        SpanMapping mapping;
        onward_.clear();
        const std::uint32_t* next = list.data();
        std::size_t n = list.size();
        for (std::size_t k = 0; k < spans_.size(); ++k) {
            const Span span = spans_[k];
            std::uint8_t* const base = mapping.map(offset + Bytes * std::uint64_t(span.low),
                                                   Bytes * std::uint64_t(span.high + 1 - span.low), false);
            if (!base) return mapping.finish();
            writeOnward<EveryFace>(mesh, writer, base, span);
            std::vector<std::uint32_t>& later = later_[k & 1];
            later.resize(n);
            if (spans_.size() == 1)
                n = writeVertices<EveryFace, true>(mesh, writer, next, n, base, span, later.data());
            else
                n = writeVertices<EveryFace, false>(mesh, writer, next, n, base, span, later.data());
            next = later.data();
        }
        return mapping.finish();
    }

    // Writes the vertices of vs[0, n) whose lowest slot lies in the span
    // mapped at base (OneSpan: all of them) and returns how many were put
    // in later (their lowest slot past the span), in order. A vertex whose
    // corners go on past the span is kept in onward_.
    template <bool EveryFace, bool OneSpan, class Writer>
    std::size_t writeVertices(const Mesh& mesh, const Writer& writer, const std::uint32_t* vs, std::size_t n,
                              std::uint8_t* base, Span span, std::uint32_t* later) {
        constexpr std::uint64_t Bytes = Writer::Bytes;
        const MeshBufferState& state = mesh.bufferState;
        const std::uint32_t* const first = state.fanFirst.data();
        const std::uint32_t* const fan = state.fanCorners.data();
        const std::int32_t* const rank = state.rank.data();
        const std::size_t starts = state.fanFirst.size();
        // Where slot 0 would be mapped, kept as a number: it lies outside
        // the span.
        const std::uintptr_t origin = reinterpret_cast<std::uintptr_t>(base) - Bytes * std::uintptr_t(span.low);
        std::size_t kept = 0;
        for (std::size_t j = 0; j < n; ++j) {
            const std::uint32_t v = vs[j];
            if (std::size_t(v) + 1 >= starts) continue;
            const std::uint32_t from = first[v], to = first[v + 1];
            if (from == to) continue;
            if (!OneSpan && slotOf<EveryFace>(fan[from], rank) > span.high) {
                later[kept++] = v;
                continue;
            }
            const auto put = writer.at(v);
            if (OneSpan || slotOf<EveryFace>(fan[to - 1], rank) <= span.high) {
                writeCorners<EveryFace, Bytes>(put, fan + from, fan + to, rank, origin);
                continue;
            }
            for (std::uint32_t i = from; i != to; ++i) {
                const std::uint32_t slot = slotOf<EveryFace>(fan[i], rank);
                if (slot <= span.high)
                    put(fan[i], reinterpret_cast<std::uint8_t*>(origin + Bytes * std::uintptr_t(slot)));
            }
            onward_.push_back(v);
        }
        return kept;
    }

    // The vertices of earlier spans whose corners go on into this one:
    // written at the slots the span holds, the vertices going on past it
    // kept.
    template <bool EveryFace, class Writer>
    void writeOnward(const Mesh& mesh, const Writer& writer, std::uint8_t* base, Span span) {
        const MeshBufferState& state = mesh.bufferState;
        const std::uint32_t* const first = state.fanFirst.data();
        const std::uint32_t* const fan = state.fanCorners.data();
        const std::int32_t* const rank = state.rank.data();
        std::size_t kept = 0;
        for (const std::uint32_t v : onward_) {
            const auto put = writer.at(v);
            std::uint32_t slot = 0;
            for (std::uint32_t i = first[v]; i != first[v + 1]; ++i) {
                slot = slotOf<EveryFace>(fan[i], rank);
                if (slot >= span.low && slot <= span.high)
                    put(fan[i], base + Writer::Bytes * std::uint64_t(slot - span.low));
            }
            if (slot > span.high) onward_[kept++] = v;
        }
        onward_.resize(kept);
    }

    // Writes the corners [c, end) through put, origin being where slot 0
    // would be mapped.
    template <bool EveryFace, std::uint64_t Bytes, class Put>
    static void writeCorners(const Put& put, const std::uint32_t* c, const std::uint32_t* end, const std::int32_t* rank,
                             std::uintptr_t origin) {
        for (; c != end; ++c)
            put(*c, reinterpret_cast<std::uint8_t*>(origin + Bytes * std::uintptr_t(slotOf<EveryFace>(*c, rank))));
    }

    std::uint32_t shift_ = 6, low_ = 0, high_ = 0;
    std::size_t written_ = 0;
    std::vector<std::uint8_t> note_;
    std::vector<std::uint32_t> later_[2], onward_;
    std::vector<std::uint64_t> gaps_;
    std::vector<std::uint8_t> joined_;
    std::vector<Span> pieces_, spans_;
};

// The corners of the listed vertices in index order, each once with the
// vertex it draws, for corners that lie scattered over the mesh: the pairs
// of corner and vertex are listed and put in corner order by a radix sort
// of the corner, a few passes over a list that stays in cache. Kept between
// refills so that a stamp does not allocate (GUI thread only).
class MarkedCorners {
public:
    // Gathers the corners; size() of them.
    std::size_t gather(const Mesh& mesh, const std::vector<std::uint32_t>& list) {
        pairs_.clear();
        const MeshBufferState& state = mesh.bufferState;
        const std::uint64_t count = 3 * std::uint64_t(state.faceSlots);
        const std::uint32_t* const fan = state.fanCorners.data();
        forListedCorners(
            state, list, [](std::uint32_t) {},
            [&](std::uint32_t v, std::uint32_t from, std::uint32_t to) {
                for (std::uint32_t i = from; i != to; ++i)
                    if (fan[i] < count) pairs_.push_back(std::uint64_t(fan[i]) << 32 | v);
            });
        // By corner, each pair once.
        sortByHighWord(pairs_, count);
        pairs_.erase(std::unique(pairs_.begin(), pairs_.end()), pairs_.end());
        return pairs_.size();
    }
    std::size_t size() const { return pairs_.size(); }
    // Corner i of those gathered, in increasing order, and its vertex.
    std::uint32_t corner(std::size_t i) const { return std::uint32_t(pairs_[i] >> 32); }
    std::uint32_t vertex(std::size_t i) const { return std::uint32_t(pairs_[i]); }

private:
    std::vector<std::uint64_t> pairs_;
};

// The corners that draw the listed vertices (MeshBufferState::fanCorners),
// each written once however many faces share its vertex, by one writer per
// array (PositionCorners, PaintCorners): planned once for the list and
// written into each array the same way. Only the listed corners are
// written, so that a span keeps the bytes between them (it is not
// invalidated), and no face record is read that a writer does not ask
// for. Corners that lie near one another (a mesh in space or program
// order) are written through the few spans their pages allow
// (CornerPages); corners scattered over the array are put in order and
// joined into spans within their slack, as the runs are, each span mapped
// on its own. The layout's corners are still the faces' (a change of the
// drawn faces or their corners changes the links or the face set, and the
// refill is whole). Kept between refills (GUI thread only).
class ListedCorners {
public:
    // Plans the corners of the list; the list must outlive the writes.
    void plan(const Mesh& mesh, const std::vector<std::uint32_t>& list) {
        list_ = &list;
        paged_ = pages_.gather(mesh, list);
        if (paged_) return;
        marked_.gather(mesh, list);
        joinScattered(mesh.bufferState);
    }

    // The corners planned.
    std::size_t corners() const { return paged_ ? pages_.written() : marked_.size(); }

    // Writes the corners planned into the array at offset; false when a
    // span cannot be mapped or its contents were lost.
    template <class Writer>
    bool write(const Mesh& mesh, std::uint64_t offset, const Writer& writer) {
        const std::size_t n = corners();
        bufferTraffic().written += Writer::Bytes * std::uint64_t(n);
        if (n == 0) return true;
        if (paged_) return pages_.write(mesh, *list_, offset, writer);
        return writeScattered(mesh.bufferState, offset, writer);
    }

private:
    std::uint64_t slot(const MeshBufferState& state, std::size_t i) const {
        return std::uint64_t(cornerSlot(state, marked_.corner(i)));
    }

    // The spans of the scattered corners, as ends in the corners gathered:
    // the runs of consecutive slots joined by closing the smallest gaps
    // first within the slack (joinGaps), or, past ManyPieces runs, a corner
    // joining the span before it while the span stays within its own slack.
    void joinScattered(const MeshBufferState& state) {
        const std::size_t n = marked_.size();
        ends_.clear();
        pieceEnds_.clear();
        gaps_.assign(1, 0);
        for (std::size_t i = 1; i <= n; ++i)
            if (i == n || slot(state, i) != slot(state, i - 1) + 1) {
                pieceEnds_.push_back(i);
                if (i < n) gaps_.push_back(slot(state, i) - slot(state, i - 1) - 1);
            }
        if (pieceEnds_.size() <= ManyPieces) {
            joinGaps(gaps_, (SpanSlack - 1) * n, joined_);
            for (std::size_t k = 0; k < pieceEnds_.size(); ++k) {
                if (k + 1 < pieceEnds_.size() && joined_[k + 1]) continue;
                ends_.push_back(pieceEnds_[k]);
            }
            return;
        }
        for (std::size_t i = 0; i < n;) {
            const std::uint64_t low = slot(state, i);
            std::size_t j = i + 1;
            while (j < n && withinSlack(low, slot(state, j) + 1, j + 1 - i)) ++j;
            ends_.push_back(j);
            i = j;
        }
    }

    template <class Writer>
    bool writeScattered(const MeshBufferState& state, std::uint64_t offset, const Writer& writer) {
        constexpr std::size_t Ahead = 8;
        constexpr std::uint64_t Bytes = Writer::Bytes;
        const std::size_t n = marked_.size();
        SpanMapping mapping;
        std::size_t i = 0;
        for (const std::size_t j : ends_) {
            const std::uint64_t low = slot(state, i);
            std::uint8_t* const base = mapping.map(offset + Bytes * low, Bytes * (slot(state, j - 1) + 1 - low), false);
            if (!base) break;
            // In corner order the vertices of a scattered mesh lie
            // scattered: asked for ahead.
            for (; i < j; ++i) {
                if (i + Ahead < n) writer.ahead(marked_.vertex(i + Ahead), marked_.corner(i + Ahead));
                writer.at(marked_.vertex(i))(marked_.corner(i), base + Bytes * (slot(state, i) - low));
            }
        }
        return mapping.finish();
    }

    const std::vector<std::uint32_t>* list_ = nullptr;
    bool paged_ = false;
    CornerPages pages_;
    MarkedCorners marked_;
    std::vector<std::size_t> ends_, pieceEnds_;
    std::vector<std::uint64_t> gaps_;
    std::vector<std::uint8_t> joined_;
};

ListedCorners& listedCorners() {
    static ListedCorners corners;
    return corners;
}

// The positions of the marked vertices, written into the corners that draw
// them (ListedCorners), reading no face record. False when a span cannot be
// mapped or its contents were lost.
bool refillPositionCorners(Mesh& mesh) {
    ListedCorners& corners = listedCorners();
    corners.plan(mesh, mesh.bufferState.marks(Mesh::RefillPositions).vertices());
    return corners.write(mesh, mesh.vboOffsets[Mesh::RefillPositions], PositionCorners(mesh));
}

// The marked vertices whose paint marks reach paint array `part`: the list
// itself when all of them do (nothing copied), else those that do.
const std::vector<std::uint32_t>& reaching(const MeshBufferState& state, int part,
                                           const std::vector<std::uint32_t>& list) {
    static std::vector<std::uint32_t> some;
    some.clear();
    const std::uint8_t bit = std::uint8_t(1u << part);
    std::size_t i = 0;
    while (i < list.size() && (state.vertexPaint(list[i]) & bit)) ++i;
    if (i == list.size()) return list;
    some.assign(list.begin(), list.begin() + long(i));
    for (++i; i < list.size(); ++i)
        if (state.vertexPaint(list[i]) & bit) some.push_back(list[i]);
    return some;
}

// The paint of the marked vertices' corners (a brush paints the corners at
// the vertices it reaches), written into each paint array by the vertices
// whose marks reach it (ListedCorners, planned again only for an array
// reached by other vertices than the last): what a stamp maps stays within
// the bound of the corners it changed, as for the positions, where the
// faces round the vertices would write every corner of each face. False
// when a span cannot be mapped or its contents were lost.
bool refillPaintCorners(Mesh& mesh) {
    const MeshBufferState& state = mesh.bufferState;
    const std::vector<std::uint32_t>& list = state.marks(Mesh::RefillPaint).vertices();
    ListedCorners& corners = listedCorners();
    // Whether parts a and b are reached by the same vertices.
    const auto alike = [&](int a, int b) {
        for (const std::uint32_t v : list)
            if (((state.vertexPaint(v) >> a) ^ (state.vertexPaint(v) >> b)) & 1) return false;
        return true;
    };
    int planned = -1;
    bool written = true;
    for (int part = 0; part < 3 && written && !list.empty(); ++part) {
        if (!(state.paintParts() & (1u << part))) continue;
        if (planned < 0 || !alike(planned, part)) {
            const std::vector<std::uint32_t>& vertices = reaching(state, part, list);
            if (vertices.empty()) continue;
            corners.plan(mesh, vertices);
            planned = part;
        }
        const std::uint64_t offset = mesh.vboOffsets[2 + part];
        if (part == 0) written = corners.write(mesh, offset, PaintCorners<0>(mesh));
        if (part == 1) written = corners.write(mesh, offset, PaintCorners<1>(mesh));
        if (part == 2) written = corners.write(mesh, offset, PaintCorners<2>(mesh));
    }
    return written;
}

// The paint of the faces marked themselves (a fill), each array the marks
// reach written on its own, span by span (spansOf); an array the marks do
// not reach is not mapped. False when a span cannot be mapped or its
// contents were lost.
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
    if (written && marked(Mesh::RefillPaint)) {
        written = refillPaintRuns(mesh, layoutHolds);
        if (written && layoutHolds) written = refillPaintCorners(mesh);
    }
    if (written && marked(Mesh::RefillPositions)) refillFeatureRuns(mesh, layoutHolds);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    return written;
}

}  // namespace qel
