#pragma once
// Helpers of the scene tests: an element that counts its living instances and
// either shares itself on copy (the Element default) or duplicates itself,
// and small ring and matrix checks.

#include <cmath>
#include <cstddef>
#include <vector>

#include "core/mat.h"
#include "scene/element.h"
#include "scene/tool.h"

namespace tooltest {

class TestElement : public qel::Element {
public:
    static int alive;
    explicit TestElement(bool duplicate = false) : qel::Element(TType::Mesh), duplicate_(duplicate) { ++alive; }
    ~TestElement() override { --alive; }
    // A duplicating element hands back a new element holding the n references.
    qel::Element* copy(int n) override {
        if (!duplicate_) return qel::Element::copy(n);
        auto* e = new TestElement(true);
        e->refCount += n;
        return e;
    }
    qel::Element* clone() override { return new TestElement(duplicate_); }

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
