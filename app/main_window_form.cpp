#include "app/main_window_form.h"

#include <QAction>
#include <QCoreApplication>
#include <QFont>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QStatusBar>
#include <QWidget>

namespace {

// The rows of the build table that app/form/make_form.cpp writes, field by
// field in this order. Texts are translatable and null where the table gives
// none; a null icon means no picture.
enum ActionFlag : unsigned { kCheckable = 1, kChecked = 2, kDisabled = 4, kBold = 8, kItalic = 16 };

struct ActionRow {
    QAction* Ui_MainWindow::*member;
    const char* name;
    const char* text;
    const char* key;
    const char* icon;
    const char* iconOn;
    const char* toolTip;
    const char* statusTip;
    const char* iconText;
    unsigned flags;
};

struct MenuRow {
    QMenu* Ui_MainWindow::*member;
    const char* name;
    const char* title;
    const char* icon;
    const char* statusTip;
    int holder;  // index of the menu holding it, -1 for the menu bar
};

// One entry of a menu (or of the menu bar, holder -1), in order.
struct EntryRow {
    enum Kind { Action, Menu, Separator };
    int holder;
    Kind kind;
    int index;  // into the action or menu rows
};

#include "app/main_window_table.inc"

const char* const kWindowStyle =
    "QMainWindow { background-color: #333; color: #ccc; }"
    "QToolBar { margin: 0px; border: none; }";

// Also styles every menu: the menus are the menu bar's descendants. A
// checked entry shows no mark (its indicator is a transparent picture) but
// takes the accent colour.
const char* const kMenuStyle =
    "QMenuBar { background-color: #333; color: #ccc; }"
    "QMenuBar::item { background-color: #333; }"
    "QMenuBar::item:selected { color: #fff; }"
    "QMenu { background-color: #333; color: #ccc; margin: 0px; border: none; padding: 0px; icon-size: 12px; }"
    "QMenu::item { min-width: 80px; height: 25px; margin: 0px; border: none; padding: 0px 25px 0px 25px; }"
    "QMenu::icon { margin-left: 5px; subcontrol-origin: padding; subcontrol-position: center left; }"
    "QMenu::item:selected { color: #fff; }"
    "QMenu::item:checked { color: #efba44; }"
    "QMenu::item:checked:selected { color: #fff; }"
    "QMenu::item:disabled { color: #888; }"
    "QMenu::right-arrow { image: url(:/Icons/menu_indicator.png); width: 6px; height: 6px; "
    "subcontrol-origin: padding; subcontrol-position: bottom right; margin-right: 3px; margin-bottom: 1px; }"
    "QMenu::indicator { image: url(:/Icons/empty.png); }";

const char* const kStatusStyle = "QStatusBar { background-color: #333; color: #ccc; }";

QString translated(const char* text) { return QCoreApplication::translate("MainWindow", text); }

QIcon icon(const char* off, const char* on) {
    QIcon result;
    result.addFile(QString::fromLatin1(off), QSize(), QIcon::Normal, QIcon::Off);
    if (on) result.addFile(QString::fromLatin1(on), QSize(), QIcon::Normal, QIcon::On);
    return result;
}

}  // namespace

void Ui_MainWindow::setupUi(QMainWindow* window) {
    setupWindow(window);
    createActions(window);
    createCentralWidget(window);
    createMenus(window);
    statusBar = new QStatusBar(window);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    statusBar->setStyleSheet(QString::fromLatin1(kStatusStyle));
    window->setStatusBar(statusBar);
    addEntries();
    retranslateUi(window);
    QMetaObject::connectSlotsByName(window);
}

