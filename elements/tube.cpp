// The tube element: construction, references to its curves, the record and
// the drawing (through its swept buffers).

#include "elements/tube.h"

#include "curves/curve.h"
#include "elements/swept_mesh.h"
#include "elements/swept_sculpt.h"
#include "elements/swept_symmetry.h"
#include "mesh/mesh.h"
#include "scene/buffer.h"

namespace qel {

Tube::Tube() : Element(TType::Tube) {}

Tube::Tube(Curve* path_, Curve* profile_) : Element(TType::Tube), path(path_), profile(profile_) {
    if (path) path->initialize(ResizeKeep);
    if (profile) profile->initialize(ResizeKeep);
    if (path) {
        path->calculateSize(ResizeKeep);
        takePathExtent();
    }
    vbo.rebuild = 1;
}

Tube::Tube(buffer& b, bool old) : Element(TType::Tube) {
    if (!old) {
        DataRead(b);
        return;
    }
    id = 0;  // nothing to map
    if (!readOld(b)) status = 1;
}

bool Tube::readOld(buffer& b) {
    path = readEmbeddedCurve(b);
    if (!path) return false;
    profile = readEmbeddedCurve(b);
    if (profile) return true;
    // A refused record leaves nothing behind, not even the first curve.
    delete path;
    path = nullptr;
    return false;
}

Tube::~Tube() {
    dropWorkingCurve(working, path);
    vbo.release();
}

void Tube::init() {
    Element::init();
    dropWorkingCurve(working, path);
    if (path) path->init();
    if (profile) profile->init();
    type = TType::Tube;
    // The buffer is released, not only forgotten.
    vbo.release();
    vbo.rebuild = 1;
}

void Tube::initialize(TResizeStyle style) {
    if (path) path->initialize(style);
    if (profile) profile->initialize(ResizeKeep);
    calculateSize(style);
    vbo.rebuild = 1;
}

void Tube::calculateSize(TResizeStyle style) {
    if (!path) return;
    path->calculateSize(style);
    takePathExtent();
}

void Tube::takePathExtent() {
    centre = path->centre;
    setSize(path->size());
}

Tube* Tube::clone() {
    Tube* t = new Tube(path ? path->clone() : nullptr, profile ? profile->clone() : nullptr);
    t->centre = centre;
    t->setSize(size());
    return t;
}

void Tube::subElements(std::vector<Element*>& list) {
    if (path) list.push_back(path);
    if (profile) list.push_back(profile);
}

void Tube::allElements(std::vector<Element*>& list) {
    list.push_back(this);
    if (path) path->allElements(list);
    if (profile) profile->allElements(list);
}

void Tube::resolve(const std::vector<Element*>& table) {
    refCount += 1;
    if (idsPending_) {
        idsPending_ = false;
        id = 0;
        path = curveOfId(table, pathId_);
        profile = curveOfId(table, profileId_);
    }
    if (path) path->resolve(table);
    if (profile) profile->resolve(table);
}

void Tube::touch() {
    vbo.rebuild = 1;
    updateStamp = GlobalUpdate;
}

void Tube::deleteVBO() { vbo.release(); }

bool Tube::buildVBO() { return vbo.build(SweptKind::Tube, path, profile); }

bool Tube::enableVBO() { return vbo.enable(SweptKind::Tube, path, profile); }

void Tube::disableVBO() { vbo.disable(); }

bool Tube::renderBegin() { return vbo.renderBegin(SweptKind::Tube, path, profile); }

void Tube::renderEnd() { vbo.renderEnd(); }

void Tube::render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight, float,
                  bool end) {
    update();
    vbo.render(SweptKind::Tube, path, profile, objectId, itemId, m * localMatrix(), material, end);
}

bool Tube::hasFeatures() const { return vbo.hasFeatures(); }

void Tube::renderFeatures(const mat4& m, const bvec4& colour, bool end) {
    vbo.renderFeatures(m * localMatrix(), colour, end);
}

bool Tube::hasAuxiliary() const { return working != nullptr; }

void Tube::renderAuxiliary(const mat4& m, const bvec4& colour, bool) {
    if (working) working->renderFeatures(m, colour, true);
}

void Tube::symmetries(std::vector<symmetry::TSymmetry>& list, const vec3& point, const vec3& axis, bool mirrorX,
                      bool mirrorY, bool mirrorZ, bool radialX, bool radialY, bool radialZ, int count,
                      std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>& scales, int itemId,
                      bool section) {
    tubeSymmetries(*this, {list,
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

void Tube::sculpt(std::vector<Sculptor*>& gestures) { sculptTube(*this, gestures); }

Mesh* Tube::ToMesh() { return sweptToMesh(*this, SweptKind::Tube, path, profile); }

void Tube::DataWrite(buffer& b) {
    b.writeU32(RecordTag);
    b.writeU32(8);
    b.writeI32(curveId(path));
    b.writeI32(curveId(profile));
}

void Tube::DataRead(buffer& b) {
    replaceSharedCurve(this, path, nullptr);
    replaceSharedCurve(this, profile, nullptr);
    pathId_ = b.readI32();
    profileId_ = b.readI32();
    idsPending_ = true;
    id = -1;
}

void Tube::setPath(Curve* c) {
    // A stroke under way loses its working curve with the curve it edits.
    dropWorkingCurve(working, path);
    replaceSharedCurve(this, path, c);
    touch();
}

void Tube::setProfile(Curve* c) {
    // A stroke under way loses its working curve with the curve it edits.
    dropWorkingCurve(working, path);
    replaceSharedCurve(this, profile, c);
    touch();
}

}  // namespace qel
