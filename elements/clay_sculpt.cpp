// Clay sculpting on the GPU: the latest step of every Sculptor becomes one
// entry of the uniform arrays of a vertex-only program, and one
// transform-feedback pass moves every point of the current buffer into the
// other buffer, which then becomes current.

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>

#include "elements/clay.h"
#include "gl/gl.h"
#include "gl/gpu_scope.h"
#include "gl/shaders.h"
#include "scene/sculptor.h"

namespace qel {

namespace {

// The lists and scalars of one call, entries in Sculptor order. Only the
// Sculptors whose action gives an entry have one.
struct Step {
    std::vector<vec3> centres;
    std::vector<vec3> vectors;  // displacement, normal or axis, by action
    std::vector<mat3> frames;
    float radius = 1.0f;
    float weight = 0.0f;
    float intensity = 1.0f;
    float cosA = 1.0f;
    float sinA = 0.0f;

    void add(const vec3& centre, const vec3& vector, const mat3& frame = mat3()) {
        centres.push_back(centre);
        vectors.push_back(vector);
        frames.push_back(frame);
    }
};

bool finite(float x) { return std::isfinite(x); }

// w without its part along the unit axis a.
vec3 across(const vec3& w, const vec3& a) { return w - a * float(dot(w, a)); }

// The turn of a twist step about the axis, in cosA and sinA: the angle swept
// about the first sample from the previous sample to the last one, scaled
// down while the last sample is less than one radius from the first.
void twistAngle(const Sculptor& s, std::size_t P, std::size_t L, float radius, Step& step) {
    const vec3 a = normalize(s.viewDirection);
    const vec3 p0 = s.samples[0].point;
    const vec3 u = across(s.samples[P].point - p0, a);
    const vec3 v = across(s.samples[L].point - p0, a);
    if (isZero(u) || isZero(v)) return;
    const double t = length(v) / double(radius);
    const vec3 un = normalize(u), vn = normalize(v);
    const double theta = std::atan2(dot(a, cross(un, vn)), dot(un, vn));
    const double g = t < 0 ? 0.0 : std::min(t, 1.0);
    step.cosA = float(std::cos(g * theta));
    step.sinA = float(std::sin(g * theta));
}

// Adds the entry of one Sculptor by its own action and sets the scalars it
// owns. False when the Sculptor ends the loop (Subdivide).
bool addEntry(const Sculptor& s, bool first, Step& step, bool& subdivideNow) {
    if (s.samples.empty()) return true;
    const std::size_t k = s.samples.size();
    const std::size_t L = k - 1, P = k >= 2 ? k - 2 : 0;
    const SBrush& prev = s.samples[P];
    const vec3 move = s.samples[L].point - prev.point;
    const float r = prev.radius;
    const float stepLength = float(length(move));
    switch (s.action) {
        case Sculptor::Deform:
            step.add(prev.point, move);
            step.radius = r;
            break;
        case Sculptor::DeformVolume:
            step.add(prev.point, vec3(), mat3::Frame(move));
            if (first) {
                step.radius = s.samples[0].radius;
                step.weight = stepLength;
            }
            break;
        case Sculptor::Inflate:
        case Sculptor::Deflate: {
            const float sign = s.action == Sculptor::Inflate ? 1.0f : -1.0f;
            step.add(prev.point, prev.normal * (sign * r / 30.0f));
            step.radius = r;
            break;
        }
        case Sculptor::Grow:
        case Sculptor::Pinch:
            step.add(prev.point, vec3());
            if (first) {
                step.radius = r;
                step.intensity = (s.action == Sculptor::Grow ? -stepLength : stepLength) / r;
            }
            break;
        case Sculptor::Twist:
            step.add(s.samples[0].point, s.viewDirection);
            if (first) {
                step.radius = s.samples[0].radius;
                twistAngle(s, P, L, step.radius, step);
            }
            break;
        case Sculptor::Flatten:
            step.add(prev.point - prev.normal * (0.02f * r), prev.normal);
            if (first) {
                step.radius = r;
                step.intensity = stepLength / r;
            }
            break;
        case Sculptor::Subdivide:
            subdivideNow = s.isEnded();
            return false;
        case Sculptor::SubPlane:
            // The plane is known once the gesture ends: through the first
            // sample, across the stroke seen along the view axis. The pass
            // moves a point by its distance along the normal times the
            // normal, so the normal must be of unit length whatever the
            // stroke's length (a zero one moves nothing).
            if (s.isEnded()) {
                const vec3 p0 = s.samples[0].point;
                step.add(p0, normalize(cross(normalize(s.viewDirection), p0 - s.samples[L].point)));
            }
            break;
        default:
            break;
    }
    return true;
}

// Uploads n vec3 entries from the list, starting at entry from.
void uploadVectors(const char* name, const std::vector<vec3>& list, std::size_t from, int n) {
    gl->glUniform3fv(Shader::uniformLocation(name), n, list[from].data());
}

// Uploads n frames so that the shader's column k of each is the frame's
// k-th axis.
void uploadFrames(const std::vector<mat3>& frames, std::size_t from, int n) {
    std::vector<float> columns(9 * std::size_t(n));
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c) {
            const vec3 axis = frames[from + std::size_t(i)].column(c);
            for (int k = 0; k < 3; ++k) columns[9 * std::size_t(i) + 3 * std::size_t(c) + std::size_t(k)] = axis[k];
        }
    gl->glUniformMatrix3fv(Shader::uniformLocation("frame"), n, GL_FALSE, columns.data());
}

// The radius of a pass and its scalars are usable: a radius of 0 would give
// 0/0 in the falloff and move points by NaN.
bool usable(float radius, std::initializer_list<float> scalars) {
    if (!(radius > 0.0f) || !finite(radius)) return false;
    for (float x : scalars)
        if (!finite(x)) return false;
    return true;
}

}  // namespace

