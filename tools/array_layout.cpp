// The layout of qel::Array: its flattening into the scene's render and
// picking lists, which lays one copy of an item's flattened tree on each
// curve edge the pattern gives an item.
//
// An item stands in its edge's frame: local Z along the edge, local X along
// the edge's normal, scaled by half the edge's length about its midpoint.
// The pattern is laid per chain from both ends inwards (start and end
// entries alternately, one edge each), then its middle entries repeat over
// the edges left between them. For Chain and Zipper arrays every copy at an
// odd position also takes the step matrix, and an odd closed loop turns its
// copies progressively about their edges so that the loop closes evenly.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/saturating.h"
#include "curves/curve.h"
#include "scene/load_budget.h"
#include "scene/list_walk.h"
#include "tools/array.h"

namespace qel {

namespace {

// The closing twist of a Chain loop: three quarter turns over the loop.
constexpr double ChainLoopTurn = 4.71238898038469;
constexpr double ZipperLoopTurn = 3.14159265358979323846;

enum Anchor : int { Middle = 0, Start = 1, End = 2 };

struct Run {
    int item;          // 0 a gap, n the slot (n - 1) modulo the slot count
    int multiplicity;  // 0 never completes
};

// The pattern split by anchor. The end list holds its entries last stored
// first, so that read along a chain they stand in stored order and the last
// one ends on the chain's last edge.
struct SplitPattern {
    std::vector<Run> runs[3];

    explicit SplitPattern(const std::vector<std::uint32_t>& pattern) {
        for (const std::uint32_t e : pattern) {
            const Run r{int((e >> 15) & 0x7FFFu), int(e & 0x7FFFu)};
            const std::uint32_t anchor = e >> 30;
            // Anchor 3 is never written; it counts as middle.
            runs[anchor == Start || anchor == End ? anchor : std::uint32_t(Middle)].push_back(r);
        }
        std::reverse(runs[End].begin(), runs[End].end());
    }
    bool empty() const { return runs[Middle].empty() && runs[Start].empty() && runs[End].empty(); }
};

// The pattern walk of one chain of k edges: calls place(item, position) for
// every position the pattern gives a non-zero item, in walk order.
template <class Place>
void walkChain(const SplitPattern& p, int k, Place place) {
    struct Counter {
        std::size_t index = 0;
        int used = 0;
        int run = 0;
        bool exhausted = false;
    } c[3];
    for (int a = 0; a < 3; ++a) c[a].exhausted = p.runs[a].empty();
    // Without any entry there is nothing to read.
    if (c[Start].exhausted && c[End].exhausted && c[Middle].exhausted) return;
    int anchor = !c[Start].exhausted ? Start : (!c[End].exhausted ? End : Middle);
    for (int pass = 0; pass < k; ++pass) {
        Counter& a = c[anchor];
        const std::vector<Run>& list = p.runs[anchor];
        const Run r = list[a.index];
        const int position =
            anchor == Start ? a.used : (anchor == End ? k - 1 - a.used : c[Start].used + c[Middle].used);
        if (r.item != 0) place(r.item, position);
        ++a.run;
        ++a.used;
        if (a.run == r.multiplicity) {
            ++a.index;
            a.run = 0;
            if (a.index == list.size()) {
                if (anchor == Middle)
                    a.index = 0;
                else
                    a.exhausted = true;
            }
        }
        if (c[Start].exhausted && c[End].exhausted) {
            if (c[Middle].exhausted) return;
            anchor = Middle;
        } else if (c[Start].exhausted) {
            anchor = End;
        } else if (c[End].exhausted) {
            anchor = Start;
        } else {
            anchor = anchor == Start ? End : Start;
        }
    }
}

// Translation(c) x F x S for an edge from p0 to p1 with unit direction d and
// normal n: F's columns are n, d x n and d, S scales by half the edge's
// length. Formed directly; each element is the one the three products give.
mat4 edgeFrame(const vec3& p0, const vec3& p1, const vec3& d, const vec3& n) {
    const vec3 c = (p0 + p1) / 2.0f;
    const float h = float(length(p0 - p1) / 2.0);
    const vec3 cols[3] = {n, cross(d, n), d};
    mat4 m;
    for (int col = 0; col < 3; ++col)
        for (int row = 0; row < 3; ++row) m.at(row, col) = float(double(cols[col][row]) * h);
    m.setTranslation(c);
    return m;
}

// One template flattened in its own frame; entry 0 is the template.
struct FlatItem {
    std::vector<Tool*> tools;
    std::vector<mat4> matrices;
    std::vector<int> parents;
    std::vector<int> subIndices;
    std::size_t copies = 0;   // copies its nested arrays listed
    std::size_t leftOut = 0;  // and left out
};

// The chain walks over the curve's edges with the placed mark.
class ChainWalker {
public:
    explicit ChainWalker(Curve& c) : curve_(c) {}

