#pragma once
// qel::Tool, the scene object. A Tool places one shared geometry element
// with a transform inside a pivot frame and a material, owns its children,
// belongs to a ring of instances and carries the flags that drive
// selection, transparency, emission and orientation mode.
//
// Sources:
//   scene/tool.cpp            construction, destruction, element, marks
//   scene/tool_hierarchy.cpp  child list, lists, instance ring, selection
//   scene/tool_clone.cpp      cloning and ramifications
//   scene/tool_transform.cpp  transforms, constraints, transformRender
//   scene/tool_ik.cpp         InverseKinematics
//   scene/tool_partners.cpp   the partners' share of the bulk deletions
//   scene/tool_record.cpp     the tool record and identify
//   scene/tool_draw.cpp       drawing, materials and animation
//
// The virtual operations keep a fixed order (slots 10 and 11 are the
// destructors), so that the composite tools override them without changing
// this class.
//
// Safety rules kept throughout:
//   - constrainedRotateObject without a rotation axis transforms the
//     translation axis as a direction (3x3 part only): a zero axis stays zero.
//   - A zero divisor (the mover's rotationMultiplicity, the mover's uniform
//     scale s0) moves or turns only this tool; no inf/NaN transform is ever
//     given to a ring member.
//   - addChild(child, true) on a tool that is not selected returns null
//     before making any copy: nothing is placed and the caller still owns
//     `child`.
//   - transformPivot with a singular matrix changes nothing;
//     InverseKinematics skips a joint whose frame is singular and applies
//     only finite turns with a positive determinant (a target straight
//     behind a joint gives a half turn, never a mirror).
//   - Flags read from any record layout are masked with 0xED: the transient
//     bits (selected, temporary mark) never come from a file.
//   - identify drops ids that are out of range, children adopted twice and
//     adoptions that would close a cycle; rings are rebuilt so that they are
//     always proper rings, whatever the file says (see tool_record.cpp).

#include <cstdint>
#include <string>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "gl/pbr.h"

namespace qel {

class buffer;
class Element;
class Sculptor;

class Tool {
public:
    // Kind of tool; set by each constructor and never changed. The names carry
    // a prefix so that they do not hide qel::Array, qel::BiTool, qel::Root.
    enum TKind : std::uint32_t { KindTool = 0, KindArray = 1, KindBiTool = 2, KindRoot = 3 };

    // Which entries a render pass draws.
    enum TRenderType : int { RenderOpaque = 0, RenderTransparent = 1, RenderAll = 2 };

    // Flag bits of `flags`.
    enum TFlag : std::uint8_t {
        FlagCreated = 1,        // set on every tool the system creates; kept in records
        FlagSelected = 2,       // selected (never stored)
        FlagTransparent = 4,    // always transparent
        FlagObject = 8,         // a placed scene object; only objects can be selected
        FlagTemp = 16,          // temporary mark (never stored)
        FlagColorIsLight = 32,  // colour drawn as emission
        FlagOrientation = 192,  // orientation mode mask
    };
    // Orientation modes (flags AND 192).
    enum TOrientation : std::uint8_t {
        OrientPlain = 0,
        OrientModel = 64,    // relative to the model matrix
        OrientViewer = 128,  // relative to the viewer (192 behaves the same)
    };
    // Mask applied to the flags on writing and on reading (bits 1 and 4 out).
    static constexpr std::uint8_t StoredFlagsMask = 0xED;
    // Record tag of the plain tool.
    static constexpr std::uint32_t RecordTag = 0xABCDEF02u;
    // Size of the record body without the child ids.
    static constexpr std::uint32_t RecordBodyBase = 197;

    // ---- Fields, in the order ----
    TKind kind = KindTool;
    Tool* parent = nullptr;           // not owning
    Tool* clone = nullptr;            // copy made during the cloning pass under way
    Element* element = nullptr;       // counted reference; null for an empty tool
    mat4 transform;                   // own transform inside the pivot frame
    mat4 pivot;                       // pivot frame in the parent's space
    vec3 rotationAxis{0, 0, 0};       // zero: unconstrained
    vec3 translationAxis{0, 0, 0};    // zero: unconstrained
    pbr material;
    std::uint8_t flags = FlagCreated;
    std::int32_t id = -1;
    float rotationMultiplicity = 1.0f;
    Tool* nextInstance = this;        // ring link; a lone tool points to itself
    std::vector<Tool*> children;      // owned, never a null entry
    std::uint8_t listState = 0;       // visit state of the two-ended tools' list building
    std::uint8_t markValue = 0;
    double time = 0.0;
    float speed = 1.0f;
    float delay = 0.0f;