// ---- Dispatcher ----

void Clay::sculpt(std::vector<Sculptor*>& sculptors) {
    GpuScope scope;
    if (!glReady()) return;
    gl->glFlush();
    gl->glEnable(GL_RASTERIZER_DISCARD);
    Step step;
    bool subdivideNow = false;
    for (std::size_t i = 0; i < sculptors.size(); ++i) {
        if (!sculptors[i]) continue;
        if (!addEntry(*sculptors[i], i == 0, step, subdivideNow)) break;
    }
    const Sculptor* first = sculptors.empty() ? nullptr : sculptors[0];
    switch (first ? first->action : Sculptor::Move) {
        case Sculptor::Deform:
        case Sculptor::Inflate:
        case Sculptor::Deflate:
            deform(step.centres, step.vectors, step.radius);
            break;
        case Sculptor::DeformVolume:
            deformVolume(step.centres, step.frames, step.weight, step.radius);
            break;
        case Sculptor::Grow:
        case Sculptor::Pinch:
            pinch(step.centres, std::max(-0.3f, std::min(0.3f, step.intensity)), step.radius);
            break;
        case Sculptor::Twist:
            twist(step.centres, step.vectors, step.cosA, step.sinA, step.radius);
            break;
        case Sculptor::Flatten: {
            const float f = step.intensity < 0 ? 0.0f : 4.0f * std::min(step.intensity, 1.0f);
            flatten(step.centres, step.vectors, f, step.radius);
            break;
        }
        case Sculptor::SubPlane:
            if (!step.centres.empty()) subPlane(step.centres, step.vectors);
            break;
        default:
            break;
    }
    gl->glDisable(GL_RASTERIZER_DISCARD);
    vboEnabled = 0;
    // Subdividing reads the positions back: after the passes, outside the
    // discard bracket.
    if (subdivideNow) subdivide(true);
}

// ---- Passes ----

