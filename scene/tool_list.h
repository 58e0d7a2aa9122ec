#pragma once
// qel::ToolList, a tree of scene objects flattened into parallel arrays: one
// entry per tool with the world matrix of the frame it hangs in, the index of
// its parent entry and the sub-index a composite tool hands to its items.
// Entry i is drawn and picked with the object id idBase + 1 + i.
//
// The list holds plain pointers: it is valid until the tree changes. The
// scene empties and refills its lists at the start of every frame; clear()
// keeps the capacity of the vectors, so rebuilding a list of the same size
// allocates nothing.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "scene/tool.h"

namespace qel {

class ToolList {
public:
    // Highlight bit of a drawn id (the tool is selected or temporarily marked).
    static constexpr std::uint32_t HighlightBit = 0x80000000u;
    // The sub-index of entries made by a plain tool, and the item id passed
    // to a tool's render call when it has none.
    static constexpr int NoSubIndex = -1;
    // Colour alpha below this makes a tool transparent.
    static constexpr std::uint16_t OpaqueAlpha = 0xFF00;

    // ---- Parallel vectors, one entry per listed tool ----
    std::vector<Tool*> tools;
    std::vector<mat4> matrices;     // world matrix of the frame the tool hangs in
    std::vector<int> parents;       // parent entry; a top-level entry holds its own index
    std::vector<int> subIndices;    // NoSubIndex, or the value a composite tool stored
    // ---- Index vectors rebuilt by sort() ----
    std::vector<int> features;      // entries whose tool hasFeatures()
    std::vector<int> auxiliary;     // entries whose tool hasAuxiliary()
    // Copies the arrays of the flattened trees left out (caps, a load's
    // budget), nested copies included.
    std::size_t copiesLeftOut = 0;

    ToolList() = default;
    // An empty list, then append(root).
    explicit ToolList(Tool* root);

    // Flattens the tree below root (Tool::toList with matrices) and appends
    // it; parent indices are expressed in this list, and the id field of
    // every appended tool is set to its entry index (the first entry, when a
    // tool is listed more than once). Nothing for null.
    void append(Tool* root);
    // Appends the preview of a tool about to be placed: the flattened tool
    // once per placement, brought into the frame of the parent's entry in
    // `objects` (entry parentIndex) and, with allInstances, once more under
    // every other placed instance of the parent. Tool ids are not touched.
    void append(Tool* tool, const std::vector<mat4>& placements, const ToolList& objects, Tool* parent,
                int parentIndex, bool allInstances);
    // Rebuilds the features and auxiliary vectors.
    void sort();
    // Empties every vector.
    void clear();

    int size() const { return int(tools.size()); }
    bool empty() const { return tools.empty(); }
    bool validIndex(int i) const { return i >= 0 && i < size(); }
    // The top-level entry above entry i (following the parent indices until an
    // entry is its own parent); i itself for a top-level entry, -1 for an
    // index out of range. The walk is bounded by the list size.
    int topLevel(int i) const;

    // Transparency of a tool: its element's transparent flag, its
    // always-transparent flag, or a colour alpha below OpaqueAlpha.
    static bool isTransparent(const Tool* t);
    // Whether entry i is drawn by a pass of the given type.
    bool inPass(int i, Tool::TRenderType type) const;
    // The object id and item id with which entry i is drawn; with parentIds
    // the items of arrays and two-ended tools and the members of groups
    // draw their owner's id, so that picking them picks the owner.
    void drawIds(int i, bool parentIds, int idBase, std::uint32_t& objectId, std::uint32_t& itemId) const;

    // Draws every entry of the pass, in list order.
    void render(Tool::TRenderType type, bool parentIds, int idBase);
    // The feature (auxiliary) drawing of every listed entry of the pass.
    void renderFeatures(Tool::TRenderType type, const bvec4& colour);
    void renderAuxiliary(Tool::TRenderType type, const bvec4& colour);

private:
    // Fills the scratch vectors with the flattened tree below top, in a walk
    // of its own (see ListWalk).
    void flatten(Tool* top);
    // The id of entry `entry` with the highlight bit of tool t.
    static std::uint32_t idWithHighlight(int idBase, int entry, const Tool* t);
    // Appends one copy of the scratch entries, each matrix F x P x entry
    // matrix, parent indices shifted by the current size.
    void appendPlaced(const mat4& frame, const mat4& placement);
    // The frame of the parent entry: objects' matrix at parentIndex times the
    // parent's matrix(); the identity when the index is out of range.
    static mat4 parentFrame(const ToolList& objects, Tool* parent, int parentIndex);

    // Scratch vectors of the flattening walks, kept between frames.
    std::vector<Tool*> scratchTools_;
    std::vector<mat4> scratchMatrices_;
    std::vector<int> scratchParents_;
    std::vector<int> scratchSubIndices_;
};

}  // namespace qel
