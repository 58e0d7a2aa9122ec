// The view without a GL context: its state, what it owns, the tool under
// creation, loading and saving by extension; the matrices, camera, projection,
// screen metrics and settings of an 800 x 600 view; the sky box's level and lens.

#include "view/glview.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/number_text.h"
#include "curves/curve.h"
#include "elements/sprite.h"
#include "elements/swept_fill.h"
#include "elements/tube.h"
#include "files/every_record_util.h"
#include "files/slow_scenes_util.h"
#include "gl/shader.h"
#include "mesh/mesh.h"
#include "scene/load_budget.h"
#include "scene/scene.h"
#include "view/act.h"
#include "view/camera.h"
#include "view/mouse.h"
#include "view/sky.h"

using namespace qel;

namespace {

int alive = 0;  // counted undo records and elements

struct CountingAct : Act {
    CountingAct() { ++alive; }
    ~CountingAct() override { --alive; }
    void apply() override {}
};

struct CountingElement : Element {
    CountingElement() : Element(TType::Mesh) { ++alive; }
    ~CountingElement() override { --alive; }
};

// The face count of a tool's mesh, -1 without one.
int faces(const Tool* t) {
    const auto* m = dynamic_cast<const Mesh*>(t->element);
    return m ? m->faceCount() : -1;
}

Tool* countedTool() { return new Tool(new CountingElement, mat4::Identity(), pbr(), false); }

const char* const Tetrahedron = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n";

class ViewTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir.filePath(name.c_str()).toStdString(); }
    // One more undo record; the length of the history.
    std::size_t history() {
        view.undoHistory.push_back(new CountingAct);
        return view.undoHistory.size();
    }
    std::size_t tools() const {
        return view.scene->toolsRoot->children.size() + view.scene->objectsRoot->children.size();
    }

    QTemporaryDir dir;
    GLView view{800, 600};
};

bool near(const vec3& a, const vec3& b, float tolerance) {
    return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance && std::fabs(a.z - b.z) <= tolerance;
}

// A view type with the elements 0, 5, 10, 11, 14, 15 of its projection and
// the element 11 of its offset projection.
struct ViewType {
    GLView::TViewType type;
    float p[7];
};

class ViewCamera : public ViewTest, public ::testing::WithParamInterface<ViewType> {
protected:
    ViewCamera() {
        view.viewType = GetParam().type;
        view.buildMatrices();
    }
};

}  // namespace

TEST_F(ViewTest, FreshViewPlacesWithUseToolOnTheAuxiliarySphere) {
    EXPECT_TRUE(view.selectedActionMode == GLView::ModeAssembly && view.actionMode == GLView::ModeIdle);
    EXPECT_TRUE(view.selectedAssemblyAction == GLView::ActionPlace && view.assemblyAction == GLView::ActionPlace);
    Tool* sphere = view.auxiliaryTools.at(0);
    EXPECT_EQ(view.scene->toolsRoot->children, std::vector<Tool*>{sphere});
    EXPECT_TRUE(view.toolCreation == GLView::CreateUseTool && view.auxiliaryTools.size() == 1u);
    EXPECT_TRUE(view.scene->currentTool == sphere && view.activeTool == sphere);
    EXPECT_EQ(sphere->transform, mat4::Scale(2.0f));
    EXPECT_EQ(static_cast<Mesh*>(sphere->element)->faceCount(), 1280);
}

