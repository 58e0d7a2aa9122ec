// What a stroke leaves, by real input: the main window (1280 x 720) on an X
// display (software OpenGL under Xvfb, as scripts/stroke-end --check runs
// it), its scene a torus placed twice with the X mirror (one element, two
// instances), and gestures sent through the X test extension. Where
// stroke_end_x times a stroke's end, this checks its result:
//
//   copy:MOTIONS:SECONDS     a sculpt Copy Move (Sculpt > Transform > Move,
//   copyflat:MOTIONS:SECONDS Control held at the press) with the sculpt X
//                            mirror on (copy) or off (copyflat): from the
//                            torus on the view's middle row, circling on
//                            its way to the release at (600, 320) of the
//                            window. It reports the copies' screen box (the
//                            vertices no vertex of the scene as loaded has,
//                            through both instances) and, from the second
//                            stroke of a kind and motion count on, the
//                            largest vertex difference from the first.
//   undo:SECONDS:DELAY       an assembly Move (Assembly > Transform > Move)
//                            dragging the torus for SECONDS, then Control+Z
//                            tapped DELAY seconds after the release. It
//                            reports whether the Move was undone once the
//                            stroke had ended (every object's transform back
//                            where it was, the history index one below the
//                            Move's) and how far the history went.
//   save:SECONDS:DELAY       the same Move, then Control+S tapped DELAY
//                            seconds after the release. It reports how often
//                            the Save dialog was asked (the harness answers
//                            it with a file of the run folder), whether the
//                            Move had ended then, and whether the file holds
//                            the scene as the Move left it (the same bytes as
//                            a save of the scene once the view is idle).
//   mode:SECONDS:DELAY       a sculpt Move (Sculpt > Transform > Move)
//                            dragging the torus for SECONDS, then Full Mode
//                            (`) and Select Element (Q) tapped DELAY seconds
//                            after the release. It reports whether each
//                            acted once: simple mode switched, the scope one
//                            step on.
//
//   stroke_check_x [--scene PATH] [--light] [--repeat N] CHECK ...
//
// --light makes (or opens) the pair from a torus of 2,304 triangles instead
// of 1,001,112. --circle makes the Copy Moves walk stroke_end_x's circle
// (90 pixels, left of the press, about two pixels a motion) and release
// where it ends instead. Each check starts from the scene as loaded. Exit status 0
// when every undo, save and mode check found its command acting exactly
// once, 1 when one did not, 2 when the run itself failed. Not part of the
// test suite: it waits on the clock.

#include <X11/keysym.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QTimerEvent>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "app/startup.h"
#include "bench/bench_meshes.h"
#include "bench/torus_pair_x.h"
#include "core/geometry.h"
#include "gl/environment.h"
#include "gl/resources.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tests/app/gl_widget/x_pointer.h"
#include "view/asker.h"
#include "view/camera.h"
#include "view/glview.h"
#include "view/id_reader.h"
#include "view/input_latch.h"
#include "view/mouse.h"

