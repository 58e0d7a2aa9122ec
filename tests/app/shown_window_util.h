#pragma once
// A main window shown for frames driven by a test, and a cube placed under
// a point of its view.

#include <QApplication>
#include <QTest>
#include <memory>

#include "app/gl_widget.h"
#include "app/main_window.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/fake_id_reader_util.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/step_pacer.h"

// The window shown and made active (`active` says whether it became so)
// with its view hidden (this platform has no OpenGL 4.0 for it), the view's
// matrices built and its symmetry off, and a frame driver of the view whose
// frames each run the widget's command step first, as its tick does, on the
// counted step clock.
inline std::unique_ptr<qel::test::FrameDriver> shownForFrames(MainWindow& window, bool& active) {
    qel::GLView& view = *window.view();
    view.buildMatrices();
    view.setSymmetry(false, false, false, false, false, false, 6);
    window.glWidget->hide();
    window.show();
    QApplication::setActiveWindow(&window);
    active = QTest::qWaitForWindowActive(&window);
    qel::StepPacer::Clock = qel::test::CountedClock::read;
    auto drive = std::make_unique<qel::test::FrameDriver>(view);
    drive->commands = [&window] { window.glWidget->runCommands(); };
    return drive;
}

// A cube placed as an object of the view's scene halfway into the depth
// under `at`, and drawn there in the fake ID buffer, so that a press there
// picks it.
inline qel::Tool* cubeUnder(qel::GLView& view, fakeid::FakeIdReader& reader, qel::vec2 at) {
    const qel::vec3 p = view.unproject(at.x, at.y, 0.5f);
    qel::Tool source(qel::Mesh::Cube(), qel::mat4::Identity(), qel::pbr(), false);
    qel::Tool* cube = view.scene->addObject(&source, qel::mat4::Translation(p.x, p.y, p.z), qel::Scene::HangTop, false);
    view.scene->toList();
    reader.pixels[{int(at.x), int(at.y)}] = {
        1, 0.5f, {{{std::uint32_t(view.scene->findID(cube)), 0, 0}, {}}}, {qel::vec3(0, 0, 1), qel::vec3()}};
    return cube;
}
