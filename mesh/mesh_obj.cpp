// Wavefront OBJ files of qel::Mesh: loading by extension, reading and
// parsing the file, the single-object export and the sector walk that the
// export's normals come from.

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <string>

#include "core/strings.h"
#include "mesh/mesh.h"
#include "mesh/obj_parser.h"
#include "mesh/obj_writer.h"

namespace qel {

namespace {

// Meshes named relative to the objects folder live here (relative to the
// working directory).
const std::string ObjectsFolder = std::string("Scenes/") + "Objects/";

// The text from the path's last '.' to its end, upper-cased; empty without
// a '.'.
std::string extension(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : toUpper(path.substr(dot));
}

bool isObjPath(const std::string& path) { return extension(path) == ".OBJ"; }

}  // namespace

Mesh::Mesh(const std::string& name, bool relative) : Mesh() {
    const bool inFolder = relative && (name.empty() || name[0] != ':');
    load(inFolder ? ObjectsFolder + name : name);
}

bool Mesh::load(const std::string& path) {
    {
        // Read access is all an import needs: read-only files load too.
        QFile probe(QString::fromStdString(path));
        if (!probe.open(QIODevice::ReadOnly)) {
            status = 1;
            return false;
        }
    }
    init();
    if (!isObjPath(path) || !loadOBJ(path)) {
        // Callers look at the status: an empty mesh must not pass for a
        // loaded one.
        status = 1;
        return false;
    }
    initializeReconstructSharp(ResizeMean);
    return status == 0;
}

bool Mesh::loadOBJ(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return false;
    return parseOBJ(bytes.constData(), std::size_t(bytes.size()));
}

bool Mesh::parseOBJ(const char* text, std::size_t size) {
    ObjParser(*this).parse(text, size);
    return true;
}

bool Mesh::save(const std::string& path) { return isObjPath(path) && saveOBJ(path); }

bool Mesh::saveOBJ(const std::string& path) {
    std::string text;
    ObjWriter(*this).write(text);
    // Written to a temporary file that replaces the target only when
    // complete, so a failed save leaves an existing file as it was.
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) return false;
    const qint64 n = qint64(text.size());
    if (file.write(text.data(), n) != n) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
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
