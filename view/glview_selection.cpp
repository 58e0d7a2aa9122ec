// The pixel picking of the view: every pick turns the cursor pixel into a
// stamp. On Object reads the pixel back from the ID buffer of the last frame
// (through the view's IdReader); the other modes move the previous stamp by
// a projection rule and read nothing from the GPU. A Normal Plane pick that
// starts a drawing also lays out the drawing's symmetric placements.

#include <cmath>
#include <vector>

#include "gl/fboscene.h"
#include "gl/shader.h"
#include "scene/scene.h"
#include "scene/symmetry.h"
#include "scene/tool.h"
#include "view/glview.h"
#include "view/id_pixel.h"
#include "view/keyboard.h"
#include "view/placement_copies.h"

namespace qel {

namespace {

// While P is held every pick is On Object and snaps onto the picked pivot.
constexpr std::uint8_t KeyPivot = 'p';
// The top bit of an object id marks a selected or hovered object.
constexpr std::uint32_t IdMask = 0x7fffffffu;
// Below this the perspective planes count as seen edge-on.
constexpr double EdgeOn = 1e-10;

vec3 scaled(const vec3& v, double s) { return vec3(float(v.x * s), float(v.y * s), float(v.z * s)); }

// q snapped to the grid of step g that u and n span from origin; q itself
// when g is not positive (no grid).
vec3 gridSnapped(const vec3& q, const vec3& origin, const vec3& u, const vec3& n, float g) {
    if (!(g > 0.0f)) return q;
    const vec3 d = (q - origin) / g;
    const double a = std::round(dot(u, d)), b = std::round(dot(n, d));
    return origin + scaled(u, a * g) + scaled(n, b * g);
}

// One stamp being built by a call of GLView::selection.
class Picking {
public:
    Picking(GLView& view, ABrush* previous) : v_(view), previous_(previous) {}

    ABrush run(ABrush::TSelection mode) {
        prepare();
        if (keys.held(KeyPivot)) {
            mode = ABrush::OnObject;
            pivotSnap_ = true;
        }
        if (mode == ABrush::OnObject) {
            onObject();
            return s_;
        }
        // The projection rules move a previous stamp; without one the stamp
        // stays as prepared, as for a mode outside 1..5.
        if (!previous_) return s_;
        project(mode);
        return s_;
    }

    // The projection rules for a sculpt stroke, moving the prepared stamp:
    // the grid of Same Depth is anchored at the stroke's first stamp, and
    // Normal Plane never starts a drawing.
    ABrush sculptRules(ABrush::TSelection mode, const ABrush& prepared) {
        s_ = prepared;
        sculpt_ = true;
        project(mode);
        return s_;
    }

private:
    void project(ABrush::TSelection mode) {
        switch (mode) {
            case ABrush::SameDepth:
                sameDepth();
                break;
            case ABrush::OnNormal:
                onNormal();
                break;
            case ABrush::NormalPlane:
                normalPlane();
                break;
            case ABrush::TangentPlane:
                tangentPlane();
                break;
            default:
                break;
        }
    }

    bool orthogonal() const { return v_.viewType == GLView::ViewOrthogonal; }
    bool perspective() const { return v_.viewType == GLView::ViewPerspective; }
    vec3 screenOf(const vec3& p) const { return v_.project_World_To_Screen(p); }
    vec3 worldOf(const vec3& q) const { return v_.unproject_Screen_To_World(q); }
    static vec3 eyeOf(const vec3& p) { return Shader::ModelViewMatrix.transformProject(p); }
    static vec3 worldOfEye(const vec3& h) { return Shader::ModelViewMatrixInv.transformProject(h); }
    // The eye-space cursor ray of a perspective view: its points are t c.
    vec3 ray() const {
        return vec3(float(v_.width) * 0.5f - float(s_.x), float(v_.height) * 0.5f - float(s_.y), v_.focusDistance);
    }
    // The grid step, 0 while snapping to the grid is off (or has no step).
    float gridStep() const { return v_.snapGrid && v_.snapGridValue > 0.0f ? v_.snapGridValue : 0.0f; }

