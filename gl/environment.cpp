#include "gl/environment.h"

#include "core/mat.h"
#include "core/vec.h"
#include "gl/gl.h"
#include "gl/glatom.h"
#include "gl/glerror.h"
#include "gl/glquad.h"
#include "gl/panorama.h"
#include "gl/progress.h"
#include "gl/shader.h"
#include "gl/shaders.h"
#include "gl/texturecube.h"

#include <QImage>
#include <QOpenGLWidget>
#include <QString>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace qel {

namespace {

constexpr double Pi = 3.14159265358979323846;

using Samples = std::array<vec3, 7>;

// Per cube face (+X, -X, +Y, -Y, +Z, -Z): the matrix that turns the face's
// quad point (2x - 1, 2y - 1, -1) into the direction of texel (x, y), and the
// matrix that carries the filter kernel to that face.
const std::array<mat4, 6> FaceRotation = {
    mat4(0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1),
    mat4(0, 0, 1, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1),
    mat4(1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1),
    mat4(1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1),
    mat4(1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1),
    mat4(-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1),
};
const std::array<mat3, 6> FaceKernel = {
    mat3(0, 0, -1, 0, 1, 0, 1, 0, 0),
    mat3(0, 0, 1, 0, 1, 0, -1, 0, 0),
    mat3(1, 0, 0, 0, 0, 1, 0, -1, 0),
    mat3(1, 0, 0, 0, 0, -1, 0, 1, 0),
    mat3(-1, 0, 0, 0, 1, 0, 0, 0, -1),
    mat3(1, 0, 0, 0, 1, 0, 0, 0, 1),
};

// 90-degree perspective, near 0.1, far 2.0: the quad at z = -1 fills the
// face.
const mat4 FaceProjection(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -21.0f / 19.0f, -4.0f / 19.0f, 0, 0, -1, 0);

// The kernel: the centre (0, 0, -1) and a ring of six directions about half a
// texel of a face of edge `size` around it.
Samples kernel(int size) {
    Samples d;
    d[0] = vec3(0, 0, -1);
    const float t = float(1.0 / size);
    for (int i = 1; i <= 6; ++i) {
        const double a = (i - 1) * 2.0 * Pi / 6.0;
        d[std::size_t(i)] = normalize(vec3(float(std::cos(a) * t), float(std::sin(a) * t), -1.0f));
    }
    return d;
}

// Six RGB float faces of edge n from the panorama (rows from t = 0), as the
// panorama cube samples them. False when the image cannot be read.
bool readPanoramaFaces(const std::string& path, int n, std::vector<float>& texels) {
    QImage panorama;
    if (!path.empty()) panorama.load(QString::fromUtf8(path.c_str()));
    if (panorama.isNull()) return false;
    panorama = panorama.convertToFormat(QImage::Format_ARGB32);
    const std::size_t row = std::size_t(n) * 3;
    texels.assign(6 * row * std::size_t(n), 0.0f);
    float* out = texels.data();
    for (int f = 0; f < 6; ++f) {
        const QImage face = panoramaFace(panorama, f, n, QImage::Format_RGB888);
        if (face.isNull()) return false;
        for (int y = 0; y < n; ++y) {
            const std::uint8_t* bytes = face.constScanLine(y);
            for (std::size_t i = 0; i < row; ++i) *out++ = float(bytes[i]);
        }
    }
    return true;
}

// The six faces of a float cube, three floats per texel.
bool readFaces(TextureCube& cube, std::vector<float>& values) {
    std::vector<std::uint8_t> bytes;
    if (!cube.getData(bytes)) return false;
    values.resize(bytes.size() / sizeof(float));
    std::memcpy(values.data(), bytes.data(), values.size() * sizeof(float));
    return true;
}

double sum(const std::vector<float>& values) {
    double s = 0.0;
    for (float v : values) s += double(v);
    return s;
}

// Bytes of v x s0 / sL, truncated and clamped to 0 .. 255. A level without
// brightness (sL = 0) is stored unscaled.
void scaledBytes(const std::vector<float>& values, double s0, double sL, std::vector<std::uint8_t>& bytes) {
    const bool scale = sL > 0.0 && std::isfinite(sL) && std::isfinite(s0);
    bytes.resize(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double x = scale ? double(values[i]) * s0 / sL : double(values[i]);
        // NaN fails both comparisons and lands on 0.
        bytes[i] = x >= 255.0 ? 255 : x > 0.0 ? std::uint8_t(x) : 0;
    }
}

// Switches the view widget's repaints off for the lifetime of the object.
class RepaintsOff {
public:
    RepaintsOff() : widget_(GLAtom::screen) {
        if (widget_) widget_->setUpdatesEnabled(false);
    }
    ~RepaintsOff() {
        if (widget_) widget_->setUpdatesEnabled(true);
    }
    RepaintsOff(const RepaintsOff&) = delete;
    RepaintsOff& operator=(const RepaintsOff&) = delete;

private:
    QOpenGLWidget* widget_;
};

// The status-bar progress of the build; the bar is hidden when the object
// goes, also after a build that stopped early.
class BuildProgress {
public:
    explicit BuildProgress(int steps) : last_(steps - 1) { Progress::start("Building environment map", steps, true); }
    ~BuildProgress() {
        if (value_ != last_) Progress::set(last_, true);
    }
    void set(int value) {
        value_ = value;
        Progress::set(value, true);
    }
    BuildProgress(const BuildProgress&) = delete;
    BuildProgress& operator=(const BuildProgress&) = delete;

private:
    int last_;
    int value_ = -1;
};

// The ping-pong filter between two float cubes: each pass draws the six faces
// of the target from the source with the sky-box filter program through one
// framebuffer, then the cubes change roles.
class CubeFilter {
public:
    explicit CubeFilter(int size) : size_(size) {
        const Samples d = kernel(size);
        for (std::size_t f = 0; f < 6; ++f)
            for (std::size_t i = 0; i < d.size(); ++i) samples_[f][i] = FaceKernel[f] * d[i];
        gl->glGenFramebuffers(1, &fbo_);
    }
    ~CubeFilter() { gl->glDeleteFramebuffers(1, &fbo_); }
    CubeFilter(const CubeFilter&) = delete;
    CubeFilter& operator=(const CubeFilter&) = delete;

