// The tube and revoluton elements without a GL context: construction and
// the centre and size rules, clones, the shared-curve rule, both record
// layouts through the factory, refusals, and scene files holding them.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "curves/curve.h"
#include "elements/revoluton.h"
#include "elements/tube.h"
#include "files/element_factory.h"
#include "gl/buffer.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/tool.h"

using namespace qel;

namespace {

constexpr std::uint32_t ElementsChunk = 0xEEEEEEEEu;

Curve* line(int n) {
    std::vector<vec3> points;
    for (int i = 0; i < n; ++i) points.emplace_back(float(i), 0.5f * float(i), 0);
    return new Curve(points, false);
}

// The record of a curve, under the old tag (no reserved word, no type) when
// asked.
buffer curveRecord(Curve& c, bool old) {
    buffer b;
    c.DataWrite(b);
    if (!old) return b;
    buffer out;
    out.writeU32(Curve::OldRecordTag);
    out.writeU32(std::uint32_t(b.size() - 16));
    out.writeBytes(b.data() + 16, std::size_t(b.size() - 16));
    return out;
}

// Reads one record body with the factory, as a file of the version written
// today. Owns what it built.
struct Read {
    ElementFactory::TResult result;
    Element* e = nullptr;
    Read(std::uint32_t tag, const buffer& body) {
        buffer in(body.bytes());
        ElementFactory factory;
        const std::int32_t version = FILE_VERSION;
        FILE_VERSION = FILE_VERSION_WRITTEN;
        result = factory.read(tag, in, e);
        FILE_VERSION = version;
        if (e) e->copy(1);
    }
    ~Read() { Element::drop(e, 1); }
};

Tool* placeObject(Scene& scene, Element* e) {
    Tool source(e, mat4::Identity(), pbr(), false);
    return scene.addObject(&source, mat4::Identity(), Scene::HangTop, false);
}

std::vector<std::uint8_t> fileBytes(const std::string& path) {
    QFile f(QString::fromStdString(path));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray a = f.readAll();
    return std::vector<std::uint8_t>(a.begin(), a.end());
}

// Offset of the elements chunk's header.
std::int64_t elementsChunk(const std::vector<std::uint8_t>& bytes) {
    std::int64_t at = 8;
    while (at + 8 <= std::int64_t(bytes.size()) && buffer::loadU32(bytes.data() + at) != ElementsChunk)
        at += 8 + std::int64_t(buffer::loadU32(bytes.data() + at + 4));
    return at;
}

// The element records of the file's elements chunk: tag and offset of the
// body.
std::vector<std::pair<std::uint32_t, std::int64_t>> elementRecords(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::pair<std::uint32_t, std::int64_t>> out;
    const std::int64_t chunk = elementsChunk(bytes);
    const std::int64_t end = chunk + 8 + std::int64_t(buffer::loadU32(bytes.data() + chunk + 4));
    for (std::int64_t at = chunk + 8; at + 8 <= end; at += 8 + std::int64_t(buffer::loadU32(bytes.data() + at + 4)))
        out.emplace_back(buffer::loadU32(bytes.data() + at), at + 8);
    return out;
}

// The file with extra element records appended to its elements chunk.
std::vector<std::uint8_t> withRecords(std::vector<std::uint8_t> bytes, const buffer& extra) {
    const std::int64_t chunk = elementsChunk(bytes);
    const std::int64_t end = chunk + 8 + std::int64_t(buffer::loadU32(bytes.data() + chunk + 4));
    const std::vector<std::uint8_t>& x = extra.bytes();
    bytes.insert(bytes.begin() + end, x.begin(), x.end());
    buffer::storeU32(bytes.data() + chunk + 4, std::uint32_t(end - chunk - 8 + std::int64_t(x.size())));
    return bytes;
}

void expectSameCurve(const Curve* a, const Curve* b) {
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->vertices.size(), b->vertices.size());
    ASSERT_EQ(a->edges.size(), b->edges.size());
    for (std::size_t i = 0; i < a->vertices.size(); ++i) EXPECT_EQ(a->vertices[i].position, b->vertices[i].position);
}

}  // namespace

