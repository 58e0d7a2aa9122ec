// The sculpt stroke picking: the brush under the cursor and its copies under
// the view's symmetry settings, one stamp each with its own point, normal,
// handedness and viewing axis. A fresh pick (no stroke) reads the ID buffer
// and decides which copies merge; a running stroke follows the cursor by its
// projection rule and rewrites the stamps in place, replaying the merges.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "gl/fboscene.h"
#include "scene/element.h"
#include "scene/scene.h"
#include "scene/symmetry.h"
#include "scene/symmetry_merge.h"
#include "scene/tool.h"
#include "view/glview.h"
#include "view/id_pixel.h"

namespace qel {

namespace {

// The top bit of an object id marks a selected or hovered object.
constexpr std::uint32_t IdMask = 0x7fffffffu;

// v normalised when its squared length (in double) exceeds 1e-20.
vec3 normalized(const dvec3& v) {
    const double l2 = v.x * v.x + v.y * v.y + v.z * v.z;
    if (l2 <= 1e-20) return vec3(float(v.x), float(v.y), float(v.z));
    const double l = std::sqrt(l2);
    return vec3(float(v.x / l), float(v.y / l), float(v.z / l));
}

// a b of two 3 x 3 matrices, and a v, in double.
struct dmat3 {
    double m[9];
};
dmat3 product(const mat3& a, const mat3& b) {
    dmat3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) r.m[3 * i + j] += double(a.m[3 * i + k]) * double(b.m[3 * k + j]);
    return r;
}
double determinant(const dmat3& a) {
    const double* m = a.m;
    return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) + m[2] * (m[3] * m[7] - m[4] * m[6]);
}
dvec3 times(const dmat3& a, const vec3& v) {
    const double* m = a.m;
    return dvec3(m[0] * v.x + m[1] * v.y + m[2] * v.z, m[3] * v.x + m[4] * v.y + m[5] * v.z,
                 m[6] * v.x + m[7] * v.y + m[8] * v.z);
}

// The frame of merged copies from their averaged axes.
mat3 mergedFrame(const vec3& x, const vec3& y, const vec3& z) {
    return length2(x) > length2(y) ? mat3::FrameXZ(x, z) : mat3::FrameYZ(y, z);
}

// The actions whose every stroke point is read from the surface.
bool readsSurface(Sculptor::TAction a) {
    switch (a) {
        case Sculptor::Smooth:
        case Sculptor::PaintMaterial:
        case Sculptor::FillMaterial:
        case Sculptor::PickMaterial:
        case Sculptor::EraseComponent:
        case Sculptor::EraseRegion:
        case Sculptor::ErasePatch:
        case Sculptor::EraseFeature:
        case Sculptor::CutSphere:
        case Sculptor::ClipSphere:
        case Sculptor::AddSphere:
        case Sculptor::SubSphere:
            return true;
        default:
            return false;
    }
}

// One readback of GLView::selectionSculpt.
class SculptReadback {
public:
    SculptReadback(GLView& view, ABrush* previous) : v_(view), previous_(previous) {}

    ABrush run(ABrush::TSelection mode, ABrush::TSelection missMode) {
        prepare();
        if (mode == ABrush::OnObject)
            onObject(missMode);
        else if (previous_ && mode >= ABrush::SameDepth && mode <= ABrush::TangentPlane)
            v_.projectSculptStamp(s_, mode, *previous_);
        return s_;
    }

private:
    void prepare() {
        s_ = previous_ ? *previous_ : ABrush();
        s_.x = v_.cursorPixel[0];
        s_.y = v_.cursorPixel[1];
        s_.pixelVector = v_.ScreenRadius(true);
        s_.radius = v_.brushSize;
        s_.strength = v_.pressure;
        s_.material = v_.brushMaterial;
        s_.delta = vec3(0, 0, 0);
    }

    IdReader& reader() {
        if (!v_.idReader) v_.idReader.reset(new GLIdReader(v_.fboScene, v_.fboSceneTransparent));
        return *v_.idReader;
    }

    void onObject(ABrush::TSelection missMode) {
        const IdPixel pixel(reader(), s_.x, s_.y);
        if (!pixel.ready()) return;
        if (pixel.layers == 0) {
            if (missMode != ABrush::NoStamp) noHit();
            return;
        }
        s_.depth = pixel.depth;
        if (pixel.ids[0] == 0)
            s_.layers = 0;
        else
            hit(pixel);
    }

    void hit(const IdPixel& pixel) {
        s_.layers = pixel.layers;
        s_.objectId = std::int32_t(pixel.ids[0] & IdMask);
        // A stroke passing onto another object keeps the item it started on.
        if (!previous_ || s_.objectId == previous_->objectId) s_.itemId = std::int32_t(pixel.ids[1]);
        s_.selection = ABrush::OnObject;
        s_.point = v_.unproject(float(s_.x), float(s_.y), s_.depth);
        s_.normal = GLView::unproject_Normal(pixel.eyeNormal(v_.farPlane));
        if (previous_)
            s_.delta = s_.point - previous_->point;
        else
            freshHit();
    }

