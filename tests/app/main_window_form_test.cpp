// The main window's form, built on a plain QMainWindow that is never shown,
// checked against the menus and actions as the program documents them.

#include "app/main_window_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QHBoxLayout>
#include <QImage>
#include <QMainWindow>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStringList>
#include <algorithm>

namespace {

class MainWindowForm : public ::testing::Test {
protected:
    static QMainWindow* window;
    static Ui_MainWindow* ui;
    static void SetUpTestSuite() {
        window = new QMainWindow;
        ui = new Ui_MainWindow;
        ui->setupUi(window);
    }
    static void TearDownTestSuite() {
        delete window;
        delete ui;
    }
    static QList<QAction*> actions() { return window->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly); }
};

QMainWindow* MainWindowForm::window = nullptr;
Ui_MainWindow* MainWindowForm::ui = nullptr;

TEST_F(MainWindowForm, WindowMenuBarAndMenusAreBuiltAsDocumented) {
    EXPECT_TRUE(window->objectName() == "MainWindow" && window->windowTitle() == "Tessilor");
    EXPECT_EQ(window->size(), QSize(1280, 720));
    EXPECT_EQ(window->sizePolicy(), QSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred));
    EXPECT_TRUE(window->focusPolicy() == Qt::StrongFocus && window->contextMenuPolicy() == Qt::NoContextMenu);
    EXPECT_EQ(window->centralWidget()->layout(), ui->horizontalLayout);
    EXPECT_TRUE(ui->horizontalLayout->count() == 0 && ui->horizontalLayout->contentsMargins() == QMargins());
    EXPECT_TRUE(window->menuBar() == ui->menuBar && window->statusBar() == ui->statusBar);
    EXPECT_TRUE(!ui->menuBar->isNativeMenuBar() && ui->menuBar->hasMouseTracking());

    EXPECT_EQ(actions().size(), 258);
    EXPECT_EQ(window->findChildren<QMenu*>().size(), 48);
    EXPECT_EQ(ui->actionDelete_Section_Feature, window->findChild<QAction*>("actionDelete_Section_Feature"));
    EXPECT_EQ(ui->menuDelete_3, window->findChild<QMenu*>("menuDelete_3"));
    EXPECT_EQ(ui->menuCreate->parent(), ui->menuAssembly);

    QStringList bar;
    for (QAction* entry : ui->menuBar->actions()) bar << entry->menu()->objectName() + ":" + entry->text();
    EXPECT_EQ(bar.join(" "),
              "menuFile:File menuEdit:Edit menuAssembly:[Assembly] menuSculpt:Sculpt "
              "menuDynamics:Dynamics menuBrush:Brush menuRender:Render menuView:View "
              "menuHelp:Help menuACTION: menuAuxiliary:Auxiliary");
    EXPECT_TRUE(ui->actionType->text() == "TYPE" && ui->actionTYPE->text() == "TYPE");
    EXPECT_TRUE(ui->actionAXIS->text() == "AXIS" && ui->actionSECTION->text() == "SECTION");
}

