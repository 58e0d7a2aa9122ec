#include "view/assemblor.h"

#include "scene/tool.h"
#include "view/stroke_curve.h"

namespace qel {

Assemblor::Assemblor(const ABrush& stamp, bool single) {
    if (single) {
        stamps.push_back(stamp);
        return;
    }
    state = Started;
    addStroke(stamp);
}

Assemblor::~Assemblor() {
    while (!strokes.empty()) strokes.pop_back();
}

void Assemblor::addStroke(const ABrush& stamp) {
    strokes.emplace_back();
    AStroke& stroke = strokes.back();
    stroke.begin();
    stroke.stamps.push_back(stamp);
}

std::size_t Assemblor::strokeStamps() const {
    std::size_t n = 0;
    for (const AStroke& s : strokes) n += s.stamps.size();
    return n;
}

mat4 Assemblor::ToBrushes(std::vector<SBrush>& samples, const mat4& M) const {
    mat4 inverse;
    if (!M.tryInverse(inverse)) return mat4::Identity();
    const float scale = float(Tool::UniformScale(inverse));
    samples.reserve(samples.size() + strokeStamps());
    for (const AStroke& stroke : strokes) {
        for (const ABrush& stamp : stroke.stamps) {
            SBrush sample(stamp);
            sample.point = inverse.transformProject(sample.point);
            sample.normal = inverse.transformVector(sample.normal);
            sample.radius *= scale;
            samples.push_back(sample);
        }
    }
    return mat4::Identity();
}

mat4 Assemblor::ToCurve(std::vector<vec3>& points, std::vector<vec3>& normals, std::vector<float>& radii,
                        std::vector<bool>& sharp, bool closed, const mat4& M) const {
    std::vector<SBrush> samples;
    const mat4 placement = ToBrushes(samples, M);
    CurveLists out{points, normals, radii, sharp};
    appendStrokeCurve(samples, closed, out);
    return placement;
}

}  // namespace qel
