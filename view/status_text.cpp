#include "view/status_text.h"

#include "core/number_text.h"
#include "core/strings.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "view/glview.h"

namespace qel {

namespace {

const bvec4 Grey(204, 204, 204, 0);
const bvec4 Green(0, 255, 0, 255);
const bvec4 White(255, 255, 255, 255);

// Names by value, null where a value has none.
// clang-format off
const char* const SculptActions[] = {
    nullptr, "Move", "CopyMove", "Rotate", "CopyRotate", "Scale", "CopyScale", "Mirror", "CopyMirror",    // 0
    "ScaleDirection", nullptr, nullptr, "Deform", "DeformVolume", "Relax", "Smooth", nullptr, nullptr,    // 9
    nullptr, nullptr, "Inflate", "Deflate", "Grow", "Pinch", "Twist", "Flatten", "Scrape", "Subdivide",   // 18
    nullptr, "PaintMaterial", "FillMaterial", "PickMaterial", "EraseComponent", "EraseRegion",            // 28
    "ErasePatch", "EraseFeature", "Extrude", "ExtrudeScale", "ExtrudeDeform", "ExtrudeInflate", "Bevel",  // 34
    "TearNormal", "TearScale", "TearInflate", "TearDeform", "FreeCut", nullptr, "CutPlane", "ClipPlane",  // 41
    "SubPlane", "InsertPoint", "PlacePoint", "CutSphere", "ClipSphere", "AddSphere", "SubSphere",         // 49
    "CutSphereReverse", "ClipSphereReverse", "AddSphereReverse", "SubSphereReverse", nullptr, nullptr,    // 56
    nullptr, nullptr, nullptr, nullptr, nullptr, "Pattern0", "Pattern1", "Pattern2", "Pattern3",          // 62
    "Pattern4"                                                                                            // 71
};

const char* const AssemblyActions[] = {
    "Insert", "Multiply", "Place", "Paint", "Pick", "PickComponent", "DetachComponent", nullptr,          // 0
    "Remove", "Draw", "ArrayPick", "ArrayPickItem", "ArrayClearItems", "DrawPickAxis",                    // 8
    "DrawPickSection", "MakeUniform", "IK", "Move", "Rotate", "Scale", "Mirror", "RotateScale", nullptr,  // 14
    "RotateMultiplicity", nullptr, nullptr, nullptr, nullptr, "Material", "ColorIsLight", "MakeSprite",   // 23
    "MatchMaterial", "PickMaterial", nullptr, nullptr, "Link", "Unlink", "ConstrainRotation",             // 31
    "CounterConstrainRotation", "ConstrainTranslation", "CounterConstrainTranslation",                    // 38
    "RemoveRotationConstraint", "RemoveTranslationConstraint", "Align", "CounterAlign", nullptr,          // 41
    "MatchPivot", "MatchObjectPivot", nullptr, "ReplaceTool", "Orientation", "QuickSave", "Speed",        // 46
    "Delay"                                                                                               // 53
};
// clang-format on

const char* ModeNames[] = {"IDLE", nullptr, "VIEW", "ASSEMBLY", "SCULPT", "DYNAMICS"};
const char* SelectNames[] = {"Selection: Element", "Selection: Patch", "Selection: All Patches",
                             "Selection: Component"};
const char* HierarchyNames[] = {"Hierarchy: Add To Scene", "Hierarchy: Add To Parent", "Hierarchy: Add To Child"};
const char* ProjectionNames[] = {nullptr, "On Object", "Same Depth", "On Normal", "Normal Plane", "Tangent Plane"};
const char* FrameNames[] = {"Screen", "World", "Object"};

// Entry `value` of a table of names; null outside it.
template <std::size_t N>
const char* entry(const char* const (&names)[N], int value) {
    return value >= 0 && value < int(N) ? names[value] : nullptr;
}

// Collects the pieces in a running colour.
struct Pieces {
    std::vector<StatusPiece> out;
    bvec4 colour = Grey;

