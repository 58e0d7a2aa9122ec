#include "curves/ucurve.h"

#include <cmath>
#include <memory>

#include "gl/buffer.h"
#include "scene/load_budget.h"

namespace qel {

UCurve::UCurve(TCurveType t) : Curve(t) { type = TType::UCurve; }

UCurve::UCurve(Curve* b, TCurveType t) : UCurve(t) {
    base = b;
    if (base == nullptr) return;
    base->initialize(ResizeKeep);
    centre = base->centre;
    setSize(base->size());
    touch();
}

UCurve::UCurve(buffer& b, bool old) : UCurve(Plain) {
    if (!old) {
        DataRead(b);
        return;
    }
    auto read = std::make_unique<Curve>(Plain);
    read->readResampledBaseBody(b);
    if (b.failed() || read->status != 0) {
        status = 1;
        return;
    }
    base = read.release();
    curveType = UniformCurve;
    id = 0;
    initialize(ResizeKeep);
}

void UCurve::DataWrite(buffer& b) {
    b.writeU32(RecordTag);
    b.writeU32(RecordLength);
    b.writeF32(step);
    b.writeU32(std::uint32_t(curveType));
    b.writeI32(base != nullptr ? base->id : -1);
}

void UCurve::DataRead(buffer& b) {
    base = nullptr;
    baseId = -1;
    if (b.remaining() < std::int32_t(RecordLength)) {
        status = 1;
        return;
    }
    const float s = b.readF32();
    step = std::isfinite(s) ? s : 0.0f;
    curveType = TCurveType(b.readU32());
    baseId = b.readI32();
    idPending_ = true;
}

void UCurve::init() {
    step = 0.0f;
    if (base != nullptr) base->init();
    Curve::init();
    type = TType::UCurve;
}

void UCurve::initialize(TResizeStyle style) {
    if (base == nullptr) return;
    base->initialize(style);
    centre = base->centre;
    setSize(base->size());
    touch();
}

UCurve* UCurve::clone() {
    auto* c = new UCurve(base != nullptr ? base->clone() : nullptr, curveType);
    c->centre = centre;
    c->setSize(size());
    return c;
}

void UCurve::subElements(std::vector<Element*>& list) {
    if (base != nullptr) list.push_back(base);
}

void UCurve::allElements(std::vector<Element*>& list) {
    list.push_back(this);
    if (base != nullptr) base->allElements(list);
}

void UCurve::resolve(const std::vector<Element*>& elements) {
    refCount += 1;
    if (idPending_) {
        idPending_ = false;
        id = 0;
        base = nullptr;
        if (baseId >= 0 && std::size_t(baseId) < elements.size()) {
            Element* e = elements[std::size_t(baseId)];
            // Only a plain curve can be a base: a resampled one could close
            // a cycle of bases.
            if (e != nullptr && e != this && e->isType(TType::Curve) && dynamic_cast<UCurve*>(e) == nullptr)
                base = static_cast<Curve*>(e);
        }
        baseId = -1;
    }
    if (base != nullptr) base->resolve(elements);
}

void UCurve::resample() {
    if (base == nullptr || base->edges.empty()) {
        vertices.clear();
        edges.clear();
        return;
    }
    // While a file loads, its budget bounds the samples of every resampling.
    bool cut = false;
    std::unique_ptr<Curve> r(base->Uniform(step, LoadBudget::samplesAllowed(MaxUniformSamples), cut));
    LoadBudget::spendSamples(std::size_t(r->vertexCount()), cut);
    copyGeometry(r.get(), false);
}

void UCurve::touch() {
    resample();
    Curve::touch();
}

void UCurve::sculpt(std::vector<Sculptor*>& sculptors) {
    if (base == nullptr) return;
    base->sculpt(sculptors);
    touch();
}

void UCurve::clearStroke() {
    Curve::clearStroke();
    if (base) base->clearStroke();
}

void UCurve::close() {
    if (base == nullptr) return;
    base->close();
    touch();
}

}  // namespace qel