namespace {

using toruspair::circlePath;
using toruspair::pressPoint;
using toruspair::waitFor;

using Clock = std::chrono::steady_clock;

struct Check {
    std::string kind;  // copy, copyflat, undo, save or mode
    int motions = 0;
    double seconds = 0;
    double delay = 0;
};

bool parseCheck(const std::string& text, Check& c) {
    char kind[16] = {};
    double a = 0, b = 0;
    if (std::sscanf(text.c_str(), "%15[a-z]:%lf:%lf", kind, &a, &b) != 3) return false;
    c.kind = kind;
    if (c.kind == "undo" || c.kind == "save" || c.kind == "mode") {
        c.seconds = a;
        c.delay = b;
        return a > 0 && b >= 0;
    }
    c.motions = int(a);
    c.seconds = b;
    return (c.kind == "copy" || c.kind == "copyflat") && c.motions > 1 && b > 0;
}



void keepRunning(double seconds) {
    waitFor([] { return false; }, seconds);
}


// From `from` to `to` in `motions` motions: circles of 60 pixels whose
// centre drifts evenly from beside `from` to beside `to`, about two pixels
// a motion, no two motions in a row on one pixel, the last one on `to`.
std::vector<QPoint> wanderPath(QPoint from, QPoint to, int motions) {
    const double r = 60.0;
    std::vector<QPoint> path;
    QPoint last = from;
    double a = 0.0;
    while (int(path.size()) < motions - 1) {
        a += 2.0 / r;
        const double f = double(path.size() + 1) / double(motions);
        const double cx = from.x() - r + f * (to.x() - from.x()), cy = from.y() + f * (to.y() - from.y());
        const QPoint p(int(std::lround(cx + r * std::cos(a))), int(std::lround(cy - r * std::sin(a))));
        if (p == last || p == to) continue;
        path.push_back(p);
        last = p;
    }
    path.push_back(to);
    return path;
}


// A straight drag from `from` by (dx, dy), one motion a pixel or two.
std::vector<QPoint> straightPath(QPoint from, int dx, int dy, int motions) {
    std::vector<QPoint> path;
    for (int k = 1; k <= motions; ++k)
        path.emplace_back(from.x() + int(std::lround(double(dx) * k / motions)),
                          from.y() + int(std::lround(double(dy) * k / motions)));
    return path;
}

// The element both objects of the pair show.
qel::Mesh* pairMesh(qel::GLView& view) {
    const auto& top = view.scene->objectsRoot->children;
    return top.empty() ? nullptr : dynamic_cast<qel::Mesh*>(top[0]->element);
}

std::vector<qel::vec3> activePositions(const qel::Mesh& mesh) {
    std::vector<qel::vec3> out;
    out.reserve(mesh.vertices.size());
    for (const qel::MeshVertex& v : mesh.vertices)
        if (v.isActive()) out.push_back(v.position);
    return out;
}

struct PositionHash {
    std::size_t operator()(const qel::vec3& p) const {
        std::uint32_t b[3];
        std::memcpy(b, &p, sizeof b);
        return std::size_t(b[0]) * 73856093u ^ std::size_t(b[1]) * 19349663u ^ std::size_t(b[2]) * 83492791u;
    }
};
struct PositionEqual {
    bool operator()(const qel::vec3& a, const qel::vec3& b) const { return std::memcmp(&a, &b, sizeof a) == 0; }
};

// Counts the view widget's frame-loop ticks and those that found more than
// one motion waiting (where the steps could not take each motion alone).
class TickCount : public QObject {
public:
    explicit TickCount(GLWidget* w) : widget_(w) { widget_->installEventFilter(this); }
    ~TickCount() override { widget_->removeEventFilter(this); }
    TickCount(const TickCount&) = delete;
    TickCount& operator=(const TickCount&) = delete;

    int ticks = 0, crowded = 0;
    std::size_t mostWaiting = 0;

private:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget_ && event->type() == QEvent::Timer &&
            static_cast<QTimerEvent*>(event)->timerId() == widget_->timerId) {
            const std::size_t waiting = qel::inputLatch.motions();
            ++ticks;
            if (waiting > 1) ++crowded;
            mostWaiting = std::max(mostWaiting, waiting);
        }
        return false;
    }

    GLWidget* widget_;
};

// Answers the Save dialog with `path`, counting the dialogs and noting
// whether the view was idle then.
struct SaveAnswer : qel::DecliningAsker {
    QString path;
    int asked = 0;
    bool idleWhenAsked = false;
    const qel::GLView* view = nullptr;
    QString saveFileName(QWidget*, const QString&, const QString&) override {
        ++asked;
        idleWhenAsked = view && view->idle();
        return path;
    }
};

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Waits until `delay` seconds after `from`, then taps the keys: each down in
// order, then each up in the reverse order, 40 ms later.
void tapAfter(tltest::XPointer& h, Clock::time_point from, double delay, const std::vector<unsigned long>& keys) {
    std::this_thread::sleep_until(from +
                                  std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(delay)));
    for (unsigned long k : keys) h.key(k, true);
    h.focus();
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    for (auto k = keys.rbegin(); k != keys.rend(); ++k) h.key(*k, false);
}

class Checker {
public:
    Checker(MainWindow& w, const std::string& scene) : window_(w), view_(*w.view()), scenePath_(scene) {}

    bool circle = false;  // Copy Moves walk stroke_end_x's circle

