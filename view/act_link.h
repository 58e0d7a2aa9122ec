#pragma once
// The records that join and split instance rings. Unlike the other records
// they are not applied by their constructors: the release handler fills
// them, applies them once and pushes them, whether or not they changed
// anything. A lookup that finds no object (or finds a root) makes an
// application change nothing.

#include <cstdint>

#include "view/act.h"

namespace qel {

class Scene;

// Joins the instance rings of two objects by exchanging their next-instance
// links; applying it again splits the ring as it was.
class ActObjectLink : public Act {
public:
    ActObjectLink(Scene* scene, int firstId, int secondId);

    // The first application leaves the record without effect (first id =
    // second id) when the objects already share a ring or one is missing.
    void apply() override;
    bool changed() override { return firstId != secondId; }

    std::uint8_t first = 1;
    std::int32_t firstId;
    std::int32_t secondId;
    Scene* scene;  // not owned
};

// Takes an object out of its instance ring; undo puts it back before the
// ring member that followed it.
class ActObjectUnlink : public Act {
public:
    ActObjectUnlink(Scene* scene, int objectId);

    // The first application notes the member that follows the object (the
    // first one with a scene id) and takes the object out; an object without
    // such a member is left alone and the record keeps partner id 0, with
    // which no application changes anything.
    void apply() override;
    bool changed() override { return partnerId != 0; }

    std::uint8_t first = 1;
    std::uint8_t applied = 0;
    std::int32_t objectId;
    std::int32_t partnerId = 0;
    Scene* scene;  // not owned
};

}  // namespace qel