namespace {

// Runs the program over the entries in groups of at most the shaders' array
// size; upload sets the group's arrays (from, n). Each group is one pass.
void runGroups(Clay& clay, Shader* shader, std::size_t count, const std::function<void(std::size_t, int)>& upload) {
    for (std::size_t from = 0; from < count; from += Clay::MaxPassEntries) {
        if (!shader || !shader->enable()) return;
        const int n = int(std::min<std::size_t>(Clay::MaxPassEntries, count - from));
        Shader::setUniform("count", n);
        upload(from, n);
        clay.displace();
    }
}

}  // namespace

void Clay::deform(const std::vector<vec3>& centres, const std::vector<vec3>& displacements, float radius) {
    if (!usable(radius, {}) || displacements.size() < centres.size()) return;
    runGroups(*this, ShaderClayDeform, centres.size(), [&](std::size_t from, int n) {
        uploadVectors("center", centres, from, n);
        uploadVectors("displacement", displacements, from, n);
        Shader::setUniform("radius", radius);
    });
}

void Clay::deformVolume(const std::vector<vec3>& centres, const std::vector<mat3>& frames, float weight, float radius) {
    if (!usable(radius, {weight}) || frames.size() < centres.size()) return;
    runGroups(*this, ShaderClayDeformVolume, centres.size(), [&](std::size_t from, int n) {
        uploadVectors("center", centres, from, n);
        uploadFrames(frames, from, n);
        Shader::setUniform("weight", weight);
        Shader::setUniform("radius2", radius * radius);
    });
}

void Clay::pinch(const std::vector<vec3>& centres, float intensity, float radius) {
    if (!usable(radius, {intensity})) return;
    runGroups(*this, ShaderClayPinch, centres.size(), [&](std::size_t from, int n) {
        uploadVectors("center", centres, from, n);
        Shader::setUniform("intensity", 0.2f * intensity);
        Shader::setUniform("radius2", radius * radius);
    });
}

void Clay::twist(const std::vector<vec3>& centres, const std::vector<vec3>& axes, float cosA, float sinA,
                 float radius) {
    if (!usable(radius, {cosA, sinA}) || axes.size() < centres.size()) return;
    runGroups(*this, ShaderClayTwist, centres.size(), [&](std::size_t from, int n) {
        uploadVectors("center", centres, from, n);
        uploadVectors("axis", axes, from, n);
        Shader::setUniform("cosA", cosA - 1.0f);
        Shader::setUniform("sinA", sinA);
        Shader::setUniform("radius2", radius * radius);
    });
}

void Clay::subPlane(const std::vector<vec3>& centres, const std::vector<vec3>& normals) {
    if (normals.size() < centres.size()) return;
    runGroups(*this, ShaderClaySubPlane, centres.size(), [&](std::size_t from, int n) {
        uploadVectors("center", centres, from, n);
        uploadVectors("normal", normals, from, n);
    });
}

void Clay::flatten(const std::vector<vec3>& centres, const std::vector<vec3>& normals, float intensity, float radius) {
    if (!usable(radius, {intensity}) || normals.size() < centres.size()) return;
    runGroups(*this, ShaderClayFlatten, centres.size(), [&](std::size_t from, int n) {
        uploadVectors("center", centres, from, n);
        uploadVectors("normal", normals, from, n);
        Shader::setUniform("intensity", intensity);
        Shader::setUniform("radius2", radius * radius);
    });
}

void Clay::displace() {
    if (buffers.size() != 2 || buffers[0] == 0 || vertexCount <= 0 || !glReady()) return;
    if (!bindPositions(buffers[current])) return;
    const GLuint target = buffers[current ^ 1u];
    gl->glBindBufferRange(GL_TRANSFORM_FEEDBACK_BUFFER, 0, target, 0, GLsizeiptr(vertexCount) * 12);
    gl->glBeginTransformFeedback(GL_POINTS);
    gl->glDrawArrays(GL_POINTS, 0, vertexCount);
    gl->glEndTransformFeedback();
    gl->glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, 0);
    gl->glDisableVertexAttribArray(0);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    gl->glFlush();
    current ^= 1u;
    vboEnabled = 0;
}

}  // namespace qel
