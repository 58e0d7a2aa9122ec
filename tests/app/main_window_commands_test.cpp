// The Assembly and File menus' commands on the offscreen main window:
// guards, creation, the tool library, the array table and its dialog, and
// the file commands. Dialogs and modifier keys are scripted.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtEndian>
#include <SFML/Window/Keyboard.hpp>
#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <set>

#include "app/array_table.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "app/read_only_folder_util.h"
#include "app/save_name.h"
#include "mesh/mesh.h"
#include "scene/load_budget.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "view/act.h"
#include "view/asker.h"
#include "view/camera.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/keyboard.h"
#include "view/status_text.h"

namespace {

struct Script : qel::DecliningAsker {
    QList<QVariant> answers;  // an invalid QVariant cancels
    std::function<int(QDialog*)> dialog = [](QDialog*) { return int(QDialog::Rejected); };
    QStringList warnings, titles;
    QVariant take() { return answers.isEmpty() ? QVariant() : answers.takeFirst(); }
    bool yes(QWidget*, const QString&, const QString& text) override { return titles << text, take().toBool(); }
    bool getInt(QWidget*, const QString& title, const QString&, int* v, int min, int max, int) override {
        titles << title + QString(" %1-%2").arg(min).arg(max);
        const QVariant a = take();
        if (a.isValid()) *v = a.toInt();
        return a.isValid();
    }
    QStringList openFileNames(QWidget*, const QString&, const QString&) override { return take().toStringList(); }
    QString saveFileName(QWidget*, const QString&, const QString&) override { return take().toString(); }
    QString saveFileNameIn(QWidget*, const QString&, const QString&, const QString&) override {
        return take().toString();
    }
    void warn(QWidget*, const QString&, const QString& text) override { warnings << text; }
    int run(QDialog* d) override { return dialog(d); }
};

// Holds the given keys through the keyboard's key source.
struct Keys : qel::KeySource {
    std::set<int> down_;
    qel::KeySource* platform = qel::keys.source;
    Keys() { qel::keys.source = this; }
    ~Keys() override {
        hold({});
        qel::keys.source = platform;
    }
    void hold(std::set<int> keys) {
        down_ = std::move(keys);
        qel::keys.read();
    }
    bool active() override { return true; }
    bool down(int key) override { return down_.count(key) != 0; }
};

class CommandsTest : public ::testing::Test {
protected:
    CommandsTest() { window.asker = &script; }
    qel::GLView* view() { return window.view(); }
    Ui_MainWindow& ui() { return *window.ui; }
    Script script;
    Keys keys;
    MainWindow window;
};

TEST_F(CommandsTest, GuardsWaitForAStrokeEnterAssemblyWhenIdleAndActAtOnceInAssembly) {
    const QList<QAction*> commands = {ui().actionInsert, ui().actionAsmScale,   ui().actionCube,
                                      ui().actionThin,   ui().actionAxisSquare, ui().actionArray};
    for (QAction* a : commands) {
        window.Sculpt(true);
        view()->interactionState = 1;
        const auto action = view()->assemblyAction;
        a->trigger();
        EXPECT_EQ(view()->selectedActionMode, qel::GLView::ModeSculpt) << a->objectName().toStdString();
        EXPECT_EQ(view()->assemblyAction, action);
        EXPECT_EQ(view()->solidShape, 1);
        EXPECT_EQ(view()->axisCreation, qel::GLView::CurveFree);
        view()->interactionState = 0;
    }
    EXPECT_TRUE(ui().actionInsert->shortcut().isEmpty());
    ui().actionInsert->trigger();
    EXPECT_EQ(view()->selectedActionMode, qel::GLView::ModeAssembly);
    EXPECT_EQ(view()->assemblyAction, qel::GLView::ActionInsert);
    EXPECT_EQ(ui().actionInsert->shortcut(), QKeySequence("F1"));
    view()->interactionState = 1;
    ui().actionAdd_To_Scene->trigger();
    EXPECT_EQ(view()->hierarchyMode, 0);
    EXPECT_EQ(ui().menuHierarchy->icon().cacheKey(), ui().actionAdd_To_Scene->icon().cacheKey());
}

TEST_F(CommandsTest, SetCreateActionKeepsPaintInFullModeAndMarksPlaceInSimpleMode) {
    window.SetMode(false);
    ui().actionAsmMove->trigger();
    view()->lastCreateAction = qel::GLView::ActionPaint;
    ui().actionCube->trigger();
    EXPECT_EQ(view()->assemblyAction, qel::GLView::ActionMove);
    EXPECT_EQ(view()->toolCreation, qel::GLView::CreateCube);
    EXPECT_EQ(ui().menuPrimitives->icon().cacheKey(), ui().actionCube->icon().cacheKey());
    window.SetMode(true);
    view()->lastCreateAction = qel::GLView::ActionInsert;
    ui().actionSphere->trigger();
    EXPECT_TRUE(ui().actionPlace->isChecked());
    EXPECT_FALSE(ui().actionInsert->isChecked());
}

TEST_F(CommandsTest, IkChainActsOnlyUnderInverseKinematics) {
    ui().actionIK_Chain_2->trigger();
    EXPECT_EQ(view()->ikLevel, -1);
    ui().actionInverse_Kinematics->trigger();
    ui().actionIK_Chain_2->trigger();
    EXPECT_EQ(view()->ikLevel, 0);
    ui().actionIK_Chain->trigger();
    EXPECT_EQ(view()->ikLevel, 0);
    ui().actionIK_Chain_2->trigger();
    ui().actionIK_Chain_Reset->trigger();
    EXPECT_EQ(view()->ikLevel, -1);
    ui().actionRotation_Multiplicity->trigger();
    EXPECT_EQ(ui().menuConstraints->icon().cacheKey(), ui().actionRotation_Multiplicity->icon().cacheKey());
}

// The status text shows the placement options and the chain level.
TEST_F(CommandsTest, PlacementOptionsAndTheChainAskForAFrame) {
    ui().actionInverse_Kinematics->trigger();
    for (const char* name :
         {"Add_To_Scene", "Add_To_Parent", "Add_To_Child", "Relative_To_Child", "Add_On_All_Instances", "Add_Linked",
          "IK_Chain_2", "IK_Chain_2", "IK_Chain", "IK_Chain_Reset"}) {
        view()->redraw = 0;
        window.findChild<QAction*>(QString("action") + name)->trigger();
        EXPECT_EQ(view()->redraw, 1) << name;
    }
    EXPECT_EQ(view()->ikLevel, -1);
}

TEST_F(CommandsTest, TubeAndCountDialogsFollowControl) {
    ui().actionTube->trigger();
    EXPECT_EQ(view()->toolCreation, qel::GLView::CreateTube);
    keys.hold({sf::Keyboard::LControl});
    ui().actionTube->trigger();
    EXPECT_EQ(view()->toolCreation, qel::GLView::CreateTubeDrawnAxis);
    ui().actionAxisNGon->trigger();  // cancelled
    EXPECT_EQ(ui().actionAxisNGon->text(), "N-Gon (7)");
    script.answers = {40};
    ui().actionSectionCircle->trigger();
    EXPECT_EQ(view()->sectionSegments, 40);
    EXPECT_EQ(ui().actionSectionCircle->text(), "Circle (40)");
    ui().actionAxisTrefoilKnot->trigger();
    EXPECT_EQ(script.titles, QStringList({"N-Gon 7-10000", "Circle 3-10000", "Trefoil 12-10000"}));
}

TEST_F(CommandsTest, ToolLibraryCommandsWaitForGesturesAndShiftEmptiesTheLibrary) {
    qel::Scene* scene = view()->scene;
    for (int i = 0; i < 2; ++i) scene->addTool(new qel::Tool(nullptr, qel::mat4(), qel::pbr(), false));
    qel::Tool* const current = scene->currentTool;
    ui().actionPlace->trigger();  // the library is walked under a creating action
    ui().actionPrevious_Tool->trigger();
    EXPECT_NE(scene->currentTool, current);
    ui().actionNext_Tool->trigger();
    EXPECT_EQ(scene->currentTool, current);
    view()->interactionState = 1;
    for (auto k : {sf::Keyboard::LControl, sf::Keyboard::LAlt}) {
        keys.hold({k});
        ui().actionUse_Tool->trigger();
    }
    ui().actionNext_Tool->trigger();
    EXPECT_EQ(scene->currentTool, current);
    view()->interactionState = 0;
    keys.hold({sf::Keyboard::LControl, sf::Keyboard::LAlt});
    ui().actionUse_Tool->trigger();  // Control wins: the child after
    ui().actionNext_Tool->trigger();
    EXPECT_EQ(scene->currentTool, current);
    ui().actionCube->trigger();  // an owned tool under creation
    keys.hold({sf::Keyboard::LShift, sf::Keyboard::LControl});
    ui().actionUse_Tool->trigger();
    EXPECT_TRUE(scene->toolsRoot->children.empty());
    EXPECT_TRUE(view()->auxiliaryTools.empty());
    EXPECT_TRUE(view()->undoHistory.empty());
    EXPECT_EQ(view()->activeTool, nullptr);
}

TEST(ArrayTable, ParsesEntriesClampsAndReadsBack) {
    using qel::arrayWord;
    using V = std::vector<std::int32_t>;
    EXPECT_EQ(qel::parseArrayTable("3"), V{arrayWord(3, 1, 0)});
    EXPECT_EQ(qel::parseArrayTable("/2-5 4-2/"), (V{arrayWord(2, 5, 1), arrayWord(4, 2, 2)}));
    EXPECT_TRUE(qel::parseArrayTable("/4/").empty());
    EXPECT_EQ(qel::parseArrayTable("5 - 6"), (V{arrayWord(5, 1, 0), arrayWord(6, 1, 0)}));
    EXPECT_TRUE(qel::parseArrayTable("   ").empty());
    EXPECT_EQ(qel::parseArrayTable("40000-1"), V{arrayWord(32767, 1, 0)});
    EXPECT_EQ(qel::arrayTableText({32769}), "1-1");
    EXPECT_EQ(qel::parseArrayTable(qel::arrayTableText(qel::parseArrayTable("/2-5 4-2/ 7-3"))),
              qel::parseArrayTable("/2-5 4-2/ 7-3"));
}

TEST_F(CommandsTest, ArrayDialogClearsItemsAndCancelStillMakesAnArray) {
    keys.hold({sf::Keyboard::LControl});
    const std::vector<qel::Tool*> items = view()->auxiliaryTools;
    ASSERT_FALSE(items.empty());
    ui().actionArray->trigger();  // cancelled
    EXPECT_EQ(view()->toolCreation, qel::GLView::CreateArray);
    EXPECT_EQ(view()->arrayCounts, std::vector<std::int32_t>{32769});
    script.dialog = [](QDialog* d) {
        EXPECT_EQ(d->findChild<QLineEdit*>()->text(), "1-1");
        d->findChild<QCheckBox*>()->setChecked(true);
        return int(QDialog::Accepted);
    };
    ui().actionArray->trigger();
    EXPECT_TRUE(view()->auxiliaryTools.empty());
    EXPECT_EQ(view()->scene->toolsRoot->children.size(), items.size());  // not deleted
    EXPECT_TRUE(view()->findChildren<QDialog*>().isEmpty() && window.findChildren<QDialog*>().isEmpty());
}

TEST(SaveName, PutsTheExtensionRight) {
    const QStringList in = {"scene", "model.OBJ", "Scene.TL", "scene.tlo", "picture.png", "a.b.c", "x.y/scene"};
    const QStringList out = {"scene.tl", "model.OBJ", "Scene.TL", "scene.tl", "picture.tl", "a.b.tl", "x.y/scene.tl"};
    for (int i = 0; i < in.size(); ++i) EXPECT_EQ(qel::saveFileName(in[i]), out[i]);
}

TEST_F(CommandsTest, FileCommandsAskBeforeLosingAnything) {
    ui().actionCube->trigger();
    qel::Tool* const cube = view()->activeTool;
    script.answers = {false};
    view()->scene->addTool(new qel::Tool(nullptr, qel::mat4(), qel::pbr(), false));
    const std::size_t templates = view()->scene->toolsRoot->children.size();
    view()->interactionState = 1;
    ui().actionNew->trigger();
    EXPECT_EQ(view()->activeTool, cube);
    EXPECT_EQ(view()->scene->toolsRoot->children.size(), templates);
    EXPECT_FALSE(view()->idle());  // refused: the gesture goes on
    EXPECT_EQ(script.answers.size(), 1) << "nothing asked";
    view()->interactionState = 0;
    QTemporaryDir dir;
    QFile existing(dir.filePath("scene.tl"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly) && existing.write("keep") == 4);
    existing.close();
    script.answers = {dir.filePath("scene"), false};
    ui().actionSave->trigger();
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), "keep");
    script.answers = {dir.filePath("missing/x.tl")};
    ui().actionSave->trigger();
    EXPECT_EQ(script.warnings.size(), 1);
    EXPECT_EQ(view()->scene->toolsRoot->children.size(), templates);
    script.answers = {true};
    ui().actionNew->trigger();
    EXPECT_TRUE(view()->idle());
    EXPECT_NE(view()->activeTool, nullptr);  // built again
}

