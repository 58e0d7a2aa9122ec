// The order of a mesh made other than by an OBJ import: the mesh of a
// conversion, a subdivision or a pattern that appended its new records at
// the end. Such a mesh is put into the order an import gives a scattered file
// (orderSpatially) and linked again, so that a brush stamp and the buffer
// refills it causes read and write near records.
//
// The space order of some meshes is itself scattered by the count of jumps
// (faces long against the spacing of their vertices, whose corners lie in
// far cells of the curve). Such a mesh is ordered only while the order it
// would get has measurably fewer jumps than the one it has; the jumps of
// its last planned order are kept, so that the strokes after it (whose
// ends each ask again) neither order nor plan it again.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "mesh/kept_selection.h"
#include "mesh/mesh.h"
#include "mesh/mesh_stroke.h"
#include "mesh/space_order.h"

namespace qel {

namespace {

// Per old face number the new one, from the plan's new-to-old list.
std::vector<std::int32_t> newFaceNumbers(const spaceorder::Plan& plan) {
    std::vector<std::int32_t> to(plan.faceFrom.size(), -1);
    for (std::size_t i = 0; i < plan.faceFrom.size(); ++i) to[std::size_t(plan.faceFrom[i])] = std::int32_t(i);
    return to;
}

}  // namespace

bool Mesh::orderIfScattered(bool linked) {
    const int nV = vertexCount(), nF = faceCount();
    if (nV < spaceorder::FewVertices) return false;
    const std::int64_t jumps = spaceorder::jumps(nF, [this](int f) { return faces[f].v[0]; });
    if (!spaceorder::scatteredBy(nV, nF, jumps)) return false;
    // The space order last planned, for about as many faces, had about as
    // many jumps for each face: planning it again would find no better one.
    if (spaceOrderFaces_ > 0 && 8 * std::abs(nF - spaceOrderFaces_) <= spaceOrderFaces_ &&
        !spaceorder::measurablyFewer(double(spaceOrderJumps_) * nF / spaceOrderFaces_, double(jumps)))
        return false;
    spaceorder::Plan plan;
    planSpaceOrder(plan);
    if (!spaceorder::measurablyFewer(double(plan.jumps), double(jumps))) {
        spaceOrderJumps_ = plan.jumps;
        spaceOrderFaces_ = nF;
        return false;
    }
    // A compaction first changes what the plan numbers.
    if (needsCompaction)
        orderInSpace(linked);
    else
        orderInSpace(plan, linked);
    return true;
}

void Mesh::orderInSpace(bool linked) {
    if (needsCompaction) {
        // Before the order, so that the rebuild moves no record into a
        // hole and leaves the records in the order planned.
        std::vector<std::int32_t> vertexTo, faceTo;
        compact(false, nullptr, &vertexTo, &faceTo);
        if (!vertexTo.empty()) keptselection::renumber(*this, vertexTo, faceTo);
    }
    spaceorder::Plan plan;
    planSpaceOrder(plan);
    orderInSpace(plan, linked);
}

void Mesh::orderInSpace(const spaceorder::Plan& plan, bool linked) {
    // Every index kept outside the records but the selection's is dropped:
    // what a stroke keeps, a stamp's lists, the GL buffers' layout.
    forgetOpenStroke();
    stroke_.reset();
    keptselection::dropStampLists(*this);
    const bool selected = !selectedVertices.empty() || !selectedFaces.empty();
    std::vector<std::int32_t> faceTo;
    if (linked || selected) faceTo = newFaceNumbers(plan);
    applySpaceOrder(plan, linked ? &faceTo : nullptr);
    if (selected) keptselection::renumber(*this, plan.vertexTo, faceTo);
    // Every record has a new number: none is newer than the others.
    const int nV = vertexCount(), nF = faceCount();
    vertexMark = nV;
    faceMark = nF;
    if (linked) {
        deleteVBO();
        return;
    }
    const std::vector<std::uint8_t> faceBits = keptselection::faceBits(*this);
    // The rebuild an import runs after its order: links, stored faces,
    // vertex bits and normals from the new numbers; centre and size kept.
    initialize(ResizeKeep);
    if (keptselection::settleAfterRebuild(*this, nV, nF)) keptselection::setFaceBits(*this, faceBits);
}

}  // namespace qel
