#pragma once
// qel::LoadBudget: the work one file may cause while it is read and joined.
//
// A file of a few hundred bytes can ask for far more than its size: a
// resampled curve over a long, thin base wants a sample every step of its
// tiny radius, several records may resample the same curve again, arrays on
// such curves multiply their copies, and a tube on such curves or an image
// with a large screen wants gigabytes. The scene's loader arms a budget for
// the time of a load (a caller may arm a smaller one around it, as the view
// does for the samples its scene already holds); the resampling draws its
// samples from the armed budget, the arrays the file brings draw the list
// entries of their copies from it when the scene is first listed, and the
// swept surfaces (paid when the file is joined, before the first frame
// builds them) and the images it names (paid from their headers, before
// they are decoded) draw bytes from it.
//
// A load's budget is a fixed share of the machine, whatever the file's size:
// what the program itself made within it opens whole, a small file cannot
// cost more. What does not fit is left out, and the budget remembers what
// and how much, so that the file can be named in a warning that says so.
// An image refused once is refused again, without being read, for its
// other users in the same load. Images are told apart by the file their
// path names, however the path is spelled (ImageFile::identity), or by the
// spelling of a path that names no file.
//
// Budgets nest: every armed budget limits and pays for what is made while
// it is armed. GUI thread only. Outside a load nothing is armed and every
// question is answered in full.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace qel {

class Texture;

class LoadBudget {
public:
    // The samples the resampled curves of one load may make, repeated
    // resamplings included: four of the largest resamplings, about a second
    // of work (a sample costs far more time than memory).
    static constexpr std::size_t SamplesPerLoad = std::size_t(1) << 18;
    // The samples the resampled curves of one scene may hold together.
    static constexpr std::size_t SamplesPerScene = std::size_t(1) << 22;
    // The list entries the arrays one load brings may add for their copies,
    // nested copies counted, when the scene is first listed (about a second
    // of listing at most).
    static constexpr std::size_t CopiesPerLoad = std::size_t(1) << 22;
    // The bytes one load may make the program build and hold: the swept
    // surfaces and the images, the samples and the copies' list entries at
    // what each costs. The share is the smaller of MostBytesPerLoad and an
    // eighth of the machine's physical memory.
    static constexpr std::size_t MostBytesPerLoad = std::size_t(1) << 30;
    static constexpr std::size_t BytesPerSample = 256;
    static constexpr std::size_t BytesPerCopy = 160;
    // The distinct images a budget names in its warning.
    static constexpr std::size_t MaxNames = 4;

    // The bytes one load may build on this machine.
    static std::size_t bytesPerLoad();

    // What a budget left out, for the words of its warning. Counts saturate.
    struct LeftOut {
        std::uint64_t tubes = 0, tubeBytes = 0;            // swept surfaces of tubes
        std::uint64_t revolutons = 0, revolutonBytes = 0;  // and of revolutons
        std::uint64_t copies = 0;                          // array copies, nested ones counted
        std::uint64_t cutCurves = 0;                       // resamplings cut short
        std::vector<std::string> images;                   // images cut or refused, each once
        std::uint64_t moreImages = 0;                      // distinct images beyond MaxNames
    };
    // The kinds of swept surface.
    enum class TSurface { Tube, Revoluton };

    // Arms the fixed budget of one load until it is destroyed.
    LoadBudget();
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
    // budget is armed and has less left (samples or their bytes).
    static std::size_t samplesAllowed(std::size_t wanted);
    // A resampling made `made` samples (taken from the armed budgets with
    // their bytes); cut: it stopped short of what its curve asked for.
    static void spendSamples(std::size_t made, bool cut);
    // Something else of the file was left out.
    static void noteLeftOut();
    // The copy entries an array may add now: `wanted`, or less while a
    // budget is armed and has less left (entries or their bytes).
    static std::size_t copiesAllowed(std::size_t wanted);
    // An array added `made` copy entries (taken from the armed budgets with
    // their bytes); cut: it left copies out.
    static void spendCopies(std::size_t made, bool cut);
    // The lists of a load left out `count` array copies, nested ones
    // counted.
    static void noteCopiesLeftOut(std::uint64_t count);
    // A swept surface of `bytes` was left out `count` times.
    static void noteSurfaceLeftOut(TSurface kind, std::uint64_t count, std::uint64_t bytes);
    // An image was cut or, `refused`, left out whole: remembered by every
    // armed budget, and a refused one as refused; the warning names it by
    // the first spelling noted.
    static void noteImage(const std::string& name, bool refused);
    // An armed budget refused the image that name gives before: it is
    // refused again without being read.
    static bool refusedBefore(const std::string& name);
    // The bytes a build may make now: `wanted`, or less while a budget is
    // armed and has less left.
    static std::size_t bytesAllowed(std::size_t wanted);
    // A build of `made` bytes was made (taken from every armed budget).
    static void spendBytes(std::size_t made);

    // The texture the armed load made of the image file at `path` for
    // sprites of `kind` (their record tag), null when none: the sprites of
    // one load that name one file, by any spelling, share it, its pixels
    // decoded and paid for once. Outside a load nothing is shared.
    static std::shared_ptr<Texture> sharedImage(std::uint32_t kind, const std::string& path);
    // Keeps `texture` as the armed load's texture of that file.
    static void shareImage(std::uint32_t kind, const std::string& path, const std::shared_ptr<Texture>& texture);

    std::size_t samplesLeft() const { return left_; }
    std::size_t copiesLeft() const { return copiesLeft_; }
    std::size_t bytesLeft() const { return bytesLeft_; }
    // Whether anything was left out while this budget was armed.
    bool leftOut() const { return leftOut_; }
    // The named images cut or left out, in the order they were, each once.
    const std::vector<std::string>& leftOutNames() const { return what_.images; }
    // What was left out while this budget was armed.
    const LeftOut& whatLeftOut() const { return what_; }

private:
    std::size_t left_;
    std::size_t copiesLeft_;
    std::size_t bytesLeft_;
    bool leftOut_ = false;
    LeftOut what_;
    std::unordered_set<std::string> noted_;    // every image noted, by key
    std::unordered_set<std::string> refused_;  // the images refused, by key
    LoadBudget* outer_;
    // The textures this load made, by sprite kind and image key.
    std::map<std::pair<std::uint32_t, std::string>, std::weak_ptr<Texture>> images_;
};

}  // namespace qel