    // The stamp moves to p; delta is the move from the previous stamp.
    void moveTo(const vec3& p) {
        s_.delta = p - previous_->point;
        s_.point = p;
    }

    bool pressureSizes() const {
        const GLView::TAssemblyAction a = v_.iassemblyAction();
        if (v_.drawing || a == GLView::ActionInsert) return false;
        if (a == GLView::ActionPlace && v_.activeToolAux) return false;
        if (a == GLView::ActionDraw && (GLView::isArray(v_.toolCreation) || v_.tabletState <= 1)) return false;
        return true;
    }

    void prepare() {
        s_ = previous_ ? *previous_ : ABrush();
        s_.x = v_.cursorPixel[0];
        s_.y = v_.cursorPixel[1];
        s_.radius = pressureSizes() ? v_.brushSize * v_.pressure : v_.brushSize;
        const GLView::TAssemblyAction a = v_.iassemblyAction();
        const bool lifts = a == GLView::ActionInsert || a == GLView::ActionPlace || a == GLView::ActionDraw;
        lift_ = lifts ? v_.brushElevation : 0.0f;
        s_.pixelVector = v_.ScreenRadius(true);
        s_.material = v_.brushMaterial;
        s_.delta = vec3(0, 0, 0);
    }

    IdReader& reader() {
        if (!v_.idReader) v_.idReader.reset(new GLIdReader(v_.fboScene, v_.fboSceneTransparent));
        return *v_.idReader;
    }

    // ---- On Object ----

    void onObject() {
        const IdPixel pixel(reader(), s_.x, s_.y);
        if (!pixel.ready()) return;
        if (pixel.layers != 0) {
            s_.depth = pixel.depth;
            if (pixel.ids[0] != 0) {
                s_.layers = pixel.layers;
                s_.selection = ABrush::OnObject;
                if (previous_)
                    continuingHit(pixel.ids[0]);
                else
                    freshHit(pixel);
                return;
            }
        }
        noHit();
    }

    // The picked object's pivot with pivot snapping, else the unprojected
    // pixel lifted along the normal.
    vec3 hitPoint(Tool* picked, const mat4& pickedWorld) const {
        if (pivotSnap_ && picked) {
            const mat4& p = picked->pivot;
            const vec4 c = pickedWorld * vec4(p[3], p[7], p[11], p[15]);
            return c.xyz();
        }
        const double up = double(lift_) * double(v_.brushSize) * length(s_.pixelVector);
        return v_.unproject(float(s_.x), float(s_.y), s_.depth) + scaled(s_.normal, up);
    }

    void freshHit(const IdPixel& pixel) {
        s_.objectId = std::int32_t(pixel.ids[0] & IdMask);
        s_.itemId = std::int32_t(pixel.ids[1]);
        s_.normal = pixel.eyeNormal(v_.farPlane);
        v_.scene->searchObject(s_.objectId, s_.topTool, s_.pickedTool, s_.topWorld, s_.pickedWorld, true);
        if (s_.pickedTool) s_.pickedMaterial = s_.pickedTool->material;
        s_.normal = GLView::unproject_Normal(s_.normal);
        s_.point = hitPoint(s_.pickedTool, s_.pickedWorld);
        setFrames();
    }

    // objectFrame takes world coordinates into the frame new objects hang
    // in (world, the top-level object's or the picked object's), split with
    // elementFrame as Relative To Child says. Both stay the identity without
    // a picked object or when its frame cannot be inverted.
    void setFrames() {
        s_.objectFrame = mat4::Identity();
        s_.elementFrame = mat4::Identity();
        if (!s_.pickedTool || !s_.topTool) return;
        const mat4 P = s_.pickedWorld * s_.pickedTool->matrix();
        const mat4 A = s_.topWorld * s_.topTool->matrix();
        mat4 Pinv, Ainv;
        if (!P.tryInverse(Pinv) || !A.tryInverse(Ainv)) return;
        const bool relative = v_.relativeToChild == 2;
        switch (v_.hierarchy(false)) {
            case 0:
                if (relative) {
                    s_.objectFrame = Pinv;
                    s_.elementFrame = P;
                }
                break;
            case 1:
                s_.objectFrame = relative ? Pinv : Ainv;
                if (relative) s_.elementFrame = Ainv * P;
                break;
            case 2:
                s_.objectFrame = Pinv;
                break;
            default:
                break;
        }
    }

