// The refills of marked faces: each run of marked faces is written with the
// writers of the whole refills (the same bytes) at the slots its faces
// occupy, so that the cost follows what a stamp changed, not the mesh,
// straight into one mapped range per array (no staging copy, no upload per
// run). Moved vertices are written corner by corner where no feature line
// needs their faces.

#include "mesh/mesh_vbo_ranges.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "gl/gl.h"
#include "mesh/fan_prefetch.h"
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
// and returns the end. The range of the array from the first run's slots to
// the last run's is mapped once, without discarding it, and each run's
// faces are written straight at their slots: no staging copy, and one map
// however many runs a scattered mesh makes (a glBufferSubData per run costs
// more than the bytes it carries when the faces lie apart). The bytes
// between the runs are not touched and keep what they hold. False when the
// range cannot be mapped or its contents were lost before unmapping.
template <class Fill>
bool refillRuns(Mesh& mesh, int array, std::uint64_t perFace, bool& layoutHolds, Fill fill) {
    const std::vector<Run>& runs = runsOf(mesh, mesh.bufferState.marks(array));
    if (runs.empty()) return true;
    const std::uint64_t firstSlot = runs.front().placed.first;
    const std::uint64_t span = perFace * (runs.back().placed.end - firstSlot);
    void* mapped = gl->glMapBufferRange(GL_ARRAY_BUFFER, GLintptr(mesh.vboOffsets[array] + perFace * firstSlot),
                                        GLsizeiptr(span), GL_MAP_WRITE_BIT);
    if (!mapped) return false;
    std::uint8_t* const base = static_cast<std::uint8_t*>(mapped);
    std::uint8_t* dst = base;
    layoutHolds = forRunFaces(
                      mesh, runs, [&](const Run& r) { dst = base + perFace * (r.placed.first - firstSlot); },
                      [&](const MeshFace& F, std::uint32_t) { dst = fill(F, dst); }) &&
                  layoutHolds;
    return gl->glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE;
}

// The positions of the marked vertices, each written straight into the
// corners the layout draws it at (MeshBufferState::fanCorners), in one
// mapped range from the lowest of those corners to the highest: no face
// record is read, and a corner is written once however many marked faces
// share the vertex. A vertex's corners are listed in index order, so that
// its first and last give the range. The layout's corners are still the
// faces' (a change of the drawn faces or their corners changes the links
// or the face set, and the refill is whole). False when the range cannot
// be mapped or its contents were lost.
bool refillPositionCorners(Mesh& mesh) {
    const MeshBufferState& state = mesh.bufferState;
    const std::vector<std::uint32_t>& list = state.marks(Mesh::RefillPositions).vertices();
    const std::uint32_t* const first = state.fanFirst.data();
    const std::uint32_t* const corners = state.fanCorners.data();
    // The range, in a first pass that also brings each vertex's lists and
    // position near for the writes.
    std::uint32_t low = ~std::uint32_t(0), high = 0;
    forListedCorners(
        state, list, [&mesh](std::uint32_t v) { __builtin_prefetch(&mesh.vertices[v].position); },
        [&](std::uint32_t, std::uint32_t from, std::uint32_t to) {
            if (from == to) return;
            low = std::min(low, corners[from]);
            high = std::max(high, corners[to - 1]);
        });
    if (low > high) return true;
    const std::uint64_t firstSlot = cornerSlot(state, low);
    const std::uint64_t span = 12 * (std::uint64_t(cornerSlot(state, high)) + 1 - firstSlot);
    void* mapped = gl->glMapBufferRange(GL_ARRAY_BUFFER, GLintptr(mesh.vboOffsets[Mesh::RefillPositions] + 12 * firstSlot),
                                        GLsizeiptr(span), GL_MAP_WRITE_BIT);
    if (!mapped) return false;
    std::uint8_t* const base = static_cast<std::uint8_t*>(mapped);
    const std::uint32_t shift = std::uint32_t(firstSlot);
    const std::size_t starts = state.fanFirst.size();
    for (const std::uint32_t v : list) {
        if (std::size_t(v) + 1 >= starts) continue;
        const vec3 p = mesh.vertices[v].position;
        const std::uint32_t to = first[v + 1];
        if (state.everyFaceActive)
            for (std::uint32_t c = first[v]; c != to; ++c) std::memcpy(base + 12 * std::uint64_t(corners[c] - shift), &p, 12);
        else
            for (std::uint32_t c = first[v]; c != to; ++c)
                std::memcpy(base + 12 * std::uint64_t(cornerSlot(state, corners[c]) - shift), &p, 12);
    }
    return gl->glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE;
}

// The paint runs: colour, light and material of the runs' faces, written
// into the arrays the marks reach, straight into one mapped range from the
// first reached array's first slot to the last reached array's last (the
// array between two reached ones, when not reached, is not touched). False
// when the range cannot be mapped or its contents were lost.
bool refillPaintRuns(Mesh& mesh, bool& layoutHolds) {
    const std::vector<Run>& runs = runsOf(mesh, mesh.bufferState.marks(Mesh::RefillPaint));
    const unsigned parts = mesh.bufferState.paintParts() & 7u;
    if (runs.empty() || parts == 0) return true;
    const int low = __builtin_ctz(parts), high = 31 - __builtin_clz(parts);
    const std::uint64_t from = mesh.vboOffsets[2 + low] + 12 * std::uint64_t(runs.front().placed.first);
    const std::uint64_t to = mesh.vboOffsets[2 + high] + 12 * std::uint64_t(runs.back().placed.end);
    void* mapped = gl->glMapBufferRange(GL_ARRAY_BUFFER, GLintptr(from), GLsizeiptr(to - from), GL_MAP_WRITE_BIT);
    if (!mapped) return false;
    std::uint8_t* const base = static_cast<std::uint8_t*>(mapped);
    // Where the next face's corners go in each array; null for an array
    // not reached, whose bytes go to a scratch place.
    std::uint8_t* at[3] = {nullptr, nullptr, nullptr};
    std::uint8_t scratch[3][12];
    const auto start = [&](const Run& r) {
        for (int i = 0; i < 3; ++i)
            at[i] = (parts & (1u << i)) ? base + (mesh.vboOffsets[2 + i] + 12 * std::uint64_t(r.placed.first) - from)
                                        : nullptr;
    };
    const auto write = [&](const MeshFace& F, std::uint32_t) {
        std::uint8_t* p[3];
        for (int i = 0; i < 3; ++i) p[i] = at[i] ? at[i] : scratch[i];
        vbofill::writePaint(F, p[0], p[1], p[2]);
        for (int i = 0; i < 3; ++i)
            if (at[i]) at[i] = p[i];
    };
    layoutHolds = forRunFaces(mesh, runs, start, write) && layoutHolds;
    return gl->glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE;
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
