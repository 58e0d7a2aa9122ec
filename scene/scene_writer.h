#pragma once
// Pieces shared by the writers of scene files (qel::Scene::save) and object
// files (qel::Tool::save): the container tags, the extension test, the
// element numbering, the ring guard, the chunk writers and the atomic file
// write.
//
// File layout (little-endian): u32 HeaderTag, u32 version, then chunks of
// u32 tag, u32 length, payload. A tools chunk holds tool records, the
// elements chunk element records; records refer to each other by their
// positions in the file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qel {

class buffer;
class Element;
class Tool;

namespace scenefile {

constexpr std::uint32_t HeaderTag = 0xFFFFAAAAu;
constexpr std::uint32_t ToolsChunkTag = 0xABCDEF01u;
constexpr std::uint32_t ElementsChunkTag = 0xEEEEEEEEu;

// True when the text from the last '.' of the path to its end, upper-cased,
// is ".OBJ". A path without '.' has no extension.
bool isObjPath(const std::string& path);

// The element ids of a file being written. The constructor resets the ids of
// every element the tools show, then numbers them in tool order (each
// element followed by the elements it is built from); a shared element gets
// one id. The destructor sets every id back to -1.
class ElementNumbering {
public:
    explicit ElementNumbering(const std::vector<Tool*>& tools);
    ElementNumbering(const ElementNumbering&) = delete;
    ElementNumbering& operator=(const ElementNumbering&) = delete;
    ~ElementNumbering();
    // The elements in id order.
    const std::vector<Element*>& elements() const { return elements_; }

private:
    std::vector<Element*> elements_;
};

// Members of the instance rings of `tools` that are not among them. While
// the guard lives each has id -1 and no temporary mark, so that no written
// record names a tool outside the file; the destructor gives both back.
// Requires the tools' ids to be their positions in `tools`.
class OutsideRingGuard {
public:
    explicit OutsideRingGuard(const std::vector<Tool*>& tools);
    OutsideRingGuard(const OutsideRingGuard&) = delete;
    OutsideRingGuard& operator=(const OutsideRingGuard&) = delete;
    ~OutsideRingGuard();

private:
    struct Saved {
        Tool* tool;
        std::int32_t id;
        std::uint8_t flags;
    };
    std::vector<Saved> saved_;
};

// Appends the header (HeaderTag, the version written).
void writeHeader(buffer& b);
// Appends one tools chunk holding the records of tools[from, to).
void writeToolsChunk(buffer& b, const std::vector<Tool*>& tools, std::size_t from, std::size_t to,
                     bool ringFromNext);
// Appends the elements chunk holding every element's record in order.
void writeElementsChunk(buffer& b, const std::vector<Element*>& elements);
// Writes the bytes to a temporary file that replaces the path only once it
// is complete; false (the file on disk untouched) when anything fails.
bool writeFile(const std::string& path, const buffer& b);

}  // namespace scenefile
}  // namespace qel