// Meant for the sanitizer build too: a tool the view built is freed once, a
// template under creation is left to the scene, which the view deletes.
TEST(ViewOwnership, DeletingTheViewFreesSceneRecordsAndOnlyItsOwnToolUnderCreation) {
    for (GLView::TToolCreation last : {GLView::CreateUseTool, GLView::CreateCube}) {
        auto* view = new GLView(64, 48);
        view->undoHistory = {new CountingAct, new CountingAct};
        view->scene->addTool(countedTool());
        std::mt19937 random(16);
        for (int i = 0; i < 300; ++i) {
            const int op = int(random() % 34);
            if (op < 30) view->setActiveTool(GLView::TToolCreation(op), op % 2 == 0);
            if (op == 30) view->deleteActiveTools();
            if (op == 31) view->clearActiveTool();
            if (op == 32) view->setNextTool(random() % 2 == 0);
            if (op == 33) view->UpdateActiveTool();
            ASSERT_TRUE(view->toolCreation != GLView::CreateUseTool || view->activeTool == view->scene->currentTool);
        }
        Tool* t = view->setActiveTool(last, true);
        if (last == GLView::CreateCube) t->setElement(new CountingElement);
        EXPECT_EQ(alive, last == GLView::CreateCube ? 4 : 3);  // the template survived
        delete view;
        EXPECT_EQ(alive, 0) << last;
    }
}

TEST_F(ViewTest, CreationCommandsSwitchOnlyThePlacingActions) {
    view.setActiveTool(GLView::CreateCube, true);
    EXPECT_EQ(view.selectedAssemblyAction, GLView::ActionPlace);
    view.setActiveTool(GLView::CreateTube, true);
    EXPECT_TRUE(view.selectedAssemblyAction == GLView::ActionDraw && view.lastCreateAction == GLView::ActionDraw);
    view.setAxisCreation(GLView::CurveCircle);
    EXPECT_TRUE(view.selectedAssemblyAction == GLView::ActionPlace && view.assemblyAction == GLView::ActionPlace);
    view.setAxisCreation(GLView::CurveFree);
    EXPECT_EQ(view.assemblyAction, GLView::ActionDraw);

    view.setAssemblyAction(GLView::ActionMove);
    view.setActiveTool(GLView::CreateProfile, true);
    view.setActiveTool(GLView::CreateCube, true);
    EXPECT_TRUE(view.selectedAssemblyAction == GLView::ActionMove && view.assemblyAction == GLView::ActionMove);
}

// Only tools the view builds take the current material: a template keeps its
// own through Use Tool, Previous and Next, which step back and forth and wrap.
TEST_F(ViewTest, ValuesKeepTheirToolOnlyBuiltToolsTakeTheMaterialAndTemplatesStepBothWays) {
    view.activeToolProperties = pbr(wvec4(65535, 0, 0, 65535), wvec4(0, 0, 0, 65535), 100, 200);
    Tool* cube = view.setActiveTool(GLView::CreateCube, true);
    EXPECT_EQ(cube->material, view.activeToolProperties);
    EXPECT_EQ(view.setActiveTool(GLView::CreateCube, true), cube);
    Tool* first = view.scene->currentTool;
    view.scene->addTool(countedTool());
    Tool* last = view.scene->addTool(countedTool());
    EXPECT_EQ(view.setActiveTool(GLView::CreateUseTool, true), last);
    view.scene->currentTool = first;
    EXPECT_EQ(view.setNextTool(true), last);
    EXPECT_EQ(view.setNextTool(false), first);
    view.setActiveToolProperties();
    EXPECT_TRUE(first->material == pbr() && last->material == pbr());
}

