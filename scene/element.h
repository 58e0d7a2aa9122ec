#pragma once
// qel::Element, the abstract base of every piece of geometry that
// a scene object shows, with its common fields, its virtual operations in
// slot order (as C++ virtuals), the sharing rules and the update stamps.
//
// Sharing rules that every holder follows:
//   1. take:   e = e->copy(1);
//   2. drop:   e->release(1); if (e->refCount <= 0) delete e;   (Element::drop)
//   3. change: e = e->unshare();  (then, when it returned a new element, the
//              holder takes the new one and drops the old one)
//
// The base makes no GL calls; the rendering slots have empty/false defaults.

#include <cstdint>
#include <string>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "gl/pbr.h"
#include "scene/sculptor.h"
#include "scene/symmetry.h"

namespace qel {

class buffer;
class Mesh;

class Element {
public:
    // Element type codes. Scoped, so that the names do not hide the element
    // classes (qel::Mesh, qel::Curve, ...) inside the scope of subclasses.
    enum class TType : std::uint32_t {
        Mesh = 0,
        Clay = 1,
        Curve = 2,  // also the Bezier curve
        UCurve = 3,
        Revoluton = 4,
        Tube = 5,
        Lightning = 6,
        Sprite = 7,
        AnimatedSprite = 9,  // no element has type 8
    };

    // Argument of initialize(); 0 after loading (keep centre and size); each
    // element type gives the values their meaning (for a mesh: 1 mean and
    // twice the largest distance, 2 bounding-box middle and diagonal).
    enum TResizeStyle : int { ResizeKeep = 0, ResizeMean = 1, ResizeBox = 2 };

    // Argument of render(): 1 when the drawing tool's colour-is-light flag is
    // set (the colour is drawn as emitted light), else 0.
    enum TColorLight : int { ColorAsColor = 0, ColorAsLight = 1 };

    // The stamp that touch() copies and update() compares; initial value 1.
    // The view increments it once per rendered frame.
    static std::uint32_t GlobalUpdate;
    // Initial value 1; kept beside GlobalUpdate and read nowhere.
    static int Animate;

    // ---- Common fields, in the order ----
    std::uint32_t updateStamp = 0;  // GlobalUpdate when last touched; 0 after init
    std::int32_t id = -1;           // -1, or the position in the file while writing/reading
    std::int32_t refCount = 0;      // number of holders
    std::uint8_t status = 0;        // 0 sound; 1 building the mesh's connectivity failed
    TType type = TType::Mesh;       // element type code (u32)
    std::uint8_t transparent = 0;   // non-zero: drawn in the transparent pass
    vec3 centre{0, 0, 0};           // centre of the normalised frame
private:
    float size_ = 1.0f;  // scale of the normalised frame; never 0 (see setSize)
public:
    // The size of the normalised frame (never 0).
    float size() const { return size_; }
    // Stores s as the size; an exact 0 (of either sign) is stored as 1.0 so
    // that toWorld/toLocal/localMatrix never divide by 0.
    void setSize(float s) { size_ = (s == 0.0f) ? 1.0f : s; }
    bool isType(TType t) const { return type == t; }

    // ---- Slots 0, 1 ----
    virtual ~Element();