    void line(const std::string& text) { out.push_back({text, colour, true}); }
    void part(const std::string& text) { out.push_back({text, colour, false}); }
    // A line only for a value with a name.
    void name(const char* text) {
        if (text) line(text);
    }
    void empty(int count) {
        for (int i = 0; i < count; ++i) line("");
    }
};

void sculptLines(const GLView& view, Pieces& p) {
    const char* action = sculptActionName(view.sculptAction);
    if (action) p.line(toSpaceMaj(action));
    p.name(entry(SelectNames, view.sculptSelect));
    p.line(view.axisSection ? "Section" : "Axis");
    p.line(view.groupsMode ? "Groups" : "Elements");
}

// Where and how the next object goes, for the placing actions.
void placementLines(const GLView& view, Pieces& p) {
    p.name(entry(HierarchyNames, view.hierarchy(false)));
    if (view.relativeToChild == 3) p.line("Placement: Match Hierarchy");
    if (view.relativeToChild == 2) p.line("Placement: Relative To Child");
    p.colour = Green;
    p.line(view.onAllInstances() ? "Add On Linked Objects" : "Add On Single Object");
}

void assemblyLines(const GLView& view, Pieces& p) {
    const GLView::TAssemblyAction action = view.iassemblyAction();
    if (action == GLView::ActionIK) {
        p.line("IK " + (view.ikLevel < 1 ? std::string("Base") : std::to_string(view.ikLevel)));
    } else if (const char* name = assemblyActionName(action)) {
        p.line(toSpaceMaj(name));
    }
    p.colour = Grey;
    if (!view.simple()) {
        if (GLView::isCreateAction(action))
            placementLines(view, p);
        else
            p.empty(3);
        p.colour = Green;
        p.line(view.linked() ? "Linked" : "Unlinked");
    }
    p.line(view.groupsMode ? "Groups" : "Items");
}

void symmetryLine(const GLView& view, Pieces& p) {
    const auto& s = view.symmetry;
    const char* axes[3] = {" X", " Y", " Z"};
    const bool mirror = s[0] || s[1] || s[2], rotation = s[3] || s[4] || s[5];
    if (!mirror && !rotation) return;
    std::string text = "Sym:";
    if (mirror) text += "  Mirror";
    for (int i = 0; i < 3; ++i)
        if (s[std::size_t(i)]) text += axes[i];
    if (rotation) {
        text += "  Rotation";
        for (int i = 0; i < 3; ++i)
            if (s[std::size_t(3 + i)]) text += axes[i];
        text += "." + std::to_string(view.symmetryItems);
    }
    p.line(text);
}

}  // namespace

const char* sculptActionName(int action) { return entry(SculptActions, action); }

const char* assemblyActionName(int action) { return entry(AssemblyActions, action); }

std::vector<StatusPiece> statusText(const GLView& view) {
    Pieces p;
    const Scene& scene = *view.scene;
    // Copies the arrays could not list are counted where the objects are.
    const std::size_t leftOut = scene.objects.copiesLeftOut;
    p.line("Objects " + std::to_string(scene.objects.tools.size()) + "   Tools " +
           std::to_string(scene.toolsRoot ? scene.toolsRoot->children.size() : 0) +
           (leftOut ? "   " + countOrMore(leftOut) + " copies left out" : std::string()));
    p.empty(1);

    p.colour = Green;
    p.name(entry(ModeNames, view.actionMode));
    if (view.actionMode == GLView::ModeIdle || view.actionMode == GLView::ModeView) p.empty(2);
    if (view.actionMode == GLView::ModeSculpt) sculptLines(view, p);
    if (view.actionMode == GLView::ModeAssembly) assemblyLines(view, p);

    p.colour = Grey;
    p.part("Projection: ");
    p.name(entry(ProjectionNames, view.brushProjection));
    p.part("Frame: ");
    p.name(entry(FrameNames, view.frameType));
    symmetryLine(view, p);

    p.colour = White;
    // With both snap switches off the line stays empty.
    const bool snap = view.snapSymmetry || view.snapGrid;
    p.line(snap ? std::string("Snap:") + (view.snapSymmetry ? " Symmetry" : "") + (view.snapGrid ? " Grid" : "")
                : std::string());
    return std::move(p.out);
}

}  // namespace qel
