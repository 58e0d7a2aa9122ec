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
// stored; initialize(0) rebuilds them after the scene is read. Nor are the
// transient marks of the flags (selection, the orientation walk's visited
// mark, the sculpting mark): a record read back never carries them, so that
// a mesh saved with a selection open (a stroke cut short) loads as it was
// saved, and an older file that holds them loads without marks nothing
// lists. A centre,
// size or position that is not finite is repaired on reading (see readBody),
// so a damaged file never gives the mesh a matrix of NaNs.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "gl/buffer.h"
#include "mesh/corner_edges.h"
#include "mesh/mesh.h"

namespace qel {

namespace {

constexpr std::uint32_t HeadSize = 16;  // centre and size
constexpr std::uint32_t VertexRecordSize = 13;
constexpr std::uint32_t FaceRecordSize = 73;
constexpr std::uint32_t OldFaceRecordSize = 41;

// The flag bits a record keeps: a vertex's feature bits and a face's sharp
// edges, and the active bit of both.
constexpr std::uint8_t KeptVertexFlags =
    MeshVertex::SharpBit | MeshVertex::CornerBit | MeshVertex::BorderBit | MeshVertex::ActiveBit;
constexpr std::uint8_t KeptFaceFlags = MeshFace::SharpMask | MeshFace::ActiveBit;

bool finite(const vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// Reads one vertex record; a coordinate that is not finite reads as 0, and
// the result is then false.
bool readVertex(buffer& b, MeshVertex& r) {
    r.position = b.readVec3();
    r.flags = std::uint8_t(b.readU8() & KeptVertexFlags);
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
    b.writeU8(std::uint8_t(flags & KeptVertexFlags));
}

void MeshFace::write(buffer& b) const {
    for (int k = 0; k < 3; ++k) {
        b.writeU32(std::uint32_t(v[k]));
        material[k].DataWrite(b);
    }
    b.writeU8(std::uint8_t(flags & KeptFaceFlags));
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
    flags = std::uint8_t(b.readU8() & KeptFaceFlags);
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
    flags = std::uint8_t(raw[40] & KeptFaceFlags);
}

Mesh::Mesh(buffer& b) : Mesh() { DataRead(b); }

namespace {

void encodeVertex(std::uint8_t* p, const MeshVertex& r, std::uint8_t flags) {
    for (int i = 0; i < 3; ++i) buffer::storeF32(p + 4 * i, r.position[i]);
    p[12] = std::uint8_t(flags & KeptVertexFlags);
}

// The 20-byte material record, as pbr::DataWrite appends it. On a
// little-endian machine the record is the material as held in memory.
void encodeMaterial(std::uint8_t* p, const pbr& m) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    static_assert(sizeof(pbr) == pbr::RecordSize && offsetof(pbr, light) == 8 && offsetof(pbr, roughness) == 16 &&
                      offsetof(pbr, metalness) == 18,
                  "the material record is the material's own bytes");
    std::memcpy(p, &m, pbr::RecordSize);
#else
    for (int i = 0; i < 4; ++i) buffer::storeU16(p + 2 * i, m.colour[i]);
    for (int i = 0; i < 4; ++i) buffer::storeU16(p + 8 + 2 * i, m.light[i]);
    buffer::storeU16(p + 16, std::uint16_t(m.roughness));
    buffer::storeU16(p + 18, std::uint16_t(m.metalness));
#endif
}

// The 73-byte face record, as MeshFace::write appends it.
void encodeFace(std::uint8_t* p, const MeshFace& F) {
    for (int k = 0; k < 3; ++k, p += 24) {
        buffer::storeU32(p, std::uint32_t(F.v[k]));
        encodeMaterial(p + 4, F.material[k]);
    }
    *p = std::uint8_t(F.flags & KeptFaceFlags);
}

// Face i's share of the state of its vertices. A vertex's stored face is
// read from its record: the vertices of neighbouring faces are near one
// another, so their records are at hand.
inline void gatherSettling(VertexSettling* seen, const Mesh::VertexList& vertices, const MeshFace& f, int i,
                           int faceCount) {
    const bool plain = plainFace(f.f, f.flags, faceCount);
    for (int k = 0; k < 3; ++k) {
        const std::size_t v = std::uint32_t(f.v[k]);
        if (v >= vertices.size()) continue;
        std::uint8_t corner = plain ? std::uint8_t(CornerOnSmoothEdge) : cornerEdges(f.f, f.flags, k, faceCount);
        corner = std::uint8_t(corner | (vertices[v].face == i) * CornerStartSeen);
        seen[v].add(corner);
    }
}

// The records of the n faces F[0, n) (face `first` on), one after the other
// from p on; with `seen`, each active face's share of the state of its
// vertices is gathered while the face is in the cache. The faces are asked
// for ahead: the hardware's own look-ahead stops at every page.
void encodeFaces(std::uint8_t* p, const MeshFace* F, std::size_t n, int first, VertexSettling* seen,
                 const Mesh::VertexList& vertices, int faceCount) {
    constexpr std::size_t Ahead = 8;
    for (std::size_t j = 0; j < n; ++j, p += FaceRecordSize) {
        if (j + Ahead < n)
            for (std::size_t line = 0; line < sizeof(MeshFace); line += 64)
                __builtin_prefetch(reinterpret_cast<const char*>(&F[j + Ahead]) + line);
        const MeshFace& f = F[j];
        encodeFace(p, f);
        if (seen && f.isActive()) gatherSettling(seen, vertices, f, first + int(j), faceCount);
    }
}

// The flags of a vertex that meets only smooth edges, its stored face being
// one of its faces, as the vertex pass of initialize leaves them (see
// settledFlags); false for any other vertex.
inline bool plainSettled(const MeshVertex& r, VertexSettling s, std::uint8_t& flags) {
    constexpr std::uint8_t Bits = MeshVertex::SharpBit | MeshVertex::CornerBit | MeshVertex::BorderBit;
    if (!r.isActive() || r.face < 0) return false;
    if (s.state() != (CornerStartSeen | CornerOnSmoothEdge)) return false;
    flags = std::uint8_t(r.flags & ~Bits);
    return true;
}

}  // namespace

// Faces encoded between spills of a spilling buffer: about a megabyte, so
// that the bytes are still in the cache when they are handed on.
constexpr std::size_t FacesPerBlock = 1u << 14;
// Vertex records encoded apart at a time when the buffer spills.
constexpr std::size_t VerticesApart = 1u << 14;

void Mesh::DataWrite(buffer& b) {
    const std::size_t nV = vertices.size(), nF = faces.size();
    const std::int32_t lengthAt = b.beginRecord(RecordTag);
    const std::size_t facesHeld = b.spills() ? std::min(nF, FacesPerBlock) : nF;
    const std::size_t verticesHeld = b.spills() ? 0 : nV;
    b.reserve(std::size_t(b.size()) + HeadSize + 8 + VertexRecordSize * verticesHeld + FaceRecordSize * facesHeld);
    b.writeVec3(centre);
    b.writeF32(size());
    b.writeU32(std::uint32_t(nV));
    // The vertex records are filled in once the faces are out: their flags
    // follow from what the faces tell of them.
    const std::int32_t vertexAt = b.gap(VertexRecordSize * nV);
    if (vertexAt < 0) {
        b.endRecord(lengthAt);
        return;
    }
    b.writeU32(std::uint32_t(nF));
    // The faces go out as they are, a block at a time; on the way, what the
    // vertex pass of initialize needs of them is gathered (see
    // settledFlags).
    bool settle = status == 0;
    std::vector<VertexSettling> seen(settle ? nV : 0);
    const int faceCount = int(nF);
    for (std::size_t from = 0; from < nF; from += FacesPerBlock) {
        const std::size_t to = std::min(nF, from + FacesPerBlock);
        std::uint8_t* out = b.append(FaceRecordSize * (to - from));
        if (!out) {
            settle = false;
            break;
        }
        for (std::size_t i = from, n = 0; i < to; i += n, out += FaceRecordSize * n) {
            const MeshFace* F = faces.contiguous(i, n);
            n = std::min(n, to - i);
            encodeFaces(out, F, n, int(i), settle ? seen.data() : nullptr, vertices, faceCount);
        }
        b.spill();
    }
    // Reserved room: the vertex records have not moved, unless the buffer
    // spills (then they are encoded apart, a run at a time, and fill their
    // gap).
    const bool apart = vertexAt < b.spilled();
    std::vector<std::uint8_t> run(apart ? VertexRecordSize * std::min(nV, VerticesApart) : 0);
    for (std::size_t from = 0; from < nV; from += VerticesApart) {
        const std::size_t to = std::min(nV, from + VerticesApart);
        std::uint8_t* vertex = apart ? run.data() : b.data() + (vertexAt - b.spilled()) + VertexRecordSize * from;
        std::uint8_t* p = vertex;
        for (std::size_t v = from, n = 0; v < to; v += n) {
            MeshVertex* r = vertices.contiguous(v, n);
            n = std::min(n, to - v);
            for (std::size_t j = 0; j < n; ++j, p += VertexRecordSize) {
                std::uint8_t flags = r[j].flags;
                if (settle && !plainSettled(r[j], seen[v + j], flags)) flags = settledFlags(int(v + j), seen[v + j]);
                encodeVertex(p, r[j], flags);
            }
        }
        if (apart) b.overwrite(vertexAt + std::int32_t(VertexRecordSize * from), vertex, std::size_t(p - vertex));
    }
    b.endRecord(lengthAt);
}

std::uint8_t Mesh::settledFlags(int v, const VertexSettling& s) {
    // The vertex pass of initializeVertices for one vertex, on its gathered
    // state: most vertices are told apart by it; the others are walked as
    // that pass walks them, and their stored face and flags put back, so
    // that the mesh in memory is not changed.
    MeshVertex& r = vertices[v];
    if (!r.isActive() || r.face < 0) return r.flags;
    constexpr std::uint8_t Bits = MeshVertex::SharpBit | MeshVertex::CornerBit | MeshVertex::BorderBit;
    if (s.state() == (CornerStartSeen | CornerOnSmoothEdge) || s.state() == CornerStartSeen)
        return std::uint8_t(r.flags & ~Bits);
    if (s.state() == (CornerStartSeen | CornerOnSharpEdge)) {
        const std::uint8_t flags = std::uint8_t((r.flags & ~MeshVertex::BorderBit) | MeshVertex::SharpBit);
        return s.corners() >= 3 ? std::uint8_t(flags | MeshVertex::CornerBit) : flags;
    }
    const MeshVertex kept = r;
    if (s.state() & CornerOnSharpEdge) r.flags = std::uint8_t(r.flags | MeshVertex::SharpBit);
    vertexUpdate(v);
    if (corner(v)) r.flags = std::uint8_t(r.flags | MeshVertex::SharpBit | MeshVertex::CornerBit);
    const std::uint8_t flags = r.flags;
    r = kept;
    return flags;
}

// Reads one body at the cursor (tag and length already consumed). Counts
// are checked against the bytes left and vertex indices against the
// vertex count: a bad body leaves an empty mesh with status 1 and never
// reads outside the buffer (a short one moves the cursor to the end and
// sets the buffer's failure flag); a sound one is consumed exactly.
// Links, normals and vertex fans are left to initialize(0).
void Mesh::DataRead(buffer& b) {
    topologyEdited();
    // The record replaces whatever the mesh held (nothing, when called from
    // the constructor); a selection of the old records must not outlive them.
    deselectAll();
    vertices.clear();
    faces.clear();
    spaceOrderFaces_ = 0;
    positionsEdited();
    if (!readBody(*this, b)) {
        // A damaged record yields no geometry: nothing of it is trusted.
        vertices.clear();
        faces.clear();
        status = 1;
        return;
    }
    // A large mesh listed in random order (a file written by a build that
    // kept a scattered mesh as it was) is put in space order before its
    // rebuild, so that strokes on it read and write near records. Every
    // other record keeps the order it was written in: the orders this
    // program makes and edits meshes in, an edit's appended records
    // included, are never taken for random, so a file it wrote comes back
    // as it was saved, and its next save writes the same bytes.
    if (randomlyListed()) orderSpatially();
}

}  // namespace qel
