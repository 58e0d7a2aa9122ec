#pragma once
// qel::Tube, the swept solid (element type 5): a profile curve laid at every
// vertex of a path curve. The tube owns no geometry: it holds the two curves
// as shared sub-elements (copy and release reach them through subElements;
// the destructor never deletes them) and its centre and size are the
// path's.
//
// Record 0xE1000005: payload of 8 bytes, the element ids of the path and of
// the profile (signed 32-bit, -1 for a missing curve). The ids wait in
// fields of their own until resolve maps them through the element table; an
// id outside the table or naming an element that is not a curve leaves that
// curve missing. Old record 0xE0000005 (read only): the two curves as
// embedded curve records, path first.
//
// A missing curve is tolerated everywhere: the tube then draws, converts and
// sculpts nothing of it, and nothing dereferences it.

#include <cstdint>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "elements/swept.h"
#include "scene/element.h"

namespace qel {

class Curve;
class Mesh;
class buffer;

class Tube : public Element {
public:
    static constexpr std::uint32_t RecordTag = 0xE1000005u;
    static constexpr std::uint32_t OldRecordTag = 0xE0000005u;

    // ---- Fields after the element head, in this order ----
    SweptBuffers vbo;      // surface buffers and refill flags
    vec3 anchor{0, 0, 0};  // working state of sculpting and symmetries
    std::vector<vec3> anchors;
    mat3 anchorFrame = mat3::Identity();
    mat3 anchorFrameInverse = mat3::Identity();
    Curve* path = nullptr;     // the curve the profile is swept along
    Curve* profile = nullptr;  // the cross-section laid at each path vertex
    Curve* working = nullptr;  // the curve a sculpt stroke works on, while it runs

    // An empty tube.
    Tube();
    // Stores both curves (their counts are not touched: the first copy or
    // resolve raises them), initializes them and takes the path's centre
    // and size.
    Tube(Curve* path, Curve* profile);
    // Reads a record payload; old for the tag 0xE0000005. A damaged payload
    // sets the buffer's failure flag and status 1 and leaves no curve.
    Tube(buffer& b, bool old);
    Tube(const Tube&) = delete;
    Tube& operator=(const Tube&) = delete;
    // Releases the buffers; never deletes the curves.
    ~Tube() override;

    void init() override;
    void initialize(TResizeStyle style) override;
    // Deep copies of both curves; the copy keeps this tube's centre and size.
    Tube* clone() override;
    void subElements(std::vector<Element*>& list) override;
    void allElements(std::vector<Element*>& list) override;
    // Count + 1; on the first call after reading a current record the stored
    // ids become curves; then each curve's resolve.
    void resolve(const std::vector<Element*>& table) override;
    // Raises the rebuild flag and stamps the tube (not the curves).
    void touch() override;
    void deleteVBO() override;
    // ---- Vertex buffers and drawing (elements/swept_buffers.h) ----
    // The surface and feature-line buffers built from the path (carrier)
    // and the profile (cross-section); false for a missing curve or one
    // without edges.
    bool buildVBO() override;
    bool enableVBO() override;
    void disableVBO() override;
    // The mesh program, then enableVBO.
    bool renderBegin() override;
    void renderEnd() override;
    // Any refill flag is raised.
    bool vbo_modified() const { return vbo.modified(); }
    // update(), then the surface through m * localMatrix(); item id
    // 0xffffffff gives each quad's own id, (carrier edge << 16) + section
    // edge. The colour-is-light flag and the time are not used.
    void render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight colorLight,
                float time, bool end) override;
    // A feature line exists (after a build that found sharp joints or
    // open borders).
    bool hasFeatures() const override;
    // The feature lines with the program the caller made current.
    void renderFeatures(const mat4& m, const bvec4& colour, bool end) override;
    // A sculpt stroke's working curve is set.
    bool hasAuxiliary() const override;
    // The working curve's feature lines (always ending its drawing).
    void renderAuxiliary(const mat4& m, const bvec4& colour, bool end) override;
    // ---- Sculpting (elements/swept_symmetry.h, elements/swept_sculpt.h) ----
    // The copies of a picked point, made by the curve the Axis/Section
    // choice names; fixes the anchor while no stroke runs.
    void symmetries(std::vector<symmetry::TSymmetry>& list, const vec3& point, const vec3& axis, bool mirrorX,
                    bool mirrorY, bool mirrorZ, bool radialX, bool radialY, bool radialZ, int count,
                    std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>& scales, int itemId,
                    bool section) override;
    // One step of a stroke, handed to the sculpting of one of the curves.
    void sculpt(std::vector<Sculptor*>& gestures) override;
    // A new triangle mesh of the surface (elements/swept_mesh.h), owned by
    // the caller; null for a missing curve or one without edges. Both
    // curves are compacted and the tube is touched on the way.
    Mesh* ToMesh() override;
    // The current record; a missing curve is written as id -1.
    void DataWrite(buffer& b) override;
    // Reads the two ids of a current payload, to be mapped by resolve.
    void DataRead(buffer& b) override;

    // The path's size computation, then its centre and size.
    void calculateSize(TResizeStyle style);
    // Puts a curve in place of the path or the profile under the sharing
    // rule of replaceSharedCurve, and touches the tube.
    void setPath(Curve* c);
    void setProfile(Curve* c);

private:
    void takePathExtent();
    bool readOld(buffer& b);

    std::int32_t pathId_ = -1;  // ids of a current record, until resolve
    std::int32_t profileId_ = -1;
    bool idsPending_ = false;
};

}  // namespace qel
