// Loading and saving by extension, on files written here and on the kept
// fuzz corpora of the readers. A refused file or name changes nothing: not
// the scene, not the tool under creation, not the undo history.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>

#include "mesh/mesh.h"
#include "scene/scene.h"
#include "view/act.h"
#include "view/glview.h"

using namespace qel;

namespace {

struct NoAct : Act {
    void apply() override {}
};

const char* const Tetrahedron = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n";

class ViewFiles : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir.filePath(name.c_str()).toStdString(); }
    void write(const std::string& name, const char* text) const {
        QFile f(dir.filePath(name.c_str()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    std::size_t history() {
        view.undoHistory.push_back(new NoAct);
        return view.undoHistory.size();
    }
    std::size_t tools() const {
        return view.scene->toolsRoot->children.size() + view.scene->objectsRoot->children.size();
    }

    QTemporaryDir dir;
    GLView view{64, 48};
};

}  // namespace

TEST_F(ViewFiles, ObjImportsTlReplacesTloMergesAndEachEmptiesTheHistory) {
    write("t.obj", Tetrahedron);
    write("T.OBJ", Tetrahedron);
    Tool cube(Mesh::Cube(), mat4::Identity(), pbr(), false);
    ASSERT_TRUE(cube.save(path("cube.tlo")));
    Scene source;
    source.addObject(&cube, mat4::Translation(1, 0, 0), Scene::HangTop, true);
    source.addObject(&cube, mat4::Translation(2, 0, 0), Scene::HangTop, true);
    ASSERT_TRUE(source.save(path("two.tl")));

    view.pickedTool = view.materialTool = view.scene->addObject(&cube, mat4::Identity(), Scene::HangTop, true);
    view.materialPending = 1;
    for (const char* name : {"t.obj", "T.OBJ", "cube.tlo"}) {
        history();
        const std::size_t before = tools();
        ASSERT_TRUE(view.load(path(name))) << name;
        EXPECT_TRUE(view.undoHistory.empty());
        EXPECT_EQ(tools(), before + 1);
        EXPECT_EQ(view.activeTool, view.scene->currentTool);
    }
    EXPECT_EQ(static_cast<Mesh*>(view.scene->toolsRoot->children[1]->element)->faceCount(), 4);

    view.setActiveTool(GLView::CreateCube, true);
    ASSERT_TRUE(view.load(path("two.tl")));
    EXPECT_EQ(view.scene->objectsRoot->children.size(), 2u);
    // Nothing points into the scene that was replaced.
    EXPECT_EQ(view.pickedTool, nullptr);
    EXPECT_EQ(view.materialTool, nullptr);
    EXPECT_EQ(view.materialPending, 0);
    EXPECT_EQ(view.activeTool, view.scene->currentTool);
    EXPECT_EQ(view.auxiliaryTools.at(0), view.scene->toolsRoot->children.back());
}

TEST_F(ViewFiles, RefusedNamesAndFilesChangeNothing) {
    write("notes.txt", Tetrahedron);
    ASSERT_TRUE(QDir(dir.path()).mkpath("a.b"));
    write("a.b/scene", Tetrahedron);
    write("flat.obj", "v 0 0 0\n");
    write("bad.tl", "not a scene");
    write("bad.tlo", "not an object");
    Tool* cube = view.setActiveTool(GLView::CreateCube, true);
    Scene* scene = view.scene;
    const std::size_t before = tools();
    const std::size_t records = history();
    for (const char* name : {"notes.txt", "a.b/scene", "missing.obj", "flat.obj", "bad.tl", "bad.tlo"}) {
        EXPECT_FALSE(view.load(path(name))) << name;
        EXPECT_EQ(view.undoHistory.size(), records) << name;
        EXPECT_EQ(tools(), before) << name;
        EXPECT_TRUE(view.scene == scene && view.activeTool == cube && view.ready == 1);
        EXPECT_EQ(Scene::Error + Tool::Error, 0);
    }
}

TEST_F(ViewFiles, FailedSavesKeepTheHistoryAndEverySaveRebuildsTheTool) {
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

// Every kept input of the scene and OBJ readers under each name the view
// reads: false exactly when the reader refuses it, and then nothing changed.
TEST_F(ViewFiles, FuzzCorporaLoadOrAreRefusedWithoutChange) {
    int outcomes[2] = {0, 0};
    for (const char* ext : {".tl", ".tlo", ".obj"}) {
        const QDir corpus(QString(TL_FUZZ_CORPUS) + (ext[1] == 'o' ? "/obj_import" : "/scene_load"));
        for (const QString& file : corpus.entryList(QDir::Files)) {
            const std::string copy = path(file.toStdString() + ext);
            ASSERT_TRUE(QFile::copy(corpus.filePath(file), QString::fromStdString(copy)));
            const bool accepted = ext[1] == 'o' ? Mesh(copy, false).status == 0 : Scene().load(copy);
            Scene::Error = Tool::Error = 0;
            const std::size_t records = history();
            const std::size_t before = tools();
            EXPECT_EQ(view.load(copy), accepted) << copy;
            ++outcomes[accepted];
            if (accepted) continue;
            EXPECT_EQ(view.undoHistory.size(), records) << copy;
            EXPECT_EQ(tools(), before) << copy;
        }
    }
    EXPECT_GT(outcomes[0], 10);
    EXPECT_GT(outcomes[1], 10);
}
