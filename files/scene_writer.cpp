// The writer of scene and object files.

#include "files/scene_writer.h"

#include <QSaveFile>
#include <QString>

#include "core/strings.h"
#include "files/scene_reader.h"
#include "gl/buffer.h"
#include "scene/element.h"
#include "scene/tool.h"
#include "tools/bi_tool.h"

namespace qel {
namespace scenefile {

bool isObjPath(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos) return false;
    return toUpper(path.substr(dot)) == ".OBJ";
}

namespace {

// True when x is the listed tool of its id.
bool listed(const std::vector<Tool*>& tools, const Tool* x) {
    return x->id >= 0 && std::size_t(x->id) < tools.size() && tools[std::size_t(x->id)] == x;
}

// The element ids of a file being written. The constructor resets the ids of
// every element the tools show, then numbers them in tool order (each
// element followed by the elements it is built from); a shared element gets
// one id. The destructor sets every id back to -1.
class ElementNumbering {
public:
    explicit ElementNumbering(const std::vector<Tool*>& tools) {
        for (Tool* t : tools)
            if (t->element) t->element->clearIds();
        std::vector<Element*> all;
        for (Tool* t : tools) {
            if (!t->element) continue;
            all.clear();
            t->element->allElements(all);
            for (Element* e : all) {
                if (!e || e->id != -1) continue;
                e->id = std::int32_t(elements_.size());
                elements_.push_back(e);
            }
        }
    }
    ElementNumbering(const ElementNumbering&) = delete;
    ElementNumbering& operator=(const ElementNumbering&) = delete;
    ~ElementNumbering() {
        for (Element* e : elements_) e->id = -1;
    }
    // The elements in id order.
    const std::vector<Element*>& elements() const { return elements_; }

private:
    std::vector<Element*> elements_;
};

// Marks the file's tools for the ring references: while it lives, every
// listed tool carries the temporary mark, and every member of their rings
// that is not listed has id -1 and no mark, so that a record names the next
// ring member in the file and never a tool outside it. The destructor gives
// marks and ids back.
class RingMarks {
public:
    explicit RingMarks(const std::vector<Tool*>& tools) : tools_(tools), had_(tools.size()) {
        // Each ring is walked once, from its first listed member.
        std::vector<std::uint8_t> walked(tools.size(), 0);
        for (std::size_t i = 0; i < tools.size(); ++i) {
            Tool* t = tools[i];
            if (walked[i] || !listed(tools, t)) continue;
            walked[i] = 1;
            for (Tool* x = t->nextInstance; x != t; x = x->nextInstance) {
                if (listed(tools, x)) {
                    walked[std::size_t(x->id)] = 1;
                    continue;
                }
                outside_.push_back({x, x->id, std::uint8_t(x->flags & Tool::FlagTemp)});
                x->id = -1;
                x->flags = std::uint8_t(x->flags & ~Tool::FlagTemp);
            }
        }
        for (std::size_t i = 0; i < tools.size(); ++i) {
            had_[i] = tools[i]->flags & Tool::FlagTemp;
            tools[i]->flags |= Tool::FlagTemp;
        }
    }
    RingMarks(const RingMarks&) = delete;
    RingMarks& operator=(const RingMarks&) = delete;
    ~RingMarks() {
        for (std::size_t i = 0; i < tools_.size(); ++i)
            tools_[i]->flags = std::uint8_t((tools_[i]->flags & ~Tool::FlagTemp) | had_[i]);
        for (const Saved& s : outside_) {
            s.tool->id = s.id;
            s.tool->flags = std::uint8_t((s.tool->flags & ~Tool::FlagTemp) | s.temp);
        }
    }

private:
    struct Saved {
        Tool* tool;
        std::int32_t id;
        std::uint8_t temp;
    };
    const std::vector<Tool*>& tools_;
    std::vector<std::uint8_t> had_;
    std::vector<Saved> outside_;
};

// While it lives, every partner of a listed two-ended tool that is not
// listed has id -1 and no temporary mark, so that the end's record names no
// partner rather than a tool outside the file. Made after RingMarks (which
// marks the listed tools), undone before it.
class PartnerMarks {
public:
    explicit PartnerMarks(const std::vector<Tool*>& tools) {
        for (Tool* t : tools) {
            if (!t->isBiTool()) continue;
            Tool* p = static_cast<BiTool*>(t)->partner;
            // Links are mutual: no other end names the same partner.
            if (!p || listed(tools, p)) continue;
            outside_.push_back({p, p->id, std::uint8_t(p->flags & Tool::FlagTemp)});
            p->id = -1;
            p->flags = std::uint8_t(p->flags & ~Tool::FlagTemp);
        }
    }
    PartnerMarks(const PartnerMarks&) = delete;
    PartnerMarks& operator=(const PartnerMarks&) = delete;
    ~PartnerMarks() {
        for (const Saved& s : outside_) {
            s.tool->id = s.id;
            s.tool->flags = std::uint8_t(s.tool->flags | s.temp);
        }
    }

private:
    struct Saved {
        Tool* tool;
        std::int32_t id;
        std::uint8_t temp;
    };
    std::vector<Saved> outside_;
};

// The deepest hierarchy of the list, counting a hierarchy's top tool as 1.
int depthOf(const std::vector<Tool*>& tools, const std::vector<std::size_t>& starts) {
    std::vector<int> depth(tools.size(), 1);
    int deepest = 0;
    for (std::size_t k = 0; k + 1 < starts.size(); ++k)
        for (std::size_t i = starts[k]; i < starts[k + 1]; ++i) {
            Tool* p = tools[i]->parent;
            if (i > starts[k] && p && listed(tools, p)) depth[i] = depth[std::size_t(p->id)] + 1;
            deepest = std::max(deepest, depth[i]);
        }
    return deepest;
}

// The number of whole records in bytes [from, size), or -1 when they do not
// end exactly there.
int recordsSince(const buffer& b, std::int32_t from) {
    int n = 0;
    std::int64_t at = from;
    while (at + 8 <= b.size()) {
        at += 8 + std::int64_t(buffer::loadU32(b.data() + at + 4));
        ++n;
    }
    return at == b.size() ? n : -1;
}

// Empty when one writer appended exactly one record since `from`; else what
// it wrote instead, for the reason that names the writer (built only then).
std::string recordFault(const buffer& b, std::int32_t from) {
    const int n = recordsSince(b, from);
    if (n == 1) return {};
    return (n < 0 ? " wrote a malformed record" : " wrote " + std::to_string(n) + " records") + " instead of one";
}

std::string elementName(const Element& e) {
    switch (e.type) {
        case Element::TType::Mesh:
            return "mesh";
        case Element::TType::Clay:
            return "clay";
        case Element::TType::Curve:
            return "curve";
        case Element::TType::UCurve:
            return "resampled curve";
        case Element::TType::Revoluton:
            return "revoluton";
        case Element::TType::Tube:
            return "tube";
        case Element::TType::Lightning:
            return "lightning";
        case Element::TType::Sprite:
            return "sprite";
        case Element::TType::AnimatedSprite:
            return "animated sprite";
    }
    return "type " + std::to_string(std::uint32_t(e.type));
}

std::string toolName(Tool& t) {
    if (t.isArray()) return "array";
    if (t.isBiTool()) return "two-ended tool";
    if (t.isRoot()) return "root";
    return "tool";
}

bool writeToolsChunk(buffer& b, const std::vector<Tool*>& tools, std::size_t from, std::size_t to, std::string& error) {
    const std::int32_t at = b.beginRecord(ToolsChunkTag);
    for (std::size_t i = from; i < to; ++i) {
        const std::int32_t start = b.size();
        tools[i]->DataWrite(b, false);
        if (std::string fault = recordFault(b, start); !fault.empty()) {
            error = "a " + toolName(*tools[i]) + fault;
            return false;
        }
    }
    b.endRecord(at);
    return true;
}

// Writes the bytes to a temporary file that replaces the path only once it
// is complete; false (the file on disk untouched) when anything fails.
bool writeFile(const std::string& path, const buffer& b) {
    if (path.empty()) return false;
    QSaveFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::WriteOnly)) return false;
    const char* p = reinterpret_cast<const char*>(b.data());
    qint64 left = b.size();
    while (left > 0) {
        const qint64 n = f.write(p, left);
        if (n <= 0) {
            f.cancelWriting();
            return false;
        }
        p += n;
        left -= n;
    }
    return f.commit();
}

