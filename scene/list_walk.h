#pragma once
// qel::ListWalk, one flattening walk (Tool::toList with matrices) into a set
// of parallel lists. Every walk has a number of its own, so that a tool that
// keeps a visit state between its first and its last step of a walk (a
// two-ended tool waiting for its partner) can tell a visit of the current
// walk from one left behind by an earlier walk. A walk opened while another
// is under way (an array flattening its templates) suspends the outer walk;
// closing it restores the outer number and waiting list.
//
// A tool that cannot be listed until something later in the walk has been
// reached registers with wait(); when the walk finishes, each registered
// tool's release function is called once, in order of registration, and may
// list the tool. Tools registered while releasing are released in the same
// pass.
//
// A composite tool that repeats its items (an array) tells the walk under
// way how many copies it listed and how many a cap left out, nested copies
// included, so that whoever made the lists can say what is missing.
//
// The walk under way is per thread; walk numbers are unique across threads.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/mat.h"

namespace qel {

class Tool;

class ListWalk {
public:
    // The lists a walk fills.
    struct Lists {
        std::vector<Tool*>& tools;
        std::vector<mat4>& matrices;
        std::vector<int>& parents;
        std::vector<int>& subIndices;
    };
    // Called at the end of the walk for a tool registered with wait().
    using Release = void (*)(Tool* tool, const Lists& lists);

    // Opens a walk into the given lists with a new number.
    ListWalk(std::vector<Tool*>& tools, std::vector<mat4>& matrices, std::vector<int>& parents,
             std::vector<int>& subIndices);
    // Finishes the walk when finish() was not called, then restores the walk
    // it suspended.
    ~ListWalk();
    ListWalk(const ListWalk&) = delete;
    ListWalk& operator=(const ListWalk&) = delete;

    // Releases the waiting tools; later calls do nothing.
    void finish();

    // The number of the walk under way in this thread; 0 outside any walk.
    static std::uint32_t current();
    // Registers a tool of the walk under way; false (nothing registered)
    // outside any walk.
    static bool wait(Tool* tool, Release release);
    // Adds to the copy counts of the walk under way; nothing outside a walk.
    static void noteCopies(std::size_t listed, std::size_t leftOut);

    // The copies listed and left out in this walk (not in walks it suspended
    // or that suspended it).
    std::size_t copiesListed() const { return copiesListed_; }
    std::size_t copiesLeftOut() const { return copiesLeftOut_; }

private:
    struct Waiting {
        Tool* tool;
        Release release;
    };
    Lists lists_;
    std::uint32_t number_;
    ListWalk* outer_;
    bool finished_ = false;
    std::vector<Waiting> waiting_;
    std::size_t copiesListed_ = 0;
    std::size_t copiesLeftOut_ = 0;
};

}  // namespace qel
