// Every sculpt stroke starts clean, whatever ended the one before it: a tube
// stroke on one path edge that Escape cut short, or whose end never reached
// the view, leaves no anchor or working curve behind, and the next stroke,
// picked on another edge, edits that edge. Driven frame by frame with the
// picks read from an ID buffer held in memory.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "curves/curve.h"
#include "elements/swept_fill.h"
#include "elements/tube.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/keyboard.h"

using namespace qel;

namespace {

// Five vertices one apart along x: edges 0 to 3.
Curve* chain() {
    auto* c = new Curve(std::vector<vec3>{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}}, false);
    for (CurveVertex& v : c->vertices) v.radius = 0.3f;
    return c;
}

Curve* ring() {
    std::vector<vec3> p;
    for (int i = 0; i < 8; ++i) p.emplace_back(0.3f * std::cos(0.785398f * i), 0.3f * std::sin(0.785398f * i), 0.0f);
    return new Curve(p, true);
}

std::vector<vec3> positions(const Curve& c) {
    std::vector<vec3> p;
    for (const CurveVertex& v : c.vertices) p.push_back(v.position);
    return p;
}

class StrokeStart : public ::testing::Test {
protected:
    StrokeStart() {
        view.buildMatrices();
        view.setSymmetry(false, false, false, false, false, false, 6);
        view.brushSize = 40.0f;
        placed = view.scene->addObject(&tool, mat4::Translation(0, 0, -2) * mat4::Scale(0.1f), Scene::HangTop, false);
        view.scene->toList();
        tube = static_cast<Tube*>(placed->element);
        view.setActionMode(GLView::ModeSculpt);
    }

    // Shows the middle of the cell of path edge e and profile edge 0 at its
    // pixel, facing the viewer; returns the pixel.
    std::array<int, 2> show(int e) {
        Curve& path = *tube->path;
        path.calculateOrientations(false);
        vec3 p(0, 0, 0);
        for (int end = 0; end < 2; ++end) {
            const int v = path.edges[std::size_t(e)].v[end];
            const vec3 q = tube->profile->toLocal(tube->profile->vertices[0].position);
            p = p + tubeGridPoint(path.vertexFrame(v), path.vertices[std::size_t(v)].position, q) * 0.5f;
        }
        const int id = view.scene->findID(placed);
        view.scene->searchObject(id);
        const mat4 O = view.scene->objects.matrices[std::size_t(view.scene->pickedIndex)] * placed->matrix();
        const vec3 n = view.project_World_To_Normalized((O * tube->localMatrix()).transformProject(p));
        const vec3 s = view.project_Normalized_To_Screen(n);
        const std::array<int, 2> pixel{int(std::lround(s.x)), int(std::lround(s.y))};
        fakeid::Pixel& px = drive.reader->pixels[{pixel[0], pixel[1]}];
        px.stencil = 1;
        px.depth = (n.z + 1.0f) * 0.5f;
        px.ids[0] = {std::uint32_t(id), std::uint32_t(e << 16), 0};
        px.normal[0] = vec3(0, 0, 1);
        return pixel;
    }
    // Hover, press and two drag frames up (a frame's picks feed the next
    // frame's step), from the shown cell of path edge e.
    void strokeOn(int e) {
        const std::array<int, 2> at = show(e);
        const vec2 p{float(at[0]), float(at[1])};
        drive.move(p);
        drive.frame();
        drive.frame();
        ASSERT_TRUE(view.pickBrush.hit() && view.pickBrush.pickedTool == placed);
        drive.left(true);
        drive.frame();
        ASSERT_EQ(view.interactionState, 1);
        drive.move(p - vec2(0, 6));
        drive.frame();
        drive.move(p - vec2(0, 12));
        drive.frame();
    }

    GLView view{800, 600};
    test::FrameDriver drive{view};
    Tool tool{new Tube(chain(), ring()), mat4::Identity(), pbr(), false};
    Tool* placed = nullptr;
    Tube* tube = nullptr;
};

}  // namespace

TEST_F(StrokeStart, ATubeStrokeCutShortLeavesNothingToTheNextStrokeOnAnotherEdge) {
    for (const bool escape : {true, false}) {
        SCOPED_TRACE(escape ? "Escape" : "end lost");
        // A stroke that acts only at its end, on path edge 0.
        view.setSculptAction(Sculptor::CutSphere);
        strokeOn(0);
        ASSERT_NE(tube->working, nullptr);
        if (escape) {
            drive.hold({Keyboard::KeyEscape});
            drive.frame();
            drive.hold({});
            EXPECT_EQ(tube->working, nullptr);
        } else {
            // The view never saw this stroke end.
            for (Sculptor* s : view.sculptors) delete s;
            view.sculptors.clear();
            view.interactionState = 0;
        }
        drive.left(false);
        drive.frame();
        ASSERT_TRUE(view.idle());

        // The next stroke deforms path edge 2, and only there.
        view.setSculptAction(Sculptor::Deform);
        const std::vector<vec3> before = positions(*tube->path);
        strokeOn(2);
        drive.left(false);
        drive.frame();
        const std::vector<vec3> after = positions(*tube->path);
        ASSERT_EQ(after.size(), before.size());
        EXPECT_EQ(after[0], before[0]);
        EXPECT_EQ(after[1], before[1]);
        EXPECT_TRUE(after[2] != before[2] || after[3] != before[3]);
        EXPECT_EQ(tube->working, nullptr);
    }
}
