#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <numeric>
#include <vector>

#include "gl/environment.h"
#include "gl/environment_cache.h"
#include "gl/gl.h"
#include "gl/glquad.h"
#include "gl/shader.h"
#include "gl/shaders.h"
#include "gl/texture2d.h"
#include "gl/texturecube.h"
#include "gl_util.h"

namespace {

using gltest::Bytes;

// An equirectangular panorama of w x h whose pixels come from a function of
// the pixel's direction (x, y, z), in the panorama's own frame.
QImage panorama(int w, int h, const std::function<QRgb(double, double, double)>& colour) {
    const double pi = 3.14159265358979323846;
    QImage image(w, h, QImage::Format_RGB32);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const double lon = (0.25 - (i + 0.5) / w) * 2.0 * pi, lat = (0.5 - (j + 0.5) / h) * pi;
            image.setPixel(i, j, colour(std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)));
        }
    return image;
}

class EnvironmentBuild : public gltest::GLTest {
protected:
    std::string save(const std::string& name, const QImage& image) { return gltest::savePng(dir_, name, image); }
    std::string uniform(const std::string& name, QRgb c) {
        return save(name, panorama(32, 16, [c](double, double, double) { return c; }));
    }
    // Each level of the environment's array: face f, texel (x, y) at
    // (f n + y) n + x, three bytes each.
    static std::vector<Bytes> levels(qel::Environment& env) {
        const std::size_t count = std::size_t(env.size()) * std::size_t(env.size()) * 3 * 6;
        gl->glBindTexture(GL_TEXTURE_CUBE_MAP_ARRAY, env.array()->name());
        const Bytes all = gltest::readBound(GL_TEXTURE_CUBE_MAP_ARRAY, GL_RGB, count * std::size_t(env.levels()));
        gl->glBindTexture(GL_TEXTURE_CUBE_MAP_ARRAY, 0);
        std::vector<Bytes> out;
        for (auto it = all.begin(); it != all.end(); it += std::ptrdiff_t(count))
            out.emplace_back(it, it + std::ptrdiff_t(count));
        return out;
    }
    QTemporaryDir dir_;
};

}  // namespace

TEST(EnvironmentSetup, KeepsPathAndLevelsAndCountsPassesAsLLogL) {
    qel::Environment relative("sky.jpg", 16, 4, true);
    EXPECT_EQ(relative.path(), "Textures/Environments/sky.jpg");
    EXPECT_FALSE(relative.compiled() || relative.array()->isCompiled());
    EXPECT_EQ(relative.array()->depth(), 4);
    EXPECT_EQ(qel::Environment("/abs/sky.png", 8, 1, false).path(), "/abs/sky.png");
    const int expected[] = {1, 1, 3, 5, 7, 9, 12, 15, 18, 21, 24, 28};
    for (int level = 0; level < 12; ++level) EXPECT_EQ(qel::Environment::passes(level), expected[level]) << level;
    EXPECT_EQ(qel::Environment::passes(63), 263);
    EXPECT_TRUE(qel::Environment::CacheFolder.empty()) << "no cache unless the program sets one";
}

TEST_F(EnvironmentBuild, LayerZeroIsThePanoramaCubeAndFilteringKeepsEveryFaceInPlace) {
    // A colour that follows the direction: a filter that sampled around the
    // wrong direction on any face would move it far. The odd edge puts texel
    // centres exactly on the axes. (Blue stays constant: the panorama's top
    // and bottom rows meet at the cube's exact poles.)
    const std::string path = save("directions.png", panorama(256, 128, [](double x, double y, double) {
                                      return qRgb(int(128 + 100 * x), int(128 + 100 * y), 128);
                                  }));
    qel::Environment env(path, 9, 4, false);
    ASSERT_TRUE(env.compile() && env.compiled());
    Bytes expected;
    ASSERT_TRUE(qel::TextureCube(path, 9, false).getData(expected));
    const std::vector<Bytes> all = levels(env);
    EXPECT_EQ(all[0], expected);
    for (std::size_t level = 1; level < all.size(); ++level)
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_NEAR(all[level][i], expected[i], 6) << "level " << level << " byte " << i;
    EXPECT_TRUE(env.compile()) << "built once";
    EXPECT_EQ(levels(env), all);
    // Level sums of 0 must not be divided by.
    qel::Environment black(uniform("black.png", qRgb(0, 0, 0)), 8, 4, false);
    ASSERT_TRUE(black.compile());
    for (const Bytes& level : levels(black)) EXPECT_EQ(level, Bytes(level.size(), 0));
}

