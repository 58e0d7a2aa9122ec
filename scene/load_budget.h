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
// is first listed. Beside the samples and copies a budget holds bytes: what
// the file makes the program build and hold for drawing, the surfaces of
// its swept elements (paid when the file is joined, before the first frame
// builds them) and the pixels of the images it names (paid from their
// headers, before they are decoded). What does not fit is left out, and the
// budget remembers that it was, so that the file can be named in a warning,
// with the images it cut.
//
// Budgets nest: every armed budget limits and pays for what is made while
// it is armed. GUI thread only. Outside a load nothing is armed and every
// question is answered in full.

#include <cstddef>
#include <string>
#include <vector>

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
    // The bytes one file may make the program build for drawing: a fixed
    // allowance (about a tenth of a second of filling and 130
    // megabytes) and more for every byte of the file.
    static constexpr std::size_t BytesPerLoad = std::size_t(128) << 20;
    static constexpr std::size_t BytesPerFileByte = 1024;
    // The names of what was left out that a budget keeps for its warning.
    static constexpr std::size_t MaxNames = 4;

    // The samples a file of that many bytes may make while it loads.
    static std::size_t samplesForFile(std::size_t bytes);
    // The copy entries a file of that many bytes may add.
    static std::size_t copiesForFile(std::size_t bytes);
    // The bytes a file of that many bytes may make the program build.
    static std::size_t bytesForFile(std::size_t bytes);

    // Arms a budget of `samples` and of the fixed copy allowance until it
    // is destroyed; it does not limit the bytes built.
    explicit LoadBudget(std::size_t samples);
    // Arms a budget of `samples`, `copies` and `bytes` until it is
    // destroyed.
    LoadBudget(std::size_t samples, std::size_t copies, std::size_t bytes);
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
    // Something named was left out or cut (an image): remembered, by name,
    // by every armed budget (the first MaxNames names).
    static void noteLeftOut(const std::string& name);
    // The bytes a build may make now: `wanted`, or less while a budget is
    // armed and has less left.
    static std::size_t bytesAllowed(std::size_t wanted);
    // A build of `made` bytes was made (taken from every armed budget).
    static void spendBytes(std::size_t made);

    std::size_t samplesLeft() const { return left_; }
    std::size_t copiesLeft() const { return copiesLeft_; }
    std::size_t bytesLeft() const { return bytesLeft_; }
    // Whether anything was left out while this budget was armed.
    bool leftOut() const { return leftOut_; }
    // The named things left out, in the order they were.
    const std::vector<std::string>& leftOutNames() const { return names_; }

private:
    std::size_t left_;
    std::size_t copiesLeft_;
    std::size_t bytesLeft_;
    bool leftOut_ = false;
    std::vector<std::string> names_;
    LoadBudget* outer_;
};

}  // namespace qel
