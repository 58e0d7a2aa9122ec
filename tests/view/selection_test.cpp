// The pixel picking through a fake ID buffer: the readback of On Object, the
// frames of a fresh hit, the projection rules of a running stroke and the
// placements of a drawing start, in an 800 x 600 view.

#include <gtest/gtest.h>

#include <cmath>

#include "fake_id_reader_util.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "view/glview.h"
#include "view/keyboard.h"

using namespace qel;
using fakeid::FakeIdReader;

namespace {

constexpr int X = 400, Y = 300;

bool near(const vec3& a, const vec3& b, float eps = 1e-3f) { return length(a - b) <= eps; }
bool near(const mat4& a, const mat4& b, float eps = 1e-4f) {
    for (int i = 0; i < 16; ++i)
        if (std::fabs(a[i] - b[i]) > eps) return false;
    return true;
}

class Picking : public ::testing::Test {
protected:
    Picking() {
        view.buildMatrices();
        reader = new FakeIdReader;
        view.idReader.reset(reader);
        view.cursorPixel = {X, Y};
    }
    ~Picking() override { keys.clear(); }

    fakeid::Pixel& cursor() { return reader->pixels[{X, Y}]; }
    // An object placed at the top level; its id after the list is rebuilt.
    Tool* place(const mat4& m) {
        Tool* t = view.scene->addObject(&cube, m, Scene::HangTop, false);
        view.scene->toList();
        return t;
    }
    std::uint32_t id(Tool* t) { return std::uint32_t(view.scene->findID(t)); }
    vec3 screen(const vec3& p) const { return view.project_World_To_Screen(p); }
    // A previous stamp at a screen pixel and depth with a normal given in eye space.
    ABrush stamp(float x, float y, float depth, const vec3& eyeNormal, ABrush::TSelection sel = ABrush::OnObject) {
        ABrush b;
        b.selection = sel;
        b.point = view.unproject(x, y, depth);
        b.normal = GLView::unproject_Normal(eyeNormal);
        return b;
    }

    GLView view{800, 600};
    FakeIdReader* reader;
    Tool cube{Mesh::Cube(), mat4::Identity(), pbr(), false};
};

}  // namespace

TEST_F(Picking, NoHitLiesOnTheFocusPlaneOrAtThePreviousDepth) {
    ABrush s = view.selection(ABrush::OnObject, nullptr);
    EXPECT_TRUE(s.selection == ABrush::Screen && s.layers == 0 && s.x == X && s.y == Y);
    EXPECT_FLOAT_EQ(s.depth, view.ScreenDepth());
    EXPECT_TRUE(near(s.point, view.unproject(X, Y, view.ScreenDepth())));
    EXPECT_EQ(s.normal, view.ScreenNormal());
    EXPECT_EQ(reader->current, -1);

    const ABrush previous = stamp(100, 200, 0.3f, vec3(0, 0, 1));
    s = view.selection(ABrush::OnObject, const_cast<ABrush*>(&previous));
    EXPECT_EQ(s.selection, ABrush::SameDepth);
    EXPECT_TRUE(near(screen(s.point), vec3(X, Y, screen(previous.point).z), 1e-2f));
    EXPECT_TRUE(near(s.delta, s.point - previous.point));

    // A reader that cannot be enabled, a mode outside 1..5 and the rules
    // without a previous stamp: the stamp as prepared.
    ABrush kept = previous;
    kept.selection = ABrush::OnNormal;
    reader->refuse = true;
    s = view.selection(ABrush::OnObject, &kept);
    EXPECT_TRUE(s.selection == ABrush::OnNormal && s.point == kept.point && s.x == X && s.radius == view.brushSize);
    reader->refuse = false;
    const int enables = reader->enables;
    EXPECT_EQ(view.selection(ABrush::TSelection(7), &kept).point, kept.point);
    EXPECT_EQ(view.selection(ABrush::TangentPlane, nullptr).selection, ABrush::NoStamp);
    EXPECT_EQ(reader->enables, enables);
}

TEST_F(Picking, ReadsTheTransparentLayerWhereItsBitIsSetAndMasksTheSelectedBit) {
    pbr glassMaterial;
    glassMaterial.colour.a = 100;
    Tool* solid = place(mat4::Translation(0, 0, -1));
    Tool* glass = place(mat4::Identity());
    glass->material = glassMaterial;
    fakeid::Pixel& p = cursor();
    p.depth = 0.4f;
    p.ids = {{{id(solid), 7, 0}, {id(glass) | 0x80000000u, 9, 0}}};
    p.normal = {vec3(0, 0, 1), vec3(0, 0, 0)};
    reader->block = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.6f, 0.5f, 0.7f, 0.5f};

    p.stencil = 3;
    ABrush s = view.selection(ABrush::OnObject, nullptr);
    EXPECT_TRUE(s.selection == ABrush::OnObject && s.layers == 3 && s.depth == 0.4f);
    EXPECT_TRUE(s.objectId == int(id(glass)) && s.itemId == 9 && s.pickedTool == glass);
    EXPECT_EQ(s.pickedMaterial.colour.a, 100);
    const vec3 estimate = normalize(vec3(0.1f, 0.2f, 1.0f / view.farPlane));
    EXPECT_TRUE(near(s.normal, GLView::unproject_Normal(estimate)));
    EXPECT_TRUE(near(s.point, view.unproject(X, Y, 0.4f)));
    EXPECT_EQ(reader->current, -1);

    p.stencil = 1;
    s = view.selection(ABrush::OnObject, nullptr);
    EXPECT_TRUE(s.objectId == int(id(solid)) && s.itemId == 7 && s.pickedTool == solid);
    EXPECT_TRUE(near(s.normal, GLView::unproject_Normal(vec3(0, 0, 1))));

    // An id beyond the list: a hit without a tool and identity frames.
    p.ids[0][0] = 99;
    s = view.selection(ABrush::OnObject, nullptr);
    EXPECT_TRUE(s.selection == ABrush::OnObject && s.objectId == 99 && !s.pickedTool);
    EXPECT_EQ(s.objectFrame, mat4::Identity());
}