    // Opens the scene in the mode the check needs and finds the press point.
    bool prepare(const Check& c) {
        if (!view_.load(scenePath_)) {
            std::fprintf(stderr, "stroke_check_x: %s could not be opened: %s\n", scenePath_.c_str(),
                         view_.loadError.c_str());
            return false;
        }
        view_.camera->position = qel::vec3(0, 0, 0);
        if (c.kind == "undo" || c.kind == "save") {
            window_.ui->actionAssembly->trigger();
            window_.ui->actionAsmMove->trigger();
        } else {
            window_.ui->actionSculpt->trigger();
            window_.ui->actionMove->trigger();
        }
        view_.setSymmetry(c.kind != "copyflat", false, false, false, false, false, 6);
        view_.redraw = 1;
        return toruspair::settleAndFindPress(*window_.glWidget, view_, press_, "stroke_check_x");
    }

    // The pointer on the press point, the torus picked there.
    bool hover(tltest::XPointer& x) {
        return toruspair::hoverAt(x, *window_.glWidget, view_, press_, "stroke_check_x");
    }

    // Presses, walks `path` evenly over `seconds` and releases, on a thread
    // of its own, then runs `after` there (keys after the release); returns
    // once that is done and the view is idle with nothing latched.
    bool drag(const std::vector<QPoint>& path, double seconds, const std::function<void(tltest::XPointer&)>& after,
              const std::function<void()>& poll = {}) {
        std::atomic<bool> sent{false};
        std::thread hand([&, t0 = Clock::now()] {
            tltest::XPointer h;
            h.left(true);
            const double interval = seconds / double(path.size());
            for (std::size_t k = 0; k < path.size(); ++k) {
                std::this_thread::sleep_until(t0 + std::chrono::duration_cast<Clock::duration>(
                                                       std::chrono::duration<double>(interval * double(k + 1))));
                h.moveTo(path[k]);
            }
            h.left(false);
            h.focus();  // every request taken by the server
            after(h);
            h.focus();
            sent = true;
        });
        waitFor(
            [&] {
                if (poll) poll();
                return sent.load();
            },
            3600);
        hand.join();
        // Idle, nothing latched, and a few more frames for commands that
        // wait for the gesture's end.
        const bool idle = waitFor(
            [&] {
                if (poll) poll();
                return view_.idle() && qel::inputLatch.empty();
            },
            3600);
        keepRunning(1.0);
        if (poll) poll();
        return idle && view_.idle();
    }

    bool copyMove(const Check& c) {
        tltest::XPointer x;
        if (!x.ok()) return noDisplay();
        qel::Mesh* mesh = pairMesh(view_);
        if (!mesh) return false;
        const std::vector<qel::vec3> before = activePositions(*mesh);
        if (!hover(x)) return false;
        x.key(XK_Control_L, true);
        if (!waitFor([&] { return view_.sculptAction == qel::Sculptor::CopyMove; }, 600)) return false;
        const QPoint from = window_.glWidget->mapToGlobal(press_);
        const QPoint to = window_.mapToGlobal(QPoint(600, 320));
        const std::vector<QPoint> path = circle ? circlePath(from, c.motions) : wanderPath(from, to, c.motions);
        const Clock::time_point t0 = Clock::now();
        const std::uint32_t frame0 = qel::Element::GlobalUpdate;
        TickCount count(window_.glWidget);
        const bool ok = drag(path, c.seconds, [](tltest::XPointer& h) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            h.key(XK_Control_L, false);
        });
        const double took = std::chrono::duration<double>(Clock::now() - t0).count();
        const std::uint32_t frames = qel::Element::GlobalUpdate - frame0;
        if (!ok) return false;
        mesh = pairMesh(view_);
        if (!mesh) return false;
        const std::vector<qel::vec3> after = activePositions(*mesh);

