#pragma once
// qel::SceneReader parses a scene or object file into loose tools and
// elements, then joins them to a scene.
//
// Parsing checks the whole file before anything reaches the scene:
//   - the file starts with the header; a chunk (and every record inside a
//     chunk) must fit in the bytes left, which is checked before anything is
//     read or allocated for it;
//   - each record is read inside its own window [start + 8, start + 8 +
//     length] (a read limit on the file's bytes, no copy): its reader sees no
//     byte beyond it, and the next record starts at the window's end
//     whatever the reader consumed;
//   - a record body that its reader refuses, or a hierarchy deeper than
//     MaxDepth, refuses the whole file.
// A refused file frees everything it made. Joining never fails: references
// between records are validated by the tools' identify (bad ids are
// dropped), tools that no tool adopted are deleted, elements that no tool
// names are released, and the rest is initialised.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/element_factory.h"
#include "gl/buffer.h"

namespace qel {

class Element;
class Scene;
class Tool;

class SceneReader {
public:
    // Deepest tool hierarchy a file may hold (top-level tools count 1).
    static constexpr int MaxDepth = 4096;

    SceneReader() = default;
    SceneReader(const SceneReader&) = delete;
    SceneReader& operator=(const SceneReader&) = delete;
    // Frees whatever was parsed and not joined.
    ~SceneReader();

    // Parses the bytes of a file. Sets FILE_VERSION from the header(s).
    // False (nothing kept) when the file is not sound.
    bool parse(buffer& file);
    // Joins the parsed content to the scene: each chunk's first tool under
    // the objects root (an object) or the tools root (then the current tool).
    // The scene owns everything afterwards.
    void mergeInto(Scene& scene);

    // Why the last parse refused the file, as a clause ("it is cut short at
    // byte 120, ..."); empty after one that succeeded.
    const std::string& error() const { return error_; }

    // What parse produced (for inspection).
    const std::vector<Tool*>& tools() const { return tools_; }
    const std::vector<Element*>& elements() const { return elements_; }

private:
    bool readToolsChunk(buffer& file, std::int32_t end);
    bool readElementsChunk(buffer& file, std::int32_t end);
    // Reads the header of the record at the cursor, which must fit before
    // end; bodyEnd receives the end of its window. False, with the reason
    // kept, when it does not fit.
    bool recordWindow(buffer& file, std::int32_t end, std::uint32_t& tag, std::int32_t& bodyEnd);
    // Reads one tool record; false when its body is refused.
    bool readTool(std::uint32_t tag, buffer& b, bool& first);
    // Whether the hierarchy that identify will build stays within MaxDepth.
    bool depthWithinLimit() const;
    // The distinct elements, in file order (a placeholder may stand at
    // several positions).
    std::vector<Element*> distinctElements() const;
    void deleteTools(std::vector<Tool*>& list);
    void discard();
    // Frees what was parsed and keeps the reason; false.
    bool refuse(std::string reason);

    std::vector<Tool*> tools_;        // by position; null for a record not built
    std::vector<std::size_t> heads_;  // positions of the tools chunks' first tools
    std::vector<Element*> elements_;  // by position; null for none
    ElementFactory factory_;
    std::string error_;
};

}  // namespace qel
