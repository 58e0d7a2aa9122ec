// InverseKinematics on small chains.

#include <gtest/gtest.h>

#include "scene/tool.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::newTool;

namespace {

// A chain of n joints, each hanging one unit along x from the previous one;
// the grabbed point is one unit along x in the last tool's frame.
struct Chain {
    std::vector<Tool*> tools;
    explicit Chain(int n) {
        for (int i = 0; i < n; ++i) {
            Tool* t = newTool(nullptr, true);
            if (i) {
                t->pivot = mat4::Translation(1, 0, 0);
                tools.back()->addChild(t, false);
            }
            tools.push_back(t);
        }
    }
    ~Chain() { delete tools.front(); }
    std::vector<mat4> matrices() const {
        std::vector<mat4> ms{mat4::Identity()};
        for (std::size_t i = 0; i + 1 < tools.size(); ++i) ms.push_back(ms.back() * tools[i]->matrix());
        return ms;
    }
    vec3 joint(std::size_t i) const { return (matrices()[i] * tools[i]->pivot).translation(); }
    vec3 tip() const { return (matrices().back() * tools.back()->matrix()).transformPoint(vec3(1, 0, 0)); }
    // One step; the matrices handed in must be brought up to date.
    void step(const vec3& target) {
        std::vector<mat4> ms = matrices();
        Tool::InverseKinematics(tools, ms, tip(), target);
        EXPECT_TRUE(tooltest::near(ms.back(), matrices().back()));
    }
};

}  // namespace

TEST(ToolIK, ChainsOfAnyLengthReachTheTargetKeepingRootAndLengths) {
    const vec3 targets[] = {vec3(0, 0.6f, 0.8f), vec3(0.3f, 1.4f, -0.5f), vec3(1.2f, 1.6f, 0.8f)};  // within reach
    for (int n : {1, 2, 3}) {
        Chain c(n);
        const vec3 target = targets[n - 1];
        for (int k = 0; k < 60; ++k) c.step(target);
        EXPECT_LT(distance(c.tip(), target), 1e-3) << n;
        EXPECT_LT(length(c.joint(0)), 1e-6) << n;
        for (std::size_t i = 1; i < std::size_t(n); ++i) EXPECT_NEAR(distance(c.joint(i), c.joint(i - 1)), 1.0, 1e-4);
        EXPECT_NEAR(distance(c.tip(), c.joint(std::size_t(n - 1))), 1.0, 1e-4) << n;
    }
}

TEST(ToolIK, ConstrainedJointsTurnOnlyAboutTheirAxes) {
    Chain c(2);
    for (Tool* t : c.tools) t->rotationAxis = vec3(0, 0, 1);
    const vec3 target(0.0f, 1.5f, 0.7f);  // out of the plane: only the z turns are possible
    for (int k = 0; k < 20; ++k) c.step(target);
    EXPECT_TRUE(std::fabs(c.tip().z) < 1e-5f && c.tip().y > 0.5f);
}

TEST(ToolIK, NeverMirrorsNorWritesNaN) {
    // A target straight behind the joint: a half turn, not the point reflection -I.
    Chain one(1);
    one.step(vec3(-1, 0, 0));
    EXPECT_TRUE(tooltest::near(one.tip(), vec3(-1, 0, 0)) && one.tools[0]->transform.block().determinant() > 0.0);

    // A flattened frame: that joint is skipped, the first one still turns.
    Chain c(2);
    c.tools[0]->transform = mat4::Scale(1, 1, 0);
    c.step(vec3(0.5f, 1.2f, 0));
    EXPECT_TRUE(c.tools[0]->transform != mat4::Scale(1, 1, 0) && c.tools[0]->transform.isFinite());
    EXPECT_EQ(c.tools[1]->transform, mat4::Identity());
}
