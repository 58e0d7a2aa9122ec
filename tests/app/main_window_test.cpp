// The main window built offscreen and never shown: its construction, its
// mode switching and gesture lock, the action buttons and the view,
// environment and history commands. Dialogs are answered by a script.

#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTextEdit>
#include <QToolBar>
#include <QUrl>
#include <QVariant>
#include <QWidgetAction>
#include <SFML/Window/Keyboard.hpp>
#include <set>

#include "app/action_button.h"
#include "app/main_window_form.h"
#include "gl/progress.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "app/dialog_asker.h"
#include "view/camera.h"
#include "view/glview.h"
#include "view/keyboard.h"

namespace {

// Answers in order; an invalid QVariant cancels.
struct Script : qel::DecliningAsker {
    QList<QVariant> answers;
    QVariant take() { return answers.isEmpty() ? QVariant() : answers.takeFirst(); }
    bool yes(QWidget*, const QString&, const QString&) override { return take().toBool(); }
    void warn(QWidget*, const QString& title, const QString& text) override { warnings << title + ": " + text; }
    QStringList warnings;
    QString openFileName(QWidget*, const QString&, const QString&) override { return take().toString(); }
    bool getDouble(QWidget*, const QString&, const QString&, double* v, double, double, int) override {
        const QVariant a = take();
        if (a.isValid()) *v = a.toDouble();
        return a.isValid();
    }
};

struct ControlKey : qel::KeySource {
    bool held = false;
    bool active() override { return true; }
    bool down(int key) override { return held && key == sf::Keyboard::LControl; }
};

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() { window.asker = &script; }
    qel::GLView* view() { return window.view(); }
    Ui_MainWindow& ui() { return *window.ui; }
    // Enabled, visible actions of the window sharing a key, by key.
    QStringList clashes() {
        std::set<QString> seen;
        QStringList twice;
        for (QAction* a : window.findChildren<QAction*>()) {
            const QString key = a->shortcut().toString();
            if (key.isEmpty() || !a->isEnabled() || !a->isVisible()) continue;
            if (!seen.insert(key).second) twice << key;
        }
        return twice;
    }
    Script script;
    MainWindow window;
};

TEST_F(MainWindowTest, ConstructionLeavesTheDocumentedMenusActionsAndModes) {
    const QList<QAction*> own = window.findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly);
    EXPECT_EQ(own.size(), 237);
    EXPECT_EQ(window.findChildren<QMenu*>().size(), 42);
    int inMenus = 0, buttons = 0;
    for (QAction* a : own) {
        for (QWidget* w : a->associatedWidgets())
            if (qobject_cast<QMenu*>(w)) {
                ++inMenus;
                break;
            }
        for (QWidgetAction* w : window.findChildren<QWidgetAction*>())
            if (w->defaultWidget()->findChild<ActionButton*>()->action == a) ++buttons;
    }
    EXPECT_EQ(inMenus, 206);
    EXPECT_EQ(buttons, 13);
    EXPECT_EQ(window.actions().size(), 190);
    for (QAction* entry : ui().menuBar->actions())
        EXPECT_TRUE(entry->text() != "Dynamics" && entry->text() != "Auxiliary");
    for (QAction* entry : ui().menuSculpt->actions()) EXPECT_NE(entry->text(), "Pattern");

    EXPECT_TRUE(view()->simple());
    EXPECT_EQ(view()->actionMode, qel::GLView::ModeAssembly);
    EXPECT_TRUE(ui().actionMaterial->isChecked());
    EXPECT_EQ(view()->selectedAssemblyAction, qel::GLView::ActionMaterial);  // what the checked entry names
    EXPECT_EQ(view()->assemblyAction, qel::GLView::ActionMaterial);
    EXPECT_EQ(ui().menuAssembly->title(), "[Assembly]");
    EXPECT_EQ(ui().menuSculpt->title(), "Sculpt");
    EXPECT_TRUE(!ui().actionEdge_Detection->isChecked() && view()->edgeDetection == 0);
}

