#pragma once
// qel::BiTool, one end of a two-ended tool. The two ends of a pair sit in
// the hierarchy independently and point at each other; the end that carries
// an element stretches it towards its partner by its TBiType, the other end
// (type 0) is plain. Deleting one end deletes the pair.
//
// Sources:
//   tools/bi_tool.cpp         construction, destruction, pairing, stretch,
//                             cloning, ramifications
//   tools/bi_tool_delete.cpp  the partners' share of the bulk deletions
//   tools/bi_tool_record.cpp  the record (tag 0xABCDEF05) and identify
//
// Safety rules kept throughout:
//   - Links are always mutual: setPartner unlinks both ends' previous
//     partners first; identify links two ends only when each names the other.
//   - An end deleted on its own deletes its partner with the partner's
//     subtree, except a partner that is its ancestor, which it only unlinks.
//     The bulk deletions of Tool take partners into their set before any
//     destructor runs (takePartners), so that every tool is freed once.
//   - transformRender never stretches by a length at or below MinLength, nor
//     by a volume-keeping factor without a positive rest length.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/tool.h"

namespace qel {

class BiTool : public Tool {
public:
    // Stretch rule applied to the element after the base drawing matrix.
    enum TBiType : std::uint32_t {
        BiPlain = 0,    // no stretch: the plain end
        BiUniform = 1,  // Scale(L)
        BiThin = 2,     // Scale(0.3, 0.3, L)
        BiVolume = 3,   // Scale(s, s, L), s = sqrt(L0 / L)
    };
    static constexpr std::uint32_t RecordTag = 0xABCDEF05u;
    // Files up to this version store the old layout (oldDataRead).
    static constexpr std::int32_t VersionOldLayout = 20160914;
    // Lengths at or below this do not stretch (the two ends coincide).
    static constexpr float MinLength = 1e-6f;
    // The number of ends in existence.
    static std::size_t Alive;

    TBiType type = BiPlain;
    BiTool* partner = nullptr;      // the other end, or null
    mat4 parentMatrix;              // parent matrix of the current flattening's first visit
    mat4 endMatrix;                 // this end's world matrix from that visit
    std::int32_t parentIndex = -1;  // list index of the parent on that visit
    std::int32_t subIndex = -1;     // item index on that visit
    float referenceLength = -1.0f;  // rest length L0; -1 until measured
    float length = 0.0f;            // current end-to-end length L

    // The tool constructor with (e, m, p, transparent); kind 2, no partner.
    BiTool(TBiType t, Element* e, const mat4& m, const pbr& p, bool transparent);
    // The reading defaults, then the record body (DataRead's rule). The
    // stored partner id waits for identify.
    explicit BiTool(buffer& b);
    ~BiTool() override;

    bool isMarked() override;
    Tool* CloneTool(bool keepPivot, bool mark) override;
    Tool* CloneObject(const mat4& m, bool join, unsigned char markMode) override;
    Tool* CloneObjectRamifications(const mat4& m, bool join, unsigned char mark) override;
    void findRamifications(std::vector<Tool*>& tops, std::vector<Tool*>& pairFirst, std::vector<Tool*>& pairSecond,
                           std::vector<Tool*>& ringFirst, std::vector<Tool*>& ringSecond, bool markAround,
                           bool markHere, bool followPartner) override;
    void markRamifications(unsigned char v) override;
    // Links this end and t (a two-ended tool other than this one), after
    // unlinking both ends' previous partners; anything else changes nothing.
    void setPartner(Tool* t) override;
    mat4 transformRender(const mat4& m) override;
    bool hasAuxiliary() override;
    void Data(buffer& b, bool ringFromNext) override;
    void DataWrite(buffer& b, bool ringFromNext) override;
    void DataRead(buffer& b) override;
    void oldDataRead(buffer& b) override;
    void identify(const std::vector<Tool*>& tools, const std::vector<Element*>& elements) override;

    // The stored partner id between reading and identify (-1 for none).
    std::int32_t storedPartner() const { return storedPartner_; }

    // ---- The partners' share of the bulk deletions of Tool ----
    // `all` lists the tools about to be deleted together, each before its
    // descendants, its first `tops` entries out of every child list. Nothing
    // when no end in it has a partner. Otherwise adds
    // the partner of every end in the set that lies outside it, with that
    // partner's subtree (taken out of its parent's list), until no end has a
    // partner outside; a partner that is `guard`, an ancestor of guard or of
    // a top is left in place. Then clears every link of the set's ends.
    static void takePartners(std::vector<Tool*>& all, std::size_t tops, Tool* guard);
    // Before removeTools deletes the temporarily marked tools of top's tree:
    // marks the partner of every end that is marked or lies below a marked
    // tool, so that a pair leaves together.
    static void markPartnersForRemoval(Tool* top);
    // Unlinks every end of t's tree from its partner (both links cleared).
    static void unlinkTree(Tool* t);

protected:
    // The bare new end of the three clone forms, before makeEnd copies the
    // fields: a two-ended tool of this end's type sharing its element.
    virtual BiTool* newEnd();
    // The new end of the three clone forms (Algorithms, cloning, step 2).
    BiTool* makeEnd(bool object);
    // The end after this one's clone: children cloned by `cloneChild`, the
    // partner relinked through its clone link.
    void finishClone(BiTool* c, Tool* (*cloneChild)(Tool*));

private:
    // The current layout's fields after the tool body.
    void readTail(buffer& b);

    std::int32_t storedPartner_ = -1;
};

}  // namespace qel
