#pragma once
// Meshes kept as files for the mesh tests (tests/mesh/data), and the sculpt
// strokes a user made on them.
//
// A kept mesh (.kept) holds what a scene load reads of a mesh record but the
// materials, little-endian: centre (3 f32) and size (f32); u32 vertex count,
// then per vertex its position (3 f32) and flags (u8); u32 face count, then
// per face its corners (3 i32) and flags (u8). It is finished as a load
// finishes a record (initialize, keeping centre and size), so the mesh is
// the one the saved scene gives. data/trim_mesh_record.py makes one from a
// saved scene.
//
// A stroke file (.stroke), one command a line:
//   sculptor ACTION SELECT VX VY VZ ONSECTION HANDEDNESS PAINTMASK
//     starts a sculptor (begin) with that action, scope, view direction,
//     section flag, handedness and paint mask;
//   sample N STATE KIND PX PY PZ NX NY NZ RADIUS ITEMID STRENGTH R G B A
//          ROUGHNESS METAL
//     sets sculptor N's gesture state and appends a brush sample (point,
//     normal, radius, picked face, strength, colour, roughness, metalness);
//   sculpt
//     calls Mesh::sculpt with the sculptors so far.
// A sculptor line after a sculpt call starts the next stroke: its
// sculptors replace the last stroke's, and its samples count them from 0.
// Floats are written as hexadecimal floats.

#include <functional>
#include <memory>
#include <string>

#include "mesh/mesh.h"

namespace meshtest {

// The kept mesh, null when the file cannot be read whole.
std::unique_ptr<qel::Mesh> loadKeptMesh(const std::string& path);

// Replays the stroke file on m; after each sculpt call, `after` gets the
// call's number (from 1) and may stop the replay by returning false. False
// when the file cannot be read or holds a line it does not know.
bool replayStrokes(qel::Mesh& m, const std::string& path, const std::function<bool(int call)>& after);

// What a save and load of m loses, as a scene file keeps it: the mesh's
// record written, read back and finished as a load finishes it, then
// written again. "" when the load builds its connectivity, keeps every
// active vertex and face, and the second record is the first byte for byte.
std::string reloadProblem(qel::Mesh& m);

}  // namespace meshtest