// Each primitive creation value builds its own solid: the mesh the factory
// makes for it, corner by corner.
TEST_F(ViewTest, PrimitiveCreationValuesBuildTheirOwnSolids) {
    const auto sphere = [] {
        const std::unique_ptr<Mesh> seed(Mesh::Icosahedron());
        return Mesh::Sphere(seed.get(), 3, false, true);
    };
    const struct {
        GLView::TToolCreation value;
        Mesh* expected;
    } rows[] = {
        {GLView::CreateTetrahedron, Mesh::Tetrahedron()},   {GLView::CreateCube, Mesh::Cube()},
        {GLView::CreateOctahedron, Mesh::Octahedron()},     {GLView::CreateDodecahedron, Mesh::Dodecahedron()},
        {GLView::CreateIcosahedron, Mesh::Icosahedron()},   {GLView::CreateSphere, sphere()},
        {GLView::CreateCylinder, Mesh::Cylinder(24, false)}, {GLView::CreateCapsule, Mesh::Capsule(5, false)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.value));
        const std::unique_ptr<Mesh> expected(row.expected);
        Tool* t = view.setActiveTool(row.value, true);
        ASSERT_TRUE(t && t->element && t->element->isType(Element::TType::Mesh));
        EXPECT_EQ(t->transform, mat4::Identity());
        const Mesh& m = *static_cast<const Mesh*>(t->element);
        ASSERT_EQ(m.vertexCount(), expected->vertexCount());
        ASSERT_EQ(m.faceCount(), expected->faceCount());
        for (int i = 0; i < m.vertexCount(); ++i)
            ASSERT_EQ(m.vertices[i].position, expected->vertices[i].position) << "vertex " << i;
        for (int i = 0; i < m.faceCount(); ++i) {
            for (int k = 0; k < 3; ++k) ASSERT_EQ(m.faces[i].v[k], expected->faces[i].v[k]) << "face " << i;
            ASSERT_EQ(m.faces[i].flags & MeshFace::SharpMask, expected->faces[i].flags & MeshFace::SharpMask);
        }
    }
}

TEST_F(ViewTest, ObjImportsTlReplacesTloMergesAndEachEmptiesTheHistory) {
    std::ofstream(path("t.obj")) << Tetrahedron;
    std::ofstream(path("T.OBJ")) << Tetrahedron;
    Tool cube(Mesh::Cube(), mat4::Identity(), pbr(), false);
    ASSERT_TRUE(cube.save(path("cube.tlo")));
    Scene source;
    source.addObject(&cube, mat4::Translation(1, 0, 0), Scene::HangTop, true);
    source.addObject(&cube, mat4::Translation(2, 0, 0), Scene::HangTop, true);
    ASSERT_TRUE(source.save(path("two.tl")));

    view.pickBrush.pickedTool = view.materialTool =
        view.scene->addObject(&cube, mat4::Identity(), Scene::HangTop, true);
    view.materialPending = 1;
    for (const char* name : {"t.obj", "T.OBJ", "cube.tlo"}) {
        history();
        const std::size_t before = tools();
        ASSERT_TRUE(view.load(path(name))) << name;
        EXPECT_TRUE(view.undoHistory.empty() && tools() == before + 1) << name;
        EXPECT_EQ(view.activeTool, view.scene->currentTool);
    }
    EXPECT_EQ(static_cast<Mesh*>(view.scene->toolsRoot->children[1]->element)->faceCount(), 4);

    view.setActiveTool(GLView::CreateCube, true);
    ASSERT_TRUE(view.load(path("two.tl")));
    EXPECT_EQ(view.scene->objectsRoot->children.size(), 2u);
    // Nothing points into the scene that was replaced.
    EXPECT_TRUE(view.pickBrush.pickedTool == nullptr && view.materialTool == nullptr && view.materialPending == 0);
    EXPECT_EQ(view.activeTool, view.scene->currentTool);
    EXPECT_EQ(view.auxiliaryTools.at(0), view.scene->toolsRoot->children.back());
}

