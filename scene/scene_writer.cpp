// Shared pieces of the scene and object file writers.

#include "scene/scene_writer.h"

#include <QSaveFile>
#include <QString>

#include "core/strings.h"
#include "scene/buffer.h"
#include "scene/element.h"
#include "scene/tool.h"

namespace qel {
namespace scenefile {

bool isObjPath(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos) return false;
    return toUpper(path.substr(dot)) == ".OBJ";
}

// ---- Element numbering ----

ElementNumbering::ElementNumbering(const std::vector<Tool*>& tools) {
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

ElementNumbering::~ElementNumbering() {
    for (Element* e : elements_) e->id = -1;
}

// ---- Ring guard ----

OutsideRingGuard::OutsideRingGuard(const std::vector<Tool*>& tools) {
    const auto listed = [&tools](const Tool* x) {
        return x->id >= 0 && std::size_t(x->id) < tools.size() && tools[std::size_t(x->id)] == x;
    };
    // Each ring is walked once, from its first listed member.
    std::vector<std::uint8_t> walked(tools.size(), 0);
    for (std::size_t i = 0; i < tools.size(); ++i) {
        Tool* t = tools[i];
        if (walked[i] || !listed(t)) continue;
        walked[i] = 1;
        for (Tool* x = t->nextInstance; x != t; x = x->nextInstance) {
            if (listed(x)) {
                walked[std::size_t(x->id)] = 1;
                continue;
            }
            saved_.push_back({x, x->id, x->flags});
            x->id = -1;
            x->flags = std::uint8_t(x->flags & ~Tool::FlagTemp);
        }
    }
}

OutsideRingGuard::~OutsideRingGuard() {
    for (const Saved& s : saved_) {
        s.tool->id = s.id;
        s.tool->flags = std::uint8_t((s.tool->flags & ~Tool::FlagTemp) | (s.flags & Tool::FlagTemp));
    }
}

// ---- Chunks ----

void writeHeader(buffer& b) {
    b.writeU32(HeaderTag);
    b.writeI32(FILE_VERSION_WRITTEN);
}

void writeToolsChunk(buffer& b, const std::vector<Tool*>& tools, std::size_t from, std::size_t to,
                     bool ringFromNext) {
    const std::int32_t at = b.beginRecord(ToolsChunkTag);
    for (std::size_t i = from; i < to && i < tools.size(); ++i) tools[i]->DataWrite(b, ringFromNext);
    b.endRecord(at);
}

void writeElementsChunk(buffer& b, const std::vector<Element*>& elements) {
    const std::int32_t at = b.beginRecord(ElementsChunkTag);
    for (Element* e : elements) e->DataWrite(b);
    b.endRecord(at);
}

// ---- File ----

bool writeFile(const std::string& path, const buffer& b) {
    // A buffer that dropped bytes past its largest size is not a file.
    if (b.overflowed() || path.empty()) return false;
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

}  // namespace scenefile
}  // namespace qel