        // The copies: where no vertex of the scene as loaded was.
        std::unordered_set<qel::vec3, PositionHash, PositionEqual> old(before.begin(), before.end());
        int x0 = 1 << 30, y0 = 1 << 30, x1 = -(1 << 30), y1 = -(1 << 30);
        std::size_t copies = 0;
        const qel::ToolList& list = view_.scene->objects;
        for (const qel::vec3& p : after) {
            if (old.count(p)) continue;
            ++copies;
            for (std::size_t i = 0; i < list.tools.size(); ++i) {
                if (list.tools[i]->element != mesh) continue;
                const qel::mat4 w = list.matrices[i] * list.tools[i]->matrix() * mesh->localMatrix();
                const qel::vec3 s = view_.project(w.transformPoint(p));
                const QPoint g = window_.glWidget->mapToGlobal(QPoint(int(std::floor(s.x)), int(std::floor(s.y))));
                x0 = std::min(x0, g.x());
                y0 = std::min(y0, g.y());
                x1 = std::max(x1, g.x());
                y1 = std::max(y1, g.y());
            }
        }
        std::printf(
            "%-9s %5d motions over %4.1f s (%.1f s and %u frames to idle, %d of %d ticks with more than "
            "one motion waiting, %zu at most): %zu -> %zu vertices, %zu copied; ",
            c.kind.c_str(), c.motions, c.seconds, took, unsigned(frames), count.crowded, count.ticks, count.mostWaiting,
            before.size(), after.size(), copies);
        std::printf("pressed at (%d, %d), released at (%d, %d) of the screen; ", from.x(), from.y(), path.back().x(),
                    path.back().y());
        if (copies) std::printf("copies' screen box %dx%d+%d+%d", x1 - x0 + 1, y1 - y0 + 1, x0, y0);
        const std::string key = c.kind + ":" + std::to_string(c.motions);
        auto first = firsts_.find(key);
        if (first == firsts_.end()) {
            firsts_[key] = {c.seconds, after};
        } else if (first->second.second.size() != after.size()) {
            std::printf("; vertex count differs from the %.1f s stroke's (%zu)", first->second.first,
                        first->second.second.size());
        } else {
            double most = 0, extent = 0;
            for (std::size_t v = 0; v < after.size(); ++v) {
                most = std::max(most, double(length(after[v] - first->second.second[v])));
                extent = std::max({extent, double(std::fabs(after[v].x)), double(std::fabs(after[v].y)),
                                   double(std::fabs(after[v].z))});
            }
            std::printf("; largest vertex difference from the %.1f s stroke: %.3g (coordinates up to %.3g)",
                        first->second.first, most, extent);
        }
        std::printf("\n");
        return true;
    }

    // True when the Move was undone exactly once after its stroke ended.
    bool undoMove(const Check& c, bool& undone) {
        tltest::XPointer x;
        if (!x.ok()) return noDisplay();
        // Every placed object's transform and pivot frame.
        const auto placement = [&] {
            std::vector<qel::mat4> out;
            for (qel::Tool* t : view_.scene->objects.tools) {
                out.push_back(t->transform);
                out.push_back(t->pivot);
            }
            return out;
        };
        const std::vector<qel::mat4> placed = placement();
        const auto moved = [&] {
            const std::vector<qel::mat4> now = placement();
            return now.size() != placed.size() ||
                   std::memcmp(now.data(), placed.data(), now.size() * sizeof(qel::mat4)) != 0;
        };
        const int index0 = view_.historyIndex;
        const std::size_t records0 = view_.undoHistory.size();
        if (!hover(x)) return false;
        const int motions = std::max(2, int(c.seconds * 60.0));
        const std::vector<QPoint> path = straightPath(window_.glWidget->mapToGlobal(press_), -150, -80, motions);
        bool sawMoved = false;
        int mostIndex = index0;
        Clock::time_point released, ended = Clock::time_point::max();
        const bool ok = drag(
            path, c.seconds,
            [&](tltest::XPointer& h) {
                released = Clock::now();
                std::this_thread::sleep_until(
                    released + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(c.delay)));
                h.key(XK_Control_L, true);
                h.key(XK_z, true);
                h.focus();
                std::this_thread::sleep_for(std::chrono::milliseconds(40));
                h.key(XK_z, false);
                h.key(XK_Control_L, false);
            },
            [&] {
                sawMoved = sawMoved || moved();
                mostIndex = std::max(mostIndex, int(view_.historyIndex));
                if (ended == Clock::time_point::max() && view_.idle() && sawMoved) ended = Clock::now();
            });
        if (!ok) return false;
        undone = sawMoved && !moved() && mostIndex == index0 + 1 && view_.historyIndex == index0 &&
                 view_.undoHistory.size() == records0 + 1;
        const double endAfter =
            ended == Clock::time_point::max() ? -1 : std::chrono::duration<double>(ended - released).count();
        std::printf(
            "undo      drag of %.1f s, Control+Z %.2f s after the release: %s (moved %s; the view idle "
            "%.2f s after the release; history index %d -> %d -> %d, records %zu -> %zu)\n",
            c.seconds, c.delay, undone ? "UNDONE once" : "NOT undone once", sawMoved ? "yes" : "no", endAfter, index0,
            mostIndex, int(view_.historyIndex), records0, view_.undoHistory.size());
        return true;
    }

    // True when the Save dialog was asked exactly once, with the Move
    // ended, and the file holds the moved scene.
    bool saveMove(const Check& c, bool& once) {
        tltest::XPointer x;
        if (!x.ok()) return noDisplay();
        const std::vector<qel::mat4> placed = placement();
        SaveAnswer answer;
        answer.path = "stroke_check_saved.tl";
        answer.view = &view_;
        QFile::remove(answer.path);
        qel::Asker* const asker = window_.asker;
        window_.asker = &answer;
        if (!hover(x)) return false;
        const int motions = std::max(2, int(c.seconds * 60.0));
        const std::vector<QPoint> path = straightPath(window_.glWidget->mapToGlobal(press_), -150, -80, motions);
        Clock::time_point released, ended = Clock::time_point::max();
        const bool ok = drag(
            path, c.seconds,
            [&](tltest::XPointer& h) {
                released = Clock::now();
                tapAfter(h, released, c.delay, {XK_Control_L, XK_s});
            },
            [&] {
                if (ended == Clock::time_point::max() && view_.idle() && placement() != placed) ended = Clock::now();
            });
        window_.asker = asker;
        if (!ok) return false;
        const bool moved = placement() != placed;
        const QString after = "stroke_check_after.tl";
        const bool holds = view_.save(after.toStdString()) && fileBytes(answer.path) == fileBytes(after) &&
                           !fileBytes(after).isEmpty();
        once = answer.asked == 1 && answer.idleWhenAsked && moved && holds;
        const double endAfter =
            ended == Clock::time_point::max() ? -1 : std::chrono::duration<double>(ended - released).count();
        std::printf(
            "save      drag of %.1f s, Control+S %.2f s after the release: %s (Save asked %d time%s, the Move "
            "%s then; moved %s; the file %s the moved scene; the view idle %.2f s after the release)\n",
            c.seconds, c.delay, once ? "SAVED once" : "NOT saved once", answer.asked, answer.asked == 1 ? "" : "s",
            answer.idleWhenAsked ? "ended" : "not ended", moved ? "yes" : "no", holds ? "holds" : "does NOT hold",
            endAfter);
        return true;
    }

    // True when Full Mode and Select Element, tapped after a sculpt Move's
    // release, each acted exactly once.
    bool modeAfterMove(const Check& c, bool& once) {
        tltest::XPointer x;
        if (!x.ok()) return noDisplay();
        qel::Mesh* mesh = pairMesh(view_);
        if (!mesh) return false;
        const std::vector<qel::vec3> before = activePositions(*mesh);
        const bool simple = view_.simple();
        const int scope = view_.selectedSculptSelect;
        if (!hover(x)) return false;
        const int motions = std::max(2, int(c.seconds * 60.0));
        const std::vector<QPoint> path = straightPath(window_.glWidget->mapToGlobal(press_), -60, -30, motions);
        Clock::time_point released, ended = Clock::time_point::max();
        std::atomic<bool> sent{false};
        const bool ok = drag(
            path, c.seconds,
            [&](tltest::XPointer& h) {
                released = Clock::now();
                sent = true;
                tapAfter(h, released, c.delay, {XK_grave});
                tapAfter(h, Clock::now(), 0.0, {XK_q});
            },
            [&] {
                if (sent && ended == Clock::time_point::max() && view_.idle()) ended = Clock::now();
            });
        if (!ok) return false;
        const double endAfter =
            ended == Clock::time_point::max() ? -1 : std::chrono::duration<double>(ended - released).count();
        mesh = pairMesh(view_);
        const bool moved = mesh && activePositions(*mesh) != before;
        const bool switched = view_.simple() != simple && window_.ui->actionFULL_MODE->isChecked() == simple;
        // Q steps Element to Component.
        const bool stepped =
            scope == qel::Sculptor::SelectElement && view_.selectedSculptSelect == qel::Sculptor::SelectComponent;
        once = moved && switched && stepped;
        std::printf(
            "mode      sculpt Move of %.1f s, ` and Q %.2f s after the release: %s (moved %s; Full Mode %s, "
            "scope %d -> %d; the view idle %.2f s after the release)\n",
            c.seconds, c.delay, once ? "BOTH acted once" : "NOT both once", moved ? "yes" : "no",
            switched ? "switched once" : "NOT switched once", scope, int(view_.selectedSculptSelect), endAfter);
        // The next check starts in the mode the harness started in.
        if (view_.simple() != simple) window_.SetMode(simple);
        view_.selectedSculptSelect = qel::Sculptor::TSelect(scope);
        return true;
    }

