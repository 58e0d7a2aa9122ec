// The drawn curve: after every change of the strokes or of a drawing option
// the strokes are turned into a new curve, which goes into the tool under
// creation, and the tool is placed in the drawing's frame, so that the
// object grows on screen while it is drawn. When a profile is finished its
// outline becomes a flat mesh.

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "core/mat.h"
#include "core/simple_polygon.h"
#include "core/vec.h"
#include "curves/curve.h"
#include "curves/ucurve.h"
#include "elements/revoluton.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "scene/element.h"
#include "scene/tool.h"
#include "view/gesture_steps.h"
#include "view/glview.h"

namespace qel {

namespace {

// The lists that Assemblor::ToCurve fills.
struct DrawnCurve {
    std::vector<vec3> points;
    std::vector<vec3> normals;
    std::vector<float> radii;
    std::vector<bool> sharp;
};

// Maps every position of the mesh by F as a point and every face and corner
// normal as a direction; the mesh's centre moves with its positions.
void mapMesh(Mesh& mesh, const mat4& F) {
    for (int i = 0; i < mesh.vertexCount(); ++i) {
        vec3& p = mesh.vertices[i].position;
        p = F.transformProject(p);
    }
    for (int i = 0; i < mesh.faceCount(); ++i) {
        MeshFace& f = mesh.faces[i];
        f.normal = F.transformVector(f.normal);
        for (vec3& n : f.normals) n = F.transformVector(n);
    }
    mesh.centre = F.transformProject(mesh.centre);
}

}  // namespace

void GLView::updateDrawing() {
    if (assemblor.stamps.empty() && assemblor.strokes.empty()) return;
    // A profile is an outline: always closed.
    const bool closed = closedDrawing != 0 || isProfile(toolCreation);
    DrawnCurve c;
    drawingFrame = assemblor.ToCurve(c.points, c.normals, c.radii, c.sharp, closed, drawingPlane);
    Curve* curve = new Curve(c.points, c.radii, c.sharp, closed, Curve::Plain);

    // The slot of the curve in the tool under creation. Tools without a
    // drawn curve (Use Tool, the primitives) and a missing tool leave
    // everything as it stands: their element and transform must not follow
    // a stroke.
    if (!activeTool || !placeDrawnCurve(curve)) {
        delete curve;
        redraw = 1;
        return;
    }

    // The element is centred on its box; the transform keeps the drawn curve
    // where it was drawn. A non-finite drawing keeps the previous placement,
    // so that no NaN reaches the scene through the next click.
    Element& e = *activeTool->element;
    e.initialize(Element::ResizeBox);
    const mat4 transform = drawingFrame * mat4::inverse(e.localMatrix());
    if (transform.isFinite()) activeTool->transform = transform;
    redraw = 1;
}

std::size_t GestureSteps::distinctDrawnPoints() const {
    DrawnCurve c;
    const bool closed = closedDrawing != 0 || isProfile(toolCreation);
    assemblor.ToCurve(c.points, c.normals, c.radii, c.sharp, closed, drawingPlane);
    std::vector<std::array<float, 3>> points;
    points.reserve(c.points.size());
    for (const vec3& p : c.points) points.push_back({p.x, p.y, p.z});
    std::sort(points.begin(), points.end());
    return std::size_t(std::unique(points.begin(), points.end()) - points.begin());
}

QString GestureSteps::drawingRefusal() const {
    const bool curveKind = toolCreation >= CreateRevoluton && toolCreation <= CreateChain;
    if (!curveKind && !isProfile(toolCreation)) return QString();
    const std::size_t needed = isProfile(toolCreation) ? 3 : 2;
    if (distinctDrawnPoints() >= needed) return QString();
    return QString(
               "Nothing was added: the drawing needs %1 distinct points or more. Click or drag in the view to add "
               "points, then press Enter.")
        .arg(needed == 3 ? "three" : "two");
}

bool GLView::placeDrawnCurve(Curve* curve) {
    Element* e = activeTool->element;
    Tube* tube = dynamic_cast<Tube*>(e);
    Revoluton* revoluton = dynamic_cast<Revoluton*>(e);
    switch (toolCreation) {
        case CreateRevoluton:
            if (!revoluton) return false;
            revoluton->setProfile(curve);
            break;
        case CreateTubeDrawnAxis:
            if (!tube) return false;
            tube->setProfile(curve);
            break;
        case CreateTube:
            if (!tube) return false;
            tube->setPath(curve);
            break;
        case CreateArray:
        case CreateChain:
            // The resampled curve holds the drawn one, which takes no
            // reference of its own; the array keeps its items.
            activeTool->setElement(new UCurve(curve, Curve::UniformCurve));
            return true;
        default:
            if (!isProfile(toolCreation)) return false;
            activeTool->setElement(curve);
            return true;
    }
    curve->touch();
    return true;
}

Mesh* GestureSteps::drawnProfileMesh() {
    DrawnCurve c;
    drawingFrame = assemblor.ToCurve(c.points, c.normals, c.radii, c.sharp, true, drawingPlane);
    if (c.points.size() < 3) return nullptr;
    const Curve curve(c.points, c.radii, c.sharp, true, Curve::Plain);
    mat4 F = mat4::Identity();
    const std::unique_ptr<SimplePolygon> polygon(curve.ToPolygon2D(F));
    if (!polygon) return nullptr;
    Mesh local = Mesh::FromSimplePolygon(*polygon, true, typeProfile(toolCreation), std::uint8_t(solidShape));
    // An outline without area meshes to nothing.
    if (local.status != 0 || local.faceCount() == 0) return nullptr;
    mapMesh(local, F);
    return new Mesh(local);
}

}  // namespace qel
