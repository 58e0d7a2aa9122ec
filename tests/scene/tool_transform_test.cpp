// Object transforms, constraints (with multiplicities: gears) and
// transformRender.

#include <cmath>

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

// A ring of object tools.
std::vector<Tool*> ring(int n) {
    std::vector<Tool*> r;
    for (int i = 0; i < n; ++i) {
        r.push_back(newTool(nullptr, true));
        if (i) r[0]->joinInstances(r.back());
    }
    return r;
}

void destroy(std::vector<Tool*>& r) {
    for (Tool* t : r) delete t;
    r.clear();
}

}  // namespace

TEST(ToolTransform, TransformObjectAndAlign) {
    Tool* t = newTool();
    t->transform = mat4::Translation(1, 0, 0);
    t->transformObject(mat4::Scale(2.0f), false, false);
    EXPECT_EQ(t->transform, mat4::Scale(2.0f) * mat4::Translation(1, 0, 0));
    t->align(mat4::Translation(0, 1, 0), false, false);
    EXPECT_EQ(t->transform.translation(), vec3(2, 1, 0));
    delete t;
}

TEST(ToolTransform, AllFormsActOnObjectMembersOnly) {
    auto r = ring(3);
    r[2]->flags &= std::uint8_t(~Tool::FlagObject);
    r[0]->transformObject(mat4::Translation(1, 0, 0), true, false);
    EXPECT_EQ(r[0]->transform.translation(), vec3(1, 0, 0));
    EXPECT_EQ(r[1]->transform.translation(), vec3(1, 0, 0));
    EXPECT_EQ(r[2]->transform, mat4::Identity());
    r[0]->transformObjectPivot(mat4::Translation(0, 2, 0), true, false);
    EXPECT_EQ(r[1]->pivot.translation(), vec3(0, 2, 0));
    EXPECT_EQ(r[2]->pivot, mat4::Identity());
    destroy(r);
}

TEST(ToolTransform, TransformPivotKeepsTheWorldMatrix) {
    Tool* t = newTool();
    t->transform = mat4::Translation(1, 2, 3) * rotZ(0.3f);
    t->pivot = mat4::Translation(-1, 0, 0);
    const mat4 before = t->matrix();
    const mat4 m = mat4::Translation(0.5f, 0, 0) * rotZ(0.7f);
    t->transformPivot(m, false, false);
    EXPECT_TRUE(near(t->matrix(), before));
    EXPECT_FALSE(near(t->pivot, mat4::Translation(-1, 0, 0)));
    delete t;
}

TEST(ToolTransform, TransformObjectPivotMovesInThePivotFrame) {
    Tool* t = newTool();
    t->pivot = rotZ(90 * Deg);
    t->transformObjectPivot(mat4::Translation(1, 0, 0), false, false);
    EXPECT_TRUE(near(t->matrix().translation(), vec3(0, 1, 0)));
    delete t;
}

TEST(ToolTransform, AssemblyHonoursTheAxes) {
    Tool* t = newTool();
    t->rotationAxis = vec3(0, 0, 1);
    t->translationAxis = vec3(1, 0, 0);
    const mat4 a = mat4::Translation(3, 4, 5) * rotZ(0.4f);
    const mat4 b = mat4::Translation(0, 0, 1);
    const mat4 c = mat4::Translation(0, 1, 0);
    t->assembly(a, b, c, false, false);
    EXPECT_TRUE(near(t->transform, mat4::Translation(3, 0, 0) * rotZ(0.4f)));
    EXPECT_EQ(t->pivot, c * (mat4::Identity() * b));
    delete t;
}

TEST(ToolTransform, ConstrainedMoveAlongTheAxis) {
    Tool* t = newTool(nullptr, true);
    t->translationAxis = vec3(0, 0, 1);
    t->constrainedMoveObject(mat4::Translation(3, 4, 5), false, false);
    EXPECT_EQ(t->transform.translation(), vec3(0, 0, 5));
    delete t;
}

TEST(ToolTransform, ConstrainedMoveRingScalesByUniformScale) {
    auto r = ring(4);
    r[1]->transform = mat4::Scale(2.0f);
    r[2]->translationAxis = vec3(1, 0, 0);  // constrained: not moved by a free mover
    r[3]->flags &= std::uint8_t(~Tool::FlagObject);
    r[0]->constrainedMoveObject(mat4::Translation(1, 2, 3), true, false);
    EXPECT_EQ(r[0]->transform.translation(), vec3(1, 2, 3));
    EXPECT_TRUE(near(r[1]->transform.translation(), vec3(2, 4, 6)));
    EXPECT_EQ(r[2]->transform, mat4::Identity());
    EXPECT_EQ(r[3]->transform, mat4::Identity());
    destroy(r);

    // A constrained mover moves the constrained members along their own axes.
    r = ring(3);
    r[0]->translationAxis = vec3(0, 0, 1);
    r[1]->translationAxis = vec3(1, 0, 0);
    r[1]->transform = mat4::Scale(3.0f);
    r[0]->constrainedMoveObject(mat4::Translation(3, 4, 5), true, false);
    EXPECT_EQ(r[0]->transform.translation(), vec3(0, 0, 5));
    EXPECT_TRUE(near(r[1]->transform.translation(), vec3(15, 0, 0), 1e-4f));
    EXPECT_EQ(r[2]->transform, mat4::Identity());  // unconstrained: not moved
    destroy(r);
}

TEST(ToolTransform, ConstrainedMoveWithZeroScaleMoverMovesOnlyItself) {
    // s0 = 0 would divide by zero; only the mover moves.
    auto r = ring(2);
    r[0]->transform = mat4::Scale(0.0f, 1.0f, 1.0f);
    r[0]->constrainedMoveObject(mat4::Translation(1, 0, 0), true, false);
    EXPECT_EQ(r[0]->transform.translation(), vec3(1, 0, 0));
    EXPECT_EQ(r[1]->transform, mat4::Identity());
    EXPECT_TRUE(finiteMat(r[1]->transform));
    destroy(r);
}

