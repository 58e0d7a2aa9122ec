// A quick Copy Move with the sculpt X mirror on, on a ball placed twice as
// a mirrored pair (one element, two objects): the symmetric stamp lands on
// the other side of the same ball, so the two stamps' parts are one part
// and its copies. Motions that the steps cannot keep up with are taken as
// one step to the latest; the stroke must end where the same motions on
// fast frames end, the symmetric stamp's part included. The frames run the
// whole frame loop, with the drawing and each step counted on the step
// clock, not timed.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/sculptor.h"
#include "scene/tool.h"
#include "view/fake_id_reader_util.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/keyboard.h"
#include "view/stroke_path_util.h"

using namespace qel;

namespace {

// The press, right of the middle of the view, where the world's x = 0
// plane (the pair's mirror) stands.
constexpr int X = 480, Y = 300;

double stepCostMs = 0.0;
int sculptCalls = 0;

// A mesh whose every sculpt step costs stepCostMs of the counted clock.
class CostlyMesh : public Mesh {
public:
    explicit CostlyMesh(const Mesh& m) : Mesh(m) {}
    void sculpt(std::vector<Sculptor*>& sculptors) override {
        test::CountedClock::nowMs += stepCostMs;
        ++sculptCalls;
        Mesh::sculpt(sculptors);
    }
    Mesh* clone() override { return new CostlyMesh(*this); }
};

struct Ending {
    std::vector<vec3> positions;  // the ball element's vertices
    int steps = 0;                // sculpt calls from the press to the end
    int frames = 0;               // frames after the release until the stroke ended
};

// A Sculpt > Transform > Move stroke with Control held at the press (a
// Copy Move) on a ball of 40 pixels' radius whose surface passes under
// (X, Y) left of its centre, placed with its mirror image through x = 0;
// the sculpt X mirror as given. Motions along `path`, every one latched
// before one frame (interval 0), each followed by a frame of its own
// (interval < 0), or latched once the counted clock passed its time
// (interval ms apart); then the release, and frames until the stroke ends.
Ending copyMove(bool mirror, const std::vector<vec2>& path, double interval, Sculptor::TAction action) {
    test::DrivenView view(800, 600);
    view.buildMatrices();
    view.setSymmetry(mirror, false, false, false, false, false, 6);
    view.drawCostMs = stepCostMs > 0.0 ? 30.0 : 0.0;
    test::FrameDriver drive(view);
    view.setActionMode(GLView::ModeSculpt);
    view.setSculptAction(Sculptor::Move);
    view.setBrushSize(40.0f);
    const vec3 front = view.unproject(float(X), float(Y), 0.5f);
    const float r = length(view.unproject(float(X + 40), float(Y), 0.5f) - front);
    const vec3 in = normalize(view.unproject(float(X), float(Y), 1.0f) - front);
    const vec3 right = normalize(view.unproject(float(X + 1), float(Y), 0.5f) - front);
    const vec3 c = front + normalize(in + right * 0.5f) * r;
    std::unique_ptr<Mesh> seed(Mesh::Icosahedron());
    std::unique_ptr<Mesh> ball(Mesh::Sphere(seed.get(), 2, false, true));
    // The object's scale that makes the ball's radius r.
    float radius = 0.0f;
    for (const MeshVertex& v : ball->vertices) radius = std::max(radius, float(length(ball->toLocal(v.position))));
    const float k = r / radius;
    Tool source(new CostlyMesh(*ball), mat4::Identity(), pbr(), false);
    const mat4 at = mat4::Translation(c.x, c.y, c.z) * mat4::Scale(k, k, k);
    std::vector<Tool*> placed;
    view.scene->addObject(&source, std::vector<mat4>{at, mat4::Scale(-1, 1, 1) * at}, placed, Scene::HangTop, false,
                          false);
    view.scene->toList();
    fakeid::Pixel& pixel = drive.reader->pixels[{X, Y}];
    pixel.stencil = 1;
    pixel.depth = 0.5f;
    pixel.ids[0] = {std::uint32_t(view.scene->findID(placed.front())), 0u, 0};
    pixel.normal[0] = vec3(0, 0, 1);
    if (action == Sculptor::CopyMove) drive.hold({Keyboard::KeyControl});
    for (const vec2 p : {vec2(X - 5, Y), vec2(X, Y)}) {
        drive.move(p);
        drive.frame();
    }
    const int before = sculptCalls;
    drive.buttonEvent(vec2(X, Y), true, false);
    drive.frame();
    EXPECT_EQ(view.sculptors.size(), mirror ? 2u : 1u);
    const double start = test::CountedClock::nowMs;
    for (std::size_t next = 0; next < path.size();) {
        if (interval > 0.0) {
            for (; next < path.size() && start + interval * double(next + 1) <= test::CountedClock::nowMs; ++next)
                drive.motionEvent(path[next]);
            if (next == path.size()) break;
            const double was = test::CountedClock::nowMs;
            drive.frame();
            // A frame with nothing to draw waits for the next motion.
            if (test::CountedClock::nowMs == was)
                test::CountedClock::nowMs = std::max(was, start + interval * double(next + 1));
            continue;
        }
        drive.motionEvent(path[next++]);
        if (interval < 0.0) drive.frame();
    }
    drive.buttonEvent(path.back(), false, false);
    Ending e;
    for (; e.frames < 200 && !view.sculptors.empty(); ++e.frames) drive.frame();
    e.steps = sculptCalls - before;
    for (const MeshVertex& v : static_cast<const Mesh*>(placed.front()->element)->vertices)
        e.positions.push_back(v.position);
    return e;
}

// `n` quick motions down and to the left, under a pixel apart.
std::vector<vec2> downLeft(int n) {
    std::vector<vec2> path;
    for (int k = 1; k <= n; ++k) path.emplace_back(float(X - 0.7 * k), float(Y + 0.4 * k));
    return path;
}

// The mean of the vertices [first, first + n).
vec3 centre(const std::vector<vec3>& p, std::size_t first, std::size_t n) {
    dvec3 sum(0, 0, 0);
    for (std::size_t v = first; v < first + n; ++v) sum = sum + dvec3(p[v].x, p[v].y, p[v].z);
    return vec3(float(sum.x / double(n)), float(sum.y / double(n)), float(sum.z / double(n)));
}

}  // namespace

