#include "bench/torus_pair_x.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cmath>
#include <cstdio>

#include "app/gl_widget.h"
#include "bench/bench_meshes.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/glview.h"
#include "tests/app/gl_widget/x_pointer.h"
#include "view/id_reader.h"
#include "view/input_latch.h"
#include "view/mouse.h"

namespace toruspair {

bool makeScene(const std::string& path, bool light) {
    qel::Scene scene;
    qel::Mesh* torus = light ? benchmeshes::torus(48, 24) : benchmeshes::torus();
    qel::Tool* tmpl = scene.addTool(new qel::Tool(torus, qel::mat4::Identity(), qel::pbr(), false));
    const qel::mat4 at = qel::mat4::Translation(0.27f, 0, 0) * qel::mat4::Scale(0.5f, 0.5f, 0.5f);
    const qel::mat4 mirror = qel::mat4::Scale(-1, 1, 1);
    scene.addObject(tmpl, std::vector<qel::mat4>{at, mirror * at}, qel::Scene::HangTop, false, false);
    return scene.save(path);
}

bool ensureScene(const std::string& path, bool light, const char* program) {
    if (QFileInfo::exists(QString::fromStdString(path))) return true;
    std::printf("making %s ...\n", path.c_str());
    std::fflush(stdout);
    if (makeScene(path, light)) return true;
    std::fprintf(stderr, "%s: %s could not be written\n", program, path.c_str());
    return false;
}

bool waitFor(const std::function<bool()>& condition, double seconds) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < qint64(seconds * 1000.0))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return condition();
}

bool pressPoint(GLWidget& widget, qel::GLView& view, QPoint& at) {
    widget.makeCurrent();
    qel::IdReader& reader = *view.idReader;
    bool ok = reader.enable(qel::IdReader::Opaque);
    const int y = view.height / 2;
    int runEnd = -1, runStart = -1;
    for (int x = view.width - 2; ok && x > 0; --x) {
        const bool hit = (reader.stencil(x, y) & reader.layer(qel::IdReader::Opaque)) != 0 && reader.ids(x, y)[0] != 0;
        if (hit && runEnd < 0) runEnd = x;
        if (!hit && runEnd >= 0) {
            runStart = x + 1;
            break;
        }
    }
    if (ok) reader.disable(qel::IdReader::Opaque);
    widget.doneCurrent();
    if (runStart < 0) return false;
    // The ID buffer's rows run from the bottom.
    at = QPoint((runStart + runEnd) / 2, view.height - 1 - y);
    return true;
}

bool settleAndFindPress(GLWidget& widget, qel::GLView& view, QPoint& press, const char* program) {
    if (!waitFor([&] { return view.startupStep == 4 && view.redraw == 0 && qel::inputLatch.empty(); }, 600)) {
        std::fprintf(stderr, "%s: the view did not settle after loading\n", program);
        return false;
    }
    if (!pressPoint(widget, view, press)) {
        std::fprintf(stderr, "%s: the torus is not on the view's middle row\n", program);
        return false;
    }
    return true;
}

bool hoverAt(tltest::XPointer& x, GLWidget& widget, qel::GLView& view, QPoint press, const char* program) {
    x.moveTo(widget.mapToGlobal(press));
    const qel::vec2 at(float(press.x()), float(press.y()));
    if (!waitFor([&] { return qel::inputLatch.empty() && qel::mouse.position == at && view.pickBrush.hit(); }, 600)) {
        std::fprintf(stderr, "%s: the pointer found no torus at (%d, %d)\n", program, press.x(), press.y());
        return false;
    }
    return true;
}

std::vector<QPoint> circlePath(QPoint from, int motions) {
    const double r = 90.0, cx = from.x() - r, cy = from.y();
    std::vector<QPoint> path;
    double a = 0.0;
    QPoint last = from;
    while (int(path.size()) < motions) {
        a += 2.0 / r;
        const QPoint p(int(std::lround(cx + r * std::cos(a))), int(std::lround(cy - r * std::sin(a))));
        if (p == last) continue;
        path.push_back(p);
        last = p;
    }
    return path;
}

}  // namespace toruspair
