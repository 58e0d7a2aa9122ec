// The change marks of the mesh's vertex buffers: which faces' corners each
// refillable array must rewrite at the next build, which faces' feature
// edges must be found again, the writes of a stroke that make them, and the
// step before a build that follows the marks (a marked vertex stands for
// its fan) or gives way to a whole refill where they cannot be followed.

#include <algorithm>

#include "mesh/mesh.h"
#include "mesh/vertex_fans.h"

namespace qel {

static_assert(int(Mesh::RefillPositions) == MeshBufferState::Positions &&
                  int(Mesh::RefillNormals) == MeshBufferState::Normals &&
                  int(Mesh::RefillPaint) == MeshBufferState::Paint && int(Mesh::RefillIds) == MeshBufferState::Ids,
              "the mesh's refill flags are indexed as the buffer state's arrays");

// ---------------------------------------------------------------------------
// ChangeMarks

bool ChangeMarks::markVertex(std::uint32_t v) {
    if (overflowed_) return false;
    const std::size_t w = v >> 6;
    if (w >= vertexWords_.size()) vertexWords_.resize(w + 1, 0);
    const std::uint64_t bit = std::uint64_t(1) << (v & 63);
    if (vertexWords_[w] & bit) return false;
    vertexWords_[w] |= bit;
    vertexList_.push_back(v);
    return true;
}

void ChangeMarks::overflow() {
    clear();
    overflowed_ = true;
}

void ChangeMarks::clear() {
    if (lowWord_ <= highWord_)
        std::fill(faceWords_.begin() + long(lowWord_), faceWords_.begin() + long(highWord_) + 1, 0);
    lowWord_ = 1;
    highWord_ = 0;
    faceMarks_ = 0;
    for (const std::uint32_t v : vertexList_) vertexWords_[v >> 6] = 0;
    vertexList_.clear();
    overflowed_ = false;
}

// ---------------------------------------------------------------------------
// Marking

namespace {

// Marks past an eighth of the records cost more to follow than a whole
// refill.
std::size_t markLimit(std::size_t records) { return records / 8 + 64; }

// The paint arrays (bit 0 colour, 1 light, 2 material) that the channels of
// a pbr::Mask set are drawn from.
std::uint8_t paintPartsOf(unsigned char channels) {
    return std::uint8_t(((channels & (pbr::MaskColour | pbr::MaskOpacity)) ? 1 : 0) |
                        ((channels & (pbr::MaskLight | pbr::MaskThickness)) ? 2 : 0) |
                        ((channels & (pbr::MaskRoughness | pbr::MaskMetalness)) ? 4 : 0));
}

}  // namespace

// The marks of the array, null when none are kept: a whole refill already
// asked for covers every face.
ChangeMarks* MeshBufferState::marksFor(int array, unsigned char channels) {
    if (array < 0 || array >= MarkedArrays) return nullptr;
    if (refill_[array] != 0 && refill_[array] != RefillMarked) return nullptr;
    ChangeMarks& marks = marks_[array];
    if (marks.overflowed()) return nullptr;
    if (array == Paint) paintParts_ = std::uint8_t(paintParts_ | paintPartsOf(channels));
    return &marks;
}

void MeshBufferState::overflow(ChangeMarks& marks) {
    if (&marks == &marks_[Paint]) forgetVertexPaint();
    marks.overflow();
}

void MeshBufferState::forgetVertexPaint() {
    for (const std::uint32_t v : marks_[Paint].vertices()) vertexPaint_[v] = 0;
}

void MeshBufferState::markFace(int array, int f, unsigned char channels) {
    ChangeMarks* marks = mesh_.validFace(f) ? marksFor(array, channels) : nullptr;
    if (!marks) return;
    marks->markFace(std::uint32_t(f));
    if (marks->markedFaces() > markLimit(mesh_.faces.size())) overflow(*marks);
}

void MeshBufferState::markVertex(int array, int v, unsigned char channels) {
    ChangeMarks* marks = mesh_.validVertex(v) ? marksFor(array, channels) : nullptr;
    if (!marks) return;
    if (array == Paint) {
        if (vertexPaint_.size() <= std::size_t(v))
            vertexPaint_.resize(std::max(mesh_.vertices.size(), std::size_t(v) + 1), 0);
        vertexPaint_[std::size_t(v)] = std::uint8_t(vertexPaint_[std::size_t(v)] | paintPartsOf(channels));
    }
    if (marks->markVertex(std::uint32_t(v)) && marks->markedVertices() > markLimit(mesh_.vertices.size()))
        overflow(*marks);
}

void MeshBufferState::markVertices(int array, const std::int32_t* list, std::size_t n, unsigned char channels) {
    ChangeMarks* marks = marksFor(array, channels);
    if (!marks) return;
    if (n > markLimit(mesh_.vertices.size())) overflow(*marks);
    for (std::size_t i = 0; i < n && !marks->overflowed(); ++i) markVertex(array, list[i], channels);
}

void MeshBufferState::markFans(int array, const VertexFans& fans) {
    for (std::size_t i = 0; i < fans.size(); ++i) {
        if (fans.begin(i) == fans.end(i)) markVertex(array, fans.vertex(i));
        for (const FanFace* x = fans.begin(i); x != fans.end(i); ++x) markFace(array, x->face);
    }
}

void MeshBufferState::markFeatures(int f) {
    // Links or sharp marks changed: so may the components and patches.
    mesh_.topologyEdited();
    if (features.allStale || !mesh_.validFace(f)) return;
    features.stale.push_back(std::uint32_t(f));
    if (features.stale.size() > markLimit(mesh_.faces.size())) markFeatures();
}

void MeshBufferState::markFeatures() {
    mesh_.topologyEdited();
    features.allStale = true;
    features.stale.clear();
}

void MeshBufferState::reset() {
    for (ChangeMarks& marks : marks_) marks = ChangeMarks();
    paintParts_ = 0;
    vertexPaint_ = {};
    features = FeatureEdges();
    faceSlots = 0;
    everyFaceActive = true;
    rank = {};
    activeWords = {};
    fanFirst = {};
    fanCorners = {};
    laidOut = false;
}

// ---------------------------------------------------------------------------
// Writes

void MeshBufferState::faceSetChanged() {
    mesh_.topologyChanged = 1;
    mesh_.topologyEdited();
}

void MeshBufferState::displace(const std::int32_t* list, const vec3* d, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) mesh_.vertices[list[i]].position += d[i];
    // The position refill rewrites the faces round the moved vertices.
    markVertices(Positions, list, n);
}

