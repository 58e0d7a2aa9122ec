#pragma once
// qel::Clay, the clay element (element type 1): a triangle mesh whose vertex
// positions live in two GL buffers and are sculpted there by
// transform-feedback passes, so that a brush stroke never moves positions
// through the CPU. The clay's own mesh keeps everything that is not a
// position (faces, corner materials, flags, adjacency); positions are read
// back into it only when the CPU needs them (save, clone, conversion,
// subdivision).
//
// Buffer layout (both buffers alike): a non-indexed triangle list of
// 3 floats per corner, for every face of the mesh in face order, its three
// corners in corner order. Every brush pass moves a point by a function of
// its position alone, so the copies of a shared vertex move together.
//
// GL calls outside the frame (a menu command that saves, clones, converts,
// subdivides or deletes) make the view's context current first; without any
// context a read-back counts as failed and the operation changes nothing.

#include <cstdint>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "scene/element.h"

namespace qel {

class Mesh;

class Clay : public Element {
public:
    // Record tag of a clay: the mesh record with its tag replaced.
    static constexpr std::uint32_t RecordTag = 0xE000000Au;
    // Entries of the shaders' uniform arrays: stamps per pass.
    static constexpr int MaxPassEntries = 20;

    // ---- Fields after the element head ----
    Mesh* mesh = nullptr;                // the clay's own mesh, its only sub-element
    std::vector<std::uint32_t> buffers;  // two GL buffer names; {0, 0}: not built
    std::uint8_t current = 0;            // index of the buffer holding the positions
    std::uint8_t vboEnabled = 0;         // the current buffer is bound as attribute 0
    std::int32_t vertexCount = 0;        // 3 x the face count when the buffers were built

    // A clay holding its own clone of m (the caller keeps m); null gives an
    // empty clay that draws nothing.
    explicit Clay(Mesh* m);
    // An empty clay without a mesh.
    Clay();
    // Deletes the buffers (making the view's context current when none is)
    // and the mesh when no holder is left.
    ~Clay() override;
    Clay(const Clay&) = delete;
    Clay& operator=(const Clay&) = delete;

    // Centre (0,0,0), size 1, status 0, stamp 0, type 1, names {0, 0},
    // current 0.
    void init() override;
    // The mesh's initialize with the style; the mesh's centre and size become
    // the clay's. Nothing without a mesh.
    void initialize(TResizeStyle style) override;
    // ClayToMesh, then a new clay built from the mesh (no buffers until drawn).
    Element* clone() override;
    // A mesh cloned from the clay's current shape (owned by the caller);
    // null when the positions cannot be read back (nothing changes).
    Mesh* ToMesh() override;
    // Reads the positions back, subdivides the mesh, three rounds of
    // refineFlip(1) and smoothAll(false, false), and rebuilds the buffers.
    // False, changing nothing, when the positions cannot be read back.
    bool subdivide(bool smooth) override;
    // Appends the mesh.
    void subElements(std::vector<Element*>& list) override;
    // The clay alone: its mesh is written inside the clay's own record.
    void allElements(std::vector<Element*>& list) override;
    // The reference a file names the clay by also holds its mesh.
    void resolve(const std::vector<Element*>& elements) override;
    // Releases n references; forgets the mesh when that deleted it.
    void release(int n) override;

    // Copies the GPU positions into the mesh. True when the mesh holds the
    // current positions: no buffers exist, or the read-back succeeded. False
    // (the mesh unchanged) when the buffer cannot be mapped, does not hold
    // 9 floats per face, or no GL context can be made current.
    bool ClayToMesh();
    // Deletes the buffers and builds them again from the mesh's positions.
    void MeshToClay();

    // Builds both buffers from the mesh (once). False for a mesh without
    // faces, without a context or on a GL error (the names are then
    // deleted, so that a later call builds again).
    bool buildVBO() override;
    // Deletes both buffers; centre and size stay.
    void deleteVBO() override;
    // Binds the current buffer as attribute 0 (building it first).
    bool enableVBO() override;
    void disableVBO() override;
    bool renderBegin() override;
    void renderEnd() override;
    // Draws the triangles with one colour, light and material; colorLight
    // and time are not used by a clay.
    void render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight colorLight,
                float time, bool end) override;

    // Appends the mesh record of the current shape under the clay's tag.
    // Appends nothing when the positions cannot be read back, so that the
    // file writer refuses the save.
    void DataWrite(buffer& b) override;

    // ---- Sculpting on the GPU (clay_sculpt.cpp) ----
    // One transform-feedback step per call for the latest step of every
    // Sculptor (Subdivide subdivides at the end of its gesture instead).
    void sculpt(std::vector<Sculptor*>& sculptors) override;
    // The passes. Each runs over at most MaxPassEntries entries at a time
    // (one buffer flip per run) and runs nothing when the radius is not
    // positive or a scalar is not finite.
    void deform(const std::vector<vec3>& centres, const std::vector<vec3>& displacements, float radius);
    void deformVolume(const std::vector<vec3>& centres, const std::vector<mat3>& frames, float weight, float radius);
    void pinch(const std::vector<vec3>& centres, float intensity, float radius);
    void twist(const std::vector<vec3>& centres, const std::vector<vec3>& axes, float cosA, float sinA, float radius);
    void subPlane(const std::vector<vec3>& centres, const std::vector<vec3>& normals);
    void flatten(const std::vector<vec3>& centres, const std::vector<vec3>& normals, float intensity, float radius);
    // One transform-feedback pass of the program in use from the current
    // buffer into the other one, which then becomes current. Nothing when the
    // buffers are not built.
    void displace();

    // GL calls can be made: the function table exists and a context is
    // current.
    static bool glReady();

private:
    // Binds the shared vertex array object and points attribute 0 at the
    // buffer (3 floats per point). False when the array object is missing.
    static bool bindPositions(std::uint32_t name);
    // Deletes the two names (with a current context) and forgets them.
    void dropBuffers();

    // Per vertex of the mesh, the first buffer point holding it (-1: used by
    // no face); made with the buffers, so that a read-back takes each vertex
    // once instead of once per corner.
    std::vector<std::int32_t> firstPoint_;
};

}  // namespace qel
