// The Material release of the view's assembly actions: the material dialog
// opened on the pressed object, or the press's unchanged record dropped when
// the release does nothing.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "app/dialogs.h"
#include "app/material_dialog.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "view/act_property.h"
#include "view/glview.h"
#include "view/mouse.h"

using namespace qel;

TEST(MaterialRelease, OpensTheDialogOnThePressedObjectOrDropsTheUnchangedRecord) {
    GLView view(800, 600);
    Tool cube(Mesh::Cube(), mat4::Identity(), pbr(), false);
    Tool* object = view.scene->addObject(&cube, mat4::Identity(), Scene::HangTop, false);
    view.scene->toList();
    const int id = view.scene->findID(object);
    view.actionMode = GLView::ModeAssembly;

    struct Case {
        bool right, pressed;
    };
    // A right button held at the release, and a pick that names no object.
    for (const Case& k : {Case{true, true}, Case{false, false}}) {
        view.pickBrush = ABrush();
        view.pickBrush.selection = ABrush::OnObject;
        view.pickBrush.layers = 1;
        view.pickBrush.objectId = k.pressed ? id : 999;
        view.pickBrush.pickedTool = k.pressed ? object : nullptr;
        view.interactionState = 1;
        view.pushAct(new ActObjectMaterial(view.scene, id, false));
        mouse.right = k.right ? 1 : 0;
        view.releaseAssembly(GLView::ActionMaterial);
        EXPECT_TRUE(view.undoHistory.empty() && view.historyIndex == -1) << k.right;
        EXPECT_TRUE(!view.materialPending && !view.materialTool && !DIALOGS->materialTarget) << k.right;
    }
    mouse.right = 0;
    view.pickBrush.objectId = id;
    view.pickBrush.pickedTool = object;
    view.pushAct(new ActObjectMaterial(view.scene, id, false));
    view.releaseAssembly(GLView::ActionMaterial);
    EXPECT_EQ(view.undoHistory.size(), 1u);  // settled by the frame loop once the dialog closes
    EXPECT_TRUE(view.materialPending && view.materialTool == object);
    EXPECT_EQ(view.actionMode, GLView::ModeIdle);
    EXPECT_EQ(DIALOGS->materialTarget, &object->material);
    ASSERT_TRUE(DIALOGS->materialEditor);
    EXPECT_EQ(DIALOGS->materialEditor->windowTitle(), "Material");
    DIALOGS->materialEditor->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    view.materialPending = 0;
    view.materialTool = nullptr;
}
