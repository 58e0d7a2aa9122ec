// Images are sized from their headers before they are decoded: a texture's
// decode limit cuts an animation to the frames that fit or refuses it, and
// running out of memory while decoding fails the load instead of ending the
// program.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "gl/texture2d.h"
#include "gl/texture3d.h"
#include "support/sanitizer.h"

using namespace qel;

namespace {

// A GIF of `frames` frames of one black pixel at the corner of a logical
// screen of w x h, written at path.
std::string writeGif(const QTemporaryDir& dir, int w, int h, int frames) {
    std::vector<std::uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a'};
    const auto u16 = [&gif](int v) {
        gif.push_back(std::uint8_t(v & 0xFF));
        gif.push_back(std::uint8_t((v >> 8) & 0xFF));
    };
    u16(w);
    u16(h);
    gif.insert(gif.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});
    for (int k = 0; k < frames; ++k) {
        gif.insert(gif.end(), {0x21, 0xF9, 4, 0, 10, 0, 0, 0, 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0});
        gif.insert(gif.end(), {2, 2, 0x44, 0x01, 0});
    }
    gif.push_back(0x3B);
    const QString path = dir.filePath(QString("%1x%2x%3.gif").arg(w).arg(h).arg(frames));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(reinterpret_cast<const char*>(gif.data()), qint64(gif.size()));
    return path.toStdString();
}

}  // namespace

TEST(TextureBudget, AnAnimationIsCutToTheFramesThatFitOrRefused) {
    QTemporaryDir dir;
    // 2.3 KB: 100 frames of one pixel, each decoded at 4000 x 4000 (64 MB);
    // two frames more are held while one is decoded.
    const std::string large = writeGif(dir, 4000, 4000, 100);
    Texture3D cut(large, false, std::size_t(320) << 20);
    EXPECT_FALSE(cut.loadError());
    EXPECT_TRUE(cut.cutByLimit());
    EXPECT_EQ(cut.size(), (std::vector<int>{4000, 4000, 3}));
    EXPECT_EQ(cut.pixels().size(), std::size_t(3) * 64000000);

    Texture3D refused(large, false, std::size_t(150) << 20);
    EXPECT_TRUE(refused.loadError() && refused.cutByLimit());
    EXPECT_TRUE(refused.pixels().empty());

    // Within the limit every frame is read and nothing is cut.
    const std::string small = writeGif(dir, 16, 8, 5);
    Texture3D whole(small, false, 16 * 8 * 4 * 7);
    EXPECT_FALSE(whole.loadError() || whole.cutByLimit());
    EXPECT_EQ(whole.size(), (std::vector<int>{16, 8, 5}));

    // A still image over the limit (three copies of four bytes a pixel) is
    // refused from its header.
    const QString png = dir.filePath("wide.png");
    QImage(300, 200, QImage::Format_RGB888).save(png);
    Texture2D over(png.toStdString(), false, 300 * 200 * 4 * 3 - 1);
    EXPECT_TRUE(over.loadError() && over.cutByLimit());
    Texture2D fits(png.toStdString(), false, 300 * 200 * 4 * 3);
    EXPECT_FALSE(fits.loadError() || fits.cutByLimit());
}

