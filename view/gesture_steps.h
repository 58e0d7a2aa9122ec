#pragma once
// qel::GestureSteps, the steps of the view's input state machine behind
// GLView::setState, mouseDown, mouseMove, mouseUp and releaseAssembly, which
// forward to the view's one GestureSteps: the keys and what they finish
// (glview_state.cpp, glview_drawing.cpp), the button press
// (glview_press.cpp), the drag (glview_drag.cpp), the release
// (glview_release.cpp) and the release steps of the assembly actions
// (glview_release_place.cpp, glview_release_change.cpp).
//
// The steps reach the view only through what is declared here: the view's
// interaction fields they read and write, bound by reference when the view
// is built, and the view's operations they call, each forwarded to the view
// (gesture_steps.cpp).

#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "gl/pbr.h"
#include "scene/abrush.h"
#include "scene/sculptor.h"
#include "view/view_modes.h"

namespace qel {

class Act;
class Asker;
class Assemblor;
class Element;
class GLView;
class MaterialEditing;
class Mesh;
class Scene;
class Tool;

class GestureSteps : public ViewModes {
public:
    explicit GestureSteps(GLView& view);
    GestureSteps(const GestureSteps&) = delete;
    GestureSteps& operator=(const GestureSteps&) = delete;

    // The entry points of the view (GLView::setState, mouseDown, mouseMove,
    // mouseUp, releaseAssembly), described there.
    void setState();
    void mouseDown();
    void mouseMove();
    void mouseUp();
    void releaseAssembly(TAssemblyAction action);
    // Ends the notice of a stroke that left its mesh as it is once the
    // selected mode, action or tool is no longer the one it was said under;
    // once a frame, after the frame's input.
    void endOutdatedNotice();

private:
    GLView& view_;  // reached by the forwarding operations alone
    // The status bar has said once that a sculpt stroke empties the history.
    bool historyEmptiedTold = false;
    // The notice of the last stroke that left its mesh as it is, with the
    // selections it holds under; no text when none stands. The template is
    // compared, never reached through.
    struct InertNotice {
        QString text;
        TActionMode mode = ModeIdle;
        TAssemblyAction assemblyAction = ActionPlace;
        Sculptor::TAction sculptAction = Sculptor::Move;
        TToolCreation toolCreation = CreateUseTool;
        const Tool* currentTool = nullptr;
    } inertNotice;
    // Says `text` of an inert stroke and keeps it with the current selections.
    void sayInert(const QString& text);
    // The standing notice of an inert stroke, if any, is no longer true.
    void endInertNotice();

    // ---- The view's fields the steps read and write (GLView) ----
    Scene*& scene;
    std::vector<Act*>& undoHistory;
    std::int32_t& historyIndex;
    Asker*& asker;
    std::int32_t& viewPreset;
    std::uint8_t& showHandles;
    bool& menuAwaitsPick;
    std::uint8_t& interactionState;
    TActionMode& selectedActionMode;
    TActionMode& actionMode;
    TAssemblyAction& selectedAssemblyAction;
    TAssemblyAction& assemblyAction;
    Sculptor::TAction& selectedSculptAction;
    Sculptor::TAction& sculptAction;
    Sculptor::TSelect& selectedSculptSelect;
    Sculptor::TSelect& sculptSelect;
    Sculptor::TProperty& selectedSculptProperty;
    Sculptor::TProperty& sculptProperty;
    TToolCreation& toolCreation;
    TTransformerType& transformerType;
    std::uint8_t& linkedMode;
    std::vector<std::int32_t>& arrayCounts;
    std::vector<Tool*>& auxiliaryTools;
    std::int32_t& solidShape;
    Tool*& activeTool;
    Tool*& activeToolAux;
    pbr& activeToolProperties;
    ABrush::TSelection& brushProjection;
    ABrush& pickBrush;
    ABrush& targetBrush;
    std::uint8_t& materialPending;
    Tool*& materialTool;
    Assemblor& assemblor;
    std::int32_t& ikLevel;
    std::vector<Tool*>& dragTools;
    std::vector<mat4>& dragMatrices;
    std::uint32_t& brushMaterialMask;
    std::vector<ABrush>& stamps;
    std::vector<Sculptor*>& sculptors;
    Tool*& copySource;
    std::uint8_t& closedDrawing;
    std::uint8_t& axisSection;
    std::vector<mat4>& placements;
    mat4& drawingPlane;
    mat4& drawingFrame;
    float& brushSize;
    pbr& brushMaterial;
    std::array<std::int32_t, 2>& cursorPixel;
    std::array<std::int32_t, 2>& dragDistance;
    std::uint8_t& cornerPending;
    mat4& copyFrame;