    // Runs n passes; afterwards source names the cube holding the result.
    // Nothing runs when the program cannot be enabled or the target cannot
    // be drawn into.
    void run(int n, TextureCube*& source, TextureCube*& target) {
        if (n <= 0 || !begin(target)) return;
        for (int pass = 0; pass < n; ++pass) {
            if (!draw(*source, *target)) break;
            std::swap(source, target);
        }
    }

private:
    // GL state of the passes, the program and its per-build uniforms; checks
    // once that a face of the target is a complete colour attachment.
    bool begin(TextureCube* target) {
        gl->glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
        gl->glDisable(GL_DEPTH_TEST);
        gl->glDisable(GL_CULL_FACE);
        gl->glDisable(GL_STENCIL_TEST);
        gl->glDisable(GL_BLEND);
        gl->glViewport(0, 0, size_, size_);
        if (!ShaderFilterSkyBox->enable()) return false;
        if (!checked_) {
            checked_ = true;
            gl->glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
            gl->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_CUBE_MAP_POSITIVE_X,
                                       target->id(), 0);
            complete_ = gl->glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
            gl->glBindFramebuffer(GL_FRAMEBUFFER, 0);
            if (!complete_) glReportError("ERROR Environment::compile (filter target incomplete)");
        }
        if (!complete_) return false;
        Shader::setUniform("ProjectionModelViewMatrix", FaceProjection);
        boxAt_ = Shader::uniformLocation("box");
        rotationAt_ = Shader::uniformLocation("rotation");
        samplesAt_ = Shader::uniformLocation("samples");
        return true;
    }

    // One pass: the six faces of target from source.
    bool draw(TextureCube& source, TextureCube& target) {
        const GLuint name = target.id();
        const int unit = source.unit();
        if (name == 0 || unit < 0) return false;
        gl->glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        gl->glUniform1i(boxAt_, unit);
        for (std::size_t f = 0; f < 6; ++f) {
            gl->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_CUBE_MAP_POSITIVE_X + GLenum(f),
                                       name, 0);
            gl->glDrawBuffer(GL_COLOR_ATTACHMENT0);
            gl->glUniformMatrix4fv(rotationAt_, 1, GL_FALSE, FaceRotation[f].m);
            gl->glUniform3fv(samplesAt_, 7, samples_[f][0].data());
            GLFill(f == 5);
        }
        source.disable();
        gl->glBindFramebuffer(GL_FRAMEBUFFER, 0);
        return true;
    }

    int size_;
    GLuint fbo_ = 0;
    std::array<Samples, 6> samples_;
    bool checked_ = false;
    bool complete_ = false;
    GLint boxAt_ = -1;
    GLint rotationAt_ = -1;
    GLint samplesAt_ = -1;
};

}  // namespace

Environment::Environment(const std::string& path, int size, int levels, bool inEnvironmentsFolder)
    : path_(prefixedPath(path, inEnvironmentsFolder, EnvironmentsFolder)),
      size_(size),
      levels_(levels),
      array_(new TextureCubeArray(size, levels, GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR)) {}

Environment::~Environment() = default;

int Environment::passes(int level) { return int(level * std::log(level + 1.0) + 1.0); }

bool Environment::compile() {
    if (compiled_) return true;
    if (!gl || size_ < 1 || levels_ < 1) {
        glReportError("ERROR Environment::compile " + path_ + " (no context or empty map)");
        return false;
    }
    RepaintsOff repaintsOff;
    std::vector<float> values;
    if (!readPanoramaFaces(path_, size_, values)) {
        glReportError("ERROR Environment::compile " + path_ + " (panorama unreadable)");
        return false;
    }
    // Four-channel float cubes: RGBA32F is colour-renderable everywhere, the
    // three-channel form is not; the faces are still read and written as RGB.
    TextureCube a(size_, GL_RGBA32F, GL_RGB, GL_FLOAT, GL_CLAMP_TO_EDGE, GL_LINEAR);
    TextureCube b(size_, GL_RGBA32F, GL_RGB, GL_FLOAT, GL_CLAMP_TO_EDGE, GL_LINEAR);
    a.setData(reinterpret_cast<const std::uint8_t*>(values.data()), int(values.size() * sizeof(float)));
    if (a.id() == 0 || b.id() == 0) {
        glReportError("ERROR Environment::compile " + path_ + " (work cubes)");
        return false;
    }
    CubeFilter filter(size_);
    BuildProgress progress(levels_);
    TextureCube* source = &a;
    TextureCube* target = &b;
    std::vector<std::uint8_t> layer;
    double s0 = 0.0;
    for (int level = 0; level < levels_; ++level) {
        if (!readFaces(*source, values)) return false;
        const double sL = sum(values);
        if (level == 0) s0 = sL;
        scaledBytes(values, s0, sL, layer);
        if (!array_->set(level, layer)) {
            glReportError("ERROR Environment::compile " + path_ + " (layer upload)");
            return false;
        }
        // The passes after the last layer would never be stored.
        if (level + 1 < levels_) filter.run(passes(level), source, target);
        Shader::id = 0;
        gl->glUseProgram(0);
        progress.set(level);
    }
    compiled_ = 1;
    return true;
}

}  // namespace qel
