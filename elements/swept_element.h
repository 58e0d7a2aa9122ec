#pragma once
// qel::SweptElement, what qel::Tube and qel::Revoluton share: a surface
// swept from two curves, the carrier (the tube's path, the revoluton's
// profile) and the cross-section (the tube's profile, the revoluton's
// section). It owns no geometry: both curves are shared sub-elements (copy
// and release reach them through subElements; the destructor never deletes
// them). Their record (current layout) is 8 bytes, the two curves' element
// ids (-1 for a missing curve); the ids wait in fields of their own until
// resolve maps them through the element table, an id outside the table or
// naming an element that is not a curve leaving that curve missing.
//
// A missing curve is tolerated everywhere: the element then draws, converts
// and sculpts nothing of it, and nothing dereferences it.

#include <cstdint>
#include <string>
#include <vector>

#include "elements/swept.h"
#include "scene/element.h"

namespace qel {

class Curve;
class Mesh;
class buffer;

class SweptElement : public Element {
public:
    SweptBuffers vbo;          // surface buffers and refill flags
    Curve* working = nullptr;  // the curve a sculpt stroke works on, while it runs

    SweptElement(const SweptElement&) = delete;
    SweptElement& operator=(const SweptElement&) = delete;
    // Releases the buffers and a stroke's working curve; never deletes the
    // two curves.
    ~SweptElement() override;

    void init() override;
    void initialize(TResizeStyle style) override;
    void subElements(std::vector<Element*>& list) override;
    void allElements(std::vector<Element*>& list) override;
    // Count + 1; on the first call after reading a current record the stored
    // ids become curves; then each curve's resolve.
    void resolve(const std::vector<Element*>& table) override;
    // Raises the rebuild flag and stamps the element (not the curves).
    void touch() override;
    void deleteVBO() override;
    // ---- Vertex buffers and drawing (elements/swept_buffers.h) ----
    // False for a missing curve or one without edges.
    bool buildVBO() override;
    bool enableVBO() override;
    void disableVBO() override;
    // The mesh program, then enableVBO.
    bool renderBegin() override;
    void renderEnd() override;
    // Any refill flag is raised.
    bool vbo_modified() const { return vbo.modified(); }
    // update(), then the surface through m * localMatrix(); item id
    // 0xffffffff gives each quad's own id, (carrier edge << 16) +
    // cross-section edge. A surface left out (vbo.leftOut) draws its
    // carrier's edges as lines in its place, with the ids given, so that it
    // stays seen and picked. The colour-is-light flag and the time are not
    // used.
    void render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight colorLight,
                float time, bool end) override;
    // A feature line exists (after a build that found sharp joints or
    // open borders).
    bool hasFeatures() const override;
    // The feature lines with the program the caller made current.
    void renderFeatures(const mat4& m, const bvec4& colour, bool end) override;
    // A stroke's working curve goes, so that the next stroke fixes its
    // anchor afresh; the curves forget their own strokes.
    void clearStroke() override;
    // A sculpt stroke's working curve is set.
    bool hasAuxiliary() const override;
    // The working curve's feature lines (always ending its drawing).
    void renderAuxiliary(const mat4& m, const bvec4& colour, bool end) override;
    // A new triangle mesh of the surface (elements/swept_mesh.h), owned by
    // the caller; null for a missing curve or one without edges. Both
    // curves are compacted and the element is touched on the way. Null,
    // with nothing changed, for a surface past vbo.mostVertices: its mesh
    // would pass what one surface may be built with.
    Mesh* ToMesh() override;
    // Reads the two ids of a current payload, to be mapped by resolve.
    void DataRead(buffer& b) override;

    // The carrier's size computation, then the element's centre and size
    // (see takeExtent).
    void calculateSize(TResizeStyle style);
    // Pays the armed load budget (scene/load_budget.h) for the surface the
    // first frame builds, `copies` times (cables sharing a tube each build
    // one of their own). A surface the budget cannot pay for, or over
    // SweptMaxVertices, is left out: vbo.mostVertices falls to what the
    // budget still holds, and the budget notes it.
    void payForSurface(std::uint64_t copies);

    // The vertices of the surface the curves give now, as its buffer holds
    // them: 6 per quad of drawn edges, the corners the surface draws (capped
    // at what 64 bits hold); 0 without both curves. vbo.mostVertices limits
    // this count.
    std::uint64_t surfaceVertices() const;
    // The vertices as the object's box counts them: the carrier's vertex
    // records times the cross-section's; 0 without both curves.
    std::uint64_t boxVertices() const;
    // "N surface corners (M vertices as its box counts them)": the corners
    // the surface draws, the count vbo.mostVertices limits, with the box's
    // own figure beside it.
    static std::string cornersText(std::uint64_t corners, std::uint64_t boxVertices);
    // Why a surface of more corners than vbo.mostVertices is not built, as a
    // clause to follow cornersText and a comma: the most one surface may
    // draw, or, where a load's budget lowered it, that the load left the
    // surface out.
    std::string overLimitReason() const;
    // What subdivideCurve did.
    enum class CurveSubdivision { Done, NoCurve, OverLimit };
    // Subdivides the carrier, or with crossSection the cross-section curve
    // (every drawn edge splits in two; a resampled curve samples its base
    // again), and touches the element. `vertices` receives the surface
    // vertices (drawn corners) after it, or that it would have, counted on a
    // split copy, and `boxVertices` the same as the box counts them.
    // Refused (OverLimit), with nothing changed, when the corners pass
    // vbo.mostVertices, the most the surface may be built with: it would be
    // left out of the drawing. NoCurve: that curve is missing.
    CurveSubdivision subdivideCurve(bool crossSection, std::uint64_t& vertices, std::uint64_t& boxVertices);

protected:
    SweptElement(TType type, SweptKind kind);
    // Stores both curves (their counts are not touched: the first copy or
    // resolve raises them), initializes them and takes the carrier's
    // extent.
    SweptElement(TType type, SweptKind kind, Curve* carrier, Curve* crossSection);
    // The current record under `tag`.
    void writeRecord(buffer& b, std::uint32_t tag) const;
    // Puts a curve in place of one of the two under the sharing rule of
    // replaceSharedCurve and touches the element; a stroke under way loses
    // its working curve with the curve it edits.
    void replaceCurve(Curve*& slot, Curve* c);

    Curve* carrier_ = nullptr;
    Curve* crossSection_ = nullptr;

private:
    // The tube's centre and size are its path's; the revoluton's centre lies
    // on the axis, (0, profile centre y, 0), its size the profile's.
    void takeExtent();
    // A tube's stroke on its path works on the path itself, which is
    // borrowed, not owned.
    const Curve* borrowedWorking() const;

    const TType ownType_;
    const SweptKind kind_;
    std::int32_t carrierId_ = -1;  // ids of a current record, until resolve
    std::int32_t crossSectionId_ = -1;
    bool idsPending_ = false;
};

}  // namespace qel
