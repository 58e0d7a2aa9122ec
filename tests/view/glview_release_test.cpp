// The release steps of the assembly actions, run through releaseAssembly on
// a scene of a cube, a ring of two cubes and a mesh of two components, with
// the press and the "pick again" read through an in-memory ID buffer.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/mat.h"
#include "curves/curve.h"
#include "curves/ucurve.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tools/array.h"
#include "view/act.h"
#include "view/act_property.h"
#include "view/act_remove.h"
#include "view/asker.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"

using namespace qel;
using test::FrameDriver;

namespace {

constexpr int X = 400, Y = 300;

struct NumberAsker : DecliningAsker {
    bool accept = true;
    double answer = 0.0;
    QString asked;
    bool getDouble(QWidget*, const QString& title, const QString& label, double* value, double min, double max,
                   int decimals) override {
        asked = QString("%1|%2|%3|%4|%5|%6").arg(title, label).arg(*value).arg(min).arg(max).arg(decimals);
        if (accept) *value = answer;
        return accept;
    }
};

// What undo must bring back: every listed object's matrices, axes,
// material, flags and ring size, in list order.
std::vector<float> snapshot(Scene& s) {
    s.toList();
    std::vector<float> v;
    for (Tool* t : s.objects.tools) {
        for (const mat4* m : {&t->pivot, &t->transform})
            for (int i = 0; i < 16; ++i) v.push_back((*m)[i]);
        for (const vec3* a : {&t->rotationAxis, &t->translationAxis}) v.insert(v.end(), {a->x, a->y, a->z});
        v.insert(v.end(),
                 {float(t->material.colour.r), float(t->flags & ~Tool::FlagSelected), t->rotationMultiplicity});
        int ring = 1;
        for (Tool* x = t->nextInstance; x != t; x = x->nextInstance) ++ring;
        v.push_back(float(ring));
    }
    return v;
}

bool near(const mat4& a, const mat4& b, float eps = 1e-4f) {
    for (int i = 0; i < 16; ++i)
        if (std::fabs(a[i] - b[i]) > eps) return false;
    return true;
}

class Release : public ::testing::Test {
protected:
    Release() : drive(view) {
        view.asker = &asker;
        view.buildMatrices();
        view.cursorPixel = {X, Y};
        view.actionMode = GLView::ModeAssembly;
        Mesh* right = new Mesh(static_cast<Mesh*>(cube.element), mat4::Translation(3, 0, 0));
        Mesh* both = new Mesh(static_cast<Mesh*>(cube.element), right);
        delete right;
        Tool twoParts(both, mat4::Identity(), pbr(), false);
        a = place(cube, mat4::Translation(1, 0, 0) * mat4::Scale(2.0f));
        b = place(cube, mat4::Translation(-2, 0, 0));
        c = place(cube, mat4::Translation(-4, 0, 0));
        b->joinInstances(c);
        d = place(twoParts, mat4::Translation(0, 5, 0));
        view.scene->toList();
    }

    Tool* place(Tool& t, const mat4& m) { return view.scene->addObject(&t, m, Scene::HangTop, false); }
    std::uint32_t id(Tool* t) { return std::uint32_t(view.scene->findID(t)); }
    // The ID buffer shows `id` (item `item`) under pixel (x, y); 0 clears it.
    void show(std::uint32_t objectId, int x = X, int y = Y, std::uint32_t item = 0, vec3 normal = vec3(0, 0, 1)) {
        fakeid::Pixel& p = drive.reader->pixels[{x, y}];
        p = fakeid::Pixel();
        if (objectId == 0) return;
        p.stencil = 1;
        p.depth = 0.5f;
        p.ids[0] = {objectId, item, 0};
        p.normal[0] = normal;
    }
    // The press of a gesture on `id`: the pick of the frame, interactionState 1.
    void press(std::uint32_t objectId, std::uint32_t item = 0, vec3 normal = vec3(0, 0, 1)) {
        show(objectId, X, Y, item, normal);
        view.pickBrush = view.selection(ABrush::OnObject, nullptr);
        view.interactionState = 1;
    }
    void release(GLView::TAssemblyAction action, std::uint32_t underCursor = 0) {
        show(underCursor);
        view.releaseAssembly(action);
    }
    void undoAll() {
        view.interactionState = 0;
        while (view.historyIndex >= 0) view.UNDO();
    }

    Tool cube{Mesh::Cube(), mat4::Identity(), pbr(), false};
    GLView view{800, 600};
    FrameDriver drive;
    NumberAsker asker;
    Tool *a, *b, *c, *d;
};

}  // namespace

