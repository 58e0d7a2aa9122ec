// Loading and saving by the file's extension. The file is read completely
// before anything changes: a refused file, or an extension that names no
// format, leaves the scene, the tool under creation and the undo history as
// they were. Only a load or save that succeeded empties the history.
//
// ".PNG" and ".JPG" become sprite tools, ".GIF" animated sprite tools, each
// taken by the path as chosen (no textures folder in front).

#include <algorithm>
#include <cstdint>
#include <limits>
#include <unordered_set>
#include <vector>

#include "core/number_text.h"
#include "core/strings.h"
#include "curves/ucurve.h"
#include "elements/animated_sprite.h"
#include "elements/sprite.h"
#include "gl/gpu_scope.h"
#include "gl/texture2d.h"
#include "gl/texture3d.h"
#include "mesh/mesh.h"
#include "scene/load_budget.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/glview.h"

namespace qel {

namespace {

enum class FileKind { Unknown, Mesh, Image, Animation, Object, Scene };

// The upper-cased extension of the file name (a dot in a folder name does
// not count); empty when the name has no dot.
std::string extensionOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < start) return std::string();
    return toUpper(path.substr(dot));
}

FileKind kindOf(const std::string& path) {
    const std::string ext = extensionOf(path);
    if (ext == ".OBJ") return FileKind::Mesh;
    if (ext == ".PNG" || ext == ".JPG") return FileKind::Image;
    if (ext == ".GIF") return FileKind::Animation;
    if (ext == ".TLO") return FileKind::Object;
    if (ext == ".TL") return FileKind::Scene;
    return FileKind::Unknown;
}

// The imported mesh, or null (nothing kept, the reason in why) when the
// file is refused; face lines it left out are named in leftOut.
Mesh* readMesh(const std::string& path, std::string& why, std::string& leftOut) {
    Mesh* mesh = new Mesh();
    if (mesh->load(path, why, &leftOut)) return mesh;
    delete mesh;
    return nullptr;
}

// The sprite of an image file, or null (nothing kept, the reason in why)
// when the image cannot be read: a sprite never reports a failed build
// through its status.
template <class S>
Element* readSprite(const std::string& path, std::string& why) {
    S* sprite = new S(path, false);
    if (sprite->hasImage()) return sprite;
    if (sprite->texture()) why = sprite->texture()->imageFailure();
    delete sprite;
    return nullptr;
}

// The element of an imported file (mesh or sprite), or null; what an
// opened file left out goes to leftOut.
Element* readImport(FileKind kind, const std::string& path, std::string& why, std::string& leftOut) {
    switch (kind) {
        case FileKind::Mesh:
            return readMesh(path, why, leftOut);
        case FileKind::Image:
            return readSprite<Sprite>(path, why);
        case FileKind::Animation:
            return readSprite<AnimatedSprite>(path, why);
        default:
            return nullptr;
    }
}

// The scene of the file, or null (nothing kept, the reason in why) when the
// file is refused.
Scene* readScene(const std::string& path, std::string& why) {
    Scene* loaded = new Scene(path, false);
    if (!Scene::Error) return loaded;
    why = loaded->fileError;
    delete loaded;
    return nullptr;
}

// The samples the resampled curves of the scene hold, each curve once
// however many tools show it.
std::size_t resampledSamples(Scene& scene) {
    std::vector<Tool*> stack = {scene.objectsRoot, scene.toolsRoot};
    std::vector<Tool*> below;
    std::vector<Element*> parts;
    std::unordered_set<Element*> seen;
    std::size_t samples = 0;
    while (!stack.empty()) {
        Tool* t = stack.back();
        stack.pop_back();
        below = t->children;
        t->appendOwned(below);
        stack.insert(stack.end(), below.begin(), below.end());
        if (!t->element) continue;
        parts.clear();
        t->element->allElements(parts);
        for (Element* e : parts)
            if (seen.insert(e).second)
                if (const auto* u = dynamic_cast<const UCurve*>(e)) samples += u->vertices.size();
    }
    return samples;
}

// The samples of a file's load: a scene file gets a scene of its own, an
// object file shares the scene's with what it already holds.
std::size_t samplesOf(FileKind kind, Scene& scene) {
    const std::size_t held = kind == FileKind::Object ? resampledSamples(scene) : 0;
    return std::min(LoadBudget::SamplesPerLoad, LoadBudget::SamplesPerScene - std::min(held, LoadBudget::SamplesPerScene));
}