    // Class-wide values.
    static double GlobalTime;
    static std::uint8_t ShowHandles;
    static std::uint8_t Error;

    // ---- Construction ----
    // Kind 0; element = e->copy(1) (null for null); transform = m; pivot
    // identity; material = p; flags 5 when transparent, else 1.
    Tool(Element* e, const mat4& m, const pbr& p, bool transparent);
    // Kind 0 with the reading defaults, then the virtual DataRead (here
    // always Tool::DataRead). The element, ring and child fields stay empty
    // (no element, a ring of one, no children) and the stored ids wait in
    // `stored` until identify.
    explicit Tool(buffer& b);
    Tool(const Tool&) = delete;
    Tool& operator=(const Tool&) = delete;

    // ---- Virtual operations in slot order ----
    // 0-2: entry points of the cloning.
    virtual Tool* cloneTool(bool keepPivot);
    virtual Tool* cloneObject(const mat4& m, bool join, bool ramifications);
    virtual Tool* cloneObjectRamifications(const mat4& m, bool join);
    // 3: mark() != 0.
    virtual bool isMarked();
    // 4-6: cloning workers.
    virtual Tool* CloneTool(bool keepPivot, bool mark);
    virtual Tool* CloneObject(const mat4& m, bool join, unsigned char markMode);
    virtual Tool* CloneObjectRamifications(const mat4& m, bool join, unsigned char mark);
    // 7: gathers the tools depending on this one.
    virtual void findRamifications(std::vector<Tool*>& a, std::vector<Tool*>& b, std::vector<Tool*>& c,
                                   std::vector<Tool*>& d, std::vector<Tool*>& e, bool markRamification,
                                   bool markSubtree, bool nested);
    // 8: setMark(k) here and markRamifications(k) on each child.
    virtual void markRamifications(unsigned char k);
    // 9: deletes every child (last first); returns this tool.
    virtual Tool* clearChildren();
    // 10, 11.
    virtual ~Tool();
    // 12: nothing in the base.
    virtual void setPartner(Tool* other);
    // 13: 0 unchanged; else 2 when the old element was absent or deleted, 1
    // when it is still used elsewhere.
    virtual int setElement(Element* e);
    // 14: setElement(element->unshare()) != 0.
    virtual bool makeUniqueElement();
    // 15-17: marks.
    virtual void setMark(unsigned char k);
    virtual unsigned char mark();
    virtual void Mark(unsigned char k);
    // 18-24: child list.
    virtual Tool* setChild(int index, Tool* child);
    virtual Tool* addChild(Tool* child, bool all);
    virtual int findAllInstances(std::vector<Tool*>& list, bool selectedOnly);
    virtual int subChild(Tool* child);
    virtual int findChildIndex(Tool* child);
    virtual Tool* insertChild(int index, Tool* child);
    virtual void removeTools();
    // Deletes the tools with their subtrees, each tool once however often
    // or in whatever nesting they are given: a tool inside the subtree of
    // another one goes with that one, and the partner of a two-ended end
    // deleted here goes with it (with its subtree) unless it holds that end
    // (it is then only unlinked). Each is taken out of its parent's child
    // list; an array's template (which its parent does not list) is left to
    // its array.
    static void deleteObjects(const std::vector<Tool*>& tools);
    // 25, 26: flattening.
    virtual void toList(std::vector<Tool*>& list);
    virtual void toList(std::vector<Tool*>& tools, std::vector<mat4>& matrices, std::vector<int>& parents,
                        std::vector<int>& subIndices, mat4 m, int parentIndex, int subIndex);
    // 27-31: instance ring.
    virtual Tool* previousInstance();
    virtual bool isInstanced();
    virtual bool isInstanceOf(Tool* tool);
    virtual void joinInstances(Tool* tool);
    virtual void removeInstance();
    // 32: pivot x transform (double, rounded once).
    virtual mat4 matrix();
    // 33: the matrix the element is drawn with.
    virtual mat4 transformRender(const mat4& m);
    // 34-38: kind tests.
    virtual bool isEmpty();
    virtual bool isTool();
    virtual bool isArray();
    virtual bool isBiTool();
    virtual bool isRoot();
    // 39-43: drawing.
    virtual void render(unsigned int objectId, const mat4& m, unsigned int itemId);
    virtual void renderFeatures(const mat4& m, const bvec4& colour);
    virtual bool hasFeatures();
    virtual void renderAuxiliary(const mat4& m, const bvec4& colour);
    virtual bool hasAuxiliary();
    // 44-50: assembly actions.
    virtual void assembly(const mat4& a, const mat4& b, const mat4& c, bool all, bool second);
    virtual void constrainedMoveObject(const mat4& m, bool all, bool second);
    virtual mat4 constrainedRotateObject(const mat4& m, bool all, bool second);
    virtual void transformObject(const mat4& m, bool all, bool second);
    virtual void transformPivot(const mat4& m, bool all, bool second);
    virtual void transformObjectPivot(const mat4& m, bool all, bool second);
    virtual void align(const mat4& m, bool all, bool second);
    // 51: sculpting.
    virtual void sculpt(std::vector<Sculptor*>& sculptors);
    // 52-56: record.
    virtual void Data(buffer& b, bool ringFromNext);
    // The record: recordTag(), then the body Data writes.
    void DataWrite(buffer& b, bool ringFromNext);
    // The tag of the tool's record (each kind of tool has its own).
    virtual std::uint32_t recordTag() const { return RecordTag; }
    virtual void DataRead(buffer& b);
    virtual void oldDataRead(buffer& b);
    virtual void identify(const std::vector<Tool*>& tools, const std::vector<Element*>& elements);
    // 57: animation tick; true when the element of this tool or of a tool
    // below it moves with time.
    virtual bool timer();

