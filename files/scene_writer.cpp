// The writer of scene and object files.

#include "files/scene_writer.h"

#include <QSaveFile>
#include <QString>
#include <algorithm>

#include "core/file_failure.h"
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

// The file as it is written: the bytes a buffer spills go straight to the
// file, a place written before is reached by a seek. A copy of the header of
// one watched record is kept as it goes by, so that a record handed on before
// it was checked can still be checked.
class FileSink final : public BufferSink {
public:
    explicit FileSink(QSaveFile& file) : file_(file) {}

    void put(const std::uint8_t* p, std::size_t n) override {
        keepWatched(end_, p, n);
        ok_ = ok_ && writeAll(p, n);
        end_ += std::int64_t(n);
    }
    void putAt(std::int64_t at, const std::uint8_t* p, std::size_t n) override {
        keepWatched(at, p, n);
        ok_ = ok_ && file_.seek(at) && writeAll(p, n) && file_.seek(end_);
    }
    void skip(std::size_t n) override {
        end_ += std::int64_t(n);
        ok_ = ok_ && file_.seek(end_);
    }
    // False once a write failed.
    bool ok() const { return ok_; }
    // Keeps the 8 header bytes at `at` as they are handed on.
    void watch(std::int64_t at) {
        watchAt_ = at;
        seen_ = 0;
    }
    // The u32 at `at` within the watched header; false when it was not
    // handed on whole.
    bool watchedU32(std::int64_t at, std::uint32_t& v) const {
        const std::int64_t k = at - watchAt_;
        if (k != 0 && k != 4) return false;
        if (((seen_ >> k) & 15u) != 15u) return false;
        v = buffer::loadU32(header_ + k);
        return true;
    }

private:
    void keepWatched(std::int64_t at, const std::uint8_t* p, std::size_t n) {
        const std::int64_t from = std::max(at, watchAt_), to = std::min(at + std::int64_t(n), watchAt_ + 8);
        for (std::int64_t i = from; i < to; ++i) {
            header_[i - watchAt_] = p[i - at];
            seen_ |= 1u << (i - watchAt_);
        }
    }
    bool writeAll(const std::uint8_t* p, std::size_t n) {
        while (n > 0) {
            const qint64 w = file_.write(reinterpret_cast<const char*>(p), qint64(n));
            if (w <= 0) return false;
            p += w;
            n -= std::size_t(w);
        }
        return true;
    }

    QSaveFile& file_;
    std::int64_t end_ = 0;
    bool ok_ = true;
    std::int64_t watchAt_ = -8;
    std::uint8_t header_[8] = {};
    unsigned seen_ = 0;
};

// The u32 at a place of the file: in the buffer, or, handed on already, in
// the sink's watched header; false when neither holds it.
bool u32At(const buffer& b, const FileSink* sink, std::int64_t at, std::uint32_t& v) {
    if (at >= b.spilled()) {
        v = buffer::loadU32(b.data() + (at - b.spilled()));
        return true;
    }
    return sink && sink->watchedU32(at, v);
}

// The number of whole records in bytes [from, size), or -1 when they do not
// end exactly there.
int recordsSince(const buffer& b, const FileSink* sink, std::int32_t from) {
    int n = 0;
    std::int64_t at = from;
    while (at + 8 <= b.size()) {
        std::uint32_t length = 0;
        if (!u32At(b, sink, at + 4, length)) return -1;
        at += 8 + std::int64_t(length);
        ++n;
    }
    return at == b.size() ? n : -1;
}

// Empty when one writer appended exactly one record since `from`; else what
// it wrote instead, for the reason that names the writer (built only then).
std::string recordFault(const buffer& b, const FileSink* sink, std::int32_t from) {
    const int n = recordsSince(b, sink, from);
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
        if (std::string fault = recordFault(b, nullptr, start); !fault.empty()) {
            error = "a " + toolName(*tools[i]) + fault;
            return false;
        }
    }
    b.endRecord(at);
    return true;
}

// Spills go out in blocks of about this many bytes: large enough for few
// writes, small enough to stay in the cache between encoding and writing.
constexpr std::int32_t SpillBlock = 1 << 20;

// Appends the elements chunk; with a sink, the bytes are spilled to it as
// they pass a block (a large record spills itself as it is written).
bool writeElements(buffer& b, const std::vector<Element*>& elements, FileSink* sink, std::string& error) {
    const std::int32_t at = b.beginRecord(ElementsChunkTag);
    for (Element* e : elements) {
        const std::int32_t start = b.size();
        if (sink) sink->watch(start);
        e->DataWrite(b);
        if (std::string fault = recordFault(b, sink, start); !fault.empty()) {
            error = "a " + elementName(*e) + " element" + fault;
            return false;
        }
        if (b.size() - b.spilled() >= SpillBlock) b.spill();
    }
    b.endRecord(at);
    return true;
}

// Writes the whole file through a temporary file that replaces the path only
// once it is complete; false with the reason (the file on disk untouched)
// when it must not or cannot be written.
bool writeFile(const std::string& path, const std::vector<Tool*>& tools, const std::vector<std::size_t>& starts,
               std::string& error) {
    error.clear();
    // The reader refuses deeper hierarchies: such a file could not be opened.
    if (depthOf(tools, starts) > SceneReader::MaxDepth) {
        error = "a hierarchy is deeper than " + std::to_string(SceneReader::MaxDepth) + " levels";
        return false;
    }
    QSaveFile f(QString::fromStdString(path));
    if (path.empty() || !f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        error = writeFailure(path, &f);
        return false;
    }
    FileSink sink(f);
    buffer file;
    file.spillTo(&sink);
    {
        const RingMarks marks(tools);
        const PartnerMarks partners(tools);
        const ElementNumbering numbering(tools);
        file.writeU32(HeaderTag);
        file.writeI32(FILE_VERSION_WRITTEN);
        for (std::size_t k = 0; k + 1 < starts.size(); ++k)
            if (!writeToolsChunk(file, tools, starts[k], starts[k + 1], error)) return false;
        if (!writeElements(file, numbering.elements(), &sink, error)) return false;
    }
    // A buffer that dropped bytes past its largest size is not a file.
    if (file.overflowed()) {
        error = "the file would exceed 2 GiB";
        return false;
    }
    file.spill();
    if (!sink.ok() || file.failed()) {
        error = writeFailure(path, &f);
        f.cancelWriting();
        return false;
    }
    if (f.commit()) return true;
    error = writeFailure(path, &f);
    return false;
}

}  // namespace

bool writeElementsChunk(buffer& b, const std::vector<Element*>& elements, std::string& error) {
    return writeElements(b, elements, nullptr, error);
}

bool writeToolsFile(const std::string& path, const std::vector<Tool*>& tools, const std::vector<std::size_t>& starts,
                    std::string& error) {
    if (writeFile(path, tools, starts, error)) return true;
    if (error.empty()) error = "the file cannot be written";
    logmsg("Not saved: " + path + ": " + error);
    return false;
}

}  // namespace scenefile
}  // namespace qel