// The warning of a load that its budget cut: what was left out and how
// much, each image once by name. A refused file (an image over the budget)
// is named as refused.
std::string budgetWarning(const std::string& path, bool opened, const LoadBudget::LeftOut& what) {
    if (!opened) return path + " asks for more image than can be shown: it was not opened.";
    struct Part {
        std::string text;
        bool many;
    };
    std::vector<Part> parts;
    const auto count = [](std::uint64_t n, const char* one, const char* many) {
        return groupedNumber(n) + " " + (n == 1 ? one : many);
    };
    if (what.tubes > 0)
        parts.push_back({count(what.tubes, "tube surface", "tube surfaces") + " (" + byteSize(what.tubeBytes) + ")",
                         what.tubes > 1});
    if (what.revolutons > 0)
        parts.push_back({count(what.revolutons, "revoluton surface", "revoluton surfaces") + " (" +
                             byteSize(what.revolutonBytes) + ")",
                         what.revolutons > 1});
    // A count that reached the largest number stands for at least that many.
    if (what.copies == std::numeric_limits<std::uint64_t>::max())
        parts.push_back({"more than " + count(what.copies - 1, "array copy", "array copies"), true});
    else if (what.copies > 0)
        parts.push_back({count(what.copies, "array copy", "array copies"), what.copies > 1});
    if (what.cutCurves > 0)
        parts.push_back({"samples of " + count(what.cutCurves, "resampled curve", "resampled curves"), true});
    for (const std::string& name : what.images) parts.push_back({"all or part of the image " + name, false});
    if (what.moreImages > 0)
        parts.push_back({"all or part of " + count(what.moreImages, "more image", "more images"), false});
    if (parts.empty()) parts.push_back({"parts of it", true});
    std::string list;
    for (std::size_t i = 0; i < parts.size(); ++i)
        list += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i].text;
    const bool many = parts.size() > 1 || parts[0].many;
    return path + " asks for more than can be shown: " + list + (many ? " were" : " was") + " left out.";
}

}  // namespace

bool GLView::load(const std::string& path) {
    const FileKind kind = kindOf(path);
    if (kind == FileKind::Unknown) {
        loadError = "the program reads no file of its kind (.tl, .tlo, .obj, .png, .jpg, .gif)";
        return false;
    }
    ready = 0;
    loadWarning.clear();
    loadError.clear();
    Element* imported = nullptr;
    Scene* loaded = nullptr;
    bool ok = false, leftOut = false;
    LoadBudget::LeftOut what;
    std::string linesLeftOut;
    {
        LoadBudget budget(samplesOf(kind, *scene), LoadBudget::CopiesPerLoad, LoadBudget::bytesPerLoad());
        imported = readImport(kind, path, loadError, linesLeftOut);
        loaded = kind == FileKind::Scene ? readScene(path, loadError) : nullptr;
        ok = kind == FileKind::Object ? scene->load(path) : imported || loaded;
        if (kind == FileKind::Object && !ok) loadError = scene->fileError;
        leftOut = budget.leftOut();
        what = budget.whatLeftOut();
    }
    if (ok) loadError.clear();
    else if (loadError.empty()) loadError = "it could not be read";
    Tool::Error = 0;
    Scene::Error = 0;
    if (leftOut) loadWarning = budgetWarning(path, ok, what);
    if (ok && !linesLeftOut.empty())
        loadWarning += (loadWarning.empty() ? "" : " ") + path + " was opened, but " + linesLeftOut + ".";
    if (ok) {
        clearHistory();
        if (imported) scene->addTool(new Tool(imported, mat4::Identity(), pbr(), false));
        if (loaded) replaceScene(loaded);
        setActiveTool(CreateUseTool, false);
    }
    ready = 1;
    return ok;
}

void GLView::forgetScene() {
    deleteActiveTools();
    // A tool under creation taken from the library goes with the library.
    activeTool = activeToolAux = nullptr;
    clearHistory();
    materialTool = nullptr;
    materialPending = 0;
    resetState(false);
}

void GLView::replaceScene(Scene* next) {
    GpuScope context;
    forgetScene();
    if (next) {
        delete scene;
        scene = next;
    } else {
        scene->init();
    }
    loadAuxiliary();
    UpdateActiveTool();
    redraw = 1;
}

void GLView::clearTools() {
    GpuScope context;
    forgetScene();
    scene->currentTool = nullptr;
    delete scene->toolsRoot;
    scene->toolsRoot = new Root();
    scene->toolsList.clear();
    scene->toolsModified = 1;
    auxiliaryTools.clear();
    UpdateActiveTool();
    redraw = 1;
}

bool GLView::save(const std::string& path) {
    ready = 0;
    const TToolCreation remembered = toolCreation;
    setActiveTool(CreateUseTool, false);
    const bool ok = scene->save(path);
    saveError = ok ? std::string() : scene->fileError;
    if (!ok && saveError.empty()) saveError = "the file cannot be written";
    saveWarning.clear();
    if (ok && scene->exportCopiesLeftOut > 0)
        saveWarning = path + " was written without " + countOrMore(scene->exportCopiesLeftOut) +
                      " array copies: more than an array may list.";
    setActiveTool(remembered, true);
    // A failed save keeps every record: nothing of the session is lost.
    if (ok) clearHistory();
    ready = 1;
    return ok;
}

}  // namespace qel
