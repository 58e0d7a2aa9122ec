// How long a sculpt stroke goes on after its release, by real input: the
// main window on an X display (software OpenGL under Xvfb, as scripts/
// stroke-end runs it), its scene a torus of 1,001,112 triangles placed twice
// with the X mirror (one element, two instances, as Insert places it with X
// Mirror on, and the sculpt's own X mirror on), and strokes sent through the
// X test extension at a hand's pace: Sculpt > Transform > Move, with Control
// held at the press for a Copy Move, or a Deform zigzag with a brush of 48
// pixels. The scene file is made with the project's own code on the first
// run and kept.
//
// For each stroke it reports the frames and the seconds from the release
// (the moment the release went to the X server) until the stroke has ended
// (the frame after which the view holds no Sculptor), with the frames'
// times. Each stroke starts from the scene as loaded.
//
//   stroke_end_x [--scene PATH] [--repeat N] [STROKE ...]
//   STROKE   move:MOTIONS:SECONDS, copy:MOTIONS:SECONDS or
//            deform:MOTIONS:SECONDS; by default move:375:3 and copy:3000:6.3.
//            A deform stroke walks a zigzag 60 pixels up and down from the
//            press, ten pixels a motion (24 motions a cycle), drifting 15
//            pixels to either side; a deform stroke of as many motions as
//            the one before it also reports the largest distance between a
//            vertex of the two results (each starts from the scene as
//            loaded), in the mesh's units and in brush radii.
//
// Exit status 0 when every stroke ended within two frames of its release,
// 1 when one did not, 2 when the run itself failed. Not part of the test
// suite: its figures follow the host's speed and load.

#include <X11/keysym.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScreen>
#include <QTimerEvent>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
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
#include "scene/sculptor.h"
#include "scene/tool.h"
#include "tests/app/gl_widget/x_pointer.h"
#include "view/asker.h"
#include "view/camera.h"
#include "view/glview.h"
#include "view/id_reader.h"
#include "view/input_latch.h"
#include "view/keyboard.h"
#include "view/mouse.h"

namespace {

using toruspair::circlePath;
using toruspair::pressPoint;
using toruspair::waitFor;

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

struct Stroke {
    bool copy = false;
    bool deform = false;
    int motions = 0;
    double seconds = 0;
};

bool parseStroke(const std::string& text, Stroke& s) {
    char kind[8] = {};
    if (std::sscanf(text.c_str(), "%7[a-z]:%d:%lf", kind, &s.motions, &s.seconds) != 3) return false;
    s.copy = std::string(kind) == "copy";
    s.deform = std::string(kind) == "deform";
    return (s.copy || s.deform || std::string(kind) == "move") && s.motions > 0 && s.seconds > 0;
}


// Times every tick of the view widget's frame loop: it runs the tick
// itself, between two readings of the clock, and notes what it left.
class FrameLog : public QObject {
public:
    struct Tick {
        Clock::time_point start, end;
        bool drawn = false;       // the frame loop returned a frame
        bool stroking = false;    // the view held Sculptors after it
        std::size_t waiting = 0;  // motions latched when it started
    };

    FrameLog(GLWidget* w, qel::GLView* v) : widget_(w), view_(v) { widget_->installEventFilter(this); }
    ~FrameLog() override { widget_->removeEventFilter(this); }
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    std::vector<Tick> ticks;
    float radius = 0.0f;  // the stroke's brush radius in the sculpted element's units

private:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (inside_ || watched != widget_ || event->type() != QEvent::Timer ||
            static_cast<QTimerEvent*>(event)->timerId() != widget_->timerId)
            return false;
        Tick t;
        t.start = Clock::now();
        t.waiting = qel::inputLatch.motions();
        inside_ = true;
        QCoreApplication::sendEvent(widget_, event);
        inside_ = false;
        t.end = Clock::now();
        t.drawn = widget_->frame != nullptr;
        t.stroking = !view_->sculptors.empty();
        if (t.stroking && radius == 0.0f && !view_->sculptors[0]->samples.empty())
            radius = view_->sculptors[0]->samples[0].radius;
        ticks.push_back(t);
        return true;
    }

    GLWidget* widget_;
    qel::GLView* view_;
    bool inside_ = false;
};




