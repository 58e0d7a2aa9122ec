#include "scene/load_budget.h"

#include <unistd.h>

#include <algorithm>
#include <limits>

#include "core/saturating.h"
#include "gl/image_file.h"

namespace qel {

namespace {

LoadBudget* innermost = nullptr;

constexpr std::size_t Most = std::numeric_limits<std::size_t>::max();

std::size_t physicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    const std::size_t p = std::size_t(pages), s = std::size_t(pageSize);
    return p > Most / s ? Most : p * s;
}

// What tells the images of a load apart: the file a path names, however it
// is spelled, or the spelling of a path that names no file. The two kinds
// of key never meet.
std::string imageKey(const std::string& path) {
    const std::string file = ImageFile::identity(path);
    return file.empty() ? "path " + path : "file " + file;
}

}  // namespace

std::size_t LoadBudget::bytesPerLoad() {
    // Read once: the machine does not change under a running program.
    static const std::size_t share = [] {
        const std::size_t physical = physicalMemory();
        // A machine that does not tell its memory gets the full share.
        return physical == 0 ? MostBytesPerLoad : std::min(MostBytesPerLoad, physical / 8);
    }();
    return share;
}

LoadBudget::LoadBudget() : LoadBudget(SamplesPerLoad, CopiesPerLoad, bytesPerLoad()) {}

LoadBudget::LoadBudget(std::size_t samples) : LoadBudget(samples, CopiesPerLoad, Most) {}

LoadBudget::LoadBudget(std::size_t samples, std::size_t copies, std::size_t bytes)
    : left_(samples), copiesLeft_(copies), bytesLeft_(bytes), outer_(innermost) {
    innermost = this;
}

LoadBudget::~LoadBudget() { innermost = outer_; }

LoadBudget* LoadBudget::armed() { return innermost; }

std::shared_ptr<Texture> LoadBudget::sharedImage(std::uint32_t kind, const std::string& path) {
    if (!innermost) return nullptr;
    const auto found = innermost->images_.find({kind, imageKey(path)});
    return found == innermost->images_.end() ? nullptr : found->second.lock();
}

void LoadBudget::shareImage(std::uint32_t kind, const std::string& path, const std::shared_ptr<Texture>& texture) {
    if (innermost) innermost->images_[{kind, imageKey(path)}] = texture;
}

// Every armed budget answers: an inner one spends from the outer ones too.
// Samples and copies cost their bytes as well.
std::size_t LoadBudget::samplesAllowed(std::size_t wanted) {
    for (const LoadBudget* b = innermost; b; b = b->outer_)
        wanted = std::min({wanted, b->left_, b->bytesLeft_ / BytesPerSample});
    return wanted;
}

void LoadBudget::spendSamples(std::size_t made, bool cut) {
    const std::size_t bytes = made > Most / BytesPerSample ? Most : made * BytesPerSample;
    for (LoadBudget* b = innermost; b; b = b->outer_) {
        b->left_ -= std::min(made, b->left_);
        b->bytesLeft_ -= std::min(bytes, b->bytesLeft_);
        if (!cut) continue;
        b->leftOut_ = true;
        b->what_.cutCurves = saturatingSum<std::uint64_t>(b->what_.cutCurves, 1);
    }
}

std::size_t LoadBudget::copiesAllowed(std::size_t wanted) {
    for (const LoadBudget* b = innermost; b; b = b->outer_)
        wanted = std::min({wanted, b->copiesLeft_, b->bytesLeft_ / BytesPerCopy});
    return wanted;
}

void LoadBudget::spendCopies(std::size_t made, bool cut) {
    const std::size_t bytes = made > Most / BytesPerCopy ? Most : made * BytesPerCopy;
    for (LoadBudget* b = innermost; b; b = b->outer_) {
        b->copiesLeft_ -= std::min(made, b->copiesLeft_);
        b->bytesLeft_ -= std::min(bytes, b->bytesLeft_);
        b->leftOut_ = b->leftOut_ || cut;
    }
}

void LoadBudget::noteCopiesLeftOut(std::uint64_t count) {
    if (count == 0) return;
    for (LoadBudget* b = innermost; b; b = b->outer_) {
        b->leftOut_ = true;
        b->what_.copies = saturatingSum(b->what_.copies, count);
    }
}

void LoadBudget::noteSurfaceLeftOut(TSurface kind, std::uint64_t count, std::uint64_t bytes) {
    for (LoadBudget* b = innermost; b; b = b->outer_) {
        b->leftOut_ = true;
        const bool tube = kind == TSurface::Tube;
        std::uint64_t& n = tube ? b->what_.tubes : b->what_.revolutons;
        std::uint64_t& size = tube ? b->what_.tubeBytes : b->what_.revolutonBytes;
        n = saturatingSum(n, count);
        size = saturatingSum(size, bytes);
    }
}

void LoadBudget::noteLeftOut() {
    for (LoadBudget* b = innermost; b; b = b->outer_) b->leftOut_ = true;
}

void LoadBudget::noteImage(const std::string& name, bool refused) {
    if (!innermost) return;
    const std::string key = imageKey(name);
    for (LoadBudget* b = innermost; b; b = b->outer_) {
        b->leftOut_ = true;
        if (refused) b->refused_.insert(key);
        if (!b->noted_.insert(key).second) continue;
        if (b->what_.images.size() < MaxNames)
            b->what_.images.push_back(name);
        else
            b->what_.moreImages = saturatingSum<std::uint64_t>(b->what_.moreImages, 1);
    }
}

bool LoadBudget::refusedBefore(const std::string& name) {
    if (!innermost) return false;
    const std::string key = imageKey(name);
    for (const LoadBudget* b = innermost; b; b = b->outer_)
        if (b->refused_.count(key)) return true;
    return false;
}

std::size_t LoadBudget::bytesAllowed(std::size_t wanted) {
    for (const LoadBudget* b = innermost; b; b = b->outer_) wanted = std::min(wanted, b->bytesLeft_);
    return wanted;
}

void LoadBudget::spendBytes(std::size_t made) {
    for (LoadBudget* b = innermost; b; b = b->outer_) b->bytesLeft_ -= std::min(made, b->bytesLeft_);
}

}  // namespace qel
