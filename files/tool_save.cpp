// qel::Tool::save: an object file holding this tool's hierarchy with its
// elements, or (".obj") the hierarchy merged into one Wavefront mesh.

#include <string>
#include <vector>

#include "files/scene_writer.h"
#include "gl/buffer.h"
#include "mesh/mesh.h"
#include "scene/element.h"
#include "scene/list_walk.h"
#include "scene/tool.h"

namespace qel {

namespace {

bool saveObjectFile(Tool* tool, const std::string& path, std::string& error) {
    std::vector<Tool*> tools;
    tool->toList(tools);
    return scenefile::writeToolsFile(path, tools, {0, tools.size()}, error);
}

// The mesh form of every element shown by the listed tools: the element
// itself for a mesh, else one conversion per element (null when it has
// none). The converted meshes are owned here.
class MeshForms {
public:
    explicit MeshForms(const std::vector<Tool*>& tools) : tools_(tools) {
        for (Tool* t : tools_)
            if (t->element) t->element->clearIds();
    }
    MeshForms(const MeshForms&) = delete;
    MeshForms& operator=(const MeshForms&) = delete;
    ~MeshForms() {
        for (Tool* t : tools_)
            if (t->element) t->element->clearIds();
        for (Mesh* m : converted_) delete m;
    }
    const Mesh* of(Element* e) {
        if (Mesh* m = dynamic_cast<Mesh*>(e)) return m;
        // The element's id indexes its conversion.
        if (e->id < 0) {
            e->id = std::int32_t(converted_.size());
            converted_.push_back(e->ToMesh());
        }
        return converted_[std::size_t(e->id)];
    }

private:
    const std::vector<Tool*>& tools_;
    std::vector<Mesh*> converted_;
};

bool saveMergedObj(Tool* tool, const std::string& path, std::string& error) {
    // A working copy expressed in the object's own frame.
    Tool* copy = tool->cloneObject(mat4::Identity(), true, false);
    copy->transform = mat4::Identity();
    copy->pivot = mat4::Identity();
    std::vector<Tool*> tools;
    std::vector<mat4> matrices;
    std::vector<int> parents, subIndices;
    {
        ListWalk walk(tools, matrices, parents, subIndices);
        copy->toList(tools, matrices, parents, subIndices, mat4::Identity(), 0, -1);
    }
    for (Tool* t : tools) t->flags |= Tool::FlagTemp;

    bool ok = false;
    {
        MeshForms forms(tools);
        Mesh merged;
        for (std::size_t i = 0; i < tools.size(); ++i) {
            Tool* t = tools[i];
            if (t->isEmpty()) continue;
            const Mesh* m = forms.of(t->element);
            if (!m) continue;
            const Mesh placed(m, t->transformRender(matrices[i]));
            merged.append(&placed);
        }
        merged.initialize(Element::ResizeKeep);
        ok = merged.saveOBJ(path, &error);
    }
    delete copy;
    return ok;
}

}  // namespace

bool Tool::save(const std::string& path) {
    std::string error;
    return save(path, error);
}

bool Tool::save(const std::string& path, std::string& error) {
    error.clear();
    if (scenefile::isObjPath(path)) return saveMergedObj(this, path, error);
    return saveObjectFile(this, path, error);
}

}  // namespace qel
