// Joining and splitting instance rings.

#include "view/act_link.h"

#include <utility>

#include "scene/scene.h"
#include "scene/tool.h"

namespace qel {

namespace {

// The object of the id, or null for nothing or a root; an entry an array
// laid stands for the array, whose template only the array may move.
Tool* objectOf(const Scene* scene, int id) { return scene ? scene->findPlacedObject(id) : nullptr; }

// A ring member that stays, found by its own entry: an object or a template.
Tool* memberOf(const Scene* scene, int id) {
    Tool* t = scene ? scene->findObject(id) : nullptr;
    return t && !t->isRoot() ? t : nullptr;
}

}  // namespace

// ---- ActObjectLink ----

ActObjectLink::ActObjectLink(Scene* scene_, int firstId_, int secondId_)
    : Act(KindLink), firstId(firstId_), secondId(secondId_), scene(scene_) {}

void ActObjectLink::apply() {
    if (firstId == secondId) return;
    Tool* a = objectOf(scene, firstId);
    Tool* b = objectOf(scene, secondId);
    if (first) {
        first = 0;
        if (!a || !b || a->isInstanceOf(b)) {
            firstId = secondId;
            return;
        }
    }
    if (!a || !b || a == b) return;
    std::swap(a->nextInstance, b->nextInstance);
}

// ---- ActObjectUnlink ----

ActObjectUnlink::ActObjectUnlink(Scene* scene_, int objectId_) : Act(KindUnlink), objectId(objectId_), scene(scene_) {}

void ActObjectUnlink::apply() {
    Tool* t = objectOf(scene, objectId);
    if (first) {
        first = 0;
        // Ring members outside the scene's lists (a record's template) have
        // no id to come back to; the next member that has one is noted.
        for (Tool* x = t ? t->nextInstance : nullptr; x && x != t; x = x->nextInstance) {
            const int id = scene->findID(x);
            if (id != 0 && id != Scene::NotFound) {
                partnerId = id;
                break;
            }
        }
    }
    if (partnerId == 0) return;
    if (applied) {
        // Back into the ring before the partner, provided the object is
        // still alone: splicing a ring member would cut its ring.
        Tool* p = memberOf(scene, partnerId);
        if (t && p && p != t && !t->isInstanced()) {
            p->previousInstance()->nextInstance = t;
            t->nextInstance = p;
        }
    } else if (t) {
        t->removeInstance();
    }
    applied ^= 1;
}

}  // namespace qel