    // ---- The view's operations the steps call (forwarded to GLView) ----
    void resetState(bool reloadTool);
    void setActionMode(TActionMode m);
    void setSculptAction(Sculptor::TAction a);
    void setSculptSelect(Sculptor::TSelect s);
    void setSculptProperty(Sculptor::TProperty p);
    Tool* setActiveTool(TToolCreation value, bool applyMaterial);
    TAssemblyAction iassemblyAction() const;
    bool linked() const;
    bool onAllInstances() const;
    std::int32_t hierarchy(bool toParent) const;
    bool inside() const;
    vec3 ScreenNormal() const;
    void rotate(float x, float y, float z);
    void translate(float x, float y, float z);
    ABrush selection(ABrush::TSelection mode, ABrush* previous);
    bool select();
    bool pick(Tool* tool, unsigned char scope);
    void quickSave();
    void openMaterialDialog(MaterialEditing& dialogs, pbr* target, const QString& title);
    void updateDrawing();
    void pushAct(Act* record);
    void clearHistory();
    // The view's signals.
    void notice(const QString& text);
    void noticeEnded(const QString& text);
    void openMenu();

    // ---- The steps ----
    // ---- The key half of the input state machine (glview_state.cpp) ----
    // A drawing is under way in assembly mode with the left button held
    // (leftHeld) or up.
    bool drawingKeysApply(bool leftHeld) const;
    void escapeKey();
    // Escape in a copying drag: the copy record undone and dropped.
    void dropCopyRecord();
    void backspaceKey();
    // Shift, Alt or Control give the newest drawn point its segment kind.
    void segmentKind();
    void returnKey();
    // Return with Alt on a Revoluton: an open drawn profile's last and
    // first vertices get edges to their feet on the axis, and the revoluton
    // is initialised again; a profile drawn closed stays as drawn. False
    // when no profile vertex was drawn or the profile is not one sound
    // chain (its connectivity failed): nothing may then be added.
    bool closeProfileOntoAxis();
    // The finished drawing's frame onto the tool under creation and the
    // placements, and the objects added through an undo record; a drawing
    // without a finite frame, or an array without items, adds nothing and
    // says so.
    void placeDrawing(Element& e);
    // Why the finished drawing cannot give a sound element of the kind under
    // creation, for the status bar; empty when it can. A drawn curve needs
    // two distinct points (a profile's outline three, and an area); tools
    // whose element is no drawn curve are not asked.
    QString drawingRefusal() const;
    // The number of distinct points of the curve the strokes give.
    std::size_t distinctDrawnPoints() const;
    // The flat mesh of the drawn outline of a profile tool, in the drawing's
    // space; null when the outline has fewer than three points or meshes to
    // nothing.
    Mesh* drawnProfileMesh();
    void assemblyKeys();
    void idleAssemblyKeys();
    void drawDigit(int n);
    void sculptKeys();
    void sculptDigits();
    // The pick record holds a point on a tube or a revoluton.
    bool pickedSweptElement() const;
    // ---- The button press (glview_press.cpp) ----
    // The drawing press in assembly mode; false when the press ends as a
    // view drag without the left-press actions.
    bool drawingPress(bool leftPressed);
    void firstDrawingPoint(bool single);
    void laterDrawingPoint(bool single);
    void sculptPress();
    void assemblyPress();
    // A picked point on a listed object; otherwise the press becomes a view
    // drag and false is returned.
    bool pressNeedsPoint();
    // The effective mode becomes View; a gesture starts when none runs.
    void viewDragPress();
    // The undo record of a move, turn or scale, or the copy a copying drag
    // moves instead of the picked object.
    void transformPress();
    // ---- The drag (glview_drag.cpp) ----
    void dragDrawing();
    void dragSculpt();
    // One sample per sculpt gesture from the stamp of the same position,
    // each gesture told move, or end with ending. A gesture without a stamp
    // (merged symmetric copies) repeats its own last sample.
    void addSculptSamples(bool ending);
    void dragView();
    void dragAssembly();
    void dragIK();
    // G, the pressed object's pivot frame in the world, and its inverse;
    // false when G is singular.
    bool dragFrame(mat4& G, mat4& Ginv) const;
    // The world frame the stamp's picked tool hangs in: the picked world
    // matrix, or for a two-ended end the parent matrix of its last
    // flattening (its list matrix is turned towards its partner).
    static mat4 hangingFrame(const ABrush& b);
    void dragMove();
    // Rotate, Scale or RotateScale by the pointer's turn and distance
    // about the pivot since the previous frame.
    void dragTurnOrScale(TAssemblyAction action);
    // ---- The release (glview_release.cpp) ----
    void releaseSculpt();
    // The ending of a move, turn or scale drag.
    void releaseTransform();
    // The common ending of every release.
    void endGesture();
    // Deletes the newest record when Undo would apply it next, it is of the
    // Act::TKind `kind` and it changes nothing (a press's record whose
    // gesture ended without a change). The Mirror and Material steps use it,
    // and so can the ending of a transforming drag.
    void dropUnchangedRecord(int kind);
    // ---- Release steps (glview_release_place.cpp) ----
    // A fresh On Object pick at the cursor into targetBrush.
    void pickAgain();
    void releaseInsert();
    void releaseMultiply();
    void releasePlace();
    // Place of a two-ended tool: one end at the press point and its partner
    // at the release point, through one record; both stamps are reset.
    void placeTwoEnded();
    // Where an end placed at the stamp goes: at its point in the receiving
    // frame, z along the stamp's pixel vector, scaled to the brush size.
    mat4 endPlacement(const ABrush& b) const;
    void releasePick();
    // PickComponent, or with patch the patch pick.
    void releasePickPart(bool patch);
    void releaseDetachComponent();
    void releaseRemove();
    void releaseDraw();
    void releaseArrayPickItem();
    // ArrayPick: the picked array's items (each a copy under the tools root,
    // an empty slot staying null) and count words become those of new
    // arrays, and the tool under creation is rebuilt.
    void releaseArrayPick();
    // The curve of the object picked at the release becomes the axis (path,
    // revoluton profile, array path, profile element) or the section of the
    // tool under creation; the axis pick also hangs a copy of that tool
    // under the picked object. Nothing without a tool under creation.
    void releaseDrawPickAxis();
    void releaseDrawPickSection();
    // MakeUniform: the picked tube's path, revoluton's profile or plain
    // curve is wrapped in a uniformly resampled curve (none already of
    // curve type 2). The wrapper takes over the holders' references: no
    // extra reference is taken on the wrapped curve.
    void releaseMakeUniform();
    // ---- Release steps (glview_release_change.cpp) ----
    void releaseMaterial();
    void releaseColorIsLight();
    void releaseOrientation();
    void releaseRotateMultiplicity();
    void releaseMatchMaterial();
    void releaseLink();
    void releaseUnlink();
    // ConstrainRotation and its Counter form (rotation), the translation
    // pair otherwise; counter stores the opposite axis.
    void releaseConstrain(bool rotation, bool counter);
    void releaseRemoveConstraint(bool rotation);
    void releaseMirror();
    void releaseAlign();
    // MatchPivot, or with withObject MatchObjectPivot.
    void releaseMatchPivot(bool withObject);
};

}  // namespace qel
