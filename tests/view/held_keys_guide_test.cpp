// The guide's tables of held keys against the view: every chosen action is
// chosen, every key that can vary it is held for a frame, and each variant
// the view then puts in effect must be a row of the guide naming that key
// and the action it gives.

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <map>
#include <string>
#include <utility>

#include "core/strings.h"
#include "gl/resources.h"
#include "scene/sculptor.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/keyboard.h"
#include "view/status_text.h"

using namespace qel;

namespace {

using Rows = std::map<std::pair<std::string, std::string>, std::string>;  // (chosen, key) -> in effect

// The rows of the guide's table that follows the heading with this id.
Rows tableOf(const QString& guide, const QString& id) {
    Rows rows;
    const int start = guide.indexOf("<h3 id=\"" + id + "\">");
    if (start < 0) return rows;
    const QString table = guide.mid(start, guide.indexOf("</table>", start) - start);
    const QRegularExpression row("<tr><td>([^<]*)</td><td><kbd>([^<]*)</kbd></td><td>([^<]*)</td></tr>");
    for (auto it = row.globalMatch(table); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        rows[{m.captured(1).toStdString(), m.captured(2).toStdString()}] = m.captured(3).toStdString();
    }
    return rows;
}

// The name the guide gives an assembly action: the status text's, and for
// the two values the status text leaves unnamed what they do.
std::string assemblyName(int action) {
    if (action == 7) return "Pick Patch";
    if (action == 24) return "no action";
    const char* name = assemblyActionName(action);
    return name ? toSpaceMaj(name) : "";
}

class HeldKeys : public ::testing::Test {
protected:
    HeldKeys() {
        initIconResources();  // the guide ships with the icons
        QFile file(":/Help/guide.html");
        if (file.open(QIODevice::ReadOnly)) guide = QString::fromUtf8(file.readAll());
    }
    // Holds the key for a frame, then lets it go for a frame; what was in
    // effect while it was held.
    template <typename Read>
    auto whileHeld(int key, Read read) {
        drive.hold({key});
        drive.frame();
        const auto effect = read();
        drive.hold({});
        drive.frame();
        return effect;
    }
    // The row for (chosen, key), or the table's row for any other action.
    static std::string lookUp(const Rows& rows, const std::string& chosen, const std::string& key) {
        auto it = rows.find({chosen, key});
        if (it == rows.end()) it = rows.find({"Any other action", key});
        return it == rows.end() ? std::string() : it->second;
    }
    void expectListed(const Rows& rows, const std::string& chosen, const std::string& key, const std::string& effect) {
        const std::string cell = lookUp(rows, chosen, key);
        EXPECT_NE(cell.find(effect), std::string::npos)
            << chosen << " with " << key << " held gives " << effect << "; the guide says \"" << cell << "\"";
    }

    QString guide;
    GLView view{800, 600};
    test::FrameDriver drive{view};
};

}  // namespace

TEST_F(HeldKeys, TheGuideListsEveryAssemblyVariantOfAHeldDigit) {
    const Rows rows = tableOf(guide, "held-assembly");
    ASSERT_FALSE(rows.empty());
    int variants = 0;
    for (int action = 0; action <= 53; ++action) {
        if (!assemblyActionName(action) || action == GLView::ActionDraw) continue;
        view.setActionMode(GLView::ModeAssembly);
        view.setAssemblyAction(GLView::TAssemblyAction(action));
        for (int n = 1; n <= 6; ++n) {
            const int effect = whileHeld('0' + n, [this] { return int(view.assemblyAction); });
            if (effect == action) continue;
            ++variants;
            expectListed(rows, assemblyName(action), std::to_string(n), assemblyName(effect));
        }
    }
    EXPECT_EQ(variants, 35);
    // Beside the constraints' variants: which transformer honours them.
    EXPECT_TRUE(guide.simplified().contains("constraints hold only under the <b>Object</b> transformer"));
}

TEST_F(HeldKeys, TheGuideListsTheDigitsOfADrawingForEachTool) {
    const Rows rows = tableOf(guide, "held-draw");
    ASSERT_FALSE(rows.empty());
    for (GLView::TToolCreation tool : {GLView::CreateTube, GLView::CreateArray, GLView::CreateChain}) {
        view.setActionMode(GLView::ModeAssembly);
        view.setAssemblyAction(GLView::ActionDraw);
        view.setActiveTool(tool, true);
        ASSERT_EQ(view.assemblyAction, GLView::ActionDraw);
        for (int n = 1; n <= 6; ++n) {
            const std::string effect = whileHeld('0' + n, [this] {
                return view.actionMode == GLView::ModeSculpt ? toSpaceMaj(sculptActionName(view.sculptAction))
                                                             : assemblyName(view.assemblyAction);
            });
            if (effect != "Draw") expectListed(rows, "Draw", std::to_string(n), effect);
        }
        EXPECT_EQ(view.actionMode, GLView::ModeAssembly) << "letting 1 go ends the smoothing";
    }
}

TEST_F(HeldKeys, TheGuideListsEverySculptVariantOfAHeldKey) {
    const Rows rows = tableOf(guide, "held-sculpt");
    ASSERT_FALSE(rows.empty());
    const std::pair<int, const char*> keys[] = {{'1', "1"}, {'2', "2"}, {Keyboard::KeyControl, "Ctrl"}};
    for (int action = 0; action <= 71; ++action) {
        if (!sculptActionName(action)) continue;
        view.setActionMode(GLView::ModeSculpt);
        view.setSculptAction(Sculptor::TAction(action));
        for (const auto& [key, label] : keys) {
            const int effect = whileHeld(key, [this] { return int(view.sculptAction); });
            if (effect != action)
                expectListed(rows, toSpaceMaj(sculptActionName(action)), label, toSpaceMaj(sculptActionName(effect)));
        }
    }
}
