#pragma once
// qel::GLView, the one 3D view: the camera, the scene, the two scene render
// targets, the environment, every view setting and mode, the tool under
// creation and the undo history. The host widget builds it with its size in
// device pixels (before any GL context exists) and drives it once a frame;
// the main window's commands read and write its fields and call its setters.
//
// Sources:
//   view/glview.cpp           construction, destruction, resizing, GL set-up
//   view/glview_matrices.cpp  the shared matrices of each frame
//   view/glview_tools.cpp     the tool under creation and the assembly action
//   view/glview_drawing.cpp   the drawn curve and the drawn profile's mesh
//   view/glview_camera.cpp    camera motion
//   view/glview_projection.cpp projection, unprojection and screen metrics
//   view/glview_settings.cpp  setters and predicates of the view settings
//   view/glview_files.cpp     loading and saving by file extension
//   view/glview_layers.cpp    drawing one G-buffer layer and its background
//   view/glview_composite.cpp shading a layer: lighting, edges and contours
//   view/glview_render.cpp    the frame: both layers, their mix, glow, chromatism
//   view/glview_text.cpp      writing the status text with the bitmap font
//   view/glview_overlays.cpp  the interaction overlays and gizmos
//   view/glview_loop.cpp      the frame loop: start-up, input, animation, material edits
//   view/glview_selection.cpp the pixel picking
//   view/glview_sculpt_pick.cpp the sculpt stroke picking
//   view/glview_assembly_pick.cpp the assembly picking
//   view/glview_history.cpp   the undo history
//   view/gesture_steps.cpp    the entry points of the input state machine, forwarded
//                             to its steps (GestureSteps, view/gesture_steps.h)
//   view/glview_state.cpp     the key half of the input state machine, gesture reset
//   view/glview_press.cpp     the button press: what a gesture starts and its undo records
//   view/glview_drag.cpp      the drag: drawing points, sculpt samples, view and object drags
//   view/glview_release.cpp   the button release: the stroke's last step, the gesture's ending
//   view/glview_select2.cpp   the picking that follows Place and Draw during a gesture
//   view/glview_commands.cpp  the object commands and the wheel
//   view/glview_erase.cpp     erasing objects and parts of them
//   view/glview_release_place.cpp  release steps that place, pick and remove objects
//   view/glview_release_change.cpp release steps that change the pressed object
//   view/status_text.cpp      the lines of the status text
//
// Ownership: the view owns the camera, the scene (and through it every
// template and object, the auxiliary tools included), both scene render
// targets, the background image, the environment, the records of
// undoHistory, and the tools under creation while toolCreation is not
// CreateUseTool. For CreateUseTool, activeTool is the scene's current
// template and activeToolAux its partner when it is a two-ended end. The
// tools of pickBrush and targetBrush, and materialTool, point into the
// scene. The stamps, the drawing gesture and its strokes are held by value.
//
// The operations of the interaction layer (pointer and key handling, picking,
// undo and redo, object commands) are declared here and defined with that
// layer; the steps of its input state machine (keys, press, drag, release)
// are those of the member object `gestures` (qel::GestureSteps,
// view/gesture_steps.h), to which setState, mouseDown, mouseMove, mouseUp and
// releaseAssembly forward.
//
// The enumerations of modes, actions and creation tools are those of the
// base qel::ViewModes (view/view_modes.h).

#include <QObject>
#include <QString>
#include <array>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "gl/pbr.h"
#include "scene/abrush.h"
#include "scene/sculptor.h"
#include "scene/tool.h"
#include "view/assemblor.h"
#include "view/gesture_steps.h"
#include "view/id_reader.h"
#include "view/step_pacer.h"
#include "view/view_modes.h"

namespace qel {

class Act;
class Asker;
class Camera;
class Curve;
class MaterialEditing;
class Element;
class Environment;
class FBO;
class FBOScene;
class FBOSceneTransparent;
class Mesh;
class Scene;
class Texture2D;
class Tool;
struct hudWriter;

class GLView : public QObject, public ViewModes {
    Q_OBJECT

public:
    // The milliseconds of a start-up frame that the environment's build may
    // take (no limit when negative): input waits no longer than this and one
    // frame's drawing.
    static double EnvironmentShareMs;

