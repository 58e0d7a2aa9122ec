// The picking that follows a Place or Draw gesture frame by frame. Place
// lays the tool under creation out from the press point: its x axis along
// the drag, its z axis along the pressed surface's normal, scaled by the
// drag length, with its symmetric copies. Draw reads each new point of a
// drawn stroke and snaps it as the drawing's first point was snapped.
//
// Positions and frames of the copies live in the placement frame F of the
// press: the camera frame for the Screen frame kind, the picked object's
// axes for World, none for Object, all taken in the picked object's frame.

#include <cmath>
#include <vector>

#include "scene/scene.h"
#include "scene/symmetry.h"
#include "scene/tool.h"
#include "view/glview.h"
#include "view/placement_copies.h"

namespace qel {

namespace {

class StrokePicking {
public:
    explicit StrokePicking(GLView& view) : v_(view) {
        const ABrush& press = v_.pickBrush;
        kind_ = v_.frameType;
        // Nothing was hit at the press: no object frame to follow.
        if (kind_ == GLView::FrameObject && press.selection == ABrush::Screen) kind_ = GLView::FrameScreen;
        M_ = press.objectFrame;
        O_ = M_.block();
        F_ = kind_ == GLView::FrameScreen ? O_ * v_.drawingCamera : kind_ == GLView::FrameWorld ? O_ : mat3();
        Finv_ = F_.inverse();
    }

    bool draw() {
        ABrush previous = v_.pickBrush;
        if (!v_.assemblor.strokes.empty() && !v_.assemblor.strokes.back().stamps.empty())
            previous = v_.assemblor.strokes.back().stamps.back();
        v_.targetBrush = v_.selection(v_.brushProjection, &previous);
        std::vector<vec3> positions{Finv_ * M_.transformProject(v_.targetBrush.point)};
        std::vector<mat3> frames{mat3()};
        std::vector<symmetry::TSymmetry> list = placement::Symmetry(v_);
        symmetry::Replicate(positions, frames, mat4(), list);
        // The drawing's press merged copies: the same pairs, without new
        // distance tests, put the new point where the merged copy lies.
        if (!v_.mergeKept.empty() && placement::MergeCopies(positions, frames, list, v_.symmetryItems, v_.mergeKept,
                                                            v_.mergeDropped, 0.0f, v_.snapSymmetry == 0))
            moveBack(v_.targetBrush.point, positions.front());
        if (v_.interactionState != 0) preview();
        return true;
    }

    bool place() {
        if (!v_.activeTool) return false;
        ABrush& press = v_.pickBrush;
        // Each end of a two-ended tool lands on a surface; other tools are
        // dragged at the depth of the press.
        v_.targetBrush = v_.activeTool->isBiTool() ? v_.selection(ABrush::OnObject, nullptr)
                                                   : v_.selection(ABrush::SameDepth, &press);
        ABrush& target = v_.targetBrush;
        if (target.x == press.x && target.y == press.y) {
            target.selection = ABrush::NoStamp;
            return false;
        }
        const double dx = double(target.x) - double(press.x);
        const double dy = double(target.y) - double(press.y);
        const double drag = std::sqrt(dx * dx + dy * dy);

        const vec3 c0 = M_.transformProject(press.point);
        const vec3 x = M_.transformProject(target.point) - c0;
        const vec3 z = O_ * press.normal;
        std::vector<vec3> positions{Finv_ * c0};
        std::vector<mat3> frames{kind_ == GLView::FrameScreen ? mat3::FrameXZ(Finv_ * x, Finv_ * z)
                                                              : Finv_ * mat3::FrameXZ(x, z) * F_};
        std::vector<symmetry::TSymmetry> list = placement::Symmetry(v_);
        symmetry::Replicate(positions, frames, mat4(), list);

        // One screen pixel in the picked object's frame.
        const double pixel = length(O_ * press.pixelVector);
        v_.mergeKept.clear();
        v_.mergeDropped.clear();
        // The press point moves onto the symmetry for the rest of the
        // gesture.
        if (v_.snapSymmetry && placement::MergeCopies(v_, positions, frames, list, pixel))
            moveBack(press.point, positions.front());
        lay(positions, frames, float(drag * pixel));
        if (v_.actionMode == GLView::ModeAssembly && v_.interactionState == 1) preview();
        return true;
    }

private:
    // A copy position back in world coordinates; the point stays when the
    // object frame cannot be inverted.
    void moveBack(vec3& point, const vec3& p) const {
        mat4 Minv;
        if (M_.tryInverse(Minv)) point = Minv.transformProject(F_ * p);
    }

    // One placement per copy, scaled uniformly by s.
    void lay(const std::vector<vec3>& positions, const std::vector<mat3>& frames, float s) {
        const mat4 S = mat4::Scale(s);
        const mat4& E = v_.pickBrush.elementFrame;
        v_.placements.resize(positions.size());
        for (std::size_t i = 0; i < positions.size(); ++i) {
            const mat3 Q = kind_ == GLView::FrameScreen ? F_ * frames[i] : F_ * frames[i] * Finv_;
            v_.placements[i] = E * mat4::Translation(F_ * positions[i]) * mat4::FromMat3(Q) * S;
        }
    }

    void preview() {
        v_.scene->addObjectToList(v_.activeTool, v_.placements, Scene::THierarchyType(v_.hierarchy(false)),
                                  v_.onAllInstances());
    }

    GLView& v_;
    int kind_ = GLView::FrameObject;
    mat4 M_;
    mat3 O_, F_, Finv_;
};

}  // namespace

bool GLView::select2() {
    if (!pickBrush.placed()) return false;
    switch (iassemblyAction()) {
        case ActionDraw:
            return StrokePicking(*this).draw();
        case ActionPlace:
            return StrokePicking(*this).place();
        default:
            return false;
    }
}

}  // namespace qel
