// The change marks of the mesh's vertex buffers: which faces' corners each
// refillable array must rewrite at the next build, which faces' feature
// edges must be found again, and the step before a build that follows the
// marks (a marked vertex stands for its fan) or gives way to a whole refill
// where they cannot be followed.

#include <algorithm>

#include "mesh/mesh.h"

namespace qel {

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
ChangeMarks* Mesh::marksFor(RefillArray array, unsigned char channels) {
    if (array < 0 || array >= MeshBufferState::MarkedArrays) return nullptr;
    if (refill[array] != 0 && refill[array] != RefillMarked) return nullptr;
    ChangeMarks& marks = bufferState.marks[array];
    if (marks.overflowed()) return nullptr;
    if (array == RefillPaint) bufferState.paintParts = std::uint8_t(bufferState.paintParts | paintPartsOf(channels));
    return &marks;
}

void Mesh::markFaceChanged(RefillArray array, int f, unsigned char channels) {
    ChangeMarks* marks = validFace(f) ? marksFor(array, channels) : nullptr;
    if (!marks) return;
    marks->markFace(std::uint32_t(f));
    if (marks->markedFaces() > markLimit(faces.size())) marks->overflow();
}

void Mesh::markVertexChanged(RefillArray array, int v, unsigned char channels) {
    ChangeMarks* marks = validVertex(v) ? marksFor(array, channels) : nullptr;
    if (marks && marks->markVertex(std::uint32_t(v)) && marks->markedVertices() > markLimit(vertices.size()))
        marks->overflow();
}

void Mesh::markVerticesChanged(RefillArray array, const std::int32_t* list, std::size_t n, unsigned char channels) {
    ChangeMarks* marks = marksFor(array, channels);
    if (!marks) return;
    if (n > markLimit(vertices.size())) marks->overflow();
    for (std::size_t i = 0; i < n && !marks->overflowed(); ++i) markVertexChanged(array, list[i], channels);
}

void Mesh::markFeaturesChanged(int f) {
    FeatureEdges& features = bufferState.features;
    if (features.allStale || !validFace(f)) return;
    features.stale.push_back(std::uint32_t(f));
    if (features.stale.size() > markLimit(faces.size())) markFeaturesChanged();
}

void Mesh::markFeaturesChanged() {
    FeatureEdges& features = bufferState.features;
    features.allStale = true;
    features.stale.clear();
}

// ---------------------------------------------------------------------------
// Following the marks

namespace {

bool marked(std::uint8_t flag) { return flag == Mesh::RefillMarked; }

}  // namespace

void Mesh::settleMarkedRefills() {
    MeshBufferState& state = bufferState;
    FeatureEdges& features = state.features;
    if (features.allStale) {
        // Links changed anywhere (an edit): corners and active faces may
        // have changed with them, so nothing marked is trusted.
        for (std::uint8_t& flag : refill)
            if (marked(flag)) flag = RefillWhole;
    } else if (!features.stale.empty() && refill[RefillPositions] != 0) {
        // A face whose feature edges changed moves the segments of every
        // later face in the line buffer: the positions are refilled whole.
        for (const std::uint32_t f : features.stale) {
            if (f >= features.mask.size() || f >= faces.size()) continue;
            const std::uint8_t mask = featureMask(faces[f], std::int32_t(f), state);
            if (mask == features.mask[f]) continue;
            features.mask[f] = mask;
            refill[RefillPositions] = RefillWhole;
        }
        features.stale.clear();
    }
    if (marked(refill[RefillIds])) refill[RefillIds] = RefillWhole;
    // A marked vertex stands for the drawn faces using it, listed by the
    // layout: the corners of the faces have not changed since (an edit that
    // changes them changes the links, and every refill is whole).
    const std::vector<std::uint32_t>& first = state.fanFirst;
    for (int a = 0; a < MeshBufferState::MarkedArrays; ++a) {
        if (!marked(refill[a])) continue;
        ChangeMarks& marks = state.marks[a];
        if (marks.overflowed()) {
            refill[a] = RefillWhole;
            continue;
        }
        for (const std::uint32_t v : marks.vertices()) {
            if (std::size_t(v) + 1 >= first.size()) continue;
            for (std::uint32_t i = first[v]; i < first[std::size_t(v) + 1]; ++i) marks.markFace(state.fanFaces[i]);
        }
    }
}

}  // namespace qel