    // ---- Fields, in this order ----
    std::int32_t width;
    std::int32_t height;
    std::uint8_t hiDpi = 0;  // set by the host widget off a 1.0 scale factor
    Camera* camera = nullptr;
    Scene* scene = nullptr;
    FBOScene* fboScene = nullptr;                        // opaque layer (1)
    FBOSceneTransparent* fboSceneTransparent = nullptr;  // transparent layer (2), fboScene's depth
    std::vector<FBO*> fboList;                           // what resize resizes
    Environment* environment = nullptr;                  // made by init
    std::uint8_t environmentBlur = 0;                    // 0..100
    mat3 environmentMatrix;
    std::uint8_t environmentRotated = 0;  // the environment turns with the camera
    std::uint8_t simpleMode = 0;
    bool outside = true;  // the pointer is outside the view
    // The object menu is shown: the pick it was opened on stays as it is
    // for its commands; frames pick nothing and run no gesture step, and
    // the buttons that go up meanwhile (the menu takes the release) end
    // nothing.
    bool pickHeld = false;
    // A Control right press came while the pick named nothing: the object
    // menu is asked for once the frame has picked under the pointer.
    bool menuAwaitsPick = false;
    std::uint8_t ready = 1;   // a frame may run
    std::uint8_t redraw = 1;  // render on the next frame
    std::uint8_t renderSimple = 0;
    std::uint8_t startupStep = 0;  // 0..4, the frame loop's start-up counter
    TViewType viewType = ViewOrthogonal;
    std::int32_t viewPreset = 1;  // 0 General, 1 Front, 2 Back, 3 Left, 4 Right, 5 Top, 6 Bottom
    float nearPlane = 10.0f;
    float farPlane = 10000.0f;
    float fov = 60.0f;                // degrees
    float focusDistance = 1.0f;       // rewritten by buildMatrices
    std::int32_t backgroundMode = 0;  // 0 colour, 1 image, 2 environment
    std::uint8_t glow = 1;
    std::uint8_t lensChromatism = 0;
    std::uint8_t objectsChromatism = 0;
    std::uint8_t edgeDetection = 0;
    std::uint8_t wireframe = 0;
    std::uint8_t selectionDisplay = 0;
    std::uint8_t showHandles;  // Tool::ShowHandles at construction
    std::uint8_t showPivots = 1;
    std::uint8_t hideTransparent = 0;
    wvec4 background{0x2200, 0x2200, 0x2200, 0};
    wvec4 contourColor{0, 0, 0, 0x8000};
    wvec4 lensChromatismColor{0, 0xAA00, 0xFF00, 0x0400};
    wvec4 objectsChromatismColor{0xFF00, 0, 0xFF00, 0x0F00};
    FBO* backgroundImage = nullptr;  // its one colour target holds the background image
    std::uint32_t renderMode = 0;    // wireframe + 2 x selectionDisplay
    float selectionParamC = 0.5f;
    std::chrono::steady_clock::time_point startClock;  // animation time base
    std::uint8_t animate = 1;
    std::uint8_t turntable = 0;
    std::vector<std::int32_t> arrayCounts{32769};  // count words of a new array
    std::int32_t arrayType = 0;                    // 0 Simple, 1 Chain, 2 Zipper
    std::vector<Tool*> auxiliaryTools;             // built by loadAuxiliary; the scene owns them
    std::int32_t axisSides = 7;
    std::int32_t axisSegments = 24;
    std::int32_t trefoilSamples = 64;
    std::int32_t knotSamples = 64;
    std::int32_t knotP = 2;
    std::int32_t knotQ = 3;
    std::int32_t sectionSides = 7;
    std::int32_t sectionSegments = 24;
    std::uint8_t interactionState = 0;  // 0: no gesture
    TActionMode selectedActionMode = ModeAssembly;
    TActionMode actionMode = ModeIdle;
    TAssemblyAction selectedAssemblyAction = ActionPlace;
    TAssemblyAction assemblyAction = ActionPlace;
    TAssemblyAction lastCreateAction = ActionPlace;
    TAssemblyAction lastInsertAction = ActionPlace;
    TToolCreation toolCreation = CreateUseTool;
    TTransformerType transformerType = TransformObjectPivot;
    std::int32_t solidShape = 1;  // thickness of a drawn profile
    TCurveCreation axisCreation = CurveFree;
    TCurveCreation sectionCreation = CurveCircle;
    std::uint8_t addOnAllInstances = 1;
    std::uint8_t linkedMode = 1;
    std::uint8_t groupsMode = 1;    // Groups (1) or Elements (0)
    Tool* activeTool = nullptr;     // the tool under creation
    Tool* activeToolAux = nullptr;  // second end of a two-ended tool under creation, or null
    std::uint8_t tempSelectInstances = 0;
    // How a running assembly stroke places its stamps (the "Projection: "
    // option): OnObject up to TangentPlane.
    ABrush::TSelection brushProjection = ABrush::SameDepth;
    ABrush pickBrush;                  // what lies under the pointer at the last pick
    ABrush targetBrush;                // where a drag or a drawn stroke points now
    std::uint8_t materialPending = 0;  // a material-dialog edit is under way
    Tool* materialTool = nullptr;      // the tool that edit changes
    Assemblor assemblor;               // the drawing gesture
    std::int32_t ikLevel = -1;
    std::vector<Tool*> dragTools;
    std::vector<mat4> dragMatrices;
    std::vector<Tool*> pointerVector;
    std::uint32_t brushMaterialMask = 13;  // colour RGB, roughness, metalness
    std::vector<ABrush> stamps;            // the brush stamps of the current sculpt step
    std::vector<Sculptor*> sculptors;      // the sculpt gestures of the running stroke; owned
    Tool* copySource = nullptr;            // the tool a copying drag started from
    // The symmetry merge record of the current pick: entry k of mergeDropped
    // was merged into entry k of mergeKept.
    std::vector<std::int32_t> mergeKept;
    std::vector<std::int32_t> mergeDropped;
    // What the pickings read the ID buffer through; the GPU reader of the
    // two scene targets unless a test set another (made on first use).
    std::unique_ptr<IdReader> idReader;
    Sculptor::TAction selectedSculptAction = Sculptor::Deform;
    Sculptor::TAction sculptAction = Sculptor::Deform;
    Sculptor::TSelect selectedSculptSelect = Sculptor::SelectElement;
    Sculptor::TSelect sculptSelect = Sculptor::SelectElement;
    Sculptor::TProperty selectedSculptProperty = Sculptor::PropertyDefault;
    Sculptor::TProperty sculptProperty = Sculptor::PropertyDefault;
    std::int32_t hierarchyMode = 2;    // 0 Add To Scene, 1 Add To Parent, 2 Add To Child
    std::int32_t relativeToChild = 2;  // 2 while Relative To Child is on, 3 while off
    std::uint8_t drawing = 0;
    std::uint8_t closedDrawing = 0;
    std::uint8_t axisSection = 0;  // 0 Axis, 1 Section
    std::uint8_t snapSymmetry = 0;
    std::uint8_t snapGrid = 0;
    float snapSymmetryValue = 0.5f;
    float snapGridValue = 16.0f;
    TFrameType frameType = FrameObject;
    std::array<std::uint8_t, 6> symmetry{1, 0, 0, 0, 0, 0};  // mirror X, Y, Z, rotation X, Y, Z
    std::int32_t symmetryItems = 6;
    std::array<std::uint8_t, 6> drawSymmetry{0, 0, 0, 0, 0, 0};
    std::int32_t drawSymmetryItems = 6;
    // The in-plane direction of a Normal Plane stroke (world); zero: not chosen.
    vec3 planeDirection{0, 0, 0};
    std::vector<mat4> placements;
    mat3 drawingCamera;           // camera frame captured by a pick in the Screen frame kind
    mat4 drawingPlane;            // plane of the stroke picked at its start
    mat4 drawingFrame;            // frame of the drawn curve
    float brushSize = 300.0f;     // pixels, 1..2000
    float brushElevation = 0.0f;  // -1..1
    pbr activeToolProperties;     // material of the tools built here
    pbr brushMaterial;
    std::uint8_t pressureSize = 1;  // pen pressure drives the brush size
    std::uint8_t blockSizeLock = 0;
    vec3 blockPixel{0, 0, 0};
    std::uint8_t tabletState = 0;  // 0 pen away, 1 near or lifted, 2 pressed
    float pressure = 1.0f;
    std::vector<Act*> undoHistory;   // owned
    std::int32_t historyIndex = -1;  // the record Undo applies next
    std::int32_t historyLimit = 20;
    // The pointer position at the press and after every drag step,
    // truncated; the pixel the pickings read.
    std::array<std::int32_t, 2> cursorPixel{0, 0};
    std::array<std::int32_t, 2> dragDistance{0, 0};  // pointer movement summed since the press
    // Where the pointer was when the frame's pickings last ran (NaN before
    // the first), and whether those pickings asked for the preview.
    vec2 pickedAt{std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::quiet_NaN()};
    bool pickPreview = false;
    // The layers hold no frame to pick from (resized since they were last
    // drawn): the pickings wait for the next frame to draw them.
    bool layersStale = false;
    // The plan of the frame's gesture steps when they cannot keep up with
    // the pointer (view/step_pacer.h): asked at every motion the frame takes.
    StepPacer pacer;
    std::uint8_t cornerPending = 0;  // while drawing: the drag's next sample starts a new point
    mat4 copyFrame;                  // the world frame a copying drag moves its copy in
    Asker* asker;                    // not owned; Qt's dialogs unless a test set another
    std::uint8_t showText = 1;