TEST_F(Release, APickNamingNoListedObjectChangesNothing) {
    const std::vector<float> before = snapshot(*view.scene);
    const std::size_t templates = view.scene->toolsRoot->children.size();
    for (int action = 0; action <= 53; ++action) {
        if (action == GLView::ActionInsert || action == GLView::ActionPlace || action == GLView::ActionDraw)
            continue;  // these use no picked object
        press(999);
        ASSERT_TRUE(view.pickBrush.hit() && !view.pickBrush.pickedTool);
        view.placements = {mat4::Identity()};
        release(GLView::TAssemblyAction(action), id(a));
        EXPECT_EQ(snapshot(*view.scene), before) << action;
        EXPECT_TRUE(view.undoHistory.empty()) << action;
        EXPECT_EQ(view.scene->toolsRoot->children.size(), templates) << action;
    }
}

TEST_F(Release, InsertMultiplyAndRemoveAddOrTakeObjectsUndoably) {
    const std::vector<float> before = snapshot(*view.scene);
    const std::size_t count = view.scene->objects.tools.size();
    view.interactionState = 1;
    view.pickBrush = ABrush();
    view.placements = {mat4::Translation(0, 0, 9)};
    release(GLView::ActionInsert);
    EXPECT_TRUE(view.undoHistory.empty());
    press(id(d));
    release(GLView::ActionInsert);
    EXPECT_EQ(view.scene->objects.tools.size(), count + 1);
    // Place adds only once the drag left a stamp.
    press(id(d));
    view.targetBrush = ABrush();
    release(GLView::ActionPlace);
    EXPECT_EQ(view.undoHistory.size(), 1u);
    EXPECT_EQ(view.actionMode, GLView::ModeIdle);

    press(id(a));
    const std::vector<mat4> placements = {mat4::Translation(1, 1, 1), mat4::Translation(2, 2, 2),
                                          mat4::Translation(3, 3, 3)};
    view.placements = placements;
    release(GLView::ActionMultiply);
    ASSERT_EQ(view.placements.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(view.placements[i], placements[i] * a->pivot);
    EXPECT_EQ(view.scene->objects.tools.size(), count + 4);

    press(id(b));
    release(GLView::ActionRemove);
    EXPECT_EQ(view.scene->objects.tools.size(), count + 3);
    EXPECT_FALSE(view.pickBrush.placed());
    EXPECT_EQ(view.undoHistory.size(), 3u);
    undoAll();
    EXPECT_EQ(snapshot(*view.scene), before);
}

TEST_F(Release, PicksMakeCurrentToolsAndDetachingHangsThePartUnderTheTarget) {
    struct Case {
        int action, minFaces, maxFaces;
    };
    for (const Case& k :
         {Case{GLView::ActionPick, 24, 24}, Case{GLView::ActionPickComponent, 12, 12}, Case{7, 1, 12}}) {
        press(id(d), 13);
        release(GLView::TAssemblyAction(k.action));
        Tool* made = view.scene->toolsRoot->children.back();
        EXPECT_EQ(view.scene->currentTool, made) << k.action;
        EXPECT_EQ(view.activeTool, made) << k.action;
        EXPECT_EQ(view.toolCreation, GLView::CreateUseTool) << k.action;
        const int faces = static_cast<Mesh*>(made->element)->faceCount();
        EXPECT_TRUE(faces >= k.minFaces && faces <= k.maxFaces) << k.action << " " << faces;
    }

    view.pushAct(new ActObjectTransform(view.scene, int(id(a)), false));
    press(id(d), 13);
    release(GLView::ActionDetachComponent);  // nothing under the release
    EXPECT_EQ(static_cast<Mesh*>(d->element)->faceCount(), 24);
    EXPECT_EQ(view.undoHistory.size(), 1u);
    press(id(d), 13);
    release(GLView::ActionDetachComponent, id(b));
    ASSERT_EQ(b->children.size(), 1u);
    Tool* part = b->children[0];
    EXPECT_EQ(part->nextInstance, part);  // the temporary carrier is gone
    EXPECT_TRUE(view.undoHistory.empty() && view.historyIndex == -1);
    EXPECT_GT(view.scene->findID(part), 0);
    EXPECT_EQ(static_cast<Mesh*>(d->element)->faceCount(), 12);
    // The part stays where it was in the world.
    EXPECT_TRUE(near(b->matrix() * part->matrix(), d->pivot * d->transform));

    view.interactionState = 2;
    release(GLView::ActionDraw);
    EXPECT_EQ(view.interactionState, 3);
}

TEST_F(Release, FlagTogglesAndTheMultiplicityDialog) {
    struct Case {
        std::uint8_t from, to;
    };
    for (const Case& k : {Case{0, 128}, Case{128, 0}, Case{64, 128}, Case{192, 128}}) {
        a->flags = std::uint8_t((a->flags & ~Tool::FlagOrientation) | k.from);
        press(id(a));
        release(GLView::ActionOrientation);
        EXPECT_EQ(a->orientation(), k.to) << int(k.from);
    }
    press(id(b));
    release(GLView::ActionColorIsLight);
    EXPECT_TRUE(b->flags & Tool::FlagColorIsLight);
    EXPECT_TRUE(c->flags & Tool::FlagColorIsLight);  // linked
    press(id(b));
    release(GLView::ActionColorIsLight);
    EXPECT_FALSE(b->flags & Tool::FlagColorIsLight);

    asker.answer = 2.345678901234;
    press(id(a));
    release(GLView::ActionRotateMultiplicity);
    EXPECT_EQ(asker.asked, "Constrained Rotation|Multiplicity|1|-1e+20|1e+20|2");
    EXPECT_EQ(a->rotationMultiplicity, float(2.345678901234));
    asker.accept = false;
    press(id(a));
    release(GLView::ActionRotateMultiplicity);
    EXPECT_EQ(a->rotationMultiplicity, float(2.345678901234));
    EXPECT_TRUE(view.undoHistory.empty());
}

TEST_F(Release, LinksAndConstraintsPushRecordsThatUndo) {
    const std::vector<float> before = snapshot(*view.scene);
    press(id(b));
    release(GLView::ActionLink, id(c));
    ASSERT_EQ(view.undoHistory.size(), 1u);
    EXPECT_FALSE(view.undoHistory[0]->changed());  // already one ring
    press(id(a));
    release(GLView::ActionLink, id(a));
    EXPECT_EQ(view.undoHistory.size(), 1u);
    press(id(a));
    release(GLView::ActionLink, id(d));
    EXPECT_TRUE(a->isInstanceOf(d));

    for (int action = GLView::ActionConstrainRotation; action <= GLView::ActionCounterConstrainTranslation; ++action) {
        press(id(a));
        release(GLView::TAssemblyAction(action), id(d));
        const bool rotation = action <= GLView::ActionCounterConstrainRotation;
        const bool counter =
            action == GLView::ActionCounterConstrainRotation || action == GLView::ActionCounterConstrainTranslation;
        const vec3 axis = rotation ? a->rotationAxis : a->translationAxis;
        EXPECT_NEAR(length(axis), 1.0f, 1e-5f) << action;
        const vec3 n = a->pivot.block() * axis;  // back in the world
        EXPECT_NEAR(dot(normalize(n), view.targetBrush.normal), counter ? -1.0f : 1.0f, 1e-5f) << action;
    }
    press(id(a));
    release(GLView::ActionRemoveRotationConstraint);
    EXPECT_EQ(a->rotationAxis, vec3(0, 0, 0));
    undoAll();
    EXPECT_EQ(snapshot(*view.scene), before);
}

// The constraint actions from the user's press to the release: each stores
// the normal under the release point, the Counter variants its opposite.
TEST_F(Release, ConstraintsActThroughTheirOwnPressAndRelease) {
    view.setActionMode(GLView::ModeAssembly);
    const vec3 normal = normalize(vec3(0.2f, 0.3f, 1.0f));
    const vec3 released = normalize(GLView::unproject_Normal(normal));  // in the world
    for (int action = GLView::ActionConstrainRotation; action <= GLView::ActionCounterConstrainTranslation; ++action) {
        SCOPED_TRACE(action);
        view.setAssemblyAction(GLView::TAssemblyAction(action));
        a->rotationAxis = a->translationAxis = vec3(0, 0, 0);
        show(id(a));
        drive.frame();
        drive.left(true);
        drive.frame();
        ASSERT_EQ(view.pickBrush.pickedTool, a);
        show(id(d), X, Y, 0, normal);
        drive.left(false);
        drive.frame();
        EXPECT_TRUE(view.idle());
        const bool rotation = action <= GLView::ActionCounterConstrainRotation;
        const bool counter =
            action == GLView::ActionCounterConstrainRotation || action == GLView::ActionCounterConstrainTranslation;
        const vec3 axis = rotation ? a->rotationAxis : a->translationAxis;
        EXPECT_EQ(rotation ? a->translationAxis : a->rotationAxis, vec3(0, 0, 0));
        ASSERT_NEAR(length(axis), 1.0f, 1e-5f);
        const vec3 n = normalize(a->pivot.block() * axis);  // back in the world
        EXPECT_NEAR(dot(n, released), counter ? -1.0f : 1.0f, 1e-5f);
    }
    EXPECT_EQ(view.undoHistory.size(), 4u);
}

TEST_F(Release, MirrorAlignAndPivotMatching) {
    const std::vector<float> before = snapshot(*view.scene);
    // Mirror: the press pushed the transform record.
    const auto mirror = [&](int x, GLView::TTransformerType type) {
        press(id(a));
        view.pushAct(new ActObjectTransform(view.scene, int(id(a)), false));
        view.transformerType = type;
        view.cursorPixel = {x, Y};
        release(GLView::ActionMirror);
        view.cursorPixel = {X, Y};
    };
    mirror(X, GLView::TransformObjectPivot);
    EXPECT_TRUE(view.undoHistory.empty());
    EXPECT_EQ(snapshot(*view.scene), before);
    const mat4 world = a->matrix();
    mirror(X + 50, GLView::TransformPivot);
    EXPECT_EQ(view.undoHistory.size(), 1u);
    EXPECT_FALSE(near(a->pivot, mat4::Translation(1, 0, 0) * mat4::Scale(2.0f)));
    EXPECT_TRUE(near(a->matrix(), world));  // the object stays, the pivot moved

    // Align on empty space: a record, and a turn of the pivot only.
    const mat4 transform = b->transform;
    press(id(b), 0, normalize(vec3(1, 0, 1)));
    release(GLView::ActionAlign);
    EXPECT_EQ(view.undoHistory.size(), 2u);
    EXPECT_EQ(b->transform, transform);
    EXPECT_FALSE(near(b->pivot, mat4::Translation(-2, 0, 0)));

    // MatchPivot onto d's pivot; on itself, by its own transform's translation.
    press(id(c));
    release(GLView::ActionMatchPivot, id(d));
    EXPECT_TRUE(near(mat4::Translation(c->pivot.translation()), mat4::Translation(d->pivot.translation())));
    EXPECT_TRUE(near(c->matrix(), mat4::Translation(-4, 0, 0)));
    press(id(d));
    release(GLView::ActionMatchObjectPivot, id(a));
    EXPECT_TRUE(near(mat4::Translation(d->pivot.translation()), mat4::Translation(a->pivot.translation())));
    EXPECT_EQ(view.undoHistory.size(), 4u);
    undoAll();
    EXPECT_EQ(snapshot(*view.scene), before);
}

TEST_F(Release, DrawPickAxisAndSectionHandThePickedCurveToTheToolUnderCreation) {
    Tool line(new Curve({vec3(0, 0, 0), vec3(1, 0, 0), vec3(2, 1, 0)}, false), mat4::Identity(), pbr(), false);
    Tool* e = place(line, mat4::Translation(0, -5, 0));
    view.scene->toList();
    Curve* curve = static_cast<Curve*>(e->element);

    // Without a tool under creation nothing happens.
    view.setActiveTool(GLView::CreateCube, true);
    view.deleteActiveTools();
    press(id(e));
    release(GLView::ActionDrawPickAxis, id(e));
    EXPECT_TRUE(e->children.empty());

    view.setActiveTool(GLView::CreateTube, true);
    view.pushAct(new ActObjectTransform(view.scene, int(id(a)), false));
    press(id(e));
    release(GLView::ActionDrawPickAxis, id(e));
    ASSERT_EQ(e->children.size(), 1u);
    auto* hung = dynamic_cast<Tube*>(e->children[0]->element);
    ASSERT_TRUE(hung);
    EXPECT_EQ(hung->path, curve);
    EXPECT_TRUE(view.undoHistory.empty() && view.historyIndex == -1);
    EXPECT_GT(view.scene->findID(e->children[0]), 0);
    // The curve is held by its source tool, its object and each holder of
    // the tube.
    EXPECT_EQ(curve->refCount, 2 + hung->refCount);

    // The section pick changes a tube's profile, and nothing of a cube.
    press(id(e));
    release(GLView::ActionDrawPickSection, id(e));
    auto* tube = dynamic_cast<Tube*>(view.activeTool->element);
    ASSERT_TRUE(tube);
    EXPECT_EQ(tube->profile, curve);
    view.setActiveTool(GLView::CreateCube, true);
    Element* cubeElement = view.activeTool->element;
    const int count = curve->refCount;
    press(id(e));
    release(GLView::ActionDrawPickSection, id(e));
    EXPECT_EQ(view.activeTool->element, cubeElement);
    EXPECT_EQ(curve->refCount, count);
}

TEST_F(Release, MakeUniformWrapsThePickedCurveWithoutAnExtraReference) {
    Tool line(new Curve({vec3(0, 0, 0), vec3(3, 0, 0), vec3(3, 3, 0)}, false), mat4::Identity(), pbr(), false);
    Tool* e = place(line, mat4::Translation(0, -5, 0));
    view.scene->toList();
    Curve* curve = static_cast<Curve*>(e->element);
    const int count = curve->refCount;
    press(id(e));
    release(GLView::ActionMakeUniform, id(e));
    auto* u = dynamic_cast<qel::UCurve*>(e->element);
    ASSERT_TRUE(u);
    EXPECT_EQ(u->curveType, Curve::UniformCurve);
    EXPECT_EQ(u->base, curve);
    EXPECT_EQ(curve->refCount, count);
    EXPECT_GT(u->vertexCount(), 3);
    // A uniform curve is left alone.
    press(id(e));
    release(GLView::ActionMakeUniform, id(e));
    EXPECT_EQ(e->element, u);
    EXPECT_EQ(curve->refCount, count);

    // A tube's path is replaced with the counts kept.
    Curve* path = new Curve({vec3(0, 0, 0), vec3(4, 0, 0)}, false);
    Tool tubeTool(new Tube(path, Curve::Circle(6, false)), mat4::Identity(), pbr(), false);
    Tool* t = place(tubeTool, mat4::Translation(0, 5, 0));
    view.scene->toList();
    auto* tube = static_cast<Tube*>(t->element);
    const int pathCount = path->refCount;
    press(id(t));
    release(GLView::ActionMakeUniform, id(t));
    auto* wrapped = dynamic_cast<qel::UCurve*>(tube->path);
    ASSERT_TRUE(wrapped);
    EXPECT_EQ(wrapped->base, path);
    EXPECT_EQ(path->refCount, pathCount);
    EXPECT_EQ(wrapped->refCount, tube->refCount);
}

TEST_F(Release, DrawPickAxisGivesAnArrayThePickedCurveAndArrayPickTakesCopiesOfItsItems) {
    Tool line(new Curve({vec3(0, 0, 0), vec3(1, 0, 0), vec3(2, 1, 0)}, false), mat4::Identity(), pbr(), false);
    Tool* e = place(line, mat4::Translation(0, -5, 0));
    view.scene->toList();
    view.setActiveTool(GLView::CreateArray, true);
    press(id(e));
    release(GLView::ActionDrawPickAxis, id(e));
    auto* hung = dynamic_cast<Array*>(e->children.at(0));
    ASSERT_TRUE(hung && hung->curve == e->element && hung->items.size() == 1);
    EXPECT_EQ(hung->items[0]->element, view.auxiliaryTools[0]->element);

    hung->addItem(nullptr);
    hung->pattern = {0x8001, 0x10003};
    view.scene->toList();
    press(id(hung));
    release(GLView::ActionArrayPick, id(hung));
    ASSERT_EQ(view.auxiliaryTools.size(), 2u);
    EXPECT_TRUE(view.auxiliaryTools[0] != hung->items[0] && view.auxiliaryTools[0]->parent == view.scene->toolsRoot);
    EXPECT_EQ(view.auxiliaryTools[1], nullptr);
    EXPECT_EQ(view.arrayCounts, (std::vector<std::int32_t>{0x8001, 0x10003}));
    auto* rebuilt = dynamic_cast<Array*>(view.activeTool);
    ASSERT_TRUE(rebuilt && rebuilt->items.size() == 2 && rebuilt->pattern == hung->pattern);

    // The picked array removed (and put back), the copies still serve.
    press(id(hung));
    release(GLView::ActionRemove, id(hung));
    view.UpdateActiveTool();
    EXPECT_EQ(static_cast<Array*>(view.activeTool)->items[0]->element, view.auxiliaryTools[0]->element);
    undoAll();
    auto* back = dynamic_cast<Array*>(e->children.at(0));
    ASSERT_TRUE(back && back->items.size() == 2 && back->items[0]->parent == back);
}