TEST_F(Picking, HoldingPSnapsOntoThePickedPivotWhateverTheMode) {
    Tool* t = place(mat4::Translation(2, 0, 0));
    t->pivot = mat4::Translation(1, 2, 3);
    view.scene->toList();
    cursor() = {1, 0.5f, {{{id(t), 0, 0}, {}}}, {vec3(0, 0, 1), vec3()}};
    keys.pairs['p'] = {1, 1};
    ABrush s = view.selection(ABrush::OnObject, nullptr);
    EXPECT_TRUE(near(s.point, s.pickedWorld.transformPoint(vec3(1, 2, 3))));
    ABrush previous = s;
    previous.point = vec3(0, 0, 0);
    s = view.selection(ABrush::SameDepth, &previous);
    EXPECT_EQ(s.selection, ABrush::OnObject);
    EXPECT_TRUE(near(s.point, previous.pickedWorld.transformPoint(vec3(1, 2, 3))));
    EXPECT_TRUE(near(s.delta, s.point));
}

TEST_F(Picking, FramesSplitTheHierarchyFrameAsRelativeToChildSays) {
    Tool* top = place(mat4::Translation(5, 0, 0) * mat4::Scale(2.0f));
    auto* child = new Tool(cube.element, mat4::Translation(0, 3, 0) * mat4::Rotation(0.3f, 0.2f, 0.1f), pbr(), false);
    top->addChild(child, false);
    view.scene->toList();
    cursor() = {1, 0.5f, {{{id(child), 0, 0}, {}}}, {vec3(0, 0, 1), vec3()}};
    for (int relative : {2, 3}) {
        for (int h : {0, 1, 2}) {
            view.relativeToChild = relative;
            view.hierarchyMode = h;
            const ABrush s = view.selection(ABrush::OnObject, nullptr);
            ASSERT_EQ(s.pickedTool, child);
            ASSERT_EQ(s.topTool, top);
            const mat4 P = s.pickedWorld * child->matrix(), A = s.topWorld * top->matrix();
            const mat4 expected = h == 0 ? mat4::Identity() : h == 1 ? A.inverse() : P.inverse();
            EXPECT_TRUE(near(s.elementFrame * s.objectFrame, expected)) << relative << " " << h;
            if (relative == 3) {
                EXPECT_EQ(s.elementFrame, mat4::Identity());
            }
        }
    }
    // Scaled to zero along an axis: no inverse, the frames stay the identity.
    child->transform = mat4::Scale(1.0f, 0.0f, 1.0f);
    view.scene->toList();
    const ABrush s = view.selection(ABrush::OnObject, nullptr);
    EXPECT_TRUE(s.objectFrame == mat4::Identity() && s.elementFrame == mat4::Identity());
    EXPECT_TRUE(std::isfinite(s.point.x) && std::isfinite(s.normal.x));
}

TEST_F(Picking, SameDepthSnapsToTheGridAnchoredAtThePreviousStamp) {
    ABrush previous = stamp(100.25f, 200.5f, 0.4f, vec3(0, 0, 1));
    const vec3 s0 = screen(previous.point);
    view.cursorPixel = {int(s0.x) + 37, int(s0.y) - 5};
    view.snapGrid = 1;
    view.snapGridValue = 16.0f;
    const ABrush s = view.selection(ABrush::SameDepth, &previous);
    EXPECT_EQ(s.selection, ABrush::SameDepth);
    EXPECT_TRUE(near(screen(s.point), s0 + vec3(32, 0, 0), 1e-2f));
}

TEST_F(Picking, OnNormalFollowsTheNormalLine) {
    ABrush previous = stamp(X, Y, 0.5f, vec3(1, 0, 0));
    ABrush s = view.selection(ABrush::OnNormal, &previous);
    EXPECT_TRUE(s.selection == ABrush::OnNormal && s.point == previous.point);
    view.cursorPixel = {X + 10, Y + 7};
    s = view.selection(ABrush::OnNormal, &previous);
    EXPECT_TRUE(near(screen(s.point), screen(previous.point) + vec3(10, 0, 0), 1e-2f));
    // Facing the viewer: the previous stamp, selection and all.
    previous.normal = view.ScreenNormal();
    s = view.selection(ABrush::OnNormal, &previous);
    EXPECT_TRUE(s.selection == ABrush::OnObject && s.point == previous.point);
}

