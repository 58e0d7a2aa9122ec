// Unlinking the ends of a tree from their partners (the partners' share of
// the bulk deletions lives with the generic tree code of qel::Tool).

#include "tools/bi_tool.h"

namespace qel {

void BiTool::unlinkTree(Tool* t) {
    std::vector<Tool*> stack = {t};
    while (!stack.empty()) {
        Tool* x = stack.back();
        stack.pop_back();
        if (x->kind == KindBiTool) {
            BiTool* e = static_cast<BiTool*>(x);
            if (e->partner) e->partner->partner = nullptr;
            e->partner = nullptr;
        }
        stack.insert(stack.end(), x->children.begin(), x->children.end());
    }
}

}  // namespace qel