// Images become template tools of sprites (PNG, JPG) and animated sprites
// (GIF); an image that cannot be read changes nothing.
TEST_F(ViewTest, ImagesBecomeSpriteToolsAndUnreadableOnesChangeNothing) {
    QImage image(4, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(QString::fromStdString(path("p.png"))) && image.save(QString::fromStdString(path("j.JPG"))));
    // Two frames of 2 x 2 at 100 ms.
    const unsigned char gif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x02, 0x00, 0x02, 0x00, 0x81, 0x00, 0x00,
                                 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x21,
                                 0xF9, 0x04, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x02,
                                 0x00, 0x02, 0x00, 0x00, 0x02, 0x03, 0x44, 0xA8, 0x15, 0x00, 0x21, 0xF9, 0x04,
                                 0x00, 0x0A, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x02,
                                 0x00, 0x00, 0x02, 0x03, 0x9C, 0x18, 0x14, 0x00, 0x3B};
    std::ofstream(path("a.gif"), std::ios::binary).write(reinterpret_cast<const char*>(gif), sizeof(gif));
    const std::pair<const char*, Element::TType> images[] = {{"p.png", Element::TType::Sprite},
                                                             {"j.JPG", Element::TType::Sprite},
                                                             {"a.gif", Element::TType::AnimatedSprite}};
    for (const auto& [name, type] : images) {
        history();
        const std::size_t before = view.scene->toolsRoot->children.size();
        ASSERT_TRUE(view.load(path(name))) << name;
        ASSERT_EQ(view.scene->toolsRoot->children.size(), before + 1) << name;
        Tool* added = view.scene->currentTool;
        EXPECT_TRUE(added && added->element && added->element->type == type) << name;
        EXPECT_TRUE(view.undoHistory.empty() && view.activeTool == added) << name;
    }

    std::ofstream(path("text.png")) << "not an image";
    std::ofstream(path("text.gif")) << "not an image";
    ASSERT_TRUE(QDir(dir.path()).mkpath("x.png"));
    for (const char* name : {"text.png", "x.png", "missing.jpg", "text.gif"}) {
        Tool* cube = view.setActiveTool(GLView::CreateCube, true);
        const std::size_t records = history(), before = tools();
        EXPECT_FALSE(view.load(path(name))) << name;
        EXPECT_TRUE(view.undoHistory.size() == records && tools() == before && view.activeTool == cube) << name;
        EXPECT_EQ(view.ready, 1);
    }
}