// The quick Copy Move, all its motions latched behind one frame or coming
// at a hand's pace while each step costs 40 ms, ends with the ball element
// holding the same vertices (within float rounding) as the same motions on
// fast frames, with the mirror off and on. With the mirror the symmetric
// stamp's part is the copy the first stamp left in place: the ball and
// that copy move as mirror images, and a copy of the copy stays. (Found
// again at each step, the symmetric stamp's part was whichever lay nearest
// its point: on fast frames the ball, barely moved by the short first step,
// so its copy was made away from the ball's place and the ball took both
// stamps' steps for a while; taken as one step, the copy.)
TEST(StrokePaceMirror, AQuickCopyMoveEndsWhereTheSameMotionsOnFastFramesEnd) {
    const std::vector<vec2> path = downLeft(60);
    for (const Sculptor::TAction action : {Sculptor::CopyMove, Sculptor::Move}) {
        for (const bool mirror : {false, true}) {
            const std::string what = "action " + std::to_string(int(action)) + (mirror ? ", mirror" : "");
            stepCostMs = 0.0;
            const Ending fast = copyMove(mirror, path, -1.0, action);
            stepCostMs = 40.0;
            const Ending latched = copyMove(mirror, path, 0.0, action);
            const Ending paced = copyMove(mirror, path, 2.5, action);
            stepCostMs = 0.0;
            // The press, one step to the latest motion, the release.
            EXPECT_EQ(latched.steps, 3) << what;
            EXPECT_LE(paced.frames, 2) << what;
            ASSERT_EQ(fast.positions.size(), latched.positions.size()) << what;
            ASSERT_EQ(fast.positions.size(), paced.positions.size()) << what;
            EXPECT_LT(test::largestDifference(latched.positions, fast.positions), 1e-5) << what;
            EXPECT_LT(test::largestDifference(paced.positions, fast.positions), 1e-5) << what;
            if (action != Sculptor::CopyMove) continue;
            // The ball, then a copy per stamp.
            const std::size_t n = fast.positions.size() / (mirror ? 3 : 2);
            ASSERT_EQ(fast.positions.size(), n * (mirror ? 3 : 2)) << what;
            const vec3 moved = centre(fast.positions, 0, n);
            EXPECT_GT(length(moved), 0.5) << what;
            EXPECT_LT(length(centre(fast.positions, n * (mirror ? 2 : 1), n)), 1e-5) << what;
            if (mirror) {
                EXPECT_LT(length(centre(fast.positions, n, n) - moved * vec3(-1, 1, 1)), 1e-5) << what;
            }
        }
    }
}