    // ---- What the generic tree code asks of composite tools ----
    // 58: the other end of a two-ended tool; null for every other tool.
    virtual Tool* partnerTool() const { return nullptr; }
    // 59: forgets the partner on this side only (the partner keeps its link).
    virtual void dropPartner() {}
    // 60: appends the tools this one owns outside its child list (an array's
    // templates), which leave their rings with it when it is deleted.
    virtual void appendOwned(std::vector<Tool*>& out) { (void)out; }
    // 61: the parent matrix of this tool's entry in the flattened list, given
    // the entry's list matrix: the list matrix itself, except for an end
    // whose list matrix is turned towards its partner (it reports the parent
    // matrix it recorded during the flattening).
    virtual mat4 listParentMatrix(const mat4& listed) const { return listed; }

    // ---- Selection ----
    // Without all: this tool, only when it has the object bit. With all:
    // every ring member (from this tool) with the object bit and, when
    // sameParent is set and this tool has a parent, the same parent.
    void select(bool all, bool sameParent);
    void deselect(bool all, bool sameParent);
    void tempSelect(bool all, bool sameParent);
    void tempDeselect(bool all, bool sameParent);
    // The same, appending every tool acted on to the list.
    void select(std::vector<Tool*>& list, bool all, bool sameParent);
    void tempSelect(std::vector<Tool*>& list, bool all, bool sameParent);
    // Clears bit 1 of every listed tool; the list is kept.
    static void deselect(std::vector<Tool*>& list);
    // Clears bit 4 of every listed tool and empties the list.
    static void tempDeselect(std::vector<Tool*>& list);

    // An array's template: a tool whose parent is an array that does not
    // hold it among its children. The array lays copies of it and owns it;
    // no one else may delete it or take it out of its place.
    bool isArrayTemplate() const;

    bool isSelected() const { return (flags & FlagSelected) != 0; }
    bool isObject() const { return (flags & FlagObject) != 0; }
    bool isTempMarked() const { return (flags & FlagTemp) != 0; }
    std::uint8_t orientation() const { return flags & FlagOrientation; }