    // ---- Construction (glview.cpp) ----
    // Makes no GL call: the render targets and the environment build their
    // GL objects when first used.
    GLView(int width, int height);
    GLView(const GLView&) = delete;
    GLView& operator=(const GLView&) = delete;
    ~GLView() override;
    // Nothing for the current size; else the new size for every render
    // target, and a redraw.
    void resize(int width, int height);
    // The current size for every render target, and a redraw.
    void resizeFBO();
    // The fixed GL state (when there is a function table) and the default
    // environment; called by the first frame.
    void init();

    // ---- The shared matrices (glview_matrices.cpp) ----
    // focusDistance and every Shader matrix from the camera and the
    // projection settings; once a frame, at the start of rendering.
    void buildMatrices();
    // The screen-depth range of the projection: -farPlane..farPlane in the
    // orthogonal view, nearPlane..farPlane in perspective.
    float Near() const;
    float Far() const;
    // min(width, height): pixels spanned by one world unit at zoom 1.
    float ViewSize() const;

    // ---- Tool creation (glview_tools.cpp) ----
    // Makes `value` the creation tool and returns the tool under creation.
    Tool* setActiveTool(TToolCreation value, bool applyMaterial);
    void setAssemblyAction(TAssemblyAction a);
    // Previous (true) or next (false) template, for the placing actions.
    Tool* setNextTool(bool previous);
    // Builds the tool under creation again from the current settings.
    Tool* UpdateActiveTool();
    Tool* setAxisCreation(TCurveCreation c);
    Tool* setSectionCreation(TCurveCreation c);
    // Deletes the owned tools under creation (both ends) and clears them.
    void deleteActiveTools();
    // Deletes the owned tool under creation; the second end stays.
    void clearActiveTool();
    // activeToolProperties onto a tool under creation built here.
    void setActiveToolProperties();
    // The auxiliary sphere, added to the scene as its current template; the
    // copies of it that a loaded library holds give way to it.
    void loadAuxiliary();
    // A new curve of the shape, owned by the caller: N-Gon, Circle and
    // Chainlink take the axis counts when axis is set, else the section
    // counts. Free and every value outside 1..10 give an empty curve.
    Curve* CurveCreation(TCurveCreation shape, bool axis, bool sharpLinks) const;