namespace {

// The bytes of an icon file holding one PNG of w x h whose icon directory
// claims 16 x 16: its header tells less than its first image decodes to.
QByteArray iconWithLargePng(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(0xff20a040u);
    QByteArray png;
    QBuffer pngBuffer(&png);
    pngBuffer.open(QIODevice::WriteOnly);
    image.save(&pngBuffer, "png");
    QByteArray ico;
    const auto u16 = [&ico](unsigned v) {
        ico.append(char(v & 0xFF));
        ico.append(char((v >> 8) & 0xFF));
    };
    u16(0);
    u16(1);
    u16(1);
    ico.append(char(16));
    ico.append(char(16));
    ico.append(char(0));
    ico.append(char(0));
    u16(1);
    u16(32);
    u16(unsigned(png.size()) & 0xFFFF);
    u16(unsigned(png.size()) >> 16);
    u16(22);
    u16(0);
    return ico + png;
}

QByteArray readAll(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

// Each size check refuses on its own: files whose size claim is over the
// limit and whose body ends before any frame are refused as too large (not
// as undecodable) by the header checks, still (a GIF's logical screen) and
// animated (the frame limit), and an icon whose directory tells less than
// its image decodes to by the animated path's first-frame limit. The files
// are kept in the image readers' fuzz corpus.
TEST(TextureBudget, EverySizeCheckRefusesOnItsOwn) {
    QTemporaryDir dir;
    const QString corpus = TL_FUZZ_CORPUS "/image/";
    const std::string screen = (corpus + "screen_16000_no_frame.gif").toStdString();
    EXPECT_EQ(readAll(screen), QByteArray::fromStdString(std::string("GIF89a\x80\x3e\x80\x3e\x80\x00\x00", 13)));
    const std::size_t limit = std::size_t(64) << 20;
    Texture2D still(screen, false, limit);
    EXPECT_TRUE(still.loadError() && still.cutByLimit());
    Texture3D animated(screen, false, limit);
    EXPECT_TRUE(animated.loadError() && animated.cutByLimit());
    // The same file with a screen that fits is undecodable, not too large.
    const std::string small = dir.filePath("small.gif").toStdString();
    {
        QByteArray bytes = readAll(screen);
        bytes[6] = bytes[8] = 100;
        bytes[7] = bytes[9] = 0;
        QFile f(QString::fromStdString(small));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    Texture2D undecodable(small, false, limit);
    EXPECT_TRUE(undecodable.loadError() && !undecodable.cutByLimit());
    Texture3D noFrame(small, false, limit);
    EXPECT_TRUE(noFrame.loadError() && !noFrame.cutByLimit());

    const std::string icon = (corpus + "icon_16_holds_500.ico").toStdString();
    ASSERT_EQ(readAll(icon).left(8), iconWithLargePng(500, 500).left(8));
    // 1 MB decoded against 2 MB with two working copies: not one frame fits.
    Texture3D frame(icon, false, std::size_t(2) << 20);
    EXPECT_TRUE(frame.loadError() && frame.cutByLimit());
    EXPECT_TRUE(frame.pixels().empty());
    Texture3D fits(icon, false, std::size_t(3) * 1000000);
    EXPECT_FALSE(fits.loadError() || fits.cutByLimit());
    EXPECT_EQ(fits.size(), (std::vector<int>{500, 500, 1}));
}

// 9.2 KB: 400 frames of one pixel on an 8000 x 8000 screen (256 MB each),
// read with no limit but the texture's own in a process whose address space
// may grow by 1 GB: the decoding runs out of memory, and the load fails
// without ending the program. The process is this test binary started
// afresh (a fork would inherit Qt's worker threads' locks without the
// threads), which runs this test as the child when told the image's path.
TEST(TextureBudget, RunningOutOfMemoryWhileDecodingFailsTheLoad) {
    // The address sanitizer's allocator ends the process when memory runs
    // out instead of throwing, so running out cannot be watched under it.
    if (tltest::UnderSanitizers) GTEST_SKIP() << "the sanitizer's allocator does not throw when memory runs out";
    if (const char* image = std::getenv("TL_DECODE_IN_LIMITED_SPACE")) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(1) << 30);
        const rlimit space{limit, limit};
        setrlimit(RLIMIT_AS, &space);
        Texture3D texture(image, false);
        _exit(texture.loadError() ? 0 : texture.depth() > 0 ? 1 : 2);
    }
    QTemporaryDir dir;
    const std::string huge = writeGif(dir, 8000, 8000, 400);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TL_DECODE_IN_LIMITED_SPACE", QString::fromStdString(huge));
    child.setProcessEnvironment(env);
    child.start(QFile::symLinkTarget("/proc/self/exe"),
                {"--gtest_filter=TextureBudget.RunningOutOfMemoryWhileDecodingFailsTheLoad"});
    ASSERT_TRUE(child.waitForFinished(120000));
    ASSERT_EQ(child.exitStatus(), QProcess::NormalExit) << "the decoding ended the program";
    EXPECT_EQ(child.exitCode(), 0);
}
