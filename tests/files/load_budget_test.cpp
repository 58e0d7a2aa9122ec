// What a file may cost to open: small files that ask for millions of curve
// samples or array copies open within the load's fixed share of memory (the
// processor time they take is held to its goal by bench/first_frame_bench),
// over-budget files load with the excess left out and say
// so, and the budgets nest.

#include "scene/load_budget.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <QTemporaryDir>

#include "curves/curve.h"
#include "curves/ucurve.h"
#include "elements/swept_fill.h"
#include "elements/tube.h"
#include "files/slow_scenes_util.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "tools/array.h"

using namespace qel;
using slowscenes::Bytes;

using slowscenes::heldSamples;

namespace {

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

#ifdef NDEBUG
// Opens the file in a child process whose address space may grow by the
// load's share and 64 MB for the program's own working room at most; true
// when it opened there.
::testing::AssertionResult opensWithinItsShare(const Bytes& bytes) {
    const pid_t child = fork();
    if (child == 0) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit =
            rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + rlim_t(LoadBudget::bytesPerLoad()) + (rlim_t(64) << 20);
        const rlimit space{limit, limit};
        setrlimit(RLIMIT_AS, &space);
        // Nothing may leave the child but its exit code: running out of
        // memory ends it here, not in the test runner's handlers.
        try {
            Scene scene;
            _exit(scene.loadFromMemory(bytes) ? 0 : 3);
        } catch (...) {
            _exit(4);
        }
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return ::testing::AssertionFailure() << "no child";
    if (WIFSIGNALED(status)) return ::testing::AssertionFailure() << "ended by signal " << WTERMSIG(status);
    const int code = WEXITSTATUS(status);
    if (code == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << (code == 4 ? "over its share" : "refused");
}
#endif

}  // namespace

TEST(LoadBudget, SmallFilesOpenWithinTheLoadsShare) {
    std::vector<slowscenes::Case> cases = slowscenes::keptCases();
    // The kept inputs are what the generator makes.
    for (const slowscenes::Case& c : cases)
        EXPECT_EQ(readFile(std::string(TL_FUZZ_CORPUS "/scene_load/") + c.name), c.bytes) << c.name;
    for (const slowscenes::Case& c : slowscenes::largestCases()) cases.push_back(c);
    for (const slowscenes::Case& c : cases) {
        ASSERT_LT(c.bytes.size(), 10240u) << c.name;
        {
            Scene scene;
            ASSERT_TRUE(scene.loadFromMemory(c.bytes)) << c.name;
            EXPECT_LE(heldSamples(scene), LoadBudget::SamplesPerLoad) << c.name;
            // The copies within the load's allowance, every other entry a
            // tool of the file (a few bytes each at least).
            EXPECT_LE(std::size_t(scene.objects.size()), LoadBudget::CopiesPerLoad + c.bytes.size()) << c.name;
        }
#ifdef NDEBUG
        // Optimised builds only: the sanitizers' own cost is not the file's.
        EXPECT_TRUE(opensWithinItsShare(c.bytes)) << c.name;
#endif
    }
}

TEST(LoadBudget, FilesOverTheirBudgetLoadWithTheExcessLeftOut) {
    const struct {
        const char* name;
        Bytes bytes;
        bool leftOut;
    } cases[] = {
        {"one thin curve", slowscenes::longResampledCurve(), false},
        {"40 tubes resampling two curves: their samples fit, their surfaces do not",
         slowscenes::tubesOnSharedResampledCurves(40), true},
        {"a base of 100 chains: more than one resampling may make", slowscenes::manyChainsResampled(100), true},
        {"arrays nested three deep: more copies than a load lists", slowscenes::deepNestedArrays(3), true},
    };
    // A load's share, with a tenth of a million copies (the full count takes
    // seconds to list under the sanitizers).
    const auto shareWithFewerCopies = [] {
        return std::make_unique<LoadBudget>(LoadBudget::SamplesPerLoad, 100000, LoadBudget::bytesPerLoad());
    };
    for (const auto& c : cases) {
        Scene scene;
        const auto budget = shareWithFewerCopies();
        ASSERT_TRUE(scene.loadFromMemory(c.bytes)) << c.name;
        EXPECT_EQ(budget->leftOut(), c.leftOut) << c.name;
    }
    // The copies a load's budget left out stay out when the lists are built
    // again, and the lists count them.
    {
        Scene scene;
        const auto budget = shareWithFewerCopies();
        ASSERT_TRUE(scene.loadFromMemory(slowscenes::deepNestedArrays(3)));
        const int listed = scene.objects.size();
        const std::size_t leftOut = scene.objects.copiesLeftOut;
        EXPECT_LE(std::size_t(listed), std::size_t(100000 + 10240));
        EXPECT_GT(leftOut, 0u);
        scene.toList();
        EXPECT_TRUE(scene.objects.size() == listed && scene.objects.copiesLeftOut == leftOut);
    }
    // Three curves of 1001 samples against a budget of 1500: the first
    // whole, the second cut short, the third empty.
    Scene scene;
    LoadBudget budget(1500);
    ASSERT_TRUE(scene.loadFromMemory(slowscenes::manyResampledCurves(3)));
    EXPECT_TRUE(budget.leftOut());
    EXPECT_EQ(budget.samplesLeft(), 0u);
    std::vector<int> counts;
    for (Tool* t : scene.objectsRoot->children) counts.push_back(static_cast<UCurve*>(t->element)->vertexCount());
    EXPECT_EQ(counts, (std::vector<int>{1001, 499, 0}));
}

TEST(LoadBudget, NestedBudgetsEachLimitAndPay) {
    EXPECT_EQ(LoadBudget::armed(), nullptr);
    EXPECT_EQ(LoadBudget::samplesAllowed(7), 7u);
    LoadBudget::spendSamples(5, true);  // nothing armed: nothing to pay or remember
    {
        LoadBudget outer(1000);
        {
            LoadBudget inner(100);
            EXPECT_EQ(LoadBudget::armed(), &inner);
            EXPECT_EQ(LoadBudget::samplesAllowed(500), 100u);
            LoadBudget::spendSamples(80, false);
            EXPECT_TRUE(inner.samplesLeft() == 20 && outer.samplesLeft() == 920);
            LoadBudget::noteLeftOut();
            EXPECT_TRUE(inner.leftOut() && outer.leftOut());
        }
        EXPECT_EQ(LoadBudget::armed(), &outer);
        EXPECT_EQ(LoadBudget::samplesAllowed(5000), 920u);
        // Copies likewise, from the fixed allowance of a budget given none.
        LoadBudget copies(0, 50, std::numeric_limits<std::size_t>::max());
        EXPECT_EQ(LoadBudget::copiesAllowed(80), 50u);
        LoadBudget::spendCopies(20, false);
        EXPECT_TRUE(copies.copiesLeft() == 30 && outer.copiesLeft() == LoadBudget::CopiesPerLoad - 20);
    }
    EXPECT_EQ(LoadBudget::armed(), nullptr);
    // A load's share is fixed by the machine, not by the file: at most a
    // gibibyte and an eighth of the memory. Samples and copies pay their
    // bytes from it.
    const std::size_t share = LoadBudget::bytesPerLoad();
    EXPECT_LE(share, std::size_t(1) << 30);
    EXPECT_LE(share, std::size_t(sysconf(_SC_PHYS_PAGES)) * std::size_t(sysconf(_SC_PAGESIZE)) / 8);
    LoadBudget load;
    EXPECT_EQ(load.bytesLeft(), share);
    {
        LoadBudget small(1000, 1000, 100 * LoadBudget::BytesPerSample);
        EXPECT_EQ(LoadBudget::samplesAllowed(500), 100u);
        LoadBudget::spendSamples(60, false);
        EXPECT_EQ(LoadBudget::copiesAllowed(1000), 40 * LoadBudget::BytesPerSample / LoadBudget::BytesPerCopy);
    }
    EXPECT_EQ(load.bytesLeft(), share - 60 * LoadBudget::BytesPerSample);
}

namespace {

// A tube as the program makes one on resampled curves: a path of
// `pathSamples` samples along a gently bent line and a section of
// `sectionSamples` samples around a circle, each a resampled curve over a
// plain one of radius `radius` (the samples are spaced by it).
Tube* tubeOnResampledCurves(int index, int pathSamples, int sectionSamples) {
    const float pathRadius = 0.05f, length = pathRadius * float(pathSamples - 1);
    std::vector<vec3> points;
    for (int k = 0; k <= 8; ++k)
        points.push_back(vec3(float(index), 0.1f * float(k % 2), length * float(k) / 8.0f));
    Curve* path = new Curve(points, std::vector<float>(points.size(), pathRadius), {}, false);
    Curve* ring = Curve::Circle(16, false);
    const float sectionRadius = float(2.0 * 3.14159265358979 / sectionSamples);
    for (CurveVertex& v : ring->vertices) v.radius = sectionRadius;
    return new Tube(new UCurve(path, Curve::UniformCurve), new UCurve(ring, Curve::UniformCurve));
}

std::uint64_t surfaceVertices(const Tube& tube) {
    std::uint64_t vertices = 0, bytes = 0;
    sweptSurfaceCost(SweptShape{SweptKind::Tube, tube.path, tube.profile}, vertices, bytes);
    return vertices;
}

Bytes savedBytes(Scene& scene, const QTemporaryDir& dir, const char* name) {
    const std::string path = dir.filePath(name).toStdString();
    return scene.save(path) ? readFile(path) : Bytes();
}

}  // namespace

// A scene the program made within a load's share reopens whole, whatever
// its file's size: forty tubes on resampled curves of 1,000 x 32 samples
// (a quarter of a gigabyte of surface in a file of about a hundred
// kilobytes) reopen with every surface, and save again byte for byte.
TEST(LoadBudget, AUsersOwnSceneWithinTheShareReopensWhole) {
    QTemporaryDir dir;
    Scene made;
    for (int i = 0; i < 40; ++i) {
        Tool* t = new Tool(tubeOnResampledCurves(i, 1000, 32), mat4::Translation(float(i), 0, 0), pbr(), false);
        t->flags |= Tool::FlagObject;
        made.objectsRoot->addChild(t, false);
    }
    auto* first = static_cast<Tube*>(made.objectsRoot->children[0]->element);
    ASSERT_EQ(first->path->vertexCount(), 1000);
    ASSERT_EQ(first->profile->vertexCount(), 32);
    const std::uint64_t surface = 40 * surfaceVertices(*first) * SweptBuildBytesPerVertex;
    ASSERT_GT(surface, std::uint64_t(200) << 20);
    ASSERT_LT(surface, LoadBudget::bytesPerLoad());
    const Bytes saved = savedBytes(made, dir, "tubes.tl");
    ASSERT_FALSE(saved.empty());
    ASSERT_LT(saved.size(), std::size_t(200) << 10);

    Scene reopened;
    LoadBudget budget;
    ASSERT_TRUE(reopened.load(dir.filePath("tubes.tl").toStdString()));
    EXPECT_FALSE(budget.leftOut());
    ASSERT_EQ(reopened.objectsRoot->children.size(), 40u);
    for (Tool* t : reopened.objectsRoot->children) {
        auto* tube = dynamic_cast<Tube*>(t->element);
        ASSERT_NE(tube, nullptr);
        EXPECT_EQ(tube->vbo.mostVertices, SweptMaxVertices);
        EXPECT_EQ(surfaceVertices(*tube), surfaceVertices(*first));
    }
    EXPECT_EQ(savedBytes(reopened, dir, "again.tl"), saved);
}

// The copies an array left out are counted whatever their number: seven
// arrays nested on resampled curves of 1,001 samples ask for some 10^21
// copies, and the count stops at the largest it can hold instead of
// wrapping.
TEST(LoadBudget, CopiesLeftOutAreCountedWithoutWrapping) {
    Scene scene;
    LoadBudget budget(LoadBudget::SamplesPerLoad, 1000, LoadBudget::bytesPerLoad());
    ASSERT_TRUE(scene.loadFromMemory(slowscenes::deepNestedArrays(7)));
    EXPECT_LE(scene.objects.size(), 1000 + 7);
    EXPECT_EQ(scene.objects.copiesLeftOut, std::numeric_limits<std::size_t>::max());
    EXPECT_EQ(budget.whatLeftOut().copies, std::numeric_limits<std::uint64_t>::max());
}

// The counts of several arrays add up without wrapping either: two objects,
// each of seven nested arrays whose copies left out reach the largest count,
// leave out no fewer copies than one of them.
TEST(LoadBudget, CopiesLeftOutBySeveralArraysAddUpWithoutWrapping) {
    Scene scene;
    LoadBudget budget(LoadBudget::SamplesPerLoad, 1000, LoadBudget::bytesPerLoad());
    ASSERT_TRUE(scene.loadFromMemory(slowscenes::sideBySideDeepNestedArrays(2, 7)));
    EXPECT_EQ(scene.objects.copiesLeftOut, std::numeric_limits<std::size_t>::max());
    EXPECT_EQ(budget.whatLeftOut().copies, std::numeric_limits<std::uint64_t>::max());
}
