#pragma once
// MainWindow, the program's only window. The constructor turns the generated
// form into the working window: the OpenGL widget in the central area, the
// form's check states aligned with the view, the unused form objects
// deleted, the main menus' actions made actions of the window (so their keys
// work wherever the focus is; the keys of those the gesture lock holds are
// told in the status bar, LockedKeys), the exclusive action groups, the
// three toolbars, the progress bar in the status bar and the menu entries
// shown as action buttons. It starts in assembly mode with the Material
// action, in simple mode.
//
// Every menu command is a slot named on_<action>_triggered, connected by
// name when the form is built. The window asks its questions through
// `asker`, which tests replace.
//
// Sources:
//   app/main_window.cpp           construction, the action groups, toolbars,
//                                 progress bar and action buttons
//   app/main_window_modes.cpp     menu state, mode switching, the gesture lock
//   app/main_window_assembly.cpp  the mode guards, assembly actions,
//                                 placement options, inverse-kinematics chain
//   app/main_window_create.cpp    creation commands, profile thickness, the
//                                 tool library, axis and section shapes
//   app/main_window_array.cpp     the Array command and its dialog
//   app/main_window_files.cpp     New, Open, Save
//   app/main_window_history.cpp   commands in their place among the view's
//                                 input, Undo, Redo, Backspace, Test, Exit
//                                 and the close button, Help, License
//   app/main_window_view.cpp      projection, glow, brush keys, background,
//                                 environment
//   app/main_window_sculpt.cpp    sculpt actions, scope, brush projection,
//                                 frame, transformers, snap
//   app/main_window_symmetry.cpp  sculpt symmetry
//   app/main_window_display.cpp   display switches, effects, standard views
//   app/main_window_context_menu.cpp  the object context menu and its
//                                 commands on the picked object

#include <QKeySequence>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "core/mat.h"

class GLWidget;
class QAction;
class QCloseEvent;
class QLabel;
class QUrl;
class QMenu;
class QShortcut;
class QToolBar;
class Ui_MainWindow;

namespace qel {
class Asker;
class GLView;
class Tool;
}  // namespace qel

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    ~MainWindow() override;

    // The view behind the widget.
    qel::GLView* view() const;

    // ---- Action buttons ----
    // Replaces the action's entry in the menu by an action button in the
    // same place; the action keeps its shortcut.
    void setButton(QAction* action, QMenu* menu);
    // The same with a narrow "..." button beside it whose click calls the
    // window's slot (a SLOT() signature).
    void setButtonLoad(QAction* action, QMenu* menu, const char* slot);

    // ---- Menu state: each acts on the menu's actions, then on those of
    // every menu below it at any depth ----
    void setMenuEnabled(QMenu* menu, bool enabled);
    void setToolBarEnabled(QToolBar* toolBar, bool enabled);
    void setMenuVisible(QMenu* menu, bool visible);
    void saveShortcuts(QMenu* menu, QList<QKeySequence>& keys);
    void restoreShortcuts(QMenu* menu, const QList<QKeySequence>& keys);
    void clearShortcuts(QMenu* menu);
    // Makes every action of the menu and of the menus below it an action of
    // the window as well.
    void addMenuActions(QMenu* menu);

    // ---- Modes ----
    // Applies the simple-mode visibility, then enters or leaves assembly
    // mode; entering leaves sculpt mode first.
    void Assembly(bool enter);
    // Enters or leaves sculpt mode; entering leaves assembly mode first.
    void Sculpt(bool enter);
    // Switches simple mode and enters the selected mode again; nothing when
    // the value is the current one.
    void SetMode(bool simple);

    // Loads an equirectangular panorama as the environment with the size
    // and level count of the current one; on failure, or without a screen
    // widget, the current environment stays.
    void loadEnvironment(const QString& path);

    // Hands the six symmetry check marks and the current item count to the
    // view.
    void setSymmetry();

    // The user guide that Help opens: the page compiled into the program,
    // written as a file into the temporary folder (again only when it
    // differs). Its path, or empty when it cannot be written.
    static QString guideFile();

    std::unique_ptr<Ui_MainWindow> ui;
    GLWidget* glWidget = nullptr;  // a child of the central widget
    QList<QToolBar*> toolBars;
    QToolBar* toolBarFull = nullptr;
    QToolBar* toolBarLeft = nullptr;
    QToolBar* toolBarSimple = nullptr;
    qel::mat3 generalOrientation;
    QList<QKeySequence> assemblyShortcuts;
    QList<QKeySequence> sculptShortcuts;
    // Insert's key while simple mode hides Insert (a hidden entry answers no
    // key): it chooses Insert all the same. Keyless outside assembly mode.
    QShortcut* insertKey = nullptr;
    qel::Asker* asker;  // not owned; Qt's dialogs by default
    // Hands a document to the desktop (Help's guide); false when the desktop
    // cannot open it. Tests replace it.
    static bool openWithDesktop(const QUrl& url);
    bool (*openDocument)(const QUrl& url) = &MainWindow::openWithDesktop;

    // A line at the right of the status bar, left of the progress bar, that
    // stays while the pointer moves over widgets with status tips; it is
    // cleared after NoticeMs. Made on first use.
    void showNotice(const QString& text);
    // Clears the line when it still shows `text`: a notice that is no longer
    // true goes, one shown after it stays.
    void dropNotice(const QString& text);
    QLabel* noticeLabel = nullptr;
    static constexpr int NoticeMs = 60000;