    // ---- The drawn curve (glview_drawing.cpp) ----
    // Rebuilds the curve of the strokes drawn so far into the tool under
    // creation and places the tool in the drawing's frame; nothing (not even
    // a redraw) while there is no stamp and no stroke.
    void updateDrawing();

    // ---- Camera motion (glview_camera.cpp) ----
    // These change the camera record only: no redraw, no new matrices; the
    // next buildMatrices() picks the change up. Angles in radians, pan
    // distances in view units (pixels at the focus depth).
    // Turns the scene about the view axes through the world origin: a
    // positive x turns the view's +y towards -z, y turns +x towards +z, z
    // turns +x towards -y.
    void rotate(float x, float y, float z);
    // Pans: +x moves the scene right, +y down, +z towards the viewer.
    void translate(float x, float y, float z);
    // Zooms by 1 + s about the view centre; the zoom never drops below 1e-5
    // and a factor at or below 0 leaves the pan at the centre.
    void scale(float s);
    // The same about the point (c.x, c.y, 0) of the pan space.
    void scale(vec2 c, float s);
    // Pan and zoom back to the start (resetPanZoom), orientation to the
    // identity (resetRotation).
    void reset(bool resetPanZoom, bool resetRotation);
    // The camera as a rigid motion with its translation in world units.
    mat4 ViewTransform() const;

    // ---- Projection and unprojection (glview_projection.cpp) ----
    // All read the matrices of the last buildMatrices() (the last rendered
    // frame) and the view size; none allocates. Screen coordinates are
    // device pixels from the top-left corner with y down; window depth is
    // 0..1 from near to far; screen depth is Near()..Far(), linear in window
    // depth.
    // World to screen x, y with z = normalized depth x farPlane.
    vec3 project(const vec3& p) const;
    // Screen x, y and window depth d to world.
    vec3 unproject(float x, float y, float d) const;
    static vec3 project_World_To_Normalized(const vec3& p);
    vec3 project_Normalized_To_Screen(const vec3& n) const;
    vec3 project_World_To_Screen(const vec3& p) const;
    vec3 unproject_Screen_To_Normalized(const vec3& s) const;
    static vec3 unproject_Normalized_To_World(const vec3& n);
    vec3 unproject_Screen_To_World(const vec3& s) const;
    // World direction to view direction and back, of unit length (a zero
    // vector stays zero).
    static vec3 project_Normal(const vec3& v);
    static vec3 unproject_Normal(const vec3& v);
    // Window depth to view-space z (inverts the projection on every call)
    // and back.
    static float depthScreen(float d);
    static float depthScreenInv(float z);

    // ---- Screen metrics (glview_projection.cpp) ----
    // Window depth of the focus depth, where screen sizes are measured.
    float ScreenDepth() const;
    // The world vector from the point under pixel (0, 0) to the point under
    // pixel (1, 0) at the focus depth: one pixel along the screen's x. With
    // locked and the Block Size lock on, the vector frozen by blockSize().
    vec3 ScreenRadius(bool locked) const;
    // Toggles the Block Size lock; switching it on freezes the pixel vector
    // of the last frame.
    void blockSize();
    // The unit world direction from the scene towards the viewer.
    vec3 ScreenNormal() const;
    static vec3 WorldNormal() { return vec3(0, 0, 1); }

    // ---- View settings and predicates (glview_settings.cpp) ----
    // Setters of the menu commands. Each stores its value and raises redraw
    // unless noted.
    void setActionMode(TActionMode m);
    void setSculptAction(Sculptor::TAction a);
    void setSculptSelect(Sculptor::TSelect s);
    void setSculptProperty(Sculptor::TProperty p);
    // Only on a change; the effective modes and actions go back to the
    // selected ones.
    void setViewType(TViewType t);
    // Redraws only in perspective; a value outside 0..180 degrees (or not a
    // number) is refused and the old one kept.
    void setFOV(float degrees);
    void setFrameType(TFrameType t);
    void setTransformerType(TTransformerType t);
    // The display flags; renderMode stays wireframe + 2 x selectionDisplay.
    void setWireframe(bool on);
    void setSelection(bool on);
    void setContour();
    // Sculpt and drawing symmetry: mirror X, Y, Z, rotation about X, Y, Z
    // and the number of rotated copies. No redraw.
    void setSymmetry(bool mx, bool my, bool mz, bool rx, bool ry, bool rz, int items);
    void setDrawSymmetry(bool mx, bool my, bool mz, bool rx, bool ry, bool rz, int items);
    void setClosedDrawing(bool on);
    void setSnapSymmetry(bool on);
    void setSnapGrid(bool on);
    // Clamped to 1..2000 pixels and -1..1 (not a number: the lower bound).
    // While a stroke is held, the newest stamp of the drawing takes the
    // brush size.
    void setBrushSize(float size);
    void setBrushElevation(float elevation);
    // No gesture is under way.
    bool idle() const { return interactionState == 0; }
    bool simple() const { return simpleMode != 0; }
    // The pointer is in the view, off its outermost pixel rows and columns.
    bool inside() const;
    // The same for the pointer at `p`.
    bool inside(const vec2& p) const;
    // The placement options; the simple interface always places single,
    // unlinked objects.
    bool onAllInstances() const { return !simple() && addOnAllInstances != 0; }
    bool linked() const { return !simple() && linkedMode != 0; }
    // Where new objects hang (a Scene::THierarchyType value); the simple
    // interface hangs them under the parent when toParent is set, else under
    // the picked entry.
    std::int32_t hierarchy(bool toParent) const;
    // The effective assembly action; the simple interface has no Insert and
    // places instead.
    TAssemblyAction iassemblyAction() const;

