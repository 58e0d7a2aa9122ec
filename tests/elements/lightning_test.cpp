// Lightning bolts without a GL context: the noise displacement against
// lookups worked out by hand, the matrix that pins the bolt's ends, sharing
// between tools, and the record through the factory and scene files.

#include "elements/lightning.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <limits>
#include <memory>
#include <utility>

#include "files/element_factory.h"
#include "gl/buffer.h"
#include "gl/texture2d.h"
#include "scene/scene.h"
#include "scene/tool.h"

using namespace qel;

namespace {

using Table = std::vector<std::vector<vec3>>;
const float Inf = std::numeric_limits<float>::infinity(), NaN = std::numeric_limits<float>::quiet_NaN();

// Puts a table in place of the noise's processor copy while it lives.
struct NoiseTable {
    Table saved;
    explicit NoiseTable(Table t) : saved(std::exchange(Texture2D::Rand, std::move(t))) {}
    ~NoiseTable() { Texture2D::Rand = std::move(saved); }
};

void expectNear(const vec3& a, const vec3& b) { EXPECT_LT(length(a - b), 1e-5) << a.x << " " << b.x; }

// A lightning payload cut to, or padded up to, `size` bytes.
buffer payload(vec2 amplitude, vec2 scale, std::uint32_t octaves, std::size_t size = 20) {
    buffer b;
    b.writeVec2(amplitude);
    b.writeVec2(scale);
    b.writeU32(octaves);
    b.resize(size);
    return b;
}

Lightning* readBody(const buffer& body, std::unique_ptr<Element>& out) {
    buffer b(body.bytes());
    Element* e = nullptr;
    if (ElementFactory().read(Lightning::RecordTag, b, e) == ElementFactory::Built) out.reset(e);
    return dynamic_cast<Lightning*>(e);
}

}  // namespace

// On the 4 x 2 table (r, c) -> (10r + c, -(10r + c), 1) at u = 0.3, v = 0.5:
// octave 0 reads x = 0.7, y = 0.5 (columns 0, 1, rows 0, 1): 5.7; octave 1
// reads x = 1.9, y = 1.5 (columns 1, 2, rows 1, 0): 6.9; sum 5.7 + 0.5 x 6.9.
// At time 1e9 rows and weights wrap to the same; at 1e30 the row coordinate
// is whole (row 0 alone): 0.7 + 0.5 x 1.9.
TEST(Lightning, DisplacementIsTheShadersBilinearLookupAlsoAtHugeTimes) {
    Table t(2, std::vector<vec3>(4));
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c) t[r][c] = vec3(float(10 * r + c), -float(10 * r + c), 1.0f);
    const NoiseTable table(t);
    Lightning l(vec2(0.1f, 0.01f), vec2(1, 1), 2);
    l.phase = vec2(0, 0);
    const vec3 p(0.3f, 0.2f, -0.1f);
    for (const auto& c : {std::pair<float, float>{0.5f, 9.15f}, {1e9f, 9.15f}, {1e30f, 1.65f}})
        expectNear(l.displaced_position(p, c.first), p + 0.1f * vec3(c.second, -c.second, 1.5f));
    for (float time : {NaN, Inf}) EXPECT_EQ(l.displaced_position(p, time), p);
    const NoiseTable empty(Table{});
    EXPECT_EQ(l.displaced_position(p, 0.5f), p);
}

TEST(Lightning, TheEndMatrixPinsTheDisplacedEndsWhateverTheNoise) {
    std::srand(5);
    const Lightning usual(vec2(0.15f, 0.007f), vec2(0.005f, 1e-5f), 6), wild(vec2(2, 0.1f), vec2(3, 1), 16);
    for (const Lightning* l : {&usual, &wild}) {
        const mat4 N = l->endMatrix(4e9f);
        expectNear(N.transformPoint(l->displaced_position(vec3(0, 0, 0), 4e9f)), vec3(0, 0, 0));
        expectNear(N.transformPoint(l->displaced_position(vec3(1, 0, 0), 4e9f)), vec3(0, 0, 1));
    }
    // Without octaves the centre line is straight along z, end to end.
    const mat4 N = Lightning(vec2(0.5f, 0.01f), vec2(1, 1), 0).endMatrix(10.0f);
    for (float x : {0.0f, 0.25f, 1.0f}) expectNear(N.transformPoint(vec3(x, 0, 0)), vec3(0, 0, x));
    // Ends folded onto one point (columns 0 and 1 displace them by 0 and
    // -1): the map of the undisplaced bolt.
    const NoiseTable table(Table{{vec3(0, 0, 0), vec3(-1, 0, 0)}});
    Lightning folded(vec2(1, 0.01f), vec2(0.5f, 0), 1);
    folded.phase = vec2(0.25f, 0);
    ASSERT_EQ(folded.displaced_position(vec3(0, 0, 0), 0), folded.displaced_position(vec3(1, 0, 0), 0));
    EXPECT_EQ(folded.endMatrix(0), mat4::RotationScale(vec3(1, 0, 0), vec3(0, 0, 1)));
}

