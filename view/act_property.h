#pragma once
// The property records: each saves one property of an object, and with the
// instance scope of every object of its instance ring, and puts it back.
//
// The record is made before the property changes: its construction applies
// it once, which captures the current values. Every later apply() exchanges
// the stored values with the live ones, so undo keeps the changed values and
// redo puts them back. An id that no longer names an object makes apply()
// change nothing and changed() answer false.
//
// Instances are stored in ring order from the object. When the ring has
// grown since the values were captured, the new members' current values
// are captured instead of being overwritten with values never recorded.

#include <cstdint>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "gl/pbr.h"
#include "view/act.h"

namespace qel {

class Scene;
class Tool;

class ActObjectProperty : public Act {
public:
    ActObjectProperty(const ActObjectProperty&) = delete;
    ActObjectProperty& operator=(const ActObjectProperty&) = delete;

    void apply() override;
    // Whether the property of some instance differs from the stored value.
    bool changed() override;

    std::int32_t objectId;
    std::uint8_t capturePending = 1;  // cleared by the first apply()
    std::uint8_t instanceScope;       // the change covers the whole instance ring
    Scene* scene;                     // not owned

protected:
    // Sets the fields; the subclass constructor then calls apply() once.
    ActObjectProperty(TKind k, Scene* s, int id, bool scope);

    // Sizes the store to n entries.
    virtual void resize(int n) = 0;
    // Copies instance i's property into store entry i.
    virtual void store(int i) = 0;
    // Exchanges instance i's property with store entry i.
    virtual void swap(int i) = 0;
    // Whether instance i's property differs from store entry i.
    virtual bool differs(int) { return true; }

    // The tools found by the running apply() or changed(); empty otherwise.
    std::vector<Tool*> instances;

private:
    // Selects the object and fills the instances; null (nothing selected)
    // when the id names no object.
    Tool* gather();
    // Undoes what gather() selected and empties the instances.
    void release(Tool* object);

    int captured = 0;  // store entries holding recorded values
};

// Pivot and transform matrices.
class ActObjectTransform : public ActObjectProperty {
public:
    ActObjectTransform(Scene* s, int id, bool scope);

protected:
    void resize(int n) override;
    void store(int i) override;
    void swap(int i) override;
    bool differs(int i) override;

private:
    std::vector<mat4> pivots, transforms;
};

// One value-typed property of each instance, reached through field; the
// records below differ only in the property they reach.
template <typename T>
class ActObjectValue : public ActObjectProperty {
public:
    using Field = T& (*)(Tool&);

protected:
    // Sets the fields and captures the current values.
    ActObjectValue(TKind k, Scene* s, int id, bool scope, Field f);

    void resize(int n) override;
    void store(int i) override;
    void swap(int i) override;
    bool differs(int i) override;

private:
    Field field;
    std::vector<T> values;
};

extern template class ActObjectValue<pbr>;
extern template class ActObjectValue<vec3>;

// The material, all ten channels.
class ActObjectMaterial : public ActObjectValue<pbr> {
public:
    ActObjectMaterial(Scene* s, int id, bool scope);
};

// The rotation-constraint axis.
class ActObjectRotationAxis : public ActObjectValue<vec3> {
public:
    ActObjectRotationAxis(Scene* s, int id, bool scope);
};

// The translation-constraint axis.
class ActObjectTranslationAxis : public ActObjectValue<vec3> {
public:
    ActObjectTranslationAxis(Scene* s, int id, bool scope);
};

}  // namespace qel