void Ui_MainWindow::setupWindow(QMainWindow* window) {
    if (window->objectName().isEmpty()) window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(1280, 720);
    QSizePolicy policy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    policy.setHorizontalStretch(0);
    policy.setVerticalStretch(0);
    policy.setHeightForWidth(window->sizePolicy().hasHeightForWidth());
    window->setSizePolicy(policy);
    window->setFocusPolicy(Qt::StrongFocus);
    window->setContextMenuPolicy(Qt::NoContextMenu);
    window->setWindowIcon(icon(":/Icons/logo.ico", nullptr));
    window->setLayoutDirection(Qt::LeftToRight);
    window->setStyleSheet(QString::fromLatin1(kWindowStyle));
}

void Ui_MainWindow::createActions(QMainWindow* window) {
    for (const ActionRow& row : kActionRows) {
        QAction* action = new QAction(window);
        this->*row.member = action;
        action->setObjectName(QString::fromLatin1(row.name));
        if (row.flags & kCheckable) action->setCheckable(true);
        if (row.flags & kChecked) action->setChecked(true);
        if (row.flags & kDisabled) action->setEnabled(false);
        if (row.icon) action->setIcon(icon(row.icon, row.iconOn));
        if (row.flags & (kBold | kItalic)) {
            QFont font;
            if (row.flags & kBold) font.setBold(true);
            if (row.flags & kItalic) font.setItalic(true);
            action->setFont(font);
        }
    }
}

void Ui_MainWindow::createCentralWidget(QMainWindow* window) {
    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    horizontalLayout = new QHBoxLayout(centralWidget);
    horizontalLayout->setSpacing(0);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setContentsMargins(0, 0, 0, 0);
    horizontalLayout->setSizeConstraint(QLayout::SetNoConstraint);
    window->setCentralWidget(centralWidget);
}

// The menu bar, then every menu as a child of its holder; a holder comes
// before the menus it holds in the table.
void Ui_MainWindow::createMenus(QMainWindow* window) {
    menuBar = new QMenuBar(window);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    menuBar->setMouseTracking(true);
    menuBar->setStyleSheet(QString::fromLatin1(kMenuStyle));
    menuBar->setNativeMenuBar(false);
    for (const MenuRow& row : kMenuRows) {
        QMenu* menu = new QMenu(holder(row.holder));
        this->*row.member = menu;
        menu->setObjectName(QString::fromLatin1(row.name));
        if (row.icon) menu->setIcon(icon(row.icon, nullptr));
    }
    window->setMenuBar(menuBar);
}

QWidget* Ui_MainWindow::holder(int menuIndex) const {
    if (menuIndex < 0) return menuBar;
    return this->*kMenuRows[menuIndex].member;
}

// Actions with addAction, a submenu as its own menu action, separators as
// QMenu::addSeparator makes them.
void Ui_MainWindow::addEntries() {
    for (const EntryRow& row : kEntryRows) {
        QWidget* menu = holder(row.holder);
        QAction* entry = nullptr;
        if (row.kind == EntryRow::Action) {
            entry = this->*kActionRows[row.index].member;
        } else if (row.kind == EntryRow::Menu) {
            entry = (this->*kMenuRows[row.index].member)->menuAction();
        } else {
            entry = new QAction(menu);
            entry->setSeparator(true);
        }
        menu->addAction(entry);
    }
}

void Ui_MainWindow::retranslateUi(QMainWindow* window) {
    window->setWindowTitle(translated("Tessilor"));
    for (const ActionRow& row : kActionRows) {
        QAction* action = this->*row.member;
        action->setText(translated(row.text));
        if (row.iconText) action->setIconText(translated(row.iconText));
        if (row.toolTip) action->setToolTip(translated(row.toolTip));
        if (row.statusTip) action->setStatusTip(translated(row.statusTip));
        if (row.key) action->setShortcut(QKeySequence(translated(row.key), QKeySequence::NativeText));
    }
    for (const MenuRow& row : kMenuRows) {
        QMenu* menu = this->*row.member;
        menu->setTitle(translated(row.title));
        if (row.statusTip) menu->setStatusTip(translated(row.statusTip));
    }
}