protected:
    // Asks the Exit question unless Exit has asked it already.
    void closeEvent(QCloseEvent* event) override;

public slots:
    // The gesture lock: while the hand holds a button pressed in the view,
    // and through a drawing's clicks, the File, Assembly and Sculpt menus
    // and the assembly and sculpt toolbars are disabled, except the
    // hierarchy and instancing entries (the widget says when,
    // GLWidget::followGesture). Their commands given once it is off take
    // their place among the view's input.
    void setInAction(bool inAction);
    void onExit();
    void loadBackgroundColor_triggered();
    void loadBackgroundImage_triggered();
    void loadEnvironment_triggered();
    // Pops up, at the cursor, the menu of the object that the view last
    // picked, or the Render menu when nothing was picked.
    void openMenu();

    void on_actionOrthogonal_triggered();
    void on_actionPerspective_triggered();
    void on_actionGlow_triggered();
    void on_actionSize_triggered();
    void on_actionSize_2_triggered();
    void on_actionElevation_triggered();
    void on_actionElevation_2_triggered();
    void on_actionElevation_0_triggered();
    void on_actionColor_4_triggered();
    void on_actionImage_triggered();
    void on_actionEnvironment_triggered();
    void on_actionEnvironment_Blur_triggered();
    void on_actionEnvironment_Rotation_triggered();

    void on_actionAssembly_triggered();
    void on_actionSculpt_triggered();
    void on_actionInsert_triggered();
    void on_actionPlace_triggered();
    void on_actionInverse_Kinematics_triggered();
    void on_actionAsmMove_triggered();
    void on_actionAsmRotate_triggered();
    void on_actionAsmScale_triggered();
    void on_actionAsmMirror_triggered();
    void on_actionAsmRotateScale_triggered();
    void on_actionRotation_Multiplicity_triggered();
    void on_actionMaterial_triggered();
    void on_actionLink_triggered();
    void on_actionUnlink_triggered();
    void on_actionConstrain_Rotation_triggered();
    void on_actionConstrain_Movement_triggered();
    void on_actionAlign_triggered();
    void on_actionMatch_Pivot_triggered();
    void on_actionDynamics_2_triggered();
    void on_actionAdd_To_Scene_triggered();
    void on_actionAdd_To_Parent_triggered();
    void on_actionAdd_To_Child_triggered();
    void on_actionRelative_To_Child_triggered();
    void on_actionAdd_On_All_Instances_triggered();
    void on_actionAdd_Linked_triggered();
    void on_actionIK_Chain_triggered();
    void on_actionIK_Chain_2_triggered();
    void on_actionIK_Chain_Reset_triggered();

    void on_actionTetrahedron_triggered();
    void on_actionCube_triggered();
    void on_actionOctahedron_triggered();
    void on_actionDodecahedron_triggered();
    void on_actionIcosahedron_triggered();
    void on_actionSphere_triggered();
    void on_actionCylinder_triggered();
    void on_actionCapsule_triggered();
    void on_actionProfile_triggered();
    void on_actionUniform_Profile_triggered();
    void on_actionPillow_Profile_triggered();
    void on_actionBlob_Profile_triggered();
    void on_actionChamfer_Profile_triggered();
    void on_actionChisel_Profile_triggered();
    void on_actionConvex_Profile_triggered();
    void on_actionConvex_Sharp_Profile_triggered();
    void on_actionScoop_Profile_triggered();
    void on_actionRevoluton_triggered();
    void on_actionTube_triggered();
    void on_actionChain_triggered();
    void on_actionGuide_triggered();
    void on_actionHydraulics_triggered();
    void on_actionMuscle_triggered();
    void on_actionLightning_triggered();
    void on_actionCable_triggered();
    void on_actionThin_triggered();
    void on_actionThick_triggered();
    void on_actionHalf_triggered();
    void on_actionPrevious_Tool_triggered();
    void on_actionNext_Tool_triggered();
    void on_actionUse_Tool_triggered();
    void on_actionAxisFree_triggered();
    void on_actionAxisSegment_triggered();
    void on_actionAxisTriangle_triggered();
    void on_actionAxisSquare_triggered();
    void on_actionAxisPentagon_triggered();
    void on_actionAxisHexagon_triggered();
    void on_actionAxisNGon_triggered();
    void on_actionAxisCircle_triggered();
    void on_actionAxisTrefoilKnot_triggered();
    void on_actionAxisKnot_triggered();
    void on_actionAxisChainlink_triggered();
    void on_actionSectionFree_triggered();
    void on_actionSectionSegment_triggered();
    void on_actionSectionTriangle_triggered();
    void on_actionSectionSquare_triggered();
    void on_actionSectionPentagon_triggered();
    void on_actionSectionHexagon_triggered();
    void on_actionSectionNGon_triggered();
    void on_actionSectionCircle_triggered();
    void on_actionArray_triggered();

    void on_actionNew_triggered();
    void on_actionOpen_triggered();
    void on_actionSave_triggered();
    void on_actionQuick_Save_triggered();

    void on_actionDeform_triggered();
    void on_actionDeform_Volume_triggered();
    void on_actionInflate_triggered();
    void on_actionDeflate_triggered();
    void on_actionPinch_triggered();
    void on_actionGrow_triggered();
    void on_actionTwist_triggered();
    void on_actionFlatten_triggered();
    void on_actionSmooth_triggered();
    void on_actionPaint_triggered();
    void on_actionFill_triggered();
    void on_actionMove_triggered();
    void on_actionScale_triggered();
    void on_actionScale_Direction_triggered();
    void on_actionRotate_triggered();
    void on_actionMirror_triggered();
    void on_actionCut_Plane_triggered();
    void on_actionCut_Sphere_triggered();
    void on_actionClip_Plane_triggered();
    void on_actionClip_Sphere_triggered();
    void on_actionSub_Plane_triggered();
    void on_actionSub_Sphere_triggered();
    void on_actionAdd_Sphere_triggered();
    void on_actionExtrude_triggered();
    void on_actionExtrude_Scale_triggered();
    void on_actionExtrude_Deform_triggered();
    void on_actionBevel_triggered();
    void on_actionNormal_Tear_triggered();
    void on_actionScale_Tear_triggered();
    void on_actionDeform_Tear_triggered();
    void on_actionErase_Component_triggered();
    void on_actionErase_Patch_triggered();
    void on_actionErase_Feature_triggered();
    void on_actionMaterial_2_triggered();
    void on_actionSelect_Element_triggered();
    void on_actionSelect_Component_triggered();
    void on_actionSelect_Patch_triggered();
    void on_actionSelect_All_Patches_triggered();
    void on_actionAxisSection_triggered();
    void on_actionSame_Depth_triggered();
    void on_actionOn_Object_triggered();
    void on_actionNormal_Plane_triggered();
    void on_actionTangent_Plane_triggered();
    void on_actionOn_Normal_triggered();
    void on_actionScreen_Frame_triggered();
    void on_actionWorld_Frame_triggered();
    void on_actionObject_Frame_triggered();
    void on_actionObject_Pivot_triggered();
    void on_actionObject_triggered();
    void on_actionPivot_triggered();
    void on_actionPressure_Size_triggered();
    void on_actionBlock_Size_triggered();
    void on_actionClosed_triggered();
    void on_actionSnap_Symmetry_triggered();
    void on_actionSnap_Grid_triggered();

    void on_actionX_Mirror_Symmetry_triggered();
    void on_actionY_Mirror_Symmetry_triggered();
    void on_actionZ_Mirror_Symmetry_triggered();
    void on_actionX_Rotation_Symmetry_triggered();
    void on_actionY_Rotation_Symmetry_triggered();
    void on_actionZ_Rotation_Symmetry_triggered();
    void on_actionRotation_Items_triggered();
    void on_actionRotation_Items_2_triggered();
    void on_actionRotation_Items_3_triggered();

    void on_actionEdge_Detection_triggered();
    void on_actionWireframe_triggered();
    void on_actionSelection_triggered();
    void on_actionHide_Transparent_triggered();
    void on_actionRender_Simple_triggered();
    void on_actionHi_res_triggered();
    void on_actionAnimate_triggered();
    void on_actionTurntable_triggered();
    void on_actionGroups_triggered();
    void on_actionHandles_triggered();
    void on_actionLarge_Fonts_triggered();
    void on_actionPivots_triggered();
    void on_actionDisplay_triggered();
    void on_actionFull_Screen_triggered();
    void on_actionFULL_MODE_triggered();
    void on_actionLens_Chromatism_triggered();
    void on_actionObjects_Chromatism_triggered();
    void on_actionContour_triggered();
    void on_actionDefault_Light_triggered();
    void on_actionDefault_Dark_triggered();
    void on_actionGeneral_triggered();
    void on_actionFront_triggered();
    void on_actionBack_triggered();
    void on_actionLeft_triggered();
    void on_actionRight_triggered();
    void on_actionTop_triggered();
    void on_actionBottom_triggered();

    // The context menu's commands act on the object picked when they run.
    void on_actionType_triggered();
    void on_actionPick_Object_triggered();
    void on_actionPick_Object_2_triggered();
    void on_actionPick_Element_triggered();
    void on_actionPick_Element_2_triggered();
    void on_actionPick_Component_triggered();
    void on_actionPick_Patch_triggered();
    void on_actionPick_Feature_triggered();
    void on_actionSimple_Delete_triggered();
    void on_actionSimple_Delete_2_triggered();
    void on_actionSculpt_Unique_triggered();
    void on_actionUnique_triggered();
    void on_actionAs_Tri_Mesh_triggered();
    void on_actionConvert_To_Tri_Mesh_triggered();
    void on_actionAs_Clay_triggered();
    void on_actionConvert_To_Clay_triggered();
    void on_actionUniform_triggered();
    void on_actionQuick_Save_2_triggered();
    void on_actionSubdivide_triggered();
    void on_actionTYPE_triggered();
    void on_actionAXIS_triggered();
    void on_actionSECTION_triggered();
    void on_actionAxis_Subdivide_triggered();
    void on_actionSection_Subdivide_triggered();

    void on_actionUndo_triggered();
    void on_actionRedo_triggered();
    void on_actionBackspace_triggered();
    void on_actionTest_triggered();
    void on_actionOnline_help_triggered();
    void on_actionLicense_triggered();

