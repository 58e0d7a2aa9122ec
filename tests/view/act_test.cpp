// Undo records and the view's history on a real scene: three top-level
// objects with children and instance rings that cross between them. The
// sequences that used to reach freed tools are meant for the sanitizer build.

#include "view/act.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "scene/root.h"
#include "scene/scene.h"
#include "view/act_link.h"
#include "view/act_property.h"
#include "view/act_remove.h"
#include "view/act_structure.h"
#include "view/glview.h"

using namespace qel;

namespace {

std::vector<Tool*> ringOf(Tool* t) {
    std::vector<Tool*> r;
    Tool* x = t;
    do {
        r.push_back(x);
        x = x->nextInstance;
    } while (x != t && r.size() < 1000);
    return r;
}

// objects root
//   a (ring a b)       children a1 (ring a1 b1 c1), a2 and a3 (ring a2 a3)
//   b                  child b1
//   c                  child c1
class ActTest : public ::testing::Test {
protected:
    ActTest() {
        a = place(nullptr, 1);
        b = place(nullptr, 2);
        c = place(nullptr, 3);
        a1 = place(a, 11);
        a2 = place(a, 12);
        a3 = place(a, 13);
        b1 = place(b, 21);
        c1 = place(c, 31);
        a->joinInstances(b);
        a1->joinInstances(b1);
        b1->joinInstances(c1);
        a2->joinInstances(a3);
        scene.toList();
    }
    Tool* place(Tool* parent, float x) {
        auto* t = new Tool(nullptr, mat4::Translation(x, 0, 0), pbr(), false);
        t->flags |= Tool::FlagObject;
        (parent ? parent : static_cast<Tool*>(scene.objectsRoot))->addChild(t, false);
        return t;
    }
    int id(Tool* t) const { return scene.findID(t); }
    int objects() const { return scene.objects.size(); }
    // The objects list with each entry's parent, matrices and ring (as list
    // indices in ring order): equal shapes are equal scenes.
    std::string shape() {
        scene.toList();
        std::ostringstream o;
        for (int i = 0; i < objects(); ++i) {
            Tool* t = scene.objects.tools[std::size_t(i)];
            o << i << '<' << scene.objects.parents[std::size_t(i)] << ' ' << t->transform.translation().x << ' '
              << t->pivot.translation().x << " ring";
            for (Tool* x : ringOf(t)) o << ' ' << scene.findID(x) - 1;
            o << '\n';
        }
        return o.str();
    }

    GLView view{64, 48};
    Scene& scene = *view.scene;
    Tool *a, *b, *c, *a1, *a2, *a3, *b1, *c1;
};

const float NaN = std::numeric_limits<float>::quiet_NaN();

struct PropertyCase {
    const char* name;
    std::function<Act*(Scene*, int, bool)> make;
    std::function<void(Tool*)> change;
};

const PropertyCase PropertyCases[] = {
    {"transform", [](Scene* s, int i, bool r) { return new ActObjectTransform(s, i, r); },
     [](Tool* t) { t->pivot = mat4::Translation(0, 5, 0); }},
    {"opacity", [](Scene* s, int i, bool r) { return new ActObjectMaterial(s, i, r); },
     [](Tool* t) {
         pbr p;
         p.colour.a = 1000;
         t->changeMaterial(p, pbr::MaskOpacity, false, false);
     }},
    {"NaN rotation axis", [](Scene* s, int i, bool r) { return new ActObjectRotationAxis(s, i, r); },
     [](Tool* t) { t->rotationAxis = vec3(NaN, 0, 0); }},
    {"translation axis", [](Scene* s, int i, bool r) { return new ActObjectTranslationAxis(s, i, r); },
     [](Tool* t) { t->translationAxis = vec3(0, 1, 0); }},
};

}  // namespace

// ---- Property records ----

