// The flattening of qel::BiTool: an end's matrix depends on where its
// partner is, which may be anywhere else in the walk, so the end reached
// first waits (listing nothing) until the walk reaches the other; then both
// are listed, the end reached second first, each turned so that its z axis
// points at the other and each with its subtree in the turned frame.

#include <cmath>

#include "tools/bi_tool.h"

namespace qel {

namespace {

// The rotation turning +z onto d. Rotation(z, d) gives a point reflection
// for d straight along -z, which would draw the element inside out: a half
// turn about x there.
mat4 turnTowards(const vec3& d) {
    const mat4 r = mat4::Rotation(vec3(0, 0, 1), d);
    const double det = double(r.m[0]) * (double(r.m[5]) * r.m[10] - double(r.m[6]) * r.m[9]) -
                       double(r.m[1]) * (double(r.m[4]) * r.m[10] - double(r.m[6]) * r.m[8]) +
                       double(r.m[2]) * (double(r.m[4]) * r.m[9] - double(r.m[5]) * r.m[8]);
    return det < 0.0 ? mat4::Scale(1.0f, -1.0f, -1.0f) : r;
}

}  // namespace

std::uint8_t BiTool::visitState() const {
    const std::uint32_t w = ListWalk::current();
    return (w != 0 && walk_ == w) ? listState : std::uint8_t(VisitIdle);
}

void BiTool::toList(std::vector<Tool*>& tools, std::vector<mat4>& matrices, std::vector<int>& parents,
                    std::vector<int>& subIndices, mat4 m, int parentIndex, int subIndex) {
    const ListWalk::Lists lists{tools, matrices, parents, subIndices};
    const std::uint8_t state = visitState();
    if (state == VisitPairing) {
        // Called by the partner, which has just listed itself.
        listTurned(lists);
        listState = VisitListed;
        if (partner) partner->listState = VisitListed;
        return;
    }
    if (state != VisitIdle) return;

    // Record the visit. A top-level end is its own parent: the index it was
    // given is its own entry's, which a later listing must follow.
    walk_ = ListWalk::current();
    parentMatrix = m;
    endMatrix = m * matrix();
    this->parentIndex = parentIndex;
    this->subIndex = subIndex;
    ownParent_ = parentIndex == int(tools.size());

    if (partner && walk_ != 0 && partner->visitState() == VisitWaiting) {
        listState = VisitPairing;
        partner->listState = VisitPairing;
        listTurned(lists);
        partner->toList(tools, matrices, parents, subIndices, partner->parentMatrix, partner->parentIndex,
                        partner->subIndex);
        return;
    }
    if (partner && ListWalk::wait(this, &BiTool::releaseWaiting)) {
        listState = VisitWaiting;
        return;
    }
    // No partner, or no walk to wait in.
    listState = VisitListed;
    listPlain(lists, m, parentIndex, subIndex, ownParent_);
}

void BiTool::releaseWaiting(Tool* tool, const ListWalk::Lists& lists) {
    BiTool* e = static_cast<BiTool*>(tool);
    if (e->visitState() != VisitWaiting) return;
    e->listState = VisitListed;
    e->listPlain(lists, e->parentMatrix, e->parentIndex, e->subIndex, e->ownParent_);
}

void BiTool::listPlain(const ListWalk::Lists& lists, const mat4& m, int parent, int sub, bool ownParent) {
    plain_ = true;
    turn_ = mat4::Identity();
    const int k = int(lists.tools.size());
    lists.matrices.push_back(m);
    lists.parents.push_back(ownParent ? k : parent);
    lists.subIndices.push_back(sub);
    lists.tools.push_back(this);
    const mat4 w = m * matrix();
    for (Tool* c : children) c->toList(lists.tools, lists.matrices, lists.parents, lists.subIndices, w, k, -1);
}

bool BiTool::measure(mat4& R, mat4& entry, mat4& F) {
    mat4 a, inv;
    if (!partner || !endMatrix.tryInverse(a) || !matrix().tryInverse(inv)) return false;
    // The partner's position in this end's own frame.
    const vec3 qx = a.transformPoint(endMatrix.translation());
    const vec3 qy = a.transformPoint(partner->endMatrix.translation());
    const double dx = double(qy.x) - qx.x, dy = double(qy.y) - qx.y, dz = double(qy.z) - qx.z;
    const double l = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (!std::isfinite(l)) return false;
    const mat4 r = turnTowards(vec3(float(dx), float(dy), float(dz)));
    const mat4 f = endMatrix * r;
    // The base drawing matrix applies matrix() to the entry: it gives back F.
    const mat4 e = f * inv;
    if (!f.isFinite() || !e.isFinite()) return false;
    R = r;
    F = f;
    entry = e;
    length = float(l);
    // Coinciding ends take their rest length when first pulled apart.
    if (referenceLength < 0.0f && length > MinLength) referenceLength = length;
    return true;
}

void BiTool::listTurned(const ListWalk::Lists& lists) {
    plain_ = false;
    mat4 R = mat4::Identity(), entry = parentMatrix, F = endMatrix;
    // Without a finite inverse the end is listed unturned, its length kept.
    measure(R, entry, F);
    turn_ = R;
    const int k = int(lists.tools.size());
    lists.matrices.push_back(entry);
    lists.parents.push_back(ownParent_ ? k : parentIndex);
    lists.subIndices.push_back(subIndex);
    lists.tools.push_back(this);
    for (Tool* c : children) c->toList(lists.tools, lists.matrices, lists.parents, lists.subIndices, F, k, -1);
}

}  // namespace qel