TEST(Tube, TakesThePathsExtentAndClonesItsOwnCurves) {
    Curve* path = line(4);
    path->calculateSize(Element::ResizeMean);
    Tube tube(path, Curve::Circle(8, false));
    EXPECT_TRUE(tube.isType(Element::TType::Tube));
    EXPECT_EQ(tube.centre, path->centre);
    EXPECT_EQ(tube.size(), path->size());
    tube.copy(1);
    tube.centre = vec3(7, 7, 7);
    tube.setSize(5);
    std::unique_ptr<Tube> copy(tube.clone());
    EXPECT_NE(copy->path, tube.path);
    EXPECT_NE(copy->profile, tube.profile);
    EXPECT_EQ(copy->centre, vec3(7, 7, 7));
    EXPECT_EQ(copy->size(), 5.0f);
    expectSameCurve(copy->path, tube.path);
    copy->copy(1);
    copy->release(1);  // frees the copy's curves
    tube.release(1);
}

TEST(Revoluton, CentreLiesOnTheAxisAfterEveryExtentComputation) {
    Curve* profile = line(3);
    profile->centre = vec3(2, 3, 4);
    profile->setSize(2);
    Revoluton r(profile, Curve::Circle(16, false));
    r.copy(1);
    EXPECT_EQ(r.centre, vec3(0, 3, 0));
    EXPECT_EQ(r.size(), 2.0f);
    r.centre = vec3(1, 1, 1);
    r.initialize(Element::ResizeKeep);
    EXPECT_EQ(r.centre, vec3(0, 3, 0));
    r.centre = vec3(1, 1, 1);
    r.calculateSize(Element::ResizeKeep);
    EXPECT_EQ(r.centre, vec3(0, 3, 0));
    r.setSize(9);
    std::unique_ptr<Revoluton> copy(r.clone());
    EXPECT_NE(copy->profile, r.profile);
    EXPECT_NE(copy->section, r.section);
    EXPECT_EQ(copy->centre, r.centre);
    EXPECT_EQ(copy->size(), 9.0f);
    copy->copy(1);
    copy->release(1);
    r.release(1);
}

TEST(SweptCurves, ReplacementTakesTheNewCurveBeforeReleasingTheOld) {
    Tube tube(line(3), line(2));
    tube.copy(2);
    Curve* old = tube.path;
    old->copy(1);  // kept alive by the test
    Curve* next = line(5);
    tube.setPath(next);
    EXPECT_EQ(tube.path, next);
    EXPECT_EQ(next->refCount, 2);
    EXPECT_EQ(old->refCount, 1);
    EXPECT_EQ(tube.updateStamp, Element::GlobalUpdate);
    EXPECT_EQ(tube.vbo.rebuild, 1);
    // Replacing a curve by itself changes nothing.
    replaceSharedCurve(&tube, tube.path, next);
    EXPECT_EQ(next->refCount, 2);
    EXPECT_TRUE(Element::drop(old, 1));
    tube.release(2);
}

TEST(SweptRecords, OldTubeReadsEachEmbeddedCurveInItsOwnLayout) {
    std::unique_ptr<Curve> a(line(4)), b(line(3));
    b->curveType = Curve::UniformCurve;
    for (const bool oldFirst : {true, false}) {
        buffer body;
        body.writeBuffer(curveRecord(*a, oldFirst));
        body.writeBuffer(curveRecord(*b, !oldFirst));
        Read r(Tube::OldRecordTag, body);
        ASSERT_EQ(r.result, ElementFactory::Built);
        auto* t = dynamic_cast<Tube*>(r.e);
        ASSERT_TRUE(t);
        expectSameCurve(t->path, a.get());
        expectSameCurve(t->profile, b.get());
        EXPECT_EQ(t->profile->curveType, oldFirst ? Curve::UniformCurve : Curve::Plain);
        EXPECT_EQ(t->path->refCount, 1);
    }
}