TEST_F(MainWindowTest, EachModeKeepsItsKeysApart) {
    const QKeySequence f1("F1"), f2("F2");
    EXPECT_TRUE(clashes().isEmpty()) << clashes().join(" ").toStdString();
    EXPECT_EQ(ui().actionUse_Tool->shortcut(), f2);
    window.SetMode(false);
    EXPECT_TRUE(clashes().isEmpty()) << clashes().join(" ").toStdString();
    EXPECT_EQ(ui().actionInsert->shortcut(), f1);
    EXPECT_TRUE(ui().actionUse_Tool->shortcut().isEmpty());
    EXPECT_TRUE(ui().actionDeform->shortcut().isEmpty());
    window.Sculpt(true);
    EXPECT_TRUE(clashes().isEmpty()) << clashes().join(" ").toStdString();
    EXPECT_EQ(ui().actionDeform->shortcut(), f1);
    EXPECT_TRUE(ui().actionInsert->shortcut().isEmpty());
    EXPECT_EQ(ui().menuSculpt->title(), "[Sculpt]");
    ui().menuSculpt->setTitle("kept");
    window.SetMode(false);
    EXPECT_EQ(ui().menuSculpt->title(), "kept");
}

TEST_F(MainWindowTest, TheGestureLockReachesEveryDepthAndLiftsAgain) {
    window.SetMode(false);  // hidden actions count as disabled
    QMenu* deep = ui().menuAssembly->findChild<QMenu*>("menuPrimitives");
    ASSERT_NE(deep, nullptr);
    window.setInAction(true);
    EXPECT_FALSE(ui().actionSave->isEnabled());
    EXPECT_FALSE(deep->actions().first()->isEnabled());
    EXPECT_FALSE(ui().actionDeform->isEnabled());
    EXPECT_FALSE(ui().actionPerspective->isEnabled());
    EXPECT_FALSE(ui().menuPrimitives->menuAction()->isEnabled());
    EXPECT_TRUE(ui().actionNext_Tool->isEnabled() && ui().actionGroups->isEnabled());
    EXPECT_TRUE(ui().menuHierarchy->actions().first()->isEnabled());
    window.setInAction(false);
    EXPECT_TRUE(ui().actionSave->isEnabled() && deep->actions().first()->isEnabled());
    EXPECT_TRUE(ui().actionDeform->isEnabled() && ui().actionPerspective->isEnabled());
    EXPECT_FALSE(ui().actionSectionFree->isEnabled());
}

TEST_F(MainWindowTest, ActionButtonsMirrorAndTriggerTheirActions) {
    ActionButton* wireframe = nullptr;
    for (QWidgetAction* w : window.findChildren<QWidgetAction*>()) {
        auto* b = w->defaultWidget()->findChild<ActionButton*>();
        if (b->action == ui().actionWireframe) wireframe = b;
    }
    ASSERT_NE(wireframe, nullptr);
    ui().actionWireframe->setEnabled(false);
    EXPECT_FALSE(wireframe->isEnabled());
    ui().actionWireframe->setEnabled(true);
    const bool before = ui().actionWireframe->isChecked();
    wireframe->click();
    EXPECT_NE(ui().actionWireframe->isChecked(), before);
    EXPECT_EQ(wireframe->isChecked(), ui().actionWireframe->isChecked());
}

TEST_F(MainWindowTest, BackgroundButtonsLoadOnlyThroughTheirDots) {
    QPushButton* dots = nullptr;
    ActionButton* environment = nullptr;
    for (QWidgetAction* w : ui().menuBackground->findChildren<QWidgetAction*>()) {
        auto* b = w->defaultWidget()->findChild<ActionButton*>();
        if (b->action != ui().actionEnvironment) continue;
        environment = b;
        for (QPushButton* p : w->defaultWidget()->findChildren<QPushButton*>())
            if (p->text() == "...") dots = p;
    }
    ASSERT_TRUE(dots && environment);
    dots->click();  // the script cancels the file dialog
    EXPECT_TRUE(ui().actionColor_4->isChecked());
    environment->click();
    EXPECT_EQ(view()->backgroundMode, 2);
    EXPECT_TRUE(ui().actionEnvironment->isChecked() && environment->isChecked());
    // The selected entry clicked again stays selected, on the button too.
    environment->click();
    EXPECT_TRUE(ui().actionEnvironment->isChecked() && environment->isChecked());
    // Refused during a gesture: the marks follow the view again.
    view()->interactionState = 1;
    ui().actionImage->trigger();
    EXPECT_EQ(view()->backgroundMode, 2);
    EXPECT_TRUE(ui().actionEnvironment->isChecked() && !ui().actionImage->isChecked());
    view()->interactionState = 0;
}

