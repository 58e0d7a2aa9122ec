// The child list, the flattening walks, the instance ring and the
// selection of qel::Tool.

#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "scene/ring_walks.h"
#include "scene/tool.h"

namespace qel {

namespace {

// A set of tools known at its making, in one open-addressed table: a test
// costs a hash and a probe or two in one block of memory (a node-based set
// costs an allocation per tool and scatters them, which a ring of tens of
// thousands of members feels as much as the walk itself).
class ToolSet {
public:
    explicit ToolSet(const std::vector<Tool*>& tools) {
        std::size_t n = 16;
        while (n < 2 * tools.size()) n *= 2;
        slots_.assign(n, nullptr);
        for (const Tool* t : tools) {
            std::size_t i = slot(t);
            while (slots_[i] && slots_[i] != t) i = (i + 1) & (n - 1);
            slots_[i] = t;
        }
    }
    bool contains(const Tool* t) const {
        for (std::size_t i = slot(t);; i = (i + 1) & (slots_.size() - 1)) {
            if (slots_[i] == t) return true;
            if (!slots_[i]) return false;
        }
    }

private:
    std::size_t slot(const Tool* t) const {
        const std::uint64_t h = std::uint64_t(reinterpret_cast<std::uintptr_t>(t)) * 0x9E3779B97F4A7C15ull;
        return std::size_t(h >> 32) & (slots_.size() - 1);
    }
    std::vector<const Tool*> slots_;  // at most half full, so every probe ends
};

// Takes every listed tool out of its instance ring: each ring is walked once
// and closed over the tools that stay; the listed ones are left alone.
// (Leaving one by one walks a ring once per member, quadratic in its size.)
void leaveRings(const std::vector<Tool*>& leaving) {
    std::size_t from = 0;
    while (from < leaving.size() && leaving[from]->nextInstance == leaving[from]) ++from;
    if (from == leaving.size()) return;  // every one alone in its ring
    const ToolSet isLeaving(leaving);
    for (std::size_t i = from; i < leaving.size(); ++i) {
        Tool* t = leaving[i];
        if (t->nextInstance == t) continue;
        Tool *first = nullptr, *last = nullptr;
        Tool* x = t;
        do {
            Tool* next = x->nextInstance;
            if (isLeaving.contains(x)) {
                x->nextInstance = x;
            } else {
                (last ? last->nextInstance : first) = x;
                last = x;
            }
            x = next;
        } while (x != t);
        if (last) last->nextInstance = first;
    }
}

// The tools gathered by the removeTools pass under way (null outside one).
std::vector<Tool*>* removal = nullptr;

}  // namespace

// Every tool leaves its ring first, then each is deleted after its
// descendants with its child list emptied and its partner link cleared, so
// that no destructor walks a ring, searches a child list or follows a
// partner. (The partners are looked for only while ends exist: the walk
// below reads no more of each tool than its child list.)
void Tool::deleteTrees(const std::vector<Tool*>& tops, Tool* guard) {
    if (tops.empty()) return;
    std::vector<Tool*> all(tops);  // each tool before its descendants
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::vector<Tool*>& below = all[i]->children;
        all.insert(all.end(), below.begin(), below.end());
    }
    takePartners(all, tops.size(), guard);
    // The templates of arrays, with their trees, are deleted by their arrays
    // but leave their rings in the same pass.
    std::vector<Tool*> leaving(all);
    for (std::size_t i = 0; i < leaving.size(); ++i) {
        if (i >= all.size()) leaving.insert(leaving.end(), leaving[i]->children.begin(), leaving[i]->children.end());
        leaving[i]->appendOwned(leaving);
    }
    leaveRings(leaving);
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        Tool* t = *it;
        t->children.clear();
        t->parent = nullptr;
        delete t;
    }
}

