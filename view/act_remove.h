#pragma once
// qel::ActObjectRemove: removes an object with its children, and puts fresh
// copies of them back on undo: under the same parents, at the same child
// positions, in the same instance rings and with the same partner links.
//
// The record holds its own copies of the removed tools, taken out of every
// instance ring so that no operation on a scene ring reaches them. How the
// removed tools sat in their rings is kept instead as ring links: for each
// removed tool, the ring member before it, either another removed tool (by
// its position in the flattened list of the removed tools) or a tool that
// stays (by its scene id). Undo inserts each fresh copy after that member,
// in the recorded order, which rebuilds every ring in its old order.

#include <cstdint>
#include <utility>
#include <vector>

#include "view/act.h"

namespace qel {

class Scene;
class Tool;

class ActObjectRemove : public Act {
public:
    // Removes the object `objectId` at once.
    ActObjectRemove(Scene* scene, int objectId);
    ~ActObjectRemove() override;
    ActObjectRemove(const ActObjectRemove&) = delete;
    ActObjectRemove& operator=(const ActObjectRemove&) = delete;

    void apply() override;

    // A removed tool's place in its instance ring.
    struct RingLink {
        std::int32_t position;       // the removed tool, in the flattened list
        std::int32_t predecessor;    // the member before it when removed too, else -1
        std::int32_t predecessorId;  // the member before it when it stays (scene id)
    };

    std::uint8_t first = 1;
    std::uint8_t applied = 0;
    std::int32_t objectId;
    Scene* scene;  // not owned
    std::vector<std::int32_t> parentIds;
    // Partner links among the removed tools, as flattened-list positions.
    std::vector<std::int32_t> partnerSources, partnerTargets;
    std::vector<Tool*> held;  // owned copies of the removed tools
    // Per parent: (held-tool index, child position), by ascending position.
    std::vector<std::vector<std::pair<std::int32_t, std::int32_t>>> children;
    std::vector<RingLink> ringLinks;

private:
    // The first application: records and removes.
    void remove(Tool* object);
    // Undo: inserts fresh copies and restores rings and partners.
    void restore();
};

}  // namespace qel
