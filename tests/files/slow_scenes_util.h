#pragma once
// Small scene files that cost far more to open than their size suggests:
// resampled curves whose two-vertex base is long against its stored size
// and thin, so that the resampling asks for a sample every thousandth of a
// unit. Each is built from the engine's own records and returned as the
// bytes of a .tl file.

#include <cstdint>
#include <string>
#include <vector>

namespace qel {
class Scene;
}

namespace slowscenes {

using Bytes = std::vector<std::uint8_t>;

struct Case {
    std::string name;  // also the name of its copy in the reader's corpus
    Bytes bytes;
};

// An object showing a resampled curve over a base from (0, 0, 0) to
// (length, 0, 0) of radius 0 and stored size 1.
Bytes longResampledCurve(float length = 1000.0f);
// An object showing a tube whose path and profile are both such resampled
// curves.
Bytes tubeOnResampledCurves(float length = 1000.0f);
// An object that is an array on such a resampled curve whose one template
// is an array on another, the inner template a tool without element.
Bytes nestedArraysOnResampledCurves(float length = 1000.0f);
// `count` objects, each with its own resampled curve as above: the cost of
// a file grows with its records.
Bytes manyResampledCurves(int count, float length = 1000.0f);
// One object showing a resampled curve over a base of `chains` such
// chains.
Bytes manyChainsResampled(int chains, float length = 1000.0f);
// `count` objects, each a tube on the same two resampled curves: every
// tube resamples them again when the file is joined.
Bytes tubesOnSharedResampledCurves(int count, float length = 1000.0f);
// Arrays nested `depth` deep, each on its own resampled curve.
Bytes deepNestedArrays(int depth, float length = 1000.0f);
// `count` objects side by side, each arrays nested `depth` deep as above.
Bytes sideBySideDeepNestedArrays(int count, int depth, float length = 1000.0f);

// An object showing a revoluton whose profile and section are both such
// resampled curves.
Bytes revolutonOnResampledCurves(float length = 1000.0f);
// `count` objects, each a revoluton on the same two such curves.
Bytes revolutonsOnResampledCurves(int count, float length = 1000.0f);
// `count` arrays on such a resampled curve, each laying copies of a tube on
// the same two resampled curves.
Bytes arraysOfTubesOnSharedCurves(int count, float length = 1000.0f);
// `count` cables (each with its plain other end) whose section is one
// resampled curve; with `shareTube` every cable names the first one's tube,
// so that each takes a tube of its own when it is first drawn.
Bytes cablesOnResampledSection(int count, bool shareTube, float length = 1000.0f);
// `count` tubes (or revolutons) on one resampled curve as above and a
// plain circle of `circle` vertices.
Bytes sweptOnResampledAndCircle(int count, bool revoluton, int circle, float length = 1000.0f);
// `count` tubes on two plain curves of `pathVertices` and `sectionVertices`
// vertices (an open polyline and a closed polygon): a surface of
// (pathVertices - 1) x sectionVertices quads each, from plain records.
Bytes tubesOnPlainCurves(int count, int pathVertices, int sectionVertices);
// An object showing an animated sprite of the image at `imagePath`, which
// must exist while the file is made (it is read then).
Bytes animatedSpriteOf(const std::string& imagePath);
// The bytes of a GIF of `frames` frames of one pixel on a logical screen of
// w x h.
Bytes gifOfTinyFrames(int w, int h, int frames);
// The first 13 bytes of a GIF whose header claims a logical screen of w x h:
// the file ends before any frame.
Bytes gifScreenOnly(int w, int h);
// `count` objects, each a still sprite of its own naming the image at
// `imagePath`, which should not exist while the file is made (nothing is
// decoded then).
Bytes spritesOf(const std::string& imagePath, int count);
// The same with animated sprites.
Bytes animatedSpritesOf(const std::string& imagePath, int count);
// `count` objects, each a still sprite naming the image `name` in `folder`
// by a spelling of its own: folder/name, folder/./name, folder/././name and
// so on (the scene is made as spritesOf makes it).
Bytes spritesOfSpellings(const std::string& folder, const std::string& name, int count);

// The cases kept in the scene reader's corpus, by name.
std::vector<Case> keptCases();
// Files just under 10 KB that ask for as much work as such a file can.
std::vector<Case> largestCases();
// Small files whose first frame would build large swept surfaces.
std::vector<Case> surfaceCases();
// Scenes of a few hundred bytes to a few kilobytes naming GIFs whose
// screens are far over the load's share: a 9.2 KB animation of 400
// one-pixel frames on an 8000 x 8000 screen, a 66-byte one of two frames on
// a 16000 x 16000 screen shown as a still sprite, and a 43-byte one of one
// such frame shown by twenty still sprites. The GIFs are written into
// `folder`, which must stay while the scenes are opened.
std::vector<Case> gifCases(const std::string& folder);
// A scene of twenty still sprites naming one 4096 x 4096 PNG (written
// into `folder`) by twenty spellings of its path: the image is decoded
// once, whatever the spelling.
Case spelledImageCase(const std::string& folder);
// Every generated small file whose first frame is held to the load's
// budget: the kept, largest, surface, GIF and spelled image cases, in that
// order.
std::vector<Case> firstFrameCases(const std::string& folder);

// The samples the resampled curves of the scene's objects hold.
std::size_t heldSamples(const qel::Scene& scene);

}  // namespace slowscenes