    // The picked object, its frames and the viewing axis. An object without
    // an element, or whose world transform cannot be inverted (no sample
    // could be brought into it), leaves nothing to sculpt.
    void freshHit() {
        v_.scene->searchObject(s_.objectId, s_.topTool, s_.pickedTool, s_.topWorld, s_.pickedWorld, true);
        mat4 objectFrame;
        if (!s_.pickedTool || !s_.pickedTool->element ||
            !(s_.pickedWorld * s_.pickedTool->matrix()).tryInverse(objectFrame)) {
            v_.scene->deselect();
            s_ = ABrush();
            return;
        }
        s_.pickedMaterial = s_.pickedTool->material;
        s_.objectFrame = objectFrame;
        s_.elementFrame = mat4::inverse(s_.pickedTool->element->localMatrix());
        s_.viewDirection = v_.ScreenNormal();
    }

    void noHit() {
        if (previous_) {
            s_.selection = ABrush::SameDepth;
            const vec3 s = v_.project_World_To_Screen(previous_->point);
            s_.point = v_.unproject_Screen_To_World(vec3(float(s_.x), float(s_.y), s.z));
            s_.delta = s_.point - previous_->point;
            return;
        }
        s_.selection = ABrush::Screen;
        s_.depth = v_.ScreenDepth();
        s_.point = v_.unproject(float(s_.x), float(s_.y), s_.depth);
        s_.normal = v_.ScreenNormal();
    }

    GLView& v_;
    ABrush* previous_;
    ABrush s_;
};

// The copies of one sculpt pick in the picked object's frame: copy 0 is the
// picked point; the third column of each frame is the copy's normal (or
// viewing axis), the orientation -1 for a mirrored copy.
struct Copies {
    std::vector<symmetry::TSymmetry> list;
    std::vector<vec3> points;
    std::vector<mat3> frames;
    std::vector<float> orientations;

    void make(GLView& v, Element& e, const vec3& p, const vec3& direction, int itemId) {
        const auto& sy = v.symmetry;
        e.symmetries(list, p, direction, sy[0] != 0, sy[1] != 0, sy[2] != 0, sy[3] != 0, sy[4] != 0, sy[5] != 0,
                     v.symmetryItems, points, frames, orientations, itemId, v.axisSection != 0);
    }
    // Every list cut to its first entry (one default entry when empty).
    void cutToFirst() {
        points.resize(1);
        frames.resize(1);
        orientations.resize(1, 1.0f);
    }
};

// The three axis lists of a frame list, one entry per copy.
void appendAxes(std::vector<std::vector<vec3>>& axes, std::size_t first, const std::vector<mat3>& frames) {
    for (std::size_t c = 0; c < 3; ++c) {
        axes[first + c].clear();
        for (const mat3& f : frames) axes[first + c].push_back(f.column(int(c)));
    }
}

// Fresh pick, after the readback hit an element: the copies of the point
// with its normal and of the point with the viewing axis, the copies that
// fall onto each other merged (and the pairs recorded), one stamp per copy.
void freshStamps(GLView& v) {
    const ABrush& pick = v.pickBrush;
    const mat4& M = pick.objectFrame;
    const mat3 M3 = M.block();
    const vec3 p = M.transformProject(pick.point);
    Element& e = *pick.pickedTool->element;
    // These stamps are the first samples of the next stroke: whatever ended
    // the last one, the element forgets what it kept before anything of it
    // is used, the anchor of its symmetries included.
    e.clearStroke();
    Copies normals, axes;
    normals.make(v, e, p, M3 * pick.normal, pick.itemId);
    axes.make(v, e, p, M3 * pick.viewDirection, pick.itemId);
    v.mergeKept.clear();
    v.mergeDropped.clear();

    if (v.snapSymmetry) {
        std::vector<std::uint8_t> codes;
        symmetry::Codes(codes, normals.list);
        int count = v.symmetryItems;
        // The axes of both frame lists: x, y, z of the normal frames, then of
        // the viewing-axis frames.
        std::vector<std::vector<vec3>> merged(6);
        appendAxes(merged, 0, normals.frames);
        appendAxes(merged, 3, axes.frames);
        std::vector<float> scratch(normals.points.size(), 0.0f);
        const double d = double(v.snapSymmetryValue) * double(v.brushSize) * length(M3 * pick.pixelVector);
        symmetry::Merge(normals.points, codes, count, merged, scratch, v.mergeKept, v.mergeDropped, float(d));
        if (!v.mergeKept.empty()) {
            std::vector<symmetry::TSymmetry> list;
            symmetry::Rebuild(codes, count, list);
            normals.cutToFirst();
            axes.cutToFirst();
            axes.points = normals.points;
            scratch.assign(1, 1.0f);
            normals.frames[0] = mergedFrame(merged[0][0], merged[1][0], merged[2][0]);
            axes.frames[0] = mergedFrame(merged[3][0], merged[4][0], merged[5][0]);
            symmetry::Transforms(normals.points, normals.frames, normals.orientations, mat4(), list);
            symmetry::Transforms(axes.points, axes.frames, scratch, mat4(), list);
        }
    }

    const std::size_t n = std::min({normals.points.size(), normals.frames.size(), normals.orientations.size()});
    v.stamps.resize(n);
    const mat4 Minv = mat4::inverse(M);
    const mat3 Minv3 = Minv.block();
    const dmat3 P = product(pick.elementFrame.block(), M3);
    // A mirroring object or element transform flips every axial vector.
    const double sign = determinant(P) < 0.0 ? -1.0 : 1.0;
    const ABrush first = pick;
    for (std::size_t i = 0; i < n; ++i) {
        ABrush& s = v.stamps[i];
        s = first;
        s.handedness = std::int8_t(normals.orientations[i]);
        s.point = Minv.transformProject(normals.points[i]);
        s.normal = Minv3 * normals.frames[i].column(2);
        if (i < axes.frames.size()) {
            const vec3 w = Minv3 * axes.frames[i].column(2);
            const double k = double(normals.orientations[i]) * sign;
            const dvec3 pw = times(P, w);
            s.viewDirection = normalized(dvec3(pw.x * k, pw.y * k, pw.z * k));
        }
        if (i == 0)
            v.pickBrush = s;
        else
            s.itemId = -1;
    }
}

