#include "files/slow_scenes_util.h"

#include <QImage>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>

#include "curves/curve.h"
#include "curves/ucurve.h"
#include "elements/animated_sprite.h"
#include "elements/revoluton.h"
#include "elements/sprite.h"
#include "elements/swept_element.h"
#include "elements/tube.h"
#include "files/scene_writer.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tools/array.h"
#include "tools/cable.h"

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

// The bytes of a file holding the trees of the given top tools (objects).
Bytes bytesOf(const std::vector<Tool*>& tops) {
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
    return out;
}

// The same, the tools deleted afterwards with their elements.
Bytes fileOf(const std::vector<Tool*>& tops) {
    Bytes out = bytesOf(tops);
    for (Tool* t : tops) delete t;
    return out;
}

Tool* objectOf(Element* e) { return new Tool(e, mat4::Identity(), pbr(), false); }

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

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

Bytes sideBySideDeepNestedArrays(int count, int depth, float length) {
    const std::vector<std::int32_t> everyEdge = {(1 << 15) | 1};
    std::vector<Tool*> tops;
    for (int c = 0; c < count; ++c) {
        Tool* t = new Tool(nullptr, mat4::Identity(), pbr(), false);
        for (int i = 0; i < depth; ++i) {
            Array* a = new Array(resampledOver(length), {}, everyEdge, Array::Simple, mat4::Identity(),
                                 mat4::Identity(), pbr(), false);
            a->addItem(t);
            t = a;
        }
        tops.push_back(t);
    }
    return fileOf(tops);
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

Bytes revolutonOnResampledCurves(float length) { return revolutonsOnResampledCurves(1, length); }

Bytes revolutonsOnResampledCurves(int count, float length) {
    UCurve* profile = resampledOver(length);
    UCurve* section = resampledOver(length);
    std::vector<Tool*> tops;
    for (int i = 0; i < count; ++i) {
        Revoluton* r = new Revoluton();
        r->profile = profile;
        r->section = section;
        tops.push_back(objectOf(r));
    }
    return fileOf(tops);
}

Bytes arraysOfTubesOnSharedCurves(int count, float length) {
    const std::vector<std::int32_t> everyEdge = {(1 << 15) | 1};
    UCurve* path = resampledOver(length);
    UCurve* profile = resampledOver(length);
    std::vector<Tool*> tops;
    for (int i = 0; i < count; ++i) {
        Tube* tube = new Tube();
        tube->path = path;
        tube->profile = profile;
        Array* a = new Array(resampledOver(length), {}, everyEdge, Array::Simple, mat4::Identity(),
                             mat4::Identity(), pbr(), false);
        a->addItem(objectOf(tube));
        tops.push_back(a);
    }
    return fileOf(tops);
}

Bytes cablesOnResampledSection(int count, bool shareTube, float length) {
    UCurve* section = resampledOver(length);
    // The pairs live under a root, whose deletion takes both ends of each.
    Root root;
    Element* first = nullptr;
    for (int i = 0; i < count; ++i) {
        auto* cable = new Cable(section, mat4::Identity(), pbr(), false);
        auto* end = new BiTool(BiTool::BiPlain, nullptr, mat4::Translation(1, 0, 2), pbr(), false);
        root.addChild(cable, false)->setPartner(root.addChild(end, false));
        if (!first) first = cable->element;
        if (shareTube) cable->setElement(first);
    }
    for (Tool* t : root.children) t->flags |= Tool::FlagObject;
    return bytesOf(root.children);
}

Bytes sweptOnResampledAndCircle(int count, bool revoluton, int circle, float length) {
    UCurve* carrier = resampledOver(length);
    Curve* section = Curve::Circle(circle, false);
    std::vector<Tool*> tops;
    for (int i = 0; i < count; ++i) {
        SweptElement* e = revoluton ? static_cast<SweptElement*>(new Revoluton(carrier, section))
                                    : static_cast<SweptElement*>(new Tube(carrier, section));
        tops.push_back(objectOf(e));
    }
    return fileOf(tops);
}

Bytes tubesOnPlainCurves(int count, int pathVertices, int sectionVertices) {
    Curve* path = Curve::Segment(pathVertices - 1, Element::ResizeKeep);
    Curve* section = Curve::Circle(sectionVertices, false);
    std::vector<Tool*> tops;
    for (int i = 0; i < count; ++i) tops.push_back(objectOf(new Tube(path, section)));
    return fileOf(tops);
}

Bytes animatedSpriteOf(const std::string& imagePath) { return fileOf({objectOf(new AnimatedSprite(imagePath, false))}); }

Bytes gifOfTinyFrames(int w, int h, int frames) {
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
    const auto u16 = [&gif](int v) {
        gif.push_back(std::uint8_t(v & 0xFF));
        gif.push_back(std::uint8_t((v >> 8) & 0xFF));
    };
    u16(w);
    u16(h);
    // A global table of two colours, black and white.
    gif.insert(gif.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});
    for (int k = 0; k < frames; ++k) {
        // Graphic control (a delay of 10 hundredths), then one pixel at the
        // screen's corner: LZW of minimum code size 2, clear, index 0, end.
        gif.insert(gif.end(), {0x21, 0xF9, 4, 0, 10, 0, 0, 0});
        gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0});
        gif.insert(gif.end(), {2, 2, 0x44, 0x01, 0});
    }
    gif.push_back(0x3B);
    return gif;
}

