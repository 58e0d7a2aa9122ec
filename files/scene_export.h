#pragma once
// qel::SceneExport: the whole-scene Wavefront export (Scene::save with an
// ".obj" path, any case). Every placed object showing a mesh, or an element
// with a mesh form, that has a face to write becomes one object of the OBJ
// file; all of them share the material "Material" of the MTL file, whose
// per-corner values travel in four PNG atlases (see TextureAtlas and
// ObjMtlTexWriter).
//
// Files, with folder the path's directory and base its file name without
// the last extension:
//   folder/base.obj   always the lower-case extension
//   folder/base.mtl   with each blank of base replaced by '_' (the name
//                     of the "mtllib" statement, which readers split at blanks)
//   folder/Material_basecolor.png, Material_emission.png,
//   Material_metalness.png, Material_roughness.png
//
// The six files are written as a set: each goes to a temporary file first,
// and the targets are replaced only when every one of them was written
// completely. A scene with more triangles than the largest atlas has cells
// is refused before anything is written. Either failure returns false and
// leaves the files on disk as they were.
//
// The scene is not changed: no flags, element ids or lists are touched;
// elements converted to meshes for the export are freed afterwards.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/mat.h"

namespace qel {

class Element;
class ExportStream;
class Mesh;
class TextureAtlas;
class Tool;

class SceneExport {
public:
    // root: the objects root of the scene.
    explicit SceneExport(Tool* root);
    SceneExport(const SceneExport&) = delete;
    SceneExport& operator=(const SceneExport&) = delete;
    ~SceneExport();

    // False, with the reason in error, when nothing was written.
    bool write(const std::string& path, std::string& error);
    bool write(const std::string& path) {
        std::string error;
        return write(path, error);
    }
    // The copies of arrays the last write left out (caps on the copies an
    // array lists, nested copies included); the OBJ file says so in a
    // comment after its statistics line.
    std::size_t copiesLeftOut() const { return copiesLeftOut_; }

private:
    // Flattens the tree and finds the mesh of every listed tool (each
    // element converted once), counting objects, vertices and faces.
    void collect();
    // The mesh form of an element: itself for a mesh, else its conversion,
    // made on first use; null when it has none.
    const Mesh* meshOf(Element* element);
    // The header lines of both files and the statistics line; mtlName: the
    // MTL file's name.
    void writeHeaders(ExportStream& obj, ExportStream& mtl, const std::string& mtlName) const;
    // Every exported object, painting the atlas.
    void writeObjects(ExportStream& obj, ExportStream& mtl, TextureAtlas& atlas) const;

    Tool* root_;
    std::vector<Tool*> tools_;
    std::vector<mat4> matrices_;
    std::vector<const Mesh*> meshes_;  // per listed tool; null: not exported
    std::unordered_map<const Element*, std::unique_ptr<Mesh>> converted_;
    std::int64_t objects_ = 0;
    std::int64_t vertices_ = 0;
    std::int64_t faces_ = 0;
    std::size_t copiesLeftOut_ = 0;
};

}  // namespace qel