    // ---- Loading and saving by extension (glview_files.cpp) ----
    // By the upper-cased extension of the file name: ".OBJ" imports a mesh
    // template, ".TLO" merges an object file, ".TL" replaces the scene. False,
    // with the scene and the undo history untouched, for any other extension
    // and for a file that cannot be read or is refused. A load that succeeds
    // empties the history and makes Use Tool the creation tool. The work a
    // file causes is bounded by a load budget (scene/load_budget.h) of its
    // own, and an object file's also by what the scene already holds; a
    // file over its budget loads with the excess left out, and loadWarning
    // then names it; an OBJ file loaded with face lines that gave no face
    // names those (empty after any other load).
    bool load(const std::string& path);
    std::string loadWarning;
    // Why the last load failed, as a clause ("it is not a scene or object
    // file"); empty after one that succeeded.
    std::string loadError;
    // The scene file, or the whole-scene OBJ export for ".obj". False, with
    // the history kept, when the file cannot be written. The tool under
    // creation is built again either way. An export written without some
    // array copies says how many in saveWarning (empty after any other save).
    bool save(const std::string& path);
    std::string saveWarning;
    // Why the last save failed, as a clause ("there is no folder /x");
    // empty after one that succeeded.
    std::string saveError;
    // Replaces the scene by `next` (owned from here on), or empties it when
    // next is null; clearTools empties only the tool library. First every
    // pointer into the old scene goes: the tools under creation, the undo
    // history (index -1), the pick records, the material edit's tool and
    // every gesture. The view's context is current meanwhile, so the old
    // scene's GPU objects are freed in it. The auxiliary tools come back
    // with a new scene, and the tool under creation is built again.
    void replaceScene(Scene* next);
    void clearTools();