TEST(SweptRecords, OldRevolutonGetsACircleOfNVertices) {
    std::unique_ptr<Curve> p(line(3));
    buffer body;
    body.writeU32(16);
    body.writeBuffer(curveRecord(*p, true));
    Read r(Revoluton::OldRecordTag, body);
    ASSERT_EQ(r.result, ElementFactory::Built);
    auto* rev = dynamic_cast<Revoluton*>(r.e);
    ASSERT_TRUE(rev && rev->section && rev->profile);
    EXPECT_EQ(rev->section->vertices.size(), 16u);
    EXPECT_EQ(rev->section->edges.size(), 16u);
    expectSameCurve(rev->profile, p.get());
}

TEST(SweptRecords, DamagedRecordsAreRefusedWithoutLeaks) {
    std::unique_ptr<Curve> c(line(4));
    const buffer cur = curveRecord(*c, false);
    buffer cutTube;  // cut inside the second embedded curve
    cutTube.writeBuffer(cur);
    cutTube.writeBytes(cur.data(), std::size_t(cur.size() - 5));
    buffer notCurve;  // an embedded mesh record
    std::unique_ptr<Mesh> m(Mesh::Cube());
    m->DataWrite(notCurve);
    buffer meshSecond;
    meshSecond.writeBuffer(cur);
    meshSecond.writeBuffer(notCurve);
    buffer shortIds;
    shortIds.writeI32(1);
    struct Case {
        std::uint32_t tag;
        buffer body;
    };
    std::vector<Case> cases = {{Tube::OldRecordTag, cutTube},
                               {Tube::OldRecordTag, notCurve},
                               {Tube::OldRecordTag, meshSecond},
                               {Tube::RecordTag, shortIds},
                               {Revoluton::RecordTag, shortIds}};
    for (const std::uint32_t n : {0u, 1u, 65537u, 0xFFFFFFFFu}) {
        buffer b;
        b.writeU32(n);
        b.writeBuffer(cur);
        cases.push_back({Revoluton::OldRecordTag, b});
    }
    buffer cutRev;
    cutRev.writeU32(8);
    cutRev.writeBytes(cur.data(), std::size_t(cur.size() - 1));
    cases.push_back({Revoluton::OldRecordTag, cutRev});
    for (const Case& k : cases) {
        Read r(k.tag, k.body);
        EXPECT_EQ(r.result, ElementFactory::Refused) << std::hex << k.tag;
        EXPECT_EQ(r.e, nullptr);
    }
}

TEST(SweptScene, TubeWritesThreeRecordsAndLoadsSharedByTwoTools) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("tube.tl").toStdString();
    std::unique_ptr<Curve> pathCopy, profileCopy;
    {
        Scene scene;
        Tube* tube = new Tube(line(5), Curve::Circle(6, false));
        pathCopy.reset(tube->path->clone());
        profileCopy.reset(tube->profile->clone());
        Tool* a = placeObject(scene, tube);
        scene.objectsRoot->addChild(a->cloneObject(mat4::Translation(3, 0, 0), true, false), false);
        ASSERT_TRUE(scene.save(path));
    }
    const std::vector<std::uint8_t> bytes = fileBytes(path);
    const auto records = elementRecords(bytes);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].first, Tube::RecordTag);
    EXPECT_EQ(records[1].first, Curve::RecordTag);
    EXPECT_EQ(records[2].first, Curve::RecordTag);
    const std::uint8_t* tubeBody = bytes.data() + records[0].second;
    EXPECT_EQ(buffer::loadU32(tubeBody - 4), 8u);
    EXPECT_EQ(buffer::loadU32(tubeBody), 1u);
    EXPECT_EQ(buffer::loadU32(tubeBody + 4), 2u);

    Scene loaded;
    ASSERT_TRUE(loaded.loadFromMemory(bytes));
    loaded.toList();
    ASSERT_EQ(loaded.objects.tools.size(), 2u);
    auto* t = dynamic_cast<Tube*>(loaded.objects.tools[0]->element);
    ASSERT_TRUE(t);
    EXPECT_EQ(loaded.objects.tools[1]->element, t);
    EXPECT_EQ(t->refCount, 2);
    ASSERT_TRUE(t->path && t->profile);
    EXPECT_EQ(t->path->refCount, 2);
    EXPECT_EQ(t->profile->refCount, 2);
    expectSameCurve(t->path, pathCopy.get());
    expectSameCurve(t->profile, profileCopy.get());
}

