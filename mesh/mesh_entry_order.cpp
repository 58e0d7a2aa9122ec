// The order of a mesh made other than by an OBJ import: the mesh of a
// conversion, a subdivision or a pattern that appended its new records at
// the end. Such a mesh is put into the order an import gives a scattered file
// (orderSpatially) and linked again, so that a brush stamp and the buffer
// refills it causes read and write near records.

#include "mesh/mesh.h"
#include "mesh/mesh_stroke.h"

namespace qel {

bool Mesh::orderIfScattered() {
    if (!importScattered()) return false;
    orderInSpace();
    return true;
}

void Mesh::orderInSpace() {
    // Every index kept outside the records is dropped: the selection, what
    // a stroke keeps, the GL buffers' layout.
    deselectAll();
    forgetOpenStroke();
    stroke_.reset();
    orderSpatially();
    // The rebuild an import runs after its order: links, stored faces,
    // vertex bits and normals from the new numbers; centre and size kept.
    initialize(ResizeKeep);
}

}  // namespace qel
