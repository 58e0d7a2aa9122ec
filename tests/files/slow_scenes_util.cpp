#include "files/slow_scenes_util.h"

#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <memory>

#include "curves/curve.h"
#include "curves/ucurve.h"
#include "elements/tube.h"
#include "files/scene_writer.h"
#include "scene/tool.h"
#include "tools/array.h"

namespace slowscenes {

using namespace qel;

namespace {

// The base: two vertices `length` apart, radius 0, stored size 1. Built
// without initialize so that nothing resamples while the file is made.
Curve* thinBase(float length) {
    Curve* c = new Curve({vec3(0, 0, 0), vec3(length, 0, 0)}, {0.0f, 0.0f}, {true, true}, false);
    c->centre = vec3(0, 0, 0);
    c->setSize(1.0f);
    return c;
}

// A resampled curve over a thin base, its arrays still empty.
UCurve* resampledOver(float length) {
    UCurve* u = new UCurve(Curve::Plain);
    u->base = thinBase(length);
    return u;
}

// The bytes of a file holding the trees of the given top tools (objects),
// which are deleted afterwards with their elements.
Bytes fileOf(const std::vector<Tool*>& tops) {
    std::vector<Tool*> tools;
    std::vector<std::size_t> starts;
    for (Tool* t : tops) {
        t->flags |= Tool::FlagObject;
        starts.push_back(tools.size());
        t->toList(tools);
    }
    starts.push_back(tools.size());
    QTemporaryDir dir;
    const std::string path = dir.filePath("slow.tl").toStdString();
    std::string error;
    Bytes out;
    if (scenefile::writeToolsFile(path, tools, starts, error)) {
        std::ifstream in(path, std::ios::binary);
        out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    for (Tool* t : tops) delete t;
    return out;
}

Tool* objectOf(Element* e) { return new Tool(e, mat4::Identity(), pbr(), false); }

}  // namespace

Bytes longResampledCurve(float length) { return fileOf({objectOf(resampledOver(length))}); }

Bytes tubeOnResampledCurves(float length) {
    Tube* tube = new Tube();
    tube->path = resampledOver(length);
    tube->profile = resampledOver(length);
    return fileOf({objectOf(tube)});
}

Bytes deepNestedArrays(int depth, float length) {
    const std::vector<std::int32_t> everyEdge = {(1 << 15) | 1};
    Tool* t = new Tool(nullptr, mat4::Identity(), pbr(), false);
    for (int i = 0; i < depth; ++i) {
        Array* a = new Array(resampledOver(length), {}, everyEdge, Array::Simple, mat4::Identity(), mat4::Identity(),
                             pbr(), false);
        a->addItem(t);
        t = a;
    }
    return fileOf({t});
}

Bytes nestedArraysOnResampledCurves(float length) { return deepNestedArrays(2, length); }

Bytes manyResampledCurves(int count, float length) {
    std::vector<Tool*> tops;
    for (int i = 0; i < count; ++i) tops.push_back(objectOf(resampledOver(length)));
    return fileOf(tops);
}

Bytes manyChainsResampled(int chains, float length) {
    UCurve* u = resampledOver(length);
    for (int i = 1; i < chains; ++i) {
        const std::unique_ptr<Curve> chain(thinBase(length));
        for (CurveVertex& v : chain->vertices) v.position.y = float(i);
        u->base->append(chain.get());
    }
    return fileOf({objectOf(u)});
}

Bytes tubesOnSharedResampledCurves(int count, float length) {
    UCurve* path = resampledOver(length);
    UCurve* profile = resampledOver(length);
    std::vector<Tool*> tops;
    for (int i = 0; i < count; ++i) {
        Tube* tube = new Tube();
        tube->path = path;
        tube->profile = profile;
        tops.push_back(objectOf(tube));
    }
    return fileOf(tops);
}

std::vector<Case> keptCases() {
    return {{"resampled_long_thin_base.tl", longResampledCurve()},
            {"resampled_tube_long_thin_bases.tl", tubeOnResampledCurves()},
            {"resampled_nested_arrays_long_thin_bases.tl", nestedArraysOnResampledCurves()}};
}

std::vector<Case> largestCases() {
    return {{"27 resampled curves", manyResampledCurves(27)},
            {"one base of 100 chains", manyChainsResampled(100)},
            {"40 tubes on two resampled curves", tubesOnSharedResampledCurves(40)},
            {"arrays nested 8 deep", deepNestedArrays(8)}};
}

}  // namespace slowscenes
