// What the tube and the revoluton share: references to their curves, the
// current record and the drawing through their swept buffers.

#include "elements/swept_element.h"

#include <algorithm>
#include <limits>

#include "core/number_text.h"
#include "curves/curve.h"
#include "elements/swept_mesh.h"
#include "elements/swept_sculpt.h"
#include "gl/buffer.h"
#include "mesh/mesh.h"
#include "scene/load_budget.h"

namespace qel {

namespace {

// The vertex records of the carrier times those of the cross-section, as
// the object's box multiplies them; 0 without both.
std::uint64_t gridVertexCount(const Curve* carrier, const Curve* section) {
    if (!carrier || !section) return 0;
    return std::uint64_t(carrier->vertices.size()) * std::uint64_t(section->vertices.size());
}

}  // namespace

SweptElement::SweptElement(TType type, SweptKind kind) : Element(type), ownType_(type), kind_(kind) {}

SweptElement::SweptElement(TType type, SweptKind kind, Curve* carrier, Curve* crossSection)
    : Element(type), carrier_(carrier), crossSection_(crossSection), ownType_(type), kind_(kind) {
    if (carrier_) carrier_->initialize(ResizeKeep);
    if (crossSection_) crossSection_->initialize(ResizeKeep);
    calculateSize(ResizeKeep);
    vbo.rebuild = 1;
}

SweptElement::~SweptElement() {
    dropWorkingCurve(working, borrowedWorking());
    vbo.release();
}

const Curve* SweptElement::borrowedWorking() const { return kind_ == SweptKind::Tube ? carrier_ : nullptr; }

void SweptElement::init() {
    Element::init();
    dropWorkingCurve(working, borrowedWorking());
    if (carrier_) carrier_->init();
    if (crossSection_) crossSection_->init();
    type = ownType_;
    // The buffer is released, not only forgotten.
    vbo.release();
    vbo.rebuild = 1;
}

void SweptElement::initialize(TResizeStyle style) {
    if (carrier_) carrier_->initialize(style);
    if (crossSection_) crossSection_->initialize(ResizeKeep);
    calculateSize(style);
    vbo.rebuild = 1;
}

void SweptElement::payForSurface(std::uint64_t copies) {
    std::uint64_t vertices = 0, bytes = 0;
    sweptSurfaceCost(SweptShape{kind_, carrier_, crossSection_}, vertices, bytes);
    if (vertices == 0) return;
    copies = std::max<std::uint64_t>(copies, 1);
    const std::uint64_t most = std::numeric_limits<std::size_t>::max();
    const std::uint64_t total = bytes > most / copies ? most : bytes * copies;
    const std::size_t allowed = LoadBudget::bytesAllowed(std::size_t(total));
    if (vertices <= vbo.mostVertices && allowed >= total) {
        LoadBudget::spendBytes(std::size_t(total));
        return;
    }
    // Left out; an edit may bring it back within what the budget holds.
    vbo.mostVertices = std::min<std::uint64_t>(vbo.mostVertices, allowed / copies / SweptBuildBytesPerVertex);
    LoadBudget::noteSurfaceLeftOut(
        kind_ == SweptKind::Tube ? LoadBudget::TSurface::Tube : LoadBudget::TSurface::Revoluton, copies, total);
}

std::uint64_t SweptElement::surfaceVertices() const {
    std::uint64_t vertices = 0, bytes = 0;
    sweptSurfaceCost(SweptShape{kind_, carrier_, crossSection_}, vertices, bytes);
    return vertices;
}

std::uint64_t SweptElement::boxVertices() const { return gridVertexCount(carrier_, crossSection_); }

std::string SweptElement::cornersText(std::uint64_t corners, std::uint64_t boxVertices) {
    return groupedNumber(corners) + " surface corners (" + groupedNumber(boxVertices) +
           " vertices as its box counts them)";
}

std::string SweptElement::overLimitReason() const {
    if (vbo.mostVertices >= SweptMaxVertices)
        return "more than the " + groupedNumber(SweptMaxVertices) + " one surface may draw";
    return "more than the " + groupedNumber(vbo.mostVertices) +
           " its file's load could build: the load left the surface out, as the file asked for more than can be "
           "shown";
}

SweptElement::CurveSubdivision SweptElement::subdivideCurve(bool crossSection, std::uint64_t& vertices,
                                                            std::uint64_t& boxVertices) {
    Curve* c = crossSection ? crossSection_ : carrier_;
    vertices = boxVertices = 0;
    if (!c) return CurveSubdivision::NoCurve;
    // What the split would build, counted on a copy of the curve: not every
    // curve doubles its edges (a resampled curve takes its samples from its
    // base again), and a curve both sides share changes both.
    Element* trial = c->clone()->copy(1);
    Curve* split = static_cast<Curve*>(trial);
    split->subdivide(true);
    std::uint64_t bytes = 0;
    const SweptShape shape{kind_, carrier_ == c ? split : carrier_, crossSection_ == c ? split : crossSection_};
    sweptSurfaceCost(shape, vertices, bytes);
    boxVertices = gridVertexCount(shape.carrier, shape.section);
    Element::drop(trial);
    if (vertices > vbo.mostVertices) return CurveSubdivision::OverLimit;
    c->subdivide(true);
    // One whose stamp is current never reads its curves again.
    touch();
    return CurveSubdivision::Done;
}

void SweptElement::calculateSize(TResizeStyle style) {
    if (!carrier_) return;
    carrier_->calculateSize(style);
    takeExtent();
}

void SweptElement::takeExtent() {
    centre = kind_ == SweptKind::Tube ? carrier_->centre : vec3(0, carrier_->centre.y, 0);
    setSize(carrier_->size());
}

void SweptElement::subElements(std::vector<Element*>& list) {
    if (carrier_) list.push_back(carrier_);
    if (crossSection_) list.push_back(crossSection_);
}

void SweptElement::allElements(std::vector<Element*>& list) {
    list.push_back(this);
    if (carrier_) carrier_->allElements(list);
    if (crossSection_) crossSection_->allElements(list);
}

void SweptElement::resolve(const std::vector<Element*>& table) {
    refCount += 1;
    if (idsPending_) {
        idsPending_ = false;
        id = 0;
        carrier_ = curveOfId(table, carrierId_);
        crossSection_ = curveOfId(table, crossSectionId_);
    }
    if (carrier_) carrier_->resolve(table);
    if (crossSection_) crossSection_->resolve(table);
}

void SweptElement::touch() {
    vbo.rebuild = 1;
    updateStamp = GlobalUpdate;
}

void SweptElement::deleteVBO() { vbo.release(); }

bool SweptElement::buildVBO() { return vbo.build(kind_, carrier_, crossSection_); }

bool SweptElement::enableVBO() { return vbo.enable(kind_, carrier_, crossSection_); }

void SweptElement::disableVBO() { vbo.disable(); }

bool SweptElement::renderBegin() { return vbo.renderBegin(kind_, carrier_, crossSection_); }

void SweptElement::renderEnd() { vbo.renderEnd(); }

void SweptElement::render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight, float,
                          bool end) {
    update();
    const mat4 M = m * localMatrix();
    vbo.render(kind_, carrier_, crossSection_, objectId, itemId, M, material, end);
    // A surface left out is still seen, and picked, as its carrier's line
    // (in the surface's own space: a tube's path, a revoluton's profile).
    if (vbo.leftOut && carrier_) carrier_->renderLines(objectId, itemId, M, material, true);
}