TEST_F(CommandsTest, OpenPassesOverAnUnreadableFile) {
    QTemporaryDir dir;
    view()->scene->addTool(new qel::Tool(nullptr, qel::mat4(), qel::pbr(), false));
    ASSERT_TRUE(view()->save(dir.filePath("two.tl").toStdString()));
    QFile bad(dir.filePath("bad.tl")), mesh(dir.filePath("tri.obj"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly) && mesh.open(QIODevice::WriteOnly));
    bad.write("not a scene");
    mesh.write("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    bad.close();
    mesh.close();
    script.answers = {QStringList{dir.filePath("two.tl"), bad.fileName(), mesh.fileName()}, true};
    ASSERT_TRUE(view()->load(dir.filePath("two.tl").toStdString()));
    const std::size_t templates = view()->scene->toolsRoot->children.size();
    ui().actionOpen->trigger();
    // The scene's templates, then the mesh's; the refused file is named.
    EXPECT_EQ(view()->scene->toolsRoot->children.size(), templates + 1);
    EXPECT_EQ(script.warnings, QStringList{bad.fileName() + " could not be opened: it is not a scene or object file."});
}

// A mesh or an image opened becomes a tool of the library and shows nothing
// in the view: the status bar names what was added and how to place it. A
// scene opened after them takes them away again.
TEST_F(CommandsTest, OpenedMeshesAndImagesAreToldToGoToTheToolLibrary) {
    QTemporaryDir dir;
    QFile mesh(dir.filePath("tri.obj"));
    ASSERT_TRUE(mesh.open(QIODevice::WriteOnly));
    mesh.write("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    mesh.close();
    const QString image = dir.filePath("red.png");
    QImage pixels(4, 4, QImage::Format_ARGB32);
    pixels.fill(Qt::red);
    ASSERT_TRUE(pixels.save(image));
    const auto& library = view()->scene->toolsRoot->children;
    const std::size_t before = library.size();
    const auto notice = [this] { return window.noticeLabel ? window.noticeLabel->text() : QString(); };

    script.answers = {QStringList{mesh.fileName()}};
    ui().actionOpen->trigger();
    EXPECT_EQ(library.size(), before + 1);
    EXPECT_TRUE(view()->scene->objects.tools.empty()) << "nothing placed";
    EXPECT_EQ(notice().toStdString(), QString("tri.obj was added to the tool library (Tools %1). To place it, "
                                              "choose Use Tool (Assembly > Create) and drag in the view.")
                                          .arg(before + 1)
                                          .toStdString());
    ASSERT_TRUE(window.noticeLabel);
    EXPECT_TRUE(window.noticeLabel->isVisibleTo(window.statusBar()));

    script.answers = {QStringList{image, dir.filePath("missing.gif")}};
    ui().actionOpen->trigger();
    EXPECT_TRUE(notice().startsWith("red.png was added to the tool library (Tools " + QString::number(before + 2)));
    EXPECT_EQ(script.warnings.size(), 1);

    ASSERT_TRUE(view()->save(dir.filePath("scene.tl").toStdString()));
    window.noticeLabel->clear();
    script.answers = {QStringList{mesh.fileName(), image, dir.filePath("scene.tl")}, true};
    ui().actionOpen->trigger();
    EXPECT_EQ(notice(), QString()) << "the scene replaced the library";
    script.answers = {QStringList{mesh.fileName(), image}};
    ui().actionOpen->trigger();
    EXPECT_TRUE(notice().startsWith("tri.obj, red.png were added")) << notice().toStdString();
    EXPECT_TRUE(notice().contains("To place red.png, choose Use Tool"));
}

// Open of a scene file replaces the scene as New clears it, and asks New's
// question first: No keeps the scene and opens nothing. Files that only add
// to the scene (a mesh, an image, an object) open without a question.
TEST_F(CommandsTest, OpenAsksBeforeASceneFileReplacesTheScene) {
    QTemporaryDir dir;
    const QString empty = dir.filePath("empty.tl");
    ASSERT_TRUE(view()->save(empty.toStdString()));
    QFile mesh(dir.filePath("tri.obj"));
    ASSERT_TRUE(mesh.open(QIODevice::WriteOnly));
    mesh.write("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    mesh.close();
    qel::Tool* placed = view()->scene->addObject(view()->scene->toolsRoot->children.back(), qel::mat4(),
                                                 qel::Scene::HangTop, false);
    ASSERT_NE(placed, nullptr);
    const auto objects = [this] { return view()->scene->objectsRoot->children.size(); };
    const std::size_t library = view()->scene->toolsRoot->children.size();

    script.answers = {QStringList{mesh.fileName(), empty}, false};
    ui().actionOpen->trigger();
    EXPECT_EQ(script.titles, QStringList{"This action clears the current scene! Proceed?"});
    EXPECT_EQ(objects(), 1u) << "No keeps the scene";
    EXPECT_EQ(view()->scene->toolsRoot->children.size(), library) << "and opens nothing";

    script.titles.clear();
    script.answers = {QStringList{mesh.fileName()}};
    ui().actionOpen->trigger();
    EXPECT_TRUE(script.titles.isEmpty()) << "a mesh only adds";
    EXPECT_EQ(view()->scene->toolsRoot->children.size(), library + 1);

    script.answers = {QStringList{empty}, true};
    ui().actionOpen->trigger();
    EXPECT_EQ(script.titles, QStringList{"This action clears the current scene! Proceed?"});
    EXPECT_EQ(objects(), 0u) << "Yes opens the scene";
}

// An object file holds a placed object (it joins the scene) or, as Quick
// Save writes one, a tool (it joins the tool library as the current tool):
// the status bar says which, and no question is asked.
TEST_F(CommandsTest, OpenSaysWhereAnOpenedObjectWent) {
    QTemporaryDir dir;
    qel::Tool* placed = view()->scene->addObject(view()->scene->toolsRoot->children.back(), qel::mat4(),
                                                 qel::Scene::HangTop, false);
    ASSERT_NE(placed, nullptr);
    const QString asObject = dir.filePath("object.tlo"), asTool = dir.filePath("quick.tlo");
    std::unique_ptr<qel::Tool> object(placed->cloneObject(qel::mat4(), false, false));
    std::unique_ptr<qel::Tool> tool(placed->cloneTool(false));
    std::string why;
    ASSERT_TRUE(object->save(asObject.toStdString(), why)) << why;
    ASSERT_TRUE(tool->save(asTool.toStdString(), why)) << why;
    const auto notice = [this] { return window.noticeLabel ? window.noticeLabel->text() : QString(); };
    const std::size_t objects = view()->scene->objectsRoot->children.size();
    const std::size_t library = view()->scene->toolsRoot->children.size();

    script.answers = {QStringList{asObject}};
    ui().actionOpen->trigger();
    EXPECT_EQ(view()->scene->objectsRoot->children.size(), objects + 1);
    EXPECT_EQ(notice(), "object.tlo was added to the scene.");

    script.answers = {QStringList{asTool}};
    ui().actionOpen->trigger();
    EXPECT_EQ(view()->scene->toolsRoot->children.size(), library + 1);
    EXPECT_EQ(view()->scene->currentTool, view()->scene->toolsRoot->children.back());
    EXPECT_EQ(notice(), QString("quick.tlo was added to the tool library (Tools %1). To place it, choose Use Tool "
                                "(Assembly > Create) and drag in the view.")
                            .arg(library + 1));
    EXPECT_TRUE(script.titles.isEmpty());
}

// The status bar's way to place an opened mesh, done as it says, through
// the view's frames: Use Tool, then a drag in the view places it.
TEST_F(CommandsTest, TheOpenNoticesWayToPlaceAMeshPlacesIt) {
    QTemporaryDir dir;
    QFile mesh(dir.filePath("tri.obj"));
    ASSERT_TRUE(mesh.open(QIODevice::WriteOnly));
    mesh.write("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    mesh.close();
    script.answers = {QStringList{mesh.fileName()}};
    ui().actionOpen->trigger();
    ASSERT_TRUE(window.noticeLabel);
    EXPECT_TRUE(window.noticeLabel->text().endsWith("choose Use Tool (Assembly > Create) and drag in the view."))
        << window.noticeLabel->text().toStdString();

    ui().actionUse_Tool->trigger();
    qel::test::FrameDriver drive(*view());
    const auto objects = [this] {
        view()->scene->toList();
        return view()->scene->objects.tools.size();
    };
    const std::size_t before = objects();
    const qel::vec2 start(float(view()->width) / 2, float(view()->height) / 2);
    drive.move(start);
    drive.frame();
    drive.left(true);
    drive.frame();
    for (int step = 1; step <= 4; ++step) {
        drive.move(start + qel::vec2(8.0f * float(step), 4.0f * float(step)));
        drive.frame();
    }
    drive.left(false);
    drive.frame();
    drive.frame();
    EXPECT_GT(objects(), before);  // one object per mirrored placement
}

// Opening an image switches the view to Use Tool and Place: the status text
// and the Create menu both show it.
TEST_F(CommandsTest, AfterOpenTheCreateMenuAndTheStatusTextAgree) {
    QTemporaryDir dir;
    const QString image = dir.filePath("blue.png");
    QImage pixels(4, 4, QImage::Format_ARGB32);
    pixels.fill(Qt::blue);
    ASSERT_TRUE(pixels.save(image));
    const auto action = [this] {
        for (const qel::StatusPiece& p : qel::statusText(*view()))
            if (p.text == "Draw" || p.text == "Place") return p.text;
        return std::string();
    };
    ui().actionTube->trigger();
    ASSERT_TRUE(ui().actionTube->isChecked() && view()->toolCreation == qel::GLView::CreateTube);
    EXPECT_EQ(action(), "Draw");
    script.answers = {QStringList{image}};
    ui().actionOpen->trigger();
    EXPECT_EQ(action(), "Place");
    EXPECT_EQ(view()->toolCreation, qel::GLView::CreateUseTool);
    EXPECT_TRUE(ui().actionUse_Tool->isChecked());
    EXPECT_FALSE(ui().actionTube->isChecked());
}

TEST_F(CommandsTest, OpenNamesAFileOpenedWithPartsLeftOut) {
    const QString over = TL_FUZZ_CORPUS "/scene_load/resampled_nested_arrays_long_thin_bases.tl";
    const QString whole = TL_FUZZ_CORPUS "/scene_load/resampled_long_thin_base.tl";
    script.answers = {QStringList{whole, over}, true};
    // Within a budget that lists a thousand of its million copies.
    qel::LoadBudget budget(qel::LoadBudget::SamplesPerLoad, 1000, qel::LoadBudget::bytesPerLoad());
    ui().actionOpen->trigger();
    ASSERT_EQ(script.warnings.size(), 1);
    EXPECT_TRUE(script.warnings[0].startsWith(over + " asks for more")) << script.warnings[0].toStdString();
    EXPECT_EQ(view()->scene->objectsRoot->children.size(), 1u);
}

// Each refused file is named with the cause its reader found: no scene
// file, the byte a scene ends at, the image decoder's refusal, the OBJ line.
TEST_F(CommandsTest, OpenSaysWhyEachRefusedFileCouldNotBeOpened) {
    QTemporaryDir dir;
    const auto write = [&dir](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        return f.fileName();
    };
    QByteArray noise(64, 0);
    for (int i = 0; i < noise.size(); ++i) noise[i] = char((i * 97 + 13) % 251);
    const QString random = write("random.tl", noise);

    // A scene (its library holds a sphere) cut 10 bytes short: the cut lies
    // in its last chunk, the elements.
    ASSERT_TRUE(view()->save(dir.filePath("whole.tl").toStdString()));
    QFile whole(dir.filePath("whole.tl"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray scene = whole.readAll();
    int last = 8;
    for (int at = 8; at + 8 <= scene.size(); at += 8 + int(qFromLittleEndian<quint32>(scene.constData() + at + 4)))
        last = at;
    const QString cutScene = write("cut.tl", scene.left(scene.size() - 10));

    QImage pixels(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) pixels.setPixel(x, y, qRgb(x * 4, y * 4, (x * y) % 256));
    ASSERT_TRUE(pixels.save(dir.filePath("whole.png")));
    QFile png(dir.filePath("whole.png"));
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    const QString cutImage = write("cut.png", png.read(200));
    QImageReader decoder(cutImage);
    EXPECT_TRUE(decoder.read().isNull());

    const QString obj = write("bad.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n");
    const std::size_t library = view()->scene->toolsRoot->children.size();
    script.answers = {QStringList{random, cutScene, cutImage, obj}, true};
    ui().actionOpen->trigger();
    EXPECT_EQ(script.warnings,
              (QStringList{random + " could not be opened: it is not a scene or object file.",
                           cutScene + QString(" could not be opened: the chunk at byte %1 claims to run to byte %2, "
                                              "past the end of the file at byte %3.")
                                          .arg(last)
                                          .arg(scene.size())
                                          .arg(scene.size() - 10),
                           cutImage + " could not be opened: the image decoder refused it (" + decoder.errorString() +
                               ").",
                           obj + " could not be opened: line 4, \"f 1 2 4\", names vertex 4, but the file has 3 "
                                 "vertices."}));
    EXPECT_EQ(view()->scene->toolsRoot->children.size(), library);
}

// An OBJ file that opens with face lines left out opens, and the warning
// says how many and names the first.
TEST_F(CommandsTest, OpenOfAnObjWithFaceLinesLeftOutSaysSo) {
    QTemporaryDir dir;
    const QString path = dir.filePath("holes.obj");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 2 3 4\nf 1 4 3\nf 1 2 9\nf 2 3\n");
    f.close();
    const std::size_t library = view()->scene->toolsRoot->children.size();
    script.answers = {QStringList{path}};
    ui().actionOpen->trigger();
    EXPECT_EQ(view()->scene->toolsRoot->children.size(), library + 1);
    EXPECT_EQ(script.warnings, QStringList{path + " was opened, but 2 face lines gave no face and were left out (the "
                                                  "first: line 9, \"f 1 2 9\", names vertex 9, but the file has 4 "
                                                  "vertices)."});
}

// Save and Quick Save that write nothing say so, with the system's reason.
TEST_F(CommandsTest, SaveAndQuickSaveThatWriteNothingSayWhy) {
    QTemporaryDir dir;
    view()->asker = &script;
    auto* object = new qel::Tool(qel::Mesh::Cube(), qel::mat4(), qel::pbr(), false);
    view()->scene->objectsRoot->addChild(object, false);
    const auto saveBoth = [&](const QString& folder) {
        script.answers = {folder + "/scene.obj", folder + "/scene"};
        ui().actionSave->trigger();
        ui().actionSave->trigger();
        view()->pickBrush.pickedTool = object;
        script.answers = {folder + "/part"};
        ui().actionQuick_Save->trigger();
    };
    const auto said = [](const QString& folder, const QString& why) {
        return QStringList{"The scene could not be saved to " + folder + "/scene.obj: " + why + ".",
                           "The scene could not be saved to " + folder + "/scene.tl: " + why + ".",
                           "The object could not be saved to " + folder + "/part.tlo: " + why + "."};
    };
    const QString none = dir.filePath("none");
    saveBoth(none);
    EXPECT_EQ(script.warnings, said(none, "there is no folder " + none));

    const qel::test::ReadOnlyFolder locked(dir.filePath("locked"));
    if (!locked.refusesWrites()) GTEST_SKIP() << "no folder can be made read-only here";
    script.warnings.clear();
    saveBoth(locked.path());
    EXPECT_EQ(script.warnings, said(locked.path(), "the folder " + locked.path() + " may not be written (permission denied)"));
    EXPECT_TRUE(QDir(locked.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

// New and Test keep the camera as the user turned it (a scene file holds no
// camera); View > Viewer > Front turns it back to the start view.
TEST_F(CommandsTest, NewAndTestKeepTheCameraAndFrontTurnsBackToTheStartView) {
    ui().actionTop->trigger();
    view()->camera->scale = 2.0f;
    const qel::mat3 turned = view()->camera->orientation;
    ASSERT_FALSE(turned == qel::mat3::Identity());
    for (QAction* command : {ui().actionNew, ui().actionTest}) {
        script.answers = {true};
        command->trigger();
        EXPECT_TRUE(view()->camera->orientation == turned) << command->text().toStdString();
        EXPECT_EQ(view()->camera->scale, 2.0f);
    }
    ui().actionFront->trigger();
    EXPECT_TRUE(view()->camera->orientation == qel::mat3::Identity());
}

// New, Test, Use Tool with Shift and Open of a scene file each replace the
// scene (or its library) and leave the same state behind: no record, pick,
// gesture or tool under creation that names the old scene.
TEST_F(CommandsTest, EveryReplacementOfTheSceneLeavesNothingPointingIntoTheOldOne) {
    struct NoAct : qel::Act {
        void apply() override {}
    };
    QTemporaryDir dir;
    const QString file = dir.filePath("scene.tl");
    ASSERT_TRUE(view()->save(file.toStdString()));
    const std::function<void()> commands[] = {
        [&] { script.answers = {true}, ui().actionNew->trigger(); },
        [&] { script.answers = {true}, ui().actionTest->trigger(); },
        [&] {
            keys.hold({sf::Keyboard::LShift});
            ui().actionUse_Tool->trigger();
            keys.hold({});
        },
        [&] { script.answers = {QStringList{file}, true}, ui().actionOpen->trigger(); },
    };
    for (std::size_t i = 0; i < std::size(commands); ++i) {
        qel::GLView* v = view();
        v->scene->addTool(new qel::Tool(nullptr, qel::mat4(), qel::pbr(), false));
        v->setActiveTool(qel::GLView::CreateUseTool, true);
        qel::Tool* placed =
            v->scene->addObject(v->scene->toolsRoot->children.back(), qel::mat4(), qel::Scene::HangTop, false);
        ASSERT_NE(placed, nullptr);
        v->undoHistory = {new NoAct, new NoAct};
        v->historyIndex = 1;
        v->pickBrush.pickedTool = v->targetBrush.pickedTool = v->materialTool = placed;
        v->pickBrush.selection = qel::ABrush::OnObject;
        v->materialPending = 1;
        commands[i]();
        EXPECT_TRUE(v->undoHistory.empty() && v->historyIndex == -1) << i;
        EXPECT_TRUE(!v->pickBrush.pickedTool && !v->targetBrush.pickedTool && v->pickBrush.selection == 6) << i;
        EXPECT_TRUE(!v->materialTool && !v->materialPending && v->idle()) << i;
        // The tool under creation, if any, is one of the new library's.
        const auto& library = v->scene->toolsRoot->children;
        if (v->toolCreation == qel::GLView::CreateUseTool && v->activeTool) {
            EXPECT_NE(std::find(library.begin(), library.end(), v->activeTool), library.end()) << i;
        }
        v->setAssemblyAction(qel::GLView::ActionPlace);
    }
}

TEST_F(CommandsTest, QuickSaveWritesThePickedObjectOnlyWhileIdle) {
    view()->asker = &script;
    auto* object = new qel::Tool(qel::Mesh::Cube(), qel::mat4(), qel::pbr(), false);
    view()->scene->objectsRoot->addChild(object, false);
    view()->pickBrush.pickedTool = object;
    QTemporaryDir dir;
    script.answers = {dir.filePath("part")};
    view()->interactionState = 1;
    ui().actionQuick_Save->trigger();
    EXPECT_EQ(script.answers.size(), 1);  // not asked during a gesture
    view()->interactionState = 0;
    ui().actionQuick_Save->trigger();
    EXPECT_TRUE(QFile::exists(dir.filePath("part.tlo")));
    EXPECT_EQ(view()->pickBrush.pickedTool, nullptr);
}

}  // namespace
