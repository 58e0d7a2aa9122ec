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
//   tools/bi_tool_list.cpp    the flattening: each end waits until its
//                             partner is reached, then both are listed turned
//                             toward each other
//   tools/bi_tool_draw.cpp    drawing, the handles and the shared elements
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
//   - A visit state counts only in the walk that made it (ListWalk): no walk
//     lists an end with the matrices or indices of an earlier list. An end
//     whose partner is missing or not reached in the same walk is listed as
//     a plain tool (no turn, no stretch, no handles), never dropped.
//   - An end whose frame has no finite inverse is listed unturned and keeps
//     its length: no inf or NaN reaches drawing, picking or the record.
//   - The turn toward a partner straight behind is a half turn about the
//     end's x axis, never a point reflection.
//   - Handles and the line are drawn from the matrix the list entry holds,
//     so that every array copy or preview of an end draws them at its place.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/list_walk.h"
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
    // Visit states of the flattening, kept in listState (see toList).
    enum TVisit : std::uint8_t {
        VisitIdle = 0,     // not reached by the current walk
        VisitWaiting = 1,  // reached, visit recorded, waiting for the partner
        VisitPairing = 2,  // both ends reached, being listed
        VisitListed = 3,   // listed by the current walk
    };

    // The elements shared by every end: the line drawn between two ends (a
    // unit segment along x) and the block drawn at each end. Null until
    // made; each holds one reference. makeShared makes whichever is null and
    // makes no GL call; drawing calls it before using them. freeShared drops
    // both, with the GL context of their buffers current; the next drawing
    // makes them again.
    static Element* Segment;
    static Element* Handle;
    static void makeShared();
    static void freeShared();

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
    // Records the visit; when the partner is waiting in the same walk, lists
    // this end and then the partner, each turned so that its z axis points
    // at the other, under its recorded parent and item index, with its
    // subtree in the turned frame. An end without partner or outside a walk
    // is listed at once as a plain tool; an end still waiting when its walk
    // ends is listed so under its recorded parent.
    void toList(std::vector<Tool*>& tools, std::vector<mat4>& matrices, std::vector<int>& parents,
                std::vector<int>& subIndices, mat4 m, int parentIndex, int subIndex) override;
    mat4 transformRender(const mat4& m) override;
    // The element (stretched, at the tool's clock without speed or delay),
    // then while ShowHandles two handle blocks: one along the turned z axis,
    // one in the end's unturned frame.
    void render(unsigned int objectId, const mat4& m, unsigned int itemId) override;
    void renderFeatures(const mat4& m, const bvec4& colour) override;
    // The element's auxiliary drawing, then while ShowHandles the line from
    // this end to its partner.
    void renderAuxiliary(const mat4& m, const bvec4& colour) override;
    bool hasAuxiliary() override;
    void Data(buffer& b, bool ringFromNext) override;
    std::uint32_t recordTag() const override { return RecordTag; }
    void DataRead(buffer& b) override;
    void oldDataRead(buffer& b) override;
    void identify(const std::vector<Tool*>& tools, const std::vector<Element*>& elements) override;

    // The stored partner id between reading and identify (-1 for none).
    std::int32_t storedPartner() const { return storedPartner_; }
    // The last listing: whether it listed the end as a plain tool, and the
    // turn R of its frame (identity when plain or unturned).
    bool listedPlain() const { return plain_; }
    const mat4& turn() const { return turn_; }
    // listState as the walk under way sees it: VisitIdle when the state was
    // left by another walk or no walk is under way.
    std::uint8_t visitState() const;

    // ---- What the generic tree code asks of an end ----
    Tool* partnerTool() const override { return partner; }
    void dropPartner() override { partner = nullptr; }
    mat4 listParentMatrix(const mat4&) const override { return parentMatrix; }

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
    // Lists this end turned toward its partner, then its children in the
    // turned frame.
    void listTurned(const ListWalk::Lists& lists);
    // Lists this end as a plain tool in the frame m, then its children; an
    // end that was its own parent is its own parent at its new index.
    void listPlain(const ListWalk::Lists& lists, const mat4& m, int parent, int sub, bool ownParent);
    // The end of a walk for an end still waiting in it.
    static void releaseWaiting(Tool* tool, const ListWalk::Lists& lists);
    // The turn R, the list entry and the turned frame F toward the partner;
    // false (nothing changed) when a frame has no finite inverse.
    bool measure(mat4& R, mat4& entry, mat4& F);

    std::int32_t storedPartner_ = -1;
    std::uint32_t walk_ = 0;  // the walk whose visit listState holds
    bool ownParent_ = false;  // the recorded parent index was the end's own entry
    bool plain_ = false;      // listed as a plain tool by the last listing
    mat4 turn_;               // R of the last listing
};

}  // namespace qel