Bytes gifScreenOnly(int w, int h) {
    Bytes gif = gifOfTinyFrames(w, h, 0);
    gif.resize(13);
    return gif;
}

Bytes animatedSpritesOf(const std::string& imagePath, int count) {
    std::vector<Tool*> tops;
    for (int i = 0; i < count; ++i) tops.push_back(objectOf(new AnimatedSprite(imagePath, false)));
    return fileOf(tops);
}

Bytes spritesOf(const std::string& imagePath, int count) {
    std::vector<Tool*> tops;
    for (int i = 0; i < count; ++i) tops.push_back(objectOf(new Sprite(imagePath, false)));
    return fileOf(tops);
}

Bytes spritesOfSpellings(const std::string& folder, const std::string& name, int count) {
    std::vector<Tool*> tops;
    std::string spelling = folder + "/";
    for (int i = 0; i < count; ++i, spelling += "./") tops.push_back(objectOf(new Sprite(spelling + name, false)));
    return fileOf(tops);
}

std::vector<Case> surfaceCases() {
    return {{"a revoluton on two resampled curves", revolutonOnResampledCurves()},
            {"3 tubes on two resampled curves", tubesOnSharedResampledCurves(3)},
            {"4 arrays of tubes on two resampled curves", arraysOfTubesOnSharedCurves(4)},
            {"16 tubes on plain curves of 60 and 24 vertices", tubesOnPlainCurves(16, 60, 24)},
            {"a tube on two resampled curves of 2 units", tubeOnResampledCurves(2.0f)},
            {"16 tubes on a resampled path and a 64-vertex circle", sweptOnResampledAndCircle(16, false, 64)},
            {"16 revolutons on a resampled profile and a 64-vertex circle", sweptOnResampledAndCircle(16, true, 64)},
            {"36 tubes on a resampled path and a 16-vertex circle", sweptOnResampledAndCircle(36, false, 16)},
            {"16 revolutons on two resampled curves", revolutonsOnResampledCurves(16)},
            {"8 arrays of tubes on two resampled curves", arraysOfTubesOnSharedCurves(8)},
            {"20 cables on one resampled section", cablesOnResampledSection(20, false)},
            {"20 cables sharing one tube", cablesOnResampledSection(20, true)}};
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

std::vector<Case> gifCases(const std::string& folder) {
    const std::string gif = folder + "/screen.gif", two = folder + "/two.gif", one = folder + "/one.gif";
    writeFile(gif, gifOfTinyFrames(2, 2, 1));  // read while the scene is made
    const Bytes animation = animatedSpriteOf(gif);
    writeFile(gif, gifOfTinyFrames(8000, 8000, 400));
    // The still sprites' files are made before their images exist.
    std::vector<Case> cases = {{"an animation of 400 frames on an 8000 x 8000 screen", animation},
                               {"a still sprite of two frames on a 16000 x 16000 screen", spritesOf(two, 1)},
                               {"twenty still sprites of one frame on a 16000 x 16000 screen", spritesOf(one, 20)}};
    writeFile(two, gifOfTinyFrames(16000, 16000, 2));
    writeFile(one, gifOfTinyFrames(16000, 16000, 1));
    return cases;
}

Case spelledImageCase(const std::string& folder) {
    Case c{"twenty still sprites naming one 4096 x 4096 PNG by twenty spellings",
           spritesOfSpellings(folder, "large.png", 20)};
    QImage image(4096, 4096, QImage::Format_RGB32);
    image.fill(qRgb(40, 120, 200));
    image.save(QString::fromStdString(folder + "/large.png"));
    return c;
}

std::vector<Case> firstFrameCases(const std::string& folder) {
    std::vector<Case> cases = keptCases();
    for (auto* more : {&largestCases, &surfaceCases})
        for (Case& c : more()) cases.push_back(std::move(c));
    for (Case& c : gifCases(folder)) cases.push_back(std::move(c));
    cases.push_back(spelledImageCase(folder));
    return cases;
}

std::size_t heldSamples(const qel::Scene& scene) {
    std::size_t n = 0;
    for (qel::Tool* t : scene.objectsRoot->children) {
        std::vector<qel::Element*> parts;
        if (t->element) t->element->allElements(parts);
        for (qel::Element* e : parts)
            if (auto* u = dynamic_cast<qel::UCurve*>(e)) n += u->vertices.size();
    }
    return n;
}

}  // namespace slowscenes
