// The records that create objects, and the deletion by id they share.

#include "view/act_structure.h"

#include <algorithm>

#include "scene/scene.h"
#include "scene/tool.h"

namespace qel {

namespace {

// The objects-list index of t found by pointer alone (t is never
// dereferenced: a stale pick may name a deleted tool); -1 when not listed.
int listedIndex(const ToolList& list, const Tool* t) {
    if (!t) return -1;
    const auto it = std::find(list.tools.begin(), list.tools.end(), t);
    return it == list.tools.end() ? -1 : int(it - list.tools.begin());
}

}  // namespace

void deleteSceneObjects(Scene& scene, const std::vector<std::int32_t>& ids) {
    // Looked up before anything is deleted, while the list still names them.
    std::vector<Tool*> found;
    for (std::int32_t id : ids) {
        Tool* t = scene.findObject(id);
        // No record creates an array's template: an id naming one is not
        // an object of the record, and the array would keep it freed.
        if (t && !t->isRoot() && !t->isArrayTemplate()) found.push_back(t);
    }
    // Each once, whatever the ids name: a tool inside another one, or both
    // ends of a pair, where deleting one end would take the other.
    Tool::deleteObjects(found);
    scene.deselect();
    scene.toList();
}

std::vector<std::int32_t> sceneIds(const Scene& scene, const std::vector<Tool*>& tools) {
    std::vector<std::int32_t> ids;
    ids.reserve(tools.size());
    for (Tool* t : tools) ids.push_back(scene.findID(t));
    return ids;
}

// ---- ActObjectCreate ----

void ActObjectCreate::apply() {
    if (!scene) return;
    if (applied) {
        beforeDelete();
        deleteSceneObjects(*scene, ids);
        ids.clear();
    } else {
        create();
    }
    applied ^= 1;
}

void ActObjectCreate::record(const std::vector<Tool*>& created) {
    scene->toList();
    ids = sceneIds(*scene, created);
}

// ---- ActObjectAdd ----

ActObjectAdd::ActObjectAdd(Scene* scene_, int targetId_, Tool* tool, const std::vector<mat4>& placements_,
                           int hierarchy_, bool onAllInstances_, bool keepRing_)
    : ActObjectCreate(KindAdd, scene_),
      templ(tool ? tool->cloneTool(false) : nullptr),
      targetId(targetId_),
      placements(placements_),
      hierarchy(hierarchy_),
      onAllInstances(onAllInstances_ ? 1 : 0),
      keepRing(keepRing_ ? 1 : 0) {
    apply();
}

ActObjectAdd::~ActObjectAdd() { delete templ; }

void ActObjectAdd::create() {
    scene->selectObject(targetId);
    std::vector<Tool*> created;
    scene->addObject(templ, placements, created, Scene::THierarchyType(hierarchy), onAllInstances != 0, keepRing != 0);
    record(created);
    first = 0;
    scene->deselect();
}

// ---- ActObjectCopyTransform ----

ActObjectCopyTransform::ActObjectCopyTransform(Scene* scene_, int objectId_, int hierarchy_, bool ring_)
    : ActObjectCreate(KindCopyTransform, scene_), objectId(objectId_), hierarchy(hierarchy_), ring(ring_ ? 1 : 0) {
    apply();
}

// Where the copies were moved to, up to the first one missing.
void ActObjectCopyTransform::beforeDelete() {
    pivots.clear();
    transforms.clear();
    for (std::int32_t id : ids) {
        Tool* copy = scene->findObject(id);
        if (!copy || copy->isRoot()) break;
        pivots.push_back(copy->pivot);
        transforms.push_back(copy->transform);
    }
}

void ActObjectCopyTransform::create() {
    Tool* entry = scene->pickedEntry;
    Tool* ancestor = scene->pickedAncestor;
    scene->searchObject(objectId);
    std::vector<Tool*> created;
    scene->copyObject(created, ring != 0, Scene::THierarchyType(hierarchy));
    const std::size_t n = std::min({created.size(), pivots.size(), transforms.size()});
    for (std::size_t i = 0; i < n; ++i) {
        created[i]->pivot = pivots[i];
        created[i]->transform = transforms[i];
    }
    record(created);
    // The pick as it was, with its indices in the rebuilt lists.
    scene->pickedEntry = entry;
    scene->pickedAncestor = ancestor;
    scene->pickedIndex = listedIndex(scene->objects, entry);
    scene->pickedAncestorIndex = listedIndex(scene->objects, ancestor);
}

Tool* ActObjectCopyTransform::lastCopy() const {
    if (!scene || ids.empty()) return nullptr;
    Tool* t = scene->findObject(ids.back());
    return t && !t->isRoot() ? t : nullptr;
}

// ---- ActObjectMultiply ----

ActObjectMultiply::ActObjectMultiply(Scene* scene_, int objectId_, const std::vector<mat4>& placements_, int,
                                     bool onAllInstances_, bool keepRing_)
    : ActObjectCreate(KindMultiply, scene_),
      objectId(objectId_),
      placements(placements_),
      onAllInstances(onAllInstances_ ? 1 : 0),
      keepRing(keepRing_ ? 1 : 0) {
    apply();
}

void ActObjectMultiply::create() {
    if (scene->selectObject(objectId) && scene->pickedEntry && !scene->pickedEntry->isRoot()) {
        Tool* object = scene->pickedEntry;
        // The copies hang beside the object: under its parent, or at the
        // top level when that parent is a root.
        Tool* parent = object->parent;
        if (!parent || parent->isRoot()) {
            scene->selectedEntry = nullptr;
            scene->selectedObject = nullptr;
        } else {
            scene->selectedEntry = parent;
        }
        std::vector<Tool*> created;
        scene->addObject(object, placements, created, Scene::HangEntry, onAllInstances != 0, keepRing != 0);
        record(created);
    }
    scene->deselect();
}

// ---- ActObjectAddBiTool ----

ActObjectAddBiTool::ActObjectAddBiTool(Scene* scene_, int firstTargetId_, int secondTargetId_, Tool* tool,
                                       Tool* partner, const std::vector<mat4>& placements_,
                                       const std::vector<mat4>& partnerPlacements_, int hierarchy_,
                                       bool onAllInstances_, bool keepRing_)
    : ActObjectCreate(KindAddBiTool, scene_),
      templ(tool ? tool->cloneTool(false) : nullptr),
      partnerTempl(partner ? partner->cloneTool(false) : nullptr),
      firstTargetId(firstTargetId_),
      secondTargetId(secondTargetId_),
      placements(placements_),
      partnerPlacements(partnerPlacements_),
      hierarchy(hierarchy_),
      onAllInstances(onAllInstances_ ? 1 : 0),
      keepRing(keepRing_ ? 1 : 0) {
    apply();
}

ActObjectAddBiTool::~ActObjectAddBiTool() {
    delete templ;
    delete partnerTempl;
}

void ActObjectAddBiTool::create() {
    std::vector<Tool*> created;
    if (templ && partnerTempl) {
        const auto h = Scene::THierarchyType(hierarchy);
        scene->selectObject(firstTargetId);
        Tool* end = scene->addObject(templ, placements, created, h, onAllInstances != 0, keepRing != 0);
        // An end that could not be placed takes no partner: nothing would
        // remove that partner again.
        if (end) {
            scene->selectObject(secondTargetId);
            Tool* other = scene->addObject(partnerTempl, partnerPlacements, h, onAllInstances != 0, keepRing != 0);
            if (other) end->setPartner(other);
        }
        scene->deselect();
    }
    record(created);
    first = 0;
}

}  // namespace qel