TEST(ToolTransform, ConstrainedRotationAboutTheAxisOnly) {
    Tool* t = newTool(nullptr, true);
    t->rotationAxis = vec3(0, 1, 0);
    const mat4 m = mat4::FromMat3(mat3::RotationAroundAxis(normalize(vec3(1, 1, 0)), 0.5f));
    const mat4 r = t->constrainedRotateObject(m, false, false);
    EXPECT_EQ(t->transform, r);
    EXPECT_TRUE(near(r.transformVector(vec3(0, 1, 0)), vec3(0, 1, 0)));
    const double angle = mat3::ConstrainedAngle(m.block(), vec3(0, 1, 0));
    EXPECT_NE(angle, 0.0);
    EXPECT_TRUE(near(r, mat4::FromMat3(mat3::RotationAroundAxis(vec3(0, 1, 0), float(angle)))));
    delete t;
}

TEST(ToolTransform, GearsTurnAtTheirMultiplicityRatios) {
    auto r = ring(3);
    for (Tool* t : r) t->rotationAxis = vec3(0, 0, 1);
    r[1]->rotationMultiplicity = 2.0f;
    r[2]->rotationMultiplicity = 0.0f;  // does not turn
    r[1]->translationAxis = vec3(1, 0, 0);
    r[0]->constrainedRotateObject(rotZ(10 * Deg), true, false);
    EXPECT_TRUE(near(r[0]->transform, rotZ(10 * Deg)));
    EXPECT_TRUE(near(r[1]->transform, rotZ(20 * Deg)));
    EXPECT_TRUE(near(r[2]->transform, mat4::Identity()));
    EXPECT_TRUE(near(r[1]->translationAxis, vec3(std::cos(20 * Deg), std::sin(20 * Deg), 0)));
    destroy(r);

    // Multiplicity 1 and 2 with the second as mover: half the turn.
    r = ring(2);
    for (Tool* t : r) t->rotationAxis = vec3(0, 0, 1);
    r[0]->rotationMultiplicity = 2.0f;
    r[0]->constrainedRotateObject(rotZ(10 * Deg), true, false);
    EXPECT_TRUE(near(r[1]->transform, rotZ(5 * Deg)));
    destroy(r);
}

TEST(ToolTransform, ZeroMultiplicityMoverTurnsOnlyItself) {
    // The mover's multiplicity 0 would divide by zero.
    auto r = ring(2);
    for (Tool* t : r) t->rotationAxis = vec3(0, 0, 1);
    r[0]->rotationMultiplicity = 0.0f;
    const mat4 applied = r[0]->constrainedRotateObject(rotZ(30 * Deg), true, false);
    EXPECT_TRUE(near(applied, rotZ(30 * Deg)));
    EXPECT_TRUE(near(r[0]->transform, rotZ(30 * Deg)));
    EXPECT_EQ(r[1]->transform, mat4::Identity());
    EXPECT_TRUE(finiteMat(r[1]->transform));
    destroy(r);
}

TEST(ToolTransform, FreeToolRotatedOffItsOriginStaysFree) {
    // The translation axis is transformed as a direction.
    auto r = ring(2);
    const mat4 m = mat4::Translation(5, 0, 0) * rotZ(90 * Deg) * mat4::Translation(-5, 0, 0);
    r[1]->translationAxis = vec3(1, 0, 0);
    const mat4 applied = r[0]->constrainedRotateObject(m, true, false);
    EXPECT_EQ(applied, m);
    EXPECT_TRUE(isZero(r[0]->translationAxis));
    EXPECT_EQ(r[0]->transform, m);
    EXPECT_EQ(r[1]->transform, m);
    EXPECT_TRUE(near(r[1]->translationAxis, vec3(0, 1, 0)));  // turned, not shifted
    destroy(r);
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
    ASSERT_EQ(tools.size(), 2u);
    // Mode 0: the list's world matrix of the tool.
    EXPECT_EQ(b->transformRender(ms[1]), ms[1] * b->matrix());

    // Modes 128 and 192: fixed orientation towards the viewer, W's position
    // and uniform scale kept.
    const mat4 savedMV = Shader::ModelViewMatrix, savedM = Shader::ModelMatrix;
    Shader::ModelViewMatrix = mat4::Translation(0, 0, -10) * mat4::FromMat3(mat3::RotationAroundAxis(vec3(1, 1, 0), 0.6f));
    const mat4 w = ms[1] * b->matrix();
    for (std::uint8_t mode : {std::uint8_t(128), std::uint8_t(192)}) {
        b->flags = std::uint8_t((b->flags & 63) | mode);
        const mat4 r = b->transformRender(ms[1]);
        EXPECT_TRUE(near(r.translation(), w.translation(), 1e-5f));
        const mat3 x = (Shader::ModelViewMatrix * r).block();
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(x.at(i, j), i == j ? 2.0f : 0.0f, 1e-4f);
    }
    // Mode 64: the same against the model matrix.
    Shader::ModelMatrix = mat4::FromMat3(mat3::RotationAroundAxis(vec3(0, 1, 0), 1.0f));
    b->flags = std::uint8_t((b->flags & 63) | 64);
    const mat4 r = b->transformRender(ms[1]);
    const mat3 x = (Shader::ModelMatrix * r).block();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(x.at(i, j), i == j ? 2.0f : 0.0f, 1e-4f);
    Shader::ModelViewMatrix = savedMV;
    Shader::ModelMatrix = savedM;
}
