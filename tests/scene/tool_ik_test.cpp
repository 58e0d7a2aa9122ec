// InverseKinematics on small chains.

#include <cmath>

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
        const std::vector<mat4> now = matrices();
        for (std::size_t i = 0; i < ms.size(); ++i) EXPECT_TRUE(tooltest::near(ms[i], now[i]));
    }
};

}  // namespace

TEST(ToolIK, ChainsReachTheTargetKeepingRootAndLengths) {
    for (int n : {2, 3}) {
        Chain c(n);
        const vec3 target = n == 2 ? vec3(0.3f, 1.4f, -0.5f) : vec3(1.2f, 1.6f, 0.8f);  // within reach
        const double before = distance(c.tip(), target);
        c.step(target);
        EXPECT_LT(distance(c.tip(), target), before);
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
    EXPECT_NEAR(c.tip().z, 0.0f, 1e-5f);
    EXPECT_GT(c.tip().y, 0.5f);
}

TEST(ToolIK, DegenerateInputsDoNothing) {
    std::vector<Tool*> none;
    std::vector<mat4> ms;
    Tool::InverseKinematics(none, ms, vec3(0, 0, 0), vec3(1, 1, 1));
    Chain c(2);
    std::vector<mat4> shortList{mat4::Identity()};
    Tool::InverseKinematics(c.tools, shortList, c.tip(), vec3(0, 1, 0));
    EXPECT_EQ(c.tools[0]->transform, mat4::Identity());
}
