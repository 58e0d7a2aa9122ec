// Removing an object with its dependants, and putting it back.

#include "view/act_remove.h"

#include <algorithm>
#include <unordered_map>

#include "core/mat.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/act_structure.h"

namespace qel {

namespace {

using Positions = std::unordered_map<const Tool*, int>;

// The placed object of the id, or null for nothing or a root. An entry an
// array laid stands for the array: removing a template alone would leave
// the array listing a freed tool.
Tool* objectOf(const Scene* scene, int id) { return id > 0 ? scene->findPlacedObject(id) : nullptr; }

// A ring member that stayed: an object or a template, never a root.
Tool* memberOf(const Scene* scene, int id) {
    Tool* t = scene->findObject(id);
    return t && !t->isRoot() ? t : nullptr;
}

// Takes every tool of t's tree out of its instance ring.
void leaveAllRings(Tool* t) {
    std::vector<Tool*> all;
    t->toList(all);
    for (Tool* x : all) x->removeInstance();
}

// Whether a tool that stays has a scene id to be found by again.
bool listed(const Scene& scene, Tool* t) {
    const int id = scene.findID(t);
    return id != 0 && id != Scene::NotFound;
}

// The ring links of the flattened removed tools. Each ring is walked once,
// from a member that stays (when there is one with an id) so that every
// link names a member already in place when it is restored; members without
// an id are passed over. stays receives, per link, the member before it when
// that one stays (else null).
std::vector<ActObjectRemove::RingLink> collectRingLinks(const Scene& scene, const std::vector<Tool*>& flat,
                                                        const Positions& position, std::vector<Tool*>& stays) {
    std::vector<ActObjectRemove::RingLink> links;
    std::vector<char> seen(flat.size(), 0);
    std::vector<Tool*> ring;
    auto removedAt = [&position](Tool* t) {
        const auto it = position.find(t);
        return it == position.end() ? -1 : it->second;
    };
    for (std::size_t p = 0; p < flat.size(); ++p) {
        if (seen[p] || !flat[p]->isInstanced()) continue;
        ring.clear();
        Tool* x = flat[p];
        do {
            ring.push_back(x);
            x = x->nextInstance;
        } while (x != flat[p]);
        std::size_t start = 0;
        for (std::size_t k = 0; k < ring.size(); ++k)
            if (removedAt(ring[k]) < 0 && listed(scene, ring[k])) {
                start = k;
                break;
            }
        Tool* before = ring[start];
        if (removedAt(before) >= 0) seen[std::size_t(removedAt(before))] = 1;
        for (std::size_t j = 1; j < ring.size(); ++j) {
            Tool* t = ring[(start + j) % ring.size()];
            const int at = removedAt(t);
            if (at >= 0) {
                seen[std::size_t(at)] = 1;
                const int beforeAt = removedAt(before);
                links.push_back({at, beforeAt, 0});
                stays.push_back(beforeAt < 0 ? before : nullptr);
                before = t;
            } else if (listed(scene, t)) {
                before = t;
            }
        }
    }
    return links;
}

}  // namespace

ActObjectRemove::ActObjectRemove(Scene* scene_, int objectId_) : Act(KindRemove), objectId(objectId_), scene(scene_) {
    apply();
}

ActObjectRemove::~ActObjectRemove() {
    for (Tool* t : held) delete t;
}

void ActObjectRemove::apply() {
    if (!scene) return;
    if (applied) {
        restore();
    } else {
        Tool* object = objectOf(scene, objectId);
        if (first && object) {
            remove(object);
            first = 0;
        } else if (!first && object) {
            delete object;
            scene->deselect();
            scene->toList();
        }
    }
    applied ^= 1;
}

void ActObjectRemove::remove(Tool* object) {
    std::vector<Tool*> tops, pairFirst, pairSecond, ringFirst, ringSecond;
    object->findRamifications(tops, pairFirst, pairSecond, ringFirst, ringSecond, true, true, true);
    if (tops.empty()) tops.push_back(object);

    // The held copies, out of every ring.
    for (Tool* top : tops) {
        Tool* copy = top->cloneObjectRamifications(mat4::Identity(), false);
        leaveAllRings(copy);
        held.push_back(copy);
    }

    // Positions in the flattened list of the removed tools.
    std::vector<Tool*> flat;
    for (Tool* top : tops) top->toList(flat);
    Positions position;
    position.reserve(flat.size());
    for (std::size_t i = 0; i < flat.size(); ++i) position.emplace(flat[i], int(i));
    for (std::size_t k = 0; k < pairFirst.size() && k < pairSecond.size(); ++k) {
        const auto a = position.find(pairFirst[k]);
        const auto b = position.find(pairSecond[k]);
        if (a == position.end() || b == position.end()) continue;
        partnerSources.push_back(a->second);
        partnerTargets.push_back(b->second);
    }
    std::vector<Tool*> stays;
    ringLinks = collectRingLinks(*scene, flat, position, stays);

    // The parents in order of first appearance, each with its children's
    // places by ascending position, so that inserting in that order puts
    // every child back where it was.
    std::vector<Tool*> parents;
    for (std::size_t i = 0; i < tops.size(); ++i) {
        Tool* parent = tops[i]->parent;
        if (!parent) continue;
        const auto it = std::find(parents.begin(), parents.end(), parent);
        const std::size_t k = std::size_t(it - parents.begin());
        if (it == parents.end()) {
            parents.push_back(parent);
            children.emplace_back();
        }
        children[k].push_back({std::int32_t(i), parent->findChildIndex(tops[i])});
    }
    for (auto& list : children)
        std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.second < b.second; });

    delete object;
    scene->deselect();
    scene->toList();
    parentIds = sceneIds(*scene, parents);
    for (std::size_t k = 0; k < ringLinks.size(); ++k)
        if (stays[k]) ringLinks[k].predecessorId = scene->findID(stays[k]);
}