TEST_F(EnvironmentBuild, BrightSpotBlursMoreAtHigherLevelsKeepingItsBrightness) {
    const std::string path = save("spot.png", panorama(128, 64, [](double x, double y, double z) {
                                      return (x + y + 0.5 * z) / 1.5 > 0.995 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
                                  }));
    qel::Environment env(path, 16, 8, false);
    ASSERT_TRUE(env.compile());
    // Peak, lit bytes and total of each level. Each level is scaled back to
    // the brightness of level 0; only the truncation to bytes loses a little.
    std::vector<std::array<double, 3>> s;
    for (const Bytes& l : levels(env))
        s.push_back({double(*std::max_element(l.begin(), l.end())),
                     double(std::count_if(l.begin(), l.end(), [](int b) { return b > 0; })),
                     std::accumulate(l.begin(), l.end(), 0.0)});
    ASSERT_GT(s[0][0], 200);
    for (std::size_t l = 1; l < s.size(); ++l)
        EXPECT_TRUE(s[l][0] <= s[l - 1][0] && s[l][1] >= s[l - 1][1] && std::fabs(s[l][2] - s[0][2]) < 0.2 * s[0][2])
            << "level " << l << ": " << s[l][0] << " " << s[l][1] << " " << s[l][2];
    EXPECT_TRUE(s.back()[0] < s[0][0] && s.back()[1] > 2 * s[0][1]);
}

// A build in shares of one step each (reading, a layer, a pass) makes the
// array that compile makes, and every share leaves the GL state as found;
// an environment dropped half-way frees its work.
TEST_F(EnvironmentBuild, SharesOfABuildMakeTheSameArrayAndKeepTheGLState) {
    const std::string path = save("spot.png", panorama(128, 64, [](double x, double y, double z) {
                                      return (x + y + 0.5 * z) / 1.5 > 0.99 ? qRgb(255, 200, 100) : qRgb(0, 10, 0);
                                  }));
    const int levelCount = 6;
    qel::Environment whole(path, 16, levelCount, false);
    ASSERT_TRUE(whole.compile());
    int steps = 1 + levelCount;
    for (int level = 0; level + 1 < levelCount; ++level) steps += qel::Environment::passes(level);

    qel::Environment shared(path, 16, levelCount, false);
    gl->glViewport(1, 2, 3, 4);
    gl->glEnable(GL_DEPTH_TEST);
    gl->glEnable(GL_BLEND);
    GLint framebuffer = -1;
    gl->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
    int shares = 1;
    for (; shares <= steps && shared.build(0.0) == qel::Environment::Build::Running; ++shares) {
        GLint viewport[4];
        gl->glGetIntegerv(GL_VIEWPORT, viewport);
        GLint bound = -1;
        gl->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
        ASSERT_TRUE(viewport[0] == 1 && viewport[1] == 2 && viewport[2] == 3 && viewport[3] == 4) << shares;
        ASSERT_TRUE(gl->glIsEnabled(GL_DEPTH_TEST) && gl->glIsEnabled(GL_BLEND) && bound == framebuffer) << shares;
        EXPECT_TRUE(!shared.compiled() && shared.building());
    }
    gl->glDisable(GL_DEPTH_TEST);
    gl->glDisable(GL_BLEND);
    EXPECT_EQ(shares, steps);
    ASSERT_TRUE(shared.compiled() && !shared.building());
    EXPECT_EQ(levels(shared), levels(whole));
    EXPECT_EQ(shared.build(0.0), qel::Environment::Build::Done);

    auto dropped = std::make_unique<qel::Environment>(path, 16, levelCount, false);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(dropped->build(0.0), qel::Environment::Build::Running);
    dropped.reset();  // its cubes and framebuffer go with it (checked by the leak sanitizer)
    EXPECT_EQ(qel::Environment(dir_.filePath("missing.png").toStdString(), 8, 2, false).build(0.0),
              qel::Environment::Build::Failed);
}