void Tool::deleteObjects(const std::vector<Tool*>& tools) {
    // The given tools, each once, and the partner of every end among them
    // or in their subtrees, unless it holds that end: an end takes its pair.
    // An array's template is its array's to delete.
    std::vector<Tool*> doomed;
    std::unordered_set<const Tool*> given;
    const auto add = [&](Tool* t) {
        if (t && !t->isArrayTemplate() && given.insert(t).second) doomed.push_back(t);
    };
    for (Tool* t : tools) add(t);
    std::vector<Tool*> walk;
    for (std::size_t i = 0; i < doomed.size(); ++i) {
        walk.assign(1, doomed[i]);
        while (!walk.empty()) {
            const Tool* n = walk.back();
            walk.pop_back();
            walk.insert(walk.end(), n->children.begin(), n->children.end());
            Tool* p = n->partnerTool();
            if (!p || given.count(p)) continue;
            bool holds = false;
            for (const Tool* x = n->parent; x && !holds; x = x->parent) holds = x == p;
            if (!holds) add(p);
        }
    }
    // The topmost of them, out of their parents' lists, one pass per parent;
    // the parent links stay, so that the deletion keeps every ancestor.
    std::vector<Tool*> tops;
    std::unordered_set<const Tool*> topSet;
    std::unordered_set<Tool*> parents;
    for (Tool* t : doomed) {
        bool inside = false;
        for (const Tool* x = t->parent; x && !inside; x = x->parent) inside = given.count(x) != 0;
        if (inside) continue;
        tops.push_back(t);
        topSet.insert(t);
        if (t->parent) parents.insert(t->parent);
    }
    for (Tool* q : parents) {
        std::size_t kept = 0;
        for (Tool* c : q->children)
            if (!topSet.count(c)) q->children[kept++] = c;
        q->children.resize(kept);
    }
    deleteTrees(tops, nullptr);
}

// ---- Child list (slots 9, 18-24) ----

Tool* Tool::clearChildren() {
    // Deleted together: last child first, each tool after its descendants.
    std::vector<Tool*> doomed;
    doomed.swap(children);
    deleteTrees(doomed, this);
    return this;
}

Tool* Tool::setChild(int index, Tool* child) {
    if (!child) return nullptr;
    if (index < 0 || std::size_t(index) >= children.size()) return nullptr;  // outside the list: refused
    child->parent = this;
    children[std::size_t(index)] = child;
    return child;
}

Tool* Tool::addChild(Tool* child, bool all) {
    if (!child) return nullptr;
    if (!all) {
        child->parent = this;
        children.push_back(child);
        return child;
    }
    // With all, a tool that is not selected adopts nothing and no copy is
    // made: null, and the caller still owns `child`.
    if (!(flags & FlagSelected)) return nullptr;
    // Every selected member of this ring receives the child (this tool) or a
    // copy joining the child's ring (the others). The members are collected
    // first, so that the copies joining rings cannot disturb the walk.
    std::vector<Tool*> members;
    Tool* x = this;
    do {
        if (x->flags & FlagSelected) members.push_back(x);
        x = x->nextInstance;
    } while (x != this);
    for (Tool* member : members) {
        if (member == this)
            addChild(child, false);
        else
            member->addChild(child->cloneObject(mat4::Identity(), true, false), false);
    }
    return children.back();
}

int Tool::findAllInstances(std::vector<Tool*>& list, bool selectedOnly) {
    if (!selectedOnly) {
        list.push_back(this);
        return int(list.size());
    }
    Tool* x = this;
    do {
        if (x->flags & FlagSelected) list.push_back(x);
        x = x->nextInstance;
    } while (x != this);
    return int(list.size());
}

int Tool::subChild(Tool* child) {
    auto it = std::find(children.begin(), children.end(), child);
    if (it == children.end()) return -1;
    const int index = int(it - children.begin());
    children.erase(it);
    return index;
}

int Tool::findChildIndex(Tool* child) {
    auto it = std::find(children.begin(), children.end(), child);
    return it == children.end() ? -1 : int(it - children.begin());
}

bool Tool::isArrayTemplate() const {
    return parent && parent->kind == KindArray &&
           std::find(parent->children.begin(), parent->children.end(), this) == parent->children.end();
}

Tool* Tool::insertChild(int index, Tool* child) {
    if (!child) return nullptr;
    // An index outside the list is clamped to it (callers are expected
    // to stay within; this keeps a bad one from corrupting memory).
    const std::size_t i = index < 0 ? 0 : std::min(std::size_t(index), children.size());
    child->parent = this;
    children.insert(children.begin() + std::ptrdiff_t(i), child);
    return child;
}

