// The view's object commands: the wheel, quick save of one object, picking
// an object as the current template, removing objects and erasing parts of
// them, element conversions, and opening the material dialog. The context
// object is the one of the last pick (pickBrush.pickedTool).

#include <QApplication>
#include <QFileInfo>
#include <cmath>
#include <string>
#include <vector>

#include "core/folders.h"
#include "gl/gpu_scope.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tools/bi_tool.h"
#include "view/act_remove.h"
#include "view/asker.h"
#include "view/glview.h"
#include "view/keyboard.h"
#include "view/material_editing.h"
#include "view/mouse.h"
#include "view/object_file_name.h"

namespace qel {

namespace {

// The erasing stroke of one stamp: two equal samples, since the stroke is
// that single stamp.
void buildEraseStroke(Sculptor& s, const ABrush& stamp, unsigned char scope, unsigned char curve,
                      Sculptor::TProperty property, std::uint8_t paintMask) {
    s.state = Gesture::Idle;
    s.action = scope == 3 ? Sculptor::ErasePatch : scope == 4 ? Sculptor::EraseFeature : Sculptor::EraseComponent;
    s.select = scope == 3 ? Sculptor::SelectPatch : Sculptor::SelectComponent;
    s.property = property;
    s.onSection = curve != 0 ? 1 : 0;
    s.handedness = stamp.handedness;
    s.paintMask = paintMask;
    s.begin();
    s.samples.emplace_back(stamp);
    s.viewDirection = stamp.viewDirection;
    s.end();
    s.samples.emplace_back(stamp);
}

}  // namespace

void GLView::mouseWheel() {
    const float w = mouse.wheel;
    if (w == 0.0f || !std::isfinite(w)) return;
    const bool shift = keys.held(Keyboard::KeyShift);
    const bool control = keys.held(Keyboard::KeyControl);
    if (shift && control) {
        reset(true, false);
        return;
    }
    // Shift makes the step ten times finer.
    static constexpr double Divisor[2] = {1.0, 10.0};
    const float d = float(double(w) / Divisor[shift ? 1 : 0]);
    if (control)
        setBrushSize(float(double(brushSize) * (double(d) / -1000.0 + 1.0)));
    else
        scale(d / -1000.0f);
}

void GLView::quickSave() {
    Tool* object = pickBrush.pickedTool;
    if (!object) return;
    const QString chosen =
        asker->saveFileNameIn(QApplication::activeWindow(), "Save Object", QString(DataRoot) + ObjectsFolder,
                              "All (*.tlo *.obj);;Object (*.tlo);;Meshes (*.obj)");
    if (!chosen.isEmpty()) {
        const std::string typed = chosen.toUtf8().toStdString();
        const std::string path = objectFileName(typed);
        const QString shown = QString::fromStdString(path);
        // The dialog confirmed the typed name only; a file under the name
        // made from it is replaced only when the user agrees.
        if (path == typed || !QFileInfo::exists(shown) ||
            asker->yes(QApplication::activeWindow(), "Save Object",
                       QFileInfo(shown).fileName() + " already exists. Replace it?")) {
            Tool* copy = object->cloneTool(false);
            std::string why;
            // A file not written is said, with the reason, as Save says it.
            if (!copy->save(path, why))
                asker->warn(QApplication::activeWindow(), "Save Object",
                            "The object could not be saved to " + shown + ": " + QString::fromStdString(why) + ".");
            delete copy;
        }
    }
    resetState(false);
}

bool GLView::makeUniqueElement() {
    Tool* object = pickBrush.pickedTool;
    if (!object) return false;
    if (object->makeUniqueElement()) redraw = 1;
    resetState(false);
    return true;
}

bool GLView::makeTriMesh() {
    Tool* object = pickBrush.pickedTool;
    if (!object) return false;
    if (scene->ToMesh(object->element)) {
        redraw = 1;
        endHistory("Convert to Tri-Mesh");
    }
    resetState(false);
    return true;
}

bool GLView::makeClay() {
    Tool* object = pickBrush.pickedTool;
    if (!object) return false;
    // The replaced element may free GL buffers: a menu command runs outside
    // the frame.
    GpuScope context;
    if (scene->ToClay(object->element)) {
        redraw = 1;
        endHistory("Convert to Clay");
    }
    resetState(false);
    return true;
}

bool GLView::pick(Tool* tool, unsigned char scope) {
    // Components, patches and features are picked by the assembly actions
    // under a press, not here.
    if (!tool || scope > 1) return false;
    if (scope == 0) {
        scene->addTool(tool->cloneTool(false));
    } else {
        if (tool->isEmpty() && !tool->isArray()) return true;
        scene->addTool(tool->cloneTool(false)->clearChildren());
    }
    setActiveTool(CreateUseTool, false);
    if (tool->isBiTool()) pickPartner(static_cast<BiTool*>(tool)->partner, scope);
    return true;
}

void GLView::pickPartner(Tool* partner, unsigned char scope) {
    if (!partner || !activeTool) return;
    Tool* copy = partner->cloneTool(false);
    if (scope == 1) copy->clearChildren();
    activeTool->setPartner(copy);
    // A template beside the picked end's copy, not the current one.
    scene->toolsRoot->addChild(copy, false);
    activeToolAux = copy;
}

bool GLView::eraseObject(Tool* tool) {
    if (!tool) return false;
    const int id = scene->findID(tool);
    if (id <= 0 || id == Scene::NotFound) return false;
    pushAct(new ActObjectRemove(scene, id));
    // The picks named the removed object.
    pickBrush = ABrush();
    targetBrush = ABrush();
    return true;
}

bool GLView::eraseParts(Tool* tool, unsigned char scope, unsigned char curve) {
    if (!tool || !tool->element || stamps.empty()) return false;
    std::vector<Sculptor> strokes(stamps.size());
    std::vector<Sculptor*> list;
    list.reserve(stamps.size());
    for (std::size_t i = 0; i < stamps.size(); ++i) {
        buildEraseStroke(strokes[i], stamps[i], scope, curve, sculptProperty, std::uint8_t(brushMaterialMask));
        list.push_back(&strokes[i]);
    }
    tool->sculpt(list);
    return true;
}

void GLView::openMaterialDialog(MaterialEditing& dialogs, pbr* target, const QString& title) {
    dialogs.editMaterial(target, title);
}

}  // namespace qel
