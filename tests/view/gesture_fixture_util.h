#pragma once
// The fixture the press and the drag-and-release tests share: an 800 x 600
// view driven frame by frame with the pick records filled by hand, and a cube
// placed in front of the camera.

#include <gtest/gtest.h>

#include "core/mat.h"
#include "core/vec.h"
#include "scene/tool.h"
#include "view/act.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"

namespace qel::test {

// A record that changes nothing, to stand in a history.
struct ToggleAct : Act {
    void apply() override {}
};

class GestureFixture : public ::testing::Test {
protected:
    GestureFixture();
    ~GestureFixture() override;

    // A copy of the cube placed at m, with the scene's lists rebuilt.
    Tool* place(const mat4& m);
    // The pick record of a hit on t (of scene id `tid`), remembered by the
    // scene.
    void hit(Tool* t, int tid);
    void assembly(GLView::TAssemblyAction a);
    void release();

    GLView view{800, 600};
    FrameDriver drive;
    Tool cube;
    Tool* object;  // the cube placed at (0, 0, -1)
    int id;        // its scene id
};

}  // namespace qel::test
