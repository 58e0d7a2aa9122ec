#pragma once
// Ui_MainWindow: the main window's form. One public pointer per object of the
// form, named by its object name: every action (MainWindowActions), every
// menu (MainWindowMenus), then the central widget, its layout, the menu bar
// and the status bar. The actions and menus come from the table
// app/form/main_window.tsv, turned into the two member structs and the build
// table at build time by app/form/make_form.cpp.
//
// setupUi builds the form on a QMainWindow: the window's size, policies, icon
// and dark style sheet; the actions (children of the window) with their check
// states, icons and fonts; the central widget with an empty layout; the
// non-native menu bar with its menus; the status bar; the menu entries in
// order; the texts (retranslateUi); and the connections by name of the
// window's slots "on_<object>_<signal>". The form owns nothing: every object
// is a Qt child of the window.

class QAction;
class QHBoxLayout;
class QMainWindow;
class QMenu;
class QMenuBar;
class QStatusBar;
class QWidget;

// The generated member lists: struct MainWindowActions and struct
// MainWindowMenus.
#include "app/main_window_actions.inc"
#include "app/main_window_menus.inc"

class Ui_MainWindow : public MainWindowActions, public MainWindowMenus {
public:
    QWidget* centralWidget = nullptr;
    QHBoxLayout* horizontalLayout = nullptr;
    QMenuBar* menuBar = nullptr;
    QStatusBar* statusBar = nullptr;

    void setupUi(QMainWindow* window);
    // Sets the window title and every text of the actions and menus, each
    // through QCoreApplication::translate in the "MainWindow" context.
    void retranslateUi(QMainWindow* window);

private:
    void setupWindow(QMainWindow* window);
    void createActions(QMainWindow* window);
    void createCentralWidget(QMainWindow* window);
    void createMenus(QMainWindow* window);
    void addEntries();
    QWidget* holder(int menuIndex) const;  // the menu bar for -1
};
