// The tool under creation: what the next placing click puts into the scene.
// For CreateUseTool it is the scene's current template, which the scene owns;
// for every other value the view builds it and owns it until another value
// replaces it.
//
// Only the view's own tools take activeToolProperties: a template keeps its
// material, so that choosing and saving a library tool never overwrites it.

#include <vector>

#include "curves/curve.h"
#include "curves/ucurve.h"
#include "elements/lightning.h"
#include "elements/revoluton.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tools/array.h"
#include "tools/bi_tool.h"
#include "tools/cable.h"
#include "view/glview.h"

namespace qel {

namespace {

// The sphere of the Sphere tool and of the auxiliary tool: an icosahedron
// refined three times onto its sphere.
Mesh* newSphere() {
    Mesh* seed = Mesh::Icosahedron();
    Mesh* sphere = Mesh::Sphere(seed, 3, false, true);
    delete seed;
    return sphere;
}

// True when the two meshes have the same vertex positions and face corners.
bool sameGeometry(const Mesh& a, const Mesh& b) {
    if (a.vertexCount() != b.vertexCount() || a.faceCount() != b.faceCount()) return false;
    for (int i = 0; i < a.vertexCount(); ++i) {
        const vec3& p = a.vertices[i].position;
        const vec3& q = b.vertices[i].position;
        if (p.x != q.x || p.y != q.y || p.z != q.z) return false;
    }
    for (int i = 0; i < a.faceCount(); ++i)
        for (int k = 0; k < 3; ++k)
            if (a.faces[i].v[k] != b.faces[i].v[k]) return false;
    return true;
}

// True when t is a copy of the built-in tool: a plain tool without children
// with the same transform, material and mesh.
bool sameAsBuiltIn(const Tool* t, const Tool& builtIn) {
    if (t->kind != Tool::KindTool || !t->children.empty() || !t->element || !t->element->isType(Element::TType::Mesh))
        return false;
    if (!(t->transform == builtIn.transform) || !(t->pivot == builtIn.pivot) || !(t->material == builtIn.material))
        return false;
    return sameGeometry(*static_cast<const Mesh*>(t->element), *static_cast<const Mesh*>(builtIn.element));
}

Mesh* newPrimitive(GLView::TToolCreation value) {
    switch (value) {
        case GLView::CreateTetrahedron:
            return Mesh::Tetrahedron();
        case GLView::CreateCube:
            return Mesh::Cube();
        case GLView::CreateOctahedron:
            return Mesh::Octahedron();
        case GLView::CreateDodecahedron:
            return Mesh::Dodecahedron();
        case GLView::CreateIcosahedron:
            return Mesh::Icosahedron();
        case GLView::CreateCylinder:
            return Mesh::Cylinder(24, false);
        case GLView::CreateCapsule:
            return Mesh::Capsule(5, false);
        case GLView::CreateSphere:
            return newSphere();
        default:
            return nullptr;
    }
}

// The tube of a drawn outline extruded along a straight path: the path from
// (0, 0, 0) to (0, 0, -100), radii 0 and 1, both ends sharp; the profile is
// empty until the user draws it.
Tube* newStraightTube() {
    Curve* path = new Curve({vec3(0, 0, 0), vec3(0, 0, -100)}, {0.0f, 1.0f}, {true, true}, false, Curve::Plain);
    return new Tube(path, new Curve());
}

// The step of every other copy of an array: a quarter turn about z for a
// Chain, the reflection y -> -y for a Zipper, none for a Simple array.
mat4 arrayStep(int type) {
    if (type == Array::Zipper) return mat4::Mirror(vec3(0, 1, 0));
    if (type == Array::Chain) return mat4(0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return mat4::Identity();
}

}  // namespace

Tool* GLView::newPrimitiveTool(TToolCreation value) {
    if (value == CreateTubeDrawnAxis) return new Tool(newStraightTube(), mat4::Identity(), pbr(), false);
    Mesh* mesh = newPrimitive(value);
    return mesh ? new Tool(mesh, mat4::Identity(), pbr(), false) : nullptr;
}

Tool* GLView::newSweptTool(TToolCreation value) const {
    Element* e = nullptr;
    if (value == CreateRevoluton)
        // The profile is drawn by the user around the fixed axis.
        e = new Revoluton(new Curve(Curve::Plain), CurveCreation(sectionCreation, false, true));
    else if (value == CreateTube)
        // A Free axis is empty until the user draws it.
        e = new Tube(CurveCreation(axisCreation, true, true), CurveCreation(sectionCreation, false, true));
    return e ? new Tool(e, mat4::Identity(), pbr(), false) : nullptr;
}

Tool* GLView::newArrayTool(TToolCreation value) const {
    if (!isArray(value)) return nullptr;
    // The path is the axis shape resampled; a Free axis is drawn later.
    Curve* path = new UCurve(CurveCreation(axisCreation, true, true), Curve::UniformCurve);
    if (value == CreateArray)
        return new Array(path, auxiliaryTools, arrayCounts, Array::TArrayType(arrayType), arrayStep(arrayType),
                         mat4::Identity(), pbr(), false);
    // The Chain's one item: a chain-link tube scaled by 0.6 and turned a
    // quarter about x. The array keeps its own copy of it.
    const mat4 linkMatrix(0.6f, 0, 0, 0, 0, 0, -0.6f, 0, 0, 0.6f, 0, 0, 0, 0, 0, 1);
    Tool link(new Tube(Curve::Chainlink(axisSegments, false), Curve::Circle(sectionSegments, false)), linkMatrix,
              activeToolProperties, false);
    return new Array(path, {&link}, {32769}, Array::Chain, arrayStep(Array::Chain), mat4::Identity(), pbr(), false);
}

Tool* GLView::newTwoEndedTool(TToolCreation value) const {
    const mat4 I = mat4::Identity();
    if (value == CreateGuide) return new BiTool(BiTool::BiPlain, nullptr, I, pbr(), false);
    // The bolt spans z 0 .. 1 of the end's frame, stretched to the partner.
    if (value == CreateLightning)
        return new BiTool(BiTool::BiUniform, new Lightning(vec2(0.15f, 0.007f), vec2(0.005f, 0.00001f), 6), I, pbr(),
                          false);
    // The cable's tube takes the section shape as its profile.
    if (value == CreateCable) return new Cable(CurveCreation(sectionCreation, false, true), I, pbr(), false);
    // The stretch carries z 0 .. 1 of the end's frame to the partner: the
    // cylinder's z -1 .. 1 is fitted to it, the sphere shifted by half its
    // size along z.
    Mesh* mesh = nullptr;
    BiTool::TBiType type = BiTool::BiPlain;
    if (value == CreateHydraulics) {
        mesh = Mesh::Cylinder(24, false);
        type = BiTool::BiThin;
    } else if (value == CreateMuscle) {
        mesh = newSphere();
        type = BiTool::BiVolume;
    }
    if (!mesh) return nullptr;
    BiTool* end = new BiTool(type, mesh, I, activeToolProperties, false);
    Element& e = *end->element;
    if (value == CreateHydraulics) {
        e.centre = vec3(0, 0, -1);
        e.setSize(2.0f);
    } else {
        e.centre = vec3(0, 0, -e.size() * 0.5f);
    }
    return end;
}

Curve* GLView::CurveCreation(TCurveCreation shape, bool axis, bool sharpLinks) const {
    const int sides = axis ? axisSides : sectionSides;
    const int segments = axis ? axisSegments : sectionSegments;
    switch (shape) {
        case CurveSegment:
            return Curve::Segment();
        case CurveTriangle:
            return Curve::Triangle();
        case CurveSquare:
            return Curve::Quad(1.0f, 1.0f);
        case CurvePentagon:
            return Curve::Circle(5, true);
        case CurveHexagon:
            return Curve::Circle(6, true);
        case CurveNGon:
            return Curve::Circle(sides, true);
        case CurveCircle:
            return Curve::Circle(segments, false);
        case CurveTrefoilKnot:
            return Curve::TrefoilKnot(trefoilSamples);
        case CurveKnot:
            return Curve::Knot(knotP, knotQ, knotSamples);
        case CurveChainlink:
            return Curve::Chainlink(segments, sharpLinks);
        default:
            return new Curve(Curve::Plain);
    }
}

Tool* GLView::setActiveTool(TToolCreation value, bool applyMaterial) {
    // A creation command that needs a drawn outline or axis switches the
    // placing actions to Draw, every other one back to the last insert action.
    if (inMask(selectedAssemblyAction, SwitchedActions)) {
        const bool drawn = (value >= CreateProfile && value <= CreateTubeDrawnAxis) ||
                           (value >= CreateTube && value <= CreateChain && axisCreation == CurveFree);
        if (drawn) {
            selectedAssemblyAction = assemblyAction = lastCreateAction = ActionDraw;
        } else {
            selectedAssemblyAction = assemblyAction = lastInsertAction;
            if (inMask(lastInsertAction, LastCreateActions)) lastCreateAction = lastInsertAction;
        }
        redraw = 1;
    }
    if (value == toolCreation && value != CreateUseTool) return activeTool;

    if (toolCreation != CreateUseTool) {
        delete activeTool;
        delete activeToolAux;
    }
    activeTool = nullptr;
    activeToolAux = nullptr;
    toolCreation = value;
    if (value == CreateUseTool) {
        activeTool = scene->currentTool;
        // A two-ended template brings its partner, which the scene owns too.
        if (activeTool && activeTool->isBiTool()) activeToolAux = static_cast<BiTool*>(activeTool)->partner;
    } else if (isProfile(value)) {
        // The outline is drawn by the user; the tool takes its own reference.
        activeTool = new Tool(new Curve(Curve::Plain), mat4::Identity(), pbr(), false);
    } else if (value == CreateRevoluton || value == CreateTube) {
        activeTool = newSweptTool(value);
    } else if (isArray(value)) {
        activeTool = newArrayTool(value);
    } else if (isBiTool(value)) {
        activeTool = newTwoEndedTool(value);
        // The plain second end, not linked: each is deleted on its own.
        activeToolAux = new BiTool(BiTool::BiPlain, nullptr, mat4::Identity(), pbr(), false);
    } else {
        activeTool = newPrimitiveTool(value);
    }

    if (applyMaterial && value != CreateUseTool && selectedActionMode == ModeAssembly && activeTool)
        activeTool->material = activeToolProperties;
    redraw = 1;
    return activeTool;
}

void GLView::setAssemblyAction(TAssemblyAction a) {
    selectedAssemblyAction = assemblyAction = a;
    if (inMask(a, LastCreateActions)) lastCreateAction = a;
    if (inMask(a, LastInsertActions)) lastInsertAction = a;
    redraw = 1;
}

Tool* GLView::setNextTool(bool previous) {
    if (selectedActionMode == ModeAssembly && inMask(assemblyAction, LastInsertActions)) {
        scene->nextTool(previous);
        setActiveTool(CreateUseTool, true);
    }
    return activeTool;
}

Tool* GLView::UpdateActiveTool() {
    const TToolCreation current = toolCreation;
    setActiveTool(CreateUseTool, true);
    return setActiveTool(current, true);
}

Tool* GLView::setAxisCreation(TCurveCreation c) {
    axisCreation = c;
    return UpdateActiveTool();
}

Tool* GLView::setSectionCreation(TCurveCreation c) {
    sectionCreation = c;
    return UpdateActiveTool();
}

void GLView::deleteActiveTools() {
    if (toolCreation == CreateUseTool) return;
    delete activeTool;
    delete activeToolAux;
    activeTool = nullptr;
    activeToolAux = nullptr;
}

void GLView::clearActiveTool() {
    if (toolCreation == CreateUseTool) return;
    delete activeTool;
    activeTool = nullptr;
}

void GLView::setActiveToolProperties() {
    if (toolCreation == CreateUseTool || selectedActionMode != ModeAssembly || !activeTool) return;
    activeTool->material = activeToolProperties;
    redraw = 1;
}

void GLView::loadAuxiliary() {
    auxiliaryTools.clear();
    Mesh* sphere = newSphere();
    if (!sphere) return;
    auto* builtIn = new Tool(sphere, mat4::Scale(2.0f), pbr(), false);
    // A scene file saved with its library holds the built-in tool already.
    // Its first copy stays where it stands, with the objects placed from it
    // in its ring, and serves as the built-in tool; further copies go, so
    // that saving and loading again never grows or reorders the library.
    Tool* kept = nullptr;
    std::vector<Tool*> copies;
    for (Tool* t : scene->toolsRoot->children) {
        if (!sameAsBuiltIn(t, *builtIn)) continue;
        if (kept)
            copies.push_back(t);
        else
            kept = t;
    }
    for (Tool* t : copies) {
        if (scene->currentTool == t) scene->currentTool = nullptr;
        delete t;  // leaves the tools root
    }
    if (!copies.empty()) scene->toList();
    if (kept) {
        delete builtIn;
        scene->currentTool = kept;
        scene->toolsModified = 1;
        auxiliaryTools.push_back(kept);
    } else {
        auxiliaryTools.push_back(scene->addTool(builtIn));
    }
}

}  // namespace qel
