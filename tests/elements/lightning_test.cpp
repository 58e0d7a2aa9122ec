// Lightning bolts without a GL context: the noise displacement against
// lookups worked out by hand, the matrix that pins the bolt's ends, sharing
// between tools, the record through the element factory and through scene
// files, and the shared bolt tube's life across views.

#include "elements/lightning.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "curves/curve.h"
#include "elements/tube.h"
#include "gl/texture2d.h"
#include "scene/buffer.h"
#include "scene/element_factory.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/glview.h"

using namespace qel;

namespace {

using Table = std::vector<std::vector<vec3>>;

// Puts a table in place of the noise's processor copy for the test's life.
class NoiseTable {
public:
    explicit NoiseTable(Table t) {
        std::swap(saved_, Texture2D::Rand);
        Texture2D::Rand = std::move(t);
    }
    ~NoiseTable() { std::swap(saved_, Texture2D::Rand); }
    NoiseTable(const NoiseTable&) = delete;
    NoiseTable& operator=(const NoiseTable&) = delete;

private:
    Table saved_;
};

// 2 rows x 4 columns; entry (r, c) = (10 r + c, -(10 r + c), 1).
Table smallTable() {
    Table t(2, std::vector<vec3>(4));
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c) t[r][c] = vec3(float(10 * r + c), -float(10 * r + c), 1.0f);
    return t;
}

void expectNear(const vec3& a, const vec3& b, double tolerance = 1e-5) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// The body of a lightning record with free fields, cut to `size` bytes or
// followed by bytes up to it.
buffer payload(vec2 amplitude, vec2 scale, std::uint32_t octaves, std::size_t size = 20) {
    buffer b;
    b.writeVec2(amplitude);
    b.writeVec2(scale);
    b.writeU32(octaves);
    b.resize(size);
    return b;
}

ElementFactory::TResult readBody(const buffer& body, std::unique_ptr<Element>& out) {
    buffer b(body.bytes());
    ElementFactory factory;
    Element* e = nullptr;
    const ElementFactory::TResult r = factory.read(Lightning::RecordTag, b, e);
    out.reset(e);
    return r;
}

const float Inf = std::numeric_limits<float>::infinity();
const float NaN = std::numeric_limits<float>::quiet_NaN();

}  // namespace

// Two octaves on the 4 x 2 table at u = 0.3, v = 0.5 (phase 0): octave 0
// reads x = 0.7 (columns 0, 1), y = 0.5 (rows 0, 1), giving 5.7; octave 1
// reads x = 1.9 (columns 1, 2), y = 1.5 (rows 1, 0), giving 6.9; the sum is
// 5.7 + 0.5 x 6.9 = 9.15 in x, -9.15 in y and 1.5 in z. At time 1e9 the rows
// and weights wrap to the same; at 1e30 the row coordinate is a whole
// number of rows (row 0 alone): 0.7 + 0.5 x 1.9 = 1.65.
TEST(Lightning, DisplacementIsTheBilinearLookupOfTheShaderAlsoAtHugeTimes) {
    const NoiseTable table(smallTable());
    Lightning l(vec2(0.1f, 0.01f), vec2(1, 1), 2);
    l.phase = vec2(0, 0);
    const vec3 p(0.3f, 0.2f, -0.1f);
    const struct {
        float time;
        vec3 delta;
    } cases[] = {{0.5f, {9.15f, -9.15f, 1.5f}}, {1e9f, {9.15f, -9.15f, 1.5f}}, {1e30f, {1.65f, -1.65f, 1.5f}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.time);
        expectNear(l.displaced_position(p, c.time), p + 0.1f * c.delta);
    }
    // No octave, no table, or a time that is no number: no displacement.
    for (float time : {NaN, Inf}) EXPECT_EQ(l.displaced_position(p, time), p);
    l.octaves = 0;
    EXPECT_EQ(l.displaced_position(p, 0.5f), p);
    const NoiseTable empty(Table{});
    l.octaves = 2;
    EXPECT_EQ(l.displaced_position(p, 0.5f), p);
}