    // Walks the chain of the unmarked active edge e, marking each edge and
    // handing it to visit(index, record) in walk order: from its first edge
    // along the next-edge links until a link ends, returns to the first
    // edge, or reaches an inactive or already marked edge (a curve whose
    // linking failed cannot make it loop). True when the walk came back to
    // its first edge.
    template <class Visit>
    bool walk(int e, Visit visit) {
        const int first = firstEdge(e);
        int cur = first;
        while (true) {
            CurveEdge& E = edge(cur);
            E.flags |= CurveEdge::PlacedBit;
            visit(cur, E);
            const int next = link(cur, 1);
            if (next == first) return true;
            if (!open(next)) return false;
            cur = next;
        }
    }
    // Whether e is an active edge not yet placed.
    bool open(int e) const { return curve_.activeEdge(e) && !(edge(e).flags & CurveEdge::PlacedBit); }
    void clearMarks() {
        for (CurveEdge& E : curve_.edges) E.flags = std::uint8_t(E.flags & ~CurveEdge::PlacedBit);
    }

private:
    CurveEdge& edge(int e) const { return curve_.edges[std::size_t(e)]; }
    // The link at end k of e, -1 when it names no edge.
    int link(int e, int k) const {
        const int l = edge(e).n[k];
        return curve_.validEdge(l) ? l : -1;
    }
    // The first edge of e's chain: edgeStart's answer on an ordered curve
    // (the first edge of an open chain, e itself on a loop). The walk back
    // follows only links that the previous edge returns, so that it stays
    // within the edges the forward walk then marks and the whole layout
    // stays linear even on a curve whose links disagree.
    int firstEdge(int e) const {
        int cur = e;
        for (int steps = curve_.edgeCount(); steps > 0; --steps) {
            const int prev = link(cur, 0);
            if (prev == e) return e;
            if (!open(prev) || edge(prev).n[1] != cur) return cur;
            cur = prev;
        }
        return cur;
    }

    Curve& curve_;
};

// The output lists and everything one copy needs.
struct CopyPlacer {
    CopyPlacer(std::vector<Tool*>& t, std::vector<mat4>& m, std::vector<int>& p, std::vector<int>& s,
               const std::vector<FlatItem>& flat, int entry, bool odd, const mat4& st, std::size_t most)
        : tools(t),
          matrices(m),
          parents(p),
          subIndices(s),
          items(flat),
          arrayEntry(entry),
          stepOdd(odd),
          step(st),
          limit(most) {}

    std::vector<Tool*>& tools;
    std::vector<mat4>& matrices;
    std::vector<int>& parents;
    std::vector<int>& subIndices;
    const std::vector<FlatItem>& items;
    const int arrayEntry;
    const bool stepOdd;
    const mat4& step;
    const std::size_t limit;  // the entries the copies may add
    // The chain being laid.
    std::vector<mat4> placements;
    std::vector<int> keys;
    std::vector<unsigned char> placeable;  // the edge has both vertices
    double twist = 0.0;
    // Once a copy did not fit, every later one is counted, not listed, so
    // that the list holds a prefix of the layout.
    bool full = false;
    std::size_t added = 0;    // entries appended
    std::size_t listed = 0;   // copies listed, nested ones included
    std::size_t leftOut = 0;  // copies left out, nested ones included

