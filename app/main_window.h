#pragma once
// MainWindow, the program's only window. The constructor turns the generated
// form into the working window: the OpenGL widget in the central area, the
// form's check states aligned with the view, the unused form objects
// deleted, the main menus' actions made actions of the window (so their keys
// work wherever the focus is), the exclusive action groups, the three
// toolbars, the progress bar in the status bar and the menu entries shown as
// action buttons. It starts in assembly mode with the Material action, in
// simple mode.
//
// Every menu command is a slot named on_<action>_triggered, connected by
// name when the form is built. The window asks its questions through
// `asker`, which tests replace.
//
// Sources:
//   app/main_window.cpp           construction and the action buttons
//   app/main_window_modes.cpp     menu state, mode switching, the gesture lock
//   app/main_window_view.cpp      projection, glow, brush keys, background,
//                                 environment
//   app/main_window_history.cpp   Backspace, Test, Exit, Help, License

#include <QKeySequence>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <memory>

#include "core/mat.h"

class GLWidget;
class QAction;
class QMenu;
class QToolBar;
class Ui_MainWindow;

namespace qel {
class Asker;
class GLView;
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

    // The user guide that Help opens.
    static const char* const HelpAddress;

    std::unique_ptr<Ui_MainWindow> ui;
    GLWidget* glWidget = nullptr;  // a child of the central widget
    QList<QToolBar*> toolBars;
    QToolBar* toolBarFull = nullptr;
    QToolBar* toolBarLeft = nullptr;
    QToolBar* toolBarSimple = nullptr;
    qel::mat3 generalOrientation;
    QList<QKeySequence> assemblyShortcuts;
    QList<QKeySequence> sculptShortcuts;
    qel::Asker* asker;  // not owned; Qt's dialogs by default

public slots:
    // The gesture lock: while a gesture runs the File, Assembly and Sculpt
    // menus and the assembly and sculpt toolbars are disabled, except the
    // hierarchy and instancing entries.
    void setInAction(bool inAction);
    void onExit();
    void loadBackgroundColor_triggered();
    void loadBackgroundImage_triggered();
    void loadEnvironment_triggered();

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

    void on_actionBackspace_triggered();
    void on_actionTest_triggered();
    void on_actionOnline_help_triggered();
    void on_actionLicense_triggered();

private:
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
    // The check marks and the Alt+Shift+F6 key of the two projections.
    void showViewType();
    // Stops the frames and makes the screen context current; false (with
    // the frames running again) without a screen widget.
    bool beginGpuWork();
    // Releases the context and starts the frames again.
    void endGpuWork();
};
