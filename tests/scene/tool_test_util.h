#pragma once
// Helpers of the scene tests: an element that counts its living instances,
// either shares itself on copy (the Element default) or duplicates itself and
// may be a composite of sub-elements; small ring and matrix checks.

#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "core/mat.h"
#include "scene/element.h"
#include "scene/tool.h"

namespace tooltest {

class TestElement : public qel::Element {
public:
    static int alive;
    explicit TestElement(bool duplicate = false, std::vector<qel::Element*> subs_ = {})
        : qel::Element(TType::Mesh), subs(std::move(subs_)), duplicate_(duplicate) {
        ++alive;
    }
    TestElement(const TestElement& o) : qel::Element(o), duplicate_(o.duplicate_) { ++alive; }
    ~TestElement() override { --alive; }
    // A duplicating element hands back a new element holding the n references.
    qel::Element* copy(int n) override {
        if (!duplicate_) return qel::Element::copy(n);
        auto* e = new TestElement(true);
        e->refCount += n;
        return e;
    }
    qel::Element* clone() override { return new TestElement(*this); }
    // As a composite: sub-elements it does not hold.
    void subElements(std::vector<qel::Element*>& list) override { list.insert(list.end(), subs.begin(), subs.end()); }
    void allElements(std::vector<qel::Element*>& list) override {
        list.push_back(this);
        for (qel::Element* e : subs) e->allElements(list);
    }
    // Records the time of its own step (first) or of a step as a sub-element;
    // a sub-element answers `animates`.
    bool animate(bool first, double time) override {
        (first ? firstTime : lastTime) = time;
        return (!first && animates) || qel::Element::animate(first, time);
    }
    // Records the last draw (the time is -1 unless the buffers were unbound)
    // and logs its ids when a log is set.
    void render(unsigned objectId, unsigned itemId, const qel::mat4& m, const qel::pbr& material, TColorLight light,
                float time, bool end) override {
        drawn = {objectId, itemId, m, material, light, end ? time : -1.0f};
        if (log) log->push_back({objectId, itemId});
    }

    // Deletes a composite without touching its sub-elements.
    void deleteShell() {
        subs.clear();
        delete this;
    }

    struct Drawn {
        unsigned objectId = 0, itemId = 0;
        qel::mat4 m;
        qel::pbr material;
        TColorLight light = ColorAsColor;
        float time = -1.0f;
    };
    std::vector<qel::Element*> subs;
    std::vector<std::pair<unsigned, unsigned>>* log = nullptr;
    bool animates = false;
    double firstTime = -1.0, lastTime = -1.0;
    Drawn drawn;

private:
    bool duplicate_;
};
inline int TestElement::alive = 0;

// The members of t's ring in ring order from t; empty when the walk does not
// come back to t within `limit` steps.
inline std::vector<qel::Tool*> ringOf(qel::Tool* t, std::size_t limit = 1000) {
    std::vector<qel::Tool*> r;
    qel::Tool* x = t;
    do {
        r.push_back(x);
        x = x->nextInstance;
        if (r.size() > limit) return {};
    } while (x != t);
    return r;
}

inline bool near(const qel::mat4& a, const qel::mat4& b, float eps = 1e-5f) {
    for (int i = 0; i < 16; ++i)
        if (std::fabs(a.m[i] - b.m[i]) > eps) return false;
    return true;
}

inline bool near(const qel::vec3& a, const qel::vec3& b, float eps = 1e-5f) {
    return std::fabs(a.x - b.x) <= eps && std::fabs(a.y - b.y) <= eps && std::fabs(a.z - b.z) <= eps;
}

inline qel::Tool* newTool(qel::Element* e = nullptr, bool object = false) {
    auto* t = new qel::Tool(e, qel::mat4::Identity(), qel::pbr(), false);
    if (object) t->flags |= qel::Tool::FlagObject;
    return t;
}

}  // namespace tooltest
