// Parsing a scene or object file and joining it to a scene.

#include "files/scene_reader.h"

#include <numeric>
#include <unordered_map>

#include "elements/swept_element.h"
#include "files/scene_writer.h"
#include "scene/element.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tools/array.h"
#include "tools/bi_tool.h"
#include "tools/cable.h"

namespace qel {

namespace {

// Tool record tags besides the plain tool's. The composite tools are read
// here once their types exist; until then their records keep their
// positions (the tool ids of the following records stay right) and build
// nothing. 0xABCDEF03 is not a tool and takes no position.
constexpr std::uint32_t BiToolRecordTag = 0xABCDEF05u;
constexpr std::uint32_t CableRecordTag = 0xABCDEF06u;

}  // namespace

SceneReader::~SceneReader() { discard(); }

// ---- Parsing ----

namespace {

std::string at(std::int64_t byte) { return "byte " + std::to_string(byte); }

}  // namespace

bool SceneReader::refuse(std::string reason) {
    discard();
    error_ = std::move(reason);
    return false;
}

bool SceneReader::parse(buffer& file) {
    discard();
    error_.clear();
    FILE_VERSION = 0;
    std::uint32_t tag = 0, length = 0;
    // A scene or object file starts with its header.
    const std::int32_t size = file.size();
    if (!file.readRecordHeader(tag, length) || tag != scenefile::HeaderTag) {
        if (size == 0) return refuse("it is empty");
        if (size < 8 && size >= 4 && buffer::loadU32(file.data()) == scenefile::HeaderTag)
            return refuse("it is cut short at " + at(size));
        return refuse("it is not a scene or object file");
    }
    FILE_VERSION = std::int32_t(length);

    while (!file.atEnd()) {
        const std::int32_t chunk = file.cursor();
        if (!file.readRecordHeader(tag, length))
            return refuse("it is cut short at " + at(size) + ", inside the chunk header at " + at(chunk));
        if (tag == scenefile::HeaderTag) {
            // A header inside the sequence changes the version of what follows.
            FILE_VERSION = std::int32_t(length);
            continue;
        }
        // A file cut short and a damaged length read alike: say what is
        // known, the length read against the file's end.
        if (length > std::uint32_t(file.remaining()))
            return refuse("the chunk at " + at(chunk) + " claims to run to " +
                          at(std::int64_t(file.cursor()) + length) + ", past the end of the file at " + at(size));
        const std::int32_t end = file.cursor() + std::int32_t(length);
        bool ok = true;
        if (tag == scenefile::ToolsChunkTag)
            ok = readToolsChunk(file, end);
        else if (tag == scenefile::ElementsChunkTag)
            ok = readElementsChunk(file, end);
        if (!ok) return refuse(error_);
        file.seek(end);
    }
    if (!depthWithinLimit())
        return refuse("its objects are nested deeper than " + std::to_string(MaxDepth) + " levels");
    return true;
}

bool SceneReader::recordWindow(buffer& file, std::int32_t end, std::uint32_t& tag, std::int32_t& bodyEnd) {
    const std::int32_t start = file.cursor();
    std::uint32_t length = 0;
    if (end - start < 8 || !file.readRecordHeader(tag, length) || length > std::uint32_t(end - start - 8)) {
        error_ = "the record at " + at(start) + " runs past the end of its chunk";
        return false;
    }
    bodyEnd = start + 8 + std::int32_t(length);
    return true;
}

bool SceneReader::readToolsChunk(buffer& file, std::int32_t end) {
    bool first = true;
    while (file.cursor() < end) {
        std::uint32_t tag = 0;
        std::int32_t bodyEnd = 0;
        const std::int32_t start = file.cursor();
        if (!recordWindow(file, end, tag, bodyEnd)) return false;
        switch (tag) {
            case Tool::RecordTag:
            case Array::RecordTag:
            case BiToolRecordTag:
            case CableRecordTag: {
                const buffer::ReadLimit window(file, bodyEnd);
                Tool* t = tag == Array::RecordTag ? static_cast<Tool*>(new Array(file))
                          : tag == BiToolRecordTag ? static_cast<Tool*>(new BiTool(file))
                          : tag == CableRecordTag  ? static_cast<Tool*>(new Cable(file))
                                                   : new Tool(file);
                if (file.failed()) {
                    delete t;
                    error_ = "the object record at " + at(start) + " is damaged";
                    return false;
                }
                if (first) heads_.push_back(tools_.size());
                tools_.push_back(t);
                first = false;
                break;
            }
            default:
                break;
        }
        file.seek(bodyEnd);
    }
    return true;
}

bool SceneReader::readElementsChunk(buffer& file, std::int32_t end) {
    while (file.cursor() < end) {
        std::uint32_t tag = 0;
        std::int32_t bodyEnd = 0;
        if (!recordWindow(file, end, tag, bodyEnd)) return false;
        Element* e = nullptr;
        {
            const std::int32_t start = file.cursor() - 8;
            const buffer::ReadLimit window(file, bodyEnd);
            if (factory_.read(tag, file, e) == ElementFactory::Refused) {
                error_ = "the element record at " + at(start) + " is damaged";
                return false;
            }
        }
        elements_.push_back(e);
        file.seek(bodyEnd);
    }
    return true;
}

// ---- Depth of the hierarchy that identify will build ----

bool SceneReader::depthWithinLimit() const {
    // The adoptions are replayed with identify's rules (tools in order, each
    // child in order, then an array's slots in order; a tool is taken once,
    // never a chunk's first tool, never when it would close a cycle). A
    // union-find of tree roots answers the cycle test in near constant time.
    const std::size_t n = tools_.size();
    std::vector<std::int32_t> parent(n, -1);
    std::vector<std::int32_t> root(n);
    std::iota(root.begin(), root.end(), 0);
    std::vector<std::uint8_t> taken(n, 0);
    const auto findRoot = [&root](std::int32_t x) {
        std::int32_t r = x;
        while (root[std::size_t(r)] != r) r = root[std::size_t(r)];
        while (root[std::size_t(x)] != r) {
            const std::int32_t next = root[std::size_t(x)];
            root[std::size_t(x)] = r;
            x = next;
        }
        return r;
    };
    const auto adopt = [&](std::size_t p, std::int32_t c) {
        if (c < 0 || std::size_t(c) >= n || !tools_[std::size_t(c)] || taken[std::size_t(c)]) return;
        if (findRoot(std::int32_t(p)) == c) return;
        taken[std::size_t(c)] = 1;
        parent[std::size_t(c)] = std::int32_t(p);
        root[std::size_t(c)] = findRoot(std::int32_t(p));
    };
    for (std::size_t h : heads_) taken[h] = 1;
    for (std::size_t p = 0; p < n; ++p) {
        if (!tools_[p]) continue;
        for (std::int32_t c : tools_[p]->storedIds().children) adopt(p, c);
        // An array adopts its templates by the same rules, after its children.
        if (const auto* array = dynamic_cast<const Array*>(tools_[p]))
            for (std::int32_t c : array->storedItems()) adopt(p, c);
    }
    // Depths by walking up to the nearest known depth.
    std::vector<std::int32_t> depth(n, 0);
    std::vector<std::int32_t> chain;
    for (std::size_t i = 0; i < n; ++i) {
        chain.clear();
        std::int32_t x = std::int32_t(i);
        while (x >= 0 && depth[std::size_t(x)] == 0) {
            chain.push_back(x);
            x = parent[std::size_t(x)];
        }
        std::int32_t d = x >= 0 ? depth[std::size_t(x)] : 0;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            depth[std::size_t(*it)] = ++d;
            if (d > MaxDepth) return false;
        }
    }
    return true;
}

