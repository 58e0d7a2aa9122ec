// Sculpting of the tube and the revoluton through their curves: the
// gesture copies, the working curve laid on the surface, the copy back into
// the target with the mapping into its own space, and the end of a stroke.

#include "elements/swept_sculpt.h"

#include <cmath>
#include <cstdint>
#include <memory>

#include "curves/curve.h"
#include "curves/ucurve.h"
#include "elements/revoluton.h"
#include "elements/swept_anchor.h"
#include "elements/swept_fill.h"
#include "elements/tube.h"
#include "scene/sculptor.h"

namespace qel {

void dropWorkingCurve(Curve*& working, const Curve* borrowed) {
    if (working != borrowed) delete working;
    working = nullptr;
}

namespace {

// The curve a stroke on c finally changes: c, or the base of a resampled c.
Curve* targetOf(Curve* c) {
    if (auto* u = dynamic_cast<UCurve*>(c)) return u->base;
    return c;
}

// The target's edge under the chosen curve's edge e: e itself, or for a
// resampled curve the base edge it records at vertex[0] of its edge e; -1
// when there is none.
int baseEdgeOf(const Curve& chosen, const Curve& target, int e) {
    if (&chosen == &target) return usableEdge(&target, e) ? e : -1;
    if (!usableEdge(&chosen, e)) return -1;
    const int b = chosen.vertices[std::size_t(chosen.edges[std::size_t(e)].v[0])].selection;
    return usableEdge(&target, b) ? b : -1;
}

// The copies of one step's gestures, with their picked items made edge
// indices of the chosen curve's target.
class StepCopies {
public:
    // Copies of the first `limit` gestures (null ones passed over).
    StepCopies(const std::vector<Sculptor*>& gestures, const Curve& chosen, const Curve& target, bool carrier,
               std::size_t limit)
        : chosen_(chosen), target_(target), carrier_(carrier) {
        for (std::size_t i = 0; i < gestures.size() && i < limit; ++i) {
            if (gestures[i] == nullptr) continue;
            owned_.push_back(std::make_unique<Sculptor>(*gestures[i]));
            Sculptor& c = *owned_.back();
            const bool started = c.isStarted();
            for (std::size_t j = 0; j < c.samples.size(); ++j)
                c.samples[j].itemId = edgeOf(c.samples[j].itemId, j == 0 && !started);
            list_.push_back(&c);
            from_.push_back(i);
        }
    }

    std::vector<Sculptor*>& list() { return list_; }
    bool empty() const { return list_.empty(); }

    // Every sample of each copy of gesture i moved by anchors[i] minus the
    // gesture's first point: the stroke keeps its shape and starts at the
    // anchor copy.
    void startAt(const std::vector<Sculptor*>& gestures, const std::vector<vec3>& anchors) {
        for (std::size_t k = 0; k < list_.size(); ++k) {
            const Sculptor& g = *gestures[from_[k]];
            if (g.samples.empty() || from_[k] >= anchors.size()) continue;
            const vec3 first = g.samples.front().point;
            for (std::size_t j = 0; j < g.samples.size(); ++j)
                list_[k]->samples[j].point = g.samples[j].point - first + anchors[from_[k]];
        }
    }

    // The edge each copy's first sample names after the curve sculpting,
    // written into the matching half of its gesture's first item.
    void writeBack(const std::vector<Sculptor*>& gestures) const {
        for (std::size_t k = 0; k < list_.size(); ++k) {
            Sculptor& g = *gestures[from_[k]];
            if (g.samples.empty() || list_[k]->samples.empty()) continue;
            const std::uint32_t low = std::uint32_t(list_[k]->samples.front().itemId) & 0xFFFFu;
            const std::uint32_t item = std::uint32_t(g.samples.front().itemId);
            g.samples.front().itemId =
                std::int32_t(carrier_ ? ((item & 0xFFFFu) | (low << 16)) : ((item & 0xFFFF0000u) | low));
        }
    }

private:
    // The edge a sample's item names: the carrier or cross-section half of a
    // surface id, made a base edge for a resampled curve. A first sample
    // after the stroke's first step already names a target edge (the one
    // written back). -1 for an item that names no edge.
    int edgeOf(std::int32_t item, bool writtenBack) const {
        const int e = carrier_ ? carrierEdgeOf(item) : sectionEdgeOf(item);
        if (writtenBack) return usableEdge(&target_, e) ? e : -1;
        return baseEdgeOf(chosen_, target_, e);
    }