    // Appends a copy of item n at position i, or counts it left out.
    void place(int n, int i) {
        const FlatItem& item = items[std::size_t(n - 1) % items.size()];
        const std::size_t count = item.tools.size();
        if (count == 0 || !placeable[std::size_t(i)]) return;
        if (full || count > limit - added) {
            full = true;
            leftOut = saturatingSum(leftOut, saturatingSum(saturatingSum<std::size_t>(1, item.copies), item.leftOut));
            return;
        }
        mat4 M = placements[std::size_t(i)];
        if (twist != 0.0) M = M * mat4::FromMat3(mat3::RotationAroundAxis(vec3(0, 0, 1), float(double(i) * twist)));
        if (stepOdd && (i & 1)) M = M * step;
        const std::size_t base = tools.size();
        tools.insert(tools.end(), item.tools.begin(), item.tools.end());
        subIndices.insert(subIndices.end(), item.subIndices.begin(), item.subIndices.end());
        subIndices[base] = keys[std::size_t(i)];
        parents.push_back(arrayEntry);
        for (std::size_t j = 1; j < count; ++j) parents.push_back(item.parents[j] + int(base));
        matrices.resize(base + count);
        mat4* placed = matrices.data() + base;
        for (std::size_t j = 0; j < count; ++j) placed[j] = M * item.matrices[j];
        added += count;
        listed += 1 + item.copies;
        leftOut = saturatingSum(leftOut, item.leftOut);
    }
};

// The closing twist per position of a chain of k edges.
double closingTwist(Array::TArrayType type, bool closed, int k) {
    if (!closed || k % 2 == 0) return 0.0;
    if (type == Array::Chain) return ChainLoopTurn / k;
    if (type == Array::Zipper) return ZipperLoopTurn / k;
    return 0.0;
}

}  // namespace

void Array::toList(std::vector<Tool*>& outTools, std::vector<mat4>& outMatrices, std::vector<int>& outParents,
                   std::vector<int>& outSubIndices, mat4 parentMatrix, int parentIndex, int subIndex) {
    // Without a curve the array lays out as a curve without edges.
    if (!curve || curve->edges.empty() || items.empty()) return;
    curve->update();
    curve->calculateOrientations(false);

    const int arrayEntry = int(outTools.size());
    Tool::toList(outTools, outMatrices, outParents, outSubIndices, parentMatrix, parentIndex, subIndex);

    // Each template once, in its own frame and in a walk of its own: the
    // copies repeat what the template's walk listed, so nothing in a
    // template may wait for a tool outside it.
    std::vector<FlatItem> flat(items.size());
    for (std::size_t s = 0; s < items.size(); ++s) {
        if (!items[s]) continue;
        FlatItem& f = flat[s];
        ListWalk walk(f.tools, f.matrices, f.parents, f.subIndices);
        items[s]->toList(f.tools, f.matrices, f.parents, f.subIndices, mat4::Identity(), 0, -1);
        walk.finish();
        f.copies = walk.copiesListed();
        f.leftOut = walk.copiesLeftOut();
    }

    const SplitPattern pattern(this->pattern);
    if (pattern.empty()) return;
    const mat4 W = parentMatrix * matrix() * curve->localMatrix();
    const bool resampled = curve->isType(Element::TType::UCurve);

    // The entries the copies may add: this array's cap, the bound a load
    // left it, and, at the first listing after its load, what the load's
    // budget has left.
    const std::size_t own = std::min(maxCopyEntries, loadEntries_);
    const bool fromLoad = copiesFromLoad_ && LoadBudget::armed();
    copiesFromLoad_ = false;
    const std::size_t limit = fromLoad ? LoadBudget::copiesAllowed(own) : own;
    CopyPlacer placer(outTools, outMatrices, outParents, outSubIndices, flat, arrayEntry, type != Simple, step, limit);
    // A chain holds at most every edge: its lists never grow on the way.
    placer.placements.reserve(std::size_t(curve->edgeCount()));
    placer.keys.reserve(std::size_t(curve->edgeCount()));
    placer.placeable.reserve(std::size_t(curve->edgeCount()));
    ChainWalker walker(*curve);
    const auto& V = curve->vertices;
    // One chain's placements and keys, computed as the walk reaches its edges.
    const auto visit = [&](int index, const CurveEdge& E) {
        const bool ok = curve->validVertex(E.v[0]) && curve->validVertex(E.v[1]);
        placer.placeable.push_back(ok);
        placer.keys.push_back(ok && resampled ? V[std::size_t(E.v[0])].selection : index);
        placer.placements.push_back(
            ok ? W * edgeFrame(V[std::size_t(E.v[0])].position, V[std::size_t(E.v[1])].position, E.direction, E.normal)
               : mat4());
    };
    for (int e = 0; e < curve->edgeCount(); ++e) {
        if (!walker.open(e)) continue;
        placer.placements.clear();
        placer.keys.clear();
        placer.placeable.clear();
        const bool closed = walker.walk(e, visit);
        const int k = int(placer.keys.size());
        placer.twist = closingTwist(type, closed, k);
        walkChain(pattern, k, [&placer](int n, int i) { placer.place(n, i); });
    }
    walker.clearMarks();

    if (fromLoad) {
        LoadBudget::spendCopies(placer.added, placer.full);
        // Cut by the budget rather than by its own cap: later listings keep
        // to what the load allowed.
        if (placer.full && limit < own) loadEntries_ = limit;
    }
    if (placer.full) LoadBudget::noteLeftOut();
    ListWalk::noteCopies(placer.listed, placer.leftOut);
}

}  // namespace qel
