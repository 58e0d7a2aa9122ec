// qel::ListWalk: walk numbers, the walk under way and the release of the
// tools still waiting at the end of a walk.

#include "scene/list_walk.h"

#include <atomic>

#include "core/saturating.h"

namespace qel {

namespace {

// Constant-initialised, so that a walk opened during another file's dynamic
// initialisation finds them ready. Numbers are unique across threads.
thread_local ListWalk* currentWalk = nullptr;
thread_local std::uint32_t currentNumber = 0;
std::atomic<std::uint32_t> lastNumber{0};

}  // namespace

ListWalk::ListWalk(std::vector<Tool*>& tools, std::vector<mat4>& matrices, std::vector<int>& parents,
                   std::vector<int>& subIndices)
    : lists_{tools, matrices, parents, subIndices}, outer_(currentWalk) {
    // 0 stands for "no walk": skip it when the counter wraps.
    std::uint32_t n = ++lastNumber;
    if (n == 0) n = ++lastNumber;
    number_ = n;
    currentWalk = this;
    currentNumber = number_;
}

ListWalk::~ListWalk() {
    finish();
    currentWalk = outer_;
    currentNumber = outer_ ? outer_->number_ : 0;
}

void ListWalk::finish() {
    if (finished_) return;
    // By index: a released tool may list tools that register in turn.
    for (std::size_t i = 0; i < waiting_.size(); ++i) {
        const Waiting w = waiting_[i];
        w.release(w.tool, lists_);
    }
    waiting_.clear();
    finished_ = true;
}

std::uint32_t ListWalk::current() { return currentNumber; }

bool ListWalk::wait(Tool* tool, Release release) {
    if (!currentWalk || currentWalk->finished_) return false;
    currentWalk->waiting_.push_back({tool, release});
    return true;
}

void ListWalk::noteCopies(std::size_t listed, std::size_t leftOut) {
    if (!currentWalk) return;
    currentWalk->copiesListed_ = saturatingSum(currentWalk->copiesListed_, listed);
    currentWalk->copiesLeftOut_ = saturatingSum(currentWalk->copiesLeftOut_, leftOut);
}

}  // namespace qel
