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

bool finiteMat(const mat4& m) {
    for (float v : m.m)
        if (!std::isfinite(v)) return false;
    return true;
}

// A ring of n object tools, deleted with the ring.
struct Ring {
    std::vector<Tool*> t;
    explicit Ring(int n, const vec3& rotationAxis = vec3(0, 0, 0)) {
        for (int i = 0; i < n; ++i) {
            t.push_back(newTool(nullptr, true));
            t.back()->rotationAxis = rotationAxis;
            if (i) t[0]->joinInstances(t.back());
        }
    }
    ~Ring() {
        for (Tool* x : t) delete x;
    }
    Tool* operator[](std::size_t i) const { return t[i]; }
};

}  // namespace

TEST(ToolTransform, RingFormsActOnObjectMembersOnly) {
    Ring r(3);
    r[2]->flags &= std::uint8_t(~Tool::FlagObject);
    r[0]->transform = mat4::Translation(1, 0, 0);
    r[0]->transformObject(mat4::Scale(2.0f), true, false);
    EXPECT_EQ(r[0]->transform, mat4::Scale(2.0f) * mat4::Translation(1, 0, 0));
    EXPECT_EQ(r[1]->transform, mat4::Scale(2.0f));
    EXPECT_EQ(r[2]->transform, mat4::Identity());
    r[1]->transformObjectPivot(mat4::Translation(0, 2, 0), true, false);
    EXPECT_EQ(r[0]->pivot.translation(), vec3(0, 2, 0));
    EXPECT_EQ(r[2]->pivot, mat4::Identity());
}

TEST(ToolTransform, PivotChangesKeepOrMoveTheWorldMatrixAsAsked) {
    Tool* t = newTool();
    t->transform = mat4::Translation(1, 2, 3) * rotZ(0.3f);
    t->pivot = mat4::Translation(-1, 0, 0);
    const mat4 before = t->matrix();
    t->transformPivot(mat4::Translation(0.5f, 0, 0) * rotZ(0.7f), false, false);
    EXPECT_TRUE(near(t->matrix(), before));
    EXPECT_FALSE(near(t->pivot, mat4::Translation(-1, 0, 0)));

    Tool* u = newTool();
    u->pivot = rotZ(90 * Deg);
    u->transformObjectPivot(mat4::Translation(1, 0, 0), false, false);  // moves in the pivot's frame
    EXPECT_TRUE(near(u->matrix().translation(), vec3(0, 1, 0)));
    delete t;
    delete u;
}

TEST(ToolTransform, AssemblyHonoursTheAxes) {
    Tool* t = newTool();
    t->rotationAxis = vec3(0, 0, 1);
    t->translationAxis = vec3(1, 0, 0);
    const mat4 b = mat4::Translation(0, 0, 1), c = mat4::Translation(0, 1, 0);
    t->assembly(mat4::Translation(3, 4, 5) * rotZ(0.4f), b, c, false, false);  // only x moves, only z turns
    EXPECT_TRUE(near(t->transform, mat4::Translation(3, 0, 0) * rotZ(0.4f)));
    EXPECT_EQ(t->pivot, c * b);
    delete t;
}

TEST(ToolTransform, ConstrainedMoveFollowsAxesAndScales) {
    Ring r(4);
    r[1]->transform = mat4::Scale(2.0f);
    r[2]->translationAxis = vec3(1, 0, 0);  // constrained: not moved by a free mover
    r[3]->flags &= std::uint8_t(~Tool::FlagObject);
    r[0]->constrainedMoveObject(mat4::Translation(1, 2, 3), true, false);
    EXPECT_EQ(r[0]->transform.translation(), vec3(1, 2, 3));
    EXPECT_TRUE(near(r[1]->transform.translation(), vec3(2, 4, 6)));
    EXPECT_EQ(r[2]->transform, mat4::Identity());
    EXPECT_EQ(r[3]->transform, mat4::Identity());

    // A constrained mover moves along its axis, and the constrained members along theirs.
    Ring s(3);
    s[0]->translationAxis = vec3(0, 0, 1);
    s[1]->translationAxis = vec3(1, 0, 0);
    s[1]->transform = mat4::Scale(3.0f);
    s[0]->constrainedMoveObject(mat4::Translation(3, 4, 5), true, false);
    EXPECT_EQ(s[0]->transform.translation(), vec3(0, 0, 5));
    EXPECT_TRUE(near(s[1]->transform.translation(), vec3(15, 0, 0), 1e-4f));
    EXPECT_EQ(s[2]->transform, mat4::Identity());
}