    // ---- Slot 2..: virtual operations with their default behaviour ----
    // 2: centre (0,0,0), size 1.0, status 0, update stamp 0.
    virtual void init();
    // 3: nothing.
    virtual void initialize(TResizeStyle style);
    // 4: reference count += n, copy(n) on every sub-element; returns this.
    virtual Element* copy(int n);
    // 5: reference count -= n; release(n) on every sub-element and delete each
    // sub-element whose count is then <= 0. Never deletes this element.
    virtual void release(int n);
    // 6: copy(1) (a shared copy); mutable elements override with a deep copy
    // whose reference count is 0.
    virtual Element* clone();
    // 7: this when the reference count is below 2, else clone(); a clone
    // that is this element leaves the reference count as it was.
    virtual Element* unshare();
    // 8: unshare() (the whole element is the part).
    virtual Element* Part(const vec3& p, int& face, Sculptor::TSelect select);
    // 9: Part(p, face, Component).
    virtual Element* PartComponent(const vec3& p, int& face);
    // 10: null.
    virtual Element* DetachComponent(int face);
    // 11: Part(p, face, Patch).
    virtual Element* PartPatch(const vec3& p, int& face);
    // 12: null (no mesh form).
    virtual Mesh* ToMesh();
    // 13: false.
    virtual bool subdivide(bool smooth);
    // 14: appends nothing; composite elements append the elements they are
    // built from.
    virtual void subElements(std::vector<Element*>& list);
    // 15: appends this element, then (composite elements) their
    // sub-elements' allElements.
    virtual void allElements(std::vector<Element*>& list);
    // 16: id = -1 on every element of allElements.
    virtual void clearIds();
    // 17: reference count += 1 (the reference of the tool that names it in a
    // file); composite elements also turn stored ids into pointers.
    virtual void resolve(const std::vector<Element*>& elements);
    // 18: update stamp = GlobalUpdate.
    virtual void touch();
    // 19: animate(false, time) on every entry of allElements after the
    // first; true when any of them returned true. An element whose look
    // changes with the drawing time answers true itself: the frame is then
    // drawn again while the animation runs.
    virtual bool animate(bool first, double time);
    // 20: the newest stamp of this element and its sub-elements; touches
    // this element when a sub-element changed after it.
    virtual std::uint32_t update();
    // 21-24: per subclass; defaults do nothing (build/enable return false).
    virtual bool buildVBO();
    virtual void deleteVBO();
    virtual bool enableVBO();
    virtual void disableVBO();
    // 25, 26: per subclass; defaults: false / nothing.
    virtual bool renderBegin();
    virtual void renderEnd();
    // 27: per subclass; default draws nothing. objectId goes to the
    // identifier target for every fragment; itemId is the per-fragment item
    // id (0xffffffff: each face's own index); end = unbind the element's
    // buffers after drawing.
    virtual void render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight colorLight,
                        float time, bool end);
    // 28: false.
    virtual bool hasFeatures() const;
    // 29: nothing.
    virtual void renderFeatures(const mat4& m, const bvec4& colour, bool end);
    // 30: false.
    virtual bool hasAuxiliary() const;
    // 31: nothing.
    virtual void renderAuxiliary(const mat4& m, const bvec4& colour, bool end);
    // 32: appends point and symmetry::Frame(axis, flags) to points/frames,
    // refills list with symmetry::List(flags, count), then
    // symmetry::Transforms(points, frames, scales, identity, list). itemId
    // and section are not used by the default.
    virtual void symmetries(std::vector<symmetry::TSymmetry>& list, const vec3& point, const vec3& axis, bool mirrorX,
                            bool mirrorY, bool mirrorZ, bool radialX, bool radialY, bool radialZ, int count,
                            std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>& scales,
                            int itemId, bool section);
    // 33: nothing.
    virtual void sculpt(std::vector<Sculptor*>& sculptors);
    // Forgets what a sculpt stroke keeps in the element between its steps,
    // for a stroke that never saw its ending: the view calls it before a new
    // stroke's first sample is used (its symmetries included) and when it
    // cuts a stroke short. Nothing by default.
    virtual void clearStroke();
    // 34: p * size + centre.
    virtual vec3 toWorld(const vec3& p) const { return p * size_ + centre; }
    // 35: d * size.
    virtual float toWorld(float d) const;
    // 36: (p - centre) / size.
    virtual vec3 toLocal(const vec3& p) const { return (p - centre) / size_; }
    // 37: d / size.
    virtual float toLocal(float d) const;
    // 38: the matrix of toLocal: scale 1/size after translation by -centre.
    virtual mat4 localMatrix() const;
    // 39: per subclass: appends one element record; default
    // appends nothing.
    virtual void DataWrite(buffer& b);
    // 40: per subclass; default reads nothing.
    virtual void DataRead(buffer& b);
    // 41: true.
    virtual bool load(const std::string& path);
    // 42: true.
    virtual bool save(const std::string& path);

    // ---- Helpers (not slots) ----
    // Sharing rule 2: release(n); deletes e when its count is then <= 0.
    // Returns true when e was deleted. Null is accepted (false).
    static bool drop(Element* e, int n = 1);

protected:
    // Construction: id -1, reference count 0, status 0, transparent 0,
    // update stamp 0, centre (0,0,0), size 1.0, and the type code.
    explicit Element(TType t);
    // Copy for clone(): the common fields of o, but id -1 and reference
    // count 0.
    Element(const Element& o);
    // Copies the common fields of o except id and reference count.
    Element& operator=(const Element& o);
};

}  // namespace qel
