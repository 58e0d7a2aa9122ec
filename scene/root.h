#pragma once
// Qel::Root, the two roots of a scene (tools and objects). A Root
// is a Tool made with no element, the identity transform, the default
// material and not transparent, of kind 3. It lists its children but not
// itself, and does not apply its own matrices to them.

#include "scene/tool.h"

namespace qel {

class Root : public Tool {
public:
    Root();
    ~Root() override;

    // Only each child's one-list form: the root is neither numbered nor listed.
    void toList(std::vector<Tool*>& list) override;
    // Each child with the root's m unchanged, the current length of the tool
    // list as its parent index (a top-level entry is its own parent) and -1.
    void toList(std::vector<Tool*>& tools, std::vector<mat4>& matrices, std::vector<int>& parents,
                std::vector<int>& subIndices, mat4 m, int parentIndex, int subIndex) override;
};

}  // namespace qel