TEST(ToolTransform, ConstrainedRotationTurnsGearsAtTheirMultiplicityRatios) {
    Ring y(1, vec3(0, 1, 0));  // an oblique turn keeps only its turn about the axis
    const mat4 m = mat4::FromMat3(mat3::RotationAroundAxis(normalize(vec3(1, 1, 0)), 0.5f));
    const mat4 applied = y[0]->constrainedRotateObject(m, false, false);
    EXPECT_EQ(y[0]->transform, applied);
    const float angle = float(mat3::ConstrainedAngle(m.block(), vec3(0, 1, 0)));
    EXPECT_NE(angle, 0.0f);
    EXPECT_TRUE(near(applied, mat4::FromMat3(mat3::RotationAroundAxis(vec3(0, 1, 0), angle))));

    Ring r(3, vec3(0, 0, 1));
    r[1]->rotationMultiplicity = 2.0f;
    r[2]->rotationMultiplicity = 0.0f;  // does not turn
    r[1]->translationAxis = vec3(1, 0, 0);
    r[0]->constrainedRotateObject(rotZ(10 * Deg), true, false);
    EXPECT_TRUE(near(r[0]->transform, rotZ(10 * Deg)));
    EXPECT_TRUE(near(r[1]->transform, rotZ(20 * Deg)));
    EXPECT_TRUE(near(r[2]->transform, mat4::Identity()));
    EXPECT_TRUE(near(r[1]->translationAxis, vec3(std::cos(20 * Deg), std::sin(20 * Deg), 0)));

    r[1]->constrainedRotateObject(rotZ(10 * Deg), true, false);  // the faster gear moves: half the turn
    EXPECT_TRUE(near(r[0]->transform, rotZ(15 * Deg)));
}

TEST(ToolTransform, ZeroScaleOrMultiplicityMoverMovesOnlyItself) {
    Ring r(2, vec3(0, 0, 1));
    r[0]->transform = mat4::Scale(0.0f, 1.0f, 1.0f);
    r[0]->constrainedMoveObject(mat4::Translation(1, 0, 0), true, false);
    EXPECT_EQ(r[0]->transform.translation(), vec3(1, 0, 0));
    EXPECT_EQ(r[1]->transform, mat4::Identity());

    Ring s(2, vec3(0, 0, 1));
    s[0]->rotationMultiplicity = 0.0f;
    EXPECT_TRUE(near(s[0]->constrainedRotateObject(rotZ(30 * Deg), true, false), rotZ(30 * Deg)));
    EXPECT_TRUE(near(s[0]->transform, rotZ(30 * Deg)));
    EXPECT_EQ(s[1]->transform, mat4::Identity());
    EXPECT_TRUE(finiteMat(r[1]->transform) && finiteMat(s[1]->transform));
}

TEST(ToolTransform, FreeToolRotatedOffItsOriginTurnsTheAxesAsDirections) {
    Ring r(2);
    const mat4 m = mat4::Translation(5, 0, 0) * rotZ(90 * Deg) * mat4::Translation(-5, 0, 0);
    r[1]->translationAxis = vec3(1, 0, 0);
    EXPECT_EQ(r[0]->constrainedRotateObject(m, true, false), m);
    EXPECT_TRUE(isZero(r[0]->translationAxis));
    EXPECT_EQ(r[1]->transform, m);
    EXPECT_TRUE(near(r[1]->translationAxis, vec3(0, 1, 0)));  // turned, not shifted
}

TEST(ToolTransform, TransformRenderModes) {
    Root root;
    Tool* a = root.addChild(newTool(), false);
    a->pivot = mat4::Translation(1, 2, 3);
    a->transform = rotZ(0.3f) * mat4::Scale(2.0f);
    Tool* b = a->addChild(newTool(), false);
    b->pivot = mat4::Translation(0, 1, 0);
    b->transform = rotZ(-0.2f);
    std::vector<Tool*> tools;
    std::vector<mat4> ms;
    std::vector<int> parents, subs;
    root.toList(tools, ms, parents, subs, mat4::Identity(), 0, -1);
    const mat4 w = ms[1] * b->matrix();
    EXPECT_EQ(b->transformRender(ms[1]), w);  // plain: the world matrix

    // Facing modes: no rotation left against the view (or model) matrix;
    // position and uniform scale kept.
    const mat4 savedMV = Shader::ModelViewMatrix, savedM = Shader::ModelMatrix;
    Shader::ModelViewMatrix =
        mat4::Translation(0, 0, -10) * mat4::FromMat3(mat3::RotationAroundAxis(vec3(1, 1, 0), 0.6f));
    Shader::ModelMatrix = mat4::FromMat3(mat3::RotationAroundAxis(vec3(0, 1, 0), 1.0f));
    for (const auto& [mode, view] : {std::pair<int, mat4>{128, Shader::ModelViewMatrix},
                                     {192, Shader::ModelViewMatrix}, {64, Shader::ModelMatrix}}) {
        b->flags = std::uint8_t((b->flags & 63) | mode);
        const mat4 r = b->transformRender(ms[1]);
        EXPECT_TRUE(near(r.translation(), w.translation())) << mode;
        const mat3 x = (view * r).block();
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(x.at(i, j), i == j ? 2.0f : 0.0f, 1e-4f) << mode;
    }
    Shader::ModelViewMatrix = savedMV;
    Shader::ModelMatrix = savedM;
}