TEST_F(ActTest, PropertyRecordsSeeChangesWithinTheirScopeOnly) {
    for (const PropertyCase& k : PropertyCases) {
        Act* ring = k.make(&scene, id(a), true);
        Act* one = k.make(&scene, id(a), false);
        EXPECT_FALSE(ring->changed() || one->changed()) << k.name;
        k.change(b);
        EXPECT_TRUE(ring->changed() && !one->changed()) << k.name;
        k.change(a);
        EXPECT_TRUE(one->changed()) << k.name;
        EXPECT_FALSE(scene.selectedEntry || a->isSelected() || b->isSelected()) << k.name;
        delete ring;
        delete one;
    }
}

TEST_F(ActTest, TransformUndoRestoresPivotAndTransformOfTheRingOrOfTheOneObject) {
    const mat4 moved = mat4::Translation(9, 9, 9);
    for (bool wholeRing : {true, false}) {
        const mat4 pa = a->pivot, ta = a->transform, pb = b->pivot, tb = b->transform;
        ActObjectTransform record(&scene, id(a), wholeRing);
        EXPECT_EQ(record.kind, Act::KindTransform);
        for (Tool* t : {a, b}) t->pivot = t->transform = moved;
        record.apply();  // undo
        EXPECT_TRUE(a->pivot == pa && a->transform == ta);
        EXPECT_EQ(b->pivot == pb && b->transform == tb, wholeRing);
        record.apply();  // redo
        EXPECT_TRUE(a->pivot == moved && a->transform == moved && b->pivot == moved);
        a->pivot = pa, a->transform = ta, b->pivot = pb, b->transform = tb;
    }
}

// ---- Structural records ----

TEST_F(ActTest, PlacingThreeIsUndoneAndRedoneAsAWhole) {
    Tool tool(nullptr, mat4::Identity(), pbr(), false);
    const std::vector<mat4> at = {mat4::Translation(4, 0, 0), mat4::Translation(5, 0, 0), mat4::Translation(6, 0, 0)};
    const std::size_t top = scene.objectsRoot->children.size();
    ActObjectAdd add(&scene, id(c), &tool, at, Scene::HangTop, false, false);
    EXPECT_EQ(scene.objectsRoot->children.size(), top + 3);
    ASSERT_EQ(add.ids.size(), 3u);
    EXPECT_EQ(scene.findObject(add.ids[2])->pivot.translation().x, 6.0f);
    add.apply();
    EXPECT_EQ(scene.objectsRoot->children.size(), top);
    add.apply();
    EXPECT_EQ(scene.objectsRoot->children.size(), top + 3);
}

TEST_F(ActTest, CopiesComeBackWhereTheyWereMoved) {
    // The ring flag copies a1 under both instances of its parent.
    ActObjectCopyTransform copy(&scene, id(a1), Scene::HangSelected, true);
    ASSERT_EQ(copy.ids.size(), 2u);
    EXPECT_EQ(copy.lastCopy()->parent, b);
    for (int i : copy.ids) scene.findObject(i)->transform = mat4::Translation(float(i), 7, 0);
    const std::string moved = shape();
    copy.apply();
    EXPECT_TRUE(a->children.size() == 3u && b->children.size() == 1u);
    copy.apply();
    EXPECT_EQ(shape(), moved);
}

TEST_F(ActTest, MultiplyingPlacesCopiesBesideTheObject) {
    const std::string before = shape();
    ActObjectMultiply top(&scene, id(c), {mat4::Translation(0, 1, 0), mat4::Translation(0, 2, 0)}, 2, false, false);
    EXPECT_EQ(scene.objectsRoot->children.size(), 5u);  // beside c, at the top level
    ActObjectMultiply child(&scene, id(a1), {mat4::Translation(0, 3, 0)}, 2, false, false);
    EXPECT_EQ(a->children.size(), 4u);
    child.apply();
    top.apply();
    EXPECT_EQ(shape(), before);
}