TEST_F(Picking, TangentPlaneGivesUpOnAPlaneSeenEdgeOnOrTurnedAway) {
    view.cursorPixel = {X + 20, Y - 10};
    ABrush previous = stamp(X, Y, 0.5f, vec3(1, 0, 0));
    EXPECT_EQ(view.selection(ABrush::TangentPlane, &previous).selection, ABrush::OnObject);
    previous.normal = GLView::unproject_Normal(vec3(0, 0.6f, 0.8f));
    ABrush s = view.selection(ABrush::TangentPlane, &previous);
    EXPECT_EQ(s.selection, ABrush::TangentPlane);
    EXPECT_NEAR(dot(s.point - previous.point, previous.normal), 0.0, 1e-3);

    view.viewType = GLView::ViewPerspective;
    view.buildMatrices();
    previous = stamp(X, Y, 0.5f, vec3(0, 0, -1));
    EXPECT_EQ(view.selection(ABrush::TangentPlane, &previous).selection, ABrush::OnObject);
    previous.normal = GLView::unproject_Normal(vec3(0, 0.6f, 0.8f));
    s = view.selection(ABrush::TangentPlane, &previous);
    EXPECT_EQ(s.selection, ABrush::TangentPlane);
    EXPECT_NEAR(dot(s.point - previous.point, previous.normal), 0.0, 1e-3 * length(s.delta) + 1e-4);
    EXPECT_TRUE(near(screen(s.point), vec3(X + 20, Y - 10, screen(s.point).z), 0.05f));
}

TEST_F(Picking, NormalPlaneKeepsItsInPlaneDirectionForTheStroke) {
    for (GLView::TViewType type : {GLView::ViewOrthogonal, GLView::ViewPerspective}) {
        view.viewType = type;
        view.buildMatrices();
        view.planeDirection = vec3(0, 0, 0);
        view.cursorPixel = {X + 20, Y + 30};
        ABrush previous = stamp(X, Y, 0.5f, vec3(0, 0.6f, 0.8f));
        const ABrush s = view.selection(ABrush::NormalPlane, &previous);
        const vec3 direction = view.planeDirection;
        EXPECT_EQ(s.selection, ABrush::NormalPlane) << type;
        EXPECT_FALSE(isZero(direction));
        const vec3 across = normalize(cross(previous.normal, direction));
        EXPECT_NEAR(dot(s.point - previous.point, across), 0.0, 1e-3 * length(s.delta) + 1e-4) << type;

        // The next step turned the normal: the stroke stays in its plane direction.
        ABrush next = s;
        next.normal = GLView::unproject_Normal(vec3(0.3f, 0.5f, 0.6f));
        view.cursorPixel = {X - 15, Y + 40};
        view.selection(ABrush::NormalPlane, &next);
        EXPECT_EQ(view.planeDirection, direction) << type;
    }
    // Orthogonal, normal towards the viewer: given up.
    view.viewType = GLView::ViewOrthogonal;
    view.buildMatrices();
    ABrush facing = stamp(X, Y, 0.5f, vec3(0, 0.1f, 1));
    EXPECT_EQ(view.selection(ABrush::NormalPlane, &facing).selection, ABrush::OnObject);
}

TEST_F(Picking, DrawingStartPlacesOneCopyPerSurvivingSymmetry) {
    const auto start = [&](const vec3& pickPoint, bool snap) {
        view.interactionState = 3;
        view.snapSymmetry = snap;
        view.mergeKept.clear();
        view.mergeDropped.clear();
        ABrush a, b;
        b.point = vec3(0, 1, 0);
        view.assemblor = Assemblor();
        view.assemblor.stamps = {a, b};
        view.pickBrush = ABrush();
        view.pickBrush.selection = ABrush::Screen;
        view.pickBrush.point = pickPoint;
        view.pickBrush.pixelVector = view.ScreenRadius(true);
        view.targetBrush = view.pickBrush;
        view.targetBrush.selection = ABrush::SameDepth;
        view.selection(ABrush::NormalPlane, &view.targetBrush);
        EXPECT_EQ(view.interactionState, 4);
        EXPECT_TRUE(view.pickBrush.normal == vec3(0, 1, 0) && view.targetBrush.normal == vec3(0, 1, 0));
        EXPECT_EQ(view.drawingPlane, view.placements.at(0));
        return view.placements.size();
    };
    EXPECT_EQ(start(vec3(0, 0, 0), false), 2u);
    EXPECT_EQ(start(vec3(0, 0, 0), true), 1u);
    EXPECT_FALSE(view.mergeKept.empty());
    // Off the mirror plane (the camera's x = 0) by far more than the merge distance.
    const float apart = 10.0f * view.snapSymmetryValue * view.brushSize * float(length(view.ScreenRadius(true)));
    EXPECT_EQ(start(view.drawingCamera * vec3(apart, 0, 0), true), 2u);
}