bool SweptElement::hasFeatures() const { return vbo.hasFeatures(); }

void SweptElement::renderFeatures(const mat4& m, const bvec4& colour, bool end) {
    vbo.renderFeatures(m * localMatrix(), colour, end);
}

void SweptElement::clearStroke() {
    dropWorkingCurve(working, borrowedWorking());
    if (carrier_) carrier_->clearStroke();
    if (crossSection_) crossSection_->clearStroke();
}

bool SweptElement::hasAuxiliary() const { return working != nullptr; }

void SweptElement::renderAuxiliary(const mat4& m, const bvec4& colour, bool) {
    if (working) working->renderFeatures(m, colour, true);
}

Mesh* SweptElement::ToMesh() {
    if (surfaceVertices() > vbo.mostVertices) return nullptr;
    return sweptToMesh(*this, kind_, carrier_, crossSection_);
}

void SweptElement::writeRecord(buffer& b, std::uint32_t tag) const {
    b.writeU32(tag);
    b.writeU32(8);
    b.writeI32(curveId(carrier_));
    b.writeI32(curveId(crossSection_));
}

void SweptElement::DataRead(buffer& b) {
    replaceSharedCurve(this, carrier_, nullptr);
    replaceSharedCurve(this, crossSection_, nullptr);
    carrierId_ = b.readI32();
    crossSectionId_ = b.readI32();
    idsPending_ = true;
    id = -1;
}

void SweptElement::replaceCurve(Curve*& slot, Curve* c) {
    dropWorkingCurve(working, borrowedWorking());
    replaceSharedCurve(this, slot, c);
    touch();
}

}  // namespace qel
