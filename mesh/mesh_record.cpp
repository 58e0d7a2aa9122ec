// The mesh's element record: writing and reading the body
//
//   centre (3 f32), size (f32), u32 nV, nV vertex records, u32 nF, nF faces
//
// Vertex record (13 bytes): x, y, z (f32), flags (u8).
// Face record (73 bytes): per corner u32 vertex index and the 20-byte
// material, then the flags byte. Files of version 20060411 or older carry
// 41-byte faces: per corner u32 index, four u8 colour and four u8 light
// channels (each becomes the high byte of the 16-bit channel), then four
// ignored bytes and the flags byte.
//
// Neighbour links, stored faces, selection indices and normals are not
// stored; initialize(0) rebuilds them after the scene is read. A centre,
// size or position that is not finite is repaired on reading (see readBody),
// so a damaged file never gives the mesh a matrix of NaNs.

#include <cmath>
#include <cstdint>
#include <vector>

#include "gl/buffer.h"
#include "mesh/mesh.h"

namespace qel {

namespace {

constexpr std::uint32_t HeadSize = 16;  // centre and size
constexpr std::uint32_t VertexRecordSize = 13;
constexpr std::uint32_t FaceRecordSize = 73;
constexpr std::uint32_t OldFaceRecordSize = 41;

bool finite(const vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// Reads one vertex record; a coordinate that is not finite reads as 0, and
// the result is then false.
bool readVertex(buffer& b, MeshVertex& r) {
    r.position = b.readVec3();
    r.flags = b.readU8();
    if (finite(r.position)) return true;
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(r.position[i])) r.position[i] = 0.0f;
    return false;
}

// True when every face names vertices of the list (read as unsigned, so a
// negative index is out of range too).
bool indicesInRange(const Mesh::FaceList& faces, std::uint32_t vertexCount) {
    bool ok = true;
    faces.forRange(0, faces.size(), [&ok, vertexCount](const MeshFace& r) {
        for (int k = 0; k < 3; ++k)
            if (std::uint32_t(r.v[k]) >= vertexCount) ok = false;
    });
    return ok;
}

// Reads the body into m's (empty) lists. False on a body that is short for
// its counts (the cursor is then at the end, the buffer's flag set) or that
// names a vertex outside the list (the body is then consumed). A centre, size
// or position that is not finite is damage the mesh survives: such positions
// read as 0 and centre and size are taken from the vertices as the OBJ import
// takes them; false only when even those are not finite.
bool readBody(Mesh& m, buffer& b) {
    if (!b.require(1, HeadSize + 4)) return false;
    m.centre = b.readVec3();
    const float size = b.readF32();
    m.setSize(size);
    bool sound = finite(m.centre) && std::isfinite(size);
    const std::uint32_t nV = b.readU32();
    // The vertex records and the face count must be there before anything
    // is allocated for them.
    if (!b.require(std::uint64_t(nV) * VertexRecordSize + 4, 1)) return false;
    m.vertices.resize(nV);
    m.vertices.forRange(0, nV, [&b, &sound](MeshVertex& r) { sound = readVertex(b, r) && sound; });
    const std::uint32_t nF = b.readU32();
    if (!b.require(nF, FILE_VERSION <= Mesh::LastOldFaceVersion ? OldFaceRecordSize : FaceRecordSize)) return false;
    m.faces.resize(nF);
    m.faces.forRange(0, nF, [&b](MeshFace& r) { r.read(b); });
    if (!indicesInRange(m.faces, nV)) return false;
    if (!sound) m.calculateSize(Element::ResizeMean);
    return finite(m.centre) && std::isfinite(m.size());
}

}  // namespace

void MeshVertex::write(buffer& b) const {
    b.writeVec3(position);
    b.writeU8(flags);
}

void MeshFace::write(buffer& b) const {
    for (int k = 0; k < 3; ++k) {
        b.writeU32(std::uint32_t(v[k]));
        material[k].DataWrite(b);
    }
    b.writeU8(flags);
}

void MeshFace::read(buffer& b) {
    if (FILE_VERSION <= Mesh::LastOldFaceVersion) {
        readOld(b);
        return;
    }
    for (int k = 0; k < 3; ++k) {
        v[k] = std::int32_t(b.readU32());
        material[k].read(b);
    }
    flags = b.readU8();
}

// The 41-byte layout: 8-bit channels land in the high byte of the 16-bit
// ones (255 reads as 65280); roughness and metalness are 0.
void MeshFace::readOld(buffer& b) {
    std::uint8_t raw[OldFaceRecordSize] = {};
    b.readBytes(raw, OldFaceRecordSize);
    for (int k = 0; k < 3; ++k) {
        const std::uint8_t* c = raw + 12 * k;
        v[k] = std::int32_t(std::uint32_t(c[0]) | (std::uint32_t(c[1]) << 8) | (std::uint32_t(c[2]) << 16) |
                            (std::uint32_t(c[3]) << 24));
        pbr& m = material[k];
        for (int i = 0; i < 4; ++i) {
            m.colour[i] = std::uint16_t(unsigned(c[4 + i]) << 8);
            m.light[i] = std::uint16_t(unsigned(c[8 + i]) << 8);
        }
        m.roughness = 0;
        m.metalness = 0;
    }
    flags = raw[40];
}

Mesh::Mesh(buffer& b) : Mesh() { DataRead(b); }

void Mesh::DataWrite(buffer& b) {
    const std::vector<std::uint8_t> flags = settledVertexFlags();
    const std::int32_t lengthAt = b.beginRecord(RecordTag);
    b.reserve(std::size_t(b.size()) + HeadSize + 8 + VertexRecordSize * vertices.size() +
              FaceRecordSize * faces.size());
    b.writeVec3(centre);
    b.writeF32(size());
    b.writeU32(std::uint32_t(vertices.size()));
    const std::uint8_t* flag = flags.data();
    vertices.forRange(0, vertices.size(), [&b, &flag](const MeshVertex& r) {
        b.writeVec3(r.position);
        b.writeU8(*flag++);
    });
    b.writeU32(std::uint32_t(faces.size()));
    faces.forRange(0, faces.size(), [&b](const MeshFace& r) { r.write(b); });
    b.endRecord(lengthAt);
}

std::vector<std::uint8_t> Mesh::settledVertexFlags() {
    // The edits keep each vertex's sharp and border bits, but only
    // initialize decides which vertices are corners. Its vertex pass runs
    // here on the mesh's own links, and the stored faces and flags it
    // rewrites are put back: the mesh in memory is not changed.
    struct Kept {
        std::int32_t face;
        std::uint8_t flags;
    };
    std::vector<std::uint8_t> flags;
    flags.reserve(vertices.size());
    // A mesh whose connectivity failed keeps its flags through a load too.
    if (status != 0) {
        vertices.forRange(0, vertices.size(), [&flags](const MeshVertex& r) { flags.push_back(r.flags); });
        return flags;
    }
    std::vector<Kept> kept;
    kept.reserve(vertices.size());
    vertices.forRange(0, vertices.size(), [&kept](const MeshVertex& r) { kept.push_back({r.face, r.flags}); });
    initializeVertices();
    const Kept* k = kept.data();
    vertices.forRange(0, vertices.size(), [&flags, &k](MeshVertex& r) {
        flags.push_back(r.flags);
        r.face = k->face;
        r.flags = k->flags;
        ++k;
    });
    return flags;
}

// Reads one body at the cursor (tag and length already consumed). Counts
// are checked against the bytes left and vertex indices against the
// vertex count: a bad body leaves an empty mesh with status 1 and never
// reads outside the buffer (a short one moves the cursor to the end and
// sets the buffer's failure flag); a sound one is consumed exactly.
// Links, normals and vertex fans are left to initialize(0).
void Mesh::DataRead(buffer& b) {
    // The record replaces whatever the mesh held (nothing, when called from
    // the constructor); a selection of the old records must not outlive them.
    deselectAll();
    vertices.clear();
    faces.clear();
    if (!readBody(*this, b)) {
        // A damaged record yields no geometry: nothing of it is trusted.
        vertices.clear();
        faces.clear();
        status = 1;
        return;
    }
    // A record written before meshes were kept in space order (or of a mesh
    // made in another order) is renumbered now, before the rebuild: its
    // next write holds the new order, and a load of that keeps it.
    if (importScattered()) orderSpatially();
}

}  // namespace qel
