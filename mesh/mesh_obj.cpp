// Wavefront OBJ files of qel::Mesh: loading by extension, reading and
// parsing the file, the single-object export, the objects of multi-object
// exports and the sector walk that the exports' normals come from.

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>

#include "core/file_failure.h"
#include "core/folders.h"
#include "core/strings.h"
#include "mesh/export_stream.h"
#include "mesh/mesh.h"
#include "mesh/obj_diagnosis.h"
#include "mesh/obj_mtl_tex_writer.h"
#include "mesh/obj_parser.h"
#include "mesh/obj_writer.h"
#include "mesh/texture_atlas.h"

namespace qel {

namespace {

// The text from the path's last '.' to its end, upper-cased; empty without
// a '.'.
std::string extension(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : toUpper(path.substr(dot));
}

bool isObjPath(const std::string& path) { return extension(path) == ".OBJ"; }

// The rest of a file whose size is not known in advance (a pipe, a special
// file), read in chunks to its end; false on a read error.
bool readToEnd(QFile& file, std::string& text) {
    constexpr qint64 Chunk = qint64(1) << 20;
    for (;;) {
        const std::size_t had = text.size();
        text.resize(had + std::size_t(Chunk));
        const qint64 n = file.read(&text[had], Chunk);
        if (n < 0) return false;
        text.resize(had + std::size_t(n));
        if (n == 0) return true;
    }
}

// Hands the whole text of the file to use(text, size) and returns its
// result; false when the file cannot be read whole. Read access is all an
// import needs: read-only files load too. A file is handed over where it
// lies, mapped whole: no copy, no limit on its size. A file that cannot be
// mapped (one of unknown size, a special file) is read to its end instead.
template <class Use>
bool withText(const std::string& path, Use use) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return false;
    const qint64 size = file.size();
    if (size > 0 && std::uint64_t(size) <= std::uint64_t(SIZE_MAX)) {
        if (const uchar* map = file.map(0, size)) return use(reinterpret_cast<const char*>(map), std::size_t(size));
    }
    std::string text;
    if (!readToEnd(file, text)) return false;
    return use(text.data(), text.size());
}

bool hasActiveFace(const Mesh& m) {
    for (int f = 0; f < m.faceCount(); ++f)
        if (m.faces[f].isActive()) return true;
    return false;
}

}  // namespace

// An empty mesh loaded from a file (load). With relative set, a name not
// starting with ':' is looked up in the objects folder. The result is in
// the status: 0 usable, 1 the load failed.
Mesh::Mesh(const std::string& name, bool relative) : Mesh() {
    const bool inFolder = relative && (name.empty() || name[0] != ':');
    load(inFolder ? std::string(ObjectsFolder) + name : name);
}

// ".OBJ" (any case): reads the file (read-only), parses it, orders the
// records spatially when the file's order is far from the surface's, and
// rebuilds the topology with sharp edges from the normal numbers (resize
// style mean). False with status 1, and the mesh left as it was, when the file
// cannot be read whole, has another extension, yields no face, has
// faces that do not form a valid surface or a size beyond the float
// range.
bool Mesh::load(const std::string& path) {
    std::string error;
    return load(path, error);
}

bool Mesh::load(const std::string& path, std::string& error, std::string* leftOut) {
    // The file is read into a mesh aside: a refused file leaves this one as
    // it was. Callers look at the status: a mesh without a face, or one too
    // large or too small to measure in floats (its placement scales by the
    // reciprocal of the size), must not pass for a loaded one.
    error.clear();
    if (leftOut) leftOut->clear();
    Mesh loaded;
    std::size_t facesLeftOut = 0;
    if (!isObjPath(path) || !loaded.loadOBJ(path, &facesLeftOut)) {
        status = 1;
        error = isObjPath(path) ? readFailure(path) : "it is not an OBJ file";
        if (error.empty()) error = "it could not be read whole";
        return false;
    }
    // Once, before any record is named anywhere: an order far from the
    // surface's makes every later walk wait on memory.
    if (loaded.importScattered()) loaded.orderSpatially();
    loaded.initializeReconstructSharp(ResizeMean);
    if (loaded.status != 0 || !hasActiveFace(loaded)) {
        status = 1;
        // The line that caused it, from the text read once more.
        withText(path, [&error](const char* text, std::size_t size) {
            error = ObjDiagnosis::Why(text, size);
            return true;
        });
        if (error.empty()) error = "its faces do not form a surface";
        return false;
    }
    if (!std::isfinite(loaded.size()) || !std::isfinite(1.0f / loaded.size())) {
        status = 1;
        error = "its vertices lie too far apart, or too close together, to measure";
        return false;
    }
    // Face lines that gave no face are named from the text read once more:
    // a sound file costs nothing for it.
    if (facesLeftOut != 0 && leftOut)
        withText(path, [&](const char* text, std::size_t size) {
            *leftOut = ObjDiagnosis::LeftOut(text, size, facesLeftOut);
            return true;
        });
    init();
    vertices.swap(loaded.vertices);
    faces.swap(loaded.faces);
    centre = loaded.centre;
    setSize(loaded.size());
    vertexMark = loaded.vertexMark;
    faceMark = loaded.faceMark;
    needsCompaction = loaded.needsCompaction;
    return true;
}

// Reads the file whole (mapped, or read to its end when it cannot be
// mapped) and parses it (parseOBJ) into the mesh's lists; false when it
// cannot be read whole. No rebuild.
bool Mesh::loadOBJ(const std::string& path, std::size_t* facesLeftOut) {
    topologyEdited();
    return withText(path, [&](const char* text, std::size_t size) { return parseOBJ(text, size, facesLeftOut); });
}

