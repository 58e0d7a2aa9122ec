#pragma once
// Drawing steps shared by the elements that keep their own vertex buffers
// (meshes, curves, tubes, revolutons): the engine's one vertex array
// object, the unit shapes' claim on attribute 0, and the uniforms of the
// surface and line programs. The normal matrix lives in
// gl/normal_matrix.h and is reached through this header too.

#include <cstdint>

#include "core/mat.h"
#include "core/vec.h"
#include "gl/normal_matrix.h"
#include "gl/pbr.h"

namespace qel {

// Binds the engine's shared vertex array object, creating it (with the
// unit square) when needed: attribute state of the core profile lives
// there. False when it cannot be made.
bool bindVertexArray();

// Attribute 0 is about to read another buffer: the unit shapes must set
// their pointer again before their next draw.
void forgetUnitShapes();

// Points attributes 0..5 at the blocks of the surface buffer bound as
// GL_ARRAY_BUFFER, in the layout of "Mesh/Mesh.glsl": position (3 floats),
// normal (3 half floats), colour and light (4 normalised bytes each),
// material (2 i16, integer) and id (u32, integer), stride 0, at the
// offsets given, and enables them.
void pointSurfaceAttributes(const std::uint64_t (&offsets)[6]);
// Disables attributes 0..5 and unbinds GL_ARRAY_BUFFER.
void releaseSurfaceAttributes();

// The scene-pass uniforms of "Mesh/Mesh.glsl" on the program in use for
// the object matrix M (the drawing matrix times the element's local
// matrix): "ProjectionModelViewMatrix", "NormalMatrix", "ObjectId",
// "ItemId", "ObjectColor", "ObjectLight" (channels / 65535) and
// "ObjectMaterial" (2 x roughness, 2 x metalness).
void setSurfaceUniforms(unsigned objectId, unsigned itemId, const mat4& M, const pbr& material);

// The uniforms of the feature lines on the program in use:
// "ProjectionModelViewMatrix" = the offset projection times M, and "Color"
// = the colour bytes / 255.
void setFeatureUniforms(const mat4& M, const bvec4& colour);

}  // namespace qel
