#pragma once
// qel::Scene, the document: two trees of scene objects under two roots (the
// tool templates and the placed objects), the flat render lists built from
// them, the current tool, the picked and selected objects, and the scene and
// object files.
//
// Sources:
//   scene/scene.cpp            construction, tools, lookups, selection, lists,
//                              drawing, animation
//   scene/scene_objects.cpp    placing, copying and removing objects, the
//                              hierarchy walk
// The members that must know every element and tool type are defined with
// the file formats, in the folder above the tools:
//   files/scene_convert.cpp    element conversion (ToMesh, ToClay)
//   files/scene_file.cpp       save, load, CHECK
//   files/scene_reader.cpp     parsing a scene or object file (SceneReader)
//   files/scene_writer.cpp     numbering and the atomic file write shared
//                              with Tool::save (files/tool_save.cpp)
//
// Object ids (picking, the id target, undo records):
//   0             the objects root
//   k > 0         entry k - 1 of the objects list
//   k < 0         entry -k - 1 of the tools list
//   NotFound      no such object (findID)
// Every id-based operation uses the lists of the last toList().
//
// Safety rules kept throughout:
//   - Negative or out-of-range ids are refused (false, null) by every lookup.
//   - Loading parses the whole file into a separate structure first; the
//     scene changes only when the file was read completely and soundly. A
//     refused file leaves the scene as it was, returns false and raises
//     Scene::Error and Tool::Error.
//   - Saving writes a temporary file that replaces the target only once it
//     is complete: a failed save leaves the file on disk untouched.
//   - Conversion of an element that has no mesh form changes nothing.
//   - The hierarchy walk leaves the tools' temporary marks as they were.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "scene/root.h"
#include "scene/tool.h"
#include "scene/tool_list.h"

namespace qel {

class Element;

class Scene {
public:
    // Where a new or copied object is hung. With no selected entry every
    // type behaves as HangTop.
    enum THierarchyType : int {
        HangTop = 0,       // at the top level, under the objects root
        HangSelected = 1,  // under the selected object (the top-level ancestor)
        HangEntry = 2,     // under the selected entry itself
    };
    // Result of findID for a tool in neither list.
    static constexpr int NotFound = 0x7FFFFFFF;
    // Set by a refused load (with Tool::Error); callers clear it.
    static std::uint8_t Error;

    // ---- Fields, in this order ----
    Root* toolsRoot = nullptr;      // owned; its children are the tool templates
    Root* objectsRoot = nullptr;    // owned; its children are the placed objects
    ToolList objects;               // flat list of the objects tree (gives the object ids)
    ToolList preview;               // flat list of a tool about to be placed
    ToolList toolsList;             // flat list of the tools tree
    Tool* currentTool = nullptr;    // the template in use, or null
    Tool* selectedObject = nullptr; // top-level ancestor of the selected entry
    Tool* selectedEntry = nullptr;  // the object the user selected (any depth)
    Tool* pickedAncestor = nullptr; // top-level ancestor of the last looked-up entry
    Tool* pickedEntry = nullptr;    // the last looked-up entry
    int pickedAncestorIndex = -1;   // its index in the objects list
    int pickedIndex = -1;           // the picked entry's index in the objects list
    // Raised when the scene or its tool library changes (init, addTool, a
    // loaded template); the view clears them.
    std::uint8_t modified = 0;
    std::uint8_t toolsModified = 0;

    // ---- Construction ----
    Scene();
    // An empty scene, then load(path). With inDataFolder a path that does not
    // start with ':' is looked up in the scene folder. A refused file leaves
    // the scene empty and raises Error. Defined with load in
    // files/scene_file.cpp: only files/ and the floors above may call it.
    Scene(const std::string& path, bool inDataFolder);
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;
    virtual ~Scene();
    // Clears the selection and the current tool, replaces both roots by new
    // empty ones, empties the three lists, clears Error and raises both
    // modified flags.
    void init();

    // ---- Tools ----
    // The tools root adopts t, which becomes the current tool; returns it.
    Tool* addTool(Tool* t);
    // The next (or previous) template after the current tool, wrapping; the
    // first one when the current tool is not among them; null when none.
    Tool* nextTool(bool backwards);

    // ---- Looking up and selecting ----
    Tool* findObject(int id) const;
    // The object that stands for the entry of the id when it is removed or
    // relinked: the entry's tool, or for an entry an array laid (a copy of
    // one of its templates, or a tool inside one) that array, the outermost
    // one when arrays lay each other. Null for no entry or a root.
    Tool* findPlacedObject(int id) const;
    int findID(Tool* t) const;
    bool searchObject(int id);
    bool searchObject(int id, Tool*& ancestor, Tool*& entry, mat4& ancestorMatrix, mat4& entryMatrix,
                      bool remember);
    bool selectObject(int id);
    void deselect();

