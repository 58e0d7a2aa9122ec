#include "view/gesture_fixture_util.h"

#include "mesh/mesh.h"
#include "scene/scene.h"

namespace qel::test {

GestureFixture::GestureFixture() : drive(view), cube(Mesh::Cube(), mat4::Identity(), pbr(), false) {
    drive.picking = false;  // the pick records are filled by hand
    view.buildMatrices();
    object = place(mat4::Translation(0, 0, -1));
    id = view.scene->findID(object);
}

GestureFixture::~GestureFixture() { drive.hold({}); }

Tool* GestureFixture::place(const mat4& m) {
    Tool* t = view.scene->addObject(&cube, m, Scene::HangTop, false);
    view.scene->toList();
    return t;
}

void GestureFixture::hit(Tool* t, int tid) {
    view.pickBrush = ABrush();
    view.pickBrush.selection = ABrush::OnObject;
    view.pickBrush.layers = 1;
    view.pickBrush.objectId = tid;
    view.pickBrush.pickedTool = t;
    view.scene->searchObject(tid);
}

void GestureFixture::assembly(GLView::TAssemblyAction a) {
    view.setActionMode(GLView::ModeAssembly);
    view.setAssemblyAction(a);
}

void GestureFixture::release() {
    drive.left(false);
    drive.frame();
}

}  // namespace qel::test