    // ---- Inverse kinematics ----
    // tools: the joints from the top of the chain down to the dragged tool;
    // matrices[i]: the world matrix in which tools[i]'s matrix() applies
    // (updated down the chain); grab: the dragged point (world), held on the
    // last tool; target: where it is dragged to.
    static void InverseKinematics(std::vector<Tool*>& tools, std::vector<mat4>& matrices, const vec3& grab,
                                  const vec3& target);

    // Uniform scale of a transform: the cube root of |det| of its 3x3 block.
    static double UniformScale(const mat4& t);

    // ---- Saving and the material setters ----
    // Writes the object file (or the merged OBJ for ".obj"); defined with the
    // file formats (files/tool_save.cpp).
    bool save(const std::string& path);
    // The same; when nothing was written, the reason goes to error as a
    // clause ("the folder /x is read-only").
    bool save(const std::string& path, std::string& error);
    // Setters: (value, all, sameParent) with the scope rule of
    // the setters (without all: this tool, object bit or not).
    void changeMaterial(const pbr& p, unsigned char mask, bool all, bool sameParent);
    void changeColorIsLight(bool on, bool all, bool sameParent);
    void changeOrientation(unsigned char mode, bool all, bool sameParent);
    void changeSpeed(float value, bool all, bool sameParent);
    void changeDelay(float value, bool all, bool sameParent);

    // ---- Record ids between DataRead and identify ----
    struct StoredIds {
        std::vector<std::int32_t> children;  // child ids in child order
        std::int32_t ring = -1;              // ring representative id
        std::int32_t element = -1;           // element id, -1 for none
        bool pending = false;                // set by a successful DataRead, cleared by identify
        std::int32_t chainEnd = -1;          // while identify links rings: the position of the last
                                             // member of the chain of links starting here
    };
    const StoredIds& storedIds() const { return stored; }

protected:
    // For subclasses: the constructor above with the kind given.
    Tool(TKind k, Element* e, const mat4& m, const pbr& p, bool transparent);
    // For subclasses that read a record: the reading defaults of Tool(buffer&)
    // with the kind given, without reading; the subclass then calls its own
    // DataRead (which calls Tool::DataRead first).
    struct ReadingTag {};
    Tool(TKind k, ReadingTag);

    // The body reader shared by DataRead and oldDataRead: the layout chosen
    // by FILE_VERSION. Refuses (buffer flag set, tool left with its reading
    // defaults, nothing pending) a body that does not fit in the bytes left.
    bool readBody(buffer& b);

    // Deletes the given tools, which no child list holds any more, with their
    // subtrees, each once and after its descendants. The partners of the
    // two-ended tools among them join the set first, except guard, its
    // ancestors and the ancestors of the given tools, which are only
    // unlinked (guard is the tool whose children are deleted, or null).
    static void deleteTrees(const std::vector<Tool*>& tops, Tool* guard);
    // Before a bulk deletion of `all` (each tool before its descendants, the
    // first `tops` being the roots of the deleted trees): adds the partner of
    // every end in the set that lies outside it, with that partner's subtree
    // (taken out of its parent's list), until no end has a partner outside;
    // a partner that is `guard`, an ancestor of guard or of a top is only
    // unlinked. Every partner link of the set is cleared, so no destructor
    // follows one. Nothing happens when no end in the set has a partner.
    static void takePartners(std::vector<Tool*>& all, std::size_t tops, Tool* guard);
    // Marks (FlagTemp) the partner of every end below `top` that is marked or
    // lies below a marked tool, so that removeTools takes both ends.
    static void markPartnersForRemoval(Tool* top);

    // Applies fn to every ring member, starting at this tool, that has the
    // object bit (the "all" scope of the assembly operations).
    template <class Fn> void forRingObjects(Fn fn) {
        Tool* x = this;
        do {
            if (x->flags & FlagObject) fn(x);
            x = x->nextInstance;
        } while (x != this);
    }

    StoredIds stored;
    // Set when identify has made some tool's ring link point here, so that a
    // second claim on this tool (a file naming it as the successor of two
    // tools) is refused.
    bool ringClaimed = false;

private:
    // The selection scope walk (object bit, same parent).
    template <class Fn> void forSelectionScope(bool all, bool sameParent, Fn fn);
    // A new plain Tool copied from this one says (pivot left
    // identity); object sets the object bit.
    Tool* makeCopy(bool object);
};

}  // namespace qel