    // ---- The interaction layer ----
    // Ends every gesture: the pick records, the drawing and the sculpt
    // gestures are reset (the sculpted element forgets a stroke cut short)
    // and interactionState becomes 0; with reloadTool the tool under
    // creation is built again.
    void resetState(bool reloadTool);
    // The stamp at the cursor pixel placed by `mode` (P held: OnObject onto
    // the picked pivot); previous is the stamp the new one continues, which
    // every mode but OnObject needs (without it they return the stamp as
    // prepared, as does a mode outside 1..5). OnObject reads the ID buffer
    // of the last frame through idReader; a Normal Plane pick that starts a
    // drawing also sets the drawing's placements and plane.
    ABrush selection(ABrush::TSelection mode, ABrush* previous);
    // The sculpt twin of selection: the radius is the brush size (never
    // scaled by pressure), the strength is the pen pressure, and there is no
    // lift, no P override and no pivot snapping. On Object keeps the item id
    // of previous when the stroke passes onto another object, and a fresh
    // hit also fills the picked object's frames and the viewing axis; an
    // empty pixel gives no stamp for missMode NoStamp, else a stamp at the
    // previous stamp's depth (the focus depth without one). A fresh hit on
    // an object without an element, or with a transform that cannot be
    // inverted, clears the scene's selection and gives the reset record.
    ABrush selectionSculpt(ABrush::TSelection mode, ABrush::TSelection missMode, ABrush* previous);
    // The projection rules of a sculpt stroke (Same Depth up to Tangent
    // Plane) moving the prepared stamp s, which continues previous: the grid
    // is anchored at pickBrush and no drawing is started.
    void projectSculptStamp(ABrush& s, ABrush::TSelection mode, ABrush& previous);
    // The pointer entered or left the view (the host widget's events).
    void enterEvent();
    void leaveEvent();
    // A gesture runs and a button is still down (as the last frame saw it).
    bool dragUnderWay() const;
    void setState();
    // The button press of a frame (nothing without a newly pressed button or
    // with the pointer outside): the context menu (Control with the right
    // button while idle), a view drag, a drawing point, a sculpt stroke or an
    // assembly gesture on the picked object, with the undo records the drag
    // will need made before anything moves. A press that lands on nothing
    // the action can use becomes a view drag.
    void mouseDown();
    // The button release of a frame (nothing without a released button),
    // wherever the pointer is: the steps work from the last frame's picks
    // inside the view. A left release runs the sculpt stroke's
    // last step, the ending of a move, turn or scale drag (its unchanged
    // record dropped, a linked copy joined to its source's ring) or the
    // assembly action's release step; a right release during a left drag
    // returns at once. Then, once both buttons are up, the gesture ends: the
    // pick records and gestures are reset (an interactionState above 1
    // survives), the selected mode and actions become the effective ones,
    // and setState looks at the keys; a drawing goes on instead.
    void mouseUp();
    // The drag of a frame in which the pointer moved inside the view: a
    // drawing's points, one sample per sculpt gesture and the sculpt step
    // (only with the left button held),
    // the view's turn or pan, and with the left button alone the assembly
    // drags of the pressed object (speed, delay, inverse kinematics, move,
    // turn, scale, material). cursorPixel follows the pointer.
    void mouseMove();
    // The release step of one assembly action, for mouseUp: it calls
    // releaseAssembly(iassemblyAction()) once a left release has passed its
    // filter (the left button was down in the previous frame and is up now)
    // and runs the common ending afterwards whatever the step did. The step
    // reads pickBrush (the press), targetBrush (the drag's last stamp, or a
    // fresh On Object pick at the cursor for the steps that pick again),
    // placements and interactionState; the steps that finish their work set
    // the effective action mode to ModeIdle. RotateMultiplicity, Material,
    // ColorIsLight and Orientation do nothing while the right button is
    // down. A pick that names no listed object has no picked tool, and the
    // steps that need one then do nothing. The ending of a transforming
    // drag (Move, Rotate, Scale, RotateScale) is mouseUp's own, and every
    // action without a release step (the array pick, picking curves for the
    // tool under creation, the uniform resampling among them) does nothing.
    void releaseAssembly(TAssemblyAction action);
    // The assembly pick under the cursor into pickBrush (the merge record
    // emptied and planeDirection zeroed first) and, for Insert and Draw (and
    // outside assembly mode), the symmetric placements of a new object with
    // drawingPlane the first; for Multiply during a gesture the symmetric
    // copies of the picked object and their preview; for Insert during a
    // gesture the placement preview. False when the pick holds no stamp, and
    // for Multiply while idle or without a listed picked object (placements
    // then stay as they were).
    bool select();
    // During a Place or Draw gesture: targetBrush follows the cursor. Draw
    // snaps the new point as the drawing's first point was snapped; Place
    // lays out the placements of the tool under creation (and its symmetric
    // copies) from the press point along the drag, scaled by the drag
    // length, merging the copies that meet with snapping on. True when the
    // preview list is to be drawn; false without a press stamp, for Insert,
    // for Place without a tool or with the pointer still on the press pixel
    // (targetBrush then holds no stamp).
    bool select2();
    // The sculpt brush under the cursor and its symmetric copies in stamps.
    // fresh: pickBrush and targetBrush from a new pick, the stamps and the
    // merge record rebuilt from it. Otherwise (a stroke runs) targetBrush
    // follows the cursor by the action's projection rule and the stamps are
    // rewritten in place, the merge record replayed; the number of stamps
    // stays, and each keeps its handedness and viewing axis.
    void selectSculpt(bool fresh);
    // The history (glview_history.cpp): pushAct takes over an applied
    // record, dropping the undone records and, at the limit, the oldest.
    // UNDO and REDO do nothing during a gesture; otherwise they step the
    // history (when it allows), reset the pick and put the chosen mode in
    // effect again, for a redraw that picks anew.
    void pushAct(Act* record);
    void UNDO();
    void REDO();
    void afterHistoryStep();
    // A change that no record undoes (a subdivision, a conversion) ends the
    // history: every record goes, so that Undo never steps back past the
    // change in its place, and when any went the status bar says so,
    // naming the step.
    void endHistory(const QString& step);
    // Deletes every undo record, the newest first.
    void clearHistory();
    // ---- Object commands (glview_commands.cpp, glview_erase.cpp) ----
    // The context object is pickBrush.pickedTool.
    // The wheel of qel::mouse: Shift and Control reset pan and zoom; Control
    // scales the brush size, otherwise the view zooms; Shift makes the step
    // ten times finer. Nothing for a still wheel.
    void mouseWheel();
    // Asks for an object file name and writes a copy of the context object
    // (".tlo" given to a name without one, ".tlo" for a foreign extension),
    // then resets the gesture. Nothing without a context object.
    void quickSave();
    // A copy of the tool (scope 0) or of its element without children
    // (scope 1) becomes the scene's current template and the tool under
    // creation. False for a null tool and for scopes 2..4, which pick
    // nothing; true without change for scope 1 of a tool with no element
    // that is not an array. A two-ended end comes with a copy of its
    // partner, linked to it, as a template and as activeToolAux.
    bool pick(Tool* tool, unsigned char scope);
    // Scope 0 or 1: eraseObject(tool). Scope 2 and above: the sculpt-stroke
    // picking, then eraseParts. False for a null tool or one without element.
    bool erase(Tool* tool, unsigned char scope, unsigned char curve);
    // Removes the listed object `tool` through an undo record; false for a
    // tool that is not a placed object.
    bool eraseObject(Tool* tool);
    // Erases parts of the tool's element at each of `stamps`: a one-stamp
    // erasing stroke per stamp (scope 3 patches, 4 features, any other
    // components; curve non-zero for the section curve of a swept element)
    // handed to the tool's sculpt. No undo record. False without a stamp.
    bool eraseParts(Tool* tool, unsigned char scope, unsigned char curve);
    // The context object's element converted to a triangle mesh, or to clay,
    // or made its own, raising redraw when anything changed; the gesture is
    // reset. A conversion ends the history (endHistory). False without a
    // context object.
    bool makeTriMesh();
    bool makeClay();
    bool makeUniqueElement();
    // Opens a fresh material dialog on *target (every channel, no switches);
    // a dialog still open is closed first without touching its material.
    void openMaterialDialog(MaterialEditing& dialogs, pbr* target, const QString& title);