// A zigzag from the press point: ten pixels up or down a motion between 60
// above and 60 below it, and a pixel to the side, turning every 30 within
// 15 to either side.
std::vector<QPoint> zigzagPath(QPoint from, int motions) {
    std::vector<QPoint> path;
    for (int k = 1; k <= motions; ++k) {
        const int t = (k + 6) % 24, u = (k + 15) % 60;
        const int y = t < 12 ? 10 * t - 60 : 60 - 10 * (t - 12);
        const int x = u < 30 ? u - 15 : 15 - (u - 30);
        path.emplace_back(from.x() + x, from.y() + y);
    }
    return path;
}

struct Result {
    bool started = false;     // the view held the stroke's Sculptors
    bool ended = false;       // and let them go after the release
    double releaseToEnd = 0;  // seconds from the release to the end of the frame that ended the stroke
    int framesAfter = 0;      // frames started after the release, that one included
    double underWayMs = 0;    // the frame under way at the release (0: none)
    std::size_t waiting = 0;  // the most motions latched at the start of a frame after the release
    double afterMeanMs = 0, afterMostMs = 0;
    int framesDuring = 0;  // frames from the press to the release
    double duringMeanMs = 0;
    std::vector<qel::vec3> vertices;  // the sculpted mesh's, after the stroke
    float radius = 0;                 // the brush's in the mesh's units
};

// What the frames of one stroke say.
Result summarise(const std::vector<FrameLog::Tick>& ticks, Clock::time_point pressed, Clock::time_point released) {
    Result r;
    double during = 0, after = 0;
    for (const FrameLog::Tick& t : ticks) {
        const double ms = secondsBetween(t.start, t.end) * 1000.0;
        r.started = r.started || t.stroking;
        if (t.start <= released) {
            if (t.end > released && t.drawn) r.underWayMs = ms;
            if (t.start >= pressed && t.drawn) {
                ++r.framesDuring;
                during += ms;
            }
            continue;
        }
        r.waiting = std::max(r.waiting, t.waiting);
        if (t.drawn) {
            ++r.framesAfter;
            after += ms;
            r.afterMostMs = std::max(r.afterMostMs, ms);
        }
        if (r.started && !t.stroking) {
            r.ended = true;
            r.releaseToEnd = secondsBetween(released, t.end);
            break;
        }
    }
    r.duringMeanMs = r.framesDuring ? during / r.framesDuring : 0;
    r.afterMeanMs = r.framesAfter ? after / r.framesAfter : 0;
    return r;
}

class Harness {
public:
    Harness(MainWindow& w, const std::string& scene) : window_(w), view_(*w.view()), scenePath_(scene) {}

    bool prepare() {
        if (!view_.load(scenePath_)) {
            std::fprintf(stderr, "stroke_end_x: %s could not be opened: %s\n", scenePath_.c_str(),
                         view_.loadError.c_str());
            return false;
        }
        // The world's origin in the middle of the view.
        view_.camera->position = qel::vec3(0, 0, 0);
        window_.ui->actionSculpt->trigger();
        if (deform_) {
            window_.ui->actionDeform->trigger();
            view_.setBrushSize(48.0f);
        } else {
            window_.ui->actionMove->trigger();
        }
        view_.setSymmetry(true, false, false, false, false, false, 6);
        view_.redraw = 1;
        return toruspair::settleAndFindPress(*window_.glWidget, view_, press_, "stroke_end_x");
    }

    // The strokes to come are Deform strokes.
    void deform(bool on) { deform_ = on; }

