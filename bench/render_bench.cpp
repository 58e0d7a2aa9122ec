// One frame of the view at 800 x 600, side by side with its floor: the same
// meshes drawn once, plainly, into the same scene target.
//
//   Frame/<scene>/<effects>   redraw set, GLView::render(), glFinish
//   Floor/<scene>             the matrices, the render list, the opaque
//                             layer bound with its four draw buffers and
//                             cleared, Scene::render of the objects, glFinish
//
// Scenes: Torus, a 1,001,112-triangle mesh; Spheres, the 5 x 5 grid of
// refined icosahedra of the material test scene. Every object is opaque.
// Effects: Off (no glow, no chromatism), Glow (the default), GlowChroma (glow
// with lens and objects chromatism). A small environment is built before
// timing, so the lighting pass is the full one; the first frame of each case
// (buffers uploaded, programs compiled) is not timed.
//
// Goal: Frame/Torus/Off <= 3 x Floor/Torus. The sphere grid's ratios, where
// the full-screen passes weigh more, are reported.
//
// Needs an X display and an OpenGL 4.0 core context (scripts/bench runs it on
// the software renderer).

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "bench/bench_gl_context.h"
#include "bench/bench_goals.h"
#include "bench/bench_meshes.h"
#include "gl/environment.h"
#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/resources.h"
#include "gl/texture2d.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "view/glview.h"

namespace {

constexpr int Width = 800;
constexpr int Height = 600;

enum SceneKind { Torus, Spheres };
enum Effects { Off, Glow, GlowChroma };

// The material test scene: 5 x 5 spheres of 0.2 in the plane y = 0,
// roughness rising along x and metalness along z.
void addSphereGrid(qel::Scene& scene) {
    std::unique_ptr<qel::Mesh> base(qel::Mesh::Icosahedron());
    qel::Tool sphere(qel::Mesh::Sphere(base.get(), 4, false, true), qel::mat4::Identity(), qel::pbr(), false);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) {
            const qel::mat4 m = qel::mat4::Scale(0.2f) * qel::mat4::Translation(float(i - 2), 0, float(j - 2));
            qel::Tool* o = scene.addObject(&sphere, m, qel::Scene::HangTop, true);
            const auto step = [](int k) { return std::int16_t(std::trunc((k - 2) * 32766 * 0.25)); };
            o->changeMaterial(
                qel::pbr(qel::wvec4(65535, 65535, 65535, 65535), qel::wvec4(0, 0, 0, 65535), step(i), step(j)), 255,
                false, false);
        }
}

// A view of the scene, seen from above at an angle, with its environment
// built and one frame drawn.
std::unique_ptr<qel::GLView> makeView(SceneKind kind) {
    std::unique_ptr<qel::GLView> view(new qel::GLView(Width, Height));
    if (kind == Torus) {
        qel::Tool torus(benchmeshes::torus(), qel::mat4::Identity(), qel::pbr(), false);
        view->scene->addObject(&torus, qel::mat4::Identity(), qel::Scene::HangTop, false);
    } else {
        addSphereGrid(*view->scene);
    }
    view->rotate(0.6f, 0.0f, 0.0f);
    view->environment = new qel::Environment(":/Environments/env_default.jpg", 32, 8, false);
    if (!view->environment->compile()) return nullptr;
    view->render();
    gl->glFinish();
    return view;
}

qel::GLView* sharedView(SceneKind kind) {
    static std::unique_ptr<qel::GLView> views[2];
    if (!views[kind]) views[kind] = makeView(kind);
    return views[kind].get();
}

void Frame(benchmark::State& state, SceneKind kind, Effects effects) {
    qel::GLView* view = benchgl::makeContext() ? sharedView(kind) : nullptr;
    if (!view) return state.SkipWithError("no OpenGL 4.0 core context or no environment");
    view->glow = effects != Off;
    view->lensChromatism = view->objectsChromatism = effects == GlowChroma;
    view->redraw = 1;
    view->render();  // the programs of these effects compiled
    for (auto _ : state) {
        view->redraw = 1;
        benchmark::DoNotOptimize(view->render());
        gl->glFinish();
    }
}

void Floor(benchmark::State& state, SceneKind kind) {
    qel::GLView* view = benchgl::makeContext() ? sharedView(kind) : nullptr;
    if (!view) return state.SkipWithError("no OpenGL 4.0 core context or no environment");
    qel::FBOScene* fbo = view->fboScene;
    const GLenum buffers[4] = {GLenum(fbo->idMaterial->colourAttachment()), GLenum(fbo->color->colourAttachment()),
                               GLenum(fbo->light->colourAttachment()), GLenum(fbo->normal->colourAttachment())};
    for (auto _ : state) {
        view->buildMatrices();
        view->scene->toList();
        fbo->enable();
        gl->glViewport(0, 0, Width, Height);
        gl->glEnable(GL_DEPTH_TEST);
        gl->glDrawBuffers(4, buffers);
        gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        view->scene->render(qel::Tool::RenderOpaque, view->groupsMode != 0, false);
        gl->glFinish();
    }
    fbo->disable();
}

// A torus frame takes long enough on the software renderer that the default
// time budget gives one or two iterations: it gets a fixed count instead.
constexpr int TorusFrames = 8;
BENCHMARK_CAPTURE(Floor, Torus, Torus)
    ->Name("Floor/Torus")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(TorusFrames);
BENCHMARK_CAPTURE(Frame, TorusOff, Torus, Off)
    ->Name("Frame/Torus/Off")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(TorusFrames);
BENCHMARK_CAPTURE(Frame, TorusGlow, Torus, Glow)
    ->Name("Frame/Torus/Glow")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(TorusFrames);
BENCHMARK_CAPTURE(Frame, TorusGlowChroma, Torus, GlowChroma)
    ->Name("Frame/Torus/GlowChroma")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(TorusFrames);
BENCHMARK_CAPTURE(Floor, Spheres, Spheres)->Name("Floor/Spheres")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Frame, SpheresOff, Spheres, Off)
    ->Name("Frame/Spheres/Off")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Frame, SpheresGlow, Spheres, Glow)
    ->Name("Frame/Spheres/Glow")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Frame, SpheresGlowChroma, Spheres, GlowChroma)
    ->Name("Frame/Spheres/GlowChroma")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCH_GOAL(benchgoals::ratio("Frame/Torus/Off", 3, "Floor/Torus"));
