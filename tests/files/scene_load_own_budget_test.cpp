// A scene's load arms its own budget when its caller armed none: a file
// whose resampled curves ask for more samples than a load allows loads
// with the excess left out, from memory and from a path alike.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "curves/curve.h"
#include "curves/ucurve.h"
#include "files/scene_writer.h"
#include "files/slow_scenes_util.h"
#include "scene/load_budget.h"
#include "scene/root.h"
#include "scene/scene.h"

using namespace qel;

using slowscenes::heldSamples;

namespace {

// A file of `objects` resampled curves, each over a base of `chains`
// chains (0, 0, 0) to (1000, 0, 0), radius 0, stored size 1: a sample every
// thousandth of the base's extent, 1001 a chain.
std::vector<std::uint8_t> chainedCurvesFile(int objects, int chains) {
    std::vector<Tool*> tools;
    std::vector<std::size_t> starts;
    for (int i = 0; i < objects; ++i) {
        UCurve* u = new UCurve(Curve::Plain);
        u->base = new Curve({vec3(0, 0, 0), vec3(1000, 0, 0)}, {0.0f, 0.0f}, {true, true}, false);
        for (int c = 1; c < chains; ++c) {
            Curve chain({vec3(0, float(c), 0), vec3(1000, float(c), 0)}, {0.0f, 0.0f}, {true, true}, false);
            u->base->append(&chain);
        }
        u->base->centre = vec3(0, 0, 0);
        u->base->setSize(1.0f);
        Tool* t = new Tool(u, mat4::Identity(), pbr(), false);
        t->flags |= Tool::FlagObject;
        starts.push_back(tools.size());
        t->toList(tools);
    }
    starts.push_back(tools.size());
    QTemporaryDir dir;
    const std::string path = dir.filePath("chains.tl").toStdString();
    std::string error;
    std::vector<std::uint8_t> out;
    if (scenefile::writeToolsFile(path, tools, starts, error)) {
        std::ifstream in(path, std::ios::binary);
        out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) delete tools[starts[i]];
    return out;
}

}  // namespace

TEST(SceneLoadBudget, ALoadWithoutACallersBudgetKeepsWithinTheFilesOwn) {
    ASSERT_EQ(LoadBudget::armed(), nullptr);
    const std::vector<std::uint8_t> bytes = chainedCurvesFile(5, 60);
    const std::size_t allowed = LoadBudget::SamplesPerLoad;
    ASSERT_GT(std::size_t(5 * 60) * 1001, allowed);

    Scene fromMemory;
    ASSERT_TRUE(fromMemory.loadFromMemory(bytes));
    EXPECT_LE(heldSamples(fromMemory), allowed);
    EXPECT_GT(heldSamples(fromMemory), allowed / 2);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("curves.tl").toStdString();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    Scene fromFile;
    ASSERT_TRUE(fromFile.load(path));
    EXPECT_EQ(heldSamples(fromFile), heldSamples(fromMemory));
    EXPECT_EQ(LoadBudget::armed(), nullptr);
}