// The built-in sphere of a loaded scene is the file's first copy of it, kept
// where it stands with the objects placed from it in its ring; further copies
// go, and a file without one gets a new one at the end of the library. Saving
// and loading again gives the same bytes.
TEST_F(ViewTest, SaveAndLoadKeepTheLibraryTheBuiltInSphereAndItsRing) {
    QImage blue(4, 4, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    ASSERT_TRUE(blue.save(QString::fromStdString(path("blue.png"))));
    Tool* sphere = view.auxiliaryTools.at(0);
    view.scene->addObject(sphere, {mat4::Translation(4, 0, 0), mat4::Translation(6, 0, 0)}, Scene::HangTop, false,
                          true);
    everyrecord::build(*view.scene, path("blue.png"));  // a template after the sphere
    view.scene->addTool(new Tool(new Sprite(path("blue.png"), false), mat4::Identity(), pbr(), false));
    const auto ring = [](Tool* t) {
        int n = 1;
        for (Tool* x = t->nextInstance; x != t; x = x->nextInstance) ++n;
        return n;
    };
    const auto bytes = [this](const std::string& name) {
        std::ifstream in(path(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const std::size_t templates = view.scene->toolsRoot->children.size();
    for (int trip = 0; trip < 3; ++trip) {
        const std::string name = "trip" + std::to_string(trip) + ".tl";
        ASSERT_TRUE(view.save(path(name)));
        ASSERT_TRUE(view.load(path(name)));
        const std::vector<Tool*>& library = view.scene->toolsRoot->children;
        ASSERT_EQ(library.size(), templates) << trip;
        sphere = library[0];
        EXPECT_TRUE(view.auxiliaryTools == std::vector<Tool*>{sphere}) << trip;
        EXPECT_TRUE(view.scene->currentTool == sphere && view.activeTool == sphere) << trip;
        EXPECT_EQ(ring(sphere), 3) << trip;
        EXPECT_EQ(faces(library[1]), 12) << trip;
    }
    EXPECT_EQ(bytes("trip1.tl"), bytes("trip0.tl"));
    EXPECT_EQ(bytes("trip2.tl"), bytes("trip0.tl"));

    Tool cube(Mesh::Cube(), mat4::Identity(), pbr(), false);
    Scene copies;
    copies.addTool(cube.cloneTool(false));
    copies.addTool(sphere->cloneTool(false));
    copies.addTool(cube.cloneTool(false));
    copies.addTool(sphere->cloneTool(false));
    ASSERT_TRUE(copies.save(path("copies.tl")));
    ASSERT_TRUE(view.load(path("copies.tl")));
    const auto library = [this] { return view.scene->toolsRoot->children; };
    ASSERT_EQ(library().size(), 3u);
    EXPECT_TRUE(library()[1] == view.auxiliaryTools.at(0) && view.scene->currentTool == library()[1]);
    EXPECT_TRUE(faces(library()[0]) == 12 && faces(library()[2]) == 12);

    Scene without;
    without.addTool(cube.cloneTool(false));
    ASSERT_TRUE(without.save(path("without.tl")));
    ASSERT_TRUE(view.load(path("without.tl")));
    ASSERT_EQ(library().size(), 2u);
    EXPECT_TRUE(library()[1] == view.auxiliaryTools.at(0) && view.scene->currentTool == library()[1]);
    EXPECT_EQ(faces(library()[1]), 1280);
}

TEST_F(ViewTest, FailedSavesKeepTheHistoryAndEverySaveRebuildsTheTool) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("folder.tl"));
    view.activeToolProperties.colour = wvec4(65535, 0, 0, 65535);
    view.setActiveTool(GLView::CreateCube, true);
    const std::size_t records = history();
    for (const char* name : {"missing/x.tl", "folder.tl", "missing/x.obj", "saved.tl"}) {
        view.activeTool->material = pbr();
        const bool written = name == std::string("saved.tl");
        EXPECT_EQ(view.save(path(name)), written) << name;
        EXPECT_EQ(view.undoHistory.size(), written ? 0u : records) << name;
        EXPECT_EQ(view.activeTool->material, view.activeToolProperties);
    }
}

// Names the view cannot read, then every kept input of the scene and OBJ
// readers under each name the view reads: false exactly when the reader
// refuses it, and then nothing changed.
TEST_F(ViewTest, RefusedNamesAndFilesChangeNothing) {
    std::ofstream(path("notes.txt")) << Tetrahedron;
    ASSERT_TRUE(QDir(dir.path()).mkpath("a.b"));
    std::ofstream(path("a.b/scene")) << Tetrahedron;
    std::vector<std::pair<std::string, bool>> files = {{path("notes.txt"), false}, {path("a.b/scene"), false}};
    // Each load within a share of a tenth of a million copies: listing the
    // millions some inputs ask for takes most of a minute under the
    // sanitizers and has no part in whether a file is refused.
    const auto fewerCopies = [] {
        return std::make_unique<LoadBudget>(LoadBudget::SamplesPerLoad, 100000, LoadBudget::bytesPerLoad());
    };
    for (const char* ext : {".tl", ".tlo", ".obj"}) {
        const QDir corpus(QString(TL_FUZZ_CORPUS) + (ext[1] == 'o' ? "/obj_import" : "/scene_load"));
        for (const QString& file : corpus.entryList(QDir::Files)) {
            const std::string copy = path(file.toStdString() + ext);
            ASSERT_TRUE(QFile::copy(corpus.filePath(file), QString::fromStdString(copy)));
            const auto budget = fewerCopies();
            files.emplace_back(copy, ext[1] == 'o' ? Mesh(copy, false).status == 0 : Scene().load(copy));
        }
    }
    int outcomes[2] = {0, 0};
    for (const auto& [name, accepted] : files) {
        Tool* cube = view.setActiveTool(GLView::CreateCube, true);
        Scene* scene = view.scene;
        Scene::Error = Tool::Error = 0;
        const std::size_t records = history(), before = tools();
        const auto budget = fewerCopies();
        EXPECT_EQ(view.load(name), accepted) << name;
        ++outcomes[accepted];
        if (accepted) continue;
        EXPECT_TRUE(view.undoHistory.size() == records && tools() == before && view.ready == 1) << name;
        EXPECT_TRUE(view.scene == scene && view.activeTool == cube && Scene::Error + Tool::Error == 0) << name;
    }
    EXPECT_TRUE(outcomes[0] > 10 && outcomes[1] > 10);
}

// A file asking for more than its budget opens with the excess left out and
// is named in the view's warning, as a scene and as an object file; any
// other load leaves no warning.
TEST_F(ViewTest, AFileOverItsBudgetOpensInPartAndIsNamed) {
    const std::string corpus = TL_FUZZ_CORPUS "/scene_load/";
    const std::string over = path("arrays.tlo");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(corpus + "resampled_nested_arrays_long_thin_bases.tl"),
                            QString::fromStdString(over)));
    // The view's load keeps within a budget armed around it: here one that
    // lists a thousand of the file's million copies.
    LoadBudget outer(LoadBudget::SamplesPerLoad, 1000, LoadBudget::bytesPerLoad());
    for (const std::string& name : {corpus + "resampled_nested_arrays_long_thin_bases.tl", over}) {
        ASSERT_TRUE(view.load(name));
        // It says what was left out and how much: the copies, nothing else.
        const std::size_t copies = view.scene->objects.copiesLeftOut;
        ASSERT_GT(copies, 1000u);
        EXPECT_EQ(view.loadWarning, name + " asks for more than can be shown: " + groupedNumber(copies) +
                                        " array copies were left out.");
        ASSERT_TRUE(view.load(corpus + "resampled_long_thin_base.tl"));
        EXPECT_EQ(view.loadWarning, "");
    }
}

