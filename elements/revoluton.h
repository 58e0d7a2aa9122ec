#pragma once
// qel::Revoluton, the solid of revolution (element type 4): a profile curve
// turned about the local Y axis along the outline of a section curve. Like
// qel::Tube it owns no geometry and holds both curves as shared
// sub-elements. Its centre always lies on the axis: (0, profile centre y,
// 0); its size is the profile's.
//
// Record 0xE0000009: payload of 8 bytes, the element ids of the profile and
// of the section (-1 for a missing curve), mapped by resolve as the tube's.
// Old record 0xE0000004 (read only): u32 n, the section being a closed
// circle of n vertices (n in 2 .. 65,536), then the profile as an embedded
// curve record.

#include <cstdint>
#include <vector>

#include "core/vec.h"
#include "elements/swept.h"
#include "scene/element.h"

namespace qel {

class Curve;
class Mesh;
class buffer;

class Revoluton : public Element {
public:
    static constexpr std::uint32_t RecordTag = 0xE0000009u;
    static constexpr std::uint32_t OldRecordTag = 0xE0000004u;
    // Vertex counts of the circular section an old record may ask for.
    static constexpr std::uint32_t MinOldSection = 2;
    static constexpr std::uint32_t MaxOldSection = 65536;

    // ---- Fields after the element head, in this order ----
    SweptBuffers vbo;             // surface buffers and refill flags
    vec3 sectionAnchor{0, 0, 0};  // working state of sculpting and symmetries
    vec3 profileAnchor{0, 0, 0};
    Curve* profile = nullptr;  // the meridian, turned about the Y axis
    Curve* section = nullptr;  // the outline each profile point follows
    Curve* working = nullptr;  // the curve a sculpt stroke works on, while it runs

    Revoluton();
    // Stores both curves (counts untouched), initializes them and applies
    // the centre and size rule.
    Revoluton(Curve* profile, Curve* section);
    // Reads a record payload; old for the tag 0xE0000004. A damaged payload
    // sets status 1 (or the buffer's failure flag) and leaves no curve.
    Revoluton(buffer& b, bool old);
    Revoluton(const Revoluton&) = delete;
    Revoluton& operator=(const Revoluton&) = delete;
    ~Revoluton() override;

    void init() override;
    void initialize(TResizeStyle style) override;
    Revoluton* clone() override;
    void subElements(std::vector<Element*>& list) override;
    void allElements(std::vector<Element*>& list) override;
    void resolve(const std::vector<Element*>& table) override;
    void touch() override;
    void deleteVBO() override;
    // ---- Vertex buffers and drawing (elements/swept_buffers.h) ----
    // The surface and feature-line buffers built from the profile (carrier)
    // and the section (cross-section); false for a missing curve or one
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
    // curves are compacted and the revoluton is touched on the way.
    Mesh* ToMesh() override;
    void DataWrite(buffer& b) override;
    void DataRead(buffer& b) override;

    // The profile's size computation, then the centre and size rule.
    void calculateSize(TResizeStyle style);
    // Replace a curve under the sharing rule and touch the revoluton.
    void setProfile(Curve* c);
    void setSection(Curve* c);

private:
    void takeProfileExtent();
    bool readOld(buffer& b);

    std::int32_t profileId_ = -1;
    std::int32_t sectionId_ = -1;
    bool idsPending_ = false;
};

}  // namespace qel