    // ---- Placing, copying, removing (scene_objects.cpp) ----
    // A clone of t placed with m; null (nothing placed) for a null t, an
    // unknown type or a parent that adopted nothing.
    Tool* addObject(Tool* t, const mat4& m, THierarchyType h, bool b);
    // One clone of t per matrix; returns the last one placed.
    Tool* addObject(Tool* t, const std::vector<mat4>& ms, THierarchyType h, bool b, bool keepRing);
    // The same, appending to created every object placed (with b, under every
    // selected instance of the parent).
    Tool* addObject(Tool* t, const std::vector<mat4>& ms, std::vector<Tool*>& created, THierarchyType h, bool b,
                    bool keepRing);
    // Fills the preview list with t placed at every matrix.
    void addObjectToList(Tool* t, const std::vector<mat4>& ms, THierarchyType h, bool b);
    // Copies the picked entry; null when nothing is picked or placed.
    Tool* copyObject(std::vector<Tool*>& created, bool b, THierarchyType h);
    Tool* copyObject(bool b, THierarchyType h);
    // Deletes t (with b its selected ring members) and every other object
    // carrying the temporary mark, then clears the selection and the pick.
    void removeObject(Tool* t, bool b);

    // ---- Lists and drawing ----
    void toList();
    // The objects list, or with previewOnly the preview list (its ids follow
    // the object ids).
    void render(Tool::TRenderType type, bool parentIds, bool previewOnly);
    // Nothing when the curve shader cannot be enabled.
    void renderFeatures(Tool::TRenderType type, bool previewOnly, const bvec4& colour);
    void renderAuxiliary(Tool::TRenderType type, bool previewOnly, const bvec4& colour);

    // ---- Elements (files/scene_convert.cpp) ----
    // Declared with the scene, defined where every element type is known:
    // only files/ and the floors above may call them (a call from a lower
    // floor fails to link).
    // Replaces e by its mesh form in every listed object showing it. False
    // (nothing changed) for meshes, sprites, null, an element without a mesh
    // form, or when no listed object shows e.
    bool ToMesh(Element* e);
    // Replaces e by a clay of its mesh (the mesh itself, or its mesh form) in
    // every listed object showing it. False (nothing changed) for clay,
    // sprites, null, an element without a mesh, or when no listed object
    // shows e.
    bool ToClay(Element* e);

    // ---- Animation ----
    // Sets the animation time t (ms) and ticks both roots; true when an
    // object of the scene moves with time, so the frame must be drawn again.
    bool timer(double t);

    // ---- Hierarchy walk (scene_objects.cpp) ----
    // The chain of tools from the highest collected ancestor down to the
    // entry of the id, with their list matrices (a two-ended end's recorded
    // parent matrix instead); at most depth entries
    // (negative: no limit), never the top-level ancestor.
    bool findHiHierarchy(int id, std::vector<Tool*>& tools, std::vector<mat4>& matrices, int depth);

    // ---- Files (files/scene_file.cpp) ----
    // Declared with the scene, defined with the file formats: only files/
    // and the floors above may call them (a call from a lower floor fails to
    // link).
    // Writes the scene file, or for an ".obj" path (any case) the
    // whole-scene Wavefront export (files/scene_export.h). False, with the
    // files on disk untouched, when anything cannot be written.
    bool save(const std::string& path);
    // The copies of arrays the last OBJ export left out of its file, nested
    // copies included; 0 after any other save.
    std::size_t exportCopiesLeftOut = 0;
    // Reads a scene or object file and adds it to this scene. False, with the
    // scene unchanged, when the file cannot be read or is not sound.
    bool load(const std::string& path);
    // Why the last save or load failed, as a clause ("it is cut short at
    // byte 120"); empty after one that succeeded.
    std::string fileError;
    // The same from the bytes of a file.
    bool loadFromMemory(std::vector<std::uint8_t> bytes);
    // Instance-ring repair: ring members outside both trees are taken out of
    // the rings of the scene's tools. Returns true.
    bool CHECK();

private:
    // The parent that hangs a new object of type h, or null for the top level.
    Tool* hangParent(THierarchyType h) const;
    // Places obj under parent (objects root when null) with addChild(obj,
    // all); deletes obj when nothing adopted it. Returns the adopted tool.
    Tool* adopt(Tool* parent, Tool* obj, bool all);
    // Appends the last child of every instance of parent that received an
    // object (every selected one with b, else parent alone).
    static void collectCreated(Tool* parent, bool b, std::vector<Tool*>& created);
    // The objects-list index of an object id (1-based); false when out of
    // range.
    bool entryOf(int id, int& index) const;
    // The picked entry and its ancestor are still the entries of the objects
    // list at their indices (the lists may have been rebuilt since the pick).
    bool pickIsListed() const;
};

}  // namespace qel
