#pragma once
// The records that create objects: placing a tool (ActObjectAdd), copying
// the picked object for a copying drag (ActObjectCopyTransform), multiplying
// an object beside itself (ActObjectMultiply) and placing the two ends of a
// two-ended tool (ActObjectAddBiTool). Each applies
// itself once when it is made; undo deletes what it created, redo creates it
// again.
//
// The created objects are recorded by id after the scene's lists have been
// rebuilt and found by id again at undo: the objects a record created may
// have been removed and put back (as fresh copies) by later records since.
// Every deletion rebuilds the lists and clears the scene's pick and
// selection, which could otherwise still name a deleted tool.

#include <cstdint>
#include <vector>

#include "core/mat.h"
#include "view/act.h"

namespace qel {

class Scene;
class Tool;

// Deletes the objects of the given ids, each once however the ids name
// them (an id that names nothing, a root, an array's template, or an object
// inside another one deleted here is skipped; both ends of a two-ended pair
// may be named, or one twice), then clears the scene's pick and selection
// and rebuilds its lists.
void deleteSceneObjects(Scene& scene, const std::vector<std::int32_t>& ids);

// The scene ids of the tools, after the scene's lists were rebuilt.
std::vector<std::int32_t> sceneIds(const Scene& scene, const std::vector<Tool*>& tools);

// The undo and redo the creating records share: apply() alternates between
// create() and deleting the objects of ids.
class ActObjectCreate : public Act {
public:
    ActObjectCreate(const ActObjectCreate&) = delete;
    ActObjectCreate& operator=(const ActObjectCreate&) = delete;

    void apply() override;

    std::uint8_t applied = 0;
    Scene* scene;                   // not owned
    std::vector<std::int32_t> ids;  // the objects created by the last application

protected:
    // Sets the fields; the subclass constructor then calls apply() once.
    ActObjectCreate(TKind k, Scene* s) : Act(k), scene(s) {}

    // Creates the objects (the scene is set).
    virtual void create() = 0;
    // Runs before the created objects are deleted.
    virtual void beforeDelete() {}
    // Rebuilds the scene's lists and records the ids of created.
    void record(const std::vector<Tool*>& created);
};

class ActObjectAdd : public ActObjectCreate {
public:
    // Places a copy of `tool` (the record keeps its own template) at every
    // placement, hung by `hierarchy` (a Scene::THierarchyType) from the
    // object `targetId`; onAllInstances and keepRing are addObject's flags.
    ActObjectAdd(Scene* scene, int targetId, Tool* tool, const std::vector<mat4>& placements, int hierarchy,
                 bool onAllInstances, bool keepRing);
    ~ActObjectAdd() override;

    std::uint8_t first = 1;
    Tool* templ;  // owned
    std::int32_t targetId;
    std::vector<mat4> placements;
    std::int32_t hierarchy;
    std::uint8_t onAllInstances;
    std::uint8_t keepRing;

protected:
    void create() override;
};

class ActObjectCopyTransform : public ActObjectCreate {
public:
    // Copies the object `objectId` (Scene::copyObject with `ring` and
    // `hierarchy`); the scene's pick is kept.
    ActObjectCopyTransform(Scene* scene, int objectId, int hierarchy, bool ring);

    // The last object created by the record, or null when none is listed.
    Tool* lastCopy() const;

    std::int32_t objectId;
    std::int32_t hierarchy;
    std::uint8_t ring;
    // Where the copies were when they were undone; redo puts them there.
    std::vector<mat4> pivots, transforms;

protected:
    void create() override;
    void beforeDelete() override;
};

class ActObjectMultiply : public ActObjectCreate {
public:
    // Places copies of the object `objectId` beside it (under its parent, or
    // at the top level when the parent is a root), one per placement. The
    // integer is not used.
    ActObjectMultiply(Scene* scene, int objectId, const std::vector<mat4>& placements, int unused, bool onAllInstances,
                      bool keepRing);

    std::int32_t objectId;
    std::vector<mat4> placements;
    std::uint8_t onAllInstances;
    std::uint8_t keepRing;

protected:
    void create() override;
};

class ActObjectAddBiTool : public ActObjectCreate {
public:
    // Places a copy of `tool` at `placements` under the object `firstTargetId`
    // and a copy of `partner` at `partnerPlacements` under `secondTargetId`
    // (hung by `hierarchy`, a Scene::THierarchyType), and links the two ends.
    // The record keeps its own templates; without both it creates nothing.
    ActObjectAddBiTool(Scene* scene, int firstTargetId, int secondTargetId, Tool* tool, Tool* partner,
                       const std::vector<mat4>& placements, const std::vector<mat4>& partnerPlacements, int hierarchy,
                       bool onAllInstances, bool keepRing);
    ~ActObjectAddBiTool() override;

    std::uint8_t first = 1;
    Tool* templ;         // owned
    Tool* partnerTempl;  // owned
    std::int32_t firstTargetId, secondTargetId;
    std::vector<mat4> placements, partnerPlacements;
    std::int32_t hierarchy;
    std::uint8_t onAllInstances;
    std::uint8_t keepRing;

protected:
    // Only the first end's objects are recorded: deleting an end takes its
    // partner, so undo deletes the pair through them.
    void create() override;
};

}  // namespace qel
