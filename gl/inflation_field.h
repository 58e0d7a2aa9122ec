#pragma once
// The GPU height field of an inflated outline. Over a W x H grid of cells it
// stamps one distance function per cell into a single-channel float render
// target, then reads the field back:
//
// - distance pass (every cell with code 2 or more): each texel ends with the
//   squared distance from its centre to the nearest boundary cell centre,
//   capped at r^2 = (resolution / 2)^2;
// - ball pass (profiles 1 and 2, every cell with a code): each texel ends
//   with the largest of its own value and R2 - d^2 over the cells, R2 being
//   the cell's squared distance from the first pass and d the distance to
//   the cell's centre: the squared height of the union of balls;
// - chamfer pass (profile 3): the same with the chamfer function
//   R2 (t < 0 ? 1 : 0.7 + sqrt(0.09 - t^2)), t = d / sqrt(R2) - 0.7, inside
//   the ball only.
//
// Each stamp combines its value with the field by min or max, which are
// exact and order-free; so every pass copies the field once and blends all
// its stamps into the copy with the matching blend equation, giving the
// field that drawing the stamps one after another produces.
//
// The object owns its framebuffer and two textures and releases them when it
// is destroyed. GUI thread only, with the GL context current.

#include "gl/fbo.h"

#include <vector>

namespace qel {

class Shader;
class Texture2D;

class InflationField {
public:
    // A w x h field for stamps of side `resolution`; no GL call.
    InflationField(int w, int h, float resolution);
    ~InflationField();
    InflationField(const InflationField&) = delete;
    InflationField& operator=(const InflationField&) = delete;

    // Runs the passes of the profile over the cell codes (w h entries, cell
    // (x, y) at w y + x) and reads the final field into `values` (w h
    // floats, same indexing). False when the framebuffer, a program or a GL
    // call fails; `values` is then left as it was. Leaves framebuffer 0
    // bound, program 0 current, depth and stencil tests off, the viewport at
    // (0, 0, w, h) and the blend state as it found it.
    bool compute(const std::vector<unsigned char>& fill, unsigned char profile, std::vector<float>& values);
    // A field of w x h for one compute: the height field that
    // SimplePolygon::triangulateU raises its grid by.
    static bool Compute(int w, int h, float resolution, const std::vector<unsigned char>& fill, unsigned char profile,
                        std::vector<float>& values);

private:
    // compute without the GL state handling.
    bool runPasses(const std::vector<unsigned char>& fill, unsigned char profile, std::vector<float>& values);
    // One stamp: the cell's centre, the side of its square, its R2.
    struct Stamp {
        float x, y, side, r2;
    };
    bool distancePass(const std::vector<unsigned char>& fill, Texture2D* src, Texture2D* dst);
    bool ballPass(const std::vector<unsigned char>& fill, Shader* program, const std::vector<float>& r2,
                  Texture2D* src, Texture2D* dst);
    // Copies src into dst, then blends every stamp drawn with the program
    // (reading src as "OldDepth") into dst with the blend equation.
    bool stampPass(Shader* program, unsigned int equation, const std::vector<Stamp>& stamps, Texture2D* src,
                   Texture2D* dst);
    // Reads the texture's single channel into values (w h floats).
    bool readBack(Texture2D* src, std::vector<float>& values);

    int w_;
    int h_;
    float resolution_;
    FBO fbo_;
    Texture2D* textures_[2];
};

}  // namespace qel
