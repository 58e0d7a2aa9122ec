// The revoluton element: construction, references to its curves and the
// record, and the drawing (through its swept buffers).

#include "elements/revoluton.h"

#include "curves/curve.h"
#include "elements/swept_mesh.h"
#include "elements/swept_sculpt.h"
#include "elements/swept_symmetry.h"
#include "mesh/mesh.h"
#include "scene/buffer.h"

namespace qel {

Revoluton::Revoluton() : Element(TType::Revoluton) {}

Revoluton::Revoluton(Curve* profile_, Curve* section_)
    : Element(TType::Revoluton), profile(profile_), section(section_) {
    if (profile) profile->initialize(ResizeKeep);
    if (section) section->initialize(ResizeKeep);
    calculateSize(ResizeKeep);
    vbo.rebuild = 1;
}

Revoluton::Revoluton(buffer& b, bool old) : Element(TType::Revoluton) {
    if (!old) {
        DataRead(b);
        return;
    }
    id = 0;  // nothing to map
    if (!readOld(b)) status = 1;
}

bool Revoluton::readOld(buffer& b) {
    const std::uint32_t n = b.readU32();
    if (b.failed() || n < MinOldSection || n > MaxOldSection) return false;
    profile = readEmbeddedCurve(b);
    if (!profile) return false;
    section = Curve::Circle(int(n), false);
    return true;
}

Revoluton::~Revoluton() {
    dropWorkingCurve(working, nullptr);
    vbo.release();
}

void Revoluton::init() {
    Element::init();
    dropWorkingCurve(working, nullptr);
    if (profile) profile->init();
    if (section) section->init();
    type = TType::Revoluton;
    // The buffer is released, not only forgotten.
    vbo.release();
    vbo.rebuild = 1;
}

void Revoluton::initialize(TResizeStyle style) {
    if (profile) profile->initialize(style);
    if (section) section->initialize(ResizeKeep);
    calculateSize(style);
    vbo.rebuild = 1;
}

void Revoluton::calculateSize(TResizeStyle style) {
    if (!profile) return;
    profile->calculateSize(style);
    takeProfileExtent();
}

void Revoluton::takeProfileExtent() {
    centre = vec3(0, profile->centre.y, 0);
    setSize(profile->size());
}

Revoluton* Revoluton::clone() {
    Revoluton* r = new Revoluton(profile ? profile->clone() : nullptr, section ? section->clone() : nullptr);
    r->centre = centre;
    r->setSize(size());
    return r;
}

void Revoluton::subElements(std::vector<Element*>& list) {
    if (profile) list.push_back(profile);
    if (section) list.push_back(section);
}

void Revoluton::allElements(std::vector<Element*>& list) {
    list.push_back(this);
    if (profile) profile->allElements(list);
    if (section) section->allElements(list);
}

void Revoluton::resolve(const std::vector<Element*>& table) {
    refCount += 1;
    if (idsPending_) {
        idsPending_ = false;
        id = 0;
        profile = curveOfId(table, profileId_);
        section = curveOfId(table, sectionId_);
    }
    if (profile) profile->resolve(table);
    if (section) section->resolve(table);
}

void Revoluton::touch() {
    vbo.rebuild = 1;
    updateStamp = GlobalUpdate;
}

void Revoluton::deleteVBO() { vbo.release(); }

bool Revoluton::buildVBO() { return vbo.build(SweptKind::Revoluton, profile, section); }

bool Revoluton::enableVBO() { return vbo.enable(SweptKind::Revoluton, profile, section); }

void Revoluton::disableVBO() { vbo.disable(); }

bool Revoluton::renderBegin() { return vbo.renderBegin(SweptKind::Revoluton, profile, section); }

void Revoluton::renderEnd() { vbo.renderEnd(); }

void Revoluton::render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight, float,
                       bool end) {
    update();
    vbo.render(SweptKind::Revoluton, profile, section, objectId, itemId, m * localMatrix(), material, end);
}

bool Revoluton::hasFeatures() const { return vbo.hasFeatures(); }

void Revoluton::renderFeatures(const mat4& m, const bvec4& colour, bool end) {
    vbo.renderFeatures(m * localMatrix(), colour, end);
}

bool Revoluton::hasAuxiliary() const { return working != nullptr; }

void Revoluton::renderAuxiliary(const mat4& m, const bvec4& colour, bool) {
    if (working) working->renderFeatures(m, colour, true);
}

void Revoluton::symmetries(std::vector<symmetry::TSymmetry>& list, const vec3& point, const vec3& axis, bool mirrorX,
                           bool mirrorY, bool mirrorZ, bool radialX, bool radialY, bool radialZ, int count,
                           std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>& scales, int itemId,
                           bool section) {
    revolutonSymmetries(*this, {list,
                                point,
                                axis,
                                {mirrorX, mirrorY, mirrorZ, radialX, radialY, radialZ},
                                count,
                                points,
                                frames,
                                scales,
                                itemId,
                                section});
}

void Revoluton::sculpt(std::vector<Sculptor*>& gestures) { sculptRevoluton(*this, gestures); }

Mesh* Revoluton::ToMesh() { return sweptToMesh(*this, SweptKind::Revoluton, profile, section); }

void Revoluton::DataWrite(buffer& b) {
    b.writeU32(RecordTag);
    b.writeU32(8);
    b.writeI32(curveId(profile));
    b.writeI32(curveId(section));
}

void Revoluton::DataRead(buffer& b) {
    replaceSharedCurve(this, profile, nullptr);
    replaceSharedCurve(this, section, nullptr);
    profileId_ = b.readI32();
    sectionId_ = b.readI32();
    idsPending_ = true;
    id = -1;
}

void Revoluton::setProfile(Curve* c) {
    // A stroke under way loses its working curve with the curve it edits.
    dropWorkingCurve(working, nullptr);
    replaceSharedCurve(this, profile, c);
    touch();
}

void Revoluton::setSection(Curve* c) {
    // A stroke under way loses its working curve with the curve it edits.
    dropWorkingCurve(working, nullptr);
    replaceSharedCurve(this, section, c);
    touch();
}

}  // namespace qel