TEST(Lightning, TheEndMatrixPinsTheDisplacedEndsWhateverTheNoise) {
    std::srand(5);
    const struct {
        vec2 amplitude, scale;
        int octaves;
        float time;
    } cases[] = {{{0.15f, 0.007f}, {0.005f, 1e-5f}, 6, 1234.0f},
                 {{0.8f, 0.01f}, {3.0f, 0.2f}, 16, 77.0f},
                 {{2.0f, 0.1f}, {0.5f, 1.0f}, 3, 4e9f}};
    for (const auto& c : cases) {
        const Lightning l(c.amplitude, c.scale, c.octaves);
        const mat4 N = l.endMatrix(c.time);
        expectNear(N.transformPoint(l.displaced_position(vec3(0, 0, 0), c.time)), vec3(0, 0, 0));
        expectNear(N.transformPoint(l.displaced_position(vec3(1, 0, 0), c.time)), vec3(0, 0, 1));
    }
    // Without octaves the bolt is straight: its whole centre line lies on
    // the z axis, end to end.
    const Lightning straight(vec2(0.5f, 0.01f), vec2(1, 1), 0);
    const mat4 N = straight.endMatrix(10.0f);
    for (float x : {0.0f, 0.25f, 1.0f}) expectNear(N.transformPoint(vec3(x, 0, 0)), vec3(0, 0, x));
    // Both ends folded onto one point: on a one-row table whose columns 0
    // and 1 displace the ends by 0 and by -1 in x, the map of the
    // undisplaced bolt.
    const NoiseTable table(Table{{vec3(0, 0, 0), vec3(-1, 0, 0)}});
    Lightning folded(vec2(1, 0.01f), vec2(0.5f, 0), 1);
    folded.phase = vec2(0.25f, 0);
    EXPECT_EQ(folded.displaced_position(vec3(0, 0, 0), 0), folded.displaced_position(vec3(1, 0, 0), 0));
    const mat4 F = folded.endMatrix(0);
    expectNear(F.transformPoint(vec3(1, 0, 0)), vec3(0, 0, 1));
    expectNear(F.transformPoint(vec3(0, 0, 0)), vec3(0, 0, 0));
}

TEST(Lightning, ToolsTakingALightningInUseGetTheirOwn) {
    std::srand(11);
    auto* l = new Lightning(vec2(0.15f, 0.007f), vec2(0.005f, 1e-5f), 40);
    EXPECT_TRUE(l->type == Element::TType::Lightning && l->octaves == Lightning::MaxOctaves && l->refCount == 0);
    EXPECT_EQ(Lightning(vec2(), vec2(), -3).octaves, 0);
    // The first holder keeps it; the second gets a lightning of its own
    // with the same values and another phase.
    Tool first(l, mat4::Identity(), pbr(), false);
    Tool second(l, mat4::Identity(), pbr(), false);
    ASSERT_EQ(first.element, l);
    auto* other = dynamic_cast<Lightning*>(second.element);
    ASSERT_TRUE(other && other != l);
    EXPECT_TRUE(l->refCount == 1 && other->refCount == 1);
    EXPECT_TRUE(other->amplitude == l->amplitude && other->scale == l->scale && other->octaves == l->octaves);
    EXPECT_NE(other->phase, l->phase);
    // A lightning held twice (as a file's tools share it) unshares into a
    // new one of count 0, with its own phase; the tool that asks takes it.
    Tool third(nullptr, mat4::Identity(), pbr(), false);
    third.element = l->Element::copy(1);
    Element* fresh = l->unshare();
    ASSERT_NE(fresh, l);
    EXPECT_TRUE(fresh->refCount == 0 && l->refCount == 2);
    EXPECT_NE(static_cast<Lightning*>(fresh)->phase, l->phase);
    Element::drop(fresh, 0);
    ASSERT_TRUE(third.makeUniqueElement());
    EXPECT_TRUE(third.element != l && third.element->refCount == 1 && l->refCount == 1);
}

