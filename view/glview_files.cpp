// Loading and saving by the file's extension. The file is read completely
// before anything changes: a refused file, or an extension that names no
// format, leaves the scene, the tool under creation and the undo history as
// they were. Only a load or save that succeeded empties the history.
//
// ".PNG" and ".JPG" become sprite tools, ".GIF" animated sprite tools, each
// taken by the path as chosen (no textures folder in front).

#include "core/strings.h"
#include "elements/animated_sprite.h"
#include "elements/sprite.h"
#include "gl/gpu_scope.h"
#include "mesh/mesh.h"
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

// The imported mesh, or null (nothing kept) when the file is refused.
Mesh* readMesh(const std::string& path) {
    Mesh* mesh = new Mesh(path, false);
    if (mesh->status == 0) return mesh;
    delete mesh;
    return nullptr;
}

// The sprite of an image file, or null (nothing kept) when the image cannot
// be read: a sprite never reports a failed build through its status.
template <class S>
Element* readSprite(const std::string& path) {
    S* sprite = new S(path, false);
    if (sprite->hasImage()) return sprite;
    delete sprite;
    return nullptr;
}

// The element of an imported file (mesh or sprite), or null.
Element* readImport(FileKind kind, const std::string& path) {
    switch (kind) {
        case FileKind::Mesh:
            return readMesh(path);
        case FileKind::Image:
            return readSprite<Sprite>(path);
        case FileKind::Animation:
            return readSprite<AnimatedSprite>(path);
        default:
            return nullptr;
    }
}

// The scene of the file, or null (nothing kept) when the file is refused.
Scene* readScene(const std::string& path) {
    Scene* loaded = new Scene(path, false);
    if (!Scene::Error) return loaded;
    delete loaded;
    return nullptr;
}

}  // namespace

bool GLView::load(const std::string& path) {
    const FileKind kind = kindOf(path);
    if (kind == FileKind::Unknown) return false;
    ready = 0;
    Element* imported = readImport(kind, path);
    Scene* loaded = kind == FileKind::Scene ? readScene(path) : nullptr;
    const bool ok = kind == FileKind::Object ? scene->load(path) : imported || loaded;
    Tool::Error = 0;
    Scene::Error = 0;
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
    setActiveTool(remembered, true);
    // A failed save keeps every record: nothing of the session is lost.
    if (ok) clearHistory();
    ready = 1;
    return ok;
}

}  // namespace qel