// A painted vertex is marked for the channels whose values changed at its
// corners, and not at all when none did: a brush going over paint it has
// already laid down (or blending by a weight too small to move a channel)
// leaves nothing to rewrite.
void MeshBufferState::paintSector(int v, int f, const pbr& m, unsigned char mask) {
    const unsigned char changed = mesh_.materialRegion(v, f, m, mask);
    if (changed) markVertex(Paint, v, changed);
}

void MeshBufferState::paintFan(const VertexFans& fans, std::size_t i, std::size_t count, const pbr& m,
                               unsigned char mask) {
    const FanFace* const last = fans.begin(i) + count;
    unsigned char changed = 0;
    for (const FanFace* x = fans.begin(i); x != last; ++x)
        changed |= mesh_.faces[x->face].material[x->k].assignChanged(m, mask);
    if (changed) markVertex(Paint, fans.vertex(i), changed);
}

void MeshBufferState::paintFace(int f, const pbr& m, unsigned char mask) {
    if (!mesh_.validFace(f)) return;
    mesh_.faces[f].setMaterial(m, m, m, mask);
    markFace(Paint, f, mask);
}

// ---------------------------------------------------------------------------
// Following the marks

namespace {

bool marked(std::uint8_t flag) { return flag == MeshBufferState::RefillMarked; }

}  // namespace

void MeshBufferState::settle() {
    std::uint8_t* refill = refill_;
    const Mesh::FaceList& faces = mesh_.faces;
    if (features.allStale) {
        // Links changed anywhere (an edit): corners and active faces may
        // have changed with them, so nothing marked is trusted.
        for (int a = 0; a < 4; ++a)
            if (marked(refill[a])) refill[a] = RefillWhole;
    } else if (!features.stale.empty() && refill[Positions] != 0) {
        // A face whose feature edges changed moves the segments of every
        // later face in the line buffer: the positions are refilled whole.
        for (const std::uint32_t f : features.stale) {
            if (f >= features.mask.size() || f >= faces.size()) continue;
            const std::uint8_t mask = featureMask(faces[f], std::int32_t(f), *this);
            if (mask == features.mask[f]) continue;
            features.mask[f] = mask;
            refill[Positions] = RefillWhole;
        }
        features.stale.clear();
    }
    if (marked(refill[Ids])) refill[Ids] = RefillWhole;
    // A marked vertex stands for the drawn faces using it, listed by the
    // layout: the corners of the faces have not changed since (an edit that
    // changes them changes the links, and every refill is whole). The
    // positions written corner by corner, and the paint (always written at
    // the marked vertices' own corners), need no faces.
    const bool byCorner = marked(refill[Positions]) && positionsByCorner();
    for (int a = 0; a < MarkedArrays; ++a) {
        if (!marked(refill[a])) continue;
        ChangeMarks& marks = marks_[a];
        if (marks.overflowed()) {
            refill[a] = RefillWhole;
            continue;
        }
        if ((a == Positions && byCorner) || a == Paint) continue;
        // fanCorners names faces below faceSlots only.
        forListedCorners(
            *this, marks.vertices(), [](std::uint32_t) {},
            [&](std::uint32_t, std::uint32_t from, std::uint32_t to) {
                marks.markCornerFaces(fanCorners.data() + from, to - from, faceSlots);
            });
    }
}

bool MeshBufferState::positionsByCorner() const { return mesh_.featureVbo == 0 || mesh_.featureCount == 0; }

void MeshBufferState::built() {
    if (refill_[Paint] != 0) {
        forgetVertexPaint();
        paintParts_ = 0;
    }
    for (int a = 0; a < MarkedArrays; ++a)
        if (refill_[a] != 0) marks_[a].clear();
    if (refill_[Positions] != 0 && refill_[Positions] != RefillMarked) {
        features.allStale = false;
        features.stale.clear();
    }
    laidOut = true;
}

}  // namespace qel
