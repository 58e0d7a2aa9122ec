#pragma once
// qel::Array, the scene object that repeats other objects along a curve: a
// Tool of kind 1 whose element is its curve, with item slots holding
// template tools, a packed pattern saying which item goes on which edge, an
// array type and a step transform for every other copy.
//
// Ownership: the array owns its templates; a template's parent is the array
// although it is not among the array's children. The array's curve is the
// Tool's element (one reference, the Tool's); `curve` only names it.
//
// Sources:
//   tools/array.cpp         construction, items, marks, removal, timer
//   tools/array_clone.cpp   the three clone forms and findRamifications
//   tools/array_record.cpp  the record (both layouts), identify, numbering
//   tools/array_layout.cpp  the flattening that lays the copies on the curve
//
// Safety rules kept throughout:
//   - Between reading and identify the slot ids wait in a list of their
//     own; the slots themselves stay empty, so a refused or unjoined array
//     never deletes an id as a tool.
//   - Every count read is checked against the bytes left before anything is
//     allocated for it; flags of either layout are masked with
//     Tool::StoredFlagsMask.
//   - identify gives a slot only a tool of the same file that has no parent
//     yet, is no root and is neither the array nor one of its ancestors;
//     an element that is not a curve leaves the array without curve.
//   - A clone keeps an unmarked template's slot, empty, so that the item
//     numbers of the pattern keep naming the same slots.
//   - The Tool's deletion of whole trees takes the templates (appendOwned)
//     out of their rings in the same pass as the trees, so that deleting many
//     arrays whose templates share one ring stays linear.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/mat.h"
#include "gl/pbr.h"
#include "scene/tool.h"

namespace qel {

class Curve;

class Array : public Tool {
public:
    // Any non-zero type applies the step to every other copy.
    enum TArrayType : int { Simple = 0, Chain = 1, Zipper = 2 };

    static constexpr std::uint32_t RecordTag = 0xABCDEF04u;
    // The list entries one array's copies may add, nested copies counted
    // (a copy of an array repeats all of that array's copies): a million
    // copies of an item with a child or two are laid whole, at about 80
    // bytes an entry. The arrays a file brings are further held to the
    // load's budget when the scene is first listed, and keep that bound
    // afterwards, so that a small file cannot multiply copies by nesting.
    // Copies left out are counted in the walk (ListWalk::noteCopies) and
    // reported to the budget of a load in progress. Lowered only by tests.
    static inline std::size_t maxCopyEntries = std::size_t(1) << 22;

    // ---- Fields, in this order ----
    TArrayType type = Simple;
    Curve* curve = nullptr;    // the Tool's element as a curve; no reference of its own
    std::vector<Tool*> items;  // owned templates; null for an empty slot
    // Packed entries: multiplicity bits 0-14, item number bits 15-29 (0 a
    // gap, n the slot (n - 1) modulo the slot count), anchor bits 30-31.
    std::vector<std::uint32_t> pattern;
    mat4 step;

    // The Tool part as Tool(curve, transform, material, transparent); one
    // slot per item: null stays an empty slot, any other item is copied
    // with cloneTool(true) and the copy adopted. The items are not adopted.
    Array(Curve* curve, const std::vector<Tool*>& items, const std::vector<std::int32_t>& pattern, TArrayType type,
          const mat4& step, const mat4& transform, const pbr& material, bool transparent);
    // No element, identity transform, default material; then DataRead. A
    // refused body sets the buffer's flag and leaves nothing pending.
    explicit Array(buffer& b);
    ~Array() override;

    // Stores the item in an existing slot (an index outside the slots is
    // refused: null) and adopts it when it is not null; returns the item.
    Tool* setItem(int slot, Tool* item);
    // Adopts a non-null item and appends it as a new slot; returns the item.
    Tool* addItem(Tool* item);

    // ---- Tool slots ----
    Tool* CloneTool(bool keepPivot, bool markPass) override;
    Tool* CloneObject(const mat4& placement, bool join, unsigned char markMode) override;
    Tool* CloneObjectRamifications(const mat4& placement, bool join, unsigned char markPass) override;
    void findRamifications(std::vector<Tool*>& a, std::vector<Tool*>& b, std::vector<Tool*>& c, std::vector<Tool*>& d,
                           std::vector<Tool*>& e, bool markRamification, bool markSubtree, bool nested) override;
    void markRamifications(unsigned char k) override;
    int setElement(Element* e) override;
    void Mark(unsigned char k) override;
    void removeTools() override;
    using Tool::toList;
    // Numbering: the curve brought up to date, the array and its subtree,
    // then each template's tree.
    void toList(std::vector<Tool*>& list) override;
    // The layout: nothing at all without curve edges or item slots; else the
    // array and its children as any tool lists them, then, chain by chain,
    // one copy of a template's flattened tree per edge the pattern gives an
    // item. A copy's top entry has the array's entry as parent and the
    // edge's key as sub-index: the edge index, or on a resampled curve the
    // base-curve edge the edge was sampled from. The curve's placed mark is
    // clear again on return.
    void toList(std::vector<Tool*>& tools, std::vector<mat4>& matrices, std::vector<int>& parents,
                std::vector<int>& subIndices, mat4 parentMatrix, int parentIndex, int subIndex) override;
    bool isEmpty() override;
    bool isArray() override;
    void Data(buffer& b, bool ringFromNext) override;
    std::uint32_t recordTag() const override { return RecordTag; }
    void DataRead(buffer& b) override;
    void oldDataRead(buffer& b) override;
    void identify(const std::vector<Tool*>& tools, const std::vector<Element*>& elements) override;
    bool timer() override;

    // The slot ids read and not yet identified (negative: empty slot).
    const std::vector<std::int32_t>& storedItems() const { return storedItems_; }
    // The templates: an array owns them outside its child list.
    void appendOwned(std::vector<Tool*>& out) override;

private:
    // The copy of the clone forms: a new array on the same curve with this
    // array's pattern, type, step, transform, material, transparency, flag
    // bits 5-7, axes, multiplicity, speed and delay; no slots, pivot
    // identity, alone in its ring.
    Array* makeCopy(bool object);
    // Appends to the copy one slot per slot of this array: empty for an
    // empty slot, and for an unmarked template when onlyMarked; else the
    // template's copy of this pass, or a new one made by copyOf.
    template <class CopyFn>
    void copySlots(Array* copy, bool onlyMarked, CopyFn copyOf);
    // Reads the slot ids, the pattern, the type and the step of the
    // current layout; false (buffer flag set) when they do not fit.
    bool readOwnFields(buffer& b);
    // Whether the element id names a curve of the table.
    static bool namesCurve(std::int32_t id, const std::vector<Element*>& elements);

    std::vector<std::int32_t> storedItems_;
    bool itemsPending_ = false;
    // Joined from a file and not yet listed: the next listing takes its
    // entries from the armed load budget.
    bool copiesFromLoad_ = false;
    // The entries the budget of the load that brought the array left it.
    std::size_t loadEntries_ = SIZE_MAX;
};

}  // namespace qel