TEST_F(ActTest, UnlinkAndUndoPutTheObjectBackBeforeTheSameNeighbour) {
    ActObjectUnlink unlink(&scene, id(b1));
    unlink.apply();
    EXPECT_TRUE(unlink.changed() && !b1->isInstanced());
    EXPECT_EQ(ringOf(a1), (std::vector<Tool*>{a1, c1}));
    unlink.apply();
    EXPECT_EQ(ringOf(a1), (std::vector<Tool*>{a1, b1, c1}));
    unlink.apply();
    EXPECT_FALSE(b1->isInstanced());

    // A member outside the scene (a record's template) has no id to return
    // to: the object goes back before the next member that has one.
    Tool outside(nullptr, mat4::Identity(), pbr(), false);
    a1->joinInstances(&outside);
    ActObjectUnlink again(&scene, id(a1));
    again.apply();
    again.apply();
    EXPECT_EQ(ringOf(a1), (std::vector<Tool*>{a1, c1, &outside}));
}

TEST_F(ActTest, LinkJoinsTwoRingsAndSplitsThemAgain) {
    ActObjectLink link(&scene, id(a), id(c1));
    link.apply();
    EXPECT_TRUE(link.changed() && a->isInstanceOf(c1) && b->isInstanceOf(a1));
    link.apply();
    EXPECT_EQ(ringOf(a), (std::vector<Tool*>{a, b}));
    EXPECT_EQ(ringOf(a1), (std::vector<Tool*>{a1, b1, c1}));
}

TEST_F(ActTest, RecordsThatFindNothingToDoChangeNothing) {
    const std::string before = shape();
    std::vector<Act*> records = {new ActObjectLink(&scene, id(a1), id(c1)),  // one ring already
                                 new ActObjectLink(&scene, id(a), 1000),     // no such object
                                 new ActObjectUnlink(&scene, id(c)),         // alone
                                 new ActObjectUnlink(&scene, 1000), new ActObjectMaterial(&scene, 1000, true)};
    for (Act* r : records) {
        for (int i = 0; i < 3; ++i) r->apply();
        EXPECT_FALSE(r->changed());
        EXPECT_EQ(shape(), before);
        delete r;
    }
}

TEST_F(ActTest, RemoveAndUndoRestoreChildrenPositionsAndRings) {
    const std::string before = shape();
    const int count = objects();
    // a with its three children, a1 alone, b with its child (list entries).
    const int entries[][2] = {{0, 4}, {1, 1}, {4, 2}};
    for (const auto& [entry, removed] : entries) {
        SCOPED_TRACE(entry);
        ActObjectRemove remove(&scene, entry + 1);
        EXPECT_EQ(objects(), count - removed);
        EXPECT_EQ(scene.pickedEntry, nullptr);
        remove.apply();  // undo
        EXPECT_EQ(shape(), before);
        EXPECT_EQ(objects(), count);
        remove.apply();  // redo
        EXPECT_EQ(objects(), count - removed);
        remove.apply();
        EXPECT_EQ(shape(), before);
    }
}

// ---- Sequences that reached freed tools ----

TEST_F(ActTest, CopyOrMultiplyThenRemoveAndUndoBothFindTheFreshTools) {
    const std::string before = shape();
    for (int k = 0; k < 4; ++k) {
        const bool multiply = k % 2 != 0;
        const bool parent = k >= 2;
        if (multiply)
            view.pushAct(new ActObjectMultiply(&scene, id(a1), {mat4::Translation(0, 4, 0)}, 2, false, false));
        else
            view.pushAct(new ActObjectCopyTransform(&scene, id(a1), Scene::HangSelected, false));
        Tool* made = a->children.back();
        ASSERT_NE(made, a1);
        view.pushAct(new ActObjectRemove(&scene, id(parent ? a : made)));
        view.UNDO();
        view.UNDO();
        EXPECT_EQ(shape(), before) << k;
        view.REDO();
        view.REDO();
        view.UNDO();
        view.UNDO();
        EXPECT_EQ(shape(), before) << k;
        a = scene.objectsRoot->children[0];
        a1 = a->children[0];
    }
}