// Appends the "v" and "f" statements of OBJ text (up to the first NUL)
// as vertices and fan-triangulated faces (a polygon whose fan folds is
// triangulated inside its outline; obj_parser.h); corner normals hold
// the normal numbers. Faces with a zero or out-of-range vertex number are
// skipped; negative numbers count back from the records read so far.
bool Mesh::parseOBJ(const char* text, std::size_t size, std::size_t* facesLeftOut) {
    topologyEdited();
    ObjParser parser(*this);
    parser.parse(text, size);
    if (facesLeftOut) *facesLeftOut = parser.facesLeftOut();
    return true;
}

// ".OBJ" (any case): saveOBJ; false for any other extension.
bool Mesh::save(const std::string& path) { return isObjPath(path) && saveOBJ(path); }

// Writes active faces and the vertices they use, one normal per
// sharp-bounded sector ("f v//n"), to a temporary file renamed over the
// path; false when it cannot be written (an existing file is untouched).
bool Mesh::saveOBJ(const std::string& path, std::string* error) {
    std::string text;
    ObjWriter(*this).write(text);
    // Written to a temporary file that replaces the target only when
    // complete, so a failed save leaves an existing file as it was.
    QSaveFile file(QString::fromStdString(path));
    const qint64 n = qint64(text.size());
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(text.data(), n) == n && file.commit();
    if (!ok) {
        if (error) *error = writeFailure(path, &file);
        file.cancelWriting();
    }
    return ok;
}

void Mesh::ToPoints(std::vector<vec3>& points) const {
    points.reserve(points.size() + vertices.size());
    vertices.forRange(0, vertices.size(), [&points](const MeshVertex& r) { points.push_back(r.position); });
}

// One object of a multi-object OBJ file (obj_writer.h): the file's
// header line while objectCounter is 0; then objectCounter grows by one
// and names the object ("o Object1", ...); the vertices placed by M, the
// normals and the faces follow, numbered on from the two bases, which
// advance by what was written.
void Mesh::appendOBJ(std::ostream& obj, int& objectCounter, int& vertexBase, int& normalBase, const mat4& M) const {
    std::string text;
    if (objectCounter == 0) text += "# Tessilor OBJ export\n";
    ++objectCounter;
    ObjWriter writer(*this);
    writer.writeObject(text, "Object" + std::to_string(objectCounter), M, vertexBase, normalBase);
    obj.write(text.data(), std::streamsize(text.size()));
    vertexBase += writer.vertexTotal();
    normalBase += writer.normalTotal();
}

// The same as a textured object (obj_mtl_tex_writer.h): "o ObjectK"
// with "usemtl MaterialK" (K = objectCounter + 1), the material declared
// in mtl with its four maps, which are saved as name + "_basecolor.png",
// "_emission.png", "_metalness.png" and "_roughness.png" and named in
// mtl by their file names. The counters advance. False, writing nothing,
// when the faces do not fit in one atlas; false too when a map or a
// stream could not be written.
bool Mesh::appendOBJMTL(std::ostream& obj, std::ostream& mtl, const std::string& name, int& objectCounter,
                        int& vertexBase, int& texBase, int& normalBase, const mat4& M, const pbr& material) const {
    std::vector<std::uint8_t> used;
    std::int64_t nV = 0, nF = 0;
    ObjMtlTexWriter::Measure(*this, used, nV, nF);
    TextureAtlas atlas;
    if (!atlas.create(nF)) return false;

    // The maps are saved beside the name; the MTL file names them relative
    // to its own folder.
    const int k = objectCounter + 1;
    const QString images = QString::fromStdString(name);
    ExportStream objText(obj), mtlText(mtl);
    ObjMtlTexWriter::Counters start;
    start.objects = objectCounter;
    start.vertexOffset = vertexBase;
    start.texOffset = texBase;
    start.normalOffset = normalBase;
    ObjMtlTexWriter writer(objText, mtlText, atlas, 0, "Material" + std::to_string(k),
                           QFileInfo(images).fileName().toStdString(), start);
    writer.appendOBJ_MTL_TEX(*this, M, material);
    const bool objWritten = objText.flush();
    bool ok = mtlText.flush() && objWritten;
    for (int m = 0; m < TextureAtlas::MapCount; ++m) {
        QSaveFile file(images + TextureAtlas::Suffix(TextureAtlas::TMap(m)));
        ok = file.open(QIODevice::WriteOnly) && atlas.save(TextureAtlas::TMap(m), file) && file.commit() && ok;
    }
    const ObjMtlTexWriter::Counters& end = writer.counters();
    objectCounter = end.objects;
    vertexBase = int(end.vertexOffset);
    texBase = int(end.texOffset);
    normalBase = int(end.normalOffset);
    return ok;
}

int Mesh::findRegions(int v, std::vector<int>& regions) const {
    regions.clear();
    const int s = startFace(v);
    if (s < 0) return 0;
    if (!vertices[std::size_t(v)].isSharp()) {
        regions.push_back(s);
        return 1;
    }
    // Forward circling from the stored face (the first face of a border
    // vertex's fan): a face opens a sector when its edge from v to the next
    // corner is sharp or open. Bounded by the face count against corrupt
    // link cycles.
    int f = s;
    for (std::size_t step = 0; step <= faces.size(); ++step) {
        const MeshFace& F = faces[std::size_t(f)];
        const int k = F.corner(v);
        if (k < 0) break;
        if (bounded(F, (k + 2) % 3)) regions.push_back(f);
        const int g = link(F, (k + 1) % 3);
        if (g < 0 || g == s) break;
        f = g;
    }
    // A sharp vertex whose fan has no bounded edge is one sector.
    if (regions.empty()) regions.push_back(s);
    return int(regions.size());
}

}  // namespace qel
