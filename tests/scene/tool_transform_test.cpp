// Object transforms, constraints (with multiplicities: gears) and
// transformRender.

#include <cmath>
#include <utility>

#include <gtest/gtest.h>

#include "gl/shader.h"
#include "scene/root.h"
#include "scene/tool.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::near;
using tooltest::newTool;

namespace {

constexpr float Deg = 3.14159265358979f / 180.0f;

mat4 rotZ(float a) { return mat4::FromMat3(mat3::RotationAroundAxis(vec3(0, 0, 1), a)); }

// Tools under one root, which deletes them.
class ToolTransform : public ::testing::Test {
protected:
    // A ring of n object tools.
    std::vector<Tool*> ring(int n, const vec3& rotationAxis = vec3(0, 0, 0)) {
        std::vector<Tool*> t;
        for (int i = 0; i < n; ++i) {
            t.push_back(root.addChild(newTool(nullptr, true), false));
            t.back()->rotationAxis = rotationAxis;
            t[0]->joinInstances(t.back());
        }
        return t;
    }
    Root root;
};

}  // namespace

TEST_F(ToolTransform, RingFormsActOnObjectMembersOnly) {
    const std::vector<Tool*> r = ring(3);
    r[2]->flags &= std::uint8_t(~Tool::FlagObject);
    r[0]->transform = mat4::Translation(1, 0, 0);
    r[0]->transformObject(mat4::Scale(2.0f), true, false);
    EXPECT_EQ(r[0]->transform, mat4::Scale(2.0f) * mat4::Translation(1, 0, 0));
    EXPECT_TRUE(r[1]->transform == mat4::Scale(2.0f) && r[2]->transform == mat4::Identity());
    r[1]->transformObjectPivot(mat4::Translation(0, 2, 0), true, false);
    EXPECT_TRUE(r[0]->pivot.translation() == vec3(0, 2, 0) && r[2]->pivot == mat4::Identity());
}

TEST_F(ToolTransform, PivotAndAssemblyMovesOfOneTool) {
    Tool t(nullptr, mat4::Translation(1, 2, 3) * rotZ(0.3f), pbr(), false);
    t.pivot = mat4::Translation(-1, 0, 0);
    const mat4 before = t.matrix();
    t.transformPivot(mat4::Translation(0.5f, 0, 0) * rotZ(0.7f), false, false);
    EXPECT_TRUE(near(t.matrix(), before));
    EXPECT_FALSE(near(t.pivot, mat4::Translation(-1, 0, 0)));
    // A singular pivot move has no inverse to keep the object in place: nothing changes.
    const mat4 keptT = t.transform, keptP = t.pivot;
    t.transformPivot(mat4::Scale(1, 0, 1), false, false);
    EXPECT_TRUE(t.transform == keptT && t.pivot == keptP);
    t.pivot = rotZ(90 * Deg);
    t.transform = mat4::Identity();
    t.transformObjectPivot(mat4::Translation(1, 0, 0), false, false);  // moves in the pivot's frame
    EXPECT_TRUE(near(t.matrix().translation(), vec3(0, 1, 0)));

    Tool v(nullptr, mat4::Identity(), pbr(), false);
    v.rotationAxis = vec3(0, 0, 1);
    v.translationAxis = vec3(1, 0, 0);
    const mat4 b = mat4::Translation(0, 0, 1), c = mat4::Translation(0, 1, 0);
    v.assembly(mat4::Translation(3, 4, 5) * rotZ(0.4f), b, c, false, false);  // only x moves, only z turns
    EXPECT_TRUE(near(v.transform, mat4::Translation(3, 0, 0) * rotZ(0.4f)));
    EXPECT_EQ(v.pivot, c * b);
}

TEST_F(ToolTransform, ConstrainedMoveFollowsAxesAndScales) {
    const std::vector<Tool*> r = ring(4);
    r[1]->transform = mat4::Scale(2.0f);
    r[2]->translationAxis = vec3(1, 0, 0);  // constrained: not moved by a free mover
    r[3]->flags &= std::uint8_t(~Tool::FlagObject);
    r[0]->constrainedMoveObject(mat4::Translation(1, 2, 3), true, false);
    EXPECT_EQ(r[0]->transform.translation(), vec3(1, 2, 3));
    EXPECT_TRUE(near(r[1]->transform.translation(), vec3(2, 4, 6)));
    EXPECT_TRUE(r[2]->transform == mat4::Identity() && r[3]->transform == mat4::Identity());

    // A constrained mover moves along its axis, and the constrained members along theirs.
    const std::vector<Tool*> s = ring(3);
    s[0]->translationAxis = vec3(0, 0, 1);
    s[1]->translationAxis = vec3(1, 0, 0);
    s[1]->transform = mat4::Scale(3.0f);
    s[0]->constrainedMoveObject(mat4::Translation(3, 4, 5), true, false);
    EXPECT_EQ(s[0]->transform.translation(), vec3(0, 0, 5));
    EXPECT_TRUE(near(s[1]->transform.translation(), vec3(15, 0, 0), 1e-4f));
    EXPECT_EQ(s[2]->transform, mat4::Identity());

    // A flat mover (uniform scale 0) moves only itself: no inf/NaN for the others.
    const std::vector<Tool*> f = ring(2);
    f[0]->transform = mat4::Scale(0.0f, 1.0f, 1.0f);
    f[0]->constrainedMoveObject(mat4::Translation(1, 0, 0), true, false);
    EXPECT_EQ(f[0]->transform.translation(), vec3(1, 0, 0));
    EXPECT_EQ(f[1]->transform, mat4::Identity());
}

