#include "gl/environment.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QOpenGLWidget>
#include <QString>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "gl/environment_cache.h"
#include "gl/gl.h"
#include "gl/glatom.h"
#include "gl/glerror.h"
#include "gl/glquad.h"
#include "gl/panorama.h"
#include "gl/progress.h"
#include "gl/shader.h"
#include "gl/shaders.h"
#include "gl/texturecube.h"

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

// The bytes of the panorama file (a resource path too); false when it cannot
// be read.
bool readFile(const std::string& path, QByteArray& bytes) {
    QFile file(QString::fromUtf8(path.c_str()));
    if (path.empty() || !file.open(QIODevice::ReadOnly)) return false;
    bytes = file.readAll();
    return true;
}

QString cacheFolder() { return QString::fromUtf8(Environment::CacheFolder.c_str()); }

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

// Keeps the GL state that the filter passes change (viewport, framebuffer,
// the switches) and puts it back when the object goes: the frames drawn
// between two shares of a build find the state they left.
class PassStateKeeper {
public:
    PassStateKeeper() {
        gl->glGetIntegerv(GL_VIEWPORT, viewport_);
        gl->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer_);
        for (std::size_t i = 0; i < Switches.size(); ++i) on_[i] = gl->glIsEnabled(Switches[i]);
    }
    ~PassStateKeeper() {
        gl->glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
        gl->glBindFramebuffer(GL_FRAMEBUFFER, GLuint(framebuffer_));
        for (std::size_t i = 0; i < Switches.size(); ++i)
            on_[i] ? gl->glEnable(Switches[i]) : gl->glDisable(Switches[i]);
    }
    PassStateKeeper(const PassStateKeeper&) = delete;
    PassStateKeeper& operator=(const PassStateKeeper&) = delete;

private:
    static constexpr std::array<GLenum, 5> Switches = {GL_TEXTURE_CUBE_MAP_SEAMLESS, GL_DEPTH_TEST, GL_CULL_FACE,
                                                       GL_STENCIL_TEST, GL_BLEND};
    GLint viewport_[4] = {0, 0, 0, 0};
    GLint framebuffer_ = 0;
    std::array<GLboolean, 5> on_{};
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

    // GL state of the passes, the program and its per-build uniforms; checks
    // once that a face of the target is a complete colour attachment. False
    // when the program cannot be enabled or the target cannot be drawn into.
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

    // One pass after begin: the six faces of target from source, then the
    // cubes change roles, so that source names the result. False, with
    // nothing drawn, when a cube cannot be used.
    bool pass(TextureCube*& source, TextureCube*& target) {
        if (!draw(*source, *target)) return false;
        std::swap(source, target);
        return true;
    }

private:
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

std::string Environment::CacheFolder;

int Environment::passes(int level) { return int(level * std::log(level + 1.0) + 1.0); }

// The build under way: the two float cubes of the ping-pong filter, the
// level being built and how many of its passes are still to run.
struct Environment::Work {
    Work(int size, int levels)
        : a(size, GL_RGBA32F, GL_RGB, GL_FLOAT, GL_CLAMP_TO_EDGE, GL_LINEAR),
          b(size, GL_RGBA32F, GL_RGB, GL_FLOAT, GL_CLAMP_TO_EDGE, GL_LINEAR),
          filter(size),
          progress(levels) {}

    // Four-channel float cubes: RGBA32F is colour-renderable everywhere, the
    // three-channel form is not; the faces are still read and written as RGB.
    TextureCube a;
    TextureCube b;
    CubeFilter filter;
    BuildProgress progress;
    TextureCube* source = &a;
    TextureCube* target = &b;
    std::vector<float> values;
    std::vector<std::uint8_t> layer;
    double s0 = 0.0;
    int level = 0;
    int passesLeft = -1;     // -1 while the level's layer is not stored yet
    bool filtering = false;  // the passes' GL state is set in this share
    // For the cache folder: the panorama's key and every layer stored so
    // far. A build in which some passes could not run is not kept.
    bool caching = false;
    bool filtered = true;
    EnvironmentCache::Key key{};
    std::vector<std::uint8_t> kept;
};

bool Environment::compile() {
    if (compiled_) return true;
    RepaintsOff repaintsOff;
    return build(-1.0) == Build::Done;
}

