// Fuzz target of the scene and object file reader: qel::Scene::loadFromMemory
// on arbitrary bytes, merged into a scene that already holds a template and
// an object in a ring.
//
// Checked afterwards: the reader never reads outside the bytes (the
// sanitizers); a refused file leaves the scene exactly as it was; in every
// case each tree (an array's templates included) is acyclic with consistent
// parent links, every instance ring is a proper ring whose members all
// belong to the scene, every partner link is mutual between two tools of the
// scene, every element's reference count equals the number of tools showing
// it (a curve's, plus the counts of the tubes, revolutons and resampled
// curves holding it), and every sound mesh shown keeps the mesh invariants
// and every sound curve shown the curve invariants, with finite values.
// All of it holds again once every cable has been drawn (a cable whose tube
// others hold takes one of its own).
//
// Images named by sprite records are not read: the image files are opened
// through a hook that opens nothing, so the records are fuzzed, not the file
// system (a path could name a device that never ends).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "curves/curve.h"
#include "curves/curve_invariants_util.h"
#include "gl/buffer.h"
#include "gl/image_file.h"
#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "scene/element.h"
#include "scene/scene.h"
#include "tools/bi_tool.h"
#include "tools/cable.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

// Every tool of both trees, the templates of arrays included, checking
// parents and acyclicity on the way.
std::vector<qel::Tool*> allTools(qel::Scene& scene) {
    std::vector<qel::Tool*> all;
    std::vector<qel::Tool*> stack = {scene.objectsRoot, scene.toolsRoot};
    std::vector<qel::Tool*> below;
    while (!stack.empty()) {
        qel::Tool* t = stack.back();
        stack.pop_back();
        below = t->children;
        t->appendOwned(below);
        for (qel::Tool* c : below) {
            check(c && c->parent == t && !c->isRoot());
            all.push_back(c);
            check(all.size() < 10000000);
            stack.push_back(c);
        }
    }
    return all;
}

bool finite(const qel::vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// A curve element read from the file: finite values; the invariants when
// its connectivity was built.
void checkCurve(const qel::Element* e) {
    const qel::Curve* curve = dynamic_cast<const qel::Curve*>(e);
    if (!curve) return;
    check(finite(curve->centre) && std::isfinite(curve->size()));
    for (const qel::CurveVertex& v : curve->vertices)
        check(finite(v.position) && std::isfinite(v.radius) && std::isfinite(v.angle));
    if (curve->status != 0) return;
    const std::string broken = curvetest::checkCurveInvariants(*curve);
    if (!broken.empty()) {
        std::fprintf(stderr, "curve invariant broken: %s\n", broken.c_str());
        std::abort();
    }
}

void checkScene(qel::Scene& scene) {
    const std::vector<qel::Tool*> all = allTools(scene);
    std::unordered_map<qel::Tool*, int> members;
    for (qel::Tool* t : all) check(members.emplace(t, 0).second);  // each tool once
    std::unordered_map<qel::Element*, int> holders;
    for (qel::Tool* t : all) {
        std::size_t steps = 0;
        qel::Tool* x = t;
        do {
            check(members.count(x) == 1);
            x = x->nextInstance;
            check(++steps <= all.size());
        } while (x != t);
        if (t->element) ++holders[t->element];
        if (t->isBiTool())
            if (qel::BiTool* p = static_cast<qel::BiTool*>(t)->partner)
                check(p != t && p->partner == t && members.count(p) == 1);
    }
    // A composite element (tube, revoluton, resampled curve) holds each of
    // its sub-elements as often as it is held itself, down to the curves
    // under a resampled curve inside a tube.
    std::unordered_map<qel::Element*, int> expected(holders.begin(), holders.end());
    std::vector<qel::Element*> walk;
    for (const auto& h : holders) walk.push_back(h.first);
    std::vector<qel::Element*> subs;
    for (std::size_t i = 0; i < walk.size(); ++i) {
        check(i < 10000000);
        subs.clear();
        walk[i]->subElements(subs);
        for (qel::Element* s : subs) {
            check(s != nullptr);
            if (expected.count(s) == 0) walk.push_back(s);
            expected[s] += walk[i]->refCount;
        }
    }
    for (const auto& x : expected) {
        check(x.first->refCount == x.second);
        checkCurve(x.first);
    }
    for (const auto& h : holders) {
        const qel::Mesh* mesh = dynamic_cast<const qel::Mesh*>(h.first);
        if (!mesh || mesh->status != 0) continue;
        const std::string broken = meshtest::checkMeshInvariants(*mesh);
        if (!broken.empty()) {
            std::fprintf(stderr, "mesh invariant broken: %s\n", broken.c_str());
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qel::ImageFile::open = &qel::ImageFile::openNothing;
    const std::int32_t savedVersion = qel::FILE_VERSION;
    qel::Scene scene;
    qel::Mesh* cube = qel::Mesh::Cube();
    qel::Tool* tmpl = scene.addTool(new qel::Tool(cube, qel::mat4::Identity(), qel::pbr(), false));
    qel::Tool* placed = scene.addObject(tmpl, qel::mat4::Translation(1, 0, 0), qel::Scene::HangTop, true);
    check(placed != nullptr);
    scene.toList();
    const std::vector<qel::Tool*> before = scene.objects.tools;

    const bool ok = scene.loadFromMemory(std::vector<std::uint8_t>(data, data + size));
    if (!ok) {
        scene.toList();
        check(scene.objects.tools == before);
        check(scene.currentTool == tmpl);
        check(scene.toolsRoot->children.size() == 1);
        check(cube->refCount == 2);
    } else {
        check(scene.objects.tools.size() >= before.size());
    }
    checkScene(scene);
    for (qel::Tool* t : allTools(scene))
        if (auto* c = dynamic_cast<qel::Cable*>(t)) {
            c->length = 1.5f;
            if (!(c->referenceLength > 0.0f)) c->referenceLength = 1.0f;
            c->transformRender(qel::mat4::Identity());
        }
    checkScene(scene);
    qel::Scene::Error = 0;
    qel::Tool::Error = 0;
    qel::FILE_VERSION = savedVersion;
    return 0;
}