    // ---- Scene layers (glview_layers.cpp) and their shading (glview_composite.cpp) ----
    // Fills one G-buffer layer, which the caller has enabled, with the
    // frame's matrices built: for the opaque layer first the background
    // (image, plain colour or sky) in color and composite, then, unless
    // preview, the clears; then the objects of `type` (with preview the
    // preview list, drawn over what the layer holds), their features and
    // their auxiliary drawing, the stencil marking the pixels drawn with the
    // layer number. Leaves the depth test, the stencil test (except for a
    // hidden transparent layer) and every write mask on. Always true.
    bool renderScene(FBOScene* fbo, Tool::TRenderType type, bool preview);
    // Shades the enabled layer into an image through its input/output pair:
    // lighting (from the environment, or a fixed light in simple rendering
    // or without one), edge detection when on, then the contours chosen by
    // renderMode. Each pass is restricted by the stencil to the layer's
    // pixels. The image ends in the layer's output. False, with the message
    // logged, when a pass's program or textures cannot be enabled.
    bool compositLayer(FBOScene* fbo);

    // ---- The frame loop (glview_loop.cpp) ----
    // One frame, called by the host widget on every timer tick and after a
    // resize with the context current. Finishes the GL start-up over the
    // first calls (the first renders after init(); from the fourth on each
    // call builds a share of the environment and goes on with simple
    // rendering; the call that ends the build, dropping the environment when
    // it fails, returns null and asks for a lit frame), reads
    // the keyboard, takes over qel::mouseRead into qel::mouse, turns the
    // turntable, advances the animation by the wall-clock time since
    // startClock, applies a material being edited in the material dialog
    // (and settles its undo record when the dialog has closed), and renders
    // when redraw is set. Returns the frame, or null when nothing was drawn
    // or a call is already running (that call then touches nothing).
    Texture2D* MainLoop();
    // The input half of a frame: the key and button changes recorded since
    // the last frame taken in order (view/input_latch.h), the keyboard read,
    // the widget's mouse record taken over, a turned wheel (inside the view
    // or not), and, when the input changed and the pointer is inside(), the
    // input state machine (setState, mouseDown, mouseUp, mouseMove), which
    // raises redraw. A button released anywhere else still runs mouseUp,
    // which ends the gesture; the pointer being outside, the view then goes
    // idle as on leaving it. While a gesture runs, the handlers work from
    // pickings where the pointer is now (pickForStep); a button change away
    // from where the pointer was first moves it there as a step of its own,
    // with the pickings there.
    // A motion that skipsStep() only moves the pointer. A pointer motion
    // latched behind the frame's own change waits for nextMotion. While a
    // stroke goes the shortest way toward where the hand went
    // (StepPacer::chasing), the frame takes its next step on that way
    // instead, and the latch keeps what came after.
    void frameInput();
    // One pointer motion latched behind the frame's change (pointerStep).
    // False when none waits, or when the frame's steps have used up their
    // budget: the motions then wait, in order, for the next frames, and a
    // release latched behind them ends the gesture after them. The pacer
    // keeps that wait short: a transform takes its waiting motions as one
    // step, a sculpt stroke spaces its samples further apart, so that a
    // gesture ends within a frame or two of its release however many
    // motions its steps could not keep up with.
    bool nextMotion();
    // setState, mouseDown, mouseUp and mouseMove, in this order, after the
    // pickings a gesture's step needs (pickForStep); the handlers' time
    // goes to the pacer.
    void runStep();
    // cursorPixel follows the pointer, which takes no gesture step.
    void followCursor();
    // A step of the pointer alone: it moves to `to` with the buttons it had,
    // no key changes, and the input state machine runs as in a frame, after
    // the pickings at `to` while a gesture is under way. A hovering motion
    // with another motion right behind it (`motionFollows`) only moves the
    // pointer, as does a motion that skipsStep().
    void pointerStep(const vec2& to, bool motionFollows);
    // The frame's pickings where the pointer is now, when a gesture is under
    // way and they last ran elsewhere: a step's handlers work from where its
    // pointer is, not from where the step before left it.
    void pickForStep();
    // The frame's pickings where the pointer is now; only the last
    // pickings' preview is drawn.
    void stepPicks();
    // A motion of a gesture under way that is to take no step at the pacer's
    // pace (StepPacer::skips); a folding frame first moves the pointer on to
    // the latest motion of the run.
    bool skipsStep(bool motionFollows);
    // The gesture under way as the pacer sees it.
    StepPacer::Gesture pacedGesture() const;
    // Whether the gesture's steps end where the pointer ends, whatever path
    // it took: a sculpt Move or Copy Move of a mesh or a curve (a translation
    // of the part the press picked) and an assembly Move, both with the
    // stamp kept at its depth (Same Depth; the assembly drag without grid
    // snapping, which rounds each step). Turns and scalings work about
    // centres that move with the part, or refuse steps that jump, and so
    // follow the path.
    bool foldsMotions() const;
    // Whether the frame's input changed: never while the pointer is outside
    // the view or a pick is held for the object menu; otherwise a moved
    // pointer (a NaN position counts as moved), a button that changed, a
    // turned wheel, a key change reported by the keyboard read (keyChange)
    // or a Backspace command.
    bool inputChanged(unsigned keyChange, bool backspace) const;

