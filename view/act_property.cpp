// The property records: capture, exchange and comparison of one property
// over an object's instances.

#include "view/act_property.h"

#include <algorithm>
#include <utility>

#include "scene/scene.h"
#include "scene/tool.h"

namespace qel {

// ---- The common base ----

ActObjectProperty::ActObjectProperty(TKind k, Scene* s, int id, bool scope)
    : Act(k), objectId(id), instanceScope(scope ? 1 : 0), scene(s) {}

Tool* ActObjectProperty::gather() {
    instances.clear();
    if (!scene || !scene->selectObject(objectId)) return nullptr;
    Tool* object = scene->pickedEntry;
    if (!object) return nullptr;
    object->select(instanceScope != 0, false);
    object->findAllInstances(instances, instanceScope != 0);
    return object;
}

void ActObjectProperty::release(Tool* object) {
    object->deselect(instanceScope != 0, false);
    scene->deselect();
    instances.clear();
}

void ActObjectProperty::apply() {
    Tool* object = gather();
    if (object) {
        const int n = int(instances.size());
        resize(n);
        for (int i = 0; i < n; ++i) {
            if (capturePending || i >= captured)
                store(i);
            else
                swap(i);
        }
        captured = n;
        release(object);
    }
    capturePending = 0;
}

bool ActObjectProperty::changed() {
    Tool* object = gather();
    if (!object) return false;
    const int n = std::min(int(instances.size()), captured);
    bool result = false;
    for (int i = 0; i < n && !result; ++i) result = differs(i);
    release(object);
    return result;
}

// ---- Transform ----

ActObjectTransform::ActObjectTransform(Scene* s, int id, bool scope) : ActObjectProperty(KindTransform, s, id, scope) {
    apply();
}

void ActObjectTransform::resize(int n) {
    pivots.resize(std::size_t(n));
    transforms.resize(std::size_t(n));
}

void ActObjectTransform::store(int i) {
    pivots[std::size_t(i)] = instances[std::size_t(i)]->pivot;
    transforms[std::size_t(i)] = instances[std::size_t(i)]->transform;
}

void ActObjectTransform::swap(int i) {
    std::swap(pivots[std::size_t(i)], instances[std::size_t(i)]->pivot);
    std::swap(transforms[std::size_t(i)], instances[std::size_t(i)]->transform);
}

// mat4 compares element by element, so a NaN never equals anything.
bool ActObjectTransform::differs(int i) {
    const Tool* t = instances[std::size_t(i)];
    return t->pivot != pivots[std::size_t(i)] || t->transform != transforms[std::size_t(i)];
}

// ---- Single values ----

namespace {

bool same(const pbr& a, const pbr& b) {
    return a.colour == b.colour && a.light == b.light && a.roughness == b.roughness && a.metalness == b.metalness;
}

bool same(const vec3& a, const vec3& b) { return a == b; }

pbr& materialOf(Tool& t) { return t.material; }
vec3& rotationAxisOf(Tool& t) { return t.rotationAxis; }
vec3& translationAxisOf(Tool& t) { return t.translationAxis; }

}  // namespace

template <typename T>
ActObjectValue<T>::ActObjectValue(TKind k, Scene* s, int id, bool scope, Field f)
    : ActObjectProperty(k, s, id, scope), field(f) {
    apply();
}

template <typename T>
void ActObjectValue<T>::resize(int n) {
    values.resize(std::size_t(n));
}

template <typename T>
void ActObjectValue<T>::store(int i) {
    values[std::size_t(i)] = field(*instances[std::size_t(i)]);
}

template <typename T>
void ActObjectValue<T>::swap(int i) {
    std::swap(values[std::size_t(i)], field(*instances[std::size_t(i)]));
}

template <typename T>
bool ActObjectValue<T>::differs(int i) {
    return !same(field(*instances[std::size_t(i)]), values[std::size_t(i)]);
}

template class ActObjectValue<pbr>;
template class ActObjectValue<vec3>;

ActObjectMaterial::ActObjectMaterial(Scene* s, int id, bool scope)
    : ActObjectValue(KindMaterial, s, id, scope, materialOf) {}

ActObjectRotationAxis::ActObjectRotationAxis(Scene* s, int id, bool scope)
    : ActObjectValue(KindRotationAxis, s, id, scope, rotationAxisOf) {}

ActObjectTranslationAxis::ActObjectTranslationAxis(Scene* s, int id, bool scope)
    : ActObjectValue(KindTranslationAxis, s, id, scope, translationAxisOf) {}

}  // namespace qel
