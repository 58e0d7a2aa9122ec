// The view without a GL context: its starting state, what it owns, and the
// tool under creation.

#include "view/glview.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "mesh/mesh.h"
#include "scene/scene.h"
#include "view/act.h"

using namespace qel;

namespace {

class CountingAct : public Act {
public:
    static int alive;
    CountingAct() { ++alive; }
    ~CountingAct() override { --alive; }
    void apply() override {}
};
int CountingAct::alive = 0;

class CountingElement : public Element {
public:
    static int alive;
    CountingElement() : Element(TType::Mesh) { ++alive; }
    ~CountingElement() override { --alive; }
};
int CountingElement::alive = 0;

Tool* countedTool() { return new Tool(new CountingElement, mat4::Identity(), pbr(), false); }

class ViewTest : public ::testing::Test {
protected:
    GLView view{800, 600};
};

}  // namespace

TEST_F(ViewTest, FreshViewPlacesWithUseToolOnTheAuxiliarySphere) {
    EXPECT_EQ(view.selectedActionMode, GLView::ModeAssembly);
    EXPECT_EQ(view.actionMode, GLView::ModeIdle);
    EXPECT_EQ(view.selectedAssemblyAction, GLView::ActionPlace);
    EXPECT_EQ(view.assemblyAction, GLView::ActionPlace);
    EXPECT_EQ(view.toolCreation, GLView::CreateUseTool);
    ASSERT_EQ(view.scene->toolsRoot->children.size(), 1u);
    Tool* sphere = view.scene->toolsRoot->children[0];
    EXPECT_EQ(view.scene->currentTool, sphere);
    EXPECT_EQ(view.activeTool, sphere);
    EXPECT_EQ(view.auxiliaryTools, std::vector<Tool*>{sphere});
    EXPECT_EQ(sphere->transform, mat4::Scale(2.0f));
    ASSERT_NE(sphere->element, nullptr);
    EXPECT_EQ(static_cast<Mesh*>(sphere->element)->faceCount(), 1280);
}

TEST(ViewOwnership, DeletingTheViewDeletesSceneRecordsAndOnlyItsOwnToolUnderCreation) {
    for (GLView::TToolCreation value : {GLView::CreateUseTool, GLView::CreateCube}) {
        auto* view = new GLView(64, 48);
        view->undoHistory = {new CountingAct, new CountingAct, new CountingAct};
        view->scene->objectsRoot->addChild(countedTool(), false);
        if (value == GLView::CreateUseTool) {
            // The template under creation belongs to the scene.
            Tool* added = view->scene->addTool(countedTool());
            EXPECT_EQ(view->setActiveTool(value, true), added);
            view->deleteActiveTools();
            view->clearActiveTool();
            EXPECT_EQ(view->scene->toolsRoot->children.back(), added);
        } else {
            view->setActiveTool(value, true)->setElement(new CountingElement);
        }
        EXPECT_EQ(CountingElement::alive, 2);
        delete view;
        EXPECT_EQ(CountingAct::alive, 0) << value;
        EXPECT_EQ(CountingElement::alive, 0) << value;
    }
}

// Meant for the sanitizer build: every tool under creation is freed once.
TEST(ViewOwnership, LongCreationSequencesFreeEveryToolOnce) {
    auto* view = new GLView(64, 48);
    view->scene->addTool(countedTool());
    std::mt19937 random(16);
    for (int i = 0; i < 300; ++i) {
        const int op = int(random() % 34);
        if (op < 30)
            view->setActiveTool(GLView::TToolCreation(op), op % 2 == 0);
        else if (op == 30)
            view->deleteActiveTools();
        else if (op == 31)
            view->clearActiveTool();
        else if (op == 32)
            view->setNextTool(random() % 2 == 0);
        else
            view->UpdateActiveTool();
        if (view->toolCreation == GLView::CreateUseTool) {
            ASSERT_EQ(view->activeTool, view->scene->currentTool);
        }
    }
    delete view;
    EXPECT_EQ(CountingElement::alive, 0);
}

TEST_F(ViewTest, CreationCommandsSwitchOnlyThePlacingActions) {
    view.setActiveTool(GLView::CreateCube, true);
    EXPECT_EQ(view.selectedAssemblyAction, GLView::ActionPlace);
    view.setActiveTool(GLView::CreateTube, true);
    EXPECT_EQ(view.selectedAssemblyAction, GLView::ActionDraw);
    EXPECT_EQ(view.lastCreateAction, GLView::ActionDraw);
    view.setAxisCreation(GLView::CurveCircle);
    EXPECT_EQ(view.selectedAssemblyAction, GLView::ActionPlace);
    EXPECT_EQ(view.assemblyAction, GLView::ActionPlace);
    view.setAxisCreation(GLView::CurveFree);
    EXPECT_EQ(view.assemblyAction, GLView::ActionDraw);

    view.setAssemblyAction(GLView::ActionMove);
    view.setActiveTool(GLView::CreateProfile, true);
    view.setActiveTool(GLView::CreateCube, true);
    EXPECT_EQ(view.selectedAssemblyAction, GLView::ActionMove);
    EXPECT_EQ(view.assemblyAction, GLView::ActionMove);
}

TEST_F(ViewTest, SameValueKeepsItsToolAndUseToolReadsTheCurrentTemplate) {
    Tool* cube = view.setActiveTool(GLView::CreateCube, true);
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(view.setActiveTool(GLView::CreateCube, true), cube);
    EXPECT_EQ(view.setActiveTool(GLView::CreateProfile, true), nullptr);

    Tool* added = view.scene->addTool(countedTool());
    EXPECT_EQ(view.setActiveTool(GLView::CreateUseTool, true), added);
}

TEST_F(ViewTest, OnlyToolsBuiltByTheViewTakeTheCurrentMaterial) {
    view.activeToolProperties = pbr(wvec4(65535, 0, 0, 65535), wvec4(0, 0, 0, 65535), 100, 200);
    Tool* sphere = view.activeTool;
    view.setActiveTool(GLView::CreateUseTool, true);
    view.setActiveToolProperties();
    EXPECT_EQ(sphere->material, pbr());
    EXPECT_EQ(view.setActiveTool(GLView::CreateCube, true)->material, view.activeToolProperties);
}

TEST_F(ViewTest, PreviousAndNextToolStepBackAndForthAndWrap) {
    Tool* first = view.scene->toolsRoot->children[0];
    view.scene->addTool(countedTool());
    Tool* last = view.scene->addTool(countedTool());
    view.scene->currentTool = first;
    EXPECT_EQ(view.setNextTool(true), last);
    EXPECT_EQ(view.setNextTool(false), first);
    EXPECT_EQ(view.scene->currentTool, first);
}