// The projection rule of a running stroke for the effective action.
ABrush::TSelection strokeMode(const GLView& v) {
    if (readsSurface(v.sculptAction)) return ABrush::OnObject;
    if (v.sculptAction == Sculptor::Deform && v.brushProjection == ABrush::OnObject) return ABrush::SameDepth;
    return v.brushProjection;
}

// Stroke update, after targetBrush moved: the copies of its point replayed
// through the merge record, written into the stamps the press fixed. A
// stamp keeps the handedness and viewing axis of its fresh pick.
void strokeStamps(GLView& v) {
    const ABrush& target = v.targetBrush;
    const mat4& M = v.pickBrush.objectFrame;
    const mat3 M3 = M.block();
    Copies c;
    c.make(v, *v.pickBrush.pickedTool->element, M.transformProject(target.point), M3 * target.normal, target.itemId);
    if (!v.mergeKept.empty()) {
        std::vector<std::uint8_t> codes;
        symmetry::Codes(codes, c.list);
        int count = v.symmetryItems;
        std::vector<std::vector<vec3>> axes(3);
        appendAxes(axes, 0, c.frames);
        std::vector<float> scratch(c.points.size(), 0.0f);
        if (v.snapSymmetry)
            symmetry::Merge(c.points, codes, count, axes, scratch, v.mergeKept, v.mergeDropped, 0.0f);
        else
            symmetry::Collapse(c.points, codes, count, axes, scratch, v.mergeKept, v.mergeDropped, 0.0f);
        std::vector<symmetry::TSymmetry> list;
        symmetry::Rebuild(codes, count, list);
        c.cutToFirst();
        if (!axes[0].empty()) c.frames[0] = mergedFrame(axes[0][0], axes[1][0], axes[2][0]);
        symmetry::Replicate(c.points, c.frames, mat4(), list);
    }

    const mat4 Minv = mat4::inverse(M);
    const mat3 Minv3 = Minv.block();
    const std::size_t n = std::min({c.points.size(), c.frames.size(), v.stamps.size()});
    const ABrush current = target;
    for (std::size_t i = 0; i < n; ++i) {
        ABrush& s = v.stamps[i];
        const std::int8_t handedness = s.handedness;
        const vec3 viewDirection = s.viewDirection;
        s = current;
        s.handedness = handedness;
        s.viewDirection = viewDirection;
        s.point = Minv.transformProject(c.points[i]);
        s.normal = Minv3 * c.frames[i].column(2);
        if (i == 0)
            v.targetBrush = s;
        else
            s.itemId = -1;
    }
}

}  // namespace

ABrush GLView::selectionSculpt(ABrush::TSelection mode, ABrush::TSelection missMode, ABrush* previous) {
    return SculptReadback(*this, previous).run(mode, missMode);
}

void GLView::selectSculpt(bool fresh) {
    if (fresh) {
        pickBrush = selectionSculpt(ABrush::OnObject, ABrush::SameDepth, nullptr);
        targetBrush = pickBrush;
        if (!pickBrush.hit() || !pickBrush.pickedTool || !pickBrush.pickedTool->element) return;
        freshStamps(*this);
        return;
    }
    if (!pickBrush.hit() || !pickBrush.pickedTool || !pickBrush.pickedTool->element) return;
    targetBrush = selectionSculpt(strokeMode(*this), ABrush::SameDepth, &targetBrush);
    if (!targetBrush.placed()) return;
    strokeStamps(*this);
}

}  // namespace qel
