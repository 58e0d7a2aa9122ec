// The whole-scene Wavefront export: see scene_export.h.

#include "files/scene_export.h"

#include <array>

#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include "core/file_failure.h"
#include "mesh/export_stream.h"
#include "mesh/mesh.h"
#include "mesh/obj_mtl_tex_writer.h"
#include "mesh/texture_atlas.h"
#include "scene/element.h"
#include "scene/list_walk.h"
#include "scene/tool.h"

namespace qel {

namespace {

// The six files of one export, each written to a temporary file that
// replaces its target only on commit. Files not committed are discarded.
class ExportFiles {
public:
    enum : int { Obj = 0, Mtl = 1, FirstMap = 2, Count = FirstMap + TextureAtlas::MapCount };

    ExportFiles(const QString& folder, const QString& base, const QString& mtlName) {
        files_[Obj].setFileName(folder + "/" + base + ".obj");
        files_[Mtl].setFileName(folder + "/" + mtlName);
        for (int m = 0; m < TextureAtlas::MapCount; ++m)
            files_[FirstMap + m].setFileName(folder + "/" + TextureAtlas::FileName(TextureAtlas::TMap(m)));
    }
    // False at the first file that cannot be opened, with the reason.
    bool open(std::string& error) {
        for (QSaveFile& f : files_)
            if (!f.open(QIODevice::WriteOnly)) return failed(f, error);
        return true;
    }
    QSaveFile& operator[](int i) { return files_[std::size_t(i)]; }
    // Replaces the targets one after the other; stops at the first failure.
    bool commit(std::string& error) {
        for (QSaveFile& f : files_)
            if (!f.commit()) return failed(f, error);
        return true;
    }
    // False, with the reason the file failed (named when it is not the OBJ
    // file itself).
    bool failed(const QSaveFile& f, std::string& error) const {
        const std::string path = f.fileName().toStdString();
        error = writeFailure(path, &f);
        if (&f != &files_[Obj]) error = QFileInfo(f.fileName()).fileName().toStdString() + ": " + error;
        return false;
    }

private:
    std::array<QSaveFile, Count> files_;
};

}  // namespace

SceneExport::SceneExport(Tool* root) : root_(root) {}

SceneExport::~SceneExport() = default;

const Mesh* SceneExport::meshOf(Element* element) {
    if (element->isType(Element::TType::Mesh))
        if (const Mesh* m = dynamic_cast<const Mesh*>(element)) return m;
    auto found = converted_.find(element);
    if (found == converted_.end())
        found = converted_.emplace(element, std::unique_ptr<Mesh>(element->ToMesh())).first;
    return found->second.get();
}

void SceneExport::collect() {
    tools_.clear();
    matrices_.clear();
    meshes_.clear();
    objects_ = vertices_ = faces_ = 0;
    copiesLeftOut_ = 0;
    if (!root_) return;
    std::vector<int> parents, subIndices;
    {
        ListWalk walk(tools_, matrices_, parents, subIndices);
        root_->toList(tools_, matrices_, parents, subIndices, mat4::Identity(), 0, -1);
        walk.finish();
        copiesLeftOut_ = walk.copiesLeftOut();
    }

    meshes_.assign(tools_.size(), nullptr);
    std::vector<std::uint8_t> used;
    for (std::size_t i = 0; i < tools_.size(); ++i) {
        Tool* t = tools_[i];
        if (t->isEmpty()) continue;
        const Mesh* mesh = meshOf(t->element);
        if (!mesh) continue;
        std::int64_t v = 0, f = 0;
        ObjMtlTexWriter::Measure(*mesh, used, v, f);
        if (f == 0) continue;  // nothing to show: no empty object
        meshes_[i] = mesh;
        ++objects_;
        vertices_ += v;
        faces_ += f;
    }
}

void SceneExport::writeHeaders(ExportStream& obj, ExportStream& mtl, const std::string& mtlName) const {
    obj.text("# Tessilor OBJ export\n\nmtllib ").text(mtlName).text('\n');
    obj.text("# Global: ").integer(objects_).text(" objects, ").integer(vertices_).text(" vertices, ");
    obj.integer(faces_).text(" faces\n");
    if (copiesLeftOut_ > 0)
        obj.text("# Left out: ").integer(std::int64_t(copiesLeftOut_)).text(" array copies over the layout's caps\n");
    mtl.text("# Tessilor MTL export\n");
}

void SceneExport::writeObjects(ExportStream& obj, ExportStream& mtl, TextureAtlas& atlas) const {
    ObjMtlTexWriter writer(obj, mtl, atlas, int(tools_.size()));
    for (std::size_t i = 0; i < tools_.size(); ++i) {
        const Mesh* mesh = meshes_[i];
        if (!mesh) continue;
        Tool* t = tools_[i];
        const mat4 M = t->transformRender(matrices_[i]) * mesh->localMatrix();
        writer.appendOBJ_MTL_TEX(*mesh, M, t->material);
    }
}

bool SceneExport::write(const std::string& path, std::string& error) {
    collect();
    TextureAtlas atlas;
    // Too many triangles for the largest atlas: nothing is written.
    if (!atlas.create(faces_)) {
        error = "its " + std::to_string(faces_) + " triangles are more than the texture maps can hold (" +
                std::to_string(std::int64_t(TextureAtlas::MaxCellsPerSide) * TextureAtlas::MaxCellsPerSide) + ")";
        return false;
    }

    const QFileInfo info(QString::fromStdString(path));
    const QString base = info.completeBaseName();
    const QString mtlName = QString(base).replace(QLatin1Char(' '), QLatin1Char('_')) + ".mtl";
    ExportFiles files(info.path(), base, mtlName);
    if (!files.open(error)) return false;

    ExportStream obj(files[ExportFiles::Obj]);
    ExportStream mtl(files[ExportFiles::Mtl]);
    writeHeaders(obj, mtl, mtlName.toStdString());
    writeObjects(obj, mtl, atlas);
    if (!obj.flush()) return files.failed(files[ExportFiles::Obj], error);
    if (!mtl.flush()) return files.failed(files[ExportFiles::Mtl], error);
    for (int m = 0; m < TextureAtlas::MapCount; ++m)
        if (!atlas.save(TextureAtlas::TMap(m), files[ExportFiles::FirstMap + m]))
            return files.failed(files[ExportFiles::FirstMap + m], error);
    return files.commit(error);
}

}  // namespace qel