Environment::Build Environment::build(double budgetMs) {
    if (compiled_) return Build::Done;
    if (!gl || size_ < 1 || levels_ < 1) {
        glReportError("ERROR Environment::compile " + path_ + " (no context or empty map)");
        return Build::Failed;
    }
    const auto start = std::chrono::steady_clock::now();
    PassStateKeeper keeper;
    Build result = Build::Running;
    for (;;) {
        if (!step()) {
            work_.reset();
            result = Build::Failed;
            break;
        }
        if (compiled_) {
            work_.reset();
            result = Build::Done;
            break;
        }
        if (budgetMs < 0.0) continue;
        // The GPU's share counts too: the time is taken once the passes ran.
        gl->glFinish();
        if (std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() >= budgetMs)
            break;
    }
    if (work_) work_->filtering = false;
    Shader::id = 0;
    gl->glUseProgram(0);
    return result;
}

bool Environment::step() {
    if (!work_) return begin();
    Work& w = *work_;
    if (w.passesLeft < 0) {
        // The level's layer: the source cube scaled to level 0's brightness.
        if (!readFaces(*w.source, w.values)) return false;
        const double sL = sum(w.values);
        if (w.level == 0) w.s0 = sL;
        scaledBytes(w.values, w.s0, sL, w.layer);
        if (!array_->set(w.level, w.layer)) {
            glReportError("ERROR Environment::compile " + path_ + " (layer upload)");
            return false;
        }
        if (w.caching) w.kept.insert(w.kept.end(), w.layer.begin(), w.layer.end());
        // The passes after the last layer would never be stored.
        w.passesLeft = w.level + 1 < levels_ ? passes(w.level) : 0;
    } else if (w.passesLeft > 0) {
        // A level whose passes cannot run keeps its layer for the next one.
        if (!w.filtering) w.filtering = w.filter.begin(w.target);
        const bool drawn = w.filtering && w.filter.pass(w.source, w.target);
        if (!drawn) w.filtered = false;
        w.passesLeft = drawn ? w.passesLeft - 1 : 0;
    }
    if (w.passesLeft == 0) {
        Shader::id = 0;
        gl->glUseProgram(0);
        w.filtering = false;
        w.progress.set(w.level);
        w.passesLeft = -1;
        if (++w.level == levels_) {
            compiled_ = 1;
            if (w.caching && w.filtered) EnvironmentCache::store(cacheFolder(), w.key, size_, levels_, w.kept);
        }
    }
    return true;
}

bool Environment::begin() {
    QByteArray panorama;
    const bool caching = !CacheFolder.empty() && readFile(path_, panorama);
    EnvironmentCache::Key key{};
    if (caching) {
        key = EnvironmentCache::key(panorama, size_, levels_);
        if (loadCached(key)) return true;
    }
    std::vector<float> faces;
    if (!readPanoramaFaces(path_, size_, faces)) {
        glReportError("ERROR Environment::compile " + path_ + " (panorama unreadable)");
        return false;
    }
    work_ = std::make_unique<Work>(size_, levels_);
    work_->a.setData(reinterpret_cast<const std::uint8_t*>(faces.data()), int(faces.size() * sizeof(float)));
    if (work_->a.id() == 0 || work_->b.id() == 0) {
        glReportError("ERROR Environment::compile " + path_ + " (work cubes)");
        return false;
    }
    if (caching) {
        work_->caching = true;
        work_->key = key;
        work_->kept.reserve(EnvironmentCache::payloadBytes(size_, levels_));
    }
    return true;
}

bool Environment::loadCached(const EnvironmentCache::Key& key) {
    std::vector<std::uint8_t> layers;
    if (!EnvironmentCache::load(cacheFolder(), key, size_, levels_, layers)) return false;
    const std::size_t bytes = layers.size() / std::size_t(levels_);
    std::vector<std::uint8_t> layer;
    // A layer the GPU refuses leaves the rest to a build, which stores every
    // layer again.
    for (int level = 0; level < levels_; ++level) {
        const auto first = layers.begin() + std::ptrdiff_t(std::size_t(level) * bytes);
        layer.assign(first, first + std::ptrdiff_t(bytes));
        if (!array_->set(level, layer)) return false;
    }
    compiled_ = 1;
    fromCache_ = true;
    return true;
}

}  // namespace qel