    void continuingHit(std::uint32_t id) {
        Tool* top = nullptr;
        Tool* picked = nullptr;
        mat4 topWorld, pickedWorld;
        v_.scene->searchObject(std::int32_t(id & IdMask), top, picked, topWorld, pickedWorld, false);
        s_.normal = GLView::unproject_Normal(reader().normal(s_.x, s_.y));
        moveTo(hitPoint(picked, pickedWorld));
    }

    void noHit() {
        s_.layers = 0;
        if (previous_) {
            s_.selection = ABrush::SameDepth;
            const vec3 s = screenOf(previous_->point);
            moveTo(worldOf(vec3(float(s_.x), float(s_.y), s.z)));
            return;
        }
        s_.selection = ABrush::Screen;
        s_.depth = v_.ScreenDepth();
        s_.point = v_.unproject(float(s_.x), float(s_.y), s_.depth);
        s_.normal = v_.ScreenNormal();
        v_.scene->searchObject(s_.objectId);
    }

    // ---- The projection rules ----

    void sameDepth() {
        const vec3 s = screenOf(previous_->point);
        vec3 q(float(s_.x), float(s_.y), s.z);
        // A sculpt stroke keeps one grid from its first stamp on, in depth too.
        const vec3 a = sculpt_ ? screenOf(v_.pickBrush.point) : s;
        if (const float g = gridStep(); g > 0.0f)
            for (int k = 0; k < 3; ++k) q[k] = a[k] + g * std::roundf((q[k] - a[k]) / g);
        moveTo(worldOf(q));
        s_.selection = ABrush::SameDepth;
    }

    void onNormal() {
        const vec3 s = screenOf(s_.point);
        const vec3 n = orthogonal() ? GLView::project_Normal(s_.normal) : normalize(screenOf(s_.point + s_.normal) - s);
        if (std::fabs(n.z) > 0.9f) return;
        // A zero normal has no line to follow: the point stays.
        const double l = std::sqrt(double(n.x) * n.x + double(n.y) * n.y);
        if (l > 0.0) {
            const double t = (n.x * (double(s_.x) - s.x) + n.y * (double(s_.y) - s.y)) / l;
            if (t * t > 1.0) {
                const double k = t / l;
                const double nz = orthogonal() ? -n.z : n.z;
                moveTo(worldOf(vec3(float(s.x + n.x * k), float(s.y + n.y * k), float(s.z + nz * k))));
            }
        }
        s_.selection = ABrush::OnNormal;
    }

    void tangentPlane() {
        if (orthogonal()) {
            const vec3 n = GLView::project_Normal(s_.normal);
            if (std::fabs(n.z) < 0.1f) return;
            const vec3 s = screenOf(s_.point);
            const double z = s.z + ((double(s.x) - s_.x) * n.x + (double(s.y) - s_.y) * n.y) / -double(n.z);
            moveTo(worldOf(vec3(float(s_.x), float(s_.y), float(z))));
        } else if (perspective()) {
            const vec3 n = normalize(Shader::ModelViewMatrix.transformVector(s_.normal));
            const vec3 c = ray();
            if (dot(c, n) < EdgeOn) return;
            const vec3 e = eyeOf(s_.point);
            moveTo(worldOfEye(scaled(c, dot(n, e) / dot(n, c))));
        } else {
            return;
        }
        s_.selection = ABrush::TangentPlane;
    }

    // The in-plane direction of the stroke in eye space: the kept one, or
    // `fresh` (normalised), which is then kept for the rest of the stroke.
    vec3 strokeDirection(const vec3& fresh) {
        if (!isZero(v_.planeDirection)) return GLView::project_Normal(v_.planeDirection);
        const vec3 u = normalize(fresh);
        v_.planeDirection = GLView::unproject_Normal(u);
        return u;
    }

    void normalPlane() {
        vec3 N = s_.normal;
        if (orthogonal()) {
            vec3 D;
            if (!sculpt_ && drawingStart(D)) N = D;
            normalPlaneOrthogonal(N);
        } else if (perspective()) {
            normalPlanePerspective(N);
        }
    }

