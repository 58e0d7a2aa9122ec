// qel::ToolList: flattening, the preview of a tool being placed, the pass
// filter, the drawn ids and the drawing loops.

#include "scene/tool_list.h"

#include "core/saturating.h"

#include "scene/element.h"
#include "scene/list_walk.h"
#include "scene/load_budget.h"

namespace qel {

ToolList::ToolList(Tool* root) { append(root); }

void ToolList::clear() {
    tools.clear();
    matrices.clear();
    parents.clear();
    subIndices.clear();
    features.clear();
    auxiliary.clear();
    copiesLeftOut = 0;
}

// ---- Flattening ----

void ToolList::flatten(Tool* top) {
    scratchTools_.clear();
    scratchMatrices_.clear();
    scratchParents_.clear();
    scratchSubIndices_.clear();
    ListWalk walk(scratchTools_, scratchMatrices_, scratchParents_, scratchSubIndices_);
    top->toList(scratchTools_, scratchMatrices_, scratchParents_, scratchSubIndices_, mat4::Identity(), 0, NoSubIndex);
    walk.finish();
    copiesLeftOut = saturatingSum(copiesLeftOut, walk.copiesLeftOut());
    // A load's first listing tells its budget what the arrays left out.
    LoadBudget::noteCopiesLeftOut(walk.copiesLeftOut());
}

void ToolList::append(Tool* root) {
    if (!root) return;
    flatten(root);
    const int base = size();
    tools.insert(tools.end(), scratchTools_.begin(), scratchTools_.end());
    matrices.insert(matrices.end(), scratchMatrices_.begin(), scratchMatrices_.end());
    subIndices.insert(subIndices.end(), scratchSubIndices_.begin(), scratchSubIndices_.end());
    parents.reserve(parents.size() + scratchParents_.size());
    for (int p : scratchParents_) parents.push_back(p + base);
    // Backwards, so that a tool listed more than once keeps its first entry.
    for (int i = size() - 1; i >= base; --i) tools[std::size_t(i)]->id = i;
}

mat4 ToolList::parentFrame(const ToolList& objects, Tool* parent, int parentIndex) {
    if (!parent || !objects.validIndex(parentIndex)) return mat4::Identity();
    return objects.matrices[std::size_t(parentIndex)] * parent->matrix();
}

void ToolList::appendPlaced(const mat4& frame, const mat4& placement) {
    const mat4 fp = frame * placement;
    const int base = size();
    for (std::size_t j = 0; j < scratchTools_.size(); ++j) {
        tools.push_back(scratchTools_[j]);
        matrices.push_back(fp * scratchMatrices_[j]);
        parents.push_back(scratchParents_[j] + base);
        subIndices.push_back(scratchSubIndices_[j]);
    }
}

void ToolList::append(Tool* tool, const std::vector<mat4>& placements, const ToolList& objects, Tool* parent,
                      int parentIndex, bool allInstances) {
    if (!tool) return;
    flatten(tool);

    const mat4 frame = placements.empty() ? mat4::Identity() : parentFrame(objects, parent, parentIndex);
    for (const mat4& p : placements) appendPlaced(frame, p);

    if (!allInstances || !parent || placements.empty()) return;
    // The other placed instances of the parent, each under its own entry. A
    // member whose id does not name its own entry of `objects` is not listed
    // there and is passed over.
    for (Tool* x = parent->nextInstance; x != parent; x = x->nextInstance) {
        if (!(x->flags & Tool::FlagObject)) continue;
        if (!objects.validIndex(x->id) || objects.tools[std::size_t(x->id)] != x) continue;
        const mat4 f = parentFrame(objects, x, x->id);
        for (const mat4& p : placements) appendPlaced(f, p);
    }
}

void ToolList::sort() {
    features.clear();
    auxiliary.clear();
    for (int i = 0; i < size(); ++i) {
        Tool* t = tools[std::size_t(i)];
        if (t->hasFeatures()) features.push_back(i);
        if (t->hasAuxiliary()) auxiliary.push_back(i);
    }
}

int ToolList::topLevel(int i) const {
    if (!validIndex(i)) return -1;
    // Parent indices point to earlier entries or to the entry itself; the
    // bound only guards against a list filled by some other rule.
    for (int steps = 0; steps <= size(); ++steps) {
        const int p = parents[std::size_t(i)];
        if (p == i || !validIndex(p)) return i;
        i = p;
    }
    return i;
}

// ---- Passes and ids ----

bool ToolList::isTransparent(const Tool* t) {
    if (t->element && t->element->transparent) return true;
    if (t->flags & Tool::FlagTransparent) return true;
    return t->material.colour.a < OpaqueAlpha;
}

bool ToolList::inPass(int i, Tool::TRenderType type) const {
    if (type == Tool::RenderAll) return true;
    return isTransparent(tools[std::size_t(i)]) == (type == Tool::RenderTransparent);
}

std::uint32_t ToolList::idWithHighlight(int idBase, int entry, const Tool* t) {
    std::uint32_t id = std::uint32_t(idBase) + 1u + std::uint32_t(entry);
    if (t->flags & (Tool::FlagSelected | Tool::FlagTemp)) id |= HighlightBit;
    return id;
}

void ToolList::drawIds(int i, bool parentIds, int idBase, std::uint32_t& objectId, std::uint32_t& itemId) const {
    const Tool* t = tools[std::size_t(i)];
    objectId = idWithHighlight(idBase, i, t);
    itemId = std::uint32_t(NoSubIndex);
    if (!parentIds) return;
    Tool* p = t->parent;
    if (!p) return;
    const int parentEntry = parents[std::size_t(i)];
    if (p->isArray() || p->isBiTool()) {
        const int sub = subIndices[std::size_t(i)];
        if (sub == NoSubIndex) return;
        objectId = idWithHighlight(idBase, parentEntry, p);
        itemId = std::uint32_t(sub);
    } else if (!p->isRoot() && p->isEmpty()) {
        objectId = idWithHighlight(idBase, parentEntry, p);
    }
}

// ---- Drawing ----

void ToolList::render(Tool::TRenderType type, bool parentIds, int idBase) {
    for (int i = 0; i < size(); ++i) {
        if (!inPass(i, type)) continue;
        std::uint32_t objectId = 0, itemId = 0;
        drawIds(i, parentIds, idBase, objectId, itemId);
        tools[std::size_t(i)]->render(objectId, matrices[std::size_t(i)], itemId);
    }
}

void ToolList::renderFeatures(Tool::TRenderType type, const bvec4& colour) {
    for (int i : features)
        if (validIndex(i) && inPass(i, type)) tools[std::size_t(i)]->renderFeatures(matrices[std::size_t(i)], colour);
}

void ToolList::renderAuxiliary(Tool::TRenderType type, const bvec4& colour) {
    for (int i : auxiliary)
        if (validIndex(i) && inPass(i, type))
            tools[std::size_t(i)]->renderAuxiliary(matrices[std::size_t(i)], colour);
}

}  // namespace qel
