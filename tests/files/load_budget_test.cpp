// What a file may cost to open: small files that ask for millions of curve
// samples or array copies open within a second and 200 MB, over-budget
// files load with the excess left out and say so, and the budgets nest.

#include "scene/load_budget.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "curves/ucurve.h"
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
// Opens the file in a child process whose address space may grow by 200 MB
// at most; true when it opened within a second of processor time.
::testing::AssertionResult opensCheaply(const Bytes& bytes) {
    const pid_t child = fork();
    if (child == 0) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(200) << 20);
        const rlimit space{limit, limit};
        setrlimit(RLIMIT_AS, &space);
        // Nothing may leave the child but its exit code: running out of
        // memory ends it here, not in the test runner's handlers.
        try {
            Scene scene;
            const bool ok = scene.loadFromMemory(bytes);
            rusage used{};
            getrusage(RUSAGE_SELF, &used);
            const double seconds = double(used.ru_utime.tv_sec + used.ru_stime.tv_sec) +
                                   1e-6 * double(used.ru_utime.tv_usec + used.ru_stime.tv_usec);
            _exit(!ok ? 3 : seconds > 1.0 ? 2 : 0);
        } catch (...) {
            _exit(4);
        }
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return ::testing::AssertionFailure() << "no child";
    if (WIFSIGNALED(status)) return ::testing::AssertionFailure() << "ended by signal " << WTERMSIG(status);
    const int code = WEXITSTATUS(status);
    if (code == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << (code == 2 ? "over a second" : code == 4 ? "over 200 MB" : "refused");
}
#endif

}  // namespace

TEST(LoadBudget, SmallFilesOpenWithinASecondAndTwoHundredMegabytes) {
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
            EXPECT_LE(heldSamples(scene), LoadBudget::samplesForFile(c.bytes.size())) << c.name;
            // The copies within the file's allowance, every other entry a
            // tool of the file (a few bytes each at least).
            EXPECT_LE(std::size_t(scene.objects.size()), LoadBudget::copiesForFile(c.bytes.size()) + c.bytes.size())
                << c.name;
        }
#ifdef NDEBUG
        // Optimised builds only: the sanitizers' own cost is not the file's.
        EXPECT_TRUE(opensCheaply(c.bytes)) << c.name;
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
        {"nested arrays: more copies than a frame lists", slowscenes::nestedArraysOnResampledCurves(), true},
    };
    for (const auto& c : cases) {
        Scene scene;
        LoadBudget budget(LoadBudget::samplesForFile(c.bytes.size()));
        ASSERT_TRUE(scene.loadFromMemory(c.bytes)) << c.name;
        EXPECT_EQ(budget.leftOut(), c.leftOut) << c.name;
    }
    // The copies a load's budget left out stay out when the lists are built
    // again, and the lists count them.
    {
        Scene scene;
        ASSERT_TRUE(scene.loadFromMemory(slowscenes::nestedArraysOnResampledCurves()));
        const int listed = scene.objects.size();
        const std::size_t leftOut = scene.objects.copiesLeftOut;
        EXPECT_LE(std::size_t(listed), LoadBudget::CopiesPerLoad + LoadBudget::CopiesPerFileByte * 10240);
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
    EXPECT_GT(LoadBudget::samplesForFile(10240), LoadBudget::samplesForFile(0));
    EXPECT_EQ(LoadBudget::samplesForFile(~std::size_t(0)), ~std::size_t(0));
    EXPECT_EQ(LoadBudget::copiesForFile(~std::size_t(0)), ~std::size_t(0));
}