    void normalPlaneOrthogonal(const vec3& N) {
        const vec3 n = GLView::project_Normal(N);
        if (std::fabs(n.z) > 0.9f) return;
        const vec3 s = screenOf(s_.point);
        const vec3 u = strokeDirection(vec3(-n.y, n.x, 0.0f));
        // Screen depth grows away from the viewer.
        const vec3 n1(n.x, n.y, -n.z), u1(u.x, u.y, -u.z);
        const vec3 m = normalize(cross(n1, u1));
        // A kept direction may have turned to the viewing axis: no plane to cut.
        if (std::fabs(double(m.z)) < EdgeOn) return;
        const double z = s.z + (m.x * (double(s.x) - s_.x) + m.y * (double(s.y) - s_.y)) / m.z;
        const vec3 q(float(s_.x), float(s_.y), float(z));
        moveTo(worldOf(gridSnapped(q, s, u1, n1, gridStep())));
        s_.selection = ABrush::NormalPlane;
    }

    void normalPlanePerspective(const vec3& N) {
        const vec3 n = GLView::project_Normal(N);
        const vec3 c = ray();
        const vec3 u = strokeDirection(cross(n, c));
        const vec3 m = cross(n, u);
        if (std::fabs(dot(c, m)) < EdgeOn) return;
        const vec3 e = eyeOf(s_.point);
        const vec3 h = scaled(c, dot(m, e) / dot(m, c));
        moveTo(worldOfEye(gridSnapped(h, e, u, n, gridStep())));
        s_.selection = ABrush::NormalPlane;
    }

    // ---- The drawing start ----

    // The first Normal Plane pick of a drawing (two single stamps, no stroke
    // yet): the drawing direction D, the symmetric placements of the drawing
    // and the drawing plane. False when this pick does not start a drawing.
    bool drawingStart(vec3& D) {
        const Assemblor& as = v_.assemblor;
        if (v_.interactionState != 3 || !as.strokes.empty() || as.stamps.size() < 2) return false;
        D = normalize(as.stamps[1].point - as.stamps[0].point);
        v_.interactionState = 4;
        const ABrush& pick = v_.pickBrush;
        int kind = v_.frameType;
        if (kind == GLView::FrameObject && pick.selection == ABrush::Screen) kind = GLView::FrameScreen;
        if (kind == GLView::FrameScreen) v_.drawingCamera = Shader::NormalMatrixInv;
        const mat3 O = pick.objectFrame.block();
        const mat3 F = kind == GLView::FrameScreen ? O * v_.drawingCamera : kind == GLView::FrameWorld ? O : mat3();

        std::vector<vec3> positions;
        std::vector<mat3> frames;
        std::vector<symmetry::TSymmetry> list;
        placement::Copies(v_, F, kind == GLView::FrameScreen, O * D, positions, frames, list);

        const double pixel = length(O * pick.pixelVector);
        const mat4 Z = placement::Scale(v_, pixel);
        if (v_.snapSymmetry) placement::MergeCopies(v_, positions, frames, list, pixel);
        v_.placements.resize(positions.size());
        for (std::size_t i = 0; i < positions.size(); ++i)
            v_.placements[i] =
                pick.elementFrame * mat4::Translation(F * positions[i]) * mat4::FromMat3(F * frames[i]) * Z;
        v_.drawingPlane = v_.placements[0];
        v_.pickBrush.normal = D;
        v_.targetBrush.normal = D;
        v_.planeDirection = vec3(0, 0, 0);
        return true;
    }

    GLView& v_;
    ABrush* previous_;
    ABrush s_;
    float lift_ = 0.0f;
    bool pivotSnap_ = false;
    bool sculpt_ = false;
};

}  // namespace

ABrush GLView::selection(ABrush::TSelection mode, ABrush* previous) { return Picking(*this, previous).run(mode); }

void GLView::projectSculptStamp(ABrush& s, ABrush::TSelection mode, ABrush& previous) {
    s = Picking(*this, &previous).sculptRules(mode, s);
}

}  // namespace qel