// Tube surfaces over the share are counted with their size.
TEST_F(ViewTest, ABudgetWarningSaysWhatWasLeftOutAndHowMuch) {
    const std::string file = path("tubes.tl");
    const std::vector<std::uint8_t> bytes = slowscenes::tubesOnSharedResampledCurves(3);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(view.load(file));
    ASSERT_EQ(view.scene->objectsRoot->children.size(), 3u);
    const auto* tube = static_cast<const Tube*>(view.scene->objectsRoot->children[0]->element);
    std::uint64_t vertices = 0, surface = 0;
    sweptSurfaceCost(SweptShape{SweptKind::Tube, tube->path, tube->profile}, vertices, surface);
    EXPECT_EQ(view.loadWarning,
              file + " asks for more than can be shown: 3 tube surfaces (" + byteSize(3 * surface) + ") were left out.");
}

// An animation over the budget (9.2 KB: 400 one-pixel frames, each decoded
// on an 8000 x 8000 screen) is refused by name instead of being decoded;
// one of 100 frames on a 1000 x 1000 screen opens cut, and says so. The
// view's load keeps within the budget armed around it, here 64 MiB.
TEST_F(ViewTest, AnImageOverItsBudgetIsRefusedOrCutByName) {
    LoadBudget outer(LoadBudget::SamplesPerLoad, LoadBudget::CopiesPerLoad, std::size_t(64) << 20);
    const std::string corpus = TL_FUZZ_CORPUS "/image/";
    const std::string huge = path("huge.gif"), large = path("large.gif");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(corpus + "tiny_frames_on_8000_screen.gif"),
                            QString::fromStdString(huge)));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(corpus + "tiny_frames_on_1000_screen.gif"),
                            QString::fromStdString(large)));
    const std::size_t tools = view.scene->toolsRoot->children.size();
    EXPECT_FALSE(view.load(huge));
    EXPECT_NE(view.loadWarning.find(huge), std::string::npos) << view.loadWarning;
    EXPECT_EQ(view.scene->toolsRoot->children.size(), tools);
    ASSERT_TRUE(view.load(large));
    EXPECT_NE(view.loadWarning.find(large), std::string::npos) << view.loadWarning;
    EXPECT_EQ(view.scene->toolsRoot->children.size(), tools + 1);
}