    const Curve& chosen_;
    const Curve& target_;
    bool carrier_;
    std::vector<std::unique_ptr<Sculptor>> owned_;
    std::vector<Sculptor*> list_;
    std::vector<std::size_t> from_;  // the gesture each copy was made from
};

// The element's buffer flags given to a new working curve, and taken back.
void flagsToCurve(Curve& w, const SweptBuffers& b) {
    w.modified = b.refill[SweptBuffers::RefillPositions];
    w.normalsChanged = b.refill[SweptBuffers::RefillNormals];
    w.materialsChanged = b.refill[SweptBuffers::RefillMaterials];
    w.idsChanged = b.refill[SweptBuffers::RefillIds];
    w.reallocate = b.rebuild;
}

void flagsFromCurve(SweptBuffers& b, const Curve& w) {
    b.refill[SweptBuffers::RefillPositions] = w.modified;
    b.refill[SweptBuffers::RefillNormals] = w.normalsChanged;
    b.refill[SweptBuffers::RefillMaterials] = w.materialsChanged;
    b.refill[SweptBuffers::RefillIds] = w.idsChanged;
    b.rebuild = w.reallocate;
}

// A working curve with the target's geometry, each position laid by `lay`,
// and the element's flags.
template <typename Lay>
Curve* layWorkingCurve(const Curve& target, const SweptBuffers& b, Lay lay) {
    auto* w = new Curve(Curve::Plain);
    w->copyGeometry(&target, false);
    flagsToCurve(*w, b);
    for (CurveVertex& v : w->vertices) v.position = lay(v.position);
    return w;
}

bool finite(const vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The working curve's geometry into the target, every position carried by
// `back` (false when it cannot be); then the element takes the working
// curve's flags. Nothing at all changes when any position cannot be
// carried or would not be finite.
template <typename Back>
void carryBack(Curve& target, const Curve& w, SweptBuffers& b, Back back) {
    std::vector<vec3> mapped(w.vertices.size());
    for (std::size_t i = 0; i < mapped.size(); ++i)
        if (!back(w.vertices[i].position, mapped[i]) || !finite(mapped[i])) return;
    target.copyGeometry(&w, true);
    for (std::size_t i = 0; i < mapped.size(); ++i) target.vertices[i].position = mapped[i];
    flagsFromCurve(b, w);
}

// A working curve of the other kind of stroke, or left by a stroke that
// never ended, goes before the new stroke's first step.
void dropStale(Curve*& working, const Curve* borrowed, const Sculptor& first, bool fits) {
    if (working != nullptr && (first.isStarted() || !fits)) dropWorkingCurve(working, borrowed);
}

// ---- Tube ----

void tubeCarrier(Tube& T, std::vector<Sculptor*>& gestures, const Sculptor& first) {
    dropStale(T.working, T.path, first, T.working == T.path);
    Curve* target = targetOf(T.path);
    if (target != nullptr) {
        const bool onSurface = first.action == Sculptor::Inflate || first.action == Sculptor::Deflate;
        StepCopies copies(gestures, *T.path, *target, true, onSurface ? gestures.size() : T.anchors.size());
        if (!onSurface) copies.startAt(gestures, T.anchors);
        if (!copies.empty()) T.path->sculpt(copies.list());
        copies.writeBack(gestures);
    }
    T.working = (first.isEnded() || target == nullptr) ? nullptr : T.path;
    T.update();
}

void tubeSection(Tube& T, std::vector<Sculptor*>& gestures, const Sculptor& first) {
    dropStale(T.working, T.path, first, T.working != T.path);
    Curve* target = targetOf(T.profile);
    if (target != nullptr) {
        StepCopies copies(gestures, *T.profile, *target, false, gestures.size());
        if (T.working == nullptr) {
            T.working = layWorkingCurve(*target, T.vbo, [&](const vec3& v) {
                return tubeGridPoint(T.anchorFrame, T.anchor, target->Element::toLocal(v));
            });
            T.working->setSize(T.size());
        }
        Curve& W = *T.working;
        mat3 inverse;
        // A singular frame cannot carry the edit back: the step is skipped.
        const bool invertible = invertAnchorFrame(T.anchorFrame, inverse);
        if (invertible) {
            W.centre = T.anchor;
            W.sculpt(copies.list());
            W.centre = T.centre;
        }
        copies.writeBack(gestures);
        if (invertible)
            carryBack(*target, W, T.vbo, [&](const vec3& w, vec3& out) {
                out = target->Element::toWorld(T.anchorFrameInverse * (w - T.anchor));
                return true;
            });
    }
    if (first.isEnded()) dropWorkingCurve(T.working, T.path);
    T.update();
}

// ---- Revoluton ----

// The section point of a profile stroke: the picked cell's nearest point
// for the first gesture's first sample, which moves onto it. Nothing when
// the sample names no cell.
void placeSectionAnchor(Revoluton& R, Curve& target, Sculptor& first) {
    if (first.samples.empty()) return;
    SBrush& sample = first.samples.front();
    const int e = baseEdgeOf(*R.profile, target, carrierEdgeOf(sample.itemId));
    const int f = sectionEdgeOf(sample.itemId);
    const Curve& S = *R.section;
    if (e < 0 || !usableEdge(&S, f)) return;
    const CurveEdge& E = target.edges[std::size_t(e)];
    const CurveEdge& F = S.edges[std::size_t(f)];
    const vec3 A = target.vertices[std::size_t(E.v[0])].position, B = target.vertices[std::size_t(E.v[1])].position;
    const vec3 qa = S.toLocal(S.vertices[std::size_t(F.v[0])].position);
    const vec3 qb = S.toLocal(S.vertices[std::size_t(F.v[1])].position);
    const CellPoint c =
        nearestCellPointRevoluton(revolve(A, qa), revolve(B, qa), revolve(A, qb), revolve(B, qb), sample.point);
    sample.point = c.point;
    R.sectionAnchor = qa * (1.0f - c.t) + qb * c.t;
}

void revolutonCarrier(Revoluton& R, std::vector<Sculptor*>& gestures, Sculptor& first) {
    dropStale(R.working, nullptr, first, true);
    Curve* target = targetOf(R.profile);
    if (target != nullptr && R.section != nullptr) {
        StepCopies copies(gestures, *R.profile, *target, true, gestures.size());
        if (R.working == nullptr) {
            placeSectionAnchor(R, *target, first);
            const vec3 S = R.sectionAnchor;
            R.working = layWorkingCurve(*target, R.vbo, [&](const vec3& v) { return revolve(v, S); });
            R.working->centre = R.centre;
            R.working->setSize(R.size());
        }
        Curve& W = *R.working;
        const vec3 S = R.sectionAnchor;
        const double k = double(S.x) * S.x + double(S.y) * S.y;
        // A section anchor on the Y axis turns every profile point onto the
        // axis: nothing can be carried back, and the step is skipped.
        const bool invertible = k > 0.0 && std::isfinite(k);
        if (invertible) W.sculpt(copies.list());
        copies.writeBack(gestures);
        if (invertible)
            carryBack(*target, W, R.vbo, [&](const vec3& w, vec3& out) {
                const double x = (double(S.x) * w.x + double(S.y) * w.z) / k;
                const double z = (double(S.x) * w.z - double(S.y) * w.x) / k;
                out = vec3(float(x), float(double(w.y) - double(S.z) * std::sqrt(x * x + z * z)), float(z));
                return true;
            });
    }
    if (first.isEnded()) dropWorkingCurve(R.working, nullptr);
    R.update();
}

void revolutonSection(Revoluton& R, std::vector<Sculptor*>& gestures, const Sculptor& first) {
    dropStale(R.working, nullptr, first, true);
    Curve* target = targetOf(R.section);
    if (target != nullptr) {
        StepCopies copies(gestures, *R.section, *target, false, gestures.size());
        const vec3 P = R.profileAnchor;
        if (R.working == nullptr) {
            R.working = layWorkingCurve(*target, R.vbo, [&](const vec3& v) { return revolve(P, target->toLocal(v)); });
            R.working->setSize(R.size());
        }
        Curve& W = *R.working;
        // A profile anchor on the axis has no ring to carry the edit back:
        // the step is skipped.
        const double k = double(P.x) * P.x + double(P.z) * P.z;
        const bool invertible = k > 0.0 && std::isfinite(k);
        if (invertible) {
            W.centre = P;
            W.sculpt(copies.list());
            W.centre = R.centre;
        }
        copies.writeBack(gestures);
        if (invertible)
            carryBack(*target, W, R.vbo, [&](const vec3& w, vec3& out) {
                if (!unrevolve(P, w, out)) return false;
                out = target->toWorld(out);
                return true;
            });
    }
    if (first.isEnded()) dropWorkingCurve(R.working, nullptr);
    R.update();
}

}  // namespace

void sculptTube(Tube& tube, std::vector<Sculptor*>& gestures) {
    if (gestures.empty() || gestures.front() == nullptr) return;
    const Sculptor& first = *gestures.front();
    if (first.onSection == 0)
        tubeCarrier(tube, gestures, first);
    else
        tubeSection(tube, gestures, first);
}

void sculptRevoluton(Revoluton& rev, std::vector<Sculptor*>& gestures) {
    if (gestures.empty() || gestures.front() == nullptr) return;
    Sculptor& first = *gestures.front();
    if (first.onSection == 0)
        revolutonCarrier(rev, gestures, first);
    else
        revolutonSection(rev, gestures, first);
}

}  // namespace qel