TEST(Lightning, RecordsReadBackTheirValuesAndDrawANewPhase) {
    std::srand(3);
    Lightning l(vec2(0.15f, 0.007f), vec2(0.005f, 1e-5f), 6);
    buffer file;
    l.DataWrite(file);
    ASSERT_EQ(file.size(), 28);
    EXPECT_TRUE(file.readU32() == Lightning::RecordTag && file.readU32() == 20u);
    buffer body(std::vector<std::uint8_t>(file.bytes().begin() + 8, file.bytes().end()));
    std::unique_ptr<Element> e;
    ASSERT_EQ(readBody(body, e), ElementFactory::Built);
    auto* read = dynamic_cast<Lightning*>(e.get());
    ASSERT_TRUE(read && read->refCount == 0 && read->status == 0);
    EXPECT_TRUE(read->amplitude == l.amplitude && read->scale == l.scale && read->octaves == 6);
    EXPECT_NE(read->phase, l.phase);

    // Damaged values are made harmless; a short payload is refused, a long
    // one read for its first 20 bytes.
    const struct {
        buffer body;
        ElementFactory::TResult result;
        vec2 amplitude, scale;
        int octaves;
    } cases[] = {
        {payload({1, 2}, {3, 4}, 0xFFFFFFFFu), ElementFactory::Built, {1, 2}, {3, 4}, 16},
        {payload({1, 2}, {3, 4}, 17), ElementFactory::Built, {1, 2}, {3, 4}, 16},
        {payload({NaN, 2}, {Inf, -Inf}, 1), ElementFactory::Built, {0, 2}, {0, 0}, 1},
        {payload({1, 2}, {3, 4}, 5, 29), ElementFactory::Built, {1, 2}, {3, 4}, 5},
        {payload({1, 2}, {3, 4}, 5, 19), ElementFactory::Refused, {}, {}, -1},
        {payload({1, 2}, {3, 4}, 5, 0), ElementFactory::Refused, {}, {}, -2},
    };
    for (const auto& c : cases) {
        std::unique_ptr<Element> got;
        ASSERT_EQ(readBody(c.body, got), c.result) << c.octaves;
        if (c.result == ElementFactory::Refused) {
            EXPECT_FALSE(got);
            continue;
        }
        const auto* g = static_cast<Lightning*>(got.get());
        EXPECT_TRUE(g->amplitude == c.amplitude && g->scale == c.scale && g->octaves == c.octaves) << c.octaves;
    }
}

// The reader holds every element while it joins the tools: a lightning
// shown by a tool must come out of it alive with one reference, and several
// tools naming one lightning keep sharing it.
TEST(Lightning, ScenesHoldingLightningsLoadWithTheToolsCountsAndSaveAgain) {
    QTemporaryDir dir;
    const std::string first = dir.filePath("first.tl").toStdString(), again = dir.filePath("again.tl").toStdString();
    {
        Scene s;
        const auto place = [&s](Element* e) {
            auto* t = new Tool(e, mat4::Identity(), pbr(), false);
            t->flags |= Tool::FlagObject;
            return s.objectsRoot->addChild(t, false);
        };
        auto* l = new Lightning(vec2(0.15f, 0.007f), vec2(0.005f, 1e-5f), 6);
        place(l);
        place(nullptr)->element = l->Element::copy(1);
        place(new Lightning(vec2(1, 1), vec2(1, 1), 2));
        ASSERT_TRUE(s.save(first));
    }
    Scene loaded(first, false);
    ASSERT_EQ(Scene::Error, 0);
    ASSERT_EQ(loaded.objectsRoot->children.size(), 3u);
    const auto& tools = loaded.objectsRoot->children;
    auto* shared = dynamic_cast<Lightning*>(tools[0]->element);
    auto* alone = dynamic_cast<Lightning*>(tools[2]->element);
    ASSERT_TRUE(shared && alone && tools[1]->element == shared);
    EXPECT_TRUE(shared->refCount == 2 && alone->refCount == 1);
    EXPECT_TRUE(shared->octaves == 6 && alone->octaves == 2 && alone->amplitude == vec2(1, 1));
    EXPECT_TRUE(loaded.save(again));
    Scene reloaded(again, false);
    ASSERT_EQ(reloaded.objectsRoot->children.size(), 3u);
    EXPECT_EQ(reloaded.objectsRoot->children[2]->element->refCount, 1);
}

TEST(Lightning, TheViewsDestructorFreesTheBoltAndTheNextUseMakesItAgain) {
    Tube* bolt = Lightning::bolt();
    ASSERT_TRUE(bolt && bolt == Lightning::Bolt && bolt->refCount == 1);
    EXPECT_TRUE(bolt->path && bolt->profile);
    EXPECT_EQ(bolt->path->vertices.size(), 101u);
    EXPECT_EQ(Lightning::bolt(), bolt);
    delete new GLView(8, 8);
    EXPECT_EQ(Lightning::Bolt, nullptr);
    ASSERT_NE(Lightning::bolt(), nullptr);
    Lightning::freeBolt();
}
