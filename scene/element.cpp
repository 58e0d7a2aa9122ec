// The element base and its default behaviour.
#include "scene/element.h"

#include <algorithm>

#include "gl/buffer.h"

namespace qel {

std::uint32_t Element::GlobalUpdate = 1;
int Element::Animate = 1;

Element::Element(TType t) : type(t) {}

Element::Element(const Element& o)
    : updateStamp(o.updateStamp),
      id(-1),
      refCount(0),
      status(o.status),
      type(o.type),
      transparent(o.transparent),
      centre(o.centre),
      size_(o.size_) {}

Element& Element::operator=(const Element& o) {
    if (this != &o) {
        updateStamp = o.updateStamp;
        status = o.status;
        type = o.type;
        transparent = o.transparent;
        centre = o.centre;
        setSize(o.size_);
    }
    return *this;
}

Element::~Element() = default;

void Element::init() {
    centre = vec3(0, 0, 0);
    size_ = 1.0f;
    status = 0;
    updateStamp = 0;
}

void Element::initialize(TResizeStyle) {}

Element* Element::copy(int n) {
    refCount += n;
    std::vector<Element*> subs;
    subElements(subs);
    for (Element* e : subs)
        if (e) e->copy(n);
    return this;
}

void Element::release(int n) {
    refCount -= n;
    std::vector<Element*> subs;
    subElements(subs);
    // Each sub-element in turn: release, then delete it when its count is 0
    // or less. A sub-element listed twice (the same curve as path and
    // profile) holds two references; it is deleted at its last listing, and a
    // listing after its deletion is skipped rather than touched.
    std::vector<Element*> deleted;
    for (Element* e : subs) {
        if (!e || std::find(deleted.begin(), deleted.end(), e) != deleted.end()) continue;
        e->release(n);
        if (e->refCount <= 0) {
            deleted.push_back(e);
            delete e;
        }
    }
}

Element* Element::clone() { return copy(1); }

Element* Element::unshare() {
    if (refCount < 2) return this;
    Element* c = clone();
    // A clone that is the element itself (the shared copy of the default)
    // took a reference that no holder will own: give it back.
    if (c == this) release(1);
    return c;
}

Element* Element::Part(const vec3&, int&, Sculptor::TSelect) { return unshare(); }

Element* Element::PartComponent(const vec3& p, int& face) { return Part(p, face, Sculptor::SelectComponent); }

Element* Element::DetachComponent(int) { return nullptr; }

Element* Element::PartPatch(const vec3& p, int& face) { return Part(p, face, Sculptor::SelectPatch); }

Mesh* Element::ToMesh() { return nullptr; }

bool Element::subdivide(bool) { return false; }

void Element::subElements(std::vector<Element*>&) {}

void Element::allElements(std::vector<Element*>& list) { list.push_back(this); }

void Element::clearIds() {
    std::vector<Element*> all;
    allElements(all);
    for (Element* e : all)
        if (e) e->id = -1;
}

void Element::resolve(const std::vector<Element*>&) { refCount += 1; }

void Element::touch() { updateStamp = GlobalUpdate; }

bool Element::animate(bool, double time) {
    std::vector<Element*> all;
    allElements(all);
    bool any = false;
    for (std::size_t i = 1; i < all.size(); ++i)
        if (all[i] && all[i]->animate(false, time)) any = true;
    return any;
}

std::uint32_t Element::update() {
    if (updateStamp == GlobalUpdate) return updateStamp;
    std::vector<Element*> all;
    allElements(all);
    std::uint32_t largest = 1;
    for (std::size_t i = 1; i < all.size(); ++i) {
        if (!all[i]) continue;
        const std::uint32_t u = all[i]->update();
        if (u > largest) largest = u;
    }
    if (std::int32_t(updateStamp) < std::int32_t(largest)) touch();
    return updateStamp;
}

bool Element::buildVBO() { return false; }
void Element::deleteVBO() {}
bool Element::enableVBO() { return false; }
void Element::disableVBO() {}
bool Element::renderBegin() { return false; }
void Element::renderEnd() {}
void Element::render(unsigned, unsigned, const mat4&, const pbr&, TColorLight, float, bool) {}
bool Element::hasFeatures() const { return false; }
void Element::renderFeatures(const mat4&, const bvec4&, bool) {}
bool Element::hasAuxiliary() const { return false; }
void Element::renderAuxiliary(const mat4&, const bvec4&, bool) {}

void Element::symmetries(std::vector<symmetry::TSymmetry>& list, const vec3& point, const vec3& axis, bool mirrorX,
                         bool mirrorY, bool mirrorZ, bool radialX, bool radialY, bool radialZ, int count,
                         std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>& scales, int, bool) {
    points.push_back(point);
    frames.push_back(symmetry::Frame(axis, mirrorX, mirrorY, mirrorZ, radialX, radialY, radialZ));
    list.clear();
    symmetry::List(list, mirrorX, mirrorY, mirrorZ, radialX, radialY, radialZ, count);
    symmetry::Transforms(points, frames, scales, mat4::Identity(), list);
}

void Element::sculpt(std::vector<Sculptor*>&) {}

void Element::clearStroke() {}

float Element::toWorld(float d) const { return d * size_; }
float Element::toLocal(float d) const { return d / size_; }

mat4 Element::localMatrix() const {
    // S(1/size) T(-centre), formed in double and rounded once.
    const double k = 1.0 / double(size_);
    mat4 m;
    m.m[0] = m.m[5] = m.m[10] = float(k);
    m.m[3] = float(-double(centre.x) * k);
    m.m[7] = float(-double(centre.y) * k);
    m.m[11] = float(-double(centre.z) * k);
    return m;
}

void Element::DataWrite(buffer&) {}
void Element::DataRead(buffer&) {}
bool Element::load(const std::string&) { return true; }
bool Element::save(const std::string&) { return true; }

bool Element::drop(Element* e, int n) {
    if (!e) return false;
    e->release(n);
    if (e->refCount <= 0) {
        delete e;
        return true;
    }
    return false;
}

}  // namespace qel