TEST_F(MainWindowTest, TheSwapKeySitsOnTheOtherProjection) {
    const QKeySequence swap("Alt+Shift+F6");
    EXPECT_EQ(ui().actionPerspective->shortcut(), swap);
    ControlKey control;
    qel::KeySource* platform = qel::keys.source;
    qel::keys.source = &control;
    control.held = true;
    qel::keys.read();
    ui().actionPerspective->trigger();  // the script cancels the FOV dialog
    EXPECT_EQ(view()->viewType, qel::GLView::ViewOrthogonal);
    EXPECT_TRUE(ui().actionOrthogonal->isChecked() && !ui().actionPerspective->isChecked());
    script.answers = {45.0};
    ui().actionPerspective->trigger();
    EXPECT_EQ(view()->viewType, qel::GLView::ViewPerspective);
    EXPECT_FLOAT_EQ(view()->fov, 45.0f);
    EXPECT_EQ(ui().actionOrthogonal->shortcut(), swap);
    EXPECT_TRUE(ui().actionPerspective->shortcut().isEmpty());
    control.held = false;
    qel::keys.read();
    qel::keys.source = platform;
    ui().actionOrthogonal->trigger();
    EXPECT_EQ(ui().actionPerspective->shortcut(), swap);
}

TEST_F(MainWindowTest, EnvironmentRotationKeepsTheOnScreenOrientation) {
    qel::GLView* v = view();
    const qel::mat3 start = qel::mat3::Rotation(0.3f, 0.2f, 0.1f);
    v->environmentMatrix = start;
    const qel::mat3 c0 = qel::mat3::Rotation(0.5f, -0.4f, 0.2f);
    v->camera->orientation = c0;
    ui().actionEnvironment_Rotation->trigger();
    ui().actionEnvironment_Rotation->trigger();
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(v->environmentMatrix.m[i], start.m[i], 1e-5);
    ui().actionEnvironment_Rotation->trigger();
    const qel::mat3 turn = qel::mat3::Rotation(0.0f, 0.7f, 0.0f);
    v->camera->orientation = c0 * turn;
    ui().actionEnvironment_Rotation->trigger();
    const qel::mat3 expected = c0 * turn * c0.transposed() * start;
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(v->environmentMatrix.m[i], expected.m[i], 1e-5);
}

TEST_F(MainWindowTest, TestSceneIsAMaterialGridOnlyWhenConfirmed) {
    qel::Scene* scene = view()->scene;
    script.answers = {false};
    ui().actionTest->trigger();
    const std::size_t before = scene->objectsRoot->children.size();
    script.answers = {true};
    // Not under a drawing: the scene stays and the drawing goes on.
    view()->interactionState = 1;
    view()->assemblor.stamps.resize(2);
    ui().actionTest->trigger();
    EXPECT_EQ(scene->objectsRoot->children.size(), before);
    EXPECT_EQ(view()->assemblor.stamps.size(), 2u);
    EXPECT_EQ(script.answers.size(), 1) << "nothing asked";
    view()->resetState(true);
    ui().actionTest->trigger();
    EXPECT_TRUE(view()->idle() && view()->assemblor.stamps.empty());
    ASSERT_EQ(int(scene->objectsRoot->children.size()), 25);
    EXPECT_NE(before, 25u);
    const qel::Tool* centre = scene->objectsRoot->children[12];
    EXPECT_TRUE(centre->material.roughness == 0 && centre->material.metalness == 0);
    const qel::Tool* corner = scene->objectsRoot->children[4];
    EXPECT_EQ(corner->material.roughness, -16383);
    EXPECT_EQ(corner->material.metalness, 16383);
    EXPECT_TRUE(view()->undoHistory.empty());
}

struct CloseCount : QObject {
    int closes = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        closes += e->type() == QEvent::Close;
        return false;
    }
};

TEST_F(MainWindowTest, ExitAsksFirst) {
    CloseCount count;
    window.installEventFilter(&count);
    script.answers = {false};
    ui().actionExit->trigger();
    EXPECT_EQ(count.closes, 0);
    script.answers = {true};
    ui().actionExit->trigger();
    EXPECT_EQ(count.closes, 1);
    window.removeEventFilter(&count);
}

TEST_F(MainWindowTest, TheCloseButtonAsksTheExitQuestion) {
    for (bool answer : {false, true}) {
        script.answers = {answer};
        QCloseEvent close;
        QApplication::sendEvent(&window, &close);
        EXPECT_EQ(close.isAccepted(), answer);
        EXPECT_TRUE(script.answers.isEmpty());
    }
    // Exit has asked already: the window closes without a second question.
    script.answers = {true, false};
    ui().actionExit->trigger();
    EXPECT_EQ(script.answers, QList<QVariant>{false});
}

// Enter answers No in the questions asked before work is discarded.
TEST(Asker, QuestionsDefaultToNo) {
    std::unique_ptr<QMessageBox> box = qel::DialogAsker::question(nullptr, "New", "Proceed?");
    ASSERT_TRUE(box->button(QMessageBox::Yes) && box->button(QMessageBox::No));
    box->show();
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(box.get(), &enter);
    EXPECT_EQ(box->clickedButton(), box->button(QMessageBox::No));
}

