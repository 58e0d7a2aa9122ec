// qel::Scene: writing scene files, reading scene and object files, and the
// instance-ring repair after a load.

#include <QFile>
#include <QString>

#include <optional>
#include <string>

#include "core/file_failure.h"
#include "core/folders.h"
#include "files/scene_export.h"
#include "files/scene_reader.h"
#include "files/scene_writer.h"
#include "gl/buffer.h"
#include "scene/load_budget.h"
#include "scene/scene.h"

namespace qel {

Scene::Scene(const std::string& path, bool inDataFolder) {
    init();
    std::string p = path;
    if (inDataFolder && (p.empty() || p[0] != ':')) p = ScenesFolder + p;
    // A refused file raises Error and leaves the scene empty.
    load(p);
}

bool Scene::save(const std::string& path) {
    // The whole-scene Wavefront export, with its material file and texture
    // atlases.
    exportCopiesLeftOut = 0;
    fileError.clear();
    if (scenefile::isObjPath(path)) {
        SceneExport exporter(objectsRoot);
        const bool ok = exporter.write(path, fileError);
        exportCopiesLeftOut = exporter.copiesLeftOut();
        return ok;
    }

    // The templates' hierarchies first, then the placed objects', numbered
    // in one pre-order walk; each top-level hierarchy is one tools chunk.
    std::vector<Tool*> tools;
    std::vector<std::size_t> starts;
    for (Root* root : {toolsRoot, objectsRoot})
        for (Tool* top : root->children) {
            starts.push_back(tools.size());
            top->toList(tools);
        }
    starts.push_back(tools.size());
    return scenefile::writeToolsFile(path, tools, starts, fileError);
}

namespace {

// Parses a whole file and merges it into the scene; a refused file leaves
// the scene as it was and raises the error flags. The work the file causes
// (resampling, array copies, the surfaces and images its first frame
// builds) stays within a load's budget: the caller's when one is armed.
bool loadInto(Scene& scene, buffer& file, std::string& error) {
    std::optional<LoadBudget> budget;
    if (!LoadBudget::armed()) budget.emplace();
    SceneReader reader;
    if (!reader.parse(file)) {
        error = reader.error();
        Scene::Error = 1;
        Tool::Error = 1;
        return false;
    }
    reader.mergeInto(scene);
    scene.CHECK();
    scene.toList();
    return true;
}

}  // namespace

bool Scene::load(const std::string& path) {
    // The file is read straight into the buffer the reader parses.
    QFile f(QString::fromStdString(path));
    buffer file;
    fileError.clear();
    bool ok = f.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    if (ok) {
        const qint64 n = f.size();
        ok = n >= 0 && n <= qint64(buffer::MaxSize);
        if (!ok) {
            fileError = "it is larger than a scene file may be";
        } else {
            file.resize(std::size_t(n));
            ok = !file.overflowed() && f.read(reinterpret_cast<char*>(file.data()), n) == n;
        }
    }
    if (!ok) {
        if (fileError.empty()) fileError = readFailure(path);
        if (fileError.empty()) fileError = deviceFailure(f);
        if (fileError.empty()) fileError = "it could not be read whole";
        Error = 1;
        Tool::Error = 1;
        return false;
    }
    return loadInto(*this, file, fileError);
}

bool Scene::loadFromMemory(std::vector<std::uint8_t> bytes) {
    buffer file(std::move(bytes));
    fileError.clear();
    return loadInto(*this, file, fileError);
}

bool Scene::CHECK() {
    std::vector<Tool*> all;
    for (Root* root : {toolsRoot, objectsRoot})
        for (Tool* c : root->children) c->toList(all);
    // toList numbered the tools by their positions in `all`.
    const auto listed = [&all](const Tool* x) {
        return x->id >= 0 && std::size_t(x->id) < all.size() && all[std::size_t(x->id)] == x;
    };
    // A member outside both trees leaves the ring (as a ring of its own); the
    // ring of the scene's tools closes over the gap.
    for (Tool* t : all) {
        Tool* x = t->nextInstance;
        while (x != t && !listed(x)) {
            Tool* next = x->nextInstance;
            x->nextInstance = x;
            t->nextInstance = next;
            x = next;
        }
    }
    return true;
}

}  // namespace qel