// The whole file in the buffer; false with the reason when it must not be
// written.
bool fillFile(buffer& file, const std::vector<Tool*>& tools, const std::vector<std::size_t>& starts,
              std::string& error) {
    error.clear();
    // The reader refuses deeper hierarchies: such a file could not be opened.
    if (depthOf(tools, starts) > SceneReader::MaxDepth) {
        error = "a hierarchy is deeper than " + std::to_string(SceneReader::MaxDepth) + " levels";
        return false;
    }
    const RingMarks marks(tools);
    const PartnerMarks partners(tools);
    const ElementNumbering numbering(tools);
    file.writeU32(HeaderTag);
    file.writeI32(FILE_VERSION_WRITTEN);
    for (std::size_t k = 0; k + 1 < starts.size(); ++k)
        if (!writeToolsChunk(file, tools, starts[k], starts[k + 1], error)) return false;
    if (!writeElementsChunk(file, numbering.elements(), error)) return false;
    // A buffer that dropped bytes past its largest size is not a file.
    if (file.overflowed()) error = "the file would exceed 2 GiB";
    return !file.overflowed();
}

}  // namespace

bool writeElementsChunk(buffer& b, const std::vector<Element*>& elements, std::string& error) {
    const std::int32_t at = b.beginRecord(ElementsChunkTag);
    for (Element* e : elements) {
        const std::int32_t start = b.size();
        e->DataWrite(b);
        if (std::string fault = recordFault(b, start); !fault.empty()) {
            error = "a " + elementName(*e) + " element" + fault;
            return false;
        }
    }
    b.endRecord(at);
    return true;
}

bool writeToolsFile(const std::string& path, const std::vector<Tool*>& tools, const std::vector<std::size_t>& starts,
                    std::string& error) {
    buffer file;
    if (fillFile(file, tools, starts, error) && writeFile(path, file)) return true;
    if (error.empty()) error = "the file cannot be written";
    logmsg("Not saved: " + path + ": " + error);
    return false;
}

}  // namespace scenefile
}  // namespace qel
