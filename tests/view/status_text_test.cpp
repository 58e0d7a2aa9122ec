// The status text's lines, built from the view's settings without GL.

#include "view/status_text.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "curves/curve.h"
#include "files/slow_scenes_util.h"
#include "scene/load_budget.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "tools/array.h"
#include "view/glview.h"

using namespace qel;

namespace {

// The pieces joined into lines.
std::vector<std::string> lines(const GLView& view) {
    std::vector<std::string> out(1);
    for (const StatusPiece& piece : statusText(view)) {
        out.back() += piece.text;
        if (piece.newLine) out.emplace_back();
    }
    out.pop_back();
    return out;
}

}  // namespace

TEST(StatusText, AtStartUp) {
    GLView view(64, 64);
    const std::vector<std::string> want = {
        "Objects 0   Tools 1", "", "IDLE", "", "", "Projection: Same Depth", "Frame: Object", "Sym:  Mirror X", ""};
    EXPECT_EQ(lines(view), want);
    const std::vector<StatusPiece> pieces = statusText(view);
    EXPECT_EQ(pieces.front().colour, bvec4(204, 204, 204, 0));
    EXPECT_EQ(pieces[2].colour, bvec4(0, 255, 0, 255));
    EXPECT_EQ(pieces.back().colour, bvec4(255, 255, 255, 255));
}

TEST(StatusText, CopiesAnArrayLeftOutAreCountedOnTheFirstLine) {
    struct CapGuard {
        std::size_t old = Array::maxCopyEntries;
        ~CapGuard() { Array::maxCopyEntries = old; }
    } guard;
    Array::maxCopyEntries = 30;
    GLView view(64, 64);
    std::vector<vec3> points;
    for (int i = 0; i <= 50; ++i) points.push_back(vec3(float(i), 0, 0));
    Tool item(nullptr, mat4::Identity(), pbr(), false);
    auto* a = new Array(new Curve(points, false), {&item}, {(1 << 15) | 1}, Array::Simple, mat4::Identity(),
                        mat4::Identity(), pbr(), false);
    view.scene->objectsRoot->addChild(a, false);
    view.scene->toList();
    EXPECT_EQ(lines(view).front(), "Objects 31   Tools 1   20 copies left out");
    // An export of the same scene says so too.
    QTemporaryDir dir;
    ASSERT_TRUE(view.save(dir.filePath("cut.obj").toStdString()));
    EXPECT_NE(view.saveWarning.find("without 20 array copies"), std::string::npos) << view.saveWarning;
    ASSERT_TRUE(view.save(dir.filePath("whole.tl").toStdString()));
    EXPECT_EQ(view.saveWarning, "");
}

// A count of copies left out that reached the largest number it holds
// stands for at least that many, as the load's warning says it.
TEST(StatusText, ASaturatedCountOfCopiesLeftOutSaysMoreThan) {
    GLView view(64, 64);
    LoadBudget budget(LoadBudget::SamplesPerLoad, 1000, LoadBudget::bytesPerLoad());
    ASSERT_TRUE(view.scene->loadFromMemory(slowscenes::deepNestedArrays(7)));
    ASSERT_EQ(view.scene->objects.copiesLeftOut, std::numeric_limits<std::size_t>::max());
    const std::string first = lines(view).front();
    const std::string said = "   more than 18,446,744,073,709,551,614 copies left out";
    EXPECT_EQ(first.substr(first.size() - std::min(first.size(), said.size())), said) << first;
}

// The lines between the mode line and the projection line, by mode and
// action; and the symmetry and snap lines.
TEST(StatusText, ModeActionAndOptionLines) {
    using Lines = std::vector<std::string>;
    const struct {
        std::function<void(GLView&)> set;
        Lines want;
    } cases[] = {
        {[](GLView& v) { v.setSculptAction(Sculptor::Pattern4); },
         {"SCULPT", "Pattern 4", "Selection: Element", "Axis", "Groups"}},
        {[](GLView& v) { v.simpleMode = 1, v.setAssemblyAction(GLView::ActionInsert); },
         {"ASSEMBLY", "Place", "Groups"}},
        {[](GLView& v) { v.setAssemblyAction(GLView::ActionInsert); },
         {"ASSEMBLY", "Insert", "Hierarchy: Add To Child", "Placement: Relative To Child", "Add On Linked Objects",
          "Linked", "Groups"}},
        {[](GLView& v) { v.setAssemblyAction(GLView::ActionMove); },
         {"ASSEMBLY", "Move", "", "", "", "Linked", "Groups"}},
        {[](GLView& v) { v.setAssemblyAction(GLView::ActionCounterConstrainTranslation), v.linkedMode = 0; },
         {"ASSEMBLY", "Counter Constrain Translation", "", "", "", "Unlinked", "Groups"}},
        {[](GLView& v) { v.setAssemblyAction(GLView::ActionIK); },
         {"ASSEMBLY", "IK Base", "", "", "", "Linked", "Groups"}},
        {[](GLView& v) { v.setAssemblyAction(GLView::ActionIK), v.ikLevel = 3; },
         {"ASSEMBLY", "IK 3", "", "", "", "Linked", "Groups"}},
    };
    for (const auto& c : cases) {
        GLView view(64, 64);
        view.setActionMode(c.want[0] == "SCULPT" ? GLView::ModeSculpt : GLView::ModeAssembly);
        c.set(view);
        const Lines got = lines(view);
        EXPECT_EQ(Lines(got.begin() + 2, got.end() - 4), c.want);
    }
    GLView view(64, 64);
    view.setSymmetry(true, false, false, false, true, false, 6);
    view.setSnapGrid(true);
    EXPECT_EQ(lines(view).back(), "Snap: Grid");
    view.snapSymmetry = 1;
    EXPECT_EQ(lines(view).back(), "Snap: Symmetry Grid");
    view.snapSymmetry = view.snapGrid = 0;
    EXPECT_EQ(lines(view).back(), "");
    EXPECT_EQ(lines(view).end()[-2], "Sym:  Mirror X  Rotation Y.6");
    view.setSymmetry(false, false, false, false, false, false, 6);
    EXPECT_EQ(lines(view).end()[-2], "Frame: Object");
}
