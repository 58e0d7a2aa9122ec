#pragma once
// qel::LoadBudget: the work one file may cause while it is read and joined.
//
// A file of a few hundred bytes can ask for far more than its size: a
// resampled curve over a long, thin base wants a sample every step of its
// tiny radius, several records may resample the same curve again, and
// arrays on such curves multiply their copies. The scene's loader arms a
// budget for the time of a load (a caller may arm a smaller one around it,
// as the view does for the samples its scene already holds); the
// resampling draws its samples from the armed budget, and the arrays the
// file brings draw the list entries of their copies from it when the scene
// is first listed. What does not fit is left out, and
// the budget remembers that it was, so that the file can be named in a
// warning.
//
// Budgets nest: every armed budget limits and pays for what is made while
// it is armed. GUI thread only. Outside a load nothing is armed and every
// question is answered in full.

#include <cstddef>

namespace qel {

class LoadBudget {
public:
    // The samples the resampled curves of one file may make while it loads,
    // repeated resamplings included: a fixed allowance (about a quarter of a
    // second of work and a few tens of megabytes) and more for every byte
    // of the file, so that a large scene the program wrote loads whole.
    static constexpr std::size_t SamplesPerLoad = std::size_t(1) << 17;
    static constexpr std::size_t SamplesPerFileByte = 8;
    // The samples the resampled curves of one scene may hold together.
    static constexpr std::size_t SamplesPerScene = std::size_t(1) << 22;

    // The list entries the arrays a file brings may add for their copies,
    // nested copies counted, when the file's scene is first listed: a fixed
    // allowance (what a small file may show) and more for every byte, so
    // that large arrays the program wrote load whole.
    static constexpr std::size_t CopiesPerLoad = std::size_t(1) << 16;
    static constexpr std::size_t CopiesPerFileByte = 32;

    // The samples a file of that many bytes may make while it loads.
    static std::size_t samplesForFile(std::size_t bytes);
    // The copy entries a file of that many bytes may add.
    static std::size_t copiesForFile(std::size_t bytes);

    // Arms a budget of `samples` and of the fixed copy allowance until it
    // is destroyed.
    explicit LoadBudget(std::size_t samples);
    // Arms a budget of `samples` and `copies` until it is destroyed.
    LoadBudget(std::size_t samples, std::size_t copies);
    ~LoadBudget();
    LoadBudget(const LoadBudget&) = delete;
    LoadBudget& operator=(const LoadBudget&) = delete;

    // The budget armed now, or null.
    static LoadBudget* armed();
    // The samples a resampling may make now: `wanted`, or less while a
    // budget is armed and has less left.
    static std::size_t samplesAllowed(std::size_t wanted);
    // A resampling made `made` samples (taken from the armed budget); cut:
    // it stopped short of what its curve asked for.
    static void spendSamples(std::size_t made, bool cut);
    // Something else of the file was left out (copies beyond a cap).
    static void noteLeftOut();
    // The copy entries an array may add now: `wanted`, or less while a
    // budget is armed and has less left.
    static std::size_t copiesAllowed(std::size_t wanted);
    // An array added `made` copy entries (taken from the armed budget); cut:
    // it left copies out.
    static void spendCopies(std::size_t made, bool cut);

    std::size_t samplesLeft() const { return left_; }
    std::size_t copiesLeft() const { return copiesLeft_; }
    // Whether anything was left out while this budget was armed.
    bool leftOut() const { return leftOut_; }

private:
    std::size_t left_;
    std::size_t copiesLeft_;
    bool leftOut_ = false;
    LoadBudget* outer_;
};

}  // namespace qel
