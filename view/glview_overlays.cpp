// The interaction overlays, drawn over the mixed image in the transparent
// layer's output: the curve being drawn, the creation circle, the placement
// markers, the pivot gizmo with its axis tripod and labels, and the
// sculpting gizmos (stamps, cutting plane line, cutting sphere circles, the
// brush circle). Thin lines, circles and small squares in flat colours,
// without ids or lighting.

#include <algorithm>
#include <cmath>
#include <vector>

#include "gl/fboscene.h"
#include "gl/fonts.h"
#include "gl/gl.h"
#include "gl/gldraw.h"
#include "gl/shader.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/glview.h"
#include "view/view_passes.h"

namespace qel {

namespace {

// The draw program uses r, g, b only.
const bvec4 Red(255, 0, 0, 255);
const bvec4 Orange(239, 186, 0, 0);
const bvec4 Green(0, 255, 0, 255);
const bvec4 White(255, 255, 255, 255);
const bvec4 Blue(0, 0, 255, 255);
const bvec4 Magenta(255, 0, 255, 0);
const bvec4 AxisColours[3] = {bvec4(255, 68, 68, 255), bvec4(68, 255, 68, 255), bvec4(68, 68, 255, 0)};
const char* const AxisLabels[3] = {"x", "y", "z"};

// The tripod's axis length and the labels' distance beyond its ends, and
// the tick of the clipping planes, in pixels.
constexpr float TripodPixels = 150.0f;
constexpr float LabelPixels = 10.0f;
constexpr float TickPixels = 20.0f;

// What every overlay of one frame shares: the view, the world-to-clip
// matrix, the size of a point marker and the world length of one pixel
// (block-size lock honoured), both at the focus depth.
struct Overlay {
    GLView& view;
    mat4 world;
    float pointSize;
    float pixel;
};

// The unit vector along a, or zero for a zero vector.
vec2 unit(vec2 a) {
    const double l = length(a);
    return l > 0.0 ? a / float(l) : vec2(0.0f, 0.0f);
}

// The stamps' pixels coincide: a plane or sphere drawn from them would be
// degenerate.
bool samePixel(const ABrush& a, const ABrush& b) { return a.x == b.x && a.y == b.y; }

// A marker facing the viewer.
void facingPoint(const Overlay& o, const vec3& p, const mat4& M, const bvec4& colour) {
    GLPoint(o.pointSize, o.view.ScreenNormal(), p, M, colour);
}

// A marker on a stamp, lifted along its normal by the point size so that
// the surface does not hide it.
void liftedPoint(const Overlay& o, const ABrush& s, const bvec4& colour) {
    GLPoint(o.pointSize, s.normal, s.point + s.normal * o.pointSize, o.world, colour);
}

// ---- Curve drawing ----

// The stamp whose frames place the drawing: the first single stamp, else
// the first stamp of the first stroke; null when there is none.
const ABrush* drawingStamp(const Assemblor& a) {
    if (!a.stamps.empty()) return &a.stamps.front();
    if (!a.strokes.empty() && !a.strokes.front().stamps.empty()) return &a.strokes.front().stamps.front();
    return nullptr;
}

// The drawn curve through M, joined back to its first point when closed.
void curvePolyline(const Overlay& o, const mat4& M, bool closed) {
    std::vector<vec3> points, normals;
    std::vector<float> radii;
    std::vector<bool> sharp;
    o.view.assemblor.ToCurve(points, normals, radii, sharp, closed, o.view.drawingPlane);
    const mat4 T = o.world * M;
    for (std::size_t i = 1; i < points.size(); ++i) GLDrawSegment(points[i - 1], points[i], T, Green);
    if (closed && points.size() > 1) GLDrawSegment(points.back(), points.front(), T, Green);
}

// The corner markers: red for a Shift corner, white for Alt, blue for
// Control; free points get none.
void cornerMarkers(const Overlay& o, const mat4& M) {
    static const bvec4* const kinds[4] = {nullptr, &Red, &White, &Blue};
    std::vector<SBrush> samples;
    o.view.assemblor.ToBrushes(samples, o.view.drawingPlane);
    for (const SBrush& s : samples)
        if (s.kind >= 1 && s.kind <= 3) facingPoint(o, M.transformProject(s.point), o.world, *kinds[s.kind]);
}

void drawCurveOverlay(const Overlay& o) {
    const GLView& v = o.view;
    const Assemblor& a = v.assemblor;
    if (!a.stamps.empty()) {
        const vec3 p0 = a.stamps.front().point, p1 = a.stamps.size() > 1 ? a.stamps[1].point : p0;
        facingPoint(o, p0, o.world, Orange);
        facingPoint(o, p1, o.world, Orange);
        GLDrawSegment(p0, p1, o.world, Orange);
    }
    const ABrush* s = drawingStamp(a);
    if (a.strokes.empty() || !s) return;
    // The stamp's frames take world space into the drawing's element; their
    // inverse followed by the drawing plane maps the drawing frame back to
    // world space. Frames without an inverse give nothing to draw.
    mat4 back;
    if (!(s->elementFrame * s->objectFrame).tryInverse(back)) return;
    const mat4 M = back * v.drawingPlane;
    if (a.strokeStamps() >= 2) curvePolyline(o, M, v.closedDrawing || GLView::isProfile(v.toolCreation));
    cornerMarkers(o, M);
}

// ---- Assembly gizmos ----

// The brush circle of a tube, array or chain creation, in window pixels
// around the cursor; the pen's pressure sizes it while no curve is drawn.
void drawCreationCircle(const Overlay& o) {
    const GLView& v = o.view;
    const bool array = GLView::isArray(v.toolCreation);
    float b = v.brushSize;
    if (!v.drawing && !array && v.tabletState == 2) b *= v.pressure;
    const float unlocked = float(length(v.ScreenRadius(false)));
    if (!(unlocked > 0.0f)) return;
    const float r = b * o.pixel / unlocked;
    const mat4 pixels = Ortho01 * mat4::Scale(1.0f / float(v.width), 1.0f / float(v.height), 1.0f);
    const vec3 centre(float(v.cursorPixel[0]), float(v.cursorPixel[1]), 0.0f);
    GLDrawCircle(r, vec3(0, 0, 1), centre, pixels, Red);
}

// The two ends of a two-ended tool being placed, joined, with the brush
// circle around each.
void drawPlacementMarkers(const Overlay& o) {
    const GLView& v = o.view;
    const ABrush& a = v.pickBrush;
    const ABrush& b = v.targetBrush;
    liftedPoint(o, a, Red);
    liftedPoint(o, b, Red);
    GLDrawSegment(a.point + a.normal * o.pointSize, b.point + b.normal * o.pointSize, o.world, Red);
    const float r = v.brushSize * o.pixel;
    GLDrawCircle(r, a.normal, a.point, o.world, Red);
    GLDrawCircle(r, b.normal, b.point, o.world, Red);
}

// The assembly actions that show the pivot of the object they act on.
bool showsPivot(GLView::TAssemblyAction a) {
    switch (int(a)) {
        case GLView::ActionMove:
        case GLView::ActionRotate:
        case GLView::ActionScale:
        case GLView::ActionRotateScale:
        case 26:
        case GLView::ActionConstrainRotation:
        case GLView::ActionCounterConstrainRotation:
        case GLView::ActionConstrainTranslation:
        case GLView::ActionCounterConstrainTranslation:
        case GLView::ActionRemoveRotationConstraint:
        case GLView::ActionRemoveTranslationConstraint:
        case GLView::ActionAlign:
        case 45:
        case GLView::ActionMatchPivot:
        case GLView::ActionMatchObjectPivot:
        case GLView::ActionOrientation:
            return true;
        default:
            return false;
    }
}

// The tool whose pivot is shown and the world matrix of the frame it hangs
// in: the first tool being placed, else the picked one. False when there
// is none.
bool pivotTool(const GLView& v, Tool*& tool, mat4& W) {
    const Scene& s = *v.scene;
    if (!s.preview.tools.empty()) {
        tool = s.preview.tools.front();
        W = s.preview.matrices.front();
        return tool != nullptr;
    }
    if (!v.pickBrush.hit()) return false;
    if (v.pickBrush.pickedTool) {
        tool = v.pickBrush.pickedTool;
        W = v.pickBrush.pickedWorld;
        return true;
    }
    const int k = s.pickedIndex;
    if (k < 0 || std::size_t(k) >= s.objects.tools.size() || !s.objects.tools[std::size_t(k)]) return false;
    tool = s.objects.tools[std::size_t(k)];
    W = s.objects.matrices[std::size_t(k)];
    return true;
}

// A unit axis; a vanishing one is taken as it is.
vec3 axisDirection(const vec3& a) { return length2(a) > 1e-20 ? normalize(a) : a; }

// A label centred on the screen pixel p. The font's pen moves one cell
// right before each glyph, so the pen starts one and a half cells left of
// the centre and half a cell below it.
void centredLabel(const GLView& v, const char* text, const vec3& p) {
    const vec2 at(p.x - 1.5f * fonts->cell.x, p.y - 0.5f * fonts->cell.y);
    fonts->write(text, at, vec2(float(v.width), float(v.height)), White);
}

// The pivot frame's axes in the axis colours, labelled "x", "y", "z".
void drawTripod(const Overlay& o, const mat4& P) {
    const vec3 pivot = P.translation();
    const mat3 frame = P.block();
    for (int i = 0; i < 3; ++i) {
        const vec3 axis = axisDirection(frame.column(i));
        GLDrawSegment(pivot, pivot + axis * (TripodPixels * o.pixel), o.world, AxisColours[i]);
    }
    // The status text's small font, unless a font is already made.
    if (!fonts) o.view.setFonts(false);
    for (int i = 0; i < 3; ++i) {
        const vec3 end = pivot + axisDirection(frame.column(i)) * ((TripodPixels + LabelPixels) * o.pixel);
        centredLabel(o.view, AxisLabels[i], o.view.project(end));
    }
}

void drawPivotGizmo(const Overlay& o) {
    const GLView& v = o.view;
    Tool* tool = nullptr;
    mat4 W;
    if (!pivotTool(v, tool, W)) return;
    const mat4 P = W * tool->pivot;
    const vec3 pivot = P.translation();
    const float length = TripodPixels * o.pixel;
    if (!isZero(tool->rotationAxis) || !isZero(tool->translationAxis)) {
        for (const vec3& a : {tool->rotationAxis, tool->translationAxis})
            if (!isZero(a)) GLDrawSegment(pivot, pivot + axisDirection(P.transformVector(a)) * length, o.world, Orange);
    } else {
        drawTripod(o, P);
    }
    const vec3 cursor = v.unproject(float(v.cursorPixel[0]), float(v.cursorPixel[1]), v.pickBrush.depth);
    GLDrawSegment(pivot, cursor, o.world, Magenta);
    facingPoint(o, pivot, o.world, White);
}

void drawAssemblyOverlays(const Overlay& o) {
    const GLView& v = o.view;
    const GLView::TAssemblyAction a = v.iassemblyAction();
    if (a == GLView::ActionDraw && (v.toolCreation == GLView::CreateTube || GLView::isArray(v.toolCreation)))
        drawCreationCircle(o);
    if (!v.idle() && v.activeToolAux && a == GLView::ActionPlace) drawPlacementMarkers(o);
    const bool listed = !v.scene->objects.tools.empty() || !v.scene->preview.tools.empty();
    if (v.showPivots && v.pickBrush.placed() && listed && showsPivot(a)) drawPivotGizmo(o);
}

// ---- Sculpting gizmos ----

// The sculpt actions that show nothing beyond their stamps.
bool stampsOnly(int a) {
    return (a >= 1 && a <= 6) || a == 9 || a == 27 || (a >= 30 && a <= 32) || (a >= 34 && a <= 37) ||
           (a >= 39 && a <= 43) || a == 50 || a == 51;
}

// The cutting plane seen edge on: a line across the view through the
// stamp, along the drag; the clipping planes add a tick on the kept side.
void drawPlaneLine(const Overlay& o, bool tick) {
    const GLView& v = o.view;
    const vec3 s = v.project_World_To_Screen(v.pickBrush.point);
    const vec3 e = v.project_World_To_Screen(v.targetBrush.point);
    const vec2 d = unit(vec2(e.x - s.x, e.y - s.y));
    const vec2 size(float(v.width), float(v.height));
    const vec2 b(s.x / size.x, s.y / size.y);
    const vec2 across = unit(vec2(d.x / size.x, d.y / size.y));
    const vec3 b3(b.x, b.y, 0.0f);
    GLDrawSegment(b3 + vec3(across.x, across.y, 0.0f), b3 - vec3(across.x, across.y, 0.0f), Ortho01, Red);
    if (!tick) return;
    const vec3 t(d.y * TickPixels / size.x, -d.x * TickPixels / size.y, 0.0f);
    GLDrawSegment(b3, b3 + t, Ortho01, Red);
}

// The cutting sphere: three great circles around the centre stamp, radius
// the distance between the two stamps. The sphere is lifted along the
// centre's normal like the stamp markers: the circle in the picked
// surface's plane would otherwise lose the depth test against it.
void drawSphereCircles(const Overlay& o, const ABrush& centre, const ABrush& rim) {
    gl->glEnable(GL_DEPTH_TEST);
    const float r = float(distance(centre.point, rim.point));
    const vec3 c = centre.point + centre.normal * o.pointSize;
    const mat4 M = o.world * mat4::Translation(c) * mat4::FromMat3(mat3::Frame(centre.normal) * r);
    // The frame's axes permuted cyclically: the circle in each coordinate
    // plane.
    const mat4 planes[3] = {mat4::Identity(), mat4::FromMat3(mat3(0, 0, 1, 1, 0, 0, 0, 1, 0)),
                            mat4::FromMat3(mat3(0, 1, 0, 0, 0, 1, 1, 0, 0))};
    for (const mat4& p : planes) GLDrawCircle(M * p, Red);
}

void drawSculptOverlays(const Overlay& o) {
    GLView& v = o.view;
    const int a = v.sculptAction;
    if (v.idle()) {
        gl->glEnable(GL_DEPTH_TEST);
        const std::size_t n = a == Sculptor::PickMaterial ? std::min<std::size_t>(1, v.stamps.size()) : v.stamps.size();
        for (std::size_t i = 0; i < n; ++i) liftedPoint(o, v.stamps[i], Red);
    }
    if (stampsOnly(a)) return;
    const bool apart = !samePixel(v.pickBrush, v.targetBrush);
    if (a >= Sculptor::CutPlane && a <= Sculptor::SubPlane) {
        if (apart) drawPlaneLine(o, a != Sculptor::CutPlane);
    } else if (a >= Sculptor::CutSphere && a <= Sculptor::SubSphere) {
        if (apart) drawSphereCircles(o, v.pickBrush, v.targetBrush);
    } else if (a >= Sculptor::CutSphereReverse && a <= Sculptor::SubSphereReverse) {
        if (apart) drawSphereCircles(o, v.targetBrush, v.pickBrush);
    } else if (v.idle() && !v.stamps.empty()) {
        // Lifted like the stamp markers: in the picked surface's plane the
        // depth test would hide it.
        const ABrush& s = v.stamps.front();
        GLDrawCircle(s.radius * float(length(s.pixelVector)), s.normal, s.point + s.normal * o.pointSize, o.world, Red);
    }
}

}  // namespace

void GLView::drawOverlays() {
    drawInto(fboSceneTransparent->output);
    gl->glDisable(GL_STENCIL_TEST);
    gl->glDisable(GL_DEPTH_TEST);
    // The overlays are tested against the scene's depth but leave it as it
    // is: the pickings between frames read the scene's depth, not theirs.
    gl->glDepthMask(GL_FALSE);
    const Overlay o{*this, Shader::ProjectionModelViewMatrix, 4.0f * float(length(ScreenRadius(false))),
                    float(length(ScreenRadius(true)))};
    if (selectedActionMode == ModeAssembly && iassemblyAction() == ActionDraw && !idle()) drawCurveOverlay(o);
    if (inside() && actionMode != ModeView) {
        gl->glDisable(GL_DEPTH_TEST);
        if (actionMode == ModeAssembly) drawAssemblyOverlays(o);
        if (actionMode == ModeSculpt && pickBrush.hit()) drawSculptOverlays(o);
    }
    gl->glDepthMask(GL_TRUE);
    gl->glDisable(GL_DEPTH_TEST);
}

}  // namespace qel