TEST_F(MainWindowForm, TranscriptionChecksums) {
    int checkable = 0, on = 0, keys = 0, icons = 0, iconsOn = 0, fonts = 0, tips = 0;
    QStringList disabled;
    QMap<QString, QStringList> byKey;
    for (QAction* a : actions()) {
        checkable += a->isCheckable();
        on += a->isChecked();
        if (!a->isEnabled()) disabled << a->objectName();
        if (!a->shortcut().isEmpty()) {
            ++keys;
            byKey[a->shortcut().toString()] << a->objectName();
        }
        icons += !a->icon().pixmap(24).isNull();
        iconsOn += a->icon().pixmap(24, QIcon::Normal, QIcon::On).toImage() !=
                   a->icon().pixmap(24, QIcon::Normal, QIcon::Off).toImage();
        fonts += a->font().bold() || a->font().italic();
        tips += !a->statusTip().isEmpty();
    }
    EXPECT_EQ(checkable, 152);
    EXPECT_EQ(on, 23);
    EXPECT_EQ(disabled, QStringList{"actionSectionFree"});
    EXPECT_EQ(keys, 78);
    EXPECT_EQ(icons, 76);
    EXPECT_EQ(iconsOn, 6);
    EXPECT_EQ(tips, 12);
    QStringList shared;
    for (auto it = byKey.begin(); it != byKey.end(); ++it)
        if (it.value().size() > 1) shared << it.key() + "=" + it.value().join(",");
    EXPECT_EQ(shared.join(" "),
              "Alt+[=actionDraw_Rotation_Items_3,actionElevation_0 D=actionSame_Depth,actionDynamics "
              "F1=actionInsert,actionDeform F2=actionPlace,actionInflate "
              "F3=actionAsmRotate,actionPinch");
    EXPECT_EQ(ui->actionFULL_MODE->shortcut(), QKeySequence(Qt::Key_QuoteLeft));
    EXPECT_EQ(ui->actionGeneral->shortcut(), QKeySequence(Qt::Key_Backslash));
    EXPECT_EQ(ui->actionIK_Chain_Reset->shortcut(), QKeySequence(Qt::CTRL + Qt::Key_Minus));

    EXPECT_EQ(fonts, 5);
    EXPECT_TRUE(ui->actionClosed->font().italic() && !ui->actionClosed->font().bold());
    EXPECT_TRUE(ui->actionType->font().bold() && ui->actionTYPE->font().bold());
    for (QAction* a : {ui->actionAXIS, ui->actionSECTION}) EXPECT_TRUE(a->font().bold() && a->font().italic());
    QString iconTexts;
    for (QAction* a : ui->menuSymmetry->actions()) iconTexts += a->iconText();
    EXPECT_EQ(iconTexts, "xyzXYZn+-");
    EXPECT_EQ(ui->actionX_Mirror_Symmetry->toolTip(), "X Mirror Symmetry");

    int menuIcons = 0, menuTips = 0;
    for (QMenu* m : window->findChildren<QMenu*>()) {
        menuIcons += !m->icon().pixmap(24).isNull();
        menuTips += !m->statusTip().isEmpty();
    }
    EXPECT_EQ(menuIcons, 19);
    EXPECT_EQ(menuTips, 4);
    EXPECT_FALSE(window->windowIcon().pixmap(32).isNull());
}

// Every picture the style sheets name is in the bundle.
TEST_F(MainWindowForm, StyleSheetPicturesResolve) {
    const QString styles = window->styleSheet() + ui->menuBar->styleSheet() + ui->statusBar->styleSheet();
    QStringList paths;
    for (auto it = QRegularExpression("url\\(([^)]*)\\)").globalMatch(styles); it.hasNext();)
        paths << it.next().captured(1);
    EXPECT_EQ(paths, (QStringList{":/Icons/menu_indicator.png", ":/Icons/empty.png"}));
    for (const QString& path : paths) EXPECT_FALSE(QImage(path).isNull()) << path.toStdString();
}

// A checked entry shows no mark and takes the accent colour; an unchecked one
// is drawn like any plain entry.
TEST_F(MainWindowForm, CheckedEntryIsAccentColouredWithoutMark) {
    ui->menuRender->adjustSize();
    const QImage image = ui->menuRender->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // Pixels of one colour in the entry's columns [left, right).
    const auto count = [&](QAction* entry, int left, int right, QRgb colour) {
        const QRect r = ui->menuRender->actionGeometry(entry);
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left() + left; x < r.left() + std::min(right, r.width()); ++x)
                n += image.pixel(x, y) == colour;
        return n;
    };
    const QRgb accent = qRgb(0xef, 0xba, 0x44), text = qRgb(0xcc, 0xcc, 0xcc), back = qRgb(0x33, 0x33, 0x33);
    const int end = image.width(), padding = 25;
    ASSERT_TRUE(ui->actionOrthogonal->isChecked() && !ui->actionPerspective->isChecked());
    EXPECT_GT(count(ui->actionOrthogonal, padding, end, accent), 0);
    EXPECT_EQ(count(ui->actionOrthogonal, padding, end, text), 0);
    EXPECT_GT(count(ui->actionPerspective, padding, end, text), 0);
    EXPECT_EQ(count(ui->actionPerspective, padding, end, accent), 0);
    // The left padding, where a check mark would be, stays background.
    const int height = ui->menuRender->actionGeometry(ui->actionOrthogonal).height();
    EXPECT_EQ(count(ui->actionOrthogonal, 0, padding, back), padding * height);
}

class SlotWindow : public QMainWindow {
    Q_OBJECT
public:
    int cubes = 0;
public slots:
    void on_actionCube_triggered() { ++cubes; }
};

TEST(MainWindowFormSlots, SetupConnectsSlotsNamedAfterActions) {
    SlotWindow window;
    Ui_MainWindow ui;
    ui.setupUi(&window);
    ui.actionCube->trigger();
    EXPECT_EQ(window.cubes, 1);
}

}  // namespace

#include "main_window_form_test.moc"
