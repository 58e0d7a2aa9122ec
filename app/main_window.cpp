#include "app/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>
#include <initializer_list>

#include "app/action_button.h"
#include "app/gl_widget.h"
#include "app/locked_keys.h"
#include "app/main_window_form.h"
#include "gl/progress.h"
#include "app/dialog_asker.h"
#include "view/glview.h"
#include "view/input_latch.h"

namespace {

const char* const ToolBarStyle =
    "QToolBar { background-color: #333;color: #ccc;margin: 0px; border: none; spacing: 0px;}"
    "QToolBar::separator:horizontal {background-color: #333;width: 20px;}"
    "QToolBar::separator:vertical {background-color: #333;height: 20px;}"
    "QToolButton { margin: 0px;padding: 9px; background-color: #333;color: #000; border: 1px solid #333;}"
    "QToolButton:hover, QToolButton:pressed, QToolButton:selected { border-bottom-width: 1px;"
    "border-bottom-color: #efba00;border-bottom-style: solid; }"
    "QToolButton:checked { background-color: #444; }"
    "QToolButton::menu-indicator {image: url(:/Icons/menu_indicator.png);subcontrol-origin: padding;"
    "subcontrol-position: bottom right;width: 6px;height: 6px;}";
const char* const ButtonStyle =
    "QPushButton { background-color:#333; color:#ccc; border:none; margin:0px; text-align:left; height:25px; "
    "min-width:80px; padding: 0px 25px; }QPushButton:hover { color:#fff; }QPushButton:checked { color:#efba44; }";
const char* const LoadButtonStyle =
    "QPushButton { background-color:#333; color:#ccc; border:none; margin:0px; text-align:center; height:25px; "
    "max-width:25px; }QPushButton:hover { color:#fff; }";
const char* const ProgressStyle =
    "QProgressBar { background: #222; color: #fff; text-align: center; border: none; max-height: 16px; "
    "max-width: 256px; }QProgressBar::chunk { background: #161; }";

// Deletes a form object when present and clears its pointer.
template <typename T>
void dispose(T*& object) {
    delete object;
    object = nullptr;
}

void group(QObject* parent, const std::vector<QAction*>& actions) {
    auto* g = new QActionGroup(parent);
    g->setExclusive(true);
    for (QAction* a : actions) g->addAction(a);
}

// The container of an action button: no spacing, no margins. The widget
// action belongs to the menu, so it goes with the window.
QHBoxLayout* buttonRow(QMenu* menu, QWidgetAction*& widgetAction) {
    widgetAction = new QWidgetAction(menu);
    auto* container = new QWidget;
    auto* layout = new QHBoxLayout(container);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    widgetAction->setDefaultWidget(container);
    return layout;
}

ActionButton* actionButton(QAction* action) {
    auto* button = new ActionButton(nullptr);
    button->setAction(action);
    button->setStyleSheet(ButtonStyle);
    return button;
}

void replaceEntry(QMenu* menu, QAction* action, QWidgetAction* widgetAction) {
    menu->insertAction(action, widgetAction);
    menu->removeAction(action);
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui_MainWindow), asker(qel::DialogAsker::Standard()) {
    ui->setupUi(this);
    glWidget = new GLWidget(nullptr);
    ui->horizontalLayout->addWidget(glWidget);
    qel::GLView* v = view();

    showBackgroundMode();
    ui->actionGlow->setChecked(v->glow != 0);
    ui->actionEnvironment_Rotation->setChecked(v->environmentRotated != 0);
    v->edgeDetection = 0;
    ui->actionEdge_Detection->setChecked(false);
    v->showHandles = ui->actionHandles->isChecked();
    v->animate = ui->actionAnimate->isChecked();
    v->turntable = ui->actionTurntable->isChecked();

    glWidget->undoAction = ui->actionUndo;
    glWidget->redoAction = ui->actionRedo;
    ui->menuBar->removeAction(ui->menuAuxiliary->menuAction());
    deleteUnusedObjects();
    for (QMenu* m :
         {ui->menuFile, ui->menuAssembly, ui->menuSculpt, ui->menuBrush, ui->menuRender, ui->menuView, ui->menuACTION})
        addMenuActions(m);

    connect(glWidget, SIGNAL(setInAction(bool)), this, SLOT(setInAction(bool)));
    connect(ui->actionExit, SIGNAL(triggered(bool)), this, SLOT(onExit()));
    connect(v, SIGNAL(openMenu()), this, SLOT(openMenu()));
    connect(v, &qel::GLView::notice, this, &MainWindow::showNotice);
    connect(v, &qel::GLView::noticeEnded, this, &MainWindow::dropNotice);
    connectObjectMenus();
    // The keys of the commands the gesture lock holds are told, not dropped.
    new LockedKeys(*this, [this] { return glWidget->inAction; }, [this](QAction& a) { notTaken(commandName(&a)); });

    createActionGroups();
    createToolBars();
    fillToolBars();
    for (QToolBar* bar : toolBars)
        for (QToolButton* b : bar->findChildren<QToolButton*>()) b->setPopupMode(QToolButton::InstantPopup);
    dispose(ui->menuDelete);
    dispose(ui->menuDelete_2);
    dispose(ui->menuDelete_3);
    dispose(ui->menuDelete_4);

    saveShortcuts(ui->menuAssembly, assemblyShortcuts);
    saveShortcuts(ui->menuSculpt, sculptShortcuts);
    insertKey = new QShortcut(this);
    connect(insertKey, &QShortcut::activated, ui->actionInsert, &QAction::trigger);
    Assembly(true);
    v->setAssemblyAction(qel::GLView::ActionMaterial);
    ui->actionMaterial->setChecked(true);
    SetMode(true);
    createProgressBar();
    createActionButtons();
}

// Commands waiting for the view's input go with the window.
MainWindow::~MainWindow() { qel::inputLatch.dropCommands(); }

qel::GLView* MainWindow::view() const { return glWidget->view; }

void MainWindow::deleteUnusedObjects() {
    Ui_MainWindow& u = *ui;
    dispose(u.actionDynamics);
    dispose(u.menuDynamics);
    dispose(u.menuPattern);
    dispose(u.actionDraw_Rotation_Items);
    dispose(u.actionDraw_Rotation_Items_2);
    dispose(u.actionDraw_Rotation_Items_3);
    dispose(u.actionDraw_X_Mirror);
    dispose(u.actionDraw_X_Rotation);
    dispose(u.actionDraw_Y_Mirror);
    dispose(u.actionDraw_Y_Rotation);
    dispose(u.actionDraw_Z_Mirror);
    dispose(u.actionDraw_Z_Rotation);
    dispose(u.actionAnimate_Camera);
    dispose(u.actionReplace_Tool);
    dispose(u.actionStretch);
    dispose(u.actionBend);
    dispose(u.actionExtrude_Inflate);
    dispose(u.actionInflate_Tear);
    dispose(u.actionRelax);
    dispose(u.actionRefine);
    dispose(u.actionMovement_Multiplicity);
    dispose(u.actionFog);
    dispose(u.actionBloom);
}

void MainWindow::createActionGroups() {
    Ui_MainWindow& u = *ui;
    qel::GLView* v = view();
    group(this, {u.actionAssembly, u.actionSculpt});
    group(this, {u.actionDynamics_2, u.actionInsert, u.actionPlace, u.actionMaterial, u.actionLink, u.actionUnlink,
                 u.actionMatch_Pivot, u.actionRotation_Multiplicity, u.actionConstrain_Rotation,
                 u.actionConstrain_Movement, u.actionAlign, u.actionInverse_Kinematics, u.actionAsmMove,
                 u.actionAsmRotate, u.actionAsmScale, u.actionAsmMirror, u.actionAsmRotateScale});
    group(this, {u.actionObject_Pivot, u.actionObject, u.actionPivot});
    group(this, creationEntries());
    group(this, {u.actionThin, u.actionThick, u.actionHalf});
    group(this, {u.actionAxisFree, u.actionAxisSegment, u.actionAxisTriangle, u.actionAxisSquare, u.actionAxisPentagon,
                 u.actionAxisHexagon, u.actionAxisNGon, u.actionAxisCircle, u.actionAxisChainlink,
                 u.actionAxisTrefoilKnot, u.actionAxisKnot});
    group(this, {u.actionSectionFree, u.actionSectionSegment, u.actionSectionTriangle, u.actionSectionSquare,
                 u.actionSectionPentagon, u.actionSectionHexagon, u.actionSectionNGon, u.actionSectionCircle});
    u.actionAxisNGon->setText("N-Gon (" + QString::number(v->axisSides) + ")");
    u.actionAxisCircle->setText("Circle (" + QString::number(v->axisSegments) + ")");
    u.actionAxisTrefoilKnot->setText("Trefoil (" + QString::number(v->trefoilSamples) + ")");
    u.actionSectionNGon->setText("N-Gon (" + QString::number(v->sectionSides) + ")");
    u.actionSectionCircle->setText("Circle (" + QString::number(v->sectionSegments) + ")");
    group(this, {u.actionAdd_To_Scene, u.actionAdd_To_Parent, u.actionAdd_To_Child});
    v->relativeToChild = u.actionRelative_To_Child->isChecked() ? 2 : 3;
    v->addOnAllInstances = u.actionAdd_On_All_Instances->isChecked();
    v->linkedMode = u.actionAdd_Linked->isChecked();
    v->groupsMode = u.actionGroups->isChecked();
    group(this, {u.actionErase_Component, u.actionErase_Patch,     u.actionErase_Feature, u.actionDeform,
                 u.actionDeform_Volume,   u.actionPaint,           u.actionFill,          u.actionSmooth,
                 u.actionInflate,         u.actionDeflate,         u.actionExtrude,       u.actionExtrude_Deform,
                 u.actionExtrude_Scale,   u.actionNormal_Tear,     u.actionScale_Tear,    u.actionDeform_Tear,
                 u.actionCut_Plane,       u.actionCut_Sphere,      u.actionClip_Plane,    u.actionClip_Sphere,
                 u.actionAdd_Sphere,      u.actionSub_Sphere,      u.actionSub_Plane,     u.actionMove,
                 u.actionScale,           u.actionScale_Direction, u.actionRotate,        u.actionMirror,
                 u.actionBevel,           u.actionPinch,           u.actionGrow,          u.actionTwist,
                 u.actionFlatten});
    group(this, {u.actionSelect_Element, u.actionSelect_Component, u.actionSelect_Patch, u.actionSelect_All_Patches});
    group(this, {u.actionColor_4, u.actionImage, u.actionEnvironment});
    u.actionRotation_Items->setText("Rotation Items (" + QString::number(v->symmetryItems) + ")");
    u.actionRotation_Items->setIconText(QString::number(v->symmetryItems));
    group(this, {u.actionScreen_Frame, u.actionWorld_Frame, u.actionObject_Frame});
    group(this,
          {u.actionSame_Depth, u.actionNormal_Plane, u.actionTangent_Plane, u.actionOn_Object, u.actionOn_Normal});
}

void MainWindow::createToolBars() {
    for (int i = 0; i < 3; ++i) {
        auto* bar = new QToolBar(this);
        bar->setIconSize(QSize(24, 24));
        bar->setMovable(false);
        bar->setStyleSheet(ToolBarStyle);
        toolBars.append(bar);
    }
    for (QMenu* m : {ui->menuPrimitives, ui->menuProfiles, ui->menuAxis, ui->menuSection})
        m->menuAction()->setStatusTip(m->statusTip());
    toolBarFull = toolBars[0];
    toolBarLeft = toolBars[1];
    toolBarSimple = toolBars[2];
    addToolBar(Qt::TopToolBarArea, toolBarFull);
    addToolBar(Qt::LeftToolBarArea, toolBarLeft);
    addToolBar(Qt::TopToolBarArea, toolBarSimple);
}

void MainWindow::fillToolBars() {
    Ui_MainWindow& u = *ui;
    const auto menu = [](QMenu* m) { return m->menuAction(); };
    QAction* const separator = nullptr;
    const auto fill = [](QToolBar* bar, std::initializer_list<QAction*> entries) {
        for (QAction* a : entries) {
            if (a)
                bar->addAction(a);
            else
                bar->addSeparator();
        }
    };
    fill(toolBarFull, {u.actionFULL_MODE,
                       u.actionInsert,
                       u.actionPlace,
                       u.actionUse_Tool,
                       menu(u.menuPrimitives),
                       menu(u.menuProfiles),
                       u.actionRevoluton,
                       u.actionTube,
                       menu(u.menuArrays),
                       menu(u.menuBinary),
                       menu(u.menuAxis),
                       menu(u.menuSection),
                       u.actionMaterial,
                       separator,
                       u.actionAsmMove,
                       u.actionAsmRotate,
                       u.actionAsmScale,
                       u.actionAsmMirror,
                       u.actionAsmRotateScale,
                       menu(u.menuTransformers),
                       u.actionInverse_Kinematics,
                       menu(u.menuConstraints),
                       u.actionAlign,
                       u.actionMatch_Pivot,
                       separator,
                       u.actionLink,
                       u.actionUnlink,
                       u.actionDynamics_2,
                       separator,
                       menu(u.menuHierarchy),
                       u.actionAdd_On_All_Instances,
                       u.actionAdd_Linked,
                       u.actionGroups,
                       u.actionClosed});
    fill(toolBarSimple, {u.actionFULL_MODE,
                         u.actionUse_Tool,
                         menu(u.menuPrimitives),
                         menu(u.menuProfiles),
                         u.actionRevoluton,
                         u.actionTube,
                         menu(u.menuArrays),
                         menu(u.menuBinary),
                         menu(u.menuAxis),
                         menu(u.menuSection),
                         u.actionMaterial,
                         separator,
                         u.actionAsmMove,
                         u.actionAsmRotate,
                         u.actionAsmScale,
                         u.actionAsmMirror,
                         u.actionAsmRotateScale,
                         menu(u.menuTransformers),
                         separator,
                         u.actionGroups,
                         u.actionClosed});
    toolBarLeft->addActions(u.menuSculpt->actions());
}

void MainWindow::createProgressBar() {
    qel::Progress::bar = new QProgressBar(nullptr);
    qel::Progress::bar->setStyleSheet(ProgressStyle);
    qel::Progress::bar->hide();
    ui->statusBar->addPermanentWidget(qel::Progress::bar, 0);
}

void MainWindow::createActionButtons() {
    Ui_MainWindow& u = *ui;
    setButtonLoad(u.actionColor_4, u.menuBackground, SLOT(loadBackgroundColor_triggered()));
    setButtonLoad(u.actionImage, u.menuBackground, SLOT(loadBackgroundImage_triggered()));
    setButtonLoad(u.actionEnvironment, u.menuBackground, SLOT(loadEnvironment_triggered()));
    for (QAction* a : {u.actionEnvironment_Rotation, u.actionDefault_Light, u.actionDefault_Dark})
        setButton(a, u.menuBackground);
    for (QAction* a : {u.actionSelection, u.actionWireframe, u.actionEdge_Detection, u.actionHi_res})
        setButton(a, u.menuRender);
    for (QAction* a : {u.actionGlow, u.actionLens_Chromatism, u.actionObjects_Chromatism}) setButton(a, u.menuEffects);
}

void MainWindow::setButton(QAction* action, QMenu* menu) {
    QWidgetAction* widgetAction = nullptr;
    QHBoxLayout* row = buttonRow(menu, widgetAction);
    row->addWidget(actionButton(action), 0);
    replaceEntry(menu, action, widgetAction);
}

void MainWindow::setButtonLoad(QAction* action, QMenu* menu, const char* slot) {
    QWidgetAction* widgetAction = nullptr;
    QHBoxLayout* row = buttonRow(menu, widgetAction);
    auto* load = new QPushButton("...");
    load->setStyleSheet(LoadButtonStyle);
    row->addWidget(actionButton(action), 4);
    row->addWidget(load, 1);
    replaceEntry(menu, action, widgetAction);
    connect(load, SIGNAL(clicked(bool)), this, slot);
}