private:
    bool exitConfirmed = false;  // Exit is closing the window after its question
    int noticesShown = 0;        // the newest notice alone is cleared by its timer

    // A command runs in its place among the view's input: once the view has
    // taken the input given before it (the end of a stroke its frames have
    // not reached yet, the release among it), at once when nothing waits.
    // The gesture lock is off as soon as the hand lets go, so every command
    // it locks comes this way (lockedCommand).
    // One that `asks` (may open a dialog) waits for the hand to let go of a
    // button held in the idle view (GLWidget::askingWaits).
    void inPlace(std::function<void()> command, bool asks = false);
    // A command the gesture lock holds, in its place: not taken, and the
    // status bar names it, when the view is in a gesture by the time its
    // turn comes, after the input given before it (a gesture that goes on
    // after the release it waited for, as a drawing does between its
    // clicks, or one whose press came before it).
    void lockedCommand(const QString& name, std::function<void()> command, bool asks = false);
    // A command of the File menu (New, Open, Save, Test, Exit), held by the
    // lock: each asks in a dialog, and one given while another waits for
    // the view (given twice right after a release) is not taken, with a
    // word, as the first one's dialog would take its key at idle. One that
    // replaces the scene or ends the program (`replaces`) is not taken,
    // with a word, when a click or drag given after it waits for the view:
    // that input was made on the scene shown, and would land on the new
    // one or be lost. A Save keeps its place, and the input after it then
    // runs.
    void fileCommand(const QString& name, bool replaces, std::function<void()> command);
    QString fileCommandWaiting;  // the File command given and not yet run
    // A command of the Assembly or Sculpt menu, held by the gesture lock: in
    // its place, then the mode's guard (which names it when refused), then
    // the command.
    void lockedInMode(int mode, const QString& name, std::function<void()> command, bool asks = false);
    void lockedAssembly(const QString& name, std::function<void()> command, bool asks = false);
    void lockedSculpt(const QString& name, std::function<void()> command, bool asks = false);
    // A command that waits for the view to be idle runs in its place. When
    // a gesture is still under way then (its button held, a drawing
    // unfinished), in sculpt mode only for `sculptOnly`, the command is not
    // taken and the status bar says so, naming it.
    void afterGesture(const QString& name, std::function<void()> command, bool sculptOnly = false, bool asks = false);
    // The colour dialog titled `title` on the view's colour `colour`, as the
    // command named: it waits for the view to be idle and for the hand to
    // let go of a button held in the view.
    void askColor(const QString& name, qel::wvec4 qel::GLView::*colour, const QString& title);
    // The status bar's word that the command named was not taken.
    void notTaken(const QString& name);
    // Help's guide handed to the desktop; the licence shown in a window.
    void openGuide();
    void showLicense();
    // The action whose signal runs the slot, null when none does; its text.
    QAction* senderAction() const;
    static QString commandName(const QAction* action);
    // The guard of a command that belongs to a mode: true at once in that
    // mode; otherwise false while a gesture runs (the status bar names the
    // command), else the mode is entered and true.
    bool modeGuard(int mode, const QString& name);
    // Whether the user lets a command titled `title` clear the scene.
    bool clearingAllowed(const char* title);
    bool assemblyGuard(const QString& name);
    bool sculptGuard(const QString& name);
    // After a creation command: marks Insert or Place and selects the
    // creating assembly action.
    void setCreateAction();
    // The assembly guard, then the assembly action, then the submenu's icon
    // when a menu is given.
    void assemblyAction(int action, QMenu* menu = nullptr);
    // The assembly guard, setCreateAction and the creation value, in its
    // place among the view's input; then the submenu takes the icon of the
    // action `from`.
    void createTool(int creation, QMenu* menu = nullptr);
    void makeTool(int creation, QMenu* menu, const QAction* from);
    // The assembly guard and the thickness of the next drawn profile.
    void setSolidShape(int shape);
    // Use Tool's work: the tool library's current template, or with a
    // modifier its step or its emptying (not while a gesture runs).
    void useTool();
    // Checks the Create menu's entry of the view's creation value, which
    // the view also changes by itself (Use Tool after an Open or a Pick).
    void checkToolCreation();
    // The Create menu's entries by creation value.
    std::vector<QAction*> creationEntries() const;
    // Previous or Next Tool, once the view is idle: the assembly guard, then
    // the step.
    void stepTool(bool previous);
    // The assembly guard, the placement's hierarchy mode and the submenu's
    // icon.
    void setHierarchyMode(int mode);
    // The submenu shows the icon of the action that sent the signal, or of
    // the action given.
    void takeSenderIcon(QMenu* menu);
    static void takeIcon(QMenu* menu, const QAction* action);
    // Axis or section shapes, with the count dialog for the counted ones,
    // in their place among the view's input.
    void setAxisShape(int shape);
    void takeAxisShape(int shape, const QString& name);
    void setSectionShape(int shape);
    bool askCount(QAction* action, const QString& title, int* field, int minimum);
    // The sculpt guard, the sculpt action, then the submenu's icon when a
    // menu is given.
    void sculptAction(int action, QMenu* menu = nullptr);
    // The sculpt guard, then the selected scope.
    void setSculptSelect(int scope);
    // The selected scope's step of Select Element (Q).
    void stepSculptSelect();
    // The projection marks from the view's brush projection.
    void showBrushProjection();
    // The brush projection unless a sculpt stroke runs.
    void setBrushProjection(int projection);
    // The assembly guard, the gizmo kind and the submenu's icon.
    void setTransformer(int type);
    // A snap switch; with Control held, the dialog on its value instead.
    void snapCommand(QAction* action, bool grid);
    // A symmetry flag with the flags that cannot go with it.
    void setSymmetryFlag(int flag);
    // The Rotation Items entry's text and icon text from the count.
    void showRotationItems();
    // A chromatism switch; with Control held, the dialog on its colour.
    void colorSwitch(QAction* action, bool lens);
    // Standard view 1 (Front) to 6 (Bottom).
    void setStandardView(int preset);
    // The item table, type and item list of new arrays; false when
    // cancelled.
    bool runArrayDialog();
    // The File commands' work, run in their place among the view's input.
    void openChosenFiles();
    void saveChosenFile();
    // The 5 x 5 material grid of Test, once the user lets it clear the
    // scene.
    void testScene();
    void deleteUnusedObjects();
    void createActionGroups();
    void createToolBars();
    void fillToolBars();
    void createProgressBar();
    void createActionButtons();
    // Every menu below the menu or toolbar at any depth, in search order.
    static QList<QMenu*> menusBelow(QObject* root);
    // Background check marks from the view's backgroundMode.
    void showBackgroundMode();
    // Sets the background kind when idle; the marks follow the view.
    void setBackgroundMode(int mode);
    // The check marks and the Alt+Shift+F6 key of the two projections, as
    // for projection `type`.
    void showViewType(int type);
    // Stops the frames and makes the screen context current; false (with
    // the frames running again) without a screen widget.
    bool beginGpuWork();
    // Releases the context and starts the frames again.
    void endGpuWork();
    // The context menu: the picked object, null when none; the same (with
    // its element when the command needs one) for the command named, else
    // null after the status bar said why the command does nothing; the pick
    // of that object at the given scope; the element conversions of the
    // view when the object has an element.
    qel::Tool* pickedTool() const;
    qel::Tool* commandTarget(const QString& command, bool needsElement = true);
    // The object menus keep the view's pick while they are shown: popped
    // up holding it, and letting it go once the command chosen has run.
    void connectObjectMenus();
    void popupObjectMenu(QMenu* menu);
    void pickObject(unsigned char scope);
    // Says in the status bar why an entry that acts in the view under a
    // click (the Pick of a part, Uniform) does nothing from the menu.
    void pickPart(const QString& command, const QString& how);
    void deleteObject();
    void makeUnique();
    void makeTriMesh();
    void makeClay();
    // The box of a tube's or revoluton's axis or section curve, and the
    // subdivision of that curve.
    void sweptCurveBox(bool axisCurve);
    void subdivideSweptCurve(bool axisCurve);
    // Subdivides the axis or section curve of the object's tube or
    // revoluton; a surface that would pass its vertex limit is refused and
    // the status bar says why. A done subdivision ends the undo history.
    void subdivideSwept(qel::Tool* t, bool sectionCurve);
};
