// One placed mesh of the Wavefront scene export: see obj_mtl_tex_writer.h.

#include "mesh/obj_mtl_tex_writer.h"

#include <cstddef>
#include <utility>

#include "mesh/export_stream.h"
#include "mesh/mesh.h"
#include "mesh/texture_atlas.h"

namespace qel {

namespace {

int decimalDigits(std::int64_t n) {
    int d = 1;
    for (; n >= 10; n /= 10) ++d;
    return d;
}

}  // namespace

ObjMtlTexWriter::ObjMtlTexWriter(ExportStream& obj, ExportStream& mtl, TextureAtlas& atlas, int total,
                                 std::string material, std::string mapPrefix, Counters start)
    : obj_(obj),
      mtl_(mtl),
      atlas_(atlas),
      digits_(decimalDigits(total > 0 ? total : 0)),
      material_(std::move(material)),
      mapPrefix_(std::move(mapPrefix)),
      counters_(start) {}

bool ObjMtlTexWriter::written(const Mesh& mesh, int f) {
    if (!mesh.activeFace(f)) return false;
    const MeshFace& F = mesh.faces[std::size_t(f)];
    return mesh.validVertex(F.v[0]) && mesh.validVertex(F.v[1]) && mesh.validVertex(F.v[2]);
}

void ObjMtlTexWriter::numberVertices(const Mesh& mesh) {
    const int nV = mesh.vertexCount();
    const int nF = mesh.faceCount();
    useFace_.assign(std::size_t(nV), -1);
    writtenFaces_.clear();
    for (int f = 0; f < nF; ++f) {
        if (!written(mesh, f)) continue;
        writtenFaces_.push_back(f);
        const MeshFace& F = mesh.faces[std::size_t(f)];
        for (int k = 0; k < 3; ++k) useFace_[std::size_t(F.v[k])] = f;
    }
    faceTotal_ = int(writtenFaces_.size());
    number_.assign(std::size_t(nV), 0);
    vertexTotal_ = 0;
    for (int v = 0; v < nV; ++v)
        if (useFace_[std::size_t(v)] >= 0) number_[std::size_t(v)] = ++vertexTotal_;
}

void ObjMtlTexWriter::Measure(const Mesh& mesh, std::vector<std::uint8_t>& used, std::int64_t& vertices,
                              std::int64_t& faces) {
    used.assign(std::size_t(mesh.vertexCount()), 0);
    faces = 0;
    for (int f = 0; f < mesh.faceCount(); ++f) {
        if (!written(mesh, f)) continue;
        ++faces;
        const MeshFace& F = mesh.faces[std::size_t(f)];
        for (int k = 0; k < 3; ++k) used[std::size_t(F.v[k])] = 1;
    }
    vertices = 0;
    for (std::uint8_t u : used) vertices += u;
}

void ObjMtlTexWriter::collectRegions(const Mesh& mesh) {
    const int nV = mesh.vertexCount();
    regionStart_.assign(std::size_t(nV) + 1, 0);
    regionFaces_.clear();
    regionFaces_.reserve(std::size_t(vertexTotal_));
    for (int v = 0; v < nV; ++v) {
        regionStart_[std::size_t(v)] = int(regionFaces_.size());
        const int used = useFace_[std::size_t(v)];
        if (used < 0) continue;
        mesh.findRegions(v, regions_);
        if (regions_.empty()) regions_.push_back(used);
        regionFaces_.insert(regionFaces_.end(), regions_.begin(), regions_.end());
    }
    regionStart_[std::size_t(nV)] = int(regionFaces_.size());
}

void ObjMtlTexWriter::writeHeader() {
    const int k = ++counters_.objects;
    obj_.text("\no Object");
    for (int d = decimalDigits(k); d < digits_; ++d) obj_.text('0');
    obj_.integer(k).text("\n# ").integer(vertexTotal_).text(" vertices, ").integer(faceTotal_).text(" faces\n");
    obj_.text("usemtl ").text(material_).text('\n');
    if (declared_) return;
    declared_ = true;
    // The material and the atlases that carry its per-corner values.
    mtl_.text("\nnewmtl ").text(material_).text('\n');
    static constexpr const char* Statements[TextureAtlas::MapCount] = {"map_Kd ", "map_Ke ", "map_Pm ", "map_Pr "};
    for (int m = 0; m < TextureAtlas::MapCount; ++m)
        mtl_.text(Statements[m]).text(mapPrefix_).text(TextureAtlas::Suffix(TextureAtlas::TMap(m))).text('\n');
}

void ObjMtlTexWriter::writeVertices(const Mesh& mesh, const mat4& M) {
    const int nV = mesh.vertexCount();
    for (int v = 0; v < nV; ++v)
        if (number_[std::size_t(v)] != 0) obj_.vector("v ", M.transformProject(mesh.vertices[std::size_t(v)].position));
}

void ObjMtlTexWriter::writeTexCoords(const Mesh& mesh, const pbr& material) {
    std::int64_t cell = counters_.cellOffset;
    TextureAtlas::TexCoord uv[3];
    for (const int f : writtenFaces_) {
        const MeshFace& F = mesh.faces[std::size_t(f)];
        atlas_.paintCell(cell, material * F.material[0], material * F.material[1], material * F.material[2]);
        atlas_.cellCoordinates(cell, uv);
        // Cell centres are binary fractions of at most 8192: floats hold them exactly.
        for (const TextureAtlas::TexCoord& t : uv)
            obj_.text("vt ").number(float(t.u)).text(' ').number(float(t.v)).text('\n');
        ++cell;
    }
}

void ObjMtlTexWriter::writeNormals(const Mesh& mesh, const mat3& N) {
    const int nV = mesh.vertexCount();
    for (int v = 0; v < nV; ++v) {
        for (int i = regionStart_[std::size_t(v)]; i < regionStart_[std::size_t(v) + 1]; ++i) {
            const MeshFace& F = mesh.faces[std::size_t(regionFaces_[std::size_t(i)])];
            const int k = F.corner(v);
            obj_.vector("vn ", normalize(N * (k >= 0 ? F.normals[k] : F.normal)));
        }
    }
}

int ObjMtlTexWriter::normalIndex(const Mesh& mesh, int v, int f) const {
    const int first = regionStart_[std::size_t(v)];
    const int count = regionStart_[std::size_t(v) + 1] - first;
    // One sector holds every face round the vertex.
    if (count <= 1) return first;
    const int start = mesh.findStartRegion(v, f);
    for (int j = 0; j < count; ++j)
        if (regionFaces_[std::size_t(first + j)] == start) return first + j;
    return first;
}

void ObjMtlTexWriter::writeFaces(const Mesh& mesh, bool mirrored) {
    static constexpr int Forward[3] = {0, 1, 2};
    static constexpr int Reversed[3] = {0, 2, 1};
    const int* order = mirrored ? Reversed : Forward;
    std::int64_t tex = counters_.texOffset + 1;
    for (const int f : writtenFaces_) {
        const MeshFace& F = mesh.faces[std::size_t(f)];
        obj_.text('f');
        for (int n = 0; n < 3; ++n) {
            const int i = order[n];
            const int v = F.v[i];
            obj_.text(' ').integer(number_[std::size_t(v)] + counters_.vertexOffset);
            obj_.text('/').integer(tex + i);
            obj_.text('/').integer(normalIndex(mesh, v, f) + 1 + counters_.normalOffset);
        }
        obj_.text('\n');
        tex += 3;
    }
}

void ObjMtlTexWriter::appendOBJ_MTL_TEX(const Mesh& mesh, const mat4& M, const pbr& material) {
    numberVertices(mesh);
    collectRegions(mesh);
    writeHeader();
    writeVertices(mesh, M);
    writeTexCoords(mesh, material);
    // Normals follow the inverse transpose of the 3x3 block; under a mirror
    // it already points them outwards, and the reversed corner order keeps
    // the faces' winding outwards too.
    const mat3 B = M.block();
    writeNormals(mesh, B.inverse().transposed());
    writeFaces(mesh, B.determinant() < 0.0);

    counters_.vertexOffset += vertexTotal_;
    counters_.texOffset += 3 * std::int64_t(faceTotal_);
    counters_.normalOffset += std::int64_t(regionFaces_.size());
    counters_.cellOffset += faceTotal_;
}

}  // namespace qel