// ---- Joining ----

std::vector<Element*> SceneReader::distinctElements() const {
    // Ids are -1 outside reading and writing; -2 marks an element already
    // taken while the list is made.
    std::vector<Element*> out;
    for (Element* e : elements_)
        if (e && e->id != -2) {
            e->id = -2;
            out.push_back(e);
        }
    for (Element* e : out) e->id = -1;
    return out;
}

void SceneReader::mergeInto(Scene& scene) {
    // The chunks' first tools are attached first, so that no record can
    // adopt them.
    for (std::size_t i : heads_) {
        Tool* h = tools_[i];
        if (h->flags & Tool::FlagObject) {
            scene.objectsRoot->addChild(h, false);
        } else {
            scene.currentTool = scene.toolsRoot->addChild(h, false);
            scene.toolsModified = 1;
        }
    }
    for (Tool* t : tools_)
        if (t) t->identify(tools_, elements_);
    // The cables showing each element: each cable on a shared tube takes one
    // of its own when it is first drawn.
    std::unordered_map<const Element*, std::uint64_t> cables;
    for (Tool* t : tools_)
        if (t && t->element && dynamic_cast<Cable*>(t)) ++cables[t->element];

    // Every element is held while the tools that nothing adopted are deleted
    // (they drop their element references); then the elements that no tool
    // names are released and the others initialised. The hold is the base
    // operation, matching the drop that gives it back: an element's own copy
    // may hand out another element (a lightning in use does).
    const std::vector<Element*> elements = distinctElements();
    for (Element* e : elements) e->Element::copy(1);
    std::vector<Tool*> orphans;
    for (Tool* t : tools_)
        if (t && !t->parent) orphans.push_back(t);
    // An orphan end would take its adopted partner with it: the partner
    // stays, alone.
    for (Tool* t : orphans) BiTool::unlinkTree(t);
    for (Tool* t : orphans) delete t;
    tools_.clear();
    heads_.clear();
    elements_.clear();
    factory_.reset();  // the scene owns the placeholder now
    std::vector<Element*> kept;
    for (Element* e : elements)
        if (!Element::drop(e, 1)) {
            e->initialize(Element::ResizeKeep);
            kept.push_back(e);
        }
    // The swept surfaces the first frame builds are paid for now, while the
    // load's budget is armed, from the curves as they were finally made.
    for (Element* e : kept)
        if (auto* swept = dynamic_cast<SweptElement*>(e)) {
            const auto c = cables.find(e);
            swept->payForSurface(c == cables.end() ? 1 : c->second);
        }
    scene.modified = 1;
}

// ---- Freeing ----

void SceneReader::deleteTools(std::vector<Tool*>& list) {
    // Tools that were never joined have no parent, children, ring or element.
    for (Tool* t : list) delete t;
    list.clear();
}

void SceneReader::discard() {
    heads_.clear();
    deleteTools(tools_);
    // Dropped rather than deleted: the curves a composite element built
    // inside its own record go with it.
    for (Element* e : distinctElements()) Element::drop(e, 0);
    elements_.clear();
    factory_.reset();  // the placeholder, if any, was among them
}

}  // namespace qel