TEST_P(ViewCamera, ProjectionSpansTheViewSizeFromTheCentreWithYDownAndRoundTrips) {
    const mat4& p = Shader::ProjectionMatrix;
    const float actual[] = {p[0], p[5], p[10], p[11], p[14], p[15], Shader::ProjectionOffsetMatrix[11]};
    for (int i = 0; i < 7; ++i) EXPECT_NEAR(actual[i], GetParam().p[i], 2e-6 * std::fabs(GetParam().p[i]) + 1e-9) << i;
    EXPECT_NEAR(view.focusDistance, 692.8203f, 1e-3);
    // One world unit spans S = 600 pixels.
    EXPECT_PRED3(near, view.project(vec3(0, 0, 0)) * vec3(1, 1, 0), vec3(400, 300, 0), 1e-3f);
    EXPECT_NEAR(view.project_World_To_Screen(vec3(1, 0, 0)).x, 400.0f + view.ViewSize(), 1e-2);
    EXPECT_NEAR(view.project_World_To_Screen(vec3(0, 1, 0)).y, 900.0f, 1e-2);
    // Round trips, also with a turned, zoomed and panned camera.
    for (int turned = 0; turned < 2; ++turned) {
        for (const vec3& p : {vec3(0, 0, 0), vec3(0.3f, -0.2f, 0.1f), vec3(-0.5f, 0.4f, -0.3f)}) {
            const vec3 s = view.project_World_To_Screen(p);
            EXPECT_PRED3(near, view.unproject_Screen_To_World(s), p, 1e-3f);
            const float d = (GLView::project_World_To_Normalized(p).z + 1.0f) * 0.5f;
            EXPECT_PRED3(near, view.unproject(s.x, s.y, d), p, 1e-3f);
        }
        for (float d : {0.1f, 0.5f, 0.99f}) EXPECT_NEAR(GLView::depthScreenInv(GLView::depthScreen(d)), d, 1e-5);
        view.rotate(0.3f, -0.5f, 0.2f);
        view.scale(0.5f);
        view.translate(40.0f, -25.0f, 0.0f);
        view.buildMatrices();
    }
}

TEST_P(ViewCamera, ZoomKeepsTheCentreNeverMirrorsThePanOrVanishesAndTurnsAreAboutTheViewAxes) {
    view.translate(100.0f, 50.0f, 0.0f);
    view.buildMatrices();
    const vec3 centre = view.unproject(400.0f, 300.0f, view.ScreenDepth());
    view.scale(-0.12f);
    EXPECT_PRED3(near, view.camera->position, vec3(88, 44, 0), 1e-4f);
    view.buildMatrices();
    EXPECT_PRED3(near, view.project_World_To_Screen(centre) * vec3(1, 1, 0), vec3(400, 300, 0), 1e-2f);
    view.scale(-1.5f);
    EXPECT_EQ(view.camera->position, vec3(0, 0, 0));
    for (int i = 0; i < 40; ++i) view.scale(-0.5f);
    EXPECT_EQ(view.camera->scale, 1e-5f);
    view.rotate(0.1f, 0.0f, 0.0f);
    EXPECT_LT((view.camera->orientation * vec3(0, 1, 0)).z, -0.09f);
}

