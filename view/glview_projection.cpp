// Projection and unprojection between world space and the screen, and the
// screen metrics built on them. Everything reads the Shader matrices of the
// last buildMatrices(), so a point projected and unprojected between two
// frames comes back unchanged even when the camera moved in between.
//
// Spaces: world; normalized device coordinates (-1..1 inside the view
// volume); screen, in device pixels from the top-left corner with y down
// (the frame is shown mirrored vertically, so this is the cursor's space).
// Depths: window depth (normalized z + 1) / 2 in 0..1, and screen depth
// Near() + (Far() - Near()) x window depth.

#include "gl/shader.h"
#include "view/glview.h"

namespace qel {

namespace {

// M (p, 1) divided by w; each clip coordinate is summed in double and
// rounded to float, the division is in float. Points in the eye plane of a
// perspective projection (w = 0) give infinities.
vec3 projectPoint(const mat4& m, const vec3& p) {
    const vec4 c = m * vec4(p, 1.0f);
    return vec3(c.x / c.w, c.y / c.w, c.z / c.w);
}

// Screen pixel to normalized coordinate along an axis of `size` pixels.
float toNormalized(float s, int size) {
    const float t = s / float(size);
    return t + t - 1.0f;
}

float toScreen(float n, int size) { return float(size) * ((n + 1.0f) * 0.5f); }

}  // namespace

vec3 GLView::project(const vec3& p) const {
    const vec3 n = projectPoint(Shader::ProjectionModelViewMatrix, p);
    return vec3(toScreen(n.x, width), toScreen(n.y, height), n.z * farPlane);
}

vec3 GLView::unproject(float x, float y, float d) const {
    const vec3 n(toNormalized(x, width), toNormalized(y, height), d + d - 1.0f);
    return projectPoint(Shader::ProjectionModelViewMatrixInv, n);
}

vec3 GLView::project_World_To_Normalized(const vec3& p) { return projectPoint(Shader::ProjectionModelViewMatrix, p); }

vec3 GLView::project_Normalized_To_Screen(const vec3& n) const {
    const float w = (n.z + 1.0f) * 0.5f;
    return vec3(toScreen(n.x, width), toScreen(n.y, height), Near() + (Far() - Near()) * w);
}

vec3 GLView::project_World_To_Screen(const vec3& p) const {
    return project_Normalized_To_Screen(project_World_To_Normalized(p));
}

vec3 GLView::unproject_Screen_To_Normalized(const vec3& s) const {
    const float t = (s.z - Near()) / (Far() - Near());
    return vec3(toNormalized(s.x, width), toNormalized(s.y, height), t + t - 1.0f);
}

vec3 GLView::unproject_Normalized_To_World(const vec3& n) {
    return projectPoint(Shader::ProjectionModelViewMatrixInv, n);
}

vec3 GLView::unproject_Screen_To_World(const vec3& s) const {
    return unproject_Normalized_To_World(unproject_Screen_To_Normalized(s));
}

vec3 GLView::project_Normal(const vec3& v) { return normalize(Shader::NormalMatrix * v); }

vec3 GLView::unproject_Normal(const vec3& v) { return normalize(Shader::NormalMatrixInv * v); }

float GLView::depthScreen(float d) {
    // The full inverse: the perspective projection is not affine. A singular
    // projection gives the identity.
    const mat4 q = Shader::ProjectionMatrix.inverseFull();
    const vec4 c = q * vec4(0.0f, 0.0f, d + d - 1.0f, 1.0f);
    return c.z / c.w;
}

float GLView::depthScreenInv(float z) {
    const mat4& p = Shader::ProjectionMatrix;
    const float a = float(double(p[10]) * z + p[11]);
    const float b = float(double(p[14]) * z + p[15]);
    return (a / b + 1.0f) * 0.5f;
}

// ---- Screen metrics ----

float GLView::ScreenDepth() const {
    // The window depth of view-space z = -focusDistance; in the orthogonal
    // view every depth has the same pixel size and this is just a depth
    // inside the volume.
    const mat4& p = Shader::ProjectionMatrix;
    return (p[11] / focusDistance - p[10] + 1.0f) * 0.5f;
}

vec3 GLView::ScreenRadius(bool locked) const {
    if (locked && blockSizeLock) return blockPixel;
    const float d = ScreenDepth();
    return unproject(1.0f, 0.0f, d) - unproject(0.0f, 0.0f, d);
}

void GLView::blockSize() {
    if (!blockSizeLock) blockPixel = ScreenRadius(false);
    blockSizeLock ^= 1;
}

vec3 GLView::ScreenNormal() const { return unproject_Normal(vec3(0.0f, 0.0f, 1.0f)); }

}  // namespace qel
