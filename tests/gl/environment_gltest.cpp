#include "gl/environment.h"
#include "gl/gl.h"
#include "gl/texture.h"
#include "gl/texturecube.h"
#include "gl_util.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

static void initIcons() { Q_INIT_RESOURCE(icons); }

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr double Pi = 3.14159265358979323846;

// An equirectangular panorama of w x h whose pixels come from a function of
// the pixel's direction (x, y, z), in the panorama's own frame.
QImage panorama(int w, int h, const std::function<QRgb(double, double, double)>& colour) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            const double lon = (0.25 - (i + 0.5) / w) * 2.0 * Pi;
            const double lat = (0.5 - (j + 0.5) / h) * Pi;
            image.setPixel(i, j, colour(std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)));
        }
    }
    return image;
}

QImage uniform(int w, int h, QRgb c) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(c);
    return image;
}

// Every layer of the environment's array: layer L, face f, texel (x, y) at
// ((6 L + f) n + y) n + x, three bytes each.
Bytes layers(qel::Environment& env) {
    const int n = env.size();
    Bytes bytes(std::size_t(n) * std::size_t(n) * 3 * 6 * std::size_t(env.levels()));
    gl->glBindTexture(GL_TEXTURE_CUBE_MAP_ARRAY, env.array()->name());
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl->glGetTexImage(GL_TEXTURE_CUBE_MAP_ARRAY, 0, GL_RGB, GL_UNSIGNED_BYTE, bytes.data());
    gl->glBindTexture(GL_TEXTURE_CUBE_MAP_ARRAY, 0);
    return bytes;
}

Bytes layer(const Bytes& all, const qel::Environment& env, int level) {
    const std::size_t count = std::size_t(env.size()) * std::size_t(env.size()) * 3 * 6;
    return Bytes(all.begin() + std::ptrdiff_t(count * std::size_t(level)),
                 all.begin() + std::ptrdiff_t(count * std::size_t(level + 1)));
}

int maxAbsDifference(const Bytes& a, const Bytes& b) {
    int worst = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}

class EnvironmentBuild : public testing::Test {
protected:
    void SetUp() override {
        gltest::useShaderResources();
        ASSERT_TRUE(dir_.isValid());
        ASSERT_EQ(qel::Texture::GLActiveTexture, 0);
    }
    void TearDown() override {
        EXPECT_EQ(qel::Texture::GLActiveTexture, 0) << "the build gives its texture units back";
        EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
    }
    std::string save(const std::string& name, const QImage& image) { return gltest::savePng(dir_, name, image); }

    QTemporaryDir dir_;
};

}  // namespace

TEST(EnvironmentSetup, KeepsPathSizeAndLevelsWithoutGLWork) {
    qel::Environment relative("sky.jpg", 16, 4, true);
    EXPECT_EQ(relative.path(), "Textures/Environments/sky.jpg");
    EXPECT_EQ(relative.size(), 16);
    EXPECT_EQ(relative.levels(), 4);
    EXPECT_FALSE(relative.compiled());
    ASSERT_NE(relative.array(), nullptr);
    EXPECT_FALSE(relative.array()->isCompiled());
    EXPECT_EQ(relative.array()->depth(), 4);
    EXPECT_EQ(qel::Environment(":/Environments/env_default.jpg", 128, 64, true).path(),
              ":/Environments/env_default.jpg");
    EXPECT_EQ(qel::Environment("/abs/sky.png", 8, 1, false).path(), "/abs/sky.png");
}

TEST(EnvironmentSetup, PassCountsGrowAsLLogL) {
    const int expected[] = {1, 1, 3, 5, 7, 9, 12, 15, 18, 21, 24, 28};
    for (int level = 0; level < 12; ++level) EXPECT_EQ(qel::Environment::passes(level), expected[level]) << level;
    EXPECT_EQ(qel::Environment::passes(63), 263);
    int total = 0;
    for (int level = 0; level < 64; ++level) total += qel::Environment::passes(level);
    EXPECT_EQ(total, 7450);
}

TEST_F(EnvironmentBuild, UniformPanoramaGivesTheSameColourAtEveryLevel) {
    qel::Environment env(save("grey.png", uniform(64, 32, qRgb(200, 100, 50))), 8, 6, false);
    ASSERT_TRUE(env.compile());
    EXPECT_TRUE(env.compiled());
    const Bytes all = layers(env);
    for (int level = 0; level < env.levels(); ++level) {
        const Bytes bytes = layer(all, env, level);
        for (std::size_t i = 0; i < bytes.size(); i += 3) {
            ASSERT_NEAR(bytes[i], 200, 1) << "level " << level << " texel " << i / 3;
            ASSERT_NEAR(bytes[i + 1], 100, 1) << "level " << level << " texel " << i / 3;
            ASSERT_NEAR(bytes[i + 2], 50, 1) << "level " << level << " texel " << i / 3;
        }
    }
    // Built once: a second compile changes nothing.
    EXPECT_TRUE(env.compile());
    EXPECT_EQ(layers(env), all);
}