    // ---- The frame (glview_render.cpp) and its status text (glview_text.cpp) ----
    // Draws the frame when redraw is set: both layers shaded, the transparent
    // one mixed over the opaque image with refraction, contours across both,
    // then glow, lens chromatism and the status text (with showText, not on
    // a high-density screen). Returns the image, a target of one of the two
    // layers valid until the next call, and clears redraw; null when redraw
    // is clear or a stage fails (redraw then stays set for the next try).
    // Needs the GL context current; leaves no program in use and the default
    // framebuffer bound. Virtual so that a stand-in without a GL context can
    // draw within the frame loop as it stands (its pickings and the motions
    // that follow them, its time on StepPacer::Clock).
    virtual Texture2D* render();
    // The pickings that read the two layers just drawn, for the next frame's
    // handlers, while the pointer is inside and no pick is held for the
    // object menu: in assembly mode select() while idle (not while Draw has
    // strokes); in sculpt mode selectSculpt; during an assembly gesture
    // select() for Insert and Multiply, select2() for Place and Draw, and for
    // the actions without a picking of their own targetBrush follows the
    // cursor. True when the preview list is to be drawn.
    bool framePicks();
    // The frame's pickings, then the motions latched behind the frame's
    // change (nextMotion), each step with its own pickings, so that a
    // gesture follows the pointer's path however slow the frames are. True
    // when the last pickings ask for the preview.
    bool framePicksAndMotions();
    // Draws the interaction overlays into the transparent layer's output,
    // which the caller has bound with no program in use: the curve being
    // drawn, then, with the pointer inside and outside the view mode, the
    // creation circle, the placement markers, the pivot gizmo and the
    // sculpting gizmos. The scene's depth stays as it is. Leaves the depth
    // and stencil tests off.
    void drawOverlays();
    // Writes the status text into the bound framebuffer's draw buffer.
    void Text();
    // Writes one piece of text where the writer stands, in its colour, and
    // moves it on: to the next line with newLine, else past the text. Makes
    // the small font first when there is none.
    void writeLine(hudWriter& writer, const std::string& text, bool newLine);
    // The large or the small font for the status text; nothing when it is
    // already the one in use.
    void setFonts(bool large);

signals:
    // Asks the main window for the object context menu.
    void openMenu();
    // A short text for the status bar: why a command did nothing.
    void notice(const QString& text);
    // A notice said before is no longer true: the status bar drops it if it
    // still shows it.
    void noticeEnded(const QString& text);

private:
    // A new tool on one of the primitive meshes or on the tube of a straight
    // path (its profile drawn later), or null for other values.
    static Tool* newPrimitiveTool(TToolCreation value);
    // A new tool on the Revoluton (empty profile, section of the section
    // shape) or the Tube (axis and section of their shapes); null for other
    // values.
    Tool* newSweptTool(TToolCreation value) const;
    // A new Array (the auxiliary tools as items, the count words and the
    // array type with its step) or Chain (one chain-link tube item) on a
    // resampled curve of the axis shape; null for other values.
    Tool* newArrayTool(TToolCreation value) const;
    // The end that carries the element of a Guide (none), Hydraulics (a
    // cylinder, thin stretch), Muscle (a sphere, volume-keeping stretch),
    // Lightning (a bolt, uniform stretch) or Cable (a tube on the section
    // shape); null for other values.
    Tool* newTwoEndedTool(TToolCreation value) const;
    // Puts the drawn curve into its slot of the tool under creation: the
    // Revoluton's profile, the straight Tube's profile, the Tube's path, a
    // resampled curve of it as an Array's or Chain's path, or a profile
    // tool's element. False (the curve not taken) for other tools.
    bool placeDrawnCurve(Curve* curve);
    // What replaceScene and clearTools drop before they replace anything.
    void forgetScene();
    // ---- Steps of the frame loop (glview_loop.cpp) ----
    // The start-up step of the frame loop; false when the call ends there.
    bool startUp();
    // The edited material onto materialTool; once the dialog has closed, the
    // edit's undo record kept, dropped (OK, nothing changed) or undone
    // (Cancel).
    void applyMaterialEdit();
    void settleMaterialRecord(bool accepted);
    // The selected assembly and sculpt actions, scope and property become the
    // effective ones again.
    void restoreSelectedActions();
    // The pointer crossed the view's border (into it when `inside`): at once
    // when no input recorded before waits, else in the frame that takes the
    // crossing.
    void crossBorder(bool inside);
    // The view on the side of its border the pointer crossed to: no key
    // held, the pointer flag, and (unless a drag goes on) the mode and the
    // selected actions of that side.
    void crossed(bool inside);
    // Pick's second end: a copy of the picked end's partner (scope 1: without
    // its children) linked to the tool under creation, hung under the tools
    // root and kept in activeToolAux. Nothing without a partner.
    void pickPartner(Tool* partner, unsigned char scope);
    // The steps of the input state machine: keys, press, drag, release. Last:
    // it binds the fields above.
    GestureSteps gestures{*this};
};

}  // namespace qel
