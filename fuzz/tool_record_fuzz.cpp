// Fuzz target of the tool record readers: qel::Tool(buffer&) and
// qel::Array(buffer&), DataRead for every layout, and identify on whatever
// was read.
//
// Input: byte 0 chooses the file version (one per layout), byte 1 the number
// of elements (0..7: meshes, curves, cable tubes, some null) handed to
// identify; the rest is a tools chunk payload read as the container does
// (tag 0xABCDEF02 constructs a Tool, 0xABCDEF04 an Array, 0xABCDEF05 a
// two-ended tool's end, 0xABCDEF06 a cable, any other tag is skipped). Checked afterwards: the buffer never read
// outside its bytes (the sanitizers), every instance ring is a proper ring,
// every tree is acyclic, every child's and template's parent is the tool
// holding it, an array's element is a curve or nothing, every partner link
// is mutual between two read tools, every cable drawn twice keeps finite
// path positions and holds its tube, every tool is listed once and written
// back as a record of its size, and every tool and element is freed exactly
// once.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "curves/bezier_curve.h"
#include "curves/curve.h"
#include "elements/tube.h"
#include "gl/buffer.h"
#include "scene/element.h"
#include "scene/root.h"
#include "scene/tool.h"
#include "tools/array.h"
#include "tools/bi_tool.h"
#include "tools/cable.h"

namespace {

class FuzzElement : public qel::Element {
public:
    FuzzElement() : qel::Element(TType::Mesh) {}
};

void check(bool ok) {
    if (!ok) std::abort();
}

constexpr std::int32_t Versions[] = {0,        20060401, 20060410, 20060411, 20060412,
                                     20161025, 20161026, 20200101, 20160914, 20160915};

// The size of the record the tool writes.
std::size_t recordSize(qel::Tool* t) {
    std::size_t n = 8 + qel::Tool::RecordBodyBase + 4 * t->children.size();
    if (const auto* a = dynamic_cast<const qel::Array*>(t))
        n += 4 + 4 * a->items.size() + 4 + 4 * a->pattern.size() + 1 + 64;
    if (t->isBiTool()) n += 9;
    return n;
}

// Draws a cable twice as the flattening would leave it (a length, a rest
// length when none was read) and checks its tube.
void drawCable(qel::Cable* c, float l) {
    c->length = l;
    if (!(c->referenceLength > 0.0f)) c->referenceLength = 1.0f;
    for (int i = 0; i < 2; ++i) c->transformRender(qel::mat4::Identity());
    qel::Tube* tube = c->cableTube();
    if (!tube) return;
    check(tube->refCount >= 1 && tube->path->refCount >= tube->refCount);
    for (const qel::CurveVertex& v : tube->path->vertices)
        check(std::isfinite(v.position.x) && std::isfinite(v.position.y) && std::isfinite(v.position.z));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::int32_t saved = qel::FILE_VERSION;
    qel::FILE_VERSION = Versions[data[0] % (sizeof(Versions) / sizeof(Versions[0]))];
    const int elementCount = data[1] % 8;

    qel::buffer b(data + 2, size - 2);
    std::vector<qel::Tool*> tools;
    while (!b.atEnd() && tools.size() < 4096) {
        const std::int32_t start = b.cursor();
        std::uint32_t tag = 0, length = 0;
        if (!b.readRecordHeader(tag, length)) break;
        const std::int64_t end = std::int64_t(start) + 8 + length;
        if (tag == qel::Tool::RecordTag || tag == qel::Array::RecordTag || tag == qel::BiTool::RecordTag ||
            tag == qel::Cable::RecordTag) {
            const std::int32_t before = b.cursor();
            qel::Tool* t = tag == qel::Array::RecordTag    ? static_cast<qel::Tool*>(new qel::Array(b))
                           : tag == qel::BiTool::RecordTag ? static_cast<qel::Tool*>(new qel::BiTool(b))
                           : tag == qel::Cable::RecordTag  ? static_cast<qel::Tool*>(new qel::Cable(b))
                                                           : new qel::Tool(b);
            check(b.cursor() >= before && b.cursor() <= b.size());
            if (b.failed()) {
                check(!t->storedIds().pending);
                delete t;
                break;
            }
            tools.push_back(t);
        }
        if (b.cursor() < end) b.seek(std::min<std::int64_t>(end, b.size()));
    }

    std::vector<qel::Element*> elements;
    for (int i = 0; i < elementCount; ++i) {
        qel::Element* e = nullptr;
        if (i % 3 == 1)
            e = new qel::Curve();
        else if (i % 3 == 0 && i > 0)
            e = new qel::Tube(new qel::BezierCurve(qel::vec3(), qel::vec3(), 50), qel::Curve::Circle(4, false));
        else if (i % 3 == 0)
            e = new FuzzElement();
        elements.push_back(e);
    }
    for (qel::Tool* t : tools) t->identify(tools, elements);

    for (qel::Tool* t : tools) {
        // Transient bits never come from a file.
        check((t->flags & (qel::Tool::FlagSelected | qel::Tool::FlagTemp)) == 0);
        // Proper ring: the walk comes back within the number of tools.
        qel::Tool* x = t;
        std::size_t steps = 0;
        do {
            x = x->nextInstance;
            check(++steps <= tools.size());
        } while (x != t);
        check(t->previousInstance()->nextInstance == t);
        // Acyclic: the parent chain ends within the number of tools.
        steps = 0;
        for (qel::Tool* p = t->parent; p; p = p->parent) check(++steps <= tools.size());
        for (qel::Tool* c : t->children) check(c && c->parent == t);
        if (auto* a = dynamic_cast<qel::Array*>(t)) {
            for (qel::Tool* x : a->items) check(!x || x->parent == a);
            check(a->storedItems().empty());
            check(!a->element || a->curve == a->element);
        }
        if (t->isBiTool())
            if (qel::BiTool* p = static_cast<qel::BiTool*>(t)->partner)
                check(p != t && p->partner == t && std::find(tools.begin(), tools.end(), p) != tools.end());
    }

    for (std::size_t i = 0; i < tools.size(); ++i)
        if (auto* c = dynamic_cast<qel::Cable*>(tools[i])) drawCable(c, 0.5f + float(i % 4));

    // The tools written back are well formed records of the right size.
    std::vector<qel::Tool*> tops;
    for (qel::Tool* t : tools)
        if (!t->parent) tops.push_back(t);
    std::vector<qel::Tool*> list;
    for (qel::Tool* t : tops) t->toList(list);
    check(list.size() == tools.size());
    for (qel::Tool* t : list) {
        qel::buffer out;
        t->DataWrite(out, true);
        check(std::size_t(out.size()) == recordSize(t));
    }

    // Free: unreferenced elements first (a tube with its curves), then the
    // trees (which drop theirs).
    for (qel::Element*& e : elements)
        if (e && e->refCount <= 0) {
            qel::Element::drop(e, 0);
            e = nullptr;
        }
    // The trees go together: an end deleted on its own would take its
    // partner, which may be another top.
    {
        qel::Root holder;
        for (qel::Tool* t : tops) holder.addChild(t, false);
    }
    qel::FILE_VERSION = saved;
    return 0;
}