TEST_F(ToolTransform, ConstrainedRotationTurnsGearsAtTheirMultiplicityRatios) {
    Tool& y = *ring(1, vec3(0, 1, 0))[0];  // an oblique turn keeps only its turn about the axis
    const mat4 applied =
        y.constrainedRotateObject(mat4::FromMat3(mat3::RotationAroundAxis(vec3(1, 1, 0), 0.5f)), false, false);
    EXPECT_TRUE(y.transform == applied && applied != mat4::Identity());
    EXPECT_TRUE(near(applied.transformVector(vec3(0, 1, 0)), vec3(0, 1, 0)));

    const std::vector<Tool*> r = ring(3, vec3(0, 0, 1));
    r[1]->rotationMultiplicity = 2.0f;
    r[2]->rotationMultiplicity = 0.0f;  // does not turn, and turns only itself as a mover
    r[1]->translationAxis = vec3(1, 0, 0);
    r[0]->constrainedRotateObject(rotZ(10 * Deg), true, false);
    EXPECT_TRUE(near(r[0]->transform, rotZ(10 * Deg)) && near(r[1]->transform, rotZ(20 * Deg)));
    EXPECT_TRUE(near(r[2]->transform, mat4::Identity()) &&
                near(r[1]->translationAxis, vec3(std::cos(20 * Deg), std::sin(20 * Deg), 0)));

    r[1]->constrainedRotateObject(rotZ(10 * Deg), true, false);  // the faster gear moves: half the turn
    EXPECT_TRUE(near(r[0]->transform, rotZ(15 * Deg)));
    r[2]->constrainedRotateObject(rotZ(30 * Deg), true, false);
    EXPECT_TRUE(near(r[2]->transform, rotZ(30 * Deg)) && near(r[0]->transform, rotZ(15 * Deg)));

    // Unconstrained, off the origin: the translation axes turn as directions.
    const std::vector<Tool*> f = ring(2);
    const mat4 m2 = mat4::Translation(5, 0, 0) * rotZ(90 * Deg) * mat4::Translation(-5, 0, 0);
    f[1]->translationAxis = vec3(1, 0, 0);
    EXPECT_EQ(f[0]->constrainedRotateObject(m2, true, false), m2);
    EXPECT_TRUE(isZero(f[0]->translationAxis) && f[1]->transform == m2);
    EXPECT_TRUE(near(f[1]->translationAxis, vec3(0, 1, 0)));  // turned, not shifted
}

TEST_F(ToolTransform, TransformRenderModes) {
    Tool b(nullptr, rotZ(-0.2f), pbr(), false);
    b.pivot = mat4::Translation(0, 1, 0);
    const mat4 parent = mat4::Translation(1, 2, 3) * rotZ(0.3f) * mat4::Scale(2.0f);
    const mat4 w = parent * b.matrix();
    EXPECT_EQ(b.transformRender(parent), w);  // plain: the world matrix

    // Facing modes: no rotation left against the view (or model) matrix;
    // position and uniform scale kept.
    const mat4 savedMV = Shader::ModelViewMatrix, savedM = Shader::ModelMatrix;
    Shader::ModelViewMatrix =
        mat4::Translation(0, 0, -10) * mat4::FromMat3(mat3::RotationAroundAxis(vec3(1, 1, 0), 0.6f));
    Shader::ModelMatrix = mat4::FromMat3(mat3::RotationAroundAxis(vec3(0, 1, 0), 1.0f));
    for (const auto& [mode, view] : {std::pair<int, mat4>{128, Shader::ModelViewMatrix},
                                     {192, Shader::ModelViewMatrix}, {64, Shader::ModelMatrix}}) {
        b.flags = std::uint8_t((b.flags & 63) | mode);
        const mat4 r = b.transformRender(parent);
        EXPECT_TRUE(near(r.translation(), w.translation())) << mode;
        const mat3 x = (view * r).block();
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(x.at(i, j), i == j ? 2.0f : 0.0f, 1e-4f) << mode;
    }
    Shader::ModelViewMatrix = savedMV;
    Shader::ModelMatrix = savedM;
}
