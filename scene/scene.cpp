// qel::Scene: construction, the tool templates, lookups and selection by
// object id, the render lists and their drawing and animation (the
// conversions to a mesh or a clay are in files/scene_convert.cpp).

#include "scene/scene.h"

#include <string>

#include "core/folders.h"
#include "gl/shaders.h"
#include "scene/element.h"

namespace qel {

std::uint8_t Scene::Error = 0;

// ---- Construction ----

Scene::Scene() { init(); }

Scene::~Scene() {
    delete objectsRoot;
    delete toolsRoot;
}

void Scene::init() {
    deselect();
    currentTool = nullptr;
    delete objectsRoot;
    delete toolsRoot;
    objectsRoot = new Root();
    toolsRoot = new Root();
    objects.clear();
    preview.clear();
    toolsList.clear();
    Error = 0;
    modified = 1;
    toolsModified = 1;
}

// ---- Tools ----

Tool* Scene::addTool(Tool* t) {
    if (!t) return nullptr;
    currentTool = toolsRoot->addChild(t, false);
    toolsModified = 1;
    return currentTool;
}

Tool* Scene::nextTool(bool backwards) {
    const std::vector<Tool*>& c = toolsRoot->children;
    const int n = int(c.size());
    if (n == 0) {
        currentTool = nullptr;
        return nullptr;
    }
    const int i = currentTool ? toolsRoot->findChildIndex(currentTool) : -1;
    if (i < 0)
        currentTool = c[0];
    else
        currentTool = c[std::size_t(backwards ? (i + n - 1) % n : (i + 1) % n)];
    return currentTool;
}

// ---- Looking up and selecting ----

Tool* Scene::findObject(int id) const {
    if (id == 0) return objectsRoot;
    if (id > 0) {
        const int i = id - 1;
        return objects.validIndex(i) ? objects.tools[std::size_t(i)] : nullptr;
    }
    const std::int64_t i = -std::int64_t(id) - 1;
    return i < toolsList.size() ? toolsList.tools[std::size_t(i)] : nullptr;
}

Tool* Scene::findPlacedObject(int id) const {
    Tool* t = findObject(id);
    if (!t || t->isRoot()) return nullptr;
    // A template lives in its array's copies only: what stands for it is
    // the array, and above a nested array's template the outer array.
    Tool* owner = t;
    for (const Tool* x = t; x->parent; x = x->parent)
        if (x->isArrayTemplate()) owner = x->parent;
    return owner;
}

int Scene::findID(Tool* t) const {
    if (!t) return NotFound;
    if (t->isRoot()) return 0;
    // A listed tool's id field holds its first entry; the lists are searched
    // only when the field was changed since (a save numbers the tools anew).
    if (objects.validIndex(t->id) && objects.tools[std::size_t(t->id)] == t) return t->id + 1;
    if (toolsList.validIndex(t->id) && toolsList.tools[std::size_t(t->id)] == t) return -(t->id + 1);
    for (int i = 0; i < objects.size(); ++i)
        if (objects.tools[std::size_t(i)] == t) return i + 1;
    for (int i = 0; i < toolsList.size(); ++i)
        if (toolsList.tools[std::size_t(i)] == t) return -(i + 1);
    return NotFound;
}

bool Scene::entryOf(int id, int& index) const {
    if (id <= 0 || id > objects.size()) return false;
    index = id - 1;
    return true;
}

bool Scene::searchObject(int id) {
    pickedEntry = nullptr;
    pickedAncestor = nullptr;
    int i = -1;
    if (!entryOf(id, i)) return false;
    pickedIndex = i;
    pickedEntry = objects.tools[std::size_t(i)];
    pickedAncestorIndex = objects.topLevel(i);
    pickedAncestor = objects.tools[std::size_t(pickedAncestorIndex)];
    return true;
}

bool Scene::searchObject(int id, Tool*& ancestor, Tool*& entry, mat4& ancestorMatrix, mat4& entryMatrix,
                         bool remember) {
    ancestor = nullptr;
    entry = nullptr;
    ancestorMatrix = mat4::Identity();
    entryMatrix = mat4::Identity();
    if (remember) {
        pickedEntry = nullptr;
        pickedAncestor = nullptr;
    }
    int i = -1;
    if (!entryOf(id, i)) return false;
    const int top = objects.topLevel(i);
    entry = objects.tools[std::size_t(i)];
    entryMatrix = objects.matrices[std::size_t(i)];
    ancestor = objects.tools[std::size_t(top)];
    ancestorMatrix = objects.matrices[std::size_t(top)];
    if (remember) {
        pickedIndex = i;
        pickedEntry = entry;
        pickedAncestorIndex = top;
        pickedAncestor = ancestor;
    }
    return true;
}

bool Scene::selectObject(int id) {
    deselect();
    if (!searchObject(id)) return false;
    selectedObject = pickedAncestor;
    selectedEntry = pickedEntry;
    return true;
}

void Scene::deselect() {
    selectedObject = nullptr;
    selectedEntry = nullptr;
    pickedAncestor = nullptr;
    pickedEntry = nullptr;
}

// ---- Lists and drawing ----

void Scene::toList() {
    objects.clear();
    preview.clear();
    objects.append(objectsRoot);
    objects.sort();
    toolsList.clear();
    toolsList.append(toolsRoot);
    toolsList.sort();
}

void Scene::render(Tool::TRenderType type, bool parentIds, bool previewOnly) {
    if (previewOnly)
        preview.render(type, parentIds, objects.size());
    else
        objects.render(type, parentIds, 0);
}

void Scene::renderFeatures(Tool::TRenderType type, bool previewOnly, const bvec4& colour) {
    if (!ShaderCurve || !ShaderCurve->enable()) return;
    (previewOnly ? preview : objects).renderFeatures(type, colour);
}

void Scene::renderAuxiliary(Tool::TRenderType type, bool previewOnly, const bvec4& colour) {
    if (!ShaderCurve || !ShaderCurve->enable()) return;
    (previewOnly ? preview : objects).renderAuxiliary(type, colour);
}


// ---- Animation ----

bool Scene::timer(double t) {
    Tool::GlobalTime = t;
    const bool moves = objectsRoot->timer();
    // The library's templates are not drawn in the scene: they keep the
    // time, but moving ones ask for no frame.
    toolsRoot->timer();
    return moves;
}

}  // namespace qel