void ActObjectRemove::restore() {
    std::vector<Tool*> fresh(held.size(), nullptr);
    for (std::size_t k = 0; k < parentIds.size() && k < children.size(); ++k) {
        Tool* parent = scene->findObject(parentIds[k]);
        if (!parent) continue;
        for (const auto& [index, at] : children[k]) {
            if (index < 0 || std::size_t(index) >= held.size()) continue;
            Tool* copy = held[std::size_t(index)]->cloneObjectRamifications(mat4::Identity(), false);
            leaveAllRings(copy);
            parent->insertChild(at, copy);
            fresh[std::size_t(index)] = copy;
        }
    }

    // The inserted tools flattened as the removed ones were; a copy that
    // found no parent keeps its positions empty.
    std::vector<Tool*> flat, scratch;
    for (std::size_t i = 0; i < held.size(); ++i) {
        if (fresh[i]) {
            fresh[i]->toList(flat);
        } else {
            scratch.clear();
            held[i]->toList(scratch);
            flat.insert(flat.end(), scratch.size(), nullptr);
        }
    }
    auto at = [&flat](int i) { return i >= 0 && std::size_t(i) < flat.size() ? flat[std::size_t(i)] : nullptr; };

    // Rings first, while the ids of the members that stayed still name them.
    for (const RingLink& link : ringLinks) {
        Tool* t = at(link.position);
        Tool* before = link.predecessor >= 0 ? at(link.predecessor) : memberOf(scene, link.predecessorId);
        if (!t || !before || t == before || t->isInstanced()) continue;
        t->nextInstance = before->nextInstance;
        before->nextInstance = t;
    }
    for (std::size_t k = 0; k < partnerSources.size() && k < partnerTargets.size(); ++k) {
        Tool* a = at(partnerSources[k]);
        Tool* b = at(partnerTargets[k]);
        if (a && b) a->setPartner(b);
    }
    scene->toList();
}

}  // namespace qel
