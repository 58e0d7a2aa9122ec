// Sprites and animated sprites without a GL context: the quad's placement,
// the frame of an animation, records through the element factory and through
// scene files, images that cannot be read, and the butterfly.

#include "elements/sprite.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "elements/animated_sprite.h"
#include "elements/butterfly.h"
#include "elements/sprite_common.h"
#include "elements/sprite_util.h"
#include "files/element_factory.h"
#include "gl/buffer.h"
#include "gl/image_file.h"
#include "gl/resources.h"
#include "gl/texture2d.h"
#include "gl/texture3d.h"
#include "scene/load_budget.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool.h"

using namespace qel;

namespace {

constexpr std::uint32_t Tex2 = 0xC0000020u, Tex3 = 0xC0000030u;

// A texture record with free lengths.
buffer textureRecord(std::uint32_t tag, const std::string& path, std::uint32_t length, std::uint32_t n) {
    buffer b;
    b.writeU32(tag);
    b.writeU32(length);
    b.writeU32(n);
    b.writeBytes(path.data(), path.size());
    return b;
}

// The factory's reading of one element record's body.
ElementFactory::TResult readBody(std::uint32_t tag, const buffer& body, std::unique_ptr<Element>& out) {
    buffer b(body.bytes());
    ElementFactory factory;
    Element* e = nullptr;
    const ElementFactory::TResult r = factory.read(tag, b, e);
    out.reset(e);
    return r;
}

// The corners of the unit quad placed by the element's local matrix.
void expectQuad(const Element& e, float w, float h) {
    const mat4 m = e.localMatrix();
    const vec3 lo = m.transformPoint(vec3(0, 0, 0)), hi = m.transformPoint(vec3(1, 1, 0));
    EXPECT_NEAR(lo.x, -w / 2, 1e-3);
    EXPECT_NEAR(lo.y, -h / 2, 1e-3);
    EXPECT_NEAR(hi.x, w / 2, 1e-3);
    EXPECT_NEAR(hi.y, h / 2, 1e-3);
    EXPECT_TRUE(lo.z == 0.0f && hi.z == 0.0f);
}

class SpriteTest : public testing::Test {
protected:
    std::string png(const std::string& name, int w, int h) {
        return spritetest::save(dir, name, spritetest::filled(w, h, Qt::red));
    }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(SpriteTest, TheQuadHasTheImagesAspectAndADiagonalOfOne) {
    Sprite wide(png("wide.png", 200, 100), false), square(png("square.png", 64, 64), false);
    AnimatedSprite animated(spritetest::saveGif(dir, "wide.gif", 20, 10, 2, 10), false);
    ASSERT_TRUE(wide.hasImage() && square.hasImage() && animated.hasImage());
    expectQuad(wide, 0.894f, 0.447f);
    expectQuad(square, 0.707f, 0.707f);
    expectQuad(animated, 0.894f, 0.447f);
    EXPECT_TRUE(wide.isType(Element::TType::Sprite) && animated.isType(Element::TType::AnimatedSprite));
    EXPECT_TRUE(wide.centre == vec3(0, 0, 0) && wide.size() == 1.0f);
    // Without an image the quad is empty, never infinite.
    Sprite none;
    EXPECT_TRUE(none.dimensions().x == 0.0f && none.localMatrix().isFinite());
}

TEST_F(SpriteTest, AnimationsStepAtTheFrameDelayAndLoop) {
    AnimatedSprite tenFrames(spritetest::saveGif(dir, "ten.gif", 2, 2, 10, 10), false);
    ASSERT_TRUE(tenFrames.hasImage());
    ASSERT_TRUE(tenFrames.texture()->depth() == 10 && tenFrames.texture()->frameDelay() == 100);
    const struct {
        double time;
        int frame;
    } cases[] = {{0, 0},   {299.9, 2}, {300, 3},   {399.9, 3}, {400, 4},
                 {999, 9}, {1000, 0},  {12345, 3}, {-1, 9},    {-1000, 0}};
    for (const auto& c : cases) EXPECT_EQ(tenFrames.frameAt(c.time), c.frame) << c.time;
    EXPECT_EQ(tenFrames.frameAt(std::nan("")), 0);
    // A delay of 0 or less (a GIF that gives none; the image reader may
    // already stand in for it) steps at 100 ms; every time gives a valid frame.
    for (int delay : {0, -5}) {
        EXPECT_EQ(sprite::animationLayer(250, delay, 3), 2);
        for (double t : {-1e30, -7.0, 1e30, 1e300}) {
            const int f = sprite::animationLayer(t, delay, 3);
            EXPECT_TRUE(f >= 0 && f < 3) << t;
        }
    }
}

TEST_F(SpriteTest, RecordsRoundTripThroughTheFactory) {
    const std::string picture = png("picture.png", 4, 2);
    const std::string gif = spritetest::saveGif(dir, "anim.gif", 2, 2, 2, 10);
    Sprite sprite(picture, false);
    AnimatedSprite animated(gif, false);
    Sprite empty;
    for (Element* e :
         {static_cast<Element*>(&sprite), static_cast<Element*>(&animated), static_cast<Element*>(&empty)}) {
        buffer b;
        e->DataWrite(b);
        std::uint32_t tag = 0, length = 0;
        ASSERT_TRUE(b.readRecordHeader(tag, length));
        const std::string path = e == &sprite ? picture : e == &animated ? gif : "";
        EXPECT_EQ(length, path.empty() ? 0u : 12u + path.size());
        buffer body(std::vector<std::uint8_t>(b.bytes().begin() + 8, b.bytes().end()));
        std::unique_ptr<Element> copy;
        ASSERT_EQ(readBody(tag, body, copy), ElementFactory::Built);
        ASSERT_EQ(copy->type, e->type);
        if (auto* s = dynamic_cast<Sprite*>(copy.get())) {
            EXPECT_EQ(s->texture() ? s->texture()->path() : "", path);
            EXPECT_EQ(s->hasImage(), !path.empty());
        } else {
            auto* a = static_cast<AnimatedSprite*>(copy.get());
            EXPECT_TRUE(a->texture()->path() == gif && a->hasImage() && a->texture()->depth() == 2);
        }
    }
}

TEST_F(SpriteTest, DamagedRecordsAreRefused) {
    const std::string p = "a.png";
    const std::uint32_t n = std::uint32_t(p.size());
    const struct {
        const char* what;
        std::uint32_t tag;
        buffer body;
    } cases[] = {
        {"short", Sprite::RecordTag, textureRecord(Tex2, "", 4, 0)},
        {"texture tag of the other kind", Sprite::RecordTag, textureRecord(Tex3, p, n + 4, n)},
        {"texture tag of the other kind", AnimatedSprite::RecordTag, textureRecord(Tex2, p, n + 4, n)},
        {"record length", Sprite::RecordTag, textureRecord(Tex2, p, n + 5, n)},
        {"path length too long", AnimatedSprite::RecordTag, textureRecord(Tex3, p, n + 4, n + 1)},
        {"path length too short", Sprite::RecordTag, textureRecord(Tex2, p, n + 4, n - 1)},
        {"huge path length", Sprite::RecordTag, textureRecord(Tex2, p, n + 4, 0xFFFFFFF0u)},
    };
    for (const auto& c : cases) {
        buffer body(c.body.bytes());
        if (std::string(c.what) == "short") body.resize(7);
        std::unique_ptr<Element> e;
        EXPECT_EQ(readBody(c.tag, body, e), ElementFactory::Refused) << c.what;
        EXPECT_EQ(e, nullptr);
    }
}

TEST_F(SpriteTest, ASceneKeepsASpriteWhoseImageWentAwayAndSavesItsPathAgain) {
    const std::string picture = png("picture.png", 4, 2);
    const std::string gif = spritetest::saveGif(dir, "anim.gif", 2, 2, 2, 10);
    const std::string scenePath = dir.filePath("s.tl").toStdString();
    {
        Scene s;
        for (Element* e : {static_cast<Element*>(new Sprite(picture, false)),
                           static_cast<Element*>(new AnimatedSprite(gif, false))}) {
            Tool* t = s.addTool(new Tool(e, mat4::Identity(), pbr(), false));
            s.addObject(t, mat4::Translation(1, 0, 0), Scene::HangTop, true);
        }
        ASSERT_TRUE(s.save(scenePath));
    }
    const auto images = [](Scene& s) {
        int kept = 0, shown = 0;
        for (Tool* t : s.objectsRoot->children) {
            if (auto* sp = dynamic_cast<Sprite*>(t->element)) kept += 1, shown += sp->hasImage();
            if (auto* an = dynamic_cast<AnimatedSprite*>(t->element)) kept += 1, shown += an->hasImage();
        }
        return std::make_pair(kept, shown);
    };
    ASSERT_TRUE(QFile::rename(QString::fromStdString(picture), dir.filePath("moved.png")));
    ASSERT_TRUE(QFile::rename(QString::fromStdString(gif), dir.filePath("moved.gif")));
    {
        Scene s(scenePath, false);
        ASSERT_FALSE(Scene::Error);
        EXPECT_EQ(images(s), std::make_pair(2, 0));
        ASSERT_TRUE(s.save(scenePath));
    }
    ASSERT_TRUE(QFile::rename(dir.filePath("moved.png"), QString::fromStdString(picture)));
    ASSERT_TRUE(QFile::rename(dir.filePath("moved.gif"), QString::fromStdString(gif)));
    Scene back(scenePath, false);
    EXPECT_EQ(images(back), std::make_pair(2, 2));
}

// One file is shared however the sprites of a load spell its path: through
// "." and "..", a doubled slash, a link to it or a second name of it. Each
// sprite keeps the path as its record gives it and saves it so. A path that
// names no file is shared only where it is spelled alike, as before.
TEST_F(SpriteTest, EverySpellingOfOneImageFileSharesItsTextureAndSavesAsWritten) {
    const std::string picture = png("picture.png", 300, 200);
    const std::string gif = spritetest::saveGif(dir, "anim.gif", 30, 20, 3, 10);
    const std::string d = dir.path().toStdString();
    ASSERT_TRUE(QDir(dir.path()).mkpath("sub"));
    ASSERT_EQ(symlink(picture.c_str(), (d + "/link.png").c_str()), 0);
    ASSERT_EQ(symlink("sub", (d + "/sublink").c_str()), 0);
    ASSERT_EQ(link(picture.c_str(), (d + "/second.png").c_str()), 0);
    const std::vector<std::string> stills = {picture,
                                             d + "/./picture.png",
                                             d + "/sub/../picture.png",
                                             d + "//picture.png",
                                             d + "/sublink/../picture.png",
                                             d + "/link.png",
                                             d + "/second.png",
                                             d + "/gone.png",
                                             d + "/./gone.png"};
    const std::vector<std::string> animations = {gif, d + "/./././anim.gif", d + "/sub/../anim.gif"};
    const auto saved = [&](const std::vector<std::string>& still, const std::vector<std::string>& animated) {
        Scene s;
        const auto show = [&s](Element* e) {
            Tool* t = new Tool(e, mat4::Identity(), pbr(), false);
            t->flags |= Tool::FlagObject;
            s.objectsRoot->addChild(t, false);
        };
        for (const std::string& p : still) show(new Sprite(p, false));
        for (const std::string& p : animated) show(new AnimatedSprite(p, false));
        const std::string path = dir.filePath(QString("spelled%1.tl").arg(still.size())).toStdString();
        EXPECT_TRUE(s.save(path));
        return path;
    };
    const std::string one = saved({picture}, {gif}), spelled = saved(stills, animations);
    const auto spent = [](const std::string& path, Scene& s) {
        LoadBudget budget;
        EXPECT_TRUE(s.load(path));
        return LoadBudget::bytesPerLoad() - budget.bytesLeft();
    };
    Scene single, many;
    const std::size_t cost = spent(one, single);
    ASSERT_GT(cost, std::size_t(300 * 200 * 3));
    EXPECT_EQ(spent(spelled, many), cost);
    std::vector<std::string> paths;
    std::set<const Texture*> shown, missing;
    for (Tool* t : many.objectsRoot->children) {
        if (auto* sp = dynamic_cast<Sprite*>(t->element)) {
            paths.push_back(sp->imagePath());
            (sp->hasImage() ? shown : missing).insert(sp->texture());
        } else if (auto* an = dynamic_cast<AnimatedSprite*>(t->element)) {
            paths.push_back(an->imagePath());
            (an->hasImage() ? shown : missing).insert(an->texture());
        }
    }
    std::vector<std::string> written = stills;
    written.insert(written.end(), animations.begin(), animations.end());
    EXPECT_EQ(paths, written);
    EXPECT_EQ(shown.size(), 2u) << "one texture for the picture and one for the animation";
    EXPECT_EQ(missing.size(), 2u) << "the two spellings of a missing file";
    // Saved again, the file is the one read.
    const std::string again = dir.filePath("again.tl").toStdString();
    ASSERT_TRUE(many.save(again));
    QFile a(QString::fromStdString(spelled)), b(QString::fromStdString(again));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_TRUE(a.readAll() == b.readAll());
}

TEST_F(SpriteTest, LoadReportsWhetherTheImageCouldBeRead) {
    const std::string picture = png("picture.png", 4, 2);
    ASSERT_TRUE(QDir(dir.path()).mkpath("folder.png"));
    const std::string fifo = dir.filePath("pipe.png").toStdString();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Sprite s;
    AnimatedSprite a;
    // Every image is read from what ImageFile::open hands out: the paths
    // asked for, and whether a device was handed out for each.
    static std::vector<std::pair<std::string, bool>> handed;
    handed.clear();
    const ImageFile::Opener regular = ImageFile::open;
    ImageFile::open = [](const std::string& path) {
        std::unique_ptr<QIODevice> device = ImageFile::openRegular(path);
        handed.emplace_back(path, device != nullptr);
        return device;
    };
    for (const std::string& bad : {dir.filePath("missing.png").toStdString(), dir.filePath("folder.png").toStdString(),
                                   fifo, std::string("/dev/zero"), std::string()}) {
        EXPECT_FALSE(s.load(bad)) << bad;
        EXPECT_FALSE(a.load(bad)) << bad;
        EXPECT_TRUE(!s.hasImage() && s.texture()->path() == bad) << bad;
    }
    ImageFile::open = regular;
    // Neither the pipe nor the device was read: both were asked for and
    // refused, no device handed out. (The pipe has no writer: opening it
    // to read would not have returned.)
    for (const std::string& unread : {fifo, std::string("/dev/zero")})
        EXPECT_EQ(std::count(handed.begin(), handed.end(), std::make_pair(unread, false)), 2) << unread;
    for (const auto& h : handed) EXPECT_FALSE(h.second) << h.first;
    EXPECT_TRUE(s.load(picture) && s.hasImage());
    EXPECT_TRUE(a.load(picture) && a.hasImage() && a.texture()->depth() == 1);
    // init drops the image but not the holders' references.
    s.copy(1);
    s.init();
    EXPECT_TRUE(s.texture() == nullptr && s.refCount == 1 && s.isType(Element::TType::Sprite));
    // Compiled-in images are read; their paths never get the folder.
    initIconResources();
    EXPECT_TRUE(Sprite(":/Icons/empty.png", true).hasImage());
    EXPECT_TRUE(Sprite(":/Icons/empty.png", true).texture()->path() == ":/Icons/empty.png");
    EXPECT_EQ(Sprite("x.png", true).texture()->path(), "Textures/x.png");
}

TEST_F(SpriteTest, AButterflyHasTwoWingsInOneRingTheSecondMirrored) {
    auto* a = new Sprite(png("wing.png", 200, 100), false);
    auto* b = new Sprite(png("other.png", 100, 100), false);
    Butterfly butterfly(a, b, 0.0f);
    ASSERT_EQ(butterfly.children.size(), 2u);
    Tool* left = butterfly.children[0];
    Tool* right = butterfly.children[1];
    EXPECT_TRUE(butterfly.element == nullptr && left->element == a && right->element == b);
    EXPECT_TRUE(left->nextInstance == right && right->nextInstance == left);
    EXPECT_TRUE(left->rotationAxis == vec3(0, 1, 0) && right->rotationAxis == vec3(0, 1, 0));
    // Each wing's inner edge lies on the body's axis.
    const vec3 l = left->matrix().transformPoint(a->localMatrix().transformPoint(vec3(1, 0.5f, 0)));
    const vec3 r = right->matrix().transformPoint(b->localMatrix().transformPoint(vec3(1, 0.5f, 0)));
    EXPECT_NEAR(l.x, 0.0f, 1e-5);
    EXPECT_NEAR(r.x, 0.0f, 1e-5);
    EXPECT_LT(right->matrix().block().determinant(), 0.0f);
    Butterfly same(a, nullptr, 1.0f);
    EXPECT_EQ(same.children[1]->element, a);
}

// The sprites of one load that name one image share its texture: the image
// is decoded and paid for once, so that twenty sprites of it cost the
// load's share what one costs, and a share that holds the image three times
// holds them all. A later load reads the file again.
TEST_F(SpriteTest, TheSpritesOfOneLoadNamingOneImageShareItsTexture) {
    const std::string picture = png("picture.png", 300, 200);
    const std::string gif = spritetest::saveGif(dir, "anim.gif", 30, 20, 3, 10);
    const auto fileOf = [&](int count) {
        const std::string path = dir.filePath(QString("sprites%1.tl").arg(count)).toStdString();
        Scene s;
        for (int i = 0; i < 2 * count; ++i) {
            Element* e = i % 2 ? static_cast<Element*>(new AnimatedSprite(gif, false))
                               : static_cast<Element*>(new Sprite(picture, false));
            Tool* t = new Tool(e, mat4::Translation(float(i), 0, 0), pbr(), false);
            t->flags |= Tool::FlagObject;
            s.objectsRoot->addChild(t, false);
        }
        EXPECT_TRUE(s.save(path));
        return path;
    };
    const std::string one = fileOf(1), twenty = fileOf(20);
    const auto textures = [](const Scene& s) {
        std::set<const Texture*> still, animated;
        for (Tool* t : s.objectsRoot->children) {
            if (auto* sp = dynamic_cast<Sprite*>(t->element)) still.insert(sp->hasImage() ? sp->texture() : nullptr);
            if (auto* an = dynamic_cast<AnimatedSprite*>(t->element))
                animated.insert(an->hasImage() ? an->texture() : nullptr);
        }
        return std::make_pair(still, animated);
    };
    const auto spent = [](const std::string& path, Scene& s, std::size_t share) {
        LoadBudget budget(LoadBudget::SamplesPerLoad, LoadBudget::CopiesPerLoad, share);
        EXPECT_TRUE(s.load(path));
        EXPECT_FALSE(budget.leftOut()) << path;
        return share - budget.bytesLeft();
    };
    Scene single, many;
    const std::size_t cost = spent(one, single, LoadBudget::bytesPerLoad());
    ASSERT_GT(cost, std::size_t(300 * 200 * 3));
    EXPECT_EQ(spent(twenty, many, LoadBudget::bytesPerLoad()), cost);
    const auto shared = textures(many);
    ASSERT_EQ(many.objectsRoot->children.size(), 40u);
    EXPECT_EQ(shared.first.size(), 1u);
    EXPECT_EQ(shared.second.size(), 1u);
    EXPECT_EQ(shared.first.count(nullptr) + shared.second.count(nullptr), 0u);
    EXPECT_EQ(shared.first.count(*textures(single).first.begin()), 0u) << "each load reads the image anew";

    Scene tight;
    EXPECT_EQ(spent(twenty, tight, 3 * cost), cost);
    EXPECT_EQ(textures(tight).first.count(nullptr) + textures(tight).second.count(nullptr), 0u);
}