TEST_P(ViewCamera, PixelSizeFollowsTheZoomUnlessBlockedAndTheTopViewLooksDown) {
    const vec3 pixel(1.0f / 600, 0, 0);
    EXPECT_PRED3(near, view.ScreenRadius(false), pixel, 1e-7f);
    view.blockSize();
    view.scale(1.0f);
    view.buildMatrices();
    EXPECT_PRED3(near, view.ScreenRadius(false), pixel * 0.5f, 1e-7f);
    EXPECT_PRED3(near, view.ScreenRadius(true), pixel, 1e-7f);
    view.camera->orientation = mat3::Rotation(float(M_PI / 2), 0, 0);  // the Top view
    view.buildMatrices();
    EXPECT_PRED3(near, view.ScreenNormal(), vec3(0, -1, 0), 1e-6f);
}

INSTANTIATE_TEST_SUITE_P(
    BothViewTypes, ViewCamera,
    ::testing::Values(ViewType{GLView::ViewOrthogonal, {0.0025f, 0.0033333333f, -0.0001f, 0, 0, 1, -0.00015f}},
                      ViewType{GLView::ViewPerspective,
                               {1.7320508f, 2.3094011f, -1.002002f, -20.02002f, -1, 0, -20.03202f}}));

TEST_F(ViewTest, RenderModeFollowsTheFlagsSimpleModePlacesAloneAndInsideSkipsTheBorder) {
    std::mt19937 random(17);
    for (int i = 0; i < 60; ++i) {
        const unsigned r = random() % 5;
        if (r < 2) view.setWireframe(r == 1);
        if (r == 2 || r == 3) view.setSelection(r == 3);
        if (r == 4) view.setContour();
        ASSERT_EQ(view.renderMode, std::uint32_t(view.wireframe + 2 * view.selectionDisplay));
    }
    view.simpleMode = 1;
    view.assemblyAction = GLView::ActionInsert;
    EXPECT_FALSE(view.onAllInstances() || view.linked());
    EXPECT_EQ(view.iassemblyAction(), GLView::ActionPlace);

    view.outside = false;
    for (const vec2& p : {vec2(1, 1), vec2(798, 598), vec2(0, 300), vec2(799, 300), vec2(400, 0), vec2(400, 599)}) {
        mouse.position = p;
        EXPECT_EQ(view.inside(), p.x == 1 || p.x == 798) << p.x << ", " << p.y;
    }
    mouse = MouseState();
}

TEST(Sky, LevelRunsFromLayersFourAndFiveToTheLastAndTheLensFollowsTheFieldOfView) {
    EXPECT_EQ(skyLevel(0, 64), vec3(4, 5, 0));
    EXPECT_EQ(skyLevel(100, 64), vec3(64, 64, 0));
    EXPECT_NEAR(skyLens(true, 60), std::sqrt(3.0f), 1e-5f);
}

TEST_F(ViewTest, TubeWithDrawnOutlineHasAStraightPathAndAnEmptyProfile) {
    Tool* t = view.setActiveTool(GLView::CreateTubeDrawnAxis, true);
    ASSERT_TRUE(t && t->element && t->element->isType(Element::TType::Tube));
    const Tube* tube = static_cast<const Tube*>(t->element);
    ASSERT_TRUE(tube->path && tube->profile);
    ASSERT_EQ(tube->path->vertices.size(), 2u);
    EXPECT_EQ(tube->path->vertices[0].position, vec3(0, 0, 0));
    EXPECT_EQ(tube->path->vertices[1].position, vec3(0, 0, -100));
    EXPECT_EQ(tube->path->vertices[0].radius, 0.0f);
    EXPECT_EQ(tube->path->vertices[1].radius, 1.0f);
    EXPECT_TRUE(tube->path->vertices[0].isSharp() && tube->path->vertices[1].isSharp());
    EXPECT_TRUE(tube->profile->vertices.empty());
    // The tool under creation is the only holder of the tube and its curves.
    EXPECT_EQ(tube->refCount, 1);
    EXPECT_EQ(tube->path->refCount, 1);
    EXPECT_EQ(tube->profile->refCount, 1);
    EXPECT_EQ(view.selectedAssemblyAction, GLView::ActionDraw);
}
