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

// ---- Material ----

ActObjectMaterial::ActObjectMaterial(Scene* s, int id, bool scope) : ActObjectProperty(KindMaterial, s, id, scope) {
    apply();
}

void ActObjectMaterial::resize(int n) { materials.resize(std::size_t(n)); }

void ActObjectMaterial::store(int i) { materials[std::size_t(i)] = instances[std::size_t(i)]->material; }

void ActObjectMaterial::swap(int i) { std::swap(materials[std::size_t(i)], instances[std::size_t(i)]->material); }

bool ActObjectMaterial::differs(int i) {
    const pbr& a = instances[std::size_t(i)]->material;
    const pbr& b = materials[std::size_t(i)];
    return !(a.colour == b.colour && a.light == b.light && a.roughness == b.roughness && a.metalness == b.metalness);
}

// ---- Rotation axis ----

ActObjectRotationAxis::ActObjectRotationAxis(Scene* s, int id, bool scope)
    : ActObjectProperty(KindRotationAxis, s, id, scope) {
    apply();
}

void ActObjectRotationAxis::resize(int n) { axes.resize(std::size_t(n)); }

void ActObjectRotationAxis::store(int i) { axes[std::size_t(i)] = instances[std::size_t(i)]->rotationAxis; }

void ActObjectRotationAxis::swap(int i) { std::swap(axes[std::size_t(i)], instances[std::size_t(i)]->rotationAxis); }

bool ActObjectRotationAxis::differs(int i) {
    return !(instances[std::size_t(i)]->rotationAxis == axes[std::size_t(i)]);
}

// ---- Translation axis ----

ActObjectTranslationAxis::ActObjectTranslationAxis(Scene* s, int id, bool scope)
    : ActObjectProperty(KindTranslationAxis, s, id, scope) {
    apply();
}

void ActObjectTranslationAxis::resize(int n) { axes.resize(std::size_t(n)); }

void ActObjectTranslationAxis::store(int i) { axes[std::size_t(i)] = instances[std::size_t(i)]->translationAxis; }

void ActObjectTranslationAxis::swap(int i) {
    std::swap(axes[std::size_t(i)], instances[std::size_t(i)]->translationAxis);
}

bool ActObjectTranslationAxis::differs(int i) {
    return !(instances[std::size_t(i)]->translationAxis == axes[std::size_t(i)]);
}

}  // namespace qel
