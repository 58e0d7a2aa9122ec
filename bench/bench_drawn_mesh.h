#pragma once
// A benchmark mesh drawn as the program draws it: its buffers built on the
// benchmarks' GL context, and brought up to date after each edit.

#include <benchmark/benchmark.h>

#include "bench/bench_gl_context.h"
#include "mesh/mesh.h"

namespace benchgl {

// Makes the context current and builds the mesh's buffers; false (the state
// told why) without a context or when the build fails.
inline bool drawMesh(benchmark::State& state, qel::Mesh& mesh) {
    if (!makeContext()) {
        state.SkipWithError("no OpenGL 4.0 core context");
        return false;
    }
    if (!mesh.buildVBO()) {
        state.SkipWithError("the buffers cannot be built");
        return false;
    }
    gl->glFinish();
    return true;
}

// Brings the mesh's buffers up to date; false (the state told) when it
// fails.
inline bool updateMesh(benchmark::State& state, qel::Mesh& mesh) {
    if (mesh.buildVBO()) return true;
    state.SkipWithError("buildVBO failed");
    return false;
}

}  // namespace benchgl
