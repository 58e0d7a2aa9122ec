// qel::Scene: placing, copying and removing objects, the preview of a tool
// being placed, and the walk up the hierarchy of a picked object.

#include <algorithm>

#include "scene/scene.h"

namespace qel {

// ---- Helpers ----

Tool* Scene::hangParent(THierarchyType h) const {
    if (!selectedEntry) return nullptr;
    if (h == HangSelected) return selectedObject;
    if (h == HangEntry) return selectedEntry;
    return nullptr;
}

Tool* Scene::adopt(Tool* parent, Tool* obj, bool all) {
    Tool* r = parent->addChild(obj, all);
    // A parent that is not selected adopts nothing: the clone is still ours.
    if (!r) delete obj;
    return r;
}

void Scene::collectCreated(Tool* parent, bool b, std::vector<Tool*>& created) {
    std::vector<Tool*> instances;
    parent->findAllInstances(instances, b);
    for (Tool* p : instances)
        if (!p->children.empty()) created.push_back(p->children.back());
}

bool Scene::pickIsListed() const {
    return pickedEntry && pickedAncestor && objects.validIndex(pickedIndex) &&
           objects.tools[std::size_t(pickedIndex)] == pickedEntry && objects.validIndex(pickedAncestorIndex) &&
           objects.tools[std::size_t(pickedAncestorIndex)] == pickedAncestor;
}

namespace {

bool knownType(Scene::THierarchyType h) {
    return h == Scene::HangTop || h == Scene::HangSelected || h == Scene::HangEntry;
}

}  // namespace

// ---- Placing ----

Tool* Scene::addObject(Tool* t, const mat4& m, THierarchyType h, bool b) {
    if (!t || !knownType(h)) return nullptr;
    Tool* parent = hangParent(h);
    Tool* obj = t->cloneObject(m, b, false);
    if (!parent) return adopt(objectsRoot, obj, false);
    return adopt(parent, obj, true);
}

Tool* Scene::addObject(Tool* t, const std::vector<mat4>& ms, THierarchyType h, bool b, bool keepRing) {
    std::vector<Tool*> created;
    return addObject(t, ms, created, h, b, keepRing);
}

Tool* Scene::addObject(Tool* t, const std::vector<mat4>& ms, std::vector<Tool*>& created, THierarchyType h, bool b,
                       bool keepRing) {
    if (!t || !knownType(h) || ms.empty()) return nullptr;
    Tool* parent = hangParent(h);
    const bool selectAround = b && parent;
    if (selectAround) parent->select(true, false);

    // One working clone; the objects are cloned from it so that they form
    // one ring (with t's, when keepRing is set).
    Tool* work = t->cloneTool(false);
    if (!keepRing) work->removeInstance();
    Tool* last = nullptr;
    for (const mat4& m : ms) {
        Tool* obj = work->cloneObject(m, true, false);
        Tool* r = parent ? adopt(parent, obj, b) : adopt(objectsRoot, obj, false);
        if (!r) continue;
        last = r;
        if (parent)
            collectCreated(parent, b, created);
        else
            created.push_back(r);
    }
    delete work;

    if (selectAround) parent->deselect(true, false);
    return last;
}

void Scene::addObjectToList(Tool* t, const std::vector<mat4>& ms, THierarchyType h, bool b) {
    if (!t) return;
    // A pick the lists no longer name cannot be a parent.
    if (!pickIsListed()) h = HangTop;
    switch (h) {
        case HangTop:
            preview.append(t, ms, objects, nullptr, 0, true);
            break;
        case HangSelected:
            preview.append(t, ms, objects, pickedAncestor, pickedAncestorIndex, b);
            break;
        case HangEntry:
            preview.append(t, ms, objects, pickedEntry, pickedIndex, b);
            break;
        default:
            return;
    }
    preview.sort();
}

// ---- Copying ----

Tool* Scene::copyObject(bool b, THierarchyType h) {
    std::vector<Tool*> created;
    return copyObject(created, b, h);
}

Tool* Scene::copyObject(std::vector<Tool*>& created, bool b, THierarchyType h) {
    // The picked entry must still be the entry the lists name.
    if (!pickIsListed()) return nullptr;
    Tool* picked = pickedEntry;

    if (h == HangEntry) {
        // A child of the picked entry coinciding with it in space: its own
        // matrix pivot x transform is the identity. A singular transform has
        // no such pivot: nothing is copied.
        mat4 inverse;
        if (!picked->transform.tryInverse(inverse)) return nullptr;
        Tool* copy = picked->cloneObject(mat4::Identity(), false, false);
        copy->transform = picked->transform;
        copy->pivot = inverse;
        if (b) picked->select(true, false);
        Tool* r = adopt(picked, copy, b);
        if (r) collectCreated(picked, b, created);
        if (b) picked->deselect(true, false);
        return r;
    }

    if (!picked->parent || picked->parent->isRoot()) {
        Tool* copy = picked->cloneObject(mat4::Identity(), false, false);
        created.push_back(copy);
        return adopt(objectsRoot, copy, false);
    }

    Tool* parent = objects.tools[std::size_t(objects.parents[std::size_t(pickedIndex)])];
    if (b) parent->select(true, false);
    Tool* copy = picked->cloneObject(mat4::Identity(), false, false);
    Tool* r = adopt(parent, copy, b);
    if (r) collectCreated(parent, b, created);
    if (b) parent->deselect(true, false);
    return r;
}

// ---- Removing ----

void Scene::removeObject(Tool* t, bool b) {
    // A pick the lists no longer name may be gone: it is not touched.
    if (pickIsListed()) pickedEntry->tempDeselect(true, false);
    if (t) t->tempSelect(b, false);
    objectsRoot->removeTools();
    selectedObject = nullptr;
    pickedEntry = nullptr;
    pickedAncestor = nullptr;
    selectedEntry = nullptr;
    // The lists named the deleted tools: rebuild them so that no lookup or
    // drawing before the next frame reaches a deleted tool.
    toList();
}

// ---- Hierarchy walk ----

bool Scene::findHiHierarchy(int id, std::vector<Tool*>& tools, std::vector<mat4>& matrices, int depth) {
    tools.clear();
    matrices.clear();
    int i = -1;
    if (!entryOf(id, i)) return false;
    if (depth == 0 || objects.parents[std::size_t(i)] == i) return true;

    // Collected from the entry upwards, then turned round. The tools' marks
    // are not used: the walk leaves them as they were. A two-ended end
    // reports the parent matrix it recorded in the flattening: its list
    // matrix is turned towards its partner.
    for (int count = 0; count <= objects.size(); ++count) {
        Tool* t = objects.tools[std::size_t(i)];
        tools.push_back(t);
        matrices.push_back(t->listParentMatrix(objects.matrices[std::size_t(i)]));
        if (depth > 0 && int(tools.size()) >= depth) break;
        const int p = objects.parents[std::size_t(i)];
        // The top-level ancestor is never collected.
        if (!objects.validIndex(p) || p == i || objects.parents[std::size_t(p)] == p) break;
        i = p;
    }
    std::reverse(tools.begin(), tools.end());
    std::reverse(matrices.begin(), matrices.end());
    return true;
}

}  // namespace qel
