// Fuzz target of the OBJ import: Mesh::parseOBJ on arbitrary text, the
// space order of a scattered import, the rebuild with sharp edges from the
// normal numbers, and the export of the result read back.
//
// Checked: no read outside the text and no hang (the sanitizers and
// libFuzzer's limits); every parsed corner names a vertex of the list; after
// a successful rebuild the mesh keeps its invariants (mutual links across
// edges joining the same vertices, one orientation, one fan per vertex,
// border and sharp flags, stored faces), a second rebuild changes no corner
// and no link, and the export parses back to as many vertices and faces as
// it announced.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/obj_diagnosis.h"
#include "mesh/obj_writer.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

int activeFaces(const qel::Mesh& m) {
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f)
        if (m.faces[f].isActive()) ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qel::Mesh m;
    m.parseOBJ(reinterpret_cast<const char*>(data), size);
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) check(m.validVertex(m.faces[f].v[k]));
    // Text that gives no face always has a reason, told by its line.
    const std::string why = qel::ObjDiagnosis::Why(reinterpret_cast<const char*>(data), size);
    if (m.faceCount() == 0 && why.empty()) {
        std::fprintf(stderr, "no face and no reason\n");
        std::abort();
    }

    // Half the inputs take the space order of a scattered import first
    // (the import orders only large meshes).
    if (size % 2 == 1) {
        const int nV = m.vertexCount(), nF = m.faceCount();
        m.orderSpatially();
        check(m.vertexCount() == nV && m.faceCount() == nF);
        for (int f = 0; f < m.faceCount(); ++f)
            for (int k = 0; k < 3; ++k) check(m.validVertex(m.faces[f].v[k]));
    }
    m.initializeReconstructSharp(qel::Element::ResizeMean);
    if (m.status != 0) return 0;
    const std::string broken = meshtest::checkMeshInvariants(m);
    if (!broken.empty()) {
        std::fprintf(stderr, "mesh invariant broken: %s\n", broken.c_str());
        std::abort();
    }
    // A second rebuild finds nothing to repair: corners and links stay.
    qel::Mesh again(m);
    again.initialize(qel::Element::ResizeKeep);
    check(again.status == 0 && again.vertexCount() == m.vertexCount() && again.faceCount() == m.faceCount());
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k)
            check(again.faces[f].v[k] == m.faces[f].v[k] && again.faces[f].f[k] == m.faces[f].f[k]);

    std::string text;
    qel::ObjWriter(m).write(text);
    qel::Mesh back;
    back.parseOBJ(text.data(), text.size());
    check(back.faceCount() == activeFaces(m));
    return 0;
}
