// The text of an OBJ export of a mesh: see obj_writer.h.

#include "mesh/obj_writer.h"

#include <charconv>
#include <cstddef>
#include <cstdint>

#include "mesh/mesh.h"

namespace qel {

namespace {

// The shortest text that reads back to exactly this float.
void appendFloat(std::string& out, float value) {
    char text[32];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    out.append(text, r.ptr);
}

void appendInt(std::string& out, long long value) {
    char text[24];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    out.append(text, r.ptr);
}

void appendVector(std::string& out, const char* prefix, const vec3& p) {
    out += prefix;
    appendFloat(out, p.x);
    out += ' ';
    appendFloat(out, p.y);
    out += ' ';
    appendFloat(out, p.z);
    out += '\n';
}

}  // namespace

void ObjWriter::prepare(std::string& out) {
    numberVertices();
    collectRegions();
    const std::size_t normals = regionFaces_.size();
    out.reserve(out.size() + 80 + 40 * (std::size_t(vertexTotal_) + normals) + 40 * std::size_t(faceTotal_));
}

void ObjWriter::write(std::string& out) {
    prepare(out);
    out += "# Tessilor OBJ export\n# ";
    appendInt(out, vertexTotal_);
    out += " vertices, ";
    appendInt(out, faceTotal_);
    out += " faces\n\n";
    writeVertices(out, nullptr);
    writeNormals(out, nullptr);
    writeFaces(out, 0, 0, false);
}

void ObjWriter::writeObject(std::string& out, const std::string& name, const mat4& M, std::int64_t vertexBase,
                            std::int64_t normalBase) {
    prepare(out);
    out += "\no ";
    out += name;
    out += "\n# ";
    appendInt(out, vertexTotal_);
    out += " vertices, ";
    appendInt(out, faceTotal_);
    out += " faces\n";
    const mat3 B = M.block();
    const mat3 N = B.inverse().transposed();
    writeVertices(out, &M);
    writeNormals(out, &N);
    writeFaces(out, vertexBase, normalBase, B.determinant() < 0.0);
}

bool ObjWriter::written(int f) const {
    if (!mesh_.activeFace(f)) return false;
    const MeshFace& F = mesh_.faces[std::size_t(f)];
    return mesh_.validVertex(F.v[0]) && mesh_.validVertex(F.v[1]) && mesh_.validVertex(F.v[2]);
}

void ObjWriter::numberVertices() {
    const int nV = mesh_.vertexCount();
    const int nF = mesh_.faceCount();
    number_.assign(std::size_t(nV), 0);
    faceTotal_ = 0;
    for (int f = 0; f < nF; ++f) {
        if (!written(f)) continue;
        ++faceTotal_;
        const MeshFace& F = mesh_.faces[std::size_t(f)];
        for (int k = 0; k < 3; ++k) number_[std::size_t(F.v[k])] = 1;
    }
    vertexTotal_ = 0;
    for (int& n : number_)
        if (n != 0) n = ++vertexTotal_;
}

void ObjWriter::collectRegions() {
    const int nV = mesh_.vertexCount();
    regionStart_.assign(std::size_t(nV) + 1, 0);
    regionFaces_.clear();
    regionFaces_.reserve(std::size_t(vertexTotal_));
    std::vector<int> regions;
    for (int v = 0; v < nV; ++v) {
        regionStart_[std::size_t(v)] = int(regionFaces_.size());
        if (number_[std::size_t(v)] == 0) continue;
        mesh_.findRegions(v, regions);
        regionFaces_.insert(regionFaces_.end(), regions.begin(), regions.end());
    }
    regionStart_[std::size_t(nV)] = int(regionFaces_.size());
}

void ObjWriter::writeVertices(std::string& out, const mat4* M) const {
    const int nV = mesh_.vertexCount();
    for (int v = 0; v < nV; ++v) {
        if (number_[std::size_t(v)] == 0) continue;
        const vec3& p = mesh_.vertices[std::size_t(v)].position;
        appendVector(out, "v ", M ? M->transformProject(p) : p);
    }
}

void ObjWriter::writeNormals(std::string& out, const mat3* N) const {
    const int nV = mesh_.vertexCount();
    for (int v = 0; v < nV; ++v) {
        for (int i = regionStart_[std::size_t(v)]; i < regionStart_[std::size_t(v) + 1]; ++i) {
            const MeshFace& F = mesh_.faces[std::size_t(regionFaces_[std::size_t(i)])];
            const vec3& n = F.normals[F.corner(v)];
            appendVector(out, "vn ", N ? normalize(*N * n) : n);
        }
    }
}

int ObjWriter::normalNumber(int v, int f) const {
    const int first = regionStart_[std::size_t(v)];
    const int count = regionStart_[std::size_t(v) + 1] - first;
    if (count == 0) return 0;
    // One sector holds every face round the vertex.
    if (count == 1) return first + 1;
    const int start = mesh_.findStartRegion(v, f);
    for (int j = 0; j < count; ++j)
        if (regionFaces_[std::size_t(first + j)] == start) return first + j + 1;
    return 0;
}

void ObjWriter::writeFaces(std::string& out, std::int64_t vertexBase, std::int64_t normalBase, bool mirrored) const {
    static constexpr int Forward[3] = {0, 1, 2};
    static constexpr int Reversed[3] = {0, 2, 1};
    const int* order = mirrored ? Reversed : Forward;
    const int nF = mesh_.faceCount();
    for (int f = 0; f < nF; ++f) {
        if (!written(f)) continue;
        const MeshFace& F = mesh_.faces[std::size_t(f)];
        out += 'f';
        for (int i = 0; i < 3; ++i) {
            const int v = F.v[order[i]];
            out += ' ';
            appendInt(out, number_[std::size_t(v)] + vertexBase);
            out += "//";
            const int n = normalNumber(v, f);
            if (n > 0) appendInt(out, n + normalBase);
        }
        out += '\n';
    }
}

}  // namespace qel
