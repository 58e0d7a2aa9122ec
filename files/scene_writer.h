#pragma once
// The writer of scene files (qel::Scene::save) and object files
// (qel::Tool::save): the container tags, the extension test, and the file
// itself.
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

// Writes the file of the listed tools: `tools` is the pre-order walk of one
// or more hierarchies (each tool's id its position, as toList leaves them),
// hierarchy k being tools[starts[k], starts[k + 1]) and written as one tools
// chunk; then the elements chunk with every element the tools show, each
// once. A ring reference names the next ring member that is in the file, so
// that rings survive members outside it.
//
// Nothing is written (false, the file on disk untouched, the reason in
// `error` and the message log) when a hierarchy is deeper than the reader
// accepts, when a tool or element writes anything but exactly one record,
// or when the file cannot be written whole. Element ids, temporary marks and
// the ids of tools outside the file are as before afterwards.
bool writeToolsFile(const std::string& path, const std::vector<Tool*>& tools, const std::vector<std::size_t>& starts,
                    std::string& error);

// Appends the elements chunk holding every element's record in order. False
// (the reason, naming the element's type, in `error`) when an element
// appends anything but exactly one record: every later id would shift.
bool writeElementsChunk(buffer& b, const std::vector<Element*>& elements, std::string& error);

}  // namespace scenefile
}  // namespace qel