void Tool::removeTools() {
    // The marked children leave the list in one pass. The outermost call
    // deletes every tool the pass took out together at its end: a deletion
    // may take partners from any list, never while one is being walked.
    std::vector<Tool*> doomed;
    const bool outermost = removal == nullptr;
    if (outermost) {
        markPartnersForRemoval(this);
        removal = &doomed;
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < children.size(); ++i) {
        Tool* c = children[i];
        c->removeTools();
        if (c->flags & FlagTemp)
            removal->push_back(c);
        else
            children[kept++] = c;
    }
    children.resize(kept);
    if (!outermost) return;
    removal = nullptr;
    deleteTrees(doomed, this);
}

// ---- Flattening (slots 25, 26) ----

void Tool::toList(std::vector<Tool*>& list) {
    id = std::int32_t(list.size());
    list.push_back(this);
    for (Tool* c : children) c->toList(list);
}

void Tool::toList(std::vector<Tool*>& tools, std::vector<mat4>& matrices, std::vector<int>& parents,
                  std::vector<int>& subIndices, mat4 m, int parentIndex, int subIndex) {
    matrices.push_back(m);
    const mat4 w = m * matrix();
    parents.push_back(parentIndex);
    subIndices.push_back(subIndex);
    const int k = int(tools.size());
    tools.push_back(this);
    for (Tool* c : children) c->toList(tools, matrices, parents, subIndices, w, k, -1);
}

// ---- Instance ring (slots 27-31) ----

Tool* Tool::previousInstance() {
    Tool* x = this;
    std::uint64_t steps = 1;
    for (; x->nextInstance != this; ++steps) x = x->nextInstance;
    ringWalkSteps += steps;
    return x;
}

bool Tool::isInstanced() { return nextInstance != this; }

bool Tool::isInstanceOf(Tool* tool) {
    Tool* x = this;
    do {
        if (x == tool) return true;
        x = x->nextInstance;
    } while (x != this);
    return false;
}

void Tool::joinInstances(Tool* tool) {
    if (!tool) return;
    // Whether the tool is in this ring: both rings are walked in step, so
    // the walk ends with the smaller one (a new copy joining a ring of
    // thousands takes one step, not thousands).
    Tool *x = this, *y = tool;
    do {
        if (x == tool || y == this) return;
        x = x->nextInstance;
        y = y->nextInstance;
    } while (x != this && y != tool);
    std::swap(nextInstance, tool->nextInstance);
}

void Tool::removeInstance() {
    Tool* prev = previousInstance();
    prev->nextInstance = nextInstance;
    nextInstance = this;
}

// ---- Selection ----

template <class Fn> void Tool::forSelectionScope(bool all, bool sameParent, Fn fn) {
    if (!all) {
        if (flags & FlagObject) fn(this);
        return;
    }
    const bool checkParent = sameParent && parent != nullptr;
    Tool* x = this;
    do {
        Tool* next = x->nextInstance;
        if ((x->flags & FlagObject) && (!checkParent || x->parent == parent)) fn(x);
        x = next;
    } while (x != this);
}

void Tool::select(bool all, bool sameParent) {
    forSelectionScope(all, sameParent, [](Tool* t) { t->flags |= FlagSelected; });
}

void Tool::deselect(bool all, bool sameParent) {
    forSelectionScope(all, sameParent, [](Tool* t) { t->flags &= std::uint8_t(~FlagSelected); });
}

void Tool::tempSelect(bool all, bool sameParent) {
    forSelectionScope(all, sameParent, [](Tool* t) { t->flags |= FlagTemp; });
}

void Tool::tempDeselect(bool all, bool sameParent) {
    forSelectionScope(all, sameParent, [](Tool* t) { t->flags &= std::uint8_t(~FlagTemp); });
}

void Tool::select(std::vector<Tool*>& list, bool all, bool sameParent) {
    forSelectionScope(all, sameParent, [&list](Tool* t) {
        t->flags |= FlagSelected;
        list.push_back(t);
    });
}

void Tool::tempSelect(std::vector<Tool*>& list, bool all, bool sameParent) {
    forSelectionScope(all, sameParent, [&list](Tool* t) {
        t->flags |= FlagTemp;
        list.push_back(t);
    });
}

void Tool::deselect(std::vector<Tool*>& list) {
    for (Tool* t : list)
        if (t) t->flags &= std::uint8_t(~FlagSelected);
}

void Tool::tempDeselect(std::vector<Tool*>& list) {
    for (Tool* t : list)
        if (t) t->flags &= std::uint8_t(~FlagTemp);
    list.clear();
}

}  // namespace qel