// A filter pass writes half the source at the texel's direction plus a
// twelfth of each of six ring samples. With the ring pointed at five other
// faces (green) and once back at the centre's face (red), every texel of
// that face becomes (1/2 + 1/12, 5/12, 0); a set centred on the far side is
// taken through the origin and gives the same.
TEST_F(EnvironmentBuild, SkyBoxFilterWeighsTheCentreByAHalfAndEachRingSampleByATwelfth) {
    std::vector<float> faces(6 * 2 * 2 * 3, 0.0f);
    for (std::size_t t = 0; t < 24; ++t) faces[3 * t + (t >= 20 ? 0 : 1)] = 1.0f;  // -Z red, the rest green
    qel::TextureCube box(2, GL_RGBA32F, GL_RGB, GL_FLOAT, GL_CLAMP_TO_EDGE, GL_NEAREST);
    box.setData(reinterpret_cast<const std::uint8_t*>(faces.data()), int(faces.size() * sizeof(float)));
    qel::Texture2D* out = gltest::floatTexture(3, 3, GL_RGBA32F, GL_RGBA, {});
    gltest::Target target(3, 3, {out});
    ASSERT_TRUE(target.ok() && qel::ShaderFilterSkyBox->enable());
    // The -Z face: the quad at z = -1 under a 90-degree projection.
    qel::Shader::setUniform("ProjectionModelViewMatrix",
                            qel::mat4(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -21.0f / 19, -4.0f / 19, 0, 0, -1, 0));
    qel::Shader::setUniform("rotation", qel::mat4());
    for (float side : {1.0f, -1.0f}) {
        const float d[7][3] = {{0, 0, -side}, {side, 0, 0}, {-side, 0, 0}, {0, side, 0},
                               {0, -side, 0}, {0, 0, side}, {0, 0, -side}};
        gl->glUniform3fv(qel::Shader::uniformLocation("samples"), 7, &d[0][0]);
        qel::Shader::setUniform("box", box.unit());
        ASSERT_TRUE(qel::GLFill(true));
        box.disable();
        const std::vector<float> texels = gltest::readFloats(out->name(), 3, 3, GL_RGB);
        const float expected[3] = {0.5f + 1.0f / 12, 5.0f / 12, 0.0f};
        for (std::size_t i = 0; i < texels.size(); ++i)
            EXPECT_NEAR(texels[i], expected[i % 3], 1e-6) << "side " << side << " texel " << i / 3;
    }
}

TEST_F(EnvironmentBuild, UnreadablePanoramaIsReportedAndReplacingReleasesTheArray) {
    qel::Environment missing(dir_.filePath("missing.jpg").toStdString(), 8, 4, false);
    EXPECT_FALSE(missing.compile() || missing.compiled() || missing.array()->isCompiled());
    EXPECT_FALSE(qel::Environment(gltest::saveBytes(dir_, "garbage.png", {1, 2, 3, 4, 5}), 8, 4, false).compile());
    const std::string path = uniform("grey.png", qRgb(90, 90, 90));
    EXPECT_FALSE(qel::Environment(path, 8, 0, false).compile()) << "no level to build";

    std::unique_ptr<qel::Environment> env(new qel::Environment(path, 4, 2, false));
    ASSERT_TRUE(env->compile());
    const GLuint first = env->array()->name();
    ASSERT_TRUE(gl->glIsTexture(first));
    env.reset(new qel::Environment(path, 4, 2, false));
    EXPECT_FALSE(gl->glIsTexture(first));
    env.reset();  // never built: deleted all the same (checked by the leak sanitizer)
}

// A finished build is kept in the cache folder; the next environment of the
// same panorama and settings loads it in its first share, with the same
// layers. Other settings build anew; a damaged file is built again and
// replaced.
TEST_F(EnvironmentBuild, AFinishedBuildIsKeptInTheCacheFolderAndLoadedNextTime) {
    QTemporaryDir cache;
    // The folder goes back to none however the test ends.
    struct CacheIn {
        explicit CacheIn(const QString& folder) { qel::Environment::CacheFolder = folder.toStdString(); }
        ~CacheIn() { qel::Environment::CacheFolder.clear(); }
    } cacheIn(cache.path());
    const std::string path =
        save("spot.png",
             panorama(64, 32, [](double x, double, double) { return x > 0.9 ? qRgb(255, 200, 100) : qRgb(0, 10, 0); }));
    qel::Environment first(path, 8, 3, false);
    ASSERT_TRUE(first.compile());
    EXPECT_FALSE(first.fromCache());
    const QStringList files = QDir(cache.path()).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);

    qel::Environment second(path, 8, 3, false);
    EXPECT_EQ(second.build(0.0), qel::Environment::Build::Done) << "loaded in one share";
    EXPECT_TRUE(second.fromCache());
    EXPECT_EQ(levels(second), levels(first));
    qel::Environment fewer(path, 8, 2, false);
    ASSERT_TRUE(fewer.compile());
    EXPECT_FALSE(fewer.fromCache());

    const QString file = cache.filePath(files[0]);
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.resize(f.size() / 2);
    }
    qel::Environment damaged(path, 8, 3, false);
    ASSERT_TRUE(damaged.compile());
    EXPECT_FALSE(damaged.fromCache());
    EXPECT_EQ(levels(damaged), levels(first));
    qel::Environment again(path, 8, 3, false);
    ASSERT_TRUE(again.compile());
    EXPECT_TRUE(again.fromCache()) << "the damaged file was replaced";
}
