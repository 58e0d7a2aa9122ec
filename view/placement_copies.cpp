#include "view/placement_copies.h"

#include <cstdint>

#include "scene/symmetry_merge.h"
#include "view/glview.h"

namespace qel {
namespace placement {

namespace {

// The 3 x 3 quarter turn about x that takes the y axis to the z axis.
mat4 quarterTurnX(float s) { return mat4(s, 0, 0, 0, 0, 0, -s, 0, 0, s, 0, 0, 0, 0, 0, 1); }

}  // namespace

std::vector<symmetry::TSymmetry> Symmetry(const GLView& view) {
    const auto& s = view.symmetry;
    std::vector<symmetry::TSymmetry> list;
    symmetry::List(list, s[0] != 0, s[1] != 0, s[2] != 0, s[3] != 0, s[4] != 0, s[5] != 0, view.symmetryItems);
    return list;
}

void Copies(const GLView& view, const mat3& R, bool screen, const vec3& n, std::vector<vec3>& positions,
            std::vector<mat3>& frames, std::vector<symmetry::TSymmetry>& list) {
    const ABrush& pick = view.pickBrush;
    const mat3 Rinv = R.inverse();
    const auto& s = view.symmetry;
    const auto frameAbout = [&s](const vec3& d) {
        return symmetry::Frame(d, s[0] != 0, s[1] != 0, s[2] != 0, s[3] != 0, s[4] != 0, s[5] != 0);
    };
    positions.assign(1, Rinv * pick.objectFrame.transformProject(pick.point));
    frames.assign(1, screen ? frameAbout(Rinv * n) : Rinv * frameAbout(n) * R);
    list = Symmetry(view);
    symmetry::Replicate(positions, frames, mat4(), list);
}

mat4 Scale(const GLView& view, double pixel) {
    switch (view.iassemblyAction()) {
        case GLView::ActionInsert:
            return mat4::Scale(float(double(view.pickBrush.radius) * pixel));
        case GLView::ActionDraw:
            return view.pickBrush.selection == ABrush::OnObject ? quarterTurnX(float(pixel))
                                                                : mat4::Scale(float(pixel));
        default:
            return mat4::Identity();
    }
}

bool MergeCopies(std::vector<vec3>& positions, std::vector<mat3>& frames, std::vector<symmetry::TSymmetry>& list,
                 int items, std::vector<int>& kept, std::vector<int>& dropped, float distance, bool collapse) {
    std::vector<std::uint8_t> codes;
    symmetry::Codes(codes, list);
    std::vector<std::vector<vec3>> axes(3);
    for (std::vector<vec3>& a : axes) a.reserve(frames.size());
    for (const mat3& f : frames)
        for (int c = 0; c < 3; ++c) axes[std::size_t(c)].push_back(f.column(c));
    std::vector<float> weights(positions.size(), 0.0f);
    int count = items;
    if (collapse)
        symmetry::Collapse(positions, codes, count, axes, weights, kept, dropped, distance);
    else
        symmetry::Merge(positions, codes, count, axes, weights, kept, dropped, distance);
    if (kept.empty() || positions.empty() || axes[0].empty()) return false;
    list.clear();
    symmetry::Rebuild(codes, count, list);
    positions.resize(1);
    const vec3 &x = axes[0][0], &y = axes[1][0], &z = axes[2][0];
    frames.assign(1, length2(x) > length2(y) ? mat3::FrameXZ(x, z) : mat3::FrameYZ(y, z));
    symmetry::Replicate(positions, frames, mat4(), list);
    return true;
}

bool MergeCopies(GLView& view, std::vector<vec3>& positions, std::vector<mat3>& frames,
                 std::vector<symmetry::TSymmetry>& list, double pixel) {
    const float distance = float(double(view.snapSymmetryValue) * double(view.brushSize) * pixel);
    return MergeCopies(positions, frames, list, view.symmetryItems, view.mergeKept, view.mergeDropped, distance, false);
}

}  // namespace placement
}  // namespace qel
