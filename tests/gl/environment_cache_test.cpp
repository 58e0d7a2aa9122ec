// The file of a prefiltered environment: what is written reads back, and a
// file that is cut short, damaged or made from other settings is refused.

#include "gl/environment_cache.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdint>
#include <vector>

using qel::EnvironmentCache;

namespace {

class EnvironmentCacheTest : public ::testing::Test {
protected:
    static constexpr int Size = 3, Levels = 2;
    EnvironmentCacheTest() : key(EnvironmentCache::key("panorama bytes", Size, Levels)) {
        for (std::size_t i = 0; i < layers.size(); ++i) layers[i] = std::uint8_t(i * 7 + 1);
    }
    QString file() const { return EnvironmentCache::fileName(dir.path(), key); }
    // Rewrites the stored file through `change`.
    template <class Change>
    void damage(Change change) {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QByteArray bytes = f.readAll();
        f.close();
        change(bytes);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    bool loads(const EnvironmentCache::Key& k, int size, int levels) {
        out.clear();
        return EnvironmentCache::load(dir.path(), k, size, levels, out);
    }
    QTemporaryDir dir;
    EnvironmentCache::Key key;
    std::vector<std::uint8_t> layers = std::vector<std::uint8_t>(EnvironmentCache::payloadBytes(Size, Levels));
    std::vector<std::uint8_t> out;
};

}  // namespace

TEST_F(EnvironmentCacheTest, WhatIsStoredLoadsBackUnderItsKeyAlone) {
    EXPECT_EQ(layers.size(), std::size_t(Levels * 6 * Size * Size * 3));
    EXPECT_FALSE(loads(key, Size, Levels)) << "nothing stored yet";
    const QString folder = dir.filePath("made/below");
    ASSERT_TRUE(EnvironmentCache::store(folder, key, Size, Levels, layers));
    ASSERT_TRUE(EnvironmentCache::load(folder, key, Size, Levels, out));
    EXPECT_EQ(out, layers);
    // Written through a temporary file: only the finished file is left.
    EXPECT_EQ(QDir(folder).entryList(QDir::Files),
              QStringList(QFileInfo(EnvironmentCache::fileName(folder, key)).fileName()));

    EXPECT_NE(EnvironmentCache::key("other bytes", Size, Levels), key);
    EXPECT_NE(EnvironmentCache::key("panorama bytes", Size + 1, Levels), key);
    EXPECT_NE(EnvironmentCache::key("panorama bytes", Size, Levels + 1), key);
    EXPECT_FALSE(EnvironmentCache::store(folder, key, Size, Levels, std::vector<std::uint8_t>(5))) << "wrong length";
    EXPECT_FALSE(EnvironmentCache::store(QString(), key, Size, Levels, layers)) << "no folder";
    EXPECT_EQ(EnvironmentCache::payloadBytes(0, 4), 0u);
    EXPECT_EQ(EnvironmentCache::payloadBytes(1 << 20, 64), 0u) << "too large";
}

TEST_F(EnvironmentCacheTest, AFileCutShortDamagedOrOfOtherSettingsIsRefused) {
    ASSERT_TRUE(EnvironmentCache::store(dir.path(), key, Size, Levels, layers));
    const QByteArray good = EnvironmentCache::encode(key, Size, Levels, layers);
    const auto decodes = [&](const QByteArray& bytes, int size, int levels) {
        out.assign(1, 99);
        const bool ok = EnvironmentCache::decode(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                 std::size_t(bytes.size()), key, size, levels, out);
        EXPECT_TRUE(ok || out == std::vector<std::uint8_t>(1, 99)) << "a refusal leaves the layers alone";
        return ok;
    };
    EXPECT_TRUE(decodes(good, Size, Levels));
    EXPECT_FALSE(decodes(good, Size, Levels + 1));
    EXPECT_FALSE(decodes(good.left(good.size() - 1), Size, Levels)) << "cut short";
    EXPECT_FALSE(decodes(good + "x", Size, Levels)) << "trailing bytes";
    for (int at : {0, 9, 14, 17, 20, 30, 53, 60, 70, 100, good.size() - 1}) {
        QByteArray flipped = good;
        flipped[at] = char(flipped[at] ^ 0x10);
        EXPECT_FALSE(decodes(flipped, Size, Levels)) << "byte " << at;
    }
    // A file named by the key but written for other bytes.
    const EnvironmentCache::Key other = EnvironmentCache::key("other bytes", Size, Levels);
    EXPECT_FALSE(EnvironmentCache::decode(reinterpret_cast<const std::uint8_t*>(good.constData()),
                                          std::size_t(good.size()), other, Size, Levels, out));

    EXPECT_TRUE(loads(key, Size, Levels));
    damage([](QByteArray& b) { b.chop(10); });
    EXPECT_FALSE(loads(key, Size, Levels));
    damage([&](QByteArray& b) {
        b = good;
        b[b.size() - 5] = char(b[b.size() - 5] + 1);
    });
    EXPECT_FALSE(loads(key, Size, Levels));
    damage([](QByteArray& b) { b.clear(); });
    EXPECT_FALSE(loads(key, Size, Levels));
    EXPECT_TRUE(out.empty());
}

TEST_F(EnvironmentCacheTest, AFolderKeepsTheNewestAndTheLastLoadedEnvironments) {
    std::vector<EnvironmentCache::Key> keys;
    for (int i = 0; i < EnvironmentCache::Kept + 2; ++i) {
        keys.push_back(EnvironmentCache::key(QByteArray::number(i), Size, Levels));
        ASSERT_TRUE(EnvironmentCache::store(dir.path(), keys.back(), Size, Levels, layers));
        // File times must tell the stores apart.
        QFile f(EnvironmentCache::fileName(dir.path(), keys.back()));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.setFileTime(QDateTime::currentDateTime().addSecs(i - 100), QFileDevice::FileModificationTime);
        if (i == 0) continue;
        // The first one is loaded after every store: it stays.
        ASSERT_TRUE(EnvironmentCache::load(dir.path(), keys[0], Size, Levels, out));
    }
    const QStringList left = QDir(dir.path()).entryList(QDir::Files);
    EXPECT_EQ(left.size(), EnvironmentCache::Kept);
    EXPECT_TRUE(QFile::exists(EnvironmentCache::fileName(dir.path(), keys[0])));
    EXPECT_TRUE(QFile::exists(EnvironmentCache::fileName(dir.path(), keys.back())));
    EXPECT_FALSE(QFile::exists(EnvironmentCache::fileName(dir.path(), keys[1])));
}
