// The shared matrices of a frame. The projection is measured in pixels: one
// world unit at zoom 1 spans ViewSize() pixels, everywhere in the orthogonal
// view and at the focus distance in perspective, so switching the projection
// keeps the size of what lies at the focus depth.

#include <algorithm>
#include <cmath>

#include "gl/shader.h"
#include "view/camera.h"
#include "view/glview.h"

namespace qel {

namespace {

// C x diag(s, s, s, 1): the first three columns of C times s.
mat4 scaledColumns(mat4 c, float s) {
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 3; ++col) c.at(row, col) *= s;
    return c;
}

// The box with x in -w2..w2, y in -h2..h2 and depth -far..far.
mat4 orthogonalProjection(float w2, float h2, float farPlane) {
    mat4 p;
    p.m[0] = 2.0f / (w2 + w2);
    p.m[5] = 2.0f / (h2 + h2);
    p.m[10] = 2.0f / (-farPlane - farPlane);
    return p;
}

// The frustum between the near and far planes whose cross-section at the
// focus distance is w2 by h2 in half sizes.
mat4 perspectiveProjection(float w2, float h2, float nearPlane, float farPlane, float focus) {
    const float k = nearPlane / focus;
    const float r = w2 * k;
    const float t = h2 * k;
    const float m = nearPlane + nearPlane;
    mat4 p;
    p.m[0] = m / (r + r);
    p.m[5] = m / (t + t);
    p.m[10] = (nearPlane + farPlane) / (nearPlane - farPlane);
    p.m[11] = m * farPlane / (nearPlane - farPlane);
    p.m[14] = -1.0f;
    p.m[15] = 0.0f;
    return p;
}

}  // namespace

void GLView::buildMatrices() {
    const float w2 = float(double(width) * 0.5);
    const float h2 = float(double(height) * 0.5);
    const double pi = 3.14159265358979323846;
    const double focus = double(w2) / std::tan(double(fov) / 360.0 * pi);
    focusDistance = float(focus);
    const mat4 c = camera->matrix();
    const float s = ViewSize();

    mat4 p = Shader::ProjectionMatrix;
    mat4 v = Shader::ModelViewMatrix;
    mat4 offset = Shader::ProjectionOffsetMatrix;
    if (viewType == ViewOrthogonal) {
        p = orthogonalProjection(w2, h2, farPlane);
        v = scaledColumns(c, s);
        offset = p;
        offset.m[11] = float(double(p.m[11]) + (-1.5 / double(farPlane)));
    } else if (viewType == ViewPerspective) {
        p = perspectiveProjection(w2, h2, nearPlane, farPlane, float(focus));
        v = mat4::Translation(0.0f, 0.0f, -focusDistance) * scaledColumns(c, s);
        offset = p;
        offset.m[11] = float(double(p.m[11]) + double(fov) / -5000.0);
    }
    // Any other view type keeps the projection of the frame before.
    Shader::ProjectionMatrix = p;
    Shader::ModelViewMatrix = v;
    Shader::ProjectionOffsetMatrix = offset;

    Shader::ModelViewMatrixInv = mat4::inverse(v);
    Shader::ModelMatrix = c;
    Shader::NormalMatrix = camera->orientation;
    Shader::NormalMatrixInv = camera->orientation.transposed();
    Shader::ProjectionModelViewMatrix = p * v;
    Shader::ProjectionModelViewMatrixInv = Shader::ProjectionModelViewMatrix.inverseFull();
    Shader::ProjectionOffsetModelViewMatrix = offset * v;
}

float GLView::Near() const { return viewType == ViewPerspective ? nearPlane : -farPlane; }

float GLView::Far() const { return farPlane; }

float GLView::ViewSize() const { return float(std::min(width, height)); }

}  // namespace qel