TEST(Lightning, ToolsTakingALightningInUseGetTheirOwn) {
    std::srand(11);
    auto* l = new Lightning(vec2(0.15f, 0.007f), vec2(0.005f, 1e-5f), 6);
    Tool first(l, mat4::Identity(), pbr(), false), second(l, mat4::Identity(), pbr(), false);
    auto* other = dynamic_cast<Lightning*>(second.element);
    ASSERT_TRUE(first.element == l && other && other != l);
    EXPECT_TRUE(l->refCount == 1 && other->refCount == 1 && other->octaves == 6 && other->scale == l->scale);
    EXPECT_NE(other->phase, l->phase);
    // Held twice (as a file's tools share it): unshare gives a new one of
    // count 0 and its own phase, which the asking tool takes.
    Tool third(nullptr, mat4::Identity(), pbr(), false);
    third.element = l->Element::copy(1);
    std::unique_ptr<Element> fresh(l->unshare());
    EXPECT_TRUE(fresh.get() != l && fresh->refCount == 0 && l->refCount == 2);
    EXPECT_NE(static_cast<Lightning*>(fresh.get())->phase, l->phase);
    ASSERT_TRUE(third.makeUniqueElement());
    EXPECT_TRUE(third.element != l && third.element->refCount == 1 && l->refCount == 1);
}

TEST(Lightning, RecordsReadBackTheirValuesHarmlessAndANewPhase) {
    std::srand(3);
    Lightning l(vec2(0.15f, 0.007f), vec2(0.005f, 1e-5f), 40);
    EXPECT_EQ(l.octaves, 16);
    buffer file;
    l.DataWrite(file);
    ASSERT_TRUE(file.size() == 28 && file.readU32() == Lightning::RecordTag && file.readU32() == 20u);
    std::unique_ptr<Element> e;
    const Lightning* read = readBody(buffer(file.data() + 8, 20), e);
    ASSERT_TRUE(read && read->amplitude == l.amplitude && read->scale == l.scale && read->octaves == 16);
    EXPECT_NE(read->phase, l.phase);
    // Huge octaves, non-finite values, a long payload; short ones are refused.
    const struct {
        buffer body;
        vec2 amplitude, scale;
        int octaves;
    } cases[] = {{payload({1, 2}, {3, 4}, 0xFFFFFFFFu), {1, 2}, {3, 4}, 16},
                 {payload({NaN, 2}, {Inf, -Inf}, 1), {0, 2}, {0, 0}, 1},
                 {payload({1, 2}, {3, 4}, 5, 29), {1, 2}, {3, 4}, 5},
                 {payload({1, 2}, {3, 4}, 5, 19), {}, {}, -1}};
    for (const auto& c : cases) {
        const Lightning* g = readBody(c.body, e);
        ASSERT_EQ(g != nullptr, c.octaves >= 0) << c.body.size();
        EXPECT_TRUE(!g || (g->amplitude == c.amplitude && g->scale == c.scale && g->octaves == c.octaves));
    }
}

// The reader holds every element while it joins the tools: a lightning
// shown by tools must come out alive with one reference per tool.
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
    const auto& tools = loaded.objectsRoot->children;
    ASSERT_EQ(tools.size(), 3u);
    auto *shared = dynamic_cast<Lightning*>(tools[0]->element), *alone = dynamic_cast<Lightning*>(tools[2]->element);
    ASSERT_TRUE(shared && alone && tools[1]->element == shared);
    EXPECT_TRUE(shared->refCount == 2 && alone->refCount == 1 && shared->octaves == 6 && alone->octaves == 2);
    ASSERT_TRUE(loaded.save(again));
    Scene reloaded(again, false);
    ASSERT_EQ(reloaded.objectsRoot->children.size(), 3u);
    EXPECT_EQ(reloaded.objectsRoot->children[2]->element->refCount, 1);
}

// A bolt moves with time only when it is displaced and its noise scrolls in
// time; the scene's tick reports a moving bolt among its objects, not one
// kept in the tool library.
TEST(Lightning, TheSceneTickReportsABoltThatMovesWithTime) {
    Scene s;
    EXPECT_FALSE(s.timer(1.0)) << "empty scene";
    const auto place = [&s](Element* e) {
        auto* t = new Tool(e, mat4::Identity(), pbr(), false);
        t->flags |= Tool::FlagObject;
        s.objectsRoot->addChild(t, false);
    };
    place(new Lightning(vec2(0, 0.01f), vec2(1, 1), 4));
    place(new Lightning(vec2(0.1f, 0.01f), vec2(1, 0), 4));
    place(new Lightning(vec2(0.1f, 0.01f), vec2(1, 1), 0));
    EXPECT_FALSE(s.timer(2.0)) << "still bolts";
    s.addTool(new Tool(new Lightning(vec2(0.1f, 0.01f), vec2(1, 1), 4), mat4::Identity(), pbr(), false));
    EXPECT_FALSE(s.timer(3.0)) << "a library template";
    place(new Lightning(vec2(0.1f, 0.01f), vec2(1, 1), 4));
    EXPECT_TRUE(s.timer(4.0));
    EXPECT_EQ(s.objectsRoot->children.back()->time, 4.0);
}