// The status bar's progress display goes with the window.
TEST(MainWindowLifetime, TheProgressBarIsForgottenWithTheWindow) {
    {
        MainWindow window;
        EXPECT_FALSE(qel::Progress::bar.isNull());
    }
    EXPECT_TRUE(qel::Progress::bar.isNull());
    qel::Progress::start("Building", 4, false);
}

// Help opens the guide shipped with the program, written out as a file.
TEST(MainWindowHelp, TheGuideIsWrittenFromTheProgramsOwnPage) {
    QFile page(":/Help/guide.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QByteArray text = page.readAll();
    EXPECT_TRUE(text.contains("<h3>File</h3>") && text.contains("<kbd>Ctrl+O</kbd>"));
    const QString path = MainWindow::guideFile();
    QFile written(path);
    ASSERT_TRUE(!path.isEmpty() && written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), text);
}

// The guide tells where opened meshes and images go and how to place them.
TEST(MainWindowHelp, TheGuideSaysOpenedMeshesAndImagesBecomeToolsOfTheLibrary) {
    QFile page(":/Help/guide.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll()).simplified();
    EXPECT_FALSE(text.contains("<code>.obj</code>) is added to the scene"));
    EXPECT_TRUE(
        text.contains("an animated GIF (<code>.gif</code>) does not appear in the view when it is opened: it "
                      "becomes a new tool of the tool library"));
    EXPECT_TRUE(text.contains("to place it, choose <b>Use Tool</b> (Assembly &gt; Create) and drag in the view"));
}

// The guide says what Open does: every Open empties the undo history, a
// scene file asks first, and an object file saved by Quick Save opens as
// the current tool of the library, not in the scene.
TEST(MainWindowHelp, TheGuideSaysWhatOpenDoes) {
    QFile page(":/Help/guide.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll()).simplified();
    EXPECT_FALSE(text.contains("Loading or saving a scene empties the undo history"));
    EXPECT_TRUE(text.contains("Every Open that opens a file, whatever its kind (a scene, an object, a mesh or an "
                              "image), and every Save empty the undo history."));
    EXPECT_FALSE(text.contains("an object (<code>.tlo</code>) is added to the scene."));
    EXPECT_TRUE(text.contains("one that holds a tool, as <b>Quick Save</b> writes it, becomes a new tool of the tool "
                              "library and the current tool"));
    EXPECT_TRUE(text.contains("Open first asks the question New asks, and No opens nothing."));
    EXPECT_TRUE(text.contains("The status bar says where each opened file went."));
}

// The guide says that the camera stays over New, Test and Open, and how the
// start view comes back.
TEST(MainWindowHelp, TheGuideSaysTheCameraStaysOverNewTestAndOpen) {
    QFile page(":/Help/guide.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll()).simplified();
    EXPECT_TRUE(text.contains("New, Test and Open keep the camera"));
    EXPECT_TRUE(text.contains("<b>View &gt; Viewer &gt; Front</b> turns the camera back to the start view"));
}

// When the desktop cannot open the guide, a message names its file.
TEST_F(MainWindowTest, HelpWithoutABrowserNamesTheGuidesFile) {
    static QUrl opened;
    window.openDocument = [](const QUrl& url) {
        opened = url;
        return false;
    };
    ui().actionOnline_help->trigger();
    const QString path = MainWindow::guideFile();
    EXPECT_EQ(opened, QUrl::fromLocalFile(path));
    ASSERT_EQ(script.warnings.size(), 1);
    EXPECT_TRUE(script.warnings[0].startsWith("Help: ") && script.warnings[0].endsWith(QDir::toNativeSeparators(path)))
        << script.warnings[0].toStdString();
    window.openDocument = [](const QUrl&) { return true; };
    ui().actionOnline_help->trigger();
    EXPECT_EQ(script.warnings.size(), 1) << "a browser showed it";
}

TEST_F(MainWindowTest, TheLicenceShowsItsTextAsWrittenAndGoesWhenClosed) {
    ui().actionLicense->trigger();
    QPointer<QDialog> licence = window.findChild<QDialog*>();
    ASSERT_FALSE(licence.isNull());
    QFile file(":/License/License.txt");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains('<'));
    // A preformatted block ends without the file's last line break.
    EXPECT_EQ(licence->findChild<QTextEdit*>()->toPlainText() + "\n", text);
    licence->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(licence.isNull());
}

}  // namespace