    bool run(const Stroke& s, Result& r) {
        tltest::XPointer x;
        if (!x.ok()) {
            std::fprintf(stderr, "stroke_end_x: no X display with the test extension\n");
            return false;
        }
        GLWidget& widget = *window_.glWidget;
        const QPoint start = widget.mapToGlobal(press_);
        // The pointer rests on the torus, picked there.
        if (!toruspair::hoverAt(x, widget, view_, press_, "stroke_end_x")) return false;
        if (s.copy) {
            x.key(XK_Control_L, true);
            if (!waitFor([&] { return view_.sculptAction == qel::Sculptor::CopyMove; }, 600)) return false;
        }
        std::vector<QPoint> path = s.deform ? zigzagPath(start, s.motions) : circlePath(start, s.motions);
        FrameLog log(&widget, &view_);
        std::atomic<Clock::rep> released{Clock::time_point::max().time_since_epoch().count()};
        std::atomic<bool> sent{false};
        const Clock::time_point pressed = Clock::now();
        std::thread hand([&, t0 = pressed] {
            tltest::XPointer h;
            h.left(true);
            const double interval = s.seconds / double(s.motions);
            for (std::size_t k = 0; k < path.size(); ++k) {
                std::this_thread::sleep_until(t0 + std::chrono::duration_cast<Clock::duration>(
                                                       std::chrono::duration<double>(interval * double(k + 1))));
                h.moveTo(path[k]);
            }
            h.left(false);
            h.focus();  // every request taken by the server
            released = Clock::now().time_since_epoch().count();
            if (s.copy) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                h.key(XK_Control_L, false);
                h.focus();
            }
            sent = true;
        });
        // Until a frame started after the release has ended the stroke, or
        // 30 minutes.
        const auto releasedAt = [&] { return Clock::time_point(Clock::duration(released.load())); };
        waitFor(
            [&] {
                return sent && !log.ticks.empty() && log.ticks.back().start > releasedAt() &&
                       !log.ticks.back().stroking;
            },
            1800);
        hand.join();
        r = summarise(log.ticks, pressed, releasedAt());
        if (!waitFor([&] { return view_.idle() && qel::inputLatch.empty(); }, 600)) return false;
        // The mesh both objects of the pair show.
        const qel::Tool* first =
            view_.scene->objectsRoot->children.empty() ? nullptr : view_.scene->objectsRoot->children[0];
        const qel::Mesh* mesh = first ? dynamic_cast<const qel::Mesh*>(first->element) : nullptr;
        if (mesh)
            for (const qel::MeshVertex& v : mesh->vertices) r.vertices.push_back(v.position);
        r.radius = log.radius;
        return true;
    }

private:
    MainWindow& window_;
    qel::GLView& view_;
    std::string scenePath_;
    QPoint press_;
    bool deform_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    std::string scene = "stroke_end_torus_pair.tl";
    int repeat = 1;
    std::vector<Stroke> strokes;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        Stroke s;
        if (a == "--scene" && i + 1 < argc) {
            scene = argv[++i];
        } else if (a == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (parseStroke(a, s)) {
            strokes.push_back(s);
        } else {
            std::fprintf(stderr,
                         "usage: stroke_end_x [--scene PATH] [--repeat N] [move|copy|deform:MOTIONS:SECONDS ...]\n");
            return 2;
        }
    }
    if (strokes.empty()) strokes = {{false, false, 375, 3.0}, {true, false, 3000, 6.3}};

    qel::InitExactPredicates();
    if (!toruspair::ensureScene(scene, false, "stroke_end_x")) return 2;
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
        // The whole screen, as the program shows itself maximised.
        window.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
        window.show();
        window.activateWindow();
        if (!waitFor([&] { return window.glWidget->lastFrame != nullptr; }, 600)) return 2;
        Harness harness(window, scene);
        std::printf("view %d x %d, scene %s\n", window.view()->width, window.view()->height, scene.c_str());
        Result last;
        const Stroke* lastStroke = nullptr;
        for (int k = 0; k < repeat && status != 2; ++k)
            for (const Stroke& s : strokes) {
                Result r;
                harness.deform(s.deform);
                if (!harness.prepare() || !harness.run(s, r)) {
                    status = 2;
                    break;
                }
                if (!r.started) {
                    std::fprintf(stderr, "stroke_end_x: the press started no stroke\n");
                    status = 2;
                    break;
                }
                std::printf(
                    "%-9s %5d motions over %4.1f s: %s %.2f s and %d frames after the release "
                    "(%zu motions waiting at most; frames %.0f ms mean, %.0f ms at most; the frame under way "
                    "at the release %.0f ms); %d frames during the drag, %.0f ms mean\n",
                    s.deform ? "Deform"
                    : s.copy ? "Copy Move"
                             : "Move",
                    s.motions, s.seconds, r.ended ? "ended" : "NOT ENDED after", r.ended ? r.releaseToEnd : 1800.0,
                    r.framesAfter, r.waiting, r.afterMeanMs, r.afterMostMs, r.underWayMs, r.framesDuring,
                    r.duringMeanMs);
                if (s.deform && lastStroke && lastStroke->deform && lastStroke->motions == s.motions &&
                    last.vertices.size() == r.vertices.size()) {
                    double most = 0;
                    for (std::size_t v = 0; v < r.vertices.size(); ++v)
                        most = std::max(most, double(length(r.vertices[v] - last.vertices[v])));
                    std::printf("  largest vertex difference from the %.1f s stroke: %.3g (%.3g brush radii)\n",
                                lastStroke->seconds, most, r.radius > 0 ? most / r.radius : 0.0);
                }
                std::fflush(stdout);
                if (!r.ended || r.framesAfter > 2) status = std::max(status, 1);
                last = std::move(r);
                lastStroke = &s;
            }
    }
    return status;
}