TEST_F(EnvironmentBuild, LayerZeroIsThePanoramaCubeAndFilteringKeepsEveryFaceInPlace) {
    // A colour that follows the direction: a filter that sampled around the
    // wrong direction on any face would move it far. The odd edge puts texel
    // centres exactly on the axes, where the sample sets of two faces lie
    // opposite their texel. (Blue stays constant: the panorama's top and
    // bottom rows meet at the cube's exact poles.)
    const std::string path = save("directions.png", panorama(256, 128, [](double x, double y, double) {
                                      return qRgb(int(128 + 100 * x), int(128 + 100 * y), 128);
                                  }));
    qel::Environment env(path, 9, 4, false);
    ASSERT_TRUE(env.compile());
    const Bytes all = layers(env);

    qel::TextureCube cube(path, 9, false);
    Bytes expected;
    ASSERT_TRUE(cube.getData(expected));
    EXPECT_EQ(layer(all, env, 0), expected);
    for (int level = 1; level < env.levels(); ++level)
        EXPECT_LE(maxAbsDifference(layer(all, env, level), expected), 6) << "level " << level;
}

TEST_F(EnvironmentBuild, BrightSpotBlursMoreAtHigherLevels) {
    const std::string path = save("spot.png", panorama(128, 64, [](double x, double y, double z) {
                                      // A small cap around (1, 1, 0.5).
                                      const double d = (x + y + 0.5 * z) / 1.5;
                                      return d > 0.995 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
                                  }));
    qel::Environment env(path, 16, 8, false);
    ASSERT_TRUE(env.compile());
    const Bytes all = layers(env);
    std::vector<int> peak, lit;
    std::vector<long> total;
    for (int level = 0; level < env.levels(); ++level) {
        const Bytes bytes = layer(all, env, level);
        peak.push_back(*std::max_element(bytes.begin(), bytes.end()));
        lit.push_back(int(std::count_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b > 0; })));
        long s = 0;
        for (std::uint8_t b : bytes) s += b;
        total.push_back(s);
    }
    ASSERT_GT(peak[0], 200);
    for (int level = 1; level < env.levels(); ++level) {
        EXPECT_LE(peak[std::size_t(level)], peak[std::size_t(level) - 1]) << "level " << level;
        EXPECT_GE(lit[std::size_t(level)], lit[std::size_t(level) - 1]) << "level " << level;
        // Each level is scaled back to the brightness of level 0; only the
        // truncation to bytes loses a little.
        EXPECT_NEAR(double(total[std::size_t(level)]), double(total[0]), 0.2 * double(total[0])) << "level " << level;
    }
    EXPECT_LT(peak.back(), peak[0]);
    EXPECT_GT(lit.back(), 2 * lit[0]);
}

TEST_F(EnvironmentBuild, BlackPanoramaStaysBlack) {
    // Level sums of 0 must not be divided by.
    qel::Environment env(save("black.png", uniform(32, 16, qRgb(0, 0, 0))), 8, 4, false);
    ASSERT_TRUE(env.compile());
    const Bytes all = layers(env);
    EXPECT_TRUE(std::all_of(all.begin(), all.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST_F(EnvironmentBuild, UnreadablePanoramaIsReportedAndBuildsNothing) {
    qel::Environment missing(dir_.filePath("missing.jpg").toStdString(), 8, 4, false);
    EXPECT_FALSE(missing.compile());
    EXPECT_FALSE(missing.compiled());
    EXPECT_FALSE(missing.array()->isCompiled());
    // Not a picture at all.
    qel::Environment garbage(gltest::saveBytes(dir_, "garbage.png", {1, 2, 3, 4, 5}), 8, 4, false);
    EXPECT_FALSE(garbage.compile());
    // Nothing to build.
    qel::Environment empty(save("empty.png", uniform(8, 4, qRgb(1, 2, 3))), 8, 0, false);
    EXPECT_FALSE(empty.compile());
}

TEST_F(EnvironmentBuild, ReplacingAnEnvironmentReleasesItsArray) {
    const std::string path = save("grey.png", uniform(16, 8, qRgb(90, 90, 90)));
    std::unique_ptr<qel::Environment> env(new qel::Environment(path, 4, 2, false));
    ASSERT_TRUE(env->compile());
    const GLuint first = env->array()->name();
    ASSERT_TRUE(gl->glIsTexture(first));
    env.reset(new qel::Environment(path, 4, 2, false));
    EXPECT_FALSE(gl->glIsTexture(first));
    // Never built: deleted all the same (checked by the leak sanitizer).
    env.reset(new qel::Environment(path, 4, 2, false));
    env.reset();
}

// The built-in environment at its default sizes, timed. Run with
// --gtest_also_run_disabled_tests.
TEST_F(EnvironmentBuild, DISABLED_DefaultEnvironmentBuildTime) {
    initIcons();
    qel::Environment env(":/Environments/env_default.jpg", 128, 64, true);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(env.compile());
    gl->glFinish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("default environment build: %.2f s\n", seconds);
}
