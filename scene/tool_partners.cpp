// The partners' share of the bulk deletions of qel::Tool (deleteTrees,
// removeTools): two-ended tools come in linked pairs, reached through
// partnerTool and dropPartner.
//
// A bulk deletion frees a set of tools once each, every destructor running
// with the links it would follow already cleared. An end deleting its
// partner from its own destructor would free a tool the walk frees again (a
// partner inside the set) or the tool whose destructor is running (a partner
// above it); so the partners outside the set join it beforehand, and every
// link is cleared before the first destructor runs.

#include <unordered_set>
#include <utility>

#include "scene/tool.h"

namespace qel {

namespace {

// Takes the listed tools out of their parents' child lists, one pass per
// parent. Each taken tool loses its parent; a tool its parent does not list
// (an array's template) keeps it, and stays where it is.
void detach(const std::vector<Tool*>& tools, const std::unordered_set<const Tool*>& taking) {
    std::unordered_set<Tool*> parents;
    for (Tool* t : tools)
        if (t->parent) parents.insert(t->parent);
    for (Tool* q : parents) {
        std::size_t kept = 0;
        for (Tool* c : q->children) {
            if (taking.count(c)) {
                c->parent = nullptr;
                continue;
            }
            q->children[kept++] = c;
        }
        q->children.resize(kept);
    }
}

}  // namespace

void Tool::takePartners(std::vector<Tool*>& all, std::size_t tops, Tool* guard) {
    bool linked = false;
    for (std::size_t i = 0; i < all.size() && !linked; ++i) linked = all[i]->partnerTool() != nullptr;
    if (!linked) return;
    std::unordered_set<const Tool*> inSet(all.begin(), all.end());
    // The tools that must outlive the deletion: guard with its ancestors and
    // the ancestors of the tops. Each chain stops where a walked one began.
    std::unordered_set<const Tool*> kept;
    for (Tool* x = guard; x && kept.insert(x).second; x = x->parent) {
    }
    for (std::size_t i = 0; i < tops && i < all.size(); ++i)
        for (Tool* x = all[i]->parent; x && kept.insert(x).second; x = x->parent) {
        }

    std::vector<Tool*> ends;
    std::vector<Tool*> taken;
    std::size_t scanned = 0;
    while (scanned < all.size()) {
        taken.clear();
        for (; scanned < all.size(); ++scanned) {
            Tool* p = all[scanned]->partnerTool();
            if (!p) continue;
            ends.push_back(all[scanned]);
            if (inSet.count(p) || kept.count(p)) continue;
            inSet.insert(p);
            taken.push_back(p);
        }
        if (taken.empty()) break;
        detach(taken, inSet);
        // The taken partners join the set with their subtrees (each tool
        // before its descendants); a partner left in place leaves it again.
        for (Tool* p : taken) {
            if (p->parent) {
                inSet.erase(p);
                continue;
            }
            const std::size_t from = all.size();
            all.push_back(p);
            for (std::size_t i = from; i < all.size(); ++i)
                for (Tool* c : all[i]->children)
                    if (inSet.insert(c).second) all.push_back(c);
        }
    }
    for (Tool* e : ends) {
        Tool* p = e->partnerTool();
        if (p && !inSet.count(p)) p->dropPartner();
        e->dropPartner();
    }
}

void Tool::markPartnersForRemoval(Tool* top) {
    // Pre-order walk carrying whether a marked tool lies at or above.
    std::vector<std::pair<Tool*, bool>> stack;
    for (Tool* c : top->children) stack.push_back({c, false});
    while (!stack.empty()) {
        const auto [t, above] = stack.back();
        stack.pop_back();
        const bool marked = above || t->isTempMarked();
        if (marked) {
            if (Tool* p = t->partnerTool()) p->flags |= FlagTemp;
        }
        for (Tool* c : t->children) stack.push_back({c, marked});
    }
}

}  // namespace qel
