#include "scene/load_budget.h"

#include <algorithm>
#include <limits>

namespace qel {

namespace {

LoadBudget* innermost = nullptr;

}  // namespace

std::size_t LoadBudget::samplesForFile(std::size_t bytes) {
    const std::size_t most = std::numeric_limits<std::size_t>::max();
    const std::size_t perBytes = bytes > most / SamplesPerFileByte ? most : bytes * SamplesPerFileByte;
    return perBytes > most - SamplesPerLoad ? most : perBytes + SamplesPerLoad;
}

std::size_t LoadBudget::copiesForFile(std::size_t bytes) {
    const std::size_t most = std::numeric_limits<std::size_t>::max();
    const std::size_t perBytes = bytes > most / CopiesPerFileByte ? most : bytes * CopiesPerFileByte;
    return perBytes > most - CopiesPerLoad ? most : perBytes + CopiesPerLoad;
}

std::size_t LoadBudget::bytesForFile(std::size_t bytes) {
    const std::size_t most = std::numeric_limits<std::size_t>::max();
    const std::size_t perBytes = bytes > most / BytesPerFileByte ? most : bytes * BytesPerFileByte;
    return perBytes > most - BytesPerLoad ? most : perBytes + BytesPerLoad;
}

LoadBudget::LoadBudget(std::size_t samples)
    : LoadBudget(samples, CopiesPerLoad, std::numeric_limits<std::size_t>::max()) {}

LoadBudget::LoadBudget(std::size_t samples, std::size_t copies, std::size_t bytes)
    : left_(samples), copiesLeft_(copies), bytesLeft_(bytes), outer_(innermost) {
    innermost = this;
}

LoadBudget::~LoadBudget() { innermost = outer_; }

LoadBudget* LoadBudget::armed() { return innermost; }

// Every armed budget answers: an inner one spends from the outer ones too.
std::size_t LoadBudget::samplesAllowed(std::size_t wanted) {
    for (const LoadBudget* b = innermost; b; b = b->outer_) wanted = std::min(wanted, b->left_);
    return wanted;
}

void LoadBudget::spendSamples(std::size_t made, bool cut) {
    for (LoadBudget* b = innermost; b; b = b->outer_) {
        b->left_ -= std::min(made, b->left_);
        b->leftOut_ = b->leftOut_ || cut;
    }
}

std::size_t LoadBudget::copiesAllowed(std::size_t wanted) {
    for (const LoadBudget* b = innermost; b; b = b->outer_) wanted = std::min(wanted, b->copiesLeft_);
    return wanted;
}

void LoadBudget::spendCopies(std::size_t made, bool cut) {
    for (LoadBudget* b = innermost; b; b = b->outer_) {
        b->copiesLeft_ -= std::min(made, b->copiesLeft_);
        b->leftOut_ = b->leftOut_ || cut;
    }
}

void LoadBudget::noteLeftOut() {
    for (LoadBudget* b = innermost; b; b = b->outer_) b->leftOut_ = true;
}

void LoadBudget::noteLeftOut(const std::string& name) {
    for (LoadBudget* b = innermost; b; b = b->outer_) {
        b->leftOut_ = true;
        if (b->names_.size() < MaxNames) b->names_.push_back(name);
    }
}

std::size_t LoadBudget::bytesAllowed(std::size_t wanted) {
    for (const LoadBudget* b = innermost; b; b = b->outer_) wanted = std::min(wanted, b->bytesLeft_);
    return wanted;
}

void LoadBudget::spendBytes(std::size_t made) {
    for (LoadBudget* b = innermost; b; b = b->outer_) b->bytesLeft_ -= std::min(made, b->bytesLeft_);
}

}  // namespace qel
