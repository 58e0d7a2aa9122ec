// Camera motion: turning, panning, zooming and resetting the camera record.
// The new camera shows from the next buildMatrices(); nothing here redraws.

#include "view/camera.h"
#include "view/glview.h"

namespace qel {

namespace {

// The smallest zoom factor.
constexpr float MinScale = 1e-5f;

// The zoom factor times k, never below MinScale (nor not a number).
float zoomed(float scale, float k) {
    const float n = scale * k;
    return double(n) >= double(MinScale) ? n : MinScale;
}

}  // namespace

void GLView::rotate(float x, float y, float z) {
    // On the left, the turn acts about the view axes.
    camera->orientation = mat3::Rotation(x, y, z) * camera->orientation;
}

void GLView::translate(float x, float y, float z) { camera->position += vec3(x, y, z); }

void GLView::scale(float s) {
    const float k = s + 1.0f;
    camera->scale = zoomed(camera->scale, k);
    // A factor at or below 0 collapses the pan onto the centre instead of
    // mirroring it.
    const float kp = k > 0.0f ? k : 0.0f;
    camera->position = camera->position * kp;
}

void GLView::scale(vec2 c, float s) {
    const float k = s + 1.0f;
    camera->scale = zoomed(camera->scale, k);
    const float kp = k > 0.0f ? k : 0.0f;
    vec3& p = camera->position;
    p = vec3(c.x + (p.x - c.x) * kp, c.y + (p.y - c.y) * kp, p.z * kp);
}

void GLView::reset(bool resetPanZoom, bool resetRotation) {
    if (resetPanZoom) {
        camera->position = vec3(0, 0, 0);
        camera->scale = 1.0f;
    }
    if (resetRotation) camera->orientation = mat3::Identity();
}

mat4 GLView::ViewTransform() const {
    // The unscaled camera with its translation taken from view units to
    // world units: columns times S, then rows over S.
    const float s = ViewSize();
    mat4 m = camera->matrixUnscaled();
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 3; ++col) m.at(row, col) *= s;
    const float inv = 1.0f / s;
    for (int i = 0; i < 12; ++i) m.m[i] *= inv;
    return m;
}

}  // namespace qel