TEST(SweptScene, IdNamingAMeshLeavesTheCurveMissingThroughSaveAndReload) {
    QTemporaryDir dir;
    const std::string first = dir.filePath("first.tl").toStdString();
    const std::string second = dir.filePath("second.tl").toStdString();
    {
        Scene scene;
        placeObject(scene, new Revoluton(line(4), Curve::Circle(8, false)));
        placeObject(scene, Mesh::Cube());
        ASSERT_TRUE(scene.save(first));
    }
    std::vector<std::uint8_t> bytes = fileBytes(first);
    const auto records = elementRecords(bytes);
    ASSERT_EQ(records.size(), 4u);
    ASSERT_EQ(records[0].first, Revoluton::RecordTag);
    ASSERT_EQ(records[3].first, Mesh::RecordTag);
    buffer::storeU32(bytes.data() + records[0].second + 4, 3);  // the section names the mesh
    {
        Scene loaded;
        ASSERT_TRUE(loaded.loadFromMemory(bytes));
        loaded.toList();
        ASSERT_EQ(loaded.objects.tools.size(), 2u);
        auto* r = dynamic_cast<Revoluton*>(loaded.objects.tools[0]->element);
        ASSERT_TRUE(r && r->profile);
        EXPECT_EQ(r->section, nullptr);
        std::unique_ptr<Revoluton> copy(r->clone());
        EXPECT_EQ(copy->section, nullptr);
        copy->copy(1);
        copy->release(1);
        ASSERT_TRUE(loaded.save(second));
    }
    const std::vector<std::uint8_t> again = fileBytes(second);
    const auto records2 = elementRecords(again);
    ASSERT_EQ(records2[0].first, Revoluton::RecordTag);
    EXPECT_EQ(std::int32_t(buffer::loadU32(again.data() + records2[0].second + 4)), -1);
    Scene reloaded;
    ASSERT_TRUE(reloaded.loadFromMemory(again));
    reloaded.toList();
    auto* r = dynamic_cast<Revoluton*>(reloaded.objects.tools[0]->element);
    ASSERT_TRUE(r && r->profile);
    EXPECT_EQ(r->section, nullptr);
}

TEST(SweptScene, RefusedFileFreesTheCurvesBuiltInsideAnOldRecord) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("plain.tl").toStdString();
    {
        Scene scene;
        placeObject(scene, Mesh::Cube());
        ASSERT_TRUE(scene.save(path));
    }
    std::unique_ptr<Curve> c(line(4));
    buffer body;
    body.writeBuffer(curveRecord(*c, true));
    body.writeBuffer(curveRecord(*c, false));
    buffer extra;
    extra.writeRecord(Tube::OldRecordTag, body);  // sound: built, then discarded
    buffer cut;
    cut.writeBytes(body.data(), std::size_t(body.size() - 3));
    extra.writeRecord(Tube::OldRecordTag, cut);  // refused: the load fails
    Scene scene;
    EXPECT_FALSE(scene.loadFromMemory(withRecords(fileBytes(path), extra)));
    // The sanitizer build reports the curves if they leak.
}

TEST(SweptElements, InitEmptiesTheCurvesAndReleasesTheBuffers) {
    Tube tube(line(3), line(2));
    Revoluton rev(line(3), Curve::Circle(6, false));
    tube.copy(1);
    rev.copy(1);
    // Names without a context: released means forgotten here, and no GL
    // call is made.
    tube.vbo.surface = 7;
    tube.vbo.lines = 8;
    rev.vbo.surface = 9;
    tube.init();
    rev.init();
    EXPECT_EQ(tube.vbo.surface, 0u);
    EXPECT_EQ(tube.vbo.lines, 0u);
    EXPECT_EQ(rev.vbo.surface, 0u);
    EXPECT_TRUE(tube.isType(Element::TType::Tube) && rev.isType(Element::TType::Revoluton));
    EXPECT_TRUE(tube.path->vertices.empty() && tube.profile->vertices.empty());
    EXPECT_TRUE(rev.profile->vertices.empty() && rev.section->vertices.empty());
    tube.release(1);
    rev.release(1);
}