TEST_F(ActTest, AnUndoThatDeletesThePickedObjectLeavesNoPickBehind) {
    Tool tool(nullptr, mat4::Identity(), pbr(), false);
    view.pushAct(new ActObjectAdd(&scene, id(c), &tool, {mat4::Identity()}, Scene::HangEntry, false, false));
    ASSERT_TRUE(scene.selectObject(id(c->children.back())));
    view.UNDO();
    EXPECT_TRUE(!scene.pickedEntry && !scene.selectedEntry && !scene.selectedObject);
    scene.removeObject(nullptr, false);
    EXPECT_EQ(c->children.size(), 1u);
}

// ---- History ----

namespace {

struct Probe : Act {
    Probe(int& applies, int& deaths) : applies(applies), deaths(deaths) {}
    ~Probe() override { ++deaths; }
    void apply() override { ++applies; }
    int& applies;
    int& deaths;
};

class HistoryTest : public ::testing::Test {
protected:
    // Pushes n probes; returns the first.
    Act* push(int n) {
        Act* firstPushed = nullptr;
        for (int i = 0; i < n; ++i) {
            Act* p = new Probe(applies, deaths);
            if (!firstPushed) firstPushed = p;
            view.pushAct(p);
        }
        return firstPushed;
    }
    void undo(int n) {
        for (int i = 0; i < n; ++i) view.UNDO();
    }
    int applies = 0, deaths = 0;
    GLView view{64, 48};
};

}  // namespace

TEST_F(HistoryTest, TheOldestRecordLeavesAtTheLimit) {
    Act* first = push(20);
    Act* second = view.undoHistory[1];
    push(1);
    EXPECT_TRUE(view.undoHistory.size() == 20u && view.historyIndex == 19 && deaths == 1);
    EXPECT_EQ(view.undoHistory.front(), second);
    EXPECT_NE(view.undoHistory.front(), first);
}

TEST_F(HistoryTest, APushKeepsTheOneRecordLeftToUndoInAFullHistory) {
    Act* first = push(20);
    undo(19);
    push(1);
    EXPECT_TRUE(view.undoHistory.size() == 2u && view.historyIndex == 1 && deaths == 19);
    EXPECT_EQ(view.undoHistory.front(), first);
}

TEST_F(HistoryTest, APushDropsTheUndoneRecords) {
    push(3);
    undo(2);
    push(1);
    EXPECT_TRUE(view.undoHistory.size() == 2u && view.historyIndex == 1 && deaths == 2);
    undo(2);
    push(1);
    EXPECT_TRUE(view.undoHistory.size() == 1u && view.historyIndex == 0 && deaths == 4);
}

TEST_F(HistoryTest, UndoAndRedoApplyTheRecordAtTheIndexAndResetThePick) {
    push(1);
    view.pickBrush.objectId = 5;
    view.pickBrush.selection = ABrush::OnObject;
    view.actionMode = GLView::ModeAssembly;
    view.redraw = 0;
    view.interactionState = 1;  // a gesture: nothing at all
    view.UNDO();
    view.REDO();
    EXPECT_TRUE(applies == 0 && view.historyIndex == 0 && view.redraw == 0 && view.pickBrush.objectId == 5);
    view.interactionState = 0;
    view.UNDO();
    view.UNDO();  // at -1: only the reset
    EXPECT_TRUE(applies == 1 && view.historyIndex == -1 && view.redraw == 1);
    EXPECT_TRUE(view.pickBrush.selection == ABrush::NoStamp && view.pickBrush.objectId == 0);
    EXPECT_EQ(view.actionMode, GLView::ModeIdle);
    view.REDO();
    view.REDO();  // nothing left to redo
    EXPECT_TRUE(applies == 2 && view.historyIndex == 0);
}