private:
    // Every placed object's transform and pivot frame.
    std::vector<qel::mat4> placement() const {
        std::vector<qel::mat4> out;
        for (qel::Tool* t : view_.scene->objects.tools) {
            out.push_back(t->transform);
            out.push_back(t->pivot);
        }
        return out;
    }

    static bool noDisplay() {
        std::fprintf(stderr, "stroke_check_x: no X display with the test extension\n");
        return false;
    }

    MainWindow& window_;
    qel::GLView& view_;
    std::string scenePath_;
    QPoint press_;
    std::map<std::string, std::pair<double, std::vector<qel::vec3>>> firsts_;
};

}  // namespace

int main(int argc, char** argv) {
    std::string scene;
    bool light = false, circle = false;
    int repeat = 1;
    std::vector<Check> checks;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        Check c;
        if (a == "--scene" && i + 1 < argc) {
            scene = argv[++i];
        } else if (a == "--light") {
            light = true;
        } else if (a == "--circle") {
            circle = true;
        } else if (a == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (parseCheck(a, c)) {
            checks.push_back(c);
        } else {
            std::fprintf(stderr,
                         "usage: stroke_check_x [--scene PATH] [--light] [--circle] [--repeat N] "
                         "[copy|copyflat:MOTIONS:SECONDS | undo|save|mode:SECONDS:DELAY ...]\n");
            return 2;
        }
    }
    if (checks.empty()) {
        std::fprintf(stderr, "stroke_check_x: no check given\n");
        return 2;
    }
    if (scene.empty()) scene = light ? "stroke_check_light_pair.tl" : "stroke_end_torus_pair.tl";

    qel::InitExactPredicates();
    if (!toruspair::ensureScene(scene, light, "stroke_check_x")) return 2;
    qel::setSurfaceFormat();
    QApplication app(argc, argv);
    qel::deliverEveryMotion();
    qel::initIconResources();
    qel::initShaderResources();
    qel::Environment::CacheFolder = QFileInfo(QString::fromStdString(scene)).absolutePath().toStdString();

    int status = 0;
    {
        qel::DecliningAsker asker;
        MainWindow window(nullptr);
        window.asker = &asker;
        window.view()->asker = &asker;
        window.setGeometry(0, 0, 1280, 720);
        window.show();
        window.activateWindow();
        if (!waitFor([&] { return window.glWidget->lastFrame != nullptr; }, 600)) return 2;
        Checker checker(window, scene);
        checker.circle = circle;
        std::printf("window 1280 x 720, view %d x %d, scene %s\n", window.view()->width, window.view()->height,
                    scene.c_str());
        for (int k = 0; k < repeat && status != 2; ++k)
            for (const Check& c : checks) {
                bool undone = true;
                const bool ran = checker.prepare(c) && (c.kind == "undo"   ? checker.undoMove(c, undone)
                                                        : c.kind == "save" ? checker.saveMove(c, undone)
                                                        : c.kind == "mode" ? checker.modeAfterMove(c, undone)
                                                                           : checker.copyMove(c));
                std::fflush(stdout);
                if (!ran) {
                    status = 2;
                    break;
                }
                if (!undone) status = 1;
            }
    }
    return status;
}
